// SPDX-License-Identifier: GPL-3.0-or-later
// What the page handlers of both sites share: the options, the addresses, the stored state and
// the port the sites are reached on.
#pragma once

#include <string>

#include "held_requests.h"
#include "options.h"
#include "outage.h"
#include "portal_state.h"
#include "quirks.h"
#include "sign_out.h"
#include "site_addresses.h"
#include "study_session.h"
#include "study_state.h"

namespace larkwend::practice {

inline constexpr const char* kPortalCookie = "QMEDU_SID";
inline constexpr const char* kStudyCookie = "QMSTUDY_SID";

struct SiteContext {
  const PracticeOptions& options;
  const SiteAddresses& addresses;
  PortalState& portal;
  StudyState& study;
  Outage& outage;
  SignOut& signOut;
  HeldRequests& held;
  StudySession& session;
  int httpPort = 0;  // set once the port is bound, before the first request
  int tlsPort = 0;   // set likewise when the study platform is also served over TLS
  Quirks quirks{};

  // "http://host:port", for links from one site to the other.
  std::string PortalOrigin() const {
    return "http://" + addresses.portalHost + ":" + std::to_string(httpPort);
  }
  // Over TLS when the site serves it so: a student is led there as by a site that moved.
  std::string StudyOrigin() const {
    return tlsPort ? "https://" + addresses.studyHost + ":" + std::to_string(tlsPort)
                   : "http://" + addresses.studyHost + ":" + std::to_string(httpPort);
  }
};

}  // namespace larkwend::practice
