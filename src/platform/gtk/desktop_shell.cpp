// Placeholder: the desktop's shell and associations arrive with the external-links work.
#include "platform/gtk/desktop_shell.h"

namespace larkwend::gtk {

std::intptr_t DesktopShell::Execute(const std::string&, const std::string&, const std::string&,
                                    int) {
  return 2;  // file not found
}

unsigned DesktopShell::StartCommandLine(const std::string&, int) { return 2; }

long DesktopFileAssociations::OpenKey(const std::string&, Key&) { return kFileNotFound; }

long DesktopFileAssociations::QueryDefaultValue(Key, char*, long) { return kFileNotFound; }

void DesktopFileAssociations::CloseKey(Key) {}

}  // namespace larkwend::gtk
