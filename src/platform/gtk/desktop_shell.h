// The desktop's shell and file associations (GIO and the freedesktop default applications).
#pragma once

#include "platform/shell.h"

namespace larkwend::gtk {

class DesktopShell : public Shell {
 public:
  std::intptr_t Execute(const std::string& verb, const std::string& file,
                        const std::string& parameters, int showCommand) override;
  unsigned StartCommandLine(const std::string& commandLine, int showCommand) override;
};

class DesktopFileAssociations : public FileAssociations {
 public:
  long OpenKey(const std::string& subKey, Key& key) override;
  long QueryDefaultValue(Key key, char* buffer, long capacity) override;
  void CloseKey(Key key) override;
};

}  // namespace larkwend::gtk
