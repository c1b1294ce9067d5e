// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop session as GTK and the freedesktop services reach it:
//   - the suspend block is asked of GtkApplication (the session manager, or the portal inside a
//     sandbox) and, where the system runs logind, taken as a "sleep" lock in block mode over the
//     system bus, which holds as long as its descriptor stays open;
//   - notifications go through GApplication (the desktop's notification server); a click on one
//     activates the application (its action "activate"), which brings the program's windows to
//     the front.
// A service that is missing is said once in the diagnostics; the program goes on without it.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "platform/desktop_session.h"
#include "platform/gtk/common/gobject_ptr.h"

namespace larkwend::gtk {

class GtkDesktopSession final : public DesktopSession {
 public:
  // `application` may be null (the program does not run as one): nothing is asked then.
  explicit GtkDesktopSession(GtkApplication* application);
  ~GtkDesktopSession() override;
  GtkDesktopSession(const GtkDesktopSession&) = delete;
  GtkDesktopSession& operator=(const GtkDesktopSession&) = delete;

  std::unique_ptr<SuspendBlock> BlockSuspend(const std::string& reason) override;
  void Notify(const std::string& id, const std::string& title, const std::string& body) override;

  // What the desktop could not give, each said once.
  struct Missing {
    bool sessionManagerSaid = false;
    bool logindSaid = false;
    bool notificationsSaid = false;
  };

 private:
  GtkApplication* application_;
  GObjectPtr<GSimpleAction> activate_;  // the notifications' default action
  std::shared_ptr<Missing> missing_ = std::make_shared<Missing>();
};

}  // namespace larkwend::gtk
