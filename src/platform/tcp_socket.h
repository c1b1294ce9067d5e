// SPDX-License-Identifier: GPL-3.0-or-later
// A blocking TCP connection over IPv4 whose transfers are bounded by a time limit.
#pragma once

#include <cstddef>
#include <string>

namespace larkwend {

class TcpSocket {
 public:
  TcpSocket() = default;
  ~TcpSocket();
  TcpSocket(TcpSocket&& other) noexcept;
  TcpSocket& operator=(TcpSocket&& other) noexcept;
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // A stream socket bound to any local address and a port the system chooses. Replaces (and
  // closes) a socket created before.
  bool Create();
  // `host` is a dotted IPv4 address, or else a host name looked up for an IPv4 address. Blocks
  // until connected or refused; no limit of its own.
  bool Connect(const std::string& host, int port);
  // Sends all `count` bytes within `limitMs`; the count, or -1.
  long Send(const void* data, std::size_t count, int limitMs);
  // Waits up to `limitMs` for data or the peer's close, then takes what is there, at most
  // `capacity` bytes, in one step: the count, 0 when the peer has closed, or -1.
  long Receive(void* buffer, std::size_t capacity, int limitMs);
  void Close();

 private:
  int handle_ = -1;  // the system's descriptor
};

}  // namespace larkwend
