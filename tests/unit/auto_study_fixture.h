// SPDX-License-Identifier: GPL-3.0-or-later
// The study cycle's window on the in-memory platform, with a course of chapters on its chapter
// page: what the cycle's tests and the study run's tests share.
//
// The last progress text of the completion check lives for the whole process, so every progress
// text used here is made unique.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "chapter_scanner_fixture.h"
#include "record_capture.h"
#include "resources/texts.h"

namespace larkwend::scanner_test {

// The dismisser thread is started once per process and keeps the desktop it was given, so every
// window of this file shares one desktop that outlives all tests.
inline fake::DesktopWindows& ProcessDesktop() {
  static fake::DesktopWindows desktop;
  return desktop;
}

inline std::string UniqueProgress(bool reached) {
  static int n = 0;
  return (reached ? "00:02:00#" : "00:00:10#") + std::to_string(++n);
}

inline constexpr unsigned kAllTimers[] = {TIMER_POPUP_CLOSE, TIMER_WAIT_FOR_LIST,
                                          TIMER_NEXT_CHAPTER, TIMER_CHECK_PROGRESS};

// A course of chapters on a chapter page. Each chapter is a list entry with its link; opening a
// chapter shows it in the content frame, and pressing the completion control finishes it.
class Course {
 public:
  explicit Course(int chapters) : page_(MakeChapterPage(UniqueProgress(false), "00:01:00")) {
    for (int i = 1; i <= chapters; ++i) {
      std::string url = "right.aspx?c=7&ch=" + std::to_string(i);
      Chapter chapter{url, AddEntry(page_.list, "undone", url), page_.list->Anchor(url, "right")};
      chapter.link->onClick = [this, i] { opened.push_back(i); };
      chapters_.push_back(chapter);
    }
    page_.finish->onClick = [this] {
      if (!opened.empty())
        chapters_[static_cast<std::size_t>(opened.back() - 1)].entry->className = "done";
    };
  }

  const ChapterPage& page() const { return page_; }
  // The content frame shows a progress the check has not seen yet.
  void Progress(bool reached) { page_.progress->outerText = UniqueProgress(reached); }
  int finishClicks() const { return page_.finish->clicks; }

  std::vector<int> opened;

 private:
  struct Chapter {
    std::string url;
    fake::ElementPtr entry, link;
  };
  ChapterPage page_;
  std::vector<Chapter> chapters_;
};

// Public, so that a table-driven test can run each of its cases on a window of its own.
class AutoStudy : public ::testing::Test {
 public:
  AutoStudy() : window(dialogs.Open(dlg.dialogTemplate(), dlg)) {}

  void Capture(const std::string& account) {
    dlg.m_capturedAccount.fill('\0');
    account.copy(dlg.m_capturedAccount.data(), 23);
  }
  bool Running(unsigned id) const { return window.TimerRunning(id); }
  std::vector<unsigned> RunningTimers() const {
    std::vector<unsigned> ids;
    for (const auto& [id, period] : window.timers()) ids.push_back(id);
    return ids;
  }
  void Fire(unsigned id) { ASSERT_TRUE(window.FireTimer(id)) << "timer " << id << " not running"; }
  void StartStudying(Course& course) {
    window.browser().Load(course.page().top);
    Capture("student01");
    dlg.ArmAutoStudy();
    Fire(TIMER_WAIT_FOR_LIST);
  }
  std::vector<std::string> MessagesShown() const {
    std::vector<std::string> texts;
    for (const fake::ShownMessage& m : dialogs.messages) texts.push_back(m.text);
    return texts;
  }

  ScratchDirectory directory;
  fixtures::ScopedConfigHome configHome{directory.path() / "config"};
  fake::RecordCapture records;
  fake::Host host;
  fake::DialogSystem dialogs{host};
  fake::Shell shell;
  fake::FileAssociations associations;
  fake::Clock clock;
  fake::DesktopSession session;
  Platform platform{dialogs, shell, associations, ProcessDesktop(), clock, session};
  CQuillmoorDlg dlg{platform};
  fake::DialogWindow& window;
};

}  // namespace larkwend::scanner_test
