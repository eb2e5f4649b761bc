// Whole searches on a warm handle over an n-gram index of 100,000
// synthetic documents (digit groups, code page 1, word rule 0, 2-unit
// n-grams), built once through the update cycle's public calls.
//   BM_Search/<query>   one VOZ_Search_ per iteration into a memory result
//                       (released each time); reports p50_us and p99_us of
//                       the iterations and the documents found ("docs").
//     frequent    "2026", in about half of the documents
//     rare        "98765", in about 0.1% of them
//     and2..and5  AND of 2-5 words ("2026", "314", "27", "55", "8")
//     or2..or5    OR of the same words
//     dist        'D' (same sentence) over "2026" and "314"
//     short       the one-unit word "7"
//   BM_PostingDecode    the exact lookup of "26" walked to its end through
//                       its next-hit operation; reports hits/s.
// Fixed corpus: seed 2026; the index lives in a temporary directory that is
// removed at exit.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_index.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_normline.hpp"
#include "characters/voz_cut.hpp"
#include "files/voz_records.hpp"
#include "search/voz_answer.hpp"
#include "search/voz_exact.hpp"
#include "search/voz_search.hpp"

namespace {

constexpr int kDocs = 100000;
constexpr uint8_t kCode = 1;

std::string makeDoc(std::mt19937& rng) {
    std::string d;
    int groups = 4 + static_cast<int>(rng() % 5);
    for (int g = 0; g < groups; ++g) {
        if (g > 0) d += rng() % 5 == 0 ? ". " : " ";
        int len = 1 + static_cast<int>(rng() % 6);
        for (int k = 0; k < len; ++k) d += static_cast<char>('0' + rng() % 10);
    }
    if (rng() % 2 == 0) d += " 2026";
    if (rng() % 1000 == 0) d += " 98765";
    return d;
}

BenchIndex& benchIndex() {
    static BenchIndex idx("search_bench_idx", kCode, 1, VOZ_HALF_TEXT,
                          [](void* h, GTRSTATUS* st) {
                              std::mt19937 rng(2026);
                              for (int32_t d = 0; d < kDocs && st->retcode == 0; ++d)
                                  benchAddText(h, makeDoc(rng), d, st);
                          });
    return idx;
}

// A query: normalised words and postfix operators.
struct Query {
    std::vector<std::vector<uint8_t>> texts;
    std::vector<RTRVWORDEXT> words;
    std::vector<std::vector<int32_t>> operands;
    std::vector<OPEINFO> ops;

    int32_t word(const char* text) {
        std::vector<uint8_t> units(64);
        int32_t len = 0;
        GTRSTATUS st{};
        vozNormalizeWord(kCode, reinterpret_cast<const uint8_t*>(text),
                         static_cast<int32_t>(strlen(text)), units.data(), 64, &len, 1,
                         nullptr, &st);
        units.resize(static_cast<size_t>(len));
        texts.push_back(units);
        RTRVWORDEXT w;
        memset(&w, 0, sizeof w);
        w.wi.type = 'W';
        w.wi.wordlen = static_cast<int16_t>(len);
        w.wi.precision = 100;
        w.unit_width = 2;
        w.cut_function = Func_CutIntoPart[0];
        w.word_no = static_cast<int16_t>(words.size());
        words.push_back(w);
        return static_cast<int32_t>(words.size()) - 1;
    }
    void op(char kind, std::vector<int32_t> opnds, int16_t distance = 0) {
        operands.push_back(std::move(opnds));
        OPEINFO o;
        memset(&o, 0, sizeof o);
        o.op_kind = kind;
        o.op_mode = 'S';
        o.op_distance = distance;
        o.op_count = static_cast<int32_t>(operands.back().size());
        ops.push_back(o);
    }
    void finish() {
        for (size_t i = 0; i < words.size(); ++i) words[i].wi.wordp = texts[i].data();
        for (size_t i = 0; i < ops.size(); ++i) {
            ops[i].op_operands = operands[i].data();
            ops[i].op_slot = static_cast<int16_t>(words.size() + i);
        }
    }
};

const char* const kWords[] = {"2026", "314", "27", "55", "8"};

Query makeQuery(int kind, int n) {
    Query q;
    std::vector<int32_t> slots;
    switch (kind) {
    case 0: slots.push_back(q.word("2026")); q.op('O', slots); break;
    case 1: slots.push_back(q.word("98765")); q.op('O', slots); break;
    case 2:
    case 3:
        for (int i = 0; i < n; ++i) slots.push_back(q.word(kWords[i]));
        q.op(kind == 2 ? 'A' : 'O', slots);
        break;
    case 4:
        slots = {q.word("2026"), q.word("314")};
        q.op('D', slots, 0);
        break;
    default: slots.push_back(q.word("7")); q.op('O', slots); break;
    }
    q.finish();
    return q;
}

void BM_Search(benchmark::State& state, int kind, int n) {
    VOZSEARCH* h = benchIndex().handle;
    Query q = makeQuery(kind, n);
    std::vector<double> micros;
    int32_t docs = 0;
    for (auto _ : state) {
        GTRSEARCH_RES res{};
        res.res_type = GTR_RES_HANDLE;
        res.res_dataform = 1;
        GTRSTATUS st{};
        auto t0 = std::chrono::steady_clock::now();
        VOZ_Search_(h, &res, static_cast<int32_t>(q.words.size()), q.words.data(),
                    static_cast<int32_t>(q.ops.size()), q.ops.data(), nullptr, nullptr, 0,
                    0, 0, 0, nullptr, nullptr, nullptr, nullptr, &st, 0);
        auto t1 = std::chrono::steady_clock::now();
        if (st.retcode != 0) {
            state.SkipWithError("search failed");
            break;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        docs = res.result_docnum;
        if (res.res_handle != nullptr)
            VOZ_ResultRelease(static_cast<VOZRESULT*>(res.res_handle), &st);
    }
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    state.counters["docs"] = docs;
}

void BM_PostingDecode(benchmark::State& state) {
    VOZSEARCH* h = benchIndex().handle;
    IDXINFO* set = &h->first.set0[0];
    Query q;
    q.word("26");
    q.finish();
    int64_t hits = 0;
    for (auto _ : state) {
        GTRSTATUS st{};
        _WCTLHEAD w{};
        voz_GetOneWordExactInit(&q.words[0], &w, set, nullptr, 0, &st);
        while (st.retcode == 0 && w.nextHit != nullptr) {
            w.nextHit(&w, set, nullptr, nullptr, -1, 1, &st);
            if (w.cur.docno == VOZ_DOC_END) break;
            ++hits;
        }
        if (w.nextHit != nullptr)
            w.nextHit(&w, set, nullptr, nullptr, VOZ_DOC_END, VOZ_RELEASE_POS, &st);
    }
    state.SetItemsProcessed(hits);
    state.counters["hits/s"] = benchmark::Counter(static_cast<double>(hits),
                                                 benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(BM_Search, frequent, 0, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, rare, 1, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, and2, 2, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, and3, 2, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, and4, 2, 4)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, and5, 2, 5)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, or2, 3, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, or3, 3, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, or4, 3, 4)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, or5, 3, 5)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, dist, 4, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, short, 5, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PostingDecode)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
