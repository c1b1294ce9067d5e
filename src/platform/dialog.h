// SPDX-License-Identifier: GPL-3.0-or-later
// Dialogs built from templates, and the small dialog framework the program's windows derive from.
//
// `DialogSystem` and `DialogWindow` are the platform's side (GTK in the program, in-memory in the
// unit tests). `CDialog` is the framework on top: it runs a template modally, adds the template's
// combo items, runs the data exchange and ends on the OK and Cancel commands. Texts passed in and
// out are the program's GBK text; template texts are UTF-8 resource data.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace larkwend {

class BrowserControl;

// Message box styles and answers, with the values the program's callers compare against.
enum : unsigned {
  MB_OK = 0x0,
  MB_YESNO = 0x4,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Notification code of a click, for buttons, check boxes and notifying pictures alike.
constexpr int BN_CLICKED = 0;
// Notification code of a combo box whose selection the student changed (never sent for a
// selection the program sets).
constexpr int CBN_SELCHANGE = 1;

enum class ControlKind {
  kBrowser,
  kPushButton,
  kEdit,
  kLabel,
  kBlackFrame,
  kPicture,
  kComboBox,
  kCheckBox,  // its clicks are commands, as a push button's
};

enum ControlStyle : unsigned {
  kTabStop = 1u << 0,
  kDefaultButton = 1u << 1,
  kBorder = 1u << 2,
  kAutoHScroll = 1u << 3,
  kAutoVScroll = 1u << 4,
  kPassword = 1u << 5,
  kMultiLine = 1u << 6,
  kWantReturn = 1u << 7,  // Enter inserts a line break instead of pressing the default button
  kNoHideSelection = 1u << 8,
  kGroup = 1u << 9,
  kNotify = 1u << 10,  // a picture that reports clicks
  kDropDownList = 1u << 11,
  kVScroll = 1u << 12,
  kLeftAligned = 1u << 13,
  kVisible = 1u << 14,
  kEndEllipsis = 1u << 15,  // a label's text that does not fit ends in "…" instead of being cut
  kReadOnly = 1u << 16,     // an edit whose text can be selected and copied, never changed
};

struct DialogUnits {
  int x, y, width, height;
};

struct ControlTemplate {
  int id;  // -1 for controls without an id (labels, rules)
  ControlKind kind;
  std::string_view text;  // UTF-8
  DialogUnits rect;
  unsigned styles;
  int bitmap = 0;  // picture resource of a kPicture control
};

// The program's pictures by resource id, as encoded image bytes (PNG), drawn for `scale` device
// pixels per logical pixel (1: at the picture's own size); empty for an unknown id or a scale the
// picture is not drawn for, where the window makes do with the picture at scale 1.
using PictureLookup = std::span<const unsigned char> (*)(int resourceId, int scale);

struct DialogTemplate {
  int id;
  int width, height;         // dialog units
  std::string_view caption;  // UTF-8
  std::string_view fontName;
  int fontPoints;
  bool resizable;
  std::vector<ControlTemplate> controls;  // template order, which is also the tab order
  int comboId = -1;                       // initialisation data: the items of one combo box
  std::vector<std::string_view> comboItems;
  // Where the window finds the bytes of its pictures and of the icon it is given; a dialog
  // without one shows none.
  PictureLookup pictures = nullptr;
};

struct PixelRect {
  int x, y, width, height;
};

class DialogHandler;

// A live dialog window. Everything here runs on the GUI thread.
class DialogWindow {
 public:
  virtual ~DialogWindow() = default;

  virtual void SetTitle(const std::string& text) = 0;
  // Large and small icon from an icon resource.
  virtual void SetIcon(int iconResource) = 0;

  virtual std::string GetItemText(int id) = 0;
  virtual void SetItemText(int id, const std::string& text) = 0;
  virtual void AddComboItem(int id, const std::string& text) = 0;
  virtual int GetComboSelection(int id) = 0;  // -1 when nothing is selected
  virtual void SetComboSelection(int id, int index) = 0;

  // In pixels; the browser's rectangle is relative to the client area.
  virtual PixelRect GetItemRect(int id) = 0;
  virtual PixelRect GetClientRect() = 0;
  // Changes a child's size, keeping its position and stacking order.
  virtual void SetItemSize(int id, int width, int height) = 0;
  // Moves a child to `x`, `y` of the client area and gives it the size, keeping its stacking
  // order.
  virtual void MoveItem(int id, int x, int y, int width, int height) = 0;

  // A check box's state; false for any other control.
  virtual bool GetCheck(int id) = 0;
  // Sets it without a click: the handler hears no command for it.
  virtual void SetCheck(int id, bool checked) = 0;

  // The name assistive technologies read for a control, replacing the one its label gives.
  virtual void SetItemAccessibleName(int id, const std::string& text) = 0;

  // The browser control created for a kBrowser control, or null.
  virtual BrowserControl* GetBrowserControl(int id) = 0;

  // Window timers: the same id restarts; killing an unknown id is harmless.
  virtual void SetTimer(unsigned id, unsigned periodMs) = 0;
  virtual void KillTimer(unsigned id) = 0;

  // A modal message box owned by this window; answers IDOK, IDYES, IDNO...
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;

  virtual void EndDialog(int result) = 0;
  // Marks the window as wanting the student's attention (the desktop's urgency hint) until the
  // student next turns to it.
  virtual void RequestAttention() = 0;
};

// The windowing layer: runs dialogs and shows boxes that have no owner window.
class DialogSystem {
 public:
  virtual ~DialogSystem() = default;
  // Creates the window from `tmpl`, hands it to `handler` (AttachWindow, then OnInitDialog) and
  // runs it until EndDialog; returns the result. The window is gone when it returns.
  virtual int RunModal(const DialogTemplate& tmpl, DialogHandler& handler) = 0;
  // A modal message box with no owner window (start-up, before any window exists).
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;
  // The system sound for a message type (MB_ICONEXCLAMATION...).
  virtual void Beep(unsigned type) = 0;
};

// What a dialog window calls back, on the GUI thread.
class DialogHandler {
 public:
  virtual void AttachWindow(DialogWindow* window) = 0;
  virtual bool OnInitDialog() = 0;
  // A click on a button, check box or notifying picture, a combo box's new selection
  // (CBN_SELCHANGE), or the OK/Cancel commands (IDOK, IDCANCEL).
  virtual void OnCommand(int id, int notifyCode) = 0;
  virtual void OnTimer(unsigned id) = 0;
  // Size type as the platform reports it (0 restored, 1 minimised, 2 maximised).
  virtual void OnSize(int sizeType, int clientWidth, int clientHeight) = 0;

 protected:
  ~DialogHandler() = default;
};

// Direction and target of one data exchange.
struct DataExchange {
  DialogWindow& window;
  bool saveAndValidate;  // true: controls to members
};

// The framework base of the program's dialogs.
class CDialog : public DialogHandler {
 public:
  CDialog(DialogSystem& system, const DialogTemplate& tmpl) : system_(system), template_(tmpl) {}
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  int DoModal() { return system_.RunModal(template_, *this); }
  // Runs the data exchange; false when there is no window.
  bool UpdateData(bool saveAndValidate = true);
  DialogWindow* window() const { return window_; }
  DialogSystem& system() const { return system_; }
  const DialogTemplate& dialogTemplate() const { return template_; }

  void AttachWindow(DialogWindow* window) override { window_ = window; }
  // Adds the template's combo items, then exchanges data towards the controls.
  bool OnInitDialog() override;
  // OK and Cancel end the dialog with their own result; everything else is ignored.
  void OnCommand(int id, int notifyCode) override;
  void OnTimer(unsigned) override {}
  void OnSize(int, int, int) override {}

 protected:
  virtual void DoDataExchange(DataExchange&) {}

 private:
  DialogSystem& system_;
  const DialogTemplate& template_;
  DialogWindow* window_ = nullptr;
};

}  // namespace larkwend
