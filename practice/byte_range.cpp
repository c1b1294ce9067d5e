// SPDX-License-Identifier: GPL-3.0-or-later
#include "byte_range.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace larkwend::practice {
namespace {

std::optional<std::size_t> Digits(std::string_view text) {
  std::size_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

ByteRange RangeOf(std::string_view header, std::size_t size) {
  constexpr std::string_view kUnit = "bytes=";
  if (!header.starts_with(kUnit)) return {};
  const std::string_view spec = header.substr(kUnit.size());
  const auto dash = spec.find('-');
  if (dash == std::string_view::npos || spec.find(',') != std::string_view::npos) return {};
  const std::string_view from = spec.substr(0, dash), to = spec.substr(dash + 1);
  if (from.empty()) {  // the last N bytes
    auto suffix = Digits(to);
    if (!suffix) return {};
    if (*suffix == 0 || size == 0) return {ByteRange::kUnsatisfiable};
    return {ByteRange::kPart, size - std::min(*suffix, size), size - 1};
  }
  auto first = Digits(from);
  auto last = to.empty() ? first : Digits(to);
  if (!first || !last || *last < *first) return {};
  if (to.empty()) last = size;
  if (*first >= size) return {ByteRange::kUnsatisfiable};
  return {ByteRange::kPart, *first, std::min(*last, size - 1)};
}

}  // namespace larkwend::practice
