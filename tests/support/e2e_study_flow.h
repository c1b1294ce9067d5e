// The student's road from the login page to a course's chapter page, on the real program.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "e2e_program.h"
#include "scoped_env.h"

namespace larkwend::e2e {

// Types the page's verification code, logs in by user name with quick login (account
// "Student01", password "pass123", the practice site's defaults), follows the personal centre's
// link to the study platform and opens course `course`. False (with a reason) when a step did
// not arrive in time.
bool LogInAndOpenCourse(Program& program, int course, std::string* failure);

// The program's diagnostics as a maintainer turns them on: G_MESSAGES_DEBUG=Larkwend while it
// lives, and GLib's log writer hands each message of the domain that GLib would print to this
// object instead of standard error. One at a time per process.
class DiagnosticsCapture {
 public:
  DiagnosticsCapture();
  ~DiagnosticsCapture();
  DiagnosticsCapture(const DiagnosticsCapture&) = delete;
  DiagnosticsCapture& operator=(const DiagnosticsCapture&) = delete;

  std::vector<std::string> Messages() const;

 private:
  fixtures::ScopedEnv debug_{"G_MESSAGES_DEBUG", "Larkwend"};
};

// The lines of the study journal that a run with `stateHome` as XDG_STATE_HOME wrote.
std::vector<std::string> JournalLines(const std::filesystem::path& stateHome);

}  // namespace larkwend::e2e
