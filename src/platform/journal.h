// SPDX-License-Identifier: GPL-3.0-or-later
// The study journal: a plain record of what the program did, one line per event, for the
// student to read after leaving the program alone for hours.
//
// The program records events through RecordInJournal; where they go is the platform's business
// (posix/file_journal.h on this system). With no journal installed, events go nowhere.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace larkwend {

// A run of the program that opened its run in the journal and ended without closing it: it
// crashed, was killed or lost its power before its last line.
struct UnendedRun {
  long processId = 0;
  std::string started;  // local date and time of its start, as the journal writes them
};

class Journal {
 public:
  virtual ~Journal() = default;
  // Adds one event (UTF-8, a single line); the journal puts the local date and time before it.
  virtual void Append(std::string_view utf8Event) = 0;

  // Several copies of the program may share one journal. OpenRun marks this process's run as
  // going on and answers the earlier runs that ended without closing theirs, each once: a run
  // that is still going on is never among them. CloseRun marks this run as ended in good order.
  // A journal that keeps no runs answers none.
  virtual std::vector<UnendedRun> OpenRun() { return {}; }
  virtual void CloseRun() {}
  // The file the journal is written to (a path as the file system spells it), made empty with
  // its folder when it does not exist yet, so that the student can open it; empty for a journal
  // that keeps no file or whose file cannot be made.
  virtual std::string File() { return {}; }
};

// Records one event in the installed journal: secrets masked (record_secrets.h), line breaks
// turned into spaces so an event stays one line.
void RecordInJournal(std::string_view utf8Event);

// Records one event in the journal and sends the same text to the diagnostics.
void RecordEvent(std::string_view utf8Event);

// Journal::OpenRun and CloseRun of the installed journal; none installed: no runs.
std::vector<UnendedRun> OpenRunInJournal();
void CloseRunInJournal();
// Journal::File of the installed journal; none installed: empty.
std::string JournalFile();

// Makes `journal` the one events go to while this lives; the previous one comes back after.
class ScopedJournal {
 public:
  explicit ScopedJournal(Journal& journal);
  ~ScopedJournal();
  ScopedJournal(const ScopedJournal&) = delete;
  ScopedJournal& operator=(const ScopedJournal&) = delete;

 private:
  Journal* previous_;
};

}  // namespace larkwend
