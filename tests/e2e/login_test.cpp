// SPDX-License-Identifier: GPL-3.0-or-later
// Login assistance on the real desktop against the practice site: quick login of both kinds, the
// capture of a login typed into the page by hand, the credential file they leave for the next
// start, and the personal-centre and course-list buttons on each site.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/quillmoor_dlg.h"
#include "e2e_harness.h"
#include "e2e_message_boxes.h"
#include "e2e_practice_site.h"
#include "e2e_program.h"
#include "platform/private_profile.h"
#include "platform/text.h"
#include "scoped_working_dir.h"

namespace larkwend::e2e {
namespace {

namespace fs = std::filesystem;

// The practice portal's accounts; the user name is Chinese so that the GBK edges are crossed.
const std::string kUserName = "张三Li";
const std::string kPassword = "pass123";
const std::string kIdCard = "11010519491231002X";

// Text for a script: a JSON string literal.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// The value stored in the run's record.ini, in UTF-8; "<none>" when absent.
std::string Stored(const fs::path& dir, std::string_view key) {
  return GbkToUtf8(
      GetPrivateProfileString("set", key, "<none>", 4096, (dir / "record.ini").string()));
}

// Answers the main window's boxes (caption 提示), noting each one's text, the icons it shows and
// whether it stood centred on the window that owns it.
struct ShownBox {
  std::string text;
  std::vector<std::string> icons;
  bool centredOnOwner = true;
  bool operator==(const ShownBox&) const = default;
};
class BoxRecorder {
 public:
  BoxRecorder()
      : handler_([](GtkWindow* w) { return GTK_IS_MESSAGE_DIALOG(w) && ViewOf(w).title == "提示"; },
                 [this](GtkWindow* w) {
                   const WindowView view = ViewOf(w);
                   GtkWindow* owner = gtk_window_get_transient_for(w);
                   shown.push_back({view.text, view.icons,
                                    owner && CentredOn(ScreenRect(w), ScreenRect(owner))});
                   PressButton(w, "确定");
                 }) {}
  std::vector<ShownBox> shown;

 private:
  WindowHandler handler_;
};

class LoginOnTheDesktop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    site_ = std::make_unique<PracticeSite>(std::vector<std::string>{
        "--user", kUserName, "--password", kPassword, "--id-card", kIdCard});
  }
  static void TearDownTestSuite() { site_.reset(); }
  void SetUp() override {
    ASSERT_TRUE(site_->Ready()) << site_->Error();
    options.workingDirectory = dir.path();
    // The study cycle that a chapter page arms must not start working while a test looks on.
    options.timerScale = 1000;
  }

  // Waits for the login page and types the code it shows into its own field.
  static void OpenLoginPageAndTypeTheCode(Program& program) {
    ASSERT_TRUE(program.WaitForPage(PracticeSite::PortalUrl("/login/")));
    const std::string code = site_->LastVerificationCode();
    ASSERT_FALSE(code.empty());
    ASSERT_EQ(program.EvaluateInPage("document.getElementById('txtCode').value = " + Quoted(code) +
                                     "; true"),
              "true");
  }

  // Waits until the portal's personal centre shows after a login.
  static void ExpectPersonalCentre(Program& program) {
    ASSERT_TRUE(program.WaitForPage(PracticeSite::PortalUrl("/kvt/user/")));
    EXPECT_EQ(program.BrowserUri(), PracticeSite::PortalUrl("/kvt/user/"));
    EXPECT_EQ(program.EvaluateInPage("document.getElementById('welcome') !== null"), "true");
  }

  // The portal's last login attempt: which form, what was posted, and that it was accepted.
  static void ExpectLastLogin(const std::string& kind, const std::string& userName,
                              const std::string& password, const std::string& idNumber) {
    const std::vector<PracticeLogin> logins = site_->Logins();
    ASSERT_FALSE(logins.empty());
    const PracticeLogin& last = logins.back();
    EXPECT_EQ(last.kind, kind);
    EXPECT_EQ(last.userName, userName);
    EXPECT_EQ(last.password, password);
    EXPECT_EQ(last.idNumber, idNumber);
    EXPECT_EQ(last.code, last.expectedCode);
    EXPECT_EQ(last.outcome, "ok");
  }

  // A second start in the same working directory shows what the first one stored.
  void ExpectRestartShows(const std::string& account, const std::string& password) {
    ProgramRun run = RunProgram(options, [&](Program& program) {
      EXPECT_EQ(program.Text(IDC_ACCOUNT), account);
      EXPECT_EQ(program.Text(IDC_PASSWORD), password);
    });
    EXPECT_TRUE(run.mainWindowShown);
  }

  fixtures::ScopedWorkingDir dir;
  ProgramOptions options;
  static std::unique_ptr<PracticeSite> site_;
};
std::unique_ptr<PracticeSite> LoginOnTheDesktop::site_;

TEST_F(LoginOnTheDesktop, QuickLoginByUserNameReachesThePersonalCentreAndIsRemembered) {
  ProgramRun run = RunProgram(options, [](Program& program) {
    OpenLoginPageAndTypeTheCode(program);
    program.SetText(IDC_ACCOUNT, kUserName);
    program.SetText(IDC_PASSWORD, kPassword);
    program.SelectComboItem(IDC_LOGIN_TYPE, LOGIN_BY_USER_NAME);
    program.Click(IDC_QUICK_LOGIN);
    ExpectPersonalCentre(program);
  });
  ASSERT_TRUE(run.mainWindowShown);
  ExpectLastLogin("username", kUserName, kPassword, "");
  EXPECT_EQ(Stored(dir.path(), "acount"), kUserName);
  EXPECT_EQ(Stored(dir.path(), "password"), kPassword);
  EXPECT_EQ(fs::status(dir.path() / "record.ini").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  ExpectRestartShows(kUserName, kPassword);
}

TEST_F(LoginOnTheDesktop, QuickLoginByIdCardReachesThePersonalCentreAndIsRemembered) {
  ProgramRun run = RunProgram(options, [](Program& program) {
    OpenLoginPageAndTypeTheCode(program);
    program.SetText(IDC_ACCOUNT, kIdCard);
    program.SetText(IDC_PASSWORD, "");
    EXPECT_EQ(program.ComboSelection(IDC_LOGIN_TYPE), LOGIN_BY_ID_CARD);
    program.Click(IDC_QUICK_LOGIN);
    ExpectPersonalCentre(program);
  });
  ASSERT_TRUE(run.mainWindowShown);
  ExpectLastLogin("idcard", "", "", kIdCard);
  EXPECT_EQ(Stored(dir.path(), "acount"), kIdCard);
  EXPECT_EQ(Stored(dir.path(), "password"), "");
  ExpectRestartShows(kIdCard, "");
}

TEST_F(LoginOnTheDesktop, LoginsTypedIntoThePageAreCapturedOnTheWayToThePersonalCentre) {
  ProgramRun run = RunProgram(options, [](Program& program) {
    EXPECT_EQ(program.Text(IDC_ACCOUNT), "");  // nothing stored yet

    // By user name, typed and submitted through the page alone.
    OpenLoginPageAndTypeTheCode(program);
    ASSERT_EQ(program.EvaluateInPage(
                  "document.getElementById('txtUserName').value = " + Quoted(kUserName) +
                  ";document.getElementById('txtPassword').value = " + Quoted(kPassword) +
                  ";document.getElementById('btnLogin2').click(); true"),
              "true");
    ExpectPersonalCentre(program);
    EXPECT_EQ(program.Text(IDC_ACCOUNT), "");  // the edits are not touched
  });
  ASSERT_TRUE(run.mainWindowShown);
  ExpectLastLogin("username", kUserName, kPassword, "");
  EXPECT_EQ(Stored(dir.path(), "acount"), kUserName);
  EXPECT_EQ(Stored(dir.path(), "password"), kPassword);

  // By ID card: the stored password stays as it was.
  run = RunProgram(options, [](Program& program) {
    OpenLoginPageAndTypeTheCode(program);
    ASSERT_EQ(
        program.EvaluateInPage("document.getElementById('sfyzNumber').value = " + Quoted(kIdCard) +
                               ";document.getElementById('btnLogin').click(); true"),
        "true");
    ExpectPersonalCentre(program);
  });
  ASSERT_TRUE(run.mainWindowShown);
  ExpectLastLogin("idcard", "", "", kIdCard);
  EXPECT_EQ(Stored(dir.path(), "acount"), kIdCard);
  EXPECT_EQ(Stored(dir.path(), "password"), kPassword);
  ExpectRestartShows(kIdCard, kPassword);
}

TEST_F(LoginOnTheDesktop, NavigationButtonsGoWithinEachSiteOrSayWhy) {
  BoxRecorder boxes;
  const ShownBox enterStudyFirst{"请先进入到学习系统。", {"dialog-information"}};
  ProgramRun run = RunProgram(options, [&](Program& program) {
    auto load = [&](const std::string& url) {
      webkit_web_view_load_uri(program.Browser(), url.c_str());
      ASSERT_TRUE(program.WaitForPage(url));
    };
    auto pressAndWait = [&](int button, const std::string& url) {
      program.Click(button);
      ASSERT_TRUE(program.WaitForPage(url)) << button;
      EXPECT_EQ(program.BrowserUri(), url);
    };
    const std::string userCentre = PracticeSite::PortalUrl("/kvt/user/");
    const std::string courseList = PracticeSite::StudyUrl("/stu/clslist.aspx");

    // On the portal, once logged in.
    OpenLoginPageAndTypeTheCode(program);
    program.SetText(IDC_ACCOUNT, kIdCard);
    program.Click(IDC_QUICK_LOGIN);
    ExpectPersonalCentre(program);
    load(PracticeSite::PortalUrl("/"));
    pressAndWait(IDC_PERSONAL_CENTER, userCentre);
    program.Click(IDC_COURSE_LIST);
    ASSERT_EQ(boxes.shown, std::vector{enterStudyFirst});
    EXPECT_EQ(program.BrowserUri(), userCentre);

    // On the study platform, entered through the personal centre's link.
    ASSERT_EQ(program.EvaluateInPage("document.getElementById('studyLink').click(); true"), "true");
    ASSERT_TRUE(program.WaitForPage(courseList));
    load(PracticeSite::ChapterPageUrl(1));
    pressAndWait(IDC_COURSE_LIST, courseList);
    load(PracticeSite::ChapterPageUrl(1));
    pressAndWait(IDC_PERSONAL_CENTER, courseList);

    // Anywhere else.
    load("about:blank");
    program.Click(IDC_PERSONAL_CENTER);
    program.Click(IDC_COURSE_LIST);
    EXPECT_EQ(boxes.shown, (std::vector{enterStudyFirst, ShownBox{"未知站点", {"dialog-error"}},
                                        enterStudyFirst}));
    EXPECT_EQ(program.BrowserUri(), "about:blank");
  });
  EXPECT_TRUE(run.mainWindowShown);
}

}  // namespace
}  // namespace larkwend::e2e
