// SPDX-License-Identifier: GPL-3.0-or-later
// Ends the program from outside as its windows' close boxes would: on SIGTERM (the desktop
// session ends), SIGINT or SIGHUP, every modal loop that runs is answered as its own close box
// answers it, innermost first, and a dialog or box about to open does not. The main window ends
// as when the student closes it, so start-up goes on to its end and the journal's last line.
#pragma once

#include <glib.h>

#include <functional>
#include <memory>

namespace larkwend::posix {
class EndSignals;
}

namespace larkwend::gtk {

// Watches for the signals on the GUI thread's main loop while it lives. One at a time; it
// outlives the windows.
class EndOnSignals {
 public:
  EndOnSignals();
  ~EndOnSignals();
  EndOnSignals(const EndOnSignals&) = delete;
  EndOnSignals& operator=(const EndOnSignals&) = delete;

 private:
  static gboolean OnEndAsked(gint fd, GIOCondition, gpointer self);

  std::unique_ptr<posix::EndSignals> signals_;
  guint watch_ = 0;
};

// Whether the program has been asked to end: a dialog or box about to open returns at once, as
// if closed. True from the signal on, even before the main loop has heard of it (a signal during
// the update check, which blocks the GUI thread).
bool EndAsked();

// Registers, for its lifetime, how the modal loop that makes it is answered when the program must
// end (its close box). GUI thread only.
class ModalLoopCloser {
 public:
  explicit ModalLoopCloser(std::function<void()> close);
  ~ModalLoopCloser();
  ModalLoopCloser(const ModalLoopCloser&) = delete;
  ModalLoopCloser& operator=(const ModalLoopCloser&) = delete;

 private:
  std::function<void()> close_;
  friend class EndOnSignals;
};

}  // namespace larkwend::gtk
