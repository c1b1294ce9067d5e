#include "update/socket_ex.h"

namespace larkwend {

bool CSocketEx::Create() {
  return Finish(socket_.Create() ? 0 : -1) == 0;
}

bool CSocketEx::Connect(const std::string& address, int port) {
  return Finish(socket_.Connect(address, port) ? 0 : -1) == 0;
}

int CSocketEx::Send(const void* data, int count) {
  if (count < 0) return SOCKET_ERROR;
  return Finish(socket_.Send(data, static_cast<std::size_t>(count), timeLimitMs_));
}

int CSocketEx::Receive(void* buffer, int capacity) {
  if (capacity <= 0) return SOCKET_ERROR;
  return Finish(socket_.Receive(buffer, static_cast<std::size_t>(capacity), timeLimitMs_));
}

int CSocketEx::Finish(long result) {
  if (result >= 0) {
    lastError_ = 0;
    return static_cast<int>(result);
  }
  lastError_ = socket_.error() == SocketError::kTimedOut ? WSAEINTR : WSAECONNABORTED;
  return SOCKET_ERROR;
}

}  // namespace larkwend
