#include "app/study_journal.h"

#include <string>

#include "platform/journal.h"
#include "platform/text.h"
#include "update/update_check.h"

namespace larkwend::study_journal {
namespace {

std::string Utf8(std::string_view gbk) {
  return GbkToUtf8(gbk);
}

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
  RecordEvent("login captured: account " + Utf8(account));
}

void StudyRunArmed(std::string_view address) {
  RecordEvent("study run armed: " + Utf8(address));
}

void ChapterOpened(std::string_view address) {
  RecordEvent("chapter opened: " + Utf8(address));
}

void ChapterCompleted(std::string_view address, std::string_view progress,
                      std::string_view required) {
  RecordEvent("chapter completed: " + Utf8(address) + " (progress " + Utf8(progress) +
              ", required " + Utf8(required) + ")");
}

void StalledPageRefreshed(std::string_view progress) {
  RecordEvent("stalled page refreshed: progress still " + Utf8(progress));
}

void PageRecovered(std::string_view address, std::string_view reason) {
  RecordEvent("page recovered: " + Utf8(address) + " (" + Utf8(reason) + ")");
}

void PageFailedToLoad(std::string_view address, std::string_view why) {
  RecordEvent("page failed to load: " + Utf8(address) + " (" + Utf8(why) + ")");
}

void PageLoadedAgain(std::string_view seconds, std::string_view address) {
  RecordEvent("page loaded again after " + Utf8(seconds) + " s: " + Utf8(address));
}

void SignedOutBySite(std::string_view address) {
  RecordEvent("signed out by the site: " + Utf8(address));
}

void RunEnded(std::string_view endMessage) {
  RecordEvent("run ended: " + Utf8(endMessage));
}

void ProgramEnded() {
  RecordEvent("program ended");
  // Only once its last line is written does the run count as ended in good order.
  CloseRunInJournal();
}

}  // namespace larkwend::study_journal
