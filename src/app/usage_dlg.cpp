// Placeholder: the usage dialog and the banner arrive with their own work.
#include "app/quillmoor_dlg.h"

namespace larkwend {

void CQuillmoorDlg::OnUsageButton() {}
void CQuillmoorDlg::OnBannerClicked() {}

}  // namespace larkwend
