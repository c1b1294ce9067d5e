// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/user.h"

#include <cstdio>
#include <utility>

#include "resources/site_profile.h"

namespace larkwend {
namespace {

constexpr std::int32_t kClientCode = 2222;
constexpr std::int32_t kRequestCode = 11423;
constexpr std::size_t kTextFieldSize = 24;

void PutLittleEndian(std::uint8_t* at, std::int32_t value) {
  auto bits = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

}  // namespace

UpdateEndpoint DefaultUpdateEndpoint() {
  char address[16] = {};
  const int* a = site::UpdateServerAddress;
  std::snprintf(address, sizeof address, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
  return {address, site::UPDATE_PORT};
}

std::array<std::uint8_t, kUpdateRequestSize> BuildUpdateRequest() {
  std::array<std::uint8_t, kUpdateRequestSize> request{};
  request[0] = 'v';  // the tag; the rest of its field and the extra field stay zero
  PutLittleEndian(&request[2 * kTextFieldSize], kClientCode);
  PutLittleEndian(&request[2 * kTextFieldSize + 4], kRequestCode);
  return request;
}

CUser::CUser(UpdateEndpoint endpoint)
    : endpoint_(std::move(endpoint)), m_socket(endpoint_.timeLimitMs) {
  // POSIX sockets need no per-process start-up, and a closed peer is reported by the send
  // itself rather than by a signal, so there is nothing to set up here.
}

CUser::~CUser() {
  m_socket.Close();
}

bool CUser::Connect() {
  m_socket.Create();  // a socket that could not be created makes the connect fail
  return m_socket.Connect(endpoint_.address, endpoint_.port);
}

std::int32_t CUser::ReceiveLength() {
  std::uint8_t bytes[4] = {};
  int received = 0;
  while (received < 4) {
    int n = m_socket.Receive(bytes + received, 4 - received);
    if (n <= 0) return 0;
    received += n;
  }
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= std::uint32_t{bytes[i]} << (8 * i);
  return static_cast<std::int32_t>(bits);
}

bool CUser::QueryVersion() {
  // Whether the request went out is not examined: if it did not, the reply does not come either.
  auto request = BuildUpdateRequest();
  m_socket.Send(request.data(), static_cast<int>(request.size()));

  std::int32_t length = ReceiveLength();
  if (length <= 0 || length > kMaxReplyLength) return false;

  m_reply = std::make_unique<char[]>(static_cast<std::size_t>(length) + 1);  // all zero
  int received = 0;
  while (received < length) {
    int n = m_socket.Receive(m_reply.get() + received, length - received);
    if (n <= 0) break;  // closed, failed or out of time: what arrived stays
    received += n;
  }
  return true;
}

}  // namespace larkwend
