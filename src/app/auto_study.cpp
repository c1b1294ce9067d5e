// SPDX-License-Identifier: GPL-3.0-or-later
// The auto-study cycle: four window timers that open the first unfinished chapter, check its
// progress, press the completion control, close the page's pop-up and move on, until no chapter
// is left. Plus the auto-study button, which only says whether the cycle can run here.
//
//   3000   wait for the chapter list; open the first unfinished chapter, then start 45000
//   45000  compare progress with the required level; on completion start 100 and 5000
//   100    run the page's pop-up close script (stops itself after a while, see below)
//   5000   once: open the next unfinished chapter, or stop everything and say so
#include <string>

#include "app/quillmoor_dlg.h"
#include "automation/alert_dismisser.h"
#include "automation/site_pages.h"
#include "automation/study_journal.h"
#include "browser/conversions.h"
#include "platform/diagnostics.h"
#include "resources/site_profile.h"
#include "resources/texts.h"

namespace larkwend {
namespace {

// Timer 100 counts its own ticks and stops itself once it has run this many since it was last
// started, so the close script does not run ten times a second through every later chapter.
constexpr int kPopupCloseTicks = 100;
int g_popupCloseTickCount = 0;

// What a tick decided, for the diagnostics.
void TickDecision(unsigned id, std::string_view decision) {
  Diagnose("tick " + std::to_string(id) + ": " + std::string(decision));
}

std::string UnfinishedCount(std::size_t count) {
  return "scanned " + std::to_string(count) + " unfinished chapter" + (count == 1 ? "" : "s");
}

void StartPopupClosing(DialogWindow& window) {
  g_popupCloseTickCount = 0;
  window.SetTimer(TIMER_POPUP_CLOSE, TIMER_POPUP_CLOSE);
}

}  // namespace

void CQuillmoorDlg::ArmAutoStudy() {
  DialogWindow* w = window();
  if (!w) return;
  w->KillTimer(TIMER_CHECK_PROGRESS);
  w->KillTimer(TIMER_NEXT_CHAPTER);
  w->KillTimer(TIMER_POPUP_CLOSE);
  if (m_capturedAccount[0] == '\0') return;
  w->SetTimer(TIMER_WAIT_FOR_LIST, TIMER_WAIT_FOR_LIST);
  studyRun_.Armed();
}

void CQuillmoorDlg::OnTimer(unsigned id) {
  DialogWindow* w = window();
  if (!w) return;
  // A page that is still loading suspends the cycle: the tick is dropped, the timers run on.
  if (m_browser.GetReadyState() != READYSTATE_COMPLETE)
    return TickDecision(id, "page loading, dropped");
  // Nor is a page that failed to load: an error page is no chapter list, however it looks.
  if (!studyRun_.PageLoaded()) return TickDecision(id, "page failed to load, dropped");

  StartAlertDismisser(platform_.desktop);

  switch (id) {
    case TIMER_POPUP_CLOSE:
      TickDecision(id, FindChapterFrames() && RemovePagePopup(m_rightFrameDoc.get())
                           ? "closed the pop-up"
                           : "no pop-up script run");
      if (++g_popupCloseTickCount > kPopupCloseTicks) {
        TickDecision(id, "pop-up closing done");
        g_popupCloseTickCount = 0;
        w->KillTimer(TIMER_POPUP_CLOSE);
      }
      break;
    case TIMER_WAIT_FOR_LIST:
      if (const int scan = ScanUnfinishedChapters(); scan == 1) {
        if (!studyRun_.ChapterListRead(ChapterUrlsUtf8())) {
          TickDecision(id, UnfinishedCount(m_chapterUrls.size()) + ", the run does not go on");
          break;
        }
        if (OpenFirstUnfinishedChapter() != 1) {
          // Nothing was clicked: the next tick tries again.
          TickDecision(id, UnfinishedCount(m_chapterUrls.size()) + ", the first did not open");
          break;
        }
        TickDecision(id, UnfinishedCount(m_chapterUrls.size()) + ", opening the first");
        w->KillTimer(TIMER_WAIT_FOR_LIST);
        w->SetTimer(TIMER_CHECK_PROGRESS, TIMER_CHECK_PROGRESS);
      } else if (scan == 0 && FindChapterFrames()) {
        TickDecision(id, "no unfinished chapter listed");
        studyRun_.ChapterListRead({});
      } else {
        TickDecision(id, "list not read, undecided");
        PageNotAsExpected(scan);
      }
      break;
    case TIMER_CHECK_PROGRESS:
      if (const int completion = CheckChapterCompletion(); completion == 0) {
        TickDecision(id, "below the required level");
      } else if (completion == 1) {
        TickDecision(id, "chapter complete, closing the pop-up, next chapter in 5 s");
        StartPopupClosing(*w);
        w->SetTimer(TIMER_NEXT_CHAPTER, TIMER_NEXT_CHAPTER);
      } else {
        TickDecision(id, "nothing decided");
        PageNotAsExpected(SCAN_UNDECIDED);
      }
      break;
    case TIMER_NEXT_CHAPTER:
      w->KillTimer(TIMER_NEXT_CHAPTER);
      if (const int scan = ScanUnfinishedChapters(); scan < 0) {
        // Only a list that was read can end the run: the list stays as it was, and the move
        // waits 5 s as for a page still loading.
        TickDecision(id, "list not read, trying again");
        w->SetTimer(TIMER_NEXT_CHAPTER, TIMER_NEXT_CHAPTER);
        PageNotAsExpected(scan);
      } else if (!m_chapterUrls.empty()) {
        if (!studyRun_.ChapterListRead(ChapterUrlsUtf8())) {
          TickDecision(id, UnfinishedCount(m_chapterUrls.size()) + ", the run does not go on");
        } else if (OpenFirstUnfinishedChapter() == 1) {
          TickDecision(id, UnfinishedCount(m_chapterUrls.size()) + ", opening the first");
        } else {
          TickDecision(id, UnfinishedCount(m_chapterUrls.size()) + ", the first did not open");
          w->SetTimer(TIMER_NEXT_CHAPTER, TIMER_NEXT_CHAPTER);
        }
      } else {
        StopCycle();
        TickDecision(id, StudiesEveryCourse() ? "no unfinished chapter left, on to the next course"
                                              : "no unfinished chapter left, ended");
        studyRun_.NoChapterLeft();
      }
      break;
    default:
      break;
  }
}

void CQuillmoorDlg::StopCycle() {
  if (DialogWindow* w = window())
    for (unsigned id :
         {TIMER_WAIT_FOR_LIST, TIMER_NEXT_CHAPTER, TIMER_CHECK_PROGRESS, TIMER_POPUP_CLOSE})
      w->KillTimer(id);
}

void CQuillmoorDlg::AnnounceEnd() {
  DialogWindow* w = window();
  if (!w) return;
  study_journal::RunEnded(texts::kNoUnfinishedChapter);
  // The student may be anywhere else by now: the window asks to be looked at.
  w->RequestAttention();
  ShowMessage(texts::kNoUnfinishedChapter, MB_OK);
}

void CQuillmoorDlg::OpenPage(const std::string& address) {
  m_browser.Navigate2(Utf8ToGbk(address));
}

void CQuillmoorDlg::PageNotAsExpected(int scan) {
  const std::string location = GbkToUtf8(m_browser.GetLocationURL());
  if (ShowsLoginForm()) return studyRun_.LoginFormShown(location);
  if (scan == SCAN_NOT_A_LIST) return studyRun_.NotAChapterPage(location, Why::kNoChapterEntry);
  // A page that cannot be read now says nothing. One without frames is no chapter page; nor is
  // one whose frames are not the list and the content, unless a failed call hid them.
  dom::Ref<dom::Document> top = m_browser.GetDocument();
  dom::Ref<dom::FramesCollection> frames;
  long count = 0;
  if (!top || dom::Failed(top->get_frames(frames)) || !frames ||
      dom::Failed(frames->get_length(count)))
    return studyRun_.NothingDecided();
  if (count == 0 || (scan != SCAN_UNDECIDED && !FindChapterFrames()))
    return studyRun_.NotAChapterPage(location, Why::kNoChapterFrames);
  studyRun_.NothingDecided();
}

int CQuillmoorDlg::OpenFirstUnfinishedChapter() {
  if (!FindChapterFrames() || m_chapterUrls.empty()) return 0;
  const std::string& target = m_chapterUrls.front();
  dom::Ref<dom::ElementCollection> links;
  if (dom::Failed(m_leftFrameDoc->get_links(links)) || !links) return 0;
  long length = 0;
  if (dom::Failed(links->get_length(length)) || length <= 0) return 0;
  for (long i = 0; i < length; ++i) {
    dom::Ref<dom::Dispatch> item;
    if (dom::Failed(links->item(i, item)) || !item) continue;
    dom::Ref<dom::Element> link;
    if (dom::Failed(dom::Query(item.get(), link))) continue;
    dom::WideText html;
    if (dom::Failed(link->get_outerHTML(html))) continue;
    if (ToNarrow(html).find(target) == std::string::npos) continue;
    // A chapter link only opens the chapter: one whose page did not answer is clicked again.
    if (dom::Failed(link->click())) {
      Diagnose("the click on the link to " + GbkToUtf8(target) + " was not made");
      return 0;
    }
    study_journal::ChapterOpened(GbkToUtf8(target));
    studyRun_.ChapterOpened(GbkToUtf8(target));
    return 1;
  }
  Diagnose("no link in the chapter list leads to " + GbkToUtf8(target));
  return 0;
}

bool CQuillmoorDlg::RemovePagePopup(dom::Document* document) {
  if (!document) return false;
  dom::Ref<dom::Window> pageWindow;
  if (dom::Failed(document->get_parentWindow(pageWindow)) || !pageWindow) return false;
  return dom::Succeeded(pageWindow->execScript(std::string(texts::kPopupCloseScript),
                                               std::string(texts::kScriptLanguage)));
}

std::vector<std::string> CQuillmoorDlg::ChapterUrlsUtf8() const {
  std::vector<std::string> urls;
  for (const std::string& url : m_chapterUrls) urls.push_back(GbkToUtf8(url));
  return urls;
}

void CQuillmoorDlg::OnAutoStudyButton() {
  const bool onChapterPage = site_pages::IsChapterPage(GbkToUtf8(m_browser.GetLocationURL()));
  ShowMessage(onChapterPage ? texts::kAutoStudyStarted : texts::kOpenBookStudyFirst,
              MB_ICONINFORMATION);
}

}  // namespace larkwend
