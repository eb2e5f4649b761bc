// Range words over numeric items on a warm handle: an item index of
// 1,000,000 item keys (250,000 documents of 4 numeric items of item 1;
// every value distinct except one in 16 that repeats a value of 64
// documents earlier, so most keys have one document and land in pair pools
// while the repeated ones keep posting controls), built once through the
// update cycle's public calls.
//   BM_FromTo/<percent>  the range word set up over about that share of the
//                        keys and walked to its end through its next-hit
//                        operation; reports p50_us and p99_us, the hits, and
//                        pool_kb, the peak pool memory (posting-pool blocks
//                        and pair arrays after the key walk).
//   BM_EqualWord/<n>     equal word n of kEqualPatterns over a second item
//                        index (200,000 documents, each with a letter word
//                        of 3-6 letters as item 1 and a digit code of 7
//                        digits as item 2), set up and walked to its end;
//                        reports p50_us, p99_us and the hits.
// The indexes live in temporary directories that are removed at exit.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_index.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_itemkey.hpp"
#include "files/voz_records.hpp"
#include "calls/voz_normline.hpp"
#include "calls/voz_translate.hpp"
#include "characters/voz_cpinfo.hpp"
#include "characters/voz_cut.hpp"
#include "search/voz_fromto.hpp"
#include "search/voz_itemword.hpp"
#include "search/voz_search.hpp"

namespace {

constexpr int kDocs = 250000;
constexpr int kItems = 4;

double valueOf(int d, int i) {
    int n = d * kItems + i;
    // A repeated value: that of the item before it 64 documents earlier.
    if (n % 16 == 15 && d >= 64) n -= 64 * kItems + 1;
    return n * 0.5;
}

BenchIndex& benchIndex() {
    static BenchIndex idx("fromto_bench_idx", 1, 2, VOZ_HALF_ITEM,
                          [](void* h, GTRSTATUS* st) {
                              for (int32_t d = 0; d < kDocs && st->retcode == 0; ++d) {
                                  REGISTITEM items[kItems];
                                  memset(items, 0, sizeof items);
                                  for (int i = 0; i < kItems; ++i) {
                                      items[i].item_number = 1;
                                      items[i].item_type = 'N';
                                      items[i].num_value = valueOf(d, i);
                                  }
                                  GTRcreateItemIndexOneDoc(h, d, kItems, items, st);
                              }
                          });
    return idx;
}

int64_t poolBytes(const _POOLCTL& pc) {
    int64_t n = 0;
    for (int32_t i = 0; i < pc.pctlCount; ++i) n += pc.pctlPools[i].blockSize;
    for (int32_t i = 0; i < pc.soccCount; ++i)
        n += int64_t{pc.soccPools[i].capacity} * int64_t{sizeof(SHORTOCC)};
    return n;
}

void BM_FromTo(benchmark::State& state) {
    IDXINFO* index = &benchIndex().handle->second.set0[0];
    double span = kDocs * kItems * 0.5 * static_cast<double>(state.range(0)) / 100.0;
    double lo = kDocs * kItems * 0.25 - span / 2, hi = lo + span;
    uint8_t a[VOZ_DOUBLE_KEY_MAX], b[VOZ_DOUBLE_KEY_MAX];
    int32_t la = vozNormalizeDouble(&lo, 1, 2, a), lb = vozNormalizeDouble(&hi, 1, 2, b);
    std::vector<double> micros;
    int64_t hits = 0, peak = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        _WCTLHEAD w{};
        GTRSTATUS st{};
        voz_GetFromToInit(a, la, 'I', b, lb, 'I', &w, index, nullptr, &st);
        if (w.priv != nullptr)
            peak = std::max(peak, poolBytes(static_cast<VOZFROMTOCTL*>(w.priv)->pools));
        hits = 0;
        while (st.retcode == 0) {
            w.nextHit(&w, index, nullptr, nullptr, -1, 0, &st);
            if (w.cur.docno == VOZ_DOC_END) break;
            ++hits;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(
                             std::chrono::steady_clock::now() - t0).count());
        if (st.retcode != 0) state.SkipWithError("range failed");
    }
    std::sort(micros.begin(), micros.end());
    if (!micros.empty()) {
        state.counters["p50_us"] = micros[micros.size() / 2];
        state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    }
    state.counters["hits"] = static_cast<double>(hits);
    state.counters["pool_kb"] = static_cast<double>(peak) / 1024.0;
}

// ---- equal words --------------------------------------------------------------

constexpr int kEqualDocs = 200000;

// The letter word of document d: 3 to 6 letters of a..h.
std::string letterWord(int d) {
    std::string w;
    uint32_t x = static_cast<uint32_t>(d) * 2654435761u;
    const int len = 3 + static_cast<int>(x % 4);
    for (int i = 0; i < len; ++i, x /= 8) w += static_cast<char>('a' + x % 8);
    return w;
}

BenchIndex& equalIndex() {
    static BenchIndex idx("equal_bench_idx", 1, 2, VOZ_HALF_ITEM,
                          [](void* h, GTRSTATUS* st) {
                              for (int32_t d = 0; d < kEqualDocs && st->retcode == 0; ++d) {
                                  const std::string word = letterWord(d);
                                  char code[16];
                                  snprintf(code, sizeof code, "%07d", (d * 7919) % 10000000);
                                  REGISTITEM items[2];
                                  memset(items, 0, sizeof items);
                                  items[0].item_number = 1;
                                  items[0].item_type = 'C';
                                  items[0].char_ptr = reinterpret_cast<uint8_t*>(
                                      const_cast<char*>(word.data()));
                                  items[0].char_len = static_cast<int16_t>(word.size());
                                  items[1].item_number = 2;
                                  items[1].item_type = 'C';
                                  items[1].char_ptr = reinterpret_cast<uint8_t*>(code);
                                  items[1].char_len = 7;
                                  GTRcreateItemIndexOneDoc(h, d, 2, items, st);
                              }
                          });
    return idx;
}

struct EqualPattern {
    int16_t number;
    const char* text;
};
const EqualPattern kEqualPatterns[] = {
    {1, "abc*"},     // a prefix of letters: the key index, then keys
    {1, "*gh"},      // a suffix
    {1, "a?c*"},     // a one-unit mask inside a letter run
    {2, "12*"},      // a digit prefix: n-gram chunks
    {2, "*4567"},    // a digit suffix
    {2, "1?3*"},     // digits around a one-unit mask
};

// An equal word prepared as the call layer prepares item operands.
struct EqualWord {
    std::vector<uint8_t> units;
    RTRVWORDEXT word;
    explicit EqualWord(const EqualPattern& p) {
        VOZ_CPINFO cp{};
        cp.code = 1;
        vozCHsetCPInfo(&cp);
        const size_t n = strlen(p.text);
        units.resize(n * 4 + 8);
        int32_t len = 0;
        GTRSTATUS st{};
        vozNormalizeLine(cp, reinterpret_cast<const uint8_t*>(p.text),
                         static_cast<int32_t>(n), units.data(),
                         static_cast<int32_t>(units.size()), &len, VOZ_NORM_ITEM,
                         nullptr, &st);
        SEARCHITEM it;
        memset(&it, 0, sizeof it);
        it.item_number = static_cast<uint16_t>(p.number);
        it.item_type = 'C';
        it.char_ptr = units.data();
        it.char_len = static_cast<int16_t>(len);
        it.char_precision = 100;
        it.char_casesens = 'C';
        memset(&word, 0, sizeof word);
        vozTranslateCharItem(cp, &it, 0, &word, &st);
        word.unit_width = vozCHlen(cp);
        word.mark_set_function = vozCHmarkUnit_Set;
        vozCHcpy(cp, word.mask_unit[0], '*', nullptr);
        vozCHcpy(cp, word.mask_unit[1], '?', nullptr);
    }
};

void BM_EqualWord(benchmark::State& state) {
    VOZSEARCH* h = equalIndex().handle;
    IDXINFO* index = &h->second.set0[0];
    IDXINFO* keyIndex = &h->second.set1[0];
    EqualWord ew(kEqualPatterns[state.range(0)]);
    std::vector<double> micros;
    int64_t hits = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        _WCTLHEAD w{};
        GTRSTATUS st{};
        voz_GetEqualWordInit(&ew.word, &w, index, keyIndex, nullptr, &st);
        hits = 0;
        while (st.retcode == 0) {
            w.nextHit(&w, index, keyIndex, nullptr, -1, 0, &st);
            if (w.cur.docno == VOZ_DOC_END) break;
            ++hits;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(
                             std::chrono::steady_clock::now() - t0).count());
        if (st.retcode != 0) state.SkipWithError("equal word failed");
    }
    std::sort(micros.begin(), micros.end());
    if (!micros.empty()) {
        state.counters["p50_us"] = micros[micros.size() / 2];
        state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    }
    state.counters["hits"] = static_cast<double>(hits);
    state.SetLabel(kEqualPatterns[state.range(0)].text);
}

}  // namespace

BENCHMARK(BM_FromTo)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EqualWord)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
