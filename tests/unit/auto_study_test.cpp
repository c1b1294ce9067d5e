// The auto-study cycle on the in-memory platform: every transition of its timers, the chapter
// opening, the pop-up closing, the end of the run, the auto-study button and the alert dismisser.
//
// The last progress text of the completion check lives for the whole process, so every progress
// text used here is made unique.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "automation/alert_dismisser.h"
#include "chapter_scanner_fixture.h"
#include "record_capture.h"
#include "resources/texts.h"

namespace larkwend::scanner_test {
namespace {

using namespace std::chrono_literals;

// The dismisser thread is started once per process and keeps the desktop it was given, so every
// window of this file shares one desktop that outlives all tests.
fake::DesktopWindows& ProcessDesktop() {
  static fake::DesktopWindows desktop;
  return desktop;
}

std::string UniqueProgress(bool reached) {
  static int n = 0;
  return (reached ? "00:02:00#" : "00:00:10#") + std::to_string(++n);
}

constexpr unsigned kAllTimers[] = {TIMER_POPUP_CLOSE, TIMER_WAIT_FOR_LIST, TIMER_NEXT_CHAPTER,
                                   TIMER_CHECK_PROGRESS};

// A course of chapters on a chapter page. Each chapter is a list entry with its link; opening a
// chapter shows it in the content frame, and pressing the completion control finishes it.
class Course {
 public:
  explicit Course(int chapters) : page_(MakeChapterPage(UniqueProgress(false), "00:01:00")) {
    for (int i = 1; i <= chapters; ++i) {
      std::string url = "right.aspx?c=7&ch=" + std::to_string(i);
      Chapter chapter{url, AddEntry(page_.list, "undone", url), page_.list->Anchor(url, "right")};
      chapter.link->onClick = [this, i] { opened.push_back(i); };
      chapters_.push_back(chapter);
    }
    page_.finish->onClick = [this] {
      if (!opened.empty())
        chapters_[static_cast<std::size_t>(opened.back() - 1)].entry->className = "done";
    };
  }

  const ChapterPage& page() const { return page_; }
  // The content frame shows a progress the check has not seen yet.
  void Progress(bool reached) { page_.progress->outerText = UniqueProgress(reached); }
  int finishClicks() const { return page_.finish->clicks; }

  std::vector<int> opened;

 private:
  struct Chapter {
    std::string url;
    fake::ElementPtr entry, link;
  };
  ChapterPage page_;
  std::vector<Chapter> chapters_;
};

class AutoStudy : public ::testing::Test {
 protected:
  AutoStudy() : window(dialogs.Open(dlg.dialogTemplate(), dlg)) {}

  void Capture(const std::string& account) {
    dlg.m_capturedAccount.fill('\0');
    account.copy(dlg.m_capturedAccount.data(), 23);
  }
  bool Running(unsigned id) const { return window.TimerRunning(id); }
  std::vector<unsigned> RunningTimers() const {
    std::vector<unsigned> ids;
    for (const auto& [id, period] : window.timers()) ids.push_back(id);
    return ids;
  }
  void Fire(unsigned id) { ASSERT_TRUE(window.FireTimer(id)) << "timer " << id << " not running"; }
  void StartStudying(Course& course) {
    window.browser().Load(course.page().top);
    Capture("student01");
    dlg.ArmAutoStudy();
    Fire(TIMER_WAIT_FOR_LIST);
  }
  std::vector<std::string> MessagesShown() const {
    std::vector<std::string> texts;
    for (const fake::ShownMessage& m : dialogs.messages) texts.push_back(m.text);
    return texts;
  }

  ScratchDirectory directory;
  fake::RecordCapture records;
  fake::Host host;
  fake::DialogSystem dialogs{host};
  fake::Shell shell;
  fake::FileAssociations associations;
  fake::Clock clock;
  fake::DesktopSession session;
  Platform platform{dialogs, shell, associations, ProcessDesktop(), clock, session};
  CQuillmoorDlg dlg{platform};
  fake::DialogWindow& window;
};

TEST_F(AutoStudy, ArmingWithAnAccountWaitsForTheList) {
  window.SetTimer(TIMER_CHECK_PROGRESS, TIMER_CHECK_PROGRESS);
  window.SetTimer(TIMER_NEXT_CHAPTER, TIMER_NEXT_CHAPTER);
  window.SetTimer(TIMER_POPUP_CLOSE, TIMER_POPUP_CLOSE);
  Capture("student01");
  dlg.ArmAutoStudy();
  EXPECT_EQ(RunningTimers(), std::vector<unsigned>{TIMER_WAIT_FOR_LIST});
  EXPECT_EQ(window.timers().at(TIMER_WAIT_FOR_LIST), 3000u);
}

TEST_F(AutoStudy, ArmingWithoutAnAccountOnlyStops) {
  window.SetTimer(TIMER_CHECK_PROGRESS, TIMER_CHECK_PROGRESS);
  window.SetTimer(TIMER_POPUP_CLOSE, TIMER_POPUP_CLOSE);
  dlg.ArmAutoStudy();
  EXPECT_TRUE(RunningTimers().empty());

  // A list wait already under way is left alone.
  window.SetTimer(TIMER_WAIT_FOR_LIST, TIMER_WAIT_FOR_LIST);
  window.SetTimer(TIMER_NEXT_CHAPTER, TIMER_NEXT_CHAPTER);
  dlg.ArmAutoStudy();
  EXPECT_EQ(RunningTimers(), std::vector<unsigned>{TIMER_WAIT_FOR_LIST});
}

TEST_F(AutoStudy, AStudyPageNavigationArmsOnlyAfterACapture) {
  bool cancel = false;
  const std::string chapterPage = "http://learn.qmstudy.localhost:18080/stu/Study_v2.aspx?c=7";
  dlg.OnBeforeNavigate2(nullptr, chapterPage, cancel);
  EXPECT_FALSE(Running(TIMER_WAIT_FOR_LIST));
  Capture("student01");
  dlg.OnBeforeNavigate2(nullptr, chapterPage, cancel);
  EXPECT_TRUE(Running(TIMER_WAIT_FOR_LIST));
  EXPECT_FALSE(cancel);
}

TEST_F(AutoStudy, WaitingForTheListOpensTheFirstUnfinishedChapter) {
  Course course(3);
  window.browser().Load(course.page().top);
  Capture("student01");
  dlg.ArmAutoStudy();

  // An empty list keeps waiting, without a word.
  auto empty = MakeChapterPage(UniqueProgress(false), "00:01:00");
  window.browser().Load(empty.top);
  Fire(TIMER_WAIT_FOR_LIST);
  EXPECT_EQ(RunningTimers(), std::vector<unsigned>{TIMER_WAIT_FOR_LIST});
  EXPECT_TRUE(dialogs.messages.empty());

  window.browser().Load(course.page().top);
  Fire(TIMER_WAIT_FOR_LIST);
  EXPECT_EQ(course.opened, std::vector<int>{1});
  EXPECT_EQ(RunningTimers(), std::vector<unsigned>{TIMER_CHECK_PROGRESS});
  EXPECT_EQ(window.timers().at(TIMER_CHECK_PROGRESS), 45000u);
}

TEST_F(AutoStudy, AWholeCourseIsStudiedToTheEnd) {
  Course course(2);
  StartStudying(course);
  ASSERT_EQ(course.opened, std::vector<int>{1});

  course.Progress(false);
  Fire(TIMER_CHECK_PROGRESS);  // not yet
  EXPECT_EQ(course.finishClicks(), 0);
  EXPECT_EQ(RunningTimers(), std::vector<unsigned>{TIMER_CHECK_PROGRESS});

  course.Progress(true);
  Fire(TIMER_CHECK_PROGRESS);
  EXPECT_EQ(course.finishClicks(), 1);
  EXPECT_EQ(RunningTimers(),
            (std::vector<unsigned>{TIMER_POPUP_CLOSE, TIMER_NEXT_CHAPTER, TIMER_CHECK_PROGRESS}));

  Fire(TIMER_POPUP_CLOSE);
  EXPECT_EQ(course.page().content->scriptsRun, std::vector<std::string>{"$.Msg.tb_remove();"});

  Fire(TIMER_NEXT_CHAPTER);  // acts once, and moves on
  EXPECT_EQ(course.opened, (std::vector<int>{1, 2}));
  EXPECT_FALSE(Running(TIMER_NEXT_CHAPTER));
  EXPECT_TRUE(Running(TIMER_CHECK_PROGRESS));
  EXPECT_TRUE(Running(TIMER_POPUP_CLOSE));

  course.Progress(true);
  Fire(TIMER_CHECK_PROGRESS);
  Fire(TIMER_NEXT_CHAPTER);
  EXPECT_TRUE(RunningTimers().empty());
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, Gbk(texts::kNoUnfinishedChapter));
  EXPECT_EQ(dialogs.messages[0].caption, Gbk(site::MessageCaption));
  EXPECT_EQ(dialogs.messages[0].type, MB_OK);  // no icon
  EXPECT_TRUE(dialogs.messages[0].owned);
  // The desktop kept the machine awake for the whole run, once, and lets it sleep now; the
  // student is told once, and the window asks to be looked at before its box shows.
  EXPECT_EQ(session.blocksTaken, 1);
  EXPECT_EQ(session.blocksHeld, 0);
  EXPECT_EQ(session.lastReason, Gbk(texts::kKeepAwakeReason));
  ASSERT_EQ(session.notices.size(), 1u);
  EXPECT_EQ(session.notices[0].id, "run-ended");
  EXPECT_EQ(session.notices[0].body, Gbk(texts::kNoUnfinishedChapter));
  EXPECT_EQ(std::count(window.journal().begin(), window.journal().end(), "RequestAttention"), 1);

  // A completion is journalled with what the page showed; a check below the level says so.
  EXPECT_EQ(
      records.events().at(1).rfind("chapter completed: right.aspx?c=7&ch=1 (progress 00:02:00#", 0),
      0u);
  EXPECT_TRUE(records.Diagnosed("tick 45000: below the required level"));

  // A further study page navigation starts the cycle again, awake again; the window's end lets
  // the machine sleep.
  dlg.ArmAutoStudy();
  EXPECT_EQ(RunningTimers(), std::vector<unsigned>{TIMER_WAIT_FOR_LIST});
  EXPECT_EQ(session.blocksHeld, 1);
  dlg.AttachWindow(nullptr);
  EXPECT_EQ(session.blocksHeld, 0);
  dlg.AttachWindow(&window);
  EXPECT_EQ(host.LiveReferences(), (dlg.m_leftFrameDoc ? 1 : 0) + (dlg.m_rightFrameDoc ? 1 : 0));
}

TEST_F(AutoStudy, UndecidedChecksAndReArmingDuringARun) {
  Course course(2);
  StartStudying(course);
  // The progress did not move since the last check: the page is reloaded, the check repeats.
  int refreshes = window.browser().refreshes();
  Fire(TIMER_CHECK_PROGRESS);
  course.page().progress->outerText = course.page().progress->outerText;
  Fire(TIMER_CHECK_PROGRESS);
  EXPECT_GT(window.browser().refreshes(), refreshes);
  EXPECT_EQ(records.events().back(),
            "stalled page refreshed: progress still " + *course.page().progress->outerText);
  // The reloaded page need not show that chapter again: the run starts over from the list, and
  // the stalled chapter, still unfinished, is opened again.
  EXPECT_EQ(RunningTimers(), std::vector<unsigned>{TIMER_WAIT_FOR_LIST});
  Fire(TIMER_WAIT_FOR_LIST);
  EXPECT_EQ(course.opened, (std::vector<int>{1, 1}));

  course.Progress(true);
  Fire(TIMER_CHECK_PROGRESS);
  dlg.ArmAutoStudy();  // a navigation to a study page mid-run
  EXPECT_EQ(RunningTimers(), std::vector<unsigned>{TIMER_WAIT_FOR_LIST});
}

TEST_F(AutoStudy, TicksWhileLoadingAreDroppedAndTheTimersRunOn) {
  Course course(2);
  StartStudying(course);
  course.Progress(true);
  Fire(TIMER_CHECK_PROGRESS);
  const auto before = window.timers();

  window.browser().SetReadyState(3);
  host.ClearLog();
  for (unsigned id : kAllTimers)
    if (Running(id)) Fire(id);
  EXPECT_EQ(window.timers(), before);
  for (const std::string& call : host.calls()) EXPECT_EQ(call, "Control.get_ReadyState");
  EXPECT_TRUE(records.Diagnosed("tick 5000: page loading, dropped"));

  window.browser().SetReadyState(READYSTATE_COMPLETE);
  Fire(TIMER_NEXT_CHAPTER);
  EXPECT_EQ(course.opened, (std::vector<int>{1, 2}));
}

// ---- a page that goes wrong under a run ------------------------------------------------------

class PageRecoveryTest : public AutoStudy {
 protected:
  BrowserEvents& engine() { return *window.browser().sink(); }
  void FailFrame(int status) { engine().LoadFailed({kListUrl, false, status, {}}); }
  void LoadsAgain() {
    engine().LoadStarted(kChapterPageUrl, true);
    engine().LoadFinished(kChapterPageUrl, true);
  }
  std::vector<std::string> Events(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& event : records.events())
      if (event.rfind(prefix, 0) == 0) found.push_back(event);
    return found;
  }
  static std::vector<std::chrono::milliseconds> Ms(std::initializer_list<int> values) {
    std::vector<std::chrono::milliseconds> out;
    for (int v : values) out.emplace_back(v);
    return out;
  }
};

TEST_F(PageRecoveryTest, AFailedLoadIsNeverReadAndIsLoadedAgainWithAGrowingWait) {
  Course course(2);
  StartStudying(course);
  EXPECT_FALSE(window.browser().showsErrorPages()) << "a run handles its failed loads itself";
  course.Progress(true);
  Fire(TIMER_CHECK_PROGRESS);
  ASSERT_EQ(course.finishClicks(), 1);

  // The list frame reloads after the completion into a gateway's error page at its own address.
  FailFrame(502);
  Fire(TIMER_NEXT_CHAPTER);
  EXPECT_TRUE(dialogs.messages.empty()) << "an error page was read as an empty list";
  EXPECT_TRUE(records.Diagnosed("tick 5000: page failed to load, dropped"));
  EXPECT_EQ(course.opened, std::vector<int>{1});
  EXPECT_EQ(clock.Waiting(), Ms({5000, 600000}));  // the reload, and telling the student

  // 5 s, then twice the last wait up to a minute, for as long as the site fails.
  std::vector<std::chrono::milliseconds> waits;
  for (int attempt = 0; attempt < 6; ++attempt) {
    waits.push_back(clock.Waiting().at(0));
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
  EXPECT_EQ(waits, Ms({5000, 10000, 20000, 40000, 60000, 60000}));
  EXPECT_EQ(Events("page failed to load: "),
            std::vector<std::string>{"page failed to load: " + kListUrl + " (HTTP 502)"});
  EXPECT_TRUE(records.Diagnosed("page failed to load again: " + kChapterPageUrl +
                                " (network error: Connection terminated)"));

  // The site answers again: one line says so, and the next chapter is opened from the list.
  clock.Advance(clock.Waiting().at(0));
  LoadsAgain();
  EXPECT_EQ(Events("page loaded again after "),
            std::vector<std::string>{"page loaded again after 255 s: " + kChapterPageUrl});
  EXPECT_TRUE(clock.Waiting().empty());
  Fire(TIMER_WAIT_FOR_LIST);
  EXPECT_EQ(course.opened, (std::vector<int>{1, 2}));
  EXPECT_EQ(course.finishClicks(), 1) << "a completed chapter was pressed again";

  // The end of the run gives the engine its error pages back; a failure then is left as it is.
  course.Progress(true);
  Fire(TIMER_CHECK_PROGRESS);
  Fire(TIMER_NEXT_CHAPTER);
  ASSERT_EQ(MessagesShown(), std::vector<std::string>{Gbk(texts::kNoUnfinishedChapter)});
  EXPECT_TRUE(window.browser().showsErrorPages());
  FailFrame(503);
  EXPECT_TRUE(clock.Waiting().empty());
  EXPECT_EQ(Events("page failed to load: ").size(), 1u);
}

TEST_F(PageRecoveryTest, OutsideARunAFailedLoadIsLeftAsTheEngineShowsIt) {
  Course course(1);
  window.browser().Load(course.page().top);
  dlg.ArmAutoStudy();  // no login captured: nothing armed
  engine().LoadStarted(kChapterPageUrl, true);
  engine().LoadFailed({kChapterPageUrl, true, 502, {}});
  clock.Advance(std::chrono::minutes(5));
  EXPECT_TRUE(window.browser().loadsAgain().empty());
  EXPECT_TRUE(window.browser().showsErrorPages());
  EXPECT_TRUE(Events("page failed to load: ").empty());
}

TEST_F(PageRecoveryTest, ALoadThatNeverEndsIsStoppedAndHandledAsAFailure) {
  Course course(2);
  StartStudying(course);
  engine().LoadStarted(kContentUrl, false);
  clock.Advance(std::chrono::seconds(59));
  EXPECT_EQ(window.browser().stops(), 0);
  engine().LoadFinished(kContentUrl, false);  // in time
  clock.Advance(std::chrono::seconds(5));
  EXPECT_EQ(window.browser().stops(), 0);

  // Still loading a minute on, and the page answers once stopped: its process is kept.
  engine().LoadStarted(kContentUrl, false);
  clock.Advance(std::chrono::seconds(60));
  EXPECT_EQ(window.browser().stops(), 1);
  EXPECT_EQ(window.browser().processEnds(), 0);
  EXPECT_EQ(Events("page failed to load: "),
            std::vector<std::string>{"page failed to load: " + kContentUrl +
                                     " (still loading after 60 s)"});
  engine().LoadStopped(kContentUrl, false);  // what the stop itself causes is no new failure
  EXPECT_EQ(clock.Waiting(), Ms({5000, 600000}));
  clock.Advance(std::chrono::seconds(5));
  ASSERT_EQ(window.browser().loadsAgain(), std::vector<std::string>{kChapterPageUrl});

  // The page loaded again spins while it is parsed: stopping it does not make it answer.
  window.browser().SetAnswersAfterStop(false);
  engine().LoadStarted(kChapterPageUrl, true);
  clock.Advance(std::chrono::seconds(60));
  EXPECT_EQ(window.browser().processEnds(), 1);
  engine().PageProcessEnded(PageProcessEnd::kEndedByProgram);
  EXPECT_TRUE(Events("page recovered: ").empty()) << "the waiting reload brings it back";
  clock.Advance(clock.Waiting().at(0));
  EXPECT_EQ(window.browser().loadsAgain().size(), 2u);
  LoadsAgain();
  EXPECT_EQ(Events("page loaded again after ").size(), 1u);
  EXPECT_EQ(Events("page failed to load: ").size(), 1u) << "one episode, one line";
}

TEST_F(PageRecoveryTest, AHungPageIsEndedAndALostPageIsLoadedAgainAndStudiedFromTheList) {
  Course course(2);
  StartStudying(course);
  engine().AnsweringChanged(false);
  clock.Advance(std::chrono::seconds(20));
  engine().AnsweringChanged(true);  // busy, not hung
  clock.Advance(std::chrono::seconds(20));
  EXPECT_EQ(window.browser().processEnds(), 0);

  engine().AnsweringChanged(false);
  clock.Advance(std::chrono::seconds(25));
  EXPECT_EQ(window.browser().processEnds(), 1);
  window.SetTimer(TIMER_CHECK_PROGRESS, TIMER_CHECK_PROGRESS);
  engine().PageProcessEnded(PageProcessEnd::kEndedByProgram);
  EXPECT_EQ(window.browser().loadsAgain(), std::vector<std::string>{kChapterPageUrl});
  EXPECT_EQ(
      Events("page recovered: "),
      std::vector<std::string>{"page recovered: " + kChapterPageUrl + " (it stopped answering)"});
  EXPECT_EQ(RunningTimers(), std::vector<unsigned>{TIMER_WAIT_FOR_LIST});

  // Outside a run a crashed page is still brought back, and nothing is started.
  course.Progress(true);
  Fire(TIMER_WAIT_FOR_LIST);
  Fire(TIMER_CHECK_PROGRESS);
  Fire(TIMER_NEXT_CHAPTER);
  course.Progress(true);
  Fire(TIMER_CHECK_PROGRESS);
  Fire(TIMER_NEXT_CHAPTER);
  ASSERT_EQ(MessagesShown().size(), 1u);
  engine().PageProcessEnded(PageProcessEnd::kCrashed);
  EXPECT_EQ(window.browser().loadsAgain().size(), 2u);
  EXPECT_EQ(Events("page recovered: ").back(),
            "page recovered: " + kChapterPageUrl + " (its web process ended)");
  EXPECT_TRUE(RunningTimers().empty());
}

TEST_F(PageRecoveryTest, ARunSignedOutByTheSiteWaitsForTheStudent) {
  Course course(2);
  StartStudying(course);
  FailFrame(502);
  clock.Advance(std::chrono::seconds(5));
  const std::string login = std::string(site::PortalLoginUrl) + "?ReturnUrl=%2Fstu%2F";
  engine().LoadStarted(kChapterPageUrl, true);
  engine().LoadFinished(login, true);
  EXPECT_EQ(Events("signed out by the site: "),
            std::vector<std::string>{"signed out by the site: " + login});
  EXPECT_TRUE(clock.Waiting().empty()) << "a login page is not loaded again";
  EXPECT_EQ(window.browser().loadsAgain().size(), 1u);

  // The student going to the login page by themselves is no news.
  engine().LoadStarted(std::string(site::PortalLoginUrl), true);
  engine().LoadFinished(std::string(site::PortalLoginUrl), true);
  EXPECT_EQ(Events("signed out by the site: ").size(), 1u);
}

TEST_F(PageRecoveryTest, TheStudentIsToldWhenTheRunNeedsThemAndOnlyOnce) {
  Course course(2);
  StartStudying(course);
  auto failingFor = [&](std::chrono::seconds span) {
    for (auto left = std::chrono::milliseconds(span); left.count() > 0;) {
      const auto step = std::min(left, clock.Waiting().at(0));
      clock.Advance(step);
      left -= step;
      engine().LoadStarted(kChapterPageUrl, true);
      engine().LoadFailed({kChapterPageUrl, true, 502, {}});
    }
  };
  auto told = [&](const std::string& id) {
    return std::count_if(session.notices.begin(), session.notices.end(),
                         [&](const auto& notice) { return notice.id == id; });
  };

  // Ten minutes of failing tell once, however long it goes on; every reload re-arms the run
  // under the same block.
  FailFrame(502);
  failingFor(std::chrono::seconds(590));
  EXPECT_EQ(told("page-failing"), 0);
  failingFor(std::chrono::minutes(20));
  EXPECT_EQ(told("page-failing"), 1);
  EXPECT_GT(window.browser().loadsAgain().size(), 15u);
  EXPECT_EQ(session.blocksTaken, 1);
  EXPECT_EQ(session.blocksHeld, 1);

  // A new failure is a new episode; one that ends within the ten minutes says nothing.
  LoadsAgain();
  FailFrame(502);
  failingFor(std::chrono::minutes(11));
  EXPECT_EQ(told("page-failing"), 2);
  LoadsAgain();
  FailFrame(502);
  failingFor(std::chrono::minutes(9));
  LoadsAgain();
  clock.Advance(std::chrono::minutes(5));
  EXPECT_EQ(told("page-failing"), 2);

  // Signed out by the site: told at once, and the long-failure notice of that episode is off.
  FailFrame(502);
  const std::string login = std::string(site::PortalLoginUrl) + "?ReturnUrl=%2Fstu%2F";
  engine().LoadStarted(kChapterPageUrl, true);
  engine().LoadFinished(login, true);
  clock.Advance(std::chrono::minutes(15));
  EXPECT_EQ(told("signed-out"), 1);
  EXPECT_EQ(told("page-failing"), 2);
  for (const auto& notice : session.notices)
    EXPECT_EQ(notice.title.find("http") + notice.body.find("http"), 2 * std::string::npos)
        << "an address in a notification";
}

TEST_F(PageRecoveryTest, AStudentNavigationTakesThePlaceOfAWaitingReload) {
  Course course(2);
  StartStudying(course);
  FailFrame(502);
  ASSERT_EQ(clock.Waiting(), Ms({5000, 600000}));
  window.browser().LoadUrl("http://www.qmedu.localhost:18080/kvt/user/");
  EXPECT_TRUE(clock.Waiting().empty());
  clock.Advance(std::chrono::minutes(2));
  EXPECT_TRUE(window.browser().loadsAgain().empty());
}

TEST_F(PageRecoveryTest, OnlyAListThatWasReadEndsTheRun) {
  Course course(2);
  StartStudying(course);
  course.Progress(true);
  Fire(TIMER_CHECK_PROGRESS);
  const std::vector<std::string> listed = dlg.m_chapterUrls;

  // The list frame's page went busy half-way through the scan.
  host.Fail("Element.get_innerHTML");
  Fire(TIMER_NEXT_CHAPTER);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(dlg.m_chapterUrls, listed) << "an undecided scan emptied the list";
  EXPECT_TRUE(Running(TIMER_NEXT_CHAPTER)) << "the move is tried again 5 s later";
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

TEST_F(PageRecoveryTest, ACompletionClickAnsweredLateCountsAsPressed) {
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

TEST_F(AutoStudy, ACompletionWhileTheMoveIsPendingStartsItAgain) {
  Course course(3);
  StartStudying(course);
  course.Progress(true);
  Fire(TIMER_CHECK_PROGRESS);
  course.Progress(true);
  Fire(TIMER_CHECK_PROGRESS);  // 5000 still pending: restarted, still one move to come
  EXPECT_TRUE(Running(TIMER_NEXT_CHAPTER));
  Fire(TIMER_NEXT_CHAPTER);
  EXPECT_FALSE(Running(TIMER_NEXT_CHAPTER));
  EXPECT_EQ(course.opened, (std::vector<int>{1, 2}));
}

TEST_F(AutoStudy, PopupClosingStopsItselfAfterAHundredTicksPerCompletion) {
  Course course(3);
  StartStudying(course);
  course.Progress(true);
  Fire(TIMER_CHECK_PROGRESS);
  for (int i = 0; i < 50; ++i) Fire(TIMER_POPUP_CLOSE);
  course.Progress(true);
  Fire(TIMER_CHECK_PROGRESS);  // a new completion gives the closing its full count again
  for (int i = 0; i < 100; ++i) Fire(TIMER_POPUP_CLOSE);
  EXPECT_TRUE(Running(TIMER_POPUP_CLOSE));
  Fire(TIMER_POPUP_CLOSE);
  EXPECT_FALSE(Running(TIMER_POPUP_CLOSE));
  EXPECT_EQ(course.page().content->scriptsRun.size(), 151u);
}

TEST_F(AutoStudy, OpeningAChapterPicksTheFirstLinkCarryingItsAddress) {
  Course course(1);
  // A second link to the same chapter later in the list is never the one clicked.
  auto later = course.page().list->Anchor("right.aspx?c=7&ch=1", "right");
  window.browser().Load(course.page().top);
  ASSERT_EQ(dlg.ScanUnfinishedChapters(), 1);
  EXPECT_EQ(dlg.OpenFirstUnfinishedChapter(), 1);
  EXPECT_EQ(course.opened, std::vector<int>{1});
  EXPECT_EQ(later->clicks, 0);

  dlg.m_chapterUrls = {"right.aspx?c=7&ch=99"};
  EXPECT_EQ(dlg.OpenFirstUnfinishedChapter(), 0);
  dlg.m_chapterUrls.clear();
  EXPECT_EQ(dlg.OpenFirstUnfinishedChapter(), 0);
  EXPECT_EQ(host.LiveReferences(), 2);  // the two frame documents the window keeps
}

TEST_F(AutoStudy, PopupScriptFailsCleanlyWithoutThePageScript) {
  Course course(1);
  window.browser().Load(course.page().top);
  ASSERT_TRUE(dlg.FindChapterFrames());
  EXPECT_TRUE(dlg.RemovePagePopup(dlg.m_rightFrameDoc.get()));
  course.page().content->definesPopupScript = false;
  EXPECT_FALSE(dlg.RemovePagePopup(dlg.m_rightFrameDoc.get()));
  EXPECT_FALSE(dlg.RemovePagePopup(nullptr));
  host.Fail("Document.get_parentWindow");
  EXPECT_FALSE(dlg.RemovePagePopup(dlg.m_rightFrameDoc.get()));
  EXPECT_EQ(host.LiveReferences(), 2);
}

TEST_F(AutoStudy, TheButtonOnlySaysWhetherTheCycleCanRunHere) {
  window.browser().Load(fake::MakePage("http://learn.qmstudy.localhost:18080/stu/Study_v2.aspx"));
  dlg.OnAutoStudyButton();
  window.browser().Load(fake::MakePage("http://learn.qmstudy.localhost:18080/stu/study_v2.aspx"));
  dlg.OnAutoStudyButton();
  EXPECT_EQ(MessagesShown(), (std::vector<std::string>{Gbk(texts::kAutoStudyStarted),
                                                       Gbk(texts::kOpenBookStudyFirst)}));
  for (const fake::ShownMessage& m : dialogs.messages) {
    EXPECT_EQ(m.type, MB_ICONINFORMATION);
    EXPECT_EQ(m.caption, Gbk(site::MessageCaption));
  }
  EXPECT_TRUE(RunningTimers().empty());
}

// Waits (without asserting on time) until `done` holds or a generous limit passes.
template <typename Done>
bool WaitFor(Done done) {
  for (int i = 0; i < 500 && !done(); ++i) std::this_thread::sleep_for(10ms);
  return done();
}

TEST_F(AutoStudy, TheFirstCompleteTickStartsTheDismisser) {
  WindowId box = ProcessDesktop().AddWindow(Gbk(texts::kScriptMessageTitle),
                                            {Gbk("取消"), Gbk(texts::kScriptMessageOk)});
  window.SetTimer(TIMER_WAIT_FOR_LIST, TIMER_WAIT_FOR_LIST);
  Fire(TIMER_WAIT_FOR_LIST);
  WindowId ok = ProcessDesktop().FindChildWindow(box, Gbk(texts::kScriptMessageOk));
  auto clicksOnOk = [&] {
    auto clicks = ProcessDesktop().Clicks();
    return std::count(clicks.begin(), clicks.end(), ok);
  };
  EXPECT_TRUE(WaitFor([&] { return clicksOnOk() >= 2; }));
  ProcessDesktop().RemoveWindow(box);
}

TEST(AlertDismisser, LooksOnlyIntoTheFirstWindowWithTheTitle) {
  fake::DesktopWindows desktop;
  desktop.AddWindow(Gbk("来自网页"), {Gbk(texts::kScriptMessageOk)});  // another title
  desktop.AddWindow(Gbk(texts::kScriptMessageTitle), {Gbk("取消")});   // no OK button
  desktop.AddWindow(Gbk(texts::kScriptMessageTitle), {Gbk(texts::kScriptMessageOk)});
  std::atomic<bool> run{true};
  std::thread worker(AlertDismisserThread, std::ref(desktop), std::cref(run), 1ms);
  std::this_thread::sleep_for(50ms);  // dozens of passes
  run = false;
  worker.join();
  EXPECT_TRUE(desktop.Clicks().empty());
}

TEST(AlertDismisser, StopsWhenItsFlagIsCleared) {
  fake::DesktopWindows desktop;
  WindowId box = desktop.AddWindow(Gbk(texts::kScriptMessageTitle), {Gbk(texts::kScriptMessageOk)});
  WindowId ok = desktop.FindChildWindow(box, Gbk(texts::kScriptMessageOk));
  std::atomic<bool> run{true};
  std::thread worker(AlertDismisserThread, std::ref(desktop), std::cref(run), 1ms);
  ASSERT_TRUE(WaitFor([&] { return desktop.Clicks().size() >= 4; }));
  run = false;
  worker.join();
  auto clicks = desktop.Clicks();
  EXPECT_EQ(clicks.size() % 2, 0u);  // always two at a time
  for (WindowId id : clicks) EXPECT_EQ(id, ok);
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(desktop.Clicks().size(), clicks.size());
  std::atomic<bool> stopped{false};
  AlertDismisserThread(desktop, stopped, 1ms);  // a cleared flag: not a single pass
  EXPECT_EQ(desktop.Clicks().size(), clicks.size());
}

}  // namespace
}  // namespace larkwend::scanner_test
