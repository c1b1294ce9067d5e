// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the desktop's web browser, so that no test ever opens a real one.
//
// It lives in a temporary XDG data directory: a desktop entry that the user's own mimeapps.list
// makes the default for http, https and text/html (the user's choice outranks the system's),
// and a script that writes down the arguments of each start. An "x-www-browser" on the front of
// PATH stands in for the plain browser. The variables must be set before GIO first looks for
// applications: construct it before anything else runs.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace larkwend::e2e {

class StandInBrowser {
 public:
  static constexpr const char* kDesktopId = "larkwend-stand-in.desktop";

  StandInBrowser() {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/larkwend-browser-XXXXXX";
    root_ = mkdtemp(pattern);
    fs::create_directories(root_ / "data/applications");
    fs::create_directories(root_ / "config");
    fs::create_directories(root_ / "bin");
    fs::create_directories(root_ / "calls");

    // A blank in the program's path, so its quoting is exercised on every path to it.
    const fs::path program = root_ / "bin/stand in browser";
    WriteScript(program, "browser");
    WriteScript(root_ / "bin/x-www-browser", "plain");

    std::ofstream(root_ / "data/applications" / kDesktopId)
        << "[Desktop Entry]\nType=Application\nName=Stand-in browser\nNoDisplay=true\n"
        << "Exec=\"" << program.string() << "\" %u\n"
        << "MimeType=text/html;x-scheme-handler/http;x-scheme-handler/https;\n";
    const std::string defaults = std::string("[Default Applications]\n") +
                                 "text/html=" + kDesktopId + "\n" +
                                 "x-scheme-handler/http=" + kDesktopId + "\n" +
                                 "x-scheme-handler/https=" + kDesktopId + "\n";
    std::ofstream(root_ / "config/mimeapps.list") << defaults;
    std::ofstream(root_ / "data/applications/mimeapps.list") << defaults;

    // The user's own directories come first, so the stand-in is the default over anything the
    // system installs; the system's directories stay, for the schemas and types GTK needs.
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    const char* path = std::getenv("PATH");
    setenv("PATH", ((root_ / "bin").string() + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);
  }
  ~StandInBrowser() { std::filesystem::remove_all(root_); }
  StandInBrowser(const StandInBrowser&) = delete;
  StandInBrowser& operator=(const StandInBrowser&) = delete;

  struct Call {
    std::string who;  // "browser" (the desktop entry) or "plain" (x-www-browser)
    std::vector<std::string> args;
  };

  // The starts recorded so far, in no particular order.
  std::vector<Call> Calls() const {
    std::vector<Call> calls;
    for (const auto& entry : std::filesystem::directory_iterator(root_ / "calls")) {
      if (entry.path().extension() != ".done") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      Call call;
      std::getline(in, call.who, '\0');
      for (std::string arg; std::getline(in, arg, '\0');) call.args.push_back(arg);
      calls.push_back(std::move(call));
    }
    return calls;
  }

  // Waits up to `timeoutMs` for `count` starts to be recorded.
  std::vector<Call> WaitForCalls(std::size_t count, int timeoutMs = 10000) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<Call> calls = Calls();
    while (calls.size() < count && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      calls = Calls();
    }
    return calls;
  }

  void ForgetCalls() const {
    std::filesystem::remove_all(root_ / "calls");
    std::filesystem::create_directories(root_ / "calls");
  }

  const std::filesystem::path& root() const { return root_; }

 private:
  void WriteScript(const std::filesystem::path& path, const char* who) {
    std::ofstream(path) << "#!/bin/sh\n"
                        << "out=\"" << (root_ / "calls").string() << "/$$\"\n"
                        << "{ printf '%s\\0' " << who << "; for a in \"$@\"; do "
                        << "printf '%s\\0' \"$a\"; done; } > \"$out\"\n"
                        << "mv \"$out\" \"$out.done\"\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  }

  std::filesystem::path root_;
};

}  // namespace larkwend::e2e
