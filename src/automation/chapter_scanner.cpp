// Placeholder: the chapter scanner arrives with its own work.
#include "app/quillmoor_dlg.h"

namespace larkwend {

bool CQuillmoorDlg::FindChapterFrames() { return false; }
int CQuillmoorDlg::ScanUnfinishedChapters() { return 0; }
std::string CQuillmoorDlg::ExtractUrlAttribute(const std::string&) { return {}; }
int CQuillmoorDlg::CheckChapterCompletion() { return -1; }

}  // namespace larkwend
