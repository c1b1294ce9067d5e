#include "e2e_diagnostics.h"

#include <glib.h>

#include <cstring>
#include <memory>
#include <mutex>

namespace larkwend::e2e {
namespace {

// GLib takes one log writer per process: it is installed with the first capture and passes
// everything on to GLib's own writer while no capture is active.
std::mutex g_captureMutex;
std::unique_ptr<std::vector<std::string>> g_captured;

GLogWriterOutput CaptureWriter(GLogLevelFlags level, const GLogField* fields, gsize count,
                               gpointer data) {
  const char* domain = nullptr;
  const char* message = nullptr;
  for (gsize i = 0; i < count; ++i) {
    if (std::strcmp(fields[i].key, "GLIB_DOMAIN") == 0)
      domain = static_cast<const char*>(fields[i].value);
    if (std::strcmp(fields[i].key, "MESSAGE") == 0)
      message = static_cast<const char*>(fields[i].value);
  }
  {
    std::lock_guard lock(g_captureMutex);
    if (g_captured && domain && message && std::strcmp(domain, "Larkwend") == 0) {
      if (!g_log_writer_default_would_drop(level, domain)) g_captured->emplace_back(message);
      return G_LOG_WRITER_HANDLED;
    }
  }
  return g_log_writer_default(level, fields, count, data);
}

}  // namespace

DiagnosticsCapture::DiagnosticsCapture() {
  static const bool s_installed = [] {
    g_log_set_writer_func(CaptureWriter, nullptr, nullptr);
    return true;
  }();
  (void)s_installed;
  std::lock_guard lock(g_captureMutex);
  g_captured = std::make_unique<std::vector<std::string>>();
}

DiagnosticsCapture::~DiagnosticsCapture() {
  std::lock_guard lock(g_captureMutex);
  g_captured.reset();
}

std::vector<std::string> DiagnosticsCapture::Messages() const {
  std::lock_guard lock(g_captureMutex);
  return *g_captured;
}

}  // namespace larkwend::e2e
