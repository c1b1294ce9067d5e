// The usage dialog and the banner on the real desktop services: GIO's default handler, the
// association read from the default text/html application, and programs started directly.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "app/system_browser.h"
#include "platform/gtk/desktop_shell.h"
#include "platform/gtk/gtk_platform.h"
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

TEST_F(SystemBrowserOnTheDesktop, TheDefaultHandlerGetsTheLink) {
  EXPECT_GT(OpenInSystemBrowser(real.platform(), kLink), 32);
  auto calls = g_browser.WaitForCalls(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].who, "browser");
  EXPECT_EQ(calls[0].args, std::vector<std::string>{kLink});
}

TEST_F(SystemBrowserOnTheDesktop, WhenTheShellFailsTheRegisteredCommandIsStartedDirectly) {
  struct FailingOpen : gtk::DesktopShell {
    std::intptr_t Execute(const std::string&, const std::string&, const std::string&,
                          int) override {
      return 31;
    }
  } shell;
  Platform platform = real.platform();
  Platform withFailingOpen{platform.dialogs, shell, platform.associations, platform.desktop};
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

}  // namespace
}  // namespace larkwend
