// SPDX-License-Identifier: GPL-3.0-or-later
// CUsageDlg: the usage instructions, a modal dialog with one editable text (template 131).
#pragma once

#include <string>

#include "platform/dialog.h"

namespace larkwend {

constexpr int IDC_USAGE_TEXT = 1003;

// The usage text in the program's code page: lines joined with CR LF, none after the last.
std::string UsageText();

class CUsageDlg : public CDialog {
 public:
  // The dialog has no parent of its own: the dialog system makes the active window its owner.
  explicit CUsageDlg(DialogSystem& system);

  // Puts the full text into the edit on every opening, so whatever was typed there last time is
  // gone. The edit, the only control, then gets the focus.
  bool OnInitDialog() override;
};

}  // namespace larkwend
