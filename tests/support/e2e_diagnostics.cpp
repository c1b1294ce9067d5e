// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e_diagnostics.h"

#include <glib.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

namespace larkwend::e2e {
namespace {

// GLib takes one log writer per process: it is installed with the first capture and passes
// everything on to GLib's own writer while no capture is active.
std::mutex g_captureMutex;
std::unique_ptr<std::vector<std::string>> g_captured;
std::shared_ptr<const std::function<void(const std::string&)>> g_watcher;

GLogWriterOutput CaptureWriter(GLogLevelFlags level, const GLogField* fields, gsize count,
                               gpointer data) {
  const char *domain = "", *message = "";
  for (gsize i = 0; i < count; ++i) {
    if (std::strcmp(fields[i].key, "GLIB_DOMAIN") == 0) domain = (const char*)fields[i].value;
    if (std::strcmp(fields[i].key, "MESSAGE") == 0) message = (const char*)fields[i].value;
  }
  std::shared_ptr<const std::function<void(const std::string&)>> watcher;
  {
    std::lock_guard lock(g_captureMutex);
    if (!g_captured || std::strcmp(domain, "Larkwend") != 0)
      return g_log_writer_default(level, fields, count, data);
    if (g_log_writer_default_would_drop(level, domain)) return G_LOG_WRITER_HANDLED;
    g_captured->emplace_back(message);
    watcher = g_watcher;
  }
  // Outside the lock: the watcher may reach into the program and GLib.
  if (watcher) (*watcher)(message);
  return G_LOG_WRITER_HANDLED;
}

}  // namespace

DiagnosticsCapture::DiagnosticsCapture() {
  [[maybe_unused]] static const bool s_installed =
      (g_log_set_writer_func(CaptureWriter, nullptr, nullptr), true);
  // The variable is for the processes the test starts, and for GLib before 2.80, which reads it
  // at every message. Later GLib reads it once, at the first message, and since the program
  // asks before logging, the domain is turned on where that reading is kept as well.
  ::setenv("G_MESSAGES_DEBUG", "Larkwend", 1);
#if GLIB_CHECK_VERSION(2, 80, 0)
  static const char* const kDomains[] = {"Larkwend", nullptr};
  g_log_writer_default_set_debug_domains(kDomains);
#endif
  std::lock_guard lock(g_captureMutex);
  g_captured = std::make_unique<std::vector<std::string>>();
}

DiagnosticsCapture::~DiagnosticsCapture() {
  std::lock_guard lock(g_captureMutex);
  g_captured.reset();
  g_watcher.reset();
}

std::vector<std::string> DiagnosticsCapture::Messages() const {
  std::lock_guard lock(g_captureMutex);
  return *g_captured;
}

void WatchDiagnostics(std::function<void(const std::string&)> watcher) {
  std::lock_guard lock(g_captureMutex);
  g_watcher =
      watcher ? std::make_shared<const std::function<void(const std::string&)>>(std::move(watcher))
              : nullptr;
}

}  // namespace larkwend::e2e
