// SPDX-License-Identifier: GPL-3.0-or-later
// Settings files on POSIX: read whole, rewritten aside and renamed into place.
#include "platform/profile_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

#include "platform/diagnostics.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/write_all.h"

namespace larkwend {
namespace {

using posix::UniqueFd;
using posix::WriteAll;

// The content of an open regular file; nullopt when it is not one or a read fails.
std::optional<std::string> ReadAll(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::string content;
  content.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[64 * 1024];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) return content;
    content.append(buffer, static_cast<std::size_t>(n));
  }
}

// O_NONBLOCK: a FIFO or device put where the file should be must not hang the program; a regular
// file ignores the flag.
UniqueFd OpenForReading(const std::string& path) {
  return UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
}

// The temporary file of one rewrite: removed again unless it was renamed into place.
class TempFile {
 public:
  explicit TempFile(std::string pattern) : path_(std::move(pattern)) {
    fd_ = UniqueFd(::mkostemp(path_.data(), O_CLOEXEC));
    if (!fd_) path_.clear();
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    fd_.Close();
    if (!path_.empty()) ::unlink(path_.c_str());
  }

  int fd() const { return fd_.get(); }
  bool valid() const { return static_cast<bool>(fd_); }
  bool CloseFile() { return fd_.Close(); }
  bool RenameTo(const std::string& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0) return false;
    path_.clear();
    return true;
  }

 private:
  std::string path_;
  UniqueFd fd_;
};

// How long a writer waits for another one that holds the directory. The writer is the window's
// own thread: a lock held by a stuck process must not freeze the window.
constexpr auto kLockWait = std::chrono::seconds(1);
constexpr auto kLockRetry = std::chrono::milliseconds(5);

// Holds an exclusive advisory lock on a directory while it lives. Locking the directory rather
// than the file matters: the file is replaced by every write, so a lock on it would guard an
// inode that the next writer no longer uses.
class DirectoryLock {
 public:
  explicit DirectoryLock(const std::string& directory)
      : fd_(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (!fd_) return;
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
        busy_ = errno == EWOULDBLOCK;
        return;
      }
      std::this_thread::sleep_for(kLockRetry);
    }
  }
  // Another writer kept the directory for longer than a writer waits.
  bool busy() const { return busy_; }
  // Makes a completed rename durable; harmless when the directory could not be opened.
  void Sync() const {
    if (fd_) ::fsync(fd_.get());
  }

 private:
  UniqueFd fd_;
  bool busy_ = false;
};

std::pair<std::string, std::string> SplitPath(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
  UniqueFd fd = OpenForReading(path);
  if (!fd) return std::nullopt;
  return ReadAll(fd.get());
}

namespace {

bool Rewrite(const std::string& path,
             const std::function<std::optional<std::string>(const std::string&)>& edit) {
  auto [directory, name] = SplitPath(path);
  if (name.empty()) return false;
  // A directory that cannot be locked does not stop the write: the rename alone keeps the file
  // whole. One that another writer keeps does: writing now could lose that writer's change.
  DirectoryLock lock(directory);
  if (lock.busy()) return false;

  std::string current;
  if (UniqueFd existing = OpenForReading(path)) {
    std::optional<std::string> content = ReadAll(existing.get());
    if (!content) return false;
    current = std::move(*content);
  } else if (errno != ENOENT) {
    return false;  // there is a file, but its lines cannot be kept
  }

  std::optional<std::string> replacement = edit(current);
  if (!replacement) {
    errno = ECANCELED;  // the edit's own refusal: nothing is wrong with the file
    return false;
  }

  TempFile temp(directory + "/." + name + ".XXXXXX");
  if (!temp.valid()) return false;
  if (::fchmod(temp.fd(), S_IRUSR | S_IWUSR) != 0) return false;
  if (!WriteAll(temp.fd(), *replacement)) return false;
  if (::fsync(temp.fd()) != 0 || !temp.CloseFile()) return false;
  if (!temp.RenameTo(path)) return false;
  lock.Sync();
  return true;
}

}  // namespace

bool RewriteFile(const std::string& path,
                 const std::function<std::optional<std::string>(const std::string&)>& edit) {
  if (Rewrite(path, edit)) return true;
  if (errno != ECANCELED) Diagnose("cannot write " + path + ": " + std::strerror(errno));
  return false;
}

}  // namespace larkwend
