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
// The index lives in a temporary directory that is removed at exit.
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
#include "search/voz_fromto.hpp"
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

}  // namespace

BENCHMARK(BM_FromTo)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
