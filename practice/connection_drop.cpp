// SPDX-License-Identifier: GPL-3.0-or-later
#include "connection_drop.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <charconv>
#include <filesystem>
#include <string>

namespace larkwend::practice {
namespace {

bool SameAddress(const sockaddr_in& address, const std::string& host, int port) {
  in_addr wanted{};
  return address.sin_family == AF_INET && ::inet_pton(AF_INET, host.c_str(), &wanted) == 1 &&
         address.sin_addr.s_addr == wanted.s_addr && ntohs(address.sin_port) == port;
}

}  // namespace

bool DropConnection(const httplib::Request& request) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    const std::string name = entry.path().filename().string();
    int fd = -1;
    if (std::from_chars(name.data(), name.data() + name.size(), fd).ec != std::errc{}) continue;
    sockaddr_in local{}, peer{};
    socklen_t localLength = sizeof local, peerLength = sizeof peer;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
        ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) {
      continue;
    }
    if (SameAddress(local, request.local_addr, request.local_port) &&
        SameAddress(peer, request.remote_addr, request.remote_port)) {
      return ::shutdown(fd, SHUT_RDWR) == 0;
    }
  }
  return false;
}

}  // namespace larkwend::practice
