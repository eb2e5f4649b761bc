// Tests of the EUC-JP and EUC-TW normalisers: units of a table of texts,
// half-width kana voicing, the round trip text -> units -> text for every
// character that ICU's converters define, and the output limits.
#include <gtest/gtest.h>

#include "engine_test_util.hpp"
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/unorm2.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "characters/voz_cpinfo.hpp"
#include "characters/voz_norm_euc.hpp"

namespace {

std::string hex(const std::vector<uint8_t>& b) { return hexGroups(b, 2); }

typedef std::vector<uint8_t> Bytes;

Bytes units(uint8_t code, const Bytes& text, VOZ_CONTTEXT* cont = nullptr) {
    VOZ_CPINFO cp{0, code, {}, 0, 0};
    Bytes out(text.size() * 2 + 2);
    int32_t len = (int32_t)out.size();
    uint8_t state = 0;
    EXPECT_EQ(vozCHconvert(cp, text.data(), text.data() + text.size(), cont, 0,
                           out.data(), &len, nullptr, nullptr, &state),
              VOZ_CH_DONE);
    out.resize(len);
    return out;
}

Bytes text(uint8_t code, const Bytes& u) {
    VOZ_CPINFO cp{0, code, {}, 0, 0};
    Bytes out(u.size() * 2);
    int32_t written = -1;
    uint8_t state = 0;
    EXPECT_EQ(vozCHunnormalize(cp, u.data(), u.data() + u.size(), 0, out.data(),
                               (int32_t)out.size(), &written, &state),
              VOZ_CH_DONE);
    out.resize(written);
    return out;
}

TEST(NormEuc, UnitsOfTexts) {
    struct Case { uint8_t code; const char* what; const char* in; const char* units; };
    const Case cases[] = {
        {VOZ_CP_EUCJP, "ASCII letters and digit", "41 61 35", "4101 4102 3506"},
        {VOZ_CP_EUCJP, "full-width letters and digit", "A3C1 A3E1 A3B5", "4101 4102 3506"},
        {VOZ_CP_EUCJP, "punctuation is its full-width form", "21 A1AA", "A1AA A1AA"},
        {VOZ_CP_EUCJP, "space and wide blank", "20 A1A1", "2005 2005"},
        {VOZ_CP_EUCJP, "kanji kept", "C6FC CBDC", "C6FC CBDC"},
        {VOZ_CP_EUCJP, "half-width kana", "8EB1", "A5A2"},
        {VOZ_CP_EUCJP, "half-width vu", "8EB3 8EDE", "A5F4"},
        {VOZ_CP_EUCJP, "half-width ga", "8EB6 8EDE", "A5AC"},
        {VOZ_CP_EUCJP, "half-width pa", "8ECA 8EDF", "A5D1"},
        {VOZ_CP_EUCJP, "half-width na does not combine", "8EC5 8EDE", "A5CA A1AB"},
        {VOZ_CP_EUCJP, "JIS X 0212 moved", "8FB0A1", "50A1"},
        {VOZ_CP_EUCJP, "sentence end kept", "A1A3", "A1A3"},
        {VOZ_CP_EUCJP, "lead at the end", "41 C6", "4101 FFFF"},
        {VOZ_CP_EUCJP, "invalid trail", "C641", "FFFF 4101"},
        {VOZ_CP_EUCJP, "control byte", "07", "07FF"},
        {VOZ_CP_EUCTW, "full-width letters and digits", "A4C1 A4DB A4A1", "4101 4102 3006"},
        {VOZ_CP_EUCTW, "wide blank", "A1A1", "2005"},
        {VOZ_CP_EUCTW, "plane 1 kept", "C4A1", "C4A1"},
        {VOZ_CP_EUCTW, "plane 1 written long", "8EA1C4A1", "C4A1"},
        {VOZ_CP_EUCTW, "plane 2", "8EA2A1A1", "41A1"},
        {VOZ_CP_EUCTW, "plane 3 (odd)", "8EA3A1A2", "4142"},
        {VOZ_CP_EUCTW, "plane 4 (even)", "8EA4A1A2", "A142"},
        {VOZ_CP_EUCTW, "plane 17 invalid", "8EB1A1A1", "FFFF B1A1 FFFF"},
        {VOZ_CP_EUCTW, "cut single shift", "8EA2A1", "FFFF A2A1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hex(units(c.code, fromHex(c.in))), std::string(c.units))
            << (c.code == VOZ_CP_EUCJP ? "EUC-JP " : "EUC-TW ") << c.what;
}

TEST(NormEuc, SentenceEndsAndSingleByteCharacters) {
    VOZ_CPINFO jp{0, VOZ_CP_EUCJP, {}, 0, 0}, tw{0, VOZ_CP_EUCTW, {}, 0, 0};
    const uint8_t a1a3[2] = {0xA1, 0xA3}, a1a4[2] = {0xA1, 0xA4};
    EXPECT_EQ(vozCHsentenceEnd(jp, a1a3), 1);
    EXPECT_EQ(vozCHsentenceEnd(jp, a1a4), 0);
    EXPECT_EQ(vozCHsentenceEnd(tw, a1a4), 1);
    const uint8_t lowerA[2] = {'A', 2}, excl[2] = {0xA1, 0xAA}, kanji[2] = {0xC6, 0xFC};
    EXPECT_EQ(vozCHgetSBCSchar(jp, lowerA), 'a');
    EXPECT_EQ(vozCHgetSBCSchar(jp, excl), '!');
    EXPECT_EQ(vozCHgetSBCSchar(jp, kanji), 0);
}

TEST(NormEuc, VoicedMarkComesFromTheContinuationText) {
    Bytes a = fromHex("8ECA"), b = fromHex("8EDF 41");
    VOZ_CONTTEXT cont{b.data(), b.data() + b.size()};
    EXPECT_EQ(hex(units(VOZ_CP_EUCJP, a, &cont)), "A5D1");
    EXPECT_EQ(cont.text, b.data() + 2);
}

TEST(NormEuc, NextCharacterClassesAndSteps) {
    struct Case { uint8_t code; const char* in; char cls; int step; };
    const Case cases[] = {
        {VOZ_CP_EUCJP, "61", 'A', 1}, {VOZ_CP_EUCJP, "A3C1", 'A', 2},
        {VOZ_CP_EUCJP, "A3B0", 'N', 2}, {VOZ_CP_EUCJP, "A1A1", 'B', 2},
        {VOZ_CP_EUCJP, "C6FC", 'O', 2}, {VOZ_CP_EUCJP, "8EB6 8EDE", 'O', 4},
        {VOZ_CP_EUCJP, "8FB0A1", 'O', 3}, {VOZ_CP_EUCJP, "C6", 'O', 1},
        {VOZ_CP_EUCTW, "8EA2A1A1", 'O', 4}, {VOZ_CP_EUCTW, "A4A1", 'N', 2},
    };
    for (const Case& c : cases) {
        Bytes in = fromHex(c.in);
        const uint8_t* next = nullptr;
        uint8_t state = 0;
        EXPECT_EQ(vozCHpointNextChar(c.code, in.data(), &next, in.data() + in.size(),
                                     nullptr, 0, nullptr, &state), c.cls) << c.in;
        EXPECT_EQ(next - in.data(), c.step) << c.in;
    }
}

// Text of bytes through ICU, NFKC and case folded: the form in which the
// original and the unnormalised text must agree.
std::u16string folded(UConverter* cnv, const Bytes& b) {
    UErrorCode ec = U_ZERO_ERROR;
    UChar buf[16], norm[32];
    int32_t n = ucnv_toUChars(cnv, buf, 16, (const char*)b.data(), (int32_t)b.size(), &ec);
    const UNormalizer2* nfkc = unorm2_getNFKCCasefoldInstance(&ec);
    int32_t m = unorm2_normalize(nfkc, buf, n, norm, 32, &ec);
    if (U_FAILURE(ec)) return u"?";
    return std::u16string((const char16_t*)norm, m);
}

// Every character that ICU defines in the page (as a round-trip mapping)
// comes back from its units as a character that ICU reads as the same text
// once compatibility forms and case are folded, and gives the same units
// again. EUC-TW planes 3 and up share two unit ranges, so their characters
// only keep their units.
void roundTrip(uint8_t code, const char* icuName, bool tw) {
    UErrorCode ec = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open(icuName, &ec);
    ASSERT_TRUE(U_SUCCESS(ec));
    std::vector<Bytes> chars;
    for (int b = 0x20; b < 0x7F; ++b) chars.push_back(Bytes{(uint8_t)b});
    for (int l = 0xA1; l <= 0xFE; ++l)
        for (int t = 0xA1; t <= 0xFE; ++t) {
            chars.push_back(Bytes{(uint8_t)l, (uint8_t)t});
            if (!tw) chars.push_back(Bytes{0x8F, (uint8_t)l, (uint8_t)t});
            for (int p = 0xA2; tw && p <= 0xA7; ++p)
                chars.push_back(Bytes{0x8E, (uint8_t)p, (uint8_t)l, (uint8_t)t});
        }
    for (int k = 0xA1; !tw && k <= 0xDF; ++k) chars.push_back(Bytes{0x8E, (uint8_t)k});
    int checked = 0, exact = 0, collapsed = 0;
    for (const Bytes& c : chars) {
        UChar buf[8];
        ec = U_ZERO_ERROR;
        ucnv_reset(cnv);
        int32_t n = ucnv_toUChars(cnv, buf, 8, (const char*)c.data(), (int32_t)c.size(), &ec);
        if (U_FAILURE(ec) || n == 0 || buf[0] == 0xFFFD || buf[0] == 0x1A) continue;
        // Only round-trip mappings: the character must encode back to c.
        char back[8];
        ec = U_ZERO_ERROR;
        int32_t bn = ucnv_fromUChars(cnv, back, 8, buf, n, &ec);
        if (U_FAILURE(ec) || Bytes(back, back + bn) != c) continue;
        ++checked;
        Bytes u = units(code, c);
        ASSERT_EQ(u.size(), 2u) << hex(c);
        Bytes t = text(code, u);
        Bytes u2 = units(code, t);
        ASSERT_EQ(u2.size(), 2u) << hex(c) << " -> " << hex(t);
        EXPECT_EQ(u2[0], u[0]) << hex(c) << " -> " << hex(t);
        bool collapsedPlane = tw && c.size() == 4 && c[1] >= 0xA3;
        if (collapsedPlane) {
            ++collapsed;
            continue;
        }
        if (t == c) { ++exact; continue; }
        // The spacing voiced marks stand for the combining ones.
        std::u16string want = folded(cnv, c), got = folded(cnv, t);
        if (got == u" " + want) continue;
        EXPECT_EQ(got, want) << hex(c) << " -> " << hex(t);
    }
    ucnv_close(cnv);
    EXPECT_GT(checked, 7000);
    EXPECT_GT(exact, (checked - collapsed) * 9 / 10);
}

TEST(NormEuc, RoundTripOfEveryEucJpCharacter) { roundTrip(VOZ_CP_EUCJP, "euc-jp-2007", false); }
TEST(NormEuc, RoundTripOfEveryEucTwCharacter) { roundTrip(VOZ_CP_EUCTW, "euc-tw-2014", true); }

TEST(NormEuc, UnnormalizerNeverWritesPastItsCapacity) {
    for (uint8_t code : {VOZ_CP_EUCJP, VOZ_CP_EUCTW}) {
        Bytes u = fromHex("4101 C6FC 50A1 A142 4142 2005");
        Bytes full = text(code, u);
        for (int32_t cap = 0; cap <= (int32_t)full.size(); ++cap) {
            Bytes out(cap + 8, 0xCC);
            int32_t written = -1;
            uint8_t state = 0;
            VOZ_CPINFO cp{0, code, {}, 0, 0};
            int32_t rc = vozCHunnormalize(cp, u.data(), u.data() + u.size(), 0,
                                          out.data(), cap, &written, &state);
            EXPECT_EQ(rc, cap == (int32_t)full.size() ? VOZ_CH_DONE : VOZ_CH_FULL);
            ASSERT_LE(written, cap);
            EXPECT_TRUE(std::equal(out.begin(), out.begin() + written, full.begin()));
            for (int32_t k = cap; k < cap + 8; ++k) ASSERT_EQ(out[k], 0xCC) << cap;
        }
    }
    // The moved planes come back with their single shifts.
    EXPECT_EQ(hex(text(VOZ_CP_EUCJP, fromHex("50A1"))), "8FB0 A1");
    EXPECT_EQ(hex(text(VOZ_CP_EUCTW, fromHex("41A1 A142 4142"))),
              "8EA2 A1A1 8EAC A1A2 8EAD A1A2");
}

}  // namespace

namespace {

TEST(NormEuc, ConverterStopsWhenTheOutputIsFull) {
    for (uint8_t code : {VOZ_CP_EUCJP, VOZ_CP_EUCTW})
        expectConverterStopsWhenFull(code, "41 C6FC 42");
}

}  // namespace
