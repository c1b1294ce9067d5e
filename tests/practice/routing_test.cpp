// One port, two sites: the Host header decides; anything else is a clear error. Also malformed
// and concurrent requests.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "site_client.h"

namespace larkwend::practice::testing {
namespace {

class RoutingTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(site.Started()) << site.Error(); }
  int Port() const { return site.State()["httpPort"].Int(); }
  RunningSite site{TestOptions()};
};

// Sends `request` as it is and returns the one answer (status line, headers and body).
std::string RawExchange(int port, const std::string& request) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  std::string answer;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buffer[4096];
    ssize_t n;
    // The server keeps the connection open after answering, so stop at the answer's end.
    std::size_t expected = std::string::npos;
    while (answer.size() < expected && (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
      answer.append(buffer, static_cast<std::size_t>(n));
      auto headersEnd = answer.find("\r\n\r\n");
      auto length = answer.find("Content-Length: ");
      if (headersEnd != std::string::npos && length != std::string::npos && length < headersEnd) {
        expected = headersEnd + 4 + std::stoul(answer.substr(length + 16));
      }
    }
  }
  ::close(fd);
  return answer;
}

TEST_F(RoutingTest, UnknownOrMissingHostIsRefused) {
  SiteClient stranger(Port(), "www.example.com");
  auto answer = stranger.Get("/login/");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 421);
  EXPECT_NE(answer->body.find("www.example.com"), std::string::npos);
  EXPECT_EQ(stranger.Get("/__state")->status, 421);

  std::string raw = RawExchange(Port(), "GET /login/ HTTP/1.0\r\n\r\n");
  EXPECT_EQ(raw.rfind("HTTP/1.1 400", 0), 0u) << raw;
  // Neither request showed a login page, so no code was issued.
  EXPECT_EQ(site.State()["lastCode"].String(), "");
}

TEST_F(RoutingTest, EachSiteServesOnlyItsOwnPages) {
  SiteClient portal = site.Portal();
  SiteClient study = site.Study();
  EXPECT_EQ(portal.Get("/login/")->status, 200);
  EXPECT_EQ(study.Get("/login/")->status, 404);
  EXPECT_EQ(portal.Get("/stu/clslist.aspx")->status, 404);
  EXPECT_EQ(portal.Get("/js/jquery.min.js")->status, 404);
  EXPECT_EQ(study.Get("/")->get_header_value("Location"), "/stu/clslist.aspx");
  EXPECT_EQ(portal.Get("/no/such/page")->status, 404);
  // The host name is matched without regard to case or port, as browsers may send either.
  SiteClient upper(Port(), "WWW.QMEDU.LOCALHOST");
  EXPECT_EQ(upper.Get("/login/")->status, 200);
}

TEST_F(RoutingTest, StateIsJsonOnBothHosts) {
  for (bool portal : {true, false}) {
    auto answer = (portal ? site.Portal() : site.Study()).Get("/__state");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    auto state = e2e::JsonValue::Parse(answer->body);
    ASSERT_TRUE(state);
    EXPECT_EQ((*state)["httpPort"].Int(), Port());
    EXPECT_EQ((*state)["courses"].Size(), 2u);
    EXPECT_TRUE((*state)["updateRequests"].Items().empty());
  }
}

TEST_F(RoutingTest, MalformedRequestsGetAnErrorAndTheSiteGoesOn) {
  EXPECT_EQ(RawExchange(Port(), "NONSENSE\r\n\r\n").rfind("HTTP/1.1 400", 0), 0u);
  std::string longTarget(20000, 'a');
  EXPECT_EQ(RawExchange(Port(), "GET /" + longTarget + " HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 4", 0),
            0u);
  EXPECT_EQ(site.Portal().Get("/login/")->status, 200);
}

TEST_F(RoutingTest, ConcurrentLoginsAndHeartbeatsAreAllCounted) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 10;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this] {
      SiteClient portal = site.Portal();
      SiteClient study = EnterStudyPlatform(site);
      for (int i = 0; i < kRounds; ++i) {
        LogInByIdCard(portal, "11010519491231002X");
        study.Get("/stu/book_right.aspx?id=1-002");
      }
    });
  }
  for (auto& thread : threads) thread.join();
  auto state = site.State();
  // Each thread logged in once to enter the study platform, then kRounds times.
  ASSERT_EQ(state["logins"].Size(), static_cast<std::size_t>(kThreads * (kRounds + 1)));
  for (const auto& login : state["logins"].Items()) EXPECT_EQ(login["outcome"].String(), "ok");
  EXPECT_EQ(state["courses"][0]["chapters"][1]["openings"].Int(), kThreads * kRounds);
}

}  // namespace
}  // namespace larkwend::practice::testing
