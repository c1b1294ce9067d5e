// SPDX-License-Identifier: GPL-3.0-or-later
// The site's clock: what study time is credited by, and what the state document's moments are
// measured on, in milliseconds since the site started. Tests drive it by hand.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace larkwend::practice {

using StudyClock = std::function<std::chrono::steady_clock::time_point()>;

class SiteClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  explicit SiteClock(StudyClock now = std::chrono::steady_clock::now)
      : now_(std::move(now)), start_(now_()) {}

  TimePoint Now() const { return now_(); }
  std::int64_t MsSinceStart(TimePoint at) const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(at - start_).count();
  }

 private:
  const StudyClock now_;
  const TimePoint start_;
};

}  // namespace larkwend::practice
