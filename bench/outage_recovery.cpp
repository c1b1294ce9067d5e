// SPDX-License-Identifier: GPL-3.0-or-later
// How the program comes back after the study platform was down.
//
// The real program (build/bin/larkwend, started as a user starts it, at its real timer periods)
// studies a course of three chapters on the practice site, whose pages play the student
// (--auto-student). The moment chapter 1's completion is accepted, the study platform goes down
// for 1, 5 and 20 minutes (--minutes), answering a reverse proxy's 502 page or dropping every
// connection (--kinds). Measured on the site's clock:
//
//   back after   from the site answering again to the program's request for chapter 2's content
//                page reaching the site. Goal: within 65 s.
//   while down   the study-platform requests that arrived, and the most attempts in any 60 s
//                once the program's wait between tries should have grown to 60 s (5 s, doubling:
//                from 75 s after its first refused request). Goal: at most one a minute. The
//                open content page's own heartbeats are its script's, not the program's: they
//                are counted apart. An attempt is a request with none in the 2 s before it (a
//                page and what it brings along, or the engine trying again at once).
//
// The crash kind (--kinds crash) leaves the site up and takes the program's page away instead:
// from chapter 1's completion, for the fault's length, the benchmark kills (SIGKILL) the
// program's web process (the WebKitWebProcess in its tree) at once, and again each time the
// program has loaded the chapter page anew (the site's state tells when the chapter page and its
// content frame were served). Measured on the site's clock:
//
//   reloads      the chapter pages the program loaded during the fault. Goal: at most 15 in 10
//                minutes (1.5 a minute).
//   back after   from the fault's end to the program's request for chapter 2's content page.
//                Goal: within 65 s.
//
// Every wait is bounded: a program that does not come back is reported as not back within
// --wait seconds. Run by hand, never as a test, under Xvfb; the practice site binds the fixed
// ports, so the run holds /tmp/larkwend-ports.lock, or runs in a network namespace of its own
// (--own-network) beside the tests:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/bench_outage_recovery [options]
#include <signal.h>
#include <sys/prctl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "e2e_practice_site.h"
#include "process_stats.h"
#include "program_process.h"

namespace {

using larkwend::bench::Clock;
using larkwend::bench::Kind;
using larkwend::bench::SampleTree;
using larkwend::bench::Since;
using larkwend::bench::StartedProgram;
using larkwend::bench::WaitFor;
using larkwend::e2e::JsonValue;
using larkwend::e2e::PracticeOutage;
using larkwend::e2e::PracticeSite;

constexpr double kGoalBackSeconds = 65;
constexpr int kGoalAttemptsPerMinute = 1;
// The crash loop's goal: at most 15 reloads in 10 minutes.
constexpr double kGoalReloadsPerMinute = 1.5;
// A chapter page counts as loaded once its content frame has been asked for; one whose frame
// never comes is killed this long after it was served all the same.
constexpr long long kFrameWaitMs = 5'000;
// The program's wait between tries: 5 s, doubling up to 60 s; it reaches 60 s this long after
// the first failure (5 + 10 + 20 + 40 s).
constexpr long long kWaitGrownMs = 75'000;
constexpr long long kAttemptGapMs = 2'000;
// From the program's start to chapter 1's completion: start-up, the login, the chapter page, and
// the 45 s check that finds the level reached.
constexpr double kFirstCompletionLimitSeconds = 300;

struct Settings {
  std::vector<double> minutes{1, 5, 20};
  std::vector<std::string> kinds{"502", "drop"};
  double waitSeconds = 180;  // after the site is back
  std::string program = LARKWEND_BIN;
  bool log = false;         // list every refused request
  bool ownNetwork = false;  // a network namespace of its own instead of the ports lock
};

const char* const kUsage =
    "usage: bench_outage_recovery [--minutes M[,M...]] [--kinds 502|drop|crash[,...]] [--wait S]\n"
    "                             [--program PATH] [--log] [--own-network]\n"
    "  --minutes  how long the study platform is down (default 1,5,20; 0.25 for a quick try)\n"
    "  --kinds    502: a reverse proxy's error page; drop: connections closed unanswered;\n"
    "             crash: the program's web process killed at every load of the chapter page\n"
    "             (default 502,drop)\n"
    "  --wait     seconds to wait for the next chapter after the site is back (default 180)\n"
    "  --program  the program to run (default: the build's larkwend)\n"
    "  --log      list every request the site refused while down\n"
    "  --own-network  run in a network namespace of its own instead of holding the ports lock\n";

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) return parts;
    start = comma + 1;
  }
}

bool Parse(int argc, char** argv, Settings& s) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--minutes" && hasValue) {
      s.minutes.clear();
      for (const std::string& part : Split(argv[++i])) {
        char* end = nullptr;
        const double value = std::strtod(part.c_str(), &end);
        if (part.empty() || *end != '\0' || !(value > 0) || value > 24 * 60) return false;
        s.minutes.push_back(value);
      }
    } else if (arg == "--kinds" && hasValue) {
      s.kinds = Split(argv[++i]);
      for (const std::string& kind : s.kinds)
        if (kind != "502" && kind != "drop" && kind != "crash") return false;
    } else if (arg == "--wait" && hasValue) {
      s.waitSeconds = std::atof(argv[++i]);
      if (!(s.waitSeconds > 0)) return false;
    } else if (arg == "--program" && hasValue) {
      s.program = argv[++i];
    } else if (arg == "--log") {
      s.log = true;
    } else if (arg == "--own-network") {
      s.ownNetwork = true;
    } else {
      return false;
    }
  }
  return true;
}

// ---- one outage -------------------------------------------------------------------------------

struct Result {
  std::string kind;
  double downSeconds = 0;
  std::string failure;                // the run did not get as far as the outage's end
  std::optional<double> backAfter;    // seconds from the site's return to chapter 2's request
  double firstCompletionSeconds = 0;  // from the program's start
  int requests = 0;                   // refused, heartbeats included
  int heartbeats = 0;
  int attempts = 0;
  std::optional<int> mostAttemptsAtFullWait;  // in any 60 s; none when down too briefly
  std::optional<int> mostRequestsAtFullWait;
  // The crash kind: the chapter pages loaded during the fault, and the kills.
  int reloads = 0;
  int kills = 0;
};

bool IsCrash(const Result& r) {
  return r.kind == "crash";
}

// Starts of the attempts among requests at `times` (ascending).
std::vector<long long> Attempts(const std::vector<long long>& times) {
  std::vector<long long> starts;
  for (std::size_t i = 0; i < times.size(); ++i)
    if (i == 0 || times[i] - times[i - 1] > kAttemptGapMs) starts.push_back(times[i]);
  return starts;
}

// The most of `times` (ascending) in any 60 s that lies within [from, to); none when that span is
// shorter than 60 s.
std::optional<int> MostInAMinute(const std::vector<long long>& times, long long from,
                                 long long to) {
  if (to - from < 60'000) return std::nullopt;
  int most = 0;
  for (std::size_t i = 0; i < times.size(); ++i) {
    if (times[i] < from) continue;
    const auto end = std::lower_bound(times.begin(), times.end(), times[i] + 60'000);
    most = std::max(most, static_cast<int>(end - times.begin() - static_cast<long>(i)));
  }
  return most;
}

// The student's site: one course of three chapters, each done in 2 s of real study time.
const std::vector<std::string> kStudentSite = {"--auto-student",    "--no-update-service",
                                               "--courses",         "1",
                                               "--chapters",        "3",
                                               "--finished",        "0",
                                               "--chapter-seconds", "60",
                                               "--time-scale",      "30"};

// A result for `kind`, whose fault lasts `minutes` rounded to whole seconds.
Result NewResult(const std::string& kind, double minutes) {
  Result result;
  result.kind = kind;
  result.downSeconds = std::max(std::round(minutes * 60), 1.0);
  return result;
}

// Waits until `faultStarted` says chapter 1's completion has started the fault; false, with the
// failure said, when the program does not get that far.
bool ReachFault(const std::function<bool()>& faultStarted, const StartedProgram& program,
                Clock::time_point start, Result& result) {
  if (!WaitFor([&] { return faultStarted() || !program.Alive(); }, kFirstCompletionLimitSeconds,
               500) ||
      !program.Alive()) {
    result.failure = program.Alive() ? "chapter 1 not completed within 300 s"
                                     : "the program ended before chapter 1 was completed";
    return false;
  }
  result.firstCompletionSeconds = Since(start);
  return true;
}

Result Measure(const Settings& settings, const std::string& kind, double minutes) {
  Result result = NewResult(kind, minutes);
  const double seconds = result.downSeconds;
  std::vector<std::string> options = kStudentSite;
  options.insert(options.end(), {"--outage", kind, "--outage-after-completions", "1",
                                 "--outage-seconds", std::to_string(static_cast<int>(seconds))});
  PracticeSite site(options);
  if (!site.Ready()) {
    result.failure = "practice site: " + site.Error();
    return result;
  }
  const auto start = Clock::now();
  StartedProgram program({settings.program});
  std::printf("%s, down %.0f s: program started\n", kind.c_str(), seconds);
  std::fflush(stdout);

  if (!ReachFault([&] { return site.OutageStarted(); }, program, start, result)) return result;
  std::printf("  chapter 1 completed %.1f s after the start; the site is down\n",
              result.firstCompletionSeconds);
  std::fflush(stdout);
  if (!WaitFor([&] { return site.OutageEnded(); }, seconds + 30, 250)) {
    result.failure = "the site did not come back";
    return result;
  }
  const long long backAtMs = site.OutageEndedAtMs();
  std::printf("  the site answers again\n");
  std::fflush(stdout);

  auto chapterTwoAfter = [&]() -> std::optional<long long> {
    for (long long at : site.OpenedAtMs(1, 2))
      if (at >= backAtMs) return at;
    return std::nullopt;
  };
  std::optional<long long> openedAt;
  WaitFor(
      [&] {
        openedAt = chapterTwoAfter();
        return openedAt.has_value() || !program.Alive();
      },
      settings.waitSeconds, 250);
  if (openedAt) result.backAfter = static_cast<double>(*openedAt - backAtMs) / 1000;

  const PracticeOutage outage = site.Outage();
  result.requests = outage.requests;
  result.heartbeats = outage.heartbeats;
  std::vector<long long> times;
  for (const auto& refused : outage.log) {
    times.push_back(refused.atMs);
    if (settings.log)
      std::printf("    refused at %8.1f s: %s\n", static_cast<double>(refused.atMs) / 1000,
                  refused.target.c_str());
  }
  const std::vector<long long> attempts = Attempts(times);
  result.attempts = static_cast<int>(attempts.size());
  if (!times.empty()) {
    result.mostRequestsAtFullWait = MostInAMinute(times, times.front() + kWaitGrownMs, backAtMs);
    result.mostAttemptsAtFullWait = MostInAMinute(attempts, times.front() + kWaitGrownMs, backAtMs);
  }
  if (!program.Alive()) result.failure = "the program ended";
  return result;
}

// ---- a crash loop -----------------------------------------------------------------------------

// Kills the web processes in the program's tree; true when there was one.
bool KillPageProcess(pid_t program) {
  bool killed = false;
  for (const auto& [pid, process] : SampleTree(program).processes)
    if (process.kind == Kind::kWeb && kill(pid, SIGKILL) == 0) killed = true;
  return killed;
}

std::vector<long long> Moments(const JsonValue& array) {
  std::vector<long long> moments;
  for (const JsonValue& ms : array.Items()) moments.push_back(ms.Int());
  return moments;
}

// The moments course 1's content frame was asked for chapter `from` or a later one.
std::vector<long long> ContentOpenings(const JsonValue& state, int from) {
  std::vector<long long> moments;
  for (const JsonValue& chapter : state["courses"][0]["chapters"].Items())
    if (chapter["number"].Int() >= from)
      for (long long at : Moments(chapter["openedAtMs"])) moments.push_back(at);
  return moments;
}

Result MeasureCrash(const Settings& settings, double minutes) {
  Result result = NewResult("crash", minutes);
  const double seconds = result.downSeconds;
  PracticeSite site(kStudentSite);
  if (!site.Ready()) {
    result.failure = "practice site: " + site.Error();
    return result;
  }
  const auto start = Clock::now();
  StartedProgram program({settings.program});
  std::printf("crash, for %.0f s: program started\n", seconds);
  std::fflush(stdout);
  if (!ReachFault([&] { return site.CompletedChapterCount() > 0; }, program, start, result))
    return result;
  const long long faultStartMs = site.StateValue()["completed"][0]["atMs"].Int();
  const long long faultEndMs = faultStartMs + static_cast<long long>(seconds * 1000);
  std::printf("  chapter 1 completed %.1f s after the start; its page is killed at every load\n",
              result.firstCompletionSeconds);
  std::fflush(stdout);

  // The chapter page loaded now was served before the fault; every one served later is killed
  // once its content frame has been asked for.
  result.kills += KillPageProcess(program.pid()) ? 1 : 0;
  std::size_t handled = Moments(site.StateValue()["courses"][0]["pageServedAtMs"]).size();
  const bool faultEnded = WaitFor(
      [&] {
        const JsonValue state = site.StateValue();
        const long long now = state["nowMs"].Int();
        const std::vector<long long> served = Moments(state["courses"][0]["pageServedAtMs"]);
        if (served.size() > handled && served.back() < faultEndMs) {
          const std::vector<long long> frames = ContentOpenings(state, 1);
          const bool loaded = std::any_of(frames.begin(), frames.end(),
                                          [&](long long at) { return at >= served.back(); });
          if (loaded || now - served.back() >= kFrameWaitMs) {
            result.kills += KillPageProcess(program.pid()) ? 1 : 0;
            handled = served.size();
          }
        }
        return now >= faultEndMs || !program.Alive();
      },
      seconds + 30, 100);
  if (!faultEnded || !program.Alive()) {
    result.failure = program.Alive() ? "the fault did not end" : "the program ended";
    return result;
  }
  std::printf("  the fault is over\n");
  std::fflush(stdout);

  // The next chapter is chapter 2, or chapter 3 should a page loaded just before the end have
  // lived to complete chapter 2.
  std::optional<long long> openedAt;
  WaitFor(
      [&] {
        for (long long at : ContentOpenings(site.StateValue(), 2))
          if (at >= faultEndMs) openedAt = std::min(at, openedAt.value_or(at));
        return openedAt.has_value() || !program.Alive();
      },
      settings.waitSeconds, 250);
  if (openedAt) result.backAfter = static_cast<double>(*openedAt - faultEndMs) / 1000;
  for (long long at : Moments(site.StateValue()["courses"][0]["pageServedAtMs"]))
    result.reloads += at >= faultStartMs && at < faultEndMs ? 1 : 0;
  if (!program.Alive()) result.failure = "the program ended";
  return result;
}

// ---- report -----------------------------------------------------------------------------------

std::string BackText(const Result& r, double waitSeconds) {
  char text[96];
  if (r.backAfter)
    std::snprintf(text, sizeof text, "%.1f s (%s)", *r.backAfter,
                  *r.backAfter <= kGoalBackSeconds ? "met" : "missed");
  else
    std::snprintf(text, sizeof text, "not back within %.0f s (missed)", waitSeconds);
  return text;
}

std::string FullWaitText(const Result& r) {
  if (!r.mostAttemptsAtFullWait) return "n/a (down too briefly)";
  char text[96];
  std::snprintf(text, sizeof text, "%d attempt(s), %d request(s) (%s)", *r.mostAttemptsAtFullWait,
                r.mostRequestsAtFullWait.value_or(0),
                *r.mostAttemptsAtFullWait <= kGoalAttemptsPerMinute ? "met" : "missed");
  return text;
}

bool ReloadsMet(const Result& r) {
  return r.reloads <= kGoalReloadsPerMinute * r.downSeconds / 60;
}

std::string ReloadsText(const Result& r) {
  char text[96];
  std::snprintf(text, sizeof text, "%d reload(s) (goal at most %g: %s), %d kill(s)", r.reloads,
                std::floor(kGoalReloadsPerMinute * r.downSeconds / 60),
                ReloadsMet(r) ? "met" : "missed", r.kills);
  return text;
}

void Print(const Result& r, double waitSeconds) {
  std::printf("  %s, %s %.0f s:\n", r.kind.c_str(), IsCrash(r) ? "for" : "down", r.downSeconds);
  if (!r.failure.empty()) std::printf("    %s\n", r.failure.c_str());
  if (IsCrash(r)) {
    std::printf("    next chapter opened after the fault's end: %s\n",
                BackText(r, waitSeconds).c_str());
    std::printf("    during the fault: %s\n", ReloadsText(r).c_str());
    std::fflush(stdout);
    return;
  }
  std::printf("    next chapter opened after the site's return: %s\n",
              BackText(r, waitSeconds).c_str());
  std::printf(
      "    while down: %d request(s) in %d attempt(s), and %d heartbeat(s) of the open page\n",
      r.requests - r.heartbeats, r.attempts, r.heartbeats);
  std::printf("    most in a 60 s span once the wait is 60 s: %s\n", FullWaitText(r).c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (!Parse(argc, argv, settings)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  // The program runs at its real periods, whatever the shell says.
  unsetenv("LARKWEND_TIMER_SCALE");
  if (settings.ownNetwork && !larkwend::bench::EnterOwnNetwork()) {
    std::perror("network namespace");
    return 1;
  }
  std::optional<larkwend::bench::PortsLock> lock;
  if (!settings.ownNetwork) lock.emplace();
  // Processes whose parent ends come to this one, so a stopped program can be waited for whole.
  prctl(PR_SET_CHILD_SUBREAPER, 1);

  std::printf(
      "goal: the next chapter opened within %.0f s of the site's return; at most %d "
      "attempt a minute once the wait has grown to 60 s\n",
      kGoalBackSeconds, kGoalAttemptsPerMinute);
  std::fflush(stdout);  // before the site and the program write to the same output
  std::vector<Result> results;
  for (const std::string& kind : settings.kinds) {
    for (double minutes : settings.minutes) {
      results.push_back(kind == "crash" ? MeasureCrash(settings, minutes)
                                        : Measure(settings, kind, minutes));
      Print(results.back(), settings.waitSeconds);
    }
  }
  std::printf(
      "\nsummary (goal: back within %.0f s; at most %d attempt a minute at the 60 s wait; a "
      "crash loop: at most %.1f reloads a minute)\n",
      kGoalBackSeconds, kGoalAttemptsPerMinute, kGoalReloadsPerMinute);
  std::printf("  %-5s %7s  %-32s %9s %9s  %s\n", "kind", "down s", "next chapter after return",
              "requests", "attempts", "most in 60 s at the 60 s wait");
  bool allMet = true;
  for (const Result& r : results) {
    if (IsCrash(r)) {
      std::printf("  %-5s %7.0f  %-32s %9s %9s  %s\n", r.kind.c_str(), r.downSeconds,
                  BackText(r, settings.waitSeconds).c_str(), "-", "-", ReloadsText(r).c_str());
      allMet = allMet && r.failure.empty() && r.backAfter && *r.backAfter <= kGoalBackSeconds &&
               ReloadsMet(r);
      continue;
    }
    std::printf("  %-5s %7.0f  %-32s %9d %9d  %s\n", r.kind.c_str(), r.downSeconds,
                BackText(r, settings.waitSeconds).c_str(), r.requests - r.heartbeats, r.attempts,
                FullWaitText(r).c_str());
    allMet = allMet && r.failure.empty() && r.backAfter && *r.backAfter <= kGoalBackSeconds &&
             r.mostAttemptsAtFullWait.value_or(0) <= kGoalAttemptsPerMinute;
  }
  return allMet ? 0 : 1;
}
