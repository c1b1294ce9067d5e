// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program keeps its own settings: an INI file of the student's (private_profile.h),
// apart from ./record.ini, whose format other copies of the program rely on.
#pragma once

#include <string>

namespace larkwend {

// $XDG_CONFIG_HOME/larkwend/settings.ini, by default ~/.config/larkwend/settings.ini; empty when
// there is no home to keep it in.
std::string ProgramSettingsPath();

// Makes the settings file's folder (owner only) when it is missing, so that the file can be
// written; false when it cannot be made.
bool MakeProgramSettingsFolder();

}  // namespace larkwend
