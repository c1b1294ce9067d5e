// SPDX-License-Identifier: GPL-3.0-or-later
// Opening links in the system browser: the shell first, then the registered ".htm" open command,
// bounded by its buffers, for web links only.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "fake_platform.h"
#include "platform/posix/program_start.h"
#include "platform/system_browser.h"

namespace larkwend {
namespace {

constexpr const char* kLink = "http://127.0.0.1:18080/download/";

class SystemBrowser : public ::testing::Test {
 protected:
  SystemBrowser() { f.shell.executeResult = 31; }  // by default the shell cannot open links

  void Register(const std::string& openCommand, const std::string& fileType = "stand.in") {
    f.associations.Set(".htm", fileType);
    f.associations.Set(fileType + "\\shell\\open\\command", openCommand);
  }
  std::intptr_t Open(const std::string& url = kLink) {
    return OpenInSystemBrowser(f.platform, url);
  }

  fake::PlatformFixture f;
};

TEST_F(SystemBrowser, TheShellOpensTheLinkAndNothingElseHappens) {
  f.shell.executeResult = 42;
  Register("b.exe %1");
  EXPECT_EQ(Open(), 42);
  ASSERT_EQ(f.shell.executed.size(), 1u);
  EXPECT_EQ(f.shell.executed[0].verb, "open");
  EXPECT_EQ(f.shell.executed[0].file, kLink);
  EXPECT_EQ(f.shell.executed[0].parameters, "");
  EXPECT_EQ(f.shell.executed[0].show, SW_SHOW);
  EXPECT_TRUE(f.shell.started.empty());
}

TEST_F(SystemBrowser, TheRegisteredCommandIsCutAtItsPlaceholderAndGetsTheLink) {
  struct Case {
    const char* registered;
    std::string started;
  };
  const Case cases[] = {
      // The blank before the quoted placeholder stays, so two blanks precede the bare link.
      {R"("C:\Browser\b.exe" "%1")", std::string(R"("C:\Browser\b.exe"  )") + kLink},
      {R"("C:\Browser\b.exe" -nohome)", std::string(R"("C:\Browser\b.exe" -nohome )") + kLink},
      {"b.exe %1 -dropped \"%2\"", std::string("b.exe  ") + kLink},
      {"b.exe \"%1\" %1", std::string("b.exe  ") + kLink},  // the quoted one is looked for first
      // Cut right before an unquoted placeholder inside an argument: what stood before it in that
      // argument stays an argument of its own, and the link follows alone.
      {"b.exe -a%1b", std::string("b.exe -a ") + kLink},
      {"b --url=%1 --new-tab", std::string("b --url= ") + kLink},
      {R"(b \"%1\")", std::string(R"(b \" )") + kLink},  // an escaped quote is an argument too
  };
  f.shell.startResult = 33;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.registered);
    f.shell.started.clear();
    Register(c.registered);
    EXPECT_EQ(Open(), 33);
    ASSERT_EQ(f.shell.started.size(), 1u);
    EXPECT_EQ(f.shell.started[0], c.started);
  }
  EXPECT_EQ(f.associations.OpenKeys(), 0u);
}

TEST_F(SystemBrowser, ACommandThatCannotTakeTheLinkAsAnArgumentOfItsOwnIsNotStarted) {
  for (const char* registered : {
           // A quote left open before the placeholder: the link would share its argument.
           R"(b "a %1")", R"(b "--url=%1")", R"(b --url="%1)",
           "%1",  // the link would be the program
           R"("%1" --new)",
           R"("" %1)",                          // no program at all
           R"(sh -c "true %1")",                // inside a shell's script
           R"(/bin/bash -c 'exec b "$0"' %1)",  // a shell with a script of its own
           "sh -ec %1",                         // the link would be the script
           "sh -c%1",
           R"(/usr/bin/env -S "'dash' -c" %1)",  // a wrapper that splits its argument
           R"(b "unclosed)",  // no placeholder, and the link would land in a quote
       }) {
    SCOPED_TRACE(registered);
    Register(registered);
    EXPECT_EQ(Open(), 31);
  }
  EXPECT_TRUE(f.shell.started.empty());

  // A shell running a script file gets the link as an argument, as any program does.
  Register("sh /opt/b/launch.sh %1");
  EXPECT_EQ(Open(), 33);
  EXPECT_EQ(f.shell.started.back(), std::string("sh /opt/b/launch.sh  ") + kLink);
}

TEST_F(SystemBrowser, AFailedStartIsReportedAsItCame) {
  Register("b.exe %1");
  f.shell.startResult = 2;
  EXPECT_EQ(Open(), 2);
  EXPECT_EQ(f.shell.started.size(), 1u);
}

TEST_F(SystemBrowser, WithoutAUsableAssociationTheShellsValueComesBack) {
  EXPECT_EQ(Open(), 31);  // no ".htm" at all

  f.associations.Set(".htm", "stand.in");  // a file type without an open command
  EXPECT_EQ(Open(), 31);

  f.associations.Set(".htm", std::nullopt);  // ".htm" without a file type
  f.associations.Set("\\shell\\open\\command", std::string("b.exe %1"));
  EXPECT_EQ(Open(), 31);

  Register("");  // an empty command
  EXPECT_EQ(Open(), 31);

  EXPECT_TRUE(f.shell.started.empty());
  EXPECT_EQ(f.associations.OpenKeys(), 0u);
}

TEST_F(SystemBrowser, NothingIsStartedThatWouldOverrunABuffer) {
  // A registry value of 259 bytes fits its buffer; one of 260 does not.
  const std::string fits = "b" + std::string(255, 'x') + " %1";
  ASSERT_EQ(fits.size(), kValueBufferSize - 1);
  Register(fits);
  EXPECT_EQ(Open(), 33);
  Register(fits + "x");
  EXPECT_EQ(Open(), 31);
  Register("b %1", std::string(kValueBufferSize, 't'));  // an over-long file type name
  EXPECT_EQ(Open(), 31);

  // Command, blank, link and the terminating zero: 520 bytes fit, 521 do not.
  Register("b.exe");
  const std::string head = "http://h/";
  std::string link = head + std::string(kCommandBufferSize - 5 - 1 - 1 - head.size(), 'y');
  EXPECT_EQ(Open(link), 33);
  EXPECT_EQ(f.shell.started.back().size(), kCommandBufferSize - 1);
  EXPECT_EQ(Open(link + "y"), 31);
  EXPECT_EQ(f.shell.started.size(), 2u);
}

TEST_F(SystemBrowser, OnlyWebLinksAreHandedOn) {
  Register("b.exe %1");
  for (const char* link : {"", "file:///etc/passwd", "javascript:alert(1)", "/usr/bin/xterm", "-e",
                           "ftp://h/", "httpx://h/", "http:/h"}) {
    SCOPED_TRACE(link);
    EXPECT_EQ(Open(link), kLinkRefused);
  }
  EXPECT_TRUE(f.shell.executed.empty());
  EXPECT_TRUE(f.shell.started.empty());
  EXPECT_GT(Open("HTTPS://h/"), 32);
}

TEST_F(SystemBrowser, BlanksAndQuotesInALinkCannotSplitItInTheCommandLine) {
  Register("b.exe %1");
  Open("http://h/a b\t\"c\"");
  ASSERT_EQ(f.shell.started.size(), 1u);
  EXPECT_EQ(f.shell.started[0], "b.exe  http://h/a%20b%09%22c%22");
}

// The fallback for real: the command line is split and the registered program started directly,
// here a stand-in that writes down the arguments it received.
class RealStart : public ::testing::Test {
 protected:
  class Shell : public fake::Shell {
   public:
    unsigned StartCommandLine(const std::string& commandLine, int) override {
      return posix::StartCommandLine(commandLine);
    }
  };

  RealStart() {
    char pattern[] = "/tmp/larkwend-start-XXXXXX";
    dir = mkdtemp(pattern);
    program = dir / "stand in browser";  // a blank in the path, for the quoting
    std::ofstream(program) << "#!/bin/sh\n"
                              "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$0.part\"\n"
                              "mv \"$0.part\" \"$0.args\"\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    shell.executeResult = 31;
    associations.Set(".htm", std::string("stand.in"));
    associations.Set("stand.in\\shell\\open\\command", "\"" + program.string() + "\" \"%1\"");
  }
  ~RealStart() override { std::filesystem::remove_all(dir); }

  // The arguments the stand-in received, once it has written them.
  std::vector<std::string> ReceivedArguments() {
    std::filesystem::path record = program.string() + ".args";
    for (int i = 0; i < 2000 && !std::filesystem::exists(record); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(record, std::ios::binary);
    std::vector<std::string> args;
    for (std::string arg; std::getline(in, arg, '\0');) args.push_back(arg);
    return args;
  }

  std::filesystem::path dir, program;
  fake::Host host;
  fake::DialogSystem dialogs{host};
  Shell shell;
  fake::FileAssociations associations;
  fake::DesktopWindows desktop;
  fake::Clock clock;
  fake::DesktopSession session;
  Platform platform{dialogs, shell, associations, desktop, clock, session};
};

TEST_F(RealStart, ALinkWithBlanksAndShellCharactersArrivesAsOneArgument) {
  std::string marker = (dir / "interpreted").string();
  std::string link = "http://127.0.0.1:9/a b;touch>" + marker + "&x=$(touch " + marker +
                     ")|`touch " + marker + "`'\\\"";
  EXPECT_GT(OpenInSystemBrowser(platform, link), 31);

  std::vector<std::string> args = ReceivedArguments();
  ASSERT_EQ(args.size(), 1u);
  EXPECT_EQ(args[0], LinkAsOneArgument(link));
  EXPECT_NE(args[0].find(";touch>" + marker + "&x=$(touch%20"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(RealStart, APlaceholderInsideAnArgumentLeavesItsBeginningAndTheLinkAfterIt) {
  associations.Set("stand.in\\shell\\open\\command",
                   "\"" + program.string() + "\" --new-window --url=%1 --dropped");
  EXPECT_GT(OpenInSystemBrowser(platform, kLink), 31);
  EXPECT_EQ(ReceivedArguments(), (std::vector<std::string>{"--new-window", "--url=", kLink}));
}

TEST_F(RealStart, AShellScriptAroundThePlaceholderIsNeverStarted) {
  std::string marker = (dir / "interpreted").string();
  associations.Set("stand.in\\shell\\open\\command", std::string(R"(sh -c "true %1")"));
  EXPECT_EQ(OpenInSystemBrowser(platform, "http://x/;touch${IFS}" + marker), 31);
  // Nothing was started that could create the marker later either.
  EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(RealStart, AProgramThatIsNotThereIsNotStarted) {
  EXPECT_EQ(posix::StartCommandLine("\"" + (dir / "missing").string() + "\" x"),
            posix::kFileNotFound);
  EXPECT_EQ(posix::StartCommandLine(""), posix::kFileNotFound);
  EXPECT_EQ(posix::StartCommandLine((dir).string()), posix::kBadFormat);  // a directory
}

}  // namespace
}  // namespace larkwend
