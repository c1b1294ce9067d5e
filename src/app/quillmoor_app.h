// CQuillmoorApp: the one application object, and the start-up sequence.
#pragma once

#include <string>

#include "platform/platform.h"

namespace larkwend {

class CQuillmoorApp {
 public:
  // Runs start-up: the update gate, then the main window, modally. Always false: once it has
  // run, the program ends.
  bool InitInstance(Platform& platform);

  // The download link of the update reply; empty until the update check stores one.
  std::string m_strDownloadUrl;
};

// The global application object.
CQuillmoorApp& TheApp();

}  // namespace larkwend
