// Fuzzy words over a mixed index (letter words of code page 1 are token
// keys whose candidates come through the key index; digit runs are
// n-grams), searched end to end with VOZ_Search_ over indexes built by the
// update cycle: percentages of exact and misspelt words, the similarity
// floor, transposed letters, words of two parts, stop words and the
// coverage filter.
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "search/voz_aimaimix.hpp"
#include "mix_fixture.hpp"

namespace {

using mixfix::addWord;
using mixfix::Word;
using s2fix::Corpus;
using s2fix::Outcome;
using s2fix::Query;

using mixfix::kF5;
using Docs = std::set<int32_t>;

struct Fuzzy : mixfix::MixTest {
    Outcome one(const std::string& text, int16_t similarity) {
        Query q;
        Word w{text};
        w.precision = similarity;
        q.op('O', {addWord(q, w)});
        return s2fix::run(h, q);
    }
    // The hits of the lookup itself (the search's result carries the
    // word's similarity as every occurrence's match grade).
    std::vector<OCC> hits(const std::string& text, int16_t similarity,
                          int64_t* phases = nullptr, char startOption = 0,
                          uint8_t code = 1, char leading = 0) {
        Query q;
        Word wd{text};
        wd.precision = similarity;
        addWord(q, wd, code, code == 1 ? 2 : 3);
        q.words[0].wi.start_option = startOption;
        memcpy(&q.words[0].leading, &leading, 1);
        q.finish();
        IDXINFO* index = &h->first.set0[0];
        IDXINFO* keyIndex = &h->first.set1[0];
        _WCTLHEAD w;
        memset(&w, 0, sizeof w);
        GTRSTATUS st{};
        voz_GetOneWordAimaiMixInit(&q.words[0], &w, index, keyIndex, nullptr, &st);
        EXPECT_EQ(st.retcode, 0) << st.errcode;
        std::vector<OCC> out;
        for (int guard = 0; guard < 1000 && w.nextHit != nullptr; ++guard) {
            w.nextHit(&w, index, keyIndex, nullptr, -1, -1, &st);
            EXPECT_EQ(st.retcode, 0) << st.errcode;
            if (w.priv != nullptr && phases != nullptr &&
                w.nextHit == voz_GetOneWordAimaiMix)
                *phases = static_cast<VOZAIMAIMIXCTL*>(w.priv)->positionPhases;
            if (w.cur.docno == VOZ_DOC_END) break;
            out.push_back(w.cur);
        }
        return out;
    }
    // The best match of the lookup's hits in document d (-1: none).
    int match(const std::vector<OCC>& v, int32_t d) {
        int best = -1;
        for (const OCC& x : v)
            if (x.docno == d && x.match > best) best = x.match;
        return best;
    }
};

TEST_F(Fuzzy, ExactAndMisspeltOnePartWords) {
    build(kF5);
    // The exact word: N units long, one part: 100.
    Outcome o = one("apple", 80);
    ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
    EXPECT_EQ(o.docs, (Docs{0, 1, 2, 4}));
    std::vector<OCC> v = hits("apple", 80);
    ASSERT_EQ(v.size(), 4u);
    for (const OCC& x : v) {
        EXPECT_EQ(x.match, 100);
        EXPECT_EQ(x.len, 5);
    }
    // A letter too many: the key "apple" matches at 83 (the word's n-gram
    // "ppp" is missing); "appple" is no key, so the exact path would find
    // nothing.
    o = one("appple", 80);
    ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
    EXPECT_EQ(o.docs, (Docs{0, 1, 2, 4}));
    for (const OCC& x : hits("appple", 80)) {
        EXPECT_EQ(x.match, 83);
        EXPECT_EQ(x.len, 5);  // the hit is the indexed word
    }
}

TEST_F(Fuzzy, HitsNeverFallBelowTheSimilarity) {
    build(kF5);
    struct Row {
        const char* word;
        int16_t similarity;
        Docs want;
    } rows[] = {
        {"appple", 83, {0, 1, 2, 4}},
        {"appple", 84, {}},
        {"banan", 80, {1, 3}},     // a key 1 unit longer: 99, not 100
        {"bananna", 60, {1, 3}},   // a candidate over 5 of 7 units: 71
        {"bnana", 50, {}},         // a candidate must begin with the word
        {"cherry", 50, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.word) + " at " + std::to_string(r.similarity));
        Outcome o = one(r.word, r.similarity);
        ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
        EXPECT_EQ(o.docs, r.want);
        for (const OCC& x : hits(r.word, r.similarity)) {
            EXPECT_GE(x.match, r.similarity);
            EXPECT_LE(x.match, 99);
        }
    }
}

// Two transposed letters score above two unrelated substitutions in the
// same places: the reversed n-gram stands in the key where the gap is.
TEST_F(Fuzzy, TransposedLettersScoreAboveSubstitutions) {
    build({"elephant", "table"});
    std::vector<OCC> swapped = hits("elehpant", 40);
    std::vector<OCC> replaced = hits("elexyant", 40);
    EXPECT_EQ(match(swapped, 0), 87);
    EXPECT_EQ(match(replaced, 0), 62);
    EXPECT_TRUE(match(swapped, 1) < 0 && match(replaced, 1) < 0);
}

// A word of two parts chains its candidate pieces: 100 only for a hit of
// N units that used both pieces; a gap costs its penalty.
TEST_F(Fuzzy, TwoPartWordsChainTheirPieces) {
    build(kF5);
    Outcome o = one("apple pear", 80);
    ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
    // doc 2 has both words in the wrong order, doc 1 only "apple" (5 of 9
    // units, below 80).
    EXPECT_EQ(o.docs, (Docs{0, 4}));
    std::vector<OCC> v = hits("apple pear", 80);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].docno, 0);
    EXPECT_EQ(v[0].match, 100);  // adjacent: N units, two pieces
    EXPECT_EQ(v[0].len, 9);
    EXPECT_EQ(v[1].docno, 4);
    EXPECT_EQ(v[1].match, 98);   // the '.' between them: a gap of one
    EXPECT_EQ(v[1].len, 10);
    // AND of two fuzzy words.
    Query q;
    Word a{"appple"}, b{"banan"};
    a.precision = b.precision = 80;
    q.op('A', {addWord(q, a), addWord(q, b)});
    EXPECT_EQ(s2fix::run(h, q).docs, (Docs{1}));
}

// A word split over two keys of a document: the head (the word's first
// units, ending its key) and the tail (the word's last units, beginning the
// next key) join as partners. A split hit uses two pieces for one part, so
// it reports 99, not 100. A lone head or tail, or a tail too far behind
// its head, yields nothing; with the word's leading flag byte 'N' no split
// is sought.
TEST_F(Fuzzy, SplitWordsJoinHeadAndTail) {
    build({"sun flower", "sunflower", "sun", "flower", "sun bright flower",
           "sun. flower", "flower sun"});
    using Hit = std::tuple<int32_t, int32_t, int, int>;  // doc, pos, len, %
    auto got = [](const std::vector<OCC>& v) {
        std::vector<Hit> out;
        for (const OCC& x : v) out.emplace_back(x.docno, x.pos, int(x.len), int(x.match));
        return out;
    };
    EXPECT_EQ(got(hits("sunflower", 80)),
              (std::vector<Hit>{{0, 1, 9, 99}, {1, 1, 9, 100}, {5, 1, 10, 98}}));
    EXPECT_EQ(got(hits("sunflower", 80, nullptr, 0, 1, 'N')),
              (std::vector<Hit>{{1, 1, 9, 100}}));
    EXPECT_EQ(one("sunflower", 80).docs, (Docs{0, 1, 5}));
}

// A side of a split shorter than one key-index n-gram (3 units) is found
// by exact lookup of those units once the other side is found: "ab" before
// "flower", "xy" after it.
TEST_F(Fuzzy, ShortSideOfASplitIsLookedUpWhole) {
    build({"ab flower", "flower xy", "flower", "cd flower", "flower xz"});
    struct Row {
        const char* word;
        int16_t similarity;
        Docs want;
    } rows[] = {{"abflower", 80, {0}}, {"flowerxy", 80, {1}}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.word);
        std::vector<OCC> v = hits(r.word, r.similarity);
        Docs d;
        for (const OCC& x : v) {
            d.insert(x.docno);
            EXPECT_GE(x.match, r.similarity);
            EXPECT_LE(x.match, 99);
        }
        EXPECT_EQ(d, r.want);
        EXPECT_TRUE(hits(r.word, r.similarity, nullptr, 0, 1, 'N').empty());
    }
}

// A fuzzy word's document count comes from the counts kept with its keys:
// the smallest of its pieces' largest, or its whole-word keys' largest.
// Estimate-only searches of words of several parts take the exact lookup,
// which reads its first piece's keys: nothing for a misspelt word.
TEST_F(Fuzzy, DocumentCountsFromTheKeys) {
    build(kF5);
    struct Row {
        const char* word;
        int32_t count;     // searched at 80
        int32_t estimate;  // estimate-only
    } rows[] = {{"apple", 4, 4}, {"appple", 4, 0}, {"apple pear", 3, 4},
                {"banan", 2, 0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.word);
        Outcome o = one(r.word, 80);
        ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
        EXPECT_EQ(o.wordCounts[0], r.count);
        Query q;
        Word w{r.word};
        w.precision = 80;
        q.op('O', {addWord(q, w)});
        s2fix::Options est;
        est.estimateOnly = 1;
        Outcome e = s2fix::run(h, q, est);
        ASSERT_EQ(e.st.retcode, 0) << e.st.errcode;
        EXPECT_EQ(e.estimates[0], r.estimate);
    }
}

TEST_F(Fuzzy, StopWordMatchesEveryDocument) {
    build(kF5, {"pear"});
    Outcome o = one("pear", 80);
    ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
    EXPECT_EQ(o.docs, (Docs{0, 1, 2, 3, 4}));
    EXPECT_EQ(o.st.retrieve_status & 0x02, 0x02);
}

// Digit runs are n-gram pieces. At similarity 50 a 10-unit word needs 5
// covered units: a document holding only 4 of them is skipped before any
// chain is built. (A one-part digit word does not take the mixed path of
// the dispatch, so the lookup is called directly.)
TEST_F(Fuzzy, CoverageFilterSkipsThinDocuments) {
    build({"1234", "1234567890", "12345"});
    int64_t phases = 0;
    std::vector<OCC> v = hits("1234567890", 50, &phases);
    EXPECT_EQ(phases, 2);  // documents 1 and 2 only
    ASSERT_EQ(v.size(), 2u);
    // Nine n-gram pieces for a word of one part: 99, never 100; "12345"
    // covers half the word.
    EXPECT_EQ(v[0].docno, 1);
    EXPECT_EQ(v[0].match, 99);
    EXPECT_EQ(v[0].len, 10);
    EXPECT_EQ(v[1].docno, 2);
    EXPECT_EQ(v[1].match, 50);
}

// Hits of one document are thinned: a later hit whose percentage is no
// higher and that ends no later than the last one delivered is left out.
// "1212" over "1212": chains at 1 (50%, 2 units), 2 (75%, 3 units) and 3
// (50%, ending with the second) -- the third is not delivered.
TEST_F(Fuzzy, HitEndingInsideAnEqualOrBetterOneIsDropped) {
    build({"1212"});
    std::vector<OCC> v = hits("1212", 40);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(std::make_tuple(v[0].pos, int(v[0].len), int(v[0].match)),
              std::make_tuple(1, 2, 50));
    EXPECT_EQ(std::make_tuple(v[1].pos, int(v[1].len), int(v[1].match)),
              std::make_tuple(2, 3, 75));
}

// UTF-8 text: kanji runs are other parts, searched by n-gram pieces. With
// the start option a chain must begin where its first piece's start-unit
// twin (its first unit after a word-start mark) stands; these texts give
// the index no word-start keys, so nothing is confirmed.
TEST_F(Fuzzy, Utf8NgramPiecesAndTheStartOption) {
    GTRSTATUS st{};
    mixfix::build(c, {"\u6771\u4eac", "\u5357\u6771\u4eac", "\u5357"},
                  mixfix::parm(34), st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    h = c.open(st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    const std::string word = "\u6771\u4eac";
    std::vector<OCC> v = hits(word, 80, nullptr, 0, 34);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(std::make_tuple(v[0].docno, v[0].pos, int(v[0].len)),
              std::make_tuple(0, 1, 2));
    EXPECT_EQ(std::make_tuple(v[1].docno, v[1].pos, int(v[1].len)),
              std::make_tuple(1, 2, 2));
    EXPECT_TRUE(hits(word, 80, nullptr, 'S', 34).empty());
}

// Ending the word after its first hit releases every piece (the sanitizer
// build checks for leaks); a word that cannot match holds nothing.
TEST_F(Fuzzy, EndingEarlyReleasesEverything) {
    build(kF5);
    for (const char* text : {"apple pear", "appple", "zzzzzz"}) {
        SCOPED_TRACE(text);
        Query q;
        Word wd{text};
        wd.precision = 80;
        addWord(q, wd);
        q.finish();
        IDXINFO* index = &h->first.set0[0];
        _WCTLHEAD w;
        memset(&w, 0, sizeof w);
        GTRSTATUS st{};
        voz_GetOneWordAimaiMixInit(&q.words[0], &w, index, &h->first.set1[0],
                                   nullptr, &st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        ASSERT_NE(w.nextHit, nullptr);
        w.nextHit(&w, index, nullptr, nullptr, -1, -1, &st);
        w.nextHit(&w, index, nullptr, nullptr, VOZ_DOC_END, VOZ_RELEASE_POS, &st);
        EXPECT_EQ(st.retcode, 0) << st.errcode;
        EXPECT_EQ(w.priv, nullptr);
        EXPECT_EQ(w.cur.docno, VOZ_DOC_END);
    }
}

}  // namespace
