// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own settings, in the platform's settings file (platform/settings_file.h), never in
// ./record.ini. A setting the file does not hold, or a file that cannot be read, is off; a change
// that cannot be written is kept for this run only. A diagnostic says which.
#pragma once

namespace larkwend {

// Whether a study run goes on to every course (section "study", key "all_courses", 0 or 1).
bool ReadStudyAllCourses();
void WriteStudyAllCourses(bool on);

// Whether the pages' sound is off (section "study", key "muted", 0 or 1).
bool ReadMuted();
void WriteMuted(bool on);

}  // namespace larkwend
