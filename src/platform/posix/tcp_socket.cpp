// SPDX-License-Identifier: GPL-3.0-or-later
// TcpSocket on POSIX sockets; the time limits are waits in poll, measured on the monotonic clock.
#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <utility>

#include "platform/posix/end_signals.h"

namespace larkwend {
namespace {

using Clock = std::chrono::steady_clock;

// The IPv4 address of a dotted text or of a host name.
bool ResolveIpv4(const std::string& host, in_addr& address) {
  if (inet_pton(AF_INET, host.c_str(), &address) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return false;
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, &freeaddrinfo);
  if (!found) return false;
  address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  return true;
}

// Waits until `fd` is ready for `events` or `deadline` has passed; EINTR does not end the wait.
// An end of the program asked meanwhile does (end_signals.h): the wait blocks the GUI thread,
// which has to go on to the program's end. 1 ready (or the peer closed), 0 timed out, -1 failed.
int WaitUntil(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left < 0) left = 0;
    pollfd p[2] = {{fd, events, 0}, {posix::EndRequestFd(), POLLIN, 0}};
    int n = poll(p, p[1].fd >= 0 ? 2 : 1, static_cast<int>(left));
    if (n > 0) return p[1].revents ? -1 : 1;
    if (n == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

}  // namespace

TcpSocket::~TcpSocket() {
  Close();
}

TcpSocket::TcpSocket(TcpSocket&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
  }
  return *this;
}

bool TcpSocket::Create() {
  Close();
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  any.sin_port = 0;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
    ::close(fd);
    return false;
  }
  handle_ = fd;
  return true;
}

bool TcpSocket::Connect(const std::string& host, int port) {
  if (handle_ < 0 || port <= 0 || port > 65535) return false;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<std::uint16_t>(port));
  if (!ResolveIpv4(host, peer.sin_addr)) return false;
  int rc = connect(handle_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
  // A connect interrupted by a signal goes on in the background; wait for its outcome.
  if (rc != 0 && errno == EINTR) {
    pollfd p{handle_, POLLOUT, 0};
    while (poll(&p, 1, -1) < 0 && errno == EINTR) {
    }
    int status = 0;
    socklen_t length = sizeof status;
    if (getsockopt(handle_, SOL_SOCKET, SO_ERROR, &status, &length) != 0 || status != 0)
      return false;
    rc = 0;
  }
  if (rc != 0) return false;
  // With nothing listening on a port of the system's own range, a connect can meet itself
  // (simultaneous open from the same port) and would read back its own request as the reply.
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (getsockname(handle_, reinterpret_cast<sockaddr*>(&local), &length) != 0) return false;
  if (local.sin_port == peer.sin_port && local.sin_addr.s_addr == peer.sin_addr.s_addr) {
    Close();
    return false;
  }
  return true;
}

long TcpSocket::Send(const void* data, std::size_t count, int limitMs) {
  if (handle_ < 0) return -1;
  const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
  const auto* bytes = static_cast<const char*>(data);
  std::size_t sent = 0;
  while (sent < count) {
    int ready = WaitUntil(handle_, POLLOUT, deadline);
    if (ready <= 0) return -1;
    ssize_t n = send(handle_, bytes + sent, count - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return -1;
    }
    sent += static_cast<std::size_t>(n);
  }
  return static_cast<long>(sent);
}

long TcpSocket::Receive(void* buffer, std::size_t capacity, int limitMs) {
  if (handle_ < 0) return -1;
  const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    int ready = WaitUntil(handle_, POLLIN, deadline);
    if (ready <= 0) return -1;
    ssize_t n = recv(handle_, buffer, capacity, MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return -1;
    }
    return static_cast<long>(n);
  }
}

void TcpSocket::Close() {
  if (handle_ >= 0) ::close(std::exchange(handle_, -1));
}

}  // namespace larkwend
