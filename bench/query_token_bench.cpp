// Benchmarks of the query-text language: tokenising and translating query
// texts of 1, 5 and 20 terms with options into the postfix form, code page
// 34 (UTF-8).
//
// Workloads (fixed texts; term i is "termi%80@F<i>#C$[F1=2]" joined by
// alternating "*" and "+", every fifth term quoted):
//   BM_TranslateQuery/N      vozTranslateCond_Query over N terms, with the
//                            release of the arrays and of the work area
//   BM_TranslateMixQuery/N   the same text with every other term replaced
//                            by the item condition `N<i>=[1,<i>)`, through
//                            vozTranslateCond_MixQuery
//   BM_TokenizeQuery/N       the tokenizer alone over the normalised text,
//                            one call per token (the buffer is normalised
//                            once outside the timing)
// Each reports queries/s (items) and the postfix length, which is fixed for
// a workload, so a wrong translation shows.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "calls/voz_normline.hpp"
#include "calls/voz_token_query.hpp"
#include "calls/voz_translate.hpp"

namespace {

VOZ_CPINFO cp34() {
    VOZ_CPINFO cp{};
    cp.code = 34;
    vozCHsetCPInfo(&cp);
    return cp;
}

std::string queryText(int terms, bool items) {
    std::string s;
    for (int i = 1; i <= terms; ++i) {
        if (i > 1) s += i % 2 == 0 ? " * " : " + ";
        std::string n = std::to_string(i);
        if (items && i % 2 == 0)
            s += "`N" + n + "=[1," + n + ")`";
        else if (i % 5 == 0)
            s += "\"term " + n + "\"%80@F" + n + "#C$[F1=2]";
        else
            s += "term" + n + "%80@F" + n + "#C$[F1=2]";
    }
    return s;
}

void BM_TranslateQuery(benchmark::State& state) {
    const std::string text = queryText(static_cast<int>(state.range(0)), false);
    const VOZ_CPINFO cp = cp34();
    int32_t count = 0;
    for (auto _ : state) {
        uint8_t* buf = nullptr;
        PFELEMENT* pf = nullptr;
        QUERYWORK work{};
        GTRSTATUS st{};
        vozTranslateCond_Query(cp, text.c_str(), &buf, &pf, &count, nullptr,
                               nullptr, &work, &st);
        if (st.retcode != 0) state.SkipWithError("translation failed");
        vozTranslateCond_Query_Term(buf, pf, count);
        vozQueryWorkTerm(&work);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["postfix"] = count;
}
BENCHMARK(BM_TranslateQuery)->Arg(1)->Arg(5)->Arg(20);

void BM_TranslateMixQuery(benchmark::State& state) {
    const std::string text = queryText(static_cast<int>(state.range(0)), true);
    const VOZ_CPINFO cp = cp34();
    int32_t count = 0;
    for (auto _ : state) {
        uint8_t* buf = nullptr;
        uint8_t* words = nullptr;
        PFELEMENT* pf = nullptr;
        QUERYWORK work{};
        GTRSTATUS st{};
        vozTranslateCond_MixQuery(cp, text.c_str(), &buf, &words, &pf, &count,
                                  nullptr, nullptr, &work, &st);
        if (st.retcode != 0) state.SkipWithError("translation failed");
        vozTranslateCond_MixQuery_Term(buf, words, pf, count);
        vozQueryWorkTerm(&work);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["postfix"] = count;
}
BENCHMARK(BM_TranslateMixQuery)->Arg(1)->Arg(5)->Arg(20);

void BM_TokenizeQuery(benchmark::State& state) {
    const std::string text = queryText(static_cast<int>(state.range(0)), false);
    const VOZ_CPINFO cp = cp34();
    std::vector<uint8_t> units((text.size() + 1) * 3, 0);
    int32_t len = 0;
    GTRSTATUS st{};
    vozNormalizeLine(cp, reinterpret_cast<const uint8_t*>(text.data()),
                     static_cast<int32_t>(text.size()), units.data(),
                     static_cast<int32_t>(units.size()) - 3, &len, VOZ_NORM_TEXT,
                     nullptr, &st);
    // Quoted words are rewritten in place only when they hold doubled
    // quotes, which these texts do not; the buffer can be read again.
    int tokens = 0;
    for (auto _ : state) {
        QUERYWORK work{};
        tokens = 0;
        uint8_t* pos = units.data();
        for (;;) {
            PFELEMENT e;
            uint8_t* next = pos;
            vozIdentifyToken_Query(pos, &e, &next, cp,
                                   reinterpret_cast<const uint8_t*>(text.c_str()),
                                   units.data(), nullptr, &work, &st);
            if (st.retcode != 0 || e.kind == VOZ_PF_END) break;
            ++tokens;
            pos = next;
        }
        vozQueryWorkTerm(&work);
    }
    if (st.retcode != 0) state.SkipWithError("tokenizing failed");
    state.SetItemsProcessed(state.iterations());
    state.counters["tokens"] = tokens;
}
BENCHMARK(BM_TokenizeQuery)->Arg(1)->Arg(5)->Arg(20);

}  // namespace

BENCHMARK_MAIN();
