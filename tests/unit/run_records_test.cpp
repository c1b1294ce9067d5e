// SPDX-License-Identifier: GPL-3.0-or-later
// What a run leaves for the student and the maintainer, on their own: the journal's reasons in
// both languages, what the desktop is told, and the course list's links as written.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "automation/course_list.h"
#include "automation/study_journal.h"
#include "automation/unattended_run.h"
#include "fake_platform.h"
#include "record_capture.h"
#include "resources/texts.h"

namespace larkwend {
namespace {

using namespace std::chrono_literals;

TEST(StudyJournal, EveryReasonIsWordedInBothRecords) {
  struct Case {
    Failure why;
    std::string journal, diagnostics;
  };
  for (const Case& c : {
           Case{{Why::kHttpStatus, 502}, "HTTP 502", "HTTP 502"},
           Case{{Why::kNetworkError, 0, "Connection refused"},
                "网络错误：Connection refused",
                "network error: Connection refused"},
           Case{{Why::kStillLoading, 0, "60"},
                "仍未加载完成，已等待 60 秒",
                "still loading after 60 s"},
           Case{{Why::kNoChapterEntry}, "章节列表中没有任何章节", "no chapter entry in the list"},
           Case{{Why::kNoChapterFrames}, "页面上没有章节框架", "no chapter frames"},
           Case{{Why::kNoCourseList}, "页面上没有课程列表", "no course list"},
           Case{{Why::kProcessEnded}, "网页进程已结束", "its web process ended"},
           Case{{Why::kOutOfMemory}, "网页进程内存不足", "its web process ran out of memory"},
           Case{{Why::kStoppedAnswering}, "页面停止响应", "it stopped answering"},
           Case{{Why::kNeverFinishedLoading}, "页面一直未加载完成", "it did not finish loading"},
           Case{{Why::kNoProgress, 0, "300"}, "300 秒没有学习进展", "no progress for 300 s"},
           Case{{Why::kVideoCannotPlay}, "课程视频无法播放", "its video cannot play"},
           Case{{Why::kSitesOwnPage},
                "网站转到了非学习页面",
                "the site went to a page that is no study page"},
       }) {
    SCOPED_TRACE(c.diagnostics);
    fake::RecordCapture records;
    study_journal::PageFailedToLoad("http://x/", c.why);
    EXPECT_EQ(records.events(),
              std::vector<std::string>{"页面无法打开：http://x/（" + c.journal + "）"});
    EXPECT_TRUE(records.Diagnosed("page failed to load: http://x/ (" + c.diagnostics + ")"));
  }
}

// One block however often the run is armed, given back when it waits for the student; a long
// failure told once, and not at all when the page answers in time.
TEST(UnattendedRun, OneBlockAndEachNoticeOnce) {
  fake::DesktopSession session;
  fake::Clock clock;
  fake::RecordCapture records;
  UnattendedRun run(session, clock);
  run.KeepAwake();
  run.KeepAwake();
  EXPECT_EQ(std::pair(session.blocksHeld, session.blocksTaken), std::pair(1, 1));
  EXPECT_EQ(session.lastReason, texts::kKeepAwakeReason);  // what the desktop's list shows

  run.PageFailing(10min);
  clock.Advance(9min);
  run.PageAnswers();  // the list is back before the notice: held
  clock.Advance(2min);
  EXPECT_TRUE(session.notices.empty());
  run.PageBack();
  run.PageFailing(10min);
  run.PageFailing(10min);
  clock.Advance(10min);
  ASSERT_EQ(session.notices.size(), 1u);
  EXPECT_EQ(session.notices[0].id, "page-failing");
  run.PageFailing(10min);  // the same failure: told once
  clock.Advance(20min);
  EXPECT_EQ(session.notices.size(), 1u);

  for (auto tell : {&UnattendedRun::SignedOut, &UnattendedRun::VideoCannotPlay,
                    &UnattendedRun::CompletionRefused, &UnattendedRun::Ended}) {
    run.KeepAwake();
    (run.*tell)();
    EXPECT_EQ(session.blocksHeld, 0);
  }
  std::vector<std::string> ids;
  for (const auto& notice : session.notices) ids.push_back(notice.id);
  EXPECT_EQ(ids, (std::vector<std::string>{"page-failing", "signed-out", "video-cannot-play",
                                           "completion-refused", "run-ended"}));
  run.Stop();
  run.PageFailing(1min);
  clock.Advance(2min);
  EXPECT_EQ(session.notices.size(), 5u) << "nothing is told after the window went";
}

TEST(CourseList, ALinksHrefAsWritten) {
  for (const auto& [markup, href] : std::vector<std::pair<std::string, std::string>>{
           {R"(<a href="/stu/Study_v2.aspx?a=1&amp;b=2">x</a>)", "/stu/Study_v2.aspx?a=1&b=2"},
           {"<A HREF='../x.aspx' target=_blank>x</A>", "../x.aspx"},
           {"<a href=plain.aspx>x</a>", "plain.aspx"},
           {"<a name=top>x</a>", ""},
           {"<a href=\"unclosed", ""},
       })
    EXPECT_EQ(course_list::HrefOf(markup), href) << markup;
}

}  // namespace
}  // namespace larkwend
