// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/journal.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>

#include "platform/diagnostics.h"
#include "platform/record_secrets.h"

namespace larkwend {
namespace {

std::mutex g_journalMutex;
Journal* g_journal = nullptr;

}  // namespace

void RecordInJournal(std::string_view utf8Event) {
  std::lock_guard lock(g_journalMutex);
  if (!g_journal) return;
  std::string line = WithoutSecrets(utf8Event);
  std::replace_if(
      line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  g_journal->Append(line);
}

void RecordEvent(std::string_view utf8Event) {
  RecordInJournal(utf8Event);
  Diagnose(utf8Event);
}

std::vector<UnendedRun> OpenRunInJournal() {
  std::lock_guard lock(g_journalMutex);
  return g_journal ? g_journal->OpenRun() : std::vector<UnendedRun>{};
}

std::string JournalFile() {
  std::lock_guard lock(g_journalMutex);
  return g_journal ? g_journal->File() : std::string{};
}

void CloseRunInJournal() {
  std::lock_guard lock(g_journalMutex);
  if (g_journal) g_journal->CloseRun();
}

ScopedJournal::ScopedJournal(Journal& journal) {
  std::lock_guard lock(g_journalMutex);
  previous_ = std::exchange(g_journal, &journal);
}

ScopedJournal::~ScopedJournal() {
  std::lock_guard lock(g_journalMutex);
  g_journal = previous_;
}

}  // namespace larkwend
