// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e_http_server.h"

#include <httplib.h>

#include <map>
#include <mutex>
#include <thread>

namespace larkwend::e2e {

struct HttpServer::State {
  httplib::Server server;
  std::thread thread;
  int port = 0;
  mutable std::mutex mutex;
  std::map<std::string, std::string> pages;
  std::map<std::string, std::string> redirects;
  std::multimap<std::string, std::string> cookies;  // to send once, by path
  std::vector<HttpRequest> requests;

  void Answer(const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex);
    HttpRequest seen{
        request.method, request.path, {}, request.body, request.get_header_value("Cookie")};
    if (auto q = request.target.find('?'); q != std::string::npos)
      seen.query = request.target.substr(q + 1);
    requests.push_back(seen);
    auto [first, last] = cookies.equal_range(request.path);
    for (auto cookie = first; cookie != last; ++cookie)
      response.set_header("Set-Cookie", cookie->second);
    cookies.erase(first, last);
    if (auto it = redirects.find(request.path); it != redirects.end()) {
      response.set_redirect(it->second);
      return;
    }
    auto it = pages.find(request.path);
    if (it == pages.end()) {
      response.status = 404;
      response.set_content("<html><body>not here</body></html>", "text/html; charset=utf-8");
      return;
    }
    response.set_header("Cache-Control", "no-store");
    response.set_content(it->second, "text/html; charset=utf-8");
  }
};

HttpServer::HttpServer() : state_(std::make_unique<State>()) {
  State* state = state_.get();
  auto answer = [state](const httplib::Request& request, httplib::Response& response) {
    state->Answer(request, response);
  };
  // Connections close after each answer: a kept-alive one would hold the server's stop for
  // seconds.
  state->server.set_keep_alive_max_count(1);
  state->server.Get(".*", answer);
  state->server.Post(".*", answer);
  state->port = state->server.bind_to_any_port("127.0.0.1");
  state->thread = std::thread([state] { state->server.listen_after_bind(); });
  while (!state->server.is_running()) std::this_thread::yield();
}

HttpServer::~HttpServer() {
  state_->server.stop();
  if (state_->thread.joinable()) state_->thread.join();
}

void HttpServer::Page(const std::string& path, const std::string& html) {
  std::lock_guard lock(state_->mutex);
  state_->pages[path] = html;
}

void HttpServer::Redirect(const std::string& from, const std::string& to) {
  std::lock_guard lock(state_->mutex);
  state_->redirects[from] = to;
}

void HttpServer::SetCookieOnce(const std::string& path, const std::string& cookie) {
  std::lock_guard lock(state_->mutex);
  state_->cookies.emplace(path, cookie);
}

std::string HttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(state_->port) + path;
}

std::vector<HttpRequest> HttpServer::Requests() const {
  std::lock_guard lock(state_->mutex);
  return state_->requests;
}

int HttpServer::Hits(const std::string& path) const {
  std::lock_guard lock(state_->mutex);
  int hits = 0;
  for (const HttpRequest& r : state_->requests) hits += r.path == path;
  return hits;
}

}  // namespace larkwend::e2e
