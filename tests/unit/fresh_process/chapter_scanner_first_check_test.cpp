// SPDX-License-Identifier: GPL-3.0-or-later
// The first completion check of a process: the last progress text starts empty, so a page whose
// progress display is empty is taken for a stalled one and reloaded. This needs a process in
// which no check has run yet, hence an executable of its own with this one test.
#include "../chapter_scanner_fixture.h"

namespace larkwend::scanner_test {
namespace {

TEST(CheckChapterCompletionFirstOfProcess, AnEmptyProgressTextRefreshes) {
  ScannerWindow w;
  ChapterPage page = MakeChapterPage("", "");  // equal texts: would be clicked otherwise
  w.Show(page.top);

  EXPECT_EQ(w.dlg().CheckChapterCompletion(), -1);
  EXPECT_EQ(w.browser().refreshes(), 1);
  EXPECT_EQ(page.finish->clicks, 0);

  page.progress->outerText = "00:45";
  page.required->outerText = "00:45";
  EXPECT_EQ(w.dlg().CheckChapterCompletion(), 1);
  EXPECT_EQ(w.browser().refreshes(), 1);
  EXPECT_EQ(page.finish->clicks, 1);
}

}  // namespace
}  // namespace larkwend::scanner_test
