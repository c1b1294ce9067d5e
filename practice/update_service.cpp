// SPDX-License-Identifier: GPL-3.0-or-later
#include "update_service.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <iconv.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace larkwend::practice {
namespace {

// How long a client may take to send its request before the service gives up on it.
constexpr int kRequestTimeoutMs = 5000;
// How long the service waits for the client to close after the reply, so that closing never
// resets a connection whose reply the client has not read yet.
constexpr int kLingerMs = 1000;

std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

void SendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the client went away
    sent += static_cast<std::size_t>(n);
  }
}

std::string LengthPrefix(std::int32_t length) {
  auto value = static_cast<std::uint32_t>(length);
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

}  // namespace

std::string ToGbk(std::string_view utf8) {
  iconv_t cd = iconv_open("GBK//TRANSLIT", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(utf8);
  std::string out;
  char buffer[256];
  auto* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
      out += '?';  // a byte that is not UTF-8, or a character GBK lacks: skip it
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

UpdateService::UpdateService(std::string body, UpdateFault fault)
    : body_(std::move(body)), fault_(fault) {}

UpdateService::~UpdateService() {
  Stop();
}

bool UpdateService::Start(int port, std::string& error) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  stopRead_ = posix::UniqueFd(pipeFds[0]);
  stopWrite_ = posix::UniqueFd(pipeFds[1]);

  listener_ = posix::UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  int yes = 1;
  ::setsockopt(listener_.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (!listener_ ||
      ::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_.get(), 16) != 0) {
    error = "update service on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    listener_.Close();
    return false;
  }
  socklen_t length = sizeof address;
  ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptThread_ = std::jthread([this] { AcceptLoop(); });
  return true;
}

void UpdateService::Stop() {
  if (!acceptThread_.joinable()) return;
  char byte = 1;
  [[maybe_unused]] auto n = ::write(stopWrite_.get(), &byte, 1);
  acceptThread_.join();
  std::list<Connection> connections;
  {
    std::lock_guard lock(mutex_);
    connections.swap(connections_);
  }
  connections.clear();  // joins every connection thread
  listener_.Close();
}

bool UpdateService::WaitReadable(int fd, int timeoutMs) const {
  pollfd fds[2] = {{fd, POLLIN, 0}, {stopRead_.get(), POLLIN, 0}};
  for (;;) {
    int n = ::poll(fds, 2, timeoutMs);
    if (n < 0 && errno == EINTR) continue;
    return n > 0 && !(fds[1].revents & POLLIN) && fds[0].revents != 0;
  }
}

void UpdateService::AcceptLoop() {
  while (WaitReadable(listener_.get(), -1)) {
    posix::UniqueFd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!client) continue;
    std::lock_guard lock(mutex_);
    connections_.remove_if([](const Connection& c) { return c.finished->load(); });
    auto finished = std::make_shared<std::atomic<bool>>(false);
    connections_.push_back({std::jthread([this, finished, fd = std::move(client)]() mutable {
                              Serve(std::move(fd));
                              finished->store(true);
                            }),
                            finished});
  }
}

void UpdateService::Serve(posix::UniqueFd client) {
  const int fd = client.get();
  std::string request;
  if (fault_ != UpdateFault::kClose) {
    char buffer[kUpdateRequestSize];
    while (request.size() < kUpdateRequestSize && WaitReadable(fd, kRequestTimeoutMs)) {
      ssize_t n = ::recv(fd, buffer, kUpdateRequestSize - request.size(), 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<std::size_t>(n));
    }
  }
  {
    std::lock_guard lock(requestsMutex_);
    requests_.push_back(Hex(request));
  }
  if (fault_ == UpdateFault::kClose) return;
  if (fault_ == UpdateFault::kSilent) {
    // Hold the connection open without a word until the client gives up or the service stops.
    char sink[256];
    while (WaitReadable(fd, -1) && ::recv(fd, sink, sizeof sink, 0) > 0) {
    }
    return;
  }
  Reply(fd);
  ::shutdown(fd, SHUT_WR);
  char sink[256];
  while (WaitReadable(fd, kLingerMs) && ::recv(fd, sink, sizeof sink, 0) > 0) {
  }
}

void UpdateService::Reply(int fd) const {
  const auto bodyLength = static_cast<std::int32_t>(body_.size());
  switch (fault_) {
    case UpdateFault::kZeroLength:
      SendAll(fd, LengthPrefix(0));
      break;
    case UpdateFault::kNegativeLength:
      SendAll(fd, LengthPrefix(-1));
      break;
    case UpdateFault::kShortBody:
      SendAll(fd, LengthPrefix(bodyLength) + body_.substr(0, body_.size() / 2));
      break;
    case UpdateFault::kHugeLength:
      SendAll(fd, LengthPrefix(0x7FFFFFFF) + body_);
      break;
    default:
      SendAll(fd, LengthPrefix(bodyLength) + body_);
  }
}

std::vector<std::string> UpdateService::RequestsHex() const {
  std::lock_guard lock(requestsMutex_);
  return requests_;
}

void UpdateService::AddJson(JsonObject& state) const {
  JsonArray requests;
  for (const auto& hex : RequestsHex()) requests.Add(hex);
  state.AddRaw("updateRequests", requests.str());
}

}  // namespace larkwend::practice
