// SPDX-License-Identifier: GPL-3.0-or-later
// A desktop entry's Exec line, read as the open command of a file type.
//
// The file associations present the desktop's default web browser the way a registry would: as a
// file type whose open command is a Windows-style command line with "%1" standing for the file.
// This turns the entry's Exec arguments into such a command line.
#pragma once

#include <string>
#include <vector>

namespace larkwend {

// `execArgs` are the Exec line's arguments with the desktop entry's quoting already undone.
// The field codes %u, %U, %f and %F become %1, "%%" becomes "%", every other field code is
// removed, and an argument that was nothing but removed field codes is dropped. The result is
// quoted by the Windows rules, so splitting it gives the same arguments back.
std::string OpenCommandFromExec(const std::vector<std::string>& execArgs);

}  // namespace larkwend
