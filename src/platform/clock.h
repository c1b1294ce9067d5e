// SPDX-License-Identifier: GPL-3.0-or-later
// Time for the program's own waits that are not window timers: a one-shot call after a delay,
// and the current time on a steady clock.
//
// The real clock runs on the GUI thread's main loop and, like the window timers, never calls
// back while a document-model call is waiting; the unit tests use one they move by hand.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace larkwend {

class Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using CallId = std::uint64_t;  // 0 is never a call's id

  virtual TimePoint Now() const = 0;
  // Calls `call` once, `delay` from now, on the GUI thread.
  virtual CallId After(std::chrono::milliseconds delay, std::function<void()> call) = 0;
  // A call that already ran, was cancelled, or is 0: nothing happens.
  virtual void Cancel(CallId id) = 0;

 protected:
  ~Clock() = default;
};

}  // namespace larkwend
