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
constexpr std::string_view kMutedKey = "muted";

std::string Where(const std::string& path) {
  return path.empty() ? std::string("(no home folder)") : path;
}

// `what` names the setting in the diagnostics.
bool ReadSwitch(std::string_view key, std::string_view what) {
  const std::string path = ProgramSettingsPath();
  const std::string value =
      path.empty() ? "" : GetPrivateProfileString(kStudySection, key, "", 8, path);
  if (value == "1") return true;
  if (value != "0") Diagnose("no " + std::string(what) + " setting in " + Where(path) + ": off");
  return false;
}

void WriteSwitch(std::string_view key, bool on, std::string_view what) {
  const std::string path = ProgramSettingsPath();
  if (!MakeProgramSettingsFolder() ||
      !WritePrivateProfileString(kStudySection, key, on ? "1" : "0", path))
    Diagnose("cannot write the " + std::string(what) + " setting to " + Where(path) +
             ": the choice holds for this run only");
}

}  // namespace

bool ReadStudyAllCourses() {
  return ReadSwitch(kAllCoursesKey, "every-course");
}

void WriteStudyAllCourses(bool on) {
  WriteSwitch(kAllCoursesKey, on, "every-course");
}

bool ReadMuted() {
  return ReadSwitch(kMutedKey, "sound");
}

void WriteMuted(bool on) {
  WriteSwitch(kMutedKey, on, "sound");
}

}  // namespace larkwend
