// SPDX-License-Identifier: GPL-3.0-or-later
// The study journal as a plain text file: $XDG_STATE_HOME/larkwend/journal.log.
//
// Each event is one line, "2026-12-07T14:03:11 chapter opened: ...", in local time. The file is
// opened for each line and written with O_APPEND under an advisory lock, so two running copies
// of the program never tear each other's lines. Once the file passes its size limit it becomes
// journal.log.1 (replacing the older one) and the next line starts a new file. A place that
// cannot be written turns the journal off for the rest of the run, with one diagnostic message;
// the program goes on as before.
//
// The runs that share the file are marks in the folder "runs" beside it, one per running copy,
// named by its process id and locked (flock) by it while it runs. The system lets go of a lock
// however its process ends, so a mark that nobody holds is a run that ended without closing: a
// crash, a kill, the power lost. Marks are looked at, made and removed under a lock on the folder,
// so no copy ever sees another's mark between its making and its locking.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/journal.h"
#include "platform/posix/unique_fd.h"

namespace larkwend::posix {

// $XDG_STATE_HOME/larkwend/journal.log; a relative XDG_STATE_HOME counts as unset, as the XDG
// base directories say, and the default is ~/.local/state. Empty when there is no home either.
std::string StudyJournalPath();

class FileJournal final : public Journal {
 public:
  static constexpr std::uint64_t kRotationSize = 1024 * 1024;

  // Creates the file's folder (owner only) when it is missing and checks that the file can be
  // written; an empty path turns the journal off at once.
  explicit FileJournal(std::string path, std::uint64_t rotationSize = kRotationSize);

  void Append(std::string_view utf8Event) override;
  // In the order they started. A journal that is off keeps no runs.
  std::vector<UnendedRun> OpenRun() override;
  void CloseRun() override;
  std::string File() override;

  bool enabled() const { return enabled_; }

 private:
  bool WriteLine(std::string_view line);
  void Disable(std::string_view reason);

  std::string path_;
  std::uint64_t rotationSize_;
  bool enabled_ = true;
  std::string runsFolder_;
  UniqueFd runMark_;  // this run's mark, locked while the run goes on
};

}  // namespace larkwend::posix
