// SPDX-License-Identifier: GPL-3.0-or-later
// The bridge script, read once from the resources compiled into the program.
#include <gio/gio.h>

#include <string>

#include "platform/gtk/web/bridge_script.h"

extern "C" void larkwend_bridge_register_resource(void);

namespace larkwend::gtk {
namespace {

constexpr char kBridgeScriptPath[] = "/org/larkwend/bridge/bridge.js";

std::string ReadBridgeScript() {
  // Registered for the life of the process: the resource is static data of the program.
  larkwend_bridge_register_resource();
  GBytes* bytes = g_resources_lookup_data(kBridgeScriptPath, G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
  // Built into the program from the source tree: missing only if the build itself is broken.
  if (!bytes) g_error("the bridge script %s is not built into the program", kBridgeScriptPath);
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
  std::string script(data, size);
  g_bytes_unref(bytes);
  return script;
}

}  // namespace

const char* BridgeScript() {
  static const std::string script = ReadBridgeScript();
  return script.c_str();
}

}  // namespace larkwend::gtk
