// SPDX-License-Identifier: GPL-3.0-or-later
// Script message boxes and the re-entrancy rule: an alert() raised inside a document-model call
// is shown and closed by a click posted from another thread while the call still waits, and the
// dialogs' own handlers that come due meanwhile run only after the call has returned.
#include <atomic>
#include <chrono>
#include <thread>

#include "browser/differ_web.h"
#include "browser_fixture.h"
#include "platform/gtk/common/handler_gate.h"
#include "platform/gtk/common/window_registry.h"
#include "platform/text.h"

namespace larkwend::e2e {
namespace {

using BrowserAlert = BrowserTest;

// Finds the box and its button as the alert dismisser does, from its own thread, and clicks.
class Dismisser {
 public:
  Dismisser()
      : thread_([this] {
          auto& windows = gtk::WindowRegistry::Instance();
          while (!stop_) {
            WindowId box = windows.FindTopLevelWindow(Utf8ToGbk("来自网页的消息"));
            WindowId button = box ? windows.FindChildWindow(box, Utf8ToGbk("确定")) : 0;
            if (button) {
              // Some time with the box up, as the dismisser's own period gives.
              std::this_thread::sleep_for(std::chrono::milliseconds(150));
              ++found_;
              windows.PostClick(button);
              std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
        }) {}
  ~Dismisser() {
    stop_ = true;
    thread_.join();
  }
  int found() const { return found_; }

 private:
  std::atomic<bool> stop_ = false;
  std::atomic<int> found_ = 0;
  std::thread thread_;
};

GtkWidget* FindBox(std::string* label) {
  GtkWidget* found = nullptr;
  GList* all = gtk_window_list_toplevels();
  for (GList* it = all; it; it = it->next) {
    const char* title = gtk_window_get_title(GTK_WINDOW(it->data));
    if (title && std::string(title) == "来自网页的消息" &&
        gtk_widget_get_visible(GTK_WIDGET(it->data)))
      found = GTK_WIDGET(it->data);
  }
  g_list_free(all);
  if (found && label) {
    GtkWidget* box = gtk_bin_get_child(GTK_BIN(found));
    GList* children = gtk_container_get_children(GTK_CONTAINER(box));
    *label = gtk_label_get_text(GTK_LABEL(children->data));
    GtkWidget* button = GTK_WIDGET(children->next->data);
    *label += "|" + std::string(gtk_button_get_label(GTK_BUTTON(button)));
    *label += "|" + std::to_string(g_list_length(children));
    g_list_free(children);
  }
  return found;
}

constexpr const char* kAlertPage = R"(<html><body>
<button id="finish" onclick="alert('本章已完成 <ok>'); document.title = 'after alert';">done</button>
<button id="ask" onclick="document.title = confirm('sure?') ? 'yes' : 'no';">ask</button>
<script>window.onload = () => { if (location.search === '?onload') alert('loaded'); };</script>
</body></html>)";

TEST_F(BrowserAlert, AnAlertRaisedInsideAClickIsShownAndClosedWhileTheCallWaits) {
  server.Page("/alert", kAlertPage);
  ASSERT_TRUE(Load(server.Url("/alert")));

  // While the click waits: the box's look, read on the GUI thread, and a dialog's timer tick
  // that comes due then and must be held back until the call has returned.
  struct Watch {
    std::string seen;
    bool ran = false;
    bool ranDuringCall = false;
  } watch;
  guint source = g_timeout_add(
      10,
      [](gpointer data) -> gboolean {
        auto* w = static_cast<Watch*>(data);
        if (!w->seen.empty() || !FindBox(&w->seen)) return G_SOURCE_CONTINUE;
        gtk::HandlerGate::RunOrDefer([w] {
          w->ran = true;
          w->ranDuringCall = gtk::HandlerGate::Busy();
        });
        return G_SOURCE_CONTINUE;
      },
      &watch);

  CDifferWeb differ;
  bool clicked = false;
  {
    Dismisser dismisser;
    clicked = differ.ClickElementById(Document().get(), "finish");
    EXPECT_EQ(dismisser.found(), 1);
    EXPECT_FALSE(watch.ran) << "the tick waited for the call";
  }
  g_source_remove(source);
  EXPECT_TRUE(clicked);
  EXPECT_EQ(watch.seen, "本章已完成 <ok>|确定|2");
  EXPECT_FALSE(FindBox(nullptr));

  ASSERT_TRUE(PumpUntil([&] { return watch.ran; }, 2000));
  EXPECT_FALSE(watch.ranDuringCall);
  dom::Ref<dom::Window> window;
  ASSERT_EQ(Document()->get_parentWindow(window), dom::kOk);
  EXPECT_EQ(window->execScript("if (document.title !== 'after alert') throw 1;", "JavaScript"),
            dom::kOk)
      << "the page went on after the box was closed";

  // confirm() is answered with OK the same way.
  {
    Dismisser dismisser;
    ASSERT_TRUE(differ.ClickElementById(Document().get(), "ask"));
  }
  EXPECT_EQ(window->execScript("if (document.title !== 'yes') throw 1;", "JavaScript"), dom::kOk);
}

TEST_F(BrowserAlert, AnAlertOfThePageItselfWaitsForItsBox) {
  server.Page("/alert", kAlertPage);
  control->Navigate2(server.Url("/alert?onload"));
  ASSERT_TRUE(PumpUntil([] { return FindBox(nullptr) != nullptr; }, 10000));
  PumpFor(200);
  EXPECT_EQ(sink->TopCompletions(), 0) << "the page waits for the box";
  {
    Dismisser dismisser;
    ASSERT_TRUE(WaitForTopCompletion(0));
  }
  EXPECT_FALSE(FindBox(nullptr));
}

}  // namespace
}  // namespace larkwend::e2e
