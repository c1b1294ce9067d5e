// SPDX-License-Identifier: GPL-3.0-or-later
// The usage dialog and the banner on the real desktop services: GIO's default handler, the
// association read from the default text/html application, and programs started directly.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "app/quillmoor_dlg.h"
#include "app/usage_dlg.h"
#include "e2e_harness.h"
#include "e2e_message_boxes.h"
#include "e2e_program.h"
#include "platform/gtk/desktop_shell.h"
#include "platform/gtk/gtk_platform.h"
#include "platform/system_browser.h"
#include "platform/text.h"
#include "stand_in_browser.h"

namespace larkwend {
namespace {

// Before anything asks GIO for applications.
e2e::StandInBrowser g_browser;

constexpr const char* kLink = "http://127.0.0.1:18080/download/larkwend.zip?a=1&b=2";

TEST(DesktopServices, TheHtmlAssociationIsTheDefaultBrowsersEntry) {
  gtk::DesktopFileAssociations associations;
  FileAssociations::Key key = 0;
  char value[260] = {};
  ASSERT_EQ(associations.OpenKey(".htm", key), FileAssociations::kSuccess);
  ASSERT_EQ(associations.QueryDefaultValue(key, value, sizeof value), FileAssociations::kSuccess);
  associations.CloseKey(key);
  EXPECT_STREQ(value, e2e::StandInBrowser::kDesktopId);

  ASSERT_EQ(associations.OpenKey(std::string(value) + "\\shell\\open\\command", key),
            FileAssociations::kSuccess);
  char command[260] = {};
  EXPECT_EQ(associations.QueryDefaultValue(key, command, 10), FileAssociations::kMoreData);
  ASSERT_EQ(associations.QueryDefaultValue(key, command, sizeof command),
            FileAssociations::kSuccess);
  associations.CloseKey(key);
  EXPECT_EQ(command, "\"" + (g_browser.root() / "bin/stand in browser").string() + "\" %1");

  EXPECT_EQ(associations.OpenKey("nobody.desktop\\shell\\open\\command", key),
            FileAssociations::kFileNotFound);
  EXPECT_EQ(associations.OpenKey(".txt", key), FileAssociations::kFileNotFound);
}

class SystemBrowserOnTheDesktop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gtk_init(nullptr, nullptr); }
  void SetUp() override { g_browser.ForgetCalls(); }

  gtk::GtkPlatform real;
};

TEST_F(SystemBrowserOnTheDesktop, WhenTheShellFailsTheRegisteredCommandIsStartedDirectly) {
  struct FailingOpen : gtk::DesktopShell {
    std::intptr_t Execute(const std::string&, const std::string&, const std::string&,
                          int) override {
      return 31;
    }
  } shell;
  Platform platform = real.platform();
  Platform withFailingOpen{platform.dialogs, shell,          platform.associations,
                           platform.desktop, platform.clock, platform.session};
  const std::string link = std::string(kLink) + "&c=a b;$(id)";
  EXPECT_GT(OpenInSystemBrowser(withFailingOpen, link), 31);
  auto calls = g_browser.WaitForCalls(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].who, "browser");
  EXPECT_EQ(calls[0].args, std::vector<std::string>{LinkAsOneArgument(link)});
}

TEST_F(SystemBrowserOnTheDesktop, ThePlainBrowserIsXWwwBrowser) {
  EXPECT_GT(real.platform().shell.Execute("OPEN", "IEXPLORE", kLink, SW_SHOWMAXIMIZED), 32);
  auto calls = g_browser.WaitForCalls(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].who, "plain");
  EXPECT_EQ(calls[0].args, std::vector<std::string>{kLink});
}

// ---- the usage dialog and the banner in the running program -----------------------------------

const std::string kUsageTitle = "使用说明";

// The usage text as the dialog shows it.
std::string ShownUsageText() {
  return GbkToUtf8(UsageText());
}

// Answers every usage dialog: notes its text and focus, types Enter into it, notes the text
// again and whether it is still open, then closes it with Escape.
struct UsageVisits {
  struct Visit {
    std::string text, afterEnter;
    int focused;
    bool openAfterEnter;
  };
  std::vector<Visit> visits;
  e2e::WindowHandler handler{
      [](GtkWindow* w) { return e2e::ViewOf(w).title == kUsageTitle; },
      [this](GtkWindow* w) {
        e2e::Program usage(w);
        Visit visit{usage.Text(IDC_USAGE_TEXT), "", usage.FocusedControl(), false};
        usage.PressKey(GDK_KEY_Return);
        e2e::PumpFor(50);
        visit.afterEnter = usage.Text(IDC_USAGE_TEXT);
        visit.openAfterEnter = gtk_widget_get_visible(GTK_WIDGET(w));
        usage.PressKey(GDK_KEY_Escape);
        visits.push_back(visit);
      }};
};

TEST(UsageDialogInTheProgram, ShowsTheTextAndForgetsWhatWasTypedIntoIt) {
  UsageVisits usage;
  e2e::RunProgram({}, [&](e2e::Program& program) {
    program.Click(IDC_USAGE);
    program.Click(IDC_USAGE);
    EXPECT_TRUE(e2e::PumpUntil([] { return !e2e::FindWindowByTitle(kUsageTitle); }, 5000));
  });
  ASSERT_EQ(usage.visits.size(), 2u);
  for (const UsageVisits::Visit& visit : usage.visits) {
    EXPECT_EQ(visit.text, ShownUsageText());
    EXPECT_EQ(visit.focused, IDC_USAGE_TEXT);
    // Enter is a line break in the text, not the end of the dialog.
    EXPECT_TRUE(visit.openAfterEnter);
    EXPECT_NE(visit.afterEnter, visit.text);
    EXPECT_NE(visit.afterEnter.find('\n'), std::string::npos);
  }
}

TEST(UsageDialogInTheProgram, EnterInTheMainWindowsEditsAndComboOpensIt) {
  UsageVisits usage;
  e2e::RunProgram({}, [&](e2e::Program& program) {
    std::size_t opened = 0;
    for (int id : {IDC_ACCOUNT, IDC_PASSWORD, IDC_LOGIN_TYPE}) {
      program.Focus(id);
      ASSERT_EQ(program.FocusedControl(), id);
      program.PressKey(GDK_KEY_Return);
      ++opened;
      EXPECT_TRUE(e2e::PumpUntil([&] { return usage.visits.size() == opened; }, 5000))
          << "control " << id;
    }
  });
  ASSERT_EQ(usage.visits.size(), 3u);
  for (const UsageVisits::Visit& visit : usage.visits) EXPECT_EQ(visit.text, ShownUsageText());
}

class BannerInTheProgram : public ::testing::Test {
 protected:
  void SetUp() override { g_browser.ForgetCalls(); }

  // Start-up as if the update service had sent `link` with nothing newer.
  static e2e::ProgramOptions WithLink(const std::string& link) {
    e2e::ProgramOptions options;
    options.updateCheck = [link](Platform&, std::string& downloadUrl) {
      downloadUrl = link;
      return 1;
    };
    return options;
  }
};

TEST_F(BannerInTheProgram, WithoutALinkNothingOpens) {
  e2e::RunProgram(WithLink(""), [&](e2e::Program& program) {
    program.Click(IDC_BANNER);
    e2e::PumpFor(500);
  });
  EXPECT_TRUE(g_browser.Calls().empty());
}

TEST_F(BannerInTheProgram, EveryClickOpensTheLinkInTheSystemBrowser) {
  std::size_t afterFirst = 0;
  e2e::RunProgram(WithLink(kLink), [&](e2e::Program& program) {
    program.Click(IDC_BANNER);
    afterFirst = g_browser.WaitForCalls(1).size();
    e2e::PumpFor(600);  // longer than a double-click takes: two separate clicks
    program.Click(IDC_BANNER);
    g_browser.WaitForCalls(2);
  });
  EXPECT_EQ(afterFirst, 1u);
  auto calls = g_browser.Calls();
  ASSERT_EQ(calls.size(), 2u);
  for (const auto& call : calls) {
    EXPECT_EQ(call.who, "browser");
    EXPECT_EQ(call.args, std::vector<std::string>{kLink});
  }
}

TEST_F(BannerInTheProgram, ADoubleClickIsOneClick) {
  e2e::RunProgram(WithLink(kLink), [&](e2e::Program& program) {
    program.DoubleClick(IDC_BANNER);
    g_browser.WaitForCalls(2, 1500);
  });
  EXPECT_EQ(g_browser.Calls().size(), 1u);
}

}  // namespace
}  // namespace larkwend
