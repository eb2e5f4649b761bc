// Tests of the raw cutting of text into position parts.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "calls/voz_rawcut.hpp"

namespace {

// One part as offsets into the text: "len:start-end>next".
std::string partText(int32_t len, const uint8_t* t, const uint8_t* ps,
                     const uint8_t* pe, const uint8_t* nx) {
    return std::to_string(len) + ":" + std::to_string(ps - t) + "-" +
           std::to_string(pe - t) + ">" + std::to_string(nx - t);
}

// Every part of the text, cut from start to end, joined by blanks.
std::string cutAll(uint8_t code, int rule, const std::string& text,
                   const GTRCREATEPARM* cparm = nullptr) {
    const uint8_t* t = (const uint8_t*)text.data();
    const uint8_t* end = t + text.size();
    const uint8_t* p = t;
    uint8_t state = 0;
    std::string parts;
    for (int guard = 0; p < end && guard < 1000; ++guard) {
        const uint8_t *ps = nullptr, *pe = nullptr, *nx = nullptr;
        uint8_t endState = 0xAA;
        const int32_t n = Func_CutIntoPartRaw[rule](p, end, nullptr, code, 0x40,
                                                    &ps, &pe, &nx, cparm,
                                                    &state, &endState);
        if (!parts.empty()) parts += " ";
        parts += partText(n, t, ps, pe, nx);
        EXPECT_NE(endState, 0xAA);
        EXPECT_GT(nx, p) << "no progress at " << (p - t);
        p = nx;
    }
    return parts;
}

struct CutCase {
    uint8_t code;
    int rule;
    std::string text;
    std::string parts;
};

}  // namespace

TEST(RawCut, CutsRunsAndTheStretchesBetweenThem) {
    const std::string u130 = [] {
        std::string s;
        for (int i = 0; i < 130; ++i) s += "\xC3\xBC";  // u-umlaut
        return s;
    }();
    const CutCase cases[] = {
        {VOZ_CP_88591, 0, std::string(200, 'x'), "128:0-128>128 72:128-200>200"},
        {VOZ_CP_88591, 0, "  ,;ab", "2:2-4>4 2:4-6>6"},
        {VOZ_CP_88591, 0, "  , ; ab", "3:2-5>6 2:6-8>8"},
        {VOZ_CP_88591, 0, "ab12 cd", "2:0-2>2 2:2-4>5 2:5-7>7"},
        {VOZ_CP_88591, 1, "ab12 cd", "4:0-4>4 0:5-5>5 2:5-7>7"},
        {VOZ_CP_88591, 0, "ab  ", "2:0-2>2 0:4-4>4"},
        {VOZ_CP_88591, 0, "1 2", "3:0-3>3"},  // the inner blank counts
        {VOZ_CP_UTF8, 0, "  ,;ab", "2:2-4>4 2:4-6>6"},
        {VOZ_CP_UTF8, 1, "ab12 cd", "4:0-4>4 0:5-5>5 2:5-7>7"},
        {VOZ_CP_UTF8, 0, u130, "128:0-256>256 2:256-260>260"},
    };
    for (const CutCase& c : cases)
        EXPECT_EQ(cutAll(c.code, c.rule, c.text), c.parts)
            << "code " << int(c.code) << " rule " << c.rule << " '" << c.text << "'";
}

TEST(RawCut, AtTheEndGivesNothing) {
    const uint8_t text[] = "ab";
    for (int rule : {0, 1}) {
        const uint8_t *ps = nullptr, *pe = nullptr, *nx = nullptr;
        uint8_t state = 0;
        EXPECT_EQ(Func_CutIntoPartRaw[rule](text + 2, text + 2, nullptr,
                                            VOZ_CP_UTF8, 0x40, &ps, &pe, &nx,
                                            nullptr, &state, nullptr),
                  0);
        EXPECT_EQ(ps, text + 2);
        EXPECT_EQ(pe, text + 2);
        EXPECT_EQ(nx, text + 2);
    }
}

TEST(RawCut, AdditionalAlphanumericsJoinTheRun) {
    GTRCREATEPARM dash{};
    dash.specialLength = 1;
    dash.specialLetters[0] = '-';
    EXPECT_EQ(cutAll(VOZ_CP_UTF8, 0, "a-b c", &dash), "3:0-3>3 0:4-4>4 1:4-5>5");
    EXPECT_EQ(cutAll(VOZ_CP_UTF8, 0, "a-b c"), "1:0-1>1 1:1-2>2 1:2-3>3 0:4-4>4 1:4-5>5");
}

TEST(RawCut, ShiftCharactersNeitherCountNorEndAPart) {
    // EBCDIC Kana-Kanji: "1", shift out, two double-byte characters, shift
    // in, "A". The shifts take no position.
    const std::string text = "\xF1\x0E\x45\x41\x45\x42\x0F\xC1";
    EXPECT_EQ(cutAll(VOZ_CP_EBCDIC_KANAKANJI, 0, text), "3:0-6>7 1:7-8>8");
}
