// SPDX-License-Identifier: GPL-3.0-or-later
// The update service over a raw socket: the request it records and every way it answers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <thread>

#include "platform/posix/unique_fd.h"
#include "site_client.h"
#include "update_service.h"

namespace larkwend::practice::testing {
namespace {

// The client's request: "v" in a 24-byte tag, 24 zero bytes, 2222 and 11423 little-endian.
std::string VersionRequest() {
  std::string request(kUpdateRequestSize, '\0');
  request[0] = 'v';
  const unsigned char codes[] = {0xAE, 0x08, 0x00, 0x00, 0x9F, 0x2C, 0x00, 0x00};
  for (int i = 0; i < 8; ++i) request[48 + i] = static_cast<char>(codes[i]);
  return request;
}

posix::UniqueFd Connect(int port) {
  posix::UniqueFd fd(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) fd.Close();
  return fd;
}

// Everything the service sends until it closes. Gives up (and says so) after a generous wait so
// that a service that never closes fails the test instead of hanging it.
std::string ReadToClose(int fd, bool* closed = nullptr) {
  std::string bytes;
  char buffer[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) {
      if (closed) *closed = false;
      return bytes;
    }
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  if (closed) *closed = true;
  return bytes;
}

std::int32_t LengthOf(const std::string& reply) {
  if (reply.size() < 4) return 0;
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(reply[i]);
  return static_cast<std::int32_t>(value);
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char digits[3];
  for (unsigned char c : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", c);
    out += digits;
  }
  return out;
}

// "302|http://x/下载" in GBK: 下 is CF C2, 载 is D4 D8.
const std::string kGbkBody = "302|http://x/\xCF\xC2\xD4\xD8";

struct Exchange {
  std::string reply;
  bool closed = false;
};

Exchange AskOnce(UpdateFault fault) {
  UpdateService service(kGbkBody, fault);
  std::string error;
  EXPECT_TRUE(service.Start(0, error)) << error;
  posix::UniqueFd client = Connect(service.Port());
  EXPECT_TRUE(client);
  ::send(client.get(), VersionRequest().data(), kUpdateRequestSize, MSG_NOSIGNAL);
  Exchange exchange;
  exchange.reply = ReadToClose(client.get(), &exchange.closed);
  return exchange;
}

TEST(UpdateServiceTest, AnswersLengthAndGbkBodyAndRecordsTheRequest) {
  UpdateService service(ToGbk("302|http://x/下载"), UpdateFault::kNone);
  std::string error;
  ASSERT_TRUE(service.Start(0, error)) << error;
  posix::UniqueFd client = Connect(service.Port());
  ASSERT_TRUE(client);
  ::send(client.get(), VersionRequest().data(), kUpdateRequestSize, MSG_NOSIGNAL);
  bool closed = false;
  std::string reply = ReadToClose(client.get(), &closed);
  EXPECT_TRUE(closed);
  ASSERT_GE(reply.size(), 4u);
  EXPECT_EQ(LengthOf(reply), static_cast<std::int32_t>(kGbkBody.size()));
  EXPECT_EQ(reply.substr(4), kGbkBody);
  ASSERT_EQ(service.RequestsHex().size(), 1u);
  EXPECT_EQ(service.RequestsHex()[0], Hex(VersionRequest()));
  EXPECT_EQ(service.RequestsHex()[0].substr(96), "ae0800009f2c0000");
}

TEST(UpdateServiceTest, FaultModesAnswerAsTheyAreNamed) {
  Exchange closeAtOnce = AskOnce(UpdateFault::kClose);
  EXPECT_TRUE(closeAtOnce.closed);
  EXPECT_EQ(closeAtOnce.reply, "");

  Exchange zero = AskOnce(UpdateFault::kZeroLength);
  EXPECT_TRUE(zero.closed);
  EXPECT_EQ(zero.reply, std::string(4, '\0'));

  Exchange negative = AskOnce(UpdateFault::kNegativeLength);
  EXPECT_TRUE(negative.closed);
  EXPECT_EQ(negative.reply, std::string(4, '\xFF'));

  Exchange shortBody = AskOnce(UpdateFault::kShortBody);
  EXPECT_TRUE(shortBody.closed);
  EXPECT_EQ(LengthOf(shortBody.reply), static_cast<std::int32_t>(kGbkBody.size()));
  EXPECT_EQ(shortBody.reply.substr(4), kGbkBody.substr(0, kGbkBody.size() / 2));

  Exchange huge = AskOnce(UpdateFault::kHugeLength);
  EXPECT_TRUE(huge.closed);
  EXPECT_EQ(LengthOf(huge.reply), 0x7FFFFFFF);
  EXPECT_EQ(huge.reply.substr(4), kGbkBody);
}

TEST(UpdateServiceTest, SilentServiceReadsTheRequestAndNeverAnswers) {
  UpdateService service(kGbkBody, UpdateFault::kSilent);
  std::string error;
  ASSERT_TRUE(service.Start(0, error)) << error;
  posix::UniqueFd client = Connect(service.Port());
  ASSERT_TRUE(client);
  ::send(client.get(), VersionRequest().data(), kUpdateRequestSize, MSG_NOSIGNAL);
  // Once the request is recorded the service has had its chance to answer; then it is stopped,
  // and the connection ends without a byte.
  for (int i = 0; i < 2000 && service.RequestsHex().empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(service.RequestsHex().size(), 1u);
  std::thread stopper([&] { service.Stop(); });
  bool closed = false;
  EXPECT_EQ(ReadToClose(client.get(), &closed), "");
  EXPECT_TRUE(closed);
  stopper.join();
  EXPECT_EQ(service.RequestsHex()[0], Hex(VersionRequest()));
}

TEST(UpdateServiceTest, ShortRequestIsRecordedAsItCameAndStillAnswered) {
  UpdateService service(kGbkBody, UpdateFault::kNone);
  std::string error;
  ASSERT_TRUE(service.Start(0, error)) << error;
  posix::UniqueFd client = Connect(service.Port());
  ASSERT_TRUE(client);
  ::send(client.get(), "v\0\0", 3, MSG_NOSIGNAL);
  ::shutdown(client.get(), SHUT_WR);
  std::string reply = ReadToClose(client.get());
  EXPECT_EQ(reply.substr(4), kGbkBody);
  EXPECT_EQ(service.RequestsHex()[0], "760000");
}

TEST(UpdateServiceTest, EachConnectionIsOneExchange) {
  UpdateService service(kGbkBody, UpdateFault::kNone);
  std::string error;
  ASSERT_TRUE(service.Start(0, error)) << error;
  for (int i = 0; i < 3; ++i) {
    posix::UniqueFd client = Connect(service.Port());
    ::send(client.get(), VersionRequest().data(), kUpdateRequestSize, MSG_NOSIGNAL);
    EXPECT_EQ(ReadToClose(client.get()).substr(4), kGbkBody);
  }
  EXPECT_EQ(service.RequestsHex().size(), 3u);
}

TEST(UpdateServiceTest, ABusyPortIsReportedNotIgnored) {
  UpdateService first(kGbkBody, UpdateFault::kNone);
  std::string error;
  ASSERT_TRUE(first.Start(0, error)) << error;
  UpdateService second(kGbkBody, UpdateFault::kNone);
  EXPECT_FALSE(second.Start(first.Port(), error));
  EXPECT_NE(error.find(std::to_string(first.Port())), std::string::npos);
}

TEST(UpdateServiceTest, SiteAnnouncesItsVersionAndLinkAndShowsRequestsInItsState) {
  PracticeOptions options = TestOptions();
  options.updateService = true;
  options.updateVersion = "405";
  options.updateLink = "http://www.qmedu.localhost:18080/new/";
  RunningSite site(options);
  ASSERT_TRUE(site.Started()) << site.Error();
  posix::UniqueFd client = Connect(site.UpdatePort());
  ::send(client.get(), VersionRequest().data(), kUpdateRequestSize, MSG_NOSIGNAL);
  EXPECT_EQ(ReadToClose(client.get()).substr(4), "405|http://www.qmedu.localhost:18080/new/");
  EXPECT_EQ(site.State()["updateRequests"][0].String(), Hex(VersionRequest()));
}

TEST(UpdateServiceTest, RawBodyReplacesVersionAndLink) {
  PracticeOptions options = TestOptions();
  options.updateService = true;
  options.updateBody = "305";
  RunningSite site(options);
  ASSERT_TRUE(site.Started()) << site.Error();
  posix::UniqueFd client = Connect(site.UpdatePort());
  ::send(client.get(), VersionRequest().data(), kUpdateRequestSize, MSG_NOSIGNAL);
  EXPECT_EQ(ReadToClose(client.get()), std::string("\x03\0\0\0", 4) + "305");
}

}  // namespace
}  // namespace larkwend::practice::testing
