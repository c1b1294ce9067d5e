// The study journal's file: its lines, its rotation, a place it cannot write, two writers at
// once, and the secrets it never writes.
#include "platform/posix/file_journal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

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

}  // namespace
}  // namespace larkwend::posix
