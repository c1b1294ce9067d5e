// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a whole buffer to a file descriptor, through short writes and interruptions.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace larkwend::posix {

// False when a write fails (errno says why) or writes nothing.
inline bool WriteAll(int fd, std::string_view content) {
  std::size_t done = 0;
  while (done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace larkwend::posix
