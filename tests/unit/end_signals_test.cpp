// SPDX-License-Identifier: GPL-3.0-or-later
// The signals that ask the program to end: recorded as a request instead of ending the process,
// the earlier dispositions back afterwards, and a wait on the network given up when one comes.
#include "platform/posix/end_signals.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "update/socket_ex.h"
#include "update_test_server.h"

namespace larkwend::posix {
namespace {

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) == 1;
}

TEST(EndSignals, EachSignalIsAnEndRequestThatStandsAndTheDefaultsComeBackAfter) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    {
      EndSignals signals;
      ASSERT_GE(EndRequestFd(), 0);
      EXPECT_FALSE(EndRequested());
      ::raise(signal);  // the process would end here without the handler
      EXPECT_TRUE(EndRequested());
      ::raise(signal == SIGTERM ? SIGINT : SIGTERM);
      EXPECT_STREQ(EndSignalName(), signal == SIGTERM  ? "SIGTERM"
                                    : signal == SIGINT ? "SIGINT"
                                                       : "SIGHUP");
      // Every waiter sees it, however often it looks.
      EXPECT_TRUE(Readable(EndRequestFd()));
      EXPECT_TRUE(Readable(EndRequestFd()));
    }
    EXPECT_FALSE(EndRequested());
    EXPECT_EQ(EndRequestFd(), -1);
    struct sigaction now {};
    ::sigaction(signal, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
  }
}

TEST(EndSignals, ASignalTheProgramWasStartedToIgnoreStaysIgnored) {
  // As under nohup.
  ::signal(SIGHUP, SIG_IGN);
  {
    EndSignals signals;
    ::raise(SIGHUP);
    EXPECT_FALSE(EndRequested());
  }
  struct sigaction now {};
  ::sigaction(SIGHUP, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_IGN);
  ::signal(SIGHUP, SIG_DFL);
}

// The update check waits up to a minute for a silent service, with the GUI thread blocked: an end
// asked meanwhile must not wait for the limit. Here the limit is an hour, past the test run's own:
// a wait that did not give up would fail the run by its timeout.
TEST(EndSignals, AnEndAskedGivesUpAWaitOnTheNetworkAsAFailure) {
  testing::UpdateTestServer server;
  server.SetMode(testing::UpdateTestServer::Mode::kSilent);
  CSocketEx socket(3600 * 1000);
  ASSERT_TRUE(socket.Create());
  ASSERT_TRUE(socket.Connect("127.0.0.1", server.port()));
  std::string request(56, 'r');
  ASSERT_EQ(socket.Send(request.data(), 56), 56);

  EndSignals signals;
  std::thread sender([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::kill(::getpid(), SIGTERM);
  });
  char buffer[4];
  EXPECT_EQ(socket.Receive(buffer, 4), SOCKET_ERROR);
  EXPECT_TRUE(EndRequested());
  sender.join();
  // Asked already: the next wait does not begin.
  EXPECT_EQ(socket.Send(request.data(), 56), SOCKET_ERROR);
}

}  // namespace
}  // namespace larkwend::posix
