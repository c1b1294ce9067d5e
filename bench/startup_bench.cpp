// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up time to the main window, against a bare WebKit window.
//
// Each iteration measures from the start of the program's start-up (TheApp().InitInstance with
// the real update check) to the first drawing of the main window, with no update service on
// 127.0.0.1:19527 (the connection is refused), then closes the window. The reference is a GTK
// window holding a fresh WebKit view opened on the same login page, from creation to its first
// drawing. Run by hand, on a
// display or under Xvfb, with nothing listening on port 19527:
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/bench_startup_bench
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>

#include "app/quillmoor_app.h"
#include "e2e_dialog_lookup.h"
#include "platform/gtk/gtk_platform.h"
#include "resources/site_profile.h"
#include "resources/templates.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::string_view kLoginUrl = larkwend::site::PortalLoginUrl;

struct FirstDraw {
  bool drawn = false;
  Clock::time_point at;
};

gboolean NoteDraw(GtkWidget*, cairo_t*, gpointer data) {
  auto* draw = static_cast<FirstDraw*>(data);
  if (!draw->drawn) {
    draw->drawn = true;
    draw->at = Clock::now();
  }
  return FALSE;
}

// Watches for the program's main window, notes its first drawing, then closes it.
struct MainWindowWatch {
  FirstDraw draw;
  GtkWindow* window = nullptr;

  static gboolean Poll(gpointer data) {
    auto* self = static_cast<MainWindowWatch*>(data);
    if (!self->window) {
      GList* list = gtk_window_list_toplevels();
      for (GList* item = list; item; item = item->next)
        if (larkwend::e2e::DialogTemplateIdOf(GTK_WINDOW(item->data)) == larkwend::IDD_MAIN) {
          self->window = GTK_WINDOW(item->data);
          g_signal_connect(self->window, "draw", G_CALLBACK(NoteDraw), &self->draw);
        }
      g_list_free(list);
      return G_SOURCE_CONTINUE;
    }
    if (!self->draw.drawn) return G_SOURCE_CONTINUE;
    g_signal_handlers_disconnect_by_data(self->window, &self->draw);
    gtk_window_close(self->window);
    return G_SOURCE_REMOVE;
  }
};

void EnsureGtk() {
  static const bool ready = gtk_init_check(nullptr, nullptr);
  if (!ready) std::abort();
}

// state.range(0): 1 runs the real update check against the absent service, 0 skips it.
void BM_ProgramToMainWindow(benchmark::State& state) {
  EnsureGtk();
  if (state.range(0) == 0)
    larkwend::TheApp().m_updateCheck = [](larkwend::Platform&, std::string&) { return 1; };
  else
    larkwend::TheApp().m_updateCheck = nullptr;
  for (auto _ : state) {
    MainWindowWatch watch;
    guint poll = g_timeout_add(1, MainWindowWatch::Poll, &watch);
    const Clock::time_point start = Clock::now();
    {
      larkwend::gtk::GtkPlatform platform;
      larkwend::TheApp().InitInstance(platform.platform());
    }
    if (!watch.draw.drawn) {
      state.SkipWithError("the main window was never drawn");
      break;
    }
    g_source_remove(poll);
    state.SetIterationTime(std::chrono::duration<double>(watch.draw.at - start).count());
  }
}
BENCHMARK(BM_ProgramToMainWindow)
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

void BM_BareWebKitWindow(benchmark::State& state) {
  EnsureGtk();
  for (auto _ : state) {
    FirstDraw draw;
    const Clock::time_point start = Clock::now();
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 1186, 562);
    GtkWidget* view = webkit_web_view_new();
    gtk_container_add(GTK_CONTAINER(window), view);
    // Opened on the same page as the program, so that both start a web process.
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), kLoginUrl.data());
    g_signal_connect(window, "draw", G_CALLBACK(NoteDraw), &draw);
    gtk_widget_show_all(window);
    while (!draw.drawn) g_main_context_iteration(nullptr, TRUE);
    state.SetIterationTime(std::chrono::duration<double>(draw.at - start).count());
    gtk_widget_destroy(window);
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
  }
}
BENCHMARK(BM_BareWebKitWindow)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
