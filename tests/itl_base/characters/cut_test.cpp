// Cutting units into parts under the word rules, case-insensitive marking,
// blank stripping, first blank, one character's unit, the special mark
// units and the letter tests at the edges of a line.
#include <gtest/gtest.h>

#include "engine_test_util.hpp"

#include <cstring>
#include <string>
#include <vector>

#include "characters/voz_cpinfo.hpp"
#include "characters/voz_cut.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes units1252(const std::string& text) {
    Bytes out(text.size() * 2);
    int32_t len = static_cast<int32_t>(out.size());
    uint8_t state = 0;
    vozCHconvert(cpOf(8), reinterpret_cast<const uint8_t*>(text.data()),
                 reinterpret_cast<const uint8_t*>(text.data()) + text.size(),
                 nullptr, 0, out.data(), &len, nullptr, nullptr, &state);
    out.resize(static_cast<size_t>(len));
    return out;
}

// Text of two-byte units: byte 0 of each.
std::string textOf(const uint8_t* b, const uint8_t* e) {
    std::string s;
    for (; b < e; b += 2) s += static_cast<char>(b[0]);
    return s;
}

// The whole cut of units as "P:part" and "S:stretch" items.
std::string cutAll(VOZ_CUT_FN cut, Bytes units) {
    std::string r;
    uint8_t* p = units.data();
    uint8_t* const end = p + units.size();
    while (p < end) {
        uint8_t *ps = nullptr, *pe = nullptr, *next = nullptr;
        const int32_t found = cut(p, end, 2, &ps, &pe, &next);
        if (!r.empty()) r += ' ';
        r += (found ? "P:" : "S:") + textOf(ps, pe);
        if (next <= p) return r + " STUCK";
        p = next;
    }
    return r;
}

}  // namespace

TEST(Cut, WordRulesGiveExpectedParts) {
    const struct {
        const char* text;
        const char* alpha;
        const char* alphaNum;
    } cases[] = {
        {"hello world", "P:HELLO P:WORLD", "P:HELLO P:WORLD"},
        {"  ,. hello", "S:,. P:HELLO", "S:,. P:HELLO"},
        {"abc123def", "P:ABC S:123 P:DEF", "P:ABC123DEF"},
        {"R2-D2 ok", "P:R S:2- P:D S:2 P:OK", "P:R2 S:- P:D2 P:OK"},
        {"x , y", "P:X S:, P:Y", "P:X S:, P:Y"},
        {"2024", "S:2024", "P:2024"},
        {"   ", "S:", "S:"},
        {"caf\xE9 na\xEFve", "P:CAF\xC9 P:NA\xCFVE", "P:CAF\xC9 P:NA\xCFVE"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.alpha, cutAll(Func_CutIntoPart[0], units1252(c.text)))
            << c.text;
        EXPECT_EQ(c.alphaNum, cutAll(Func_CutIntoPart[1], units1252(c.text)))
            << c.text;
    }
}

TEST(Cut, PartsStopAt128Units) {
    const std::string letters(200, 'q');
    Bytes u = units1252(letters + " z");
    uint8_t *ps, *pe, *next;
    ASSERT_EQ(1, vozCHcutIntoPartAlpha(u.data(), u.data() + u.size(), 2, &ps,
                                       &pe, &next));
    EXPECT_EQ(u.data(), ps);
    EXPECT_EQ(u.data() + 256, pe);
    EXPECT_EQ(u.data() + 256, next);  // unit 129 follows, no blank between
    EXPECT_EQ("P:" + std::string(128, 'Q') + " P:" + std::string(72, 'Q') +
                  " P:Z",
              cutAll(vozCHcutIntoPartAlpha, u));
    // Digits count as letters under the alphanumeric rule: 300 digits give
    // 128 + 128 + 44.
    const std::string digits(300, '7');
    EXPECT_EQ("P:" + std::string(128, '7') + " P:" + std::string(128, '7') +
                  " P:" + std::string(44, '7'),
              cutAll(vozCHcutIntoPartAlphaNum, units1252(digits)));
    EXPECT_EQ("S:" + digits, cutAll(vozCHcutIntoPartAlpha, units1252(digits)));
}

TEST(Cut, DegenerateStretches) {
    Bytes u = units1252("ab");
    uint8_t *ps = nullptr, *pe = nullptr, *next = nullptr;
    EXPECT_EQ(0, vozCHcutIntoPartAlpha(u.data(), u.data(), 2, &ps, &pe, &next));
    EXPECT_EQ(u.data(), pe);
    EXPECT_EQ(nullptr, next);  // left alone
    EXPECT_EQ(0, vozCHcutIntoPartAlpha(u.data(), u.data() + 4, 1, &ps, &pe,
                                       &next));
    EXPECT_EQ(u.data(), ps);
    EXPECT_EQ(u.data() + 4, pe);
    EXPECT_EQ(u.data() + 4, next);
    // A trailing partial unit is never read as a unit.
    EXPECT_EQ(1, vozCHcutIntoPartAlpha(u.data(), u.data() + 3, 2, &ps, &pe,
                                       &next));
    EXPECT_EQ(u.data() + 2, pe);
    // Nothing but a partial unit: its missing mark byte is never read (the
    // unit test looked one byte past the end) and the walk ends.
    Bytes half(1, 'a');
    ps = pe = next = nullptr;
    EXPECT_EQ(0, vozCHcutIntoPartAlpha(half.data(), half.data() + 1, 2, &ps,
                                       &pe, &next));
    EXPECT_EQ(half.data(), ps);
    EXPECT_EQ(half.data(), pe);
    EXPECT_EQ(half.data() + 1, next);
}

TEST(Cut, AsIsCutKeepsBlanksAndStopsAtItemMarks) {
    Bytes u = units1252("ab cd");
    u.insert(u.begin(), {'#', 0, VOZ_MARK_ITEM_START});
    u.erase(u.begin() + 1);  // the start mark unit is ('#', 10)
    std::string r = cutAll(vozCHcutIntoPartAsis, u);
    EXPECT_EQ("S:# P:AB S:  P:CD", r);
}

// UTF-8 units: Turkish I letters of a part.
TEST(Cut, TurkishIUnitsOfUtf8Parts) {
    // "IşIk" style: a dotless i (mark 7) and an ASCII I beside another
    // Latin Extended-A letter (C5 9F, s cedilla).
    Bytes mixed = {'!', 'I', 1, 0xC5, 0x9F, 2, 0xC4, 0xB1, 7, '!', 'K', 2};
    uint8_t *ps, *pe, *next;
    ASSERT_EQ(1, vozCHcutIntoPartAlpha(mixed.data(), mixed.data() + 12, 3, &ps,
                                       &pe, &next));
    EXPECT_EQ(Bytes({0xC4, 0xB1, 1, 0xC5, 0x9F, 2, 0xC4, 0xB1, 3, '!', 'K', 2}),
              mixed);
    // Only Turkish I units: they become the ASCII I, case ignored.
    Bytes only = {0xC4, 0xB0, 7, '!', 'S', 1, 0xC4, 0xB1, 7, '!', 'I', 2};
    ASSERT_EQ(1, vozCHcutIntoPartAlpha(only.data(), only.data() + 12, 3, &ps,
                                       &pe, &next));
    EXPECT_EQ(Bytes({'!', 'I', 3, '!', 'S', 1, '!', 'I', 3, 0xC4, 0xB0, 2}),
              only);
    // No Latin Extended-A unit: nothing changes.
    Bytes plain = {'!', 'I', 1, '!', 'S', 2};
    const Bytes before = plain;
    vozCHcutIntoPartAlpha(plain.data(), plain.data() + 6, 3, &ps, &pe, &next);
    EXPECT_EQ(before, plain);
}

TEST(Case, LettersReceiveTheCaseInsensitiveMark) {
    Bytes u = units1252("Ab1.c");
    EXPECT_EQ(0, vozCHcaseInsensAlpha(u.data(), static_cast<int32_t>(u.size()), 2));
    EXPECT_EQ(Bytes({'A', 3, 'B', 3, '1', 6, '.', 4, 'C', 3}), u);
    Bytes none = units1252("12 .");
    EXPECT_EQ(4, vozCHcaseInsensAlpha(none.data(),
                                      static_cast<int32_t>(none.size()), 2));
    // Turkish mode: ASCII I letters take the Turkish forms, mark 7.
    Bytes tr = {'!', 'I', 1, 0xC5, 0x9F, 2, '!', 'I', 2, '!', 'A', 1};
    EXPECT_EQ(0, vozCHcaseInsensAlpha(tr.data(), 12, 3));
    EXPECT_EQ(Bytes({0xC4, 0xB1, 7, 0xC5, 0x9F, 3, 0xC4, 0xB0, 7, '!', 'A', 3}),
              tr);
    // The variable UTF-8 form: marks of 0x40 and above get 0xC0 | low bits.
    Bytes var = {'x', 0x41, 'y', 0x05, 'z', 0x7F};
    EXPECT_EQ(0, vozSeemAsSameUnitVarUTF8(var.data(), 6, 2));
    EXPECT_EQ(Bytes({'x', 0xC1, 'y', 0x05, 'z', 0xFF}), var);
}

TEST(Marks, SpecialUnits) {
    uint8_t u[3] = {0, 0, 0};
    EXPECT_EQ(3, vozCHdoubleHead_Set(u, 200, 2));
    EXPECT_EQ(0x80, u[0]);
    EXPECT_EQ(31, u[1]);
    EXPECT_EQ(0xC8, u[2]);
    EXPECT_EQ(2, vozCHdoubleHead_Set(u, 65, 2));
    EXPECT_EQ(0x41, u[0]);
    EXPECT_EQ(31, u[1]);
    EXPECT_EQ(3, vozCHdoubleHead_Set(u, 0x1234, 2));
    EXPECT_EQ(0x92, u[0]);
    EXPECT_EQ(0x34, u[2]);
    EXPECT_EQ(-1, vozCHdoubleHead_Set(u, 65, 3));

    uint8_t w3[3] = {1, 2, 3};
    vozCHsetCharItem_StartMark(3, w3, 'Q');
    EXPECT_EQ(0, memcmp(w3, "Q\0\x0A", 3));
    uint8_t w2[2];
    vozCHsetCharItem_EndMark(2, w2, 'Q');
    EXPECT_EQ(0, memcmp(w2, "Q\x0B", 2));

    uint8_t m[3] = {0, 0, 0};
    vozCHmarkUnit_Set('B', m, 17, 3);
    vozCHmarkUnit_Set('X', m, 18, 3);
    EXPECT_EQ(17, m[0]);
    EXPECT_EQ(18, m[2]);
    EXPECT_EQ(1, vozCHmarkUnit_Chk('S', m, 17, 3));
    EXPECT_EQ(1, vozCHmarkUnit_Chk('W', m, 18, 3));
    EXPECT_EQ(0, vozCHmarkUnit_Chk('E', m, 18, 3));
}

// ---- blanks ---------------------------------------------------------------------

namespace {

// "first..last" offsets of the stripped text, "-" when nothing is left.
std::string strip(uint8_t code, const Bytes& t, uint8_t option,
                  uint8_t* state = nullptr) {
    const uint8_t *first = nullptr, *last = nullptr;
    uint8_t local = 0;
    vozCHstripBlank(t.data(), t.data() + t.size(), code, option, &first, &last,
                    state != nullptr ? state : &local);
    if (first == nullptr) return last == nullptr ? "-" : "first only null";
    return std::to_string(first - t.data()) + ".." +
           std::to_string(last - t.data());
}

}  // namespace

TEST(Blanks, AsciiBasedPages) {
    const Bytes text = {' ', ' ', 'a', 'b', 'c', ' ', ' '};
    EXPECT_EQ("0..7", strip(8, text, 0));
    EXPECT_EQ("2..5", strip(8, text, 0xA0));
    EXPECT_EQ("2..7", strip(8, text, 0x80));
    EXPECT_EQ("0..5", strip(8, text, 0x20));
    EXPECT_EQ("1..3", strip(8, {0x09, 'a', 'b'}, 0));
    EXPECT_EQ("-", strip(8, {' ', 0x0A, ' '}, 0xA0));
    EXPECT_EQ("-", strip(8, {}, 0xA0));
    // Wide blanks of Shift-JIS and UTF-8 on both sides.
    EXPECT_EQ("2..4", strip(1, {0x81, 0x40, 'x', 'y', 0x81, 0x40, ' '}, 0xA0));
    EXPECT_EQ("4..5", strip(34, {0xE3, 0x80, 0x80, ' ', 'x', 0xE3, 0x80, 0x80},
                            0xA0));
    EXPECT_EQ("0..5", strip(8, {0x81, 0x40, 'x', 0x81, 0x40}, 0xA0));
}

TEST(Blanks, EbcdicPagesFollowTheShiftState) {
    // 0x40 is blank outside a double-byte stretch; 40 40 inside is the
    // wide blank; 0x40 alone inside is part of a character.
    EXPECT_EQ("1..2", strip(15, {0x40, 0xC1, 0x40, 0x40}, 0xA0));
    uint8_t state = 0;
    EXPECT_EQ("3..5", strip(10, {0x0E, 0x40, 0x40, 0x45, 0x41, 0x0F, 0x40}, 0xA0,
                            &state));
    EXPECT_EQ(1, state);  // the leading walk met the shift-out
    state = 1;
    EXPECT_EQ("2..4", strip(10, {0x0F, 0x40, 0x41, 0x0E}, 0x80, &state));
    EXPECT_EQ(0, state);
    state = 1;  // inside a stretch a lone 0x40 starts a character
    EXPECT_EQ("0..3", strip(10, {0x40, 0x41, 0x0F}, 0x80, &state));
    // Trailing: the walk back enters the stretch at 0x0F.
    EXPECT_EQ("0..4", strip(11, {0xC1, 0x0E, 0x42, 0x40, 0x0F}, 0x20));
    EXPECT_EQ("0..1", strip(11, {0xC1, 0x0E, 0x40, 0x40, 0x0F, 0x40}, 0x20));
    EXPECT_EQ("-", strip(13, {0x40, 0x05, 0xFF}, 0xA0));
    // Without bit 0x80 only bytes below 0x40 and 0xFF are blank; a shift-out
    // after the first byte sets the state.
    state = 0;
    EXPECT_EQ("2..3", strip(10, {0x05, 0x0E, 0x40}, 0, &state));
    EXPECT_EQ(1, state);
}

TEST(Blanks, FirstBlankUnit) {
    const Bytes u = units1252("ab cd");
    int32_t off = 0;
    vozCHpointFirstBlank(cpOf(8), u.data(), &off, static_cast<int32_t>(u.size()));
    EXPECT_EQ(4, off);
    off = 6;
    vozCHpointFirstBlank(cpOf(8), u.data(), &off, static_cast<int32_t>(u.size()));
    EXPECT_EQ(10, off);
    const uint8_t kokr[] = {0xB0, 0xA1, 0x53, 0xAA, 0x20, 5};
    off = 0;
    vozCHpointFirstBlank(cpOf(3), kokr, &off, 6);
    EXPECT_EQ(2, off);  // a joined syllable stands for a blank
    const uint8_t utf8[] = {'!', 'A', 1, 0xFA, 0x80, 0x80, 0x20, 0x20, 5};
    off = 0;
    vozCHpointFirstBlank(cpOf(34), utf8, &off, 9);
    EXPECT_EQ(3, off);
    off = 6;
    vozCHpointFirstBlank(cpOf(37), utf8, &off, 9);
    EXPECT_EQ(6, off);
    const uint8_t ekokr[] = {0x88, 0x41, 0x30, 0x41, 0x20, 5};
    off = 0;
    vozCHpointFirstBlank(cpOf(13), ekokr, &off, 6);
    EXPECT_EQ(2, off);
}

// Korean: ASCII letters P..Z fold to the first bytes 0x50..0x5A of joined
// syllables; only a syllable (trail 0x41..0xFE) stands for a blank.
TEST(Blanks, FirstBlankUnitOfKoreanSkipsLettersPtoZ) {
    const uint8_t text[] = {'A', 'P', 'z', ' ', 'B'};
    uint8_t out[10];
    int32_t len = sizeof out;
    uint8_t state = 0;
    ASSERT_EQ(VOZ_CH_DONE, vozCHconvert(cpOf(3), text, text + 5, nullptr, 0,
                                        out, &len, nullptr, nullptr, &state));
    int32_t off = 0;
    vozCHpointFirstBlank(cpOf(3), out, &off, len);
    EXPECT_EQ(6, off);
}

// EBCDIC's blank is 0x40; 0x20 there is a control byte whose unit is never
// the blank unit, so looking for the unit of ' ' found no blank at all.
TEST(Blanks, FirstBlankUnitOfEbcdicPages) {
    const uint8_t text[] = {0xC1, 0xC2, 0x40, 0xC3};  // "AB C"
    for (uint8_t code : {15, 26, 11}) {
        uint8_t out[8];
        int32_t len = sizeof out;
        uint8_t state = 0;
        ASSERT_EQ(VOZ_CH_DONE, vozCHconvert(cpOf(code), text, text + 4, nullptr,
                                            0, out, &len, nullptr, nullptr,
                                            &state));
        int32_t off = 0;
        vozCHpointFirstBlank(cpOf(code), out, &off, len);
        EXPECT_EQ(4, off) << "code " << int(code);
    }
}

// ---- one character --------------------------------------------------------------

TEST(Units, CompareAndCopyOneCharacter) {
    const uint8_t lowerA[2] = {'A', 2}, upperA[2] = {'A', 1};
    EXPECT_EQ(0, vozCHcmp(cpOf(8), lowerA, 'a', nullptr));
    EXPECT_EQ(1, vozCHcmp(cpOf(8), upperA, 'a', nullptr));
    const uint8_t bang[2] = {0x81, 0x49};
    EXPECT_EQ(0, vozCHcmp(cpOf(1), bang, '!', nullptr));
    GTRCREATEPARM special{};
    special.specialLength = 1;
    special.specialLetters[0] = '!';
    EXPECT_EQ(1, vozCHcmp(cpOf(1), bang, '!', &special));
    EXPECT_EQ(1, vozCHcmp(cpOf(0), upperA, 'A', nullptr));
    EXPECT_EQ(1, vozCHcmp(cpOf(42), upperA, 'A', nullptr));
    uint8_t dest[3] = {9, 9, 9};
    vozCHcpy(cpOf(8), dest, ' ', nullptr);
    EXPECT_EQ(0, memcmp(dest, "\x20\x05\x09", 3));
    vozCHcpy(cpOf(0), dest, 'x', nullptr);  // nothing written
    EXPECT_EQ(0, memcmp(dest, "\x20\x05\x09", 3));
    EXPECT_TRUE(vozCHalphaNum(cpOf(8), upperA));
}

TEST(Units, Utf8SymbolsCompareWithoutTheirMark) {
    if (ConvertInto2[34] == nullptr) GTEST_SKIP() << "no UTF-8 converter yet";
    const uint8_t dot[3] = {'!', '.', 0x44};
    EXPECT_EQ(0, vozCHcmp(cpOf(34), dot, '.', nullptr));
    const uint8_t a[3] = {'!', 'A', 3};
    EXPECT_EQ(1, vozCHcmp(cpOf(34), a, 'a', nullptr));
}

// ---- letters at the edges of a line ---------------------------------------------

TEST(Edges, FirstLetterOfALine) {
    GTRCREATEPARM digits{};
    digits.digitsAsLetters = 1;
    const struct {
        uint8_t code;
        Bytes text;
        bool digitsAsLetters;
        int32_t expect;
    } cases[] = {
        {8, {'a', 'b'}, false, 1},
        {8, {0xE9}, false, 1},
        {8, {'1', 'a'}, false, 0},
        {8, {'1', 'a'}, true, 1},
        {8, {'.', 'a'}, true, 0},
        {1, {0x82, 0x60}, false, 1},   // full-width A
        {1, {0x82, 0x50}, true, 1},    // full-width 1, digits allowed
        {1, {0x88, 0x9F}, false, 0},   // kanji
        {2, {0xA2, 0xCF}, false, 0},   // only single-byte characters count
        {3, {'z'}, false, 1},
    };
    for (const auto& c : cases) {
        const uint8_t* next = nullptr;
        uint8_t state = 0;
        EXPECT_EQ(c.expect,
                  vozCHIsFirstSBCSLetter(c.code, c.text.data(), &next,
                                         c.text.data() + c.text.size(),
                                         nullptr, 0,
                                         c.digitsAsLetters ? &digits : nullptr,
                                         &state))
            << int(c.code) << " " << int(c.text[0]);
    }
    // A Shift-JIS full-width punctuation character whose ASCII form is a
    // special letter counts as a letter.
    GTRCREATEPARM special{};
    special.specialLength = 1;
    special.specialLetters[0] = '#';
    const uint8_t sharp[] = {0x81, 0xF3, 'x'};
    const uint8_t* next = nullptr;
    uint8_t state = 0;
    EXPECT_EQ(1, vozCHIsFirstSBCSLetter(1, sharp, &next, sharp + 3, nullptr, 0,
                                        &special, &state));
    EXPECT_EQ(sharp + 2, next);
    EXPECT_EQ(0, vozCHIsFirstSBCSLetter(1, sharp, &next, sharp + 3, nullptr, 0,
                                        nullptr, &state));
}

TEST(Edges, LastLetterOfALine) {
    GTRCREATEPARM digits{};
    digits.digitsAsLetters = 1;
    uint8_t state = 0;
    const uint8_t lowerA[2] = {'A', 2}, digit[2] = {'5', 6}, eacute[2] = {0xC9, 2};
    EXPECT_EQ(1, vozCHIsLastSBCSLetter(cpOf(8), 'a', lowerA, 2, 0, nullptr, &state));
    EXPECT_EQ(0, vozCHIsLastSBCSLetter(cpOf(8), 'b', lowerA, 2, 0, nullptr, &state));
    EXPECT_EQ(0, vozCHIsLastSBCSLetter(cpOf(8), '5', digit, 2, 0, nullptr, &state));
    EXPECT_EQ(1, vozCHIsLastSBCSLetter(cpOf(8), '5', digit, 2, 0, &digits, &state));
    EXPECT_EQ(1, vozCHIsLastSBCSLetter(cpOf(7), 0xE9, eacute, 2, 0, nullptr, &state));
    // A full-width letter unit of Shift-JIS is no single-byte letter.
    const uint8_t fwBang[2] = {0x81, 0x49};
    EXPECT_EQ(0, vozCHIsLastSBCSLetter(cpOf(1), '!', fwBang, 2, 0, nullptr, &state));
}

TEST(Edges, Utf8LastLetter) {
    if (Unnormalize[34] == nullptr || PointNextChar[34] == nullptr)
        GTEST_SKIP() << "no UTF-8 routines yet";
    uint8_t state = 0;
    const uint8_t a[3] = {'!', 'A', 2}, fw[3] = {0xEF, 0xBC, 0xA1},
                  dot[3] = {'!', '.', 4};
    EXPECT_EQ(1, vozCHIsLastSBCSLetter(cpOf(34), 0, a, 3, 0, nullptr, &state));
    EXPECT_EQ(0, vozCHIsLastSBCSLetter(cpOf(34), 0, fw, 3, 0, nullptr, &state));
    EXPECT_EQ(0, vozCHIsLastSBCSLetter(cpOf(34), 0, dot, 3, 0, nullptr, &state));
}
