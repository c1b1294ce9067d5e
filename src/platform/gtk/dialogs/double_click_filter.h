// SPDX-License-Identifier: GPL-3.0-or-later
// Tells the second press of a double-click from a press of its own, by the desktop's double-click
// time and distance: a notifying picture reports a click for the first press only.
#pragma once

#include <gtk/gtk.h>

namespace larkwend::gtk {

class DoubleClickFilter {
 public:
  // True when `press` completes a double-click with the press before it; such a press does not
  // start another double-click. `widget` tells whose desktop settings apply.
  bool IsSecondOfDouble(GtkWidget* widget, const GdkEventButton& press);

 private:
  guint32 lastPressTime_ = 0;
  double lastPressX_ = 0, lastPressY_ = 0;
  bool lastPressValid_ = false;
};

}  // namespace larkwend::gtk
