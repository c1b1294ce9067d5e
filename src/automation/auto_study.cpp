// Placeholder: the auto-study cycle arrives with its own work.
#include "app/quillmoor_dlg.h"

namespace larkwend {

void CQuillmoorDlg::ArmAutoStudy() {}
void CQuillmoorDlg::OnTimer(unsigned) {}
int CQuillmoorDlg::OpenFirstUnfinishedChapter() { return 0; }
bool CQuillmoorDlg::RemovePagePopup(dom::Document*) { return false; }
void CQuillmoorDlg::OnAutoStudyButton() {}

}  // namespace larkwend
