// SPDX-License-Identifier: GPL-3.0-or-later
// JSON string literals: whatever is written reads back, and whatever is read is a literal.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "platform/json_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using larkwend::fuzz::Require;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Any text, quoted, is one literal with nothing raw below 0x20 in it, and reads back whole.
  std::string quoted = larkwend::JsonQuote(bytes);
  for (char c : quoted) Require(static_cast<unsigned char>(c) >= 0x20, "no raw control character");
  std::size_t pos = 0;
  std::string back;
  Require(larkwend::ReadJsonString(quoted, pos, back), "a quoted text reads");
  Require(back == bytes && pos == quoted.size(), "a quoted text reads back exactly");

  // Any bytes, read as a literal: a success ends right behind a quote and its text quotes back
  // to something that reads the same; a failure leaves the position alone.
  pos = 0;
  std::string read;
  if (larkwend::ReadJsonString(bytes, pos, read)) {
    Require(pos >= 2 && pos <= bytes.size() && bytes[pos - 1] == '"', "a literal ends at a quote");
    Require(!larkwend::fuzz::IsValidUtf8(bytes.substr(0, pos)) || larkwend::fuzz::IsValidUtf8(read),
            "a well-formed literal reads as well-formed UTF-8");
    std::string requoted = larkwend::JsonQuote(read);
    std::size_t again = 0;
    std::string reread;
    Require(larkwend::ReadJsonString(requoted, again, reread) && reread == read,
            "what was read writes and reads back the same");
  } else {
    Require(pos == 0, "a failed read leaves the position");
  }
  return 0;
}
