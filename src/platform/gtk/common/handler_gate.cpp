// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/common/handler_gate.h"

#include <glib.h>

#include <deque>

namespace larkwend::gtk {
namespace {

int g_depth = 0;
std::deque<std::function<void()>> g_deferred;
bool g_flushScheduled = false;

gboolean FlushDeferred(gpointer) {
  g_flushScheduled = false;
  // Each handler may start a call of its own; whatever arrives during it is queued again.
  while (!g_deferred.empty() && g_depth == 0) {
    std::function<void()> handler = std::move(g_deferred.front());
    g_deferred.pop_front();
    handler();
  }
  return G_SOURCE_REMOVE;
}

void ScheduleFlush() {
  if (g_flushScheduled || g_deferred.empty()) return;
  g_flushScheduled = true;
  g_idle_add(FlushDeferred, nullptr);
}

}  // namespace

bool HandlerGate::Busy() {
  return g_depth > 0;
}

void HandlerGate::RunOrDefer(std::function<void()> handler) {
  if (g_depth == 0) {
    handler();
    return;
  }
  g_deferred.push_back(std::move(handler));
}

HandlerGate::Scope::Scope() {
  ++g_depth;
}

HandlerGate::Scope::~Scope() {
  // Deferred handlers run from the main loop, never inside the handler that made the call.
  if (--g_depth == 0) ScheduleFlush();
}

}  // namespace larkwend::gtk
