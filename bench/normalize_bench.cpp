// normalize_bench.cpp -- speed of the UTF-8 normaliser and the cut.
//
// Workloads (10 MB of UTF-8 text built from a fixed multilingual sample:
// Latin with diacritics, Greek, Cyrillic, CJK, Hangul, Thai, full-width
// forms; word order shuffled with a fixed seed):
//   BM_NormalizeUTF8        text -> units (code 34, word joining)
//   BM_NormalizeAndCutUTF8  text -> units -> parts under the alphanumeric
//                           word rule
//   BM_UnnormalizeUTF8      units -> text
// Rates are in bytes of source text per second; the part count and a hash
// of the units are printed as counters so that fast-but-wrong shows.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "characters/voz_cpinfo.hpp"
#include "characters/voz_cut.hpp"
#include "characters/voz_norm_utf8.hpp"

namespace {

const char* const kWords[] = {
    "Crème", "brûlée", "São", "Paulo", "Zürich", "łódź", "Ελληνικά", "σοφία",
    "Русский", "язык", "中文", "漢字", "日本語", "한국어", "문장", "ภาษาไทย",
    "ＡＢＣ", "１２３", "ｶﾀｶﾅ", "index", "engine", "2026", "naïve", "façade",
    "Straße", "İstanbul", "ıspanak", "words.", "end!", "終わり。",
};

const std::string& corpus() {
    static std::string text;
    if (text.empty()) {
        std::mt19937 rng(20261210);
        std::uniform_int_distribution<size_t> pick(0, sizeof kWords / sizeof *kWords - 1);
        text.reserve(10u << 20);
        while (text.size() < (10u << 20)) {
            text += kWords[pick(rng)];
            text += rng() % 7 ? " " : "\n";
        }
    }
    return text;
}

// Normalises the whole corpus in one call.
std::vector<uint8_t> normalize(const std::string& text) {
    std::vector<uint8_t> units(text.size() * 3 + 3);
    int32_t len = (int32_t)units.size();
    uint8_t state = 0;
    const uint8_t* s = (const uint8_t*)text.data();
    vozConvertUTF8(s, s + text.size(), nullptr, 0, units.data(), &len, nullptr,
                   nullptr, &state);
    units.resize(len);
    return units;
}

uint64_t fnv(const std::vector<uint8_t>& v) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : v) h = (h ^ b) * 1099511628211ull;
    return h;
}

void BM_NormalizeUTF8(benchmark::State& state) {
    const std::string& text = corpus();
    uint64_t hash = 0;
    for (auto _ : state) {
        std::vector<uint8_t> u = normalize(text);
        benchmark::DoNotOptimize(u.data());
        hash = fnv(u) & 0xFFFFFF;
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)text.size());
    state.counters["hash24"] = (double)hash;
}
BENCHMARK(BM_NormalizeUTF8)->Unit(benchmark::kMillisecond);

void BM_NormalizeAndCutUTF8(benchmark::State& state) {
    const std::string& text = corpus();
    int64_t parts = 0;
    for (auto _ : state) {
        std::vector<uint8_t> u = normalize(text);
        parts = 0;
        uint8_t* p = u.data();
        uint8_t* end = p + u.size();
        while (p < end) {
            uint8_t *ps, *pe, *next;
            parts += Func_CutIntoPart[1](p, end, 3, &ps, &pe, &next);
            if (next <= p) break;
            p = next;
        }
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)text.size());
    state.counters["parts"] = (double)parts;
}
BENCHMARK(BM_NormalizeAndCutUTF8)->Unit(benchmark::kMillisecond);

void BM_UnnormalizeUTF8(benchmark::State& state) {
    const std::string& text = corpus();
    std::vector<uint8_t> u = normalize(text);
    std::vector<uint8_t> out(text.size() + 16);
    int32_t written = 0;
    for (auto _ : state) {
        uint8_t st = 0;
        vozUnnormalizeUTF8(u.data(), u.data() + u.size(), 0, out.data(),
                           (int32_t)out.size(), &written, &st);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)text.size());
    state.counters["outBytes"] = written;
}
BENCHMARK(BM_UnnormalizeUTF8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
