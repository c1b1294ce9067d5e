// SPDX-License-Identifier: GPL-3.0-or-later
// CSocketEx: the update client's TCP stream, every send and receive bounded by a time limit.
#pragma once

#include <string>

#include "platform/tcp_socket.h"

namespace larkwend {

constexpr int UPDATE_TIMEOUT_MS = 60000;

constexpr int SOCKET_ERROR = -1;

class CSocketEx {
 public:
  explicit CSocketEx(int timeLimitMs = UPDATE_TIMEOUT_MS) : timeLimitMs_(timeLimitMs) {}

  bool Create();
  // A dotted IPv4 address or a host name; blocks with no limit of its own.
  bool Connect(const std::string& address, int port);
  // All `count` bytes, within the limit: `count`, or SOCKET_ERROR.
  int Send(const void* data, int count);
  // What has arrived within the limit, at most `capacity` bytes: the count, 0 when the peer has
  // closed, or SOCKET_ERROR. After a time-out nothing more is taken.
  int Receive(void* buffer, int capacity);
  void Close() { socket_.Close(); }

 private:
  TcpSocket socket_;
  int timeLimitMs_;
};

}  // namespace larkwend
