// SPDX-License-Identifier: GPL-3.0-or-later
// The update service: one TCP exchange per connection. It reads the client's 56-byte request and
// answers with a little-endian 32-bit length and the reply text, or misbehaves in one of the
// ways a client must survive (see UpdateFault).
#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "json.h"
#include "options.h"
#include "platform/posix/unique_fd.h"

namespace larkwend::practice {

inline constexpr std::size_t kUpdateRequestSize = 56;

// UTF-8 to GBK, for the reply text; a character GBK cannot hold becomes "?".
std::string ToGbk(std::string_view utf8);

class UpdateService {
 public:
  // `body` is sent as given (GBK bytes).
  UpdateService(std::string body, UpdateFault fault);
  ~UpdateService();
  UpdateService(const UpdateService&) = delete;
  UpdateService& operator=(const UpdateService&) = delete;

  // Listens on 127.0.0.1:`port` (0: any free port). False with `error` set when it cannot.
  bool Start(int port, std::string& error);
  int Port() const { return port_; }
  // Closes the listener and every open connection, and waits for their threads.
  void Stop();

  // Each connection's request bytes, as lower-case hex, in arrival order.
  std::vector<std::string> RequestsHex() const;
  // Adds "updateRequests".
  void AddJson(JsonObject& state) const;

 private:
  struct Connection {
    std::jthread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };

  void AcceptLoop();
  void Serve(posix::UniqueFd client);
  // Waits until `fd` is readable or the service stops; false on stop or after `timeoutMs`.
  bool WaitReadable(int fd, int timeoutMs) const;
  void Reply(int fd) const;

  const std::string body_;
  const UpdateFault fault_;
  posix::UniqueFd listener_;
  posix::UniqueFd stopRead_, stopWrite_;  // a byte on this pipe wakes every wait: the service stops
  int port_ = 0;
  std::jthread acceptThread_;
  std::mutex mutex_;  // guards connections_
  std::list<Connection> connections_;
  mutable std::mutex requestsMutex_;
  std::vector<std::string> requests_;
};

}  // namespace larkwend::practice
