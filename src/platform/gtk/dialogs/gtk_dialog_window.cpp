// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/dialogs/gtk_dialog_window.h"

#include <algorithm>

#include "platform/gtk/dialogs/gtk_dialog_tags.h"
#include "platform/gtk/dialogs/gtk_message_box.h"
#include "platform/gtk/dialogs/picture_pixbuf.h"
#include "platform/gtk/web/webkit_browser_control.h"
#include "platform/text.h"

namespace larkwend::gtk {

// ---- construction ----------------------------------------------------------------------------

GtkDialogWindow::GtkDialogWindow(const DialogTemplate& tmpl, DialogHandler& handler,
                                 GtkWindow* owner, double timerScale)
    : handler_(handler),
      timerScale_(timerScale),
      window_(GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL))),
      layout_(gtk_layout_new(nullptr, nullptr)),
      pictures_(tmpl.pictures),
      title_(tmpl.caption),
      token_(std::make_shared<Token>(Token{this})) {
  g_object_set_data(G_OBJECT(window_), kTemplateIdKey, GINT_TO_POINTER(tmpl.id));
  g_object_set_data(G_OBJECT(window_), kDialogWindowKey, this);
  gtk_window_set_title(window_, title_.c_str());
  gtk_window_set_resizable(window_, tmpl.resizable);
  if (owner) {
    // Modal to its owner, as a dialog run from another dialog's handler is.
    gtk_window_set_transient_for(window_, owner);
    gtk_window_set_modal(window_, TRUE);
    gtk_window_set_position(window_, GTK_WIN_POS_CENTER_ON_PARENT);
  } else {
    gtk_window_set_position(window_, GTK_WIN_POS_CENTER);
  }

  DialogFont font(tmpl.fontName, tmpl.fontPoints);
  font.Apply(GTK_WIDGET(window_));
  const BaseUnits base = font.Measure(GTK_WIDGET(window_));
  const PixelRect client = DialogUnitsToPixels({0, 0, tmpl.width, tmpl.height}, base);
  initialClient_ = client;
  // The layout asks for no size of its own, so a resizable window can also be made smaller than
  // its controls; a fixed-size window takes the template's size from it.
  if (tmpl.resizable)
    gtk_window_set_default_size(window_, client.width, client.height);
  else
    gtk_widget_set_size_request(layout_, client.width, client.height);
  gtk_container_add(GTK_CONTAINER(window_), layout_);

  std::vector<GtkWidget*> tabOrder;
  controls_.reserve(tmpl.controls.size());
  for (const ControlTemplate& c : tmpl.controls) {
    Control& control = controls_.emplace_back(Control{c.id, c.kind, c.styles, nullptr, nullptr,
                                                      DialogUnitsToPixels(c.rect, base), c.bitmap});
    control.placed = MakeWidget(c, control);
    TagControl(control.widget, c.id);
    // A combo box is as high as its closed box; the template's height includes its list.
    const int height = c.kind == ControlKind::kComboBox ? -1 : control.rect.height;
    gtk_widget_set_size_request(control.placed, control.rect.width, height);
    gtk_layout_put(GTK_LAYOUT(layout_), control.placed, control.rect.x, control.rect.y);
    if (c.styles & kVisible) gtk_widget_show_all(control.placed);
    if (c.styles & kTabStop)
      tabOrder.push_back(control.placed);
    else if (c.kind != ControlKind::kBrowser)
      gtk_widget_set_can_focus(control.widget, FALSE);
  }
  // Tab moves through the tab stops in template order, not by position.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  GList* chain = nullptr;
  for (auto it = tabOrder.rbegin(); it != tabOrder.rend(); ++it) chain = g_list_prepend(chain, *it);
  gtk_container_set_focus_chain(GTK_CONTAINER(layout_), chain);
  g_list_free(chain);
  G_GNUC_END_IGNORE_DEPRECATIONS
  LabelControls();
  gtk_widget_show(layout_);

  g_signal_connect(window_, "key-press-event", G_CALLBACK(KeyPressThunk), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(DeleteThunk), this);
  g_signal_connect(window_, "window-state-event", G_CALLBACK(WindowStateThunk), this);
  g_signal_connect(window_, "focus-in-event", G_CALLBACK(FocusInThunk), this);
  g_signal_connect_after(layout_, "size-allocate", G_CALLBACK(AllocateThunk), this);
}

GtkDialogWindow::~GtkDialogWindow() {
  // Deferred clicks and ticks find the window gone; timers and signals stop here.
  token_.reset();
  for (auto& [id, timer] : timers_) g_source_remove(timer->source);
  timers_.clear();
  g_signal_handlers_disconnect_by_data(window_, this);
  g_signal_handlers_disconnect_by_data(layout_, this);
  for (const Control& control : controls_)
    g_signal_handlers_disconnect_by_data(control.widget, this);
  // The browser control owns its view: take the view out of the window before the window goes,
  // and let the control end it.
  if (browser_) {
    gtk_container_remove(GTK_CONTAINER(layout_), browser_->widget());
    browser_.reset();
  }
  gtk_widget_destroy(GTK_WIDGET(window_));
}

// ---- size and state ------------------------------------------------------------------------

void GtkDialogWindow::RequestAttention() {
  gtk_window_set_urgency_hint(window_, TRUE);
}

gboolean GtkDialogWindow::FocusInThunk(GtkWidget*, GdkEventFocus*, gpointer self) {
  // The student has turned to the window: it no longer asks for attention. GTK leaves the hint
  // set until it is taken back.
  gtk_window_set_urgency_hint(static_cast<GtkDialogWindow*>(self)->window_, FALSE);
  return GDK_EVENT_PROPAGATE;
}

void GtkDialogWindow::OnLayoutAllocated(int width, int height) {
  if (lastSize_ && lastSize_->first == width && lastSize_->second == height) return;
  lastSize_.emplace(width, height);
  const int sizeType = (state_ & GDK_WINDOW_STATE_ICONIFIED)   ? 1
                       : (state_ & GDK_WINDOW_STATE_MAXIMIZED) ? 2
                                                               : 0;
  handler_.OnSize(sizeType, width, height);
  // The layout has placed its children already; a child the handler moved or resized is placed
  // again now, so that it follows in this very layout pass rather than the next one.
  for (const Control& control : controls_) {
    if (!gtk_widget_get_visible(control.placed)) continue;
    GtkRequisition wanted;
    gtk_widget_get_preferred_size(control.placed, &wanted, nullptr);
    GtkAllocation current;
    gtk_widget_get_allocation(control.placed, &current);
    if (current.x == control.rect.x && current.y == control.rect.y &&
        current.width == wanted.width && current.height == wanted.height)
      continue;
    GtkAllocation allocation{control.rect.x, control.rect.y, wanted.width, wanted.height};
    gtk_widget_size_allocate(control.placed, &allocation);
  }
}

gboolean GtkDialogWindow::WindowStateThunk(GtkWidget*, GdkEventWindowState* event, gpointer self) {
  static_cast<GtkDialogWindow*>(self)->state_ = event->new_window_state;
  return FALSE;
}

void GtkDialogWindow::AllocateThunk(GtkWidget*, GdkRectangle* allocation, gpointer self) {
  static_cast<GtkDialogWindow*>(self)->OnLayoutAllocated(allocation->width, allocation->height);
}

// ---- DialogWindow ----------------------------------------------------------------------------

GtkDialogWindow::Control* GtkDialogWindow::Find(int id) {
  if (id < 0) return nullptr;
  for (Control& control : controls_)
    if (control.id == id) return &control;
  return nullptr;
}

const GtkDialogWindow::Control* GtkDialogWindow::Find(int id) const {
  return const_cast<GtkDialogWindow*>(this)->Find(id);
}

void GtkDialogWindow::SetTitle(const std::string& text) {
  title_ = GbkToUtf8(text);
  gtk_window_set_title(window_, title_.c_str());
}

void GtkDialogWindow::SetIcon(int iconResource) {
  // One picture serves as the large and the small icon; the desktop gets it at common sizes, and
  // at twice its size where the program carries that drawing too.
  GObjectPtr<GdkPixbuf> icon = LoadPicture(PictureBytes(iconResource, 1));
  if (!icon) return;
  std::vector<GObjectPtr<GdkPixbuf>> sizes;
  if (GObjectPtr<GdkPixbuf> twice = LoadPicture(PictureBytes(iconResource, 2)))
    sizes.push_back(twice);
  sizes.push_back(icon);
  for (int size : {32, 16})
    sizes.push_back(GObjectPtr<GdkPixbuf>::Adopt(
        gdk_pixbuf_scale_simple(icon.get(), size, size, GDK_INTERP_BILINEAR)));
  GList* list = nullptr;
  for (auto it = sizes.rbegin(); it != sizes.rend(); ++it) list = g_list_prepend(list, it->get());
  gtk_window_set_icon_list(window_, list);
  g_list_free(list);
}

std::string GtkDialogWindow::GetItemText(int id) {
  const Control* control = Find(id);
  if (!control) return {};
  GtkWidget* widget = control->widget;
  std::string utf8;
  if (GTK_IS_ENTRY(widget)) {
    utf8 = gtk_entry_get_text(GTK_ENTRY(widget));
  } else if (GTK_IS_TEXT_VIEW(widget)) {
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget));
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    std::unique_ptr<char, GFreeDeleter> text(gtk_text_buffer_get_text(buffer, &start, &end, TRUE));
    utf8 = text.get();
  } else if (GTK_IS_LABEL(widget)) {
    utf8 = gtk_label_get_text(GTK_LABEL(widget));
  } else if (GTK_IS_BUTTON(widget)) {
    if (const char* label = gtk_button_get_label(GTK_BUTTON(widget))) utf8 = label;
  } else if (GTK_IS_COMBO_BOX_TEXT(widget)) {
    std::unique_ptr<char, GFreeDeleter> text(
        gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(widget)));
    if (text) utf8 = text.get();
  }
  return Utf8ToGbk(utf8);
}

void GtkDialogWindow::SetItemText(int id, const std::string& text) {
  const Control* control = Find(id);
  if (!control) return;
  GtkWidget* widget = control->widget;
  const std::string utf8 = GbkToUtf8(text);
  if (GTK_IS_ENTRY(widget))
    gtk_entry_set_text(GTK_ENTRY(widget), utf8.c_str());
  else if (GTK_IS_TEXT_VIEW(widget))
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget)), utf8.c_str(), -1);
  else if (GTK_IS_LABEL(widget))
    gtk_label_set_text(GTK_LABEL(widget), utf8.c_str());
  else if (GTK_IS_BUTTON(widget))
    gtk_button_set_label(GTK_BUTTON(widget), utf8.c_str());
}

void GtkDialogWindow::AddComboItem(int id, const std::string& text) {
  const Control* control = Find(id);
  if (control && GTK_IS_COMBO_BOX_TEXT(control->widget))
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(control->widget), GbkToUtf8(text).c_str());
}

int GtkDialogWindow::GetComboSelection(int id) {
  const Control* control = Find(id);
  if (!control || !GTK_IS_COMBO_BOX(control->widget)) return -1;
  return gtk_combo_box_get_active(GTK_COMBO_BOX(control->widget));
}

void GtkDialogWindow::SetComboSelection(int id, int index) {
  const Control* control = Find(id);
  if (!control || !GTK_IS_COMBO_BOX(control->widget)) return;
  GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(control->widget));
  const bool valid = index >= 0 && index < gtk_tree_model_iter_n_children(model, nullptr);
  // The program's own choice is no change of the student's.
  g_signal_handlers_block_by_func(control->widget, reinterpret_cast<gpointer>(ComboChangedThunk),
                                  this);
  gtk_combo_box_set_active(GTK_COMBO_BOX(control->widget), valid ? index : -1);
  g_signal_handlers_unblock_by_func(control->widget, reinterpret_cast<gpointer>(ComboChangedThunk),
                                    this);
}

PixelRect GtkDialogWindow::GetItemRect(int id) {
  const Control* control = Find(id);
  return control ? control->rect : PixelRect{0, 0, 0, 0};
}

PixelRect GtkDialogWindow::GetClientRect() {
  // Before the window is first laid out, the client area is the template's.
  if (!gtk_widget_get_realized(layout_)) return initialClient_;
  GtkAllocation allocation;
  gtk_widget_get_allocation(layout_, &allocation);
  return {0, 0, allocation.width, allocation.height};
}

void GtkDialogWindow::SetItemSize(int id, int width, int height) {
  Control* control = Find(id);
  if (!control) return;
  // The layout keeps the position and the stacking order; -1 would mean "natural size" to GTK.
  control->rect.width = std::max(width, 0);
  control->rect.height = std::max(height, 0);
  gtk_widget_set_size_request(control->placed, control->rect.width, control->rect.height);
}

void GtkDialogWindow::MoveItem(int id, int x, int y, int width, int height) {
  Control* control = Find(id);
  if (!control) return;
  control->rect.x = x;
  control->rect.y = y;
  gtk_layout_move(GTK_LAYOUT(layout_), control->placed, x, y);
  SetItemSize(id, width, height);
}

bool GtkDialogWindow::GetCheck(int id) {
  const Control* control = Find(id);
  return control && control->kind == ControlKind::kCheckBox &&
         gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(control->widget));
}

void GtkDialogWindow::SetCheck(int id, bool checked) {
  const Control* control = Find(id);
  if (!control || control->kind != ControlKind::kCheckBox) return;
  // GTK reports a change of state as a click; the program's own change is none.
  g_signal_handlers_block_by_func(control->widget, reinterpret_cast<gpointer>(ClickedThunk), this);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(control->widget), checked);
  g_signal_handlers_unblock_by_func(control->widget, reinterpret_cast<gpointer>(ClickedThunk),
                                    this);
}

void GtkDialogWindow::SetItemAccessibleName(int id, const std::string& text) {
  if (const Control* control = Find(id))
    atk_object_set_name(gtk_widget_get_accessible(control->widget), GbkToUtf8(text).c_str());
}

BrowserControl* GtkDialogWindow::GetBrowserControl(int id) {
  const Control* control = Find(id);
  return control && control->kind == ControlKind::kBrowser ? browser_.get() : nullptr;
}

int GtkDialogWindow::MessageBox(const std::string& text, const std::string& caption,
                                unsigned type) {
  return RunMessageBox(window_, text, caption, type);
}

}  // namespace larkwend::gtk
