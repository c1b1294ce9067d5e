// SPDX-License-Identifier: GPL-3.0-or-later
// The program's files in the student's XDG base folders.
#pragma once

#include <string>
#include <string_view>

namespace larkwend::posix {

// `relative` under the folder that the environment variable `variable` names, or under
// `homeDefault` in the home folder when it is unset. A relative folder counts as unset, as the
// XDG base directories say. Empty when there is no home either.
std::string XdgFilePath(const char* variable, std::string_view homeDefault,
                        std::string_view relative);

// Creates every missing folder on the way to `path`'s own folder, readable by its owner only.
bool MakeParentFolders(const std::string& path);

}  // namespace larkwend::posix
