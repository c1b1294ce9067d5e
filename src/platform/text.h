// SPDX-License-Identifier: GPL-3.0-or-later
// Text in the program's code page (GBK) and its edges to UTF-8.
//
// Every narrow string inside the program holds GBK bytes. GTK and WebKit speak UTF-8, so text is
// converted where it crosses to them and nowhere else. The helpers below treat a GBK lead byte
// and the byte after it as one character, so a trail byte that happens to equal an ASCII
// character ("|" is 0x7C, a common trail byte) is never mistaken for it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace larkwend {

// 0x81..0xFE starts a double-byte character.
constexpr bool IsGbkLeadByte(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

// A character GBK cannot hold becomes "?"; malformed UTF-8 bytes become "?" too. Never fails
// into an empty string for non-empty input.
std::string Utf8ToGbk(std::string_view utf8);

// Words written in UTF-8 source text (the program's own texts), in the program's code page.
inline std::string Gbk(std::string_view utf8) {
  return Utf8ToGbk(utf8);
}

// Bytes that are not valid GBK become "?"; a lead byte whose next byte cannot be a trail byte
// becomes "?" on its own, and that next byte is kept.
std::string GbkToUtf8(std::string_view gbk);

// Number of bytes of the character that starts at `pos` (1 or 2; 1 for a lead byte at the end).
std::size_t GbkCharLength(std::string_view gbk, std::size_t pos);

// Lower-cases in place: ASCII A-Z, and the code page's own double-byte capitals (full-width
// Latin, Greek, Cyrillic). Double-byte characters stay whole.
void LowerCaseGbk(std::string& gbk);

// Position of the first character equal to `byte` (a single-byte character), or npos.
std::size_t FindGbkByte(std::string_view gbk, char byte, std::size_t from = 0);

// Position of the first occurrence of `needle` that starts on a character boundary, or npos.
std::size_t FindGbk(std::string_view gbk, std::string_view needle, std::size_t from = 0);

// Whether `needle` occurs in `gbk` starting on a character boundary: a trail byte that happens to
// be a letter never starts a match. Case-sensitive.
inline bool ContainsGbk(std::string_view gbk, std::string_view needle) {
  return FindGbk(gbk, needle) != std::string_view::npos;
}

// At most `maxBytes` bytes, ending on a character boundary.
std::string CutGbk(std::string_view gbk, std::size_t maxBytes);

// Case-insensitive textual comparison, one character at a time: a single-byte character counts
// as its byte (A-Z as a-z), a double-byte character as lead * 256 + trail after lower-casing, so
// it sorts above every single-byte character. A proper prefix is less. Returns <0, 0 or >0.
int CompareGbkNoCase(std::string_view a, std::string_view b);

}  // namespace larkwend
