// SPDX-License-Identifier: GPL-3.0-or-later
// Command lines split and joined by the Windows rules, and desktop Exec lines read as open
// commands.
#include <gtest/gtest.h>

#include "platform/command_line.h"
#include "platform/desktop_exec.h"

namespace larkwend {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, SplitsByTheWindowsQuotingRules) {
  struct Case {
    const char* line;
    Args args;
  };
  const Case cases[] = {
      {R"("abc" d e)", {"abc", "d", "e"}},
      {R"(a\\\b d"e f"g h)", {R"(a\\\b)", "de fg", "h"}},
      {R"(x a\\\"b c d)", {"x", R"(a\"b)", "c", "d"}},
      {R"(x a\\\\"b c" d e)", {"x", R"(a\\b c)", "d", "e"}},
      {R"(x "a\\" b)", {"x", R"(a\)", "b"}},
      {R"(x a\b\ c)", {"x", R"(a\b\)", "c"}},
      {R"(x "" y)", {"x", "", "y"}},
      {R"(x "a""b c" d)", {"x", R"(a"b)", "c d"}},  // a doubled quote ends the quoted part
      {R"(x "a"""b c)", {"x", R"(a"b c)"}},         // three in a row stay inside
      {"  x\t\ta   b  ", {"x", "a", "b"}},
      {R"("C:\Program Files\b.exe"  http://h/)", {R"(C:\Program Files\b.exe)", "http://h/"}},
      {R"("p q"r s)", {"p q", "r", "s"}},         // the program name ends at its closing quote
      {R"(C:\dir\"x y)", {R"(C:\dir\"x)", "y"}},  // no quoting in an unquoted name
      {"", {}},
      {" \t ", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(SplitCommandLine(c.line), c.args);
  }
}

TEST(CommandLine, JoinedArgumentsSplitBackUnchanged) {
  const Args tricky[] = {
      {"prog", "plain", "with blank", "", "quote\"inside", R"(trailing\)", R"(\\"x\"\)",
       "tab\there", R"(C:\a b\)"},
      {"/opt/My Browser/bin", "%1"},
      {"solo"},
  };
  for (const Args& args : tricky) EXPECT_EQ(SplitCommandLine(JoinCommandLine(args)), args);
  EXPECT_EQ(JoinCommandLine({"/usr/bin/b", "--new", "%1"}), "/usr/bin/b --new %1");
}

TEST(DesktopExec, FileAndUrlFieldCodesBecomeThePlaceholder) {
  EXPECT_EQ(OpenCommandFromExec({"/usr/lib/firefox-esr/firefox-esr", "%u"}),
            "/usr/lib/firefox-esr/firefox-esr %1");
  EXPECT_EQ(OpenCommandFromExec({"/opt/My Browser/b", "--new-window", "%U"}),
            R"("/opt/My Browser/b" --new-window %1)");
  EXPECT_EQ(OpenCommandFromExec({"b", "%F"}), "b %1");
  EXPECT_EQ(OpenCommandFromExec({"b", "--file=%f"}), "b --file=%1");
}

TEST(DesktopExec, OtherFieldCodesAreRemoved) {
  EXPECT_EQ(OpenCommandFromExec({"b", "%i", "--name=%c", "%k", "%u", "100%%"}),
            "b --name= %1 100%");
  EXPECT_EQ(OpenCommandFromExec({"b", "--private"}), "b --private");
  EXPECT_EQ(OpenCommandFromExec({"b", "%d%D", "a b"}), R"(b "a b")");
}

}  // namespace
}  // namespace larkwend
