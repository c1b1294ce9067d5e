// SPDX-License-Identifier: GPL-3.0-or-later
// Private-profile (INI) files, read and written as the program's settings file needs them.
//
// Reading is tolerant: CRLF or LF line breaks, a missing final line break, ";" and "#" comment
// lines, blanks around "=", lines that mean nothing (binary garbage included) are all accepted.
// Names of sections and keys compare without regard to case. When a section or a key appears
// twice, the first one counts, for reading and for writing alike, so a value just written is the
// value read back. A value may be enclosed in a matching pair of quotes, which reading removes;
// writing adds them only where the value would otherwise not read back exactly (blanks at its
// ends, or quotes of its own), so every writable value round-trips.
//
// Writing rewrites the whole file through RewriteFile, which replaces it atomically; every line
// that is not the written key is kept byte for byte. A write whose result would not read back as
// given leaves the file alone and reports failure.
#include "platform/private_profile.h"

#include <optional>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/profile_file.h"
#include "platform/text.h"

namespace larkwend {
namespace {

// "\r" is here so that a lone carriage return ending the last line is not taken for value text.
constexpr std::string_view kBlanks = " \t\r";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
  std::size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

bool IsBlank(char c) {
  return kBlanks.find(c) != std::string_view::npos;
}

bool SameName(std::string_view a, std::string_view b) {
  return CompareGbkNoCase(a, b) == 0;
}

struct Line {
  std::string_view text;  // without its line break
  std::string_view eol;   // "\n", "\r\n", or empty for a last line that has none
};

std::vector<Line> SplitLines(std::string_view content) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t newline = content.find('\n', start);
    if (newline == std::string_view::npos) {
      lines.push_back({content.substr(start), {}});
      break;
    }
    std::size_t textEnd = newline > start && content[newline - 1] == '\r' ? newline - 1 : newline;
    lines.push_back(
        {content.substr(start, textEnd - start), content.substr(textEnd, newline + 1 - textEnd)});
    start = newline + 1;
  }
  return lines;
}

struct ParsedLine {
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed, quotes still on
};

ParsedLine ParseLine(std::string_view text) {
  std::string_view t = Trim(text);
  if (t.empty() || t.front() == ';' || t.front() == '#') return {};
  if (t.front() == '[') {
    // "]" is also a GBK trail byte: only a whole character closes the name.
    std::size_t close = FindGbkByte(t, ']', 1);
    if (close == std::string_view::npos) return {};
    return {ParsedLine::kSection, Trim(t.substr(1, close - 1)), {}};
  }
  // "=" lies below the GBK trail-byte range, so a plain search cannot land inside a character.
  std::size_t equals = t.find('=');
  if (equals == std::string_view::npos) return {};
  std::string_view name = Trim(t.substr(0, equals));
  if (name.empty()) return {};
  return {ParsedLine::kKey, name, Trim(t.substr(equals + 1))};
}

ParsedLine ParseLineAt(const std::vector<Line>& lines, std::size_t i) {
  std::string_view text = lines[i].text;
  if (i == 0 && text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  return ParseLine(text);
}

bool IsQuoted(std::string_view v) {
  return v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
}

std::string_view DecodeValue(std::string_view v) {
  return IsQuoted(v) ? v.substr(1, v.size() - 2) : v;
}

std::string EncodeValue(std::string_view v) {
  bool quote = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) || IsQuoted(v));
  return quote ? "\"" + std::string(v) + "\"" : std::string(v);
}

// Where a key stands in the file: the first section of that name, and in it the first line of
// that key. `insertAt` is the line after the section's last non-blank line, where a missing key
// goes.
struct KeyLocation {
  std::optional<std::size_t> section;
  std::optional<std::size_t> key;
  std::size_t insertAt = 0;
};

KeyLocation FindKey(const std::vector<Line>& lines, std::string_view section,
                    std::string_view key) {
  KeyLocation at;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ParsedLine line = ParseLineAt(lines, i);
    if (line.kind == ParsedLine::kSection) {
      if (at.section) break;  // the first section of that name has ended
      if (SameName(line.name, section)) {
        at.section = i;
        at.insertAt = i + 1;
      }
      continue;
    }
    if (!at.section) continue;
    if (!Trim(lines[i].text).empty()) at.insertAt = i + 1;
    if (line.kind == ParsedLine::kKey && SameName(line.name, key)) {
      at.key = i;
      break;
    }
  }
  return at;
}

bool HasLineBreakOrZero(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Names and values that would not read back as written, or would change the file's structure,
// are refused rather than written.
bool IsWritable(std::string_view section, std::string_view key, std::string_view value) {
  if (section.empty() || Trim(section) != section || HasLineBreakOrZero(section) ||
      FindGbkByte(section, ']') != std::string_view::npos)
    return false;
  if (key.empty() || Trim(key) != key || HasLineBreakOrZero(key) ||
      key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';' ||
      key.front() == '#')
    return false;
  return !HasLineBreakOrZero(value);
}

// The file's content with `key` in `section` set to `value`.
std::string WithValue(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view value) {
  std::vector<Line> lines = SplitLines(content);
  KeyLocation at = FindKey(lines, section, key);

  // New lines follow the file's own line breaks.
  std::string_view eol = "\n";
  for (const Line& line : lines)
    if (!line.eol.empty()) {
      eol = line.eol;
      break;
    }

  std::string encoded = EncodeValue(value);
  std::string out;
  out.reserve(content.size() + section.size() + key.size() + encoded.size() + 8);
  auto appendEntry = [&](std::string_view name) { out.append(name).append("=").append(encoded); };

  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (at.key == i) {
      appendEntry(ParseLineAt(lines, i).name);  // keeps the file's own spelling of the key
      out.append(lines[i].eol);
    } else {
      out.append(lines[i].text).append(lines[i].eol);
    }
    if (at.section && !at.key && i + 1 == at.insertAt) {
      if (lines[i].eol.empty()) out.append(eol);
      appendEntry(key);
      out.append(eol);
    }
  }
  if (!at.section) {
    if (!lines.empty() && lines.back().eol.empty()) out.append(eol);
    out.append("[").append(section).append("]").append(eol);
    appendEntry(key);
    out.append(eol);
  }
  return out;
}

// WithValue, when what it gives reads back: the section and key are found in it and hold `value`.
// A name can look fine and still not read back, such as a section ending in a lone GBK lead byte
// that swallows the closing bracket, so the written text itself decides.
std::optional<std::string> WithValueThatReadsBack(std::string_view content,
                                                  std::string_view section, std::string_view key,
                                                  std::string_view value) {
  std::string out = WithValue(content, section, key, value);
  std::vector<Line> lines = SplitLines(out);
  KeyLocation at = FindKey(lines, section, key);
  if (!at.key || DecodeValue(ParseLineAt(lines, *at.key).value) != value) return std::nullopt;
  return out;
}

}  // namespace

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t bufferSize,
                                    const std::string& path) {
  if (bufferSize == 0) return {};
  std::optional<std::string> content = ReadWholeFile(path);
  std::string_view value = defaultValue;
  std::vector<Line> lines;
  if (content) {
    lines = SplitLines(*content);
    if (KeyLocation at = FindKey(lines, section, key); at.key)
      value = DecodeValue(ParseLineAt(lines, *at.key).value);
  }
  return CutGbk(value, bufferSize - 1);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path) {
  bool readsBack = IsWritable(section, key, value);
  if (readsBack && RewriteFile(path, [&](const std::string& current) {
        std::optional<std::string> written = WithValueThatReadsBack(current, section, key, value);
        readsBack = written.has_value();
        return written;
      }))
    return true;
  // The key's name only: the value may be the password.
  if (!readsBack)
    Diagnose("not writing " + std::string(key) + " to " + path + ": it would not read back");
  return false;
}

}  // namespace larkwend
