// Tests of the English suffix stemmer and the word calls over it.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "calls/voz_stem.hpp"
#include "calls/voz_wordcalls.hpp"

namespace {

// Units of an upper-case word: 2 bytes (letter, 3), 3 bytes ('!', letter,
// 3) or, compressed, 2 bytes (0, letter | 0x80).
std::vector<uint8_t> unitsOf(const std::string& w, int width, bool compressed) {
    std::vector<uint8_t> u;
    for (char c : w) {
        if (compressed) {
            u.push_back(0);
            u.push_back((uint8_t)(c | 0x80));
        } else {
            if (width == 3) u.push_back('!');
            u.push_back((uint8_t)c);
            u.push_back(3);
        }
    }
    return u;
}

struct Pair {
    const char* word;
    const char* key;
    int32_t shares;
};

const Pair kPairs[] = {
    {"BOXES", "BOX", 1},       {"KNIVES", "KNIFE", 1}, {"STOPPED", "STOP", 1},
    {"CREATION", "CREATE", 1}, {"RUNS", "RUN", 1},     {"RUNNING", "RUN", 1},
    {"TEACHERS", "TEACH", 1},  {"ITS", "IT", 0},       {"STOP", "STEP", 0},
    {"CREATE", "CREATION", 1}, {"BOX", "BOXES", 1},    {"RUN", "RUNNING", 1},
};

}  // namespace

TEST(Stemmer, JudgesKeysThroughStemUtilAndEveryUnitForm) {
    for (const Pair& p : kPairs) {
        GTRSTATUS st{};
        EXPECT_EQ(VOZStemUtil(p.word, p.key, (int32_t)strlen(p.key), &st),
                  p.shares)
            << p.word << " / " << p.key;
        EXPECT_EQ(st.retcode, 0);
        for (int width : {2, 3}) {
            for (bool compressed : {false, true}) {
                const std::vector<uint8_t> w = unitsOf(p.word, width, false);
                const int keyWidth = compressed ? 2 : width;
                const std::vector<uint8_t> k = unitsOf(p.key, keyWidth, compressed);
                STEMCTL sc{};
                sc.word = w.data();
                sc.length = (int32_t)w.size();
                int32_t prefix = -1;
                ASSERT_EQ(vozStemming(&sc, (int16_t)width, &prefix, nullptr, 0,
                                      0, &st), 0);
                EXPECT_EQ(vozStemming(&sc, (int16_t)keyWidth, nullptr, k.data(),
                                      (int32_t)k.size(), compressed, &st),
                          p.shares)
                    << p.word << " / " << p.key << " width " << width
                    << (compressed ? " compressed" : "");
                EXPECT_EQ(st.retcode, 0);
            }
        }
    }
}

TEST(Stemmer, ShortestStemGivesThePrefixLength) {
    const struct {
        const char* word;
        int32_t stem;
    } cases[] = {{"BOXES", 3}, {"STOPPED", 4}, {"CREATION", 3}, {"RUNS", 3},
                 {"ITS", 3},   {"AB", 2},      {"A", 1},        {"KNIVES", 3}};
    for (const auto& c : cases) {
        GTRSTATUS st{};
        EXPECT_EQ(VOZStemUtil(c.word, nullptr, 0, &st), c.stem) << c.word;
        EXPECT_EQ(st.retcode, 0);
        const std::vector<uint8_t> w = unitsOf(c.word, 3, false);
        STEMCTL sc{};
        sc.word = w.data();
        sc.length = (int32_t)w.size();
        int32_t prefix = 0;
        vozStemming(&sc, 3, &prefix, nullptr, 0, 0, &st);
        EXPECT_EQ(prefix, c.stem * 3) << c.word;
    }
}

TEST(Stemmer, RefusesMissingOrOversizedWordsAndKeys) {
    std::vector<uint8_t> big(770, 'A');
    std::vector<uint8_t> ok = unitsOf("RUNS", 2, false);
    struct Case {
        const uint8_t* word;
        int32_t length;
        const uint8_t* key;
        int32_t keyLen;
    } cases[] = {
        {nullptr, 8, nullptr, 0},          // no word
        {ok.data(), 0, nullptr, 0},        // empty word
        {ok.data(), 1, nullptr, 0},        // shorter than one unit
        {big.data(), 770, nullptr, 0},     // above 768 bytes
        {ok.data(), 8, big.data(), 770},   // key above 768 bytes
        {ok.data(), 8, big.data(), -2},    // negative key length
    };
    for (const Case& c : cases) {
        STEMCTL sc{};
        sc.word = c.word;
        sc.length = c.length;
        GTRSTATUS st{};
        int32_t prefix = -7;
        int32_t r = 0;
        if (c.key == nullptr) {
            r = vozStemming(&sc, 2, &prefix, nullptr, 0, 0, &st);
        } else {
            ASSERT_EQ(vozStemming(&sc, 2, &prefix, nullptr, 0, 0, &st), 0);
            r = vozStemming(&sc, 2, nullptr, c.key, c.keyLen, 0, &st);
        }
        EXPECT_EQ(r, 0);
        EXPECT_EQ(st.retcode, 17) << c.length << " " << c.keyLen;
        EXPECT_EQ(st.errcode, VOZ_EC_STEM);
        if (c.key == nullptr) {
            EXPECT_EQ(prefix, -7) << "prefix set on failure";
        }
    }
    // An empty key shares nothing, without an error.
    STEMCTL sc{};
    sc.word = ok.data();
    sc.length = (int32_t)ok.size();
    GTRSTATUS st{};
    vozStemming(&sc, 2, nullptr, nullptr, 0, 0, &st);
    EXPECT_EQ(vozStemming(&sc, 2, nullptr, ok.data(), 0, 0, &st), 0);
    EXPECT_EQ(st.retcode, 0);
}

TEST(Stemmer, StemUtilClearsTheStatusAndRefusesLongWords) {
    GTRSTATUS st;
    memset(&st, 0x77, sizeof st);
    EXPECT_EQ(VOZStemUtil("RUNS", nullptr, 0, &st), 3);
    const GTRSTATUS zero{};
    EXPECT_EQ(memcmp(&st, &zero, sizeof st), 0) << "status not clear";
    const std::string longWord(400, 'A');
    EXPECT_EQ(VOZStemUtil(longWord.c_str(), "A", 1, &st), 0);
    EXPECT_EQ(st.retcode, 17);
    EXPECT_EQ(st.errcode, VOZ_EC_STEM);
    EXPECT_EQ(VOZStemUtil(nullptr, nullptr, 0, &st), 0);
    EXPECT_EQ(st.retcode, 17);
}

TEST(Stemmer, TailMatchNeedsALetterBeforeThePattern) {
    const uint8_t* w = (const uint8_t*)"STOPPED";
    EXPECT_EQ(vozTailMatch(w, 7, "ED"), 1);
    EXPECT_EQ(vozTailMatch(w, 5, "!"), 1);
    EXPECT_EQ(vozTailMatch(w, 5, "PP"), 1);
    EXPECT_EQ(vozTailMatch(w, 2, "ST"), 0);   // nothing before it
    EXPECT_EQ(vozTailMatch(w, 0, ""), 1);
    EXPECT_EQ(vozTailMatch(w, 7, "ING"), 0);
}

TEST(Stemmer, UnUnnormalizeAlphaMakesUpperCaseUnits) {
    uint8_t units[8];
    memset(units, 0xCC, sizeof units);
    UnUnnormalizeAlpha(units, 3, "abc");
    const uint8_t want[] = {'A', 3, 'B', 3, 'C', 3, 0xCC};
    EXPECT_EQ(memcmp(units, want, sizeof want), 0);
    UnUnnormalizeAlpha(units, 0, "xyz");
    EXPECT_EQ(units[0], 'A');
}
