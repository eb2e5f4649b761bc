// Fuzzy lookup over an n-gram index, plain and with alternate characters:
// hits, lengths and percentages for worked cases (gaps, absent n-grams,
// coverage below the required units), overlapping candidates in one
// document, the alternatives' weights, option 'S', and resume targets.
#include "search/voz_aimai.hpp"
#include "startmark_fixture.hpp"

using namespace startfix;

namespace {

// A fuzzy hit: document, start, length, percentage.
struct FHit {
    int32_t doc, pos, len, pct;
    bool operator==(const FHit& o) const {
        return doc == o.doc && pos == o.pos && len == o.len && pct == o.pct;
    }
};
std::ostream& operator<<(std::ostream& os, const FHit& h) {
    return os << "(" << h.doc << "," << h.pos << "," << h.len << "," << h.pct << ")";
}
using FHits = std::vector<FHit>;

FHits walkFuzzy(_WCTLHEAD& w, IDXINFO* set, GTRSTATUS& st) {
    FHits h;
    for (int guard = 0; guard < 100000 && w.nextHit != nullptr; ++guard) {
        w.nextHit(&w, set, nullptr, nullptr, -1, 0, &st);
        if (st.retcode != 0 || w.cur.docno == VOZ_DOC_END) break;
        h.push_back({w.cur.docno, w.cur.pos, w.cur.len, w.cur.match});
    }
    expectEnded(w);
    return h;
}

FHits fuzzy(IDXINFO* set, RTRVWORDEXT* word, bool alter, GTRSTATUS& st) {
    _WCTLHEAD w = control();
    if (alter)
        voz_GetOneWordAimaiAlterInit(word, &w, set, nullptr, &st);
    else
        voz_GetOneWordAimaiInit(word, &w, set, nullptr, &st);
    if (st.retcode != 0) return {};
    return walkFuzzy(w, set, st);
}

const std::vector<std::string> kDocs = {"1234567890", "xx1234567890xx", "1234567xyz",
                                        "123456xyzw", "abcxdefgh", "abcdxabcdefgh"};

TEST(FuzzyLookup, SimilarityCoverageAndGaps) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    struct Case {
        const char* word;
        int16_t similarity;
        FHits want;
    };
    const std::vector<Case> cases = {
        // "50" and "07" are absent: a gap of one unit costs 2, 52 of 60.
        {"1234507890", 80, {{0, 1, 10, 86}, {1, 3, 10, 86}}},
        {"1234507890", 90, {}},
        {"1234567890", 80, {{0, 1, 10, 100}, {1, 3, 10, 100}}},
        // 10 units at 70 need 7 covered units: "1234567" has them, "123456"
        // not.
        {"1234567890", 70, {{0, 1, 10, 100}, {1, 3, 10, 100}, {2, 1, 7, 70}}},
        {"1234567890", 71, {{0, 1, 10, 100}, {1, 3, 10, 100}}},
        // A later candidate inside the last hit that scores lower is not
        // given out; one that scores higher is.
        {"abcdefgh", 50, {{4, 1, 9, 95}, {5, 1, 4, 50}, {5, 6, 8, 100}}},
        {"zzzzzzzz", 10, {}},
    };
    for (const Case& c : cases) {
        Word word(c.word);
        word.ext.wi.precision = c.similarity;
        GTRSTATUS st{};
        EXPECT_EQ(fuzzy(ix.set(), &word.ext, false, st), c.want)
            << c.word << " at " << c.similarity;
        ASSERT_OK(st);
        // Without alternatives the alternates variant finds the same.
        Alternates none(strlen(c.word));
        word.ext.alter_chars = none.table.data();
        EXPECT_EQ(fuzzy(ix.set(), &word.ext, true, st), c.want)
            << "alternates " << c.word << " at " << c.similarity;
        ASSERT_OK(st);
    }
}

TEST(FuzzyLookup, RepeatedNgramsOfTheWordFindTheirOwnPlaces) {
    NgramIndex ix({"abababab", "xxabab"}, 2);
    ASSERT_OK(ix.st);
    Word word("ababab");
    word.ext.wi.precision = 60;
    GTRSTATUS st{};
    FHits got = fuzzy(ix.set(), &word.ext, false, st);
    ASSERT_OK(st);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0], (FHit{0, 1, 6, 100}));
    for (const FHit& h : got) EXPECT_GE(h.pct, 60) << h;
}

TEST(FuzzyLookup, AlternativesScoreWithTheirWeights) {
    NgramIndex ix({"1234567890"}, 2);
    ASSERT_OK(ix.st);
    Word word("1234507890");
    word.ext.wi.precision = 80;
    Alternates alt(10);
    alt.add(5, '6', 80);
    word.ext.alter_chars = alt.table.data();
    GTRSTATUS st{};
    // "56" weighs 100 + 80 (its second unit is the alternative), "67"
    // 100 + 100 (an alternative as a key's first unit weighs 100): 5880 of
    // 6000.
    EXPECT_EQ(fuzzy(ix.set(), &word.ext, true, st), (FHits{{0, 1, 10, 98}}));
    ASSERT_OK(st);
}

// Random documents and words: every hit reaches the similarity, every
// exact occurrence of the word lies inside a hit of 100 (a chain may start
// earlier on a shifted n-gram and take the occurrence in), and
// the alternates variant without alternatives gives the same hits.
TEST(FuzzyLookup, RandomWordsKeepTheInvariants) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    const std::string alphabet = "abcd";
    for (int round = 0; round < 2; ++round) {
        int n = 2 + round;
        std::vector<std::string> docs = randomDocs(rng, 15, 40, alphabet);
        NgramIndex ix(docs, n);
        ASSERT_OK(ix.st);
        for (int q = 0; q < 20; ++q) {
            std::string text;
            size_t len = static_cast<size_t>(n) + 1 + rng() % 6;
            for (size_t i = 0; i < len; ++i) text += alphabet[rng() % 4];
            if (q % 2 == 0) {  // a piece of a document, so exact places exist
                const std::string& d = docs[rng() % docs.size()];
                if (d.size() >= len) text = d.substr(rng() % (d.size() - len + 1), len);
            }
            Word word(text);
            word.ext.wi.precision = static_cast<int16_t>(50 + rng() % 50);
            GTRSTATUS st{};
            FHits plain = fuzzy(ix.set(), &word.ext, false, st);
            ASSERT_OK(st);
            std::string where = "seed " + std::to_string(seed) + " word " + text;
            for (const FHit& h : plain) EXPECT_GE(h.pct, word.ext.wi.precision) << where;
            for (const Hit& e : oracle(docs, text)) {
                bool found = false;
                for (const FHit& h : plain)
                    found = found || (h.doc == e.first && h.pos <= e.second &&
                                      h.pct == 100 &&
                                      h.pos + h.len >= e.second + static_cast<int32_t>(len));
                EXPECT_TRUE(found) << where << " exact at " << e.first << "," << e.second
                                   << " doc " << docs[static_cast<size_t>(e.first)]
                                   << " n " << n << " S " << word.ext.wi.precision
                                   << " hits " << ::testing::PrintToString(plain);
            }
            Alternates none(len);
            word.ext.alter_chars = none.table.data();
            EXPECT_EQ(fuzzy(ix.set(), &word.ext, true, st), plain) << where;
            ASSERT_OK(st);
        }
    }
}

char neverAtStart(const uint8_t*, const uint8_t*) { return 'N'; }

TEST(FuzzyLookup, StartOptionKeepsCandidatesThatBeginAtAWordStart) {
    StartIndex ix({"1234567890", "x1234567890", "zz 1234567890"}, 2);
    ASSERT_OK(ix.st);
    Word word("1234567890");
    word.ext.wi.precision = 80;
    word.ext.wi.start_option = 'S';
    GTRSTATUS st{};
    EXPECT_EQ(fuzzy(ix.set(), &word.ext, true, st),
              (FHits{{0, 1, 10, 100}, {2, 4, 10, 100}}));
    ASSERT_OK(st);
    word.ext.word_start_function = neverAtStart;
    EXPECT_EQ(fuzzy(ix.set(), &word.ext, true, st),
              (FHits{{0, 1, 10, 100}, {1, 2, 10, 100}, {2, 4, 10, 100}}));
    ASSERT_OK(st);
}

TEST(FuzzyLookup, TargetsSkipDocumentsAndReleaseEndsTheWord) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    Word word("1234567890");
    word.ext.wi.precision = 70;
    _WCTLHEAD w = control();
    GTRSTATUS st{};
    voz_GetOneWordAimaiInit(&word.ext, &w, ix.set(), nullptr, &st);
    ASSERT_OK(st);
    w.nextHit(&w, ix.set(), nullptr, nullptr, 1, 1, &st);
    EXPECT_EQ(w.cur.docno, 1);
    EXPECT_EQ(w.cur.pos, 3);
    w.nextHit(&w, ix.set(), nullptr, nullptr, 0, 1, &st);  // below: kept
    EXPECT_EQ(w.cur.docno, 1);
    w.nextHit(&w, ix.set(), nullptr, nullptr, 2, 2, &st);  // past its start
    EXPECT_EQ(w.cur.docno, VOZ_DOC_END);
    ASSERT_OK(st);
    expectEnded(w);
    _WCTLHEAD v = control();
    voz_GetOneWordAimaiInit(&word.ext, &v, ix.set(), nullptr, &st);
    v.nextHit(&v, ix.set(), nullptr, nullptr, VOZ_DOC_END, VOZ_RELEASE_POS, &st);
    ASSERT_OK(st);
    expectEnded(v);
}

}  // namespace
