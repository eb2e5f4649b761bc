// Tests of the call layer's line, word and document normalisation and its
// reverse conversion.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine_test_util.hpp"
#include "calls/voz_normline.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

std::string hex(const Bytes& b) { return hexGroups(b, 1); }

GTRCREATEPARM withSpecial(const char* letters) {
    GTRCREATEPARM p{};
    p.specialLength = (uint8_t)strlen(letters);
    memcpy(p.specialLetters, letters, p.specialLength);
    return p;
}

// vozNormalizeLine into a buffer of `room` bytes followed by guard bytes.
struct LineResult {
    Bytes out;
    int32_t len = -1;
    GTRSTATUS st{};
    bool guardIntact = true;
};

LineResult normLine(uint8_t code, const std::string& text, uint8_t mode,
                    const GTRCREATEPARM* cparm = nullptr, int32_t room = 256) {
    LineResult r;
    Bytes buf((size_t)room + 8, 0xCC);
    vozNormalizeLine(cpOf(code), (const uint8_t*)text.data(),
                     (int32_t)text.size(), buf.data(), room, &r.len, mode,
                     cparm, &r.st);
    for (size_t i = (size_t)room; i < buf.size(); ++i)
        r.guardIntact = r.guardIntact && buf[i] == 0xCC;
    r.out.assign(buf.begin(), buf.begin() + (r.len > 0 ? r.len : 0));
    return r;
}

// The units of `text` as one line (mode 0xE0): the reference for documents.
Bytes unitsOf(uint8_t code, const std::string& text) {
    LineResult r = normLine(code, text, VOZ_NORM_TEXT);
    EXPECT_EQ(r.st.retcode, 0) << text;
    return r.out;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct DocResult {
    Bytes units;
    GTRSTATUS st{};
};

DocResult normDoc(uint8_t code, const std::string& text,
                  PTRDOCNORM* bounds = nullptr, uint8_t mode = VOZ_NORM_TEXT) {
    DocResult r;
    uint8_t* buf = nullptr;
    int32_t len = -1;
    vozNormalizeDoc((const uint8_t*)text.data(), (int32_t)text.size(),
                    cpOf(code), mode, &buf, &len, bounds, nullptr, &r.st);
    if (buf != nullptr && len > 0) r.units.assign(buf, buf + len);
    free(buf);
    return r;
}

}  // namespace

TEST(NormalizeLine, StripsBlanksAndConvertsUtf8) {
    LineResult blank = normLine(VOZ_CP_UTF8, "   ", VOZ_NORM_TEXT);
    EXPECT_EQ(blank.len, 0);
    EXPECT_EQ(blank.st.retcode, 0);
    LineResult ab = normLine(VOZ_CP_UTF8, "  ab  ", VOZ_NORM_TEXT);
    EXPECT_EQ(ab.st.retcode, 0);
    EXPECT_EQ(hex(ab.out), "21 41 02 21 42 02");
}

TEST(NormalizeLine, AdditionalAlphanumericsOnlyWithoutFlatMode) {
    const GTRCREATEPARM dash = withSpecial("-");
    EXPECT_EQ(hex(normLine(VOZ_CP_UTF8, "a-b", VOZ_NORM_TEXT, &dash).out),
              "21 41 02 21 2D 01 21 42 02");
    EXPECT_EQ(hex(normLine(VOZ_CP_UTF8, "a-b", VOZ_NORM_ITEM, &dash).out),
              "21 41 02 21 2D 04 21 42 02");
}

TEST(NormalizeLine, OutputOneUnitShortFailsWithoutWritingPastIt) {
    LineResult r = normLine(VOZ_CP_UTF8, "abc", VOZ_NORM_TEXT, nullptr, 6);
    EXPECT_EQ(r.st.retcode, VOZ_RC_CHARNORM);
    EXPECT_EQ(r.st.errcode, VOZ_EC_NORM_CONVERT);
    EXPECT_TRUE(r.guardIntact);
    EXPECT_LE(r.len, 6);
}

TEST(NormalizeWord, ModeOneIsTextModeOtherModesAreItemMode) {
    const GTRCREATEPARM dash = withSpecial("-");
    for (int mode : {1, 2, 7}) {
        uint8_t out[32];
        int32_t len = 0;
        GTRSTATUS st;
        memset(&st, 0x5A, sizeof st);  // an earlier failure is cleared
        vozNormalizeWord(VOZ_CP_UTF8, (const uint8_t*)" a-b ", 5, out,
                         sizeof out, &len, mode, &dash, &st);
        EXPECT_EQ(st.retcode, 0);
        EXPECT_EQ(st.errfname1[0], 0);
        const uint8_t lineMode = mode == 1 ? VOZ_NORM_TEXT : VOZ_NORM_ITEM;
        EXPECT_EQ(hex(Bytes(out, out + len)),
                  hex(normLine(VOZ_CP_UTF8, " a-b ", lineMode, &dash).out))
            << "mode " << mode;
    }
}

TEST(NormalizeDoc, JoinsLinesOfLettersWithOneBlankUnit) {
    const Bytes blank = {0x20, 0x05};
    const DocResult r = normDoc(VOZ_CP_88591, "alpha\nbeta");
    EXPECT_EQ(r.st.retcode, 0);
    EXPECT_EQ(hex(r.units),
              hex(cat({unitsOf(VOZ_CP_88591, "alpha"), blank,
                       unitsOf(VOZ_CP_88591, "beta")})));
    // Blank lines and blanks after a newline add nothing.
    EXPECT_EQ(hex(normDoc(VOZ_CP_88591, "  alpha \n\n   \n  \t\n   beta  \n").units),
              hex(r.units));
    EXPECT_TRUE(normDoc(VOZ_CP_88591, " \n  \n").units.empty());
}

TEST(NormalizeDoc, FullStopOfADirectlyJoinedLineIsMarkedNine) {
    const Bytes end = unitsOf(VOZ_CP_88591, "end");
    // The next line starts with a letter: blank between, stop unchanged.
    EXPECT_EQ(hex(normDoc(VOZ_CP_88591, "end.\nNext").units),
              hex(cat({end, {0x2E, 0x04, 0x20, 0x05},
                       unitsOf(VOZ_CP_88591, "Next")})));
    // Neither side is a letter: joined directly, the stop marked 9.
    EXPECT_EQ(hex(normDoc(VOZ_CP_88591, "end.\n(x").units),
              hex(cat({end, {0x2E, 0x09}, unitsOf(VOZ_CP_88591, "(x")})));
    // The last line's stop is not joined to anything.
    EXPECT_EQ(hex(normDoc(VOZ_CP_88591, "end.").units),
              hex(cat({end, {0x2E, 0x04}})));
}

TEST(NormalizeDoc, DoubleByteLinesJoinDirectly) {
    const std::string a = "\x82\xA0\x82\xA2";   // two hiragana
    const std::string b = "\x82\xA4";
    const Bytes ua = unitsOf(VOZ_CP_SJIS, a);
    const Bytes ub = unitsOf(VOZ_CP_SJIS, b);
    ASSERT_EQ(ua.size(), 4u);
    EXPECT_EQ(hex(normDoc(VOZ_CP_SJIS, a + "\n" + b).units),
              hex(cat({ua, ub})));
    Bytes stop = unitsOf(VOZ_CP_SJIS, ".");
    ASSERT_EQ(stop.size(), 2u);
    stop[1] = VOZ_MARK_LINE_STOP;
    EXPECT_EQ(hex(normDoc(VOZ_CP_SJIS, a + ".\n" + b).units),
              hex(cat({ua, stop, ub})));
}

TEST(NormalizeDoc, BoundaryPointersLandOnTheirCharactersUnits) {
    const std::string text = "ab \n  cd\n";
    const uint8_t* t = (const uint8_t*)text.data();
    // Boundaries at 'a', the blank after "ab", the newline, 'c', 'd' and
    // the end of the text; fields at 'b' and past the last character.
    // Pointers into stripped blanks land on the next character's unit
    // (behind the joining blank), those never reached at the end.
    const uint8_t* src0[] = {t, t + 2, t + 3, t + 6, t + 7, t + 9};
    const uint8_t* src1[] = {t + 1, t + 8};
    uint8_t* out0[6] = {};
    uint8_t* out1[2] = {};
    PTRDOCNORM map{};
    map.list[0] = {6, src0, out0, 0};
    map.list[1] = {2, src1, out1, 0};
    uint8_t* buf = nullptr;
    int32_t len = 0;
    GTRSTATUS st{};
    vozNormalizeDoc(t, (int32_t)text.size(), cpOf(VOZ_CP_88591),
                    VOZ_NORM_TEXT, &buf, &len, &map, nullptr, &st);
    ASSERT_EQ(st.retcode, 0);
    ASSERT_EQ(len, 5 * 2);  // a b blank c d
    const long want0[] = {0, 6, 6, 6, 8, 10};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(out0[i] - buf, want0[i]) << i;
    EXPECT_EQ(out1[0] - buf, 2);
    EXPECT_EQ(out1[1] - buf, 10);
    EXPECT_EQ(map.list[0].cursor, 6);
    EXPECT_EQ(map.list[1].cursor, 2);
    free(buf);
}

TEST(UnnormalizeLine, RoundTripsAndClosesAShiftedRun) {
    // Letters come back as their folded form.
    const Bytes units = unitsOf(VOZ_CP_88591, "Word");
    uint8_t out[16];
    int32_t len = 0;
    GTRSTATUS st{};
    vozUnnormalizeLine(cpOf(VOZ_CP_88591), units.data(), (int32_t)units.size(),
                       out, sizeof out, &len, VOZ_NORM_TEXT, &st);
    EXPECT_EQ(st.retcode, 0);
    EXPECT_EQ(std::string((char*)out, (size_t)len), "WORD");

    // Double-byte EBCDIC: the text comes back with its shift-in byte.
    const Bytes dbcs = unitsOf(VOZ_CP_EBCDIC_KANAKANJI, "\x0E\x45\x41\x45\x42\x0F");
    ASSERT_EQ(dbcs.size(), 4u);
    vozUnnormalizeLine(cpOf(VOZ_CP_EBCDIC_KANAKANJI), dbcs.data(), 4, out,
                       sizeof out, &len, VOZ_NORM_TEXT, &st);
    EXPECT_EQ(st.retcode, 0);
    EXPECT_EQ(hex(Bytes(out, out + len)), "0E 45 41 45 42 0F");

    // No room for the shift-in: a full output, nothing written past it.
    uint8_t small[8];
    memset(small, 0xCC, sizeof small);
    vozUnnormalizeLine(cpOf(VOZ_CP_EBCDIC_KANAKANJI), dbcs.data(), 4, small, 5,
                       &len, VOZ_NORM_TEXT, &st);
    EXPECT_EQ(st.retcode, VOZ_RC_CHARNORM);
    EXPECT_EQ(st.errcode, VOZ_EC_UNNORM_CONVERT);
    EXPECT_EQ(small[5], 0xCC);
}
