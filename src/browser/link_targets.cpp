// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/link_targets.h"

#include "browser/conversions.h"
#include "platform/diagnostics.h"

namespace larkwend {

void OnNewWindow3(CWebBrowser2& browser, bool& cancel, const dom::WideText& url) {
  cancel = true;
  Diagnose("new window for " + url.value_or("") + ": opened in this browser instead");
  browser.Navigate(ToNarrow(url));
}

void OnDocumentComplete(CWebBrowser2& browser, dom::Dispatch* browserObject) {
  dom::Ref<dom::Dispatch> self = browser.GetControlUnknown();
  if (self && self.get() == browserObject) TargetLinksToSelf(browser);
}

void TargetLinksToSelf(CWebBrowser2& browser) {
  dom::Ref<dom::Document> document = browser.GetDocument();
  if (!document) return;
  dom::Ref<dom::ElementCollection> links;
  if (dom::Failed(document->get_links(links)) || !links) return;
  long length = 0;
  if (dom::Failed(links->get_length(length)) || length <= 0) return;
  const dom::WideText self = std::string("_self");
  for (long i = 0; i < length; ++i) {
    dom::Ref<dom::Dispatch> item;
    if (dom::Failed(links->item(i, item)) || !item) continue;
    dom::Ref<dom::AnchorElement> anchor;
    if (dom::Failed(dom::Query(item.get(), anchor))) continue;
    anchor->put_target(self);
  }
}

}  // namespace larkwend
