// SPDX-License-Identifier: GPL-3.0-or-later
// JSON string literals, written and read. Shared by the browser bridge (which passes every
// argument to the page as JSON), the practice site and the test tools.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace larkwend {

// Appends `utf8` escaped for the inside of a JSON string literal (no quotes). Control characters
// become \uXXXX escapes; everything else, UTF-8 included, passes through.
void AppendJsonEscaped(std::string& out, std::string_view utf8);

// `utf8` as a quoted JSON string literal.
std::string JsonQuote(std::string_view utf8);

// Reads the string literal whose opening quote is at `pos` into `out` (UTF-8) and leaves `pos`
// just behind its closing quote. \uXXXX escapes, surrogate pairs included, become UTF-8; a lone
// surrogate becomes U+FFFD. False on a malformed or unterminated literal.
bool ReadJsonString(std::string_view json, std::size_t& pos, std::string& out);

}  // namespace larkwend
