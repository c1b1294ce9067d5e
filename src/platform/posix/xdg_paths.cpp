// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/xdg_paths.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "platform/settings_file.h"

namespace larkwend::posix {

std::string XdgFilePath(const char* variable, std::string_view homeDefault,
                        std::string_view relative) {
  std::string path;
  const char* base = std::getenv(variable);
  const char* home = std::getenv("HOME");
  if (base && base[0] == '/')
    path = base;
  else if (home && home[0] == '/')
    (path = home).append("/").append(homeDefault);
  else
    return {};
  return path.append("/").append(relative);
}

bool MakeParentFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    if (::mkdir(path.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

}  // namespace larkwend::posix

namespace larkwend {

std::string ProgramSettingsPath() {
  return posix::XdgFilePath("XDG_CONFIG_HOME", ".config", "larkwend/settings.ini");
}

bool MakeProgramSettingsFolder() {
  const std::string path = ProgramSettingsPath();
  return !path.empty() && posix::MakeParentFolders(path);
}

}  // namespace larkwend
