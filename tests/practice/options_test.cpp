// SPDX-License-Identifier: GPL-3.0-or-later
// The practice site's command line, and the program's own start-up and refusals.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <tuple>

#include <cstdio>

#include "options.h"
#include "platform/posix/unique_fd.h"
#include "update_service.h"

namespace larkwend::practice {
namespace {

TEST(OptionsTest, DefaultsAreTheSiteProfilesPortsAndAccounts) {
  ParseResult parsed = ParseOptions({});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.httpPort, 18080);
  EXPECT_EQ(parsed.options.updatePort, 19527);
  EXPECT_EQ(parsed.options.userName, "Student01");
  EXPECT_EQ(parsed.options.idCard, "11010519491231002X");
  EXPECT_EQ(parsed.options.updateFault, UpdateFault::kNone);
}

TEST(OptionsTest, ValuesArePassedSeparatelyOrAfterAnEqualsSign) {
  ParseResult parsed =
      ParseOptions({"--http-port", "0", "--chapters=7", "--time-scale", "2.5", "--update-fault",
                    "short", "--stall-chapter=3", "--no-update-service", "--update-body", "305"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.httpPort, 0);
  EXPECT_EQ(parsed.options.chapters, 7);
  EXPECT_DOUBLE_EQ(parsed.options.timeScale, 2.5);
  EXPECT_EQ(parsed.options.updateFault, UpdateFault::kShortBody);
  EXPECT_EQ(parsed.options.stallChapter, 3);
  EXPECT_FALSE(parsed.options.updateService);
  EXPECT_EQ(parsed.options.updateBody, "305");
}

TEST(OptionsTest, FaultsOfTheStudyPlatform) {
  ParseResult defaults = ParseOptions({});
  EXPECT_EQ(defaults.options.outage, OutageKind::kNone);
  EXPECT_EQ(defaults.options.outageAfterCompletions, 1);
  EXPECT_DOUBLE_EQ(defaults.options.outageSeconds, 60);
  EXPECT_EQ(defaults.options.neverLoadsChapter, 0);
  EXPECT_EQ(defaults.options.neverLoadsHow, NeverLoads::kSilent);
  EXPECT_FALSE(defaults.options.contentPlaceholder);

  ParseResult parsed = ParseOptions({"--outage", "502", "--outage-after-completions", "0",
                                     "--outage-seconds", "1.5", "--never-loads-chapter=3",
                                     "--never-loads-how", "spin", "--content-placeholder"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.outage, OutageKind::kBadGateway);
  EXPECT_EQ(parsed.options.outageAfterCompletions, 0);
  EXPECT_DOUBLE_EQ(parsed.options.outageSeconds, 1.5);
  EXPECT_EQ(parsed.options.neverLoadsChapter, 3);
  EXPECT_EQ(parsed.options.neverLoadsHow, NeverLoads::kSpin);
  EXPECT_TRUE(parsed.options.contentPlaceholder);
  const PracticeOptions quirks = ParseOptions({"--refuse-completion-once", "1", "--foreign-frame",
                                               "--evaluation-after=2", "--odd-course-links"})
                                     .options;
  EXPECT_EQ(std::tuple(quirks.refuseCompletionOnce, quirks.foreignFrame, quirks.evaluationChapter,
                       quirks.oddCourseLinks),
            std::tuple(1, true, 2, true));
  EXPECT_EQ(ParseOptions({"--outage=drop"}).options.outage, OutageKind::kDrop);
  EXPECT_EQ(ParseOptions({"--outage=maintenance"}).options.outage, OutageKind::kMaintenance);
}

TEST(OptionsTest, SignOutAndFinishedCourses) {
  ParseResult defaults = ParseOptions({});
  EXPECT_EQ(defaults.options.signOutAfterCompletions, 0);
  EXPECT_EQ(defaults.options.signOutHow, SignOutHow::kTopRedirect);
  EXPECT_TRUE(defaults.options.finishedCourses.empty());
  for (const auto& [how, expected] : std::vector<std::pair<std::string, SignOutHow>>{
           {"list-form", SignOutHow::kListForm},
           {"frame-redirect", SignOutHow::kFrameRedirect},
           {"break-out", SignOutHow::kBreakOut},
           {"portal-frames", SignOutHow::kPortalFrames},
           {"top-redirect", SignOutHow::kTopRedirect}}) {
    ParseResult parsed = ParseOptions({"--sign-out-after-completions", "2", "--sign-out-how", how});
    ASSERT_EQ(parsed.error, "") << how;
    EXPECT_EQ(parsed.options.signOutAfterCompletions, 2);
    EXPECT_EQ(parsed.options.signOutHow, expected) << how;
  }
  EXPECT_EQ(ParseOptions({"--courses", "5", "--finished-courses", "4,2"}).options.finishedCourses,
            (std::vector<int>{4, 2}));
  EXPECT_FALSE(defaults.options.cookieSession);
  EXPECT_TRUE(ParseOptions({"--cookie-session"}).options.cookieSession);
}

TEST(OptionsTest, VideoChaptersAndWhenTheirPagesPause) {
  ParseResult defaults = ParseOptions({});
  EXPECT_TRUE(defaults.options.videoChapters.empty());
  EXPECT_EQ(defaults.options.videoPauseWhen, PauseWhen::kNever);
  using Kinds = std::vector<VideoKind>;
  for (const auto& [list, kinds] : std::vector<std::pair<std::string, Kinds>>{
           {"mp4", {VideoKind::kMp4}},
           {"webm,mse", {VideoKind::kWebm, VideoKind::kMse}},
           {"broken,mp4,mp4", {VideoKind::kBroken, VideoKind::kMp4, VideoKind::kMp4}}}) {
    ParseResult parsed = ParseOptions({"--video-chapters", list});
    ASSERT_EQ(parsed.error, "") << list;
    EXPECT_EQ(parsed.options.videoChapters, kinds) << list;
  }
  for (const auto& [when, expected] :
       std::vector<std::pair<std::string, PauseWhen>>{{"never", PauseWhen::kNever},
                                                      {"hidden", PauseWhen::kHidden},
                                                      {"blur", PauseWhen::kBlur},
                                                      {"both", PauseWhen::kBoth}}) {
    EXPECT_EQ(ParseOptions({"--video-pause-when=" + when}).options.videoPauseWhen, expected);
  }
  // Chapter 1 takes the first kind, and the list cycles.
  const Kinds kinds{VideoKind::kMp4, VideoKind::kWebm};
  EXPECT_EQ(VideoKindOf(kinds, 1), VideoKind::kMp4);
  EXPECT_EQ(VideoKindOf(kinds, 2), VideoKind::kWebm);
  EXPECT_EQ(VideoKindOf(kinds, 3), VideoKind::kMp4);
  EXPECT_EQ(VideoKindOf({}, 1), std::nullopt);
}

TEST(OptionsTest, UnusableArgumentsAreErrors) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--chapters", "0"},
                                               {"--chapters", "12x"},
                                               {"--http-port", "70000"},
                                               {"--time-scale", "0"},
                                               {"--time-scale", "-1"},
                                               {"--fixed-code", "12a4"},
                                               {"--fixed-code", "123"},
                                               {"--update-fault", "bogus"},
                                               {"--outage", "503"},
                                               {"--outage-seconds", "0"},
                                               {"--outage-after-completions", "-1"},
                                               {"--never-loads-how", "hang"},
                                               {"--sign-out-how", "logout"},
                                               {"--sign-out-after-completions", "-1"},
                                               {"--finished-courses", "0"},
                                               {"--finished-courses", "1,1"},
                                               {"--finished-courses", "1,"},
                                               {"--finished-courses", "3"},
                                               {"--content-placeholder=1"},
                                               {"--video-chapters", ""},
                                               {"--video-chapters", "mp3"},
                                               {"--video-chapters", "mp4,"},
                                               {"--video-chapters", "MP4"},
                                               {"--video-pause-when", "sometimes"},
                                               {"--cookie-session=1"},
                                               {"--chapter-seconds", "360000"},
                                               {"--courses"},
                                               {"--log=yes"},
                                               {"--unknown"}}) {
    EXPECT_NE(ParseOptions(args).error, "") << args[0];
  }
}

TEST(OptionsTest, FinishedChaptersNeverExceedTheChapters) {
  EXPECT_EQ(ParseOptions({"--chapters", "3", "--finished", "9"}).options.finishedChapters, 3);
}

TEST(OptionsTest, HelpListsEveryOption) {
  EXPECT_TRUE(ParseOptions({"--help"}).help);
  std::string usage = UsageText();
  for (const char* option : {"--http-port",
                             "--update-port",
                             "--courses",
                             "--chapters",
                             "--chapter-seconds",
                             "--time-scale",
                             "--stall-chapter",
                             "--update-fault",
                             "--outage",
                             "--outage-after-completions",
                             "--outage-seconds",
                             "--never-loads-chapter",
                             "--never-loads-how",
                             "--content-placeholder",
                             "--sign-out-after-completions",
                             "--sign-out-how",
                             "--finished-courses",
                             "--refuse-completion-once",
                             "--foreign-frame",
                             "--evaluation-after",
                             "--odd-course-links",
                             "--video-chapters",
                             "--video-pause-when",
                             "--cookie-session",
                             "--help"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

int RunPractice(const std::string& arguments, std::string* output = nullptr) {
  std::string command = std::string(LARKWEND_PRACTICE_BIN) + " " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[512];
  std::string text;
  while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
  int status = ::pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(PracticeProgramTest, HelpAndBadArgumentsAndBusyPorts) {
  std::string output;
  EXPECT_EQ(RunPractice("--help", &output), 0);
  EXPECT_NE(output.find("--stall-after"), std::string::npos);
  EXPECT_EQ(RunPractice("--chapters none", &output), 2);
  EXPECT_NE(output.find("--chapters"), std::string::npos);

  // A port that is taken makes the program say so and stop, rather than serve half a site.
  UpdateService squatter("", UpdateFault::kNone);
  std::string error;
  ASSERT_TRUE(squatter.Start(0, error)) << error;
  EXPECT_EQ(RunPractice("--http-port 0 --update-port " + std::to_string(squatter.Port()), &output),
            1);
  EXPECT_NE(output.find(std::to_string(squatter.Port())), std::string::npos) << output;
}

}  // namespace
}  // namespace larkwend::practice
