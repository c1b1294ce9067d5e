// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/web/network_process_watch.h"

#include <glib-unix.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/diagnostics.h"

namespace larkwend::gtk {
namespace {

// How the engine names the process (a process name is cut to 15 bytes).
constexpr const char* kNetworkProcessName = "WebKitNetwork";

// This process's children named as the engine's network process.
std::vector<pid_t> NetworkProcesses() {
  std::vector<pid_t> found;
  const std::string parent = std::to_string(getpid());
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // "pid (name) state ppid ...": the name may hold spaces and parentheses itself.
    const auto open = line.find('(');
    const auto close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) continue;
    const std::string rest = line.substr(close + 1);
    const auto ppidStart = rest.find_first_of("0123456789");
    if (ppidStart == std::string::npos) continue;
    const std::string ppid = rest.substr(ppidStart, rest.find(' ', ppidStart) - ppidStart);
    if (ppid == parent &&
        line.compare(open + 1, std::string(kNetworkProcessName).size(), kNetworkProcessName) == 0)
      found.push_back(static_cast<pid_t>(std::stol(name)));
  }
  return found;
}

}  // namespace

// One process, by a descriptor that turns readable when it ends.
class NetworkProcessWatch::Watched {
 public:
  Watched(NetworkProcessWatch& owner, pid_t pid, int fd) : owner_(owner), pid_(pid), fd_(fd) {
    source_ = g_unix_fd_add(fd_, G_IO_IN, OnEnded, this);
  }
  ~Watched() {
    if (source_) g_source_remove(source_);
    close(fd_);
  }
  Watched(const Watched&) = delete;
  Watched& operator=(const Watched&) = delete;

  pid_t pid() const { return pid_; }
  bool HasEnded() const {
    pollfd ready{fd_, POLLIN, 0};
    return poll(&ready, 1, 0) == 1;
  }
  // The source is the main loop's to remove when it reports the end.
  void Detach() { source_ = 0; }

 private:
  static gboolean OnEnded(gint, GIOCondition, gpointer self) {
    auto* watched = static_cast<Watched*>(self);
    watched->Detach();
    watched->owner_.Remove(watched);
    return G_SOURCE_REMOVE;
  }

  NetworkProcessWatch& owner_;
  pid_t pid_;
  int fd_;
  guint source_ = 0;
};

NetworkProcessWatch::NetworkProcessWatch(std::function<void()> ended) : ended_(std::move(ended)) {}

NetworkProcessWatch::~NetworkProcessWatch() = default;

bool NetworkProcessWatch::Watch() {
  for (pid_t pid : NetworkProcesses()) {
    if (std::any_of(watched_.begin(), watched_.end(),
                    [pid](const auto& watched) { return watched->pid() == pid; }))
      continue;
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) {
      Diagnose("WebKit's network process " + std::to_string(pid) +
               " cannot be watched: " + g_strerror(errno));
      continue;
    }
    watched_.push_back(std::make_unique<Watched>(*this, pid, fd));
  }
  return Watching();
}

bool NetworkProcessWatch::Ended() {
  for (auto& watched : watched_) {
    if (!watched->HasEnded()) continue;
    Remove(watched.get());
    return true;
  }
  return false;
}

void NetworkProcessWatch::Remove(Watched* watched) {
  auto it = std::find_if(watched_.begin(), watched_.end(),
                         [watched](const auto& w) { return w.get() == watched; });
  if (it == watched_.end()) return;
  watched_.erase(it);
  ended_();
}

}  // namespace larkwend::gtk
