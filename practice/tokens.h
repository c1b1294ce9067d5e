// SPDX-License-Identifier: GPL-3.0-or-later
// Random session ids, tickets and verification codes.
#pragma once

#include <string>

namespace larkwend::practice {

// 32 hex digits from a seeded generator; safe from any thread.
std::string NewToken();

// A four-digit verification code, "1000" to "9999".
std::string NewVerificationCode();

}  // namespace larkwend::practice
