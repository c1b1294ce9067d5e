// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/quillmoor_app.h"

#include "app/quillmoor_dlg.h"
#include "automation/study_journal.h"
#include "update/update_check.h"

namespace larkwend {
namespace {

// What CheckForUpdate answered, as the study journal records it; `other` says a result that has
// no words of its own.
study_journal::Words UpdateOutcome(int result, const std::string& other) {
  switch (result) {
    case UPDATE_NOTHING_NEWER:
      return {"没有新版本", "nothing newer"};
    case UPDATE_DECLINED:
      return {"有新版本，未下载", "a newer version was offered and declined"};
    case UPDATE_NO_REPLY:
      return {"更新服务没有回应", "no reply from the update service"};
    case UPDATE_EMPTY_REPLY:
      return {"更新服务的回复为空", "an empty reply"};
    case UPDATE_NO_SEPARATOR:
      return {"更新服务的回复中没有版本", "a reply without a version"};
    case UPDATE_STOP:
      return {"必须更新后才能使用", "the program must end"};
    default:
      return {other, other};
  }
}

}  // namespace

CQuillmoorApp& TheApp() {
  static CQuillmoorApp app;
  return app;
}

bool CQuillmoorApp::InitInstance(Platform& platform) {
  // The toolkit, its controls and the browser engine are set up by the platform before this
  // runs; what is left of start-up is the update gate and the main window.
  study_journal::ProgramStarted(std::to_string(APP_VERSION / 100) + "." +
                                std::to_string(APP_VERSION % 100));
  const int update = m_updateCheck ? m_updateCheck(platform, m_strDownloadUrl)
                                   : CheckForUpdate(platform, m_strDownloadUrl);
  const std::string other = "result " + std::to_string(update);
  study_journal::UpdateChecked(UpdateOutcome(update, other));
  // Only a stop ends the program here; every other result, failures included, goes on.
  if (update != UPDATE_STOP) {
    CQuillmoorDlg dialog(platform, m_studyRunTimings);
    dialog.DoModal();
  }
  study_journal::ProgramEnded();
  return false;
}

}  // namespace larkwend
