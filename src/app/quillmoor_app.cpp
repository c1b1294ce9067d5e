#include "app/quillmoor_app.h"

#include "app/quillmoor_dlg.h"
#include "update/update_check.h"

namespace larkwend {

CQuillmoorApp& TheApp() {
  static CQuillmoorApp app;
  return app;
}

bool CQuillmoorApp::InitInstance(Platform& platform) {
  // The toolkit, its controls and the browser engine are set up by the platform before this
  // runs; what is left of start-up is the update gate and the main window.
  if (CheckForUpdate(platform, m_strDownloadUrl) == UPDATE_STOP) return false;
  CQuillmoorDlg dialog(platform);
  dialog.DoModal();
  return false;
}

}  // namespace larkwend
