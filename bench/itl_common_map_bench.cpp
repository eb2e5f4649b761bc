// itl_common_map_bench.cpp: speed of the name maps.
//
// Workloads (30,000 field names "field<i>_<suffix>", fixed seed):
//   BM_AssignNewNames   a fresh map numbers all 30,000 names
//   BM_LookupNames      lookups of known names in random order
//   BM_AssignKnownNames assignments of names already in the map
// Rates are names per second; the sum of the numbers found is printed as a
// counter so that fast-but-wrong shows.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "itl_error.hpp"
#include "itl_index_location.hpp"
#include "itl_name_maps.hpp"

namespace {

std::vector<std::string> const& names() {
  static std::vector<std::string> list;
  if (list.empty()) {
    std::mt19937 rng(30000);
    for (int i = 0; i < 30000; ++i)
      list.push_back("field" + std::to_string(i) + "_" +
                     std::to_string(rng() % 100000));
  }
  return list;
}

struct Map {
  ItlClIndexLocation location{"bench", "/nonexistent"};
  ItlClErrorInfo info;
  ItlClFieldNameMap map{location, info};
  Map() { map.init(); }
  uint32_t assign(std::string const& name) {
    uint32_t number = 0;
    bool isNew = false;
    map.assignNameToNumber(name.c_str(), static_cast<uint32_t>(name.size() + 1),
                           number, isNew);
    return number;
  }
};

void BM_AssignNewNames(benchmark::State& state) {
  uint64_t sum = 0;
  for (auto _ : state) {
    sum = 0;  // of one pass
    Map m;
    for (std::string const& name : names()) sum += m.assign(name);
  }
  state.SetItemsProcessed(state.iterations() * names().size());
  state.counters["number_sum"] = static_cast<double>(sum);
}
BENCHMARK(BM_AssignNewNames)->Unit(benchmark::kMillisecond);

void BM_LookupNames(benchmark::State& state) {
  Map m;
  for (std::string const& name : names()) m.assign(name);
  std::vector<std::string> order = names();
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  uint64_t sum = 0;
  for (auto _ : state) {
    sum = 0;
    for (std::string const& name : order) {
      uint32_t number = 0;
      m.map.mapNameToNumber(name.c_str(), static_cast<uint32_t>(name.size() + 1),
                            number);
      sum += number;
    }
  }
  state.SetItemsProcessed(state.iterations() * order.size());
  state.counters["number_sum"] = static_cast<double>(sum);
}
BENCHMARK(BM_LookupNames)->Unit(benchmark::kMillisecond);

void BM_AssignKnownNames(benchmark::State& state) {
  Map m;
  for (std::string const& name : names()) m.assign(name);
  uint64_t sum = 0;
  for (auto _ : state) {
    sum = 0;
    for (std::string const& name : names()) sum += m.assign(name);
  }
  state.SetItemsProcessed(state.iterations() * names().size());
  state.counters["number_sum"] = static_cast<double>(sum);
}
BENCHMARK(BM_AssignKnownNames)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
