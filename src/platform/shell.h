// SPDX-License-Identifier: GPL-3.0-or-later
// Handing documents and links to the desktop, and starting programs.
#pragma once

#include <cstdint>
#include <string>

namespace larkwend {

constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOW = 5;

class Shell {
 public:
  virtual ~Shell() = default;
  // Performs `verb` ("open") on a document or link, with optional parameters. Greater than 32
  // when it was done, otherwise an error value of 32 or less.
  virtual std::intptr_t Execute(const std::string& verb, const std::string& file,
                                const std::string& parameters, int showCommand) = 0;
  // Starts a program from a command line, split into arguments by the Windows quoting rules and
  // started directly, never through a shell. Greater than 31 when it was started.
  virtual unsigned StartCommandLine(const std::string& commandLine, int showCommand) = 0;
  // Opens a local file (a path as the file system spells it, not GBK) with the desktop's default
  // application for its type; false when none could be started.
  virtual bool OpenLocalFile(const std::string& path) = 0;
};

// The file-type associations, read as the classes root of a registry: a key's default value
// names the file type of an extension (".htm"), and "<type>\shell\open\command" holds the
// command line that opens such files, with "%1" standing for the file.
class FileAssociations {
 public:
  using Key = std::uint32_t;
  static constexpr long kSuccess = 0;
  static constexpr long kFileNotFound = 2;
  static constexpr long kMoreData = 234;

  virtual ~FileAssociations() = default;
  // kSuccess and a key to query and close, or an error code.
  virtual long OpenKey(const std::string& subKey, Key& key) = 0;
  // Copies the key's default value, zero-terminated, into `buffer` of `capacity` bytes; never
  // writes past it. kMoreData when the value did not fit (nothing is copied then), kSuccess with
  // an empty text when the key has no default value.
  virtual long QueryDefaultValue(Key key, char* buffer, long capacity) = 0;
  virtual void CloseKey(Key key) = 0;
};

}  // namespace larkwend
