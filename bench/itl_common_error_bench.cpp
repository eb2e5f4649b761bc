// itl_common_error_bench.cpp: cost of the index library's error model.
//
// Workloads:
//   BM_RaiseAndCatchException  an ItlClException with three context lines
//                              (file name, index name, document number) is
//                              built, thrown, caught and recorded in an error
//                              info, as the exported functions do
//   BM_RecordWarning           a lookup miss: context line 78 and a warning
//                              recorded (threshold 0)
// Rates are items per second; the context length of the last record is
// printed as a counter so that a wrong record shows.
#include <benchmark/benchmark.h>

#include "itl_error.hpp"

namespace {

void BM_RaiseAndCatchException(benchmark::State& state) {
  ItlClErrorInfo info;
  for (auto _ : state) {
    try {
      ItlClException e(ITL_SOURCE("bench/itl_common_error"),
                       ItlEnReasonCode_Io_open_error);
      e.context(3) << ": /data/index/ix.tf";
      e.context(2) << ": ix";
      e.context(12) << ": " << 123456u;
      e.raise();
    } catch (ItlClException const& e) {
      benchmark::DoNotOptimize(info.setError(e));
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["context_bytes"] = info.getContextLength();
}
BENCHMARK(BM_RaiseAndCatchException);

void BM_RecordWarning(benchmark::State& state) {
  ItlClErrorInfo info;
  for (auto _ : state) {
    info.resetContext(nullptr);
    info.context(78) << ": fieldname";
    benchmark::DoNotOptimize(info.setError(
        "bench:1", ItlEnReasonCode_Map_name_not_found, ItlEnReturnCode_Warning,
        ItlEnErrorAction_Inform));
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["warnings"] = info.getWarningCount();
}
BENCHMARK(BM_RecordWarning);

}  // namespace

BENCHMARK_MAIN();
