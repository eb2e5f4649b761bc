// Ranked searches on a warm handle over an n-gram index of 100,000
// synthetic documents (digit groups, code page 1, word rule 0, 2-unit
// n-grams), built once through the update cycle's public calls.
//   BM_Ranked/<query>/<limit>   one VOZ_Search_ with rank flags 0x30 (term
//                     count and document frequency), kind 'S', into a memory
//                     result that is released, per iteration; reports p50_us,
//                     p99_us, the documents ranked and a hash of the ranked
//                     document numbers (so that fast-but-wrong shows).
//     word   "123" alone
//     or     "123" OR "4567"
//     rare   "98765" alone (in about 0.1 % of the documents)
//   limits 10 and 10,000.
//   BM_Count/rare    the same rare word without ranking, against which a
//                    ranked search of few documents is measured.
// Fixed corpus: seed 2026; the index lives in a temporary directory that is
// removed at exit.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_index.hpp"
#include "calls/voz_normline.hpp"
#include "characters/voz_cut.hpp"
#include "files/voz_records.hpp"
#include "search/voz_search.hpp"

namespace {

constexpr int kDocs = 100000;
constexpr uint8_t kCode = 1;

std::string makeDoc(std::mt19937& rng) {
    std::string text;
    int groups = 4 + static_cast<int>(rng() % 12);
    for (int g = 0; g < groups; ++g) {
        if (g > 0) text += rng() % 8 == 0 ? ". " : " ";
        int len = 1 + static_cast<int>(rng() % 5);
        for (int k = 0; k < len; ++k) text += static_cast<char>('0' + rng() % 10);
    }
    return text;
}

BenchIndex& benchIndex() {
    static BenchIndex idx("rank_bench_idx", kCode, 1, VOZ_HALF_TEXT,
                          [](void* h, GTRSTATUS* st) {
                              std::mt19937 rng(2026);
                              for (int32_t d = 0; d < kDocs && st->retcode == 0; ++d)
                                  benchAddText(h, makeDoc(rng), d, st);
                          });
    return idx;
}

// The query's words (normalised) and its one operator over all of them.
struct RankQuery {
    std::vector<std::vector<uint8_t>> units;
    std::vector<RTRVWORDEXT> words;
    std::vector<int32_t> operands;
    OPEINFO op;

    explicit RankQuery(const std::vector<const char*>& texts) {
        for (const char* t : texts) {
            std::vector<uint8_t> u(64);
            int32_t len = 0;
            GTRSTATUS st{};
            vozNormalizeWord(kCode, reinterpret_cast<const uint8_t*>(t),
                             static_cast<int32_t>(strlen(t)), u.data(), 64, &len, 1,
                             nullptr, &st);
            u.resize(static_cast<size_t>(len));
            units.push_back(u);
        }
        for (size_t i = 0; i < units.size(); ++i) {
            RTRVWORDEXT w;
            memset(&w, 0, sizeof w);
            w.wi.type = 'W';
            w.wi.wordp = units[i].data();
            w.wi.wordlen = static_cast<int16_t>(units[i].size());
            w.wi.precision = 100;
            w.unit_width = 2;
            w.cut_function = Func_CutIntoPart[0];
            w.word_no = static_cast<int16_t>(i);
            words.push_back(w);
            operands.push_back(static_cast<int32_t>(i));
        }
        memset(&op, 0, sizeof op);
        op.op_kind = 'O';
        op.op_mode = 'S';
        op.op_count = static_cast<int32_t>(operands.size());
        op.op_operands = operands.data();
        op.op_slot = static_cast<int16_t>(words.size());
    }
};

void runSearches(benchmark::State& state, std::vector<const char*> texts,
                 bool ranking) {
    VOZSEARCH* h = benchIndex().handle;
    RankQuery q(texts);
    const int32_t limit = static_cast<int32_t>(state.range(0));
    std::vector<GTRRANKDOC> ranked(static_cast<size_t>(limit));
    float tuning[8] = {0.2f, 0.5f};
    std::vector<double> micros;
    int32_t docs = 0;
    uint64_t hash = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        RANKPARM rp{};
        rp.rank_flags = 0x30;
        rp.rank_kind = 'S';
        rp.rank_docs = reinterpret_cast<uint8_t*>(ranked.data());
        rp.rank_limit = limit;
        rp.rank_weights = tuning;
        GTRSEARCH_RES res;
        memset(&res, 0, sizeof res);
        res.res_type = GTR_RES_HANDLE;
        res.res_dataform = 1;
        int32_t ceilings[2] = {VOZ_DOC_END, VOZ_DOC_END}, est[2] = {0, 0};
        GTRSTATUS st{};
        VOZ_Search_(h, &res, static_cast<int32_t>(q.words.size()), q.words.data(), 1,
                    &q.op, ranking ? &rp : nullptr, nullptr, 0, 0, 0, 0, nullptr, nullptr, ceilings, est,
                    &st, 0);
        if (st.retcode != 0) {
            state.SkipWithError("search failed");
            break;
        }
        docs = res.result_docnum;
        if (res.res_handle != nullptr) {
            GTRSTATUS rs{};
            VOZ_ResultRelease(static_cast<VOZRESULT*>(res.res_handle), &rs);
        }
        micros.push_back(std::chrono::duration<double, std::micro>(
                             std::chrono::steady_clock::now() - t0).count());
    }
    hash = 1469598103934665603ull;
    for (int32_t i = 0; ranking && i < std::min(docs, limit); ++i)
        hash = (hash ^ static_cast<uint32_t>(ranked[static_cast<size_t>(i)].docno)) *
               1099511628211ull;
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    state.counters["docs"] = docs;
    state.counters["hash"] = static_cast<double>(hash % 1000000007u);
}

void BM_Ranked(benchmark::State& state, std::vector<const char*> texts) {
    runSearches(state, texts, true);
}

void BM_Count(benchmark::State& state, std::vector<const char*> texts) {
    runSearches(state, texts, false);
}

BENCHMARK_CAPTURE(BM_Ranked, word, std::vector<const char*>{"123"})
    ->Arg(10)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Ranked, or, std::vector<const char*>{"123", "4567"})
    ->Arg(10)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Ranked, rare, std::vector<const char*>{"98765"})
    ->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Count, rare, std::vector<const char*>{"98765"})
    ->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
