// SPDX-License-Identifier: GPL-3.0-or-later
// Login assistance against the in-memory browser: credential capture on the way to the portal's
// user pages, arming of the study cycle, quick login, and the two navigation buttons. The
// credential file is real, in a fresh working directory per test.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "app/credential_file.h"
#include "app/quillmoor_dlg.h"
#include "fake_platform.h"
#include "platform/private_profile.h"
#include "record_capture.h"
#include "resources/site_profile.h"
#include "resources/templates.h"
#include "resources/texts.h"
#include "scoped_working_dir.h"

namespace larkwend {
namespace {

const std::string kLoginUrl(site::PortalLoginUrl);
const std::string kUserCenterUrl(site::PortalUserCenterUrl);
const std::string kCourseListUrl(site::CourseListUrl);
const std::string kUserPageInCapitals = "HTTP://WWW.QMEDU.LOCALHOST:18080/KVT/USER/Index.aspx";
const std::string kStudyPage = "http://learn.qmstudy.localhost:18080/stu/Study_v2.aspx?id=7";

// The value stored under `key`, read without the 23-byte limit; "<none>" when absent.
std::string Stored(std::string_view key) {
  return GetPrivateProfileString(kCredentialSection, key, "<none>", 4096, kCredentialFilePath);
}

bool FileExists() {
  return std::filesystem::exists(kCredentialFilePath);
}

// The portal's login page with both forms; `without` leaves one element out.
fake::PagePtr LoginPage(const std::string& without = {}) {
  fake::PagePtr page = fake::MakePage(kLoginUrl);
  for (const char* id : {"txtUserName", "txtPassword", "sfyzNumber", "txtCode"})
    if (without != id) page->Input(id);
  for (const char* id : {"btnLogin", "btnLogin2"})
    if (without != id) page->Button(id);
  return page;
}

class LoginAssistance : public ::testing::Test {
 protected:
  fixtures::ScopedWorkingDir dir;
  fake::RecordCapture records;
  fake::PlatformFixture fx;
  CQuillmoorDlg dlg{fx.platform};
  fake::DialogWindow& window = fx.dialogs.Open(MainDialogTemplate(), dlg);
  fake::Control& browser = window.browser();

  void SetUp() override { browser.Pump(); }  // the first navigation, to the login page

  // Shows `page` with its fields filled (UTF-8), then leaves it for `next`.
  void SubmitLogin(const fake::PagePtr& page, const std::map<std::string, std::string>& fields,
                   const std::string& next = kUserPageInCapitals) {
    for (const auto& [id, value] : fields) page->FindById(id)->value = value;
    browser.Load(page);
    browser.LoadUrl(next);
  }
  std::string Captured() const { return dlg.m_capturedAccount.data(); }
  void TypeCredentials(const std::string& account, const std::string& password) {
    window.SetItemText(IDC_ACCOUNT, account);
    window.SetItemText(IDC_PASSWORD, password);
  }
  fake::ShownMessage LastMessage() const { return fx.dialogs.messages.back(); }
};

TEST_F(LoginAssistance, UserNameLoginIsCapturedOnTheWayToTheUserPagesInAnyCase) {
  SubmitLogin(LoginPage(), {{"txtUserName", "ZhangSan"}, {"txtPassword", "Secret1"}});
  EXPECT_EQ(Stored(kAccountKey), "ZhangSan");  // as typed
  EXPECT_EQ(Stored(kPasswordKey), "Secret1");
  EXPECT_EQ(Captured(), "zhangsan");
  EXPECT_EQ(fx.host.LiveReferences(), 0);
  EXPECT_TRUE(fx.dialogs.messages.empty());
  EXPECT_EQ(records.events(), std::vector<std::string>{"记住登录：账号 ZhangSan"});

  // Not even an address that carries it shows the password in a record.
  browser.LoadUrl(kUserCenterUrl + "?pwd=Secret1");
  EXPECT_TRUE(records.Recorded(kUserCenterUrl + "?pwd=***"));
  EXPECT_FALSE(records.Recorded("Secret1"));
}

TEST_F(LoginAssistance, ALoginSentByGetNeverShowsItsPasswordInARecord) {
  // The form's fields travel in the address of the navigation the capture is made on, the
  // password as typed on the page only: nothing is recorded of that address before the capture.
  struct Case {
    std::string password;  // UTF-8, as typed
    std::string inAddress;
  };
  const Case cases[] = {
      {"Secret1", "Secret1"},
      {"p@ss word&1", "p%40ss+word%261"},
      {"p@ss word&1", "p%40ss%20word%26%31"},
      {"100%x", "100%25x"},
      {"密码1", "%E5%AF%86%E7%A0%811"},  // a page in UTF-8
      {"密码1", "%c3%dc%c2%eb1"},        // a page in the code page
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.inAddress);
    fake::RecordCapture caseRecords;  // with no secret known
    SubmitLogin(LoginPage(), {{"txtUserName", "ZhangSan"}, {"txtPassword", c.password}},
                kUserCenterUrl + "login?txtUserName=ZhangSan&txtPassword=" + c.inAddress + "&x=1");
    EXPECT_EQ(Stored(kPasswordKey), Gbk(c.password));
    EXPECT_TRUE(caseRecords.Recorded("txtUserName=ZhangSan&txtPassword=***&x=1"));
    EXPECT_FALSE(caseRecords.Recorded(c.password));
    EXPECT_FALSE(caseRecords.Recorded(c.inAddress));
  }
}

TEST_F(LoginAssistance, OtherAddressesCaptureNothingButAFrameOnTheUserPagesDoes) {
  fake::PagePtr page = LoginPage();
  page->FindById("txtUserName")->value = "ZhangSan";
  page->FindById("txtPassword")->value = "pw";
  browser.Load(page);
  browser.LoadUrl(std::string(site::PortalHomeUrl));
  browser.Load(page);
  browser.LoadUrl("http://www.qmedu.localhost:18080/kvt/login/");
  EXPECT_FALSE(FileExists());

  browser.Load(page);
  browser.RaiseFrameBeforeNavigate("http://www.qmedu.localhost:18080/kvt/user/frame.aspx");
  EXPECT_EQ(Stored(kAccountKey), "ZhangSan");
}

TEST_F(LoginAssistance, IdCardLoginKeepsTheStoredPasswordAndLowerCasesTheX) {
  WriteCredential(kPasswordKey, "old password");
  SubmitLogin(LoginPage(), {{"sfyzNumber", "11010519491231002X"}});
  EXPECT_EQ(Stored(kAccountKey), "11010519491231002X");
  EXPECT_EQ(Stored(kPasswordKey), "old password");
  EXPECT_EQ(Captured(), "11010519491231002x");
}

TEST_F(LoginAssistance, OnlyTheFirstCaptureOfAStartIsKeptInMemory) {
  SubmitLogin(LoginPage(), {{"txtUserName", "First"}, {"txtPassword", "one"}});
  SubmitLogin(LoginPage(), {{"txtUserName", "Second"}, {"txtPassword", "two"}});
  EXPECT_EQ(Stored(kAccountKey), "Second");
  EXPECT_EQ(Stored(kPasswordKey), "two");
  EXPECT_EQ(Captured(), "first");
}

TEST_F(LoginAssistance, ALongAccountIsKeptWholeInTheFileAndCutOnACharacterInMemory) {
  // 22 letters and two Chinese characters: the first of them would end on byte 24.
  SubmitLogin(LoginPage(), {{"txtUserName", "ABCDEFGHIJKLMNOPQRSTUV张三"}, {"txtPassword", "pw"}});
  EXPECT_EQ(Stored(kAccountKey), "ABCDEFGHIJKLMNOPQRSTUV" + Gbk("张三"));
  EXPECT_EQ(Captured(), "abcdefghijklmnopqrstuv");
}

TEST_F(LoginAssistance, CaptureStopsQuietlyWhereThePageFallsShort) {
  // No document at all.
  fx.host.Null("Control.get_Document");
  SubmitLogin(LoginPage(), {{"txtUserName", "a"}, {"txtPassword", "b"}});
  fx.host.ClearFailures();
  // No password field: not a login page.
  SubmitLogin(LoginPage("txtPassword"), {{"txtUserName", "a"}});
  // Reading a field fails.
  fx.host.Fail("Input.get_value");
  SubmitLogin(LoginPage(), {{"txtUserName", "a"}, {"txtPassword", "b"}});
  fx.host.ClearFailures();
  // An ID-card login on a page without the ID-card field.
  SubmitLogin(LoginPage("sfyzNumber"), {});
  EXPECT_FALSE(FileExists());

  // The password is written before the user name is looked for.
  SubmitLogin(LoginPage("txtUserName"), {{"txtPassword", "pw"}});
  EXPECT_EQ(Stored(kPasswordKey), "pw");
  EXPECT_EQ(Stored(kAccountKey), "<none>");
  EXPECT_EQ(Captured(), "");
  EXPECT_EQ(fx.host.LiveReferences(), 0);
  EXPECT_TRUE(fx.dialogs.messages.empty());
}

TEST_F(LoginAssistance, AnEmptyAccountFieldIsStoredButCapturesNothing) {
  SubmitLogin(LoginPage(), {{"txtPassword", "pw"}});
  EXPECT_EQ(Stored(kAccountKey), "");
  EXPECT_EQ(Captured(), "");
}

TEST_F(LoginAssistance, AStudyPageArmsTheCycleOnlyWithItsDomainLabelAndACapture) {
  browser.LoadUrl(kStudyPage);  // nothing captured yet
  EXPECT_FALSE(window.TimerRunning(TIMER_WAIT_FOR_LIST));

  SubmitLogin(LoginPage(), {{"sfyzNumber", "110105"}});
  browser.LoadUrl("http://learn.other.localhost:18080/stu/Study_v2.aspx");
  browser.LoadUrl("http://learn.qmstudy.localhost:18080/stu/clslist.aspx");
  EXPECT_FALSE(window.TimerRunning(TIMER_WAIT_FOR_LIST));

  browser.RaiseFrameBeforeNavigate("HTTP://LEARN.QMSTUDY.LOCALHOST:18080/STU/STUDY_V2.ASPX?ID=7");
  EXPECT_TRUE(window.TimerRunning(TIMER_WAIT_FOR_LIST));
}

// ---- quick login -------------------------------------------------------------------------------

TEST_F(LoginAssistance, QuickLoginWithAnEmptyAccountOrNoDocumentDoesNothing) {
  fake::PagePtr page = LoginPage();
  browser.Load(page);
  TypeCredentials("", "pw");
  window.Click(IDC_QUICK_LOGIN);

  TypeCredentials("someone", "pw");
  fx.host.Null("Control.get_Document");
  window.Click(IDC_QUICK_LOGIN);

  EXPECT_FALSE(FileExists());
  for (const fake::ElementPtr& e : page->elements) {
    EXPECT_EQ(e->value, "") << e->id;
    EXPECT_EQ(e->clicks, 0) << e->id;
  }
}

TEST_F(LoginAssistance, QuickLoginByIdCardFillsOnlyTheIdCardFormAndStoresBoth) {
  fake::PagePtr page = LoginPage();
  browser.Load(page);
  TypeCredentials("11010519491231002X", "pw");
  window.Click(IDC_QUICK_LOGIN);

  EXPECT_EQ(page->FindById("sfyzNumber")->value, "11010519491231002X");
  EXPECT_EQ(page->FindById("btnLogin")->clicks, 1);
  EXPECT_EQ(page->FindById("txtUserName")->value, "");
  EXPECT_EQ(page->FindById("txtPassword")->value, "");
  EXPECT_EQ(page->FindById("btnLogin2")->clicks, 0);
  EXPECT_EQ(Stored(kAccountKey), "11010519491231002X");
  EXPECT_EQ(Stored(kPasswordKey), "pw");
  EXPECT_EQ(fx.host.LiveReferences(), 0);
}

TEST_F(LoginAssistance, QuickLoginByUserNameReadsTheComboSubmitsAndIsCapturedBack) {
  fake::PagePtr page = LoginPage();
  // The login button submits the form: the browser leaves for the user pages at once.
  page->FindById("btnLogin2")->onClick = [&] { browser.LoadUrl(kUserCenterUrl); };
  browser.Load(page);
  TypeCredentials(Gbk("张三Li"), Gbk("密码"));
  window.SetComboSelection(IDC_LOGIN_TYPE, LOGIN_BY_USER_NAME);
  window.Click(IDC_QUICK_LOGIN);

  EXPECT_EQ(dlg.m_loginType, LOGIN_BY_USER_NAME);
  EXPECT_EQ(page->FindById("txtUserName")->value, "张三Li");
  EXPECT_EQ(page->FindById("txtPassword")->value, "密码");
  EXPECT_EQ(page->FindById("sfyzNumber")->value, "");
  EXPECT_EQ(page->FindById("btnLogin")->clicks, 0);
  EXPECT_EQ(Stored(kAccountKey), Gbk("张三Li"));
  EXPECT_EQ(Stored(kPasswordKey), Gbk("密码"));
  EXPECT_EQ(Captured(), Gbk("张三li"));
  EXPECT_EQ(fx.host.LiveReferences(), 0);
}

TEST_F(LoginAssistance, QuickLoginStoresTheEditsEvenWhereTheFormCannotBeFilled) {
  fake::PagePtr page = LoginPage("txtPassword");
  browser.Load(page);
  TypeCredentials("user", "");
  window.SetComboSelection(IDC_LOGIN_TYPE, LOGIN_BY_USER_NAME);
  window.Click(IDC_QUICK_LOGIN);
  EXPECT_EQ(page->FindById("txtUserName")->value, "user");
  EXPECT_EQ(page->FindById("btnLogin2")->clicks, 0);
  EXPECT_EQ(Stored(kAccountKey), "user");
  EXPECT_EQ(Stored(kPasswordKey), "");  // an empty password is stored empty

  fake::PagePtr other = fake::MakePage(kCourseListUrl);
  browser.Load(other);
  TypeCredentials("elsewhere", "pw2");
  window.Click(IDC_QUICK_LOGIN);
  EXPECT_EQ(Stored(kAccountKey), "elsewhere");
  EXPECT_EQ(Stored(kPasswordKey), "pw2");
  EXPECT_EQ(fx.host.LiveReferences(), 0);
  EXPECT_TRUE(fx.dialogs.messages.empty());
}

// ---- the two navigation buttons ----------------------------------------------------------------

// What one click of a navigation button should do: go to `target`, or else show `message`.
struct ButtonOutcome {
  std::optional<std::string> target;
  std::string_view message;
  unsigned icon;
};

struct ButtonCase {
  std::string location;
  std::optional<std::string> personalCenter;  // where it navigates; nullopt: "未知站点"
  bool courseList;                            // navigates to the course list, or informs
};

TEST_F(LoginAssistance, NavigationButtonsGoWhereTheCurrentSiteAllowsOrSaySo) {
  auto expectClick = [&](int button, const ButtonOutcome& outcome) {
    fx.dialogs.messages.clear();
    std::size_t before = browser.navigations().size();
    window.Click(button);
    if (outcome.target) {
      ASSERT_EQ(browser.navigations().size(), before + 1);
      EXPECT_EQ(browser.navigations().back(), *outcome.target);
      EXPECT_TRUE(fx.dialogs.messages.empty());
      return;
    }
    EXPECT_EQ(browser.navigations().size(), before);
    ASSERT_EQ(fx.dialogs.messages.size(), 1u);
    EXPECT_EQ(LastMessage().text, Gbk(outcome.message));
    EXPECT_EQ(LastMessage().caption, Gbk(site::MessageCaption));
    EXPECT_EQ(LastMessage().type, MB_OK | outcome.icon);
    EXPECT_TRUE(LastMessage().owned);
  };

  const ButtonCase cases[] = {
      {"http://www.qmedu.localhost:18080/kvt/user/", kUserCenterUrl, false},
      {kStudyPage, kCourseListUrl, true},
      {"http://www.qmstudy.localhost:18080/", kCourseListUrl, false},  // study domain, other host
      {"http://example.localhost:18080/", std::nullopt, false},
      {"http://WWW.QMEDU.LOCALHOST:18080/", std::nullopt, false},  // the test is case-sensitive
  };
  for (const ButtonCase& c : cases) {
    SCOPED_TRACE(c.location);
    browser.Load(fake::MakePage(c.location));
    expectClick(IDC_PERSONAL_CENTER, {c.personalCenter, texts::kUnknownSite, MB_ICONERROR});
    expectClick(IDC_COURSE_LIST, {c.courseList ? std::optional(kCourseListUrl) : std::nullopt,
                                  texts::kEnterStudySystemFirst, MB_ICONINFORMATION});
  }
}

TEST_F(LoginAssistance, NavigationButtonsDoNothingWithoutABrowserWindow) {
  browser.Load(fake::MakePage("http://example.localhost/"));
  browser.SetHasWindow(false);
  std::size_t before = browser.navigations().size();
  window.Click(IDC_PERSONAL_CENTER);
  window.Click(IDC_COURSE_LIST);
  EXPECT_EQ(browser.navigations().size(), before);
  EXPECT_TRUE(fx.dialogs.messages.empty());
}

}  // namespace
}  // namespace larkwend
