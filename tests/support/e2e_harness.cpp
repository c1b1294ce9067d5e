// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e_harness.h"

#include <gtk/gtk.h>

namespace larkwend::e2e {

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  gint64 deadline = g_get_monotonic_time() + gint64{timeoutMs} * 1000;
  while (!done()) {
    if (g_get_monotonic_time() >= deadline) return false;
    // A short wake-up keeps the deadline even when nothing else happens.
    GSource* wake = g_timeout_source_new(10);
    g_source_set_callback(
        wake, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
    g_source_attach(wake, nullptr);
    g_main_context_iteration(nullptr, TRUE);
    g_source_destroy(wake);
    g_source_unref(wake);
  }
  return true;
}

void PumpFor(int ms) {
  PumpUntil([] { return false; }, ms);
}

}  // namespace larkwend::e2e
