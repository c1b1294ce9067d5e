// SPDX-License-Identifier: GPL-3.0-or-later
// The portal: home page, login page, the login form's target, the personal centre and the
// download page the update service links to.
#pragma once

#include "host_router.h"
#include "site_context.h"

namespace larkwend::practice {

// The login form posts here; the path lies under the personal centre's, as the real portal's
// does, so the browser addresses the user pages while the login page is still shown.
inline constexpr const char* kLoginActionPath = "/kvt/user/login";

void AddPortalPages(HostRouter& router, SiteContext& context);

// The portal's login page as the study platform shows it in place of its own pages once it has
// signed the student out: the same form, posting to the portal and answered at the top. The
// platform cannot set the portal's cookie, so the form carries the portal session its code was
// issued to.
std::string SignedOutLoginPage(SiteContext& context);

}  // namespace larkwend::practice
