// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/json_text.h"

#include <cstdio>

namespace larkwend {
namespace {

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Four hex digits at `pos`, or -1.
long Hex4(std::string_view json, std::size_t pos) {
  if (pos + 4 > json.size()) return -1;
  long value = 0;
  for (std::size_t i = pos; i < pos + 4; ++i) {
    char c = json[i];
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace

void AppendJsonEscaped(std::string& out, std::string_view utf8) {
  for (char ch : utf8) {
    auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += ch;
        }
    }
  }
}

std::string JsonQuote(std::string_view utf8) {
  std::string out = "\"";
  AppendJsonEscaped(out, utf8);
  out += '"';
  return out;
}

bool ReadJsonString(std::string_view json, std::size_t& pos, std::string& out) {
  if (pos >= json.size() || json[pos] != '"') return false;
  std::size_t p = pos + 1;
  while (p < json.size()) {
    char c = json[p++];
    if (c == '"') {
      pos = p;
      return true;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (p >= json.size()) return false;
    char e = json[p++];
    switch (e) {
      case '"':
      case '\\':
      case '/':
        out += e;
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'u': {
        long unit = Hex4(json, p);
        if (unit < 0) return false;
        p += 4;
        unsigned code = 0xFFFD;  // a lone surrogate
        if (unit >= 0xD800 && unit < 0xDC00 && json.substr(p, 2) == "\\u") {
          long low = Hex4(json, p + 2);
          if (low >= 0xDC00 && low < 0xE000) {
            code = static_cast<unsigned>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
            p += 6;
          }
        } else if (unit < 0xD800 || unit >= 0xE000) {
          code = static_cast<unsigned>(unit);
        }
        AppendUtf8(out, code);
        break;
      }
      default:
        return false;
    }
  }
  return false;
}

}  // namespace larkwend
