// SPDX-License-Identifier: GPL-3.0-or-later
// What the program costs over the engine it hosts, side by side in one run.
//
// The real program (build/bin/larkwend, started as a user starts it) and a bare WebKit window
// (bench_bare_window) take turns on the same practice site, whose pages play the student
// (--auto-student): the login page fills in and submits itself, the personal centre and the
// course list go on to course 1's chapter page. The program captures that login as a student's,
// so its auto-study cycle runs at its real timer periods; the bare window only shows the pages.
//
//   start-up  from the process start to the login page's load (the page reports it to the site)
//   studying  from the chapter page's first opening, for the same time: CPU seconds of the
//             window process and of its web and network processes, peak memory of each, the
//             window process's context switches per second, on the practice site's chapter page,
//             on one whose frames carry no script (--plain-chapters) and on one whose chapters
//             are courseware videos, 640x360 H.264 + AAC with sound, credited only while they
//             play (--video-chapters mp4); goal for the video: the program at most 1.1 times
//             the bare window
//   --soak    the program alone works through a long course; the memory of its window and web
//             processes is sampled along the way, and the last tenth is compared with the first.
//             It is the build made for that, larkwend-tuned, whose timers run 20 times as fast
//             (LARKWEND_TIMER_SCALE), so every chapter goes through the whole cycle in a few
//             seconds; the installed program has no such setting
//
// Run by hand, never as a test, under Xvfb. The practice site binds the fixed ports, so the run
// holds /tmp/larkwend-ports.lock, or runs in a network namespace of its own (--own-network):
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/bench_program_cost [options]
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "e2e_practice_site.h"
#include "process_stats.h"
#include "program_process.h"
#include "resources/site_profile.h"

namespace {

using larkwend::bench::Clock;
using larkwend::bench::Kind;
using larkwend::bench::kKinds;
using larkwend::bench::PortsLock;
using larkwend::bench::Since;
using larkwend::bench::WaitFor;
using larkwend::e2e::PracticeSite;

struct Settings {
  int seconds = 60;  // of studying, per turn
  int rounds = 2;    // turns of each side per page
  int startups = 6;  // start-ups of each side
  bool scriptedPage = true;
  bool plainPage = true;
  bool videoPage = true;
  bool soak = false;
  int soakChapters = 200;
  int soakMinutes = 0;           // 0: until the course is done
  double soakTimeScale = 30;     // the site credits this many study seconds a second
  double soakTimerScale = 0.05;  // the program's timer periods, times this
  int sampleMs = 1000;
  int settleSeconds = 10;  // after the chapter page opened, before a turn's measurement
  bool ownNetwork = false;
  // Another build, or a wrapper such as a profiler's; empty: the build's larkwend, or for a
  // soak larkwend-tuned.
  std::string program;
  std::string bare = BENCH_BARE_WINDOW_BIN;
  bool programOnly = false;  // no bare window, no start-up: for profiling the program
  bool trace = false;        // CPU of every sample while studying
  bool bareStudies = false;  // the bare window's page does the program's work itself (--study)
  bool soakBare = false;     // the soak runs the bare window, studying by itself, instead
};

const char* const kUsage =
    "usage: bench_program_cost [--seconds N] [--rounds N] [--startups N]\n"
    "                          [--page scripted|plain|video]\n"
    "       bench_program_cost --soak [--chapters N] [--time-scale X] [--timer-scale X]\n"
    "                          [--minutes N]\n"
    "  --own-network  run in a network namespace of its own instead of holding the ports lock\n"
    "  --program PATH the program to measure (default: the build's larkwend; for --soak\n"
    "                 larkwend-tuned, the same program with its timer scale)\n"
    "  --bare PATH    the bare window to measure against (default: bench_bare_window)\n"
    "  --program-only studying, the program alone (to profile it through --program)\n"
    "  --trace        CPU of each process kind at every sample while studying\n"
    "  --bare-studies the bare window's page completes and opens chapters itself, at the\n"
    "                 program's periods: the engine's work for the program, without the program\n"
    "  --soak-bare    a soak of the bare window studying by itself, to compare with --soak\n"
    "  --settle S     seconds after the chapter page opened before measuring (10)\n"
    "  --time-scale X  soak: study seconds the site credits per second (30)\n"
    "  --timer-scale X soak: the program's timer periods, times X (0.05; 1 is the real pace, at\n"
    "                  which each chapter takes at least 45 s and 200 take two and a half hours)\n"
    "Side by side, the program's timers keep their real periods.\n";

bool Parse(int argc, char** argv, Settings& s) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto number = [&](auto& field) {
      if (!value) return false;
      field = static_cast<std::remove_reference_t<decltype(field)>>(std::atof(value));
      ++i;
      return field > 0;
    };
    bool ok = true;
    if (arg == "--seconds")
      ok = number(s.seconds);
    else if (arg == "--rounds")
      ok = number(s.rounds);
    else if (arg == "--startups")
      ok = number(s.startups);
    else if (arg == "--chapters")
      ok = number(s.soakChapters);
    else if (arg == "--time-scale")
      ok = number(s.soakTimeScale);
    else if (arg == "--timer-scale")
      ok = number(s.soakTimerScale);
    else if (arg == "--minutes")
      ok = number(s.soakMinutes);
    else if (arg == "--sample-ms")
      ok = number(s.sampleMs);
    else if (arg == "--soak")
      s.soak = true;
    else if (arg == "--own-network")
      s.ownNetwork = true;
    else if (arg == "--program-only")
      s.programOnly = true;
    else if (arg == "--bare-studies")
      s.bareStudies = true;
    else if (arg == "--soak-bare")
      s.soak = s.soakBare = s.bareStudies = true;
    else if (arg == "--trace")
      s.trace = true;
    else if (arg == "--settle" && value)
      s.settleSeconds = std::atoi(argv[++i]);
    else if (arg == "--program" && value)
      s.program = argv[++i];
    else if (arg == "--bare" && value)
      s.bare = argv[++i];
    else if (arg == "--page" && value) {
      s.scriptedPage = std::strcmp(value, "scripted") == 0;
      s.plainPage = std::strcmp(value, "plain") == 0;
      s.videoPage = std::strcmp(value, "video") == 0;
      ok = s.scriptedPage || s.plainPage || s.videoPage;
      ++i;
    } else {
      ok = false;
    }
    if (!ok) return false;
  }
  if (s.program.empty()) s.program = s.soak ? LARKWEND_TUNED_BIN : LARKWEND_BIN;
  return true;
}

// ---- the two sides ----------------------------------------------------------------------------

enum class Side { kProgram, kBare };
const char* SideName(Side side) {
  return side == Side::kProgram ? "program" : "bare window";
}

// One side's arguments: the program, or the bare window on the login page (studying by itself
// in a studying turn with --bare-studies).
std::vector<std::string> Arguments(Side side, const Settings& settings, bool studying) {
  const std::string login(larkwend::site::PortalLoginUrl);
  if (side == Side::kProgram) return {settings.program};
  if (studying && settings.bareStudies) return {settings.bare, "--study", login};
  return {settings.bare, login};
}

// One side running in a working directory of its own (the program keeps record.ini there).
class Running : public larkwend::bench::StartedProgram {
 public:
  // `studying`: a studying turn, in which the bare window may study by itself.
  Running(Side side, const Settings& settings, bool studying = false)
      : StartedProgram(Arguments(side, settings, studying)) {}
};

std::vector<std::string> SiteOptions(std::vector<std::string> extra) {
  std::vector<std::string> options{
      "--auto-student", "--no-update-service", "--courses", "1", "--finished", "0"};
  options.insert(options.end(), extra.begin(), extra.end());
  return options;
}

// ---- start-up ---------------------------------------------------------------------------------

// Seconds from the process start to the login page's load event, as the page reported it.
std::optional<double> StartUp(const Settings& settings, PracticeSite& site, Side side) {
  const std::size_t before = site.StateValue()["loginShown"].Size();
  const auto start = Clock::now();
  Running running(side, settings);
  larkwend::e2e::JsonValue state;
  const bool shown = WaitFor(
      [&] {
        state = site.StateValue();
        return state["loginShown"].Size() > before;
      },
      60, 10);
  if (!shown) return std::nullopt;
  const double at = state["loginShown"][before].Number() * 1e-9;
  return at - std::chrono::duration<double>(start.time_since_epoch()).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool MeasureStartUp(const Settings& settings) {
  PracticeSite site(SiteOptions({}));
  if (!site.Ready()) {
    std::fprintf(stderr, "practice site: %s\n", site.Error().c_str());
    return false;
  }
  std::vector<double> times[2];
  for (int round = 0; round < settings.startups; ++round) {
    // Each side goes first every other round, so a drift of the machine's load hits both.
    for (int k = 0; k < 2; ++k) {
      const Side side = (round + k) % 2 == 0 ? Side::kProgram : Side::kBare;
      std::optional<double> seconds = StartUp(settings, site, side);
      if (!seconds) {
        std::fprintf(stderr, "%s: the login page was never shown\n", SideName(side));
        return false;
      }
      times[static_cast<int>(side)].push_back(*seconds);
    }
  }
  std::printf("\nstart-up to the login page's load, %d each, alternating (ms)\n",
              settings.startups);
  for (Side side : {Side::kProgram, Side::kBare}) {
    std::printf("  %-12s median %7.1f   each:", SideName(side),
                1000 * Median(times[static_cast<int>(side)]));
    for (double t : times[static_cast<int>(side)]) std::printf(" %.0f", 1000 * t);
    std::printf("\n");
  }
  std::printf("  ratio program / bare window (medians): %.3f\n",
              Median(times[0]) / Median(times[1]));
  return true;
}

// ---- studying ---------------------------------------------------------------------------------

struct Turn {
  std::array<double, kKinds> cpu{};
  std::array<long long, kKinds> peakPss{};
  std::array<long long, kKinds> peakRss{};
  double seconds = 0;
  double mainSwitchesPerSecond = 0;
  double allSwitchesPerSecond = 0;
  int chaptersCompleted = 0;
  double videoPlayed = 0;  // video seconds the site credited from play, every chapter
};

// The chapter pages a studying turn is measured on.
enum class Page { kScripted, kPlain, kVideo };

std::optional<Turn> Study(const Settings& settings, Side side, Page page) {
  std::vector<std::string> extra{"--chapters", "20", "--chapter-seconds", "40"};
  if (page == Page::kPlain) extra.push_back("--plain-chapters");
  // Every chapter the same 640x360 H.264 + AAC clip with sound, started by the page itself.
  if (page == Page::kVideo) extra.insert(extra.end(), {"--video-chapters", "mp4"});
  PracticeSite site(SiteOptions(extra));
  if (!site.Ready()) {
    std::fprintf(stderr, "practice site: %s\n", site.Error().c_str());
    return std::nullopt;
  }
  Running running(side, settings, true);
  if (!WaitFor([&] { return site.CurrentChapter(1) != 0 || !running.Alive(); }, 90, 100) ||
      !running.Alive()) {
    std::fprintf(stderr, "%s never reached the chapter page\n", SideName(side));
    return std::nullopt;
  }
  // The page's first seconds (loading, first drawing, the program opening the first chapter once
  // per course) are left out: what an hour of studying costs is the cycle that follows.
  std::this_thread::sleep_for(std::chrono::seconds(settings.settleSeconds));
  Turn turn;
  const auto start = Clock::now();
  const larkwend::bench::TreeSample first = larkwend::bench::SampleTree(running.pid());
  larkwend::bench::TreeSample last = first;
  while (Since(start) < settings.seconds) {
    const double left = settings.seconds - Since(start);
    std::this_thread::sleep_for(
        std::chrono::duration<double>(std::min(left, settings.sampleMs / 1000.0)));
    const larkwend::bench::TreeSample previous =
        std::exchange(last, larkwend::bench::SampleTree(running.pid()));
    if (settings.trace) {
      // Where in the turn the time goes: CPU of each kind over this sample, in milliseconds.
      const std::array<double, kKinds> cpu = larkwend::bench::CpuBetween(previous, last);
      std::printf("  %s %5.1f s:", SideName(side), Since(start));
      for (std::size_t k = 0; k < kKinds; ++k)
        std::printf(" %s %4.0f", KindName(static_cast<Kind>(k)), 1000 * cpu[k]);
      std::printf("\n");
    }
    const larkwend::bench::MemorySample memory = larkwend::bench::SampleMemory(last);
    for (std::size_t k = 0; k < kKinds; ++k) {
      turn.peakPss[k] = std::max(turn.peakPss[k], memory.pssKiB[k]);
      turn.peakRss[k] = std::max(turn.peakRss[k], memory.peakRssKiB[k]);
    }
  }
  turn.seconds = Since(start);
  turn.cpu = larkwend::bench::CpuBetween(first, last);
  const larkwend::bench::Switches switches =
      larkwend::bench::SwitchesBetween(running.pid(), first, last);
  turn.mainSwitchesPerSecond = static_cast<double>(switches.mainThread) / turn.seconds;
  turn.allSwitchesPerSecond = static_cast<double>(switches.allThreads) / turn.seconds;
  turn.chaptersCompleted = site.CompletedChapterCount();
  // Whether the video played, on both sides alike: a side whose video stood still costs less.
  const larkwend::e2e::JsonValue state = site.StateValue();
  for (const larkwend::e2e::JsonValue& chapter : state["courses"][0]["chapters"].Items())
    turn.videoPlayed += chapter["media"]["played"].Number();
  return turn;
}

void Accumulate(Turn& sum, const Turn& t) {
  for (std::size_t k = 0; k < kKinds; ++k) {
    sum.cpu[k] += t.cpu[k];
    sum.peakPss[k] = std::max(sum.peakPss[k], t.peakPss[k]);
    sum.peakRss[k] = std::max(sum.peakRss[k], t.peakRss[k]);
  }
  sum.seconds += t.seconds;
  sum.mainSwitchesPerSecond += t.mainSwitchesPerSecond;
  sum.allSwitchesPerSecond += t.allSwitchesPerSecond;
  sum.chaptersCompleted += t.chaptersCompleted;
  sum.videoPlayed += t.videoPlayed;
}

double Ratio(double a, double b) {
  return b > 0 ? a / b : 0;
}

void PrintStudy(const char* page, const Turn& program, const Turn& bare, int rounds) {
  const double perMinuteP = 60 / program.seconds, perMinuteB = 60 / bare.seconds;
  std::printf("\n%s: %d turn(s) of %.0f s each side (CPU in s per minute of studying)\n", page,
              rounds, program.seconds / rounds);
  std::printf("  %-22s %9s %9s %9s %7s\n", "", "program", "bare", "own", "ratio");
  double totalP = 0, totalB = 0;
  for (std::size_t k = 0; k < kKinds; ++k) {
    const double p = program.cpu[k] * perMinuteP, b = bare.cpu[k] * perMinuteB;
    totalP += p;
    totalB += b;
    std::printf("  CPU %-18s %9.3f %9.3f %9.3f %7.2f\n", KindName(static_cast<Kind>(k)), p, b,
                p - b, Ratio(p, b));
  }
  std::printf("  CPU %-18s %9.3f %9.3f %9.3f %7.2f\n", "all", totalP, totalB, totalP - totalB,
              Ratio(totalP, totalB));
  long long pssP = 0, pssB = 0, rssP = 0, rssB = 0;
  for (std::size_t k = 0; k < kKinds; ++k) {
    std::printf("  peak PSS MiB %-9s %9.1f %9.1f %9.1f %7.2f\n", KindName(static_cast<Kind>(k)),
                program.peakPss[k] / 1024.0, bare.peakPss[k] / 1024.0,
                (program.peakPss[k] - bare.peakPss[k]) / 1024.0,
                Ratio(program.peakPss[k], bare.peakPss[k]));
    pssP += program.peakPss[k];
    pssB += bare.peakPss[k];
    rssP += program.peakRss[k];
    rssB += bare.peakRss[k];
  }
  std::printf("  peak PSS MiB %-9s %9.1f %9.1f %9.1f %7.2f\n", "all", pssP / 1024.0, pssB / 1024.0,
              (pssP - pssB) / 1024.0, Ratio(pssP, pssB));
  std::printf("  peak RSS MiB %-9s %9.1f %9.1f %9.1f %7.2f\n", "window",
              program.peakRss[0] / 1024.0, bare.peakRss[0] / 1024.0,
              (program.peakRss[0] - bare.peakRss[0]) / 1024.0,
              Ratio(program.peakRss[0], bare.peakRss[0]));
  std::printf("  peak RSS MiB %-9s %9.1f %9.1f %9.1f %7.2f\n", "all", rssP / 1024.0, rssB / 1024.0,
              (rssP - rssB) / 1024.0, Ratio(rssP, rssB));
  std::printf("  wake-ups/s main thread  %9.1f %9.1f %9.1f %7.2f\n",
              program.mainSwitchesPerSecond / rounds, bare.mainSwitchesPerSecond / rounds,
              (program.mainSwitchesPerSecond - bare.mainSwitchesPerSecond) / rounds,
              Ratio(program.mainSwitchesPerSecond, bare.mainSwitchesPerSecond));
  std::printf("  wake-ups/s all threads  %9.1f %9.1f %9.1f %7.2f\n",
              program.allSwitchesPerSecond / rounds, bare.allSwitchesPerSecond / rounds,
              (program.allSwitchesPerSecond - bare.allSwitchesPerSecond) / rounds,
              Ratio(program.allSwitchesPerSecond, bare.allSwitchesPerSecond));
  std::printf("  chapters completed      %9d %9d\n", program.chaptersCompleted,
              bare.chaptersCompleted);
  if (program.videoPlayed > 0 || bare.videoPlayed > 0)
    std::printf("  video seconds played    %9.0f %9.0f\n", program.videoPlayed, bare.videoPlayed);
  std::fflush(stdout);
}

bool MeasureStudying(const Settings& settings, Page page) {
  Turn sums[2];
  for (int round = 0; round < settings.rounds; ++round) {
    for (int k = 0; k < 2; ++k) {
      const Side side = (round + k) % 2 == 0 ? Side::kProgram : Side::kBare;
      if (side == Side::kBare && settings.programOnly) continue;
      std::optional<Turn> turn = Study(settings, side, page);
      if (!turn) return false;
      Accumulate(sums[static_cast<int>(side)], *turn);
    }
  }
  std::string name = page == Page::kPlain   ? "chapter page without script"
                     : page == Page::kVideo ? "courseware video chapters (640x360 H.264 + AAC)"
                                            : "practice site's chapter page";
  if (settings.bareStudies) name += ", the bare window's page studying by itself";
  PrintStudy(name.c_str(), sums[0], sums[1], settings.rounds);
  return true;
}

// ---- soak -------------------------------------------------------------------------------------

bool Soak(const Settings& settings) {
  PracticeSite site(
      SiteOptions({"--chapters", std::to_string(settings.soakChapters), "--chapter-seconds", "60",
                   "--time-scale", std::to_string(settings.soakTimeScale)}));
  if (!site.Ready()) {
    std::fprintf(stderr, "practice site: %s\n", site.Error().c_str());
    return false;
  }
  // Both sides read the pace from the environment (the program when it is larkwend-tuned).
  setenv("LARKWEND_TIMER_SCALE", std::to_string(settings.soakTimerScale).c_str(), 1);
  Running running(settings.soakBare ? Side::kBare : Side::kProgram, settings, true);
  unsetenv("LARKWEND_TIMER_SCALE");
  if (!WaitFor([&] { return site.CurrentChapter(1) != 0; }, 90, 100)) {
    std::fprintf(stderr, "the %s never reached the chapter page\n",
                 settings.soakBare ? "bare window" : "program");
    return false;
  }
  struct Point {
    double at;
    int chapters;
    long long windowPss, webPss, windowAnon, webAnon;
  };
  std::vector<Point> points;
  const auto start = Clock::now();
  const int sampleMs = std::max(settings.sampleMs, 5000);
  std::printf(
      "soak of the %s: %d chapters; seconds, chapters completed, KiB of window PSS, web PSS, "
      "window RssAnon, web RssAnon\n",
      settings.soakBare ? "bare window" : "program", settings.soakChapters);
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(sampleMs));
    if (!running.Alive()) {
      std::fprintf(stderr, "the soaked process ended during the soak\n");
      return false;
    }
    const larkwend::bench::MemorySample memory =
        larkwend::bench::SampleMemory(larkwend::bench::SampleTree(running.pid()));
    const int chapters = site.CompletedChapterCount();
    const Point point{Since(start),     chapters,          memory.pssKiB[0],
                      memory.pssKiB[1], memory.anonKiB[0], memory.anonKiB[1]};
    points.push_back(point);
    std::printf("%.0f %d %lld %lld %lld %lld\n", point.at, chapters, point.windowPss, point.webPss,
                point.windowAnon, point.webAnon);
    std::fflush(stdout);
    if (chapters >= settings.soakChapters) break;
    if (settings.soakMinutes > 0 && Since(start) >= settings.soakMinutes * 60.0) break;
  }
  const std::size_t tenth = std::max<std::size_t>(points.size() / 10, 1);
  auto mean = [&](std::size_t from, long long Point::*field) {
    double sum = 0;
    for (std::size_t i = from; i < from + tenth; ++i) sum += static_cast<double>(points[i].*field);
    return sum / static_cast<double>(tenth);
  };
  std::printf("\nsoak over %.0f s, %d chapters completed, %zu samples\n", Since(start),
              points.back().chapters, points.size());
  // PSS moves with whatever else maps the same libraries; RssAnon is the processes' own.
  for (auto [name, field] :
       {std::pair{"window PSS", &Point::windowPss}, std::pair{"web PSS", &Point::webPss},
        std::pair{"window RssAnon", &Point::windowAnon},
        std::pair{"web RssAnon", &Point::webAnon}}) {
    const double first = mean(0, field), last = mean(points.size() - tenth, field);
    std::printf("  %-15s first tenth %8.1f MiB, last tenth %8.1f MiB, growth %+.1f%%\n", name,
                first / 1024, last / 1024, 100 * (last - first) / first);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (!Parse(argc, argv, settings)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (settings.ownNetwork && !larkwend::bench::EnterOwnNetwork()) {
    std::perror("network namespace");
    return 1;
  }
  std::optional<PortsLock> lock;
  if (!settings.ownNetwork) lock.emplace();
  // Processes whose parent ends come to this one, so a stopped side can be waited for whole.
  prctl(PR_SET_CHILD_SUBREAPER, 1);

  bool ok = true;
  if (settings.soak) {
    ok = Soak(settings);
  } else {
    if (!settings.programOnly) ok = MeasureStartUp(settings);
    if (ok && settings.scriptedPage) ok = MeasureStudying(settings, Page::kScripted);
    if (ok && settings.plainPage) ok = MeasureStudying(settings, Page::kPlain);
    if (ok && settings.videoPage) ok = MeasureStudying(settings, Page::kVideo);
  }
  return ok ? 0 : 1;
}
