// Binary searches over the fixed keys of a key file agree with
// std::lower_bound over the sorted key set, on both sides of the 2340-record
// threshold, with and without the key-index table.
#include <gtest/gtest.h>

#include "ti_test_util.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
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
#include "files/voz_keyrec.hpp"
#include "files/voz_keywrite.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"

namespace {

using Key = std::array<uint8_t, 6>;

// A key file of `d` field-number keys and the fixed keys `f` (sorted,
// distinct, 2-byte units), opened for reading with its header loaded.
class FixedKeyFile {
public:
    FixedKeyFile(int d, const std::vector<Key>& f, std::vector<uint32_t> lengths = {})
        : fkeys(f) {
        std::string t = std::string(TI_BINARY_DIR) + "/binsearchXXXXXX";
        dir_ = mkdtemp(t.data());
        _FCTLHEAD* fs = &idx->fctl;
        EXPECT_EQ(0, voz_SetFctlForRead(fs, "idx", dir_.c_str(), 0, 0, "KPLQ",
                                        "Full", &st));
        char name[VOZ_FNAME_LEN];
        voz_IDXgetFname(name, fs, VOZ_FT_KEY);
        fs->keyFile = voz_XXopen(name, "wb+");
        KEYINFO_0 k{};
        k.fixedKeyUnits = 3;
        k.unitWidth = 2;
        EXPECT_EQ(0, voz_WriteKeyInfo(fs, &k, &st));
        for (int i = 0; i < d; ++i) {
            KEY_REC r = record('D', {}, 1);
            voz_FldNumber_Set(r.key, static_cast<uint16_t>(i + 1));
            EXPECT_EQ(0, voz_WriteKey(fs, &k, &r, 'K', nullptr, &st));
        }
        for (size_t i = 0; i < f.size(); ++i) {
            uint32_t len = i < lengths.size() ? lengths[i] : 1 + static_cast<uint32_t>(i);
            KEY_REC r = record('F', f[i], len);
            r.lastDoc = static_cast<uint32_t>(i);
            EXPECT_EQ(0, voz_WriteKey(fs, &k, &r, 'K', nullptr, &st));
        }
        EXPECT_EQ(0, voz_WriteKeyInfo(fs, &k, &st));
        EXPECT_EQ(0, voz_WriteKeyInfo2(fs, &st));
        EXPECT_EQ(0, voz_XXclose(fs->keyFile));
        fs->keyFile = voz_XXopen(name, "rb");
        EXPECT_EQ(0, voz_ReadKeyInfo(fs, &k, 1, &table_, &st));
        EXPECT_EQ(0, voz_SetIndexBasic(idx.get(), &k, &st));
        EXPECT_EQ(0, st.retcode) << st.errcode;
        useTable(true);
    }
    ~FixedKeyFile() {
        voz_XXclose(idx->fctl.keyFile);
        free(table_);
        std::filesystem::remove_all(dir_);
    }
    void useTable(bool on) { idx->keyIndex = on ? table_ : nullptr; }
    bool hasTable() const { return table_ != nullptr; }

    static KEY_REC record(char kind, const Key& key, uint32_t len) {
        KEY_REC r{};
        r.kind = kind;
        r.recCount = 1;
        memcpy(r.key, key.data(), 6);
        r.dataLength = len;
        return r;
    }

    std::unique_ptr<IDXINFO> idx{new IDXINFO()};
    GTRSTATUS st{};
    std::vector<Key> fkeys;

private:
    std::string dir_;
    KEYIDX_ENTRY* table_ = nullptr;
};

// Distinct sorted keys of three 2-byte units; the first unit is taken
// from `firstUnits` letters starting at 'b'.
std::vector<Key> randomKeys(size_t n, int firstUnits, std::mt19937& rng) {
    std::set<Key> keys;
    while (keys.size() < n) {
        Key k = {static_cast<uint8_t>('b' + rng() % firstUnits), 1,
                 static_cast<uint8_t>(0x30 + rng() % 64), 1,
                 static_cast<uint8_t>(0x30 + rng() % 64), 1};
        keys.insert(k);
    }
    return {keys.begin(), keys.end()};
}

// Probes: every `stride`-th key and its neighbours, keys before the first
// and after the last, and first units that no key has.
std::vector<Key> probesFor(const std::vector<Key>& keys, size_t stride) {
    std::vector<Key> p = {Key{}, Key{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                          Key{'a', 1, 0x7F, 1}, Key{'z', 1}, Key{'b', 0}};
    for (size_t i = 0; i < keys.size(); i += stride) {
        Key k = keys[i];
        p.push_back(k);
        Key lower = k, higher = k;
        lower[4] = static_cast<uint8_t>(lower[4] - 1);  // between neighbours
        higher[5] = 2;
        p.push_back(lower);
        p.push_back(higher);
    }
    if (!keys.empty()) p.push_back(keys.back());
    return p;
}

// Checks one probe against std::lower_bound.
void expectAgrees(FixedKeyFile& f, const Key& probe, int d) {
    const auto& keys = f.fkeys;
    size_t at = std::lower_bound(keys.begin(), keys.end(), probe) - keys.begin();
    bool present = at < keys.size() && keys[at] == probe;
    KEY_REC rec;
    int32_t number = -7;
    GTRSTATUS st{};
    int rc = voz_BinSearchPatt(probe.data(), f.idx.get(), &rec, &number, &st);
    ASSERT_EQ(0, st.retcode) << st.errcode;
    std::string what = "probe " + std::to_string(probe[0]) + "," +
                       std::to_string(probe[2]) + "," + std::to_string(probe[4]) +
                       " table " + std::to_string(f.idx->keyIndex != nullptr);
    ASSERT_EQ(present ? 0 : 1, rc) << what;
    ASSERT_EQ(d + static_cast<int32_t>(at), number) << what;
    if (at == keys.size()) {
        Key ff = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        ASSERT_EQ(0, memcmp(rec.key, ff.data(), 6)) << what;
        ASSERT_EQ(0u, rec.dataLength) << what;
    } else {
        ASSERT_EQ(0, memcmp(rec.key, keys[at].data(), 6)) << what;
        ASSERT_EQ('F', rec.kind) << what;
        ASSERT_EQ(static_cast<uint32_t>(at), rec.lastDoc) << what;  // converted
    }
}

TEST(BinSearchKey, AgreesWithLowerBoundAcrossSizesAndTables) {
    std::mt19937 rng(testSeed());
    struct Config {
        int d;
        size_t n;
        int firstUnits;
        size_t stride;
    } configs[] = {
        {3, 1, 1, 1},
        {0, 40, 26, 1},       // many first units, several absent
        {5, 2339, 1, 7},      // one range of 2339 records: read in one run
        {5, 2340, 1, 7},      // 2340 records: single reads first
        {20, 6000, 3, 13},    // table ranges of about 2000 around the limit
    };
    for (auto& c : configs) {
        FixedKeyFile f(c.d, randomKeys(c.n, c.firstUnits, rng));
        ASSERT_TRUE(f.hasTable()) << c.n;
        for (bool table : {true, false}) {
            f.useTable(table);
            for (const Key& p : probesFor(f.fkeys, c.stride)) {
                expectAgrees(f, p, c.d);
                if (HasFatalFailure()) return;
            }
        }
    }
}

TEST(BinSearchKey, NoFixedKeysGivesMinusOneAndTheFFRecord) {
    FixedKeyFile f(0, {});
    KEY_REC rec;
    int32_t number = 0;
    Key probe = {'a', 1};
    EXPECT_EQ(1, voz_BinSearchPatt(probe.data(), f.idx.get(), &rec, &number, &f.st));
    EXPECT_EQ(-1, number);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(0xFF, rec.key[i]);
    EXPECT_EQ(0, f.st.retcode);
}

TEST(BinSearchKey, FieldNumbersSearchTheDRecords) {
    std::mt19937 rng(1);
    for (size_t nf : {0u, 3u}) {
        FixedKeyFile f(10, randomKeys(nf, 1, rng));
        for (uint16_t field = 0; field <= 12; ++field) {
            uint8_t key[6];
            KEY_REC rec;
            int32_t number = -7;
            GTRSTATUS st{};
            int rc = voz_BinSearchFldNumber(field, key, f.idx.get(), &rec, &number, &st);
            bool present = field >= 1 && field <= 10;
            int32_t want = present ? field - 1 : (field == 0 ? 0 : 10);
            EXPECT_EQ(present ? 0 : 1, rc) << field;
            EXPECT_EQ(want, number) << field;
            EXPECT_EQ(0, key[4] | key[5]) << "field key is zero-padded";
            if (field > 10 && nf == 0) {
                EXPECT_EQ(0xFF, rec.key[0]) << "beyond every fixed key";
            } else if (present) {
                EXPECT_EQ(field, voz_FldNumber_Get(rec.key));
            }
        }
    }
}

TEST(BinSearchKey, EmptyRecordsAreClearedOrPassedOver) {
    Key a = {'a', 1}, b = {'b', 1}, c = {'c', 1};
    {   // A record without data is returned with its key bytes cleared.
        FixedKeyFile f(0, {a, b, c}, {5, 0, 5});
        f.useTable(false);  // the run then starts at a, not at b
        KEY_REC rec;
        int32_t number;
        EXPECT_EQ(0, voz_BinSearchPatt(b.data(), f.idx.get(), &rec, &number, &f.st));
        EXPECT_EQ(1, number);
        EXPECT_EQ(0, rec.key[0] | rec.key[1]);
    }
    {   // Records without data at the start of the run are passed over.
        FixedKeyFile f(0, {a, b, c}, {0, 5, 5});
        f.useTable(false);
        KEY_REC rec;
        int32_t number;
        EXPECT_EQ(1, voz_BinSearchPatt(a.data(), f.idx.get(), &rec, &number, &f.st));
        EXPECT_EQ(1, number);
        EXPECT_EQ('b', rec.key[0]);
    }
}

TEST(BinSearchKeyInfo2, FindsEntriesAndClampsTheInsertionPoint) {
    std::mt19937 rng(2);
    FixedKeyFile f(0, randomKeys(200, 3, rng));  // units b, c, d
    ASSERT_EQ(3u, f.idx->info.keyIndexEntries);
    struct Case {
        uint8_t unit;
        int rc;
        int32_t entry;
    } cases[] = {{'a', -1, 0}, {'b', 0, 0}, {'c', 0, 1}, {'d', 0, 2}, {'e', -1, 2}};
    for (auto& c : cases) {
        uint8_t key[6] = {c.unit, 1};
        int32_t entry = -7;
        EXPECT_EQ(c.rc, voz_BinSearchKeyInfo2(key, f.idx.get(), &entry)) << c.unit;
        EXPECT_EQ(c.entry, entry) << c.unit;
    }
    f.useTable(false);
    int32_t entry = -7;
    uint8_t key[6] = {'b', 1};
    EXPECT_EQ(-1, voz_BinSearchKeyInfo2(key, f.idx.get(), &entry));
}

TEST(BinSearchKey, ReadFailureLeavesTheRecordUntouched) {
    std::mt19937 rng(3);
    FixedKeyFile f(0, randomKeys(100, 1, rng));
    voz_XXclose(f.idx->fctl.keyFile);
    f.idx->fctl.keyFile = nullptr;
    KEY_REC rec;
    memset(&rec, 0x5A, sizeof rec);
    int32_t number = -7;
    GTRSTATUS st{};
    EXPECT_EQ(-1, voz_BinSearchPatt(f.fkeys[0].data(), f.idx.get(), &rec, &number, &st));
    EXPECT_EQ(6, st.retcode);
    EXPECT_EQ(214, st.errcode);  // the run read's seek
    EXPECT_EQ(0x5A, rec.key[0]);
    EXPECT_EQ(-7, number);
}

}  // namespace

namespace {

// Counts from a damaged header never turn into record numbers that the
// 32-bit reads cannot address (a negative number means "the next record").
TEST(BinSearchKey, DamagedCountsAreRefusedOrClamped) {
    std::mt19937 rng(5);
    FixedKeyFile f(0, randomKeys(100, 3, rng));
    // A fixed-key count beyond 0x7FFFFFFF: those records cannot exist.
    f.useTable(false);
    f.idx->info.fixedKeys = 0xFFFFFFF0u;
    KEY_REC rec;
    memset(&rec, 0x5A, sizeof rec);
    int32_t number = -7;
    GTRSTATUS st{};
    EXPECT_EQ(-1, voz_BinSearchPatt(f.fkeys[50].data(), f.idx.get(), &rec,
                                    &number, &st));
    EXPECT_EQ(19, st.retcode);
    EXPECT_EQ(207, st.errcode);
    EXPECT_EQ(-7, number);
    EXPECT_EQ(0x5A, rec.key[0]);
    // A table entry pointing past the fixed keys answers "beyond the last".
    f.idx->info.fixedKeys = 100;
    f.useTable(true);
    ASSERT_GE(f.idx->info.keyIndexEntries, 2u);
    uint32_t last = f.idx->info.keyIndexEntries - 1;
    f.idx->keyIndex[last].firstRecord = 0x90000000u;
    Key probe = f.fkeys.back();
    st = GTRSTATUS{};
    int rc = voz_BinSearchPatt(probe.data(), f.idx.get(), &rec, &number, &st);
    EXPECT_EQ(0, st.retcode) << st.errcode;
    EXPECT_GE(rc, 0);
    EXPECT_GE(number, 0);
    EXPECT_LE(number, 100);
}

}  // namespace
