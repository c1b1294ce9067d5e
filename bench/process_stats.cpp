// SPDX-License-Identifier: GPL-3.0-or-later
#include "process_stats.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace larkwend::bench {
namespace {

struct Stat {
  std::string name;
  pid_t parent = 0;
  double cpuSeconds = 0;
};

bool ReadStat(const std::filesystem::path& dir, Stat& out) {
  std::ifstream in(dir / "stat");
  std::string stat((std::istreambuf_iterator<char>(in)), {});
  const std::size_t open = stat.find('('), close = stat.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close + 2 > stat.size())
    return false;
  out.name = stat.substr(open + 1, close - open - 1);
  std::istringstream rest(stat.substr(close + 2));
  std::string state, skip;
  rest >> state >> out.parent;
  for (int field = 5; field <= 13; ++field) rest >> skip;
  unsigned long long user = 0, system = 0;
  rest >> user >> system;
  static const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  out.cpuSeconds = static_cast<double>(user + system) / tick;
  return static_cast<bool>(rest);
}

// The value of the first line of `file` that starts with `key`, as a number (0 when absent).
long long Field(const std::filesystem::path& file, std::string_view key) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);)
    if (line.compare(0, key.size(), key) == 0) return std::atoll(line.c_str() + key.size());
  return 0;
}

long long SwitchCount(const std::filesystem::path& status) {
  return Field(status, "voluntary_ctxt_switches:") + Field(status, "nonvoluntary_ctxt_switches:");
}

Kind KindOf(pid_t pid, pid_t root, const std::string& name) {
  if (pid == root) return Kind::kWindow;
  // The kernel keeps 15 characters of a command name.
  if (name.rfind("WebKitWebProces", 0) == 0) return Kind::kWeb;
  if (name.rfind("WebKitNetworkPr", 0) == 0) return Kind::kNetwork;
  return Kind::kOther;
}

}  // namespace

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kWindow:
      return "window";
    case Kind::kWeb:
      return "web";
    case Kind::kNetwork:
      return "network";
    case Kind::kOther:
      break;
  }
  return "other";
}

TreeSample SampleTree(pid_t root) {
  std::map<pid_t, Stat> all;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const pid_t pid = std::atoi(entry.path().filename().c_str());
    Stat stat;
    if (pid > 0 && ReadStat(entry.path(), stat)) all[pid] = std::move(stat);
  }
  TreeSample sample;
  for (const auto& [pid, stat] : all) {
    bool inTree = pid == root;
    for (pid_t up = stat.parent; !inTree && up > 1;) {
      if (up == root) inTree = true;
      auto it = all.find(up);
      up = it == all.end() ? 0 : it->second.parent;
    }
    if (inTree) sample.processes[pid] = {KindOf(pid, root, stat.name), stat.cpuSeconds};
  }
  const std::filesystem::path base = "/proc/" + std::to_string(root);
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator(base / "task", error)) {
    const pid_t tid = std::atoi(task.path().filename().c_str());
    if (tid > 0) sample.threadSwitches[tid] = SwitchCount(task.path() / "status");
  }
  return sample;
}

Switches SwitchesBetween(pid_t root, const TreeSample& before, const TreeSample& after) {
  Switches switches;
  for (const auto& [tid, count] : after.threadSwitches) {
    auto earlier = before.threadSwitches.find(tid);
    const long long delta = count - (earlier == before.threadSwitches.end() ? 0 : earlier->second);
    switches.allThreads += delta;
    if (tid == root) switches.mainThread = delta;
  }
  return switches;
}

std::array<double, kKinds> CpuBetween(const TreeSample& before, const TreeSample& after) {
  std::array<double, kKinds> cpu{};
  for (const auto& [pid, process] : after.processes) {
    auto earlier = before.processes.find(pid);
    const double start = earlier == before.processes.end() ? 0 : earlier->second.cpuSeconds;
    cpu[static_cast<std::size_t>(process.kind)] += process.cpuSeconds - start;
  }
  return cpu;
}

MemorySample SampleMemory(const TreeSample& tree) {
  MemorySample memory;
  for (const auto& [pid, process] : tree.processes) {
    const std::filesystem::path base = "/proc/" + std::to_string(pid);
    const auto kind = static_cast<std::size_t>(process.kind);
    memory.pssKiB[kind] += Field(base / "smaps_rollup", "Pss:");
    memory.anonKiB[kind] += Field(base / "status", "RssAnon:");
    memory.peakRssKiB[kind] += Field(base / "status", "VmHWM:");
  }
  return memory;
}

}  // namespace larkwend::bench
