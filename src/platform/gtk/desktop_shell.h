// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's shell and file associations (GIO and the freedesktop default applications).
#pragma once

#include <map>
#include <string>

#include "platform/shell.h"

namespace larkwend::gtk {

// "open" on a link or document goes to the desktop's default handler for it; "open" on
// "IEXPLORE" starts the system's plain web browser, x-www-browser, with the parameters as its
// command-line remainder. Command lines are started directly, never through a shell. The show
// command is the desktop's business and is not passed on. A local file goes to the default
// application of its type as a file: URI.
class DesktopShell : public Shell {
 public:
  std::intptr_t Execute(const std::string& verb, const std::string& file,
                        const std::string& parameters, int showCommand) override;
  unsigned StartCommandLine(const std::string& commandLine, int showCommand) override;
  bool OpenLocalFile(const std::string& path) override;
};

// The ".htm" file type is the desktop's default handler for text/html: its desktop entry id
// stands for the file type name, and "<id>\shell\open\command" holds its Exec line as a
// Windows-style command line with "%1" for the file. No other key exists.
class DesktopFileAssociations : public FileAssociations {
 public:
  long OpenKey(const std::string& subKey, Key& key) override;
  long QueryDefaultValue(Key key, char* buffer, long capacity) override;
  void CloseKey(Key key) override { open_.erase(key); }

 private:
  std::map<Key, std::string> open_;  // each open key's default value, GBK
  Key next_ = 1;
};

}  // namespace larkwend::gtk
