// Speed of the call layer's text routines: document normalisation and raw
// cutting of 10 MB of UTF-8 text (bytes per second), and stem judgements
// per second.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "calls/voz_normline.hpp"
#include "calls/voz_rawcut.hpp"
#include "calls/voz_stem.hpp"

namespace {

// 10 MB of lines of words: ASCII words, some with umlauts, numbers and
// punctuation, about 70 characters a line.
const std::string& sampleText() {
    static const std::string text = [] {
        static const char* words[] = {"index",  "search", "Wörter", "über",
                                      "stems",  "2026",   "teaching", "boxes",
                                      "Größe",  "a-b",    "(note)", "done."};
        std::mt19937 rng(42);
        std::string t;
        size_t line = 0;
        while (t.size() < 10u * 1024 * 1024) {
            const std::string w = words[rng() % 12];
            t += w;
            line += w.size() + 1;
            if (line > 70) {
                t += '\n';
                line = 0;
            } else {
                t += ' ';
            }
        }
        return t;
    }();
    return text;
}

VOZ_CPINFO utf8() {
    VOZ_CPINFO cp{};
    cp.callerCodePage = VOZ_CP_UTF8;
    cp.code = VOZ_CP_UTF8;
    vozCHsetCPInfo(&cp);
    return cp;
}

void BM_NormalizeDoc(benchmark::State& state) {
    const std::string& text = sampleText();
    uint8_t* units = nullptr;
    for (auto _ : state) {
        int32_t len = 0;
        GTRSTATUS st{};
        vozNormalizeDoc((const uint8_t*)text.data(), (int32_t)text.size(),
                        utf8(), VOZ_NORM_TEXT, &units, &len, nullptr, nullptr,
                        &st);
        benchmark::DoNotOptimize(len);
    }
    free(units);
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text.size());
}
BENCHMARK(BM_NormalizeDoc)->Unit(benchmark::kMillisecond);

void BM_RawCut(benchmark::State& state) {
    const std::string& text = sampleText();
    const uint8_t* begin = (const uint8_t*)text.data();
    const uint8_t* end = begin + text.size();
    const VOZ_RAWCUT_FN cut = Func_CutIntoPartRaw[state.range(0)];
    for (auto _ : state) {
        int64_t positions = 0;
        uint8_t shift = 0;
        for (const uint8_t* p = begin; p < end;) {
            const uint8_t *ps, *pe, *next;
            positions += cut(p, end, nullptr, VOZ_CP_UTF8, 0x40, &ps, &pe,
                             &next, nullptr, &shift, nullptr);
            p = next;
        }
        benchmark::DoNotOptimize(positions);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text.size());
}
BENCHMARK(BM_RawCut)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

std::vector<uint8_t> units2(const std::string& w) {
    std::vector<uint8_t> u;
    for (char c : w) {
        u.push_back((uint8_t)c);
        u.push_back(3);
    }
    return u;
}

void BM_StemJudge(benchmark::State& state) {
    static const char* keys[] = {"CREATE",   "CREATED", "CREATES", "CREATING",
                                 "CREATION", "CREATOR", "CREATORS", "CREATIVE",
                                 "CREAM",    "CREASED"};
    std::vector<std::vector<uint8_t>> k;
    for (const char* key : keys) k.push_back(units2(key));
    const std::vector<uint8_t> word = units2("CREATIONS");
    STEMCTL sc{};
    sc.word = word.data();
    sc.length = (int32_t)word.size();
    GTRSTATUS st{};
    vozStemming(&sc, 2, nullptr, nullptr, 0, 0, &st);
    size_t i = 0;
    for (auto _ : state) {
        const std::vector<uint8_t>& key = k[i++ % k.size()];
        benchmark::DoNotOptimize(vozStemming(&sc, 2, nullptr, key.data(),
                                             (int32_t)key.size(), 0, &st));
    }
    state.SetItemsProcessed((int64_t)state.iterations());
}
BENCHMARK(BM_StemJudge);

}  // namespace

BENCHMARK_MAIN();
