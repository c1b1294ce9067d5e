// SPDX-License-Identifier: GPL-3.0-or-later
// The study run on the fake clock: at its own door, told what the window's cycle and the browser
// found, what it makes of a page that goes wrong, the states it is always in, and what the
// desktop and the student are told; then through the window, what only the window shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/certificate_dlg.h"
#include "auto_study_fixture.h"
#include "automation/site_pages.h"
#include "fake_study_cycle.h"
#include "resources/templates.h"

namespace larkwend::scanner_test {
namespace {

using namespace std::chrono_literals;
using State = StudyRun::State;

const std::string kLoginUrl = std::string(site::PortalLoginUrl) + "?ReturnUrl=%2Fstu%2F";
const std::string kStudyHost = "learn.qmstudy.localhost";
const std::string kChapter1 = "right.aspx?c=7&ch=1", kChapter2 = "right.aspx?c=7&ch=2";

std::string CourseAt(int n) {
  return "http://learn.qmstudy.localhost:18080/stu/Study_v2.aspx?courseId=" + std::to_string(n);
}

// The journal's events by their English wording, as the diagnostics give them.
std::vector<std::string> EventsOf(const fake::RecordCapture& records, const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& event : records.diagnostics())
    if (event.rfind(prefix, 0) == 0) found.push_back(event);
  return found;
}

long NoticesOf(const fake::DesktopSession& session, const std::string& id) {
  return std::count_if(session.notices.begin(), session.notices.end(),
                       [&](const auto& notice) { return notice.id == id; });
}

// How long until the run's next attempt at the study page; -1 ms when none is due.
std::chrono::milliseconds AttemptIn(const StudyRun& run, const fake::Clock& clock) {
  if (!run.nextAttempt()) return -1ms;
  return std::chrono::duration_cast<std::chrono::milliseconds>(*run.nextAttempt() - clock.Now());
}

// ---- at the run's own door --------------------------------------------------------------------

// A run with a fake cycle, on the fake clock and desktop. The test plays the window and the
// browser: what the cycle's ticks found, and what the browser reported.
struct RunDoor {
  RunDoor() {
    cycle.onRestart = [this] { run.Armed(); };
  }

  // The browser loaded `address` to its end.
  void Shows(const std::string& address) {
    cycle.page = address;
    run.LoadStarted(address, true);
    run.LoadFinished(address, true);
  }
  // A navigation of the page's, the student's or the run's own: a chapter page arms the run, as
  // the window arms it once the student has logged in.
  void Arrive(const std::string& address, bool byStudent = false) {
    run.TopLevelNavigation(address, byStudent);
    Shows(address);
    if (site_pages::IsChapterPage(address)) run.Armed();
  }
  // The page the run opened last is shown, and has settled.
  void FollowTheRun() {
    Arrive(cycle.opened.back());
    clock.Advance(500ms);
  }
  void StartStudying(const std::string& page = kChapterPageUrl) {
    Arrive(page);
    ASSERT_TRUE(run.ChapterListRead({kChapter1, kChapter2}));
    run.ChapterOpened(kChapter1);
  }
  // At its level the chapter is pressed. Sites show every chapter's level alike, and a refused
  // press leaves it as it was: the same text, read again, says nothing new.
  void Complete(const std::string& chapter) {
    run.ProgressRead("00:02:00");
    run.ChapterCompleted(chapter);
  }
  // The load the run asked for is made, once the event that asked for it is over.
  void LoadsAgain() {
    clock.Advance(0ms);
    Shows(cycle.loadsAgain.back());
  }
  std::chrono::milliseconds NextAttemptIn() const { return AttemptIn(run, clock); }
  std::vector<std::string> Events(const std::string& prefix) const {
    return EventsOf(records, prefix);
  }
  long Told(const std::string& id) const { return NoticesOf(session, id); }

  fake::RecordCapture records;
  fake::Clock clock;
  fake::DesktopSession session;
  fake::StudyCycle cycle;
  StudyRun run{clock, session, cycle};
};

class RunAtItsDoor : public ::testing::Test, public RunDoor {};

TEST_F(RunAtItsDoor, AFailedLoadIsLoadedAgainWithAGrowingWaitUntilTheListIsBack) {
  StartStudying();
  Complete(kChapter1);
  EXPECT_TRUE(cycle.pagesForARun) << "a run handles its failed loads itself";

  // The list frame reloads after the completion into a gateway's error page at its own address.
  run.LoadFailed({kListUrl, false, 502, {}});
  EXPECT_FALSE(run.PageLoaded()) << "an error page is to be read";
  EXPECT_EQ(run.state(), State::kWaitingForSite);

  // 5 s, then twice the last wait up to a minute, for as long as the site fails.
  std::vector<std::chrono::milliseconds> waits;
  for (int attempt = 0; attempt < 6; ++attempt) {
    waits.push_back(NextAttemptIn());
    clock.Advance(waits.back());
    EXPECT_EQ(cycle.loadsAgain, std::vector<std::string>(attempt + 1, kChapterPageUrl));
    EXPECT_EQ(cycle.restarts, attempt + 1) << "each load again starts the cycle over";
    run.LoadStarted(kChapterPageUrl, true);
    attempt % 2 ? run.LoadFailed({kChapterPageUrl, true, 0, "Connection terminated"})
                : run.LoadFailed({kChapterPageUrl, true, 502, {}});
  }
  EXPECT_EQ(waits, (std::vector<std::chrono::milliseconds>{5s, 10s, 20s, 40s, 60s, 60s}));
  EXPECT_EQ(Events("page failed to load: "),
            std::vector<std::string>{"page failed to load: " + kListUrl + " (HTTP 502)"});

  // The site answers again: the list read says so once, and the run goes on.
  clock.Advance(NextAttemptIn());
  LoadsAgain();
  EXPECT_TRUE(run.PageLoaded());
  EXPECT_TRUE(run.ChapterListRead({kChapter2}));
  EXPECT_EQ(Events("page loaded again after "),
            std::vector<std::string>{"page loaded again after 255 s: " + kChapterPageUrl});
  EXPECT_EQ(run.state(), State::kStudying);

  // The end gives the engine its error pages back; a failure then is left as it is.
  run.NoChapterLeft();
  EXPECT_EQ(run.state(), State::kEnded);
  EXPECT_EQ(cycle.ends, 1);
  EXPECT_FALSE(cycle.pagesForARun);
  run.LoadFailed({kListUrl, false, 503, {}});
  EXPECT_EQ(NextAttemptIn(), -1ms);
  EXPECT_EQ(Events("page failed to load: ").size(), 1u);
}

// Whatever the student is waited for, the run loads nothing by itself for hours, lets the
// machine sleep, says why once, and goes on when a chapter page is opened again. A sign-out by
// any road, and a certificate the system does not trust, are no outage to wait out.
TEST(RunAtItsDoorCases, AWaitForTheStudentLoadsNothingAndLetsTheMachineSleep) {
  const std::string signedOut = "signed out by the site: ";
  const std::string certificate =
      "certificate not trusted: " + kStudyHost + " (not issued by a trusted authority, expired)";
  auto refuse = [](RunDoor& t) {
    t.run.LoadStarted(kChapterPageUrl, true);
    t.run.CertificateRejected(kChapterPageUrl, kStudyHost,
                              kCertificateUnknownIssuer | kCertificateExpired);
  };
  auto failOnce = [](RunDoor& t) {
    t.run.LoadFailed({kListUrl, false, 502, {}});
    t.clock.Advance(5s);  // loaded again
  };
  struct Wait {
    const char* name;
    std::function<void(RunDoor&)> enter;
    State state;
    std::string event = {};   // the journal's, in the diagnostics' words
    std::string notice = {};  // the desktop's notification
  };
  const std::vector<Wait> waits = {
      {"signed out: a redirect at top level",
       [](RunDoor& t) {
         t.run.LoadStarted(kChapterPageUrl, true);
         t.run.LoadFinished(kLoginUrl, true);
       },
       State::kSignedOut, signedOut + kLoginUrl, "signed-out"},
      {"signed out: a redirect in a frame",
       [](RunDoor& t) { t.run.LoadFinished(kLoginUrl, false); }, State::kSignedOut,
       signedOut + kLoginUrl, "signed-out"},
      {"signed out: a login page that breaks out of its frame",
       [](RunDoor& t) { t.Arrive(kLoginUrl); }, State::kSignedOut, signedOut + kLoginUrl,
       "signed-out"},
      {"signed out: an answer that asks for credentials (HTTP 401)",
       [](RunDoor& t) {
         t.run.LoadFailed({kListUrl, false, 401, {}});
       },
       State::kSignedOut, signedOut + kListUrl, "signed-out"},
      {"signed out: the login form read in a page of the run",
       [](RunDoor& t) { t.run.LoginFormShown(kChapterPageUrl); }, State::kSignedOut,
       signedOut + kChapterPageUrl, "signed-out"},
      {"signed out: during a failure, a reload that lands on the login page",
       [&](RunDoor& t) {
         failOnce(t);
         t.run.LoadStarted(kChapterPageUrl, true);
         t.run.LoadFinished(kLoginUrl, true);
       },
       State::kSignedOut, signedOut + kLoginUrl, "signed-out"},
      {"the chapter page's certificate refused", refuse, State::kCertificateRejected, certificate,
       "certificate"},
      {"the certificate refused when the study page was loaded again",
       [&](RunDoor& t) {
         failOnce(t);
         refuse(t);
       },
       State::kCertificateRejected, certificate, "certificate"},
      {"the student went to the portal while a reload waited",
       [](RunDoor& t) {
         t.run.LoadFailed({kListUrl, false, 502, {}});
         t.Arrive(std::string(site::PortalUserCenterUrl), true);
       },
       State::kLeftByStudent, "run left by the student: " + std::string(site::PortalUserCenterUrl)},
      {"nothing left in the course",
       [](RunDoor& t) {
         t.Complete(kChapter1);
         EXPECT_FALSE(t.run.ChapterListRead({}));
       },
       State::kNothingLeft},
  };
  for (const Wait& wait : waits) {
    SCOPED_TRACE(wait.name);
    RunDoor t;
    t.StartStudying();
    ASSERT_EQ(t.session.blocksHeld, 1);
    wait.enter(t);
    const std::size_t reloads = t.cycle.loadsAgain.size();
    t.clock.Advance(2h);
    EXPECT_EQ(t.run.state(), wait.state);
    EXPECT_EQ(t.cycle.loadsAgain.size(), reloads) << "loaded again while waiting for the student";
    EXPECT_EQ(t.session.blocksHeld, 0) << "the machine kept awake for a run that cannot go on";
    if (!wait.event.empty()) {
      EXPECT_EQ(t.Events(wait.event.substr(0, wait.event.find(':') + 2)),
                std::vector<std::string>{wait.event});
    }
    EXPECT_EQ(t.session.notices.size(), wait.notice.empty() ? 0u : 1u);
    EXPECT_EQ(t.Told(wait.notice), wait.notice.empty() ? 0 : 1);
    EXPECT_TRUE(t.Events("no progress for ").empty());
    EXPECT_EQ(t.cycle.ends, 0);

    // The student opens a chapter page (logged in, the certificate trusted): the run goes on.
    t.Arrive(kChapterPageUrl, true);
    EXPECT_EQ(t.run.state(), State::kStudying);
    EXPECT_EQ(t.session.blocksHeld, 1);
  }
}

TEST_F(RunAtItsDoor, WithNoSignOfStudyingForFiveMinutesTheStudyPageIsLoadedAgain) {
  StartStudying();
  // Studying: its progress read every 45 s keeps the run alone for as long as it lasts.
  for (int check = 0; check < 20; ++check) {
    clock.Advance(45s);
    run.ProgressRead(UniqueProgress(false));
  }
  EXPECT_TRUE(cycle.loadsAgain.empty());

  // The content frame shows a placeholder now: the checks decide nothing, for good.
  for (int check = 0; check < 6; ++check) {
    clock.Advance(45s);
    run.NothingDecided();
  }
  EXPECT_TRUE(cycle.loadsAgain.empty()) << "reloaded before five minutes";
  clock.Advance(30s);
  ASSERT_EQ(cycle.loadsAgain.size(), 1u) << "at once, the first time";
  EXPECT_EQ(Events("no progress for "),
            std::vector<std::string>{"no progress for 5 min: study page loaded again"});
  EXPECT_EQ(cycle.restarts, 1);

  // Still nothing five minutes on: the same growing waits as a failed load.
  clock.Advance(5min);
  EXPECT_EQ(NextAttemptIn(), 5s);
  EXPECT_EQ(run.state(), State::kWaitingForSite);
  clock.Advance(5s);
  EXPECT_EQ(cycle.loadsAgain.size(), 2u);
}

TEST(RunAtItsDoorCases, CrashAndHangLoopsArePacedAndTold) {
  struct Loop {
    const char* name;
    std::function<void(RunDoor&)> fault;
  };
  const std::vector<Loop> loops = {
      {"a page whose process dies at every load",
       [](RunDoor& t) { t.run.PageProcessEnded(PageProcessEnd::kCrashed); }},
      {"a page that hangs after every load",
       [](RunDoor& t) {
         t.run.AnsweringChanged(false);
         t.clock.Advance(25s);
         ASSERT_GT(t.cycle.processEnds, 0);
         t.run.PageProcessEnded(PageProcessEnd::kEndedByProgram);
       }},
  };
  for (const Loop& loop : loops) {
    SCOPED_TRACE(loop.name);
    RunDoor t;
    t.StartStudying();
    const auto start = t.clock.Now();
    std::size_t seen = 0;
    std::vector<std::chrono::milliseconds> waits;
    while (t.clock.Now() - start < 10min) {
      loop.fault(t);
      if (t.cycle.loadsAgain.size() == seen) {
        waits.push_back(t.NextAttemptIn());
        t.clock.Advance(t.NextAttemptIn());
      } else {
        waits.push_back(0ms);
      }
      ASSERT_EQ(t.cycle.loadsAgain.size(), ++seen);
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

TEST_F(RunAtItsDoor, OutsideARunALostPageIsLoadedAgainOnceAMinute) {
  cycle.page = kChapterPageUrl;  // shown, but no login captured: nothing armed
  run.PageProcessEnded(PageProcessEnd::kCrashed);
  EXPECT_EQ(cycle.loadsAgain.size(), 1u);
  clock.Advance(30s);
  run.PageProcessEnded(PageProcessEnd::kCrashed);
  EXPECT_EQ(cycle.loadsAgain.size(), 1u) << "left to the student";
  clock.Advance(2min);
  run.PageProcessEnded(PageProcessEnd::kCrashed);
  EXPECT_EQ(cycle.loadsAgain.size(), 2u);
  EXPECT_EQ(cycle.restarts, 0) << "no cycle started outside a run";

  // Nor is a failed load handled outside a run.
  run.LoadStarted(kChapterPageUrl, true);
  run.LoadFailed({kChapterPageUrl, true, 502, {}});
  clock.Advance(5min);
  EXPECT_EQ(cycle.loadsAgain.size(), 2u);
  EXPECT_FALSE(cycle.pagesForARun);
  EXPECT_TRUE(Events("page failed to load: ").empty());
  EXPECT_EQ(session.blocksTaken, 0);
  EXPECT_EQ(run.state(), State::kNotStarted);
}

TEST_F(RunAtItsDoor, ALoadThatNeverEndsIsStoppedAndHandledAsAFailure) {
  StartStudying();
  run.LoadStarted(kContentUrl, false);
  clock.Advance(59s);
  run.LoadFinished(kContentUrl, false);  // in time
  clock.Advance(5s);
  EXPECT_EQ(cycle.loadStops, 0);

  // Still loading a minute on, and the page answers once stopped: its process is kept.
  run.LoadStarted(kContentUrl, false);
  clock.Advance(60s);
  EXPECT_EQ(cycle.loadStops, 1);
  EXPECT_EQ(cycle.processEnds, 0);
  EXPECT_EQ(Events("page failed to load: "),
            std::vector<std::string>{"page failed to load: " + kContentUrl +
                                     " (still loading after 60 s)"});
  run.LoadStopped(kContentUrl, false);  // what the stop itself causes is no new failure
  EXPECT_EQ(NextAttemptIn(), 5s);
  clock.Advance(5s);
  ASSERT_EQ(cycle.loadsAgain, std::vector<std::string>{kChapterPageUrl});

  // The page loaded again spins while it is parsed: stopping it does not make it answer.
  cycle.answersAfterStop = false;
  run.LoadStarted(kChapterPageUrl, true);
  clock.Advance(60s);
  EXPECT_EQ(cycle.processEnds, 1);
  run.PageProcessEnded(PageProcessEnd::kEndedByProgram);
  EXPECT_TRUE(Events("page recovered: ").empty()) << "the waiting reload brings it back";
  clock.Advance(NextAttemptIn());
  EXPECT_EQ(cycle.loadsAgain.size(), 2u);
  LoadsAgain();
  run.ChapterListRead({kChapter2});
  EXPECT_EQ(Events("page loaded again after ").size(), 1u);
  EXPECT_EQ(Events("page failed to load: ").size(), 1u) << "one episode, one line";
}

TEST_F(RunAtItsDoor, TheStudentIsToldOfALongFailureOnceAnEpisode) {
  StartStudying();
  auto failingFor = [&](std::chrono::seconds span) {
    for (auto left = std::chrono::milliseconds(span); left.count() > 0;) {
      const auto step = std::min(left, NextAttemptIn());
      clock.Advance(step);
      left -= step;
      run.LoadStarted(kChapterPageUrl, true);
      run.LoadFailed({kChapterPageUrl, true, 502, {}});
    }
  };
  auto studiesAgain = [&] {
    clock.Advance(NextAttemptIn());
    LoadsAgain();
    run.ChapterListRead({kChapter1});
    run.ProgressRead(UniqueProgress(false));
  };

  // Ten minutes of failing tell once, however long it goes on, under one block.
  run.LoadFailed({kListUrl, false, 502, {}});
  failingFor(590s);
  EXPECT_EQ(Told("page-failing"), 0);
  failingFor(20min);
  EXPECT_EQ(Told("page-failing"), 1);
  EXPECT_EQ(session.blocksTaken, 1);
  EXPECT_EQ(session.blocksHeld, 1);

  // A new failure is a new episode; one whose list is back within the ten minutes says nothing.
  studiesAgain();
  run.LoadFailed({kListUrl, false, 502, {}});
  failingFor(9min);
  studiesAgain();
  clock.Advance(5min);
  EXPECT_EQ(Told("page-failing"), 1);
  for (const auto& notice : session.notices)
    EXPECT_EQ(notice.title.find("http") + notice.body.find("http"), 2 * std::string::npos)
        << "an address in a notification";
}

// ---- what the site shows, and what is the site's own -----------------------------------------

// Five minutes of the program's own doings, with the site showing nothing new, load the study
// page again; a progress text that moves, or a chapter the list shows finished, is studying.
TEST(RunAtItsDoorCases, OnlyWhatTheSiteShowsIsProgress) {
  struct Case {
    const char* name;
    std::function<void(RunDoor&, int tick)> every45s;
    bool studying;
  };
  const std::vector<Case> cases = {
      {"armed again", [](RunDoor& t, int) { t.run.Armed(); }, false},
      {"refreshed for standing still", [](RunDoor& t, int) { t.run.PageRefreshed(); }, false},
      {"a chapter opened again",
       [](RunDoor& t, int) {
         t.run.Armed();
         t.run.ChapterOpened(kChapter1);
       },
       false},
      {"the same list read again",
       [](RunDoor& t, int) {
         t.run.ChapterListRead({kChapter1, kChapter2});
       },
       false},
      {"the same progress read again", [](RunDoor& t, int) { t.run.ProgressRead("00:00:10"); },
       false},
      {"the progress moves",
       [](RunDoor& t, int tick) { t.run.ProgressRead("00:00:1" + std::to_string(tick)); }, true},
      {"the list shows a chapter finished",
       [](RunDoor& t, int tick) {
         if (tick == 4) t.run.ChapterListRead({kChapter2});
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunDoor t;
    t.StartStudying();
    for (int tick = 0; tick < 7; ++tick) {
      t.clock.Advance(45s);
      c.every45s(t, tick);
    }
    t.clock.Advance(30s);
    EXPECT_EQ(t.Events("no progress for ").size(), c.studying ? 0u : 1u);
  }
}

// The site refuses a completion: the chapter, at its level, is pressed again as often as the
// list still shows it unfinished, three times more at most; then the student is told.
TEST(RunAtItsDoorCases, ACompletionThatDidNotTakeIsPressedAgainThenToldToTheStudent) {
  for (const int refusals : {1, 4}) {
    SCOPED_TRACE(refusals);
    RunDoor t;
    t.StartStudying();
    bool goesOn = true;
    int presses = 0;
    while (goesOn && presses < 5) {
      t.Complete(kChapter1);
      const bool refused = presses++ < refusals;
      goesOn = t.run.ChapterListRead(refused ? std::vector<std::string>{kChapter1, kChapter2}
                                             : std::vector<std::string>{kChapter2});
      if (!refused) break;
    }
    const auto notTaken = t.Events("completion did not take: ");
    if (refusals == 1) {
      EXPECT_EQ(presses, 2);
      EXPECT_TRUE(goesOn);
      EXPECT_EQ(notTaken, std::vector<std::string>{"completion did not take: right.aspx?c=7&ch=1 "
                                                   "(1 of 3), pressing again"});
      EXPECT_EQ(t.run.state(), State::kStudying);
      EXPECT_TRUE(t.cycle.status.starts_with("正在学习第 2 章，共 2 章")) << t.cycle.status;
      continue;
    }
    EXPECT_EQ(presses, 4);
    EXPECT_FALSE(goesOn);
    EXPECT_EQ(notTaken.size(), 3u);
    EXPECT_EQ(t.Events("completion never took: ").size(), 1u);
    EXPECT_EQ(t.run.state(), State::kCompletionRefused);
    EXPECT_EQ(t.Told("completion-refused"), 1);
    EXPECT_EQ(t.session.blocksHeld, 0);
    EXPECT_EQ(t.cycle.cycleStops, 1);
  }
}

// Only the student's own navigations away end the run's waits; a page the site goes to by
// itself is waited out and the study page loaded again.
TEST(RunAtItsDoorCases, TheSitesOwnNavigationsAreNotTheStudentLeaving) {
  struct Case {
    std::string to;
    bool byStudent;
    State state;
  };
  const std::string evaluation = "http://learn.qmstudy.localhost:18080/stu/evaluate.aspx?c=7";
  for (const Case& c : {Case{evaluation, false, State::kWaitingForSite},
                        Case{evaluation, true, State::kLeftByStudent},
                        Case{kChapterPageUrl + "?courseId=8", false, State::kStudying}}) {
    SCOPED_TRACE(c.to + (c.byStudent ? " by the student" : " by the site"));
    RunDoor t;
    t.StartStudying();
    t.Arrive(c.to, c.byStudent);
    EXPECT_EQ(t.run.state(), c.state);
    if (c.state != State::kWaitingForSite) continue;
    EXPECT_EQ(t.Events("the site went to another page: "),
              std::vector<std::string>{"the site went to another page: " + c.to +
                                       ", back to the study page"});
    t.clock.Advance(t.NextAttemptIn());
    EXPECT_EQ(t.cycle.loadsAgain, std::vector<std::string>{kChapterPageUrl});
  }
}

// A player, an advert or another site's frame that fails or never ends changes nothing, and a
// failure is said once a page; not even an answer of 401 there is a sign-out. (The study page's
// own frames decide: the door's first test and its table of waits.)
TEST(RunAtItsDoorCases, OnlyTheStudyPagesOwnFramesDecide) {
  const std::string player = "http://player.localhost/embed.html";
  const std::string analytics = "http://learn.qmstudy.localhost:18080/stu/stats.aspx";
  for (const auto& [frame, status] : std::vector<std::pair<std::string, int>>{
           {player, 404}, {player, 0}, {player, 401}, {analytics, 500}}) {
    SCOPED_TRACE(frame + " " + std::to_string(status));
    RunDoor t;
    t.StartStudying();
    t.run.LoadStarted(frame, false);
    t.clock.Advance(61s);
    for (int twice = 0; twice < 2; ++twice)
      t.run.LoadFailed({frame, false, status, status ? "" : "Connection refused"});
    EXPECT_EQ(t.run.state(), State::kStudying);
    EXPECT_EQ(t.Events("a frame that is not the study page's failed to load: ").size(), 1u);
    EXPECT_TRUE(t.Events("page failed to load: ").empty());
    EXPECT_EQ(t.cycle.loadStops, 0);
    EXPECT_TRUE(t.run.PageLoaded()) << "the study page is still read";
  }
}

// A chapter's video that fails: the site's faults are failed loads, this machine's are given one
// reload and then told to the student. Each chapter's failure is journalled once.
TEST(RunAtItsDoorCases, AVideoThatCannotPlayIsToldNeverRetriedAllNight) {
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
    RunDoor t;
    const MediaFailure failure{kContentUrl, kContentUrl + "&clip.mp4", c.fault, c.httpStatus};
    t.run.MediaFailed(failure);
    EXPECT_TRUE(t.Events("video cannot play").empty()) << "outside a run it is left as it is";
    t.StartStudying();
    EXPECT_TRUE(t.cycle.pagesForARun) << "pages keep the focus while armed";

    t.run.MediaFailed(failure);
    t.run.MediaFailed(failure);  // a second video of the page, or the page trying again
    EXPECT_EQ(t.Events("video cannot play: "),
              std::vector<std::string>{"video cannot play: " + kContentUrl + " (" + c.line + ")"});
    if (c.sitesFault) {
      EXPECT_EQ(t.run.state(), State::kWaitingForSite);
      t.clock.Advance(t.NextAttemptIn());
      t.LoadsAgain();
      t.run.MediaFailed(failure);
      EXPECT_EQ(t.NextAttemptIn(), 10s) << "the failed loads' growing waits";
      EXPECT_EQ(t.Events("video cannot play: ").size(), 1u);
      continue;
    }
    // Loaded again at once, once; the chapter is opened again and fails again.
    EXPECT_EQ(t.cycle.loadsAgain, std::vector<std::string>{kChapterPageUrl});
    EXPECT_EQ(t.run.state(), State::kStudying);
    t.LoadsAgain();
    t.run.ChapterListRead({kChapter1, kChapter2});
    t.run.MediaFailed(failure);
    EXPECT_EQ(t.run.state(), State::kVideoCannotPlay);
    EXPECT_EQ(t.Told("video-cannot-play"), 1);
    EXPECT_EQ(t.session.blocksHeld, 0);
    EXPECT_EQ(t.cycle.cycleStops, 1) << "no refresh for standing still";
    EXPECT_FALSE(t.cycle.pagesForARun);
    EXPECT_TRUE(
        t.cycle.status.starts_with("课程视频无法播放（" + DescribeMediaFault(c.fault) + "）"))
        << t.cycle.status;
    t.clock.Advance(30min);
    EXPECT_EQ(t.cycle.loadsAgain.size(), 1u) << "nothing retried silently";
    EXPECT_EQ(t.Events("video cannot play: ").size(), 1u);
  }
}

// ---- every course -----------------------------------------------------------------------------

// A run of every course, on course 1 of `courses` on the course list.
struct EveryCourseDoor : RunDoor {
  explicit EveryCourseDoor(std::vector<std::string> courses) {
    cycle.everyCourse = true;
    cycle.courses = std::move(courses);
    StartStudying(CourseAt(1));
  }
  // The course's chapters are completed, and the move past the last finds none left.
  void FinishTheCourse(const std::vector<std::string>& chapters) {
    for (std::size_t i = 0; i < chapters.size(); ++i) {
      Complete(chapters[i]);
      if (i + 1 < chapters.size()) {
        ASSERT_TRUE(run.ChapterListRead({chapters.begin() + i + 1, chapters.end()}));
      }
    }
    run.NoChapterLeft();
  }
};

TEST(EveryCourseAtTheDoor, EveryUnfinishedCourseIsStudiedInListOrderAndTheEndIsSaidOnce) {
  EveryCourseDoor t({CourseAt(1), CourseAt(2), CourseAt(3)});
  EXPECT_TRUE(t.cycle.status.starts_with("正在学习第 1 章，共 2 章（自 ")) << t.cycle.status;
  t.FinishTheCourse({kChapter1, kChapter2});
  EXPECT_EQ(t.cycle.ends, 0) << "the end came after the first course";
  EXPECT_EQ(t.cycle.cycleStops, 1);
  t.FollowTheRun();  // the list, then course 2: found finished, passed over
  t.FollowTheRun();
  EXPECT_FALSE(t.run.ChapterListRead({}));
  t.FollowTheRun();
  t.FollowTheRun();
  ASSERT_EQ(t.cycle.opened.back(), CourseAt(3));
  ASSERT_TRUE(t.run.ChapterListRead({kChapter1}));
  t.run.ChapterOpened(kChapter1);
  EXPECT_TRUE(t.cycle.status.starts_with("正在学习第 1 章，共 1 章（第 3 门课程，共 3 门）"))
      << t.cycle.status;
  t.FinishTheCourse({kChapter1});
  t.FollowTheRun();

  EXPECT_EQ(
      t.Events("course "),
      (std::vector<std::string>{"course finished: " + CourseAt(1) + " (2 chapters completed)",
                                "course opened: " + CourseAt(2) + " (2 of 3)",
                                "course finished: " + CourseAt(2) + " (0 chapters completed)",
                                "course opened: " + CourseAt(3) + " (3 of 3)",
                                "course finished: " + CourseAt(3) + " (1 chapters completed)"}));
  EXPECT_EQ(t.cycle.ends, 1);
  EXPECT_EQ(t.Told("run-ended"), 1);
  EXPECT_EQ(t.session.blocksHeld, 0);
  EXPECT_FALSE(t.cycle.pagesForARun);
  EXPECT_TRUE(t.cycle.status.starts_with("全部学完")) << t.cycle.status;
}

// A page at the course list's address with links but none to a course (a maintenance notice
// with a link home, a login form) is no course list: never the end.
TEST(EveryCourseAtTheDoor, ACourseListWithoutACourseIsLoadedAgainNeverTheEnd) {
  EveryCourseDoor t({});
  t.FinishTheCourse({kChapter1});
  ASSERT_EQ(t.cycle.opened, std::vector<std::string>{std::string(site::CourseListUrl)});
  t.FollowTheRun();
  EXPECT_EQ(t.cycle.courseReads, 1);
  EXPECT_EQ(t.cycle.ends, 0);
  EXPECT_EQ(t.run.state(), State::kWaitingForSite);
  EXPECT_EQ(t.Events("page failed to load: "),
            std::vector<std::string>{"page failed to load: " + std::string(site::CourseListUrl) +
                                     " (no course list)"});
}

TEST(EveryCourseAtTheDoor, ACourseListThatFailsToLoadIsLoadedAgainWithTheUsualWaits) {
  EveryCourseDoor t({CourseAt(1), CourseAt(2)});
  t.FinishTheCourse({kChapter1});
  const std::string list(site::CourseListUrl);
  t.run.LoadStarted(list, true);
  t.run.LoadFailed({list, true, 502, {}});
  EXPECT_TRUE(t.cycle.status.starts_with("等待学习网站恢复，5 秒后重试")) << t.cycle.status;
  t.clock.Advance(t.NextAttemptIn());
  EXPECT_EQ(t.cycle.loadsAgain, std::vector<std::string>{list});
  EXPECT_EQ(t.cycle.restarts, 0) << "no cycle on the course list";
  t.LoadsAgain();
  t.clock.Advance(500ms);
  ASSERT_EQ(t.cycle.opened.back(), CourseAt(2));
  t.FollowTheRun();
  EXPECT_EQ(t.run.state(), State::kStudying);
}

// The walk's pending move ends with a sign-out: the next chapter page is read as one.
TEST(EveryCourseAtTheDoor, ASignOutEndsTheMoveToTheCourseList) {
  EveryCourseDoor t({CourseAt(1), CourseAt(2)});
  t.FinishTheCourse({kChapter1});
  const std::string list(site::CourseListUrl);
  t.run.LoadStarted(list, true);
  t.run.LoadFinished(kLoginUrl, true);  // the list answered with the login page
  EXPECT_EQ(t.run.state(), State::kSignedOut);
  t.Arrive(CourseAt(2), true);  // the student logs in again and opens course 2
  t.clock.Advance(500ms);
  EXPECT_EQ(t.run.state(), State::kStudying);
  EXPECT_EQ(t.cycle.courseReads, 0) << "a chapter page read as the course list";
  EXPECT_TRUE(t.run.ChapterListRead({kChapter1}));
}

// A course whose chapter list is not read for ten minutes is left for this round; the walk goes on.
TEST(EveryCourseAtTheDoor, ACourseThatNeverLoadsIsPassedOverAndTheWalkGoesOn) {
  EveryCourseDoor t({CourseAt(1), CourseAt(2), CourseAt(3)});
  t.FinishTheCourse({kChapter1});
  t.FollowTheRun();  // the list, then course 2, which fails from now on
  ASSERT_EQ(t.cycle.opened.back(), CourseAt(2));
  for (int attempt = 0; attempt < 20 && t.cycle.opened.back() == CourseAt(2); ++attempt) {
    t.run.LoadStarted(CourseAt(2), true);
    t.run.LoadFailed({CourseAt(2), true, 500, {}});
    t.clock.Advance(t.NextAttemptIn());
  }
  EXPECT_EQ(t.Events("course passed over"),
            std::vector<std::string>{"course passed over, its chapter list unread for long: " +
                                     CourseAt(2)});
  t.FollowTheRun();
  EXPECT_EQ(t.cycle.opened.back(), CourseAt(3));
}

// However the course list writes the address of a course finished in this run (course 1, opened
// as CourseAt(1)), it is not opened again: the next one is, once. How a link is resolved to an
// address is site_pages'.
TEST(EveryCourseAtTheDoor, AFinishedCourseIsKnownHoweverTheListWritesIt) {
  struct Case {
    const char* name;
    std::function<std::string(int course)> address;
  };
  const std::vector<Case> cases = {
      {"the path in lower case",
       [](int n) {
         return "http://learn.qmstudy.localhost:18080/stu/study_v2.aspx?courseId=" +
                std::to_string(n);
       }},
      {"a token new at every load",
       [](int n) { return CourseAt(n) + "&t=" + std::to_string(n * 100 + 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EveryCourseDoor t({c.address(1), c.address(2), c.address(3)});
    t.FinishTheCourse({kChapter1});
    t.FollowTheRun();
    EXPECT_EQ(t.cycle.opened.back(), c.address(2));
    EXPECT_EQ(t.Events("course opened: ").size(), 1u);
  }
}

// Courses write their chapters' links alike: what was pressed in one course says nothing of the
// next, whose chapter 1 is as unfinished as it looks.
TEST(EveryCourseAtTheDoor, ACoursesLastCompletionIsNotCarriedIntoTheNext) {
  EveryCourseDoor t({CourseAt(1), CourseAt(2)});
  t.FinishTheCourse({kChapter1, kChapter2});
  t.FollowTheRun();
  t.FollowTheRun();
  EXPECT_TRUE(t.run.ChapterListRead({kChapter1, kChapter2}));
  t.FinishTheCourse({kChapter1, kChapter2});
  t.FollowTheRun();
  EXPECT_TRUE(t.Events("completion did not take").empty());
  EXPECT_EQ(
      t.Events("course finished: "),
      (std::vector<std::string>{"course finished: " + CourseAt(1) + " (2 chapters completed)",
                                "course finished: " + CourseAt(2) + " (2 chapters completed)"}));
  EXPECT_EQ(t.cycle.ends, 1);
}

// ---- through the window: what only the window shows ---------------------------------------------

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
  std::chrono::milliseconds NextAttemptIn() const { return AttemptIn(run(), clock); }
  std::vector<std::string> Events(const std::string& prefix) const {
    return EventsOf(records, prefix);
  }
  long Told(const std::string& id) const { return NoticesOf(session, id); }
  // The site keeps failing the way it does: each reload the run asks for is made, and read.
  void ReloadsAsAsked(int times) {
    for (int i = 0; i < times && NextAttemptIn() >= 0ms; ++i) {
      clock.Advance(NextAttemptIn());
      engine().LoadStarted(kChapterPageUrl, true);
      engine().LoadFinished(kChapterPageUrl, true);
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

// Pages a site shows where its chapter list belongs, as the window's ticks read them. None of
// them is read as an empty list, nor ends the run.
TEST(StudyRunCases, OnlyAChapterListEndsTheRun) {
  struct Case {
    const char* name;
    std::function<fake::PagePtr()> page;  // null: the list frame's reload fails instead
    enum { kKeepsFailing, kSignedOut, kStudiesOn } outcome;
  };
  const std::vector<Case> cases = {
      {"a gateway's error page in the list frame, after the completion", nullptr, Case::kStudiesOn},
      {"a maintenance notice in the list frame",
       [] {
         auto page = MakeChapterPage(UniqueProgress(false), "00:01:00");
         page.list->Div("notice", "<p>系统维护中，请稍后再试</p>");
         return page.top;
       },
       Case::kKeepsFailing},
      {"a maintenance notice at the chapter page's address, without frames",
       [] {
         auto top = fake::MakePage(kChapterPageUrl);
         top->Div("notice", "系统维护中");
         return top;
       },
       Case::kKeepsFailing},
      {"the login form in the list frame, at its own address",
       [] {
         auto page = MakeChapterPage(UniqueProgress(false), "00:01:00");
         page.list->WithId("txtUserName", "");
         page.list->WithId("txtPassword", "");
         return page.top;
       },
       Case::kSignedOut},
      {"the login form at the chapter page's address",
       [] {
         auto top = fake::MakePage(kChapterPageUrl);
         top->WithId("sfyzNumber", "");
         top->WithId("txtPassword", "");
         return top;
       },
       Case::kSignedOut},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scenario t;
    Course course(2);
    t.CompleteTheFirstChapter(course);
    if (c.page) {
      t.window.browser().Load(c.page());
      t.Fire(TIMER_WAIT_FOR_LIST);
    } else {
      t.FailFrame(502);
      t.Fire(TIMER_NEXT_CHAPTER);
      EXPECT_TRUE(t.records.Diagnosed("tick 5000: page failed to load, dropped"));
    }
    t.ReloadsAsAsked(20);  // each reload starts the cycle over from the list

    EXPECT_TRUE(t.dialogs.messages.empty()) << "the run ended as if it were done";
    EXPECT_EQ(t.Events("run ended: ").size(), 0u);
    if (c.outcome == Case::kStudiesOn) {
      EXPECT_EQ(course.opened, (std::vector<int>{1, 2}));
    } else if (c.outcome == Case::kSignedOut) {
      EXPECT_EQ(t.run().state(), State::kSignedOut);
      EXPECT_EQ(t.Events("signed out by the site: ").size(), 1u);
      EXPECT_EQ(t.Told("signed-out"), 1);
      EXPECT_TRUE(t.window.browser().loadsAgain().empty());
    } else {
      EXPECT_EQ(t.Events("page failed to load: ").size(), 1u);
      EXPECT_GE(t.window.browser().loadsAgain().size(), 10u) << "not loaded again with its waits";
      EXPECT_FALSE(t.window.browser().showsErrorPages()) << "a run handles its failed loads";
      EXPECT_EQ(t.Told("page-failing"), 1) << ::testing::PrintToString(t.records.diagnostics());
    }
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

TEST(StudyRunCases, AChapterWhoseClickWasNotMadeIsOpenedAtTheNextTick) {
  for (const dom::Status failure : {dom::kFailed, dom::kUnanswered}) {
    SCOPED_TRACE(failure);
    Scenario t;
    Course course(2);
    t.host.Fail("Element.click", 1, failure);
    t.StartStudying(course);
    EXPECT_EQ(t.RunningTimers(), std::vector<unsigned>{TIMER_WAIT_FOR_LIST});
    EXPECT_TRUE(t.Events("chapter opened: ").empty());
    t.Fire(TIMER_WAIT_FOR_LIST);
    EXPECT_EQ(course.opened, std::vector<int>{1});
    EXPECT_EQ(t.RunningTimers(), std::vector<unsigned>{TIMER_CHECK_PROGRESS});
  }
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

// ---- the status line ------------------------------------------------------------------------

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
