// SPDX-License-Identifier: GPL-3.0-or-later
// The study platform's session as its HttpOnly cookie alone (--cookie-session), and a sign-out
// that shows the portal's login page in the chapter page's frames (--sign-out-how portal-frames).
#include <gtest/gtest.h>

#include <regex>

#include "site_client.h"

namespace larkwend::practice::testing {
namespace {

PracticeOptions Options(bool cookieSession) {
  PracticeOptions options = TestOptions();
  options.courses = 1;
  options.chapters = 3;
  options.finishedChapters = 0;
  options.chapterSeconds = 4;
  options.cookieSession = cookieSession;
  return options;
}

std::string LoginAt(const RunningSite& site) {
  return "http://www.qmedu.localhost:" + std::to_string(site.HttpPort()) + "/login/";
}

// The chapter page opens chapter 1, which is studied to its level.
std::string OpenAndStudy(RunningSite& site, SiteClient& study) {
  auto page = study.Get("/stu/book_right.aspx?id=1-001");
  std::smatch token;
  if (!page || !std::regex_search(page->body, token, std::regex(R"re(viewToken = "(\w+)")re")))
    return {};
  site.clock.Advance(std::chrono::seconds(5));
  return token[1].str();
}

TEST(StudySessionTest, WithoutItsCookiePagesGoToTheLoginPageAndThePagesOwnRequestsAreRefused) {
  struct Case {
    bool cookieSession;
    int pageStatus;     // a page without the session
    bool popupGuarded;  // the pop-up's report needs it too
  };
  for (const Case c : {Case{false, 401, false}, Case{true, 302, true}}) {
    SCOPED_TRACE(c.cookieSession ? "--cookie-session" : "the platform's default");
    RunningSite site(Options(c.cookieSession));
    ASSERT_TRUE(site.Started()) << site.Error();
    SiteClient student = EnterStudyPlatform(site);
    const std::string session = student.Cookie("QMSTUDY_SID");
    ASSERT_FALSE(session.empty());
    const std::string token = OpenAndStudy(site, student);
    ASSERT_FALSE(token.empty());

    // The same requests without the cookie, as a browser whose jar was lost sends them.
    SiteClient bare = site.Study();
    for (const char* page : {"/stu/clslist.aspx", "/stu/Study_v2.aspx?courseId=1",
                             "/stu/book_left.aspx?courseId=1", "/stu/book_right.aspx?id=1-001"}) {
      auto answer = bare.Get(page);
      ASSERT_TRUE(answer) << page;
      EXPECT_EQ(answer->status, c.pageStatus) << page;
      EXPECT_EQ(answer->get_header_value("Location"), c.cookieSession ? LoginAt(site) : "") << page;
    }
    EXPECT_EQ(bare.Post("/stu/heartbeat.aspx", {{"view", token}})->status, 401);
    EXPECT_EQ(bare.Post("/stu/finish.aspx", {{"id", "1-001"}})->status, 401);
    EXPECT_EQ(bare.Post("/stu/popup_closed.aspx", {})->status, c.popupGuarded ? 401 : 200);
    EXPECT_EQ(site.State()["popupsClosed"].Int(), c.popupGuarded ? 0 : 1);

    // With it, all of them are answered; only the refusals are kept.
    EXPECT_EQ(student.Post("/stu/heartbeat.aspx", {{"view", token}})->status, 200);
    EXPECT_EQ(student.Post("/stu/finish.aspx", {{"id", "1-001"}})->status, 200);
    EXPECT_EQ(student.Post("/stu/popup_closed.aspx", {})->status, 200);
    auto refused = site.State()["studySession"]["refused"].Items();
    EXPECT_EQ(site.State()["studySession"]["cookieOnly"].Bool(), c.cookieSession);
    ASSERT_EQ(refused.size(), c.popupGuarded ? 7u : 6u);
    EXPECT_EQ(refused[0].String(), "GET /stu/clslist.aspx");
    EXPECT_EQ(refused[5].String(), "POST /stu/finish.aspx");
  }
}

TEST(StudySessionTest, SignedOutToThePortalsLoginPageInTheChapterPagesFrames) {
  PracticeOptions options = Options(true);
  options.signOutAfterCompletions = 1;
  options.signOutHow = SignOutHow::kPortalFrames;
  RunningSite site(options);
  ASSERT_TRUE(site.Started()) << site.Error();
  SiteClient student = EnterStudyPlatform(site);
  const std::string token = OpenAndStudy(site, student);
  ASSERT_EQ(student.Post("/stu/heartbeat.aspx", {{"view", token}})->status, 200);
  const int loginPagesBefore = site.State()["codesIssued"].Int();
  ASSERT_EQ(student.Post("/stu/finish.aspx", {{"id", "1-001"}})->status, 200);

  // The chapter page keeps its two frames, both on the portal's login page.
  auto frameset = student.Get("/stu/Study_v2.aspx?courseId=1");
  ASSERT_TRUE(frameset);
  EXPECT_EQ(frameset->status, 200);
  std::regex frame(R"re(<frame name="(\w+)" id="\w+" src="([^"]+)">)re");
  std::vector<std::string> frames;
  for (std::sregex_iterator it(frameset->body.begin(), frameset->body.end(), frame), end; it != end;
       ++it)
    frames.push_back((*it)[1].str() + " " + (*it)[2].str());
  EXPECT_EQ(frames, (std::vector<std::string>{"chapterList " + LoginAt(site),
                                              "chapterContent " + LoginAt(site)}));
  // The frames' own addresses, as a reload or a chapter click asks for them, and the course
  // list go there too; the pages' own requests are refused.
  for (const char* page :
       {"/stu/book_left.aspx?courseId=1", "/stu/book_right.aspx?id=1-002", "/stu/clslist.aspx"}) {
    auto answer = student.Get(page);
    ASSERT_TRUE(answer) << page;
    EXPECT_EQ(answer->status, 302) << page;
    EXPECT_EQ(answer->get_header_value("Location"), LoginAt(site)) << page;
  }
  EXPECT_EQ(student.Post("/stu/heartbeat.aspx", {{"view", token}})->status, 401);
  EXPECT_EQ(student.Post("/stu/finish.aspx", {{"id", "1-002"}})->status, 401);
  EXPECT_EQ(student.Get("/js/msg.js")->status, 200);
  auto signOut = site.State()["signOut"];
  EXPECT_EQ(signOut["how"].String(), "portal-frames");
  EXPECT_EQ(signOut["requests"].Int(), 6);
  // The platform itself showed no login page: the browser asks the portal for each one.
  EXPECT_EQ(site.State()["codesIssued"].Int(), loginPagesBefore);
  SiteClient portal = site.Portal();
  EXPECT_EQ(portal.Get("/login/")->status, 200);
  EXPECT_EQ(site.State()["codesIssued"].Int(), loginPagesBefore + 1);

  // A login on the portal ends it; the platform takes the session it had again.
  EXPECT_EQ(LogInByUserName(portal, "Student01", "pass123")->status, 302);
  EXPECT_NE(student.Get("/stu/book_left.aspx?courseId=1")->body.find("url=\""), std::string::npos);
  EXPECT_FALSE(site.State()["signOut"]["signedOut"].Bool());
}

}  // namespace
}  // namespace larkwend::practice::testing
