// SPDX-License-Identifier: GPL-3.0-or-later
// CQuillmoorApp: the one application object, and the start-up sequence.
#pragma once

#include <functional>
#include <string>

#include "automation/study_run.h"
#include "platform/platform.h"

namespace larkwend {

class CQuillmoorApp {
 public:
  // Runs start-up: the update gate, then the main window, modally. Always false: once it has
  // run, the program ends.
  bool InitInstance(Platform& platform);

  // The download link of the update reply; empty until the update check stores one.
  std::string m_strDownloadUrl;

  // The update gate that start-up runs: CheckForUpdate when empty. Tests put one of their own.
  std::function<int(Platform&, std::string&)> m_updateCheck;

  // How long the study run waits on a page that goes wrong. Tests shorten it with the timers.
  StudyRunTimings m_studyRunTimings;
};

// The global application object.
CQuillmoorApp& TheApp();

}  // namespace larkwend
