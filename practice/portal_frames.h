// SPDX-License-Identifier: GPL-3.0-or-later
// The study platform signed out with --sign-out-how portal-frames, as a platform whose login
// lives on the portal answers: the chapter page keeps its frames, both showing the portal's
// login page from the portal's host; every other page of the platform (the frames' own
// addresses too, when a frame is reloaded or a chapter clicked) redirects there, and the pages'
// own requests are refused with 401.
#pragma once

#include <httplib.h>

#include "site_context.h"

namespace larkwend::practice {

// Answers `request` of the signed-out platform. Always answers.
void AnswerInPortalFrames(SiteContext& context, const httplib::Request& request,
                          httplib::Response& response);

}  // namespace larkwend::practice
