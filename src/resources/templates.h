// SPDX-License-Identifier: GPL-3.0-or-later
// The program's dialog templates and picture resources, as data.
#pragma once

#include "platform/dialog.h"

namespace larkwend {

constexpr int IDD_MAIN = 102;
constexpr int IDD_USAGE = 131;
constexpr int IDD_CERTIFICATE = 132;
constexpr int IDR_MAINFRAME = 128;  // the application icon, 64 x 64
constexpr int IDB_BANNER = 130;     // the banner picture, 280 x 60

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& UsageDialogTemplate();
const DialogTemplate& CertificateDialogTemplate();

}  // namespace larkwend
