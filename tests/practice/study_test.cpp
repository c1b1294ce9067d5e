// SPDX-License-Identifier: GPL-3.0-or-later
// The study platform: access, the chapter page's frames and list, progress, stall and completion.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>

#include "site_addresses.h"
#include "site_client.h"

namespace larkwend::practice::testing {
namespace {

using std::chrono::seconds;

std::string Match(const std::string& text, const std::string& pattern) {
  std::smatch match;
  std::regex re(pattern);
  return std::regex_search(text, match, re) ? match[1].str() : std::string();
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return text;
}

struct OpenChapter {
  std::string token;
  std::string learned;
  std::string required;
};

OpenChapter Open(SiteClient& study, const std::string& path) {
  auto page = study.Get(path);
  if (!page || page->status != 200) return {};
  return {Match(page->body, R"re(var viewToken = "([0-9a-f]+)")re"),
          Match(page->body, R"re(id="learnedTime">([^<]*)<)re"),
          Match(page->body, R"re(id="requiredTime">([^<]*)<)re")};
}

e2e::JsonValue Beat(SiteClient& study, const OpenChapter& chapter) {
  auto answer = study.Post("/stu/heartbeat.aspx", {{"view", chapter.token}});
  if (!answer) return {};
  return e2e::JsonValue::Parse(answer->body).value_or(e2e::JsonValue());
}

int Finish(SiteClient& study, const std::string& id) {
  auto answer = study.Post("/stu/finish.aspx", {{"id", id}});
  return answer ? answer->status : -1;
}

class StudyTest : public ::testing::Test {
 protected:
  static PracticeOptions Options() {
    PracticeOptions options = TestOptions();
    options.courses = 2;
    options.chapters = 3;
    options.finishedChapters = 1;
    options.chapterSeconds = 60;
    return options;
  }
  void SetUp() override {
    ASSERT_TRUE(site.Started()) << site.Error();
    study = EnterStudyPlatform(site);
    ASSERT_FALSE(study.Cookie("QMSTUDY_SID").empty());
  }

  RunningSite site{Options()};
  SiteClient study = site.Study();
};

TEST(StudyAccessTest, PagesNeedThePortalsTicketOrTheSessionItOpened) {
  RunningSite site(TestOptions());
  ASSERT_TRUE(site.Started()) << site.Error();
  SiteClient stranger = site.Study();
  EXPECT_EQ(stranger.Get("/stu/clslist.aspx")->status, 401);
  EXPECT_EQ(stranger.Get("/stu/clslist.aspx?ticket=0123456789abcdef")->status, 401);
  EXPECT_EQ(stranger.Get("/stu/Study_v2.aspx?courseId=1")->status, 401);
  EXPECT_EQ(stranger.Post("/stu/finish.aspx", {{"id", "1-002"}})->status, 401);

  SiteClient student = EnterStudyPlatform(site);
  // Once the ticket has opened a session, the course list is reachable by its plain address.
  auto list = student.Get("/stu/clslist.aspx");
  ASSERT_TRUE(list);
  EXPECT_EQ(list->status, 200);
  EXPECT_NE(list->body.find("href=\"/stu/Study_v2.aspx?courseId=1\" target=\"_blank\""),
            std::string::npos);
  EXPECT_NE(list->body.find("href=\"/stu/Study_v2.aspx?courseId=2\" target=\"_blank\""),
            std::string::npos);
  EXPECT_TRUE(site.State()["completed"].Items().empty());
}

TEST(StudyAccessTest, OpenStudyNeedsNoLogin) {
  PracticeOptions options = TestOptions();
  options.openStudy = true;
  RunningSite site(options);
  ASSERT_TRUE(site.Started()) << site.Error();
  EXPECT_EQ(site.Study().Get("/stu/Study_v2.aspx?courseId=1")->status, 200);
}

TEST(StudyAccessTest, PlainChapterFramesCarryNoScriptButTheSameDisplay) {
  PracticeOptions options = TestOptions();
  options.openStudy = true;
  options.plainChapters = true;
  RunningSite site(options);
  ASSERT_TRUE(site.Started()) << site.Error();
  SiteClient study = site.Study();
  for (const char* path : {"/stu/Study_v2.aspx?courseId=1", "/stu/book_left.aspx?courseId=1",
                           "/stu/book_right.aspx?id=1-002"}) {
    auto page = study.Get(path);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->body.find("<script"), std::string::npos) << path;
    EXPECT_EQ(page->body.find("onclick"), std::string::npos) << path;
  }
  OpenChapter chapter = Open(study, "/stu/book_right.aspx?id=1-002");
  EXPECT_EQ(chapter.learned, "00:00:00");
  EXPECT_EQ(chapter.required, "00:01:30");
}

TEST_F(StudyTest, ChapterPageIsTwoFramesToldApartByLeftAndRight) {
  auto page = study.Get("/stu/Study_v2.aspx?courseId=1");
  ASSERT_TRUE(page);
  ASSERT_EQ(page->status, 200);
  std::regex frame(R"re(<frame name="([^"]+)" id="[^"]+" src="([^"]+)">)re");
  std::vector<std::pair<std::string, std::string>> frames;
  for (std::sregex_iterator it(page->body.begin(), page->body.end(), frame), end; it != end; ++it) {
    frames.emplace_back((*it)[1].str(), "http://learn.qmstudy.localhost:18080" + (*it)[2].str());
  }
  ASSERT_EQ(frames.size(), 2u);
  const std::string& left = frames[0].second;
  const std::string& right = frames[1].second;
  EXPECT_NE(left.find("left"), std::string::npos);
  EXPECT_EQ(left.find("right"), std::string::npos);
  EXPECT_NE(right.find("right"), std::string::npos);
  EXPECT_EQ(right.find("left"), std::string::npos);
  // A frame address that looked like a chapter page would re-arm the program on every chapter.
  EXPECT_EQ(Lower(left).find("study_v"), std::string::npos);
  EXPECT_EQ(Lower(right).find("study_v"), std::string::npos);
  // With nothing opened yet, the content frame shows the first unfinished chapter.
  EXPECT_EQ(right, "http://learn.qmstudy.localhost:18080/stu/book_right.aspx?id=1-002");
}

TEST_F(StudyTest, ChapterListMarksUnfinishedEntriesWithTheirUrlInEntryAndLink) {
  auto page = study.Get("/stu/book_left.aspx?courseId=1");
  ASSERT_TRUE(page);
  ASSERT_EQ(page->status, 200);
  std::regex entry(
      R"re(<li class="([^"]*)">(<a url="([^"]*)" href="([^"]*)" target="chapterContent">.*?</a>).*?</li>)re");
  std::vector<std::string> classes, urls;
  for (std::sregex_iterator it(page->body.begin(), page->body.end(), entry), end; it != end; ++it) {
    classes.push_back((*it)[1].str());
    urls.push_back((*it)[3].str());
    EXPECT_EQ((*it)[3].str(), (*it)[4].str()) << "the link opens the chapter it names";
  }
  EXPECT_EQ(classes, (std::vector<std::string>{"done", "undone", "undone"}));
  EXPECT_EQ(urls, (std::vector<std::string>{"/stu/book_right.aspx?id=1-001",
                                            "/stu/book_right.aspx?id=1-002",
                                            "/stu/book_right.aspx?id=1-003"}));
}

TEST_F(StudyTest, ProgressGrowsWithHeartbeatsAndSurvivesAReload) {
  OpenChapter chapter = Open(study, "/stu/book_right.aspx?id=1-002");
  ASSERT_FALSE(chapter.token.empty());
  EXPECT_EQ(chapter.learned, "00:00:00");
  EXPECT_EQ(chapter.required, "00:01:00");

  site.clock.Advance(seconds(3));
  EXPECT_EQ(Beat(study, chapter)["learned"].String(), "00:00:03");
  site.clock.Advance(seconds(4));
  EXPECT_EQ(Beat(study, chapter)["learned"].String(), "00:00:07");

  OpenChapter reloaded = Open(study, "/stu/book_right.aspx?id=1-002");
  EXPECT_EQ(reloaded.learned, "00:00:07");
  EXPECT_NE(reloaded.token, chapter.token);
  auto opened = site.State()["courses"][0]["chapters"][1];
  EXPECT_EQ(opened["openings"].Int(), 2);
  // Each opening's moment, on the site's clock from its start.
  ASSERT_EQ(opened["openedAtMs"].Size(), 2u);
  EXPECT_EQ(opened["openedAtMs"][0].Int(), 0);
  EXPECT_EQ(opened["openedAtMs"][1].Int(), 7'000);
}

TEST_F(StudyTest, AGapBetweenHeartbeatsIsCreditedOnlyInPart) {
  OpenChapter chapter = Open(study, "/stu/book_right.aspx?id=1-002");
  site.clock.Advance(seconds(600));
  long long credited = Beat(study, chapter)["seconds"].Int();
  EXPECT_GT(credited, 0);
  EXPECT_LT(credited, 60);
}

TEST(CourseListTest, ATableRowACourseWithItsProgressAndWayInSomeFinished) {
  PracticeOptions options = TestOptions();
  options.openStudy = true;
  options.courses = 3;
  options.finishedCourses = {2};
  RunningSite site(options);
  ASSERT_TRUE(site.Started()) << site.Error();
  SiteClient study = site.Study();
  auto list = study.Get("/stu/clslist.aspx");
  ASSERT_TRUE(list);
  std::regex row(
      R"re(<tr class="(\w+)"><td class="name">[^<]+</td><td class="progress">已完成 (\d+/\d+) 章</td><td><a id="course(\d)" href="([^"]+)" target="_blank">进入学习</a></td></tr>)re");
  std::vector<std::string> rows;
  for (std::sregex_iterator it(list->body.begin(), list->body.end(), row), end; it != end; ++it)
    rows.push_back((*it)[1].str() + " " + (*it)[2].str() + " " + (*it)[3].str() + " " +
                   (*it)[4].str());
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "unfinished 1/4 1 /stu/Study_v2.aspx?courseId=1",
                      "finished 4/4 2 /stu/Study_v2.aspx?courseId=2",
                      "unfinished 1/4 3 /stu/Study_v2.aspx?courseId=3",
                  }));
  EXPECT_EQ(study.Get("/stu/book_left.aspx?courseId=2")->body.find("class=\"undone\""),
            std::string::npos);
  EXPECT_EQ(site.State()["courses"][2]["chapters"][1]["done"].Bool(), false);
}

TEST(StudyTimeScaleTest, TheScaleMultipliesTheCreditedTime) {
  PracticeOptions options = TestOptions();
  options.openStudy = true;
  options.timeScale = 30;
  RunningSite site(options);
  ASSERT_TRUE(site.Started()) << site.Error();
  SiteClient study = site.Study();
  OpenChapter chapter = Open(study, "/stu/book_right.aspx?id=1-002");
  site.clock.Advance(std::chrono::milliseconds(2500));
  EXPECT_EQ(Beat(study, chapter)["learned"].String(), "00:01:15");
}

TEST_F(StudyTest, CompletionIsRefusedBeforeTheLevelAndRecordedOnceAfterIt) {
  OpenChapter chapter = Open(study, "/stu/book_right.aspx?id=1-002");
  site.clock.Advance(seconds(4));
  Beat(study, chapter);
  EXPECT_EQ(Finish(study, "1-002"), 403);
  auto state = site.State();
  EXPECT_TRUE(state["completed"].Items().empty());
  EXPECT_FALSE(state["courses"][0]["chapters"][1]["done"].Bool());
  EXPECT_EQ(state["finishRefused"].Int(), 1);

  for (int i = 0; i < 14; ++i) {
    site.clock.Advance(seconds(4));
    Beat(study, chapter);
  }
  EXPECT_EQ(Beat(study, chapter)["learned"].String(), "00:01:00");
  EXPECT_EQ(Finish(study, "1-002"), 200);
  EXPECT_EQ(Finish(study, "1-002"), 200);  // already done: answered, not recorded again

  state = site.State();
  ASSERT_EQ(state["completed"].Size(), 1u);
  EXPECT_EQ(state["completed"][0]["course"].Int(), 1);
  EXPECT_EQ(state["completed"][0]["chapter"].Int(), 2);
  EXPECT_TRUE(state["courses"][0]["chapters"][1]["done"].Bool());
  auto list = study.Get("/stu/book_left.aspx?courseId=1");
  EXPECT_NE(list->body.find("<li class=\"done\"><a url=\"/stu/book_right.aspx?id=1-002\""),
            std::string::npos);
}

// A real platform's everyday quirks: chapter 2's first completion refused, an evaluation after
// it, a player frame of another host, course links written four ways.
TEST(StudyQuirksTest, ARefusalOnceAnEvaluationAPlayerFrameAndOddCourseLinks) {
  PracticeOptions options = TestOptions();
  options.courses = 5;
  options.chapters = 2;
  options.finishedChapters = 0;
  options.chapterSeconds = 4;
  options.refuseCompletionOnce = 2;
  options.evaluationChapter = 2;
  options.foreignFrame = true;
  options.oddCourseLinks = true;
  RunningSite site(options);
  ASSERT_TRUE(site.Started()) << site.Error();
  SiteClient study = EnterStudyPlatform(site);

  auto page = study.Get("/stu/book_right.aspx?id=1-002");
  EXPECT_NE(page->body.find("<iframe id=\"player\" width=\"320\" height=\"60\" "
                            "src=\"http://player.qmvideo.localhost:"),
            std::string::npos);
  EXPECT_NE(page->body.find("if (r.evaluation) window.open(r.evaluation);"), std::string::npos);
  OpenChapter chapter = Open(study, "/stu/book_right.aspx?id=1-002");
  site.clock.Advance(seconds(5));
  Beat(study, chapter);
  auto refused = study.Post("/stu/finish.aspx", {{"id", "1-002"}});
  EXPECT_EQ(refused->status, 500);
  EXPECT_NE(refused->body.find("提交失败"), std::string::npos);
  auto taken = study.Post("/stu/finish.aspx", {{"id", "1-002"}});
  EXPECT_EQ(taken->status, 200);
  EXPECT_EQ(e2e::JsonValue::Parse(taken->body)->operator[]("evaluation").String(),
            "/stu/evaluate.aspx?courseId=1");
  EXPECT_EQ(site.State()["completionsRefusedOnce"].Int(), 1);
  EXPECT_EQ(study.Get("/stu/evaluate.aspx?courseId=1")->status, 200);

  const std::string first = study.Get("/stu/clslist.aspx")->body;
  const std::string second = study.Get("/stu/clslist.aspx")->body;
  for (const char* link :
       {"href=\"../stu/./Study_v2.aspx?courseId=1\"", "href=\"HTTP://LEARN.QMSTUDY.LOCALHOST:",
        "href=\"/stu/Study_v2.aspx?courseId=3&amp;t=", "href=\"/stu/study_v2.aspx?courseId=%34\""})
    EXPECT_NE(first.find(link), std::string::npos) << link;
  EXPECT_NE(Match(first, "courseId=3&amp;t=([0-9]+)"), Match(second, "courseId=3&amp;t=([0-9]+)"))
      << "the token is new at every load";
}

TEST_F(StudyTest, ContentFrameHasTheCompletionControlAndPopupScript) {
  auto page = study.Get("/stu/book_right.aspx?id=1-002");
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("id=\"btnFinish\""), std::string::npos);
  EXPECT_NE(page->body.find("<script src=\"/js/jquery.min.js\"></script>"), std::string::npos);
  EXPECT_NE(page->body.find("$.Msg.tb_show("), std::string::npos);
  EXPECT_NE(page->body.find("alert("), std::string::npos);
  EXPECT_NE(page->body.find("parent.chapterList.location.reload()"), std::string::npos);

  auto jquery = study.Get("/js/jquery.min.js");
  ASSERT_TRUE(jquery);
  EXPECT_EQ(jquery->status, 200);
  EXPECT_NE(jquery->body.find("jQuery"), std::string::npos);
  auto msg = study.Get("/js/msg.js");
  EXPECT_NE(msg->body.find("tb_remove"), std::string::npos);

  study.Post("/stu/popup_closed.aspx", {});
  EXPECT_EQ(site.State()["popupsClosed"].Int(), 1);
}

TEST_F(StudyTest, RefreshShowsTheChapterLastOpenedInEachCourse) {
  Open(study, "/stu/book_right.aspx?id=1-003");
  auto page = study.Get("/stu/Study_v2.aspx?courseId=1");
  EXPECT_NE(page->body.find("src=\"/stu/book_right.aspx?id=1-003\""), std::string::npos);
  auto other = study.Get("/stu/Study_v2.aspx?courseId=2");
  EXPECT_NE(other->body.find("src=\"/stu/book_right.aspx?id=2-002\""), std::string::npos);
  EXPECT_EQ(site.State()["courses"][0]["current"].Int(), 3);
}

TEST(StudyStallTest, TheStallChapterFreezesOnceUntilTheNextOpening) {
  PracticeOptions options = TestOptions();
  options.openStudy = true;
  options.stallChapter = 2;
  options.stallAfterSeconds = 6;
  RunningSite site(options);
  ASSERT_TRUE(site.Started()) << site.Error();
  SiteClient study = site.Study();

  OpenChapter first = Open(study, "/stu/book_right.aspx?id=1-002");
  site.clock.Advance(seconds(4));
  auto beat = Beat(study, first);
  EXPECT_EQ(beat["learned"].String(), "00:00:04");
  EXPECT_FALSE(beat["frozen"].Bool());
  site.clock.Advance(seconds(4));
  beat = Beat(study, first);
  EXPECT_EQ(beat["learned"].String(), "00:00:06");
  EXPECT_TRUE(beat["frozen"].Bool());
  site.clock.Advance(seconds(4));
  EXPECT_EQ(Beat(study, first)["learned"].String(), "00:00:06");

  OpenChapter reloaded = Open(study, "/stu/book_right.aspx?id=1-002");
  EXPECT_EQ(reloaded.learned, "00:00:06");
  site.clock.Advance(seconds(4));
  beat = Beat(study, reloaded);
  EXPECT_EQ(beat["learned"].String(), "00:00:10");
  EXPECT_FALSE(beat["frozen"].Bool());
  site.clock.Advance(seconds(4));
  EXPECT_EQ(Beat(study, reloaded)["learned"].String(), "00:00:14");
  EXPECT_EQ(site.State()["stalls"].Int(), 1);

  // Other chapters never stall.
  OpenChapter third = Open(study, "/stu/book_right.aspx?id=1-003");
  for (int i = 0; i < 3; ++i) {
    site.clock.Advance(seconds(4));
    Beat(study, third);
  }
  EXPECT_EQ(Beat(study, third)["learned"].String(), "00:00:12");
}

TEST_F(StudyTest, BadChapterRequestsAreClearErrorsThatChangeNothing) {
  EXPECT_EQ(study.Get("/stu/Study_v2.aspx")->status, 400);
  EXPECT_EQ(study.Get("/stu/Study_v2.aspx?courseId=abc")->status, 400);
  EXPECT_EQ(study.Get("/stu/Study_v2.aspx?courseId=-1")->status, 400);
  EXPECT_EQ(study.Get("/stu/Study_v2.aspx?courseId=99")->status, 404);
  EXPECT_EQ(study.Get("/stu/book_left.aspx?courseId=3")->status, 404);
  EXPECT_EQ(study.Get("/stu/book_right.aspx?id=1-9")->status, 404);
  EXPECT_EQ(study.Get("/stu/book_right.aspx?id=1")->status, 400);
  EXPECT_EQ(study.Post("/stu/heartbeat.aspx", {{"view", "nope"}})->status, 404);
  EXPECT_EQ(Finish(study, "x-1"), 400);
  EXPECT_EQ(Finish(study, "3-001"), 404);

  auto state = site.State();
  EXPECT_TRUE(state["completed"].Items().empty());
  EXPECT_EQ(state["courses"][0]["current"].Int(), 0);
  EXPECT_EQ(state["courses"][0]["chapters"][1]["openings"].Int(), 0);
}

TEST(StudyPlaceholderTest, TheChapterPageOpensOnAPlaceholderWithoutProgress) {
  PracticeOptions options = TestOptions();
  options.openStudy = true;
  options.contentPlaceholder = true;
  RunningSite site(options);
  ASSERT_TRUE(site.Started()) << site.Error();
  SiteClient study = site.Study();
  for (int round = 0; round < 2; ++round) {
    auto page = study.Get("/stu/Study_v2.aspx?courseId=1");
    ASSERT_TRUE(page);
    std::string content = Match(page->body, R"re(id="chapterContent" src="([^"]+)")re");
    EXPECT_EQ(content, "/stu/book_right.aspx?courseId=1");
    EXPECT_NE(content.find("right"), std::string::npos);
    auto placeholder = study.Get(content);
    ASSERT_TRUE(placeholder);
    EXPECT_EQ(placeholder->status, 200);
    EXPECT_NE(placeholder->body.find("请在左侧选择章节"), std::string::npos);
    for (const char* id : {"learnedTime", "requiredTime", "btnFinish"})
      EXPECT_EQ(placeholder->body.find(id), std::string::npos) << id;
    // Opening a chapter by its link works as before, and the next chapter page still opens on
    // the placeholder.
    EXPECT_EQ(Open(study, "/stu/book_right.aspx?id=1-003").required, "00:01:30");
  }
  EXPECT_NE(study.Get("/stu/book_left.aspx?courseId=1")
                ->body.find("href=\"/stu/book_right.aspx?id=1-002\" target=\"chapterContent\""),
            std::string::npos);
  EXPECT_EQ(study.Get("/stu/book_right.aspx?courseId=9")->status, 404);
  EXPECT_EQ(site.State()["courses"][0]["chapters"][2]["openings"].Int(), 2);
}

class NeverLoadsTest : public ::testing::Test {
 protected:
  static PracticeOptions Options(NeverLoads how, int courses) {
    PracticeOptions options = TestOptions();
    options.openStudy = true;
    options.courses = courses;
    options.neverLoadsChapter = 2;
    options.neverLoadsHow = how;
    return options;
  }
  static std::string Request(int port, int course, int chapter) {
    return GetRequest(
        SiteAddresses::FromProfile().studyHost, port,
        "/stu/book_right.aspx?id=" + std::to_string(course) + "-00" + std::to_string(chapter));
  }
};

TEST_F(NeverLoadsTest, SilentFirstOpeningIsHeldUntilTheSiteStopsWhileEverythingElseIsServed) {
  RunningSite site(Options(NeverLoads::kSilent, 2));
  ASSERT_TRUE(site.Started()) << site.Error();
  RawConnection first(site.HttpPort()), otherCourse(site.HttpPort());
  ASSERT_TRUE(first.Send(Request(site.HttpPort(), 1, 2)));
  ASSERT_TRUE(otherCourse.Send(Request(site.HttpPort(), 2, 2)));
  RawConnection::Answer held = first.Read(std::chrono::milliseconds(500));
  EXPECT_EQ(held.text, "");
  EXPECT_FALSE(held.closed);

  SiteClient study = site.Study();
  EXPECT_EQ(study.Get("/stu/Study_v2.aspx?courseId=1")->status, 200);
  EXPECT_EQ(Open(study, "/stu/book_right.aspx?id=1-003").learned, "00:00:00");
  EXPECT_EQ(site.Portal().Get("/login/")->status, 200);
  // The second opening of the chapter loads as any other.
  OpenChapter again = Open(study, "/stu/book_right.aspx?id=1-002");
  EXPECT_EQ(again.required, "00:01:30");
  EXPECT_FALSE(again.token.empty());

  auto state = site.State();
  EXPECT_EQ(state["neverLoaded"].Int(), 2);
  EXPECT_EQ(state["courses"][0]["chapters"][1]["openings"].Int(), 2);

  // Stopping the site answers what it held, rather than waiting for it for ever.
  site.Stop();
  EXPECT_EQ(first.Read().text.rfind("HTTP/1.1 503", 0), 0u);
  EXPECT_EQ(otherCourse.Read().text.rfind("HTTP/1.1 503", 0), 0u);
}

TEST_F(NeverLoadsTest, OnlyAFewRequestsAreHeldAtOnce) {
  constexpr int kCourses = HeldRequests::kMaxHeld + 2;
  RunningSite site(Options(NeverLoads::kSilent, kCourses));
  ASSERT_TRUE(site.Started()) << site.Error();
  std::vector<std::unique_ptr<RawConnection>> connections;
  for (int course = 1; course <= kCourses; ++course) {
    connections.push_back(std::make_unique<RawConnection>(site.HttpPort()));
    ASSERT_TRUE(connections.back()->Send(Request(site.HttpPort(), course, 2)));
  }
  int refused = 0, unanswered = 0;
  for (auto& connection : connections) {
    std::string answer = connection->Read(std::chrono::milliseconds(300)).text;
    refused += answer.rfind("HTTP/1.1 503", 0) == 0 ? 1 : 0;
    unanswered += answer.empty() ? 1 : 0;
  }
  EXPECT_EQ(refused, 2);
  EXPECT_EQ(unanswered, HeldRequests::kMaxHeld);
  EXPECT_EQ(site.Study().Get("/stu/book_left.aspx?courseId=1")->status, 200);
}

TEST_F(NeverLoadsTest, SpinningFirstOpeningSpinsBeforeItsProgressIsParsed) {
  RunningSite site(Options(NeverLoads::kSpin, 1));
  ASSERT_TRUE(site.Started()) << site.Error();
  SiteClient study = site.Study();
  auto first = study.Get("/stu/book_right.aspx?id=1-002");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->status, 200);
  auto spin = first->body.find("<script>for (;;) {}</script>");
  ASSERT_NE(spin, std::string::npos);
  EXPECT_LT(first->body.find("id=\"chapterTitle\""), spin);
  EXPECT_GT(first->body.find("id=\"learnedTime\""), spin);

  auto second = study.Get("/stu/book_right.aspx?id=1-002");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->body.find("for (;;) {}</script>"), std::string::npos);
  EXPECT_NE(second->body.find("id=\"learnedTime\""), std::string::npos);
  EXPECT_EQ(study.Get("/stu/book_right.aspx?id=1-003")->body.find("for (;;) {}</script>"),
            std::string::npos);
  EXPECT_EQ(site.State()["neverLoaded"].Int(), 1);
}

}  // namespace
}  // namespace larkwend::practice::testing
