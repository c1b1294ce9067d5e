// The auto-study cycle: four window timers that open the first unfinished chapter, check its
// progress, press the completion control, close the page's pop-up and move on, until no chapter
// is left. Plus the auto-study button, which only says whether the cycle can run here.
//
//   3000   wait for the chapter list; open the first unfinished chapter, then start 45000
//   45000  compare progress with the required level; on completion start 100 and 5000
//   100    run the page's pop-up close script (stops itself after a while, see below)
//   5000   once: open the next unfinished chapter, or stop everything and say so
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "app/quillmoor_dlg.h"
#include "app/study_journal.h"
#include "automation/alert_dismisser.h"
#include "browser/conversions.h"
#include "platform/diagnostics.h"
#include "resources/site_profile.h"
#include "resources/texts.h"

namespace larkwend {
namespace {

// Started once per main window, at the first timer tick that finds the page complete. The run
// flag is shared with the worker, hence atomic. The worker is kept so that the window's end can
// stop and join it: no thread of ours may still run while static objects are destroyed.
bool g_alertDismisserStarted = false;
std::atomic<bool> g_alertDismisserRun{false};
std::thread g_alertDismisser;

// The worker's pause ends early when the window stops it, so that the join is quick without the
// worker waking more than twice a second for hours.
std::mutex g_stopMutex;
std::condition_variable g_stopSignal;

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

void AlertDismisserThread(DesktopWindows& desktop, const std::atomic<bool>& run,
                          std::chrono::milliseconds pause) {
  const std::string title = Gbk(texts::kScriptMessageTitle);
  const std::string ok = Gbk(texts::kScriptMessageOk);
  while (run.load()) {
    if (WindowId box = desktop.FindTopLevelWindow(title)) {
      if (WindowId button = desktop.FindChildWindow(box, ok)) {
        desktop.PostClick(button);
        desktop.PostClick(button);
        Diagnose("dismissed a script box");
      }
    }
    std::unique_lock lock(g_stopMutex);
    g_stopSignal.wait_for(lock, pause, [&run] { return !run.load(); });
  }
}

void StopAlertDismisser() {
  if (!g_alertDismisser.joinable()) return;
  {
    std::lock_guard lock(g_stopMutex);
    g_alertDismisserRun = false;
  }
  g_stopSignal.notify_all();
  g_alertDismisser.join();
  g_alertDismisserStarted = false;  // a later main window of this process starts its own
}

void CQuillmoorDlg::ArmAutoStudy() {
  DialogWindow* w = window();
  if (!w) return;
  w->KillTimer(TIMER_CHECK_PROGRESS);
  w->KillTimer(TIMER_NEXT_CHAPTER);
  w->KillTimer(TIMER_POPUP_CLOSE);
  if (m_capturedAccount[0] == '\0') return;
  w->SetTimer(TIMER_WAIT_FOR_LIST, TIMER_WAIT_FOR_LIST);
  pageRecovery_.RunArmed();
}

void CQuillmoorDlg::OnTimer(unsigned id) {
  DialogWindow* w = window();
  if (!w) return;
  // A page that is still loading suspends the cycle: the tick is dropped, the timers run on.
  if (m_browser.GetReadyState() != READYSTATE_COMPLETE)
    return TickDecision(id, "page loading, dropped");
  // Nor is a page that failed to load: an error page is no chapter list, however it looks.
  if (!pageRecovery_.PageLoaded()) return TickDecision(id, "page failed to load, dropped");

  if (!g_alertDismisserStarted) {
    g_alertDismisserStarted = true;
    g_alertDismisserRun = true;
    g_alertDismisser = std::thread(AlertDismisserThread, std::ref(platform_.desktop),
                                   std::cref(g_alertDismisserRun), std::chrono::milliseconds(500));
  }

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
      if (const int scan = ScanUnfinishedChapters(); scan != 1) {
        TickDecision(id,
                     scan == 0 ? "no unfinished chapter listed yet" : "list not read, undecided");
      } else {
        TickDecision(id, UnfinishedCount(m_chapterUrls.size()) + ", opening the first");
        OpenFirstUnfinishedChapter();
        w->KillTimer(TIMER_WAIT_FOR_LIST);
        w->SetTimer(TIMER_CHECK_PROGRESS, TIMER_CHECK_PROGRESS);
      }
      break;
    case TIMER_CHECK_PROGRESS:
      if (const int completion = CheckChapterCompletion(); completion != 1) {
        TickDecision(id, completion == 0 ? "below the required level" : "nothing decided");
      } else {
        TickDecision(id, "chapter complete, closing the pop-up, next chapter in 5 s");
        StartPopupClosing(*w);
        w->SetTimer(TIMER_NEXT_CHAPTER, TIMER_NEXT_CHAPTER);
      }
      break;
    case TIMER_NEXT_CHAPTER:
      w->KillTimer(TIMER_NEXT_CHAPTER);
      if (ScanUnfinishedChapters() < 0) {
        // Only a list that was read can end the run: the list stays as it was, and the move
        // waits 5 s as for a page still loading.
        TickDecision(id, "list not read, trying again");
        w->SetTimer(TIMER_NEXT_CHAPTER, TIMER_NEXT_CHAPTER);
      } else if (!m_chapterUrls.empty()) {
        TickDecision(id, UnfinishedCount(m_chapterUrls.size()) + ", opening the first");
        OpenFirstUnfinishedChapter();
      } else {
        w->KillTimer(TIMER_WAIT_FOR_LIST);
        w->KillTimer(TIMER_NEXT_CHAPTER);
        w->KillTimer(TIMER_CHECK_PROGRESS);
        w->KillTimer(TIMER_POPUP_CLOSE);
        TickDecision(id, "no unfinished chapter left, ended");
        pageRecovery_.RunEnded();
        study_journal::RunEnded(Gbk(texts::kNoUnfinishedChapter));
        // The student may be anywhere else by now: the window asks to be looked at.
        w->RequestAttention();
        ShowMessage(texts::kNoUnfinishedChapter, MB_OK);
      }
      break;
    default:
      break;
  }
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
    if (ToNarrow(html).find(target) != std::string::npos) {
      link->click();
      study_journal::ChapterOpened(target);
      return 1;
    }
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

void CQuillmoorDlg::OnAutoStudyButton() {
  bool onChapterPage = m_browser.GetLocationURL().find(texts::kChapterPageKey) != std::string::npos;
  ShowMessage(onChapterPage ? texts::kAutoStudyStarted : texts::kOpenBookStudyFirst,
              MB_ICONINFORMATION);
}

}  // namespace larkwend
