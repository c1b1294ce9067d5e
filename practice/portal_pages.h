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

}  // namespace larkwend::practice
