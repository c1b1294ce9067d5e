// SPDX-License-Identifier: GPL-3.0-or-later
#include "tokens.h"

#include <cstdio>
#include <mutex>
#include <random>

namespace larkwend::practice {
namespace {

// One generator for the process; the handlers run on many threads.
std::uint64_t NextRandom() {
  static std::mutex mutex;
  static std::mt19937_64 engine{std::random_device{}()};
  std::lock_guard lock(mutex);
  return engine();
}

}  // namespace

std::string NewToken() {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%016llx%016llx", static_cast<unsigned long long>(NextRandom()),
                static_cast<unsigned long long>(NextRandom()));
  return buf;
}

std::string NewVerificationCode() {
  return std::to_string(1000 + NextRandom() % 9000);
}

}  // namespace larkwend::practice
