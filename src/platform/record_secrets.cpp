#include "platform/record_secrets.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace larkwend {
namespace {

constexpr std::string_view kMask = "***";

std::mutex g_secretsMutex;
// Longest first, so a secret that contains another is masked whole.
std::vector<std::string> g_secrets;

}  // namespace

void KeepOutOfRecords(std::string_view utf8Secret) {
  if (utf8Secret.empty()) return;
  std::lock_guard lock(g_secretsMutex);
  if (std::find(g_secrets.begin(), g_secrets.end(), utf8Secret) != g_secrets.end()) return;
  g_secrets.emplace_back(utf8Secret);
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
    for (std::size_t at = text.find(secret); at != std::string::npos;
         at = text.find(secret, at + kMask.size()))
      text.replace(at, secret.size(), kMask);
  }
  return text;
}

}  // namespace larkwend
