// SPDX-License-Identifier: GPL-3.0-or-later
// The widgets that stand for a template's controls.
#include "platform/gtk/dialogs/gtk_dialog_window.h"
#include "platform/gtk/dialogs/picture_pixbuf.h"
#include "platform/gtk/web/webkit_browser_control.h"

namespace larkwend::gtk {
namespace {

// A "black" frame is drawn in the theme's text colour: black on a light theme, and still seen
// on a dark one.
gboolean DrawFrame(GtkWidget* widget, cairo_t* cr, gpointer) {
  const int width = gtk_widget_get_allocated_width(widget);
  const int height = gtk_widget_get_allocated_height(widget);
  GtkStyleContext* style = gtk_widget_get_style_context(widget);
  GdkRGBA colour;
  gtk_style_context_get_color(style, gtk_style_context_get_state(style), &colour);
  gdk_cairo_set_source_rgba(cr, &colour);
  if (width <= 2 || height <= 2) {
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_fill(cr);
  } else {
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, 0.5, 0.5, width - 1, height - 1);
    cairo_stroke(cr);
  }
  return FALSE;
}

}  // namespace

std::span<const unsigned char> GtkDialogWindow::PictureBytes(int resourceId, int scale) const {
  if (!pictures_) return {};
  return pictures_(resourceId, scale);
}

void GtkDialogWindow::ShowPicture(const Control& control) {
  GtkWidget* image = gtk_bin_get_child(GTK_BIN(control.widget));
  // The control keeps its logical size; a screen of 2 device pixels per logical one gets the
  // picture drawn at twice the size, not the small one stretched.
  CairoSurfacePtr surface =
      PictureSurface(pictures_, control.picture, gtk_widget_get_scale_factor(image), control.rect,
                     gtk_widget_get_window(image));
  gtk_image_set_from_surface(GTK_IMAGE(image), surface.get());
}

void GtkDialogWindow::PictureScaleThunk(GtkWidget* widget, GParamSpec*, gpointer self) {
  // The window moved to a screen of another scale, or the screen's scale changed.
  auto* window = static_cast<GtkDialogWindow*>(self);
  for (const Control& control : window->controls_)
    if (control.widget == widget) window->ShowPicture(control);
}

GtkWidget* GtkDialogWindow::MakeWidget(const ControlTemplate& c, Control& control) {
  const std::string text(c.text);
  switch (c.kind) {
    case ControlKind::kBrowser: {
      browser_ = WebKitBrowserControl::Create();
      control.widget = browser_ ? browser_->widget() : gtk_drawing_area_new();
      return control.widget;
    }
    case ControlKind::kPushButton: {
      control.widget = gtk_button_new_with_label(text.c_str());
      if (c.styles & kDefaultButton) {
        gtk_widget_set_can_default(control.widget, TRUE);
        gtk_window_set_default(window_, control.widget);
      }
      g_signal_connect(control.widget, "clicked", G_CALLBACK(ClickedThunk), this);
      return control.widget;
    }
    case ControlKind::kEdit: {
      if (c.styles & kMultiLine) {
        // Lines break only where the text has line breaks; scrolling follows the caret, and
        // there are no scroll bars.
        control.widget = gtk_text_view_new();
        gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(control.widget), GTK_WRAP_NONE);
        gtk_text_view_set_accepts_tab(GTK_TEXT_VIEW(control.widget), FALSE);
        if (c.styles & kReadOnly) gtk_text_view_set_editable(GTK_TEXT_VIEW(control.widget), FALSE);
        GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_EXTERNAL,
                                       GTK_POLICY_EXTERNAL);
        if (c.styles & kBorder)
          gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
        gtk_container_add(GTK_CONTAINER(scroller), control.widget);
        return scroller;
      }
      control.widget = gtk_entry_new();
      gtk_entry_set_has_frame(GTK_ENTRY(control.widget), (c.styles & kBorder) != 0);
      gtk_entry_set_width_chars(GTK_ENTRY(control.widget), 1);
      if (c.styles & kPassword) gtk_entry_set_visibility(GTK_ENTRY(control.widget), FALSE);
      if (c.styles & kReadOnly) gtk_editable_set_editable(GTK_EDITABLE(control.widget), FALSE);
      gtk_entry_set_text(GTK_ENTRY(control.widget), text.c_str());
      return control.widget;
    }
    case ControlKind::kLabel: {
      control.widget = gtk_label_new(text.c_str());
      gtk_label_set_xalign(GTK_LABEL(control.widget), (c.styles & kLeftAligned) ? 0.0f : 0.5f);
      gtk_label_set_yalign(GTK_LABEL(control.widget), 0.0f);
      // Without it a label asks for its whole text's width, and a long text would push past its
      // rectangle over its neighbours.
      if (c.styles & kEndEllipsis)
        gtk_label_set_ellipsize(GTK_LABEL(control.widget), PANGO_ELLIPSIZE_END);
      return control.widget;
    }
    case ControlKind::kCheckBox: {
      control.widget = gtk_check_button_new_with_label(text.c_str());
      g_signal_connect(control.widget, "clicked", G_CALLBACK(ClickedThunk), this);
      return control.widget;
    }
    case ControlKind::kBlackFrame: {
      control.widget = gtk_drawing_area_new();
      g_signal_connect(control.widget, "draw", G_CALLBACK(DrawFrame), nullptr);
      return control.widget;
    }
    case ControlKind::kPicture: {
      control.widget = gtk_event_box_new();
      gtk_event_box_set_visible_window(GTK_EVENT_BOX(control.widget), FALSE);
      gtk_container_add(GTK_CONTAINER(control.widget), gtk_image_new());
      ShowPicture(control);
      g_signal_connect(control.widget, "notify::scale-factor", G_CALLBACK(PictureScaleThunk), this);
      if (c.styles & kNotify) {
        gtk_widget_add_events(control.widget, GDK_BUTTON_PRESS_MASK);
        g_signal_connect(control.widget, "button-press-event", G_CALLBACK(PictureButtonThunk),
                         this);
      }
      return control.widget;
    }
    case ControlKind::kComboBox: {
      control.widget = gtk_combo_box_text_new();
      g_signal_connect(control.widget, "changed", G_CALLBACK(ComboChangedThunk), this);
      return control.widget;
    }
  }
  control.widget = gtk_label_new(nullptr);
  return control.widget;
}

void GtkDialogWindow::LabelControls() {
  // As the dialog manager names a control by the text before it in the template: the label's
  // text becomes the control's name, and each refers to the other (ATK's LABELLED_BY and
  // LABEL_FOR). A label that ends the template labels nothing.
  for (std::size_t i = 0; i + 1 < controls_.size(); ++i) {
    if (controls_[i].kind != ControlKind::kLabel) continue;
    const Control& named = controls_[i + 1];
    if (named.kind == ControlKind::kLabel || named.kind == ControlKind::kBlackFrame) continue;
    GtkLabel* label = GTK_LABEL(controls_[i].widget);
    gtk_label_set_mnemonic_widget(label, named.widget);
    atk_object_set_name(gtk_widget_get_accessible(named.widget), gtk_label_get_text(label));
  }
}

}  // namespace larkwend::gtk
