// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/trusted_certificates.h"

#include <algorithm>
#include <sstream>
#include <string_view>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/private_profile.h"
#include "platform/settings_file.h"

namespace larkwend {
namespace {

constexpr std::string_view kCertificatesSection = "certificates";
constexpr std::size_t kKeptPerHost = 4;
// Room for those, each 95 characters and a separator.
constexpr std::size_t kValueSize = 512;

std::vector<std::string> TrustedFor(const std::string& host, const std::string& path) {
  std::istringstream value(
      GetPrivateProfileString(kCertificatesSection, host, "", kValueSize, path));
  std::vector<std::string> fingerprints;
  for (std::string fingerprint; value >> fingerprint;) fingerprints.push_back(fingerprint);
  return fingerprints;
}

}  // namespace

bool IsCertificateTrusted(const std::string& host, const std::string& fingerprint) {
  const std::string path = ProgramSettingsPath();
  if (path.empty() || host.empty() || fingerprint.empty()) return false;
  const std::vector<std::string> trusted = TrustedFor(host, path);
  return std::find(trusted.begin(), trusted.end(), fingerprint) != trusted.end();
}

void RememberTrustedCertificate(const std::string& host, const std::string& fingerprint) {
  const std::string path = ProgramSettingsPath();
  std::vector<std::string> trusted =
      path.empty() ? std::vector<std::string>{} : TrustedFor(host, path);
  std::erase(trusted, fingerprint);
  trusted.insert(trusted.begin(), fingerprint);
  if (trusted.size() > kKeptPerHost) trusted.resize(kKeptPerHost);
  std::string value;
  for (const std::string& kept : trusted) value += (value.empty() ? "" : " ") + kept;
  if (!MakeProgramSettingsFolder() ||
      !WritePrivateProfileString(kCertificatesSection, host, value, path))
    Diagnose("cannot remember the certificate trusted for " + host + " in " +
             (path.empty() ? std::string("(no home folder)") : path) +
             ": it is trusted for this run only");
}

}  // namespace larkwend
