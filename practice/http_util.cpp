// SPDX-License-Identifier: GPL-3.0-or-later
#include "http_util.h"

#include <charconv>

#include "html.h"
#include "json.h"

namespace larkwend::practice {
namespace {

const char* ReasonPhrase(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 413:
      return "Payload Too Large";
    case 414:
      return "URI Too Long";
    case 421:
      return "Misdirected Request";
    case 500:
      return "Internal Server Error";
    default:
      return "Error";
  }
}

}  // namespace

std::string CookieValue(const httplib::Request& request, std::string_view name) {
  // The headers themselves: get_header_value's index moved behind a default value in 0.18.
  auto [first, last] = request.headers.equal_range("Cookie");
  for (auto it = first; it != last; ++it) {
    std::string_view rest = it->second;
    while (!rest.empty()) {
      auto end = rest.find(';');
      std::string_view pair = rest.substr(0, end);
      rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
      while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
      auto eq = pair.find('=');
      if (eq != std::string_view::npos && pair.substr(0, eq) == name) {
        return std::string(pair.substr(eq + 1));
      }
    }
  }
  return {};
}

void SetSessionCookie(httplib::Response& response, std::string_view name, std::string_view value) {
  response.set_header("Set-Cookie",
                      std::string(name) + "=" + std::string(value) + "; Path=/; HttpOnly");
}

void SendHtml(httplib::Response& response, const std::string& html, int status) {
  response.status = status;
  response.set_content(html, "text/html; charset=utf-8");
}

void SendJson(httplib::Response& response, const std::string& json, int status) {
  response.status = status;
  response.set_content(json, "application/json; charset=utf-8");
}

void SendError(httplib::Response& response, int status, const std::string& message) {
  std::string title = std::to_string(status) + " " + ReasonPhrase(status);
  SendHtml(response,
           HtmlPage(title, "<h1>" + EscapeHtml(title) + "</h1>\n<p id=\"errorMessage\">" +
                               EscapeHtml(message) + "</p>"),
           status);
}

void SendJsonError(httplib::Response& response, int status, const std::string& message) {
  SendJson(response, JsonObject().Add("ok", false).Add("message", message).str(), status);
}

std::optional<int> PositiveNumber(std::string_view text) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < 1 ||
      value > 100000) {
    return std::nullopt;
  }
  return value;
}

}  // namespace larkwend::practice
