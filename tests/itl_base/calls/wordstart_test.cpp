// Words that must begin at a word start (start option 'S') over an index
// the creation calls built: UTF-8 text whose Hangul units the builder keys
// as word starts (a begin-mark unit of the word-start mark value followed
// by the unit). The lookups must ask for the keys the builder wrote.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gtrquery_fixture.hpp"

namespace {

// A Hangul syllable from its code point (three bytes of UTF-8).
std::string hangul(unsigned cp) {
    std::string s;
    s += static_cast<char>(0xE0 | (cp >> 12));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
    return s;
}

TEST(WordStart, StartOptionFindsTheWordStartsTheBuilderKeyed) {
    const std::string ga = hangul(0xAC00), na = hangul(0xB098),
                      da = hangul(0xB2E4), ra = hangul(0xB77C);
    // Document 1 holds "ga na" at the start of a word, document 2 after a
    // blank (a joined unit), document 3 only inside a word.
    gqfix::Corpus k({ga + na + da, ra + " " + ga + na, da + ga + na});
    const std::string word = ga + na;
    EXPECT_EQ(gqfix::searchDocs(k.dir(), word), (gqfix::Docs{1, 2, 3}));
    EXPECT_EQ(gqfix::searchDocs(k.dir(), word + "/S"), (gqfix::Docs{1, 2}));
    EXPECT_EQ(gqfix::searchDocs(k.dir(), na + da + "/S"), gqfix::Docs{})
        << "na stands inside the word of document 1";
    EXPECT_EQ(gqfix::searchDocs(k.dir(), da + ga + "/S"), (gqfix::Docs{3}));
    // Fuzzy with the start option (a word longer than one n-gram).
    EXPECT_EQ(gqfix::searchDocs(k.dir(), ga + na + da + "%80/S"), (gqfix::Docs{1}));
}

}  // namespace
