// SPDX-License-Identifier: GPL-3.0-or-later
// What pages see of the window and of their media in the real engine: always shown, the focus
// kept while the program asks for it, and a video that fails reported with why.
#include <sstream>
#include <string>

#include "browser_fixture.h"

namespace larkwend::e2e {
namespace {

using BrowserPresence = BrowserTest;

// Notes into the page what the page's own script sees, as courseware that pauses when it is not
// watched would: "<state> <hidden> <focus> <visibilitychange events> <blur events>".
constexpr const char* kWatchingScript = R"(<script>
  var changes = 0, blurs = 0;
  document.addEventListener('visibilitychange', function () { ++changes; });
  window.onblur = function () { ++blurs; };
  // A frame tells its parent, which shows it: the frame may be another host's.
  window.onmessage = function (e) { document.getElementById('frameSeen').textContent = e.data; };
  setInterval(function () {
    var seen = [document.visibilityState, document.hidden, document.hasFocus(), changes,
        blurs].join(' ');
    if (window.parent !== window) parent.postMessage(seen, '*');
    else document.getElementById('seen').textContent = seen;
  }, 50);
</script>)";

std::string WatchingPage(const std::string& frame) {
  return std::string("<html><body><p id='seen'></p><p id='frameSeen'></p>") +
         (frame.empty() ? "" : "<iframe id='f' src='" + frame + "'></iframe>") + kWatchingScript +
         "</body></html>";
}

class Watching : public BrowserPresence {
 protected:
  // What the top page saw last, or its frame's (reached through the frame's document).
  std::string Seen(const char* who = "seen") {
    return Text([&](dom::WideText& text) {
      dom::Ref<dom::Element> seen = ById(Document(), who);
      return seen ? seen->get_outerText(text) : dom::kFailed;
    });
  }
  // The page and its frame both see `expected`.
  bool SeeSoon(const std::string& expected) {
    return PumpUntil([&] { return Seen() == expected && Seen("frameSeen") == expected; }, 3000);
  }
  std::string Both() { return Seen() + " / " + Seen("frameSeen"); }
  // The focus goes to another window of the desktop, or comes back (without a window manager,
  // presenting a window gives it the input focus).
  void FocusGoesToAnotherWindow() {
    if (!other) {
      other = gtk_window_new(GTK_WINDOW_TOPLEVEL);
      gtk_widget_show_all(other);
    }
    gtk_window_present(GTK_WINDOW(other));
  }
  void FocusComesBack() { gtk_window_present(GTK_WINDOW(window)); }
  void TearDown() override {
    if (other) gtk_widget_destroy(other);
    BrowserPresence::TearDown();
  }
  GtkWidget* other = nullptr;
};

TEST_F(Watching, APageSeesItselfShownWhenItsViewIsHiddenOrTheWindowMinimised) {
  server.Page("/watch", WatchingPage(""));
  ASSERT_TRUE(Load(server.Url("/watch")));
  ASSERT_TRUE(PumpUntil([&] { return Seen().starts_with("visible false"); }, 5000)) << Seen();
  gtk_window_iconify(GTK_WINDOW(window));
  gtk_widget_hide(control->widget());
  PumpFor(1500);  // the engine hides the page at once, and slows its timers to a second
  EXPECT_TRUE(Seen().starts_with("visible false")) << Seen();
  gtk_widget_show(control->widget());
  gtk_window_deiconify(GTK_WINDOW(window));
  PumpFor(300);
  std::istringstream seen(Seen());
  std::string state, hidden, focus;
  int changes = -1;
  seen >> state >> hidden >> focus >> changes;
  EXPECT_EQ(state + " " + hidden + " " + std::to_string(changes), "visible false 0") << Seen();
}

TEST_F(Watching, WhileKeptThePagesAndTheirFramesNeverSeeTheWindowLoseTheFocus) {
  // The frame comes from another host: it is reached by the program's word all the same.
  server.Page("/frame", WatchingPage(""));
  const std::string frame = "http://localhost" + server.Url("/frame").substr(16);
  server.Page("/watch", WatchingPage(frame));
  control->KeepPagesFocused(true);
  ASSERT_TRUE(Load(server.Url("/watch")));
  FocusComesBack();
  ASSERT_TRUE(SeeSoon("visible false true 0 0")) << Both();
  FocusGoesToAnotherWindow();
  PumpFor(300);
  EXPECT_EQ(Both(), "visible false true 0 0 / visible false true 0 0");

  // Let go, the pages shown hear it at once and see the window's focus as it is.
  FocusComesBack();
  control->KeepPagesFocused(false);
  PumpFor(300);
  FocusGoesToAnotherWindow();
  EXPECT_TRUE(PumpUntil([&] { return Seen() == "visible false false 0 1"; }, 3000)) << Both();
  control->KeepPagesFocused(true);
  EXPECT_TRUE(PumpUntil([&] { return Seen() == "visible false true 0 1"; }, 3000)) << Both();
}

// The engine says "not supported" for a format it cannot play and for an address the server
// did not serve; the server's answer tells them apart, in the page and in its frames.
TEST_F(BrowserPresence, AVideoThatFailsIsReportedWithWhy) {
  server.Page("/not-a-video", "<html><body>text</body></html>");
  server.Page("/frame", "<html><body><video src='/gone.mp4' autoplay></video></body></html>");
  server.Page("/lesson",
              "<html><body><video src='/not-a-video' autoplay></video>"
              "<iframe src='/frame'></iframe></body></html>");
  ASSERT_TRUE(Load(server.Url("/lesson")));
  const std::string unsupported = "media failed " + server.Url("/lesson") + " 2 0";
  const std::string notFound = "media failed " + server.Url("/frame") + " 3 404";
  EXPECT_TRUE(PumpUntil([&] { return sink->Saw(unsupported) && sink->Saw(notFound); }, 5000))
      << ::testing::PrintToString(sink->facts);
}

}  // namespace
}  // namespace larkwend::e2e
