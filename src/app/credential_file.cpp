#include "app/credential_file.h"

#include "platform/private_profile.h"

namespace larkwend {

std::string ReadCredential(std::string_view key) {
  return GetPrivateProfileString(kCredentialSection, key, "", kCredentialBufferSize,
                                 kCredentialFilePath);
}

void WriteCredential(std::string_view key, std::string_view value) {
  WritePrivateProfileString(kCredentialSection, key, value, kCredentialFilePath);
}

}  // namespace larkwend
