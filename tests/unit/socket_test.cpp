// SPDX-License-Identifier: GPL-3.0-or-later
// CSocketEx on real loopback connections: the time limits and what a receive hands back.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "update/socket_ex.h"
#include "update_test_server.h"

namespace larkwend {
namespace {

using testing::UpdateTestServer;

class SocketEx : public ::testing::Test {
 protected:
  // A connected socket whose operations may take `limitMs`; it sends the 56 bytes the test
  // service waits for before it acts.
  CSocketEx& Connect(int limitMs) {
    socket.emplace(limitMs);
    EXPECT_TRUE(socket->Create());
    EXPECT_TRUE(socket->Connect("127.0.0.1", server.port()));
    std::string request(56, 'r');
    EXPECT_EQ(socket->Send(request.data(), 56), 56);
    return *socket;
  }

  UpdateTestServer server;
  std::optional<CSocketEx> socket;
};

TEST_F(SocketEx, AReceiveTakesWhatIsThereUpToItsCapacity) {
  server.Reply("abcdef");
  CSocketEx& s = Connect(UPDATE_TIMEOUT_MS);
  char buffer[8] = {};
  ASSERT_EQ(s.Receive(buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  ASSERT_EQ(s.Receive(buffer, 8), 2);
  EXPECT_EQ(std::string(buffer, 2), "ef");
  EXPECT_EQ(s.Receive(buffer, 8), 0);  // the service has closed
}

TEST_F(SocketEx, AReceiveFromASilentPeerFailsOnceItsLimitRunsOut) {
  server.SetMode(UpdateTestServer::Mode::kSilent);
  CSocketEx& s = Connect(100);
  char buffer[4];
  EXPECT_EQ(s.Receive(buffer, 4), SOCKET_ERROR);
}

TEST_F(SocketEx, ASendThatCannotGoOutFailsOnceItsLimitRunsOut) {
  // The peer reads nothing after the request, so the buffers on both sides fill up.
  server.SetMode(UpdateTestServer::Mode::kSilent);
  CSocketEx& s = Connect(200);
  std::vector<char> flood(64 << 20, 'x');
  EXPECT_EQ(s.Send(flood.data(), static_cast<int>(flood.size())), SOCKET_ERROR);
}

TEST_F(SocketEx, ARefusedConnectionFailsAtOnce) {
  CSocketEx s;
  ASSERT_TRUE(s.Create());
  EXPECT_FALSE(s.Connect("127.0.0.1", testing::RefusingPort()));
  char buffer[4];
  EXPECT_EQ(s.Receive(buffer, 4), SOCKET_ERROR);
}

}  // namespace
}  // namespace larkwend
