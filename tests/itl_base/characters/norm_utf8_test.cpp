// Tests of the UTF-8 normaliser (codes 34 and 37): units of single
// characters, classes and folding of a multilingual text checked against
// ICU, joining, sentence ends and word starts, the round trip
// text -> units -> text for every character of the BMP, and the output
// limits of both directions.
#include <gtest/gtest.h>

#include "engine_test_util.hpp"
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "characters/voz_cpinfo.hpp"
#include "characters/voz_cut.hpp"
#include "characters/voz_norm_utf8.hpp"
#include "files/voz_status.hpp"

namespace {

std::string hex(const std::vector<uint8_t>& b) { return hexGroups(b, 3); }

typedef std::vector<uint8_t> Bytes;

Bytes units(const std::string& text, uint8_t code = VOZ_CP_UTF8,
            bool flat = false, uint8_t ctlAsBlank = 0,
            const GTRCREATEPARM* cparm = nullptr) {
    VOZ_CPINFO cp{0, code, {}, 0, 0};
    vozCHsetCPInfo(&cp);
    Bytes out(text.size() * 3 + 3);
    int32_t len = (int32_t)out.size();
    uint8_t state = 0;
    const uint8_t* s = (const uint8_t*)text.data();
    int32_t rc = flat ? vozCHconvertFlat(cp, s, s + text.size(), nullptr,
                                         ctlAsBlank, out.data(), &len, nullptr,
                                         &state)
                      : vozCHconvert(cp, s, s + text.size(), nullptr,
                                     ctlAsBlank, out.data(), &len, nullptr,
                                     cparm, &state);
    EXPECT_EQ(rc, VOZ_CH_DONE);
    out.resize(len);
    return out;
}

std::string text(const Bytes& u, uint8_t flag = 0) {
    std::string out(u.size() * 2, '\0');
    int32_t written = -1;
    uint8_t state = 0;
    EXPECT_EQ(vozUnnormalizeUTF8(u.data(), u.data() + u.size(), flag,
                                 (uint8_t*)&out[0], (int32_t)out.size(),
                                 &written, &state),
              VOZ_CH_DONE);
    out.resize(written);
    return out;
}

std::string utf8(UChar32 c) {
    char b[4];
    int32_t n = 0;
    U8_APPEND_UNSAFE(b, n, c);
    return std::string(b, n);
}

TEST(NormUtf8, UnitsOfSingleCharacters) {
    struct Case { const char* what; std::string in; uint8_t code; const char* units; };
    const Case cases[] = {
        {"ASCII upper", "A", VOZ_CP_UTF8, "214101"},
        {"full-width A", "\xEF\xBC\xA1", VOZ_CP_UTF8, "214101"},
        {"ASCII lower", "a", VOZ_CP_UTF8, "214102"},
        {"full-width digit", "\xEF\xBC\x95", VOZ_CP_UTF8, "213506"},
        {"ASCII symbol", "#", VOZ_CP_UTF8, "212304"},
        {"space", " ", VOZ_CP_UTF8, "202005"},
        {"Turkish I", "I", VOZ_CP_UTF8TURKEY, "C4B101"},
        {"Turkish i", "i", VOZ_CP_UTF8TURKEY, "C4B002"},
        {"I without Turkish rules", "I", VOZ_CP_UTF8, "214901"},
        {"i without Turkish rules", "i", VOZ_CP_UTF8, "214902"},
        {"dotless i keeps its code", "\xC4\xB1", VOZ_CP_UTF8, "C4B102"},
        {"dotted I", "\xC4\xB0", VOZ_CP_UTF8, "C4B001"},
        {"e acute folds to E acute", "\xC3\xA9", VOZ_CP_UTF8, "C38902"},
        {"y diaeresis folds across leads", "\xC3\xBF", VOZ_CP_UTF8, "C5B802"},
        {"row C2 is symbols", "\xC2\xB5", VOZ_CP_UTF8, "C2B504"},
        {"multiplication sign", "\xC3\x97", VOZ_CP_UTF8, "C39704"},
        {"Greek final sigma", "\xCF\x82", VOZ_CP_UTF8, "CEA302"},
        {"Cyrillic small zhe", "\xD0\xB6", VOZ_CP_UTF8, "D09602"},
        {"Hebrew alef", "\xD7\x90", VOZ_CP_UTF8, "D79001"},
        {"Thai ko kai moved", "\xE0\xB8\x81", VOZ_CP_UTF8, "788103"},
        {"Devanagari danda", "\xE0\xA5\xA4", VOZ_CP_UTF8, "212E04"},
        {"Latin Ext Additional", "\xE1\xB8\x81", VOZ_CP_UTF8, "B88002"},
        {"Greek Extended", "\xE1\xBC\x80", VOZ_CP_UTF8, "BC8802"},
        {"other E1 row", "\xE1\x9E\x80", VOZ_CP_UTF8, "9E8003"},
        {"CJK kept", "\xE4\xB8\xAD", VOZ_CP_UTF8, "E4B8AD"},
        {"Hangul kept", "\xEA\xB0\x80", VOZ_CP_UTF8, "EAB080"},
        {"ideographic space", "\xE3\x80\x80", VOZ_CP_UTF8, "202005"},
        {"presentation form moved", "\xEF\xAC\x81", VOZ_CP_UTF8, "2C8103"},
        {"Arabic form by subtraction", "\xEF\xBA\x81", VOZ_CP_UTF8, "3A8103"},
        {"byte order mark", "\xEF\xBB\xBF", VOZ_CP_UTF8, "3BBF05"},
        {"half-width ka", "\xEF\xBD\xB6", VOZ_CP_UTF8, "E382AB"},
        {"half-width ka voiced", "\xEF\xBD\xB6\xEF\xBE\x9E", VOZ_CP_UTF8, "E382AC"},
        {"half-width u voiced", "\xEF\xBD\xB3\xEF\xBE\x9E", VOZ_CP_UTF8, "E383B4"},
        {"half-width ta voiced wraps", "\xEF\xBE\x80\xEF\xBE\x9E", VOZ_CP_UTF8, "E38380"},
        {"half-width ha semi-voiced", "\xEF\xBE\x8A\xEF\xBE\x9F", VOZ_CP_UTF8, "E38391"},
        {"half-width na not voiced", "\xEF\xBE\x85\xEF\xBE\x9E", VOZ_CP_UTF8, "E3838A E3829B"},
        {"half-width full stop", "\xEF\xBD\xA1", VOZ_CP_UTF8, "E38082"},
        {"kept supplementary ideograph", "\xF0\xA0\x80\x80", VOZ_CP_UTF8, "A08080"},
        {"other four-byte character", "\xF0\x9F\x98\x80", VOZ_CP_UTF8, "FFFFFF"},
        {"lone continuation byte", "\x80", VOZ_CP_UTF8, "FFFFFF"},
        {"lead without continuation", "\xC3" "A", VOZ_CP_UTF8, "FFFFFF 214101"},
        {"overlong three-byte form", "\xE0\x80\x80", VOZ_CP_UTF8, "FFFFFF FFFFFF FFFFFF"},
        {"cut four-byte sequence", "\xF0\xA0\x80", VOZ_CP_UTF8, "FFFFFF FFFFFF FFFFFF"},
        {"control byte", "\x07", VOZ_CP_UTF8, "0721FF"},
    };
    for (const Case& c : cases) {
        std::string want = c.units;
        want.erase(std::remove(want.begin(), want.end(), ' '), want.end());
        std::string got = hex(units(c.in, c.code));
        got.erase(std::remove(got.begin(), got.end(), ' '), got.end());
        EXPECT_EQ(got, want) << c.what;
    }
    EXPECT_EQ(hex(units("\x07", VOZ_CP_UTF8, false, 1)), "202005");
}

TEST(NormUtf8, SpecialLettersAreUpperCaseLetters) {
    GTRCREATEPARM parm;
    memset(&parm, 0, sizeof parm);
    parm.specialLength = 1;
    parm.specialLetters[0] = '#';
    EXPECT_EQ(hex(units("#\xEF\xBC\x83", VOZ_CP_UTF8, false, 0, &parm)),
              "212301 212301");
    // The flat dispatcher never passes special letters.
    EXPECT_EQ(hex(units("#", VOZ_CP_UTF8, true)), "212304");
}

// The mark the normaliser should give a character of the tabled rows, by
// its ICU class.
int expectedMark(UChar32 c) {
    switch (u_charType(c)) {
    case U_UPPERCASE_LETTER: case U_TITLECASE_LETTER: case U_OTHER_LETTER:
    case U_MODIFIER_LETTER: case U_NON_SPACING_MARK:
    case U_COMBINING_SPACING_MARK:
        return 1;
    case U_LOWERCASE_LETTER: return 2;
    case U_DECIMAL_DIGIT_NUMBER: return 6;
    case U_SPACE_SEPARATOR: return 5;
    default: return 4;
    }
}

TEST(NormUtf8, MultilingualTextHasTheClassesAndFoldingOfIcu) {
    const std::string sample =
        "Crème brûlée à Zürich, São Paulo; ŁÓDŹ łódź. "
        "Ελληνικά ΣΟΦΊΑ σοφία; Русский ЯЗЫК язык! "
        "中文漢字 한국어 문장 ภาษาไทย ＡＢＣ１２３ａｂｃ ｶﾀｶﾅ";
    Bytes u = units(sample, VOZ_CP_UTF8, true);
    const char* p = sample.data();
    int32_t i = 0, n = (int32_t)sample.size();
    size_t k = 0;
    while (i < n) {
        int32_t start = i;
        UChar32 c;
        U8_NEXT(p, i, n, c);
        ASSERT_LT(k + 2, u.size());
        const uint8_t* unit = &u[k];
        std::string what = sample.substr(start, i - start);
        if (c >= 0xFF61 && c <= 0xFF9F) {          // half-width kana
            UChar32 f;
            int32_t j = 0;
            U8_NEXT(unit, j, 3, f);
            EXPECT_EQ(u_charType(f), U_OTHER_LETTER) << what;
        } else if (c >= 0xFF01 && c <= 0xFF5E) {   // full-width ASCII
            EXPECT_EQ(hex(Bytes(unit, unit + 3)),
                      hex(units(std::string(1, (char)(c - 0xFEE0))))) << what;
        } else if (c == ' ') {
            EXPECT_EQ(hex(Bytes(unit, unit + 3)), "202005");
        } else if (c < 0x80) {
            EXPECT_EQ(unit[0], '!') << what;
            EXPECT_EQ(unit[1], (uint8_t)u_toupper(c)) << what;
            EXPECT_EQ(unit[2], expectedMark(c)) << what;
        } else if (c < 0x800) {
            EXPECT_EQ(unit[2], expectedMark(c)) << what;
            // Folding: the unit of the character is the unit of its
            // upper-case form, but for the mark.
            Bytes up = units(utf8(u_toupper(c)));
            EXPECT_EQ(hex(Bytes(unit, unit + 2)), hex(Bytes(up.begin(), up.begin() + 2))) << what;
        } else if (c >= 0x0E00 && c <= 0x0E7F) {   // Thai: letters, no case
            EXPECT_EQ(unit[2], 3) << what;
        } else {                                   // CJK and Hangul kept
            EXPECT_EQ(std::string((const char*)unit, 3), what);
        }
        k += 3;
    }
    EXPECT_EQ(k, u.size());
}

// Splits a unit string into its parts under the alphabetic word rule and
// returns them as text, joined by '|'.
std::string parts(Bytes u) {
    std::string out;
    uint8_t* p = u.data();
    uint8_t* end = p + u.size();
    while (p < end) {
        uint8_t *ps, *pe, *next;
        if (vozCHcutIntoPartAlpha(p, end, 3, &ps, &pe, &next) == 1)
            out += (out.empty() ? "" : "|") + text(Bytes(ps, pe));
        if (next <= p) break;
        p = next;
    }
    return out;
}

TEST(NormUtf8, WordsAndSentenceEndsFallWhereExpected) {
    const std::string sample =
        "Crème brûlée. Ελληνικά, Русский\xE3\x80\x80日本語\xE3\x80\x82終わり";
    Bytes u = units(sample);
    EXPECT_EQ(parts(u), "CRÈME|BRÛLÉE|ΕΛΛΗΝΙΚΆ|РУССКИЙ");
    std::vector<size_t> ends;
    VOZ_CPINFO cp{0, VOZ_CP_UTF8, {}, 0, 0};
    vozCHsetCPInfo(&cp);
    for (size_t k = 0; k < u.size(); k += 3)
        if (vozCHsentenceEnd(cp, &u[k])) ends.push_back(k / 3);
    // The ideographic full stop is the sentence-end unit; the ASCII '.' is
    // found through the code-page record's marks, not by the unit test.
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(text(Bytes(u.begin() + ends[0] * 3, u.begin() + ends[0] * 3 + 3)),
              "\xE3\x80\x82");
    EXPECT_EQ(cp.sentenceEnd[2], '.');
}

TEST(NormUtf8, HangulJoinsAcrossBlanksAndWordStartsFollow) {
    // Two words of two syllables, separated by a space and by an
    // ideographic space; then an ASCII word.
    const std::string sample = "\xED\x95\x9C\xEA\xB5\xAD \xEC\x96\xB4\xEB\xAC\xB8"
                               "\xE3\x80\x80\xEB\xB2\x95 abc";
    Bytes u = units(sample);
    EXPECT_EQ(hex(u), "ED959C EAB5AD FC96B4 EBACB8 FBB295 202005 214102 214202 214302");
    EXPECT_EQ(text(u, 0), "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4\xEB\xAC\xB8\xEB\xB2\x95 ABC");
    EXPECT_EQ(text(u, 1), "\xED\x95\x9C\xEA\xB5\xAD\xEB\xAC\xB8 ABC");
    std::string starts;
    for (size_t k = 0; k < u.size(); k += 3)
        starts += vozWordStartUTF8(u.data(), &u[k]);
    EXPECT_EQ(starts, "MOMOMNNNN");
    // The flat converter keeps the blanks.
    EXPECT_EQ(hex(units(sample, VOZ_CP_UTF8, true)),
              "ED959C EAB5AD 202005 EC96B4 EBACB8 202005 EBB295 202005 214102 "
              "214202 214302");
    // A non-blank character between syllables ends the joining.
    EXPECT_EQ(hex(units("\xED\x95\x9C - \xEA\xB5\xAD")),
              "ED959C 202005 212D04 202005 EAB5AD");
}

TEST(NormUtf8, JoiningMovesPositionMapEntriesOntoTheJoinedUnit) {
    const std::string sample = "\xED\x95\x9C  \xEA\xB5\xAD";   // 3+2+3 bytes
    const uint8_t* s = (const uint8_t*)sample.data();
    const uint8_t* src[4] = {s, s + 3, s + 4, s + 5};
    uint8_t* dst[4] = {};
    PTRDOCNORM map;
    memset(&map, 0, sizeof map);
    map.list[0].count = 4;
    map.list[0].srcAddr = src;
    map.list[0].outAddr = dst;
    uint8_t out[64];
    int32_t len = sizeof out;
    uint8_t state = 0;
    ASSERT_EQ(vozConvertUTF8(s, s + sample.size(), nullptr, 0, out, &len, &map,
                             nullptr, &state), VOZ_CH_DONE);
    ASSERT_EQ(len, 6);
    EXPECT_EQ(dst[0], out);
    EXPECT_EQ(dst[1], out + 3);      // the dropped blanks and the joined
    EXPECT_EQ(dst[2], out + 3);      // syllable share its unit
    EXPECT_EQ(dst[3], out + 3);
    EXPECT_EQ(map.list[0].cursor, 4);
}

// The converter, with its ASCII table and its map served only from the next
// entry on, gives what one character at a time gives: the same units and
// the same map, joining included, for random text of ASCII (control
// characters too), Latin letters, joinable syllables, blanks and broken
// bytes, with and without control characters as blanks and special
// letters.
TEST(NormUtf8, ConverterMatchesOneCharacterAtATime) {
    std::mt19937 rng(testSeed());
    static const char* const pieces[] = {
        "a", "Z", "q", " ", "  ", "\t", "\n", ".", "_", "3", "\x01",
        "\xC3\xA9", "\xC3\x9F", "\xED\x95\x9C", "\xEA\xB5\xAD", "\xE3\x80\x80",
        "\xFF", "\x80", "\xE2\x82", "\xF0\x9F\x98\x80"};
    GTRCREATEPARM special;
    memset(&special, 0, sizeof special);
    special.specialLength = 2;
    memcpy(special.specialLetters, "_3", 2);
    for (int round = 0; round < 300; ++round) {
        std::string t;
        for (int n = 1 + int(rng() % 60); n > 0; --n)
            t += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
        const uint8_t* s = (const uint8_t*)t.data();
        const uint8_t* e = s + t.size();
        std::vector<const uint8_t*> src[2];
        for (auto& v : src) {
            for (size_t i = 0; i < t.size(); ++i)
                if (rng() % 4 == 0) v.push_back(s + i);
            if (rng() % 2) v.push_back(e);       // an entry at the end
        }
        const uint8_t ctl = rng() % 2;
        const GTRCREATEPARM* cparm = rng() % 3 == 0 ? &special : nullptr;
        const bool join = rng() % 2;
        SCOPED_TRACE(hexGroups(Bytes(t.begin(), t.end()), 1));
        // A map over the entries of `src` whose output addresses go to `at`.
        auto makeMap = [&](std::vector<uint8_t*> (&at)[2]) {
            PTRDOCNORM m;
            memset(&m, 0, sizeof m);
            for (int k = 0; k < 2; ++k) {
                at[k].assign(src[k].size(), nullptr);
                m.list[k].count = (int32_t)src[k].size();
                m.list[k].srcAddr = src[k].data();
                m.list[k].outAddr = at[k].data();
            }
            return m;
        };
        // Reference: every character served and converted on its own.
        Bytes want(t.size() * 3 + 3);
        std::vector<uint8_t*> wantAt[2];
        PTRDOCNORM ref = makeMap(wantAt);
        uint8_t* o = want.data();
        uint8_t* joinMem = nullptr;
        for (const uint8_t* p = s; p < e;) {
            vozDocNormServe(&ref, p, o);
            VOZ_UTF8CHAR ch;
            vozUTF8unit(p, e, nullptr, ctl, cparm, &ch);
            p += ch.srcLen;
            const bool blank = ch.unit[0] == 0x20 && ch.unit[1] == 0x20 &&
                               ch.unit[2] == VOZ_MARK_BLANK;
            if (join && ch.joinable) {
                if (joinMem && o > joinMem) {
                    vozDocNormPullBack(&ref, joinMem);
                    o = joinMem;
                    ch.unit[0] = (uint8_t)(ch.unit[0] + 0x10);
                }
                memcpy(o, ch.unit, 3);
                joinMem = o += 3;
                continue;
            }
            if (!blank) joinMem = nullptr;
            memcpy(o, ch.unit, 3);
            o += 3;
        }
        want.resize(o - want.data());
        // The converter.
        Bytes got(t.size() * 3 + 3);
        std::vector<uint8_t*> gotAt[2];
        PTRDOCNORM map = makeMap(gotAt);
        int32_t len = (int32_t)got.size();
        uint8_t state = 0;
        const int32_t rc =
            join ? vozConvertUTF8(s, e, nullptr, ctl, got.data(), &len, &map,
                                  cparm, &state)
                 : vozConvertFlatUTF8(s, e, nullptr, ctl, got.data(), &len,
                                      &map, cparm, &state);
        ASSERT_EQ(rc, VOZ_CH_DONE);
        got.resize(len);
        ASSERT_EQ(hex(got), hex(want));
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(map.list[k].cursor, ref.list[k].cursor) << "list " << k;
            for (size_t i = 0; i < src[k].size(); ++i) {
                auto offset = [](const uint8_t* at, const Bytes& b) {
                    return at == nullptr ? -1 : at - b.data();  // not served
                };
                EXPECT_EQ(offset(gotAt[k][i], got), offset(wantAt[k][i], want))
                    << "list " << k << " entry " << i;
            }
        }
    }
}

TEST(NormUtf8, AlternativesSwitchJoinedAndPlainForms) {
    Bytes u = units("abc\xED\x95\x9C \xEA\xB5\xAD");
    RTRVWORDEXT word;
    memset(&word, 0, sizeof word);
    word.wi.type = 'W';
    word.wi.wordp = u.data();
    word.wi.wordlen = (int16_t)u.size();
    word.wi.precision = 80;
    GTRSTATUS st;
    memset(&st, 0, sizeof st);
    VOZ_CPINFO cp{0, VOZ_CP_UTF8, {}, 0, 0};
    ASSERT_EQ(vozCHsetAlterChar(cp, &word, &st), 0);
    ASSERT_NE(word.alter_chars, nullptr);
    EXPECT_EQ(word.alter_chars[0].count, 0);
    EXPECT_EQ(word.alter_chars[3].count, 1);
    EXPECT_EQ(hex(Bytes(word.alter_chars[3].alter[0].unit,
                        word.alter_chars[3].alter[0].unit + 3)), "FD959C");
    EXPECT_EQ(word.alter_chars[3].alter[0].weight, 80);
    EXPECT_EQ(hex(Bytes(word.alter_chars[4].alter[0].unit,
                        word.alter_chars[4].alter[0].unit + 3)), "EAB5AD");
    vozCHsetAlterCharTerm(&word);
    EXPECT_EQ(word.alter_chars, nullptr);
    // No unit of the joining range: no buffer.
    Bytes latin = units("abc");
    word.wi.wordp = latin.data();
    word.wi.wordlen = (int16_t)latin.size();
    ASSERT_EQ(vozCHsetAlterChar(cp, &word, &st), 0);
    EXPECT_EQ(word.alter_chars, nullptr);
}

TEST(NormUtf8, NextCharacterClassesAndSteps) {
    struct Case { std::string in; char cls; int step; };
    const Case cases[] = {
        {"a", 'A', 1}, {"7", 'N', 1}, {" ", 'B', 1}, {".", 'O', 1},
        {"\x07", 'O', 1}, {"\xC3\xA9", 'A', 2}, {"\xC3\x97", 'O', 2},
        {"\xEF\xBC\xA1", 'A', 3}, {"\xEF\xBC\x91", 'N', 3},
        {"\xE3\x80\x80", 'B', 3}, {"\xE4\xB8\xAD", 'O', 3},
        {"\xEF\xBD\xB6\xEF\xBE\x9E", 'O', 6}, {"\x80" "a", 'O', 1},
        {"\xE4\xB8", 'O', 2}, {"\xF0\xA0\x80\x80", 'O', 4},
    };
    for (const Case& c : cases) {
        const uint8_t* s = (const uint8_t*)c.in.data();
        const uint8_t* next = nullptr;
        uint8_t state = 0;
        EXPECT_EQ(vozPointNextCharUTF8(s, &next, s + c.in.size(), nullptr, 0,
                                       nullptr, &state), c.cls) << hex(Bytes(s, s + c.in.size()));
        EXPECT_EQ(next - s, c.step) << hex(Bytes(s, s + c.in.size()));
    }
}

TEST(NormUtf8, VoicedMarkComesFromTheContinuationText) {
    const std::string a = "\xEF\xBE\x8A", b = "\xEF\xBE\x9F" "x";
    VOZ_CONTTEXT cont{(const uint8_t*)b.data(), (const uint8_t*)b.data() + b.size()};
    uint8_t out[16];
    int32_t len = sizeof out;
    uint8_t state = 0;
    ASSERT_EQ(vozConvertUTF8((const uint8_t*)a.data(), (const uint8_t*)a.data() + 3,
                             &cont, 0, out, &len, nullptr, nullptr, &state), VOZ_CH_DONE);
    EXPECT_EQ(hex(Bytes(out, out + len)), "E38391");
    EXPECT_EQ(cont.text, (const uint8_t*)b.data() + 3);
}

// Every character of the BMP (and the kept supplementary ideographs) comes
// back from its units as itself, as its upper-case partner, or as the
// character its compatibility form stands for; the text that comes back is
// valid UTF-8 and gives the same units again.
TEST(NormUtf8, RoundTripOfEveryCharacter) {
    UErrorCode ec = U_ZERO_ERROR;
    const UNormalizer2* nfkc = unorm2_getNFKCInstance(&ec);
    int exact = 0;
    for (UChar32 c = 1; c <= 0x2FFFF; ++c) {
        if ((c >= 0xD800 && c <= 0xDFFF) || (c >= 0x10000 && c < 0x20000)) continue;
        std::string in = utf8(c);
        Bytes u = units(in, VOZ_CP_UTF8, true);
        ASSERT_EQ(u.size(), 3u) << std::hex << c;
        std::string back = text(u);
        if (back == in) { ++exact; continue; }
        ASSERT_EQ(hex(units(back, VOZ_CP_UTF8, true)).substr(0, 4), hex(u).substr(0, 4))
            << std::hex << c;
        UChar32 b;
        int32_t i = 0;
        U8_NEXT(back.data(), i, (int32_t)back.size(), b);
        ASSERT_GE(b, 0) << std::hex << c;
        ASSERT_EQ(i, (int32_t)back.size()) << std::hex << c;
        UChar buf[2], norm[8];
        int32_t len = 0;
        U16_APPEND_UNSAFE(buf, len, c);
        ec = U_ZERO_ERROR;
        int32_t nl = unorm2_normalize(nfkc, buf, len, norm, 8, &ec);
        UChar32 compat = -1;
        if (nl >= 1) U16_GET_UNSAFE(norm, 0, compat);
        bool ok = b == u_toupper(c) || b == compat || u_toupper(b) == u_toupper(compat) ||
                  (c >= 0xFF61 && c <= 0xFF9F) ||  // half-width kana and marks
                  ((c == 0x964 || c == 0x965) && b == '.');   // danda marks
        EXPECT_TRUE(ok) << std::hex << c << " came back as " << b;
    }
    EXPECT_GT(exact, 100000);
    // The kept four-byte characters come back as themselves.
    EXPECT_EQ(text(units("\xF0\xA0\x80\x80\xF0\xAF\xBF\xBF")), "\xF0\xA0\x80\x80\xF0\xAF\xBF\xBF");
}

TEST(NormUtf8, UnnormalizerNeverWritesPastItsCapacity) {
    Bytes u = units("a\xC3\xA9\xE4\xB8\xAD\xF0\xA0\x80\x80 b");
    const std::string full = text(u);
    for (int32_t cap = 0; cap <= (int32_t)full.size(); ++cap) {
        std::vector<uint8_t> out(cap + 8, 0xCC);
        int32_t written = -1;
        uint8_t state = 0;
        int32_t rc = vozUnnormalizeUTF8(u.data(), u.data() + u.size(), 0, out.data(),
                                        cap, &written, &state);
        EXPECT_EQ(rc, cap == (int32_t)full.size() ? VOZ_CH_DONE : VOZ_CH_FULL) << cap;
        ASSERT_LE(written, cap);
        EXPECT_EQ(std::string((char*)out.data(), written), full.substr(0, written)) << cap;
        for (int32_t k = cap; k < cap + 8; ++k) ASSERT_EQ(out[k], 0xCC) << cap;
    }
    // Units that stand for no text need no room at all, not even a buffer
    // (copying their empty text to a null buffer was undefined).
    const uint8_t none[] = {0xFF, 0xFF, 0xFF, 0xFA, 0xB0, 0x80};
    int32_t written = -1;
    uint8_t state = 0;
    EXPECT_EQ(vozUnnormalizeUTF8(none, none + 6, 1, nullptr, 0, &written, &state),
              VOZ_CH_DONE);
    EXPECT_EQ(written, 0);
}

TEST(NormUtf8, ConverterStopsWhenTheOutputIsFull) {
    const std::string s = "ab\xE4\xB8\xAD";
    Bytes all = units(s);
    uint8_t out[8];
    int32_t len = 8;
    uint8_t state = 0;
    const uint8_t* p = (const uint8_t*)s.data();
    EXPECT_EQ(vozConvertUTF8(p, p + s.size(), nullptr, 0, out, &len, nullptr,
                             nullptr, &state), VOZ_CH_FULL);
    EXPECT_EQ(len, 6);
    EXPECT_EQ(hex(Bytes(out, out + 6)), hex(Bytes(all.begin(), all.begin() + 6)));
}

TEST(NormUtf8, TurkeyRewriteOnlyWithADirection) {
    Bytes u = units("Ii");
    int32_t len = (int32_t)u.size();
    vozConvertTurkey(u.data(), &len, 0);
    EXPECT_EQ(hex(u), "214901 214902");
    vozConvertTurkey(u.data(), &len, 1);
    EXPECT_EQ(hex(u), "C4B101 C4B002");
    EXPECT_EQ(len, 6);
}

}  // namespace
