// SPDX-License-Identifier: GPL-3.0-or-later
// The usage dialog and the banner of the main window.
#include <gtest/gtest.h>

#include "app/quillmoor_app.h"
#include "app/quillmoor_dlg.h"
#include "app/usage_dlg.h"
#include "fake_platform.h"
#include "platform/text.h"
#include "resources/site_profile.h"
#include "resources/templates.h"

namespace larkwend {
namespace {

TEST(UsageText, IsTheGbkTextWithCrLfBetweenLinesAndNoneAfterTheLast) {
  const std::string expectedUtf8 =
      "使用说明：\r\n"
      "\r\n"
      "1、本软件基于方便学员登录[" +
      std::string(site::PortalDisplayName) +
      "]\r\n"
      "（" +
      std::string(site::PortalHomeUrl) +
      "）进行网络培训，仅限于学习辅助性质；\r\n"
      "\r\n"
      "2、利用软件可以快捷登录学习，自动切换已完成的章节，提高学习效率；\r\n"
      "\r\n"
      "3、使用软件快捷登录要注意先自行填上验证码。";
  const std::string text = UsageText();
  EXPECT_EQ(text, Utf8ToGbk(expectedUtf8));
  // The bytes themselves: GBK, not UTF-8.
  EXPECT_EQ(text.substr(0, 10), "\xCA\xB9\xD3\xC3\xCB\xB5\xC3\xF7\xA3\xBA");  // 使用说明：
  EXPECT_EQ(text.substr(text.size() - 2), "\xA1\xA3");                        // 。
  EXPECT_EQ(text.substr(10, 4), "\r\n\r\n");
}

class UsageDialog : public ::testing::Test {
 protected:
  UsageDialog() : dialog(f.platform) { main = &f.dialogs.Open(MainDialogTemplate(), dialog); }
  ~UsageDialog() override { TheApp().m_strDownloadUrl.clear(); }

  fake::PlatformFixture f;
  CQuillmoorDlg dialog;
  fake::DialogWindow* main;
};

TEST_F(UsageDialog, TheUsageButtonShowsTheFullTextAgainAtEveryOpening) {
  std::vector<std::string> shown;
  f.dialogs.onModal = [&](fake::DialogWindow& usage) {
    shown.push_back(usage.GetItemText(IDC_USAGE_TEXT));
    usage.SetItemText(IDC_USAGE_TEXT, "typed over");
    usage.EndDialog(IDCANCEL);
  };
  main->Click(IDC_USAGE);
  main->Click(IDC_USAGE);
  EXPECT_EQ(f.dialogs.templatesRun, (std::vector<int>{IDD_MAIN, IDD_USAGE, IDD_USAGE}));
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], UsageText());
  EXPECT_EQ(shown[1], UsageText());
  EXPECT_FALSE(main->result());  // the main window stays open
}

TEST_F(UsageDialog, TheBannerDoesNothingWithoutALink) {
  main->Click(IDC_BANNER);
  EXPECT_TRUE(f.shell.executed.empty());
  EXPECT_TRUE(f.shell.started.empty());
}

TEST_F(UsageDialog, EveryClickOnTheBannerOpensTheLinkButADoubleClickDoesNot) {
  TheApp().m_strDownloadUrl = "http://127.0.0.1:18080/download/";
  main->Click(IDC_BANNER);
  dialog.OnCommand(IDC_BANNER, 1);  // the double-click notification
  main->Click(IDC_BANNER);
  ASSERT_EQ(f.shell.executed.size(), 2u);
  for (const fake::Shell::Call& call : f.shell.executed) {
    EXPECT_EQ(call.verb, "open");
    EXPECT_EQ(call.file, "http://127.0.0.1:18080/download/");
  }
}

}  // namespace
}  // namespace larkwend
