// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmark's reading of a process tree from /proc: who belongs to it, which kind each
// process is, and how its CPU time is split between two samples.
#include "process_stats.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace larkwend::bench {
namespace {

// Spins until this process has used `seconds` of CPU.
void Burn(double seconds) {
  timespec now{};
  do {
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  } while (static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9 < seconds);
}

// A child named `name` that burns `seconds` of CPU, tells the pipe, then waits to be killed.
pid_t Child(const char* name, double seconds, int done) {
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_NAME, name);
    Burn(seconds);
    char byte = 1;
    if (write(done, &byte, 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  return pid;
}

TEST(ProcessStatsTest, TheTreeIsTheRootAndItsDescendantsByKindWithTheirCpu) {
  int pipes[2];
  ASSERT_EQ(pipe(pipes), 0);
  const pid_t root = getpid();
  const TreeSample before = SampleTree(root);
  const pid_t web = Child("WebKitWebProcess", 0.3, pipes[1]);
  const pid_t network = Child("WebKitNetworkProcess", 0.0, pipes[1]);
  char byte = 0;
  ASSERT_EQ(read(pipes[0], &byte, 1), 1);
  ASSERT_EQ(read(pipes[0], &byte, 1), 1);
  const TreeSample after = SampleTree(root);

  ASSERT_TRUE(after.processes.contains(web));
  ASSERT_TRUE(after.processes.contains(network));
  EXPECT_EQ(after.processes.at(root).kind, Kind::kWindow);
  EXPECT_EQ(after.processes.at(web).kind, Kind::kWeb);
  EXPECT_EQ(after.processes.at(network).kind, Kind::kNetwork);
  EXPECT_FALSE(after.processes.contains(getppid())) << "the root's parent is not in its tree";
  // A child's switches are not the root's; the root's threads switched at least while waiting.
  const Switches switches = SwitchesBetween(root, before, after);
  EXPECT_GT(switches.mainThread, 0);
  EXPECT_GE(switches.allThreads, switches.mainThread);

  // A process that started between the samples counts from zero.
  const auto cpu = CpuBetween(before, after);
  EXPECT_GE(cpu[static_cast<std::size_t>(Kind::kWeb)], 0.25);
  EXPECT_LT(cpu[static_cast<std::size_t>(Kind::kNetwork)], 0.25);
  const MemorySample memory = SampleMemory(after);
  EXPECT_GT(memory.pssKiB[static_cast<std::size_t>(Kind::kWeb)], 0);
  EXPECT_GE(memory.peakRssKiB[static_cast<std::size_t>(Kind::kWindow)],
            memory.pssKiB[static_cast<std::size_t>(Kind::kWindow)]);

  for (pid_t pid : {web, network}) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  close(pipes[0]);
  close(pipes[1]);
}

}  // namespace
}  // namespace larkwend::bench
