// SPDX-License-Identifier: GPL-3.0-or-later
// The chapter scan on real WebKit: a chapter list frame of 2,000 elements holding 200 unfinished
// entries, read through the document-model bridge. What matters is how many bridge round trips
// one scan costs (the "round_trips" counter, per scan) besides the time per scan.
//
// Needs a display: xvfb-run -a build/bin/bench_scan_bench. The pages come from a loopback HTTP
// server that the benchmark starts itself on a free port of 127.0.0.1.
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/quillmoor_dlg.h"
#include "e2e_round_trips.h"
#include "platform/gtk/gtk_platform.h"
#include "platform/gtk/web/webkit_browser_control.h"
#include "resources/site_profile.h"

namespace {

using larkwend::CQuillmoorDlg;

constexpr long kElements = 2000;
constexpr std::size_t kUnfinished = 200;

// The list frame: html, head, meta, title, body and ul are six elements; every entry is an li
// with its link inside. Finished entries fill the list up to kElements, and the unfinished ones
// are spread evenly through it.
std::string ChapterListPage() {
  constexpr long kFrameElements = 6;
  constexpr long kEntries = (kElements - kFrameElements) / 2;
  static_assert(kFrameElements + 2 * kEntries == kElements);
  constexpr long kSpacing = kEntries / static_cast<long>(kUnfinished);
  std::string items;
  for (long i = 0; i < kEntries; ++i) {
    bool unfinished = i % kSpacing == 0 && i / kSpacing < static_cast<long>(kUnfinished);
    std::string url = "/bench/book_right.aspx?id=" + std::to_string(i);
    items += "<li class=\"" +
             (unfinished ? std::string(larkwend::site::UnfinishedChapterClass) : "done") +
             "\"><a url=\"" + url + "\" href=\"" + url + "\">Chapter " + std::to_string(i) +
             "</a></li>\n";
  }
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>list</title></head><body>"
         "<ul>\n" +
         items + "</ul></body></html>";
}

class LoopbackSite {
 public:
  LoopbackSite() {
    const std::string list = ChapterListPage();
    server_.Get("/bench/Study_v2.aspx", [](const httplib::Request&, httplib::Response& r) {
      r.set_content(
          "<!DOCTYPE html><html><frameset cols=\"300,*\">"
          "<frame name=\"chapterList\" src=\"/bench/book_left.aspx\">"
          "<frame name=\"chapterContent\" src=\"/bench/book_right.aspx?id=0\"></frameset></html>",
          "text/html; charset=utf-8");
    });
    server_.Get("/bench/book_left.aspx", [list](const httplib::Request&, httplib::Response& r) {
      r.set_content(list, "text/html; charset=utf-8");
    });
    server_.Get("/bench/book_right.aspx", [](const httplib::Request&, httplib::Response& r) {
      r.set_content(
          "<!DOCTYPE html><html><body><span id=\"learnedTime\">00:00:10</span>"
          "<span id=\"requiredTime\">00:01:30</span></body></html>",
          "text/html; charset=utf-8");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~LoopbackSite() {
    server_.stop();
    thread_.join();
  }

  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// The main window's scanner over a WebKit view showing the chapter page. The window itself is
// never opened: the scanner needs only the browser.
struct Scene {
  LoopbackSite site;
  larkwend::gtk::GtkPlatform platform;
  std::unique_ptr<larkwend::gtk::WebKitBrowserControl> control =
      larkwend::gtk::WebKitBrowserControl::Create();
  struct Window {
    GtkWidget* widget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    ~Window() { gtk_widget_destroy(widget); }
  } window;
  CQuillmoorDlg dlg{platform.platform()};  // goes first: it gives its documents back

  Scene() {
    gtk_window_set_default_size(GTK_WINDOW(window.widget), 1000, 700);
    gtk_container_add(GTK_CONTAINER(window.widget), control->widget());
    gtk_widget_show_all(window.widget);
    dlg.m_browser.Attach(control.get());
  }

  // Loads the chapter page; false when it did not become a chapter page in time.
  bool Load() {
    dlg.m_browser.Navigate2(site.Url("/bench/Study_v2.aspx"));
    return PumpUntil(
        [this] {
          return dlg.m_browser.GetReadyState() == larkwend::READYSTATE_COMPLETE &&
                 dlg.FindChapterFrames();
        },
        std::chrono::seconds(30));
  }

  long ListElements() {
    larkwend::dom::Ref<larkwend::dom::ElementCollection> all;
    long length = -1;
    if (dlg.m_leftFrameDoc && larkwend::dom::Succeeded(dlg.m_leftFrameDoc->get_all(all)) && all)
      all->get_length(length);
    return length;
  }
};

Scene* g_scene = nullptr;

// Runs `operation` once per iteration on the loaded chapter page and reports the bridge round
// trips per iteration. The operation answers null when it worked, else what went wrong.
template <typename Operation>
void MeasureRoundTrips(benchmark::State& state, Operation operation) {
  if (!g_scene) {
    state.SkipWithError("the chapter page did not load");
    return;
  }
  const std::uint64_t before = larkwend::e2e::BridgeRoundTrips();
  for (auto _ : state) {
    if (const char* error = operation(g_scene->dlg)) {
      state.SkipWithError(error);
      break;
    }
  }
  state.counters["round_trips"] =
      benchmark::Counter(static_cast<double>(larkwend::e2e::BridgeRoundTrips() - before),
                         benchmark::Counter::kAvgIterations);
}

void BM_ScanUnfinishedChapters(benchmark::State& state) {
  MeasureRoundTrips(state, [](CQuillmoorDlg& dlg) -> const char* {
    bool found = dlg.ScanUnfinishedChapters() == 1 && dlg.m_chapterUrls.size() == kUnfinished;
    return found ? nullptr : "the scan did not find the 200 unfinished chapters";
  });
}
BENCHMARK(BM_ScanUnfinishedChapters)->Unit(benchmark::kMillisecond);

// The share of the scan that goes to finding the frames.
void BM_FindChapterFrames(benchmark::State& state) {
  MeasureRoundTrips(state, [](CQuillmoorDlg& dlg) -> const char* {
    return dlg.FindChapterFrames() ? nullptr : "the frames were not found";
  });
}
BENCHMARK(BM_FindChapterFrames)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  benchmark::Initialize(&argc, argv);
  auto scene = std::make_unique<Scene>();
  if (scene->Load()) {
    const long elements = scene->ListElements();
    std::printf("chapter list frame: %ld elements\n", elements);
    if (elements == kElements) g_scene = scene.get();
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_scene = nullptr;
  return 0;
}
