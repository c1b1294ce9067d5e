// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's D-Bus services for end-to-end tests: stand-ins (desktop_stand_ins) for the
// session manager and the notification server on the test's session bus (the one
// dbus-run-session gives the test process), and for logind on a private system bus. They
// record what they are asked; a test reads the record while pumping its own main loop, as the
// program under test runs in the same process.
//
// The record, one event a line; a value runs up to the next " key=", and the last field of a
// line is its free text (backslashes and line ends come escaped as \\, \n and \r):
//   ready
//   sm-inhibit cookie=1 flags=4 app=org.larkwend.Larkwend reason=<text>
//   sm-uninhibit cookie=1
//   sm-uninhibit-unknown cookie=7              (a cookie never handed out, or given back twice)
//   notify id=1 app=<name> actions=<keys offered, comma-separated, or -> urgency=<0-2 or ->
//          desktop-entry=<id or -> summary=<text> body=<text>
//   notify-close id=1
//   logind-inhibit n=1 what=sleep who=<who> mode=block why=<text>
//   logind-released n=1                        (every holder closed the descriptor)
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace larkwend::e2e {

struct DesktopServicesWanted {
  bool sessionManager = true;
  bool notifications = true;
  bool logind = true;
};

class DesktopServices {
 public:
  struct Event {
    std::string kind;
    std::map<std::string, std::string> fields;  // unescaped
  };

  // Starts the stand-ins and waits, pumping the main loop, until they own their names.
  explicit DesktopServices(DesktopServicesWanted wanted = {});
  // Ends them (SIGTERM, then waits) and waits until the bus has let go of their names.
  ~DesktopServices();
  DesktopServices(const DesktopServices&) = delete;
  DesktopServices& operator=(const DesktopServices&) = delete;

  // Whether every name was owned within a few seconds (a test failure was added otherwise).
  bool ready() const { return ready_; }

  // The record as it stands, complete lines only.
  std::vector<std::string> Lines() const;
  // Its events of `kind` ("notify", "sm-inhibit", ...), in order.
  std::vector<Event> Events(const std::string& kind) const;
  // Suspend inhibitions (flags with 4) taken from the session manager and not given back.
  int SuspendInhibitionsHeld() const;
  // logind inhibitors whose descriptor is still open somewhere.
  int SleepLocksHeld() const;
  // Clicks the last notification as a desktop does (ActionInvoked with "default").
  void ClickLastNotification() const;
  // Pumps the main loop until `condition` holds for the record; false after `timeoutMs`.
  bool WaitFor(const std::function<bool(const DesktopServices&)>& condition,
               int timeoutMs = 10000) const;

  static Event ParseLine(const std::string& line);

 private:
  std::vector<Event> AllEvents() const;
  bool Ended();

  DesktopServicesWanted wanted_;
  std::string record_;
  pid_t pid_ = -1;
  bool ready_ = false;
};

// Gives this test process a system bus of its own: a dbus-daemon started once per process, on
// first use, and left running until the process ends (GLib keeps its bus connections for the
// life of the process, so the address never changes). Sets DBUS_SYSTEM_BUS_ADDRESS; call it
// before anything in the process has used the system bus.
void UsePrivateSystemBus();

}  // namespace larkwend::e2e
