// Per-document record checks and item keys.
//   BM_CheckItems          reserved check of a document's 100 REGISTITEMs
//   BM_CheckBoundaries     reserved check of a BOUNDARYINFO of 1,000 fields
//   BM_NumericKey          vozNormalizeDouble over 4096 fixed random doubles
//   BM_NumericKeyDecode    vozUnnormalizeDouble of the same keys
//   BM_CharKey/code        vozNormalizeCharItem of short item texts (code
//                          page 7, 34)
// Reports documents/s (checks) or keys/s; the counter "hash" sums the key
// bytes or check results of one pass, so that a fast but wrong run shows.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "calls/voz_itemkey.hpp"
#include "calls/voz_reserved.hpp"
#include "characters/voz_cpinfo.hpp"

namespace {

void BM_CheckItems(benchmark::State& state) {
    std::vector<REGISTITEM> items(100);
    for (size_t i = 0; i < items.size(); ++i) {
        items[i].item_number = static_cast<int16_t>(i + 1);
        items[i].item_type = 'N';
        items[i].num_value = static_cast<double>(i);
    }
    GTRSTATUS st{};
    int64_t hash = 0;
    for (auto _ : state) {
        for (const REGISTITEM& it : items) hash += vozReservedCheck_REGISTITEM(&it, &st);
        benchmark::DoNotOptimize(hash);
    }
    state.counters["hash"] = static_cast<double>(hash + st.retcode);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CheckItems);

void BM_CheckBoundaries(benchmark::State& state) {
    std::vector<FLDBOUNDARYINFO> fields(1000);
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i].fld_number = static_cast<uint16_t>(i + 1);
    BOUNDARYINFO b{};
    b.fld_boundary_num = static_cast<int32_t>(fields.size());
    b.fld_boundary = fields.data();
    GTRSTATUS st{};
    int64_t hash = 0;
    for (auto _ : state) {
        hash += vozReservedCheck_BOUNDARYINFO(&b, &st);
        benchmark::DoNotOptimize(hash);
    }
    state.counters["hash"] = static_cast<double>(hash + st.retcode);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CheckBoundaries);

std::vector<double> fixedDoubles() {
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> d(-1e6, 1e6);
    std::vector<double> v(4096);
    for (double& x : v) x = d(rng);
    return v;
}

void BM_NumericKey(benchmark::State& state) {
    const std::vector<double> values = fixedDoubles();
    uint8_t key[VOZ_DOUBLE_KEY_MAX];
    uint64_t hash = 0;
    for (auto _ : state) {
        hash = 0;
        for (size_t i = 0; i < values.size(); ++i) {
            int32_t n = vozNormalizeDouble(&values[i], static_cast<int32_t>(i % 300) + 1,
                                           2, key);
            hash += static_cast<uint64_t>(n) + key[n - 1];
        }
        benchmark::DoNotOptimize(hash);
    }
    state.counters["hash"] = static_cast<double>(hash);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}
BENCHMARK(BM_NumericKey);

void BM_NumericKeyDecode(benchmark::State& state) {
    const std::vector<double> values = fixedDoubles();
    std::vector<std::vector<uint8_t>> keys;
    for (size_t i = 0; i < values.size(); ++i) {
        uint8_t key[VOZ_DOUBLE_KEY_MAX];
        int32_t n = vozNormalizeDouble(&values[i], static_cast<int32_t>(i % 300) + 1, 2, key);
        keys.emplace_back(key, key + n);
    }
    double sum = 0;
    for (auto _ : state) {
        sum = 0;
        for (const auto& k : keys) {
            int32_t item;
            double v;
            vozUnnormalizeDouble(k.data(), static_cast<int32_t>(k.size()), &item, &v);
            sum += v + item;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["hash"] = sum;
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(keys.size()));
}
BENCHMARK(BM_NumericKeyDecode);

void BM_CharKey(benchmark::State& state) {
    VOZ_CPINFO cp{};
    cp.code = static_cast<uint8_t>(state.range(0));
    vozCHsetCPInfo(&cp);
    const std::vector<std::string> texts = {"  red ", "Tokyo", "blue sky",
                                            "  0123456789  ", "x"};
    uint8_t out[256];
    GTRSTATUS st{};
    uint64_t hash = 0;
    for (auto _ : state) {
        hash = 0;
        for (size_t i = 0; i < texts.size(); ++i) {
            int32_t len = 0;
            vozNormalizeCharItem(static_cast<int32_t>(i + 1),
                                 reinterpret_cast<const uint8_t*>(texts[i].data()),
                                 static_cast<int32_t>(texts[i].size()), cp, out,
                                 sizeof out, &len, nullptr, &st);
            hash += static_cast<uint64_t>(len) + out[len / 2];
        }
        benchmark::DoNotOptimize(hash);
    }
    state.counters["hash"] = static_cast<double>(hash + static_cast<uint64_t>(st.retcode));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(texts.size()));
}
BENCHMARK(BM_CharKey)->Arg(7)->Arg(34);

}  // namespace

BENCHMARK_MAIN();
