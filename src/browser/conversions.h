// SPDX-License-Identifier: GPL-3.0-or-later
// The program's GBK text to and from the browser's text.
#pragma once

#include <string>
#include <string_view>

#include "platform/dom.h"
#include "platform/text.h"

namespace larkwend {

inline dom::WideText ToWide(std::string_view gbk) {
  return GbkToUtf8(gbk);
}

// A null browser text reads as empty text.
inline std::string ToNarrow(const dom::WideText& wide) {
  return wide ? Utf8ToGbk(*wide) : std::string();
}

}  // namespace larkwend
