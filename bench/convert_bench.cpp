// Throughput of the code-page converters beside ICU's ucnv_convert on the
// same input. Workloads (10 MB each, fixed seed):
//   BM_Utf8ToUcs2 / BM_IcuUtf8ToUcs2       multilingual UTF-8 text to UCS-2
//   BM_Ucs2ToUtf8 / BM_IcuUcs2ToUtf8       the same text from UCS-2 to UTF-8
//   BM_Sbcs850ToUcs2 / BM_IcuSbcs850ToUcs2 single-byte text (code page 850)
// Rates are input bytes per second. Each run prints a hash of its output
// once, so that a fast but wrong conversion shows.
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "cos_converter.hpp"

namespace {

const size_t kSize = 10 * 1024 * 1024;

// Words of several scripts, joined by spaces and new lines: mostly ASCII
// with Latin-1, Cyrillic, Greek and CJK words mixed in.
const std::string& utf8Text() {
    static const std::string text = [] {
        const char* words[] = {"index", "search", "query", "document", "the", "of", "and",
                               "größe", "café", "über", "поиск", "документ", "αναζήτηση",
                               "検索", "文書", "索引", "查询", "日本語のテキスト"};
        std::mt19937 rng(20261210);
        std::string s;
        while (s.size() < kSize) {
            s += words[rng() % (sizeof words / sizeof words[0])];
            s += (rng() % 12 == 0) ? '\n' : ' ';
        }
        while ((static_cast<unsigned char>(s.back()) & 0xC0) == 0x80 || s.size() > kSize) s.pop_back();
        return s;
    }();
    return text;
}

const std::string& ucs2Text() {
    static const std::string text = [] {
        CosClCodePage2UnicodeConverter c(1208u);
        std::string out(c.getMaximumSizeForSize(static_cast<unsigned int>(utf8Text().size())), '\0');
        out.resize(c.convertBytes(&out[0], static_cast<unsigned int>(out.size()), utf8Text().data(),
                                  static_cast<unsigned int>(utf8Text().size())));
        return out;
    }();
    return text;
}

const std::string& sbcsText() {
    static const std::string text = [] {
        std::mt19937 rng(850);
        std::string s(kSize, ' ');
        for (char& c : s) c = static_cast<char>(rng() % 4 ? 0x20 + rng() % 0x5F : 0x80 + rng() % 0x80);
        return s;
    }();
    return text;
}

uint64_t hashOf(const char* p, size_t n) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(p[i])) * 1099511628211ull;
    return h;
}

void report(benchmark::State& state, const char* what, std::vector<char> const& out, size_t n,
            size_t in) {
    static std::vector<std::string> printed;
    if (std::find(printed.begin(), printed.end(), what) == printed.end()) {
        printed.push_back(what);
        std::printf("%s: %zu bytes, hash %016llx\n", what, n,
                    static_cast<unsigned long long>(hashOf(out.data(), n)));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in));
}

void runOurs(benchmark::State& state, CosClConverterABase const& c, std::string const& in,
             const char* what) {
    std::vector<char> out(c.getMaximumSizeForSize(static_cast<unsigned int>(in.size())));
    unsigned int n = 0;
    for (auto _ : state) {
        n = c.convertBytes(out.data(), static_cast<unsigned int>(out.size()), in.data(),
                           static_cast<unsigned int>(in.size()));
        benchmark::DoNotOptimize(out.data());
    }
    if (c.getError().isError()) state.SkipWithError("conversion failed");
    report(state, what, out, n, in.size());
}

void runIcu(benchmark::State& state, const char* to, const char* from, std::string const& in,
            const char* what) {
    std::vector<char> out(in.size() * 3 + 16);
    int32_t n = 0;
    for (auto _ : state) {
        UErrorCode status = U_ZERO_ERROR;
        n = ucnv_convert(to, from, out.data(), static_cast<int32_t>(out.size()), in.data(),
                         static_cast<int32_t>(in.size()), &status);
        if (U_FAILURE(status)) state.SkipWithError(u_errorName(status));
        benchmark::DoNotOptimize(out.data());
    }
    report(state, what, out, static_cast<size_t>(n), in.size());
}

void BM_Utf8ToUcs2(benchmark::State& state) {
    CosClCodePage2UnicodeConverter c(1208u);
    runOurs(state, c, utf8Text(), "ours UTF-8 -> UCS-2");
}
void BM_IcuUtf8ToUcs2(benchmark::State& state) {
    runIcu(state, "UTF-16LE", "UTF-8", utf8Text(), "ICU UTF-8 -> UTF-16LE");
}
void BM_Ucs2ToUtf8(benchmark::State& state) {
    CosClUnicode2CodePageConverter c(1208u);
    runOurs(state, c, ucs2Text(), "ours UCS-2 -> UTF-8");
}
void BM_IcuUcs2ToUtf8(benchmark::State& state) {
    runIcu(state, "UTF-8", "UTF-16LE", ucs2Text(), "ICU UTF-16LE -> UTF-8");
}
void BM_Sbcs850ToUcs2(benchmark::State& state) {
    CosClCodePage2UnicodeConverter c(850u);
    runOurs(state, c, sbcsText(), "ours 850 -> UCS-2");
}
void BM_IcuSbcs850ToUcs2(benchmark::State& state) {
    runIcu(state, "UTF-16LE", "cp850", sbcsText(), "ICU cp850 -> UTF-16LE");
}

}  // namespace

BENCHMARK(BM_Utf8ToUcs2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IcuUtf8ToUcs2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ucs2ToUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IcuUcs2ToUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sbcs850ToUcs2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IcuSbcs850ToUcs2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
