// The widgets that stand for a template's controls.
#include <algorithm>

#include "platform/gtk/dialogs/gtk_dialog_window.h"
#include "platform/gtk/dialogs/picture_pixbuf.h"
#include "platform/gtk/web/webkit_browser_control.h"

namespace larkwend::gtk {
namespace {

gboolean DrawBlackFrame(GtkWidget* widget, cairo_t* cr, gpointer) {
  const int width = gtk_widget_get_allocated_width(widget);
  const int height = gtk_widget_get_allocated_height(widget);
  cairo_set_source_rgb(cr, 0, 0, 0);
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

// The picture at its own size, or scaled down (keeping its proportions) to fit the control.
GtkWidget* MakePicture(std::span<const unsigned char> bytes, const PixelRect& rect) {
  GObjectPtr<GdkPixbuf> picture = LoadPicture(bytes);
  if (!picture) return gtk_image_new();
  const int width = gdk_pixbuf_get_width(picture.get());
  const int height = gdk_pixbuf_get_height(picture.get());
  const double scale = std::min({1.0, double(rect.width) / width, double(rect.height) / height});
  if (scale < 1.0 && scale > 0) {
    picture = GObjectPtr<GdkPixbuf>::Adopt(
        gdk_pixbuf_scale_simple(picture.get(), std::max(1, int(width * scale)),
                                std::max(1, int(height * scale)), GDK_INTERP_BILINEAR));
  }
  return gtk_image_new_from_pixbuf(picture.get());
}

}  // namespace

std::span<const unsigned char> GtkDialogWindow::PictureBytes(int resourceId) const {
  if (!pictures_) return {};
  return pictures_(resourceId);
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
      gtk_entry_set_text(GTK_ENTRY(control.widget), text.c_str());
      return control.widget;
    }
    case ControlKind::kLabel: {
      control.widget = gtk_label_new(text.c_str());
      gtk_label_set_xalign(GTK_LABEL(control.widget), (c.styles & kLeftAligned) ? 0.0f : 0.5f);
      gtk_label_set_yalign(GTK_LABEL(control.widget), 0.0f);
      return control.widget;
    }
    case ControlKind::kBlackFrame: {
      control.widget = gtk_drawing_area_new();
      g_signal_connect(control.widget, "draw", G_CALLBACK(DrawBlackFrame), nullptr);
      return control.widget;
    }
    case ControlKind::kPicture: {
      control.widget = gtk_event_box_new();
      gtk_event_box_set_visible_window(GTK_EVENT_BOX(control.widget), FALSE);
      gtk_container_add(GTK_CONTAINER(control.widget),
                        MakePicture(PictureBytes(c.bitmap), control.rect));
      if (c.styles & kNotify) {
        gtk_widget_add_events(control.widget, GDK_BUTTON_PRESS_MASK);
        g_signal_connect(control.widget, "button-press-event", G_CALLBACK(PictureButtonThunk),
                         this);
      }
      return control.widget;
    }
    case ControlKind::kComboBox: {
      control.widget = gtk_combo_box_text_new();
      return control.widget;
    }
  }
  control.widget = gtk_label_new(nullptr);
  return control.widget;
}

}  // namespace larkwend::gtk
