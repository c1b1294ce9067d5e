// SPDX-License-Identifier: GPL-3.0-or-later
// The events of the study journal, worded in one table (study_journal.cpp). Each one goes into
// the journal in the student's language (Chinese) and, as the same fact in English, to the
// diagnostics. Addresses and what the page showed are kept as they are.
//
// Values are UTF-8, as the journal is written; the handlers convert the page texts they hold.
// Nothing here ever takes the password: a login is recorded by its account alone.
#pragma once

#include <string_view>

namespace larkwend::study_journal {

// Also notes each earlier run that ended without its last line (journal.h, OpenRun).
void ProgramStarted();
// `result` is what CheckForUpdate answered (update/update_check.h).
void UpdateChecked(int result);
void LoginCaptured(std::string_view account);
void StudyRunArmed(std::string_view address);
// `address` as the chapter list gives it.
void ChapterOpened(std::string_view address);
void ChapterCompleted(std::string_view address, std::string_view progress,
                      std::string_view required);
void StalledPageRefreshed(std::string_view progress);
// The page's process was gone (ended, or ended by the program because the page stopped
// answering) and the page is loaded again.
void PageRecovered(std::string_view address, std::string_view reason);
// Once when a page starts failing, once when it comes back; retries in between are not events.
void PageFailedToLoad(std::string_view address, std::string_view why);
void PageLoadedAgain(std::string_view seconds, std::string_view address);
void SignedOutBySite(std::string_view address);
// The study platform's certificate was refused (`problems`: CertificateProblem flags), and the
// run waits for the student to decide on it.
void CertificateRejected(std::string_view host, unsigned problems);
// The student's own navigation took the browser away from the study pages.
void RunLeftByStudent(std::string_view address);
// Nothing was opened, read or completed for `minutes`: the study page is loaded again.
void NoProgress(int minutes);
// A run that studies every course moves on from one to the next.
void CourseFinished(std::string_view address, int chaptersCompleted);
void CourseOpened(std::string_view address, int index, int count);
void RunEnded(std::string_view endMessage);
// The run's last line; the run then counts as ended in good order.
void ProgramEnded();

}  // namespace larkwend::study_journal
