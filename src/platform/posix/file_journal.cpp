// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/file_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <utility>

#include "platform/diagnostics.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/write_all.h"
#include "platform/posix/xdg_paths.h"

namespace larkwend::posix {
namespace {

// O_NONBLOCK: a FIFO put where the journal should be must not hang the program.
UniqueFd OpenForAppending(const std::string& path) {
  return UniqueFd(::open(path.c_str(),
                         O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600));
}

std::string LocalTimestamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32] = {};
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool LockWaiting(int fd) {
  int rc;
  while ((rc = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
  }
  return rc == 0;
}

// A mark's name: the process id of its run, in decimal.
std::optional<long> ProcessIdNamed(const std::string& name) {
  if (name.empty() || name.size() > 18) return std::nullopt;
  for (char c : name)
    if (c < '0' || c > '9') return std::nullopt;
  return std::stol(name);
}

// The start time a mark holds.
std::string ReadStart(int fd) {
  char text[64] = {};
  const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
  std::string start(text, n > 0 ? static_cast<std::size_t>(n) : 0);
  return start.substr(0, start.find('\n'));
}

}  // namespace

std::string StudyJournalPath() {
  return XdgFilePath("XDG_STATE_HOME", ".local/state", "larkwend/journal.log");
}

FileJournal::FileJournal(std::string path, std::uint64_t rotationSize)
    : path_(std::move(path)), rotationSize_(rotationSize) {
  if (path_.empty())
    Disable("there is no home folder to keep it in");
  else if (!MakeParentFolders(path_) || !OpenForAppending(path_))
    Disable(std::string("cannot write ") + path_ + ": " + std::strerror(errno));
}

std::string FileJournal::File() {
  // The journal may be off for this run, yet its file can still be read, or made for reading.
  if (path_.empty() || !MakeParentFolders(path_) || !OpenForAppending(path_)) return {};
  return path_;
}

void FileJournal::Append(std::string_view utf8Event) {
  if (!enabled_) return;
  std::string line = LocalTimestamp();
  line += ' ';
  line += utf8Event;
  line += '\n';
  if (!WriteLine(line)) Disable(std::string("cannot write ") + path_ + ": " + std::strerror(errno));
}

bool FileJournal::WriteLine(std::string_view line) {
  // Another copy of the program may rotate the file between our open and our lock; the line then
  // goes to the new file. Three tries are plenty: a rotation happens once per megabyte.
  for (int attempt = 0;; ++attempt) {
    UniqueFd fd = OpenForAppending(path_);
    if (!fd) return false;
    // A lock that cannot be had still leaves O_APPEND's whole-line writes; only the rotation
    // could then race.
    while (::flock(fd.get(), LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat held {};
    struct stat named {};
    if (::fstat(fd.get(), &held) != 0) return false;
    if (!S_ISREG(held.st_mode)) {
      errno = EINVAL;
      return false;
    }
    if (attempt < 2 && (::stat(path_.c_str(), &named) != 0 || !SameFile(held, named))) continue;
    if (!WriteAll(fd.get(), line)) return false;
    if (static_cast<std::uint64_t>(held.st_size) + line.size() > rotationSize_)
      ::rename(path_.c_str(), (path_ + ".1").c_str());  // still locked: nobody writes meanwhile
    return true;
  }
}

std::vector<UnendedRun> FileJournal::OpenRun() {
  std::vector<UnendedRun> unended;
  if (!enabled_ || runMark_) return unended;
  const std::string folder = path_.substr(0, path_.rfind('/') + 1) + "runs";
  auto giveUp = [&](const char* what) {
    Diagnose(std::string("runs are not kept in ") + folder + ": cannot " + what + ": " +
             std::strerror(errno));
    return unended;
  };
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return giveUp("make it");
  const UniqueFd lock(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!lock || !LockWaiting(lock.get())) return giveUp("lock it");

  // Through error codes: a folder that cannot be read to its end leaves the rest unlooked at.
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    const std::optional<long> processId = ProcessIdNamed(name);
    if (!processId) continue;
    const UniqueFd mark(
        ::openat(lock.get(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    // A mark still locked is a copy that runs.
    if (!mark || ::flock(mark.get(), LOCK_SH | LOCK_NB) != 0) continue;
    unended.push_back({*processId, ReadStart(mark.get())});
    ::unlinkat(lock.get(), name.c_str(), 0);
  }
  std::sort(unended.begin(), unended.end(), [](const UnendedRun& a, const UnendedRun& b) {
    return a.started != b.started ? a.started < b.started : a.processId < b.processId;
  });

  const std::string name = std::to_string(::getpid());
  UniqueFd mark(
      ::openat(lock.get(), name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!mark || ::flock(mark.get(), LOCK_EX | LOCK_NB) != 0) return giveUp("mark this run");
  if (::ftruncate(mark.get(), 0) != 0 || !WriteAll(mark.get(), LocalTimestamp() + "\n")) {
    const int cause = errno;
    ::unlinkat(lock.get(), name.c_str(), 0);
    errno = cause;
    return giveUp("write this run's mark");
  }
  runsFolder_ = folder;
  runMark_ = std::move(mark);
  return unended;
}

void FileJournal::CloseRun() {
  if (!runMark_) return;
  // Under the folder's lock: a copy looking at the marks meanwhile must not find this one unheld.
  const UniqueFd lock(::open(runsFolder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (lock) LockWaiting(lock.get());
  ::unlink((runsFolder_ + "/" + std::to_string(::getpid())).c_str());
  runMark_ = UniqueFd();
}

void FileJournal::Disable(std::string_view reason) {
  enabled_ = false;
  Diagnose(std::string("the study journal is off for this run: ") + std::string(reason));
}

}  // namespace larkwend::posix
