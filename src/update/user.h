// SPDX-License-Identifier: GPL-3.0-or-later
// CUser: the client of the update service, for one exchange.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "update/socket_ex.h"

namespace larkwend {

// Where the update service listens, and how long each send and receive may take.
struct UpdateEndpoint {
  std::string address;  // dotted IPv4 address or host name
  int port;
  int timeLimitMs = UPDATE_TIMEOUT_MS;
};

// The program's fixed update service.
UpdateEndpoint DefaultUpdateEndpoint();

// The request: a 24-byte text field "v", 24 zero bytes, then the client code 2222 and the request
// code 11423 as 32-bit little-endian integers.
constexpr std::size_t kUpdateRequestSize = 56;
std::array<std::uint8_t, kUpdateRequestSize> BuildUpdateRequest();

// A reply longer than this is not a version and a link: it counts as no reply rather than
// making the client allocate whatever the length field claims.
constexpr std::int32_t kMaxReplyLength = 64 * 1024;

class CUser {
 public:
  explicit CUser(UpdateEndpoint endpoint = DefaultUpdateEndpoint());
  // Closes the connection; the reply buffer goes with the object.
  ~CUser();
  CUser(const CUser&) = delete;
  CUser& operator=(const CUser&) = delete;

  // Creates the socket and connects to the service; true once connected.
  bool Connect();
  // Sends the request and receives the reply's body into the reply buffer; false when no usable
  // length arrived (the buffer then stays as it was). A body that ends early is kept as far as it
  // came.
  bool QueryVersion();
  // The last body received, zero-terminated, or null before any.
  const char* reply() const { return m_reply.get(); }

 private:
  // The 4-byte length, or 0 when it did not arrive whole.
  std::int32_t ReceiveLength();

  UpdateEndpoint endpoint_;
  CSocketEx m_socket;
  std::unique_ptr<char[]> m_reply;
};

}  // namespace larkwend
