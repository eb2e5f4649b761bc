// Tests of the two sorts of a document's boundary check, against std::sort.
#include <algorithm>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include "calls/voz_sortix.hpp"

namespace {

// Keys of one shape: random (few distinct values for duplicates), sorted
// or reversed.
std::vector<uint32_t> keysOf(std::mt19937& rng, int shape, int n) {
    std::vector<uint32_t> keys((size_t)n);
    const uint32_t range = rng() % 2 ? 4 : 0xFFFFFFFFu;
    for (uint32_t& k : keys) k = range == 4 ? rng() % 4 : (uint32_t)rng();
    if (shape == 1) std::sort(keys.begin(), keys.end());
    if (shape == 2) std::sort(keys.rbegin(), keys.rend());
    return keys;
}

}  // namespace

TEST(SortDocIX, AgreesWithStdSortKeepingCompanions) {
    std::mt19937 rng(testSeed());
    for (int round = 0; round < 600; ++round) {
        const int n = (int)(rng() % 300);
        std::vector<uint32_t> keys = keysOf(rng, round % 3, n);
        std::vector<int32_t> values((size_t)n);
        std::vector<std::pair<uint32_t, int32_t>> model;
        for (int i = 0; i < n; ++i) {
            values[(size_t)i] = (int32_t)(keys[(size_t)i] ^ 0x5A5A5A5Au);
            model.emplace_back(keys[(size_t)i], values[(size_t)i]);
        }
        vozSortDocIX(keys.data(), values.data(), n);
        std::sort(model.begin(), model.end());
        std::vector<std::pair<uint32_t, int32_t>> got;
        for (int i = 0; i < n; ++i) got.emplace_back(keys[(size_t)i], values[(size_t)i]);
        ASSERT_EQ(got, model) << "round " << round;
    }
}

TEST(SortDocIX, NullOrFewerThanTwoEntriesAreLeftAlone) {
    uint32_t keys[2] = {9, 1};
    int32_t values[2] = {1, 2};
    vozSortDocIX(keys, values, 1);
    vozSortDocIX(nullptr, values, 2);
    vozSortDocIX(keys, nullptr, 2);
    EXPECT_EQ(keys[0], 9u);
    EXPECT_EQ(values[0], 1);
}

TEST(SortFieldInfoIX, OrdersByFieldPositionKind) {
    std::mt19937 rng(testSeed());
    static const uint8_t text[64] = {};
    for (int round = 0; round < 600; ++round) {
        const int n = (int)(rng() % 200);
        std::vector<VOZFLDEVENT> events((size_t)n);
        for (VOZFLDEVENT& e : events) {
            e.fld_number = (uint16_t)(1 + rng() % (round % 2 ? 3 : 60000));
            e.kind = (uint8_t)(rng() % 4);
            e.position = text + rng() % 64;
        }
        if (round % 3 == 1)
            std::sort(events.begin(), events.end(), [](auto& a, auto& b) {
                return std::tie(a.fld_number, a.position, a.kind) <
                       std::tie(b.fld_number, b.position, b.kind);
            });
        if (round % 3 == 2) std::reverse(events.begin(), events.end());
        std::vector<int32_t> ix((size_t)n);
        for (int i = 0; i < n; ++i) ix[(size_t)i] = i;
        vozSortFieldInfoIX(events.data(), ix.data(), n);
        std::vector<int32_t> seen = ix;
        std::sort(seen.begin(), seen.end());
        for (int i = 0; i < n; ++i) ASSERT_EQ(seen[(size_t)i], i) << "not a permutation";
        for (int i = 1; i < n; ++i) {
            const VOZFLDEVENT& a = events[(size_t)ix[(size_t)i - 1]];
            const VOZFLDEVENT& b = events[(size_t)ix[(size_t)i]];
            ASSERT_FALSE(std::tie(b.fld_number, b.position, b.kind) <
                         std::tie(a.fld_number, a.position, a.kind))
                << "round " << round << " at " << i;
        }
    }
    int32_t ix[2] = {1, 0};
    vozSortFieldInfoIX(nullptr, ix, 2);
    EXPECT_EQ(ix[0], 1);
}
