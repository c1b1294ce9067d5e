// SPDX-License-Identifier: GPL-3.0-or-later
// The chapter scanner against the in-memory browser: which frames it takes, which chapters it
// lists, when it presses the completion control, and that every failing call into the page is
// survived without a leaked reference.
//
// The last progress text is kept for the whole process, so every test here uses progress texts
// no other test uses; the very first check of a process has its own executable.
#include <gmock/gmock.h>

#include <set>
#include <string>
#include <vector>

#include "chapter_scanner_fixture.h"
#include "platform/text.h"

namespace larkwend::scanner_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// ---- frames ----------------------------------------------------------------------------------

TEST(FindChapterFrames, TellsTheFramesApartByTheirDocumentsAddresses) {
  ScannerWindow w;
  auto top = fake::MakePage(kChapterPageUrl);
  top->Frame(kContentUrl);  // the content frame first: the order of the frames does not matter
  top->Frame(kListUrl);
  w.Show(top);

  EXPECT_TRUE(w.dlg().FindChapterFrames());
  EXPECT_EQ(w.UrlOf(w.dlg().m_leftFrameDoc), kListUrl);
  EXPECT_EQ(w.UrlOf(w.dlg().m_rightFrameDoc), kContentUrl);
  EXPECT_EQ(w.StrayReferences(), 0);
}

TEST(FindChapterFrames, OneFrameHoldingBothWordsCountsTwice) {
  ScannerWindow w;
  auto top = fake::MakePage(kChapterPageUrl);
  top->Frame("http://h/stu/leftright.aspx");
  w.Show(top);

  EXPECT_TRUE(w.dlg().FindChapterFrames());
  EXPECT_EQ(w.UrlOf(w.dlg().m_leftFrameDoc), "http://h/stu/leftright.aspx");
  EXPECT_EQ(w.UrlOf(w.dlg().m_rightFrameDoc), "http://h/stu/leftright.aspx");
}

TEST(FindChapterFrames, CapitalisedKeysDoNotMatchAndTheKeptDocumentsStay) {
  ScannerWindow w;
  w.Show(MakeChapterPage("p", "r").top);
  ASSERT_TRUE(w.dlg().FindChapterFrames());

  auto other = fake::MakePage("http://h/other.aspx");
  other->Frame("http://h/Left.aspx");
  other->Frame("http://h/Right.aspx");
  w.Show(other);
  EXPECT_FALSE(w.dlg().FindChapterFrames());
  EXPECT_EQ(w.UrlOf(w.dlg().m_leftFrameDoc), kListUrl);
  EXPECT_EQ(w.UrlOf(w.dlg().m_rightFrameDoc), kContentUrl);

  w.Show(fake::MakePage("http://h/no-frames.aspx"));
  EXPECT_FALSE(w.dlg().FindChapterFrames());
  EXPECT_EQ(w.UrlOf(w.dlg().m_leftFrameDoc), kListUrl);
  EXPECT_EQ(w.StrayReferences(), 0);
}

TEST(FindChapterFrames, AKeyInsideADoubleByteCharacterDoesNotMatch) {
  ScannerWindow w;
  auto top = fake::MakePage(kChapterPageUrl);
  // 0x81 0x6C is one GBK character whose second byte is the letter "l".
  top->Frame("http://h/" + GbkToUtf8("\x81l") + "eft.aspx");
  top->Frame(kContentUrl);
  w.Show(top);

  EXPECT_FALSE(w.dlg().FindChapterFrames());
  EXPECT_EQ(w.dlg().m_leftFrameDoc, nullptr);
}

TEST(FindChapterFrames, AThirdMatchRejectsThePageButTheLastMatchIsKept) {
  ScannerWindow w;
  auto top = fake::MakePage(kChapterPageUrl);
  top->Frame("http://h/left1.aspx");
  top->Frame("http://h/right1.aspx");
  top->Frame("http://h/left2.aspx");
  w.Show(top);

  EXPECT_FALSE(w.dlg().FindChapterFrames());
  EXPECT_EQ(w.UrlOf(w.dlg().m_leftFrameDoc), "http://h/left2.aspx");
  EXPECT_EQ(w.UrlOf(w.dlg().m_rightFrameDoc), "http://h/right1.aspx");
  EXPECT_EQ(w.StrayReferences(), 0);
}

// ---- unfinished chapters ---------------------------------------------------------------------

TEST(ScanUnfinishedChapters, ListsWholeClassMatchesInPageOrderDuplicatesIncluded) {
  ScannerWindow w;
  ChapterPage page = MakeChapterPage("p", "r");
  AddEntry(page.list, "undone", "ch1.aspx");
  AddEntry(page.list, "done", "ch2.aspx");
  AddEntry(page.list, "UnDone", "ch3.aspx");
  AddEntry(page.list, "undone current", "ch4.aspx");  // a second class name: not the marker
  AddEntry(page.list, "undone ", "ch5.aspx");
  page.list->Div("undone", "<b>no address here</b>");
  AddEntry(page.list, "undone", "ch1.aspx");
  AddEntry(page.content, "undone", "content.aspx");  // only the list frame is read
  w.Show(page.top);

  EXPECT_EQ(w.dlg().ScanUnfinishedChapters(), 1);
  EXPECT_THAT(w.dlg().m_chapterUrls, ElementsAre("ch1.aspx", "ch3.aspx", "ch1.aspx"));
  EXPECT_EQ(w.StrayReferences(), 0);
}

TEST(ScanUnfinishedChapters, KeepsTheListOffAChapterPageAndEmptiesItOnAFinishedOne) {
  ScannerWindow w;
  ChapterPage page = MakeChapterPage("p", "r");
  AddEntry(page.list, "undone", "a.aspx");
  AddEntry(page.list, "undone", "b.aspx");
  w.Show(page.top);
  ASSERT_EQ(w.dlg().ScanUnfinishedChapters(), 1);

  w.Show(fake::MakePage("http://h/course-list.aspx"));
  EXPECT_EQ(w.dlg().ScanUnfinishedChapters(), 0);
  EXPECT_THAT(w.dlg().m_chapterUrls, ElementsAre("a.aspx", "b.aspx"));

  ChapterPage finished = MakeChapterPage("p", "r");
  AddEntry(finished.list, "done", "a.aspx");
  w.Show(finished.top);
  EXPECT_EQ(w.dlg().ScanUnfinishedChapters(), 0);
  EXPECT_THAT(w.dlg().m_chapterUrls, IsEmpty());
}

TEST(ScanUnfinishedChapters, TwoContentFramesAndNoListDecideNothing) {
  ScannerWindow w;
  auto top = fake::MakePage(kChapterPageUrl);
  top->Frame("http://h/right1.aspx");
  top->Frame("http://h/right2.aspx");
  w.Show(top);
  w.dlg().m_chapterUrls = {"old.aspx"};

  // No list was read, so none is known to be empty.
  EXPECT_EQ(w.dlg().ScanUnfinishedChapters(), -1);
  EXPECT_THAT(w.dlg().m_chapterUrls, ElementsAre("old.aspx"));
}

TEST(ExtractUrlAttribute, TakesTheFirstMarkerUpToItsClosingQuote) {
  EXPECT_EQ(CQuillmoorDlg::ExtractUrlAttribute("<a url=\"x.aspx?id=3\">t</a>"), "x.aspx?id=3");
  EXPECT_EQ(CQuillmoorDlg::ExtractUrlAttribute("url=\"first\" url=\"second\""), "first");
  EXPECT_EQ(CQuillmoorDlg::ExtractUrlAttribute("<a url=\"\" url=\"late\">"), "");
  EXPECT_EQ(CQuillmoorDlg::ExtractUrlAttribute("<a url=\"never-closed>"), "");
  EXPECT_EQ(CQuillmoorDlg::ExtractUrlAttribute("<a URL=\"x\" href=\"y\">"), "");
  EXPECT_EQ(CQuillmoorDlg::ExtractUrlAttribute("<a url='x'>"), "");
  EXPECT_EQ(CQuillmoorDlg::ExtractUrlAttribute(""), "");
}

TEST(ExtractUrlAttribute, AGbkTrailByteNeverStartsTheMarker) {
  // 0x81 0x75 is one double-byte character whose second byte is the letter "u".
  EXPECT_EQ(CQuillmoorDlg::ExtractUrlAttribute("\x81u"
                                               "rl=\"x\""),
            "");
  EXPECT_EQ(CQuillmoorDlg::ExtractUrlAttribute(Utf8ToGbk("第一章 url=\"c.aspx\"")), "c.aspx");
}

// ---- completion check ------------------------------------------------------------------------

struct CompletionCase {
  const char* progress;  // unique in this file: the last progress text lives for the process
  const char* required;
  int result;
};

TEST(CheckChapterCompletion, ComparesTheTextsAsTextNotAsNumbers) {
  const CompletionCase cases[] = {
      {"10", "9", 0},           // "1" sorts before "9"
      {"DONE-a", "done-a", 1},  // letter case does not count
  };
  for (const CompletionCase& c : cases) {
    SCOPED_TRACE(std::string(c.progress) + " against " + c.required);
    ScannerWindow w;
    ChapterPage page = MakeChapterPage(GbkToUtf8(c.progress), GbkToUtf8(c.required));
    w.Show(page.top);

    EXPECT_EQ(w.dlg().CheckChapterCompletion(), c.result);
    EXPECT_EQ(page.finish->clicks, c.result == 1 ? 1 : 0);
    EXPECT_EQ(w.browser().refreshes(), 0);
    EXPECT_EQ(w.StrayReferences(), 0);
  }
}

// Below its level, a display that has not moved refreshes the page, every time; at its level the
// chapter is pressed complete, however long the display has stood (a completion the site did not
// take leaves it there).
TEST(CheckChapterCompletion, AnUnchangedProgressBelowItsLevelRefreshesAtItsLevelItIsPressed) {
  ScannerWindow w;
  ChapterPage page = MakeChapterPage("00:30", "01:00");
  w.Show(page.top);
  ASSERT_EQ(w.dlg().CheckChapterCompletion(), 0);
  EXPECT_EQ(w.dlg().CheckChapterCompletion(), -1);
  EXPECT_EQ(w.dlg().CheckChapterCompletion(), -1);
  EXPECT_EQ(w.browser().refreshes(), 2);

  page.progress->outerText = "01:00";
  EXPECT_EQ(w.dlg().CheckChapterCompletion(), 1);
  EXPECT_EQ(w.dlg().CheckChapterCompletion(), 1);
  EXPECT_EQ(w.browser().refreshes(), 2);
  EXPECT_EQ(page.finish->clicks, 2);
  EXPECT_EQ(w.StrayReferences(), 0);
}

TEST(CheckChapterCompletion, MissingPartsOfThePageDecideNothing) {
  ScannerWindow w;
  w.Show(fake::MakePage("http://h/not-a-chapter.aspx"));
  EXPECT_EQ(w.dlg().CheckChapterCompletion(), -1);

  ChapterPage noProgress = MakeChapterPage("unused", "r");
  noProgress.progress->id = "elsewhere";
  w.Show(noProgress.top);
  EXPECT_EQ(w.dlg().CheckChapterCompletion(), -1);

  // Without the requirement nothing is compared, so nothing has stalled either.
  ChapterPage noRequired = MakeChapterPage("missing-required 1", "r");
  noRequired.required->id = "elsewhere";
  w.Show(noRequired.top);
  EXPECT_EQ(w.dlg().CheckChapterCompletion(), -1);
  EXPECT_EQ(w.dlg().CheckChapterCompletion(), -1);
  EXPECT_EQ(w.browser().refreshes(), 0);

  ChapterPage noButton = MakeChapterPage("missing-button 9", "0");
  noButton.finish->id = "elsewhere";
  w.Show(noButton.top);
  EXPECT_EQ(w.dlg().CheckChapterCompletion(), -1);
  EXPECT_EQ(noButton.finish->clicks, 0);
  EXPECT_EQ(w.StrayReferences(), 0);
}

// ---- every call into the page may fail -------------------------------------------------------

// The distinct calls an operation makes on a good page, in first-use order.
template <typename Operation>
std::vector<std::string> CallsMadeBy(ScannerWindow& w, Operation operation) {
  w.host().ClearLog();
  operation(w.dlg());
  std::vector<std::string> distinct;
  std::set<std::string> seen;
  for (const std::string& call : w.host().calls())
    if (seen.insert(call).second) distinct.push_back(call);
  return distinct;
}

ChapterPage PageWithTwoEntries(const std::string& progress) {
  ChapterPage page = MakeChapterPage(progress, "00:00");
  AddEntry(page.list, "undone", "a.aspx");
  AddEntry(page.list, "undone", "b.aspx");
  return page;
}

TEST(ChapterScannerFailures, FindingTheFramesGivesUpAndKeepsTheDocuments) {
  ScannerWindow probe;
  probe.Show(PageWithTwoEntries("probe").top);
  auto calls = CallsMadeBy(probe, [](CQuillmoorDlg& d) { d.FindChapterFrames(); });
  ASSERT_FALSE(calls.empty());

  auto earlier = fake::MakePage("http://h/earlier.aspx");
  earlier->Frame("http://h/left-earlier.aspx");
  earlier->Frame("http://h/right-earlier.aspx");
  for (const std::string& call : calls) {
    SCOPED_TRACE(call);
    ScannerWindow w;
    w.Show(earlier);
    ASSERT_TRUE(w.dlg().FindChapterFrames());
    w.Show(PageWithTwoEntries("probe").top);
    w.host().Fail(call);
    EXPECT_FALSE(w.dlg().FindChapterFrames());
    EXPECT_EQ(w.StrayReferences(), 0);
    w.host().ClearFailures();
    EXPECT_EQ(w.UrlOf(w.dlg().m_leftFrameDoc), "http://h/left-earlier.aspx");
    EXPECT_EQ(w.UrlOf(w.dlg().m_rightFrameDoc), "http://h/right-earlier.aspx");
  }
}

TEST(ChapterScannerFailures, AFrameThatCannotBeReadIsPassedOver) {
  // Three matching frames reject the page; when the first cannot be read the other two remain.
  for (const char* call :
       {"Frames.item", "Query.Window", "Window.get_document", "Document.get_URL"}) {
    SCOPED_TRACE(call);
    ScannerWindow w;
    auto top = fake::MakePage(kChapterPageUrl);
    top->Frame("http://h/left-decoy.aspx");
    top->Frame(kListUrl);
    top->Frame(kContentUrl);
    w.Show(top);
    w.host().Fail(call, 1);
    EXPECT_TRUE(w.dlg().FindChapterFrames());
    EXPECT_EQ(w.UrlOf(w.dlg().m_leftFrameDoc), kListUrl);
    EXPECT_EQ(w.StrayReferences(), 0);
  }
}

TEST(ChapterScannerFailures, AScanThatCouldNotReadTheListKeepsItAndDecidesNothing) {
  ScannerWindow probe;
  probe.Show(PageWithTwoEntries("probe").top);
  auto frameCalls = CallsMadeBy(probe, [](CQuillmoorDlg& d) { d.FindChapterFrames(); });
  auto calls = CallsMadeBy(probe, [](CQuillmoorDlg& d) { d.ScanUnfinishedChapters(); });
  ASSERT_GT(calls.size(), frameCalls.size());
  const std::set<std::string> findingFrames(frameCalls.begin(), frameCalls.end());

  for (const std::string& call : calls) {
    SCOPED_TRACE(call);
    ScannerWindow w;
    w.Show(PageWithTwoEntries("probe").top);
    w.dlg().m_chapterUrls = {"earlier.aspx"};
    w.host().Fail(call);
    const int scan = w.dlg().ScanUnfinishedChapters();
    if (call == "Query.Element") {
      // Nothing there is an element, so no chapter entry either: no list at all.
      EXPECT_EQ(scan, SCAN_NOT_A_LIST);
      EXPECT_THAT(w.dlg().m_chapterUrls, ElementsAre("earlier.aspx"));
    } else {
      // Off a chapter page (0), or a read that failed (-1): an empty list would end the run.
      EXPECT_EQ(scan, findingFrames.count(call) ? 0 : -1);
      EXPECT_THAT(w.dlg().m_chapterUrls, ElementsAre("earlier.aspx"));
    }
    EXPECT_EQ(w.StrayReferences(), 0);
  }
}

TEST(ChapterScannerFailures, AnEntryThatCannotBeReadLeavesTheListAsItWas) {
  // Only something that is not an element is passed over; a read that failed leaves the whole
  // scan undecided, since the entry it missed may be the one unfinished chapter left.
  for (const char* call :
       {"Collection.item", "Query.Element", "Element.get_className", "Element.get_innerHTML"}) {
    SCOPED_TRACE(call);
    ScannerWindow w;
    w.Show(PageWithTwoEntries("probe").top);
    w.dlg().m_chapterUrls = {"earlier.aspx"};
    w.host().Fail(call, 1);
    if (std::string(call) == "Query.Element") {
      EXPECT_EQ(w.dlg().ScanUnfinishedChapters(), 1);
      EXPECT_THAT(w.dlg().m_chapterUrls, ElementsAre("b.aspx"));
    } else {
      EXPECT_EQ(w.dlg().ScanUnfinishedChapters(), -1);
      EXPECT_THAT(w.dlg().m_chapterUrls, ElementsAre("earlier.aspx"));
    }
    EXPECT_EQ(w.StrayReferences(), 0);
  }
}

TEST(ChapterScannerFailures, TheCompletionCheckDecidesNothingAndNeitherClicksNorRefreshes) {
  ScannerWindow probe;
  probe.Show(PageWithTwoEntries("failures probe").top);
  auto calls = CallsMadeBy(probe, [](CQuillmoorDlg& d) { d.CheckChapterCompletion(); });
  ASSERT_FALSE(calls.empty());

  // Each call fails everywhere, then only at its later uses (the requirement's and the
  // button's look-ups, the requirement's text).
  std::vector<std::pair<std::string, int>> failures;
  for (const std::string& call : calls) failures.emplace_back(call, 0);
  failures.emplace_back("Document3.getElementById", 2);
  failures.emplace_back("Document3.getElementById", 3);
  failures.emplace_back("Element.get_outerText", 2);

  int round = 0;
  for (const auto& [call, nth] : failures) {
    SCOPED_TRACE(call + " #" + std::to_string(nth));
    ScannerWindow w;
    ChapterPage page = PageWithTwoEntries("failures " + std::to_string(++round));
    w.Show(page.top);
    w.host().Fail(call, nth);
    EXPECT_EQ(w.dlg().CheckChapterCompletion(), -1);
    EXPECT_EQ(page.finish->clicks, 0);
    EXPECT_EQ(w.browser().refreshes(), 0);
    EXPECT_EQ(w.StrayReferences(), 0);
  }
}

}  // namespace
}  // namespace larkwend::scanner_test
