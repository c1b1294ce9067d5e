// SPDX-License-Identifier: GPL-3.0-or-later
// The portal's login page and personal centre, driven over HTTP.
#include <gtest/gtest.h>

#include "site_client.h"

namespace larkwend::practice::testing {
namespace {

class PortalTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(site.Started()) << site.Error(); }
  RunningSite site{TestOptions()};
};

TEST_F(PortalTest, LoginPageHasTheFieldsButtonsAndAVisibleCode) {
  SiteClient portal = site.Portal();
  auto page = portal.Get("/login/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  for (const char* id :
       {"txtUserName", "txtPassword", "sfyzNumber", "txtCode", "btnLogin", "btnLogin2"}) {
    EXPECT_NE(page->body.find(std::string("id=\"") + id + "\""), std::string::npos) << id;
  }
  // The form's own request addresses the personal centre's path.
  EXPECT_NE(page->body.find("action=\"/kvt/user/login\""), std::string::npos);
  std::string code = CodeOnPage(page->body);
  EXPECT_EQ(code.size(), 4u);
  EXPECT_FALSE(portal.Cookie("QMEDU_SID").empty());
  EXPECT_EQ(site.State()["lastCode"].String(), code);
}

TEST_F(PortalTest, IdCardLoginWithTheRightCodeLandsOnThePersonalCentre) {
  SiteClient portal = site.Portal();
  // The check letter typed in small letters is the same number.
  auto answer = LogInByIdCard(portal, "11010519491231002x");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 302);
  EXPECT_EQ(answer->get_header_value("Location"), "/kvt/user/");

  auto centre = portal.Get("/kvt/user/");
  ASSERT_TRUE(centre);
  EXPECT_EQ(centre->status, 200);
  EXPECT_NE(centre->body.find("11010519491231002X"), std::string::npos);
  EXPECT_NE(centre->body.find("clslist.aspx?ticket="), std::string::npos);
  EXPECT_NE(centre->body.find("target=\"_blank\""), std::string::npos);

  auto login = site.State()["logins"][0];
  EXPECT_EQ(login["kind"].String(), "idcard");
  EXPECT_EQ(login["sfyzNumber"].String(), "11010519491231002x");
  EXPECT_EQ(login["txtPassword"].String(), "");
  EXPECT_EQ(login["txtCode"].String(), login["expectedCode"].String());
  EXPECT_EQ(login["outcome"].String(), "ok");
}

TEST_F(PortalTest, UserNameLoginIgnoresTheNamesCaseButNotThePasswords) {
  SiteClient portal = site.Portal();
  auto wrong = LogInByUserName(portal, "Student01", "PASS123");
  ASSERT_TRUE(wrong);
  EXPECT_EQ(wrong->status, 200);
  EXPECT_NE(wrong->body.find("id=\"loginMessage\""), std::string::npos);
  EXPECT_EQ(portal.Get("/kvt/user/")->status, 302);

  auto right = LogInByUserName(portal, "STUDENT01", "pass123");
  ASSERT_TRUE(right);
  EXPECT_EQ(right->status, 302);
  EXPECT_EQ(portal.Get("/kvt/user/")->status, 200);

  auto logins = site.State()["logins"];
  ASSERT_EQ(logins.Size(), 2u);
  EXPECT_EQ(logins[0]["outcome"].String(), "bad-account");
  EXPECT_EQ(logins[1]["outcome"].String(), "ok");
  EXPECT_EQ(logins[1]["txtUserName"].String(), "STUDENT01");
  EXPECT_EQ(logins[1]["txtPassword"].String(), "pass123");
}

TEST_F(PortalTest, WrongCodeShowsTheFormAgainAndUsesTheCodeUp) {
  SiteClient portal = site.Portal();
  std::string code = CodeOnPage(portal.Get("/login/")->body);
  std::string wrongCode = code == "1000" ? "1001" : "1000";
  auto answer = portal.Post("/kvt/user/login", {{"loginType", "username"},
                                                {"txtUserName", "Student01"},
                                                {"txtPassword", "pass123"},
                                                {"txtCode", wrongCode}});
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  EXPECT_NE(answer->body.find("验证码错误"), std::string::npos);
  std::string newCode = CodeOnPage(answer->body);
  EXPECT_EQ(newCode.size(), 4u);

  // Only the code on the latest page counts; the first one was used up by the attempt.
  if (newCode != code) {
    auto stale = portal.Post("/kvt/user/login", {{"loginType", "username"},
                                                 {"txtUserName", "Student01"},
                                                 {"txtPassword", "pass123"},
                                                 {"txtCode", code}});
    EXPECT_EQ(stale->status, 200);
    EXPECT_EQ(portal.Get("/kvt/user/")->status, 302);
  }
  auto logins = site.State()["logins"];
  EXPECT_EQ(logins[0]["outcome"].String(), "bad-code");
  EXPECT_EQ(logins[0]["expectedCode"].String(), code);
}

TEST_F(PortalTest, LoginWithoutSessionOrKindIsRefused) {
  SiteClient portal = site.Portal();
  // No cookie: no code was ever shown to this browser.
  auto noSession = portal.Post(
      "/kvt/user/login",
      {{"loginType", "idcard"}, {"sfyzNumber", "11010519491231002X"}, {"txtCode", "1234"}});
  ASSERT_TRUE(noSession);
  EXPECT_EQ(noSession->status, 200);
  EXPECT_NE(noSession->body.find("id=\"loginMessage\""), std::string::npos);

  std::string code = CodeOnPage(portal.Get("/login/")->body);
  auto noKind =
      portal.Post("/kvt/user/login", {{"sfyzNumber", "11010519491231002X"}, {"txtCode", code}});
  ASSERT_TRUE(noKind);
  EXPECT_EQ(noKind->status, 400);
  EXPECT_EQ(portal.Get("/kvt/user/")->status, 302);

  auto logins = site.State()["logins"];
  EXPECT_EQ(logins[0]["outcome"].String(), "no-session");
  EXPECT_EQ(logins[1]["outcome"].String(), "bad-kind");
}

TEST_F(PortalTest, PersonalCentreWithoutLoginGoesToTheLoginPage) {
  SiteClient portal = site.Portal();
  auto centre = portal.Get("/kvt/user/");
  ASSERT_TRUE(centre);
  EXPECT_EQ(centre->status, 302);
  EXPECT_EQ(centre->get_header_value("Location"), "/login/");
}

TEST(PortalOptionsTest, AccountsAndFixedCodeComeFromTheOptions) {
  PracticeOptions options = TestOptions();
  options.userName = "zhang";
  options.password = "secret";
  options.fixedCode = "4321";
  RunningSite site(options);
  ASSERT_TRUE(site.Started()) << site.Error();
  SiteClient portal = site.Portal();
  EXPECT_EQ(CodeOnPage(portal.Get("/login/")->body), "4321");
  EXPECT_EQ(LogInByUserName(portal, "Student01", "pass123")->status, 200);
  EXPECT_EQ(LogInByUserName(portal, "zhang", "secret")->status, 302);
}

TEST(PortalOptionsTest, AutoStudentPagesSubmitOnceAndGoOnWhileRefusedLoginsStay) {
  PracticeOptions options = TestOptions();
  options.autoStudent = true;
  options.password = "p\"w";
  RunningSite site(options);
  ASSERT_TRUE(site.Started()) << site.Error();
  SiteClient portal = site.Portal();
  const std::string page = portal.Get("/login/")->body;
  EXPECT_NE(page.find("btnLogin2').click()"), std::string::npos);
  EXPECT_NE(page.find("= \"p\\\"w\";"), std::string::npos) << "the password as a JSON literal";
  EXPECT_EQ(LogInByUserName(portal, "Student01", "wrong")->body.find("').click()"),
            std::string::npos);
  EXPECT_EQ(portal.Get("/__shown")->status, 204);
  EXPECT_EQ(site.State()["loginShown"].Size(), 1u);

  ASSERT_EQ(LogInByUserName(portal, "Student01", "p\"w")->status, 302);
  EXPECT_NE(portal.Get("/kvt/user/")->body.find("<script>location.href = \"http://"),
            std::string::npos);
}

}  // namespace
}  // namespace larkwend::practice::testing
