// SPDX-License-Identifier: GPL-3.0-or-later
// Private-profile (INI) files: one value per section and key, read and written by path.
// Section and key names compare without regard to case; where one appears twice, the first counts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace larkwend {

// The value of `key` in `section`, or `defaultValue` when the file, section or key is missing.
// The result fits a buffer of `bufferSize` bytes with its terminating zero: at most
// bufferSize - 1 bytes, never half of a GBK character.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t bufferSize,
                                    const std::string& path);

// Sets `key` in `section` to `value`, creating the file and the section when missing and keeping
// every other line. The file is replaced atomically and created readable by its owner only.
// False when it could not be written, or when the names or the value could not be read back as
// given (a line break in any of them, for instance).
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path);

}  // namespace larkwend
