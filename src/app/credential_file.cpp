// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/credential_file.h"

#include "platform/private_profile.h"
#include "platform/record_secrets.h"
#include "platform/text.h"

namespace larkwend {
namespace {

// Whatever password passes through here is one the records must never show: as text, and as the
// bytes a page in the code page sends of it, percent-encoded, in an address.
void GuardPassword(std::string_view key, std::string_view value) {
  if (key != kPasswordKey) return;
  KeepOutOfRecords(GbkToUtf8(value));
  KeepOutOfRecords(value);
}

}  // namespace

std::string ReadCredential(std::string_view key) {
  std::string value = GetPrivateProfileString(kCredentialSection, key, "", kCredentialBufferSize,
                                              kCredentialFilePath);
  GuardPassword(key, value);
  return value;
}

void WriteCredential(std::string_view key, std::string_view value) {
  GuardPassword(key, value);
  WritePrivateProfileString(kCredentialSection, key, value, kCredentialFilePath);
}

}  // namespace larkwend
