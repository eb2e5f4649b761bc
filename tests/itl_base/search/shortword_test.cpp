// Short words (shorter than one n-gram): hits against a brute-force scan
// (a table and a randomized model), a pair reached through two keys given
// once, the word-start option over hand-made start keys, words that no key
// begins with, keys without postings, the write-all mode, count-only mode
// and the pair sort.
#include <algorithm>
#include <random>

#include "lookup_fixture.hpp"
#include "search/voz_shortword.hpp"
#include "search/voz_wordctl.hpp"

using namespace lookfix;

namespace {

const std::vector<std::string> kDocs = {
    "123 456. 789", "123 2020", "456 789 123", "2020", "3131 123. 456"};

Hits shortHits(IDXINFO* set, RTRVWORDEXT* word, GTRSTATUS& st, int32_t len,
               _WCTLHEAD* keep = nullptr) {
    _WCTLHEAD w = control();
    voz_GetShortWordInit_(word, &w, set, nullptr, 0, &st, 0);
    if (keep != nullptr) *keep = w;
    return walk(w, set, st, len);
}

TEST(ShortWord, HitsEqualSubstringScan) {
    for (int n : {2, 3}) {
        NgramIndex ix(kDocs, n);
        ASSERT_OK(ix.st);
        for (const char* text : {"7", "0", "1", "3", "9", " ", ".", "x", "20", "31", "6.",
                                 "99"}) {
            if (static_cast<int>(strlen(text)) >= n) continue;
            Word word(text);
            GTRSTATUS st{};
            Hits got = shortHits(ix.set(), &word.ext, st, static_cast<int32_t>(strlen(text)));
            ASSERT_OK(st);
            EXPECT_EQ(got, oracle(kDocs, text)) << "n " << n << " word \"" << text << "\"";
        }
    }
}

TEST(ShortWord, ZeroIsFoundThroughTheBigramAndTheZeroFilledKey) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    Word word("0");
    GTRSTATUS st{};
    _WCTLHEAD w = control();
    voz_GetShortWordInit_(&word.ext, &w, ix.set(), nullptr, 0, &st, 0);
    ASSERT_OK(st);
    auto* ctl = static_cast<VOZSHORTCTL*>(w.priv);
    ASSERT_NE(ctl, nullptr);
    EXPECT_EQ(ctl->keyCount, 2);  // "02" and "0" zero-filled
    EXPECT_EQ(walk(w, ix.set(), st, 1), (Hits{{1, 6}, {1, 8}, {3, 2}, {3, 4}}));
    EXPECT_EQ(w.priv, nullptr);
}

TEST(ShortWord, ThreeByteUnitsArePackedAndCountedInUnits) {
    NgramIndex ix(kDocs, 3);
    ASSERT_OK(ix.st);
    for (const char* text : {"0", "20", "3"}) {
        Word word(text);
        useThreeByteUnits(word, text);
        GTRSTATUS st{};
        Hits got = shortHits(ix.set(), &word.ext, st, static_cast<int32_t>(strlen(text)));
        ASSERT_OK(st);
        EXPECT_EQ(got, oracle(kDocs, text)) << text;
    }
}

TEST(ShortWord, TargetsMoveToTheFirstPairAtOrAfterThem) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    Word word("3");  // (0,3) (1,3) (2,11) (4,1) (4,3) (4,8)
    _WCTLHEAD w = control();
    GTRSTATUS st{};
    voz_GetShortWordInit_(&word.ext, &w, ix.set(), nullptr, 0, &st, 0);
    ASSERT_OK(st);
    runSteps(w, ix.set(), {{1, 0, {1, 3}}, {1, 3, {1, 3}}, {0, 1, {1, 3}},
                           {-1, 0, {2, 11}}, {4, 2, {4, 3}}, {4, 9, {VOZ_DOC_END, 0}}});
}

TEST(ShortWord, PairReachedThroughTwoAlternativesIsGivenOnce) {
    NgramIndex ix(kDocs, 3);
    ASSERT_OK(ix.st);
    // "2" with alternatives "2" (itself again) and "0": the pairs of "2"
    // come through two combinations, those of "0" through one.
    Word word("2");
    VOZALTERENTRY alters[2];
    memset(alters, 0, sizeof alters);
    alters[0].count = 2;
    alters[0].alter[0].unit[0] = '2';
    alters[0].alter[1].unit[0] = '0';
    word.ext.alter_chars = alters;
    GTRSTATUS st{};
    Hits got = shortHits(ix.set(), &word.ext, st, 1);
    ASSERT_OK(st);
    Hits want = oracle(kDocs, "2");
    Hits zero = oracle(kDocs, "0");
    want.insert(want.end(), zero.begin(), zero.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
}

// Hand-made trigram index: keys beginning with "a", a start key (the
// word-start mark 8, then a unit), keys without postings.
SetSpec handSpec() {
    SetSpec spec;
    spec.keys.push_back({units("abc"), {{0, {1, 5}}, {2, {3}}}});
    spec.keys.push_back({units("abd"), {{0, {3}}, {1, {2, 7}}}});
    spec.keys.push_back({units("ab"), {{1, {9}}}});
    spec.keys.push_back({units("bcd"), {{0, {2}}}});
    spec.keys.push_back({std::string("\x08\0", 2) + units("a"), {{0, {1, 3}}, {1, {7}}, {2, {9}}}});
    spec.keys.push_back(stopKey("zzz"));
    spec.keys.push_back(stopKey("zza"));
    spec.docs = {0, 1, 2};
    return spec;
}

// The index of handSpec with its word-start mark value (basic-information
// byte 18) set as the builder sets it.
struct HandIndex : SpecIndex {
    HandIndex() : SpecIndex(handSpec()) {
        if (h != nullptr) set()->info.options[2] = 8;
    }
};

TEST(ShortWord, KeysOfTheRunOptionSAndStopWords) {
    HandIndex ix;
    ASSERT_OK(ix.st);
    struct Case {
        const char* text;
        char option;
        Hits hits;
        bool empty;
        uint8_t status;
        int32_t keys;
    } cases[] = {
        {"a", 0, {{0, 1}, {0, 3}, {0, 5}, {1, 2}, {1, 7}, {1, 9}, {2, 3}}, false, 0, 3},
        {"ab", 0, {{0, 1}, {0, 3}, {0, 5}, {1, 2}, {1, 7}, {1, 9}, {2, 3}}, false, 0, 3},
        {"a", 'S', {{0, 1}, {0, 3}, {1, 7}}, false, 0, 3},
        {"b", 0, {{0, 2}}, false, 0, 1},
        {"q", 0, {}, false, 0, 0},        // no key begins with it
        {"zz", 0, {}, true, 0x02, 0},     // only keys without postings: freed
        {"z", 'S', {}, false, 0, 0},      // no start key: nothing scanned
    };
    for (const Case& c : cases) {
        Word word(c.text);
        word.ext.wi.start_option = c.option;
        GTRSTATUS st{};
        _WCTLHEAD w = control();
        voz_GetShortWordInit_(&word.ext, &w, ix.set(), nullptr, 0, &st, 0);
        ASSERT_OK(st);
        auto* ctl = static_cast<VOZSHORTCTL*>(w.priv);
        EXPECT_EQ(ctl != nullptr ? ctl->keyCount : 0, c.keys) << c.text;
        EXPECT_EQ(walk(w, ix.set(), st, static_cast<int32_t>(strlen(c.text))), c.hits)
            << c.text << " option " << c.option;
        EXPECT_EQ(w.emptyFlag, c.empty ? 1 : 0) << c.text;
        EXPECT_EQ(st.retrieve_status, c.status) << c.text;
    }
}

TEST(ShortWord, WordStartTestAnsweringNoDropsOptionS) {
    HandIndex ix;
    ASSERT_OK(ix.st);
    Word word("a");
    word.ext.wi.start_option = 'S';
    word.ext.word_start_function = [](const uint8_t*, const uint8_t*) { return 'N'; };
    GTRSTATUS st{};
    EXPECT_EQ(shortHits(ix.set(), &word.ext, st, 1).size(), 7u);
    ASSERT_OK(st);
}

TEST(ShortWord, WriteAllWritesEveryHitAndEndsTheWord) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    Word word("0");
    std::vector<OCC> occs = writeAllHits(ix.set(), [&](_WCTLHEAD* w, ANSWERFORM* a, GTRSTATUS* st) {
        voz_GetShortWordInit_(&word.ext, w, ix.set(), a, 1, st, 0);
    });
    Hits got;
    for (const OCC& o : occs) {
        got.push_back({o.docno, o.pos});
        EXPECT_EQ(o.len, 1);
        EXPECT_EQ(o.match, 100);
    }
    EXPECT_EQ(got, (Hits{{1, 6}, {1, 8}, {3, 2}, {3, 4}}));
}

TEST(ShortWord, CountOnlyCountsKeysWithoutGathering) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    Word word("2");
    _WCTLHEAD w = control();
    GTRSTATUS st{};
    voz_GetShortWordInit_(&word.ext, &w, ix.set(), nullptr, 0, &st, 1);
    ASSERT_OK(st);
    auto* ctl = static_cast<VOZSHORTCTL*>(w.priv);
    ASSERT_NE(ctl, nullptr);
    EXPECT_EQ(ctl->keyCount, 2);  // "20" and "23"
    EXPECT_EQ(ctl->total, 0);
    w.nextHit(&w, ix.set(), nullptr, nullptr, VOZ_DOC_END, VOZ_RELEASE_POS, &st);
    EXPECT_EQ(w.priv, nullptr);
}

TEST(ShortWord, RandomDocumentsAgreeWithTheModel) {
    const uint32_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    for (int n : {2, 3}) {
        std::vector<std::string> docs = randomDocs(rng, 60, 40, "1234 ");
        NgramIndex ix(docs, n);
        ASSERT_OK(ix.st);
        for (int q = 0; q < 12; ++q) {
            std::string text;
            int len = 1 + static_cast<int>(rng() % static_cast<uint32_t>(n - 1));
            for (int i = 0; i < len; ++i) text += "1234 "[rng() % 5];
            Word word(text);
            GTRSTATUS st{};
            Hits got = shortHits(ix.set(), &word.ext, st, len);
            ASSERT_OK(st);
            ASSERT_EQ(got, oracle(docs, text)) << "n " << n << " word \"" << text << "\"";
        }
    }
}

TEST(ShortWord, SortOrdersByDocumentThenPosition) {
    const uint32_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    for (int32_t count : {0, 1, 2, 17, 1000}) {
        std::vector<SHORTOCC> pairs;
        for (int32_t i = 0; i < count; ++i)
            pairs.push_back({static_cast<int32_t>(rng() % 20), static_cast<int32_t>(rng() % 50)});
        std::vector<SHORTOCC> want = pairs;
        std::sort(want.begin(), want.end(), [](const SHORTOCC& a, const SHORTOCC& b) {
            return std::make_pair(a.document, a.position) < std::make_pair(b.document, b.position);
        });
        voz_SortShortWord(pairs.empty() ? nullptr : pairs.data(), count);
        for (int32_t i = 0; i < count; ++i) {
            EXPECT_EQ(pairs[i].document, want[i].document);
            EXPECT_EQ(pairs[i].position, want[i].position);
        }
    }
}

TEST(ShortWord, UnreadablePostingsFailAndHoldNothing) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    emptyPositionFile(ix.set());
    Word word("3");
    _WCTLHEAD w = control();
    GTRSTATUS st{};
    voz_GetShortWordInit_(&word.ext, &w, ix.set(), nullptr, 0, &st, 0);
    EXPECT_NE(st.retcode, 0);
    expectEnded(w);
}

}  // namespace
