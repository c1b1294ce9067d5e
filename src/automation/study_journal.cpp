#include "automation/study_journal.h"

#include <string>

#include "platform/journal.h"
#include "update/update_check.h"

namespace larkwend::study_journal {
namespace {

std::string UpdateOutcome(int result) {
  switch (result) {
    case UPDATE_NOTHING_NEWER:
      return "nothing newer";
    case UPDATE_DECLINED:
      return "a newer version was offered and declined";
    case UPDATE_NO_REPLY:
      return "no reply from the update service";
    case UPDATE_EMPTY_REPLY:
      return "an empty reply";
    case UPDATE_NO_SEPARATOR:
      return "a reply without a version";
    case UPDATE_STOP:
      return "the program must end";
    default:
      return "result " + std::to_string(result);
  }
}

}  // namespace

void ProgramStarted() {
  RecordEvent("program started, version " + std::to_string(APP_VERSION / 100) + "." +
              std::to_string(APP_VERSION % 100));
  // Said after this run's start, so that whoever reads the journal meets it where the program
  // found it out. A copy that still runs is not among them.
  for (const UnendedRun& run : OpenRunInJournal())
    RecordEvent("last run ended unexpectedly: process " + std::to_string(run.processId) +
                ", started " + run.started);
}

void UpdateChecked(int result) {
  RecordEvent("update check: " + UpdateOutcome(result));
}

void LoginCaptured(std::string_view account) {
  RecordEvent("login captured: account " + std::string(account));
}

void StudyRunArmed(std::string_view address) {
  RecordEvent("study run armed: " + std::string(address));
}

void ChapterOpened(std::string_view address) {
  RecordEvent("chapter opened: " + std::string(address));
}

void ChapterCompleted(std::string_view address, std::string_view progress,
                      std::string_view required) {
  RecordEvent("chapter completed: " + std::string(address) + " (progress " + std::string(progress) +
              ", required " + std::string(required) + ")");
}

void StalledPageRefreshed(std::string_view progress) {
  RecordEvent("stalled page refreshed: progress still " + std::string(progress));
}

void PageRecovered(std::string_view address, std::string_view reason) {
  RecordEvent("page recovered: " + std::string(address) + " (" + std::string(reason) + ")");
}

void PageFailedToLoad(std::string_view address, std::string_view why) {
  RecordEvent("page failed to load: " + std::string(address) + " (" + std::string(why) + ")");
}

void PageLoadedAgain(std::string_view seconds, std::string_view address) {
  RecordEvent("page loaded again after " + std::string(seconds) + " s: " + std::string(address));
}

void SignedOutBySite(std::string_view address) {
  RecordEvent("signed out by the site: " + std::string(address));
}

void RunLeftByStudent(std::string_view address) {
  RecordEvent("run left by the student: " + std::string(address));
}

void NoProgress(int minutes) {
  RecordEvent("no progress for " + std::to_string(minutes) + " min: study page loaded again");
}

void RunEnded(std::string_view endMessage) {
  RecordEvent("run ended: " + std::string(endMessage));
}

void ProgramEnded() {
  RecordEvent("program ended");
  // Only once its last line is written does the run count as ended in good order.
  CloseRunInJournal();
}

}  // namespace larkwend::study_journal
