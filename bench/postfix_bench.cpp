// Translation of numbered search words joined by an order string, the fixed
// cost of every structured search before any index is read.
//   BM_TranslateStruct/n   n words joined by alternating "*" and "+" with a
//                          group every fourth word: copy, tokenize, convert,
//                          normalise the words (code page 34)
//   BM_OptimizePostfix/n   the optimiser over the same postfix array
//   BM_OpeInfo/n           the operator table of the optimised array
// Reports conditions/s; the counter "hash" sums the element kinds of one
// result so that a fast but wrong run shows.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "calls/voz_opeinfo.hpp"
#include "calls/voz_translate.hpp"

namespace {

struct Condition {
    std::vector<RTRVWORD> words;
    std::string order;
};

Condition makeCondition(int n) {
    static const char* texts[] = {"red", "car", "engine", "blue", "sky"};
    Condition c;
    for (int i = 0; i < n; ++i) {
        RTRVWORD w{};
        w.type = 'W';
        w.wordp = reinterpret_cast<uint8_t*>(const_cast<char*>(texts[i % 5]));
        w.wordlen = static_cast<int16_t>(std::strlen(texts[i % 5]));
        w.precision = 100;
        w.casesens = 'N';
        c.words.push_back(w);
        if (i > 0) c.order += i % 2 ? " * " : " + ";
        if (i % 4 == 1 && i + 1 < n) c.order += "( ";
        c.order += std::to_string(i + 1);
        if (i % 4 == 2) c.order += " )";
    }
    int open = 0;
    for (char ch : c.order) open += ch == '(' ? 1 : ch == ')' ? -1 : 0;
    while (open-- > 0) c.order += " )";
    return c;
}

VOZ_CPINFO utf8() {
    VOZ_CPINFO cp{};
    cp.code = 34;
    vozCHsetCPInfo(&cp);
    return cp;
}

void BM_TranslateStruct(benchmark::State& state) {
    Condition c = makeCondition(static_cast<int>(state.range(0)));
    const VOZ_CPINFO cp = utf8();
    int64_t hash = 0;
    for (auto _ : state) {
        char* order = nullptr;
        uint8_t* buf = nullptr;
        PFELEMENT* pf = nullptr;
        int32_t n = 0;
        GTRSTATUS st{};
        vozTranslateCond_Struct(cp, static_cast<int32_t>(c.words.size()),
                                c.words.data(), c.order.c_str(), &order, &buf,
                                &pf, &n, nullptr, nullptr, &st);
        hash = st.retcode;
        for (int32_t i = 0; i < n; ++i) hash += pf[i].kind;
        vozTranslateCond_Struct_Term(order, buf, pf, n);
        benchmark::DoNotOptimize(hash);
    }
    state.counters["hash"] = static_cast<double>(hash);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TranslateStruct)->Arg(2)->Arg(10)->Arg(100);

// A condition of n words translated into postfix form, released at the
// end of the scope.
struct Translated {
    char* order = nullptr;
    uint8_t* buf = nullptr;
    PFELEMENT* pf = nullptr;
    int32_t n = 0;
    explicit Translated(int words) {
        Condition c = makeCondition(words);
        GTRSTATUS st{};
        vozTranslateCond_Struct(utf8(), static_cast<int32_t>(c.words.size()),
                                c.words.data(), c.order.c_str(), &order, &buf,
                                &pf, &n, nullptr, nullptr, &st);
    }
    ~Translated() { vozTranslateCond_Struct_Term(order, buf, pf, n); }
    Translated(const Translated&) = delete;
    Translated& operator=(const Translated&) = delete;
};

void BM_OptimizePostfix(benchmark::State& state) {
    Translated t(static_cast<int>(state.range(0)));
    std::vector<PFELEMENT> work(t.pf, t.pf + t.n);
    int64_t hash = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(work.data(), t.pf, sizeof(PFELEMENT) * static_cast<size_t>(t.n));
        state.ResumeTiming();
        GTRSTATUS ost{};
        int16_t largest = 0;
        vozOptimizePostfix(work.data(), t.n, &largest, &ost);
        hash = ost.retcode + largest;
        for (int32_t i = 0; i < t.n; ++i) hash += work[i].kind;
        benchmark::DoNotOptimize(hash);
    }
    state.counters["hash"] = static_cast<double>(hash);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OptimizePostfix)->Arg(2)->Arg(10)->Arg(100);

void BM_OpeInfo(benchmark::State& state) {
    Translated t(static_cast<int>(state.range(0)));
    GTRSTATUS st{};
    int16_t largest = 0;
    vozOptimizePostfix(t.pf, t.n, &largest, &st);
    int64_t hash = 0;
    for (auto _ : state) {
        int32_t nWords = 0, nOps = 0;
        RTRVWORDEXT* words = nullptr;
        OPEINFO* block = nullptr;
        GTRSTATUS ost{};
        vozOpeInfo(t.pf, t.n, 0, &nWords, &words, &nOps, &block, nullptr, &ost);
        hash = ost.retcode + nWords * 1000 + nOps;
        for (int32_t i = 0; i < nOps; ++i) hash += block[i].op_count;
        vozOpeInfoTerm(block);
        benchmark::DoNotOptimize(hash);
    }
    state.counters["hash"] = static_cast<double>(hash);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OpeInfo)->Arg(2)->Arg(10)->Arg(100);

}  // namespace

BENCHMARK_MAIN();
