// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's stand-ins, asked over D-Bus by this process as the program would ask them: what
// they record, and what the tests count from it. Runs under dbus-run-session.
#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "e2e_desktop_services.h"
#include "e2e_harness.h"
#include "e2e_program.h"
#include "platform/gtk/gtk_desktop_session.h"
#include "platform/text.h"

namespace e2e = larkwend::e2e;

namespace {

struct Reply {
  GVariant* value = nullptr;
  GError* error = nullptr;
  GUnixFDList* fds = nullptr;
  ~Reply() {
    if (value) g_variant_unref(value);
    if (error) g_error_free(error);
    if (fds) g_object_unref(fds);
  }
};

void Call(Reply& reply, GBusType bus, const char* name, const char* path, const char* interface,
          const char* method, GVariant* params) {
  GDBusConnection* connection = g_bus_get_sync(bus, nullptr, &reply.error);
  if (!connection) return;
  reply.value = g_dbus_connection_call_with_unix_fd_list_sync(
      connection, name, path, interface, method, params, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000,
      nullptr, &reply.fds, nullptr, &reply.error);
  g_object_unref(connection);
}

void CallSessionManager(Reply& reply, const char* method, GVariant* params) {
  Call(reply, G_BUS_TYPE_SESSION, "org.gnome.SessionManager", "/org/gnome/SessionManager",
       "org.gnome.SessionManager", method, params);
}

bool IsInhibited(guint32 flags) {
  Reply reply;
  CallSessionManager(reply, "IsInhibited", g_variant_new("(u)", flags));
  gboolean inhibited = FALSE;
  if (reply.value) g_variant_get(reply.value, "(b)", &inhibited);
  return inhibited;
}

}  // namespace

// Nothing on either bus answers for the desktop's services until a test starts the stand-ins:
// the buses start nothing on their own.
TEST(DesktopServices, NoServiceAnswersUntilStarted) {
  e2e::UsePrivateSystemBus();
  Reply sessionManager;
  CallSessionManager(sessionManager, "IsInhibited", g_variant_new("(u)", 4u));
  EXPECT_TRUE(g_error_matches(sessionManager.error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN))
      << (sessionManager.error ? sessionManager.error->message : "it answered");
  Reply logind;
  Call(logind, G_BUS_TYPE_SYSTEM, "org.freedesktop.login1", "/org/freedesktop/login1",
       "org.freedesktop.login1.Manager", "Inhibit",
       g_variant_new("(ssss)", "sleep", "Larkwend", "test", "block"));
  EXPECT_TRUE(g_error_matches(logind.error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN))
      << (logind.error ? logind.error->message : "it answered");
}

TEST(DesktopServices, SuspendInhibitionsAreCountedUntilGivenBack) {
  e2e::DesktopServices services({.sessionManager = true, .notifications = false, .logind = false});
  ASSERT_TRUE(services.ready());
  Reply suspend;
  CallSessionManager(suspend, "Inhibit",
                     g_variant_new("(susu)", "org.larkwend.Larkwend", 0u, "正在学习 a=b", 4u));
  ASSERT_TRUE(suspend.value) << suspend.error->message;
  Reply idle;  // not a suspend inhibition
  CallSessionManager(idle, "Inhibit", g_variant_new("(susu)", "other", 0u, "idle", 8u));
  EXPECT_EQ(services.SuspendInhibitionsHeld(), 1);
  EXPECT_TRUE(IsInhibited(4));
  const auto inhibits = services.Events("sm-inhibit");
  ASSERT_EQ(inhibits.size(), 2u);
  EXPECT_EQ(inhibits[0].fields.at("cookie"), "1");
  EXPECT_EQ(inhibits[0].fields.at("app"), "org.larkwend.Larkwend");
  EXPECT_EQ(inhibits[0].fields.at("reason"), "正在学习 a=b");

  Reply back;
  CallSessionManager(back, "Uninhibit", g_variant_new("(u)", 1u));
  EXPECT_EQ(services.SuspendInhibitionsHeld(), 0);
  EXPECT_FALSE(IsInhibited(4));
  // Given back twice: refused, and no release is counted for it.
  Reply again;
  CallSessionManager(again, "Uninhibit", g_variant_new("(u)", 1u));
  EXPECT_TRUE(again.error);
  EXPECT_EQ(services.Events("sm-uninhibit").size(), 1u);
  EXPECT_EQ(services.Events("sm-uninhibit-unknown").size(), 1u);

  // A second copy cannot have the name while this one holds it, and says so by its status.
  gchar* argv[] = {const_cast<gchar*>(LARKWEND_DESKTOP_STAND_INS_BIN),
                   const_cast<gchar*>("/dev/null"), const_cast<gchar*>("--session-manager"),
                   nullptr};
  gint status = 0;
  ASSERT_TRUE(g_spawn_sync(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr,
                           nullptr, &status, nullptr));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}

// Summary and body come back as sent, line ends and look-alike fields included.
TEST(DesktopServices, NotificationIsRecordedAsSent) {
  e2e::DesktopServices services({.sessionManager = false, .notifications = true, .logind = false});
  ASSERT_TRUE(services.ready());
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(2));
  g_variant_builder_add(&hints, "{sv}", "desktop-entry",
                        g_variant_new_string("org.larkwend.Larkwend"));
  const gchar* noActions[] = {nullptr};
  Reply notify;
  Call(notify, G_BUS_TYPE_SESSION, "org.freedesktop.Notifications",
       "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "Notify",
       g_variant_new("(susss^asa{sv}i)", "Larkwend", 0u, "", "学习结束\n全部完成",
                     "body=x summary=y\\n", noActions, &hints, -1));
  ASSERT_TRUE(notify.value) << notify.error->message;
  const auto events = services.Events("notify");
  ASSERT_EQ(events.size(), 1u);
  const auto& fields = events[0].fields;
  EXPECT_EQ(fields.at("id"), "1");
  EXPECT_EQ(fields.at("app"), "Larkwend");
  EXPECT_EQ(fields.at("urgency"), "2");
  EXPECT_EQ(fields.at("desktop-entry"), "org.larkwend.Larkwend");
  EXPECT_EQ(fields.at("summary"), "学习结束\n全部完成");
  EXPECT_EQ(fields.at("body"), "body=x summary=y\\n");
}

// The lock lasts as long as its descriptor is open, as logind's does.
TEST(DesktopServices, SleepLockEndsWhenItsDescriptorCloses) {
  e2e::DesktopServices services({.sessionManager = false, .notifications = false, .logind = true});
  ASSERT_TRUE(services.ready());
  Reply inhibit;
  Call(inhibit, G_BUS_TYPE_SYSTEM, "org.freedesktop.login1", "/org/freedesktop/login1",
       "org.freedesktop.login1.Manager", "Inhibit",
       g_variant_new("(ssss)", "sleep", "Larkwend", "正在学习", "block"));
  ASSERT_TRUE(inhibit.value) << inhibit.error->message;
  ASSERT_TRUE(inhibit.fds);
  ASSERT_EQ(g_unix_fd_list_get_length(inhibit.fds), 1);
  const int lock = g_unix_fd_list_get(inhibit.fds, 0, nullptr);  // a copy of our own
  EXPECT_EQ(services.SleepLocksHeld(), 1);
  const auto events = services.Events("logind-inhibit");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].fields.at("what"), "sleep");
  EXPECT_EQ(events[0].fields.at("who"), "Larkwend");
  EXPECT_EQ(events[0].fields.at("mode"), "block");
  EXPECT_EQ(events[0].fields.at("why"), "正在学习");

  // Both copies must go before the lock does.
  g_object_unref(inhibit.fds);
  inhibit.fds = nullptr;
  e2e::PumpFor(200);
  EXPECT_EQ(services.SleepLocksHeld(), 1);
  close(lock);
  EXPECT_TRUE(services.WaitFor([](const auto& s) { return s.SleepLocksHeld() == 0; }));
  EXPECT_EQ(services.Events("logind-released").size(), 1u);
}

// A click on one of the program's notifications brings its main window back, and starts nothing
// anew: the program is activated while it runs.
TEST(DesktopServices, AClickOnANotificationBringsTheMainWindowBack) {
  e2e::DesktopServices services({.sessionManager = false, .notifications = true, .logind = false});
  ASSERT_TRUE(services.ready());
  e2e::ProgramOptions options;
  int starts = 0;
  options.updateCheck = [&starts](larkwend::Platform&, std::string&) { return ++starts, 1; };
  e2e::RunProgram(options, [&](e2e::Program& program) {
    larkwend::gtk::GtkDesktopSession session(GTK_APPLICATION(g_application_get_default()));
    session.Notify("run-ended", larkwend::Gbk("自动学习已结束"), larkwend::Gbk("全部完成"));
    ASSERT_TRUE(services.WaitFor([](const auto& s) { return !s.Events("notify").empty(); }));
    // Without a default action a notification server offers no click.
    EXPECT_EQ(services.Events("notify")[0].fields.at("actions"), "default");

    GtkWidget* window = GTK_WIDGET(program.MainWindow());
    gtk_widget_hide(window);
    services.ClickLastNotification();
    EXPECT_TRUE(e2e::PumpUntil([window] { return gtk_widget_get_visible(window); }, 10000));
  });
  EXPECT_EQ(starts, 1);
}
