// SPDX-License-Identifier: GPL-3.0-or-later
// The chapter scanner on real WebKit against the practice site's chapter page: the unfinished
// chapters it lists, the completion it presses once the required time is reached, and the reload
// of a chapter whose progress display has stalled.
//
// The main window's scanner works through its browser only, so the window is not opened here:
// the browser control sits in a plain window of its own and is attached to the dialog's browser
// wrapper. The program's own alert dismisser closes the message box that completion raises.
//
// The last progress text of the completion check lives for the whole process; the tests below
// use progress displays that cannot coincide with one another.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/quillmoor_dlg.h"
#include "automation/alert_dismisser.h"
#include "browser/conversions.h"
#include "e2e_harness.h"
#include "e2e_practice_site.h"
#include "platform/gtk/common/window_registry.h"
#include "platform/gtk/gtk_platform.h"
#include "platform/gtk/web/webkit_browser_control.h"
#include "resources/site_profile.h"

namespace larkwend::e2e {
namespace {

using namespace std::chrono_literals;

// The practice site's address of a chapter's content, as its chapter list links it.
std::string ChapterAddress(int course, int chapter) {
  char path[64];
  std::snprintf(path, sizeof path, "/stu/book_right.aspx?id=%d-%03d", course, chapter);
  return path;
}

// How often the site has opened a chapter in its content frame.
long long ChapterOpenings(const PracticeSite& site, int course, int chapter) {
  JsonValue state = site.StateValue();
  return state["courses"][static_cast<std::size_t>(course - 1)]["chapters"]
              [static_cast<std::size_t>(chapter - 1)]["openings"]
                  .Int(-1);
}

class ChapterScannerE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gtk_init(nullptr, nullptr); }

  void SetUp() override {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window_), 1000, 700);
    gtk_container_add(GTK_CONTAINER(window_), control_->widget());
    gtk_widget_show_all(window_);
    dlg_->m_browser.Attach(control_.get());
  }

  void TearDown() override {
    dlg_.reset();  // gives its frame documents back while the browser is still there
    control_.reset();
    gtk_widget_destroy(window_);
    PumpFor(50);
  }

  // Opens the course's chapter page and waits until the scanner finds its two frames.
  bool OpenChapterPage(int course) {
    dlg_->m_browser.Navigate2(PracticeSite::ChapterPageUrl(course));
    return WaitForChapterPage();
  }
  bool WaitForChapterPage(int timeoutMs = 15000) {
    return PumpUntil(
        [this] {
          return dlg_->m_browser.GetReadyState() == READYSTATE_COMPLETE &&
                 dlg_->FindChapterFrames();
        },
        timeoutMs);
  }

  // What the content frame's progress display shows now ("" when it cannot be read).
  std::string ProgressText() {
    if (!dlg_->FindChapterFrames()) return {};
    dom::Ref<dom::Document3> content;
    dom::Ref<dom::Element> progress;
    dom::WideText text;
    if (dom::Failed(dom::Query(dlg_->m_rightFrameDoc.get(), content)) ||
        dom::Failed(content->getElementById(std::string(site::ProgressElementId), progress)) ||
        !progress || dom::Failed(progress->get_outerText(text)))
      return {};
    return ToNarrow(text);
  }

  // Runs a completion check every `period` (longer than the page's progress updates, so a
  // moving display always reads differently) until `done(progress shown, result)` holds; false
  // after `timeoutMs`.
  bool CheckEvery(std::chrono::milliseconds period,
                  const std::function<bool(const std::string&, int)>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
      PumpFor(static_cast<int>(period.count()));
      std::string progress = ProgressText();
      if (done(progress, dlg_->CheckChapterCompletion())) return true;
    }
    return false;
  }

  CQuillmoorDlg& dlg() { return *dlg_; }

 private:
  // Closes the message box that the site's completion raises, as in the program.
  struct AlertDismisser {
    std::atomic<bool> run{true};
    std::thread thread{AlertDismisserThread, std::ref(gtk::WindowRegistry::Instance()),
                       std::cref(run), 100ms};
    ~AlertDismisser() {
      run = false;
      thread.join();
    }
  };

  gtk::GtkPlatform platform_;
  std::unique_ptr<gtk::WebKitBrowserControl> control_ = gtk::WebKitBrowserControl::Create();
  std::unique_ptr<CQuillmoorDlg> dlg_ = std::make_unique<CQuillmoorDlg>(platform_.platform());
  GtkWidget* window_ = nullptr;
  AlertDismisser dismisser_;
};

TEST_F(ChapterScannerE2E, ListsTheSitesUnfinishedChaptersInPageOrder) {
  PracticeSite site({"--open-study", "--courses", "2", "--chapters", "7", "--finished", "3"});
  ASSERT_TRUE(site.Ready()) << site.Error();
  ASSERT_TRUE(OpenChapterPage(2));

  std::vector<std::string> expected;
  for (int chapter = 1; chapter <= 7; ++chapter)
    if (!site.ChapterDone(2, chapter)) expected.push_back(ChapterAddress(2, chapter));
  ASSERT_EQ(expected.size(), 4u);

  EXPECT_EQ(dlg().ScanUnfinishedChapters(), 1);
  EXPECT_EQ(dlg().m_chapterUrls, expected);
}

TEST_F(ChapterScannerE2E, PressesCompletionOnceTheRequiredTimeIsReached) {
  // Six study seconds at three per real second: the chapter is due after about two seconds.
  PracticeSite site({"--open-study", "--courses", "1", "--chapters", "3", "--finished", "1",
                     "--chapter-seconds", "6", "--time-scale", "3"});
  ASSERT_TRUE(site.Ready()) << site.Error();
  ASSERT_TRUE(OpenChapterPage(1));
  ASSERT_EQ(site.CurrentChapter(1), 2);

  std::vector<std::string> seen;
  ASSERT_TRUE(CheckEvery(
      1200ms,
      [&](const std::string& progress, int result) {
        seen.push_back(progress);
        return result == 1;
      },
      30000));
  EXPECT_GE(seen.back(), "00:00:06");
  EXPECT_TRUE(PumpUntil([&] { return site.CompletedChapterCount() > 0; }, 10000));
  EXPECT_EQ(site.CompletedChapterCount(), 1);
  EXPECT_TRUE(site.ChapterDone(1, 2));
  // The site refuses a completion that comes before the required time.
  EXPECT_EQ(site.FinishRefused(), 0);
}

TEST_F(ChapterScannerE2E, ReloadsAStalledChapterWhoseProgressThenMovesAgain) {
  // Chapter 2 freezes four study seconds into its first opening; reopened, it runs on.
  PracticeSite site({"--open-study", "--courses", "1", "--chapters", "3", "--finished", "1",
                     "--chapter-seconds", "600", "--time-scale", "3", "--stall-chapter", "2",
                     "--stall-after", "4"});
  ASSERT_TRUE(site.Ready()) << site.Error();
  ASSERT_TRUE(OpenChapterPage(1));

  // Checks go on until one reloads the page.
  std::string frozen;
  ASSERT_TRUE(CheckEvery(
      1200ms,
      [&](const std::string& progress, int result) {
        EXPECT_NE(result, 1);
        if (result == -1) frozen = progress;
        return result == -1;
      },
      30000));
  EXPECT_EQ(site.Stalls(), 1);
  ASSERT_FALSE(frozen.empty());

  // The reload opened the chapter again, and this opening runs on from where the last stopped.
  ASSERT_TRUE(WaitForChapterPage());
  EXPECT_TRUE(PumpUntil([&] { return ChapterOpenings(site, 1, 2) == 2; }, 10000));
  EXPECT_TRUE(PumpUntil([&] { return ProgressText() > frozen; }, 10000))
      << "progress stayed at " << frozen;
  EXPECT_EQ(dlg().CheckChapterCompletion(), 0) << "the moving chapter is checked as before";
  EXPECT_EQ(site.Stalls(), 1);
}

}  // namespace
}  // namespace larkwend::e2e
