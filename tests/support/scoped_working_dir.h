// SPDX-License-Identifier: GPL-3.0-or-later
// A fresh temporary directory made the process's working directory for one test, for code that
// uses paths relative to it (the settings file "./record.ini"). The previous working directory
// comes back and the directory is removed when the object goes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace larkwend::fixtures {

class ScopedWorkingDir {
 public:
  ScopedWorkingDir() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "larkwend-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
    std::filesystem::current_path(path_);
  }
  ScopedWorkingDir(const ScopedWorkingDir&) = delete;
  ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;
  ~ScopedWorkingDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

// The program's settings go to a scratch folder for as long as it lives, never the machine's own.
class ScopedConfigHome {
 public:
  explicit ScopedConfigHome(const std::filesystem::path& path) {
    if (const char* now = std::getenv("XDG_CONFIG_HOME")) previous_ = now;
    ::setenv("XDG_CONFIG_HOME", path.c_str(), 1);
  }
  ScopedConfigHome(const ScopedConfigHome&) = delete;
  ScopedConfigHome& operator=(const ScopedConfigHome&) = delete;
  ~ScopedConfigHome() {
    if (previous_)
      ::setenv("XDG_CONFIG_HOME", previous_->c_str(), 1);
    else
      ::unsetenv("XDG_CONFIG_HOME");
  }

 private:
  std::optional<std::string> previous_;
};

}  // namespace larkwend::fixtures
