// SPDX-License-Identifier: GPL-3.0-or-later
// What the benchmarks that run the real program as a process share: the practice site's ports
// lock, waiting on a condition, and a program started in a working directory of its own and
// stopped with every process it started.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace larkwend::bench {

using Clock = std::chrono::steady_clock;

// Holds the ports lock that every user of the practice site's fixed ports takes.
class PortsLock {
 public:
  PortsLock();
  ~PortsLock();
  PortsLock(const PortsLock&) = delete;
  PortsLock& operator=(const PortsLock&) = delete;

 private:
  int fd_;
};

// Moves this process into a network namespace with only its own loopback: the fixed ports are
// free there whatever else runs on the machine, and no lock is needed. False when it cannot.
bool EnterOwnNetwork();

// Seconds since `start`.
double Since(Clock::time_point start);

// Asks `ready` every `pollMs` until it says yes (true) or `timeoutSeconds` have passed (false).
bool WaitFor(const std::function<bool()>& ready, double timeoutSeconds, int pollMs);

// A program running in a new directory under /tmp (the program keeps record.ini in its working
// directory), which goes with it. Stopping it waits until every process of its tree has gone;
// for that, the benchmark makes itself their subreaper (prctl PR_SET_CHILD_SUBREAPER) first.
class StartedProgram {
 public:
  // `argv[0]` is the program's path. The program inherits the benchmark's environment.
  explicit StartedProgram(const std::vector<std::string>& argv);
  ~StartedProgram();
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  pid_t pid() const { return pid_; }
  bool Alive() const;

 private:
  void Stop();

  std::string dir_;
  pid_t pid_ = -1;
};

}  // namespace larkwend::bench
