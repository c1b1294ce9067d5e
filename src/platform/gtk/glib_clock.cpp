// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/glib_clock.h"

#include "platform/gtk/common/handler_gate.h"

namespace larkwend::gtk {

GlibClock::~GlibClock() {
  for (auto& [id, pending] : pending_)
    if (pending->source) g_source_remove(pending->source);
}

Clock::CallId GlibClock::After(std::chrono::milliseconds delay, std::function<void()> call) {
  const CallId id = nextId_++;
  auto pending = std::make_unique<Pending>(Pending{this, id, 0, std::move(call)});
  const guint ms = delay.count() < 0 ? 0 : static_cast<guint>(delay.count());
  pending->source = g_timeout_add(ms, Fire, pending.get());
  pending_[id] = std::move(pending);
  return id;
}

void GlibClock::Cancel(CallId id) {
  auto it = pending_.find(id);
  if (it == pending_.end()) return;
  if (it->second->source) g_source_remove(it->second->source);
  pending_.erase(it);
}

gboolean GlibClock::Fire(gpointer data) {
  auto* pending = static_cast<Pending*>(data);
  pending->source = 0;
  // Like a window timer's tick, the call never runs inside a document-model call: the program
  // sees those as instant. It may still be cancelled while it waits for the gate.
  HandlerGate::RunOrDefer(
      [weak = std::weak_ptr<GlibClock*>(pending->clock->self_), id = pending->id] {
        auto self = weak.lock();
        if (!self) return;
        GlibClock& clock = **self;
        auto it = clock.pending_.find(id);
        if (it == clock.pending_.end()) return;
        std::function<void()> call = std::move(it->second->call);
        clock.pending_.erase(it);
        call();
      });
  return G_SOURCE_REMOVE;
}

}  // namespace larkwend::gtk
