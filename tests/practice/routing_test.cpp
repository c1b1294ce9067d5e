// SPDX-License-Identifier: GPL-3.0-or-later
// One port, two sites: the Host header decides; anything else is a clear error. Also malformed
// and concurrent requests, and the study platform's outages.
#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

#include "http_util.h"
#include "site_addresses.h"
#include "site_client.h"

namespace larkwend::practice::testing {
namespace {

class RoutingTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(site.Started()) << site.Error(); }
  int Port() const { return site.State()["httpPort"].Int(); }
  RunningSite site{TestOptions()};
};

// Sends `request` as it is and returns the one answer (status line, headers and body).
std::string RawExchange(int port, const std::string& request) {
  RawConnection connection(port);
  connection.Send(request);
  return connection.Read().text;
}

TEST_F(RoutingTest, UnknownOrMissingHostIsRefused) {
  SiteClient stranger(Port(), "www.example.com");
  auto answer = stranger.Get("/login/");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 421);
  EXPECT_NE(answer->body.find("www.example.com"), std::string::npos);
  EXPECT_EQ(stranger.Get("/__state")->status, 421);

  std::string raw = RawExchange(Port(), "GET /login/ HTTP/1.0\r\n\r\n");
  EXPECT_EQ(raw.rfind("HTTP/1.1 400", 0), 0u) << raw;
  // Neither request showed a login page, so no code was issued.
  EXPECT_EQ(site.State()["lastCode"].String(), "");
}

TEST_F(RoutingTest, EachSiteServesOnlyItsOwnPages) {
  SiteClient portal = site.Portal();
  SiteClient study = site.Study();
  EXPECT_EQ(portal.Get("/login/")->status, 200);
  EXPECT_EQ(study.Get("/login/")->status, 404);
  EXPECT_EQ(portal.Get("/stu/clslist.aspx")->status, 404);
  EXPECT_EQ(portal.Get("/js/jquery.min.js")->status, 404);
  EXPECT_EQ(study.Get("/")->get_header_value("Location"), "/stu/clslist.aspx");
  EXPECT_EQ(portal.Get("/no/such/page")->status, 404);
  // The host name is matched without regard to case or port, as browsers may send either.
  SiteClient upper(Port(), "WWW.QMEDU.LOCALHOST");
  EXPECT_EQ(upper.Get("/login/")->status, 200);
}

TEST_F(RoutingTest, StateIsJsonOnBothHosts) {
  for (bool portal : {true, false}) {
    auto answer = (portal ? site.Portal() : site.Study()).Get("/__state");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    auto state = e2e::JsonValue::Parse(answer->body);
    ASSERT_TRUE(state);
    EXPECT_EQ((*state)["httpPort"].Int(), Port());
    EXPECT_EQ((*state)["courses"].Size(), 2u);
    EXPECT_TRUE((*state)["updateRequests"].Items().empty());
  }
}

TEST_F(RoutingTest, MalformedRequestsGetAnErrorAndTheSiteGoesOn) {
  EXPECT_EQ(RawExchange(Port(), "NONSENSE\r\n\r\n").rfind("HTTP/1.1 400", 0), 0u);
  std::string longTarget(20000, 'a');
  EXPECT_EQ(RawExchange(Port(), "GET /" + longTarget + " HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 4", 0),
            0u);
  EXPECT_EQ(site.Portal().Get("/login/")->status, 200);
}

TEST_F(RoutingTest, ConcurrentLoginsAndHeartbeatsAreAllCounted) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 10;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this] {
      SiteClient portal = site.Portal();
      SiteClient study = EnterStudyPlatform(site);
      for (int i = 0; i < kRounds; ++i) {
        LogInByIdCard(portal, "11010519491231002X");
        study.Get("/stu/book_right.aspx?id=1-002");
      }
    });
  }
  for (auto& thread : threads) thread.join();
  auto state = site.State();
  // Each thread logged in once to enter the study platform, then kRounds times.
  ASSERT_EQ(state["logins"].Size(), static_cast<std::size_t>(kThreads * (kRounds + 1)));
  for (const auto& login : state["logins"].Items()) EXPECT_EQ(login["outcome"].String(), "ok");
  EXPECT_EQ(state["courses"][0]["chapters"][1]["openings"].Int(), kThreads * kRounds);
}

// ---- outages of the study platform ----------------------------------------------------------

class OutageTest : public ::testing::Test {
 protected:
  static PracticeOptions Options(OutageKind kind, int afterCompletions) {
    PracticeOptions options = TestOptions();
    options.openStudy = true;
    options.courses = 1;
    options.chapters = 4;
    options.finishedChapters = 0;
    options.chapterSeconds = 4;
    options.outage = kind;
    options.outageAfterCompletions = afterCompletions;
    options.outageSeconds = 30;
    return options;
  }

  // Studies chapter `n` of course 1 up to its level and completes it; the completion's status.
  static int StudyAndComplete(RunningSite& site, int n) {
    SiteClient study = site.Study();
    auto page = study.Get("/stu/book_right.aspx?id=1-00" + std::to_string(n));
    std::smatch token;
    if (!page || !std::regex_search(page->body, token, std::regex(R"re(viewToken = "(\w+)")re")))
      return -1;
    site.clock.Advance(std::chrono::seconds(5));
    study.Post("/stu/heartbeat.aspx", {{"view", token[1].str()}});
    auto finish = study.Post("/stu/finish.aspx", {{"id", "1-00" + std::to_string(n)}});
    return finish ? finish->status : -1;
  }

  static std::string StudyHost() { return SiteAddresses::FromProfile().studyHost; }
};

TEST_F(OutageTest, BadGatewayFromTheCompletionForItsLengthOnTheStudyPlatformOnly) {
  RunningSite site(Options(OutageKind::kBadGateway, 1));
  ASSERT_TRUE(site.Started()) << site.Error();
  SiteClient study = site.Study();
  EXPECT_EQ(study.Get("/stu/clslist.aspx")->status, 200);
  EXPECT_FALSE(site.State()["outage"]["started"].Bool());

  // The completion that starts the outage is still answered.
  ASSERT_EQ(StudyAndComplete(site, 1), 200);
  for (const char* path :
       {"/stu/Study_v2.aspx?courseId=1", "/stu/book_left.aspx?courseId=1", "/stu/no/such/page"}) {
    auto answer = study.Get(path);
    ASSERT_TRUE(answer) << path;
    EXPECT_EQ(answer->status, 502) << path;
    EXPECT_NE(answer->body.find("<title>502 Bad Gateway</title>"), std::string::npos);
    EXPECT_NE(answer->body.find("<center>nginx</center>"), std::string::npos);
    EXPECT_EQ(answer->get_header_value("Content-Type"), "text/html");
    EXPECT_EQ(answer->get_header_value("Cache-Control"), "no-store");
  }
  EXPECT_EQ(study.Post("/stu/heartbeat.aspx", {{"view", "x"}})->status, 502);
  // The portal, and the state document on either host, stay up.
  EXPECT_EQ(site.Portal().Get("/login/")->status, 200);
  EXPECT_EQ(study.Get("/__state")->status, 200);

  site.clock.Advance(std::chrono::milliseconds(29'999));
  EXPECT_EQ(study.Get("/stu/clslist.aspx")->status, 502);
  auto during = site.State()["outage"];
  EXPECT_TRUE(during["started"].Bool());
  EXPECT_FALSE(during["ended"].Bool());
  EXPECT_EQ(during["endedAtMs"].Int(), -1);

  site.clock.Advance(std::chrono::milliseconds(1));
  EXPECT_EQ(study.Get("/stu/clslist.aspx")->status, 200);
  EXPECT_EQ(StudyAndComplete(site, 2), 200);  // a later completion starts no second outage
  EXPECT_EQ(study.Get("/stu/clslist.aspx")->status, 200);

  auto outage = site.State()["outage"];
  EXPECT_EQ(outage["kind"].String(), "502");
  EXPECT_TRUE(outage["ended"].Bool());
  EXPECT_EQ(outage["startedAtMs"].Int(), 5'000);
  EXPECT_EQ(outage["endedAtMs"].Int(), 35'000);
  EXPECT_EQ(outage["requests"].Int(), 5);
  EXPECT_EQ(outage["heartbeats"].Int(), 1);
  ASSERT_EQ(outage["requestLog"].Size(), 4u);
  EXPECT_EQ(outage["requestLog"][0]["target"].String(), "/stu/Study_v2.aspx?courseId=1");
  EXPECT_EQ(outage["requestLog"][0]["atMs"].Int(), 5'000);
  EXPECT_EQ(outage["requestLog"][3]["target"].String(), "/stu/clslist.aspx");
  EXPECT_EQ(outage["requestLog"][3]["atMs"].Int(), 34'999);
}

TEST_F(OutageTest, AConnectionKeptAliveFromBeforeGetsNoPageDuringTheOutage) {
  RunningSite site(Options(OutageKind::kBadGateway, 1));
  ASSERT_TRUE(site.Started()) << site.Error();
  RawConnection kept(site.HttpPort());
  ASSERT_TRUE(kept.Send(GetRequest(StudyHost(), site.HttpPort(), "/stu/clslist.aspx")));
  EXPECT_EQ(kept.Read().text.rfind("HTTP/1.1 200", 0), 0u);

  ASSERT_EQ(StudyAndComplete(site, 1), 200);
  ASSERT_TRUE(kept.Send(GetRequest(StudyHost(), site.HttpPort(), "/stu/clslist.aspx")));
  EXPECT_EQ(kept.Read().text.rfind("HTTP/1.1 502", 0), 0u);
  // A refused request's body is read all the same, before the answer: left unread, it would be
  // taken for the next request on the connection.
  ASSERT_TRUE(kept.Send("POST /stu/heartbeat.aspx HTTP/1.1\r\nHost: " + StudyHost() +
                        "\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                        "Content-Length: 6\r\n\r\n"));
  EXPECT_EQ(kept.Read(std::chrono::milliseconds(200)).text, "");
  ASSERT_TRUE(kept.Send("view=x"));
  EXPECT_EQ(kept.Read().text.rfind("HTTP/1.1 502", 0), 0u);
  ASSERT_TRUE(kept.Send(GetRequest(StudyHost(), site.HttpPort(), "/__state")));
  EXPECT_EQ(kept.Read().text.rfind("HTTP/1.1 200", 0), 0u);
}

TEST_F(OutageTest, DroppedConnectionsGetNoAnswerAtAllFromTheNthCompletion) {
  RunningSite site(Options(OutageKind::kDrop, 2));
  ASSERT_TRUE(site.Started()) << site.Error();
  RawConnection kept(site.HttpPort());
  ASSERT_TRUE(kept.Send(GetRequest(StudyHost(), site.HttpPort(), "/stu/clslist.aspx")));
  EXPECT_EQ(kept.Read().text.rfind("HTTP/1.1 200", 0), 0u);

  ASSERT_EQ(StudyAndComplete(site, 1), 200);
  EXPECT_EQ(site.Study().Get("/stu/clslist.aspx")->status, 200);  // one completion of two
  ASSERT_EQ(StudyAndComplete(site, 2), 200);

  ASSERT_TRUE(kept.Send(GetRequest(StudyHost(), site.HttpPort(), "/stu/clslist.aspx")));
  RawConnection::Answer answer = kept.Read();
  EXPECT_TRUE(answer.closed);
  EXPECT_EQ(answer.text, "");
  RawConnection fresh(site.HttpPort());
  ASSERT_TRUE(
      fresh.Send(GetRequest(StudyHost(), site.HttpPort(), "/stu/Study_v2.aspx?courseId=1")));
  answer = fresh.Read();
  EXPECT_TRUE(answer.closed);
  EXPECT_EQ(answer.text, "");
  EXPECT_FALSE(site.Study().Get("/stu/book_left.aspx?courseId=1"));  // no answer to read

  EXPECT_EQ(site.Portal().Get("/login/")->status, 200);
  EXPECT_EQ(site.Study().Get("/__state")->status, 200);
  site.clock.Advance(std::chrono::seconds(30));
  EXPECT_EQ(site.Study().Get("/stu/clslist.aspx")->status, 200);

  auto outage = site.State()["outage"];
  EXPECT_EQ(outage["kind"].String(), "drop");
  EXPECT_EQ(outage["startedAtMs"].Int(), 10'000);
  EXPECT_EQ(outage["endedAtMs"].Int(), 40'000);
  // The HTTP client may have tried its request again on a new connection.
  EXPECT_GE(outage["requests"].Int(), 3);
  EXPECT_EQ(outage["requestLog"][0]["target"].String(), "/stu/clslist.aspx");
}

TEST_F(OutageTest, MaintenanceAnswersEveryPageWithANoticeAndSuccess) {
  RunningSite site(Options(OutageKind::kMaintenance, 1));
  ASSERT_TRUE(site.Started()) << site.Error();
  ASSERT_EQ(StudyAndComplete(site, 1), 200);
  SiteClient study = site.Study();
  for (const char* path : {"/stu/Study_v2.aspx?courseId=1", "/stu/book_left.aspx?courseId=1",
                           "/stu/book_right.aspx?id=1-002", "/stu/clslist.aspx", "/"}) {
    auto answer = study.Get(path);
    ASSERT_TRUE(answer) << path;
    EXPECT_EQ(answer->status, 200) << path;
    EXPECT_NE(answer->body.find("系统维护中，请稍后再试"), std::string::npos) << path;
    for (const char* absent : {"<frame", "url=\"", "chapters", "btnFinish"})
      EXPECT_EQ(answer->body.find(absent), std::string::npos) << path << ": " << absent;
  }
  auto outage = site.State()["outage"];
  EXPECT_EQ(outage["kind"].String(), "maintenance");
  EXPECT_EQ(outage["requests"].Int(), 5);
  EXPECT_EQ(outage["requestLog"][2]["target"].String(), "/stu/book_right.aspx?id=1-002");
  site.clock.Advance(std::chrono::seconds(30));
  EXPECT_NE(study.Get("/stu/book_left.aspx?courseId=1")->body.find("url=\""), std::string::npos);
}

// ---- the study platform signing the student out ---------------------------------------------

TEST_F(OutageTest, SignedOutPagesAnswerAsTheSiteDoesUntilTheNextLoginOnThePortal) {
  struct Case {
    SignOutHow how;
    bool framesetStays;  // the chapter page is still served as a frameset
    bool form;           // the other pages answer the login form in place, not a redirect
  };
  for (const Case c :
       {Case{SignOutHow::kListForm, true, true}, Case{SignOutHow::kFrameRedirect, true, false},
        Case{SignOutHow::kBreakOut, true, false}, Case{SignOutHow::kTopRedirect, false, false}}) {
    SCOPED_TRACE(static_cast<int>(c.how));
    PracticeOptions options = Options(OutageKind::kNone, 1);
    options.signOutAfterCompletions = 2;
    options.signOutHow = c.how;
    RunningSite site(options);
    ASSERT_TRUE(site.Started()) << site.Error();
    SiteClient portal = site.Portal(), study = site.Study();
    ASSERT_EQ(LogInByUserName(portal, "Student01", "pass123")->status, 302);
    ASSERT_EQ(StudyAndComplete(site, 1), 200);
    EXPECT_EQ(study.Get("/stu/book_left.aspx?courseId=1")->status, 200);  // one completion of two
    ASSERT_EQ(StudyAndComplete(site, 2), 200);

    const std::string origin = "http://www.qmedu.localhost:" + std::to_string(site.HttpPort());
    auto frameset = study.Get("/stu/Study_v2.aspx?courseId=1");
    EXPECT_EQ(frameset->status, c.framesetStays ? 200 : 302);
    EXPECT_EQ(frameset->body.find("<frameset") != std::string::npos, c.framesetStays);
    std::string form;
    for (const char* path :
         {"/stu/book_left.aspx?courseId=1", "/stu/book_right.aspx?id=1-003", "/stu/clslist.aspx"}) {
      auto answer = study.Get(path);
      ASSERT_TRUE(answer) << path;
      EXPECT_EQ(answer->status, c.form ? 200 : 302) << path;
      EXPECT_EQ(answer->get_header_value("Location"), c.form ? "" : origin + "/login/") << path;
      EXPECT_EQ(answer->body.find("url=\""), std::string::npos) << path;
      for (const char* id : {"txtUserName", "txtPassword", "sfyzNumber", "btnLogin", "btnLogin2"})
        EXPECT_EQ(answer->body.find("id=\"" + std::string(id) + "\"") != std::string::npos, c.form);
      form = answer->body;
    }
    EXPECT_EQ(study.Get("/js/msg.js")->status, 200);
    EXPECT_EQ(portal.Get("/kvt/user/")->status, 302);  // the portal's login ended too
    EXPECT_EQ(portal.Get("/login/")->body.find("top.location = self.location") != std::string::npos,
              c.how == SignOutHow::kBreakOut);
    auto signOut = site.State()["signOut"];
    EXPECT_TRUE(signOut["signedOut"].Bool());
    EXPECT_EQ(signOut["signedOutAtMs"].Int(), 10'000);
    EXPECT_EQ(signOut["requests"].Int(), c.framesetStays ? 3 : 4);

    LogInByUserName(portal, "Student01", "wrong");
    EXPECT_TRUE(site.State()["signOut"]["signedOut"].Bool());
    site.clock.Advance(std::chrono::seconds(3));
    if (c.form) {
      // The form shown on the platform posts to the portal with the session its code belongs to.
      std::smatch sid;
      ASSERT_TRUE(std::regex_search(form, sid, std::regex(R"re(name="sid" value="(\w+)")re")));
      EXPECT_NE(form.find("action=\"" + origin + "/kvt/user/login\" target=\"_top\""),
                std::string::npos);
      SiteClient other = site.Portal();
      EXPECT_EQ(other
                    .Post("/kvt/user/login", {{"loginType", "username"},
                                              {"txtUserName", "Student01"},
                                              {"txtPassword", "pass123"},
                                              {"txtCode", CodeOnPage(form)},
                                              {"sid", sid[1].str()}})
                    ->status,
                302);
      EXPECT_EQ(other.Get("/kvt/user/")->status, 200);
    } else {
      EXPECT_EQ(LogInByUserName(portal, "Student01", "pass123")->status, 302);
    }
    EXPECT_NE(study.Get("/stu/book_left.aspx?courseId=1")->body.find("url=\""), std::string::npos);
    signOut = site.State()["signOut"];
    EXPECT_FALSE(signOut["signedOut"].Bool());
    EXPECT_EQ(signOut["restoredAtMs"].Int(), 13'000);
  }
}

TEST_F(OutageTest, NoOutageUnlessAsked) {
  RunningSite site(Options(OutageKind::kNone, 0));
  ASSERT_TRUE(site.Started()) << site.Error();
  EXPECT_EQ(StudyAndComplete(site, 1), 200);
  EXPECT_EQ(site.Study().Get("/stu/clslist.aspx")->status, 200);
  auto outage = site.State()["outage"];
  EXPECT_EQ(outage["kind"].String(), "none");
  EXPECT_FALSE(outage["started"].Bool());
  EXPECT_EQ(outage["requests"].Int(), 0);
}

// A client may split its cookies over several Cookie lines, and header names have no case.
TEST(CookieValue, IsFoundInAnyCookieLineWhateverTheHeaderNamesCase) {
  httplib::Request request;
  request.headers.emplace("Cookie", "theme=dark; lang=zh");
  request.headers.emplace("cookie", "sid=abc123");
  EXPECT_EQ(CookieValue(request, "sid"), "abc123");
  EXPECT_EQ(CookieValue(request, "lang"), "zh");
  EXPECT_EQ(CookieValue(request, "the"), "");
  EXPECT_EQ(CookieValue(httplib::Request{}, "sid"), "");
}

}  // namespace
}  // namespace larkwend::practice::testing
