// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping every page inside the embedded browser.
//
// A link's own target is overwritten with "_self" once its top-level page has loaded, and
// whatever still asks for a new window is cancelled and loaded in place.
#pragma once

#include "browser/web_browser2.h"
#include "platform/dom.h"

namespace larkwend {

// NewWindow3: cancel the new window and load its URL in the same control.
void OnNewWindow3(CWebBrowser2& browser, bool& cancel, const dom::WideText& url);

// DocumentComplete: acts only for the top-level document, recognised by the control's identity.
void OnDocumentComplete(CWebBrowser2& browser, dom::Dispatch* browserObject);

// Every anchor of the top-level document gets the target "_self"; area elements keep theirs.
void TargetLinksToSelf(CWebBrowser2& browser);

}  // namespace larkwend
