// One whole study run on the real desktop against the practice site: the program starts, the
// student types the verification code and logs in with one click, opens the course list and a
// course's chapter page, and the program studies every chapter by itself. The completion alerts
// are clicked away by the program's own dismisser: nothing here touches them. Afterwards the study
// journal and the diagnostics (turned on as a maintainer would) tell the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>

#include "app/quillmoor_dlg.h"
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
      // A chapter asks for 60 study seconds, credited 30 to the real second: two seconds.
      "--chapter-seconds", "60", "--time-scale", "30"};
  options.insert(options.end(), extra.begin(), extra.end());
  return options;
}

struct RunOutcome {
  std::vector<std::string> messages;
  std::vector<std::string> iconsOfTheLast;
  bool timersStoppedAtTheEnd = false;
  std::vector<std::string> journal;  // its events, without the date and time
  std::vector<std::string> diagnostics;
};

// The journal's events that begin with `kind`, with the kind cut off.
std::vector<std::string> Events(const RunOutcome& outcome, const std::string& kind) {
  std::vector<std::string> found;
  for (const std::string& event : outcome.journal)
    if (event.rfind(kind, 0) == 0) found.push_back(event.substr(kind.size()));
  return found;
}

bool Diagnosed(const RunOutcome& outcome, const std::string& prefix) {
  return std::any_of(outcome.diagnostics.begin(), outcome.diagnostics.end(),
                     [&](const std::string& m) { return m.rfind(prefix, 0) == 0; });
}

// The window timers that run, as one of the cycle's states: waiting for the list, studying
// (with pop-up closing once a chapter was completed), completing, or idle.
bool IsCycleState(const std::vector<unsigned>& timers) {
  using T = std::vector<unsigned>;
  // Timer 100 stops itself after a while, so completing may also go on without it.
  for (const T& state :
       {T{}, T{TIMER_WAIT_FOR_LIST}, T{TIMER_CHECK_PROGRESS},
        T{TIMER_POPUP_CLOSE, TIMER_CHECK_PROGRESS}, T{TIMER_NEXT_CHAPTER, TIMER_CHECK_PROGRESS},
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

// What a test does to the program while it studies, once the chapter page is open; `boxes`
// answers the program's message boxes.
using Meddle = std::function<void(Program&, const MessageBoxAnswerer& boxes)>;

// The waits on a page that goes wrong at the timers' pace, but for the hung page's: a page is
// given 4 s, time enough for a test to click the window's buttons while it does not answer.
PageRecoveryTimings ScaledRecovery() {
  using std::chrono::milliseconds;
  return {milliseconds(4000), milliseconds(int(60000 * kTimerScale)),
          milliseconds(int(5000 * kTimerScale)), milliseconds(int(60000 * kTimerScale))};
}

RunOutcome StudyTheCourse(PracticeSite& site, const Meddle& meddle = {}) {
  RunOutcome outcome;
  fixtures::ScopedWorkingDir state;
  DiagnosticsCapture diagnostics;
  ProgramOptions options;
  options.timerScale = kTimerScale;
  options.recovery = ScaledRecovery();
  options.stateHome = state.path();
  // The update service answers "301|...": nothing newer, start-up goes on.
  RunProgram(options, [&](Program& program) {
    MessageBoxAnswerer boxes("提示", "确定");
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
    EXPECT_TRUE(ended) << "the run did not end; chapters completed: "
                       << site.CompletedChapterCount();
    // Give any timer still running a few of its periods to show itself.
    PumpFor(3000);
    outcome.messages = boxes.Texts();
    if (!boxes.Seen().empty()) outcome.iconsOfTheLast = boxes.Seen().back().icons;
    outcome.timersStoppedAtTheEnd = program.RunningTimers().empty();
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
  EXPECT_EQ(outcome.journal.front(), "program started, version 3.1");
  EXPECT_EQ(outcome.journal.back(), "program ended");
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
  outcome.diagnostics.insert(outcome.diagnostics.end(), outcome.journal.begin(),
                             outcome.journal.end());
  for (const std::string& record : outcome.diagnostics)
    EXPECT_EQ(record.find("pass123"), std::string::npos) << record;
}

TEST(StudyRun, AStalledChapterRecoversThroughTheReload) {
  PracticeSite site(SiteOptions({"--stall-chapter", "2", "--stall-after", "20"}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  RunOutcome outcome = StudyTheCourse(site);

  EXPECT_GE(site.Stalls(), 1);
  EXPECT_EQ(site.CompletedChapterCount(), kChapters);
  EXPECT_FALSE(Events(outcome, "stalled page refreshed: ").empty());
  EXPECT_EQ(Events(outcome, "chapter completed: ").size(), static_cast<std::size_t>(kChapters));
  EXPECT_EQ(std::count(outcome.messages.begin(), outcome.messages.end(), kEndMessage), 1);
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
  // Chapter 2's script spins for good 20 study seconds (2/3 s) into its first opening.
  PracticeSite site(SiteOptions({"--hang-chapter", "2", "--hang-after", "20"}));
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

    // Brought back: chapter 2 opened again, by the control's own reload.
    ASSERT_TRUE(PumpUntil([&] { return site.Openings(1, 2) == 2; }, 30000));
    ASSERT_TRUE(program.WaitForPage(PracticeSite::ChapterPageUrl(1)));
    timersAfterRecovery = program.RunningTimers();
  });

  EXPECT_TRUE(answeredWhileHung) << "the click was answered only after the page was reloaded";
  EXPECT_TRUE(IsCycleState(timersAfterRecovery));
  EXPECT_EQ(site.Hangs(), 1);
  EXPECT_EQ(Events(outcome, "page recovered: "),
            std::vector<std::string>{PracticeSite::ChapterPageUrl(1) + " (it stopped answering)"});
  ExpectEveryChapterOnce(site);
  EXPECT_EQ(std::count(outcome.messages.begin(), outcome.messages.end(), kEndMessage), 1);
  EXPECT_TRUE(outcome.timersStoppedAtTheEnd);
}

TEST(StudyRun, ARunWhoseWebProcessIsKilledGoesOn) {
  PracticeSite site(SiteOptions({}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  std::vector<unsigned> timersAfterRecovery;
  RunOutcome outcome = StudyTheCourse(site, [&](Program& program, const MessageBoxAnswerer&) {
    ASSERT_TRUE(PumpUntil(
        [&] { return site.CurrentChapter(1) == 2 && site.LearnedSeconds(1, 2) >= 20; }, 30000));
    ASSERT_GE(KillWebProcesses(), 1);
    ASSERT_TRUE(PumpUntil([&] { return site.Openings(1, 2) == 2; }, 30000));
    ASSERT_TRUE(program.WaitForPage(PracticeSite::ChapterPageUrl(1)));
    timersAfterRecovery = program.RunningTimers();
  });

  EXPECT_TRUE(IsCycleState(timersAfterRecovery));
  EXPECT_EQ(Events(outcome, "page recovered: "),
            std::vector<std::string>{PracticeSite::ChapterPageUrl(1) + " (its web process ended)"});
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
      IsCycleState(timersWhenAnnounced))
      << ::testing::PrintToString(timersWhenAnnounced);
  EXPECT_TRUE(IsCycleState(timersAfter)) << ::testing::PrintToString(timersAfter);
  EXPECT_EQ(
      std::count(outcome.journal.begin(), outcome.journal.end(), "study run armed: " + awayPage),
      1);
  ExpectEveryChapterOnce(site);
  EXPECT_EQ(std::count(outcome.messages.begin(), outcome.messages.end(), kEndMessage), 1);
  EXPECT_TRUE(outcome.timersStoppedAtTheEnd);
}

}  // namespace
}  // namespace larkwend::e2e
