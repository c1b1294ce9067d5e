// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/quillmoor_app.h"

#include "app/quillmoor_dlg.h"
#include "automation/study_journal.h"
#include "update/update_check.h"

namespace larkwend {

CQuillmoorApp& TheApp() {
  static CQuillmoorApp app;
  return app;
}

bool CQuillmoorApp::InitInstance(Platform& platform) {
  // The toolkit, its controls and the browser engine are set up by the platform before this
  // runs; what is left of start-up is the update gate and the main window.
  study_journal::ProgramStarted();
  const int update = m_updateCheck ? m_updateCheck(platform, m_strDownloadUrl)
                                   : CheckForUpdate(platform, m_strDownloadUrl);
  study_journal::UpdateChecked(update);
  // Only a stop ends the program here; every other result, failures included, goes on.
  if (update != UPDATE_STOP) {
    CQuillmoorDlg dialog(platform, m_studyRunTimings);
    dialog.DoModal();
  }
  study_journal::ProgramEnded();
  return false;
}

}  // namespace larkwend
