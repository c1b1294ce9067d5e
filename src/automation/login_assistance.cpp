// Placeholder: login assistance arrives with the credential work.
#include "app/quillmoor_dlg.h"

namespace larkwend {

void CQuillmoorDlg::OnBeforeNavigate2(dom::Dispatch*, const dom::WideText&, bool&) {}
void CQuillmoorDlg::CaptureCredentials() {}
void CQuillmoorDlg::OnQuickLogin() {}
void CQuillmoorDlg::OnPersonalCenter() {}
void CQuillmoorDlg::OnCourseList() {}

}  // namespace larkwend
