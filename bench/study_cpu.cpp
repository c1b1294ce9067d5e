// CPU time of a minute of unattended studying at the program's real timer periods.
//
// Runs the real program against the practice site, logs in and opens a course as a student
// would, then measures the processor time the program's own process and its browser processes
// (web and network processes) use over 60 seconds of the auto-study cycle. Run under Xvfb:
//   xvfb-run -a build/bin/bench_study_cpu [seconds] [--no-journal]
// --no-journal gives the program a state folder it cannot write, so the study journal is off.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <sys/resource.h>

#include "e2e_harness.h"
#include "e2e_practice_site.h"
#include "e2e_program.h"
#include "e2e_study_flow.h"

namespace {

struct ProcessTimes {
  double seconds = 0;  // user + system
  std::string name;
  int parent = 0;
};

// Every process on the machine, from /proc, by pid.
std::map<int, ProcessTimes> AllProcesses() {
  std::map<int, ProcessTimes> processes;
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    int pid = std::atoi(entry.path().filename().c_str());
    if (pid <= 0) continue;
    std::ifstream in(entry.path() / "stat");
    std::string stat((std::istreambuf_iterator<char>(in)), {});
    std::size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 2));
    std::string state;
    long parent = 0;
    rest >> state >> parent;
    std::string skip;
    for (int field = 5; field <= 13; ++field) rest >> skip;
    unsigned long long user = 0, system = 0;
    rest >> user >> system;
    processes[pid] = {static_cast<double>(user + system) / tick,
                      stat.substr(open + 1, close - open - 1), static_cast<int>(parent)};
  }
  return processes;
}

// CPU seconds of this process and of its descendants except the practice site.
struct Sample {
  double program = 0;
  double browser = 0;
};

Sample Measure() {
  Sample sample;
  rusage self{};
  getrusage(RUSAGE_SELF, &self);
  sample.program = static_cast<double>(self.ru_utime.tv_sec + self.ru_stime.tv_sec) +
                   static_cast<double>(self.ru_utime.tv_usec + self.ru_stime.tv_usec) / 1e6;
  std::map<int, ProcessTimes> processes = AllProcesses();
  const int me = getpid();
  for (const auto& [pid, times] : processes) {
    if (pid == me || times.name.rfind("larkwend-pract", 0) == 0) continue;
    for (int up = times.parent; up > 1;) {
      if (up == me) {
        sample.browser += times.seconds;
        break;
      }
      auto it = processes.find(up);
      up = it == processes.end() ? 0 : it->second.parent;
    }
  }
  return sample;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  const bool journal = !(argc > 2 && std::string(argv[2]) == "--no-journal");
  larkwend::e2e::ProgramOptions options;
  if (!journal) options.stateHome = "/dev/null";
  larkwend::e2e::PracticeSite site(
      {"--courses", "1", "--chapters", "4", "--finished", "0", "--chapter-seconds", "40"});
  if (!site.Ready()) {
    std::fprintf(stderr, "practice site: %s\n", site.Error().c_str());
    return 1;
  }
  int status = 1;
  larkwend::e2e::RunProgram(options, [&](larkwend::e2e::Program& program) {
    std::string failure;
    if (!larkwend::e2e::LogInAndOpenCourse(program, 1, &failure)) {
      std::fprintf(stderr, "could not reach the chapter page: %s\n", failure.c_str());
      return;
    }
    Sample before = Measure();
    larkwend::e2e::PumpFor(seconds * 1000);
    Sample after = Measure();
    double program_cpu = after.program - before.program;
    double browser_cpu = after.browser - before.browser;
    std::printf("studying for %d s at real timer periods, journal %s (chapters completed: %d)\n",
                seconds, journal ? "on" : "off", site.CompletedChapterCount());
    std::printf("  program process      %7.2f s CPU (%5.1f%% of one core)\n", program_cpu,
                100 * program_cpu / seconds);
    std::printf("  browser processes    %7.2f s CPU (%5.1f%% of one core)\n", browser_cpu,
                100 * browser_cpu / seconds);
    std::printf("  together             %7.2f s CPU (%5.1f%% of one core)\n",
                program_cpu + browser_cpu, 100 * (program_cpu + browser_cpu) / seconds);
    status = 0;
  });
  return status;
}
