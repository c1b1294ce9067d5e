// SPDX-License-Identifier: GPL-3.0-or-later
// The update exchange on loopback, and what the check costs at start when no service listens.
//
//   bench_update_bench                 one exchange against a loopback service, end to end
//   BM_NoServiceListening              the start-up check when the connection is refused
#include <benchmark/benchmark.h>

#include "../tests/unit/update_test_server.h"
#include "update/update_check.h"

namespace larkwend {
namespace {

void BM_UpdateExchange(benchmark::State& state) {
  testing::UpdateTestServer server;
  server.Reply(testing::ReplyRecord("302|http://127.0.0.1:18080/download/larkwend.zip"));
  const UpdateEndpoint endpoint{"127.0.0.1", server.port()};
  for (auto _ : state) {
    std::string text;
    if (!QueryUpdateInfo(text, endpoint)) state.SkipWithError("no reply");
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_UpdateExchange)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_NoServiceListening(benchmark::State& state) {
  const UpdateEndpoint endpoint{"127.0.0.1", testing::RefusingPort()};
  for (auto _ : state) {
    std::string text;
    if (QueryUpdateInfo(text, endpoint)) state.SkipWithError("a service answered");
  }
}
BENCHMARK(BM_NoServiceListening)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace larkwend

BENCHMARK_MAIN();
