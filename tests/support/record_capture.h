// SPDX-License-Identifier: GPL-3.0-or-later
// Catches what the program records while it lives: the study journal's events (without the date
// and time a real journal puts in front) and the diagnostics. Secrets registered by earlier tests
// of the process are forgotten, so each test sees only its own masked.
#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/journal.h"
#include "platform/record_secrets.h"

namespace larkwend::fake {

class RecordCapture final : public Journal {
 public:
  RecordCapture() { ForgetRecordSecrets(); }
  void Append(std::string_view utf8Event) override { events_.emplace_back(utf8Event); }

  const std::vector<std::string>& events() const { return events_; }
  // The alert dismisser diagnoses from its own thread.
  std::vector<std::string> diagnostics() const {
    std::lock_guard lock(mutex_);
    return diagnostics_;
  }
  bool Diagnosed(std::string_view text) const {
    auto all = diagnostics();
    return std::find(all.begin(), all.end(), text) != all.end();
  }
  // Whether `text` appears anywhere in the journal or the diagnostics.
  bool Recorded(std::string_view text) const {
    auto all = diagnostics();
    all.insert(all.end(), events_.begin(), events_.end());
    return std::any_of(all.begin(), all.end(),
                       [&](const std::string& line) { return line.find(text) != line.npos; });
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> events_, diagnostics_;
  ScopedJournal journal_{*this};
  ScopedDiagnosticSink sink_{[this](std::string_view text) {
    std::lock_guard lock(mutex_);
    diagnostics_.emplace_back(text);
  }};
};

}  // namespace larkwend::fake
