// SPDX-License-Identifier: GPL-3.0-or-later
// Window timers on GLib timeouts; their ticks reach the handler through the handler gate.
#include <cmath>
#include <string>

#include "platform/diagnostics.h"
#include "platform/gtk/common/handler_gate.h"
#include "platform/gtk/dialogs/gtk_dialog_window.h"

namespace larkwend::gtk {

void GtkDialogWindow::TimerTick(unsigned id) {
  // Like a window's timer message: while one tick waits for the gate, the next is not queued.
  if (!ticksWaiting_.insert(id).second) return;
  std::weak_ptr<Token> weak = token_;
  HandlerGate::RunOrDefer([weak, id] {
    std::shared_ptr<Token> token = weak.lock();
    if (!token) return;
    GtkDialogWindow& self = *token->window;
    self.ticksWaiting_.erase(id);
    // A timer stopped while its tick waited delivers nothing.
    if (self.timers_.count(id)) self.handler_.OnTimer(id);
  });
}

gboolean GtkDialogWindow::TimerThunk(gpointer data) {
  // The handler may stop or restart this very timer; nothing of `timer` is used after the tick.
  auto* timer = static_cast<Timer*>(data);
  timer->window->TimerTick(timer->id);
  return G_SOURCE_CONTINUE;
}

void GtkDialogWindow::SetTimer(unsigned id, unsigned periodMs) {
  KillTimer(id);
  const double scaled = std::round(periodMs * timerScale_);
  const guint interval = scaled < 1 ? 1 : static_cast<guint>(scaled);
  // The period the timer really runs at: a run's pace shows in its diagnostics.
  Diagnose("window timer " + std::to_string(id) + ": every " + std::to_string(interval) + " ms");
  auto timer = std::make_unique<Timer>(Timer{this, id, 0});
  timer->source = g_timeout_add(interval, TimerThunk, timer.get());
  timers_[id] = std::move(timer);
}

void GtkDialogWindow::KillTimer(unsigned id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  g_source_remove(it->second->source);
  timers_.erase(it);
}

std::vector<unsigned> GtkDialogWindow::RunningTimers() const {
  std::vector<unsigned> ids;
  for (const auto& [id, timer] : timers_) ids.push_back(id);
  return ids;
}

}  // namespace larkwend::gtk
