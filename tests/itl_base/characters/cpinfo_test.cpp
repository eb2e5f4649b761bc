// Code-page record, codes, dispatch tables and dispatchers: the record bytes,
// unit widths, the code groups, the completeness of the tables, and the
// error results of the dispatchers for codes without routines.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "characters/voz_cpinfo.hpp"
#include "characters/voz_cut.hpp"
#include "characters/voz_norm_dbcs.hpp"

namespace {

VOZ_CPINFO cpOf(uint8_t code) {
    VOZ_CPINFO cp{};
    cp.callerCodePage = 0xA5;
    cp.code = code;
    return cp;
}

}  // namespace

TEST(CpInfo, SetCPInfoWritesTheSameFiveBytesForEveryCode) {
    for (int code = 0; code <= 40; ++code) {
        VOZ_CPINFO cp = cpOf(static_cast<uint8_t>(code));
        vozCHsetCPInfo(&cp);
        uint8_t raw[7];
        memcpy(raw, &cp, sizeof raw);
        EXPECT_EQ(0xA5, raw[0]);
        EXPECT_EQ(code, raw[1]);
        EXPECT_EQ(0, memcmp(raw + 2, "?!. \n", 5)) << "code " << code;
    }
}

TEST(CpInfo, UnitWidths) {
    for (int code = 0; code <= 255; ++code) {
        const int expect = (code == 34 || code == 37) ? 3 : 2;
        EXPECT_EQ(expect, vozCHlen(cpOf(static_cast<uint8_t>(code)))) << code;
    }
    EXPECT_EQ(2, vozCHlenVar());
}

TEST(CpInfo, CodeGroupsAndWideBlanks) {
    int ebcdic = 0, dbcs = 0, boundary = 0;
    for (int code = 0; code <= 40; ++code) {
        const uint8_t c = static_cast<uint8_t>(code);
        ebcdic += vozCPisEbcdic(c);
        dbcs += vozCPisDbcsAscii(c);
        boundary += vozCHwordBoundaryEnable(c);
        if (code < VOZ_CP_TABLE_SIZE && vozCPwideBlankLength(c) == 0) {
            EXPECT_EQ(0, raw_dbl_blank[code][0] | raw_dbl_blank[code][1] |
                             raw_dbl_blank[code][2])
                << code;
        }
    }
    EXPECT_EQ(15, ebcdic);
    EXPECT_EQ(7, dbcs);
    EXPECT_EQ(4, boundary);
    EXPECT_EQ(0, memcmp(raw_dbl_blank[1], "\x81\x40", 2));
    EXPECT_EQ(0, memcmp(raw_dbl_blank[15], "\x40\x40", 2));
    EXPECT_EQ(0, memcmp(raw_dbl_blank[34], "\xE3\x80\x80", 3));
    EXPECT_EQ(0, memcmp(raw_dbl_blank[36], "\xA1\xA1", 2));
    EXPECT_EQ(vozSeemAsSameUnitVarUTF8, vozCHgetFuncSeemAsSameUnit(34));
    EXPECT_EQ(vozSeemAsSameUnitVarUTF8, vozCHgetFuncSeemAsSameUnit(37));
    EXPECT_EQ(vozCHcaseInsensAlpha, vozCHgetFuncSeemAsSameUnit(3));
}

// Every code has its six routines; the word-boundary tables hold entries
// for 3, 13, 34 and 37 only; flat conversion differs from plain
// conversion only on those four codes.
TEST(CpInfo, DispatchTablesHoldTheirRoutines) {
    EXPECT_EQ(nullptr, ConvertInto2[0]);
    for (int code = 1; code <= VOZ_CP_MAX; ++code) {
        const bool boundary = vozCHwordBoundaryEnable(static_cast<uint8_t>(code));
        if (!boundary) {
            EXPECT_EQ(nullptr, SetAlterChar[code]) << code;
            EXPECT_EQ(nullptr, WordStart[code]) << code;
        }
        EXPECT_NE(nullptr, ConvertInto2[code]) << code;
        EXPECT_NE(nullptr, ConvertInto2Flat[code]) << code;
        EXPECT_NE(nullptr, GetSBCSchar[code]) << code;
        EXPECT_NE(nullptr, PointNextChar[code]) << code;
        EXPECT_NE(nullptr, SentenceEnd[code]) << code;
        EXPECT_NE(nullptr, Unnormalize[code]) << code;
        EXPECT_EQ(boundary, ConvertInto2[code] != ConvertInto2Flat[code]) << code;
    }
    for (int code : {3, 13, 34, 37}) {
        EXPECT_NE(nullptr, SetAlterChar[code]) << code;
        EXPECT_NE(nullptr, WordStart[code]) << code;
    }
}

// Codes 0, above 37, and codes whose table has no routine: every dispatcher
// returns its error result and calls nothing.
TEST(CpInfo, DispatchersRefuseCodesWithoutRoutines) {
    const uint8_t text[] = "abc";
    const uint8_t unit[3] = {'A', 1, 0};
    for (int code : {0, 38, 99, 255}) {
        const VOZ_CPINFO cp = cpOf(static_cast<uint8_t>(code));
        uint8_t out[16];
        int32_t len = 16;
        uint8_t state = 0;
        EXPECT_EQ(VOZ_CH_BADCODE, vozCHconvert(cp, text, text + 3, nullptr, 0,
                                               out, &len, nullptr, nullptr,
                                               &state));
        EXPECT_EQ(0, len);
        len = 16;
        EXPECT_EQ(VOZ_CH_BADCODE, vozCHconvertFlat(cp, text, text + 3, nullptr,
                                                   0, out, &len, nullptr,
                                                   &state));
        EXPECT_EQ(0, len);
        len = 7;
        EXPECT_EQ(VOZ_CH_BADCODE, vozCHunnormalize(cp, unit, unit + 2, 0, out,
                                                   16, &len, &state));
        EXPECT_EQ(0, len);
        EXPECT_EQ(0, vozCHgetSBCSchar(cp, unit));
        EXPECT_EQ(0, vozCHsentenceEnd(cp, unit));
        const uint8_t* next = nullptr;
        EXPECT_EQ(0, vozCHpointNextChar(cp.code, text, &next, text + 3,
                                        nullptr, 0, nullptr, &state));
        EXPECT_EQ(text + 3, next);  // a walk over the text stops
        EXPECT_EQ(VOZ_WORD_NONE, vozCHwordStart(cp, unit, unit));
        EXPECT_EQ(nullptr, vozCHwordStartFunction(cp));
        EXPECT_FALSE(vozCHwordBoundaryEnable(cp.code));
    }
    // A valid code without a word-start routine.
    EXPECT_EQ(nullptr, vozCHwordStartFunction(cpOf(7)));
    EXPECT_EQ(VOZ_WORD_NONE, vozCHwordStart(cpOf(7), unit, unit));
    EXPECT_EQ(vozWordStartKOKR, vozCHwordStartFunction(cpOf(3)));
}

TEST(CpInfo, SetAlterCharOnlyForWordsOfTheBoundaryCodes) {
    uint8_t units[] = {0xB0, 0xA1, 0xB0, 0xA2};
    VOZALTERENTRY* stale = reinterpret_cast<VOZALTERENTRY*>(&units);
    RTRVWORDEXT word{};
    word.wi.wordp = units;
    word.wi.wordlen = 4;
    word.wi.precision = 80;
    GTRSTATUS st{};
    for (char kind : {'B', 'D', 'E'}) {  // not a word: pointer cleared only
        word.wi.type = kind;
        word.alter_chars = stale;
        EXPECT_EQ(0, vozCHsetAlterChar(cpOf(3), &word, &st));
        EXPECT_EQ(nullptr, word.alter_chars);
    }
    word.wi.type = 'W';
    for (int code : {0, 7, 38, 200}) {  // no alternatives on these codes
        word.alter_chars = stale;
        EXPECT_EQ(0, vozCHsetAlterChar(cpOf(static_cast<uint8_t>(code)), &word,
                                       &st));
        EXPECT_EQ(nullptr, word.alter_chars);
    }
    EXPECT_EQ(0, vozCHsetAlterChar(cpOf(3), &word, &st));
    EXPECT_NE(nullptr, word.alter_chars);
    vozCHsetAlterCharTerm(&word);
    EXPECT_EQ(nullptr, word.alter_chars);
    vozCHsetAlterCharTerm(&word);  // a second release is harmless
    EXPECT_EQ(0, st.retcode);
}

// The position map: entries are served before the character they name is
// converted; entries beyond the text wait for the next call.
TEST(CpInfo, PositionMapServesEntriesAcrossCalls) {
    const uint8_t text[] = "ab cd";
    const uint8_t* src[4] = {text, text + 1, text + 3, text + 5};
    uint8_t* dst[4] = {};
    const uint8_t* src2[1] = {text + 2};
    uint8_t* dst2[1] = {};
    PTRDOCNORM map{};
    map.list[0] = {4, src, dst, 0};
    map.list[1] = {1, src2, dst2, 0};
    uint8_t out[32];
    int32_t len = 32;
    uint8_t state = 0;
    EXPECT_EQ(VOZ_CH_DONE, vozCHconvert(cpOf(8), text, text + 3, nullptr, 0,
                                        out, &len, &map, nullptr, &state));
    EXPECT_EQ(out, dst[0]);
    EXPECT_EQ(out + 2, dst[1]);
    EXPECT_EQ(2, map.list[0].cursor);  // text + 3 lies beyond this call
    EXPECT_EQ(out + 4, dst2[0]);
    uint8_t out2[32];
    len = 32;
    vozCHconvert(cpOf(8), text + 3, text + 5, nullptr, 0, out2, &len, &map,
                 nullptr, &state);
    EXPECT_EQ(out2, dst[2]);
    EXPECT_EQ(3, map.list[0].cursor);  // text + 5 is the end: not served
}

TEST(CpInfo, SentenceEndMarksOfTheRecordAreNoUnits) {
    // The single-byte pages have no sentence-end unit: '.' ends sentences
    // through the record's bytes 2..4 instead.
    const uint8_t dot[2] = {'.', VOZ_MARK_PUNCT};
    for (int code = 5; code <= 8; ++code)
        EXPECT_EQ(0, vozCHsentenceEnd(cpOf(static_cast<uint8_t>(code)), dot));
}

// A next-character routine called with nothing left reads nothing and
// leaves the next pointer at the end (some pages stepped one byte past it).
TEST(CpInfo, NextCharacterAtTheEndReadsNothing) {
    for (uint8_t code = 1; code <= VOZ_CP_MAX; ++code) {
        std::vector<uint8_t> text(1, 0xC1);  // exact size: ASan sees a read
        const uint8_t* end = text.data() + text.size();
        const uint8_t* next = nullptr;
        uint8_t state = 0;
        EXPECT_EQ('O', vozCHpointNextChar(code, end, &next, end, nullptr, 0,
                                          nullptr, &state))
            << "code " << int(code);
        EXPECT_EQ(end, next) << "code " << int(code);
    }
}

// Random bytes through every routine of every code, with output buffers of
// exact size (often 0): nothing reads or writes outside its buffers (the
// sanitizer build checks), lengths stay within capacity, and a walk with
// the next-character routine always moves forward and stays inside the
// text. Seed printed; TEST_SEED replays it.
TEST(CpInfo, EveryRoutineStaysInsideItsBuffersOnRandomInput) {
    const char* env = std::getenv("TEST_SEED");
    const unsigned seed = env ? static_cast<unsigned>(std::strtoul(env, nullptr, 10))
                              : std::random_device{}();
    std::printf("TEST_SEED=%u\n", seed);
    std::mt19937 rng(seed);
    GTRCREATEPARM parm{};
    parm.specialLength = 2;
    parm.specialLetters[0] = '#';
    parm.specialLetters[1] = '!';
    parm.digitsAsLetters = 1;
    for (int iter = 0; iter < 3000; ++iter) {
        const uint8_t code = static_cast<uint8_t>(1 + rng() % VOZ_CP_MAX);
        VOZ_CPINFO cp = cpOf(code);
        vozCHsetCPInfo(&cp);
        const int w = vozCHlen(cp);
        std::vector<uint8_t> src(rng() % 20), cont(rng() % 3);
        for (uint8_t& b : src) b = static_cast<uint8_t>(rng() % 2 ? rng() : 0x80 + rng() % 0x80);
        for (uint8_t& b : cont) b = static_cast<uint8_t>(rng());
        VOZ_CONTTEXT ct{cont.data(), cont.data() + cont.size()};
        const uint8_t* s = src.data();
        const uint8_t* e = s + src.size();
        const int32_t cap = static_cast<int32_t>(rng() % 64);
        std::vector<uint8_t> out(cap);
        int32_t len = cap;
        uint8_t st = static_cast<uint8_t>(rng() % 2);
        vozCHconvert(cp, s, e, rng() % 2 ? &ct : nullptr, rng() % 2, out.data(),
                     &len, nullptr, &parm, &st);
        ASSERT_TRUE(len >= 0 && len <= cap) << "code " << int(code);
        std::vector<uint8_t> units(out.begin(), out.begin() + len);
        if (rng() % 2) {  // units from nowhere: a damaged key
            units.resize((rng() % 8) * w);
            for (uint8_t& b : units) b = static_cast<uint8_t>(rng());
        }
        const int32_t tcap = static_cast<int32_t>(rng() % 24);
        std::vector<uint8_t> text(tcap);
        int32_t written = -1;
        st = static_cast<uint8_t>(rng() % 2);
        vozCHunnormalize(cp, units.data(), units.data() + units.size(),
                         static_cast<uint8_t>(rng() % 2), text.data(), tcap,
                         &written, &st);
        ASSERT_TRUE(written >= 0 && written <= tcap) << "code " << int(code);
        st = 0;
        for (const uint8_t* p = s; p < e;) {
            const uint8_t* next = nullptr;
            vozCHpointNextChar(code, p, &next, e, nullptr, rng() % 2, &parm, &st);
            ASSERT_TRUE(next > p && next <= e) << "code " << int(code);
            p = next;
        }
        uint8_t* u = units.data();
        uint8_t* const uEnd = u + units.size();
        while (u < uEnd) {
            uint8_t *ps, *pe, *next = u;
            Func_CutIntoPart[rng() % 2](u, uEnd, static_cast<int16_t>(w), &ps,
                                        &pe, &next);
            ASSERT_TRUE(next > u && next <= uEnd) << "code " << int(code);
            u = next;
        }
        const uint8_t *first, *last;
        st = 0;
        vozCHstripBlank(s, e, code, static_cast<uint8_t>(rng()), &first, &last, &st);
        int32_t off = 0;
        vozCHpointFirstBlank(cp, units.data(), &off, static_cast<int32_t>(units.size()));
        RTRVWORDEXT word{};
        GTRSTATUS status{};
        word.wi.type = 'W';
        word.wi.wordp = units.data();
        word.wi.wordlen = static_cast<int16_t>(units.size());
        word.wi.precision = rng() % 2 ? 100 : 80;
        vozCHsetAlterChar(cp, &word, &status);
        vozCHsetAlterCharTerm(&word);
    }
}
