// SPDX-License-Identifier: GPL-3.0-or-later
// The events of the study journal, worded in one table (study_journal.cpp). Each one goes into
// the journal in the student's language (Chinese) and, as the same fact in English, to the
// diagnostics. Addresses and what the page showed are kept as they are.
//
// Values are UTF-8, as the journal is written; the handlers convert the page texts they hold.
// Nothing here ever takes the password: a login is recorded by its account alone.
#pragma once

#include <string_view>

#include "automation/run_failure.h"
#include "platform/browser_control.h"

namespace larkwend::study_journal {

// One fact in the words of both records: the journal's (Chinese) and the diagnostics' (English).
struct Words {
  std::string_view journal, diagnostics;
};

// `version` as the title shows it ("3.1"). Also notes each earlier run that ended without its
// last line (journal.h, OpenRun).
void ProgramStarted(std::string_view version);
// What the update check came to, in the words of the application, which knows its results.
void UpdateChecked(const Words& outcome);
void LoginCaptured(std::string_view account);
void StudyRunArmed(std::string_view address);
// `address` as the chapter list gives it.
void ChapterOpened(std::string_view address);
void ChapterCompleted(std::string_view address, std::string_view progress,
                      std::string_view required);
void StalledPageRefreshed(std::string_view progress);
// The page's process was gone (ended, or ended by the program because the page stopped
// answering) and the page is loaded again.
void PageRecovered(std::string_view address, const Failure& reason);
// Once when a page starts failing, once when it comes back; retries in between are not events.
void PageFailedToLoad(std::string_view address, const Failure& why);
void PageLoadedAgain(std::string_view seconds, std::string_view address);
void SignedOutBySite(std::string_view address);
// The chapter pressed complete is still unfinished in the list, the `count`th time; it is pressed
// again up to `retries` times, then left to the student.
void CompletionNotTaken(std::string_view address, int count, int retries);
// The site itself went to a page that is no study page: the run goes back.
void SitesOwnPage(std::string_view address);
// A frame that is none of the study page's own failed to load (0: a network error).
void OtherFrameFailed(std::string_view address, int httpStatus);
// A course of the walk whose chapter list could not be read for long is left for now.
void CoursePassedOver(std::string_view address);
// A video or audio of the chapter at `address` cannot play; `httpStatus` with kNotFound.
void VideoCannotPlay(std::string_view address, MediaFault fault, int httpStatus);
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
