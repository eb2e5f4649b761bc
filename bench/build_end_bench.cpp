// build_end_bench.cpp -- speed of the end of creation: the work-file merge
// of every level into the new half and its commit.
//
// Corpus and feeder: build_feeder.hpp (32 MB of text, 2-grams of 3-byte
// units, a document record per document). Per iteration a new index is
// fed (not timed), then VOZ_createIndexLast + VOZ_createIndexTerm 'G' are
// timed. Workloads by pool size: 8 MB and 1 MB (more sections, and with 1 MB
// level 0 fills and cascades). Counters: source MB/s of the timed part,
// levels in use, peak bytes of the work directory (sampled after every
// flush and after the end; the merge removes a level's files as soon as it
// is merged), peak resident memory (MB), key records of the result (so
// that fast-but-wrong shows).
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "build/voz_createend.hpp"
#include "build_feeder.hpp"
#include "files/voz_records_create.hpp"
#include "postings/voz_idxset.hpp"

namespace {

using namespace buildfeed;

// Bytes of the regular files under `dir`.
uint64_t dirBytes(const std::string& dir) {
    uint64_t n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code e2;
        if (it->is_regular_file(e2)) n += it->file_size(e2);
    }
    return n;
}

void BM_CreateEnd(benchmark::State& state) {
    const auto& docs = documents();
    std::vector<uint8_t> units;
    size_t bytes = 0;
    for (const std::string& d : docs) bytes += d.size();
    int levels = 0;
    uint64_t peakWork = 0, records = 0;
    for (auto _ : state) {
        state.PauseTiming();
        char tmpl[] = "/tmp/build_end_bench.XXXXXX";
        std::string dir = mkdtemp(tmpl);
        std::string out = dir + "/out", work = dir + "/work";
        mkdir(out.c_str(), 0770);
        mkdir(work.c_str(), 0770);
        GTRCREATEPARM p;
        GTRSYSPARM sys;
        benchParms(static_cast<int32_t>(state.range(0)), &p, &sys);
        CREATWRK* cwp = nullptr;
        GTRSTATUS st{};
        int32_t maxDoc = 0;
        VOZ_createIndexInit(&cwp, "idx", out.c_str(), nullptr, nullptr, work.c_str(), 'N', 'B',
                            p, &sys, &maxDoc, &st);
        int32_t doc = 0;
        uint16_t seen = 0;
        for (const std::string& d : docs) {
            if (st.retcode != 0) break;
            feed(cwp, units, normalize(d, units), doc++, &st);
            if (cwp->levels[0].numSections != seen) {
                seen = cwp->levels[0].numSections;
                uint64_t w = dirBytes(work);
                if (w > peakWork) peakWork = w;
            }
        }
        state.ResumeTiming();
        if (st.retcode == 0) VOZ_createIndexLast(cwp, &st);
        state.PauseTiming();
        uint64_t w = dirBytes(work);
        if (w > peakWork) peakWork = w;
        levels = cwp->levelsInUse;
        state.ResumeTiming();
        GTRSTATUS t{};
        VOZ_createIndexTerm(cwp, st.retcode == 0 ? 'G' : 'C', &t);
        state.PauseTiming();
        if (st.retcode != 0 || t.retcode != 0) state.SkipWithError("creation end failed");
        _FCTLHEAD main;
        GTRSTATUS q{};
        voz_SetFctlForRead(&main, "idx", out.c_str(), 0, 0, "KPLQ", "Full", &q);
        KEYINFO_0 info{};
        voz_IDXqueryExistence(&main, &info, &q);
        records = info.fixedRecords + info.varRecords;
        std::string cmd = "rm -rf '" + dir + "'";
        (void)!system(cmd.c_str());
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    state.counters["levels"] = levels;
    state.counters["peakWorkMB"] = static_cast<double>(peakWork) / 1048576.0;
    state.counters["peakMB"] = peakMB();
    state.counters["keyRecords"] = static_cast<double>(records);
}
BENCHMARK(BM_CreateEnd)->Arg(8 << 20)->Arg(1 << 20)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
