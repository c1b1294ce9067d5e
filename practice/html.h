// SPDX-License-Identifier: GPL-3.0-or-later
// Building the sites' HTML: escaping and the common page frame.
#pragma once

#include <string>
#include <string_view>

namespace larkwend::practice {

// Escapes text for element content and for double-quoted attribute values.
std::string EscapeHtml(std::string_view text);

// A complete UTF-8 document. `head` and `body` are markup, inserted as given.
std::string HtmlPage(std::string_view title, std::string_view body, std::string_view head = {});

// "hh:mm:ss", zero-padded (hours stay two digits below 100 hours).
std::string FormatStudyTime(long long seconds);

}  // namespace larkwend::practice
