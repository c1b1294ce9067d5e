// SPDX-License-Identifier: GPL-3.0-or-later
// The INI reader and writer on any file and any names: a read fits its buffer, an accepted write
// reads back exactly and changes no other line, a refused one leaves the file as it was, and no
// other key changes its value.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "fuzz_check.h"
#include "platform/private_profile.h"
#include "platform/text.h"

namespace larkwend::fuzz {
namespace {

namespace fs = std::filesystem;

// A directory of this process's own, in memory where the machine has one (each write syncs),
// removed when the process ends.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    path_ = (fs::exists("/dev/shm") ? "/dev/shm" : "/tmp") +
            std::string("/larkwend-profile-fuzz-XXXXXX");
    Require(::mkdtemp(path_.data()) != nullptr, "a scratch directory");
  }
  ~ScratchDirectory() { fs::remove_all(path_); }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const std::string& Directory() {
  static const ScratchDirectory dir;
  return dir.path();
}

std::optional<std::string> Content(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The write changed at most one line's text and added at most a section header, a key line and
// the line break that a last line lacked.
bool ChangesOneLineAtMost(std::string_view before, std::string_view after) {
  std::size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
    ++prefix;
  std::size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
    ++suffix;
  std::string_view removed = before.substr(prefix, before.size() - prefix - suffix);
  std::string_view added = after.substr(prefix, after.size() - prefix - suffix);
  return removed.find('\n') == std::string_view::npos &&
         std::count(added.begin(), added.end(), '\n') <= 3;
}

}  // namespace
}  // namespace larkwend::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace larkwend;
  using namespace larkwend::fuzz;
  FuzzedDataProvider input(data, size);
  const bool fileExists = input.ConsumeBool();
  const std::size_t bufferSize = input.ConsumeIntegralInRange<std::size_t>(0, 40);
  const std::string section = input.ConsumeRandomLengthString(16);
  const std::string key = input.ConsumeRandomLengthString(16);
  const std::string value = input.ConsumeRandomLengthString(32);
  const std::string otherSection = input.ConsumeRandomLengthString(16);
  const std::string otherKey = input.ConsumeRandomLengthString(16);
  const std::string content = input.ConsumeRemainingBytesAsString();

  const std::string path = Directory() + "/settings.ini";
  std::filesystem::remove(path);
  if (fileExists) std::ofstream(path, std::ios::binary) << content;
  const std::optional<std::string> before = Content(path);

  constexpr std::size_t kWhole = 1 << 20;
  std::string read = GetPrivateProfileString(section, key, "", bufferSize, path);
  Require(bufferSize == 0 ? read.empty() : read.size() < bufferSize, "a read fits its buffer");
  Require(read == CutGbk(GetPrivateProfileString(section, key, "", kWhole, path),
                         bufferSize == 0 ? 0 : bufferSize - 1),
          "a short buffer cuts the whole value on a character boundary");
  const std::string otherBefore =
      GetPrivateProfileString(otherSection, otherKey, "<none>", kWhole, path);

  const bool written = WritePrivateProfileString(section, key, value, path);
  const std::optional<std::string> after = Content(path);
  if (!written) {
    Require(after == before, "a refused write leaves the file as it was");
    return 0;
  }
  Require(after.has_value(), "an accepted write leaves a file");
  Require(GetPrivateProfileString(section, key, "<none>", kWhole, path) == value,
          "an accepted write reads back exactly");
  Require(ChangesOneLineAtMost(before.value_or(""), *after), "every other line is kept");
  bool sameKey =
      CompareGbkNoCase(otherSection, section) == 0 && CompareGbkNoCase(otherKey, key) == 0;
  if (!sameKey)
    Require(GetPrivateProfileString(otherSection, otherKey, "<none>", kWhole, path) == otherBefore,
            "no other key changes its value");
  return 0;
}
