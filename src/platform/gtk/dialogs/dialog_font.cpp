// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/dialogs/dialog_font.h"

#include <map>
#include <string>

#include "platform/gtk/common/gobject_ptr.h"

namespace larkwend::gtk {
namespace {

// Templates are laid out for small controls: a 12-unit edit is about 20 pixels high, a combo box
// as high as an edit. The theme's own minimum heights and paddings would not fit them.
// "@" stands for the style class, "FONT" for the family and "SIZE" for the points.
constexpr std::string_view kCompactControls = R"css(
.@ { font-family: "FONT", sans-serif; font-size: SIZEpt; }
.@ button { min-height: 0; min-width: 0; padding: 0 2px; }
.@ entry { min-height: 0; padding: 0 3px; }
.@ combobox button { min-height: 0; padding: 1px 4px; }
.@ combobox arrow {
  min-height: 0; min-width: 10px; -gtk-icon-source: none;
  background-image: linear-gradient(to top right, transparent 40%, currentColor 60%),
                    linear-gradient(to top left, transparent 40%, currentColor 60%);
  background-size: 4px 4px; background-position: 1px 50%, 5px 50%; background-repeat: no-repeat;
}
)css";

std::string CompactControlsCss(const std::string& styleClass, const std::string& font, int points) {
  std::string css(kCompactControls);
  auto replaceAll = [&css](std::string_view what, const std::string& with) {
    for (auto pos = css.find(what); pos != std::string::npos;
         pos = css.find(what, pos + with.size()))
      css.replace(pos, what.size(), with);
  };
  replaceAll("@", styleClass);
  replaceAll("FONT", font);
  replaceAll("SIZE", std::to_string(points));
  return css;
}

// One style provider per font, installed for the whole screen and scoped by a style class.
std::string StyleClassFor(std::string_view name, int points) {
  static std::map<std::pair<std::string, int>, std::string> s_classes;
  auto key = std::make_pair(std::string(name), points);
  if (auto it = s_classes.find(key); it != s_classes.end()) return it->second;

  std::string styleClass = "larkwend-dialog-" + std::to_string(s_classes.size());
  std::string css = CompactControlsCss(styleClass, key.first, points);
  auto provider = GObjectPtr<GtkCssProvider>::Adopt(gtk_css_provider_new());
  gtk_css_provider_load_from_data(provider.get(), css.c_str(), -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                            GTK_STYLE_PROVIDER(provider.get()),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  s_classes.emplace(key, styleClass);
  return styleClass;
}

}  // namespace

PixelRect DialogUnitsToPixels(const DialogUnits& du, BaseUnits base) {
  return {du.x * base.x / 4, du.y * base.y / 8, du.width * base.x / 4, du.height * base.y / 8};
}

DialogFont::DialogFont(std::string_view name, int points)
    : styleClass_(StyleClassFor(name, points)),
      pangoFamilies_(std::string(name) + ",Sans"),
      points_(points) {}

void DialogFont::Apply(GtkWidget* toplevel) const {
  gtk_style_context_add_class(gtk_widget_get_style_context(toplevel), styleClass_.c_str());
}

BaseUnits DialogFont::Measure(GtkWidget* widget) const {
  // The classic base units: half of the average width of the 52 Latin letters (rounded), and the
  // height of a line.
  auto context = GObjectPtr<PangoContext>::Adopt(gtk_widget_create_pango_context(widget));
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, pangoFamilies_.c_str());
  pango_font_description_set_size(font, points_ * PANGO_SCALE);
  auto layout = GObjectPtr<PangoLayout>::Adopt(pango_layout_new(context.get()));
  pango_layout_set_font_description(layout.get(), font);
  pango_font_description_free(font);
  pango_layout_set_text(layout.get(), "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", -1);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout.get(), &width, &height);
  BaseUnits base{(width / 26 + 1) / 2, height};
  if (base.x <= 0) base.x = 6;
  if (base.y <= 0) base.y = 13;
  return base;
}

}  // namespace larkwend::gtk
