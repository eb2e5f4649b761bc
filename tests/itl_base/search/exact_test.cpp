// Exact lookup over an n-gram index: hits against a brute-force substring
// scan (a table and a randomized model with random skip targets), the
// pieces a word is cut into, the write-all mode, absent pieces, keys
// without postings (stop words), and the end of an estimate.
#include <random>

#include "lookup_fixture.hpp"
#include "search/voz_exact.hpp"
#include "search/voz_wordctl.hpp"

using namespace lookfix;

namespace {

const std::vector<std::string> kDocs = {
    "123 456. 789", "123 2020", "456 789 123", "2020", "3131 123. 456",
    "12312312", "aaaaaa"};

Hits exactHits(NgramIndex& ix, const std::string& text, GTRSTATUS& st) {
    Word word(text);
    _WCTLHEAD w = control();
    voz_GetOneWordExactInit(&word.ext, &w, ix.set(), nullptr, 0, &st);
    return walk(w, ix.set(), st, static_cast<int32_t>(text.size()));
}

TEST(ExactLookup, HitsEqualSubstringScan) {
    for (int n : {2, 3}) {
        NgramIndex ix(kDocs, n);
        ASSERT_OK(ix.st);
        for (const char* text : {"123", "12", "2020", "456. 7", "31 12", "123123",
                                 "23123", "aaaa", "aaaaa", "aaaaaaa", "999", "2021",
                                 "123 2020", "12312312"}) {
            if (static_cast<int>(strlen(text)) < n) continue;
            GTRSTATUS st{};
            Hits got = exactHits(ix, text, st);
            ASSERT_OK(st);
            EXPECT_EQ(got, oracle(kDocs, text)) << "n " << n << " word \"" << text << "\"";
        }
    }
}

TEST(ExactLookup, ThreeByteUnitsArePackedIntoTheStoredWidth) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    for (const char* text : {"2020", "12312", "31"}) {
        Word word(text);
        useThreeByteUnits(word, text);
        _WCTLHEAD w = control();
        GTRSTATUS st{};
        voz_GetOneWordExactInit(&word.ext, &w, ix.set(), nullptr, 0, &st);
        ASSERT_OK(st);
        EXPECT_EQ(walk(w, ix.set(), st, static_cast<int32_t>(strlen(text))),
                  oracle(kDocs, text)) << text;
    }
}

TEST(ExactLookup, PiecesOfFiveUnitsWithBigramsHaveBases532) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    struct Case {
        const char* text;
        std::vector<int32_t> bases;
    } cases[] = {{"12312", {5, 3, 2}}, {"1231", {4, 2}}, {"12", {2}}, {"123", {3, 2}}};
    for (const Case& c : cases) {
        Word word(c.text);
        _WCTLHEAD w = control();
        GTRSTATUS st{};
        voz_GetOneWordExactInit2(&word.ext, &w, ix.set(), nullptr, 0, &st);
        ASSERT_OK(st);
        auto* ctl = static_cast<VOZEXACTCTL*>(w.priv);
        ASSERT_NE(ctl, nullptr) << c.text;
        std::vector<int32_t> bases;
        for (int32_t i = 0; i < ctl->pieceCount; ++i) bases.push_back(ctl->pctl[i].basePos);
        EXPECT_EQ(bases, c.bases) << c.text;
        EXPECT_EQ(ctl->wordUnits, static_cast<int32_t>(strlen(c.text)));
        // The estimate reads the keys' document counts; nothing was read.
        EXPECT_EQ(ctl->pctl[0].curDoc, -1);
        voz_TermExpForSelectivity(&word.ext, &w, ix.set(), nullptr, nullptr, &st);
        ASSERT_OK(st);
        EXPECT_EQ(w.priv, nullptr);
        EXPECT_EQ(w.cur.docno, VOZ_DOC_END);
    }
}

TEST(ExactLookup, OneNgramWordGivesTheKeysPostings) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    Word word("31");
    _WCTLHEAD w = control();
    GTRSTATUS st{};
    voz_GetOneWordExactInit(&word.ext, &w, ix.set(), nullptr, 0, &st);
    ASSERT_OK(st);
    auto* ctl = static_cast<VOZEXACTCTL*>(w.priv);
    ASSERT_EQ(ctl->pieceCount, 1);
    EXPECT_EQ(ctl->pctl[0].basePos, 2);
    EXPECT_EQ(w.resumePos, 3);
    EXPECT_EQ(walk(w, ix.set(), st, 2), (Hits{{4, 1}, {4, 3}, {5, 3}, {5, 6}}));
}

TEST(ExactLookup, TargetsMoveToTheFirstHitAtOrAfterThem) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    Word word("123");
    _WCTLHEAD w = control();
    GTRSTATUS st{};
    voz_GetOneWordExactInit(&word.ext, &w, ix.set(), nullptr, 0, &st);
    ASSERT_OK(st);
    runSteps(w, ix.set(), {
        {2, 1, {2, 9}},     // text position 1 of document 2: the hit at 9
        {2, 9, {2, 9}},     // the same target keeps the hit
        {1, 1, {2, 9}},     // a target below the current hit keeps it
        {2, 10, {4, 6}},    // past the last hit of document 2
        {5, 2, {5, 4}},     // inside a document: text positions, not aligned
        {5, 5, {VOZ_DOC_END, 0}},
    });
}

TEST(ExactLookup, ReleaseTargetEndsTheWordAndFreesItsControl) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    Word word("2020");
    _WCTLHEAD w = control();
    GTRSTATUS st{};
    voz_GetOneWordExactInit(&word.ext, &w, ix.set(), nullptr, 0, &st);
    w.nextHit(&w, ix.set(), nullptr, nullptr, -1, 0, &st);
    EXPECT_EQ(Hit(w.cur.docno, w.cur.pos), Hit(1, 5));
    w.nextHit(&w, ix.set(), nullptr, nullptr, VOZ_DOC_END, VOZ_RELEASE_POS, &st);
    ASSERT_OK(st);
    expectEnded(w);
}

TEST(ExactLookup, WriteAllWritesEveryHitInOneCall) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    Word word("123");
    std::vector<OCC> occs = writeAllHits(ix.set(), [&](_WCTLHEAD* w, ANSWERFORM* a, GTRSTATUS* st) {
        voz_GetOneWordExactInit(&word.ext, w, ix.set(), a, 1, st);
    });
    Hits got;
    for (const OCC& o : occs) {
        got.push_back({o.docno, o.pos});
        EXPECT_EQ(o.len, 3);
    }
    EXPECT_EQ(got, oracle(kDocs, "123"));
}

// A hand-made index (trigrams) with keys without postings.
SetSpec stopSpec() {
    SetSpec spec;
    spec.keys.push_back({units("abc"), {{0, {1}}, {2, {4}}}});
    spec.keys.push_back({units("cde"), {{0, {3}}, {1, {1}}}});
    spec.keys.push_back(stopKey("xyz"));
    spec.keys.push_back(stopKey("zuv"));
    spec.docs = {0, 1, 2};
    return spec;
}

TEST(ExactLookup, StopWordsAbsentPiecesAndPartialStops) {
    SpecIndex ix(stopSpec());
    ASSERT_OK(ix.st);
    struct Case {
        const char* text;
        bool empty;
        uint8_t status;
        Hits hits;
    } cases[] = {
        {"abcde", false, 0, {{0, 1}}},
        {"xyzuv", true, 0x02, {}},     // every piece is a stop word
        {"abcxyz", false, 0x02, {}},   // one stop piece: no hit, not empty
        {"abcqqq", false, 0, {}},      // an absent piece: no hit, no error
        {"qqq", false, 0, {}},
    };
    for (const Case& c : cases) {
        for (bool estimate : {false, true}) {
            Word word(c.text);
            _WCTLHEAD w = control();
            GTRSTATUS st{};
            if (estimate) {
                voz_GetOneWordExactInit2(&word.ext, &w, ix.set(), nullptr, 0, &st);
                voz_TermExpForSelectivity(&word.ext, &w, ix.set(), nullptr, nullptr, &st);
            } else {
                voz_GetOneWordExactInit(&word.ext, &w, ix.set(), nullptr, 0, &st);
                EXPECT_EQ(walk(w, ix.set(), st, static_cast<int32_t>(strlen(c.text))), c.hits)
                    << c.text;
            }
            ASSERT_OK(st);
            EXPECT_EQ(w.emptyFlag, c.empty ? 1 : 0) << c.text;
            EXPECT_EQ(st.retrieve_status, c.status) << c.text;
            EXPECT_EQ(w.priv, nullptr);
        }
    }
}

TEST(ExactLookup, RandomWordsAndSkipsAgreeWithTheModel) {
    const uint32_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    for (int round = 0; round < 2; ++round) {
        const int n = 2 + round;
        std::vector<std::string> docs = randomDocs(rng, 40, 30, "123 ");
        NgramIndex ix(docs, n);
        ASSERT_OK(ix.st);
        for (int q = 0; q < 60; ++q) {
            std::string text;
            int len = n + static_cast<int>(rng() % 5);
            for (int i = 0; i < len; ++i) text += "123 "[rng() % 4];
            Hits want = oracle(docs, text);
            Word word(text);
            _WCTLHEAD w = control();
            GTRSTATUS st{};
            voz_GetOneWordExactInit(&word.ext, &w, ix.set(), nullptr, 0, &st);
            ASSERT_OK(st);
            // Random targets, each answered by the first hit at or after it.
            Hit target{0, 1};
            while (w.cur.docno != VOZ_DOC_END) {
                w.nextHit(&w, ix.set(), nullptr, nullptr, target.first, target.second, &st);
                ASSERT_OK(st);
                auto it = std::lower_bound(want.begin(), want.end(), target);
                Hit expect = it == want.end() ? Hit(VOZ_DOC_END, 0) : *it;
                ASSERT_EQ(Hit(w.cur.docno, w.cur.pos), expect)
                    << "word \"" << text << "\" target " << target.first << ","
                    << target.second;
                if (w.cur.docno == VOZ_DOC_END) break;
                if (rng() % 2 == 0)
                    target = {w.cur.docno, w.cur.pos + 1 + static_cast<int32_t>(rng() % 6)};
                else
                    target = {w.cur.docno + 1 + static_cast<int32_t>(rng() % 2),
                              1 + static_cast<int32_t>(rng() % 12)};
            }
        }
    }
}

TEST(ExactLookup, UnreadablePostingsFailAndHoldNothing) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    emptyPositionFile(ix.set());
    Word word("123");
    _WCTLHEAD w = control();
    GTRSTATUS st{};
    voz_GetOneWordExactInit(&word.ext, &w, ix.set(), nullptr, 0, &st);
    EXPECT_NE(st.retcode, 0);
    expectEnded(w);
}

}  // namespace
