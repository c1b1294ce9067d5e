// SPDX-License-Identifier: GPL-3.0-or-later
// Walking a large document through the document model, against the in-memory host: a page of N
// links loaded (every new-window link is turned into a same-window one when the document
// completes), and one input looked up by id at the very end of it. Both walks should grow
// linearly with N; the benchmark reports the fitted complexity.
//
// Run: build/bin/bench_page_walk_bench
#include <benchmark/benchmark.h>

#include <string>

#include "browser/differ_web.h"
#include "browser/link_targets.h"
#include "browser/web_browser2.h"
#include "fake_browser.h"

namespace {

using namespace larkwend;

// Turns new-window links into same-window ones when the page completes, as the main window does.
class Retargeting : public BrowserEvents {
 public:
  explicit Retargeting(CWebBrowser2& browser) : browser_(browser) {}
  void BeforeNavigate2(dom::Dispatch*, const dom::WideText&, bool&) override {}
  void DocumentComplete(dom::Dispatch* object, const dom::WideText&) override {
    OnDocumentComplete(browser_, object);
  }
  void NewWindow3(bool& cancel, unsigned, const dom::WideText&, const dom::WideText& url) override {
    OnNewWindow3(browser_, cancel, url);
  }

 private:
  CWebBrowser2& browser_;
};

// The browser wrapper on the in-memory control.
struct Browser {
  Browser() { wrapper.Attach(&control); }
  fake::Host host;
  fake::Control control{host};
  CWebBrowser2 wrapper;
};

fake::PagePtr LinkPage(int links) {
  auto page = fake::MakePage("http://portal/");
  for (int i = 0; i < links; ++i) page->Anchor("http://x/" + std::to_string(i), "_blank");
  page->Input("txtLast");
  return page;
}

void BM_LoadRetargetsEveryLink(benchmark::State& state) {
  const int links = static_cast<int>(state.range(0));
  Browser browser;
  Retargeting events(browser.wrapper);
  browser.control.SetEventSink(&events);
  for (auto _ : state) {
    state.PauseTiming();
    fake::PagePtr page = LinkPage(links);
    state.ResumeTiming();
    browser.control.Load(page);
    state.PauseTiming();
    if (*page->elements[static_cast<std::size_t>(links - 1)]->target != "_self")
      state.SkipWithError("the last link was not retargeted");
    state.ResumeTiming();
  }
  browser.control.SetEventSink(nullptr);
  state.SetComplexityN(links);
}
BENCHMARK(BM_LoadRetargetsEveryLink)->Arg(3125)->Arg(12500)->Arg(50000)->Complexity();

void BM_InputAfterEveryLinkIsFound(benchmark::State& state) {
  const int links = static_cast<int>(state.range(0));
  Browser browser;
  CDifferWeb web;
  browser.control.Load(LinkPage(links));
  for (auto _ : state) {
    if (!web.SetInputValue(browser.wrapper.GetDocument().get(), "txtLast", "v"))
      state.SkipWithError("the input was not found");
  }
  state.SetComplexityN(links);
}
BENCHMARK(BM_InputAfterEveryLinkIsFound)->Arg(3125)->Arg(12500)->Arg(50000)->Complexity();

}  // namespace

BENCHMARK_MAIN();
