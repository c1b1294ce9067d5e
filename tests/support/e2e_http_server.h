// SPDX-License-Identifier: GPL-3.0-or-later
// A small HTTP server on 127.0.0.1 for the end-to-end tests: pages registered by path, answered
// from a thread of its own on a port the system picks.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace larkwend::e2e {

struct HttpRequest {
  std::string method;
  std::string path;   // without the query
  std::string query;  // the text after "?", if any
  std::string body;
  std::string cookies;  // the Cookie header, if any
};

class HttpServer {
 public:
  HttpServer();  // listening when it returns
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Serves `html` (UTF-8) at `path` for GET and POST.
  void Page(const std::string& path, const std::string& html);
  // Answers a request for `from` with a 302 to `to` (a path of this server, or an address).
  void Redirect(const std::string& from, const std::string& to);
  // Sends `cookie` (a Set-Cookie header's value) with the next answer for `path`, once.
  // Called again before that answer, each goes out with it.
  void SetCookieOnce(const std::string& path, const std::string& cookie);

  // http://127.0.0.1:<port><path>
  std::string Url(const std::string& path) const;
  // Every request answered so far, in order. Thread-safe.
  std::vector<HttpRequest> Requests() const;
  // How many requests asked for `path`.
  int Hits(const std::string& path) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace larkwend::e2e
