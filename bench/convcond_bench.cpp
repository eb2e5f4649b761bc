// Benchmarks of the conversion of query text into explicit words joined by
// an order string (GTRconvertSearchCond), code page 34 (UTF-8).
//
// Workloads (fixed texts; term i is "Term<i>%80@2_1-3#C" joined by
// alternating "*" and "+", every third term under a single NOT, every
// fifth quoted):
//   BM_ConvertQuery/N     one conversion of a text of N terms with a reused
//                         handle (the area of the one before is freed)
//   BM_ConvertQueryNew/N  the same with a new handle each time, released
//                         after the conversion
// Each reports conversions/s (items) and the number of converted words,
// which is fixed for a workload, so a wrong conversion shows.
#include <benchmark/benchmark.h>

#include <string>

#include "calls/voz_convcond.hpp"

namespace {

std::string queryText(int terms) {
    std::string s;
    for (int i = 1; i <= terms; ++i) {
        if (i > 1) s += i % 2 == 0 ? " * " : " + ";
        const std::string n = std::to_string(i);
        if (i % 3 == 0) s += "! ";
        if (i % 5 == 0)
            s += "\"Term " + n + "\"%80@2_1-3#C";
        else
            s += "Term" + n + "%80@2_1-3#C";
    }
    return s;
}

GTRSEARCH_COND condOf(const std::string& text) {
    GTRSEARCH_COND c{};
    c.codepage = 34;
    c.cond_type = GTR_COND_QUERY;
    c.query = const_cast<char*>(text.c_str());
    return c;
}

void BM_ConvertQuery(benchmark::State& state) {
    const std::string text = queryText(static_cast<int>(state.range(0)));
    const GTRSEARCH_COND in = condOf(text);
    void* handle = nullptr;
    GTRSEARCH_COND out{};
    GTRSTATUS st{};
    for (auto _ : state) {
        GTRconvertSearchCond(&handle, in, &out, &st);
        benchmark::DoNotOptimize(out.struct_order);
    }
    if (st.retcode != 0) state.SkipWithError("conversion failed");
    state.counters["words"] = out.struct_num;
    state.SetItemsProcessed(state.iterations());
    GTRconvertSearchCond_Release(&handle);
}
BENCHMARK(BM_ConvertQuery)->Arg(1)->Arg(5)->Arg(20);

void BM_ConvertQueryNew(benchmark::State& state) {
    const std::string text = queryText(static_cast<int>(state.range(0)));
    const GTRSEARCH_COND in = condOf(text);
    int32_t words = 0;
    GTRSTATUS st{};
    for (auto _ : state) {
        void* handle = nullptr;
        GTRSEARCH_COND out{};
        GTRconvertSearchCond(&handle, in, &out, &st);
        words = out.struct_num;
        GTRconvertSearchCond_Release(&handle);
    }
    if (st.retcode != 0) state.SkipWithError("conversion failed");
    state.counters["words"] = words;
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConvertQueryNew)->Arg(1)->Arg(5)->Arg(20);

}  // namespace

BENCHMARK_MAIN();
