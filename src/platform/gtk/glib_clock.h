// SPDX-License-Identifier: GPL-3.0-or-later
// The program's one-shot waits on the GUI thread's main loop.
#pragma once

#include <glib.h>

#include <map>
#include <memory>

#include "platform/clock.h"

namespace larkwend::gtk {

class GlibClock final : public Clock {
 public:
  GlibClock() = default;
  ~GlibClock();
  GlibClock(const GlibClock&) = delete;
  GlibClock& operator=(const GlibClock&) = delete;

  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
  CallId After(std::chrono::milliseconds delay, std::function<void()> call) override;
  void Cancel(CallId id) override;

 private:
  struct Pending {
    GlibClock* clock;
    CallId id;
    guint source = 0;
    std::function<void()> call;
  };
  static gboolean Fire(gpointer data);

  CallId nextId_ = 1;
  std::map<CallId, std::unique_ptr<Pending>> pending_;
  // Stands for this clock in the calls that wait for the handler gate: they may outlive it.
  std::shared_ptr<GlibClock*> self_ = std::make_shared<GlibClock*>(this);
};

}  // namespace larkwend::gtk
