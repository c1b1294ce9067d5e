// SPDX-License-Identifier: GPL-3.0-or-later
// The platform services the program's code is written against, as one bundle.
//
// The program gets the real bundle (GTK, WebKit, GIO, the desktop) from platform/gtk; the unit
// tests build one from the in-memory services under tests/support. Sockets and the settings file
// have no stand-ins: the tests use real loopback sockets and real files.
#pragma once

namespace larkwend {

class DialogSystem;
class Shell;
class FileAssociations;
class DesktopWindows;
class Clock;
class DesktopSession;

struct Platform {
  DialogSystem& dialogs;
  Shell& shell;
  FileAssociations& associations;
  DesktopWindows& desktop;
  Clock& clock;
  DesktopSession& session;
};

}  // namespace larkwend
