// SPDX-License-Identifier: GPL-3.0-or-later
// What /proc tells about a process tree: CPU time, memory and context switches, by the kind of
// process (the window process itself, WebKit's web and network processes, anything else).
#pragma once

#include <sys/types.h>

#include <array>
#include <map>
#include <string>

namespace larkwend::bench {

enum class Kind { kWindow, kWeb, kNetwork, kOther };
constexpr std::size_t kKinds = 4;
const char* KindName(Kind kind);

// One reading of the tree under a root process.
struct TreeSample {
  struct Process {
    Kind kind = Kind::kOther;
    double cpuSeconds = 0;  // user + system, whole process
  };
  std::map<pid_t, Process> processes;
  // Voluntary + involuntary context switches of each thread of the root process, by thread id
  // (the main thread's id is the root's).
  std::map<pid_t, long long> threadSwitches;
};

// Context switches of the root process between two samples: of its main thread, and of all its
// threads (a thread that started in between counts from zero, one that ended is lost).
struct Switches {
  long long mainThread = 0;
  long long allThreads = 0;
};
Switches SwitchesBetween(pid_t root, const TreeSample& before, const TreeSample& after);

// The root and every process descended from it.
TreeSample SampleTree(pid_t root);

// CPU seconds each kind used between two samples; a process that started in between counts
// from zero, one that ended in between is lost (the tree is sampled while it runs).
std::array<double, kKinds> CpuBetween(const TreeSample& before, const TreeSample& after);

// Memory of the tree by kind, in KiB: proportional set size (smaps_rollup) and resident
// anonymous memory (RssAnon: the process's own, whatever else shares its libraries) now, and the
// sum of every process's resident high-water mark (VmHWM).
struct MemorySample {
  std::array<long long, kKinds> pssKiB{};
  std::array<long long, kKinds> anonKiB{};
  std::array<long long, kKinds> peakRssKiB{};
};
MemorySample SampleMemory(const TreeSample& tree);

}  // namespace larkwend::bench
