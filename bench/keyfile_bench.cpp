// Fixed-key lookups in a key file.
//   BM_BinSearchPatt/table:1   100000 'F' keys over 20 first units, random
//                              probes (half present), key-index table loaded
//   BM_BinSearchPatt/table:0   the same without the table: bisection over the
//                              whole fixed range
// Reports lookups/s; the counter "found" is a hash of the answers to the
// first 4096 probes (equal for both variants) so that a fast but wrong search
// shows.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "files/voz_file.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_keywrite.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"

namespace {

using Key = std::array<uint8_t, 6>;

struct BenchKeyFile {
    std::string dir;
    std::unique_ptr<IDXINFO> idx{new IDXINFO()};
    KEYIDX_ENTRY* table = nullptr;
    std::vector<Key> keys;

    BenchKeyFile() {
        std::mt19937 rng(42);
        std::set<Key> set;
        while (set.size() < 100000)
            set.insert(Key{static_cast<uint8_t>('a' + rng() % 20), 1,
                           static_cast<uint8_t>(rng()), 1,
                           static_cast<uint8_t>(rng()), 1});
        keys.assign(set.begin(), set.end());
        std::string t = std::filesystem::temp_directory_path().string() + "/kfbenchXXXXXX";
        dir = mkdtemp(t.data());
        GTRSTATUS st{};
        _FCTLHEAD* fs = &idx->fctl;
        voz_SetFctlForRead(fs, "idx", dir.c_str(), 0, 0, "KPLQ", "Full", &st);
        char name[VOZ_FNAME_LEN];
        voz_IDXgetFname(name, fs, VOZ_FT_KEY);
        fs->keyFile = voz_XXopen(name, "wb+");
        KEYINFO_0 k{};
        k.fixedKeyUnits = 3;
        k.unitWidth = 2;
        voz_WriteKeyInfo(fs, &k, &st);
        for (const Key& key : keys) {
            KEY_REC r{};
            r.kind = 'F';
            r.recCount = 1;
            memcpy(r.key, key.data(), 6);
            r.dataLength = 1;
            voz_WriteKey(fs, &k, &r, 'K', nullptr, &st);
        }
        voz_WriteKeyInfo(fs, &k, &st);
        voz_WriteKeyInfo2(fs, &st);
        voz_XXclose(fs->keyFile);
        fs->keyFile = voz_XXopen(name, "rb");
        voz_ReadKeyInfo(fs, &k, 1, &table, &st);
        voz_SetIndexBasic(idx.get(), &k, &st);
    }
    ~BenchKeyFile() {
        voz_XXclose(idx->fctl.keyFile);
        free(table);
        std::filesystem::remove_all(dir);
    }
};

void BM_BinSearchPatt(benchmark::State& state) {
    static BenchKeyFile f;
    f.idx->keyIndex = state.range(0) != 0 ? f.table : nullptr;
    std::mt19937 rng(7);
    uint64_t hash = 0, n = 0;
    for (auto _ : state) {
        Key probe = f.keys[rng() % f.keys.size()];
        if (rng() % 2) probe[5] = 2;  // absent
        KEY_REC rec;
        int32_t number;
        GTRSTATUS st{};
        int rc = voz_BinSearchPatt(probe.data(), f.idx.get(), &rec, &number, &st);
        if (++n <= 4096)  // the same probes in every run: comparable hashes
            hash = hash * 31 + static_cast<uint64_t>(number) * 2 + static_cast<uint64_t>(rc);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["found"] = static_cast<double>(hash % 1000003);
}
BENCHMARK(BM_BinSearchPatt)->ArgName("table")->Arg(1)->Arg(0);

}  // namespace

BENCHMARK_MAIN();
