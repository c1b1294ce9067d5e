// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/dialogs/double_click_filter.h"

#include <cmath>

namespace larkwend::gtk {

bool DoubleClickFilter::IsSecondOfDouble(GtkWidget* widget, const GdkEventButton& press) {
  GtkSettings* settings = gtk_widget_get_settings(widget);
  int doubleTime = 400, doubleDistance = 5;
  g_object_get(settings, "gtk-double-click-time", &doubleTime, "gtk-double-click-distance",
               &doubleDistance, nullptr);
  const bool secondOfDouble = lastPressValid_ &&
                              press.time - lastPressTime_ <= guint32(doubleTime) &&
                              std::abs(press.x_root - lastPressX_) <= doubleDistance &&
                              std::abs(press.y_root - lastPressY_) <= doubleDistance;
  lastPressValid_ = !secondOfDouble;
  lastPressTime_ = press.time;
  lastPressX_ = press.x_root;
  lastPressY_ = press.y_root;
  return secondOfDouble;
}

}  // namespace larkwend::gtk
