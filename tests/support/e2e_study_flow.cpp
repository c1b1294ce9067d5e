// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e_study_flow.h"

#include "app/quillmoor_dlg.h"
#include "e2e_practice_site.h"

namespace larkwend::e2e {
namespace {

bool Step(bool ok, const char* what, std::string* failure) {
  if (!ok && failure) *failure = what;
  return ok;
}

}  // namespace

bool LogIn(Program& program, std::string* failure) {
  if (!Step(program.WaitForPage(PracticeSite::PortalUrl("/login/")), "login page", failure))
    return false;
  // The student types the code shown on the page by hand; quick login never touches it.
  if (!Step(program
                .EvaluateInPage("document.getElementById('txtCode').value ="
                                " document.getElementById('verifyCode').textContent.trim(); true")
                .has_value(),
            "typing the verification code", failure))
    return false;
  program.SelectComboItem(IDC_LOGIN_TYPE, LOGIN_BY_USER_NAME);
  program.SetText(IDC_ACCOUNT, "Student01");
  program.SetText(IDC_PASSWORD, "pass123");
  program.Click(IDC_QUICK_LOGIN);
  return Step(program.WaitForPage(PracticeSite::PortalUrl("/kvt/user/")), "personal centre",
              failure);
}

bool LogInAndOpenCourse(Program& program, int course, std::string* failure) {
  if (!LogIn(program, failure)) return false;
  // The personal centre's link asks for a new window; it opens in the same view.
  if (!Step(
          program.EvaluateInPage("document.getElementById('studyLink').click(); true").has_value(),
          "following the study link", failure) ||
      !Step(program.WaitForPage(PracticeSite::StudyUrl("/stu/clslist.aspx")), "course list",
            failure))
    return false;
  // On the study platform the course-list button goes to the list as well.
  program.Click(IDC_COURSE_LIST);
  if (!Step(program.WaitForPage(PracticeSite::StudyUrl("/stu/clslist.aspx")), "course list again",
            failure))
    return false;
  std::string open =
      "document.getElementById('course" + std::to_string(course) + "').click(); true";
  return Step(program.EvaluateInPage(open).has_value(), "opening the course", failure) &&
         Step(program.WaitForPage(PracticeSite::ChapterPageUrl(course)), "chapter page", failure);
}

}  // namespace larkwend::e2e
