// SPDX-License-Identifier: GPL-3.0-or-later
// The document-model bridge on real WebKit: one round trip, and the scanner's walk of a
// 2,000-element chapter list reading every element's class name and inner markup.
//
// Run under Xvfb: xvfb-run -a build/bin/bench_bridge_bench
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <string>

#include "e2e_round_trips.h"
#include "platform/dom.h"
#include "platform/gtk/web/webkit_browser_control.h"

namespace {

using larkwend::e2e::BridgeRoundTrips;
using larkwend::gtk::WebKitBrowserControl;
namespace dom = larkwend::dom;

constexpr int kRows = 666;  // three elements a row: about 2,000 with the page's own

std::string ChapterList() {
  std::string html = "<html><head><title>list</title></head><body><table>";
  for (int i = 0; i < kRows; ++i) {
    bool unfinished = i % 10 < 3;  // 200 unfinished entries
    html += "<tr><td class=\"" + std::string(unfinished ? "undone" : "done") +
            "\"><a href=\"Study_v2.aspx?cid=" + std::to_string(i) + "\">第 " + std::to_string(i) +
            " 章 学习内容</a></td></tr>";
  }
  return html + "</table></body></html>";
}

// One control with the list loaded, for every benchmark of the run.
class Page {
 public:
  Page() : control_(WebKitBrowserControl::Create()) {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_container_add(GTK_CONTAINER(window_), control_->widget());
    gtk_widget_show_all(window_);
    auto* view = WEBKIT_WEB_VIEW(control_->widget());
    webkit_web_view_load_html(view, ChapterList().c_str(), "http://learn.qmstudy.localhost/list");
    while (webkit_web_view_is_loading(view) || !webkit_web_view_get_uri(view))
      g_main_context_iteration(nullptr, TRUE);
  }
  dom::Ref<dom::Document> Document() {
    dom::Ref<dom::Document> document;
    control_->get_Document(document);
    return document;
  }

 private:
  std::unique_ptr<WebKitBrowserControl> control_;
  GtkWidget* window_;
};

Page& ThePage() {
  static Page page;
  return page;
}

void BM_RoundTrip(benchmark::State& state) {
  dom::Ref<dom::Document> document = ThePage().Document();
  std::uint64_t start = BridgeRoundTrips();
  for (auto _ : state) {
    dom::WideText url;
    if (dom::Failed(document->get_URL(url))) state.SkipWithError("get_URL failed");
    benchmark::DoNotOptimize(url);
  }
  state.counters["round_trips_per_call"] =
      static_cast<double>(BridgeRoundTrips() - start) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_RoundTrip)->Unit(benchmark::kMillisecond);

void BM_ScanWalk(benchmark::State& state) {
  Page& page = ThePage();
  long elements = 0;
  int unfinished = 0;
  std::uint64_t start = BridgeRoundTrips();
  for (auto _ : state) {
    dom::Ref<dom::Document> document = page.Document();
    dom::Ref<dom::ElementCollection> all;
    if (!document || dom::Failed(document->get_all(all))) state.SkipWithError("get_all failed");
    all->get_length(elements);
    unfinished = 0;
    for (long i = 0; i < elements; ++i) {
      dom::Ref<dom::Dispatch> item;
      dom::Ref<dom::Element> element;
      if (dom::Failed(all->item(i, item)) || dom::Failed(dom::Query(item.get(), element))) continue;
      dom::WideText className, inner;
      if (dom::Failed(element->get_className(className))) continue;
      if (dom::Failed(element->get_innerHTML(inner))) continue;
      if (className == "undone") ++unfinished;
      benchmark::DoNotOptimize(inner);
    }
  }
  double walks = static_cast<double>(state.iterations());
  state.counters["elements"] = static_cast<double>(elements);
  state.counters["unfinished"] = unfinished;
  state.counters["round_trips_per_walk"] = static_cast<double>(BridgeRoundTrips() - start) / walks;
  // A bridge with one round trip per call: the document, the collection, then for every element
  // the item, its class name and its inner markup.
  state.counters["naive_round_trips"] = 2.0 + 3.0 * static_cast<double>(elements);
}
BENCHMARK(BM_ScanWalk)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  benchmark::Initialize(&argc, argv);
  ThePage();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
