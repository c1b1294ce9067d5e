// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file against real files in a fresh directory: reading limits, tolerant parsing,
// writes that keep every other line, owner-only atomic replacement, and concurrent writers.
#include "platform/private_profile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "app/credential_file.h"
#include "app/trusted_certificates.h"
#include "platform/text.h"
#include "record_capture.h"
#include "scoped_working_dir.h"

namespace larkwend {
namespace {

namespace fs = std::filesystem;

const std::string kPath = "./settings.ini";
const std::string kZhong = "\xD6\xD0";  // 中 in GBK

void PutFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string FileContent(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string Read(std::string_view section, std::string_view key, std::size_t size = 1 << 22) {
  return GetPrivateProfileString(section, key, "<default>", size, kPath);
}

fs::perms Permissions(const std::string& path) {
  return fs::status(path).permissions() & fs::perms::all;
}

class PrivateProfile : public ::testing::Test {
 protected:
  fixtures::ScopedWorkingDir dir;
};

TEST_F(PrivateProfile, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(Read("set", "acount"), "<default>");
  PutFile(kPath, "[other]\nacount=elsewhere\n[set]\npassword=pw\nempty=\n");
  EXPECT_EQ(Read("absent", "acount"), "<default>");
  EXPECT_EQ(Read("set", "acount"), "<default>");
  EXPECT_EQ(Read("set", "empty"), "");  // present but empty is not missing
  // The default obeys the same limit as a stored value.
  EXPECT_EQ(GetPrivateProfileString("set", "acount", "abcdef", 4, kPath), "abc");
}

TEST_F(PrivateProfile, ReadFitsTheBufferWithoutSplittingACharacter) {
  const std::string thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";
  const std::string gbk = std::string(22, 'a') + kZhong + kZhong;  // 中 would end at byte 24
  PutFile(kPath, "[set]\nacount=" + thirty + "\nname=" + gbk + "\n");
  EXPECT_EQ(Read("set", "acount", 24), thirty.substr(0, 23));
  EXPECT_EQ(Read("set", "name", 24), std::string(22, 'a'));
  EXPECT_EQ(Read("set", "name", 25), std::string(22, 'a') + kZhong);
  EXPECT_EQ(Read("set", "acount", 0), "");
}

// A file such as hand editing, another program or a damaged disk might leave.
struct MessyFile {
  std::string bigValue = std::string(1 << 20, 'x');
  std::string head =
      "\xEF\xBB\xBF; leading comment\r\n"
      "orphan=outside any section\r\n"
      "\r\n"
      "[other]\r\n"
      "acount=wrong section\r\n"
      "# hash comment\r\n"
      "  [ SET ]  trailing words\r\n"
      "garbage \x01\xff\xfe\x80 without an equals sign\r\n" +
      std::string("nul\0byte line\r\n", 15) + "; acount=commented out\r\n";
  std::string accountLine = "ACOUNT  =   Zhang San  \r\n";
  std::string tail =
      "password\t=\t\"  spaced  \"\r\n"
      "acount=second occurrence\r\n"
      "big=" +
      bigValue +
      "\r\n"
      "\r\n"
      "[set]\r\n"
      "token=in the duplicate section";  // no final line break

  std::string Content() const { return head + accountLine + tail; }
};

TEST_F(PrivateProfile, ToleratesMessyFilesWhenReading) {
  MessyFile messy;
  PutFile(kPath, messy.Content());
  EXPECT_EQ(Read("set", "acount"), "Zhang San");     // blanks around "=", names case-blind
  EXPECT_EQ(Read("Set", "PASSWORD"), "  spaced  ");  // quotes keep the blanks inside
  EXPECT_EQ(Read("set", "big"), messy.bigValue);     // a 1 MiB line
  EXPECT_EQ(Read("set", "token"), "<default>");      // only the first [set] counts
  EXPECT_EQ(Read("other", "acount"), "wrong section");
  EXPECT_EQ(Read("set", "orphan"), "<default>");
}

TEST_F(PrivateProfile, WritesKeepEveryOtherLineOfAMessyFile) {
  MessyFile messy;
  PutFile(kPath, messy.Content());

  // The first occurrence is replaced in place, keeping the file's spelling and line break.
  ASSERT_TRUE(WritePrivateProfileString("set", "acount", "li4", kPath));
  std::string expected = messy.head + "ACOUNT=li4\r\n" + messy.tail;
  EXPECT_EQ(FileContent(kPath), expected);

  // A new key goes to the end of the first [set], before the blank line that ends it.
  ASSERT_TRUE(WritePrivateProfileString("set", "fresh", "1", kPath));
  std::string big = "big=" + messy.bigValue + "\r\n";
  std::size_t afterBig = expected.find(big) + big.size();
  expected.insert(afterBig, "fresh=1\r\n");
  EXPECT_EQ(FileContent(kPath), expected);

  // A new section is appended, after a line break for the unterminated last line.
  ASSERT_TRUE(WritePrivateProfileString("extra", "k", "v", kPath));
  expected += "\r\n[extra]\r\nk=v\r\n";
  EXPECT_EQ(FileContent(kPath), expected);

  EXPECT_EQ(Read("set", "acount"), "li4");
  EXPECT_EQ(Read("set", "fresh"), "1");
  EXPECT_EQ(Read("extra", "k"), "v");
}

TEST_F(PrivateProfile, CreatesTheFileOwnerOnlyAndReplacesLooserOnes) {
  ASSERT_TRUE(WritePrivateProfileString("set", "password", "pw", kPath));
  EXPECT_EQ(FileContent(kPath), "[set]\npassword=pw\n");
  EXPECT_EQ(Permissions(kPath), fs::perms::owner_read | fs::perms::owner_write);

  PutFile("loose.ini", "[set]\nacount=a\n");
  fs::permissions("loose.ini",
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
  ASSERT_TRUE(WritePrivateProfileString("set", "acount", "b", "loose.ini"));
  EXPECT_EQ(Permissions("loose.ini"), fs::perms::owner_read | fs::perms::owner_write);
  // Nothing is left behind beside the files.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST_F(PrivateProfile, EveryWritableValueReadsBackExactly) {
  for (const std::string& value :
       {Utf8ToGbk("张三Abc"), std::string("  padded\t"), std::string("\"quoted\""),
        std::string("'single'"), std::string(""), std::string("a=b;c#d[e]"),
        std::string("\x81\x5D\x81\x3D")}) {
    ASSERT_TRUE(WritePrivateProfileString("set", "acount", value, kPath)) << value;
    EXPECT_EQ(Read("set", "acount"), value);
  }
  // A value, section or key that would change the file's structure is refused, and the
  // diagnostics name the key.
  PutFile(kPath, "[set]\nacount=kept\n");
  fake::RecordCapture records;
  EXPECT_FALSE(WritePrivateProfileString("set", "acount", "x\n[set]\nacount=evil", kPath));
  EXPECT_EQ(records.diagnostics(),
            std::vector<std::string>{"not writing acount to " + std::string(kPath) +
                                     ": it would not read back"});
  EXPECT_FALSE(WritePrivateProfileString("se]t", "acount", "x", kPath));
  EXPECT_FALSE(WritePrivateProfileString("set", "a=b", "x", kPath));
  EXPECT_EQ(FileContent(kPath), "[set]\nacount=kept\n");

  // A section name ending in a lone lead byte would swallow its closing bracket and never read
  // back; each refused write leaves the file as it was, instead of adding a block each time.
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_FALSE(WritePrivateProfileString("\x81", "k", "v", kPath));
    EXPECT_FALSE(WritePrivateProfileString("set" + kZhong.substr(0, 1), "k", "v", kPath));
  }
  EXPECT_EQ(FileContent(kPath), "[set]\nacount=kept\n");
  fs::remove(kPath);
  EXPECT_FALSE(WritePrivateProfileString("\x81", "k", "v", kPath));
  EXPECT_FALSE(fs::exists(kPath));
  EXPECT_EQ(records.diagnostics().size(), 8u);  // every refusal once, none as a failed write
  // A whole double-byte character whose trail byte is "]" is a fine name.
  ASSERT_TRUE(WritePrivateProfileString("\x81]", "k\x81", "v", kPath));
  EXPECT_EQ(Read("\x81]", "k\x81"), "v");
}

TEST_F(PrivateProfile, UnusablePlacesLeaveEverythingSilentAndUntouched) {
  // Where the file should be there is a directory: nothing can be read or replaced.
  fs::create_directory("blocked.ini");
  EXPECT_EQ(GetPrivateProfileString("set", "acount", "d", 24, "blocked.ini"), "d");
  EXPECT_FALSE(WritePrivateProfileString("set", "acount", "x", "blocked.ini"));
  EXPECT_TRUE(fs::is_directory("blocked.ini"));

  // A directory that no longer exists, whatever the privileges; the diagnostics say so.
  fs::create_directory("gone");
  fs::remove("gone");
  fake::RecordCapture records;
  EXPECT_FALSE(WritePrivateProfileString("set", "acount", "x", "gone/record.ini"));
  EXPECT_TRUE(records.Diagnosed("cannot write gone/record.ini: No such file or directory"));

  // A read-only directory; privileges that ignore permission bits cannot show this one.
  if (::geteuid() != 0) {
    fs::create_directory("readonly");
    PutFile("readonly/record.ini", "[set]\nacount=old\n");
    fs::permissions("readonly", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(WritePrivateProfileString("set", "acount", "new", "readonly/record.ini"));
    EXPECT_EQ(GetPrivateProfileString("set", "acount", "", 24, "readonly/record.ini"), "old");
    fs::permissions("readonly", fs::perms::owner_all);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()),
            ::geteuid() != 0 ? 2 : 1);
}

// A value that shows whether it arrived whole: 4,000 copies of one letter, then its number.
std::string Payload(int n) {
  return std::string(4000, static_cast<char>('a' + n % 26)) + std::to_string(n);
}

bool IsWholePayload(std::string_view value) {
  if (value.size() <= 4000) return false;
  if (value.find_first_not_of(value[0], 0) != 4000) return false;
  return value.find_first_not_of("0123456789", 4000) == std::string_view::npos;
}

// What a reader may see at any moment: the header and both keys, each value whole.
bool IsWholeFile(const std::string& content) {
  std::istringstream in(content);
  std::string header, first, second, rest;
  if (!std::getline(in, header) || !std::getline(in, first) || !std::getline(in, second))
    return false;
  if (std::getline(in, rest) || content.back() != '\n') return false;
  return header == "[set]" && first.starts_with("first=") && second.starts_with("second=") &&
         IsWholePayload(std::string_view(first).substr(6)) &&
         IsWholePayload(std::string_view(second).substr(7));
}

TEST_F(PrivateProfile, ConcurrentWritersNeverTearTheFileNorLoseEachOthersValue) {
  ASSERT_TRUE(WritePrivateProfileString("set", "first", Payload(0), kPath));
  ASSERT_TRUE(WritePrivateProfileString("set", "second", Payload(0), kPath));
  constexpr int kWrites = 100;
  std::atomic<int> writersLeft{2};
  std::atomic<int> failures{0};
  auto writer = [&](const char* key, int offset) {
    for (int i = 1; i <= kWrites; ++i)
      if (!WritePrivateProfileString("set", key, Payload(offset + i), kPath)) ++failures;
    --writersLeft;
  };
  int snapshots = 0, torn = 0;
  std::thread a(writer, "first", 0), b(writer, "second", 1000);
  while (writersLeft > 0) {
    ++snapshots;
    if (!IsWholeFile(FileContent(kPath))) ++torn;
    std::this_thread::yield();
  }
  a.join();
  b.join();

  EXPECT_EQ(failures, 0);
  EXPECT_GT(snapshots, 0);
  EXPECT_EQ(torn, 0);
  // Each writer's last value survived the other's writes.
  EXPECT_TRUE(Read("set", "first") == Payload(kWrites));
  EXPECT_TRUE(Read("set", "second") == Payload(1000 + kWrites));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(PrivateProfile, AWriterKeptWaitingByAnotherGivesUpAndLosesNothing) {
  ASSERT_TRUE(WritePrivateProfileString("set", "acount", "old", kPath));
  {
    // Another program holds the directory and does not let go.
    const int held = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_FALSE(WritePrivateProfileString("set", "acount", "new", kPath));
    ::close(held);
  }
  EXPECT_EQ(Read("set", "acount"), "old");
  EXPECT_TRUE(WritePrivateProfileString("set", "acount", "new", kPath));
  EXPECT_EQ(Read("set", "acount"), "new");
}

// The credential file itself: ./record.ini in whatever the working directory is.
TEST_F(PrivateProfile, CredentialFileLivesInTheWorkingDirectory) {
  EXPECT_EQ(ReadCredential(kAccountKey), "");
  const std::string name = Utf8ToGbk("张三ABC");
  WriteCredential(kAccountKey, name);
  WriteCredential(kPasswordKey, "");
  EXPECT_EQ(ReadCredential(kAccountKey), name);
  EXPECT_EQ(FileContent("record.ini"), "[set]\nacount=" + name + "\npassword=\n");
}

// The certificates the student trusted, in the program's own settings file beside its other
// settings: each for exactly its host and fingerprint, the last few per host.
TEST_F(PrivateProfile, TrustedCertificatesAreRememberedByExactHostAndFingerprint) {
  fixtures::ScopedConfigHome config(dir.path() / "config");
  const std::string host = "learn.qmstudy.localhost";
  const std::string fp1(95, 'A'), fp2(95, 'B');
  RememberTrustedCertificate(host, fp1);
  RememberTrustedCertificate("other.localhost", fp2);
  struct Case {
    std::string host, fingerprint;
    bool trusted;
  };
  for (const Case& c : std::vector<Case>{{host, fp1, true},
                                         {host, fp2, false},
                                         {host, fp1.substr(3), false},
                                         {"qmstudy.localhost", fp1, false},
                                         {"evil." + host, fp1, false},
                                         {"other.localhost", fp2, true},
                                         {"", fp1, false},
                                         {host, "", false}}) {
    SCOPED_TRACE(c.host + " " + c.fingerprint);
    EXPECT_EQ(IsCertificateTrusted(c.host, c.fingerprint), c.trusted);
  }
  const std::string path = (dir.path() / "config/larkwend/settings.ini").string();
  EXPECT_EQ(Permissions(path), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(Permissions((dir.path() / "config/larkwend").string()), fs::perms::owner_all);

  // A renewed certificate joins the older ones, up to four; the oldest goes first.
  for (char c : std::string("BCDE")) RememberTrustedCertificate(host, std::string(95, c));
  EXPECT_FALSE(IsCertificateTrusted(host, fp1));
  for (char c : std::string("BCDE")) EXPECT_TRUE(IsCertificateTrusted(host, std::string(95, c)));
  EXPECT_TRUE(IsCertificateTrusted("other.localhost", fp2));
}

}  // namespace
}  // namespace larkwend
