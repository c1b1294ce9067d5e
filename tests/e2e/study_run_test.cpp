// One whole study run on the real desktop against the practice site: the program starts, the
// student types the verification code and logs in with one click, opens the course list and a
// course's chapter page, and the program studies every chapter by itself. The completion alerts
// are clicked away by the program's own dismisser: nothing here touches them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/quillmoor_dlg.h"
#include "e2e_harness.h"
#include "e2e_message_boxes.h"
#include "e2e_practice_site.h"
#include "e2e_program.h"
#include "e2e_study_flow.h"

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
};

RunOutcome StudyTheCourse(PracticeSite& site) {
  RunOutcome outcome;
  ProgramOptions options;
  options.timerScale = kTimerScale;
  // The update service answers "301|...": nothing newer, start-up goes on.
  RunProgram(options, [&](Program& program) {
    MessageBoxAnswerer boxes("提示", "确定");
    std::string failure;
    if (!LogInAndOpenCourse(program, 1, &failure)) {
      ADD_FAILURE() << "the road to the chapter page stopped at: " << failure;
      return;
    }
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
}

TEST(StudyRun, AStalledChapterRecoversThroughTheReload) {
  PracticeSite site(SiteOptions({"--stall-chapter", "2", "--stall-after", "20"}));
  ASSERT_TRUE(site.Ready()) << site.Error();

  RunOutcome outcome = StudyTheCourse(site);

  EXPECT_GE(site.Stalls(), 1);
  EXPECT_EQ(site.CompletedChapterCount(), kChapters);
  EXPECT_EQ(std::count(outcome.messages.begin(), outcome.messages.end(), kEndMessage), 1);
}

}  // namespace
}  // namespace larkwend::e2e
