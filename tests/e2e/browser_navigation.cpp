// The control's members and events on real WebKit: loads, redirects, reloads, frames and requests
// for new windows.
#include <algorithm>

#include "browser_fixture.h"

namespace larkwend::e2e {
namespace {

using BrowserNavigation = BrowserTest;

TEST_F(BrowserNavigation, LoadsInTheViewAndReportsTheTopLevelPage) {
  server.Page("/a", "<html><body><p id='p'>first</p></body></html>");
  EXPECT_EQ(VisibleToplevels(), 1);
  dom::Ref<dom::Document> none;
  EXPECT_EQ(control->get_Document(none), dom::kOk);
  EXPECT_FALSE(none) << "no document before the first navigation";

  const std::string url = server.Url("/a?x=1&y=%E4%B8%AD");
  ASSERT_TRUE(Load(url));
  EXPECT_EQ(LocationUrl(), url);
  EXPECT_EQ(ReadyState(), READYSTATE_COMPLETE);
  EXPECT_TRUE(control->HasWindow());

  ASSERT_EQ(sink->before.size(), 1u);
  EXPECT_EQ(sink->before[0].url, url);
  EXPECT_TRUE(sink->before[0].topLevel);
  ASSERT_EQ(sink->complete.size(), 1u);
  EXPECT_EQ(sink->complete[0].url, url);
  EXPECT_TRUE(sink->complete[0].topLevel);
  // The identity is one stable object, not a new one per call.
  EXPECT_EQ(control->ControlIdentity().get(), control->ControlIdentity().get());
}

TEST_F(BrowserNavigation, RedirectsAndReloadsAreNotAnnounced) {
  server.Page("/target", "<html><body>target</body></html>");
  server.Redirect("/moved", "/target");
  ASSERT_TRUE(Load(server.Url("/moved")));
  EXPECT_EQ(LocationUrl(), server.Url("/target"));
  ASSERT_EQ(sink->before.size(), 1u);
  EXPECT_EQ(sink->before[0].url, server.Url("/moved"));

  int completions = sink->TopCompletions();
  control->Refresh();
  ASSERT_TRUE(WaitForTopCompletion(completions));
  EXPECT_EQ(sink->before.size(), 1u) << "a reload raises no BeforeNavigate2";
  EXPECT_EQ(server.Hits("/target"), 2);
}

TEST_F(BrowserNavigation, CancelledNavigationKeepsThePage) {
  server.Page("/stay", "<html><body>stay</body></html>");
  server.Page("/away", "<html><body>away</body></html>");
  ASSERT_TRUE(Load(server.Url("/stay")));
  sink->cancelNavigations = true;
  control->Navigate(server.Url("/away"));
  PumpUntil([&] { return sink->before.size() == 2; }, 5000);
  PumpFor(300);
  EXPECT_EQ(LocationUrl(), server.Url("/stay"));
  EXPECT_EQ(server.Hits("/away"), 0);
}

TEST_F(BrowserNavigation, FrameLoadsCarryTheirOwnObjectsAndTheTopCompletesOnce) {
  server.Page("/frames",
              "<html><body><iframe name='left' src='/left'></iframe>"
              "<iframe name='right' src='/right'></iframe>"
              "<a id='go' href='/left2' target='left'>go</a></body></html>");
  server.Page("/left", "<html><body>left</body></html>");
  server.Page("/left2", "<html><body>left again</body></html>");
  server.Page("/right", "<html><body>right</body></html>");
  ASSERT_TRUE(Load(server.Url("/frames")));
  EXPECT_EQ(ReadyState(), READYSTATE_COMPLETE);

  std::vector<std::string> frameNavigations, frameCompletions;
  for (const auto& e : sink->before)
    if (!e.topLevel) frameNavigations.push_back(e.url);
  for (const auto& e : sink->complete)
    if (!e.topLevel) frameCompletions.push_back(e.url);
  std::sort(frameNavigations.begin(), frameNavigations.end());
  std::sort(frameCompletions.begin(), frameCompletions.end());
  std::vector<std::string> frames = {server.Url("/left"), server.Url("/right")};
  EXPECT_EQ(frameNavigations, frames);
  EXPECT_EQ(frameCompletions, frames);
  EXPECT_EQ(sink->TopCompletions(), 1);
  EXPECT_EQ(sink->complete.back().url, server.Url("/frames")) << "the top level completes last";

  // A link aimed at a frame navigates that frame, not the page.
  sink->before.clear();
  ASSERT_TRUE(ById(Document(), "go"));
  ASSERT_EQ(ById(Document(), "go")->click(), dom::kOk);
  ASSERT_TRUE(PumpUntil([&] { return server.Hits("/left2") == 1; }, 5000));
  ASSERT_EQ(sink->before.size(), 1u);
  EXPECT_EQ(sink->before[0].url, server.Url("/left2"));
  EXPECT_FALSE(sink->before[0].topLevel);
  EXPECT_EQ(LocationUrl(), server.Url("/frames"));
}

TEST_F(BrowserNavigation, NewWindowRequestsLoadInTheSameView) {
  server.Page("/opener",
              "<html><body>"
              "<a id='blank' href='/popup1' target='_blank'>blank</a>"
              "<button id='open' onclick=\"window.open('/popup2')\">open</button>"
              "</body></html>");
  server.Page("/popup1", "<html><body>one</body></html>");
  server.Page("/popup2", "<html><body>two</body></html>");
  ASSERT_TRUE(Load(server.Url("/opener")));

  int completions = sink->TopCompletions();
  ASSERT_EQ(ById(Document(), "blank")->click(), dom::kOk);
  ASSERT_TRUE(WaitForTopCompletion(completions));
  EXPECT_EQ(LocationUrl(), server.Url("/popup1"));

  ASSERT_TRUE(Load(server.Url("/opener")));
  completions = sink->TopCompletions();
  ASSERT_EQ(ById(Document(), "open")->click(), dom::kOk);
  ASSERT_TRUE(WaitForTopCompletion(completions));
  EXPECT_EQ(LocationUrl(), server.Url("/popup2"));

  EXPECT_EQ(sink->newWindows,
            (std::vector<std::string>{server.Url("/popup1"), server.Url("/popup2")}));
  EXPECT_EQ(VisibleToplevels(), 1) << "no second window";
}

}  // namespace
}  // namespace larkwend::e2e
