// Searches of letter words over a mixed index (token keys looked up through
// the key index) on a warm handle: 100,000 English-like documents (code
// page 1, word rule 0), built once through the update cycle's public calls.
//   BM_MixSearch/<query>   one VOZ_Search_ per iteration into a memory
//                          result (released each time); reports p50_us and
//                          p99_us of the iterations and the documents found.
//     frequent    "the", in most documents
//     rare        "zephyr", in about 0.1% of them
//     and2        AND of "the" and "river"
//     rear        "rive" with a rear-truncation count (river, rivers, ...)
//     stemmed     "rivers" with stemming
//     wildcard    "s*" at expansion limit 1000
//     wildone     "ri?er" (one unit masked)
//     fuzzy       "riverz" at similarity 80 (finds "river", "rivers")
//     fuzzyexact  "river" at similarity 80
// Fixed corpus: seed 2027; the index lives in a temporary directory that is
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
#include "calls/voz_stem.hpp"
#include "characters/voz_cut.hpp"
#include "files/voz_records.hpp"
#include "search/voz_search.hpp"

namespace {

constexpr int kDocs = 100000;
constexpr uint8_t kCode = 1;

// A vocabulary of made-up words from syllables, plus a few real ones whose
// forms the stemmer and the masks meet.
std::vector<std::string> vocabulary(std::mt19937& rng) {
    static const char* const kSyl[] = {"ka", "ro", "mi", "sen", "tur", "lo",
                                       "ve", "dan", "pri", "sa", "el", "on"};
    std::vector<std::string> v = {"the", "of", "and", "river", "rivers",
                                  "riven", "stone", "stones", "sea", "sun"};
    while (v.size() < 3000) {
        std::string w;
        int n = 1 + static_cast<int>(rng() % 3);
        for (int i = 0; i < n; ++i) w += kSyl[rng() % 12];
        v.push_back(w);
    }
    return v;
}

std::string makeDoc(std::mt19937& rng, const std::vector<std::string>& vocab) {
    std::string d;
    int words = 8 + static_cast<int>(rng() % 12);
    for (int i = 0; i < words; ++i) {
        if (i > 0) d += rng() % 8 == 0 ? ". " : " ";
        // Skewed choice: low ranks are frequent.
        double u = std::uniform_real_distribution<double>(0, 1)(rng);
        size_t rank = static_cast<size_t>(u * u * u * static_cast<double>(vocab.size()));
        d += vocab[std::min(rank, vocab.size() - 1)];
    }
    if (rng() % 1000 == 0) d += " zephyr";
    return d;
}

BenchIndex& benchIndex() {
    static BenchIndex idx("mixsearch_bench_idx", kCode, 1, VOZ_HALF_TEXT,
                          [](void* h, GTRSTATUS* st) {
                              std::mt19937 rng(2027);
                              std::vector<std::string> vocab = vocabulary(rng);
                              for (int32_t d = 0; d < kDocs && st->retcode == 0; ++d)
                                  benchAddText(h, makeDoc(rng, vocab), d, st);
                          });
    return idx;
}

std::vector<uint8_t> units(const char* text) {
    std::vector<uint8_t> u(64);
    int32_t len = 0;
    GTRSTATUS st{};
    vozNormalizeWord(kCode, reinterpret_cast<const uint8_t*>(text),
                     static_cast<int32_t>(strlen(text)), u.data(), 64, &len, 1,
                     nullptr, &st);
    u.resize(static_cast<size_t>(len));
    return u;
}

// A query: letter words prepared as the call layer does, one operator.
struct Query {
    std::vector<std::vector<uint8_t>> texts;
    std::vector<RTRVWORDEXT> words;
    std::vector<int32_t> operands;
    OPEINFO op{};

    void word(const char* text, int32_t rear = 0, bool stem = false,
              int16_t precision = 100) {
        texts.push_back(units(text));
        RTRVWORDEXT w;
        memset(&w, 0, sizeof w);
        w.wi.type = 'W';
        w.wi.wordlen = static_cast<int16_t>(texts.back().size());
        w.wi.precision = precision;
        w.wi.search_flag = 1;
        w.unit_width = 2;
        w.cut_function = Func_CutIntoPart[0];
        w.mark_check_function = vozCHmarkUnit_Chk;
        w.mark_set_function = vozCHmarkUnit_Set;
        memcpy(w.mask_unit[0], units("*").data(), 2);
        memcpy(w.mask_unit[1], units("?").data(), 2);
        w.rear_trunc = rear;
        if (stem) {
            w.wi.stemming = 1;
            w.stem_function = vozStemming;
        }
        w.word_no = static_cast<int16_t>(words.size());
        operands.push_back(static_cast<int32_t>(words.size()));
        words.push_back(w);
    }
    void finish(char kind) {
        for (size_t i = 0; i < words.size(); ++i) words[i].wi.wordp = texts[i].data();
        op.op_kind = kind;
        op.op_mode = 'S';
        op.op_count = static_cast<int32_t>(operands.size());
        op.op_operands = operands.data();
        op.op_slot = static_cast<int16_t>(words.size());
    }
};

void BM_MixSearch(benchmark::State& state, int kind) {
    VOZSEARCH* h = benchIndex().handle;
    Query q;
    char op = 'O';
    switch (kind) {
    case 0: q.word("the"); break;
    case 1: q.word("zephyr"); break;
    case 2: q.word("the"); q.word("river"); op = 'A'; break;
    case 3: q.word("rive", 3); break;
    case 4: q.word("rivers", 0, true); break;
    case 5: q.word("s*"); break;
    case 6: q.word("ri?er"); break;
    case 7: q.word("riverz", 0, false, 80); break;
    default: q.word("river", 0, false, 80); break;
    }
    q.finish(op);
    std::vector<double> micros;
    int32_t docs = 0;
    for (auto _ : state) {
        GTRSEARCH_RES res{};
        res.res_type = GTR_RES_HANDLE;
        res.res_dataform = 1;
        GTRSTATUS st{};
        auto t0 = std::chrono::steady_clock::now();
        VOZ_Search_(h, &res, static_cast<int32_t>(q.words.size()), q.words.data(), 1,
                    &q.op, nullptr, nullptr, 0, 1000, 0, 0, nullptr, nullptr, nullptr,
                    nullptr, &st, 0);
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

BENCHMARK_CAPTURE(BM_MixSearch, frequent, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MixSearch, rare, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MixSearch, and2, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MixSearch, rear, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MixSearch, stemmed, 4)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MixSearch, wildcard, 5)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MixSearch, wildone, 6)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MixSearch, fuzzy, 7)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MixSearch, fuzzyexact, 8)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
