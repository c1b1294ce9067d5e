// SPDX-License-Identifier: GPL-3.0-or-later
// The practice site's pages in the real browser host: the login form submits to the user pages
// while the login page can still be read, the personal centre leads into the study platform, and
// the chapter page offers its two frames, its chapter list and its progress to the document model,
// and completes a chapter with pop-up, alert and a refreshed list.
#include <atomic>
#include <regex>
#include <thread>

#include "browser/differ_web.h"
#include "browser_fixture.h"
#include "e2e_practice_site.h"
#include "platform/gtk/common/window_registry.h"
#include "platform/text.h"

namespace larkwend::e2e {
namespace {

using PracticePages = BrowserTest;

std::string Read(const std::function<dom::Status(dom::WideText&)>& read) {
  dom::WideText text;
  return dom::Succeeded(read(text)) ? text.value_or("") : std::string("<failed>");
}

// The frame documents of `top` whose addresses contain "left" and "right".
struct Frames {
  int count = 0;
  std::vector<std::string> urls;
  dom::Ref<dom::Document> left, right;
};

Frames FindFrames(const dom::Ref<dom::Document>& top) {
  Frames frames;
  dom::Ref<dom::FramesCollection> collection;
  long length = 0;
  if (!top || dom::Failed(top->get_frames(collection)) || !collection ||
      dom::Failed(collection->get_length(length))) {
    return frames;
  }
  frames.count = static_cast<int>(length);
  for (long i = 0; i < length; ++i) {
    dom::Ref<dom::Dispatch> item;
    dom::Ref<dom::Window> window;
    dom::Ref<dom::Document> document;
    if (dom::Failed(collection->item(i, item)) || dom::Failed(dom::Query(item.get(), window)) ||
        dom::Failed(window->get_document(document)) || !document) {
      continue;
    }
    std::string url = Read([&](dom::WideText& t) { return document->get_URL(t); });
    frames.urls.push_back(url);
    if (url.find("left") != std::string::npos) frames.left = document;
    if (url.find("right") != std::string::npos) frames.right = document;
  }
  return frames;
}

// Clicks away the browser's script message boxes from a thread of its own, as the program does.
class BoxCloser {
 public:
  BoxCloser()
      : thread_([this] {
          auto& windows = gtk::WindowRegistry::Instance();
          while (!stop_) {
            WindowId box = windows.FindTopLevelWindow(Utf8ToGbk("来自网页的消息"));
            if (WindowId button = box ? windows.FindChildWindow(box, Utf8ToGbk("确定")) : 0) {
              ++closed_;
              windows.PostClick(button);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
          }
        }) {}
  ~BoxCloser() {
    stop_ = true;
    thread_.join();
  }
  int closed() const { return closed_; }

 private:
  std::atomic<bool> stop_ = false;
  std::atomic<int> closed_ = 0;
  std::thread thread_;
};

TEST_F(PracticePages, LoginSubmitsToTheUserPagesAndTheCentreLeadsToTheCourses) {
  PracticeSite site({"--fixed-code", "2468"});
  ASSERT_TRUE(site.Ready()) << site.Error();
  ASSERT_TRUE(Load(PracticeSite::PortalUrl("/login/")));

  CDifferWeb differ;
  dom::Ref<dom::Document> login = Document();
  EXPECT_EQ(Read([&](dom::WideText& t) { return ById(login, "verifyCode")->get_outerText(t); }),
            "2468");
  ASSERT_TRUE(differ.SetInputValue(login.get(), "txtUserName", "Student01"));
  ASSERT_TRUE(differ.SetInputValue(login.get(), "txtPassword", "pass123"));
  ASSERT_TRUE(differ.SetInputValue(login.get(), "txtCode", "2468"));

  // While the browser is about to go to the user pages, the login page is still the document.
  std::string leavingPassword;
  std::string userPageAddress;
  sink->onBeforeNavigate = [&](const std::string& url) {
    if (url.find("kvt/user") == std::string::npos || !userPageAddress.empty()) return;
    userPageAddress = url;
    differ.GetInputValue(Document().get(), "txtPassword", leavingPassword);
  };
  int completions = sink->TopCompletions();
  ASSERT_TRUE(differ.ClickElementById(login.get(), "btnLogin2"));
  ASSERT_TRUE(WaitForTopCompletion(completions));
  EXPECT_EQ(userPageAddress, PracticeSite::PortalUrl("/kvt/user/login"));
  EXPECT_EQ(leavingPassword, "pass123");
  EXPECT_EQ(LocationUrl(), PracticeSite::PortalUrl("/kvt/user/"));
  ASSERT_EQ(site.Logins().size(), 1u);
  EXPECT_EQ(site.Logins()[0].outcome, "ok");

  // The centre's link asks for a new window; kept in this view it opens the course list.
  completions = sink->TopCompletions();
  ASSERT_TRUE(differ.ClickElementById(Document().get(), "studyLink"));
  ASSERT_TRUE(WaitForTopCompletion(completions));
  ASSERT_EQ(sink->newWindows.size(), 1u);
  EXPECT_EQ(LocationUrl().rfind(PracticeSite::StudyUrl("/stu/clslist.aspx?ticket="), 0), 0u);
  EXPECT_TRUE(ById(Document(), "course1"));

  // The study platform's own cookie now admits its plain address.
  ASSERT_TRUE(Load(PracticeSite::StudyUrl("/stu/clslist.aspx")));
  EXPECT_TRUE(ById(Document(), "course1"));
}

TEST_F(PracticePages, AutoStudentPagesWalkFromTheLoginPageToTheFirstCourseByThemselves) {
  PracticeSite site({"--auto-student", "--courses", "2"});
  ASSERT_TRUE(site.Ready()) << site.Error();
  // The login page submits itself as a student would: the page being left can be read.
  std::string leavingUser;
  sink->onBeforeNavigate = [&](const std::string& url) {
    if (url.find("kvt/user/login") == std::string::npos || !leavingUser.empty()) return;
    CDifferWeb().GetInputValue(Document().get(), "txtUserName", leavingUser);
  };
  ASSERT_TRUE(Load(PracticeSite::PortalUrl("/login/")));
  ASSERT_TRUE(PumpUntil([&] { return site.CurrentChapter(1) != 0; }, 20000));
  EXPECT_EQ(leavingUser, "Student01");
  ASSERT_EQ(site.Logins().size(), 1u);
  EXPECT_EQ(site.Logins()[0].outcome, "ok");
  EXPECT_EQ(site.StateValue()["loginShown"].Size(), 1u);
  EXPECT_EQ(site.CurrentChapter(2), 0);
  EXPECT_TRUE(PumpUntil([&] { return LocationUrl() == PracticeSite::ChapterPageUrl(1); }, 5000));
}

TEST_F(PracticePages, ChapterPageOffersTwoFramesTheUnfinishedChaptersAndTheProgress) {
  PracticeSite site({"--open-study", "--chapters", "4", "--finished", "1"});
  ASSERT_TRUE(site.Ready()) << site.Error();
  ASSERT_TRUE(Load(PracticeSite::ChapterPageUrl(1)));
  ASSERT_EQ(ReadyState(), 4);

  Frames frames = FindFrames(Document());
  ASSERT_EQ(frames.count, 2);
  ASSERT_TRUE(frames.left);
  ASSERT_TRUE(frames.right);
  for (const std::string& url : frames.urls) {
    std::string lower = url;
    LowerCaseGbk(lower);
    EXPECT_EQ(lower.find("study_v"), std::string::npos) << url;
  }

  // The unfinished entries, as the chapter scanner reads them: class and url attribute.
  dom::Ref<dom::ElementCollection> all;
  long length = 0;
  ASSERT_EQ(frames.left->get_all(all), dom::kOk);
  ASSERT_EQ(all->get_length(length), dom::kOk);
  std::vector<std::string> urls;
  for (long i = 0; i < length; ++i) {
    dom::Ref<dom::Dispatch> item;
    dom::Ref<dom::Element> element;
    if (dom::Failed(all->item(i, item)) || dom::Failed(dom::Query(item.get(), element))) continue;
    if (Read([&](dom::WideText& t) { return element->get_className(t); }) != "undone") continue;
    std::string inner = Read([&](dom::WideText& t) { return element->get_innerHTML(t); });
    std::smatch match;
    ASSERT_TRUE(std::regex_search(inner, match, std::regex("url=\"([^\"]*)\""))) << inner;
    urls.push_back(match[1].str());
  }
  ASSERT_EQ(urls, (std::vector<std::string>{"/stu/book_right.aspx?id=1-002",
                                            "/stu/book_right.aspx?id=1-003",
                                            "/stu/book_right.aspx?id=1-004"}));
  // Each one's link carries the same text in its own markup.
  dom::Ref<dom::ElementCollection> links;
  ASSERT_EQ(frames.left->get_links(links), dom::kOk);
  int linked = 0;
  for (const std::string& url : urls) {
    long count = 0;
    links->get_length(count);
    for (long i = 0; i < count; ++i) {
      dom::Ref<dom::Dispatch> item;
      dom::Ref<dom::Element> link;
      if (dom::Failed(links->item(i, item)) || dom::Failed(dom::Query(item.get(), link))) continue;
      if (Read([&](dom::WideText& t) { return link->get_outerHTML(t); }).find(url) !=
          std::string::npos) {
        ++linked;
        break;
      }
    }
  }
  EXPECT_EQ(linked, 3);

  std::regex clock("\\d\\d:\\d\\d:\\d\\d");
  auto progress = ById(frames.right, "learnedTime");
  auto required = ById(frames.right, "requiredTime");
  ASSERT_TRUE(progress);
  ASSERT_TRUE(required);
  EXPECT_TRUE(
      std::regex_match(Read([&](dom::WideText& t) { return progress->get_outerText(t); }), clock));
  EXPECT_EQ(Read([&](dom::WideText& t) { return required->get_outerText(t); }), "00:01:30");
  EXPECT_TRUE(ById(frames.right, "btnFinish"));
}

TEST_F(PracticePages, FinishingAChapterShowsThePopupAndAlertAndRefreshesTheList) {
  PracticeSite site({"--open-study", "--chapters", "2", "--finished", "0", "--chapter-seconds",
                     "60", "--time-scale", "120"});
  ASSERT_TRUE(site.Ready()) << site.Error();
  ASSERT_TRUE(Load(PracticeSite::ChapterPageUrl(1)));
  Frames frames = FindFrames(Document());
  ASSERT_TRUE(frames.right);

  // The page's heartbeats move the display; wait until it reaches the level.
  auto progressText = [&] {
    Frames now = FindFrames(Document());
    auto progress = ById(now.right, "learnedTime");
    return progress ? Read([&](dom::WideText& t) { return progress->get_outerText(t); }) : "";
  };
  ASSERT_TRUE(PumpUntil([&] { return progressText() >= "00:01:00"; }, 20000)) << progressText();

  CDifferWeb differ;
  {
    BoxCloser closer;
    ASSERT_TRUE(differ.ClickElementById(frames.right.get(), "btnFinish"));
    EXPECT_EQ(closer.closed(), 1);
  }
  EXPECT_EQ(site.CompletedChapters(), (std::vector<std::pair<int, int>>{{1, 1}}));
  EXPECT_TRUE(ById(FindFrames(Document()).right, "TB_window")) << "the pop-up is open";

  // The page's own script closes the pop-up, as the program runs it.
  dom::Ref<dom::Window> window;
  ASSERT_EQ(FindFrames(Document()).right->get_parentWindow(window), dom::kOk);
  EXPECT_EQ(window->execScript("$.Msg.tb_remove();", "JavaScript"), dom::kOk);
  EXPECT_FALSE(ById(FindFrames(Document()).right, "TB_window"));
  EXPECT_TRUE(PumpUntil([&] { return site.PopupsClosed() == 1; }, 5000));

  // The list frame reloads and shows the chapter finished.
  ASSERT_TRUE(PumpUntil(
      [&] {
        Frames now = FindFrames(Document());
        dom::Ref<dom::ElementCollection> all;
        long length = 0;
        if (!now.left || dom::Failed(now.left->get_all(all)) ||
            dom::Failed(all->get_length(length)))
          return false;
        int undone = 0;
        for (long i = 0; i < length; ++i) {
          dom::Ref<dom::Dispatch> item;
          dom::Ref<dom::Element> element;
          if (dom::Succeeded(all->item(i, item)) &&
              dom::Succeeded(dom::Query(item.get(), element)) &&
              Read([&](dom::WideText& t) { return element->get_className(t); }) == "undone")
            ++undone;
        }
        return undone == 1;
      },
      5000));
}

}  // namespace
}  // namespace larkwend::e2e
