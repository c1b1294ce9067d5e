// SPDX-License-Identifier: GPL-3.0-or-later
// The diagnostics' real sink: GLib's structured logging, log domain "Larkwend", debug level.
//
// GLib prints debug messages only for the domains listed in G_MESSAGES_DEBUG, so by default
// nothing is shown; G_MESSAGES_DEBUG=Larkwend (or =all) shows them on standard error.
#pragma once

#include "platform/diagnostics.h"

namespace larkwend::gtk {

inline constexpr char kLogDomain[] = "Larkwend";

// Sends the diagnostics to GLib while it lives.
class GlibDiagnostics {
 public:
  GlibDiagnostics();

 private:
  ScopedDiagnosticSink sink_;
};

}  // namespace larkwend::gtk
