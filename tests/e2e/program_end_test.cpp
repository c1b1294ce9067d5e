// SPDX-License-Identifier: GPL-3.0-or-later
// The real program as a process of its own, ended from outside: SIGTERM in the middle of a study
// run ends it as closing its window does, and a run killed outright is noted in the journal at
// the next start, while a copy still running is not.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e_practice_site.h"
#include "scoped_working_dir.h"

extern char** environ;

namespace larkwend {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A user's folders for the program's runs: `work` is where it runs (its record.ini), `state`
// holds its journal, and the rest of its data stays inside too.
class Home {
 public:
  Home() {
    for (const char* folder : {"work", "state", "data", "config", "cache"})
      fs::create_directories(dir_.path() / folder);
  }
  fs::path work() const { return dir_.path() / "work"; }
  fs::path journal() const { return dir_.path() / "state/larkwend/journal.log"; }
  fs::path runs() const { return dir_.path() / "state/larkwend/runs"; }
  fs::path log() const { return dir_.path() / "program.log"; }
  const fs::path& root() const { return dir_.path(); }

  // The journal's events, without their date and time, which every line must start with.
  std::vector<std::string> Events() const {
    std::ifstream in(journal());
    std::vector<std::string> events;
    for (std::string line; std::getline(in, line);) {
      EXPECT_TRUE(line.size() > 20 && line[10] == 'T' && line[19] == ' ') << line;
      events.push_back(line.size() > 20 ? line.substr(20) : line);
    }
    return events;
  }
  int Count(const std::string& prefix) const {
    const std::vector<std::string> events = Events();
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const std::string& e) {
      return e.rfind(prefix, 0) == 0;
    }));
  }
  std::string Dump() const {
    std::ostringstream text;
    text << "journal:\n";
    for (const std::string& event : Events()) text << "  " << event << "\n";
    text << "program output:\n" << std::ifstream(log()).rdbuf();
    return text.str();
  }

 private:
  fixtures::ScopedWorkingDir dir_;
};

// The built program, started as a user starts it, in `home`. Killed should the test end first.
class ProgramProcess {
 public:
  explicit ProgramProcess(const Home& home) {
    std::vector<std::string> variables;
    for (char** v = environ; *v; ++v) {
      const std::string variable = *v;
      if (variable.rfind("HOME=", 0) != 0 && variable.rfind("XDG_", 0) != 0)
        variables.push_back(variable);
    }
    const std::string root = home.root().string();
    const std::pair<const char*, const char*> kFolders[] = {{"HOME", ""},
                                                            {"XDG_STATE_HOME", "/state"},
                                                            {"XDG_DATA_HOME", "/data"},
                                                            {"XDG_CONFIG_HOME", "/config"},
                                                            {"XDG_CACHE_HOME", "/cache"}};
    for (const auto& [name, folder] : kFolders)
      variables.push_back(std::string(name) + "=" + root + folder);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    const std::string work = home.work().string();
    const std::string log = home.log().string();
    char* argv[] = {const_cast<char*>(LARKWEND_BIN), nullptr};
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (::getppid() != parent) ::_exit(127);
      const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
      if (out >= 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
      }
      if (::chdir(work.c_str()) == 0) ::execve(argv[0], argv, envp.data());
      ::_exit(127);
    }
  }
  ~ProgramProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  pid_t pid() const { return pid_; }
  void Signal(int signal) const {
    if (pid_ > 0) ::kill(pid_, signal);
  }
  // Its wait status once it has ended, or nothing when it has not within `seconds`.
  std::optional<int> WaitForEnd(int seconds) {
    if (pid_ <= 0) return std::nullopt;
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    for (int status = 0; Clock::now() < deadline;
         std::this_thread::sleep_for(std::chrono::milliseconds(50))) {
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return status;
      }
    }
    return std::nullopt;
  }

 private:
  pid_t pid_ = -1;
};

bool WaitUntil(const std::function<bool()>& done, int seconds) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  while (Clock::now() < deadline) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return done();
}

bool EndedOnItsOwn(const std::optional<int>& status) {
  return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

std::string Read(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

TEST(ProgramEnd, SigtermDuringAStudyRunEndsItAsClosingTheWindowDoes) {
  // The pages act as a student: the login fills itself in and the course's chapter page follows,
  // where the program arms its run and opens the first chapter.
  e2e::PracticeSite site({"--auto-student", "--courses", "1"});
  ASSERT_TRUE(site.Ready()) << site.Error();
  Home home;
  ProgramProcess program(home);
  ASSERT_TRUE(WaitUntil([&] { return home.Count("打开章节：") > 0; }, 90)) << home.Dump();
  const std::string record = Read(home.work() / "record.ini");

  program.Signal(SIGTERM);
  EXPECT_TRUE(EndedOnItsOwn(program.WaitForEnd(60))) << home.Dump();
  const std::vector<std::string> events = home.Events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), "程序启动，版本 3.1");
  EXPECT_EQ(events.back(), "程序结束") << home.Dump();
  EXPECT_EQ(home.Count("程序结束"), 1);
  // The login it captured, whole, and nothing else left in its folder.
  EXPECT_NE(record.find("acount=Student01"), std::string::npos) << record;
  EXPECT_NE(record.find("password=pass123"), std::string::npos) << record;
  EXPECT_EQ(Read(home.work() / "record.ini"), record);
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(home.work()))
    files.push_back(entry.path().filename().string());
  EXPECT_EQ(files, std::vector<std::string>{"record.ini"});
  EXPECT_TRUE(fs::is_empty(home.runs()));  // the run closed in good order
}

TEST(ProgramEnd, ARunKilledOutrightIsNotedAtTheNextStartAndACopyStillRunningIsNot) {
  // No sites: the update check is refused and each copy opens its window on its own.
  Home home;
  auto started = [&](int copies) {
    return WaitUntil([&] { return home.Count("检查更新：") >= copies; }, 60);
  };
  ProgramProcess killed(home);
  ASSERT_TRUE(started(1)) << home.Dump();
  killed.Signal(SIGKILL);
  const pid_t killedPid = killed.pid();
  ASSERT_TRUE(killed.WaitForEnd(30));

  ProgramProcess first(home);
  ASSERT_TRUE(started(2)) << home.Dump();
  ProgramProcess second(home);  // while the first still runs
  ASSERT_TRUE(started(3)) << home.Dump();
  const std::string unended = "上次运行意外结束：";
  ASSERT_EQ(home.Count(unended), 1) << home.Dump();
  const std::vector<std::string> events = home.Events();
  const auto noted = std::find_if(events.begin(), events.end(),
                                  [&](const std::string& e) { return e.rfind(unended, 0) == 0; });
  EXPECT_TRUE(
      std::regex_match(*noted, std::regex(unended + "进程 " + std::to_string(killedPid) +
                                          "，启动于 " + R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)")))
      << *noted;
  // Said right after the start of the copy that found it.
  EXPECT_EQ(*(noted - 1), "程序启动，版本 3.1");

  // Ended by the terminal's signals, both as by their close boxes.
  first.Signal(SIGINT);
  second.Signal(SIGHUP);
  EXPECT_TRUE(EndedOnItsOwn(first.WaitForEnd(60))) << home.Dump();
  EXPECT_TRUE(EndedOnItsOwn(second.WaitForEnd(60))) << home.Dump();
  EXPECT_EQ(home.Count("程序结束"), 2);
  EXPECT_EQ(home.Events().back(), "程序结束");

  // The killed run is noted once: the next start finds nothing more.
  ProgramProcess next(home);
  ASSERT_TRUE(started(4)) << home.Dump();
  next.Signal(SIGTERM);
  EXPECT_TRUE(EndedOnItsOwn(next.WaitForEnd(60))) << home.Dump();
  EXPECT_EQ(home.Count(unended), 1) << home.Dump();
  EXPECT_TRUE(fs::is_empty(home.runs()));
}

}  // namespace
}  // namespace larkwend
