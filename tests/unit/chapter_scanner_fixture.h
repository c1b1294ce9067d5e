// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on the in-memory platform, for the chapter scanner's tests, and the chapter
// page of the study platform built the way the platform lays it out.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/quillmoor_dlg.h"
#include "browser/conversions.h"
#include "fake_platform.h"
#include "resources/site_profile.h"
#include "scoped_working_dir.h"

namespace larkwend::scanner_test {

inline const std::string kChapterPageUrl = "http://learn.qmstudy.localhost:18080/stu/Study_v2.aspx";
inline const std::string kListUrl = "http://learn.qmstudy.localhost:18080/stu/left.aspx?c=7";
inline const std::string kContentUrl = "http://learn.qmstudy.localhost:18080/stu/right.aspx?c=7";

// Tests that open the main window run in a scratch working directory: the window reads its
// credential file from there when it opens.
using ScratchDirectory = fixtures::ScopedWorkingDir;

struct ChapterPage {
  fake::PagePtr top, list, content;
  fake::ElementPtr progress, required, finish;
};

// A chapter page: the list frame (no entries yet) and the content frame with the three elements.
inline ChapterPage MakeChapterPage(const std::string& progress, const std::string& required) {
  ChapterPage page;
  page.top = fake::MakePage(kChapterPageUrl);
  page.list = page.top->Frame(kListUrl);
  page.content = page.top->Frame(kContentUrl);
  page.progress = page.content->WithId(std::string(site::ProgressElementId), progress);
  page.required = page.content->WithId(std::string(site::RequiredElementId), required);
  page.finish = page.content->Button(std::string(site::CompleteElementId));
  return page;
}

// An entry of the chapter list as the platform marks it up.
inline fake::ElementPtr AddEntry(const fake::PagePtr& list, const std::string& className,
                                 const std::string& url) {
  return list->Div(className, "<span class=\"t\" url=\"" + url + "\">chapter</span>");
}

class ScannerWindow {
 public:
  ScannerWindow() : window_(f_.dialogs.Open(dlg_.dialogTemplate(), dlg_)) {}

  CQuillmoorDlg& dlg() { return dlg_; }
  fake::Host& host() { return f_.host; }
  fake::Control& browser() { return window_.browser(); }

  // Shows `page` in the browser; what loading it cost is not the test's business.
  void Show(const fake::PagePtr& page) {
    browser().Load(page);
    host().ClearFailures();
    host().ClearLog();
  }

  // The address of a document the window keeps, or "(none)".
  std::string UrlOf(const dom::Ref<dom::Document>& document) {
    if (!document) return "(none)";
    dom::WideText url;
    document->get_URL(url);
    return ToNarrow(url);
  }

  // References beyond the two frame documents the window keeps on purpose.
  long StrayReferences() const {
    long kept = (dlg_.m_leftFrameDoc ? 1 : 0) + (dlg_.m_rightFrameDoc ? 1 : 0);
    return f_.host.LiveReferences() - kept;
  }

 private:
  ScratchDirectory directory_;  // before the window, which reads from it when it opens
  fake::PlatformFixture f_;
  CQuillmoorDlg dlg_{f_.platform};
  fake::DialogWindow& window_;
};

}  // namespace larkwend::scanner_test
