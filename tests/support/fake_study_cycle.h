// SPDX-License-Identifier: GPL-3.0-or-later
// The study run's door on the in-memory side: what the run asked of the window, kept for the
// test to read, and the answers a window would give. A page the run opens or loads again is only
// asked for; the test says what the browser then reports.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "automation/study_run.h"

namespace larkwend::fake {

class StudyCycle final : public larkwend::StudyCycle {
 public:
  void RestartFromChapterList() override {
    ++restarts;
    if (onRestart) onRestart();  // the window arms the run again
  }
  void StopCycle() override { ++cycleStops; }
  void AnnounceEnd() override { ++ends; }
  bool StudiesEveryCourse() override { return everyCourse; }
  void ShowStatus(const std::string& text) override { status = text; }
  std::string PageAddress() override { return page; }
  void OpenPage(const std::string& address) override { opened.push_back(address); }
  void LoadAgain(const std::string& address) override { loadsAgain.push_back(address); }
  bool StopLoading() override {
    ++loadStops;
    return answersAfterStop;
  }
  void EndPageProcess() override { ++processEnds; }
  void PagesForARun(bool armed) override { pagesForARun = armed; }
  std::optional<std::vector<std::string>> ReadCourses() override {
    ++courseReads;
    return courses;
  }

  // The answers.
  bool everyCourse = false;
  std::string page;  // the address shown
  bool answersAfterStop = true;
  std::optional<std::vector<std::string>> courses;
  std::function<void()> onRestart;

  // What was asked.
  int restarts = 0, cycleStops = 0, ends = 0, loadStops = 0, processEnds = 0, courseReads = 0;
  std::string status;
  std::vector<std::string> opened, loadsAgain;
  bool pagesForARun = false;
};

}  // namespace larkwend::fake
