// SPDX-License-Identifier: GPL-3.0-or-later
#include "held_requests.h"

namespace larkwend::practice {

bool HeldRequests::Hold() {
  std::unique_lock lock(mutex_);
  if (stopping_ || holding_ >= kMaxHeld) return false;
  ++holding_;
  released_.wait(lock, [this] { return stopping_; });
  --holding_;
  return true;
}

void HeldRequests::ReleaseAll() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  released_.notify_all();
}

int HeldRequests::Holding() const {
  std::lock_guard lock(mutex_);
  return holding_;
}

}  // namespace larkwend::practice
