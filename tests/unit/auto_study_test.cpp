// SPDX-License-Identifier: GPL-3.0-or-later
// The auto-study cycle on the in-memory platform: every transition of its timers, the chapter
// opening, the pop-up closing, the end of the run, the auto-study button and the alert dismisser.
// What the study run makes of a page that goes wrong is study_run_test.cpp's.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "auto_study_fixture.h"
#include "automation/alert_dismisser.h"

namespace larkwend::scanner_test {
namespace {

using namespace std::chrono_literals;

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

TEST_F(AutoStudy, WaitingForTheListOpensTheFirstUnfinishedChapter) {
  Course course(3);
  window.browser().Load(course.page().top);
  Capture("student01");
  dlg.ArmAutoStudy();

  // A list with nothing unfinished keeps waiting, without a word.
  auto empty = MakeChapterPage(UniqueProgress(false), "00:01:00");
  AddEntry(empty.list, "done", "right.aspx?c=7&ch=9");
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
  // The window asks to be looked at before its box shows (what the desktop is told is the run's).
  EXPECT_EQ(std::count(window.journal().begin(), window.journal().end(), "RequestAttention"), 1);

  // A completion is journalled with what the page showed; a check below the level says so.
  EXPECT_EQ(records.events().at(1).rfind("完成章节：right.aspx?c=7&ch=1（进度 00:02:00#", 0), 0u);
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
  Fire(TIMER_CHECK_PROGRESS);
  EXPECT_GT(window.browser().refreshes(), refreshes);
  EXPECT_EQ(records.events().back(),
            "进度停滞，刷新页面：进度仍为 " + *course.page().progress->outerText);
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
  window.browser().Load(fake::MakePage("http://learn.qmstudy.localhost:18080/stu/clslist.aspx"));
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
  const bool looked = WaitFor([&] { return desktop.Searches() >= 10; });  // passes it made
  run = false;
  worker.join();
  EXPECT_TRUE(looked);
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
  std::atomic<bool> stopped{false};
  AlertDismisserThread(desktop, stopped, 1ms);  // a cleared flag: not a single pass
  EXPECT_EQ(desktop.Clicks().size(), clicks.size());
}

}  // namespace
}  // namespace larkwend::scanner_test
