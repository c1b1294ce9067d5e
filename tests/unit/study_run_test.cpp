// SPDX-License-Identifier: GPL-3.0-or-later
// The study run on the in-memory platform and the fake clock: what it makes of a page that goes
// wrong, the states it is always in, and what the desktop and the student are told.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/certificate_dlg.h"
#include "auto_study_fixture.h"
#include "resources/templates.h"

namespace larkwend::scanner_test {
namespace {

using namespace std::chrono_literals;
using State = StudyRun::State;

const std::string kLoginUrl = std::string(site::PortalLoginUrl) + "?ReturnUrl=%2Fstu%2F";
const std::string kStudyHost = "learn.qmstudy.localhost";

// "CC:CC:...": a SHA-256 fingerprint as the browser gives it, 32 bytes of `c`.
std::string Fingerprint(char c) {
  std::string text(2, c);
  for (int byte = 1; byte < 32; ++byte) text += ":" + std::string(2, c);
  return text;
}

// The chapter page's load, refused for a self-signed certificate that has also expired.
CertificateRejection Refused(char fingerprint = 'A') {
  CertificateRejection refused;
  refused.address = kChapterPageUrl;
  refused.host = kStudyHost;
  refused.problems = kCertificateUnknownIssuer | kCertificateExpired;
  refused.subject = refused.issuer = "CN=" + kStudyHost;
  refused.fingerprint = Fingerprint(fingerprint);
  return refused;
}

class StudyRunTest : public AutoStudy {
 public:
  BrowserEvents& engine() { return *window.browser().sink(); }
  const StudyRun& run() const { return dlg.studyRun(); }
  void FailFrame(int status) { engine().LoadFailed({kListUrl, false, status, {}}); }
  void Refuse(char fingerprint = 'A') {
    engine().LoadStarted(kChapterPageUrl, true);
    window.browser().Reject(Refused(fingerprint));
  }
  long CertificateBoxes() const {
    return std::count(dialogs.templatesRun.begin(), dialogs.templatesRun.end(), IDD_CERTIFICATE);
  }
  void LoadsAgain() {
    clock.Advance(0ms);  // the event that asked for the load is over: the cycle starts over
    engine().LoadStarted(kChapterPageUrl, true);
    engine().LoadFinished(kChapterPageUrl, true);
  }
  // How long until the run's next attempt at the study page; -1 ms when none is due.
  std::chrono::milliseconds NextAttemptIn() const {
    if (!run().nextAttempt()) return -1ms;
    return std::chrono::duration_cast<std::chrono::milliseconds>(*run().nextAttempt() -
                                                                 clock.Now());
  }
  // The journal's events by their English wording, as the diagnostics give them.
  std::vector<std::string> Events(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& event : records.diagnostics())
      if (event.rfind(prefix, 0) == 0) found.push_back(event);
    return found;
  }
  long Told(const std::string& id) const {
    return std::count_if(session.notices.begin(), session.notices.end(),
                         [&](const auto& notice) { return notice.id == id; });
  }
  // A chapter page whose list holds finished chapters only.
  static ChapterPage AllFinished() {
    ChapterPage page = MakeChapterPage(UniqueProgress(false), "00:01:00");
    AddEntry(page.list, "done", "right.aspx?c=7&ch=1");
    return page;
  }
  // The site keeps failing the way it does: each reload the run asks for is made, and read.
  void ReloadsAsAsked(int times) {
    for (int i = 0; i < times && NextAttemptIn() >= 0ms; ++i) {
      clock.Advance(NextAttemptIn());
      LoadsAgain();
      Fire(TIMER_WAIT_FOR_LIST);
    }
  }
  // Studies chapter 1 to its completion; the list frame then reloads.
  void CompleteTheFirstChapter(Course& course) {
    StartStudying(course);
    course.Progress(true);
    Fire(TIMER_CHECK_PROGRESS);
    ASSERT_EQ(course.finishClicks(), 1);
  }
};

// One case of a table, on a window of its own: the tables are plain tests, each case a fixture.
class Scenario final : public StudyRunTest {
  void TestBody() override {}
};

TEST_F(StudyRunTest, AFailedLoadIsNeverReadAndIsLoadedAgainWithAGrowingWait) {
  Course course(2);
  CompleteTheFirstChapter(course);
  EXPECT_FALSE(window.browser().showsErrorPages()) << "a run handles its failed loads itself";

  // The list frame reloads after the completion into a gateway's error page at its own address.
  FailFrame(502);
  Fire(TIMER_NEXT_CHAPTER);
  EXPECT_TRUE(dialogs.messages.empty()) << "an error page was read as an empty list";
  EXPECT_TRUE(records.Diagnosed("tick 5000: page failed to load, dropped"));
  EXPECT_EQ(run().state(), State::kWaitingForSite);

  // 5 s, then twice the last wait up to a minute, for as long as the site fails.
  std::vector<std::chrono::milliseconds> waits;
  for (int attempt = 0; attempt < 6; ++attempt) {
    waits.push_back(NextAttemptIn());
    clock.Advance(waits.back());
    EXPECT_EQ(window.browser().loadsAgain().size(), static_cast<std::size_t>(attempt + 1));
    EXPECT_EQ(window.browser().loadsAgain().back(), kChapterPageUrl);
    // Each load of the page again starts the run over from the list.
    EXPECT_EQ(RunningTimers(), std::vector<unsigned>{TIMER_WAIT_FOR_LIST});
    engine().LoadStarted(kChapterPageUrl, true);
    attempt % 2 ? engine().LoadFailed({kChapterPageUrl, true, 0, "Connection terminated"})
                : engine().LoadFailed({kChapterPageUrl, true, 502, {}});
    Fire(TIMER_WAIT_FOR_LIST);
    EXPECT_EQ(course.opened, std::vector<int>{1});
  }
  EXPECT_EQ(waits, (std::vector<std::chrono::milliseconds>{5s, 10s, 20s, 40s, 60s, 60s}));
  EXPECT_EQ(Events("page failed to load: "),
            std::vector<std::string>{"page failed to load: " + kListUrl + " (HTTP 502)"});

  // The site answers again: the list read says so once, and the next chapter is opened.
  clock.Advance(NextAttemptIn());
  LoadsAgain();
  Fire(TIMER_WAIT_FOR_LIST);
  EXPECT_EQ(Events("page loaded again after "),
            std::vector<std::string>{"page loaded again after 255 s: " + kChapterPageUrl});
  EXPECT_EQ(course.opened, (std::vector<int>{1, 2}));
  EXPECT_EQ(run().state(), State::kStudying);

  // The end gives the engine its error pages back; a failure then is left as it is.
  course.Progress(true);
  Fire(TIMER_CHECK_PROGRESS);
  Fire(TIMER_NEXT_CHAPTER);
  ASSERT_EQ(MessagesShown(), std::vector<std::string>{Gbk(texts::kNoUnfinishedChapter)});
  EXPECT_EQ(run().state(), State::kEnded);
  EXPECT_TRUE(window.browser().showsErrorPages());
  FailFrame(503);
  EXPECT_EQ(NextAttemptIn(), -1ms);
  EXPECT_EQ(Events("page failed to load: ").size(), 1u);
}

// Pages a site shows where its chapter list belongs. None of them ends the run.
TEST(StudyRunCases, OnlyAChapterListEndsTheRun) {
  struct Case {
    const char* name;
    std::function<fake::PagePtr()> page;
    bool signedOut;
  };
  const std::vector<Case> cases = {
      {"a maintenance notice in the list frame",
       [] {
         auto page = MakeChapterPage(UniqueProgress(false), "00:01:00");
         page.list->Div("notice", "<p>系统维护中，请稍后再试</p>");
         return page.top;
       },
       false},
      {"a maintenance notice at the chapter page's address, without frames",
       [] {
         auto top = fake::MakePage(kChapterPageUrl);
         top->Div("notice", "系统维护中");
         return top;
       },
       false},
      {"the login form in the list frame, at its own address",
       [] {
         auto page = MakeChapterPage(UniqueProgress(false), "00:01:00");
         page.list->WithId("txtUserName", "");
         page.list->WithId("txtPassword", "");
         return page.top;
       },
       true},
      {"the login form at the chapter page's address",
       [] {
         auto top = fake::MakePage(kChapterPageUrl);
         top->WithId("sfyzNumber", "");
         top->WithId("txtPassword", "");
         return top;
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scenario t;
    Course course(2);
    t.CompleteTheFirstChapter(course);
    const auto served = c.page();
    t.window.browser().Load(served);
    t.Fire(TIMER_WAIT_FOR_LIST);
    t.ReloadsAsAsked(20);

    EXPECT_TRUE(t.dialogs.messages.empty()) << "the run ended as if it were done";
    EXPECT_EQ(t.Events("run ended: ").size(), 0u);
    if (c.signedOut) {
      EXPECT_EQ(t.run().state(), State::kSignedOut);
      EXPECT_EQ(t.Events("signed out by the site: ").size(), 1u);
      EXPECT_EQ(t.Told("signed-out"), 1);
      EXPECT_TRUE(t.window.browser().loadsAgain().empty());
    } else {
      EXPECT_EQ(t.Events("page failed to load: ").size(), 1u);
      EXPECT_GE(t.window.browser().loadsAgain().size(), 10u) << "not loaded again with its waits";
      EXPECT_EQ(t.Told("page-failing"), 1) << ::testing::PrintToString(t.records.diagnostics());
    }
  }
}

TEST(StudyRunCases, SignedOutByEveryRoadWaitsForTheStudent) {
  struct Road {
    const char* name;
    std::function<void(StudyRunTest&)> signOut;
    std::string where = kLoginUrl;  // the page the journal names
  };
  const std::vector<Road> roads = {
      {"a redirect at top level",
       [](StudyRunTest& t) {
         t.engine().LoadStarted(kChapterPageUrl, true);
         t.engine().LoadFinished(kLoginUrl, true);
       }},
      {"a redirect in a frame", [](StudyRunTest& t) { t.engine().LoadFinished(kLoginUrl, false); }},
      {"a login page that breaks out of its frame",
       [](StudyRunTest& t) { t.window.browser().LoadUrl(kLoginUrl); }},
      {"an answer that asks for credentials (HTTP 401)",
       [](StudyRunTest& t) {
         t.engine().LoadFailed({kListUrl, false, 401, {}});
       },
       kListUrl},
      {"during a failure, a reload that lands on the login page",
       [](StudyRunTest& t) {
         t.FailFrame(502);
         t.clock.Advance(5s);
         t.engine().LoadStarted(kChapterPageUrl, true);
         t.engine().LoadFinished(kLoginUrl, true);
       }},
  };
  for (const Road& road : roads) {
    SCOPED_TRACE(road.name);
    Scenario t;
    Course course(2);
    t.StartStudying(course);
    ASSERT_EQ(t.session.blocksHeld, 1);
    road.signOut(t);
    t.clock.Advance(30min);

    EXPECT_EQ(t.run().state(), State::kSignedOut);
    EXPECT_EQ(t.Events("signed out by the site: "),
              std::vector<std::string>{"signed out by the site: " + road.where});
    EXPECT_EQ(t.Told("signed-out"), 1);
    EXPECT_EQ(t.Told("page-failing"), 0);
    EXPECT_EQ(t.session.blocksHeld, 0) << "the machine kept awake for a run that cannot go on";
    EXPECT_LE(t.window.browser().loadsAgain().size(), 1u) << "a login page is not retried";
    EXPECT_TRUE(t.dialogs.messages.empty());

    // The student logs in and opens a chapter page: the run goes on, awake again.
    t.window.browser().Load(course.page().top);
    EXPECT_EQ(t.run().state(), State::kStudying);
    EXPECT_EQ(t.session.blocksHeld, 1);
  }
}

// A certificate the system does not trust is no outage: the run never loads the page again by
// itself, says why once, and goes on by the arming rule once the student trusts it.
TEST_F(StudyRunTest, ARefusedCertificateWaitsForTheStudentsWordNeverForTheSite) {
  struct Road {
    const char* name;
    std::function<void(StudyRunTest&)> refuse;
  };
  const std::vector<Road> roads = {
      {"the chapter page's own load", [](StudyRunTest& t) { t.Refuse(); }},
      {"the study page loaded again after a gateway's error page",
       [](StudyRunTest& t) {
         t.FailFrame(502);
         t.clock.Advance(5s);
         ASSERT_EQ(t.window.browser().loadsAgain().size(), 1u);
         t.Refuse();
       }},
  };
  for (const Road& road : roads) {
    SCOPED_TRACE(road.name);
    Scenario t;
    Course course(2);
    t.window.browser().Serve(course.page().top);
    t.StartStudying(course);
    State whileAsked = State::kStudying;
    int blocksWhileAsked = -1;
    std::string statusWhileAsked;
    t.dialogs.onModal = [&](fake::DialogWindow& box) {
      t.clock.Advance(30min);  // the student takes their time
      whileAsked = t.run().state();
      blocksWhileAsked = t.session.blocksHeld;
      statusWhileAsked = GbkToUtf8(t.window.GetItemText(IDC_RUN_STATUS));
      box.Click(IDOK);
    };
    road.refuse(t);
    const std::size_t reloads = t.window.browser().loadsAgain().size();
    t.clock.Advance(0ms);

    EXPECT_EQ(whileAsked, State::kCertificateRejected);
    EXPECT_EQ(blocksWhileAsked, 0) << "the machine kept awake for a run that cannot go on";
    EXPECT_TRUE(statusWhileAsked.starts_with("学习网站的安全证书不受信任")) << statusWhileAsked;
    EXPECT_EQ(t.window.browser().loadsAgain().size(), reloads) << "the certificate was retried";
    EXPECT_EQ(t.Events("certificate not trusted: "),
              std::vector<std::string>{"certificate not trusted: " + kStudyHost +
                                       " (not issued by a trusted authority, expired)"});
    EXPECT_EQ(t.Told("certificate"), 1);
    EXPECT_EQ(t.Told("page-failing"), 0);

    // 继续 trusts the certificate and loads the page as the student would: the run is armed.
    EXPECT_EQ(t.window.browser().trusted(),
              std::vector<std::string>{kStudyHost + " " + Fingerprint('A')});
    t.window.browser().Pump();
    EXPECT_EQ(t.run().state(), State::kStudying);
    EXPECT_EQ(t.session.blocksHeld, 1);
  }
}

// The window's side: one box per host at a time; 继续 trusts exactly what was refused and loads
// the page again; a certificate trusted before is trusted again without a box, though not one
// the browser refuses again at once, which would load the page for ever.
TEST_F(StudyRunTest, ARefusedCertificateIsAskedAboutOncePerHostAndTrustedByItsFingerprint) {
  std::vector<std::string> texts;
  bool trust = false;
  dialogs.onModal = [&](fake::DialogWindow& box) {
    texts.push_back(GbkToUtf8(box.GetItemText(IDC_CERTIFICATE_TEXT)));
    Refuse();  // refused again while the student is asked
    clock.Advance(0ms);
    if (trust) box.Click(IDOK);
  };
  const std::size_t navigations = window.browser().navigations().size();
  Refuse();
  Refuse();
  clock.Advance(0ms);
  ASSERT_EQ(CertificateBoxes(), 1);
  EXPECT_TRUE(window.browser().trusted().empty());
  EXPECT_EQ(window.browser().navigations().size(), navigations) << "取消 loaded the page";
  for (const char* line :
       {"\r\n· 证书不是由受信任的机构颁发的\r\n· 证书已过期\r\n", "有效期：（未知） 至 （未知）"})
    EXPECT_NE(texts.at(0).find(line), std::string::npos) << line << " in\n" << texts.at(0);

  trust = true;
  Refuse();
  clock.Advance(0ms);
  EXPECT_EQ(CertificateBoxes(), 2);
  EXPECT_EQ(window.browser().trusted(),
            std::vector<std::string>{kStudyHost + " " + Fingerprint('A')});
  EXPECT_EQ(window.browser().navigations().back(), kChapterPageUrl);

  // As at the next start: trusted again and loaded again, without a box.
  clock.Advance(2min);
  Refuse();
  clock.Advance(0ms);
  EXPECT_EQ(CertificateBoxes(), 2);
  EXPECT_EQ(window.browser().trusted().size(), 2u);
  EXPECT_EQ(window.browser().loadsAgain(), std::vector<std::string>{kChapterPageUrl});
  // Refused all the same, at once: the student decides. Another certificate is asked about too.
  trust = false;
  for (char fingerprint : {'A', 'B'}) {
    Refuse(fingerprint);
    clock.Advance(0ms);
  }
  EXPECT_EQ(CertificateBoxes(), 4);
  EXPECT_EQ(window.browser().loadsAgain().size(), 1u);
}

TEST_F(StudyRunTest, WithNoSignOfStudyingForFiveMinutesTheStudyPageIsLoadedAgain) {
  Course course(2);
  StartStudying(course);
  // Studying: its progress read every 45 s keeps the run alone for as long as it lasts.
  for (int check = 0; check < 20; ++check) {
    clock.Advance(45s);
    course.Progress(false);
    Fire(TIMER_CHECK_PROGRESS);
  }
  EXPECT_TRUE(window.browser().loadsAgain().empty());

  // The content frame shows a placeholder now: the check decides nothing, for good.
  course.page().progress->id = "placeholder";
  for (int check = 0; check < 6; ++check) {
    clock.Advance(45s);
    Fire(TIMER_CHECK_PROGRESS);
  }
  EXPECT_TRUE(window.browser().loadsAgain().empty()) << "reloaded before five minutes";
  clock.Advance(30s);
  ASSERT_EQ(window.browser().loadsAgain().size(), 1u) << "at once, the first time";
  EXPECT_EQ(Events("no progress for "),
            std::vector<std::string>{"no progress for 5 min: study page loaded again"});
  EXPECT_EQ(RunningTimers(), std::vector<unsigned>{TIMER_WAIT_FOR_LIST});

  // Still nothing five minutes on: the same growing waits as a failed load.
  clock.Advance(5min);
  EXPECT_EQ(NextAttemptIn(), 5s);
  EXPECT_EQ(run().state(), State::kWaitingForSite);
  clock.Advance(5s);
  EXPECT_EQ(window.browser().loadsAgain().size(), 2u);
}

TEST(StudyRunCases, AWaitForTheStudentLoadsNothingAndLetsTheMachineSleep) {
  struct Wait {
    const char* name;
    std::function<void(StudyRunTest&, Course&)> enter;
    State state;
  };
  const std::vector<Wait> waits = {
      {"signed out", [](StudyRunTest& t, Course&) { t.engine().LoadFinished(kLoginUrl, true); },
       State::kSignedOut},
      {"the student went to the portal while a reload waited",
       [](StudyRunTest& t, Course&) {
         t.FailFrame(502);
         t.window.browser().LoadUrl(std::string(site::PortalUserCenterUrl));
       },
       State::kLeftByStudent},
      {"nothing left in the course",
       [](StudyRunTest& t, Course& course) {
         course.Progress(true);
         t.Fire(TIMER_CHECK_PROGRESS);
         t.window.browser().Load(t.AllFinished().top);
         t.Fire(TIMER_WAIT_FOR_LIST);
       },
       State::kNothingLeft},
      {"the study platform's certificate refused, and the student said 取消",
       [](StudyRunTest& t, Course&) { t.Refuse(); }, State::kCertificateRejected},
  };
  for (const Wait& wait : waits) {
    SCOPED_TRACE(wait.name);
    Scenario t;
    Course course(2);
    t.StartStudying(course);
    wait.enter(t, course);
    t.clock.Advance(2h);
    EXPECT_EQ(t.run().state(), wait.state);
    EXPECT_TRUE(t.window.browser().loadsAgain().empty());
    EXPECT_EQ(t.session.blocksHeld, 0);
    EXPECT_EQ(t.Told("page-failing"), 0);
    EXPECT_TRUE(t.Events("no progress for ").empty());
    EXPECT_TRUE(t.dialogs.messages.empty());
  }
}

TEST(StudyRunCases, CrashAndHangLoopsArePacedAndTold) {
  struct Loop {
    const char* name;
    std::function<void(StudyRunTest&)> fault;
  };
  const std::vector<Loop> loops = {
      {"a page whose process dies at every load",
       [](StudyRunTest& t) { t.engine().PageProcessEnded(PageProcessEnd::kCrashed); }},
      {"a page that hangs after every load",
       [](StudyRunTest& t) {
         t.engine().AnsweringChanged(false);
         t.clock.Advance(25s);
         ASSERT_GT(t.window.browser().processEnds(), 0);
         t.engine().PageProcessEnded(PageProcessEnd::kEndedByProgram);
       }},
  };
  for (const Loop& loop : loops) {
    SCOPED_TRACE(loop.name);
    Scenario t;
    Course course(2);
    t.StartStudying(course);
    const auto start = t.clock.Now();
    std::size_t seen = 0;
    std::vector<std::chrono::milliseconds> waits;
    while (t.clock.Now() - start < 10min) {
      loop.fault(t);
      if (t.window.browser().loadsAgain().size() == seen) {
        waits.push_back(t.NextAttemptIn());
        t.clock.Advance(t.NextAttemptIn());
      } else {
        waits.push_back(0ms);
      }
      ASSERT_EQ(t.window.browser().loadsAgain().size(), ++seen);
      t.LoadsAgain();
    }
    EXPECT_EQ(std::vector<std::chrono::milliseconds>(waits.begin(), waits.begin() + 6),
              (std::vector<std::chrono::milliseconds>{0s, 5s, 10s, 20s, 40s, 60s}));
    EXPECT_LE(seen, 15u) << "reloads in ten minutes";
    t.clock.Advance(1min);  // ten minutes from the first fault
    EXPECT_EQ(t.Told("page-failing"), 1);
    EXPECT_EQ(t.session.blocksHeld, 1);
  }
}

TEST_F(StudyRunTest, OutsideARunALostPageIsLoadedAgainOnceAMinute) {
  Course course(1);
  window.browser().Load(course.page().top);  // no login captured: nothing armed
  engine().PageProcessEnded(PageProcessEnd::kCrashed);
  EXPECT_EQ(window.browser().loadsAgain().size(), 1u);
  clock.Advance(30s);
  engine().PageProcessEnded(PageProcessEnd::kCrashed);
  EXPECT_EQ(window.browser().loadsAgain().size(), 1u) << "left to the student";
  clock.Advance(2min);
  engine().PageProcessEnded(PageProcessEnd::kCrashed);
  EXPECT_EQ(window.browser().loadsAgain().size(), 2u);

  // Nor is a failed load handled outside a run.
  engine().LoadStarted(kChapterPageUrl, true);
  engine().LoadFailed({kChapterPageUrl, true, 502, {}});
  clock.Advance(5min);
  EXPECT_EQ(window.browser().loadsAgain().size(), 2u);
  EXPECT_TRUE(window.browser().showsErrorPages());
  EXPECT_TRUE(Events("page failed to load: ").empty());
  EXPECT_EQ(session.blocksTaken, 0);
}

TEST(StudyRunCases, AChapterWhoseClickWasNotMadeIsOpenedAtTheNextTick) {
  for (const dom::Status failure : {dom::kFailed, dom::kUnanswered}) {
    SCOPED_TRACE(failure);
    Scenario t;
    Course course(2);
    t.window.browser().Load(course.page().top);
    t.Capture("student01");
    t.dlg.ArmAutoStudy();
    t.host.Fail("Element.click", 1, failure);
    t.Fire(TIMER_WAIT_FOR_LIST);
    EXPECT_EQ(t.RunningTimers(), std::vector<unsigned>{TIMER_WAIT_FOR_LIST});
    EXPECT_TRUE(t.Events("chapter opened: ").empty());
    t.Fire(TIMER_WAIT_FOR_LIST);
    EXPECT_EQ(course.opened, std::vector<int>{1});
    EXPECT_EQ(t.RunningTimers(), std::vector<unsigned>{TIMER_CHECK_PROGRESS});
  }
}

TEST_F(StudyRunTest, ALoadThatNeverEndsIsStoppedAndHandledAsAFailure) {
  Course course(2);
  StartStudying(course);
  engine().LoadStarted(kContentUrl, false);
  clock.Advance(59s);
  engine().LoadFinished(kContentUrl, false);  // in time
  clock.Advance(5s);
  EXPECT_EQ(window.browser().stops(), 0);

  // Still loading a minute on, and the page answers once stopped: its process is kept.
  engine().LoadStarted(kContentUrl, false);
  clock.Advance(60s);
  EXPECT_EQ(window.browser().stops(), 1);
  EXPECT_EQ(window.browser().processEnds(), 0);
  EXPECT_EQ(Events("page failed to load: "),
            std::vector<std::string>{"page failed to load: " + kContentUrl +
                                     " (still loading after 60 s)"});
  engine().LoadStopped(kContentUrl, false);  // what the stop itself causes is no new failure
  EXPECT_EQ(NextAttemptIn(), 5s);
  clock.Advance(5s);
  ASSERT_EQ(window.browser().loadsAgain(), std::vector<std::string>{kChapterPageUrl});

  // The page loaded again spins while it is parsed: stopping it does not make it answer.
  window.browser().SetAnswersAfterStop(false);
  engine().LoadStarted(kChapterPageUrl, true);
  clock.Advance(60s);
  EXPECT_EQ(window.browser().processEnds(), 1);
  engine().PageProcessEnded(PageProcessEnd::kEndedByProgram);
  EXPECT_TRUE(Events("page recovered: ").empty()) << "the waiting reload brings it back";
  clock.Advance(NextAttemptIn());
  EXPECT_EQ(window.browser().loadsAgain().size(), 2u);
  LoadsAgain();
  Fire(TIMER_WAIT_FOR_LIST);
  EXPECT_EQ(Events("page loaded again after ").size(), 1u);
  EXPECT_EQ(Events("page failed to load: ").size(), 1u) << "one episode, one line";
}

TEST_F(StudyRunTest, TheStudentIsToldOfALongFailureOnceAnEpisode) {
  Course course(2);
  StartStudying(course);
  auto failingFor = [&](std::chrono::seconds span) {
    for (auto left = std::chrono::milliseconds(span); left.count() > 0;) {
      const auto step = std::min(left, NextAttemptIn());
      clock.Advance(step);
      left -= step;
      engine().LoadStarted(kChapterPageUrl, true);
      engine().LoadFailed({kChapterPageUrl, true, 502, {}});
    }
  };
  auto studiesAgain = [&] {
    clock.Advance(NextAttemptIn());
    LoadsAgain();
    Fire(TIMER_WAIT_FOR_LIST);
    course.Progress(false);
    Fire(TIMER_CHECK_PROGRESS);
  };

  // Ten minutes of failing tell once, however long it goes on, under one block.
  FailFrame(502);
  failingFor(590s);
  EXPECT_EQ(Told("page-failing"), 0);
  failingFor(20min);
  EXPECT_EQ(Told("page-failing"), 1);
  EXPECT_EQ(session.blocksTaken, 1);
  EXPECT_EQ(session.blocksHeld, 1);

  // A new failure is a new episode; one whose list is back within the ten minutes says nothing.
  studiesAgain();
  FailFrame(502);
  failingFor(9min);
  studiesAgain();
  clock.Advance(5min);
  EXPECT_EQ(Told("page-failing"), 1);
  for (const auto& notice : session.notices)
    EXPECT_EQ(notice.title.find("http") + notice.body.find("http"), 2 * std::string::npos)
        << "an address in a notification";
}

TEST_F(StudyRunTest, AListThatWasNotReadWholeNeitherEndsNorEmptiesTheRun) {
  Course course(2);
  CompleteTheFirstChapter(course);
  const std::vector<std::string> listed = dlg.m_chapterUrls;

  // The list frame's page went busy half-way through the scan.
  host.Fail("Element.get_innerHTML");
  Fire(TIMER_NEXT_CHAPTER);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(dlg.m_chapterUrls, listed) << "an undecided scan emptied the list";
  EXPECT_TRUE(Running(TIMER_NEXT_CHAPTER)) << "the move is tried again 5 s later";
  EXPECT_EQ(NextAttemptIn(), -1ms) << "a busy page is no failed load";
  host.ClearFailures();
  host.Fail("Collection.item", 2);
  Fire(TIMER_NEXT_CHAPTER);
  EXPECT_TRUE(Running(TIMER_NEXT_CHAPTER));
  EXPECT_EQ(course.opened, std::vector<int>{1});

  host.ClearFailures();
  Fire(TIMER_NEXT_CHAPTER);
  EXPECT_EQ(course.opened, (std::vector<int>{1, 2}));
  EXPECT_FALSE(Running(TIMER_NEXT_CHAPTER));
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(StudyRunTest, ACompletionClickAnsweredLateCountsAsPressed) {
  Course course(2);
  StartStudying(course);
  course.Progress(true);
  host.Fail("Element.click", 1, dom::kUnanswered);
  Fire(TIMER_CHECK_PROGRESS);
  EXPECT_TRUE(Running(TIMER_NEXT_CHAPTER));
  EXPECT_TRUE(Running(TIMER_POPUP_CLOSE));
  EXPECT_EQ(Events("chapter completed: ").size(), 1u);

  // A click that plainly failed is not a completion.
  course.Progress(true);
  window.KillTimer(TIMER_NEXT_CHAPTER);
  host.Fail("Element.click", 1, dom::kFailed);
  Fire(TIMER_CHECK_PROGRESS);
  EXPECT_FALSE(Running(TIMER_NEXT_CHAPTER));
}

// ---- what the site shows, and what is the site's own -----------------------------------------

// Five minutes of the program's own doings, with the site showing nothing new, load the study
// page again; a progress text that moves, or a chapter the list shows finished, is studying.
TEST(StudyRunCases, OnlyWhatTheSiteShowsIsProgress) {
  struct Case {
    const char* name;
    std::function<void(StudyRunTest&, Course&)> every45s;
    bool studying;
  };
  const std::vector<Case> cases = {
      {"armed again", [](StudyRunTest& t, Course&) { t.dlg.ArmAutoStudy(); }, false},
      {"refreshed for standing still",
       [](StudyRunTest& t, Course&) {
         if (t.Running(TIMER_CHECK_PROGRESS)) t.Fire(TIMER_CHECK_PROGRESS);
         if (t.Running(TIMER_WAIT_FOR_LIST)) t.Fire(TIMER_WAIT_FOR_LIST);
       },
       false},
      {"a chapter opened again",
       [](StudyRunTest& t, Course&) {
         t.dlg.ArmAutoStudy();
         t.Fire(TIMER_WAIT_FOR_LIST);
       },
       false},
      {"the progress moves",
       [](StudyRunTest& t, Course& c) {
         c.Progress(false);
         t.Fire(TIMER_CHECK_PROGRESS);
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scenario t;
    Course course(2);
    t.StartStudying(course);
    for (int tick = 0; tick < 7; ++tick) {
      t.clock.Advance(45s);
      c.every45s(t, course);
    }
    t.clock.Advance(30s);
    EXPECT_EQ(t.Events("no progress for ").size(), c.studying ? 0u : 1u);
  }
}

// The site refuses a completion: the chapter, at its level, is pressed again as often as the
// list still shows it unfinished, three times more at most; then the student is told.
TEST(StudyRunCases, ACompletionThatDidNotTakeIsPressedAgainThenToldToTheStudent) {
  for (const int refusals : {1, 4}) {
    SCOPED_TRACE(refusals);
    Scenario t;
    Course course(2);
    int refused = 0;
    course.page().finish->onClick = [&] {
      if (++refused > refusals) course.page().list->elements[0]->className = "done";
    };
    t.StartStudying(course);
    course.Progress(true);
    for (int press = 0; press < 5 && t.Running(TIMER_CHECK_PROGRESS) && course.opened.back() == 1;
         ++press) {
      t.Fire(TIMER_CHECK_PROGRESS);
      if (t.Running(TIMER_NEXT_CHAPTER)) t.Fire(TIMER_NEXT_CHAPTER);
    }
    const auto notTaken = t.Events("completion did not take: ");
    if (refusals == 1) {
      EXPECT_EQ(course.finishClicks(), 2);
      EXPECT_EQ(notTaken, std::vector<std::string>{"completion did not take: right.aspx?c=7&ch=1 "
                                                   "(1 of 3), pressing again"});
      EXPECT_EQ(course.opened, (std::vector<int>{1, 1, 2}));
      EXPECT_EQ(t.run().state(), State::kStudying);
      continue;
    }
    EXPECT_EQ(course.finishClicks(), 4);
    EXPECT_EQ(notTaken.size(), 3u);
    EXPECT_EQ(t.Events("completion never took: ").size(), 1u);
    EXPECT_EQ(t.run().state(), State::kCompletionRefused);
    EXPECT_EQ(t.Told("completion-refused"), 1);
    EXPECT_EQ(t.session.blocksHeld, 0);
    EXPECT_EQ(t.RunningTimers(), std::vector<unsigned>{});
  }
}

// Only the student's own navigations away end the run's waits; a page the site goes to by
// itself is waited out and the study page loaded again.
TEST(StudyRunCases, TheSitesOwnNavigationsAreNotTheStudentLeaving) {
  struct Case {
    std::string to;
    bool byStudent;
    State state;
  };
  const std::string evaluation = "http://learn.qmstudy.localhost:18080/stu/evaluate.aspx?c=7";
  for (const Case& c :
       {Case{evaluation, false, State::kWaitingForSite},
        Case{evaluation, true, State::kLeftByStudent}, Case{kLoginUrl, false, State::kSignedOut},
        Case{kChapterPageUrl + "?courseId=8", false, State::kStudying}}) {
    SCOPED_TRACE(c.to + (c.byStudent ? " by the student" : " by the site"));
    Scenario t;
    Course course(2);
    t.StartStudying(course);
    t.window.browser().SetNavigationsByUser(c.byStudent);
    t.window.browser().LoadUrl(c.to);
    EXPECT_EQ(t.run().state(), c.state);
    if (c.state != State::kWaitingForSite) continue;
    EXPECT_EQ(t.Events("the site went to another page: "),
              std::vector<std::string>{"the site went to another page: " + c.to +
                                       ", back to the study page"});
    t.clock.Advance(t.NextAttemptIn());
    EXPECT_EQ(t.window.browser().loadsAgain(), std::vector<std::string>{kChapterPageUrl});
  }
}

// A player, an advert or another site's frame that fails changes nothing, and is said once a
// page; only the study platform's own answer of 401 is a sign-out.
TEST(StudyRunCases, OnlyTheStudyPagesOwnFramesDecide) {
  struct Case {
    std::string frame;
    int status;
    State state;
  };
  const std::string player = "http://player.localhost/embed.html";
  const std::string analytics = "http://learn.qmstudy.localhost:18080/stu/stats.aspx";
  for (const Case& c :
       {Case{player, 404, State::kStudying}, Case{player, 0, State::kStudying},
        Case{player, 401, State::kStudying}, Case{analytics, 500, State::kStudying},
        Case{kListUrl, 502, State::kWaitingForSite}, Case{kListUrl, 401, State::kSignedOut}}) {
    SCOPED_TRACE(c.frame + " " + std::to_string(c.status));
    Scenario t;
    Course course(2);
    t.StartStudying(course);
    t.engine().LoadStarted(c.frame, false);
    t.clock.Advance(61s);  // one of another's that never ends holds nothing either
    for (int twice = 0; twice < 2; ++twice)
      t.engine().LoadFailed({c.frame, false, c.status, c.status ? "" : "Connection refused"});
    EXPECT_EQ(t.run().state(), c.state);
    if (c.state == State::kStudying) {
      EXPECT_EQ(t.Events("a frame that is not the study page's failed to load: ").size(), 1u);
      EXPECT_TRUE(t.Events("still loading after").empty());
      t.Fire(TIMER_CHECK_PROGRESS);
      EXPECT_TRUE(t.records.Diagnosed("tick 45000: below the required level"));
    }
  }
}

// ---- every course, and the status line ------------------------------------------------------

// A course's chapter page at its own address, with `unfinished` chapters to study and one
// finished; the completion control finishes the chapter opened last.
struct CoursePage {
  CoursePage(const std::string& address, int unfinished) : page(fake::MakePage(address)) {
    auto list = page->Frame(address + "&frame=left");
    auto content = page->Frame(address + "&frame=right");
    content->WithId(std::string(site::ProgressElementId), UniqueProgress(true));
    content->WithId(std::string(site::RequiredElementId), "00:01:00");
    auto finish = content->Button(std::string(site::CompleteElementId));
    AddEntry(list, "done", address + "&ch=0");
    for (int i = 1; i <= unfinished; ++i) {
      const std::string url = address + "&ch=" + std::to_string(i);
      auto entry = AddEntry(list, "undone", url);
      if (i == 1) first = entry;
      list->Anchor(url, "right")->onClick = [this, entry, url] { opened.push_back(entry); };
    }
    finish->onClick = [this] {
      if (!opened.empty()) opened.back()->className = "done";
    };
    progress = content->elements.front();
  }
  fake::PagePtr page;
  fake::ElementPtr progress, first;
  std::vector<fake::ElementPtr> opened;
};

class EveryCourse : public StudyRunTest {
 public:
  EveryCourse() {
    window.Click(IDC_STUDY_ALL_COURSES);  // the student ticks the box
    window.browser().Pump();              // the login page the window opens on
    Capture("student01");
  }
  static std::string Course(int n) {
    return "http://learn.qmstudy.localhost:18080/stu/Study_v2.aspx?courseId=" + std::to_string(n);
  }
  // The course list links `courses` (by number, in order) and the portal's home.
  void ServeCourseList(std::initializer_list<int> courses) {
    auto list = fake::MakePage(std::string(site::CourseListUrl));
    list->Anchor(std::string(site::PortalHomeUrl));
    for (int n : courses)
      list->Anchor("/stu/Study_v2.aspx?courseId=" + std::to_string(n), "_blank");
    window.browser().Serve(list);
  }
  // Completes every chapter of the course shown, tick by tick, up to the move past the last.
  void StudyTheCourse(CoursePage& course) {
    Fire(TIMER_WAIT_FOR_LIST);
    if (course.opened.size() == 1 && course.opened.front() == course.first) firstStatus = Status();
    while (Running(TIMER_CHECK_PROGRESS) && !Running(TIMER_NEXT_CHAPTER)) {
      course.progress->outerText = UniqueProgress(true);
      Fire(TIMER_CHECK_PROGRESS);
      Fire(TIMER_NEXT_CHAPTER);
    }
  }
  // The run's own navigations carried out, and the course list read once it has settled.
  void FollowTheRun() {
    window.browser().Pump();
    clock.Advance(500ms);
    window.browser().Pump();
  }
  std::string Status() { return Utf8(window.GetItemText(IDC_RUN_STATUS)); }
  std::string firstStatus;  // once the first chapter of a course opened
  static std::string Utf8(const std::string& gbk) { return GbkToUtf8(gbk); }
};

TEST_F(EveryCourse, EveryUnfinishedCourseIsStudiedInListOrderAndTheEndIsSaidOnce) {
  CoursePage first(Course(1), 2), finished(Course(2), 0), third(Course(3), 1);
  for (auto* course : {&first, &finished, &third}) window.browser().Serve(course->page);
  ServeCourseList({1, 2, 3});
  window.browser().Load(first.page);
  EXPECT_TRUE(Status().starts_with("正在打开章节（自 ")) << Status();
  StudyTheCourse(first);
  EXPECT_TRUE(firstStatus.starts_with("正在学习第 1 章，共 2 章（自 ")) << firstStatus;
  EXPECT_TRUE(dialogs.messages.empty()) << "the end came after the first course";
  FollowTheRun();  // the list, then course 2: found finished, passed over
  Fire(TIMER_WAIT_FOR_LIST);
  FollowTheRun();
  EXPECT_EQ(window.browser().page()->url, Course(3));
  StudyTheCourse(third);
  EXPECT_TRUE(firstStatus.starts_with("正在学习第 1 章，共 1 章（第 3 门课程，共 3 门）"))
      << firstStatus;
  FollowTheRun();

  EXPECT_EQ(first.opened.size(), 2u);
  EXPECT_EQ(third.opened.size(), 1u);
  EXPECT_EQ(Events("course "), (std::vector<std::string>{
                                   "course finished: " + Course(1) + " (2 chapters completed)",
                                   "course opened: " + Course(2) + " (2 of 3)",
                                   "course finished: " + Course(2) + " (0 chapters completed)",
                                   "course opened: " + Course(3) + " (3 of 3)",
                                   "course finished: " + Course(3) + " (1 chapters completed)"}));
  EXPECT_EQ(MessagesShown(), std::vector<std::string>{Gbk(texts::kNoUnfinishedChapter)});
  EXPECT_EQ(Told("run-ended"), 1);
  EXPECT_EQ(session.blocksHeld, 0);
  EXPECT_TRUE(Status().starts_with("全部学完")) << Status();
}

// A page at the course list's address with links but none to a course (a maintenance notice
// with a link home, a login form) is no course list: never the end.
TEST_F(EveryCourse, ACourseListWithoutACourseIsLoadedAgainNeverTheEnd) {
  CoursePage only(Course(1), 1);
  ServeCourseList({});
  window.browser().Load(only.page);
  StudyTheCourse(only);
  FollowTheRun();
  EXPECT_EQ(MessagesShown(), std::vector<std::string>{});
  EXPECT_EQ(run().state(), State::kWaitingForSite);
  EXPECT_EQ(Events("page failed to load: "),
            std::vector<std::string>{"page failed to load: " + std::string(site::CourseListUrl) +
                                     " (no course list)"});
}

TEST_F(EveryCourse, ACourseListThatFailsToLoadIsLoadedAgainWithTheUsualWaits) {
  CoursePage first(Course(1), 1), second(Course(2), 1);
  window.browser().Serve(second.page);
  ServeCourseList({1, 2});
  window.browser().Load(first.page);
  StudyTheCourse(first);
  window.browser().Pump();
  const std::string list(site::CourseListUrl);
  engine().LoadStarted(list, true);
  engine().LoadFailed({list, true, 502, {}});
  EXPECT_TRUE(Status().starts_with("等待学习网站恢复，5 秒后重试")) << Status();
  clock.Advance(NextAttemptIn());
  EXPECT_EQ(window.browser().loadsAgain(), std::vector<std::string>{list});
  EXPECT_EQ(RunningTimers(), std::vector<unsigned>{}) << "no cycle on the course list";
  engine().LoadStarted(list, true);
  engine().LoadFinished(list, true);
  FollowTheRun();
  EXPECT_EQ(window.browser().page()->url, Course(2));
  EXPECT_EQ(run().state(), State::kStudying);
}

// A chapter's video that fails: the site's faults are failed loads, this machine's are given one
// reload and then told to the student. Each chapter's failure is journalled once.
TEST(StudyRunCases, AVideoThatCannotPlayIsToldNeverRetriedAllNight) {
  struct Case {
    MediaFault fault;
    int httpStatus;
    std::string line;  // the journal's event, in the diagnostics' words
    bool sitesFault;
  };
  for (const Case& c : {Case{MediaFault::kNetwork, 0, "network error", true},
                        Case{MediaFault::kNotFound, 404, "source not found, HTTP 404", true},
                        Case{MediaFault::kUnsupported, 0, "unsupported format", false},
                        Case{MediaFault::kDecode, 0, "decode error", false}}) {
    SCOPED_TRACE(c.line);
    Scenario t;
    Course course(2);
    const MediaFailure failure{kContentUrl, kContentUrl + "&clip.mp4", c.fault, c.httpStatus};
    t.engine().MediaFailed(failure);
    EXPECT_TRUE(t.Events("video cannot play").empty()) << "outside a run it is left as it is";
    t.StartStudying(course);
    EXPECT_TRUE(t.window.browser().keepsPagesFocused());

    t.engine().MediaFailed(failure);
    t.engine().MediaFailed(failure);  // a second video of the page, or the page trying again
    EXPECT_EQ(t.Events("video cannot play: "),
              std::vector<std::string>{"video cannot play: " + kContentUrl + " (" + c.line + ")"});
    if (c.sitesFault) {
      EXPECT_EQ(t.run().state(), State::kWaitingForSite);
      t.ReloadsAsAsked(1);
      t.engine().MediaFailed(failure);
      EXPECT_EQ(t.NextAttemptIn(), 10s) << "the failed loads' growing waits";
      EXPECT_EQ(t.Events("video cannot play: ").size(), 1u);
      continue;
    }
    // Loaded again at once, once; the chapter is opened again and fails again.
    EXPECT_EQ(t.window.browser().loadsAgain(), std::vector<std::string>{kChapterPageUrl});
    EXPECT_EQ(t.run().state(), State::kStudying);
    t.LoadsAgain();
    t.Fire(TIMER_WAIT_FOR_LIST);
    t.engine().MediaFailed(failure);
    EXPECT_EQ(t.run().state(), State::kVideoCannotPlay);
    EXPECT_EQ(t.Told("video-cannot-play"), 1);
    EXPECT_EQ(t.session.blocksHeld, 0);
    EXPECT_EQ(t.RunningTimers(), std::vector<unsigned>{}) << "no refresh for standing still";
    EXPECT_FALSE(t.window.browser().keepsPagesFocused());
    EXPECT_TRUE(GbkToUtf8(t.window.GetItemText(IDC_RUN_STATUS))
                    .starts_with("课程视频无法播放（" + DescribeMediaFault(c.fault) + "）"));
    t.clock.Advance(30min);
    EXPECT_EQ(t.window.browser().loadsAgain().size(), 1u) << "nothing retried silently";
    EXPECT_EQ(t.Events("video cannot play: ").size(), 1u);
  }
}

class CourseScenario final : public EveryCourse {
  void TestBody() override {}
};

// However the course list writes a course's link, a course finished in this run is not opened
// again: the next one is, once.
TEST_F(EveryCourse, AFinishedCourseIsKnownHoweverTheListWritesIt) {
  const std::string stu = "http://learn.qmstudy.localhost:18080/stu/";
  struct Case {
    const char* name;
    std::function<std::string(int course, int read)> link;
  };
  const std::vector<Case> cases = {
      {"through ..",
       [](int n, int) { return "../stu/./Study_v2.aspx?courseId=" + std::to_string(n); }},
      {"the host in capitals",
       [](int n, int) {
         return "HTTP://LEARN.QMSTUDY.LOCALHOST:18080/stu/Study_v2.aspx?courseId=" +
                std::to_string(n);
       }},
      {"an explicit default port and escapes",
       [](int n, int) { return "/stu/%53tudy_v2.aspx?courseId=%3" + std::to_string(n); }},
      {"the path in lower case",
       [](int n, int) { return "/stu/study_v2.aspx?courseId=" + std::to_string(n); }},
      {"a token new at every load",
       [](int n, int read) {
         return "/stu/Study_v2.aspx?courseId=" + std::to_string(n) +
                "&t=" + std::to_string(n * 100 + read);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CourseScenario t;
    int reads = 0;
    t.window.browser().Pump();
    auto serveList = [&] {
      auto list = fake::MakePage(std::string(site::CourseListUrl));
      ++reads;
      for (int n : {1, 2, 3}) list->Anchor(c.link(n, reads), "_blank");
      t.window.browser().Serve(list);
    };
    CoursePage first(Course(1), 1);
    serveList();
    t.window.browser().Load(first.page);
    t.StudyTheCourse(first);
    t.window.browser().Pump();  // the course list, read once it has settled
    t.clock.Advance(500ms);
    ASSERT_FALSE(t.window.browser().navigations().empty());
    const std::string opened = t.window.browser().navigations().back();
    EXPECT_NE(opened.find("courseId=2"), std::string::npos) << opened;
    EXPECT_EQ(t.Events("course opened: ").size(), 1u);
  }
}

// The walk's pending move ends with a sign-out: the next chapter page is read as one.
TEST_F(EveryCourse, ASignOutEndsTheMoveToTheCourseList) {
  CoursePage first(Course(1), 1), second(Course(2), 1);
  window.browser().Serve(second.page);
  ServeCourseList({1, 2});
  window.browser().Load(first.page);
  StudyTheCourse(first);
  const std::string list(site::CourseListUrl);
  engine().LoadStarted(list, true);
  engine().LoadFinished(kLoginUrl, true);  // the list answered with the login page
  EXPECT_EQ(run().state(), State::kSignedOut);
  window.browser().Load(second.page);  // the student logs in again and opens course 2
  clock.Advance(500ms);
  EXPECT_EQ(run().state(), State::kStudying);
  Fire(TIMER_WAIT_FOR_LIST);
  EXPECT_EQ(second.opened.size(), 1u) << "read as a chapter page";
}

// A course whose chapter list is not read for ten minutes is left for this round; the walk goes on.
TEST_F(EveryCourse, ACourseThatNeverLoadsIsPassedOverAndTheWalkGoesOn) {
  CoursePage first(Course(1), 1), third(Course(3), 1);
  window.browser().Serve(third.page);
  ServeCourseList({1, 2, 3});
  window.browser().Load(first.page);
  StudyTheCourse(first);
  FollowTheRun();  // the list, then course 2, which fails from now on
  ASSERT_EQ(window.browser().page()->url, Course(2));
  for (int attempt = 0; attempt < 20 && window.browser().page()->url == Course(2); ++attempt) {
    engine().LoadFailed({Course(2), true, 500, {}});
    if (NextAttemptIn() < 0ms) break;
    clock.Advance(NextAttemptIn());
    window.browser().Pump();
    FollowTheRun();
  }
  EXPECT_EQ(Events("course passed over"),
            std::vector<std::string>{"course passed over, its chapter list unread for long: " +
                                     Course(2)});
  EXPECT_EQ(window.browser().page()->url, Course(3));
}

TEST(RunStatus, SaysWhatTheRunDoesInOneLine) {
  struct Case {
    RunStatus status;
    std::string text;
  };
  const std::time_t noon = [] {
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 8, t.tm_hour = 12, t.tm_min = 5, t.tm_isdst = -1;
    return std::mktime(&t);
  }();
  const std::vector<Case> cases = {
      {{RunState::kNotStarted}, "未开始学习"},
      {{RunState::kStudying, 2, 5, 0, 0, 0, noon}, "正在学习第 2 章，共 5 章（自 12:05 起）"},
      {{RunState::kStudying, 1, 3, 2, 4, 0, noon},
       "正在学习第 1 章，共 3 章（第 2 门课程，共 4 门）（自 12:05 起）"},
      {{RunState::kWaitingForSite, 0, 0, 0, 0, 40, noon},
       "等待学习网站恢复，40 秒后重试（自 12:05 起）"},
      {{RunState::kSignedOut, 0, 0, 0, 0, 0, noon},
       "网站已退出登录：请重新登录后打开课程的学习页面（自 12:05 起）"},
      {{RunState::kLeftByStudent, 0, 0, 0, 0, 0, noon},
       "已离开学习页面：打开课程的学习页面即可继续（自 12:05 起）"},
      {{RunState::kNothingLeft, 0, 0, 0, 0, 0, noon}, "本课程没有未完成章节（自 12:05 起）"},
      {{RunState::kVideoCannotPlay, 0, 0, 0, 0, 0, noon, MediaFault::kUnsupported},
       "课程视频无法播放（视频格式不受支持）：已暂停，解决后重新打开学习页面（自 12:05 起）"},
      {{RunState::kCompletionRefused, 0, 0, 0, 0, 0, noon},
       "网站没有接受章节完成：已暂停，请查看学习日志（自 12:05 起）"},
      {{RunState::kCertificateRejected},
       "学习网站的安全证书不受信任：请在“安全警报”中决定是否继续"},
      {{RunState::kEnded}, "全部学完：没有找到未完成章节"},
  };
  for (const Case& c : cases) EXPECT_EQ(DescribeRun(c.status), c.text);
}

}  // namespace
}  // namespace larkwend::scanner_test
