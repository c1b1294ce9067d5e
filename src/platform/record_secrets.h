// Texts that must never be written into a record of the program's work (the study journal, the
// diagnostics): the student's password above all. Whatever goes into a record passes through
// WithoutSecrets, so even an address that happens to carry the password in its query is kept
// clean.
#pragma once

#include <string>
#include <string_view>

namespace larkwend {

// From now on, `utf8Secret` is masked in every record. Empty text is ignored. Safe from any
// thread.
void KeepOutOfRecords(std::string_view utf8Secret);

// Forgets every secret, as at the start of a process (tests start each case this way).
void ForgetRecordSecrets();

// `utf8Text` with every occurrence of a secret replaced by "***".
std::string WithoutSecrets(std::string_view utf8Text);

}  // namespace larkwend
