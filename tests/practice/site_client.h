// SPDX-License-Identifier: GPL-3.0-or-later
// Test helpers for the practice site: an in-process site on free ports with a clock the test
// moves, and an HTTP client that speaks to one of its hosts and keeps that host's cookies.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "e2e_json.h"
#include "options.h"
#include "practice_server.h"

namespace larkwend::practice::testing {

class ManualClock {
 public:
  StudyClock AsClock() {
    return [this] {
      return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms_.load()));
    };
  }
  void Advance(std::chrono::milliseconds by) { ms_ += by.count(); }

 private:
  std::atomic<long long> ms_{1'000'000};
};

class SiteClient {
 public:
  SiteClient(int port, std::string host);

  httplib::Result Get(const std::string& path);
  httplib::Result Post(const std::string& path, const httplib::Params& form);

  std::string Cookie(const std::string& name) const;
  void ForgetCookies() { cookies_.clear(); }

 private:
  httplib::Headers Headers() const;
  void Remember(const httplib::Result& result);

  std::unique_ptr<httplib::Client> client_;  // held by pointer so the client can move
  std::string hostHeader_;
  std::map<std::string, std::string> cookies_;
};

// One connection to the site over a raw socket, for what an HTTP client hides: requests on a
// connection kept alive, a request never answered, a connection closed without an answer.
class RawConnection {
 public:
  explicit RawConnection(int port);
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool Send(const std::string& bytes);

  struct Answer {
    std::string text;     // status line, headers and body, as far as they came
    bool closed = false;  // the server closed the connection
  };
  // One answer, read until its Content-Length is complete, the server closes the connection,
  // or nothing more comes within `wait`.
  Answer Read(std::chrono::milliseconds wait = std::chrono::seconds(5));

 private:
  int fd_ = -1;
  std::string pending_;  // bytes read past the previous answer
};

// A GET request for `path` on `host` ("host:port" goes into the Host header).
std::string GetRequest(const std::string& host, int port, const std::string& path);

// The practice site, started on free ports with its study time driven by `clock`.
class RunningSite {
 public:
  explicit RunningSite(PracticeOptions options = {});
  bool Started() const { return started_; }
  const std::string& Error() const { return error_; }

  SiteClient Portal() const;
  SiteClient Study() const;
  e2e::JsonValue State() const;
  int UpdatePort() const { return server_.UpdatePort(); }
  int HttpPort() const { return server_.HttpPort(); }
  void Stop() { server_.Stop(); }

  ManualClock clock;

 private:
  PracticeServer server_;
  bool started_ = false;
  std::string error_;
};

// The options the tests start from: free ports, no update service, defaults otherwise.
PracticeOptions TestOptions();

// The verification code a login page shows; empty when there is none.
std::string CodeOnPage(const std::string& html);

// Loads the login page and submits it with that page's code. Returns the login answer.
httplib::Result LogInByIdCard(SiteClient& portal, const std::string& idNumber);
httplib::Result LogInByUserName(SiteClient& portal, const std::string& name,
                                const std::string& password);

// Logs in on the portal and follows the personal centre's link into the study platform;
// returns a study client holding the platform's session cookie.
SiteClient EnterStudyPlatform(const RunningSite& site);

}  // namespace larkwend::practice::testing
