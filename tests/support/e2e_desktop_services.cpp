// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e_desktop_services.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "e2e_harness.h"

namespace larkwend::e2e {
namespace {

// Every key the stand-ins write; those in kFreeText end their line.
constexpr std::array<const char*, 15> kKeys = {
    "cookie", "flags", "app",  "reason", "id",   "urgency", "desktop-entry", "actions", "summary",
    "body",   "n",     "what", "who",    "mode", "why"};
constexpr std::array<const char*, 3> kFreeText = {"reason", "body", "why"};

constexpr const char* kSessionManager = "org.gnome.SessionManager";
constexpr const char* kNotifications = "org.freedesktop.Notifications";
constexpr const char* kLogind = "org.freedesktop.login1";

// A bus with no services to start and every name free to own.
constexpr const char* kSystemBusConfig = R"(<busconfig>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

std::string Unescaped(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[++i];
      out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Where the next " key=" of a known key starts in `line`, from `from`; npos when none does.
std::size_t NextField(const std::string& line, std::size_t from) {
  std::size_t first = std::string::npos;
  for (const char* key : kKeys) {
    const std::size_t at = line.find(" " + std::string(key) + "=", from);
    if (at < first) first = at;
  }
  return first;
}

// Runs `args` (a program looked up on PATH) as a child that ends with this process, its
// descriptor `keep` (when not -1) passed on as descriptor 3. -1 when it cannot be started.
pid_t SpawnTied(const std::vector<std::string>& args, int keep = -1) {
  std::vector<gchar*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<gchar*>(arg.c_str()));
  argv.push_back(nullptr);
  const gint source[] = {keep};
  const gint target[] = {3};
  GPid pid = -1;
  GError* error = nullptr;
  const bool started = g_spawn_async_with_pipes_and_fds(
      nullptr, argv.data(), nullptr,
      static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
      // Should the test crash, the child goes with it.
      [](gpointer) { prctl(PR_SET_PDEATHSIG, SIGTERM); }, nullptr, -1, -1, -1,
      keep == -1 ? nullptr : source, keep == -1 ? nullptr : target, keep == -1 ? 0 : 1, &pid,
      nullptr, nullptr, nullptr, &error);
  if (!started) {
    ADD_FAILURE() << "cannot start " << args[0] << ": " << error->message;
    g_error_free(error);
    return -1;
  }
  return pid;
}

// The address of a new private system bus, or "" when none could be started.
std::string StartSystemBus() {
  gchar* config = nullptr;
  const gint configFd = g_file_open_tmp("larkwend-system-bus-XXXXXX.conf", &config, nullptr);
  if (configFd < 0) return "";
  const bool written = write(configFd, kSystemBusConfig, std::strlen(kSystemBusConfig)) ==
                       static_cast<ssize_t>(std::strlen(kSystemBusConfig));
  close(configFd);
  int ends[2];
  std::string address;
  if (written && pipe2(ends, O_CLOEXEC) == 0) {
    SpawnTied({"dbus-daemon", std::string("--config-file=") + config, "--nofork", "--nosyslog",
               "--print-address=3"},
              ends[1]);
    close(ends[1]);
    pollfd readable{ends[0], POLLIN, 0};
    char c = 0;
    // The daemon writes its address once it listens; it has read its configuration by then.
    while (poll(&readable, 1, 10000) == 1 && read(ends[0], &c, 1) == 1 && c != '\n') address += c;
    if (c != '\n') address.clear();
    close(ends[0]);
  }
  std::remove(config);
  g_free(config);
  return address;
}

bool NameOwned(GBusType bus, const char* name) {
  GDBusConnection* connection = g_bus_get_sync(bus, nullptr, nullptr);
  if (!connection) return false;
  GVariant* reply = g_dbus_connection_call_sync(
      connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "NameHasOwner", g_variant_new("(s)", name), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE,
      2000, nullptr, nullptr);
  gboolean owned = FALSE;
  if (reply) {
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
  }
  g_object_unref(connection);
  return owned;
}

}  // namespace

void UsePrivateSystemBus() {
  static const std::string address = StartSystemBus();
  if (address.empty()) {
    ADD_FAILURE() << "cannot start a private system bus (dbus-daemon)";
    return;
  }
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
}

DesktopServices::DesktopServices(DesktopServicesWanted wanted) : wanted_(wanted) {
  if ((wanted.sessionManager || wanted.notifications) && !std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
    ADD_FAILURE() << "DBUS_SESSION_BUS_ADDRESS is not set: run this test under "
                     "`dbus-run-session --` so that it has a session bus of its own";
    return;
  }
  if (wanted.logind) UsePrivateSystemBus();
  gchar* record = nullptr;
  const gint fd = g_file_open_tmp("larkwend-desktop-record-XXXXXX", &record, nullptr);
  if (fd < 0) {
    ADD_FAILURE() << "cannot make a record file for the desktop stand-ins";
    return;
  }
  close(fd);
  record_ = record;
  g_free(record);
  std::vector<std::string> args{LARKWEND_DESKTOP_STAND_INS_BIN, record_};
  if (wanted.sessionManager) args.emplace_back("--session-manager");
  if (wanted.notifications) args.emplace_back("--notifications");
  if (wanted.logind) args.emplace_back("--logind");
  pid_ = SpawnTied(args);
  const auto sawReady = [this] {
    for (const std::string& line : Lines())
      if (line == "ready") return true;
    return false;
  };
  ready_ = pid_ > 0 && PumpUntil([&] { return sawReady() || Ended(); }, 10000) && sawReady();
  if (!ready_) ADD_FAILURE() << "the desktop stand-ins did not own their names";
}

DesktopServices::~DesktopServices() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    for (int i = 0; i < 250 && !Ended(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    // The bus lets go of the names a little after the process has gone: the next test must not
    // meet them.
    const auto owned = [this] {
      return (wanted_.sessionManager && NameOwned(G_BUS_TYPE_SESSION, kSessionManager)) ||
             (wanted_.notifications && NameOwned(G_BUS_TYPE_SESSION, kNotifications)) ||
             (wanted_.logind && NameOwned(G_BUS_TYPE_SYSTEM, kLogind));
    };
    for (int i = 0; i < 100 && owned(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!record_.empty()) std::remove(record_.c_str());
}

bool DesktopServices::Ended() {
  if (pid_ <= 0) return true;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
  pid_ = 0;
  return true;
}

std::vector<std::string> DesktopServices::Lines() const {
  std::ifstream in(record_);
  std::stringstream whole;
  whole << in.rdbuf();
  std::vector<std::string> lines;
  std::string text = whole.str();
  // A line is only whole once its end has been written.
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

DesktopServices::Event DesktopServices::ParseLine(const std::string& line) {
  Event event;
  std::size_t at = line.find(' ');
  event.kind = line.substr(0, at);
  while (at != std::string::npos) {
    const std::size_t equals = line.find('=', at);
    if (equals == std::string::npos) break;
    const std::string key = line.substr(at + 1, equals - at - 1);
    bool freeText = false;
    for (const char* last : kFreeText) freeText = freeText || key == last;
    const std::size_t next = freeText ? std::string::npos : NextField(line, equals);
    event.fields[key] = Unescaped(line.substr(equals + 1, next - equals - 1));
    at = next;
  }
  return event;
}

std::vector<DesktopServices::Event> DesktopServices::AllEvents() const {
  std::vector<Event> events;
  for (const std::string& line : Lines()) events.push_back(ParseLine(line));
  return events;
}

std::vector<DesktopServices::Event> DesktopServices::Events(const std::string& kind) const {
  std::vector<Event> events;
  for (Event& event : AllEvents())
    if (event.kind == kind) events.push_back(std::move(event));
  return events;
}

int DesktopServices::SuspendInhibitionsHeld() const {
  std::set<std::string> held;
  for (Event& event : AllEvents()) {
    if (event.kind == "sm-inhibit" && (std::stoul(event.fields["flags"]) & 4) != 0)
      held.insert(event.fields["cookie"]);
    else if (event.kind == "sm-uninhibit")
      held.erase(event.fields["cookie"]);
  }
  return static_cast<int>(held.size());
}

void DesktopServices::ClickLastNotification() const {
  if (pid_ > 0) kill(pid_, SIGUSR1);
}

int DesktopServices::SleepLocksHeld() const {
  int held = 0;
  for (const Event& event : AllEvents())
    held += event.kind == "logind-inhibit" ? 1 : event.kind == "logind-released" ? -1 : 0;
  return held;
}

bool DesktopServices::WaitFor(const std::function<bool(const DesktopServices&)>& condition,
                              int timeoutMs) const {
  return PumpUntil([&] { return condition(*this); }, timeoutMs);
}

}  // namespace larkwend::e2e
