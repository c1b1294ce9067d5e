// SPDX-License-Identifier: GPL-3.0-or-later
// larkwend-tuned only, never installed: LARKWEND_TIMER_SCALE, a number in (0, 1], multiplies the
// window timers' periods (0.05 runs them twenty times as fast), for soak runs and profiling.
#include <glib.h>

#include "platform/gtk/glib_diagnostics.h"
#include "program_options.h"

namespace larkwend {

gtk::GtkPlatformOptions ProgramPlatformOptions() {
  gtk::GtkPlatformOptions options;
  const char* scale = g_getenv("LARKWEND_TIMER_SCALE");
  if (!scale || !*scale) return options;
  char* end = nullptr;
  const double value = g_ascii_strtod(scale, &end);
  if (*end != '\0' || !(value > 0 && value <= 1)) {
    g_log(gtk::kLogDomain, G_LOG_LEVEL_WARNING,
          "LARKWEND_TIMER_SCALE=%s ignored: not a number in (0, 1]", scale);
    return options;
  }
  // Said where anyone who starts it sees it: such a run is not the program's normal pace.
  g_log(gtk::kLogDomain, G_LOG_LEVEL_MESSAGE,
        "window timer periods scaled by %g (LARKWEND_TIMER_SCALE)", value);
  options.timerScale = value;
  return options;
}

}  // namespace larkwend
