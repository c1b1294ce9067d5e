// SPDX-License-Identifier: GPL-3.0-or-later
// The program's diagnostics caught in an end-to-end test, through GLib's own log machinery.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace larkwend::e2e {

// The program's diagnostics as a maintainer turns them on: G_MESSAGES_DEBUG=Larkwend (left set
// for the rest of the process), and each message of the domain that GLib would print is handed
// to this object instead of standard error. One at a time per process.
class DiagnosticsCapture {
 public:
  DiagnosticsCapture();
  ~DiagnosticsCapture();
  DiagnosticsCapture(const DiagnosticsCapture&) = delete;
  DiagnosticsCapture& operator=(const DiagnosticsCapture&) = delete;

  std::vector<std::string> Messages() const;
};

// Hands each captured message, as it is logged and on the thread that logs it, to `watcher`
// too, until the capture ends or another watcher (none: null) is set. A watcher may act on the
// running program, but must not log.
void WatchDiagnostics(std::function<void(const std::string&)> watcher);

}  // namespace larkwend::e2e
