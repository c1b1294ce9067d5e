// SPDX-License-Identifier: GPL-3.0-or-later
// Diagnostics: short messages for whoever maintains the program, saying what it did and why.
//
// Nothing is shown unless someone listens. The real platform hands the messages to GLib's
// structured logging under the log domain "Larkwend" (shown with G_MESSAGES_DEBUG=Larkwend);
// unit tests install a sink of their own. A text kept out of records (record_secrets.h), such as
// the password, never reaches a sink.
#pragma once

#include <functional>
#include <string_view>

namespace larkwend {

// Receives each message as UTF-8 text.
using DiagnosticSink = std::function<void(std::string_view utf8Text)>;

// Sends one message (UTF-8) to the installed sink, if there is one. Safe from any thread.
void Diagnose(std::string_view utf8Text);

// Installs `sink` (empty: nobody listens) and returns the one it replaces.
DiagnosticSink SetDiagnosticSink(DiagnosticSink sink);

// Installs a sink for as long as it lives, then puts the previous one back.
class ScopedDiagnosticSink {
 public:
  explicit ScopedDiagnosticSink(DiagnosticSink sink)
      : previous_(SetDiagnosticSink(std::move(sink))) {}
  ~ScopedDiagnosticSink() { SetDiagnosticSink(std::move(previous_)); }
  ScopedDiagnosticSink(const ScopedDiagnosticSink&) = delete;
  ScopedDiagnosticSink& operator=(const ScopedDiagnosticSink&) = delete;

 private:
  DiagnosticSink previous_;
};

}  // namespace larkwend
