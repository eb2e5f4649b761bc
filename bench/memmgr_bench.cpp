// Benchmarks of the memory manager and pools.
//
// Workloads (fixed seed 42, sizes 1..64 bytes with one in 256 up to 8 KB):
//   BM_PoolChunks       chunks from a pool (16 KB blocks), deleteAll per
//                       batch of 10000 chunks
//   BM_ManagerMallocFree the same sizes through cosMalloc / cosFree
// Each reports items/s (chunks) and the bytes served per batch (the same in
// every run), so a fast-but-wrong run shows.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "cos_memmgr.hpp"

namespace {

constexpr int kBatch = 10000;

std::vector<unsigned> batchSizes() {
  std::mt19937 rng(42);
  std::vector<unsigned> sizes(kBatch);
  for (unsigned& s : sizes)
    s = rng() % 256 == 0 ? rng() % 8192 + 1 : rng() % 64 + 1;
  return sizes;
}

void BM_PoolChunks(benchmark::State& state) {
  std::vector<unsigned> sizes = batchSizes();
  CosClMemoryPool pool(16384, 16384, 4096);
  uint64_t served = 0;
  for (auto _ : state) {
    served = 0;
    unsigned block = 0;
    for (unsigned s : sizes) {
      char* p = static_cast<char*>(pool.allocate(s, block));
      p[0] = 1;
      served += s;
    }
    pool.deleteAll();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  state.counters["batch_bytes"] = static_cast<double>(served);
}
BENCHMARK(BM_PoolChunks);

void BM_ManagerMallocFree(benchmark::State& state) {
  std::vector<unsigned> sizes = batchSizes();
  std::vector<void*> blocks(kBatch);
  uint64_t served = 0;
  for (auto _ : state) {
    served = 0;
    for (int i = 0; i < kBatch; ++i) {
      blocks[i] = cosMalloc(sizes[i]);
      static_cast<char*>(blocks[i])[0] = 1;
      served += sizes[i];
    }
    for (void* b : blocks) cosFree(b);
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  state.counters["batch_bytes"] = static_cast<double>(served);
}
BENCHMARK(BM_ManagerMallocFree);

}  // namespace

BENCHMARK_MAIN();
