// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/diagnostics.h"

#include <mutex>
#include <utility>

#include "platform/record_secrets.h"

namespace larkwend {
namespace {

// The alert dismisser reports from its own thread; everything else from the GUI thread.
std::mutex g_sinkMutex;
DiagnosticSink g_sink;

}  // namespace

void Diagnose(std::string_view utf8Text) {
  std::lock_guard lock(g_sinkMutex);
  if (g_sink) g_sink(WithoutSecrets(utf8Text));
}

DiagnosticSink SetDiagnosticSink(DiagnosticSink sink) {
  std::lock_guard lock(g_sinkMutex);
  return std::exchange(g_sink, std::move(sink));
}

}  // namespace larkwend
