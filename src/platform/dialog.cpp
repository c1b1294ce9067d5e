// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dialog.h"

#include "platform/text.h"

namespace larkwend {

bool CDialog::UpdateData(bool saveAndValidate) {
  if (!window_) return false;
  DataExchange dx{*window_, saveAndValidate};
  DoDataExchange(dx);
  return true;
}

bool CDialog::OnInitDialog() {
  if (!window_) return false;
  if (template_.comboId >= 0)
    for (std::string_view item : template_.comboItems)
      window_->AddComboItem(template_.comboId, Utf8ToGbk(item));
  return UpdateData(false);
}

void CDialog::OnCommand(int id, int notifyCode) {
  if (notifyCode != BN_CLICKED || !window_) return;
  if (id == IDOK || id == IDCANCEL) window_->EndDialog(id);
}

}  // namespace larkwend
