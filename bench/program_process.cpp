// SPDX-License-Identifier: GPL-3.0-or-later
#include "program_process.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "process_stats.h"

namespace larkwend::bench {

bool EnterOwnNetwork() {
  if (unshare(CLONE_NEWNET) != 0) return false;
  const int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (sock < 0) return false;
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  bool up = ioctl(sock, SIOCGIFFLAGS, &request) == 0;
  request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
  up = up && ioctl(sock, SIOCSIFFLAGS, &request) == 0;
  close(sock);
  return up;
}

PortsLock::PortsLock() : fd_(open("/tmp/larkwend-ports.lock", O_CREAT | O_RDWR | O_CLOEXEC, 0666)) {
  if (fd_ >= 0) flock(fd_, LOCK_EX);
}

PortsLock::~PortsLock() {
  if (fd_ >= 0) close(fd_);
}

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool WaitFor(const std::function<bool()>& ready, double timeoutSeconds, int pollMs) {
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(timeoutSeconds));
  while (Clock::now() < deadline) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
  return false;
}

StartedProgram::StartedProgram(const std::vector<std::string>& argv) {
  char pattern[] = "/tmp/larkwend-bench-XXXXXX";
  if (mkdtemp(pattern)) dir_ = pattern;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (!dir_.empty() && chdir(dir_.c_str()) != 0) _exit(127);
    execv(args[0], args.data());
    _exit(127);
  }
}

StartedProgram::~StartedProgram() {
  if (pid_ > 0) Stop();
  std::error_code ignored;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

bool StartedProgram::Alive() const {
  return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0;
}

void StartedProgram::Stop() {
  std::vector<pid_t> tree;
  for (const auto& [pid, process] : SampleTree(pid_).processes) tree.push_back(pid);
  if (tree.empty()) tree.push_back(pid_);
  kill(pid_, SIGTERM);
  // A process not (yet) handed to this one cannot be waited for; it has gone once it cannot
  // be signalled either.
  auto gone = [](pid_t pid) {
    const pid_t waited = waitpid(pid, nullptr, WNOHANG);
    if (waited == pid) return true;
    return waited < 0 && errno == ECHILD && kill(pid, 0) != 0;
  };
  auto allGone = [&] {
    return std::all_of(tree.begin(), tree.end(), [&](pid_t pid) { return gone(pid); });
  };
  if (!WaitFor(allGone, 10, 20)) {
    for (pid_t pid : tree) kill(pid, SIGKILL);
    WaitFor(allGone, 5, 20);
  }
  pid_ = -1;
}

}  // namespace larkwend::bench
