// SPDX-License-Identifier: GPL-3.0-or-later
// What every harness needs: a property that must hold, and a look at UTF-8 text.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace larkwend::fuzz {

// A property that does not hold is a finding: say which one, and stop so that libFuzzer keeps the
// input.
inline void Require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", property);
  std::abort();
}

// Whether `text` is well-formed UTF-8 (shortest forms, no surrogates, at most U+10FFFF).
inline bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80                 ? 1
                         : c >= 0xC2 && c <= 0xDF ? 2
                         : c >= 0xE0 && c <= 0xEF ? 3
                         : c >= 0xF0 && c <= 0xF4 ? 4
                                                  : 0;
    if (length == 0 || i + length > text.size()) return false;
    unsigned code = length == 1 ? c : c & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code < 0xE000))) ||
        (length == 4 && (code < 0x10000 || code > 0x10FFFF)))
      return false;
    i += length;
  }
  return true;
}

// The bytes of `text` below `limit`, in order: ASCII that no multi-byte character can contain.
inline std::string LowBytes(std::string_view text, unsigned char limit) {
  std::string out;
  for (char c : text)
    if (static_cast<unsigned char>(c) < limit) out += c;
  return out;
}

}  // namespace larkwend::fuzz
