// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/program_start.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <thread>

#include "platform/command_line.h"
#include "platform/text.h"

extern char** environ;

namespace larkwend::posix {
namespace {

// One of posix_spawn's option objects, destroyed when it goes.
template <typename T, int (*Init)(T*), int (*Destroy)(T*)>
class SpawnOption {
 public:
  SpawnOption() : ok_(Init(&value_) == 0) {}
  ~SpawnOption() {
    if (ok_) Destroy(&value_);
  }
  SpawnOption(const SpawnOption&) = delete;
  SpawnOption& operator=(const SpawnOption&) = delete;
  bool ok() const { return ok_; }
  T* get() { return &value_; }

 private:
  T value_;
  bool ok_;
};

using SpawnFileActions = SpawnOption<posix_spawn_file_actions_t, posix_spawn_file_actions_init,
                                     posix_spawn_file_actions_destroy>;
using SpawnAttributes =
    SpawnOption<posix_spawnattr_t, posix_spawnattr_init, posix_spawnattr_destroy>;

unsigned ResultOf(int error) {
  switch (error) {
    case 0:
      return kStarted;
    case ENOENT:
      return kFileNotFound;
    case ENOTDIR:
      return kPathNotFound;
    case EACCES:
    case ENOEXEC:
    case EISDIR:
      return kBadFormat;
    default:
      return kOutOfResources;
  }
}

}  // namespace

unsigned StartProgram(const std::vector<std::string>& args) {
  if (args.empty() || args[0].empty()) return kFileNotFound;

  SpawnFileActions actions;
  SpawnAttributes attributes;
  if (!actions.ok() || !attributes.ok()) return kOutOfResources;
  // The started program must not keep this process's sockets and pipes open.
  posix_spawn_file_actions_addclosefrom_np(actions.get(), 3);

  // Threads of the toolkit block signals; the started program gets a clean slate, and a session
  // of its own so that it outlives this program's terminal and process group.
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigmask(attributes.get(), &none);
  posix_spawnattr_setsigdefault(attributes.get(), &defaults);
  posix_spawnattr_setflags(attributes.get(),
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  int error = posix_spawnp(&pid, argv[0], actions.get(), attributes.get(), argv.data(), environ);
  if (error != 0) return ResultOf(error);

  // Nobody waits for the started program; a waiter of its own keeps it from lingering as a
  // zombie once it ends.
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return kStarted;
}

unsigned StartCommandLine(const std::string& gbkCommandLine) {
  // Split after conversion: a GBK trail byte can equal a backslash, a UTF-8 one never can.
  return StartProgram(SplitCommandLine(GbkToUtf8(gbkCommandLine)));
}

}  // namespace larkwend::posix
