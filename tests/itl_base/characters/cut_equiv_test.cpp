// The cutting and case-marking routines of the word rules against the
// versions they replaced (kept here as the reference, unit tests called
// through pointers): over random unit strings of widths 2 and 3 with
// letters of every mark, digits, blanks, Latin Extended-A and Turkish I
// units and cut-off tails, every cut must hand out the same parts, the same
// next start and rewrite the units in place the same way, and the case
// marking must mark the same units with the same result.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "characters/voz_cut.hpp"
#include "ti_test_util.hpp"

namespace {

// ---- the reference ----------------------------------------------------------

static bool isAsciiI(const uint8_t* u) { return u[0] == '!' && u[1] == 'I'; }

static bool isTurkishI(const uint8_t* u) {
    return u[0] == 0xC4 && (u[1] == 0xB1 || u[1] == 0xB0) &&
           u[2] == VOZ_MARK_TURKISH_I;
}

// Turkish rewrite of a UTF-8 part [start, end): when the part has Latin
// Extended-A units (first byte C4/C5), ASCII I units take the Turkish forms
// (I -> dotless i C4 B1, i -> dotted I C4 B0, mark kept); the Turkish I
// units marked 7 become case-insensitive, and become the ASCII I when they
// were the only Latin Extended-A units of the part.
static void turkishFix(uint8_t* start, uint8_t* end) {
    uint8_t* turkish[VOZ_PART_MAX_UNITS];
    uint8_t* ascii[VOZ_PART_MAX_UNITS];
    int nTurkish = 0, nAscii = 0, nExtA = 0;
    for (uint8_t* u = start; u + 3 <= end; u += 3) {
        if (u[0] == 0xC4 || u[0] == 0xC5) ++nExtA;
        if (isTurkishI(u)) turkish[nTurkish++] = u;
        else if (isAsciiI(u)) ascii[nAscii++] = u;
    }
    if (nExtA == 0) return;
    for (int i = 0; i < nAscii; ++i) {
        uint8_t* u = ascii[i];
        u[0] = 0xC4;
        if (u[2] == VOZ_MARK_UPPER) u[1] = 0xB1;
        else if (u[2] == VOZ_MARK_LOWER) u[1] = 0xB0;
    }
    const bool onlyTurkish = nExtA == nTurkish;
    for (int i = 0; i < nTurkish; ++i) {
        uint8_t* u = turkish[i];
        if (onlyTurkish) {
            u[0] = '!';
            u[1] = 'I';
        }
        u[2] = VOZ_MARK_NOCASE;
    }
}

int32_t refCutIntoPart(uint8_t* start, uint8_t* end, int16_t width,
                       uint8_t** partStart, uint8_t** partEnd, uint8_t** next,
                       VOZ_UNITPRED_FN partTest, VOZ_UNITPRED_FN skipTest) {
    if (end <= start) {
        *partEnd = start;
        return 0;
    }
    if (width < 2) {
        *partStart = start;
        *partEnd = end;
        *next = end;
        return 0;
    }
    const int64_t w = width;
    if (end - start < w) {
        // Only a partial unit is left: nothing to test without reading past
        // the end. An empty stretch, and the walk is over.
        *partStart = start;
        *partEnd = start;
        *next = end;
        return 0;
    }
    // p + w <= end is tested as end - p >= w: a trailing partial unit is
    // never looked at.
    uint8_t* p = start;
    if (!partTest(start, width)) {
        while (end - p >= w && skipTest(p, width)) p += w;
        *partStart = p;
        while (end - p >= w && !partTest(p, width)) p += w;
        *next = p;
        uint8_t* q = p;
        while (q - *partStart >= w && skipTest(q - w, width)) q -= w;
        *partEnd = q;
        return 0;
    }
    uint8_t* limit = end - start > VOZ_PART_MAX_UNITS * w
                         ? start + VOZ_PART_MAX_UNITS * w
                         : end;
    while (limit - p >= w && partTest(p, width)) p += w;
    *partStart = start;
    *partEnd = p;
    if (width == VOZ_UNIT_WIDTH_UTF8) turkishFix(start, p);
    while (end - p >= w && skipTest(p, width)) p += w;
    *next = p;
    return 1;
}

// Marks the letters of units; Turkish rules only when `turkishAllowed`.
static int32_t refCaseInsens(uint8_t* units, int32_t length, int16_t width,
                          VOZ_UNITPRED_FN letterTest, VOZ_MARKSET_FN setMark,
                          bool turkishAllowed) {
    if (units == nullptr || width < 1 || length < width) return 4;
    uint8_t* const end = units + (length / width) * width;
    bool turkish = false;
    if (turkishAllowed && width == VOZ_UNIT_WIDTH_UTF8) {
        for (uint8_t* u = units; u < end && !turkish; u += width)
            turkish = u[0] == 0xC4 || u[0] == 0xC5;
    }
    bool marked = false;
    for (uint8_t* u = units; u < end; u += width) {
        if (!letterTest(u, width)) continue;
        if (turkish && isAsciiI(u)) {
            if (u[2] == VOZ_MARK_UPPER || u[2] == VOZ_MARK_LOWER) {
                u[1] = u[2] == VOZ_MARK_UPPER ? 0xB1 : 0xB0;
                u[0] = 0xC4;
                u[2] = VOZ_MARK_TURKISH_I;
            }
            continue;
        }
        setMark(u, width);
        marked = true;
    }
    return marked ? 0 : 4;
}

// ---- random units -----------------------------------------------------------

using Bytes = std::vector<uint8_t>;

// A unit of width w; width 3 units come from the UTF-8 forms that matter.
void randomUnit(std::mt19937& rng, int w, uint8_t* u) {
    static const uint8_t marks[] = {1, 2, 3, 4, 5, 6, 7, 0xFF, 0x41, 0xC3};
    if (w == 3) {
        static const uint8_t forms[][3] = {
            {'!', 'a', 1}, {'!', 'b', 2}, {'!', 'I', 1}, {'!', 'I', 2},
            {'!', 'I', 3}, {0xC4, 0xB1, 7}, {0xC4, 0xB0, 7}, {0xC4, 0xB1, 1},
            {0xC5, 0x9F, 2}, {0xC4, 0x9F, 1}, {0x20, 0x20, 5}, {'!', '.', 4},
            {'!', '7', 6}, {0xE3, 0x81, 0x82}, {0x20, 0x21, 5}, {'!', 'z', 3}};
        if (rng() % 8 != 0) {
            memcpy(u, forms[rng() % (sizeof forms / sizeof forms[0])], 3);
            return;
        }
    }
    for (int i = 0; i < w - 1; ++i) u[i] = static_cast<uint8_t>(rng() % 3 == 0 ? 0x20 : rng());
    u[w - 1] = marks[rng() % sizeof marks];
}

Bytes randomUnits(std::mt19937& rng, int w) {
    const int units = static_cast<int>(rng() % 300);
    Bytes b(static_cast<size_t>(units * w + (rng() % 4 == 0 ? w - 1 : 0)));
    // Runs of one kind, so that long parts (over 128 units) occur too.
    for (int i = 0; i < units;) {
        uint8_t u[3];
        randomUnit(rng, w, u);
        const int run = 1 + static_cast<int>(rng() % (rng() % 10 == 0 ? 200 : 4));
        for (int k = 0; k < run && i < units; ++k, ++i) {
            if (rng() % 3 == 0) randomUnit(rng, w, u);
            memcpy(&b[static_cast<size_t>(i * w)], u, static_cast<size_t>(w));
        }
    }
    for (size_t i = static_cast<size_t>(units * w); i < b.size(); ++i) b[i] = 0x41;
    return b;
}

struct CutRule {
    VOZ_CUT_FN cut;
    VOZ_UNITPRED_FN part;
    VOZ_UNITPRED_FN skip;
};

// Walks the whole string with both cuts; every step must agree.
void compareCuts(const CutRule& r, Bytes units, int16_t w, uint32_t seed) {
    Bytes ref = units;
    uint8_t* p = units.data();
    uint8_t* q = ref.data();
    uint8_t* const end = units.data() + units.size();
    uint8_t* const refEnd = ref.data() + ref.size();
    for (int step = 0; step < 1000 && p < end; ++step) {
        uint8_t *ps = p, *pe = p, *next = end;
        uint8_t *rs = q, *re = q, *rnext = refEnd;
        const int32_t got = r.cut(p, end, w, &ps, &pe, &next);
        const int32_t want = refCutIntoPart(q, refEnd, w, &rs, &re, &rnext, r.part, r.skip);
        ASSERT_EQ(got, want) << "seed " << seed;
        ASSERT_EQ(ps - units.data(), rs - ref.data()) << "seed " << seed;
        ASSERT_EQ(pe - units.data(), re - ref.data()) << "seed " << seed;
        ASSERT_EQ(next - units.data(), rnext - ref.data()) << "seed " << seed;
        if (next <= p) break;
        p = next;
        q = rnext;
    }
    ASSERT_EQ(units, ref) << "seed " << seed;
}

TEST(CutEquivalence, WordRulesCutAsBefore) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    const CutRule rules[] = {
        {vozCHcutIntoPartAlpha, vozIsAlpha, vozIsBlank},
        {vozCHcutIntoPartAlphaNum, vozIsAlphaNum, vozIsBlank},
        {vozCHcutIntoPartAsis, vozIsTokenChar_Item, vozAlwaysFalse},
        {Func_CutIntoPart[0], vozIsAlpha, vozIsBlank},
        {Func_CutIntoPart[1], vozIsAlphaNum, vozIsBlank},
    };
    for (int round = 0; round < 400; ++round) {
        const int16_t w = static_cast<int16_t>(rng() % 2 == 0 ? 2 : 3);
        const Bytes units = randomUnits(rng, w);
        for (const CutRule& r : rules) compareCuts(r, units, w, seed);
    }
}

TEST(CutEquivalence, CaseMarkingAsBefore) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    for (int round = 0; round < 400; ++round) {
        const int16_t w = static_cast<int16_t>(rng() % 2 == 0 ? 2 : 3);
        const Bytes units = randomUnits(rng, w);
        const auto len = static_cast<int32_t>(units.size());
        Bytes got = units, want = units;
        ASSERT_EQ(vozCHcaseInsensAlpha(got.data(), len, w),
                  refCaseInsens(want.data(), len, w, vozIsAlpha, vozSetCaseInsensMark, true))
            << "seed " << seed;
        ASSERT_EQ(got, want) << "seed " << seed;
        got = want = units;
        ASSERT_EQ(vozSeemAsSameUnitVarUTF8(got.data(), len, w),
                  refCaseInsens(want.data(), len, w, vozIsAlphaVarUTF8,
                                vozSetCaseInsensMarkVarUTF8, false))
            << "seed " << seed;
        ASSERT_EQ(got, want) << "seed " << seed;
        got = want = units;
        ASSERT_EQ(vozCaseInsensAlpha(got.data(), len, w, vozIsAlphaNum, vozSetCaseInsensMark),
                  refCaseInsens(want.data(), len, w, vozIsAlphaNum, vozSetCaseInsensMark, true))
            << "seed " << seed;
        ASSERT_EQ(got, want) << "seed " << seed;
    }
}

}  // namespace
