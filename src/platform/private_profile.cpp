// Placeholder: the INI reader and writer arrive with the credential-file work.
#include "platform/private_profile.h"

namespace larkwend {

std::string GetPrivateProfileString(std::string_view, std::string_view,
                                    std::string_view defaultValue, std::size_t,
                                    const std::string&) {
  return std::string(defaultValue);
}

bool WritePrivateProfileString(std::string_view, std::string_view, std::string_view,
                               const std::string&) {
  return false;
}

}  // namespace larkwend
