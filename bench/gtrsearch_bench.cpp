// Searches through the engine calls over real text: the project's ASCII
// sources, repeated to about 8 MB, one document each, built once through
// the update cycle (code page 34, text only, word rule 0). A warm search
// handle serves every search.
//   BM_GtrSearch/<query>/<res_type>  one GTRsearchIndex of query text per
//                          iteration (memory results released each time);
//                          reports p50_us and p99_us and the documents.
//     frequent / rare     a digit group in many files / in one or two
//     short               a one-digit group
//     and2..and5, or2..or5  AND / OR of 2 to 5 groups
//   BM_GtrReadFirst100     a memory result of the frequent group, opened
//                          and its first 100 documents looked up
//   BM_GtrHitinfo          GTRgetHitinfo over 100 KB documents with one
//                          hit every 1 KB: bytes per second
// The index lives in a temporary directory removed at exit.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "bench_index.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_gtrhit.hpp"
#include "calls/voz_gtrresult.hpp"
#include "calls/voz_gtrsearch.hpp"

namespace {

namespace fs = std::filesystem;

constexpr size_t kCorpusBytes = 8u << 20;

struct Corpus {
    fs::path dir;
    std::vector<std::string> groups;  // digit groups, most files first
    void* handle = nullptr;           // the warm search handle

    Corpus() {
        dir = fs::temp_directory_path() /
              ("gtrsearch_bench." + std::to_string(getpid()));
        fs::create_directories(dir / "out");
        fs::create_directories(dir / "work");
        build(texts());
    }
    ~Corpus() {
        GTRSTATUS st{};
        GTRsearchIndex_Release(&handle, &st);
        fs::remove_all(dir);
    }

    std::vector<std::string> texts() {
        std::vector<std::string> files = benchSourceTexts();
        std::sort(files.begin(), files.end());
        std::vector<std::string> out;
        size_t total = 0;
        for (size_t i = 0; total < kCorpusBytes && !files.empty(); ++i) {
            out.push_back(files[i % files.size()]);
            total += out.back().size();
        }
        countGroups(out);
        return out;
    }

    void countGroups(const std::vector<std::string>& docs) {
        std::map<std::string, int> n;
        static const std::regex digits("[0-9]{2,5}");
        for (size_t i = 0; i < docs.size() && i < 2000; ++i) {
            std::set<std::string> seen;
            for (auto it = std::sregex_iterator(docs[i].begin(), docs[i].end(), digits);
                 it != std::sregex_iterator(); ++it)
                seen.insert(it->str());
            for (const std::string& g : seen) ++n[g];
        }
        std::vector<std::pair<int, std::string>> v;
        for (const auto& [g, c] : n) v.push_back({-c, g});
        std::sort(v.begin(), v.end());
        for (const auto& p : v) groups.push_back(p.second);
    }

    void build(const std::vector<std::string>& docs) {
        GTRHCREATEPARM p = benchCreateParm(34, 1, 3);
        GTRSYSPARM sys = benchSysParm(8 << 20, 1 << 20, 0);
        GTRSTATUS st{};
        void* h = nullptr;
        int32_t maxDoc = 0;
        const std::string out = (dir / "out").string();
        GTRcreateIndexInit(&h, "idx", out.c_str(), (dir / "work").c_str(), 'N',
                           'B', &p, &sys, &maxDoc, &st);
        for (size_t i = 0; i < docs.size() && st.retcode == 0; ++i) {
            benchAddText(h, docs[i], static_cast<int32_t>(i + 1), &st);
        }
        if (st.retcode == 0) GTRcreateIndexLast(h, &st);
        if (st.retcode == 0) GTRcreateIndexTerm(h, 'G', &st);
        if (st.retcode != 0) fprintf(stderr, "build failed %d/%d\n", st.retcode, st.errcode);
    }

    // One search; returns the documents found (the result is released).
    int32_t search(const std::string& query, uint8_t resType, GTRSTATUS* st,
                   GTRSEARCH_RES* keep = nullptr) {
        GTRSEARCH_COND c;
        memset(&c, 0, sizeof c);
        c.codepage = 34;
        c.cond_type = GTR_COND_QUERY;
        std::string q = query;
        c.query = &q[0];
        GTRSEARCH_RES r;
        memset(&r, 0, sizeof r);
        r.res_type = resType;
        r.res_dataform = 1;
        const std::string out = (dir / "out").string();
        GTRsearchIndex(&handle, "idx", out.c_str(), nullptr, c, nullptr,
                       nullptr, nullptr, &r, st);
        if (keep != nullptr) {
            *keep = r;
        } else if (r.res_handle != nullptr) {
            GTRSTATUS rs{};
            GTRsearchIndex_ReleaseResult(r.res_handle, &rs);
        }
        return r.result_docnum;
    }
};

Corpus& corpus() {
    static Corpus c;
    return c;
}

std::string queryOf(const std::string& kind) {
    const std::vector<std::string>& g = corpus().groups;
    if (kind == "frequent") return g[0];
    if (kind == "rare") return g[g.size() - 1];
    if (kind == "short") {
        for (const std::string& s : g)
            if (s.size() == 2) return s;
    }
    const bool isAnd = kind.compare(0, 3, "and") == 0;
    const int n = kind.back() - '0';
    std::string q;
    for (int i = 0; i < n; ++i) {
        if (i > 0) q += isAnd ? " * " : " + ";
        q += g[static_cast<size_t>(isAnd ? i : i * 7 + 3)];
    }
    return q;
}

void report(benchmark::State& state, std::vector<double>& micros) {
    std::sort(micros.begin(), micros.end());
    if (micros.empty()) return;
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] =
        micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}

void BM_GtrSearch(benchmark::State& state, const std::string& kind,
                  uint8_t resType) {
    const std::string q = queryOf(kind);
    std::vector<double> micros;
    int32_t docs = 0;
    for (auto _ : state) {
        GTRSTATUS st{};
        const auto t0 = std::chrono::steady_clock::now();
        docs = corpus().search(q, resType, &st);
        micros.push_back(std::chrono::duration<double, std::micro>(
                             std::chrono::steady_clock::now() - t0).count());
        if (st.retcode != 0) {
            state.SkipWithError("search failed");
            break;
        }
    }
    report(state, micros);
    state.counters["docs"] = docs;
}

void BM_GtrReadFirst100(benchmark::State& state) {
    const std::string q = queryOf("frequent");
    std::vector<double> micros;
    for (auto _ : state) {
        GTRSTATUS st{};
        GTRSEARCH_RES r;
        const auto t0 = std::chrono::steady_clock::now();
        corpus().search(q, GTR_RES_HANDLE, &st, &r);
        GTRsearchIndex_OpenResult(r.res_handle, nullptr, &st);
        for (int d = 0; d < 100 && st.retcode == 0; ++d) {
            OCC* e = nullptr;
            int32_t n = 0;
            GTRsearchIndex_LookResult_Doc(r.res_handle, -1, &e, &n, nullptr,
                                          nullptr, &st);
            benchmark::DoNotOptimize(e);
        }
        GTRsearchIndex_CloseResult(r.res_handle, nullptr, &st);
        GTRsearchIndex_ReleaseResult(r.res_handle, &st);
        micros.push_back(std::chrono::duration<double, std::micro>(
                             std::chrono::steady_clock::now() - t0).count());
    }
    report(state, micros);
}

void BM_GtrHitinfo(benchmark::State& state) {
    // 100 KB of lines of words and digit groups; a hit every ~1 KB.
    std::string doc;
    while (doc.size() < 100 * 1024)
        doc += "alpha beta 12345 gamma, delta (67) epsilon\n";
    const int32_t positions = static_cast<int32_t>(doc.size());  // bound
    std::vector<OCC> occs;
    for (int32_t p = 5; p < positions * 8 / 10; p += 1024) {
        OCC o{};
        o.docno = 1;
        o.pos = p;
        o.len = 3;
        occs.push_back(o);
    }
    std::vector<HITOFFSET> h(occs.size());
    for (auto _ : state) {
        GTRSTATUS st{};
        GTRgetHitinfo(reinterpret_cast<const uint8_t*>(doc.data()),
                      static_cast<int32_t>(doc.size()),
                      static_cast<int32_t>(occs.size()), occs.data(), 0,
                      h.data(), 34, &st);
        benchmark::DoNotOptimize(h.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(doc.size()));
}

struct Registrar {
    Registrar() {
        for (const char* kind : {"frequent", "rare", "short", "and2", "and3",
                                 "and5", "or2", "or3", "or5"}) {
            for (uint8_t t : {GTR_RES_HANDLE, GTR_RES_NONE}) {
                const std::string name = std::string("BM_GtrSearch/") + kind +
                                         "/" + std::to_string(t);
                benchmark::RegisterBenchmark(name.c_str(), BM_GtrSearch,
                                             std::string(kind), t)
                    ->Unit(benchmark::kMicrosecond);
            }
        }
        benchmark::RegisterBenchmark("BM_GtrReadFirst100", BM_GtrReadFirst100)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("BM_GtrHitinfo", BM_GtrHitinfo);
    }
} registrar;

}  // namespace

BENCHMARK_MAIN();
