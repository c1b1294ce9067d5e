// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog font: its look for a dialog's controls, and its base units for the conversion of the
// templates' dialog units to pixels.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <string_view>

#include "platform/dialog.h"

namespace larkwend::gtk {

// A dialog unit is a quarter of the font's average character width horizontally and an eighth of
// its height vertically.
struct BaseUnits {
  int x, y;
};

PixelRect DialogUnitsToPixels(const DialogUnits& du, BaseUnits base);

class DialogFont {
 public:
  // Looks up (once per name and size) the style that gives a dialog's controls this font and the
  // compact metrics a template expects.
  DialogFont(std::string_view name, int points);

  // Gives `toplevel` and everything in it the font and the compact control metrics.
  void Apply(GtkWidget* toplevel) const;
  // Measured on `widget`'s screen with Pango, once `Apply` has styled it.
  BaseUnits Measure(GtkWidget* widget) const;

 private:
  std::string styleClass_;
  std::string pangoFamilies_;
  int points_;
};

}  // namespace larkwend::gtk
