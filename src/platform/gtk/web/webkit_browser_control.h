// SPDX-License-Identifier: GPL-3.0-or-later
// The embedded browser on WebKitGTK: the BrowserControl the main window hosts as control 1000.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "platform/browser_control.h"

namespace larkwend::gtk {

class WebKitBrowserControl : public BrowserControl {
 public:
  // Creates the web view; it is not in any window until the caller packs widget().
  static std::unique_ptr<WebKitBrowserControl> Create();
  // The view, owned by the control (it keeps a reference of its own).
  virtual GtkWidget* widget() const = 0;
};

}  // namespace larkwend::gtk
