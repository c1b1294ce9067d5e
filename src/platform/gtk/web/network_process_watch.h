// SPDX-License-Identifier: GPL-3.0-or-later
// Hears at once when WebKit's network process ends.
//
// The engine tells nobody: the process it starts in its place begins with an empty cookie jar,
// and the pages' next requests simply go without the session. The network process is a child of
// this one; the kernel tells through a process descriptor when it ends, which costs nothing while
// it lives (no round trip to the process, nothing per request).
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <vector>

namespace larkwend::gtk {

class NetworkProcessWatch {
 public:
  // `ended` is called on the GUI thread once for each watched process that ends.
  explicit NetworkProcessWatch(std::function<void()> ended);
  ~NetworkProcessWatch();
  NetworkProcessWatch(const NetworkProcessWatch&) = delete;
  NetworkProcessWatch& operator=(const NetworkProcessWatch&) = delete;

  // Looks for the engine's network processes among this process's children and watches those
  // not watched yet. False when none is watched (none found, or the system cannot watch one).
  bool Watch();
  bool Watching() const { return !watched_.empty(); }
  // Asks the kernel now whether a watched process has ended, before the main loop gets to tell;
  // its end is told (once) either way. True when one has.
  bool Ended();

 private:
  class Watched;
  void Remove(Watched* watched);

  std::function<void()> ended_;
  std::vector<std::unique_ptr<Watched>> watched_;
};

}  // namespace larkwend::gtk
