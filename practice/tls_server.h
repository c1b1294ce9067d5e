// SPDX-License-Identifier: GPL-3.0-or-later
// The study platform over TLS, as many education sites serve it: with a certificate the system
// does not trust. The certificate is self-signed for the study platform's host, made when the
// site starts (a new one every start) or kept in files (--tls-cert, --tls-key: read when they
// exist, made and written there when they do not). Served on 127.0.0.1 only, with the same pages
// as over HTTP.
#pragma once

#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "host_router.h"
#include "options.h"

namespace larkwend::practice {

class TlsServer {
 public:
  TlsServer() = default;
  ~TlsServer() { Stop(); }
  TlsServer(const TlsServer&) = delete;
  TlsServer& operator=(const TlsServer&) = delete;

  // Makes or reads the certificate for `host` and binds options.tlsPort (0: any free port) on
  // 127.0.0.1; false with `error` set when either fails.
  bool Bind(const PracticeOptions& options, const std::string& host, std::string& error);
  // Serves `router`'s pages on the bound port, from a thread of its own.
  void Serve(const HostRouter& router, std::size_t workers);
  void Stop();

  int Port() const { return port_; }
  // The certificate's SHA-256 fingerprint, "AB:CD:..." in upper-case hex, as browsers show it.
  const std::string& Fingerprint() const { return fingerprint_; }

 private:
  std::unique_ptr<httplib::SSLServer> server_;
  std::jthread thread_;
  std::atomic<bool> returned_{false};
  int port_ = 0;
  std::string fingerprint_;
};

}  // namespace larkwend::practice
