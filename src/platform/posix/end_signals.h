// SPDX-License-Identifier: GPL-3.0-or-later
// The signals that ask the program to end: SIGTERM (the session ends, or someone runs `kill`),
// SIGINT (Ctrl-C in a terminal) and SIGHUP (the terminal went away). Left to their default
// action they end the process wherever it stands, without the journal's last line; while an
// EndSignals lives they only record that an end was asked, and the program ends in its own time,
// as when its main window is closed.
//
// The request is a descriptor that turns readable on the first signal and stays so: the GUI
// thread's main loop watches it (platform/gtk/dialogs/end_on_signals.h), and a wait that blocks
// that thread, such as the update check's wait on its socket, gives up when it turns readable.
#pragma once

#include "platform/posix/unique_fd.h"

namespace larkwend::posix {

class EndSignals {
 public:
  // Installs the handlers; one EndSignals at a time. Signals already ignored (a program started
  // with nohup, or in the background by a shell without job control) stay ignored.
  EndSignals();
  // Puts the earlier dispositions back and forgets the request.
  ~EndSignals();
  EndSignals(const EndSignals&) = delete;
  EndSignals& operator=(const EndSignals&) = delete;

 private:
  UniqueFd read_;
  UniqueFd write_;
};

// Whether one of the signals has arrived while an EndSignals lives.
bool EndRequested();
// Readable once an end has been asked; -1 while no EndSignals lives.
int EndRequestFd();
// The name of the first signal that asked ("SIGTERM"), or empty.
const char* EndSignalName();

}  // namespace larkwend::posix
