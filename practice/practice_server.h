// SPDX-License-Identifier: GPL-3.0-or-later
// The practice site as one object: both web sites on one HTTP port and the update service on
// another, all on 127.0.0.1, with the state they keep. The program `larkwend-practice` runs one;
// tests run one in-process on free ports.
#pragma once

#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "held_requests.h"
#include "host_router.h"
#include "options.h"
#include "outage.h"
#include "portal_state.h"
#include "sign_out.h"
#include "site_clock.h"
#include "site_context.h"
#include "study_state.h"
#include "tls_server.h"
#include "update_service.h"

namespace larkwend::practice {

class PracticeServer {
 public:
  explicit PracticeServer(PracticeOptions options,
                          StudyClock clock = std::chrono::steady_clock::now);
  ~PracticeServer();
  PracticeServer(const PracticeServer&) = delete;
  PracticeServer& operator=(const PracticeServer&) = delete;

  // Binds both ports and starts serving. False with `error` set when a port cannot be had or
  // jQuery cannot be read. The process ignores SIGPIPE from then on: a client may go away, and
  // an outage drops connections, before their answers are written.
  bool Start(std::string& error);
  // Stops serving, answering the requests held unanswered first.
  void Stop();

  int HttpPort() const { return context_.httpPort; }
  int UpdatePort() const { return update_ ? update_->Port() : 0; }
  int TlsPort() const { return context_.tlsPort; }

  // Everything the site has seen and keeps, as JSON (also served at /__state).
  std::string StateJson() const;

 private:
  const PracticeOptions options_;
  const SiteClock clock_;
  PortalState portal_;
  StudyState study_;
  Outage outage_;
  SignOut signOut_;
  HeldRequests held_;
  StudySession session_;
  SiteContext context_;
  HostRouter router_;
  httplib::Server http_;
  std::jthread httpThread_;
  std::atomic<bool> httpReturned_{false};  // the listening loop has ended (or never ran)
  std::unique_ptr<UpdateService> update_;
  TlsServer tls_;
};

}  // namespace larkwend::practice
