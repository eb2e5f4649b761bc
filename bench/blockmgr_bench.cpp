// Benchmarks of the page buffer pool: pins per second while the pool is
// caching (at most 64 buffers) and after it has switched to write-through.
//
// Workloads (fixed seed 42, a file of 256 pages of 8192 bytes, page p
// filled with byte p; pins read the page, unpin unmodified):
//   BM_PinCaching/32        pins of 32 hot pages: every pin after the first
//                           round is found in the pool
//   BM_PinCaching/256       pins spread over all 256 pages: most pins
//                           replace a buffer and read the file
//   BM_PinWriteThrough/32   the same 32 pages after 70 pages were pinned at
//                           once (pool of 68 buffers, write-through): every
//                           pin of an unpinned page reads the file
//   BM_PinWriteThrough/256  likewise over all pages
// Each reports pins/s (items) and the sum of the first byte of every page
// pinned (the same for every run of one workload), so a wrong page shows.
#include <benchmark/benchmark.h>
#include <ftw.h>
#include <stdlib.h>

#include <random>
#include <string>
#include <vector>

#include "blocks/voz_extentmgr.hpp"

namespace {

constexpr uint32_t kPage = 8192;
constexpr uint32_t kPages = 256;

struct PageFile {
    std::string dir, name;
    PageFile() {
        char tmpl[] = "/tmp/blockbenchXXXXXX";
        dir = mkdtemp(tmpl);
        name = dir + "/pages";
        CVozExtentMgr* ext =
            CVozExtentMgr::GetExtentMgr(name.c_str(), kPage, 1, 0);
        for (uint32_t p = 0; p < kPages; ++p) {
            ext->Expand();
            CVozPageInfo h;
            ext->Pin(p, h, 0);
            for (uint32_t i = 0; i < kPage; ++i) h.Data()[i] = static_cast<uint8_t>(p);
            ext->Unpin(h, 1);
        }
        CVozExtentMgr::DestroyExtentMgr(ext);
    }
    ~PageFile() {
        nftw(dir.c_str(),
             [](const char* p, const struct stat*, int, struct FTW*) {
                 return remove(p);
             },
             16, FTW_DEPTH | FTW_PHYS);
    }
};

void runPins(benchmark::State& state, bool writeThrough) {
    PageFile file;
    CVozExtentMgr* ext =
        CVozExtentMgr::GetExtentMgr(file.name.c_str(), kPage, 0, 1);
    if (writeThrough) {
        std::vector<CVozPageInfo> many(70);
        for (uint32_t p = 0; p < 70; ++p) ext->Pin(p, many[p], 1);
        for (uint32_t p = 0; p < 70; ++p) ext->Unpin(many[p], 0);
    }
    const uint32_t range = static_cast<uint32_t>(state.range(0));
    std::mt19937 rng(42);
    std::vector<uint32_t> order(4096);
    for (uint32_t& p : order) p = rng() % range;
    CVozPageInfo h;
    uint64_t sum = 0;
    for (auto _ : state) {
        sum = 0;
        for (uint32_t p : order) {
            ext->Pin(p, h, 1);
            sum += h.Data()[0];
            ext->Unpin(h, 0);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(order.size()));
    state.counters["buffers"] = ext->BufferCount();
    state.counters["checksum"] = static_cast<double>(sum);
    CVozExtentMgr::DestroyExtentMgr(ext);
}

void BM_PinCaching(benchmark::State& state) { runPins(state, false); }
void BM_PinWriteThrough(benchmark::State& state) { runPins(state, true); }

BENCHMARK(BM_PinCaching)->Arg(32)->Arg(256);
BENCHMARK(BM_PinWriteThrough)->Arg(32)->Arg(256);

}  // namespace

BENCHMARK_MAIN();
