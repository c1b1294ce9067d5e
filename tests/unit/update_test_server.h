// SPDX-License-Identifier: GPL-3.0-or-later
// A scriptable update service on a loopback port the system chooses: it records the request of
// each connection and then answers as the test says (bytes, a close, or silence).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace larkwend::testing {

using posix::UniqueFd;

// Binds `fd` to a loopback port the system chooses and returns that port.
inline int BindLoopback(int fd) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

// The reply record: a 32-bit little-endian length, then the body.
inline std::string ReplyRecord(std::int32_t length, const std::string& body) {
  auto bits = static_cast<std::uint32_t>(length);
  std::string record;
  for (int i = 0; i < 4; ++i) record += static_cast<char>((bits >> (8 * i)) & 0xFF);
  return record + body;
}
inline std::string ReplyRecord(const std::string& body) {
  return ReplyRecord(static_cast<std::int32_t>(body.size()), body);
}

class UpdateTestServer {
 public:
  enum class Mode {
    kReply,        // read the request, send `reply` (in pieces of `chunk` bytes), close
    kCloseAtOnce,  // close right after accepting
    kSilent,       // read the request, then say nothing until the client goes
  };

  UpdateTestServer() : listener_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    int on = 1;
    setsockopt(listener_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    port_ = BindLoopback(listener_.get());
    listen(listener_.get(), 16);
    thread_ = std::thread([this] { Serve(); });
  }
  ~UpdateTestServer() {
    stop_ = true;
    thread_.join();
  }
  UpdateTestServer(const UpdateTestServer&) = delete;
  UpdateTestServer& operator=(const UpdateTestServer&) = delete;

  int port() const { return port_; }

  // What the next connections get; set before the client connects.
  void Reply(std::string bytes, std::size_t chunk = 0) {
    std::lock_guard lock(mutex_);
    mode_ = Mode::kReply;
    reply_ = std::move(bytes);
    chunk_ = chunk;
  }
  void SetMode(Mode mode) {
    std::lock_guard lock(mutex_);
    mode_ = mode;
  }

  // The bytes each connection sent, in order, once `count` connections have ended (or after a
  // few seconds, with what there is).
  std::vector<std::string> Requests(std::size_t count = 1) {
    std::unique_lock lock(mutex_);
    ended_.wait_for(lock, std::chrono::seconds(10), [&] { return requests_.size() >= count; });
    return requests_;
  }
  // The same, and forgets them: a long run of connections does not pile them up.
  std::vector<std::string> TakeRequests(std::size_t count = 1) {
    std::vector<std::string> requests = Requests(count);
    std::lock_guard lock(mutex_);
    requests_.erase(requests_.begin(), requests_.begin() + static_cast<long>(requests.size()));
    return requests;
  }

 private:
  // Waits for `fd` to become readable, giving up when the server is stopped.
  bool WaitReadable(int fd) {
    while (!stop_) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 20) > 0) return true;
    }
    return false;
  }

  // Reads until the request is whole, the client closes, or the server stops.
  std::string ReadRequest(int fd, std::size_t want) {
    std::string request;
    char buffer[256];
    while (request.size() < want && WaitReadable(fd)) {
      ssize_t n = recv(fd, buffer, std::min(sizeof buffer, want - request.size()), 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<std::size_t>(n));
    }
    return request;
  }

  void Serve() {
    while (WaitReadable(listener_.get())) {
      UniqueFd client(accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
      if (client.get() < 0) continue;
      int on = 1;
      setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      Mode mode;
      std::string reply;
      std::size_t chunk;
      {
        std::lock_guard lock(mutex_);
        mode = mode_;
        reply = reply_;
        chunk = chunk_;
      }
      std::string request;
      if (mode != Mode::kCloseAtOnce) request = ReadRequest(client.get(), 56);
      if (mode == Mode::kReply) {
        std::size_t step = chunk ? chunk : reply.size();
        for (std::size_t at = 0; at < reply.size(); at += step) {
          send(client.get(), reply.data() + at, std::min(step, reply.size() - at), MSG_NOSIGNAL);
          if (chunk) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
      } else if (mode == Mode::kSilent) {
        // Keep the connection open, reading nothing more, until the client closes it.
        pollfd p{client.get(), POLLRDHUP, 0};
        while (!stop_ && poll(&p, 1, 20) == 0) {
        }
      }
      client = UniqueFd();
      std::lock_guard lock(mutex_);
      requests_.push_back(std::move(request));
      ended_.notify_all();
    }
  }

  UniqueFd listener_;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  Mode mode_ = Mode::kReply;
  std::string reply_;
  std::size_t chunk_ = 0;
  std::vector<std::string> requests_;
  std::condition_variable ended_;
  std::thread thread_;
};

// A loopback port on which nothing listens: bound once by this process, then released.
inline int RefusingPort() {
  UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  return BindLoopback(fd.get());
}

}  // namespace larkwend::testing
