// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/gtk_desktop_session.h"

#include <gio/gunixfdlist.h>

#include <string>
#include <utility>

#include "platform/diagnostics.h"
#include "platform/gtk/common/gobject_ptr.h"
#include "platform/posix/unique_fd.h"

namespace larkwend::gtk {
namespace {

constexpr const char* kLogindName = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kLogindManager = "org.freedesktop.login1.Manager";

constexpr const char* kActivateAction = "activate";
constexpr const char* kActivateDetailed = "app.activate";

void ActivateApplication(GSimpleAction*, GVariant*, gpointer application) {
  g_application_activate(G_APPLICATION(application));
}

void SayOnce(bool& said, const std::string& text) {
  if (std::exchange(said, true)) return;
  Diagnose(text);
}

// logind's answer may come after the block is gone: the lock then closes as soon as it arrives.
struct SleepLock {
  posix::UniqueFd fd;
  std::shared_ptr<GtkDesktopSession::Missing> missing;
};

void SleepLockAnswered(GObject* source, GAsyncResult* result, gpointer data) {
  const std::unique_ptr<std::weak_ptr<SleepLock>> pending(
      static_cast<std::weak_ptr<SleepLock>*>(data));
  GUnixFDList* fdsOut = nullptr;
  GError* error = nullptr;
  GVariantPtr reply(g_dbus_connection_call_with_unix_fd_list_finish(G_DBUS_CONNECTION(source),
                                                                    &fdsOut, result, &error));
  const auto fds = GObjectPtr<GUnixFDList>::Adopt(fdsOut);
  const std::shared_ptr<SleepLock> lock = pending->lock();
  if (!reply) {
    if (lock && !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
      SayOnce(lock->missing->logindSaid,
              std::string("logind gave no sleep lock: ") + error->message);
    g_error_free(error);
    return;
  }
  if (!lock) return;  // the block is gone; the descriptor goes with the list
  gint32 index = -1;
  g_variant_get(reply.get(), "(h)", &index);
  lock->fd = posix::UniqueFd(fds ? g_unix_fd_list_get(fds.get(), index, nullptr) : -1);
  if (lock->fd.get() >= 0) Diagnose("logind holds off sleep while the lock is open");
}

class Block final : public DesktopSession::SuspendBlock {
 public:
  Block(GtkApplication* application, guint cookie, std::shared_ptr<SleepLock> sleepLock,
        GObjectPtr<GCancellable> cancellable)
      : application_(application),
        cookie_(cookie),
        sleepLock_(std::move(sleepLock)),
        cancellable_(std::move(cancellable)) {}

  ~Block() override {
    if (cookie_) gtk_application_uninhibit(application_, cookie_);
    // An answer still on its way finds the lock gone; an open lock closes with it.
    if (cancellable_) g_cancellable_cancel(cancellable_.get());
  }

 private:
  GtkApplication* application_;
  guint cookie_;
  std::shared_ptr<SleepLock> sleepLock_;
  GObjectPtr<GCancellable> cancellable_;
};

}  // namespace

GtkDesktopSession::GtkDesktopSession(GtkApplication* application) : application_(application) {
  if (!application_) return;
  // A notification's default action: without one, notification servers offer no click at all.
  activate_ = GObjectPtr<GSimpleAction>::Adopt(g_simple_action_new(kActivateAction, nullptr));
  g_signal_connect(activate_.get(), "activate", G_CALLBACK(ActivateApplication), application_);
  g_action_map_add_action(G_ACTION_MAP(application_), G_ACTION(activate_.get()));
}

GtkDesktopSession::~GtkDesktopSession() {
  // Only its own: another session on the same application may have put one in its place.
  GActionMap* actions = application_ ? G_ACTION_MAP(application_) : nullptr;
  if (actions && g_action_map_lookup_action(actions, kActivateAction) == G_ACTION(activate_.get()))
    g_action_map_remove_action(actions, kActivateAction);
}

std::unique_ptr<DesktopSession::SuspendBlock> GtkDesktopSession::BlockSuspend(
    const std::string& why) {
  guint cookie = 0;
  if (application_) {
    // Only suspending is held off: idle still blanks and locks the screen.
    cookie = gtk_application_inhibit(application_, nullptr, GTK_APPLICATION_INHIBIT_SUSPEND,
                                     why.c_str());
    if (!cookie)
      SayOnce(missing_->sessionManagerSaid,
              "no session manager to ask: the desktop may suspend during a study run");
  }

  auto sleepLock = std::make_shared<SleepLock>();
  sleepLock->missing = missing_;
  GObjectPtr<GCancellable> cancellable;
  GError* error = nullptr;
  const auto system =
      GObjectPtr<GDBusConnection>::Adopt(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error));
  if (!system) {
    SayOnce(missing_->logindSaid, std::string("no system bus to ask logind for a sleep lock: ") +
                                      (error ? error->message : "unknown error"));
    g_clear_error(&error);
  } else {
    cancellable = GObjectPtr<GCancellable>::Adopt(g_cancellable_new());
    const char* who = g_get_application_name();
    g_dbus_connection_call_with_unix_fd_list(
        system.get(), kLogindName, kLogindPath, kLogindManager, "Inhibit",
        g_variant_new("(ssss)", "sleep", who ? who : "Larkwend", why.c_str(), "block"),
        G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, cancellable.get(),
        SleepLockAnswered, std::make_unique<std::weak_ptr<SleepLock>>(sleepLock).release());
  }
  return std::make_unique<Block>(application_, cookie, std::move(sleepLock),
                                 std::move(cancellable));
}

void GtkDesktopSession::Notify(const std::string& id, const std::string& title,
                               const std::string& body) {
  GApplication* application = G_APPLICATION(application_);
  // Without a session bus GApplication has nowhere to send it.
  if (!application_ || !g_application_get_dbus_connection(application)) {
    SayOnce(missing_->notificationsSaid, "no session bus: desktop notifications are not shown");
    return;
  }
  const auto notification = GObjectPtr<GNotification>::Adopt(g_notification_new(title.c_str()));
  g_notification_set_body(notification.get(), body.c_str());
  const auto icon =
      GObjectPtr<GIcon>::Adopt(g_themed_icon_new(g_application_get_application_id(application)));
  g_notification_set_icon(notification.get(), icon.get());
  g_notification_set_default_action(notification.get(), kActivateDetailed);
  g_application_send_notification(application, id.c_str(), notification.get());
}

}  // namespace larkwend::gtk
