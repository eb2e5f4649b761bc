// Benchmarks of the byte-string search routines over a fixed 1 MiB corpus
// (pseudo-random lower-case words from a fixed seed, the pattern absent so
// the whole corpus is scanned):
//   BM_StringSearchExact     CosClStringSearch, case-sensitive (Horspool)
//   BM_StringSearchFolded    CosClStringSearch, ignoring case
//   BM_Strstr                the C library's strstr, for comparison
//   BM_StrFindFolded         cosStrFind ignoring case (naive scan)
//   BM_WildcardManyStars     cosMatchesWildcardPattern on a star-heavy pattern
// Each reports bytes/s; the "found" counter must be 0 (a wrong search shows).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

#include "cos_string.hpp"
#include "cos_stringmatch.hpp"

namespace {

std::string const& corpus() {
    static std::string const text = [] {
        std::mt19937 rng(20261210);
        std::string s;
        while (s.size() < (1u << 20)) {
            unsigned length = 2 + rng() % 9;
            for (unsigned i = 0; i < length; ++i) s += static_cast<char>('a' + rng() % 26);
            s += ' ';
        }
        return s;
    }();
    return text;
}

char const kPattern[] = "quixotiqzz";

template <class Search>
void runSearch(benchmark::State& state, Search search) {
    std::string const& text = corpus();
    int64_t found = 0;
    for (auto _ : state) {
        char const* start = text.c_str();
        benchmark::DoNotOptimize(start);  // keeps pure calls from being hoisted
        benchmark::ClobberMemory();
        char const* hit = search(start);
        found += hit != nullptr;
        benchmark::DoNotOptimize(hit);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
    state.counters["found"] = static_cast<double>(found);
}

void BM_StringSearchExact(benchmark::State& state) {
    CosClStringSearch search(kPattern, false);
    unsigned length = static_cast<unsigned>(corpus().size());
    runSearch(state, [&](char const* t) { return search.getPattern(t, length); });
}

void BM_StringSearchFolded(benchmark::State& state) {
    CosClStringSearch search(kPattern, true);
    unsigned length = static_cast<unsigned>(corpus().size());
    runSearch(state, [&](char const* t) { return search.getPattern(t, length); });
}

void BM_Strstr(benchmark::State& state) {
    runSearch(state, [](char const* t) { return std::strstr(t, kPattern); });
}

void BM_StrFindFolded(benchmark::State& state) {
    runSearch(state, [](char const* t) { return cosStrFind(t, kPattern, true); });
}

void BM_WildcardManyStars(benchmark::State& state) {
    std::string text(4096, 'a');
    int64_t found = 0;
    for (auto _ : state) found += cosMatchesWildcardPattern("*a*a*a*a*a*a*a*b", text.c_str(), true);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
    state.counters["found"] = static_cast<double>(found);
}

}  // namespace

BENCHMARK(BM_StringSearchExact);
BENCHMARK(BM_StringSearchFolded);
BENCHMARK(BM_Strstr);
BENCHMARK(BM_StrFindFolded);
BENCHMARK(BM_WildcardManyStars);
BENCHMARK_MAIN();
