// The program's diagnostics caught in an end-to-end test, through GLib's own log machinery.
#pragma once

#include <string>
#include <vector>

#include "scoped_env.h"

namespace larkwend::e2e {

// The program's diagnostics as a maintainer turns them on: G_MESSAGES_DEBUG=Larkwend while it
// lives, and GLib's log writer hands each message of the domain that GLib would print to this
// object instead of standard error. One at a time per process.
class DiagnosticsCapture {
 public:
  DiagnosticsCapture();
  ~DiagnosticsCapture();
  DiagnosticsCapture(const DiagnosticsCapture&) = delete;
  DiagnosticsCapture& operator=(const DiagnosticsCapture&) = delete;

  std::vector<std::string> Messages() const;

 private:
  fixtures::ScopedEnv debug_{"G_MESSAGES_DEBUG", "Larkwend"};
};

}  // namespace larkwend::e2e
