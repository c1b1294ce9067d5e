#include "platform/gtk/gtk_dialog_window.h"

#include <algorithm>
#include <cmath>

#include "platform/gtk/gtk_message_box.h"
#include "platform/gtk/handler_gate.h"
#include "platform/gtk/picture_pixbuf.h"
#include "platform/gtk/webkit_browser_control.h"
#include "platform/gtk/window_registry.h"
#include "platform/text.h"

namespace larkwend::gtk {
namespace {

// Control ids are stored offset by one, so that no id is stored as a null pointer.
void TagControl(GtkWidget* widget, int id) {
  g_object_set_data(G_OBJECT(widget), kControlIdKey, GINT_TO_POINTER(id + 1));
}

std::optional<int> TagOf(GtkWidget* widget) {
  gpointer data = g_object_get_data(G_OBJECT(widget), kControlIdKey);
  if (!data) return std::nullopt;
  return GPOINTER_TO_INT(data) - 1;
}

GtkWidget* FindTagged(GtkWidget* widget, int id) {
  if (std::optional<int> tag = TagOf(widget)) return *tag == id ? widget : nullptr;
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  struct Search {
    int id;
    GtkWidget* found = nullptr;
  } search{id};
  gtk_container_forall(
      GTK_CONTAINER(widget),
      [](GtkWidget* child, gpointer data) {
        auto* s = static_cast<Search*>(data);
        if (!s->found) s->found = FindTagged(child, s->id);
      },
      &search);
  return search.found;
}

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

bool IsTab(guint keyval) {
  return keyval == GDK_KEY_Tab || keyval == GDK_KEY_KP_Tab || keyval == GDK_KEY_ISO_Left_Tab;
}

bool IsEnter(guint keyval) {
  return keyval == GDK_KEY_Return || keyval == GDK_KEY_KP_Enter || keyval == GDK_KEY_ISO_Enter;
}

}  // namespace

GtkWidget* FindDialogControl(GtkWidget* toplevel, int id) {
  return FindTagged(toplevel, id);
}

int DialogControlIdOf(GtkWidget* widget) {
  for (; widget; widget = gtk_widget_get_parent(widget))
    if (std::optional<int> tag = TagOf(widget)) return *tag;
  return -1;
}

int DialogTemplateIdOf(GtkWindow* window) {
  gpointer data = g_object_get_data(G_OBJECT(window), kTemplateIdKey);
  return data ? GPOINTER_TO_INT(data) : -1;
}

std::vector<unsigned> RunningDialogTimers(GtkWindow* window) {
  auto* dialog =
      static_cast<const GtkDialogWindow*>(g_object_get_data(G_OBJECT(window), kDialogWindowKey));
  return dialog ? dialog->RunningTimers() : std::vector<unsigned>{};
}

std::span<const unsigned char> GtkDialogWindow::PictureBytes(int resourceId) const {
  if (!pictures_) return {};
  return pictures_(resourceId);
}

std::vector<unsigned> GtkDialogWindow::RunningTimers() const {
  std::vector<unsigned> ids;
  for (const auto& [id, timer] : timers_) ids.push_back(id);
  return ids;
}

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
    Control& control = controls_.emplace_back(
        Control{c.id, c.kind, c.styles, nullptr, nullptr, DialogUnitsToPixels(c.rect, base)});
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
  gtk_widget_show(layout_);

  g_signal_connect(window_, "key-press-event", G_CALLBACK(KeyPressThunk), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(DeleteThunk), this);
  g_signal_connect(window_, "window-state-event", G_CALLBACK(WindowStateThunk), this);
  g_signal_connect_after(layout_, "size-allocate", G_CALLBACK(AllocateThunk), this);
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

// ---- the modal loop --------------------------------------------------------------------------

void GtkDialogWindow::FocusFirstTabStop() {
  for (const Control& control : controls_) {
    if (!(control.styles & kTabStop) || !(control.styles & kVisible)) continue;
    gtk_widget_grab_focus(control.widget);
    // An edit that receives the focus this way selects its whole text (an entry does so itself).
    if (GTK_IS_TEXT_VIEW(control.widget)) {
      GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(control.widget));
      GtkTextIter start, end;
      gtk_text_buffer_get_bounds(buffer, &start, &end);
      gtk_text_buffer_select_range(buffer, &start, &end);
    }
    return;
  }
}

void GtkDialogWindow::RegisterWindow() {
  WindowRegistry& registry = WindowRegistry::Instance();
  WindowId id = registry.RegisterWindow(GTK_WIDGET(window_), title_);
  for (const Control& control : controls_)
    if (control.kind == ControlKind::kPushButton)
      registry.RegisterChild(id, control.widget, gtk_button_get_label(GTK_BUTTON(control.widget)));
}

int GtkDialogWindow::RunModalLoop(bool focusFirst) {
  // EndDialog during the initialisation: the window is never shown.
  if (result_) return *result_;
  if (focusFirst) FocusFirstTabStop();
  gtk_widget_show(GTK_WIDGET(window_));
  RegisterWindow();
  loop_ = g_main_loop_new(nullptr, FALSE);
  if (!result_) g_main_loop_run(loop_);
  g_main_loop_unref(loop_);
  loop_ = nullptr;
  gtk_widget_hide(GTK_WIDGET(window_));
  return result_.value_or(IDCANCEL);
}

void GtkDialogWindow::EndDialog(int result) {
  result_ = result;
  if (loop_) g_main_loop_quit(loop_);
}

// ---- what the handler hears ------------------------------------------------------------------

void GtkDialogWindow::Command(int id) {
  std::weak_ptr<Token> weak = token_;
  HandlerGate::RunOrDefer([weak, id] {
    if (std::shared_ptr<Token> token = weak.lock())
      token->window->handler_.OnCommand(id, BN_CLICKED);
  });
}

void GtkDialogWindow::TimerTick(unsigned id) {
  // Like a window's timer message: while one tick waits for the gate, the next is not queued.
  if (!ticksWaiting_.insert(id).second) return;
  std::weak_ptr<Token> weak = token_;
  HandlerGate::RunOrDefer([weak, id] {
    std::shared_ptr<Token> token = weak.lock();
    if (!token) return;
    GtkDialogWindow& self = *token->window;
    self.ticksWaiting_.erase(id);
    // A timer stopped while its tick waited delivers nothing.
    if (self.timers_.count(id)) self.handler_.OnTimer(id);
  });
}

bool GtkDialogWindow::OnKeyPress(const GdkEventKey& key) {
  if (key.keyval == GDK_KEY_Escape) {
    Command(IDCANCEL);
    return true;
  }
  GtkWidget* focus = gtk_window_get_focus(window_);
  const Control* focused = focus ? Find(DialogControlIdOf(focus)) : nullptr;
  if (IsTab(key.keyval)) {
    // Inside the browser, Tab moves through the page's own fields.
    if (focused && focused->kind == ControlKind::kBrowser) return false;
    const bool backward = key.keyval == GDK_KEY_ISO_Left_Tab || (key.state & GDK_SHIFT_MASK);
    MoveFocus(focused, backward);
    return true;
  }
  if (!IsEnter(key.keyval)) return false;
  // Enter in an edit or the combo box presses the default push button; a multi-line edit that
  // wants Enter keeps it, and buttons and the browser handle it themselves.
  if (!focused) return false;
  const bool takesEnter = focused->kind == ControlKind::kComboBox ||
                          (focused->kind == ControlKind::kEdit && !(focused->styles & kWantReturn));
  if (!takesEnter) return false;
  int defaultId = IDOK;
  for (const Control& control : controls_)
    if (control.kind == ControlKind::kPushButton && (control.styles & kDefaultButton))
      defaultId = control.id;
  Command(defaultId);
  return true;
}

void GtkDialogWindow::MoveFocus(const Control* from, bool backward) {
  // The next tab stop in template order, wrapping around, as the dialog manager moves it.
  const int count = static_cast<int>(controls_.size());
  const int start = from ? static_cast<int>(from - controls_.data()) : (backward ? 0 : count - 1);
  for (int step = 1; step <= count; ++step) {
    const int index = ((start + (backward ? -step : step)) % count + count) % count;
    const Control& control = controls_[static_cast<std::size_t>(index)];
    if ((control.styles & kTabStop) && gtk_widget_is_visible(control.widget) &&
        gtk_widget_is_sensitive(control.widget)) {
      gtk_widget_grab_focus(control.widget);
      return;
    }
  }
}

bool GtkDialogWindow::OnPictureButton(int id, const GdkEventButton& event) {
  if (event.type != GDK_BUTTON_PRESS || event.button != 1) return false;
  // The second press of a double-click is no click.
  GtkSettings* settings = gtk_widget_get_settings(GTK_WIDGET(window_));
  int doubleTime = 400, doubleDistance = 5;
  g_object_get(settings, "gtk-double-click-time", &doubleTime, "gtk-double-click-distance",
               &doubleDistance, nullptr);
  const bool secondOfDouble = lastPressValid_ &&
                              event.time - lastPressTime_ <= guint32(doubleTime) &&
                              std::abs(event.x_root - lastPressX_) <= doubleDistance &&
                              std::abs(event.y_root - lastPressY_) <= doubleDistance;
  lastPressValid_ = !secondOfDouble;
  lastPressTime_ = event.time;
  lastPressX_ = event.x_root;
  lastPressY_ = event.y_root;
  if (!secondOfDouble) Command(id);
  return true;
}

void GtkDialogWindow::OnLayoutAllocated(int width, int height) {
  if (lastSize_ && lastSize_->first == width && lastSize_->second == height) return;
  lastSize_.emplace(width, height);
  const int sizeType = (state_ & GDK_WINDOW_STATE_ICONIFIED)   ? 1
                       : (state_ & GDK_WINDOW_STATE_MAXIMIZED) ? 2
                                                               : 0;
  handler_.OnSize(sizeType, width, height);
  // The layout has placed its children already; a child the handler resized is placed again
  // now, so that it follows in this very layout pass rather than the next one.
  for (const Control& control : controls_) {
    if (!gtk_widget_get_visible(control.placed)) continue;
    GtkRequisition wanted;
    gtk_widget_get_preferred_size(control.placed, &wanted, nullptr);
    GtkAllocation current;
    gtk_widget_get_allocation(control.placed, &current);
    if (current.width == wanted.width && current.height == wanted.height) continue;
    GtkAllocation allocation{control.rect.x, control.rect.y, wanted.width, wanted.height};
    gtk_widget_size_allocate(control.placed, &allocation);
  }
}

gboolean GtkDialogWindow::KeyPressThunk(GtkWidget*, GdkEventKey* event, gpointer self) {
  return static_cast<GtkDialogWindow*>(self)->OnKeyPress(*event);
}

gboolean GtkDialogWindow::DeleteThunk(GtkWidget*, GdkEvent*, gpointer self) {
  // The close box is the cancel command; the handler decides whether the window ends.
  static_cast<GtkDialogWindow*>(self)->Command(IDCANCEL);
  return TRUE;
}

gboolean GtkDialogWindow::WindowStateThunk(GtkWidget*, GdkEventWindowState* event, gpointer self) {
  static_cast<GtkDialogWindow*>(self)->state_ = event->new_window_state;
  return FALSE;
}

void GtkDialogWindow::AllocateThunk(GtkWidget*, GdkRectangle* allocation, gpointer self) {
  static_cast<GtkDialogWindow*>(self)->OnLayoutAllocated(allocation->width, allocation->height);
}

void GtkDialogWindow::ClickedThunk(GtkButton* button, gpointer self) {
  static_cast<GtkDialogWindow*>(self)->Command(DialogControlIdOf(GTK_WIDGET(button)));
}

gboolean GtkDialogWindow::PictureButtonThunk(GtkWidget* widget, GdkEventButton* event,
                                             gpointer self) {
  return static_cast<GtkDialogWindow*>(self)->OnPictureButton(DialogControlIdOf(widget), *event);
}

gboolean GtkDialogWindow::TimerThunk(gpointer data) {
  // The handler may stop or restart this very timer; nothing of `timer` is used after the tick.
  auto* timer = static_cast<Timer*>(data);
  timer->window->TimerTick(timer->id);
  return G_SOURCE_CONTINUE;
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
  // One picture serves as the large and the small icon; the desktop gets it at common sizes.
  GObjectPtr<GdkPixbuf> icon = LoadPicture(PictureBytes(iconResource));
  if (!icon) return;
  std::vector<GObjectPtr<GdkPixbuf>> sizes{icon};
  for (int size : {32, 16})
    sizes.push_back(GObjectPtr<GdkPixbuf>::Adopt(
        gdk_pixbuf_scale_simple(icon.get(), size, size, GDK_INTERP_BILINEAR)));
  GList* list = nullptr;
  for (auto it = sizes.rbegin(); it != sizes.rend(); ++it) list = g_list_prepend(list, it->get());
  gtk_window_set_icon_list(window_, list);
  g_list_free(list);
}

bool GtkDialogWindow::HasItem(int id) const {
  return Find(id) != nullptr;
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
  gtk_combo_box_set_active(GTK_COMBO_BOX(control->widget), valid ? index : -1);
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

bool GtkDialogWindow::IsMinimized() {
  return (state_ & GDK_WINDOW_STATE_ICONIFIED) != 0;
}

BrowserControl* GtkDialogWindow::GetBrowserControl(int id) {
  const Control* control = Find(id);
  return control && control->kind == ControlKind::kBrowser ? browser_.get() : nullptr;
}

void GtkDialogWindow::SetTimer(unsigned id, unsigned periodMs) {
  KillTimer(id);
  const double scaled = std::round(periodMs * timerScale_);
  const guint interval = scaled < 1 ? 1 : static_cast<guint>(scaled);
  auto timer = std::make_unique<Timer>(Timer{this, id, 0});
  timer->source = g_timeout_add(interval, TimerThunk, timer.get());
  timers_[id] = std::move(timer);
}

void GtkDialogWindow::KillTimer(unsigned id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  g_source_remove(it->second->source);
  timers_.erase(it);
}

int GtkDialogWindow::MessageBox(const std::string& text, const std::string& caption,
                                unsigned type) {
  return RunMessageBox(window_, text, caption, type);
}

}  // namespace larkwend::gtk
