// SPDX-License-Identifier: GPL-3.0-or-later
// Requests the site never answers while it runs: each one's handler waits here until the site
// stops. Only a few wait at once, so held requests can never take all of the server's workers.
#pragma once

#include <condition_variable>
#include <mutex>

namespace larkwend::practice {

class HeldRequests {
 public:
  static constexpr int kMaxHeld = 8;

  // Waits until ReleaseAll(); true once released. False at once when kMaxHeld requests wait
  // already or the site is stopping.
  bool Hold();
  // Ends every wait, for good: the site is stopping.
  void ReleaseAll();
  int Holding() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable released_;
  int holding_ = 0;
  bool stopping_ = false;
};

}  // namespace larkwend::practice
