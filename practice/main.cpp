// SPDX-License-Identifier: GPL-3.0-or-later
// larkwend-practice: the practice portal, study platform and update service, on loopback, until
// interrupted.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "options.h"
#include "practice_server.h"
#include "site_addresses.h"

int main(int argc, char** argv) {
  using namespace larkwend::practice;
  std::vector<std::string> args(argv + 1, argv + argc);
  ParseResult parsed = ParseOptions(args);
  if (parsed.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (parsed.version) {
    std::puts("larkwend-practice " LARKWEND_VERSION);
    return 0;
  }
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "larkwend-practice: %s\n\n%s", parsed.error.c_str(), UsageText().c_str());
    return 2;
  }

  // Block the stop signals before any thread starts, so that only sigwait below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  PracticeServer server(parsed.options);
  std::string error;
  if (!server.Start(error)) {
    std::fprintf(stderr, "larkwend-practice: %s\n", error.c_str());
    return 1;
  }
  const SiteAddresses& addresses = SiteAddresses::FromProfile();
  std::printf("larkwend-practice: portal http://%s:%d%s, study platform http://%s:%d%s",
              addresses.portalHost.c_str(), server.HttpPort(), addresses.loginPath.c_str(),
              addresses.studyHost.c_str(), server.HttpPort(), addresses.courseListPath.c_str());
  if (server.TlsPort() > 0)
    std::printf(" and https://%s:%d%s", addresses.studyHost.c_str(), server.TlsPort(),
                addresses.courseListPath.c_str());
  if (server.UpdatePort() > 0) std::printf(", update service 127.0.0.1:%d", server.UpdatePort());
  std::printf("\n");
  std::fflush(stdout);

  int signal = 0;
  sigwait(&stopSignals, &signal);
  server.Stop();
  return 0;
}
