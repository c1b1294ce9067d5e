// SPDX-License-Identifier: GPL-3.0-or-later
// The remembered account and password: ./record.ini in the working directory, section "set".
// Reads and writes are silent: a file that cannot be read or written is simply not remembered.
#pragma once

#include <string>
#include <string_view>

namespace larkwend {

inline constexpr const char* kCredentialFilePath = "./record.ini";
inline constexpr std::string_view kCredentialSection = "set";
inline constexpr std::string_view kAccountKey = "acount";
inline constexpr std::string_view kPasswordKey = "password";
// Values come back as they would from a 24-byte buffer.
inline constexpr std::size_t kCredentialBufferSize = 24;

std::string ReadCredential(std::string_view key);
void WriteCredential(std::string_view key, std::string_view value);

}  // namespace larkwend
