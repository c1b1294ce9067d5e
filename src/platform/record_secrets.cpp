// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/record_secrets.h"

#include <algorithm>
#include <mutex>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace larkwend {
namespace {

constexpr std::string_view kMask = "***";

std::mutex g_secretsMutex;
// Longest first, so a secret that contains another is masked whole.
std::vector<std::string> g_secrets;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The byte that "%XX" at `at` stands for, or -1.
int EncodedByteAt(std::string_view text, std::size_t at) {
  if (at + 2 >= text.size() || text[at] != '%') return -1;
  const int high = HexDigit(text[at + 1]), low = HexDigit(text[at + 2]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// Where `secret` ends when it is spelled in `text` from `at` on, each byte as itself or
// percent-encoded in either case, a blank also as "+" (as a form sent by GET writes it into the
// address); npos when it is not.
std::size_t SpelledUntil(std::string_view text, std::size_t at, std::string_view secret) {
  // A "%" of the secret that meets "%25" may be either: the other reading is kept to go back to.
  std::vector<std::pair<std::size_t, std::size_t>> otherReadings;
  std::size_t k = 0;  // bytes of the secret matched
  for (;;) {
    if (k == secret.size()) return at;
    if (at < text.size()) {
      const auto want = static_cast<unsigned char>(secret[k]);
      const int encoded = EncodedByteAt(text, at);
      if (static_cast<unsigned char>(text[at]) == want) {
        if (encoded == want) otherReadings.emplace_back(at + 3, k + 1);
        ++at, ++k;
        continue;
      }
      if (text[at] == '+' && want == ' ') {
        ++at, ++k;
        continue;
      }
      if (encoded == want) {
        at += 3, ++k;
        continue;
      }
    }
    if (otherReadings.empty()) return std::string_view::npos;
    std::tie(at, k) = otherReadings.back();
    otherReadings.pop_back();
  }
}

}  // namespace

void KeepOutOfRecords(std::string_view secret) {
  if (secret.empty()) return;
  std::lock_guard lock(g_secretsMutex);
  if (std::find(g_secrets.begin(), g_secrets.end(), secret) != g_secrets.end()) return;
  g_secrets.emplace_back(secret);
  std::stable_sort(g_secrets.begin(), g_secrets.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

void ForgetRecordSecrets() {
  std::lock_guard lock(g_secretsMutex);
  g_secrets.clear();
}

std::string WithoutSecrets(std::string_view utf8Text) {
  std::string text(utf8Text);
  std::lock_guard lock(g_secretsMutex);
  for (const std::string& secret : g_secrets) {
    std::string masked;
    for (std::size_t at = 0; at < text.size();) {
      if (std::size_t end = SpelledUntil(text, at, secret); end != std::string::npos) {
        masked += kMask;
        at = end;
      } else {
        masked += text[at++];
      }
    }
    text = std::move(masked);
  }
  return text;
}

}  // namespace larkwend
