// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/socket_ex.h"

namespace larkwend {
namespace {

int AsSocketResult(long result) {
  return result < 0 ? SOCKET_ERROR : static_cast<int>(result);
}

}  // namespace

bool CSocketEx::Create() {
  return socket_.Create();
}

bool CSocketEx::Connect(const std::string& address, int port) {
  return socket_.Connect(address, port);
}

int CSocketEx::Send(const void* data, int count) {
  if (count < 0) return SOCKET_ERROR;
  return AsSocketResult(socket_.Send(data, static_cast<std::size_t>(count), timeLimitMs_));
}

int CSocketEx::Receive(void* buffer, int capacity) {
  if (capacity <= 0) return SOCKET_ERROR;
  return AsSocketResult(socket_.Receive(buffer, static_cast<std::size_t>(capacity), timeLimitMs_));
}

}  // namespace larkwend
