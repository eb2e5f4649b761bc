// merge_bench.cpp -- speed of index maintenance: the merge of a secondary
// half of 10% into the primary half, and the commits of a merge and of a
// deletion of 1% of the documents (fsyncs included).
//
// Corpus and feeder: build_feeder.hpp (32 MB of text in ~8,000 documents,
// 2-grams of 3-byte units). A template index is built once (not timed):
// "main" from the first 90% of the documents, "supp" appended from the
// last 10%. Each iteration copies the template (not timed), then:
//   BM_MergeIndex       VOZ__mergeIndex + VOZ__mergeIndexFinish 'G';
//                       counter: MB/s of position data of both halves
//   BM_MergeCommit      VOZ__mergeIndex untimed, only the finish 'G' (the
//                       journal: syncs of the new half, mark, moves)
//   BM_DeleteCommit     1% of the documents deleted (init, deletes, last
//                       untimed), only vozDeleteDocTerm 'G'
// Counters also give the key records of the merged main and the live
// documents, so that fast-but-wrong shows.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "build/voz_createend.hpp"
#include "build/voz_deldoc.hpp"
#include "build/voz_merge.hpp"
#include "build_feeder.hpp"
#include "files/voz_records_create.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"

namespace {

using namespace buildfeed;
namespace fs = std::filesystem;

// One creation cycle of documents [from, to) into out/idx.
bool buildPart(const std::string& out, const std::string& work, char op, size_t from,
               size_t to) {
    const auto& docs = documents();
    GTRCREATEPARM p;
    GTRSYSPARM sys;
    benchParms(8 << 20, &p, &sys);
    CREATWRK* cwp = nullptr;
    GTRSTATUS st{};
    int32_t maxDoc = 0;
    VOZ_createIndexInit(&cwp, "idx", out.c_str(), nullptr, nullptr, work.c_str(), op, 'B', p,
                        &sys, &maxDoc, &st);
    std::vector<uint8_t> units;
    for (size_t d = from; d < to && st.retcode == 0; ++d)
        feed(cwp, units, normalize(docs[d], units), static_cast<int32_t>(d), &st);
    if (st.retcode == 0) VOZ_createIndexLast(cwp, &st);
    GTRSTATUS t{};
    if (cwp != nullptr) VOZ_createIndexTerm(cwp, st.retcode == 0 ? 'G' : 'C', &t);
    return st.retcode == 0 && t.retcode == 0;
}

// A fresh directory under /tmp with its "work" subdirectory.
struct Dirs {
    std::string root, out, work;
    Dirs() {
        char tmpl[] = "/tmp/merge_bench.XXXXXX";
        root = mkdtemp(tmpl);
        out = root + "/out";
        work = root + "/work";
        fs::create_directories(work);
    }
    ~Dirs() { fs::remove_all(root); }
    Dirs(const Dirs&) = delete;
    Dirs& operator=(const Dirs&) = delete;
};

// The template index, built on first use; removed at exit.
struct Template : Dirs {
    uint64_t posBytes = 0;
    bool ok = false;
    Template() {
        fs::create_directories(out);
        const size_t n = documents().size(), cut = n - n / 10;
        ok = buildPart(out, work, 'N', 0, cut) && buildPart(out, work, 'A', cut, n);
        // Position data: the sequential files "voz.POS" (a partitioned
        // file is a directory of parts) of both halves.
        for (const auto& e : fs::recursive_directory_iterator(out + "/idx")) {
            const std::string path = e.path().string();
            if (e.is_regular_file() && path.find(".POS") != std::string::npos)
                posBytes += e.file_size();
        }
    }
};

const Template& model() {
    static Template t;
    return t;
}

// A fresh copy of the template in its own directory.
struct Copy : Dirs {
    Copy() { fs::copy(model().out, out, fs::copy_options::recursive); }
};

GTRSYSPARM quiet() {
    GTRSYSPARM sys;
    GTRCREATEPARM p;
    benchParms(8 << 20, &p, &sys);
    return sys;
}

MERGEWRK* startMerge(const Copy& c, GTRSTATUS* st) {
    MERGEWRK* m = nullptr;
    GTRSYSPARM sys = quiet();
    VOZ__mergeIndex(&m, "idx", c.out.c_str(), "KPLQ", "Full", c.work.c_str(), &sys, nullptr,
                    nullptr, VOZ_MERGE_SUPP, nullptr, st);
    return m;
}

uint32_t mainKeys(const Copy& c) {
    _FCTLHEAD fs;
    GTRSTATUS st{};
    voz_SetFctlForRead(&fs, "idx", c.out.c_str(), 0, 0, "KPLQ", "Full", &st);
    KEYINFO_0 info{};
    voz_IDXqueryExistence(&fs, &info, &st);
    return info.fixedRecords + info.varRecords;
}

void BM_MergeIndex(benchmark::State& state) {
    if (!model().ok) return state.SkipWithError("template build failed");
    uint32_t keys = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Copy c;
        state.ResumeTiming();
        GTRSTATUS st{};
        MERGEWRK* m = startMerge(c, &st);
        if (st.retcode == 0) VOZ__mergeIndexFinish(m, nullptr, 1, 0, 'G', &st);
        state.PauseTiming();
        if (st.retcode != 0) state.SkipWithError("merge failed");
        keys = mainKeys(c);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * model().posBytes));
    state.counters["keyRecords"] = keys;
}

void BM_MergeCommit(benchmark::State& state) {
    if (!model().ok) return state.SkipWithError("template build failed");
    for (auto _ : state) {
        state.PauseTiming();
        Copy c;
        GTRSTATUS st{};
        MERGEWRK* m = startMerge(c, &st);
        state.ResumeTiming();
        if (st.retcode == 0) VOZ__mergeIndexFinish(m, nullptr, 1, 0, 'G', &st);
        state.PauseTiming();
        if (st.retcode != 0) state.SkipWithError("merge commit failed");
        state.ResumeTiming();
    }
}

void BM_DeleteCommit(benchmark::State& state) {
    if (!model().ok) return state.SkipWithError("template build failed");
    const uint32_t n = static_cast<uint32_t>(documents().size());
    std::vector<uint32_t> gone;
    for (uint32_t d = 0; d < n; d += 100) gone.push_back(d);
    for (auto _ : state) {
        state.PauseTiming();
        Copy c;
        GTRSTATUS st{};
        CREATWRK* b = nullptr;
        vozDeleteDocInit(&b, "idx", c.out.c_str(), "KPLQ", "Full", &st);
        if (st.retcode == 0)
            VOZ_deleteDocs(b->indexSets, static_cast<uint32_t>(gone.size()), gone.data(), &st);
        if (st.retcode == 0) vozDeleteDocLast(b, &st);
        state.ResumeTiming();
        if (st.retcode == 0) vozDeleteDocTerm(b, 'G', &st);
        state.PauseTiming();
        vozDeleteDocFree(b);
        if (st.retcode != 0) state.SkipWithError("deletion commit failed");
        state.ResumeTiming();
    }
    state.counters["deleted"] = static_cast<double>(gone.size());
}

BENCHMARK(BM_MergeIndex)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_MergeCommit)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_DeleteCommit)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
