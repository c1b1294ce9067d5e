// The study journal: a plain record of what the program did, one line per event, for the
// student to read after leaving the program alone for hours.
//
// The program records events through RecordInJournal; where they go is the platform's business
// (posix/file_journal.h on this system). With no journal installed, events go nowhere.
#pragma once

#include <string_view>

namespace larkwend {

class Journal {
 public:
  virtual ~Journal() = default;
  // Adds one event (UTF-8, a single line); the journal puts the local date and time before it.
  virtual void Append(std::string_view utf8Event) = 0;
};

// Records one event in the installed journal: secrets masked (record_secrets.h), line breaks
// turned into spaces so an event stays one line.
void RecordInJournal(std::string_view utf8Event);

// Records one event in the journal and sends the same text to the diagnostics.
void RecordEvent(std::string_view utf8Event);

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
