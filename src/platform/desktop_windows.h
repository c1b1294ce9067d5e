// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own top-level windows, as seen from a worker thread.
//
// The alert dismisser runs on its own thread and must never touch GTK or wait on the GUI thread:
// it looks windows up in a thread-safe registry and posts clicks to the GUI thread's main loop.
#pragma once

#include <cstdint>
#include <string>

namespace larkwend {

using WindowId = std::uint64_t;  // 0 is no window

class DesktopWindows {
 public:
  virtual ~DesktopWindows() = default;
  // The first top-level window whose title is exactly `title` (GBK), or 0. Thread-safe.
  virtual WindowId FindTopLevelWindow(const std::string& title) = 0;
  // The first child of `parent` whose text is exactly `text` (GBK), or 0. Thread-safe.
  virtual WindowId FindChildWindow(WindowId parent, const std::string& text) = 0;
  // Queues a click on `button` for the GUI thread and returns at once. Thread-safe; a window that
  // is gone by then is ignored.
  virtual void PostClick(WindowId button) = 0;
};

}  // namespace larkwend
