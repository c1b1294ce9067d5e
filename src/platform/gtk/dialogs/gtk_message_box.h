// SPDX-License-Identifier: GPL-3.0-or-later
// Modal message boxes: caption as title, the icon of the message type, OK or Yes/No buttons.
#pragma once

#include <gtk/gtk.h>

#include <string>

namespace larkwend::gtk {

// Runs a box owned by `owner` (null: no owner) until it is answered. Texts are GBK; `type` holds
// the MB_ button and icon flags. Returns IDOK, IDYES or IDNO. The box is registered with the
// program's windows, with its buttons, while it is shown.
int RunMessageBox(GtkWindow* owner, const std::string& text, const std::string& caption,
                  unsigned type);

}  // namespace larkwend::gtk
