// SPDX-License-Identifier: GPL-3.0-or-later
// One whole study run on the real desktop against the practice site: the program starts, the
// student types the verification code and logs in with one click, opens the course list and a
// course's chapter page, and the program studies every chapter by itself. The completion alerts
// are clicked away by the program's own dismisser: nothing here touches them. Afterwards the study
// journal and the diagnostics (turned on as a maintainer would) tell the run.
#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "app/quillmoor_dlg.h"
#include "e2e_desktop_services.h"
#include "e2e_diagnostics.h"
#include "e2e_harness.h"
#include "e2e_message_boxes.h"
#include "e2e_practice_site.h"
#include "e2e_program.h"
#include "e2e_study_flow.h"
#include "scoped_working_dir.h"

namespace larkwend::e2e {
namespace {

constexpr int kChapters = 3;
const std::string kEndMessage = "没有找到未完成章节";

// Timer periods at 1/20: a progress check every 2.25 s, the pop-up closed every 5 ms.
constexpr double kTimerScale = 0.05;

std::vector<std::string> SiteOptions(std::vector<std::string> extra) {
  std::vector<std::string> options = {
      "--courses", "1", "--chapters", std::to_string(kChapters), "--finished", "0",
      // A chapter asks for 60 study seconds, credited 50 to the real second: 1.2 s, so the first
      // progress check after it opens (the check keeps its pace, 2.25 s) finds it done.
      "--chapter-seconds", "60", "--time-scale", "50"};
  options.insert(options.end(), extra.begin(), extra.end());
  return options;
}

struct RunOutcome {
  std::vector<std::string> messages;
  std::vector<std::string> iconsOfTheLast;
  bool timersStoppedAtTheEnd = false;
  std::vector<std::string> journal;  // its events, without the date and time
  std::vector<std::string> diagnostics;
  bool urgentAtTheEnd = false;  // the main window asked for attention while the end was shown
};

// The journal's events that begin with `kind`, with the kind cut off: by their English wording,
// as the diagnostics give the same facts.
std::vector<std::string> Events(const RunOutcome& outcome, const std::string& kind) {
  std::vector<std::string> found;
  for (const std::string& event : outcome.diagnostics)
    if (event.rfind(kind, 0) == 0) found.push_back(event.substr(kind.size()));
  return found;
}

bool Diagnosed(const RunOutcome& outcome, const std::string& prefix) {
  return std::any_of(outcome.diagnostics.begin(), outcome.diagnostics.end(),
                     [&](const std::string& m) { return m.rfind(prefix, 0) == 0; });
}

// The window timers that run, as one of the cycle's working states: waiting for the list,
// studying (with pop-up closing once a chapter was completed) or completing. Idle is not one of
// them: a run that has ended is not a run that goes on.
bool IsRunningCycleState(const std::vector<unsigned>& timers) {
  using T = std::vector<unsigned>;
  // Timer 100 stops itself after a while, so completing may also go on without it.
  for (const T& state :
       {T{TIMER_WAIT_FOR_LIST}, T{TIMER_CHECK_PROGRESS}, T{TIMER_POPUP_CLOSE, TIMER_CHECK_PROGRESS},
        T{TIMER_NEXT_CHAPTER, TIMER_CHECK_PROGRESS},
        T{TIMER_POPUP_CLOSE, TIMER_NEXT_CHAPTER, TIMER_CHECK_PROGRESS}})
    if (timers == state) return true;
  return false;
}

// Every chapter completed on the server, in order, each once.
void ExpectEveryChapterOnce(const PracticeSite& site) {
  std::vector<std::pair<int, int>> inOrder;
  for (int chapter = 1; chapter <= kChapters; ++chapter) inOrder.emplace_back(1, chapter);
  EXPECT_EQ(site.CompletedChapters(), inOrder);
  EXPECT_EQ(site.FinishRepeated(), 0) << "a completed chapter was completed again";
}

// The run ended as a run should: the end said once, every timer stopped.
void ExpectOneEnd(const RunOutcome& outcome) {
  EXPECT_EQ(std::count(outcome.messages.begin(), outcome.messages.end(), kEndMessage), 1);
  EXPECT_TRUE(outcome.timersStoppedAtTheEnd);
}

// What a test does to the program while it studies, once the chapter page is open; `boxes`
// answers the program's message boxes.
using Meddle = std::function<void(Program&, const MessageBoxAnswerer& boxes)>;

// The waits on a page that goes wrong: the reloads' at the timers' pace; a hung page is given
// 4 s, time enough for a test to click the window's buttons while it does not answer, and a load
// 8 s, which a slow site's page with its frames and scripts never needs here.
// The liveness rule's minutes shrink with the timers.
StudyRunTimings ScaledStudyRun() {
  using std::chrono::milliseconds;
  StudyRunTimings timings;
  timings.hungPage = milliseconds(4000);
  timings.neverEndingLoad = milliseconds(8000);
  timings.firstRetry = milliseconds(int(5000 * kTimerScale));
  timings.longestRetry = milliseconds(int(60000 * kTimerScale));
  timings.noProgress = milliseconds(int(300000 * kTimerScale));
  return timings;
}

// The program at the tests' pace, its journal kept in `state`.
ProgramOptions ScaledProgram(const fixtures::ScopedWorkingDir& state) {
  ProgramOptions options;
  options.timerScale = kTimerScale;
  options.studyRun = ScaledStudyRun();
  options.stateHome = state.path();
  return options;
}

// `afterTheEnd` runs once the end was said, while the program still runs.
RunOutcome StudyTheCourse(PracticeSite& site, const Meddle& meddle = {},
                          const std::function<void(Program&)>& afterTheEnd = {}) {
  RunOutcome outcome;
  fixtures::ScopedWorkingDir state;
  DiagnosticsCapture diagnostics;
  const ProgramOptions options = ScaledProgram(state);
  // The update service answers "301|...": nothing newer, start-up goes on.
  RunProgram(options, [&](Program& program) {
    MessageBoxAnswerer boxes("提示", [&](const WindowView& view) {
      if (view.text == kEndMessage)
        outcome.urgentAtTheEnd = gtk_window_get_urgency_hint(program.MainWindow());
      return std::string("确定");
    });
    std::string failure;
    if (!LogInAndOpenCourse(program, 1, &failure)) {
      ADD_FAILURE() << "the road to the chapter page stopped at: " << failure;
      return;
    }
    if (meddle) meddle(program, boxes);
    bool ended = PumpUntil(
        [&] {
          for (const std::string& text : boxes.Texts())
            if (text == kEndMessage) return true;
          return false;
        },
        120000);
    if (!ended) {
      // What the program decided last, ticks aside, says why it stopped.
      // One to a line: a printed container stops after its 32nd element.
      std::vector<std::string> said;
      for (const std::string& message : diagnostics.Messages())
        if (!message.starts_with("tick ") && !message.starts_with("window timer ") &&
            !message.starts_with("progress "))
          said.push_back(message);
      std::string last;
      for (auto it = said.end() - std::min<std::ptrdiff_t>(40, said.size()); it != said.end(); ++it)
        last += "  " + *it + "\n";
      ADD_FAILURE() << "the run did not end; chapters completed: " << site.CompletedChapterCount()
                    << "; its last diagnostics:\n"
                    << last;
    }
    // Give any timer still running a few of its periods to show itself.
    PumpFor(3000);
    outcome.messages = boxes.Texts();
    if (!boxes.Seen().empty()) outcome.iconsOfTheLast = boxes.Seen().back().icons;
    outcome.timersStoppedAtTheEnd = program.RunningTimers().empty();
    if (afterTheEnd) afterTheEnd(program);
  });
  std::ifstream journal(state.path() / "larkwend" / "journal.log");
  for (std::string line; std::getline(journal, line);) {
    EXPECT_TRUE(line.size() > 20 && line[10] == 'T' && line[19] == ' ') << line;  // date, time
    outcome.journal.push_back(line.substr(20));
  }
  outcome.diagnostics = diagnostics.Messages();
  return outcome;
}

TEST(StudyRun, EveryChapterIsCompletedAndTheEndIsSaidOnce) {
  PracticeSite site(SiteOptions({}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  RunOutcome outcome = StudyTheCourse(site);

  EXPECT_EQ(site.CompletedChapterCount(), kChapters);
  for (int chapter = 1; chapter <= kChapters; ++chapter) EXPECT_TRUE(site.ChapterDone(1, chapter));
  // The captured login went through the portal with the edits' values.
  ASSERT_FALSE(site.Logins().empty());
  EXPECT_EQ(site.Logins().back().outcome, "ok");
  EXPECT_EQ(site.Logins().back().userName, "Student01");
  // Each completion opened the page's pop-up, and the page's own script closed it.
  EXPECT_GE(site.PopupsClosed(), kChapters);
  EXPECT_EQ(std::count(outcome.messages.begin(), outcome.messages.end(), kEndMessage), 1);
  // The end is said without an icon, as it was asked for.
  EXPECT_TRUE(outcome.iconsOfTheLast.empty());
  EXPECT_TRUE(outcome.timersStoppedAtTheEnd);

  // The journal: every completed chapter once, in order, by the address the list gives it.
  ASSERT_FALSE(outcome.journal.empty());
  // In the student's language, addresses and progress as the page gave them.
  EXPECT_EQ(outcome.journal.front(), "程序启动，版本 3.1");
  EXPECT_EQ(outcome.journal.back(), "程序结束");
  EXPECT_EQ(std::count_if(outcome.journal.begin(), outcome.journal.end(),
                          [](const std::string& line) {
                            return line.starts_with("完成章节：/stu/book_right.aspx?id=1-00") &&
                                   line.find("（进度 ") != std::string::npos;
                          }),
            kChapters);
  EXPECT_EQ(Events(outcome, "login captured: "), std::vector<std::string>{"account Student01"});
  std::vector<std::string> completed;
  for (const std::string& event : Events(outcome, "chapter completed: "))
    completed.push_back(event.substr(0, event.find(" (progress ")));
  EXPECT_EQ(completed, (std::vector<std::string>{"/stu/book_right.aspx?id=1-001",
                                                 "/stu/book_right.aspx?id=1-002",
                                                 "/stu/book_right.aspx?id=1-003"}));
  EXPECT_EQ(Events(outcome, "run ended: "), std::vector<std::string>{kEndMessage});

  // The diagnostics tell what each kind of tick decided; neither record holds the password.
  for (const char* decision : {"tick 3000: scanned 3 unfinished chapters, opening the first",
                               "tick 45000: chapter complete", "tick 100: closed the pop-up",
                               "tick 5000: scanned 2 unfinished chapters, opening the first",
                               "tick 5000: no unfinished chapter left, ended"})
    EXPECT_TRUE(Diagnosed(outcome, decision)) << decision;
  // The test's session bus has no session manager and no system bus has logind: the run went on
  // without them, each said once.
  auto said = [&](std::initializer_list<const char*> prefixes) {
    return std::count_if(outcome.diagnostics.begin(), outcome.diagnostics.end(), [&](auto& m) {
      return std::any_of(prefixes.begin(), prefixes.end(),
                         [&](const char* p) { return m.starts_with(p); });
    });
  };
  EXPECT_EQ(said({"no session manager to ask"}), 1);
  EXPECT_EQ(said({"no system bus to ask logind", "logind gave no sleep lock"}), 1);
  outcome.diagnostics.insert(outcome.diagnostics.end(), outcome.journal.begin(),
                             outcome.journal.end());
  for (const std::string& record : outcome.diagnostics)
    EXPECT_EQ(record.find("pass123"), std::string::npos) << record;
}

TEST(StudyRun, AStalledChapterRecoversThroughTheReload) {
  // The reloaded chapter page opens its content frame on a placeholder, not on the chapter that
  // stood still: the run goes back to the list and opens that chapter again.
  PracticeSite site(
      SiteOptions({"--stall-chapter", "2", "--stall-after", "20", "--content-placeholder"}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  RunOutcome outcome = StudyTheCourse(site);

  EXPECT_GE(site.Stalls(), 1);
  ExpectEveryChapterOnce(site);
  EXPECT_GE(site.Openings(1, 2), 2);
  EXPECT_FALSE(Events(outcome, "stalled page refreshed: ").empty());
  EXPECT_EQ(Events(outcome, "chapter completed: ").size(), static_cast<std::size_t>(kChapters));
  ExpectOneEnd(outcome);
}

TEST(StudyRun, ASlowStudyPlatformHasEveryChapterCompletedOnce) {
  // Every page of the platform answers 0.8 s late. The chapter list is still reloading when the
  // next-chapter tick comes at this scale, and the completion control's synchronous request keeps
  // the click waiting longer than the bridge waits for a page that has stopped answering.
  PracticeSite site(SiteOptions({"--slow", "800"}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  RunOutcome outcome = StudyTheCourse(site);

  ExpectEveryChapterOnce(site);
  // The chapter page shows the first chapter by itself before the program opens it.
  for (int chapter = 1; chapter <= kChapters; ++chapter)
    EXPECT_EQ(site.Openings(1, chapter), chapter == 1 ? 2 : 1) << "chapter " << chapter;
  EXPECT_EQ(Events(outcome, "chapter completed: ").size(), static_cast<std::size_t>(kChapters));
  EXPECT_EQ(std::count(outcome.messages.begin(), outcome.messages.end(), kEndMessage), 1);
  EXPECT_TRUE(outcome.timersStoppedAtTheEnd);
}

TEST(StudyRun, TheWindowAnswersWhileAChapterHangsAndTheHungPageIsBroughtBack) {
  // Chapter 2's script spins for good 20 study seconds (2/3 s) into its first opening; the page
  // loaded again opens its content frame on a placeholder.
  PracticeSite site(
      SiteOptions({"--hang-chapter", "2", "--hang-after", "20", "--content-placeholder"}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  bool answeredWhileHung = false;
  std::vector<unsigned> timersAfterRecovery;
  RunOutcome outcome = StudyTheCourse(site, [&](Program& program, const MessageBoxAnswerer& boxes) {
    ASSERT_TRUE(PumpUntil([&] { return site.Hangs() == 1; }, 30000));
    // Let the cycle run into the page that no longer answers.
    PumpFor(1500);
    // Clicks that arrive from the main loop, as the user's do, with the page still hung.
    auto clickFromTheLoop = [&](int id) {
      g_idle_add(
          [](gpointer button) -> gboolean {
            gtk_button_clicked(GTK_BUTTON(button));
            return G_SOURCE_REMOVE;
          },
          program.Control(id));
    };
    clickFromTheLoop(IDC_AUTO_STUDY);
    ASSERT_TRUE(PumpUntil([&] { return !boxes.Texts().empty(); }, 10000));
    EXPECT_EQ(boxes.Texts().back(), "自动学习已启动。");
    WindowHandler usage([](GtkWindow* w) { return ViewOf(w).title == "使用说明"; },
                        [](GtkWindow* w) { gtk_window_close(w); });
    clickFromTheLoop(IDC_USAGE);
    EXPECT_TRUE(PumpUntil([&] { return usage.Handled() == 1; }, 10000));
    EXPECT_TRUE(program.Resize(900, 700));
    answeredWhileHung = site.Openings(1, 2) == 1;

    // Brought back: the page loaded again, and chapter 2 opened again from the list.
    ASSERT_TRUE(PumpUntil([&] { return site.Openings(1, 2) == 2; }, 30000));
    ASSERT_TRUE(program.WaitForPage(PracticeSite::ChapterPageUrl(1)));
    timersAfterRecovery = program.RunningTimers();
  });

  EXPECT_TRUE(answeredWhileHung) << "the click was answered only after the page was reloaded";
  EXPECT_TRUE(IsRunningCycleState(timersAfterRecovery));
  EXPECT_EQ(site.Hangs(), 1);
  EXPECT_EQ(Events(outcome, "page recovered: "),
            std::vector<std::string>{PracticeSite::ChapterPageUrl(1) + " (it stopped answering)"});
  ExpectEveryChapterOnce(site);
  EXPECT_EQ(std::count(outcome.messages.begin(), outcome.messages.end(), kEndMessage), 1);
  EXPECT_TRUE(outcome.timersStoppedAtTheEnd);
}

TEST(StudyRun, ARunGoesOnThroughTheLossOfEitherOfTheBrowsersProcesses) {
  // The platform's session is its HttpOnly cookie alone, and lives in WebKit's network process.
  PracticeSite site(SiteOptions({"--content-placeholder", "--cookie-session"}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  std::vector<unsigned> timersAfterRecovery;
  RunOutcome outcome = StudyTheCourse(site, [&](Program& program, const MessageBoxAnswerer&) {
    // The network process goes in the middle of chapter 2, and its cookies with it: the
    // heartbeats that follow, the completion and every load after need the session back.
    ASSERT_TRUE(PumpUntil(
        [&] { return site.CurrentChapter(1) == 2 && site.LearnedSeconds(1, 2) >= 10; }, 30000));
    ASSERT_GE(KillNetworkProcesses(), 1);
    // Then the page's process.
    ASSERT_TRUE(PumpUntil(
        [&] { return site.CurrentChapter(1) == 2 && site.LearnedSeconds(1, 2) >= 20; }, 30000));
    ASSERT_GE(KillWebProcesses(), 1);
    ASSERT_TRUE(PumpUntil([&] { return site.Openings(1, 2) == 2; }, 30000));
    ASSERT_TRUE(program.WaitForPage(PracticeSite::ChapterPageUrl(1)));
    timersAfterRecovery = program.RunningTimers();
    // The page loaded again was the program's; the next load of that address is the page's
    // own, and is announced like any navigation: it arms the run once more.
    bool announced = false;
    WatchDiagnostics([&](const std::string& message) {
      announced = announced || message.starts_with("navigation to " + program.BrowserUri());
    });
    struct Unwatch {
      ~Unwatch() { WatchDiagnostics(nullptr); }
    } unwatch;
    ASSERT_TRUE(program.EvaluateInPage("location.href = location.href; 1"));
    EXPECT_TRUE(PumpUntil([&] { return announced; }, 10000));
  });

  EXPECT_TRUE(IsRunningCycleState(timersAfterRecovery))
      << ::testing::PrintToString(timersAfterRecovery);
  EXPECT_EQ(Events(outcome, "page recovered: "),
            std::vector<std::string>{PracticeSite::ChapterPageUrl(1) + " (its web process ended)"});
  EXPECT_EQ(Events(outcome, "study run armed: "),
            std::vector<std::string>(2, PracticeSite::ChapterPageUrl(1)));
  EXPECT_EQ(Events(outcome, "the browser's network process was replaced: ").size(), 1u);
  EXPECT_EQ(site.RefusedWithoutTheSession(), std::vector<std::string>{})
      << "a request went without the session";
  ExpectEveryChapterOnce(site);
  EXPECT_EQ(std::count(outcome.messages.begin(), outcome.messages.end(), kEndMessage), 1);
  EXPECT_TRUE(outcome.timersStoppedAtTheEnd);
}

TEST(StudyRun, ANavigationStartedWhileATickWaitsIsAnnouncedAfterTheTick) {
  PracticeSite site(SiteOptions({}));
  ASSERT_TRUE(site.Ready()) << site.Error();
  const std::string awayPage = PracticeSite::ChapterPageUrl(1) + "&again=1";

  std::vector<std::string> order;
  std::string leftPage, shownWhenAnnounced;
  std::vector<unsigned> timersWhenAnnounced, timersAfter;
  RunOutcome outcome = StudyTheCourse(site, [&](Program& program, const MessageBoxAnswerer&) {
    leftPage = program.BrowserUri();
    struct Unwatch {
      ~Unwatch() { WatchDiagnostics(nullptr); }
    } unwatch;
    bool started = false;
    WatchDiagnostics([&](const std::string& message) {
      // The progress check that finds chapter 1 complete, between two of its calls: the page
      // follows a link to a study page by itself and stays busy, so the next call waits while
      // the navigation is asked for.
      const std::string progress = "progress ", against = " against required ";
      if (!started && message.starts_with(progress) && message.find(against) != std::string::npos &&
          message.substr(progress.size(), message.find(against) - progress.size()) >=
              message.substr(message.find(against) + against.size())) {
        started = true;
        const std::string script = "const a = document.createElement('a'); a.href = '" + awayPage +
                                   "'; document.documentElement.appendChild(a); a.click();"
                                   "for (const t = Date.now(); Date.now() - t < 200;) {}";
        webkit_web_view_evaluate_javascript(program.Browser(), script.c_str(), -1, nullptr, nullptr,
                                            nullptr, nullptr, nullptr);
      } else if (message.starts_with("tick 45000: chapter complete")) {
        order.push_back("tick");
      } else if (message.starts_with("navigation to " + awayPage)) {
        order.push_back("navigation");
        shownWhenAnnounced = program.BrowserUri();
        timersWhenAnnounced = program.RunningTimers();
      }
    });
    ASSERT_TRUE(PumpUntil([&] { return order.size() >= 2; }, 30000));
    timersAfter = program.RunningTimers();
    ASSERT_TRUE(program.WaitForPage(awayPage));
  });

  ASSERT_FALSE(order.empty());
  EXPECT_EQ(order.front(), "tick") << "the navigation was announced inside the tick";
  EXPECT_EQ(shownWhenAnnounced, leftPage) << "the page being left was no longer current";
  // The tick had set its own timers, and the arming that followed left one of the cycle's states.
  EXPECT_TRUE(
      std::count(timersWhenAnnounced.begin(), timersWhenAnnounced.end(), TIMER_NEXT_CHAPTER) == 1 &&
      IsRunningCycleState(timersWhenAnnounced))
      << ::testing::PrintToString(timersWhenAnnounced);
  EXPECT_TRUE(IsRunningCycleState(timersAfter)) << ::testing::PrintToString(timersAfter);
  EXPECT_EQ(Events(outcome, "study run armed: " + awayPage).size(), 1u);
  ExpectEveryChapterOnce(site);
  EXPECT_EQ(std::count(outcome.messages.begin(), outcome.messages.end(), kEndMessage), 1);
  EXPECT_TRUE(outcome.timersStoppedAtTheEnd);
}

// ---- the study platform's own faults ----------------------------------------------------------

// One episode in the journal: the page failing once, and coming back once.
void ExpectOneFailureEpisode(const RunOutcome& outcome, const std::string& why) {
  const std::vector<std::string> failed = Events(outcome, "page failed to load: ");
  ASSERT_EQ(failed.size(), 1u) << ::testing::PrintToString(outcome.journal);
  EXPECT_NE(failed[0].find(" (" + why), std::string::npos) << failed[0];
  const std::vector<std::string> back = Events(outcome, "page loaded again after ");
  ASSERT_EQ(back.size(), 1u);
  EXPECT_NE(back[0].find(" s: " + PracticeSite::ChapterPageUrl(1)), std::string::npos) << back[0];
}

TEST(StudyRun, AGatewaysErrorPagesAfterTheFirstCompletionAreWaitedOut) {
  // For 5 s from chapter 1's completion every page of the platform is a proxy's 502 page: the
  // chapter list reloads into one, at its own address, and the chapter page loaded again does
  // too, until the site is back. The page then opens on its placeholder.
  PracticeSite site(SiteOptions({"--outage", "502", "--outage-after-completions", "1",
                                 "--outage-seconds", "5", "--content-placeholder"}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  RunOutcome outcome = StudyTheCourse(site);

  EXPECT_TRUE(site.OutageEnded());
  EXPECT_GT(site.OutageRequests(), 0);
  ExpectEveryChapterOnce(site);
  ExpectOneFailureEpisode(outcome, "HTTP 502");
  ExpectOneEnd(outcome);
}

TEST(StudyRun, AWindowOfDroppedConnectionsIsWaitedOut) {
  PracticeSite site(SiteOptions(
      {"--outage", "drop", "--outage-after-completions", "1", "--outage-seconds", "5"}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  RunOutcome outcome = StudyTheCourse(site);

  EXPECT_TRUE(site.OutageEnded());
  EXPECT_GT(site.OutageRequests(), 0);
  ExpectEveryChapterOnce(site);
  ExpectOneFailureEpisode(outcome, "network error: ");
  ExpectOneEnd(outcome);
}

TEST(StudyRun, AChapterWhoseFirstLoadIsNeverAnsweredIsOpenedAgain) {
  PracticeSite site(SiteOptions(
      {"--never-loads-chapter", "2", "--never-loads-how", "silent", "--content-placeholder"}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  RunOutcome outcome = StudyTheCourse(site);

  EXPECT_EQ(site.NeverLoaded(), 1);
  ExpectEveryChapterOnce(site);
  ExpectOneFailureEpisode(outcome, "still loading after 8 s");
  ExpectOneEnd(outcome);
}

TEST(StudyRun, AChapterThatSpinsWhileItIsParsedIsEndedAndOpenedAgain) {
  PracticeSite site(SiteOptions({"--never-loads-chapter", "2", "--never-loads-how", "spin"}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  RunOutcome outcome = StudyTheCourse(site);

  EXPECT_EQ(site.NeverLoaded(), 1);
  EXPECT_GE(site.Openings(1, 2), 2);
  ExpectEveryChapterOnce(site);
  // Whichever comes first ends the page: its silence, or its load that does not end.
  EXPECT_EQ(
      Events(outcome, "page recovered: ").size() + Events(outcome, "page failed to load: ").size(),
      1u)
      << ::testing::PrintToString(outcome.journal);
  ExpectOneEnd(outcome);
}

TEST(StudyRun, EveryCourseOfTheListIsStudiedWhenTheStudentAsksAndTheStatusLineSaysSo) {
  // Three courses, the second finished already. For 5 s from the first completion every page of
  // the platform answers 200 with a maintenance notice: no frames, no list. Read as an empty list
  // it would end the run after chapter 1.
  // The list writes course 1's link through "..", course 2's with the host in capitals and
  // course 3's with a token new at every load: none of them is opened again once finished.
  PracticeSite site(
      SiteOptions({"--courses", "3", "--finished-courses", "2", "--outage", "maintenance",
                   "--outage-after-completions", "1", "--outage-seconds", "5",
                   "--content-placeholder", "--odd-course-links"}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  std::string studying, waiting, done;
  RunOutcome outcome = StudyTheCourse(
      site,
      [&](Program& program, const MessageBoxAnswerer&) {
        program.Click(IDC_STUDY_ALL_COURSES);
        auto statusStarting = [&](const std::string& start, std::string& seen) {
          return PumpUntil(
              [&] {
                seen = program.Text(IDC_RUN_STATUS);
                return seen.starts_with(start);
              },
              30000);
        };
        EXPECT_TRUE(statusStarting("正在学习第 ", studying)) << studying;
        EXPECT_TRUE(statusStarting("等待学习网站恢复，", waiting)) << waiting;
      },
      [&](Program& program) { done = program.Text(IDC_RUN_STATUS); });

  std::vector<std::pair<int, int>> inOrder;
  for (int course : {1, 3})
    for (int chapter = 1; chapter <= kChapters; ++chapter) inOrder.emplace_back(course, chapter);
  EXPECT_EQ(site.CompletedChapters(), inOrder);
  EXPECT_EQ(site.FinishRepeated(), 0);
  ExpectOneEnd(outcome);
  EXPECT_NE(studying.find("章，共 3 章"), std::string::npos) << studying;
  EXPECT_NE(waiting.find(" 秒后重试"), std::string::npos) << waiting;
  EXPECT_TRUE(done.starts_with("全部学完")) << done;
  EXPECT_TRUE(site.OutageEnded());
  EXPECT_GT(site.OutageRequests(), 0);
  ExpectOneFailureEpisode(outcome, "no chapter ");
  const auto opened = Events(outcome, "course opened: ");
  ASSERT_EQ(opened.size(), 2u) << ::testing::PrintToString(opened);
  EXPECT_EQ(opened[0], PracticeSite::ChapterPageUrl(2) + " (2 of 3)");
  EXPECT_TRUE(opened[1].starts_with(PracticeSite::ChapterPageUrl(3) + "&t=")) << opened[1];
  EXPECT_TRUE(opened[1].ends_with(" (3 of 3)")) << opened[1];
  const auto finished = Events(outcome, "course finished: ");
  ASSERT_EQ(finished.size(), 3u) << ::testing::PrintToString(finished);
  EXPECT_EQ(finished[0], PracticeSite::ChapterPageUrl(1) + " (3 chapters completed)");
  EXPECT_EQ(finished[1], PracticeSite::ChapterPageUrl(2) + " (0 chapters completed)");
  EXPECT_TRUE(finished[2].ends_with(" (3 chapters completed)")) << finished[2];
}

// Everyday quirks of real pages, in one run: chapter 1's first completion is refused (HTTP 500,
// the page says 提交失败), every content page holds a player frame of another host that fails,
// and chapter 2's completion opens a course evaluation with window.open.
TEST(StudyRun, ARefusedCompletionAFailingPlayerFrameAndAnEvaluationWindowKeepTheRunGoing) {
  PracticeSite site(
      SiteOptions({"--refuse-completion-once", "1", "--foreign-frame", "--evaluation-after", "2"}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  RunOutcome outcome = StudyTheCourse(site);

  ExpectEveryChapterOnce(site);
  ExpectOneEnd(outcome);
  EXPECT_EQ(site.StateValue()["completionsRefusedOnce"].Int(), 1);
  EXPECT_EQ(Events(outcome, "completion did not take: "),
            std::vector<std::string>{"/stu/book_right.aspx?id=1-001 (1 of 3), pressing again"});
  // The player frame is said once a page, and nothing of the page waits for it.
  EXPECT_FALSE(Events(outcome, "a frame that is not the study page's failed to load: ").empty());
  EXPECT_TRUE(Events(outcome, "page failed to load: ").empty())
      << ::testing::PrintToString(Events(outcome, "page failed to load: "));
  const auto evaluation = Events(outcome, "the site went to another page: ");
  ASSERT_EQ(evaluation.size(), 1u) << ::testing::PrintToString(outcome.journal);
  EXPECT_NE(evaluation[0].find("/stu/evaluate.aspx"), std::string::npos) << evaluation[0];
  EXPECT_TRUE(Events(outcome, "run left by the student: ").empty());
}

// ---- courseware videos -------------------------------------------------------------------------

// Video chapters in three forms (progressive MP4, WebM, MSE), whose page pauses the video when
// it is hidden or the window loses the focus, and counts study time only while it plays. The
// student turns the sound off; chapter 2's view is hidden and the focus goes elsewhere for a
// while. The page hears neither, plays on with the view muted, not the element, and every chapter
// is completed once.
TEST(StudyRun, VideoChaptersStudyOnHiddenAndMutedAndThePageNeverKnows) {
  PracticeSite site(
      SiteOptions({"--video-chapters", "mp4,webm,mse", "--video-pause-when", "both"}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  bool viewMuted = false;
  RunOutcome outcome = StudyTheCourse(site, [&](Program& program, const MessageBoxAnswerer&) {
    program.Click(IDC_MUTE);
    viewMuted = webkit_web_view_get_is_muted(program.Browser());
    gtk_window_present(program.MainWindow());
    ASSERT_TRUE(PumpUntil([&] { return site.CurrentChapter(1) == 2; }, 60000));
    GtkWidget* elsewhere = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_show(elsewhere);
    gtk_window_present(GTK_WINDOW(elsewhere));  // without a window manager: the focus goes there
    gtk_widget_hide(GTK_WIDGET(program.Browser()));
    PumpFor(1500);
    gtk_widget_show(GTK_WIDGET(program.Browser()));
    gtk_widget_destroy(elsewhere);
  });

  ExpectEveryChapterOnce(site);
  ExpectOneEnd(outcome);
  EXPECT_TRUE(viewMuted);
  for (int chapter = 1; chapter <= kChapters; ++chapter) {
    SCOPED_TRACE(chapter);
    const PracticeMedia media = site.Media(1, chapter);
    EXPECT_TRUE(media.video);
    EXPECT_GT(media.played, 0);
    EXPECT_FALSE(media.muted) << "the element was muted, not the view";
    EXPECT_EQ(media.hiddenEvents, 0);
    EXPECT_EQ(media.blurEvents, 0);
    EXPECT_EQ(media.error, 0);
  }
  EXPECT_TRUE(Events(outcome, "video cannot play: ").empty());
}

// ---- the desktop around a run ----------------------------------------------------------------
// Stand-ins record what the program asks of the desktop: a session manager and a notification
// server on the test's own session bus, logind on a private system bus.

bool BlocksHeld(const DesktopServices& services, int count) {
  return services.SuspendInhibitionsHeld() == count && services.SleepLocksHeld() == count;
}

// One set of stand-ins serves the whole suite, as one desktop serves many runs: what a test
// checks is what its run added to the record.
class StudyRunOnADesktop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { desktop = std::make_unique<DesktopServices>(); }
  static void TearDownTestSuite() { desktop.reset(); }
  void SetUp() override { ASSERT_TRUE(desktop->ready()); }

  static std::unique_ptr<DesktopServices> desktop;
};
std::unique_ptr<DesktopServices> StudyRunOnADesktop::desktop;

TEST_F(StudyRunOnADesktop, TheMachineStaysAwakeThroughTheRunAndTheStudentIsToldOfItsEnd) {
  const DesktopServices& services = *desktop;
  const std::size_t inhibitionsBefore = services.Events("sm-inhibit").size();
  const std::size_t locksBefore = services.Events("logind-inhibit").size();
  const std::size_t noticesBefore = services.Events("notify").size();
  // A site whose chapter page opens its content frame on a placeholder: the navigation below
  // starts the run over from the list.
  PracticeSite site(SiteOptions({"--content-placeholder"}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  RunOutcome outcome = StudyTheCourse(
      site,
      [&](Program& program, const MessageBoxAnswerer&) {
        // Armed on arriving at the chapter page.
        ASSERT_TRUE(services.WaitFor([](const auto& s) { return BlocksHeld(s, 1); }));
        // A navigation to the study page arms the run again, under the same blocks.
        ASSERT_TRUE(program.EvaluateInPage("location.href = location.href; 1"));
        ASSERT_TRUE(program.WaitForPage(PracticeSite::ChapterPageUrl(1)));
        PumpFor(500);
        EXPECT_EQ(services.Events("sm-inhibit").size(), inhibitionsBefore + 1);
        EXPECT_EQ(services.Events("logind-inhibit").size(), locksBefore + 1);
      },
      [&](Program&) {
        // The end of the run gives them back, with the program still running.
        EXPECT_TRUE(services.WaitFor([](const auto& s) { return BlocksHeld(s, 0); }));
      });

  ExpectEveryChapterOnce(site);
  ExpectOneEnd(outcome);
  auto inhibitions = services.Events("sm-inhibit");
  inhibitions.erase(inhibitions.begin(), inhibitions.begin() + inhibitionsBefore);
  ASSERT_EQ(inhibitions.size(), 1u);
  EXPECT_EQ(inhibitions[0].fields.at("flags"), "4") << "only suspending is held off, never idle";
  EXPECT_EQ(inhibitions[0].fields.at("app"), "org.larkwend.Larkwend");
  EXPECT_EQ(inhibitions[0].fields.at("reason"), "正在自动学习，学习结束前请勿休眠");
  auto locks = services.Events("logind-inhibit");
  locks.erase(locks.begin(), locks.begin() + locksBefore);
  ASSERT_EQ(locks.size(), 1u);
  EXPECT_EQ(locks[0].fields.at("what"), "sleep");
  EXPECT_EQ(locks[0].fields.at("mode"), "block");
  EXPECT_EQ(locks[0].fields.at("why"), inhibitions[0].fields.at("reason"));
  // Told once, and the window asked for attention while the end was shown.
  auto notices = services.Events("notify");
  notices.erase(notices.begin(), notices.begin() + noticesBefore);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].fields.at("summary"), "自动学习已结束");
  EXPECT_EQ(notices[0].fields.at("body"), kEndMessage);
  EXPECT_TRUE(outcome.urgentAtTheEnd);
}

TEST_F(StudyRunOnADesktop, ASignOutInTheFramesIsToldOnceAndTheRunGoesOnAfterALogin) {
  const DesktopServices& services = *desktop;
  // Once chapter 1 is completed the site ends the session until the student logs in again.
  struct Case {
    const char* how;
    std::vector<std::string> more;
    bool portalsPage;  // the login page shown is the portal's own: how often it was loaded counts
  };
  const Case cases[] = {
      // The login form at the list frame's own address, and in answer to every request of the
      // page's, its heartbeats too.
      {"list-form", {}, false},
      // The portal's login page in the frames, from the portal's host: the list frame reloaded
      // by the page and any chapter clicked are redirected there.
      {"portal-frames", {"--cookie-session"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    const std::size_t noticesBefore = services.Events("notify").size();
    std::vector<std::string> options = {"--sign-out-after-completions", "1", "--sign-out-how",
                                        c.how, "--content-placeholder"};
    options.insert(options.end(), c.more.begin(), c.more.end());
    PracticeSite site(SiteOptions(options));
    ASSERT_TRUE(site.Ready()) << site.Error();
    auto pausedNotices = [&] {
      auto notices = services.Events("notify");
      return std::count_if(notices.begin() + noticesBefore, notices.end(), [](const auto& n) {
        return n.fields.at("summary") == "自动学习已暂停";
      });
    };

    int loginPagesOfTheSignOut = -1;
    RunOutcome outcome = StudyTheCourse(site, [&](Program& program, const MessageBoxAnswerer&) {
      const int loginPagesBefore = site.LoginPagesShown();
      ASSERT_TRUE(PumpUntil([&] { return pausedNotices() == 1; }, 60000));
      EXPECT_TRUE(services.WaitFor([](const auto& s) { return BlocksHeld(s, 0); }))
          << "the machine kept awake for a run that waits for the student";
      EXPECT_EQ(site.CompletedChapterCount(), 1);
      // Long enough for a run that took the sign-out for a failed load to load the page again.
      PumpFor(3000);
      loginPagesOfTheSignOut = site.LoginPagesShown() - loginPagesBefore;
      // The student logs in again and opens the course: the run goes on from its list.
      ASSERT_TRUE(program.EvaluateInPage("location.href = '" + PracticeSite::PortalUrl("/login/") +
                                         "'; true"));
      std::string failure;
      ASSERT_TRUE(LogInAndOpenCourse(program, 1, &failure)) << failure;
    });

    ExpectEveryChapterOnce(site);
    ExpectOneEnd(outcome);
    EXPECT_EQ(pausedNotices(), 1);
    EXPECT_EQ(Events(outcome, "signed out by the site: ").size(), 1u);
    EXPECT_TRUE(Events(outcome, "page failed to load: ").empty())
        << "a sign-out was taken for a failed load";
    EXPECT_FALSE(std::any_of(outcome.diagnostics.begin(), outcome.diagnostics.end(),
                             [](const std::string& m) {
                               return m.starts_with("loading ") &&
                                      m.find(" again") != std::string::npos;
                             }))
        << "the signed-out page was loaded again";
    if (c.portalsPage) {
      EXPECT_GE(loginPagesOfTheSignOut, 1);
      EXPECT_LE(loginPagesOfTheSignOut, 3) << "the login page was loaded over and over";
    }
  }
}

// A clip this machine cannot play: said once in the journal with why, loaded again once, then
// the student is told and the machine may sleep. Nothing is retried while the student is away.
TEST_F(StudyRunOnADesktop, AVideoThatCannotPlayIsToldToTheStudentAndNotRetried) {
  const DesktopServices& services = *desktop;
  const std::size_t noticesBefore = services.Events("notify").size();
  PracticeSite site(SiteOptions({"--video-chapters", "broken"}));
  ASSERT_TRUE(site.Ready()) << site.Error();
  fixtures::ScopedWorkingDir state;
  DiagnosticsCapture diagnostics;
  const ProgramOptions options = ScaledProgram(state);
  std::string status;
  int openingsWhenTold = 0;
  RunProgram(options, [&](Program& program) {
    MessageBoxAnswerer boxes("提示", "确定");
    std::string failure;
    ASSERT_TRUE(LogInAndOpenCourse(program, 1, &failure)) << failure;
    ASSERT_TRUE(
        services.WaitFor([&](const auto& s) { return s.Events("notify").size() > noticesBefore; }));
    openingsWhenTold = site.Openings(1, 1);
    EXPECT_TRUE(services.WaitFor([](const auto& s) { return BlocksHeld(s, 0); }));
    PumpFor(3000);  // some dozens of the cycle's periods
    status = program.Text(IDC_RUN_STATUS);
  });

  auto notices = services.Events("notify");
  ASSERT_EQ(notices.size(), noticesBefore + 1);
  EXPECT_EQ(notices.back().fields.at("summary"), "自动学习已暂停");
  EXPECT_NE(notices.back().fields.at("body").find("视频"), std::string::npos);
  EXPECT_TRUE(status.starts_with("课程视频无法播放（视频格式不受支持）")) << status;
  EXPECT_EQ(site.Openings(1, 1), openingsWhenTold) << "retried while the student was away";
  EXPECT_EQ(site.Media(1, 1).error, 4);
  int lines = 0;
  for (const std::string& message : diagnostics.Messages())
    lines += message.starts_with("video cannot play: ") &&
             message.ends_with("/stu/book_right.aspx?id=1-001 (unsupported format)");
  EXPECT_EQ(lines, 1);
  EXPECT_EQ(site.CompletedChapterCount(), 0);
}

TEST_F(StudyRunOnADesktop, EndingTheProgramDuringARunGivesTheBlocksBack) {
  const DesktopServices& services = *desktop;
  const std::size_t noticesBefore = services.Events("notify").size();
  PracticeSite site(SiteOptions({}));
  ASSERT_TRUE(site.Ready()) << site.Error();
  fixtures::ScopedWorkingDir state;
  ProgramOptions options;
  options.timerScale = kTimerScale;
  options.stateHome = state.path();
  RunProgram(options, [&](Program& program) {
    MessageBoxAnswerer boxes("提示", "确定");
    std::string failure;
    ASSERT_TRUE(LogInAndOpenCourse(program, 1, &failure)) << failure;
    ASSERT_TRUE(services.WaitFor([](const auto& s) { return BlocksHeld(s, 1); }));
  });  // the harness closes the main window mid-run
  EXPECT_TRUE(services.WaitFor([](const auto& s) { return BlocksHeld(s, 0); }));
  EXPECT_EQ(services.Events("notify").size(), noticesBefore)
      << "a closed window is no end of the run to tell";
}

}  // namespace
}  // namespace larkwend::e2e
