// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/glib_diagnostics.h"

#include <glib.h>

#include <string>

namespace larkwend::gtk {
namespace {

void LogToGlib(std::string_view utf8Text) {
  // Asked first, so that a message nobody will see is not built into a log record at all.
  if (g_log_writer_default_would_drop(G_LOG_LEVEL_DEBUG, kLogDomain)) return;
  const std::string text(utf8Text);
  g_log_structured(kLogDomain, G_LOG_LEVEL_DEBUG, "MESSAGE", "%s", text.c_str());
}

}  // namespace

GlibDiagnostics::GlibDiagnostics() : sink_(LogToGlib) {}

}  // namespace larkwend::gtk
