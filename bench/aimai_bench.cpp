// Fuzzy lookup on a warm handle over an n-gram index of 100,000 synthetic
// documents (digit groups, code page 1, word rule 0, 2-unit n-grams; every
// 20th document also holds one of a few 10-digit numbers), built once
// through the update cycle's public calls.
//   BM_Fuzzy/<case>   one fuzzy lookup of a 10-unit word at similarity 80,
//                     walked to its end through its next-hit operation, per
//                     iteration; reports p50_us, p99_us and the hits.
//     near     "1234507890": two units off a number of the corpus
//     exact    "1234567890": a number of the corpus
//     alter    "1234507890" with '6' as an alternative of its sixth unit
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
#include "files/voz_records.hpp"
#include "search/voz_aimai.hpp"
#include "search/voz_search.hpp"

namespace {

constexpr int kDocs = 100000;
constexpr uint8_t kCode = 1;
const char* const kNumbers[] = {"1234567890", "9876543210", "5555512345", "1029384756"};

std::string makeDoc(std::mt19937& rng, int32_t d) {
    std::string text;
    int groups = 4 + static_cast<int>(rng() % 5);
    for (int g = 0; g < groups; ++g) {
        if (g > 0) text += " ";
        int len = 1 + static_cast<int>(rng() % 6);
        for (int k = 0; k < len; ++k) text += static_cast<char>('0' + rng() % 10);
    }
    if (d % 20 == 0) text += std::string(" ") + kNumbers[rng() % 4];
    return text;
}

BenchIndex& benchIndex() {
    static BenchIndex idx("aimai_bench_idx", kCode, 1, VOZ_HALF_TEXT,
                          [](void* h, GTRSTATUS* st) {
                              std::mt19937 rng(2026);
                              for (int32_t d = 0; d < kDocs && st->retcode == 0; ++d)
                                  benchAddText(h, makeDoc(rng, d), d, st);
                          });
    return idx;
}

void BM_Fuzzy(benchmark::State& state, const char* text, bool alter) {
    IDXINFO* set = &benchIndex().handle->first.set0[0];
    std::vector<uint8_t> units(64);
    int32_t len = 0;
    GTRSTATUS st{};
    vozNormalizeWord(kCode, reinterpret_cast<const uint8_t*>(text),
                     static_cast<int32_t>(strlen(text)), units.data(), 64, &len, 1,
                     nullptr, &st);
    std::vector<uint8_t> six(64);
    int32_t sixLen = 0;
    vozNormalizeWord(kCode, reinterpret_cast<const uint8_t*>("6"), 1, six.data(), 64,
                     &sixLen, 1, nullptr, &st);
    std::vector<VOZALTERENTRY> table(static_cast<size_t>(len) + 1);
    memset(table.data(), 0, table.size() * sizeof(VOZALTERENTRY));
    table[5].count = 1;
    memcpy(table[5].alter[0].unit, six.data(), 2);
    table[5].alter[0].weight = 80;
    RTRVWORDEXT word;
    memset(&word, 0, sizeof word);
    word.wi.type = 'W';
    word.wi.wordp = units.data();
    word.wi.wordlen = static_cast<int16_t>(len);
    word.wi.precision = 80;
    word.unit_width = 2;
    if (alter) word.alter_chars = table.data();
    std::vector<double> micros;
    int64_t hits = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        _WCTLHEAD w;
        memset(&w, 0, sizeof w);
        GTRSTATUS s{};
        if (alter)
            voz_GetOneWordAimaiAlterInit(&word, &w, set, nullptr, &s);
        else
            voz_GetOneWordAimaiInit(&word, &w, set, nullptr, &s);
        hits = 0;
        while (w.nextHit != nullptr && s.retcode == 0) {
            w.nextHit(&w, set, nullptr, nullptr, -1, 0, &s);
            if (w.cur.docno == VOZ_DOC_END) break;
            ++hits;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(
                             std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(micros.begin(), micros.end());
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    state.counters["hits"] = static_cast<double>(hits);
}

BENCHMARK_CAPTURE(BM_Fuzzy, near, "1234507890", false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Fuzzy, exact, "1234567890", false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Fuzzy, alter, "1234507890", true)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
