// SPDX-License-Identifier: GPL-3.0-or-later
// The certificates the student chose to trust, each for one host, remembered in the program's
// settings file (platform/settings_file.h; section "certificates", the host as the key, its
// trusted SHA-256 fingerprints as the value, newest first). A file that cannot be read trusts
// nothing; a choice that cannot be written holds for this run only, as the diagnostics say.
#pragma once

#include <string>

namespace larkwend {

// Whether the student trusted exactly this certificate (`fingerprint`, as the browser gives it)
// for exactly this host.
bool IsCertificateTrusted(const std::string& host, const std::string& fingerprint);
// Remembers the choice; the host keeps the few certificates trusted last, as a site that renews
// its certificate, or serves several, may still show an older one.
void RememberTrustedCertificate(const std::string& host, const std::string& fingerprint);

}  // namespace larkwend
