// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up and the main window against the in-memory platform: the update gate before any window,
// the order of the initialisation, resizing, the data exchange and the routing of clicks and
// browser events to the handlers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "app/quillmoor_app.h"
#include "app/quillmoor_dlg.h"
#include "fake_platform.h"
#include "platform/diagnostics.h"
#include "platform/journal.h"
#include "platform/posix/file_journal.h"
#include "resources/site_profile.h"
#include "resources/templates.h"
#include "resources/texts.h"
#include "scoped_working_dir.h"
#include "update/update_check.h"

namespace larkwend {
namespace {

const std::string kLoginUrl(site::PortalLoginUrl);

// ---- start-up ---------------------------------------------------------------------------------

TEST(StartUp, UpdateStopEndsTheProgramBeforeAnyWindow) {
  fake::PlatformFixture f;
  CQuillmoorApp app;
  int checks = 0;
  app.m_updateCheck = [&](Platform&, std::string&) {
    ++checks;
    return UPDATE_STOP;
  };
  EXPECT_FALSE(app.InitInstance(f.platform));
  EXPECT_EQ(checks, 1);
  EXPECT_TRUE(f.dialogs.templatesRun.empty());
  EXPECT_TRUE(f.dialogs.messages.empty());
}

TEST(StartUp, EveryOtherResultOpensTheMainWindowAfterTheCheck) {
  for (int result : {-3, -2, -1, 0, 1, UPDATE_STOP - 1, UPDATE_STOP + 1}) {
    SCOPED_TRACE(result);
    fake::PlatformFixture f;
    CQuillmoorApp app;
    bool checkedBeforeAnyWindow = false;
    app.m_updateCheck = [&](Platform& platform, std::string& downloadUrl) {
      checkedBeforeAnyWindow = &platform == &f.platform && f.dialogs.templatesRun.empty();
      downloadUrl = "http://127.0.0.1:19527/setup.exe";
      return result;
    };
    std::string titleShown;
    f.dialogs.onModal = [&](fake::DialogWindow& w) { titleShown = w.title(); };

    EXPECT_FALSE(app.InitInstance(f.platform));
    EXPECT_TRUE(checkedBeforeAnyWindow);
    EXPECT_EQ(f.dialogs.templatesRun, std::vector<int>{IDD_MAIN});
    EXPECT_EQ(titleShown, "Larkwend V3.1");
    // The check writes the application's own link, which the banner reads later.
    EXPECT_EQ(app.m_strDownloadUrl, "http://127.0.0.1:19527/setup.exe");
    EXPECT_TRUE(f.dialogs.messages.empty());
  }
}

TEST(StartUp, TheCancelCommandEndsTheProgramWritingNothing) {
  fixtures::ScopedWorkingDir dir;
  fake::PlatformFixture f;
  CQuillmoorApp app;
  app.m_updateCheck = [](Platform&, std::string&) { return 1; };
  f.dialogs.onModal = [](fake::DialogWindow& w) {
    w.SetItemText(IDC_ACCOUNT, "typed-but-not-captured");
    w.Click(IDCANCEL);
    EXPECT_EQ(w.result(), IDCANCEL);
  };
  EXPECT_FALSE(app.InitInstance(f.platform));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// A journal that keeps runs: two ended without closing theirs.
class JournalOfRuns final : public Journal {
 public:
  void Append(std::string_view utf8Event) override { events.emplace_back(utf8Event); }
  std::vector<UnendedRun> OpenRun() override {
    events.push_back("(run opened)");
    return {{4242, "2026-12-08T01:24:00"}, {4250, "2026-12-08T02:00:00"}};
  }
  void CloseRun() override { events.push_back("(run closed)"); }
  std::vector<std::string> events;
};

TEST(StartUp, TheJournalHearsOfRunsThatEndedUnexpectedlyAndThisRunClosesAfterItsLastLine) {
  for (const int update : {1, UPDATE_STOP}) {
    SCOPED_TRACE(update);
    JournalOfRuns journal;
    ScopedJournal inUse(journal);
    fake::PlatformFixture f;
    CQuillmoorApp app;
    app.m_updateCheck = [&](Platform&, std::string&) { return update; };
    f.dialogs.onModal = [](fake::DialogWindow& w) { w.Click(IDCANCEL); };
    EXPECT_FALSE(app.InitInstance(f.platform));
    EXPECT_EQ(journal.events,
              (std::vector<std::string>{
                  "程序启动，版本 3.1", "(run opened)",
                  "上次运行意外结束：进程 4242，启动于 2026-12-08T01:24:00",
                  "上次运行意外结束：进程 4250，启动于 2026-12-08T02:00:00",
                  update == 1 ? "检查更新：没有新版本" : "检查更新：必须更新后才能使用", "程序结束",
                  "(run closed)"}));
  }
}

// ---- the main window --------------------------------------------------------------------------

class MainWindow : public ::testing::Test {
 protected:
  fixtures::ScopedWorkingDir dir;
  fixtures::ScopedConfigHome configHome{dir.path() / "config"};
  fake::PlatformFixture f;
  CQuillmoorDlg dlg{f.platform};

  fake::DialogWindow& Open() { return f.dialogs.Open(MainDialogTemplate(), dlg); }
  static void WriteCredentialFile(const std::string& gbkText) {
    std::ofstream("record.ini", std::ios::binary) << gbkText;
  }
};

TEST_F(MainWindow, InitialisesInOrder) {
  WriteCredentialFile("[set]\r\nacount=430102199001011234\r\npassword=" + Gbk("密码") + "\r\n");
  fake::DialogWindow& w = Open();
  const std::vector<std::string> expected{
      // The framework: the combo's items, then the exchange towards the controls.
      "AddComboItem 1009 " + Gbk("身份证"),
      "AddComboItem 1009 " + Gbk("用户名"),
      "SetComboSelection 1009 0",
      "SetIcon 128",
      "GetItemRect 1000",
      "GetClientRect",
      "SetTitle Larkwend V3.1",
      // The browser shows no dialogs of its own before it first navigates.
      "Silent 1",
      "Navigate2 " + kLoginUrl,
      "SetItemText 1002 430102199001011234",
      "SetItemText 1003 " + Gbk("密码"),
      "SetComboSelection 1009 0",
      // The foot, as the template places it, and the remembered choices (none here).
      "GetItemRect 1011",
      "GetItemRect 1012",
      "SetCheck 1010 0",
      "SetCheck 1013 0",
  };
  EXPECT_EQ(w.journal(), expected);
}

TEST_F(MainWindow, ResetsThePerStartStateAndLeavesEditsEmptyWithoutACredentialFile) {
  dlg.m_loginType = LOGIN_BY_USER_NAME;
  dlg.m_capturedAccount.fill('x');
  fake::DialogWindow& w = Open();
  EXPECT_EQ(dlg.m_loginType, LOGIN_BY_ID_CARD);
  EXPECT_EQ(w.GetComboSelection(IDC_LOGIN_TYPE), 0);
  EXPECT_EQ(w.GetItemText(IDC_LOGIN_TYPE), Gbk("身份证"));
  EXPECT_EQ(dlg.m_capturedAccount, (std::array<char, 24>{}));
  EXPECT_EQ(w.GetItemText(IDC_ACCOUNT), "");
  EXPECT_EQ(w.GetItemText(IDC_PASSWORD), "");
}

TEST_F(MainWindow, LongStoredCredentialsShowTheirFirst23Bytes) {
  WriteCredentialFile("[set]\r\nacount=123456789012345678901234567\r\npassword=" +
                      Gbk("一二三四五六七八九十一二") + "\r\n");
  fake::DialogWindow& w = Open();
  EXPECT_EQ(w.GetItemText(IDC_ACCOUNT), "12345678901234567890123");
  // Never half a character: eleven of the twelve two-byte characters fit.
  EXPECT_EQ(w.GetItemText(IDC_PASSWORD), Gbk("一二三四五六七八九十一"));
}

TEST_F(MainWindow, ResizingKeepsTheBrowsersCornerAndMargins) {
  fake::DialogWindow& w = Open();
  const PixelRect client = w.GetClientRect();
  const PixelRect browser = w.GetItemRect(IDC_BROWSER);
  // Template 102: one unit to the right of the browser, the 36-unit strip above it.
  EXPECT_EQ(dlg.m_widthMargin, client.width - browser.width);
  EXPECT_EQ(dlg.m_heightMargin, client.height - browser.height);
  EXPECT_GT(dlg.m_widthMargin, 0);
  EXPECT_GT(dlg.m_heightMargin, browser.y);  // the foot's line below it

  for (auto [width, height] : {std::pair{1400, 900}, {640, 480}, {client.width, client.height}}) {
    w.Resize(width, height);
    const PixelRect after = w.GetItemRect(IDC_BROWSER);
    EXPECT_EQ(after.x, browser.x);
    EXPECT_EQ(after.y, browser.y);
    EXPECT_EQ(width - after.width, dlg.m_widthMargin);
    EXPECT_EQ(height - after.height, dlg.m_heightMargin);
  }
  // A client area smaller than the margins (a minimised window) gives an empty browser.
  w.Resize(0, 0);
  EXPECT_EQ(w.GetItemRect(IDC_BROWSER).width, 0);
  EXPECT_EQ(w.GetItemRect(IDC_BROWSER).height, 0);
}

// The status line takes the width, never less than none; the journal button keeps its corner.
TEST_F(MainWindow, TheFootGoesWithTheBottomEdge) {
  fake::DialogWindow& w = Open();
  const PixelRect client = w.GetClientRect();
  const PixelRect status = w.GetItemRect(IDC_RUN_STATUS), button = w.GetItemRect(IDC_OPEN_JOURNAL);
  for (auto [width, height] : {std::pair{1400, 900}, {client.width, client.height}, {10, 100}}) {
    w.Resize(width, height);
    const int dx = width - client.width, dy = height - client.height;
    const PixelRect s = w.GetItemRect(IDC_RUN_STATUS), j = w.GetItemRect(IDC_OPEN_JOURNAL);
    EXPECT_EQ(std::tie(s.x, s.y, s.width, s.height),
              std::tuple(status.x, status.y + dy, std::max(status.width + dx, 0), status.height));
    EXPECT_EQ(std::tie(j.x, j.y, j.width, j.height),
              std::tuple(button.x + dx, button.y + dy, button.width, button.height));
  }
}

// Off until the student checks it; each window after that starts as the last one was left. A
// choice that cannot be written holds for its window only, and the diagnostics say why. The
// sound goes off for the whole view, at once.
TEST_F(MainWindow, ItsChoicesAreRememberedAcrossWindowsInTheSettingsFile) {
  struct Choice {
    int box;
    bool (CQuillmoorDlg::*chosen)() const;
    std::string line, diagnostic;
  };
  for (const auto& [box, chosen, line, diagnostic] :
       {Choice{IDC_STUDY_ALL_COURSES, &CQuillmoorDlg::StudyAllCourses, "all_courses=1",
               "cannot write the every-course setting"},
        Choice{IDC_MUTE, &CQuillmoorDlg::Muted, "muted=1", "cannot write the sound setting"}}) {
    SCOPED_TRACE(line);
    std::filesystem::remove_all(dir.path() / "config");
    for (const bool expected : {false, true, false}) {
      CQuillmoorDlg dialog(f.platform);
      fake::DialogWindow& w = f.dialogs.Open(MainDialogTemplate(), dialog);
      EXPECT_EQ(w.GetCheck(box), expected);
      EXPECT_EQ((dialog.*chosen)(), expected);
      w.Click(box);
      EXPECT_EQ((dialog.*chosen)(), !expected);
      if (box == IDC_MUTE) {
        EXPECT_EQ(w.browser().muted(), !expected);
      }
    }
    std::ifstream file(dir.path() / "config/larkwend/settings.ini");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "[study]\n" + line + "\n");

    std::filesystem::remove_all(dir.path() / "config");
    std::ofstream(dir.path() / "config") << "a file where the folder should be";
    std::string said;
    ScopedDiagnosticSink sink([&](std::string_view text) { said = text; });
    for (int window = 0; window < 2; ++window) {  // neither finds the other's choice
      CQuillmoorDlg dialog(f.platform);
      f.dialogs.Open(MainDialogTemplate(), dialog).Click(box);
      EXPECT_TRUE((dialog.*chosen)());
      EXPECT_NE(said.find(diagnostic), std::string::npos) << said;
    }
    std::filesystem::remove(dir.path() / "config");
  }
}

// The journal is made empty when it is missing; a box says what went wrong otherwise.
TEST_F(MainWindow, TheJournalButtonOpensTheJournalFile) {
  const std::string path = (dir.path() / "state/larkwend/journal.log").string();
  for (auto [journal, viewer, message] :
       {std::tuple{true, true, std::string()},
        {true, false, std::string(texts::kJournalNoViewer) + path},
        {false, true, std::string(texts::kJournalCannotBeMade)}}) {
    SCOPED_TRACE(message);
    posix::FileJournal file(journal ? path : "");
    ScopedJournal inUse(file);
    std::filesystem::remove(path);  // as before its first line
    f.shell.opened.clear();
    f.shell.openResult = viewer;
    f.dialogs.messages.clear();
    CQuillmoorDlg dialog(f.platform);
    f.dialogs.Open(MainDialogTemplate(), dialog).Click(IDC_OPEN_JOURNAL);
    EXPECT_EQ(f.shell.opened, journal ? std::vector{path} : std::vector<std::string>{});
    EXPECT_EQ(std::filesystem::exists(path) && std::filesystem::file_size(path) == 0, journal);
    std::vector<std::string> shown;
    for (const fake::ShownMessage& m : f.dialogs.messages) shown.push_back(m.text);
    EXPECT_EQ(shown, message.empty() ? std::vector<std::string>{} : std::vector{Gbk(message)});
  }
}

TEST_F(MainWindow, ResizingWaitsForTheBrowsersWindow) {
  fake::DialogWindow& w = Open();
  const PixelRect before = w.GetItemRect(IDC_BROWSER);
  w.browser().SetHasWindow(false);
  w.Resize(1400, 900);
  const PixelRect after = w.GetItemRect(IDC_BROWSER);
  EXPECT_EQ(after.width, before.width);
  EXPECT_EQ(after.height, before.height);
}

// The map sends a click to its handler (each button's own test says what the handler does), and
// nothing else: neither another notification nor an unknown id.
TEST_F(MainWindow, ClicksReachTheirHandlers) {
  fake::DialogWindow& w = Open();
  w.browser().Pump();       // the login page
  w.Click(IDC_AUTO_STUDY);  // not on a chapter page
  ASSERT_EQ(f.dialogs.messages.size(), 1u);
  EXPECT_EQ(f.dialogs.messages[0].text, Gbk(texts::kOpenBookStudyFirst));
  EXPECT_TRUE(f.dialogs.messages[0].owned);

  const std::size_t navigations = w.browser().navigations().size();
  dlg.OnCommand(IDC_PERSONAL_CENTER, 1);
  dlg.OnCommand(1234, BN_CLICKED);
  EXPECT_EQ(w.browser().navigations().size(), navigations);
  EXPECT_FALSE(w.result().has_value());
  EXPECT_EQ(f.dialogs.messages.size(), 1u);
}

TEST_F(MainWindow, OkAndCancelEndTheDialogWithTheirResult) {
  for (int command : {IDOK, IDCANCEL}) {
    CQuillmoorDlg dialog(f.platform);
    fake::DialogWindow& w = f.dialogs.Open(MainDialogTemplate(), dialog);
    w.Click(command);
    EXPECT_EQ(w.result(), command);
  }
}

TEST_F(MainWindow, BrowserEventsReachTheirHandlers) {
  fake::DialogWindow& w = Open();
  // DocumentComplete of the top-level page: its links are kept inside the browser.
  fake::PagePtr page = fake::MakePage(kLoginUrl);
  fake::ElementPtr link = page->Anchor("http://www.qmedu.localhost:18080/news/", "_blank");
  w.browser().Load(page);
  EXPECT_EQ(link->target, std::string("_self"));
}

}  // namespace
}  // namespace larkwend
