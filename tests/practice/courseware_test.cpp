// SPDX-License-Identifier: GPL-3.0-or-later
// Video chapters: learned time credited only from what the video played, the media state each
// chapter keeps, the content page's video, the page script's loop wrap (run in JavaScriptCore)
// and the clips served in byte ranges.
#include <gtest/gtest.h>
#include <jsc/jsc.h>

#include <cmath>
#include <regex>

#include "byte_range.h"
#include "clips.h"
#include "courseware.h"
#include "site_client.h"

namespace larkwend::practice::testing {
namespace {

using std::chrono::milliseconds;

std::string ViewToken(const std::string& page) {
  std::smatch match;
  static const std::regex token(R"re(var viewToken = "([0-9a-f]+)")re");
  return std::regex_search(page, match, token) ? match[1].str() : std::string();
}

PracticeOptions VideoOptions(std::vector<VideoKind> kinds, double timeScale = 1) {
  PracticeOptions options = TestOptions();
  options.openStudy = true;
  options.finishedChapters = 0;
  options.chapters = 5;
  options.timeScale = timeScale;
  options.videoChapters = std::move(kinds);
  return options;
}

// Opens chapter 1-N and returns its view token.
std::string OpenChapter(SiteClient& study, int chapter) {
  auto page = study.Get("/stu/book_right.aspx?id=1-00" + std::to_string(chapter));
  return page && page->status == 200 ? ViewToken(page->body) : std::string();
}

TEST(CoursewareCreditTest, AVideoChapterIsCreditedOnlyWhatItsVideoPlayedWithinTheRealTime) {
  struct Row {
    const char* what;
    bool video;
    const char* played;  // nullptr: the heartbeat carries no report
    int realMs;
    double timeScale;
    double learned;
  };
  for (const Row& row : {
           Row{"nothing played", true, "0", 3000, 1, 0},
           Row{"no report at all", true, nullptr, 3000, 1, 0},
           Row{"played less than the real time", true, "2.5", 3000, 1, 2.5},
           Row{"played more than the real time", true, "9", 3000, 1, 3},
           Row{"a long gap is capped", true, "600", 600'000, 1, 5},
           Row{"the time scale multiplies", true, "2", 3000, 10, 20},
           Row{"a negative report", true, "-4", 3000, 1, 0},
           Row{"not a number", true, "NaN", 3000, 1, 0},
           Row{"infinite", true, "inf", 3000, 1, 0},
           Row{"a text chapter keeps the real time", false, "0", 3000, 1, 3},
       }) {
    RunningSite site(VideoOptions(
        row.video ? std::vector{VideoKind::kMp4} : std::vector<VideoKind>{}, row.timeScale));
    ASSERT_TRUE(site.Started()) << site.Error();
    SiteClient study = site.Study();
    const std::string token = OpenChapter(study, 1);
    ASSERT_FALSE(token.empty()) << row.what;
    site.clock.Advance(milliseconds(row.realMs));
    httplib::Params beat{{"view", token}};
    if (row.played) beat.emplace("played", row.played);
    ASSERT_EQ(study.Post("/stu/heartbeat.aspx", beat)->status, 200) << row.what;
    const auto chapter = site.State()["courses"][0]["chapters"][0];
    EXPECT_NEAR(chapter["learnedSeconds"].Number(), row.learned, 1e-3) << row.what;
    if (row.video && row.played) {
      EXPECT_NEAR(chapter["media"]["played"].Number(), row.learned / row.timeScale, 1e-3)
          << row.what;
    }
  }
}

TEST(CoursewareStateTest, EachVideoChapterKeepsItsLatestReportAndEveryOpeningsEvents) {
  RunningSite site(VideoOptions({VideoKind::kWebm, VideoKind::kBroken}));
  ASSERT_TRUE(site.Started()) << site.Error();
  SiteClient study = site.Study();
  auto report = [&](const std::string& token, httplib::Params fields) {
    fields.emplace("view", token);
    return study.Post("/stu/heartbeat.aspx", fields)->status;
  };
  std::string first = OpenChapter(study, 1);
  site.clock.Advance(milliseconds(1000));
  ASSERT_EQ(report(first, {{"played", "1"},
                           {"paused", "0"},
                           {"volume", "0.5"},
                           {"visibility", "hidden"},
                           {"hidden", "1"},
                           {"hasFocus", "0"},
                           {"hiddenEvents", "2"},
                           {"blurEvents", "1"}}),
            200);
  // The same opening again: its counts so far, not more events.
  site.clock.Advance(milliseconds(1000));
  ASSERT_EQ(report(first, {{"played", "1"},
                           {"paused", "1"},
                           {"muted", "1"},
                           {"volume", "1"},
                           {"visibility", "visible"},
                           {"hasFocus", "1"},
                           {"hiddenEvents", "2"},
                           {"blurEvents", "3"}}),
            200);
  // A new opening counts from nothing again; its events add to the chapter's.
  std::string second = OpenChapter(study, 1);
  site.clock.Advance(milliseconds(1000));
  ASSERT_EQ(report(second, {{"played", "0.5"}, {"hiddenEvents", "1"}, {"blurEvents", "0"}}), 200);
  std::string broken = OpenChapter(study, 2);
  site.clock.Advance(milliseconds(1000));
  ASSERT_EQ(
      report(
          broken,
          {{"played", "0"}, {"paused", "1"}, {"error", "4"}, {"playError", "NotSupportedError"}}),
      200);

  const auto state = site.State();
  const auto& webm = state["courses"][0]["chapters"][0];
  EXPECT_EQ(webm["video"].String(), "webm");
  const auto& media = webm["media"];
  EXPECT_NEAR(media["played"].Number(), 2.5, 1e-3);
  EXPECT_NEAR(webm["learnedSeconds"].Number(), 2.5, 1e-3);
  EXPECT_FALSE(media["paused"].Bool(true));  // the latest report's
  EXPECT_FALSE(media["muted"].Bool(true));
  EXPECT_NEAR(media["volume"].Number(), 0, 1e-9);
  EXPECT_EQ(media["visibility"].String(), "");
  EXPECT_FALSE(media["hidden"].Bool(true));
  EXPECT_FALSE(media["hasFocus"].Bool(true));
  EXPECT_EQ(media["hiddenEvents"].Int(), 3);
  EXPECT_EQ(media["blurEvents"].Int(), 3);
  EXPECT_EQ(media["reports"].Int(), 3);
  EXPECT_EQ(media["error"].Int(), 0);

  const auto& failed = state["courses"][0]["chapters"][1];
  EXPECT_EQ(failed["video"].String(), "broken");
  EXPECT_EQ(failed["media"]["error"].Int(), 4);
  EXPECT_EQ(failed["media"]["playError"].String(), "NotSupportedError");
  EXPECT_EQ(failed["learnedSeconds"].Number(), 0);
  // A text chapter has no media at all.
  PracticeOptions textOptions = VideoOptions({});
  RunningSite text(textOptions);
  ASSERT_TRUE(text.Started()) << text.Error();
  EXPECT_TRUE(text.State()["courses"][0]["chapters"][0]["media"].IsNull());
}

TEST(CoursewarePageTest, KindsCycleByChapterAndEachPageStartsItsVideoWithSound) {
  PracticeOptions options =
      VideoOptions({VideoKind::kMp4, VideoKind::kWebm, VideoKind::kMse, VideoKind::kBroken});
  options.videoPauseWhen = PauseWhen::kBlur;
  RunningSite site(options);
  ASSERT_TRUE(site.Started()) << site.Error();
  SiteClient study = site.Study();
  static const std::regex video(R"re(<video id="courseware"([^>]*)>)re");
  struct Row {
    int chapter;
    const char* source;  // the video's src attribute; empty: none, fed by the script
    const char* start;   // the start call's kind and clip
  };
  for (const Row& row : {Row{1, "/clips/courseware.mp4", "\"mp4\", \"/clips/courseware.mp4\""},
                         Row{2, "/clips/courseware.webm", "\"webm\", \"/clips/courseware.webm\""},
                         Row{3, "", "\"mse\", \"/clips/courseware-fragmented.mp4\""},
                         Row{4, "/clips/broken.mp4", "\"broken\", \"/clips/broken.mp4\""},
                         Row{5, "/clips/courseware.mp4", "\"mp4\""}}) {
    auto page = study.Get("/stu/book_right.aspx?id=1-00" + std::to_string(row.chapter));
    ASSERT_TRUE(page);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(page->body, match, video)) << row.chapter;
    const std::string attributes = match[1].str();
    EXPECT_EQ(attributes.find("muted"), std::string::npos) << row.chapter;
    EXPECT_EQ(attributes.find("autoplay"), std::string::npos) << row.chapter;
    const std::string src = std::string(" src=\"") + row.source + "\"";
    EXPECT_EQ(attributes.find(" src=") != std::string::npos, *row.source != '\0') << row.chapter;
    if (*row.source) {
      EXPECT_NE(attributes.find(src), std::string::npos) << row.chapter;
    }
    EXPECT_NE(page->body.find(std::string("coursewareStart(") + row.start), std::string::npos)
        << row.chapter;
    EXPECT_NE(page->body.find("\"blur\");"), std::string::npos) << row.chapter;
    // Everything of a text chapter stays, and the heartbeat carries the video's report.
    for (const char* kept : {"id=\"learnedTime\"", "id=\"requiredTime\"", "id=\"btnFinish\"",
                             "$.Msg.tb_show(", "coursewareBeat({view: viewToken})"})
      EXPECT_NE(page->body.find(kept), std::string::npos) << row.chapter << " " << kept;
  }
  auto script = study.Get(kCoursewareScriptPath);
  ASSERT_TRUE(script);
  EXPECT_EQ(script->status, 200);
  EXPECT_EQ(script->body, kCoursewareScript);

  RunningSite text(VideoOptions({}));
  ASSERT_TRUE(text.Started()) << text.Error();
  SiteClient textStudy = text.Study();
  auto page = textStudy.Get("/stu/book_right.aspx?id=1-001");
  EXPECT_EQ(page->body.find("<video"), std::string::npos);
  EXPECT_NE(page->body.find("$.post('/stu/heartbeat.aspx', {view: viewToken}"), std::string::npos);
}

// The page's own script, evaluated in the engine's JavaScript interpreter.
class CoursewareScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_ = jsc_context_new();
    g_object_unref(jsc_context_evaluate(context_, kCoursewareScript, -1));
    ASSERT_EQ(jsc_context_get_exception(context_), nullptr);
  }
  void TearDown() override { g_object_unref(context_); }
  double Evaluate(const std::string& code) {
    JSCValue* value = jsc_context_evaluate(context_, code.c_str(), -1);
    const double result = jsc_value_to_double(value);
    g_object_unref(value);
    return result;
  }

  JSCContext* context_ = nullptr;
};

TEST_F(CoursewareScriptTest, HowFarTheVideoPlayedBetweenTwoReadingsAcrossTheLoopsWrap) {
  struct Row {
    const char* arguments;  // from, to, duration
    double played;
  };
  for (const Row& row :
       {Row{"1, 2.5, 3.84", 1.5}, Row{"2, 2, 3.84", 0},
        Row{"3.5, 0.25, 3.84", 0.59},  // wrapped to the start
        Row{"3.84, 0.5, 3.84", 0.5},   // read at the very end, then wrapped
        Row{"3.5, 0.25, NaN", 0.25},   // no duration yet: what it played since 0
        Row{"3.5, 0.25, Infinity", 0.25}, Row{"NaN, 1, 3.84", 0}, Row{"1, NaN, 3.84", 0}}) {
    EXPECT_NEAR(Evaluate(std::string("coursewareAdvance(") + row.arguments + ")"), row.played, 1e-9)
        << row.arguments;
  }
}

TEST(ByteRangeTest, TheRangeAskedOfABodyOfKnownSize) {
  constexpr std::size_t kSize = 1000;
  struct Row {
    const char* header;
    ByteRange::Answer answer;
    std::size_t first, last;
  };
  for (const Row& row :
       {Row{"", ByteRange::kWhole, 0, 0}, Row{"bytes=0-", ByteRange::kPart, 0, 999},
        Row{"bytes=100-199", ByteRange::kPart, 100, 199},
        Row{"bytes=999-", ByteRange::kPart, 999, 999},
        Row{"bytes=900-5000", ByteRange::kPart, 900, 999},
        Row{"bytes=-100", ByteRange::kPart, 900, 999}, Row{"bytes=-5000", ByteRange::kPart, 0, 999},
        Row{"bytes=1000-", ByteRange::kUnsatisfiable, 0, 0},
        Row{"bytes=5000-6000", ByteRange::kUnsatisfiable, 0, 0},
        Row{"bytes=-0", ByteRange::kUnsatisfiable, 0, 0},
        Row{"bytes=200-100", ByteRange::kWhole, 0, 0},
        Row{"bytes=0-9,20-29", ByteRange::kWhole, 0, 0}, Row{"bytes=x-", ByteRange::kWhole, 0, 0},
        Row{"bytes=-", ByteRange::kWhole, 0, 0}, Row{"items=0-9", ByteRange::kWhole, 0, 0},
        Row{"bytes=18446744073709551616-", ByteRange::kWhole, 0, 0}}) {
    const ByteRange range = RangeOf(row.header, kSize);
    EXPECT_EQ(range.answer, row.answer) << row.header;
    if (row.answer == ByteRange::kPart) {
      EXPECT_EQ(range.first, row.first) << row.header;
      EXPECT_EQ(range.last, row.last) << row.header;
    }
  }
  EXPECT_EQ(RangeOf("bytes=0-", 0).answer, ByteRange::kUnsatisfiable);
}

TEST(ClipsTest, EachClipIsServedWholeOrInTheRangeAskedForWithItsType) {
  RunningSite site(VideoOptions({VideoKind::kMp4}));
  ASSERT_TRUE(site.Started()) << site.Error();
  for (VideoKind kind : {VideoKind::kMp4, VideoKind::kWebm, VideoKind::kMse, VideoKind::kBroken}) {
    const Clip& clip = ClipOf(kind);
    const std::string bytes(reinterpret_cast<const char*>(clip.data), clip.size);
    httplib::Client client("127.0.0.1", site.HttpPort());
    const httplib::Headers host{{"Host", "learn.qmstudy.localhost"}};
    auto whole = client.Get(clip.path, host);
    ASSERT_TRUE(whole) << clip.path;
    EXPECT_EQ(whole->status, 200) << clip.path;
    EXPECT_EQ(whole->get_header_value("Content-Type"), clip.contentType) << clip.path;
    EXPECT_EQ(whole->get_header_value("Accept-Ranges"), "bytes") << clip.path;
    EXPECT_EQ(whole->body, bytes) << clip.path;

    auto with = [&](const std::string& range) {
      httplib::Headers headers = host;
      headers.emplace("Range", range);
      return client.Get(clip.path, headers);
    };
    auto part = with("bytes=10-");
    ASSERT_TRUE(part);
    EXPECT_EQ(part->status, 206) << clip.path;
    EXPECT_EQ(part->get_header_value("Content-Range"),
              "bytes 10-" + std::to_string(clip.size - 1) + "/" + std::to_string(clip.size));
    EXPECT_EQ(part->body, bytes.substr(10)) << clip.path;
    auto beyond = with("bytes=0-" + std::to_string(clip.size + 100));
    EXPECT_EQ(beyond->status, 206) << clip.path;
    EXPECT_EQ(beyond->body, bytes) << clip.path;
    auto unsatisfiable = with("bytes=" + std::to_string(clip.size) + "-");
    EXPECT_EQ(unsatisfiable->status, 416) << clip.path;
    EXPECT_EQ(unsatisfiable->get_header_value("Content-Range"),
              "bytes */" + std::to_string(clip.size));
  }
  // Clips small enough to travel with the site, and the fed one's type names its codecs.
  for (VideoKind kind : {VideoKind::kMp4, VideoKind::kWebm, VideoKind::kMse})
    EXPECT_LT(ClipOf(kind).size, 200'000u);
  EXPECT_NE(std::string(ClipOf(VideoKind::kMse).mseType).find("avc1."), std::string::npos);
}

}  // namespace
}  // namespace larkwend::practice::testing
