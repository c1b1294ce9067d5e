// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/text.h"

#include <iconv.h>
#include <cerrno>

namespace larkwend {
namespace {

// iconv descriptors are not shared between threads; each conversion opens its own. Conversions
// happen at the edges only (a handful per user action), so the open cost does not matter.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts `in`; whenever a character cannot be converted, `skip(in, pos)` tells how many input
  // bytes it spans and "?" is written instead.
  template <typename SkipFn>
  std::string Run(std::string_view in, SkipFn skip) {
    std::string out;
    out.reserve(in.size() * 2 + 4);
    std::size_t pos = 0;
    char buffer[1024];
    while (pos < in.size()) {
      char* src = const_cast<char*>(in.data() + pos);
      std::size_t srcLeft = in.size() - pos;
      char* dst = buffer;
      std::size_t dstLeft = sizeof buffer;
      std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      int err = errno;
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      pos = in.size() - srcLeft;
      if (rc != static_cast<std::size_t>(-1)) continue;
      if (err == E2BIG) continue;
      // EILSEQ or EINVAL: one unconvertible or truncated character.
      out.push_back('?');
      pos += skip(in, pos);
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

std::size_t Utf8SequenceLength(std::string_view s, std::size_t pos) {
  unsigned char c = static_cast<unsigned char>(s[pos]);
  std::size_t n = c < 0x80           ? 1
                  : (c >> 5) == 0x6  ? 2
                  : (c >> 4) == 0xE  ? 3
                  : (c >> 3) == 0x1E ? 4
                                     : 1;
  std::size_t len = 1;
  while (len < n && pos + len < s.size() &&
         (static_cast<unsigned char>(s[pos + len]) & 0xC0) == 0x80)
    ++len;
  return len;
}

// Double-byte capitals of GBK and the distance to their small letters.
struct CaseRange {
  unsigned lead, firstTrail, lastTrail, toLowerTrail;
};
constexpr CaseRange kDoubleByteCapitals[] = {
    {0xA3, 0xC1, 0xDA, 0xE1},  // full-width A-Z
    {0xA6, 0xA1, 0xB8, 0xC1},  // Greek
    {0xA7, 0xA1, 0xC1, 0xD1},  // Cyrillic
};

// How many bytes an unconvertible GBK character spans: a lead byte takes the byte after it only
// when that byte could be a trail byte (0x40..0xFE but 0x7F). Below 0x40 lie the blanks, quotes
// and digits, which must survive a stray lead byte: a command line is converted before it is
// split, and a swallowed blank would merge two arguments.
std::size_t UnconvertibleGbkLength(std::string_view gbk, std::size_t pos) {
  if (GbkCharLength(gbk, pos) == 1) return 1;
  auto trail = static_cast<unsigned char>(gbk[pos + 1]);
  return trail >= 0x40 && trail != 0x7F && trail != 0xFF ? 2 : 1;
}

unsigned LowerUnit(std::string_view s, std::size_t pos, std::size_t len) {
  unsigned char c = static_cast<unsigned char>(s[pos]);
  if (len == 1) return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
  unsigned trail = static_cast<unsigned char>(s[pos + 1]);
  for (const CaseRange& r : kDoubleByteCapitals)
    if (c == r.lead && trail >= r.firstTrail && trail <= r.lastTrail)
      trail = trail - r.firstTrail + r.toLowerTrail;
  return c * 256u + trail;
}

}  // namespace

std::size_t GbkCharLength(std::string_view gbk, std::size_t pos) {
  if (pos + 1 < gbk.size() && IsGbkLeadByte(static_cast<unsigned char>(gbk[pos]))) return 2;
  return 1;
}

std::string Utf8ToGbk(std::string_view utf8) {
  Converter c("GBK", "UTF-8");
  if (!c.valid()) return std::string(utf8);
  return c.Run(utf8, Utf8SequenceLength);
}

std::string GbkToUtf8(std::string_view gbk) {
  Converter c("UTF-8", "GBK");
  if (!c.valid()) return std::string(gbk);
  return c.Run(gbk, UnconvertibleGbkLength);
}

void LowerCaseGbk(std::string& gbk) {
  for (std::size_t i = 0; i < gbk.size();) {
    std::size_t len = GbkCharLength(gbk, i);
    unsigned unit = LowerUnit(gbk, i, len);
    if (len == 1) {
      gbk[i] = static_cast<char>(unit);
    } else {
      gbk[i + 1] = static_cast<char>(unit & 0xFF);
    }
    i += len;
  }
}

std::size_t FindGbkByte(std::string_view gbk, char byte, std::size_t from) {
  return FindGbk(gbk, std::string_view(&byte, 1), from);
}

std::size_t FindGbk(std::string_view gbk, std::string_view needle, std::size_t from) {
  if (needle.empty()) return from <= gbk.size() ? from : std::string_view::npos;
  for (std::size_t i = 0; i < gbk.size(); i += GbkCharLength(gbk, i)) {
    if (i >= from && gbk.compare(i, needle.size(), needle) == 0) return i;
  }
  return std::string_view::npos;
}

std::string CutGbk(std::string_view gbk, std::size_t maxBytes) {
  std::size_t end = 0;
  while (end < gbk.size()) {
    std::size_t len = GbkCharLength(gbk, end);
    if (end + len > maxBytes) break;
    end += len;
  }
  return std::string(gbk.substr(0, end));
}

int CompareGbkNoCase(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    std::size_t la = GbkCharLength(a, i), lb = GbkCharLength(b, j);
    unsigned ua = LowerUnit(a, i, la), ub = LowerUnit(b, j, lb);
    if (ua != ub) return ua < ub ? -1 : 1;
    i += la;
    j += lb;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

}  // namespace larkwend
