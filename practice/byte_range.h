// SPDX-License-Identifier: GPL-3.0-or-later
// The one byte range an HTTP Range header asks of a body of known size (RFC 9110, section 14),
// for the clips a media player reads piece by piece.
#pragma once

#include <cstddef>
#include <string_view>

namespace larkwend::practice {

struct ByteRange {
  enum Answer {
    kWhole,          // no usable Range header: the whole body, 200
    kPart,           // bytes first to last (inclusive), 206
    kUnsatisfiable,  // 416, with the size
  };
  Answer answer = kWhole;
  std::size_t first = 0;
  std::size_t last = 0;
};

// A header that is absent, not in bytes, malformed or asks for several ranges gets the whole
// body, as a server may answer any Range request; a range that starts past the end is
// unsatisfiable; a last byte past the end is the end.
ByteRange RangeOf(std::string_view header, std::size_t size);

}  // namespace larkwend::practice
