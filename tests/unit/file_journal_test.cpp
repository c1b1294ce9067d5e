// The study journal's file: its lines, its rotation, a place it cannot write, two writers at
// once, and the secrets it never writes.
#include "platform/posix/file_journal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/record_secrets.h"
#include "record_capture.h"
#include "scoped_env.h"
#include "scoped_working_dir.h"

namespace larkwend::posix {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

using fixtures::ScopedEnv;

class JournalFile : public ::testing::Test {
 protected:
  fixtures::ScopedWorkingDir dir;
  fake::RecordCapture records;  // catches the diagnostics
  fs::path path = dir.path() / "state" / "larkwend" / "journal.log";
};

TEST_F(JournalFile, EachEventIsOneLineAfterTheLocalDateAndTime) {
  FileJournal journal(path.string());
  ASSERT_TRUE(journal.enabled());
  // The missing folders were made, for their owner only.
  struct stat folder {};
  ASSERT_EQ(::stat(path.parent_path().c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);

  journal.Append("program started, version 3.1");
  journal.Append("chapter opened: right.aspx?c=7&ch=1");
  std::vector<std::string> lines = Lines(path);
  ASSERT_EQ(lines.size(), 2u);
  const std::regex stamp(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d )");
  for (const std::string& line : lines) EXPECT_TRUE(std::regex_search(line, stamp)) << line;
  EXPECT_EQ(lines[0].substr(20), "program started, version 3.1");
  EXPECT_EQ(lines[1].substr(20), "chapter opened: right.aspx?c=7&ch=1");
  EXPECT_TRUE(records.diagnostics().empty());
}

TEST_F(JournalFile, PastItsLimitTheFileBecomesTheOlderOneAndANewOneBegins) {
  constexpr std::uint64_t kLimit = 300;
  FileJournal journal(path.string(), kLimit);
  const fs::path older = path.string() + ".1";
  int written = 0;
  auto write = [&] { journal.Append("event " + std::to_string(++written) + std::string(40, '.')); };
  while (!fs::exists(older)) write();
  EXPECT_GT(fs::file_size(older), kLimit);
  EXPECT_FALSE(fs::exists(path));  // nothing lost, nothing begun yet
  EXPECT_EQ(Lines(older).back().substr(20, 9 + std::to_string(written).size()),
            "event " + std::to_string(written) + "...");

  write();
  ASSERT_EQ(Lines(path).size(), 1u);
  const int firstOfSecond = written;
  while (fs::file_size(path) <= kLimit - 60) write();
  write();  // passes the limit: replaces the older file
  EXPECT_FALSE(fs::exists(path));
  std::vector<std::string> second = Lines(older);
  EXPECT_EQ(second.front().substr(20, 6 + std::to_string(firstOfSecond).size()),
            "event " + std::to_string(firstOfSecond));
  EXPECT_EQ(second.size(), static_cast<std::size_t>(written - firstOfSecond + 1));
}

TEST_F(JournalFile, APlaceThatCannotBeWrittenTurnsItOffWithOneMessage) {
  std::ofstream(dir.path() / "state") << "a file where the folder should be";
  FileJournal journal(path.string());
  EXPECT_FALSE(journal.enabled());
  journal.Append("chapter opened: x");
  journal.Append("chapter opened: y");
  ASSERT_EQ(records.diagnostics().size(), 1u);
  EXPECT_EQ(records.diagnostics()[0].rfind("the study journal is off for this run: cannot write " +
                                               path.string() + ": Not a directory",
                                           0),
            0u);

  // A journal that stops being writable during the run goes quiet the same way.
  const fs::path other = dir.path() / "other.log";
  FileJournal later(other.string());
  later.Append("first");
  fs::remove(other);
  fs::create_directory(other);
  later.Append("second");
  later.Append("third");
  EXPECT_FALSE(later.enabled());
  EXPECT_EQ(records.diagnostics().size(), 2u);

  FileJournal homeless("");
  EXPECT_FALSE(homeless.enabled());
}

TEST_F(JournalFile, TwoWritersAtOnceNeverTearALine) {
  constexpr int kLines = 400;
  const std::string payload(700, 'x');
  auto writer = [&](char who) {
    FileJournal journal(path.string());
    for (int i = 0; i < kLines; ++i) journal.Append(std::string(1, who) + payload + who);
  };
  std::thread a(writer, 'a');
  std::thread b(writer, 'b');
  a.join();
  b.join();
  std::vector<std::string> lines = Lines(path);
  ASSERT_EQ(lines.size(), 2u * kLines);
  for (const std::string& line : lines) {
    const std::string event = line.substr(20);
    ASSERT_TRUE(event == 'a' + payload + 'a' || event == 'b' + payload + 'b') << line;
  }
}

TEST_F(JournalFile, TheJournalNeverHoldsASecretNorBreaksALine) {
  FileJournal journal(path.string());
  ScopedJournal inUse(journal);
  KeepOutOfRecords("s3cret-Pw");
  RecordEvent("navigation to http://portal/login?pwd=s3cret-Pw&next=1");
  RecordInJournal("two\nlines");
  std::vector<std::string> lines = Lines(path);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(20), "navigation to http://portal/login?pwd=***&next=1");
  EXPECT_EQ(lines[1].substr(20), "two lines");
  EXPECT_FALSE(records.Recorded("s3cret-Pw"));
  EXPECT_TRUE(records.Diagnosed("navigation to http://portal/login?pwd=***&next=1"));
}

TEST(JournalPath, FollowsTheStateFolderOfTheDesktop) {
  ScopedEnv home("HOME", "/home/student");
  {
    ScopedEnv state("XDG_STATE_HOME", "/var/state");
    EXPECT_EQ(StudyJournalPath(), "/var/state/larkwend/journal.log");
  }
  {
    ScopedEnv state("XDG_STATE_HOME", "relative/state");
    EXPECT_EQ(StudyJournalPath(), "/home/student/.local/state/larkwend/journal.log");
  }
  ScopedEnv state("XDG_STATE_HOME", std::nullopt);
  EXPECT_EQ(StudyJournalPath(), "/home/student/.local/state/larkwend/journal.log");
  ScopedEnv noHome("HOME", std::nullopt);
  EXPECT_EQ(StudyJournalPath(), "");
}

}  // namespace
}  // namespace larkwend::posix
