// SPDX-License-Identifier: GPL-3.0-or-later
// The chapter scanner: reads the study platform's chapter page as the browser shows it.
//
// The page is a frameset. The chapter list and the content frame are told apart by the address
// of the document loaded in each frame ("left", "right"), not by the frame element's name, since
// the address is what the platform keeps stable. The auto-study cycle calls these on its timer
// ticks; a failed call into the page skips the item or ends the operation, and the next tick
// tries again, so nothing here reports an error.
#include <string_view>
#include <vector>

#include "app/login_form.h"
#include "app/quillmoor_dlg.h"
#include "automation/study_journal.h"
#include "browser/conversions.h"
#include "platform/diagnostics.h"
#include "platform/text.h"
#include "resources/site_profile.h"

namespace larkwend {
namespace {

constexpr std::string_view kLeftFrameKey = "left";
constexpr std::string_view kRightFrameKey = "right";
constexpr std::string_view kUrlMarker = "url=\"";

// The element with `id` in `document`, or null when it is absent or the look-up failed.
dom::Ref<dom::Element> ElementById(dom::Document3& document, std::string_view id) {
  dom::Ref<dom::Element> element;
  if (dom::Failed(document.getElementById(ToWide(id), element))) element.Reset();
  return element;
}

// The element's outer text; false when it cannot be read.
bool ReadOuterText(dom::Element& element, std::string& text) {
  dom::WideText wide;
  if (dom::Failed(element.get_outerText(wide))) return false;
  text = ToNarrow(wide);
  return true;
}

}  // namespace

bool CQuillmoorDlg::FindChapterFrames() {
  dom::Ref<dom::Document> document = m_browser.GetDocument();
  if (!document) return false;
  dom::Ref<dom::FramesCollection> frames;
  if (dom::Failed(document->get_frames(frames)) || !frames) return false;
  long length = 0;
  if (dom::Failed(frames->get_length(length)) || length <= 0) return false;

  // A frame whose address holds both keys counts twice; a later match replaces an earlier one.
  // Only a page with exactly two matches is a chapter page, but the references keep whatever
  // matched, so the caller sees the last frames found even when the answer is no.
  int matches = 0;
  for (long i = 0; i < length; ++i) {
    dom::Ref<dom::Dispatch> item;
    if (dom::Failed(frames->item(i, item)) || !item) continue;
    dom::Ref<dom::Window> window;
    if (dom::Failed(dom::Query(item.get(), window))) continue;
    dom::Ref<dom::Document> frameDocument;
    if (dom::Failed(window->get_document(frameDocument)) || !frameDocument) continue;
    dom::WideText wideUrl;
    if (dom::Failed(frameDocument->get_URL(wideUrl))) continue;
    const std::string url = ToNarrow(wideUrl);
    if (ContainsGbk(url, kLeftFrameKey)) {
      m_leftFrameDoc = frameDocument;
      ++matches;
    }
    if (ContainsGbk(url, kRightFrameKey)) {
      m_rightFrameDoc = frameDocument;
      ++matches;
    }
  }
  return matches == 2;
}

int CQuillmoorDlg::ScanUnfinishedChapters() {
  // Off a chapter page the list of the last one stays: the cycle may still be working through it.
  if (!FindChapterFrames()) return 0;

  // The list is replaced only by one that was read whole: a read that failed (a page gone busy
  // or lost half-way) says nothing about what is unfinished, and an empty list ends the run.
  // Two "right" frames also count as two matches; then there is no chapter list to read.
  if (!m_leftFrameDoc) return -1;
  dom::Ref<dom::ElementCollection> all;
  if (dom::Failed(m_leftFrameDoc->get_all(all)) || !all) return -1;
  long length = 0;
  if (dom::Failed(all->get_length(length))) return -1;

  std::vector<std::string> unfinished;
  for (long i = 0; i < length; ++i) {
    dom::Ref<dom::Dispatch> item;
    if (dom::Failed(all->item(i, item)) || !item) return -1;
    dom::Ref<dom::Element> element;
    if (dom::Failed(dom::Query(item.get(), element))) continue;  // not an element: nothing to read
    dom::WideText className;
    if (dom::Failed(element->get_className(className))) return -1;
    // The whole attribute is compared: an entry that carries a second class is not an
    // unfinished chapter in the platform's markup.
    if (CompareGbkNoCase(ToNarrow(className), site::UnfinishedChapterClass) != 0) continue;
    dom::WideText innerHtml;
    if (dom::Failed(element->get_innerHTML(innerHtml))) return -1;
    std::string url = ExtractUrlAttribute(ToNarrow(innerHtml));
    // Repeated addresses stay: the list follows the page entry by entry.
    if (!url.empty()) unfinished.push_back(std::move(url));
  }
  // A list with nothing unfinished must still be a chapter list: a maintenance notice or a login
  // form in the list frame's place lists nothing either, and would end the run as if it were done.
  if (unfinished.empty()) {
    const int entries = HoldsAChapterEntry(*all, length);
    if (entries < 0) return SCAN_UNDECIDED;
    if (entries == 0) return SCAN_NOT_A_LIST;
  }
  m_chapterUrls = std::move(unfinished);
  return m_chapterUrls.empty() ? 0 : 1;
}

int CQuillmoorDlg::HoldsAChapterEntry(dom::ElementCollection& all, long length) {
  // The markup of every element comes in one read; the outermost one that carries an entry
  // answers.
  for (long i = 0; i < length; ++i) {
    dom::Ref<dom::Dispatch> item;
    if (dom::Failed(all.item(i, item)) || !item) return -1;
    dom::Ref<dom::Element> element;
    if (dom::Failed(dom::Query(item.get(), element))) continue;
    dom::WideText innerHtml;
    if (dom::Failed(element->get_innerHTML(innerHtml))) return -1;
    if (FindGbk(ToNarrow(innerHtml), kUrlMarker) != std::string::npos) return 1;
  }
  return 0;
}

bool CQuillmoorDlg::ShowsLoginForm() {
  // The top page, or any of its frames, redirected there or served in place of the study page.
  dom::Ref<dom::Document> top = m_browser.GetDocument();
  if (!top) return false;
  auto showsForm = [](dom::Document& document) {
    dom::Ref<dom::Document3> byId;
    if (dom::Failed(dom::Query(&document, byId))) return false;
    return ElementById(*byId, login_form::kPasswordInput) &&
           (ElementById(*byId, login_form::kUserNameInput) ||
            ElementById(*byId, login_form::kIdCardInput));
  };
  if (showsForm(*top)) return true;
  dom::Ref<dom::FramesCollection> frames;
  long length = 0;
  if (dom::Failed(top->get_frames(frames)) || !frames || dom::Failed(frames->get_length(length)))
    return false;
  for (long i = 0; i < length; ++i) {
    dom::Ref<dom::Dispatch> item;
    dom::Ref<dom::Window> window;
    dom::Ref<dom::Document> document;
    if (dom::Succeeded(frames->item(i, item)) && item &&
        dom::Succeeded(dom::Query(item.get(), window)) &&
        dom::Succeeded(window->get_document(document)) && document && showsForm(*document))
      return true;
  }
  return false;
}

std::string CQuillmoorDlg::ExtractUrlAttribute(const std::string& html) {
  const std::size_t marker = FindGbk(html, kUrlMarker);
  if (marker == std::string::npos) return {};
  const std::size_t start = marker + kUrlMarker.size();
  const std::size_t end = FindGbkByte(html, '"', start);
  if (end == std::string::npos) return {};
  return html.substr(start, end - start);
}

int CQuillmoorDlg::CheckChapterCompletion() {
  // The progress text seen at the previous check, for the whole life of the process: a chapter
  // whose display has not moved between two checks has stalled, and a reload starts it again.
  static std::string s_lastProgressText;

  if (!FindChapterFrames()) return -1;
  dom::Ref<dom::Document3> content;
  if (dom::Failed(dom::Query(m_rightFrameDoc.get(), content))) return -1;

  dom::Ref<dom::Element> progress = ElementById(*content, site::ProgressElementId);
  if (!progress) return -1;
  std::string progressText;
  if (!ReadOuterText(*progress, progressText)) return -1;
  studyRun_.ProgressRead(GbkToUtf8(progressText));
  dom::Ref<dom::Element> required = ElementById(*content, site::RequiredElementId);
  if (!required) return -1;
  std::string requiredText;
  if (!ReadOuterText(*required, requiredText)) return -1;
  Diagnose("progress " + GbkToUtf8(progressText) + " against required " + GbkToUtf8(requiredText));

  // The level is compared first: a chapter at its level whose display no longer moves is done,
  // not stalled (a completion the site did not take leaves it there).
  // Textual, as the page shows them: "10" is below "9". A display still empty shows no level.
  if (progressText.empty() || CompareGbkNoCase(progressText, requiredText) < 0) {
    if (progressText == s_lastProgressText) {
      study_journal::StalledPageRefreshed(GbkToUtf8(progressText));
      m_browser.Refresh();
      studyRun_.PageRefreshed();
      return -1;
    }
    s_lastProgressText = progressText;
    return 0;
  }
  s_lastProgressText = progressText;

  dom::Ref<dom::Element> complete = ElementById(*content, site::CompleteElementId);
  if (!complete) return -1;
  // A click whose page took longer than the wait to answer went through all the same: pressing
  // it again would complete the chapter twice, while at worst the next scan lists it again.
  const dom::Status clicked = complete->click();
  if (dom::Failed(clicked) && clicked != dom::kUnanswered) return -1;
  if (clicked == dom::kUnanswered) Diagnose("the completion control's page answered late: pressed");
  const std::string chapter =
      GbkToUtf8(m_chapterUrls.empty() ? std::string() : m_chapterUrls.front());
  study_journal::ChapterCompleted(chapter, GbkToUtf8(progressText), GbkToUtf8(requiredText));
  studyRun_.ChapterCompleted(chapter);
  return 1;
}

}  // namespace larkwend
