// SPDX-License-Identifier: GPL-3.0-or-later
// The document model on top of the bridge: documents, windows, collections and elements of the
// page the web view shows.
//
// An element collection is a snapshot of the page's elements taken when it is obtained; it comes
// with its length and every element's tag, so indexing it and asking an element for a face it
// does not have cost no round trip. The first read of a property (class name, inner or outer
// markup, outer text) of any of its elements brings that property of all of them in one go; the
// values are kept until the page may have changed (a navigation, or a call that acts on the page).
#pragma once

#include <memory>

#include "platform/dom.h"
#include "platform/gtk/web/bridge.h"

namespace larkwend::gtk {

// A new object that stands for a browser in the control's events (the control's own, or a
// frame's): it has no face of its own.
dom::Ref<dom::Dispatch> NewBrowserIdentity();

// The top-level document of the page now shown, or null when there is none.
dom::Status GetTopDocument(const std::shared_ptr<Bridge>& bridge, dom::Ref<dom::Document>& out);

// The top-level document whose handle `reply` (of an operation on the current page) carries.
dom::Status TopDocumentFrom(const std::shared_ptr<Bridge>& bridge, const Reply& reply,
                            dom::Ref<dom::Document>& out);

}  // namespace larkwend::gtk
