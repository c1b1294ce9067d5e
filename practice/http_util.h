// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers every page handler uses: cookies, and the answers for pages, data and errors.
#pragma once

#include <httplib.h>

#include <optional>
#include <string>
#include <string_view>

namespace larkwend::practice {

// The value of cookie `name` in the request's Cookie headers; empty when absent.
std::string CookieValue(const httplib::Request& request, std::string_view name);
void SetSessionCookie(httplib::Response& response, std::string_view name, std::string_view value);

void SendHtml(httplib::Response& response, const std::string& html, int status = 200);
void SendJson(httplib::Response& response, const std::string& json, int status = 200);
// An HTML page that names the status and says what went wrong.
void SendError(httplib::Response& response, int status, const std::string& message);
// A JSON answer {"ok":false,"message":...} with `status`, for the pages' scripts.
void SendJsonError(httplib::Response& response, int status, const std::string& message);

// A whole decimal number in [1, 100000]; nullopt for anything else (empty, signs, junk).
std::optional<int> PositiveNumber(std::string_view text);

}  // namespace larkwend::practice
