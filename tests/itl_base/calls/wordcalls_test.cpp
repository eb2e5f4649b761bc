// Tests of the public word calls GTRnormalizeWord and GTRunnormalizeWord.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine_test_util.hpp"
#include "calls/voz_normline.hpp"
#include "calls/voz_wordcalls.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes normalize(uint8_t code, const std::string& word, int mode,
                GTRSTATUS* st) {
    uint8_t out[256];
    int32_t len = -1;
    GTRnormalizeWord(code, (const uint8_t*)word.data(), (int32_t)word.size(),
                     out, sizeof out, &len, mode, st);
    return Bytes(out, out + (len > 0 ? len : 0));
}

std::string unnormalize(uint8_t code, const Bytes& key, int mode,
                        int32_t room, GTRSTATUS* st, bool* guardIntact) {
    std::vector<uint8_t> out((size_t)room + 4, 0xCC);
    int32_t len = 0;
    GTRunnormalizeWord(code, key.data(), (int32_t)key.size(), out.data(), room,
                       &len, mode, st);
    *guardIntact = out[(size_t)room] == 0xCC;
    return std::string((const char*)out.data(), (size_t)(len > 0 ? len : 0));
}

}  // namespace

TEST(WordCalls, OtherModesAreRefusedAndNothingIsWritten) {
    uint8_t out[8];
    memset(out, 0xCC, sizeof out);
    int32_t len = 99;
    GTRSTATUS st{};
    GTRnormalizeWord(VOZ_CP_UTF8, (const uint8_t*)"ab", 2, out, sizeof out,
                     &len, 3, &st);
    EXPECT_EQ(st.retcode, 2);
    EXPECT_EQ(st.errcode, VOZ_EC_NORMWORD_MODE);
    EXPECT_EQ(out[0], 0xCC);
    EXPECT_EQ(len, 99);
    GTRunnormalizeWord(VOZ_CP_UTF8, out, 3, out, sizeof out, &len, 0, &st);
    EXPECT_EQ(st.retcode, 2);
    EXPECT_EQ(st.errcode, VOZ_EC_UNNORMWORD_MODE);
    // A null word is a parameter error, not a crash.
    GTRnormalizeWord(VOZ_CP_UTF8, nullptr, 2, out, sizeof out, &len, 1, &st);
    EXPECT_EQ(st.retcode, 2);
}

TEST(WordCalls, AsciiWordsRoundTripOnSingleByteAndUtf8Pages) {
    for (uint8_t code : {VOZ_CP_88591, VOZ_CP_UTF8}) {
        for (int mode : {1, 2}) {
            GTRSTATUS st;
            memset(&st, 0x33, sizeof st);
            const Bytes key = normalize(code, " TEXT-42 ", mode, &st);
            ASSERT_EQ(st.retcode, 0);
            EXPECT_EQ(key.size(), 7u * vozCHlen(cpOf(code)));
            bool guard = false;
            EXPECT_EQ(unnormalize(code, key, mode, 64, &st, &guard), "TEXT-42")
                << "code " << int(code) << " mode " << mode;
            EXPECT_EQ(st.retcode, 0);
            // Letters come back in their folded form.
            EXPECT_EQ(unnormalize(code, normalize(code, "Text", mode, &st), mode,
                                  64, &st, &guard),
                      "TEXT");
        }
    }
}

TEST(WordCalls, DoubleByteKeyEndsInShiftInWithinTheOutputSize) {
    GTRSTATUS st{};
    const Bytes key = normalize(VOZ_CP_EBCDIC_KANAKANJI, "\x0E\x45\x41\x45\x42\x0F",
                                1, &st);
    ASSERT_EQ(st.retcode, 0);
    ASSERT_EQ(key.size(), 4u);
    bool guard = false;
    const std::string text = unnormalize(VOZ_CP_EBCDIC_KANAKANJI, key, 1, 6, &st,
                                         &guard);
    EXPECT_EQ(st.retcode, 0);
    EXPECT_EQ(text, std::string("\x0E\x45\x41\x45\x42\x0F", 6));
    EXPECT_TRUE(guard);
    // One byte less room: a full output, nothing written past it.
    unnormalize(VOZ_CP_EBCDIC_KANAKANJI, key, 1, 5, &st, &guard);
    EXPECT_EQ(st.retcode, VOZ_RC_CHARNORM);
    EXPECT_EQ(st.errcode, VOZ_EC_UNNORMWORD_CONVERT);
    EXPECT_TRUE(guard);
    // A key that does not fit at all, and an invalid code page.
    unnormalize(VOZ_CP_UTF8, normalize(VOZ_CP_UTF8, "abc", 1, &st), 1, 2, &st,
                &guard);
    EXPECT_EQ(st.errcode, VOZ_EC_UNNORMWORD_CONVERT);
    EXPECT_TRUE(guard);
    unnormalize(0, key, 1, 16, &st, &guard);
    EXPECT_EQ(st.retcode, VOZ_RC_CHARNORM);
}
