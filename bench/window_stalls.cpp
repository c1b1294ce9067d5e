// SPDX-License-Identifier: GPL-3.0-or-later
// How long the window stops answering during a minute of studying, on a normal chapter page and
// on one whose script spins forever.
//
// A watchdog timer fires every 10 ms. It is read twice: straight from the GTK main loop (how long
// the loop did not run at all), and through the gate the main window's own timer ticks and
// clicks pass (how long a click on the window would have waited). Run under Xvfb, holding the
// practice site's ports:
//   xvfb-run -a build/bin/bench_window_stalls [normal|hung] [seconds]
#include <glib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e_harness.h"
#include "e2e_practice_site.h"
#include "e2e_program.h"
#include "e2e_study_flow.h"
#include "platform/gtk/common/handler_gate.h"

namespace {

constexpr guint kWatchdogMs = 10;

// Gaps between consecutive firings beyond the watchdog's own period, in milliseconds.
struct Gaps {
  gint64 last = 0;
  std::vector<double> stalls;

  void Beat() {
    const gint64 now = g_get_monotonic_time();
    if (last) stalls.push_back(std::max(0.0, (now - last) / 1000.0 - kWatchdogMs));
    last = now;
  }
  double Longest() const {
    return stalls.empty() ? 0 : *std::max_element(stalls.begin(), stalls.end());
  }
  long Over(double ms) const {
    return std::count_if(stalls.begin(), stalls.end(), [ms](double s) { return s > ms; });
  }
  void Print(const char* what) const {
    std::printf("  %-28s longest %8.1f ms   >100 ms: %3ld   >1 s: %3ld\n", what, Longest(),
                Over(100), Over(1000));
  }
};

struct Watchdog {
  Gaps loop;
  Gaps handlers;
  bool handlerPending = false;
};

gboolean OnWatchdog(gpointer data) {
  auto* dog = static_cast<Watchdog*>(data);
  dog->loop.Beat();
  // One pending handler at a time: a held one is measured when it finally runs.
  if (!dog->handlerPending) {
    dog->handlerPending = true;
    larkwend::gtk::HandlerGate::RunOrDefer([dog] {
      dog->handlers.Beat();
      dog->handlerPending = false;
    });
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string scenario = argc > 1 ? argv[1] : "normal";
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
  std::vector<std::string> options = {"--courses",  "1", "--chapters",        "4",
                                      "--finished", "0", "--chapter-seconds", "40"};
  if (scenario == "hung") {
    // Every opening of the first chapter spins from its first heartbeat on.
    options.insert(options.end(), {"--hang-chapter", "1", "--hang-every-opening"});
  } else if (scenario != "normal") {
    std::fprintf(stderr, "usage: %s [normal|hung] [seconds]\n", argv[0]);
    return 2;
  }
  larkwend::e2e::PracticeSite site(options);
  if (!site.Ready()) {
    std::fprintf(stderr, "practice site: %s\n", site.Error().c_str());
    return 1;
  }
  int status = 1;
  larkwend::e2e::RunProgram({}, [&](larkwend::e2e::Program& program) {
    std::string failure;
    if (!larkwend::e2e::LogInAndOpenCourse(program, 1, &failure)) {
      std::fprintf(stderr, "could not reach the chapter page: %s\n", failure.c_str());
      return;
    }
    // A handler still held when the measuring ends runs later: the watchdog outlives the run.
    static Watchdog dog;
    guint source = g_timeout_add(kWatchdogMs, OnWatchdog, &dog);
    larkwend::e2e::PumpFor(seconds * 1000);
    g_source_remove(source);
    std::printf("%s page, %d s of studying at real timer periods (hangs served: %lld)\n",
                scenario.c_str(), seconds,
                static_cast<long long>(site.StateValue()["hangs"].Int()));
    dog.loop.Print("main loop not running");
    dog.handlers.Print("window handlers held");
    status = 0;
  });
  return status;
}
