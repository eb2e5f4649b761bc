// build_bench.cpp -- speed of the pattern pool and its flush.
//
// Corpus: 32 MB of UTF-8 text built from a fixed multilingual word list
// (fixed seed), cut into documents of about 4 KB. A feeder normalises each
// document with the character layer (code 34, 3-byte units) and hands
// every 2-gram of units to the pool (kind ')', fixed patterns of 2 units),
// then the document record '&'. Pool 8 MB, batch mode, no time log.
// Workloads:
//   BM_NormalizeOnly     the feeder's normalisation alone (the baseline)
//   BM_PoolAndFlush      normalise + pool + every flush: source MB/s,
//                        documents/s, flushes, key records written, peak
//                        resident memory (MB)
//   BM_FlushFullPool     one flush of a full 8 MB pool (sorts and writes);
//                        entries/s
//   BM_SortFixedKeys     the radix sort of the fixed keys of a full pool
// A cycle is restarted before level 0 holds 60 sections (the level merge
// is not part of this measure). The key-record count is printed so that
// fast-but-wrong shows. The pool needs no allocation per occurrence: one
// copy of 24 bytes into the preallocated array.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "build/voz_creatwrk.hpp"
#include "build/voz_pattpool.hpp"
#include "build_feeder.hpp"
#include "files/voz_records_create.hpp"

namespace {

using namespace buildfeed;

constexpr int32_t kPoolBytes = 8 << 20;

// A creation cycle in a scratch directory.
struct Cycle {
    std::string dir;
    CREATWRK* cwp = nullptr;
    GTRSTATUS st{};
    Cycle() {
        char tmpl[] = "/tmp/build_bench.XXXXXX";
        dir = mkdtemp(tmpl);
        mkdir((dir + "/out").c_str(), 0770);
        mkdir((dir + "/work").c_str(), 0770);
        start();
    }
    ~Cycle() {
        stop();
        std::string cmd = "rm -rf '" + dir + "'";
        (void)!system(cmd.c_str());
    }
    void start() {
        GTRCREATEPARM p;
        GTRSYSPARM sys;
        benchParms(kPoolBytes, &p, &sys);
        int32_t maxDoc = 0;
        VOZ_createIndexInit(&cwp, "idx", (dir + "/out").c_str(), nullptr, nullptr,
                            (dir + "/work").c_str(), 'N', 'B', p, &sys, &maxDoc, &st);
    }
    void stop() {
        if (cwp != nullptr) voz_CreateIndexReleaseAll(cwp, &st);
        cwp = nullptr;
    }
    // Key records written so far by this cycle's flushes.
    uint64_t keyRecords() const {
        uint64_t n = 0;
        const MCTLINFO& l0 = cwp->levels[0];
        for (uint16_t i = 0; i < l0.numSections; ++i)
            n += l0.sections[i].basic.fixedRecords + l0.sections[i].basic.varRecords;
        return n;
    }
};

void BM_NormalizeOnly(benchmark::State& state) {
    const auto& docs = documents();
    std::vector<uint8_t> units;
    size_t bytes = 0, total = 0;
    for (auto _ : state) {
        total = 0;
        for (const std::string& d : docs) total += normalize(d, units);
    }
    for (const std::string& d : docs) bytes += d.size();
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    state.counters["units"] = static_cast<double>(total);
}
BENCHMARK(BM_NormalizeOnly)->Unit(benchmark::kMillisecond);

void BM_PoolAndFlush(benchmark::State& state) {
    const auto& docs = documents();
    std::vector<uint8_t> units;
    size_t bytes = 0;
    for (const std::string& d : docs) bytes += d.size();
    uint64_t records = 0, flushes = 0;
    for (auto _ : state) {
        Cycle c;
        records = flushes = 0;
        int32_t doc = 0;
        for (const std::string& d : docs) {
            if (c.cwp->levels[0].numSections >= 55) {  // before level 0 is full
                records += c.keyRecords();
                flushes += c.cwp->levels[0].numSections;
                c.stop();
                c.start();
            }
            feed(c.cwp, units, normalize(d, units), doc++, &c.st);
        }
        voz_PattFlush(c.cwp, c.cwp->targetSet, &c.st);
        records += c.keyRecords();
        flushes += c.cwp->levels[0].numSections;
        if (c.st.retcode != 0) state.SkipWithError("pool or flush failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    state.counters["docs/s"] = benchmark::Counter(
        static_cast<double>(docs.size()), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["flushes"] = static_cast<double>(flushes);
    state.counters["keyRecords"] = static_cast<double>(records);
    state.counters["peakMB"] = peakMB();
}
BENCHMARK(BM_PoolAndFlush)->Unit(benchmark::kMillisecond)->Iterations(3);

// Fills the pool of `c` up to (not past) its end with the corpus' 2-grams.
int64_t fill(Cycle& c) {
    const auto& docs = documents();
    std::vector<uint8_t> units;
    int32_t doc = 0;
    for (const std::string& d : docs) {
        size_t n = normalize(d, units);
        if (static_cast<size_t>(c.cwp->pool.end - c.cwp->pool.cursor) < n + 1) break;
        feed(c.cwp, units, n, doc++, &c.st);
    }
    return c.cwp->pool.cursor - c.cwp->pool.start;
}

void BM_FlushFullPool(benchmark::State& state) {
    Cycle c;
    int64_t entries = 0;
    for (auto _ : state) {
        state.PauseTiming();
        c.stop();
        c.start();
        entries = fill(c);
        state.ResumeTiming();
        voz_PattFlush(c.cwp, c.cwp->targetSet, &c.st);
    }
    if (c.st.retcode != 0) state.SkipWithError("flush failed");
    state.SetItemsProcessed(state.iterations() * entries);
    state.counters["keyRecords"] = static_cast<double>(c.keyRecords());
}
BENCHMARK(BM_FlushFullPool)->Unit(benchmark::kMillisecond);

void BM_SortFixedKeys(benchmark::State& state) {
    Cycle c;
    int64_t entries = fill(c);
    std::vector<PATTINFO*> heads, work;
    for (PATTINFO* e = c.cwp->pool.start; e < c.cwp->pool.cursor; ++e)
        if (e->kind == 'F') heads.push_back(e);
    for (auto _ : state) {
        state.PauseTiming();
        work = heads;
        state.ResumeTiming();
        voz_SortPattFIX(work.data(), static_cast<int32_t>(work.size()), &c.st);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(heads.size()));
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_SortFixedKeys)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
