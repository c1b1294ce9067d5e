// SPDX-License-Identifier: GPL-3.0-or-later
// The GBK helpers on any bytes: cuts and searches respect character boundaries, case folding
// keeps characters whole, and conversions keep every byte that no multi-byte character holds.
#include <fuzzer/FuzzedDataProvider.h>

#include <set>

#include "fuzz_check.h"
#include "platform/text.h"

namespace larkwend::fuzz {
namespace {

// Where characters start: a lead byte with a byte after it is a character of two.
std::set<std::size_t> Boundaries(std::string_view gbk) {
  std::set<std::size_t> at;
  std::size_t i = 0;
  for (; i < gbk.size(); ++i) {
    at.insert(i);
    auto c = static_cast<unsigned char>(gbk[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < gbk.size()) ++i;
  }
  at.insert(gbk.size());
  return at;
}

int Sign(int v) {
  return (v > 0) - (v < 0);
}

void CheckCut(std::string_view text, std::size_t limit) {
  std::string cut = CutGbk(text, limit);
  std::set<std::size_t> bounds = Boundaries(text);
  Require(cut.size() <= limit && text.starts_with(cut), "a cut is a prefix within the limit");
  Require(bounds.contains(cut.size()), "a cut ends on a character boundary");
  auto next = bounds.upper_bound(cut.size());
  Require(next == bounds.end() || *next > limit, "a cut is the longest such prefix");
}

// An empty needle is found where the search starts, boundary or not, as std::string::find does.
void CheckFind(std::string_view text, std::string_view needle, std::size_t from) {
  if (needle.empty()) return;
  std::size_t found = FindGbk(text, needle, from);
  std::size_t expected = std::string_view::npos;
  for (std::size_t at : Boundaries(text)) {
    if (at >= from && at + needle.size() <= text.size() &&
        text.substr(at, needle.size()) == needle) {
      expected = at;
      break;
    }
  }
  Require(found == expected, "a search finds the first match on a character boundary");
  if (needle.size() == 1)
    Require(FindGbkByte(text, needle[0], from) == expected, "a byte search agrees");
}

void CheckCase(std::string_view a, std::string_view b) {
  std::string lower(a);
  LowerCaseGbk(lower);
  Require(lower.size() == a.size() && Boundaries(lower) == Boundaries(a),
          "lower-casing keeps every character whole");
  std::string again = lower;
  LowerCaseGbk(again);
  Require(again == lower, "lower-casing twice changes nothing more");
  Require(CompareGbkNoCase(lower, a) == 0, "a text equals its lower-cased self");
  Require(CompareGbkNoCase(a, a) == 0, "a text equals itself");
  Require(Sign(CompareGbkNoCase(a, b)) == -Sign(CompareGbkNoCase(b, a)),
          "comparison is antisymmetric");
  if (!b.empty())
    Require(CompareGbkNoCase(a, std::string(a) + std::string(b)) < 0, "a proper prefix is less");
}

void CheckConversions(std::string_view bytes) {
  std::string utf8 = GbkToUtf8(bytes);
  Require(IsValidUtf8(utf8), "GBK becomes well-formed UTF-8");
  // "?" (0x3F) stands in for what cannot be converted, so only the bytes below it are compared.
  Require(LowBytes(utf8, '?') == LowBytes(bytes, '?'), "GBK to UTF-8 keeps blanks and quotes");
  Require(!bytes.empty() == !utf8.empty(), "GBK to UTF-8 never loses all of a text");

  std::string gbk = Utf8ToGbk(bytes);
  Require(LowBytes(gbk, '?') == LowBytes(bytes, '?'), "UTF-8 to GBK keeps blanks and quotes");
  Require(!bytes.empty() == !gbk.empty(), "UTF-8 to GBK never loses all of a text");
  Require(Utf8ToGbk(GbkToUtf8(gbk)) == gbk, "what became GBK goes to UTF-8 and back unchanged");
}

}  // namespace
}  // namespace larkwend::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace larkwend::fuzz;
  FuzzedDataProvider input(data, size);
  std::size_t limit = input.ConsumeIntegralInRange<std::size_t>(0, 40);
  std::size_t from = input.ConsumeIntegralInRange<std::size_t>(0, 8);
  std::string needle = input.ConsumeRandomLengthString(4);
  std::string other = input.ConsumeRandomLengthString(32);
  std::string text = input.ConsumeRemainingBytesAsString();

  CheckCut(text, limit);
  CheckFind(text, needle, from);
  CheckCase(text, other);
  CheckConversions(text);
  return 0;
}
