// A document given in several text calls: pieces that end at blanks index
// as the whole text does, and a piece that ends inside a UTF-8 character
// is refused with a status instead of losing that character's word.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gtrquery_fixture.hpp"

namespace {

// Builds "idx" of code page 34 from documents given as pieces; the outcome
// is left in env.st.
void buildPieces(gtrfix::Env& env, const std::vector<std::vector<std::string>>& docs) {
    env.init(gtrfix::HParm(3, 34));
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    for (size_t d = 0; d < docs.size(); ++d) {
        int32_t start = 0;
        for (const std::string& piece : docs[d]) {
            env.doc(piece, static_cast<int32_t>(d + 1), &start);
            if (env.st.retcode != 0) return;
        }
        gqfix::addBlueItem(env, static_cast<int32_t>(d + 1));
        if (env.st.retcode != 0) return;
    }
    env.finish();
}

TEST(GtrDocPieces, PiecesEndingAtBlanksIndexLikeOneCall) {
    gtrfix::Env env;
    buildPieces(env, {{"alpha beta ", "gamma \xE6\x9D\xB1\xE4\xBA\xAC ", "delta"},
                      {"alpha beta gamma \xE6\x9D\xB1\xE4\xBA\xAC delta"}});
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    for (const char* word : {"alpha", "beta", "gamma", "delta",
                             "\xE6\x9D\xB1\xE4\xBA\xAC"})
        EXPECT_EQ(gqfix::searchDocs(env.out.c_str(), word), (gqfix::Docs{1, 2}))
            << word;
}

TEST(GtrDocPieces, APieceEndingInsideACharacterIsRefused) {
    const struct {
        const char* what;
        std::string first;
    } cases[] = {
        {"two of three bytes", "x \xE6\x9D"},
        {"a lead byte alone", "\xE6"},
        {"one of two bytes", "caf\xC3"},
        {"three of four bytes", "\xF0\x9F\x98"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        gtrfix::Env env;
        env.init(gtrfix::HParm(3, 34));
        ASSERT_EQ(env.st.retcode, 0);
        int32_t start = 0;
        env.doc(c.first, 1, &start);
        EXPECT_EQ(env.st.retcode, 101);
        EXPECT_EQ(env.st.errcode, 2531);
        EXPECT_EQ(env.h, nullptr) << "the update is cancelled";
        EXPECT_TRUE(env.tempDirs().empty());
    }
    // Whole characters at the end, and bytes that are no character at all
    // (a stray continuation byte), are taken as before.
    for (const std::string& text : {std::string("\xE6\x9D\xB1"), std::string("ab\x80"),
                                   std::string("\xF0\x9F\x98\x80")}) {
        gtrfix::Env env;
        env.init(gtrfix::HParm(3, 34));
        int32_t start = 0;
        env.doc(text, 1, &start);
        EXPECT_EQ(env.st.retcode, 0) << env.st.errcode;
    }
}

}  // namespace
