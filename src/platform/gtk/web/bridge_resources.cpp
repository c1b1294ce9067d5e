// SPDX-License-Identifier: GPL-3.0-or-later
// The scripts built into the program, each read once from its resources.
#include <gio/gio.h>

#include <string>

#include "platform/gtk/web/bridge_script.h"

extern "C" void larkwend_bridge_register_resource(void);

namespace larkwend::gtk {
namespace {

constexpr char kBridgeScriptPath[] = "/org/larkwend/bridge/bridge.js";
constexpr char kPagePresencePath[] = "/org/larkwend/bridge/page_presence.js";

std::string ReadScript(const char* path) {
  // Registered for the life of the process: the resource is static data of the program.
  static const bool registered = (larkwend_bridge_register_resource(), true);
  (void)registered;
  GBytes* bytes = g_resources_lookup_data(path, G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
  // Built into the program from the source tree: missing only if the build itself is broken.
  if (!bytes) g_error("the script %s is not built into the program", path);
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
  std::string script(data, size);
  g_bytes_unref(bytes);
  return script;
}

}  // namespace

const char* BridgeScript() {
  static const std::string script = ReadScript(kBridgeScriptPath);
  return script.c_str();
}

std::string PagePresenceScript(bool keepFocus) {
  static const std::string script = ReadScript(kPagePresencePath);
  return script + (keepFocus ? "(true);\n" : "(false);\n");
}

std::string PagePresenceChange(bool keepFocus) {
  return keepFocus ? "window.postMessage('larkwend-keep-focus', '*');"
                   : "window.postMessage('larkwend-let-focus-go', '*');";
}

}  // namespace larkwend::gtk
