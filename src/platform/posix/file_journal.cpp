#include "platform/posix/file_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "platform/diagnostics.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/write_all.h"

namespace larkwend::posix {
namespace {

// O_NONBLOCK: a FIFO put where the journal should be must not hang the program.
UniqueFd OpenForAppending(const std::string& path) {
  return UniqueFd(::open(path.c_str(),
                         O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600));
}

// Creates every missing folder on the way to `path`'s own folder, readable by its owner only.
bool MakeParentFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    if (::mkdir(path.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
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

}  // namespace

std::string StudyJournalPath() {
  constexpr const char* kRelative = "/larkwend/journal.log";
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && state[0] == '/') return std::string(state) + kRelative;
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.local/state" + kRelative;
  return {};
}

FileJournal::FileJournal(std::string path, std::uint64_t rotationSize)
    : path_(std::move(path)), rotationSize_(rotationSize) {
  if (path_.empty())
    Disable("there is no home folder to keep it in");
  else if (!MakeParentFolders(path_) || !OpenForAppending(path_))
    Disable(std::string("cannot write ") + path_ + ": " + std::strerror(errno));
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

void FileJournal::Disable(std::string_view reason) {
  enabled_ = false;
  Diagnose(std::string("the study journal is off for this run: ") + std::string(reason));
}

}  // namespace larkwend::posix
