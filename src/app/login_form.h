// SPDX-License-Identifier: GPL-3.0-or-later
// The portal's login form: the elements quick login fills in and the credential capture reads.
// The study run also knows a sign-out by them, wherever the site shows the form.
#pragma once

#include <string>

namespace larkwend::login_form {

inline const std::string kUserNameInput = "txtUserName";
inline const std::string kPasswordInput = "txtPassword";
inline const std::string kIdCardInput = "sfyzNumber";
inline const std::string kIdCardLoginButton = "btnLogin";
inline const std::string kUserNameLoginButton = "btnLogin2";

}  // namespace larkwend::login_form
