// Tests of the EBCDIC normalisers: the mixed pages' shift handling and
// full-width forms, Korean joining, the single-byte pages' national
// letters, and the round trip text -> units -> text for every character
// that ICU defines on each page.
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
#include "characters/voz_norm_ebcdic.hpp"
#include "files/voz_status.hpp"

namespace {

std::string hex(const std::vector<uint8_t>& b) { return hexGroups(b, 0); }

typedef std::vector<uint8_t> Bytes;

Bytes units(uint8_t code, const Bytes& text, uint8_t* state, uint8_t ctlAsBlank = 0,
            VOZ_CONTTEXT* cont = nullptr) {
    VOZ_CPINFO cp{0, code, {}, 0, 0};
    Bytes out(text.size() * 2 + 2);
    int32_t len = (int32_t)out.size();
    EXPECT_EQ(vozCHconvert(cp, text.data(), text.data() + text.size(), cont,
                           ctlAsBlank, out.data(), &len, nullptr, nullptr, state),
              VOZ_CH_DONE);
    out.resize(len);
    return out;
}

Bytes units(uint8_t code, const Bytes& text) {
    uint8_t state = 0;
    return units(code, text, &state);
}

// Units back into text from state 0; an open double-byte stretch is closed.
Bytes text(uint8_t code, const Bytes& u, uint8_t flag = 0, uint8_t* endState = nullptr) {
    VOZ_CPINFO cp{0, code, {}, 0, 0};
    Bytes out(u.size() * 4 + 2);
    int32_t written = -1;
    uint8_t state = 0;
    EXPECT_EQ(vozCHunnormalize(cp, u.data(), u.data() + u.size(), flag, out.data(),
                               (int32_t)out.size(), &written, &state),
              VOZ_CH_DONE);
    out.resize(written);
    if (endState) *endState = state;
    else if (state) out.push_back(0x0F);
    return out;
}

// Units as text, two bytes a group.
std::string uhex(const Bytes& b) {
    std::string s = hex(b), out;
    for (size_t i = 0; i < s.size(); i += 4) out += (i ? " " : "") + s.substr(i, 4);
    return out;
}

TEST(NormEbcdic, UnitsOfTexts) {
    struct Case { uint8_t code; const char* what; const char* in; const char* units; };
    const Case cases[] = {
        {11, "full-width and single-byte A differ", "0E42C10F C1", "C101 4101"},
        {11, "full-width small a and digit", "0E4281 42F00F", "C102 F006"},
        {11, "single-byte small a", "81", "4102"},
        {11, "single-byte punctuation is full-width", "4B", "424B"},
        {11, "single-byte katakana", "59", "4381"},
        {11, "katakana with voiced mark", "63BE", "43D4"},
        {11, "kanji kept, double-byte blank", "0E45414040 0F", "4541 2005"},
        {11, "0x40 in a stretch pairs up", "0E4041 0F", "4041"},
        {11, "cut double-byte character", "0E45", "FFFF"},
        {11, "control byte", "05", "05FF"},
        {10, "Kana-Kanji katakana", "81", "4381"},
        {12, "traditional Chinese blank", "40", "2005"},
        {15, "500: national small and capital letter", "42 62", "4202 4201"},
        {15, "500: Latin letters and digit", "C1 81 F5", "4101 4102 3506"},
        {15, "500: blank and symbol", "40 4B", "2005 4B04"},
        {15, "500: byte FF", "FF", "FFFF"},
        {13, "Korean letter rows", "0E4C41 4D41 43410F", "8841 8441 4C55"},
        {13, "Korean syllables joined across a blank", "0E88610F400E8862 0F",
         "8861 2562"},
        {13, "Korean double-byte blank keeps joining", "0E 8861 4040 B461 0F",
         "8861 DE61"},
        {13, "Korean: other characters end joining", "0E8861 0F4B0E 8862 0F",
         "8861 424B 8862"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(uhex(units(c.code, fromHex(c.in))), std::string(c.units))
            << "code " << (int)c.code << ": " << c.what;
    uint8_t state = 0;
    EXPECT_EQ(uhex(units(13, fromHex("0E88610F400E8862"), &state, 0)), "8861 2562");
    VOZ_CPINFO flat{0, 13, {}, 0, 0};
    Bytes in = fromHex("0E88610F400E88620F"), out(32);
    int32_t len = 32;
    state = 0;
    vozCHconvertFlat(flat, in.data(), in.data() + in.size(), nullptr, 0, out.data(),
                     &len, nullptr, &state);
    EXPECT_EQ(uhex(Bytes(out.begin(), out.begin() + len)), "8861 2005 8862");
}

TEST(NormEbcdic, ShiftStateLastsAcrossCalls) {
    uint8_t state = 0;
    EXPECT_EQ(uhex(units(11, fromHex("C10E4541"), &state)), "4101 4541");
    EXPECT_EQ(state, 1);
    EXPECT_EQ(uhex(units(11, fromHex("45420FC1"), &state)), "4542 4101");
    EXPECT_EQ(state, 0);
}

TEST(NormEbcdic, VoicedMarkComesFromTheContinuationText) {
    Bytes a = fromHex("63"), b = fromHex("BE C1");
    VOZ_CONTTEXT cont{b.data(), b.data() + b.size()};
    uint8_t state = 0;
    EXPECT_EQ(uhex(units(11, a, &state, 0, &cont)), "43D4");
    EXPECT_EQ(cont.text, b.data() + 1);
}

TEST(NormEbcdic, UnnormalizeWritesShiftsAndPageBytes) {
    uint8_t endState = 9;
    // A letter, a kanji and a blank from state 0: the letter as the page's
    // byte, then the stretch, which stays open.
    EXPECT_EQ(hex(text(11, fromHex("4101 4541 2005"), 0, &endState)), "C10E45414040");
    EXPECT_EQ(endState, 1);
    EXPECT_EQ(hex(text(11, fromHex("4541 4102 3506 2005"))), "0E45410FC1F540");
    // Full-width letters and digits come back full-width.
    EXPECT_EQ(hex(text(11, fromHex("C101 C102 F006"))), "0E42C1428142F00F");
    // 500: Latin letters come back upper-case; national letters as their
    // own upper-case byte instead of NUL; the small a circumflex shares its
    // unit with the Latin b and comes back as B.
    EXPECT_EQ(hex(text(15, units(15, fromHex("C1 81 70 80 CB 42")))), "C1C18080EBC2");
    // Korean: a joined syllable comes back after a blank with flag 0.
    EXPECT_EQ(hex(text(13, fromHex("8861 2562"), 0)), "0E8861404088620F");
    EXPECT_EQ(hex(text(13, fromHex("8861 2562"), 1)), "0E886125620F");
}

TEST(NormEbcdic, SingleByteCharactersAndSentenceEnds) {
    VOZ_CPINFO p500{0, 15, {}, 0, 0}, latin{0, 11, {}, 0, 0}, kokr{0, 13, {}, 0, 0};
    const uint8_t a2[2] = {'A', 2}, nat[2] = {0x70, 2}, dot[2] = {0x42, 0x4B},
                  end[2] = {0x43, 0x41};
    EXPECT_EQ(vozCHgetSBCSchar(p500, a2), 0xC1);
    EXPECT_EQ(vozCHgetSBCSchar(p500, nat), 0);     // national letters map to none
    EXPECT_EQ(vozCHgetSBCSchar(latin, dot), 0x4B);
    EXPECT_EQ(vozCHsentenceEnd(latin, end), 1);
    EXPECT_EQ(vozCHsentenceEnd(kokr, end), 0);
    EXPECT_EQ(vozCHsentenceEnd(p500, end), 0);
}

TEST(NormEbcdic, NextCharacterClassesAndSteps) {
    struct Case { uint8_t code; const char* in; uint8_t state; char cls; int step; uint8_t after; };
    const Case cases[] = {
        {15, "C1", 0, 'A', 1, 0}, {15, "42", 0, 'A', 1, 0}, {15, "FF", 0, 'O', 1, 0}, {15, "F1", 0, 'N', 1, 0},
        {15, "40", 0, 'B', 1, 0}, {15, "4B", 0, 'O', 1, 0}, {15, "05", 0, 'O', 1, 0},
        {11, "0E", 0, 'S', 1, 1}, {11, "0F", 1, 'S', 1, 0}, {11, "42C1", 1, 'A', 2, 1},
        {11, "4040", 1, 'B', 2, 1}, {11, "4541", 1, 'O', 2, 1}, {11, "63BE", 0, 'O', 2, 0},
        {12, "F0", 0, 'N', 1, 0}, {14, "C1", 0, 'A', 1, 0},
        {13, "8861 4040 8862", 1, 'O', 4, 1}, {13, "8861 0F 40 0E 8862", 1, 'O', 5, 1},
        {13, "8861 0F 4B", 1, 'O', 2, 1},
    };
    for (const Case& c : cases) {
        Bytes in = fromHex(c.in);
        const uint8_t* next = nullptr;
        uint8_t state = c.state;
        EXPECT_EQ(vozCHpointNextChar(c.code, in.data(), &next, in.data() + in.size(),
                                     nullptr, 0, nullptr, &state), c.cls) << c.in;
        EXPECT_EQ(next - in.data(), c.step) << c.in;
        EXPECT_EQ(state, c.after) << c.in;
    }
}

TEST(NormEbcdic, KoreanAlternativesAndWordStarts) {
    Bytes u = fromHex("8861 2562 4101 B461");
    std::string starts;
    for (size_t k = 0; k < u.size(); k += 2) starts += vozWordStartEbcdicKOKR(u.data(), &u[k]);
    EXPECT_EQ(starts, "MMNM");
    RTRVWORDEXT word;
    memset(&word, 0, sizeof word);
    word.wi.type = 'W';
    word.wi.wordp = u.data();
    word.wi.wordlen = (int16_t)u.size();
    word.wi.precision = 100;
    GTRSTATUS st;
    memset(&st, 0, sizeof st);
    VOZ_CPINFO cp{0, 13, {}, 0, 0};
    ASSERT_EQ(vozCHsetAlterChar(cp, &word, &st), 0);
    ASSERT_NE(word.alter_chars, nullptr);
    EXPECT_EQ(word.alter_chars[0].count, 1);       // only the first unit
    EXPECT_EQ(hex(Bytes(word.alter_chars[0].alter[0].unit, word.alter_chars[0].alter[0].unit + 2)), "2561");
    EXPECT_EQ(word.alter_chars[0].alter[0].weight, 100);
    EXPECT_EQ(word.alter_chars[1].count, 0);
    vozCHsetAlterCharTerm(&word);
}

TEST(NormEbcdic, UnnormalizerNeverWritesPastItsCapacity) {
    for (uint8_t code : {11, 13, 15}) {
        Bytes u = fromHex("4101 4541 2005 4102 2562 C101 3506");
        uint8_t endState = 0;
        Bytes full = text(code, u, 0, &endState);
        for (int32_t cap = 0; cap <= (int32_t)full.size(); ++cap) {
            Bytes out(cap + 8, 0xCC);
            int32_t written = -1;
            uint8_t state = 0;
            VOZ_CPINFO cp{0, code, {}, 0, 0};
            int32_t rc = vozCHunnormalize(cp, u.data(), u.data() + u.size(), 0,
                                          out.data(), cap, &written, &state);
            EXPECT_EQ(rc, cap == (int32_t)full.size() ? VOZ_CH_DONE : VOZ_CH_FULL);
            ASSERT_LE(written, cap);
            EXPECT_TRUE(std::equal(out.begin(), out.begin() + written, full.begin())) << cap;
            for (int32_t k = cap; k < cap + 8; ++k) ASSERT_EQ(out[k], 0xCC) << cap;
        }
    }
}

// NFKC with case folding of the text of some bytes, through ICU.
std::u16string folded(UConverter* cnv, const Bytes& b) {
    UErrorCode ec = U_ZERO_ERROR;
    UChar buf[16], norm[32];
    ucnv_reset(cnv);
    int32_t n = ucnv_toUChars(cnv, buf, 16, (const char*)b.data(), (int32_t)b.size(), &ec);
    const UNormalizer2* nfkc = unorm2_getNFKCCasefoldInstance(&ec);
    int32_t m = unorm2_normalize(nfkc, buf, n, norm, 32, &ec);
    if (U_FAILURE(ec)) return u"?";
    return std::u16string((const char16_t*)norm, m);
}

// Does ICU map the bytes to one character and back (a round-trip mapping)?
bool defined(UConverter* cnv, const Bytes& b) {
    UErrorCode ec = U_ZERO_ERROR;
    UChar buf[8];
    ucnv_reset(cnv);
    ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &ec);
    int32_t n = ucnv_toUChars(cnv, buf, 8, (const char*)b.data(), (int32_t)b.size(), &ec);
    if (U_FAILURE(ec) || n != 1 || buf[0] == 0x1A || u_charType(buf[0]) == U_CONTROL_CHAR)
        return false;
    char back[8];
    ucnv_reset(cnv);
    ucnv_setFromUCallBack(cnv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &ec);
    int32_t bn = ucnv_fromUChars(cnv, back, 8, buf, n, &ec);
    return U_SUCCESS(ec) && Bytes(back, back + bn) == b;
}

// The unit test of the round trip: same character byte, case aside.
bool sameUnit(const Bytes& a, const Bytes& b) {
    if (a.size() != 2 || b.size() != 2 || a[0] != b[0]) return false;
    bool caseA = a[1] == 1 || a[1] == 2, caseB = b[1] == 1 || b[1] == 2;
    return a[1] == b[1] || (caseA && caseB);
}

TEST(NormEbcdic, RoundTripOfEverySingleBytePageCharacter) {
    const struct { uint8_t code; const char* icu; } pages[] = {
        {15, "CP500"}, {25, "cp838"}, {26, "CP870"}, {27, "cp1025"},
        {28, "CP1026"}, {29, "cp875"}, {30, "cp424"}, {31, "cp420"},
        {32, "cp1112"}, {33, "cp1122"},
    };
    for (const auto& p : pages) {
        UErrorCode ec = U_ZERO_ERROR;
        UConverter* cnv = ucnv_open(p.icu, &ec);
        ASSERT_TRUE(U_SUCCESS(ec)) << p.icu;
        int checked = 0, shared = 0;
        for (int b = 0x40; b <= 0xFE; ++b) {
            Bytes c{(uint8_t)b};
            if (!defined(cnv, c)) continue;
            ++checked;
            Bytes u = units(p.code, c);
            Bytes t = text(p.code, u);
            ASSERT_EQ(t.size(), 1u) << p.icu << " " << hex(c);
            ASSERT_NE(t[0], 0) << p.icu << " " << hex(c);
            ASSERT_TRUE(sameUnit(units(p.code, t), u)) << p.icu << " " << hex(c);
            // A national letter whose unit is that of a Latin letter comes
            // back as the Latin letter; all others as themselves, case aside.
            bool latinUnit = u[0] >= 'A' && u[0] <= 'Z' && (u[1] == 1 || u[1] == 2);
            std::u16string orig = folded(cnv, c), back = folded(cnv, t);
            if (latinUnit && orig != back) {
                ++shared;
                EXPECT_EQ(back, std::u16string(1, (char16_t)(u[0] + 0x20))) << p.icu << " " << hex(c);
            } else {
                EXPECT_EQ(back, orig) << p.icu << " " << hex(c);
            }
        }
        EXPECT_GT(checked, 150) << p.icu;
        EXPECT_LT(shared, 40) << p.icu;
        ucnv_close(cnv);
    }
}

TEST(NormEbcdic, RoundTripOfEveryMixedPageCharacter) {
    const struct { uint8_t code; const char* icu; } pages[] = {
        {10, "cp930"}, {11, "cp939"}, {12, "cp937"}, {13, "cp933"}, {14, "cp935"},
    };
    for (const auto& p : pages) {
        UErrorCode ec = U_ZERO_ERROR;
        UConverter* cnv = ucnv_open(p.icu, &ec);
        ASSERT_TRUE(U_SUCCESS(ec)) << p.icu;
        std::vector<Bytes> chars;
        for (int b = 0x41; b <= 0xFE; ++b) chars.push_back(Bytes{(uint8_t)b});
        for (int l = 0x41; l <= 0xFE; ++l)
            for (int t = 0x41; t <= 0xFE; ++t)
                chars.push_back(Bytes{0x0E, (uint8_t)l, (uint8_t)t, 0x0F});
        int checked = 0, exact = 0;
        for (const Bytes& c : chars) {
            if (!defined(cnv, c)) continue;
            ++checked;
            Bytes u = units(p.code, c);
            ASSERT_EQ(u.size(), 2u) << p.icu << " " << hex(c);
            Bytes t = text(p.code, u);
            ASSERT_TRUE(sameUnit(units(p.code, t), u)) << p.icu << " " << hex(c) << " -> " << hex(t);
            if (t == c) { ++exact; continue; }
            bool koreanRow = p.code == 13 && c.size() == 4 &&
                             (c[1] == 0x43 || (c[1] >= 0x4C && c[1] <= 0x4E));
            std::u16string want = folded(cnv, c), got = folded(cnv, t);
            // Single-byte punctuation comes back as the page's full-width
            // punctuation, which ICU may read as a neighbouring character
            // (minus for hyphen, wave dash for tilde).
            bool punct = c.size() == 1 && !u_isalnum(want[0]) && !u_isalnum(got.back());
            if (!koreanRow && !punct) {
                EXPECT_EQ(got, want) << p.icu << " " << hex(c) << " -> " << hex(t);
            }
        }
        EXPECT_GT(checked, 5000) << p.icu;
        EXPECT_GT(exact, checked * 9 / 10) << p.icu;
        ucnv_close(cnv);
    }
}

}  // namespace

namespace {

TEST(NormEbcdic, ConverterStopsWhenTheOutputIsFull) {
    for (uint8_t code : {11, 13, 15}) expectConverterStopsWhenFull(code, "C1 C2 C3");
}

TEST(NormEbcdic, KoreanJoiningMovesPositionMapEntries) {
    Bytes in = fromHex("0E 8861 0F 40 0E 8862 0F");
    const uint8_t* src[3] = {in.data() + 1, in.data() + 4, in.data() + 6};
    uint8_t* dst[3] = {};
    PTRDOCNORM map;
    memset(&map, 0, sizeof map);
    map.list[1].count = 3;
    map.list[1].srcAddr = src;
    map.list[1].outAddr = dst;
    uint8_t out[16];
    int32_t len = sizeof out;
    uint8_t state = 0;
    ASSERT_EQ(vozConvertEbcdicKOKR(in.data(), in.data() + in.size(), nullptr, 0, out,
                                   &len, &map, nullptr, &state), VOZ_CH_DONE);
    ASSERT_EQ(len, 4);
    EXPECT_EQ(dst[0], out);
    EXPECT_EQ(dst[1], out + 2);    // the dropped blank
    EXPECT_EQ(dst[2], out + 2);    // the joined syllable
}

}  // namespace
