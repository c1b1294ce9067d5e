// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/end_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>

namespace larkwend::posix {
namespace {

constexpr std::array kEndSignals{SIGTERM, SIGINT, SIGHUP};

// Written by the handler, which may run on any thread: only what is safe in a signal handler.
volatile sig_atomic_t g_writeFd = -1;
volatile sig_atomic_t g_firstSignal = 0;
int g_readFd = -1;
std::array<struct sigaction, kEndSignals.size()> g_previous{};
std::array<bool, kEndSignals.size()> g_installed{};

void OnEndSignal(int signal) {
  const int savedErrno = errno;
  if (g_firstSignal == 0) g_firstSignal = signal;
  // The pipe is never read, so it stays readable for every waiter; once it is full, a further
  // byte is not needed.
  if (g_writeFd >= 0 && ::write(g_writeFd, "e", 1) < 0) {
    // EAGAIN: the pipe is full of earlier requests, which stand.
  }
  errno = savedErrno;
}

}  // namespace

EndSignals::EndSignals() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the signals keep their default
  read_ = UniqueFd(fds[0]);
  write_ = UniqueFd(fds[1]);
  g_readFd = read_.get();
  g_writeFd = write_.get();
  struct sigaction action {};
  action.sa_handler = OnEndSignal;
  // SA_RESTART: the rest of the program never sees a call interrupted by these signals.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < kEndSignals.size(); ++i) {
    if (::sigaction(kEndSignals[i], nullptr, &g_previous[i]) != 0) continue;
    if (g_previous[i].sa_handler == SIG_IGN) continue;
    g_installed[i] = ::sigaction(kEndSignals[i], &action, nullptr) == 0;
  }
}

EndSignals::~EndSignals() {
  for (std::size_t i = 0; i < kEndSignals.size(); ++i)
    if (std::exchange(g_installed[i], false)) ::sigaction(kEndSignals[i], &g_previous[i], nullptr);
  g_writeFd = -1;
  g_readFd = -1;
  g_firstSignal = 0;
}

bool EndRequested() {
  if (g_readFd < 0) return false;
  pollfd p{g_readFd, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

int EndRequestFd() {
  return g_readFd;
}

const char* EndSignalName() {
  switch (g_firstSignal) {
    case SIGTERM:
      return "SIGTERM";
    case SIGINT:
      return "SIGINT";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "";
  }
}

}  // namespace larkwend::posix
