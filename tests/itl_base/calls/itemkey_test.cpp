// Tests of the item keys: golden numeric keys, a randomized order and round
// trip over doubles of every class, and character item keys.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "calls/voz_itemkey.hpp"
#include "characters/voz_cpinfo.hpp"
#include "ti_test_util.hpp"

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes numKey(double v, int32_t item) {
    uint8_t out[VOZ_DOUBLE_KEY_MAX + 4];
    std::memset(out, 0xEE, sizeof out);
    int32_t n = vozNormalizeDouble(&v, item, 2, out);
    EXPECT_GT(n, 0);
    EXPECT_LE(n, VOZ_DOUBLE_KEY_MAX);
    for (size_t i = static_cast<size_t>(n); i < sizeof out; ++i)
        EXPECT_EQ(out[i], 0xEE) << "written past the key";
    return Bytes(out, out + n);
}

uint64_t bitsOf(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

TEST(NumericItemKey, GoldenKeysDecodeBack) {
    struct Case {
        double value;
        int32_t item;
        Bytes key;
    } cases[] = {
        {-2.5, 5, {0x05, 0x1F, 0x3F, 0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {-1.0, 5, {0x05, 0x1F, 0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {0.0, 5, {0x05, 0x1F, 0x80, 0x00}},
        {1.0, 5, {0x05, 0x1F, 0xBF, 0xF0}},
        {2.5, 5, {0x05, 0x1F, 0xC0, 0x04}},
        {1.0, 200, {0x80, 0x1F, 0xC8, 0xBF, 0xF0, 0x00}},
        {-0.0, 5, {0x05, 0x1F, 0x80, 0x00}},  // the key of +0.0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Bytes key = numKey(c.value, c.item);
        EXPECT_EQ(key, c.key);
        int32_t item = -1;
        double back = -99;
        ASSERT_EQ(vozUnnormalizeDouble(key.data(), static_cast<int32_t>(key.size()),
                                       &item, &back), 0);
        EXPECT_EQ(item, c.item);
        EXPECT_EQ(bitsOf(back), bitsOf(c.value == 0 ? 0.0 : c.value));
    }
    EXPECT_EQ(vozNormalizeDouble(&cases[0].value, 5, 3, nullptr), -1)
        << "numeric keys have 2-byte units only";
}

TEST(NumericItemKey, ShortKeysAreRefused) {
    const uint8_t key[] = {0x80, 0x1F};
    int32_t item = 7;
    double v = 3;
    EXPECT_EQ(vozUnnormalizeDouble(key, 1, &item, &v), -1);
    EXPECT_EQ(vozUnnormalizeDouble(key, 2, &item, &v), -1) << "3-byte head";
    EXPECT_EQ(item, 7);
    EXPECT_EQ(v, 3);
}

TEST(NumericItemKey, NegativeDenormalsSortBelowZero) {
    // A negative whose top byte is exactly 0x80 must be inverted like any
    // other negative; setting its sign bit left it above +0 and above 1.
    const double tiny = -std::numeric_limits<double>::denorm_min();
    const double small = -std::numeric_limits<double>::min();
    EXPECT_LT(numKey(tiny, 5), numKey(0.0, 5));
    EXPECT_LT(numKey(small, 5), numKey(tiny, 5));
    EXPECT_LT(numKey(-1.0, 5), numKey(small, 5));
    int32_t item;
    double back;
    Bytes key = numKey(tiny, 5);
    ASSERT_EQ(vozUnnormalizeDouble(key.data(), static_cast<int32_t>(key.size()),
                                   &item, &back), 0);
    EXPECT_EQ(bitsOf(back), bitsOf(tiny));
}

double randomDouble(std::mt19937_64& rng) {
    const double specials[] = {0.0,
                               -0.0,
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::denorm_min(),
                               -std::numeric_limits<double>::denorm_min(),
                               std::numeric_limits<double>::max(),
                               -std::numeric_limits<double>::max(),
                               1.0,
                               -1.0};
    switch (rng() % 4) {
    case 0: return specials[rng() % (sizeof specials / sizeof specials[0])];
    case 1: {  // a denormal of either sign
        uint64_t bits = (rng() & ((uint64_t{1} << 52) - 1)) | (rng() & (uint64_t{1} << 63));
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    case 2: return static_cast<double>(static_cast<int64_t>(rng() % 2001) - 1000) / 4;
    default: {  // any finite value
        uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return std::isnan(d) ? 0.5 : d;
    }
    }
}

TEST(NumericItemKey, BytewiseOrderIsNumericOrderAndKeysDecode) {
    std::mt19937_64 rng(testSeed());
    struct Entry {
        int32_t item;
        double value;
        Bytes key;
    };
    std::vector<Entry> entries;
    for (int i = 0; i < 4000; ++i) {
        int32_t item = rng() % 3 == 0 ? static_cast<int32_t>(rng() % 3) + 126
                                      : static_cast<int32_t>(rng() % 32767) + 1;
        double v = randomDouble(rng);
        entries.push_back({item, v, numKey(v, item)});
        int32_t backItem;
        double back;
        const Bytes& k = entries.back().key;
        ASSERT_EQ(vozUnnormalizeDouble(k.data(), static_cast<int32_t>(k.size()),
                                       &backItem, &back), 0);
        ASSERT_EQ(backItem, item);
        ASSERT_EQ(bitsOf(back), bitsOf(v == 0 ? 0.0 : v)) << v;
    }
    for (int i = 0; i < 20000; ++i) {
        const Entry& a = entries[rng() % entries.size()];
        const Entry& b = entries[rng() % entries.size()];
        // std::vector compares bytewise, a proper prefix first.
        bool numLess = a.item < b.item || (a.item == b.item && a.value < b.value);
        bool numEqual = a.item == b.item && a.value == b.value;
        ASSERT_EQ(a.key < b.key, numLess) << a.item << " " << a.value << " vs "
                                          << b.item << " " << b.value;
        ASSERT_EQ(a.key == b.key, numEqual);
    }
}

VOZ_CPINFO cpinfo(uint8_t code) {
    VOZ_CPINFO cp{};
    cp.code = code;
    vozCHsetCPInfo(&cp);
    return cp;
}

Bytes charKey(uint8_t code, const std::string& text, int32_t outSize,
              GTRSTATUS* st, int32_t* rc) {
    Bytes out(static_cast<size_t>(outSize) + 8, 0xEE);
    int32_t len = -1;
    *rc = vozNormalizeCharItem(5, reinterpret_cast<const uint8_t*>(text.data()),
                               static_cast<int32_t>(text.size()), cpinfo(code),
                               out.data(), outSize, &len, nullptr, st);
    for (size_t i = static_cast<size_t>(outSize); i < out.size(); ++i)
        EXPECT_EQ(out[i], 0xEE) << "written past the output size";
    out.resize(static_cast<size_t>(len < 0 ? 0 : len));
    return out;
}

TEST(CharacterItemKey, AllBlankTextGivesTheTwoMarks) {
    GTRSTATUS st{};
    int32_t rc;
    EXPECT_EQ(charKey(34, "   ", 64, &st, &rc), (Bytes{5, 0, 0x0A, 5, 0, 0x0B}));
    EXPECT_EQ(rc, 6) << "the call returns the key length";
    EXPECT_EQ(charKey(7, "  ", 64, &st, &rc), (Bytes{5, 0x0A, 5, 0x0B}));
    EXPECT_EQ(charKey(7, "", 64, &st, &rc), (Bytes{5, 0x0A, 5, 0x0B}));
    EXPECT_EQ(st.retcode, 0);
}

TEST(CharacterItemKey, StripsBlanksAndConvertsFlat) {
    for (uint8_t code : {uint8_t{7}, uint8_t{34}}) {
        SCOPED_TRACE(static_cast<int>(code));
        const VOZ_CPINFO cp = cpinfo(code);
        const int w = vozCHlen(cp);
        const uint8_t red[] = {'r', 'e', 'd'};
        uint8_t units[32];
        int32_t n = sizeof units;
        uint8_t state = 0;
        ASSERT_EQ(vozCHconvertFlat(cp, red, red + 3, nullptr, 0, units, &n,
                                   nullptr, &state), VOZ_CH_DONE);
        ASSERT_EQ(n, 3 * w);
        Bytes want(static_cast<size_t>(w), 0);
        want[0] = 5;
        want[static_cast<size_t>(w) - 1] = 0x0A;
        want.insert(want.end(), units, units + n);
        Bytes end(static_cast<size_t>(w), 0);
        end[0] = 5;
        end[static_cast<size_t>(w) - 1] = 0x0B;
        want.insert(want.end(), end.begin(), end.end());

        GTRSTATUS st{};
        int32_t rc;
        EXPECT_EQ(charKey(code, "  red ", 64, &st, &rc), want);
        EXPECT_EQ(rc, static_cast<int32_t>(want.size())) << "the key length";
        // Exactly the room it needs, then one unit less.
        EXPECT_EQ(charKey(code, "  red ", 5 * w, &st, &rc), want);
        EXPECT_EQ(charKey(code, "  red ", 5 * w - 1, &st, &rc), Bytes{});
        EXPECT_EQ(rc, 0) << "no key";
        EXPECT_EQ(st.retcode, 101);
        EXPECT_EQ(st.errcode, 1124);
        st = GTRSTATUS{};
        EXPECT_EQ(charKey(code, "x", 1, &st, &rc), Bytes{}) << "no room for marks";
        EXPECT_EQ(st.errcode, 1124);
    }
}

}  // namespace
