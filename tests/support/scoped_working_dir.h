// A fresh temporary directory made the process's working directory for one test, for code that
// uses paths relative to it (the settings file "./record.ini"). The previous working directory
// comes back and the directory is removed when the object goes.
#pragma once

#include <cstdlib>
#include <filesystem>
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

}  // namespace larkwend::fixtures
