// SPDX-License-Identifier: GPL-3.0-or-later
// What the engine's loads tell of themselves, read alike for the top-level page and its frames.
#pragma once

#include <webkit2/webkit2.h>

#include <string>

namespace larkwend::gtk {

// An address as a document is known by: a jump within the page leaves it the same document.
inline std::string WithoutFragment(const std::string& uri) {
  return uri.substr(0, uri.find('#'));
}

// The status the server answered a resource with; 0 before an answer, or for a load that had
// none (a local document).
inline int ResponseStatus(WebKitWebResource* resource) {
  WebKitURIResponse* response = resource ? webkit_web_resource_get_response(resource) : nullptr;
  return response ? static_cast<int>(webkit_uri_response_get_status_code(response)) : 0;
}

// A load given up, by the page, the program or a load that took its place: no failure. A frame
// still loading when the top page moves on ends "interrupted" rather than cancelled.
inline bool IsCancellation(const GError* error) {
  return error && (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
                   g_error_matches(error, WEBKIT_POLICY_ERROR,
                                   WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE));
}

}  // namespace larkwend::gtk
