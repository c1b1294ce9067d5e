// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-ins for the desktop's D-Bus services, for the end-to-end tests: a session manager and a
// notification server on the session bus, logind on the system bus. Each records what it is
// asked, one line per event, appended and flushed at once so that a test reads it while the
// stand-ins run. "ready" is written once every name asked for is owned; a name that cannot be
// had ends the program with status 1. SIGTERM ends it cleanly. SIGUSR1 clicks the last
// notification: the server says its default action was invoked, as a desktop does on a click.
//   desktop_stand_ins RECORD-FILE [--session-manager] [--notifications] [--logind]
#include <fcntl.h>
#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <glib-unix.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr const char* kSessionManagerXml = R"(<node>
  <interface name="org.gnome.SessionManager">
    <method name="Inhibit">
      <arg type="s" name="app_id" direction="in"/>
      <arg type="u" name="toplevel_xid" direction="in"/>
      <arg type="s" name="reason" direction="in"/>
      <arg type="u" name="flags" direction="in"/>
      <arg type="u" name="cookie" direction="out"/>
    </method>
    <method name="Uninhibit"><arg type="u" name="cookie" direction="in"/></method>
    <method name="IsInhibited">
      <arg type="u" name="flags" direction="in"/>
      <arg type="b" name="is_inhibited" direction="out"/>
    </method>
  </interface></node>)";

constexpr const char* kNotificationsXml = R"(<node>
  <interface name="org.freedesktop.Notifications">
    <method name="Notify">
      <arg type="s" name="app_name" direction="in"/>
      <arg type="u" name="replaces_id" direction="in"/>
      <arg type="s" name="app_icon" direction="in"/>
      <arg type="s" name="summary" direction="in"/>
      <arg type="s" name="body" direction="in"/>
      <arg type="as" name="actions" direction="in"/>
      <arg type="a{sv}" name="hints" direction="in"/>
      <arg type="i" name="expire_timeout" direction="in"/>
      <arg type="u" name="id" direction="out"/>
    </method>
    <method name="CloseNotification"><arg type="u" name="id" direction="in"/></method>
    <method name="GetCapabilities"><arg type="as" name="capabilities" direction="out"/></method>
    <method name="GetServerInformation">
      <arg type="s" name="name" direction="out"/>
      <arg type="s" name="vendor" direction="out"/>
      <arg type="s" name="version" direction="out"/>
      <arg type="s" name="spec_version" direction="out"/>
    </method>
    <signal name="NotificationClosed">
      <arg type="u" name="id"/><arg type="u" name="reason"/>
    </signal>
    <signal name="ActionInvoked">
      <arg type="u" name="id"/><arg type="s" name="action_key"/>
    </signal>
  </interface></node>)";

constexpr const char* kLogindXml = R"(<node>
  <interface name="org.freedesktop.login1.Manager">
    <method name="Inhibit">
      <arg type="s" name="what" direction="in"/>
      <arg type="s" name="who" direction="in"/>
      <arg type="s" name="why" direction="in"/>
      <arg type="s" name="mode" direction="in"/>
      <arg type="h" name="fd" direction="out"/>
    </method>
  </interface></node>)";

// A value as one piece of a record line: backslashes and line ends escaped, so an event stays
// one line and the test's reading gives back the text as it was sent.
std::string Escaped(const char* text) {
  std::string out;
  for (const char* c = text; *c; ++c) {
    if (*c == '\\')
      out += "\\\\";
    else if (*c == '\n')
      out += "\\n";
    else if (*c == '\r')
      out += "\\r";
    else
      out += *c;
  }
  return out;
}

struct StandIns {
  std::unique_ptr<FILE, int (*)(FILE*)> record{nullptr, &std::fclose};
  GMainLoop* loop = nullptr;
  int status = 0;
  int namesWanted = 0;
  int namesOwned = 0;
  guint32 nextCookie = 1;
  std::map<guint32, guint32> inhibitions;  // cookie -> flags
  guint32 nextNotification = 1;
  guint32 lastNotification = 0;
  GDBusConnection* notificationsBus = nullptr;  // where a click is signalled
  int nextLock = 1;
  std::map<int, int> locks;  // read end of a lock's pipe -> its number

  void Write(const std::string& line) {
    std::fputs((line + "\n").c_str(), record.get());
    std::fflush(record.get());
  }
  void Fail(const std::string& why) {
    g_printerr("desktop_stand_ins: %s\n", why.c_str());
    status = 1;
    g_main_loop_quit(loop);
  }
};

void SessionManagerCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                        const gchar* method, GVariant* params, GDBusMethodInvocation* invocation,
                        gpointer data) {
  auto& s = *static_cast<StandIns*>(data);
  if (std::strcmp(method, "Inhibit") == 0) {
    const gchar* app = nullptr;
    const gchar* reason = nullptr;
    guint32 xid = 0;
    guint32 flags = 0;
    g_variant_get(params, "(&su&su)", &app, &xid, &reason, &flags);
    const guint32 cookie = s.nextCookie++;
    s.inhibitions[cookie] = flags;
    s.Write("sm-inhibit cookie=" + std::to_string(cookie) + " flags=" + std::to_string(flags) +
            " app=" + Escaped(app) + " reason=" + Escaped(reason));
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", cookie));
  } else if (std::strcmp(method, "Uninhibit") == 0) {
    guint32 cookie = 0;
    g_variant_get(params, "(u)", &cookie);
    // A cookie given back twice, or never handed out, is a fault of the caller's: recorded
    // apart, so that it never counts as a release.
    if (s.inhibitions.erase(cookie) == 0) {
      s.Write("sm-uninhibit-unknown cookie=" + std::to_string(cookie));
      g_dbus_method_invocation_return_dbus_error(
          invocation, "org.gnome.SessionManager.GeneralError", "no inhibition has this cookie");
      return;
    }
    s.Write("sm-uninhibit cookie=" + std::to_string(cookie));
    g_dbus_method_invocation_return_value(invocation, nullptr);
  } else {  // IsInhibited
    guint32 flags = 0;
    g_variant_get(params, "(u)", &flags);
    bool inhibited = false;
    for (const auto& [cookie, held] : s.inhibitions) inhibited = inhibited || (held & flags) != 0;
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", inhibited));
  }
}

void NotificationsCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                       const gchar* method, GVariant* params, GDBusMethodInvocation* invocation,
                       gpointer data) {
  auto& s = *static_cast<StandIns*>(data);
  if (std::strcmp(method, "Notify") == 0) {
    const gchar* app = nullptr;
    const gchar* summary = nullptr;
    const gchar* body = nullptr;
    guint32 replaces = 0;
    g_variant_get_child(params, 0, "&s", &app);
    g_variant_get_child(params, 1, "u", &replaces);
    g_variant_get_child(params, 3, "&s", &summary);
    g_variant_get_child(params, 4, "&s", &body);
    GVariant* hints = g_variant_get_child_value(params, 6);
    guchar urgency = 0;
    const bool hasUrgency = g_variant_lookup(hints, "urgency", "y", &urgency);
    const gchar* entry = nullptr;
    const bool hasEntry = g_variant_lookup(hints, "desktop-entry", "&s", &entry);
    const guint32 id = replaces != 0 ? replaces : s.nextNotification++;
    s.lastNotification = id;
    // The action keys offered (keys and labels alternate); "default" is a click on the
    // notification.
    std::string actions;
    const gchar** offered = nullptr;
    g_variant_get_child(params, 5, "^a&s", &offered);
    for (gsize i = 0; offered[i] && offered[i + 1]; i += 2)
      actions += (actions.empty() ? "" : ",") + Escaped(offered[i]);
    g_free(offered);
    s.Write("notify id=" + std::to_string(id) + " app=" + Escaped(app) +
            " actions=" + (actions.empty() ? "-" : actions) +
            " urgency=" + (hasUrgency ? std::to_string(urgency) : "-") +
            " desktop-entry=" + (hasEntry ? Escaped(entry) : "-") + " summary=" + Escaped(summary) +
            " body=" + Escaped(body));
    g_variant_unref(hints);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", id));
  } else if (std::strcmp(method, "CloseNotification") == 0) {
    guint32 id = 0;
    g_variant_get(params, "(u)", &id);
    s.Write("notify-close id=" + std::to_string(id));
    g_dbus_method_invocation_return_value(invocation, nullptr);
  } else if (std::strcmp(method, "GetCapabilities") == 0) {
    const gchar* capabilities[] = {"body", nullptr};
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(^as)", capabilities));
  } else {  // GetServerInformation
    g_dbus_method_invocation_return_value(
        invocation, g_variant_new("(ssss)", "desktop_stand_ins", "Larkwend", "1", "1.2"));
  }
}

// The end of a sleep lock: every holder of the pipe's write end has closed it.
gboolean LockEnded(gint fd, GIOCondition condition, gpointer data) {
  auto& s = *static_cast<StandIns*>(data);
  if (condition & G_IO_IN) {
    char buffer[64];
    if (read(fd, buffer, sizeof buffer) > 0) return G_SOURCE_CONTINUE;  // nobody should write
  }
  s.Write("logind-released n=" + std::to_string(s.locks[fd]));
  s.locks.erase(fd);
  close(fd);
  return G_SOURCE_REMOVE;
}

void LogindCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                GVariant* params, GDBusMethodInvocation* invocation, gpointer data) {
  auto& s = *static_cast<StandIns*>(data);
  const gchar* what = nullptr;
  const gchar* who = nullptr;
  const gchar* why = nullptr;
  const gchar* mode = nullptr;
  g_variant_get(params, "(&s&s&s&s)", &what, &who, &why, &mode);
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) {
    g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.Failed",
                                               "no pipe");
    return;
  }
  GUnixFDList* handed = g_unix_fd_list_new();
  g_unix_fd_list_append(handed, ends[1], nullptr);  // the list holds a copy of its own
  close(ends[1]);
  const int n = s.nextLock++;
  s.locks[ends[0]] = n;
  g_unix_fd_add(ends[0], static_cast<GIOCondition>(G_IO_HUP | G_IO_ERR | G_IO_IN), LockEnded, &s);
  s.Write("logind-inhibit n=" + std::to_string(n) + " what=" + Escaped(what) +
          " who=" + Escaped(who) + " mode=" + Escaped(mode) + " why=" + Escaped(why));
  g_dbus_method_invocation_return_value_with_unix_fd_list(invocation, g_variant_new("(h)", 0),
                                                          handed);
  g_object_unref(handed);
}

struct Service {
  GBusType bus;
  const char* name;
  const char* path;
  const char* xml;
  GDBusInterfaceMethodCallFunc call;
};

constexpr Service kSessionManager{G_BUS_TYPE_SESSION, "org.gnome.SessionManager",
                                  "/org/gnome/SessionManager", kSessionManagerXml,
                                  SessionManagerCall};
constexpr Service kNotifications{G_BUS_TYPE_SESSION, "org.freedesktop.Notifications",
                                 "/org/freedesktop/Notifications", kNotificationsXml,
                                 NotificationsCall};
constexpr Service kLogind{G_BUS_TYPE_SYSTEM, "org.freedesktop.login1", "/org/freedesktop/login1",
                          kLogindXml, LogindCall};

// One name being owned: the service and its interface, kept for as long as the program runs.
struct Owned {
  StandIns* standIns;
  const Service* service;
  GDBusNodeInfo* node;
  GDBusInterfaceVTable vtable{};
};

void BusAcquired(GDBusConnection* connection, const gchar*, gpointer data) {
  auto& owned = *static_cast<Owned*>(data);
  if (owned.service == &kNotifications) owned.standIns->notificationsBus = connection;
  GError* error = nullptr;
  if (g_dbus_connection_register_object(connection, owned.service->path, owned.node->interfaces[0],
                                        &owned.vtable, owned.standIns, nullptr, &error) == 0) {
    owned.standIns->Fail(std::string("cannot serve ") + owned.service->path + ": " +
                         error->message);
    g_error_free(error);
  }
}

void NameAcquired(GDBusConnection*, const gchar*, gpointer data) {
  auto& s = *static_cast<Owned*>(data)->standIns;
  if (++s.namesOwned == s.namesWanted) s.Write("ready");
}

void NameLost(GDBusConnection*, const gchar* name, gpointer data) {
  static_cast<Owned*>(data)->standIns->Fail(std::string("cannot own ") + name);
}

gboolean ClickLastNotification(gpointer data) {
  auto& s = *static_cast<StandIns*>(data);
  if (s.notificationsBus && s.lastNotification != 0)
    g_dbus_connection_emit_signal(s.notificationsBus, nullptr, kNotifications.path,
                                  kNotifications.name, "ActionInvoked",
                                  g_variant_new("(us)", s.lastNotification, "default"), nullptr);
  return G_SOURCE_CONTINUE;
}

gboolean Quit(gpointer data) {
  g_main_loop_quit(static_cast<StandIns*>(data)->loop);
  return G_SOURCE_CONTINUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    g_printerr("usage: %s RECORD-FILE [--session-manager] [--notifications] [--logind]\n", argv[0]);
    return 2;
  }
  StandIns s;
  std::vector<Owned> owned;
  owned.reserve(3);  // the bus callbacks keep pointers into it
  for (int i = 2; i < argc; ++i) {
    const std::string flag = argv[i];
    const Service* service = flag == "--session-manager" ? &kSessionManager
                             : flag == "--notifications" ? &kNotifications
                             : flag == "--logind"        ? &kLogind
                                                         : nullptr;
    if (!service) {
      g_printerr("desktop_stand_ins: unknown option %s\n", argv[i]);
      return 2;
    }
    owned.push_back({&s, service, g_dbus_node_info_new_for_xml(service->xml, nullptr), {}});
    owned.back().vtable.method_call = service->call;
  }
  s.record.reset(std::fopen(argv[1], "a"));
  if (!s.record) {
    g_printerr("desktop_stand_ins: cannot write %s\n", argv[1]);
    return 2;
  }
  s.loop = g_main_loop_new(nullptr, FALSE);
  s.namesWanted = static_cast<int>(owned.size());
  std::vector<guint> owners;
  for (Owned& o : owned) {
    owners.push_back(g_bus_own_name(o.service->bus, o.service->name,
                                    G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE, BusAcquired, NameAcquired,
                                    NameLost, &o, nullptr));
  }
  g_unix_signal_add(SIGTERM, Quit, &s);
  g_unix_signal_add(SIGINT, Quit, &s);
  g_unix_signal_add(SIGUSR1, ClickLastNotification, &s);
  g_main_loop_run(s.loop);
  for (guint owner : owners) g_bus_unown_name(owner);
  for (Owned& o : owned) g_dbus_node_info_unref(o.node);
  for (const auto& [fd, n] : s.locks) close(fd);
  g_main_loop_unref(s.loop);
  return s.status;
}
