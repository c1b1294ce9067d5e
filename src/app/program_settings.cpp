// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/program_settings.h"

#include <string>
#include <string_view>

#include "platform/diagnostics.h"
#include "platform/private_profile.h"
#include "platform/settings_file.h"

namespace larkwend {
namespace {

constexpr std::string_view kStudySection = "study";
constexpr std::string_view kAllCoursesKey = "all_courses";

}  // namespace

bool ReadStudyAllCourses() {
  const std::string path = ProgramSettingsPath();
  const std::string value =
      path.empty() ? "" : GetPrivateProfileString(kStudySection, kAllCoursesKey, "", 8, path);
  if (value == "1") return true;
  if (value != "0")
    Diagnose("no study setting in " + (path.empty() ? std::string("(no home folder)") : path) +
             ": studying every course is off");
  return false;
}

void WriteStudyAllCourses(bool on) {
  const std::string path = ProgramSettingsPath();
  if (!MakeProgramSettingsFolder() ||
      !WritePrivateProfileString(kStudySection, kAllCoursesKey, on ? "1" : "0", path))
    Diagnose("cannot write the study setting to " +
             (path.empty() ? std::string("(no home folder)") : path) +
             ": the choice holds for this run only");
}

}  // namespace larkwend
