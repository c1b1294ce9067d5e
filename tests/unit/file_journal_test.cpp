// SPDX-License-Identifier: GPL-3.0-or-later
// The study journal's file: its lines, its rotation, a place it cannot write, two writers at
// once, the secrets it never writes, and the runs of the copies that share it.
#include "platform/posix/file_journal.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "platform/posix/write_all.h"
#include "platform/record_secrets.h"
#include "record_capture.h"
#include "scoped_working_dir.h"

namespace larkwend::posix {
namespace {

namespace fs = std::filesystem;

// The file's lines with the date and time cut off; the time is checked once for all.
std::vector<std::string> Events(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> events;
  const std::regex stamp(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d .*)");
  for (std::string line; std::getline(in, line);) {
    EXPECT_TRUE(std::regex_match(line, stamp)) << line;
    events.push_back(line.substr(20));
  }
  return events;
}

class JournalFile : public ::testing::Test {
 protected:
  fixtures::ScopedWorkingDir dir;
  fake::RecordCapture records;  // catches the diagnostics
  fs::path path = dir.path() / "state" / "larkwend" / "journal.log";
};

TEST_F(JournalFile, OneLinePerEventAfterTheLocalTimeAndNeverASecret) {
  FileJournal journal(path.string());
  ScopedJournal inUse(journal);
  KeepOutOfRecords("s3cret-Pw");
  RecordEvent("login captured: account Student01");
  RecordEvent("navigation to http://portal/login?pwd=s3cret-Pw&next=1");
  RecordInJournal("two\nlines");
  EXPECT_EQ(Events(path), (std::vector<std::string>{
                              "login captured: account Student01",
                              "navigation to http://portal/login?pwd=***&next=1", "two lines"}));
  EXPECT_FALSE(records.Recorded("s3cret-Pw"));  // the diagnostics got the same, masked
  struct stat folder {};
  ASSERT_EQ(::stat(path.parent_path().c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);
}

TEST_F(JournalFile, ASecretIsMaskedHoweverAnAddressPercentEncodesIt) {
  FileJournal journal(path.string());
  ScopedJournal inUse(journal);
  KeepOutOfRecords("p@ss word&1");
  KeepOutOfRecords("100%x");
  for (const char* address :
       {"p%40ss+word%261", "p%40ss%20word%26%31", "p%40SS+word%261", "p%40ss+word%26",
        "%70%40%73%73%20%77%6f%72%64%26%31", "100%25x", "100%x", "100%2"})
    RecordEvent(std::string("navigation to http://portal/kvt/user/?pwd=") + address + "&next=1");
  const std::string masked = "navigation to http://portal/kvt/user/?pwd=***&next=1";
  EXPECT_EQ(Events(path),
            (std::vector<std::string>{
                masked, masked,
                // Another text, and one cut short, are not the secret.
                "navigation to http://portal/kvt/user/?pwd=p%40SS+word%261&next=1",
                "navigation to http://portal/kvt/user/?pwd=p%40ss+word%26&next=1", masked, masked,
                masked, "navigation to http://portal/kvt/user/?pwd=100%2&next=1"}));
  EXPECT_FALSE(records.Recorded("p%40ss+word%261"));
}

TEST_F(JournalFile, PastItsLimitTheFileBecomesTheOlderOneAndANewOneBegins) {
  FileJournal journal(path.string(), 300);
  const fs::path older = path.string() + ".1";
  int n = 0;
  auto write = [&] { journal.Append("event " + std::to_string(++n) + std::string(40, '.')); };
  while (!fs::exists(older)) write();
  EXPECT_GT(fs::file_size(older), 300u);
  EXPECT_FALSE(fs::exists(path));  // the next line begins it
  const int firstOfNew = n + 1;
  do write();  // until the second rotation replaces the older file
  while (fs::exists(path));
  std::vector<std::string> second = Events(older);
  EXPECT_EQ(second.front().rfind("event " + std::to_string(firstOfNew) + ".", 0), 0u);
  EXPECT_EQ(second.size(), static_cast<std::size_t>(n - firstOfNew + 1));
}

TEST_F(JournalFile, APlaceThatCannotBeWrittenTurnsItOffWithOneMessage) {
  std::ofstream(dir.path() / "state") << "a file where the folder should be";
  FileJournal journal(path.string());
  journal.Append("chapter opened: x");
  journal.Append("chapter opened: y");
  EXPECT_FALSE(journal.enabled());
  EXPECT_EQ(records.diagnostics(),
            std::vector<std::string>{"the study journal is off for this run: cannot write " +
                                     path.string() + ": Not a directory"});
}

TEST_F(JournalFile, TwoWritersAtOnceNeverTearALine) {
  const std::string payload(700, 'x');
  auto writer = [&](char who) {
    FileJournal journal(path.string());
    for (int i = 0; i < 400; ++i) journal.Append(who + payload + who);
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  a.join();
  b.join();
  std::vector<std::string> events = Events(path);
  EXPECT_EQ(events.size(), 800u);
  for (const std::string& event : events)
    ASSERT_TRUE(event == 'a' + payload + 'a' || event == 'b' + payload + 'b') << event;
}

// Another copy of the program sharing the journal: a process of its own that opens its run, says
// which unended runs it found, and then ends as the test tells it.
class OtherCopy {
 public:
  explicit OtherCopy(const fs::path& path) {
    int up[2], down[2];
    if (::pipe(up) != 0 || ::pipe(down) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(up[0]);
      ::close(down[1]);
      FileJournal journal(path.string());
      std::string found;
      for (const UnendedRun& run : journal.OpenRun()) found += std::to_string(run.processId) + " ";
      found += "\n";
      [[maybe_unused]] bool told = WriteAll(up[1], found);
      char order = 0;
      if (::read(down[0], &order, 1) == 1 && order == 'c') journal.CloseRun();
      ::_exit(0);  // without the journal's destructor, as a crash would
    }
    ::close(up[1]);
    ::close(down[0]);
    orders_ = UniqueFd(down[1]);
    char c;
    while (::read(up[0], &c, 1) == 1 && c != '\n') found_ += c;
    ::close(up[0]);
  }
  ~OtherCopy() {
    if (!reaped_) Kill();
  }

  pid_t pid() const { return pid_; }
  // The process ids of the unended runs it found, each followed by a space.
  const std::string& found() const { return found_; }
  void EndInGoodOrder() { End('c'); }
  // Ends without closing its run, as a crash does.
  void Crash() { End('x'); }
  void Kill() {
    if (pid_ > 0 && !reaped_) ::kill(pid_, SIGKILL);
    Reap();
  }

 private:
  void End(char order) {
    [[maybe_unused]] bool told = WriteAll(orders_.get(), std::string(1, order));
    Reap();
  }
  void Reap() {
    if (pid_ > 0 && !std::exchange(reaped_, true)) ::waitpid(pid_, nullptr, 0);
  }

  pid_t pid_ = -1;
  bool reaped_ = false;
  UniqueFd orders_;
  std::string found_;
};

std::string Listed(std::initializer_list<pid_t> pids) {
  std::string text;
  for (pid_t pid : pids) text += std::to_string(pid) + " ";
  return text;
}

TEST_F(JournalFile, ARunEndedWithoutClosingIsFoundOnceAndOneStillGoingOnNever) {
  OtherCopy running(path), crashed(path), killed(path), closed(path);
  ASSERT_GT(closed.pid(), 0);
  EXPECT_EQ(closed.found(), "");
  closed.EndInGoodOrder();
  crashed.Crash();
  killed.Kill();
  // The next copy finds the two; the one after it, nothing more.
  OtherCopy next(path), after(path);
  EXPECT_TRUE(next.found() == Listed({crashed.pid(), killed.pid()}) ||
              next.found() == Listed({killed.pid(), crashed.pid()}))
      << next.found();
  EXPECT_EQ(after.found(), "");
  running.Kill();

  FileJournal journal(path.string());
  const std::vector<UnendedRun> unended = journal.OpenRun();
  ASSERT_EQ(unended.size(), 1u);
  EXPECT_EQ(unended[0].processId, running.pid());
  EXPECT_TRUE(std::regex_match(unended[0].started, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)")))
      << unended[0].started;
  next.EndInGoodOrder();
  after.EndInGoodOrder();
  journal.CloseRun();
  EXPECT_TRUE(fs::is_empty(path.parent_path() / "runs"));
  EXPECT_TRUE(records.diagnostics().empty());
}

TEST_F(JournalFile, AJournalThatIsOffKeepsNoRuns) {
  std::ofstream(dir.path() / "state") << "a file where the folder should be";
  FileJournal journal(path.string());
  EXPECT_TRUE(journal.OpenRun().empty());
  journal.CloseRun();
  EXPECT_EQ(records.diagnostics().size(), 1u);  // the journal's own, no more
}

}  // namespace
}  // namespace larkwend::posix
