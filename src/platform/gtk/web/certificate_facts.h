// SPDX-License-Identifier: GPL-3.0-or-later
// What the program is told of a certificate the engine refused: read from GLib's certificate,
// with the engine's verdict turned into the platform's problem flags.
#pragma once

#include <gio/gio.h>

#include "platform/browser_control.h"

namespace larkwend::gtk {

CertificateRejection DescribeRejection(const char* uri, GTlsCertificate* certificate,
                                       GTlsCertificateFlags errors);

}  // namespace larkwend::gtk
