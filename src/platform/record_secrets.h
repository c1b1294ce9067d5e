// SPDX-License-Identifier: GPL-3.0-or-later
// Texts that must never be written into a record of the program's work (the study journal, the
// diagnostics): the student's password above all. Whatever goes into a record passes through
// WithoutSecrets, so even an address that happens to carry the password in its query is kept
// clean.
#pragma once

#include <string>
#include <string_view>

namespace larkwend {

// From now on, `secret` is masked in every record, also where it is spelled percent-encoded (any
// of its bytes as %XX in either case, a blank as "+"), as a form sent by GET puts it into an
// address. It is UTF-8 text, or the bytes of such a text in the code page that a page written in
// it sends. Empty text is ignored. Safe from any thread.
void KeepOutOfRecords(std::string_view secret);

// Forgets every secret, as at the start of a process (tests start each case this way).
void ForgetRecordSecrets();

// `utf8Text` with every occurrence of a secret replaced by "***".
std::string WithoutSecrets(std::string_view utf8Text);

}  // namespace larkwend
