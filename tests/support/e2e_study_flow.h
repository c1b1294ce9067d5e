// SPDX-License-Identifier: GPL-3.0-or-later
// The student's road from the login page to a course's chapter page, on the real program.
#pragma once

#include "e2e_program.h"

namespace larkwend::e2e {

// Types the page's verification code and logs in by user name with quick login (account
// "Student01", password "pass123", the practice site's defaults), up to the personal centre.
// False (with a reason) when a step did not arrive in time.
bool LogIn(Program& program, std::string* failure);

// Logs in, follows the personal centre's link to the study platform and opens course `course`.
bool LogInAndOpenCourse(Program& program, int course, std::string* failure);

}  // namespace larkwend::e2e
