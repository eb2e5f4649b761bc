// Equal words over character items through whole searches (both halves
// open): masks, the three key kinds (letters as variable keys through the
// key index, digit runs as n-gram chunks, short prefixes), item numbers
// and occurrence rounds, one occurrence per region, the refusals, and a
// randomized comparison with a glob match of each pattern.
#include <cctype>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "search/voz_itemword.hpp"
#include "item_fixture.hpp"

using itemfix::chr;
using itemfix::Item;
using itemfix::ItemIndex;

namespace {

s2fix::Outcome searchEqual(VOZSEARCH* h, int16_t number,
                           const std::string& pattern,
                           int32_t byPosition = 1, char casesens = 'C',
                           const GTRCREATEPARM* prepare = nullptr) {
    s2fix::Query q;
    const int32_t slot =
        itemfix::equalWord(q, number, pattern, casesens, prepare);
    q.words[static_cast<size_t>(slot)].eq_by_position = byPosition;
    q.op('O', {slot});
    return s2fix::run(h, q);
}

// Glob match: '*' any run, '?' one character; `anyCase` compares the
// letters without case.
bool glob(const char* p, const char* s, bool anyCase = false) {
    if (*p == 0) return *s == 0;
    if (*p == '*')
        return glob(p + 1, s, anyCase) || (*s != 0 && glob(p, s + 1, anyCase));
    if (*s == 0) return false;
    const bool same = anyCase ? tolower(*p) == tolower(*s) : *p == *s;
    return (*p == '?' || same) && glob(p + 1, s + 1, anyCase);
}

// The glob an equal word stands for: masks that lead an any-length mask
// do not constrain where the first part starts.
std::string oracleOf(const std::string& pattern) {
    if (pattern.empty() || pattern[0] != '*') return pattern;
    const size_t first = pattern.find_first_not_of("*?");
    return "*" + (first == std::string::npos ? "" : pattern.substr(first));
}

class EqualWordSearch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ix = new ItemIndex;
        GTRSTATUS st{};
        ix->build({{chr(5, "abcd")},
                   {chr(5, "abccd")},
                   {chr(5, "abxy")},
                   {chr(5, "xxcd")},
                   {chr(6, "abcd")},                    // another number
                   {chr(5, "ab")},
                   {chr(5, "12345")},
                   {chr(5, "a1234")},
                   {chr(5, "abab")},
                   {chr(5, "x9cd"), chr(5, "abzd")},    // two rounds
                   {chr(7, "ab"), chr(5, "qq")},
                   {}},
                  st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        h = ix->openBoth(st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
    }
    static void TearDownTestSuite() {
        GTRSTATUS st{};
        if (h != nullptr) VOZ_SearchRelease(&h, &st);
        h = nullptr;
        delete ix;
        ix = nullptr;
    }
    static ItemIndex* ix;
    static VOZSEARCH* h;
};

ItemIndex* EqualWordSearch::ix = nullptr;
VOZSEARCH* EqualWordSearch::h = nullptr;

TEST_F(EqualWordSearch, MasksKeyKindsAndItemNumbers) {
    struct Row {
        int16_t number;
        const char* pattern;
        std::set<int32_t> docs;
    };
    const std::vector<Row> rows = {
        {5, "ab?d", {0, 9}},                  // not "abccd"
        {5, "abcd", {0}},
        {5, "ab*", {0, 1, 2, 5, 8, 9}},       // items beginning with "ab"
        {5, "*cd", {0, 1, 3, 9}},             // items ending in "cd"
        {5, "*ab*", {0, 1, 2, 5, 8, 9}},
        {5, "a*a*", {8}},
        {5, "?b*", {0, 1, 2, 5, 8, 9}},
        {5, "ab", {5}},
        {5, "*", {0, 1, 2, 3, 5, 6, 7, 8, 9, 10}},
        {6, "abcd", {4}},                     // only under its own number
        {6, "ab*", {4}},
        {7, "ab", {10}},
        // A digit run is n-grams: 5 units in chunks of 2, the last one
        // overlapping; short prefixes and masks inside the run.
        {5, "12345", {6}},
        {5, "*12345*", {6}},
        {5, "*2345", {6}},
        {5, "1234*", {6}},
        {5, "1?345", {6}},
        {5, "12?45", {6}},
        {5, "?2345", {6}},
        {5, "1234", {}},
        {5, "*234*", {6, 7}},
        {5, "a1234", {7}},
        {5, "a*4", {7}},
        {5, "x?cd", {3, 9}},
        {5, "zz*", {}},
    };
    for (const Row& r : rows) {
        s2fix::Outcome o = searchEqual(h, r.number, r.pattern);
        EXPECT_EQ(o.st.retcode, 0) << r.pattern << " " << o.st.errcode;
        EXPECT_EQ(o.docs, r.docs) << r.number << " " << r.pattern;
    }
}

// An equal word's control over the item half's main set, driven through
// its next-hit operation (the search hands item words on as documents).
struct WordOnHalf {
    s2fix::Query q;
    _WCTLHEAD w{};
    IDXINFO* index;
    IDXINFO* keyIndex;
    GTRSTATUS st{};
    WordOnHalf(VOZSEARCH* h, int16_t number, const std::string& pattern)
        : index(&h->second.set0[0]), keyIndex(&h->second.set1[0]) {
        const int32_t slot = itemfix::equalWord(q, number, pattern);
        q.finish();
        voz_GetEqualWordInit(&q.words[static_cast<size_t>(slot)], &w, index,
                             keyIndex, nullptr, &st);
    }
    int32_t next(int32_t doc, int32_t pos) {
        w.nextHit(&w, index, keyIndex, nullptr, doc, pos, &st);
        return w.cur.docno;
    }
};

// Every occurrence, taken with resumes; the word then holds nothing.
std::vector<OCC> wordHits(VOZSEARCH* h, int16_t number,
                          const std::string& pattern) {
    WordOnHalf e(h, number, pattern);
    std::vector<OCC> hits;
    for (int guard = 0; guard < 1000 && e.st.retcode == 0; ++guard) {
        if (e.next(-1, 0) == VOZ_DOC_END) break;
        hits.push_back(e.w.cur);
    }
    EXPECT_EQ(e.st.retcode, 0) << e.st.errcode;
    EXPECT_EQ(e.w.priv, nullptr) << "the word released what it held";
    return hits;
}

TEST_F(EqualWordSearch, OccurrencesCoverTheMatchedText) {
    // "b?d" in "abzd" (round 1 of item 5: its key starts at 33020 + 5 x 130
    // - 129 with the start mark): the match starts at 'b', 3 units long.
    std::vector<OCC> hits = wordHits(h, 5, "*b?d");
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].docno, 0);
    EXPECT_EQ(hits[0].pos, 5 * 130 - 129 + 2);
    EXPECT_EQ(hits[1].docno, 9);
    EXPECT_EQ(hits[1].pos, 33020 + 5 * 130 - 129 + 2);
    EXPECT_EQ(hits[1].len, 3);
    EXPECT_EQ(hits[1].match, 100);
    // Marks are not part of the occurrence: "12345" is 5 units from the
    // first digit.
    hits = wordHits(h, 5, "12345");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].pos, 5 * 130 - 129 + 1);
    EXPECT_EQ(hits[0].len, 5);
    // "abab" holds "ab" twice in one slot: one occurrence.
    int32_t inDoc8 = 0;
    for (const OCC& x : wordHits(h, 5, "*ab*")) inDoc8 += x.docno == 8;
    EXPECT_EQ(inDoc8, 1);
}

TEST_F(EqualWordSearch, TargetsBeforeThePassedPointStartOver) {
    // Asked again from an earlier point, the word gives the same
    // occurrences as on its first pass.
    WordOnHalf e(h, 5, "ab*");
    EXPECT_EQ(e.next(8, 1), 8);
    EXPECT_EQ(e.next(3, 1), 8);  // below the current document: unchanged
    EXPECT_EQ(e.next(8, 1), 8);  // the same document again
    EXPECT_EQ(e.next(9, 1), 9);
    EXPECT_EQ(e.next(-1, 0), VOZ_DOC_END);  // resume: no more
    EXPECT_EQ(e.st.retcode, 0) << e.st.errcode;
    EXPECT_EQ(e.w.priv, nullptr);
}

TEST_F(EqualWordSearch, SentenceModeOverItemsWithoutBoundaries) {
    // Items have no sentence ends: a document is one region, and the marks
    // still carry the item number.
    EXPECT_EQ(searchEqual(h, 5, "ab?d", 0).docs, (std::set<int32_t>{0, 9}));
    EXPECT_EQ(searchEqual(h, 6, "ab*", 0).docs, (std::set<int32_t>{4}));
}

TEST_F(EqualWordSearch, RefusedWords) {
    for (int which = 0; which < 2; ++which) {
        s2fix::Query q;
        const int32_t slot = itemfix::equalWord(q, 5, "ab*");
        if (which == 0) q.words[static_cast<size_t>(slot)].eq_limit1 = 0;
        else q.words[static_cast<size_t>(slot)].eq_limit2 = 0;
        q.op('O', {slot});
        s2fix::Outcome o = s2fix::run(h, q);
        S2_STATUS(o.st, 17, 301);
    }
    s2fix::Query q;
    q.op('O', {q.add('S', {})});
    S2_STATUS(s2fix::run(h, q).st, 50, 391);
}

TEST_F(EqualWordSearch, AndAndOrOfTwoEqualWords) {
    s2fix::Query q;
    const int32_t a = itemfix::equalWord(q, 5, "ab*");
    const int32_t b = itemfix::equalWord(q, 5, "*d");
    q.op('A', {a, b});
    EXPECT_EQ(s2fix::run(h, q).docs, (std::set<int32_t>{0, 1, 9}));
    s2fix::Query n;
    const int32_t c = itemfix::equalWord(n, 5, "ab*");
    const int32_t d = itemfix::equalWord(n, 7, "ab");
    n.op('O', {c, d});
    EXPECT_EQ(s2fix::run(h, n).docs, (std::set<int32_t>{0, 1, 2, 5, 8, 9, 10}));
}

TEST(EqualWordBoundary, SentenceRegionsAreTheBlocksOfTheSentenceKey) {
    // Over a text index with sentence ends, the region of every position
    // (asked in order, and again from the start of a document) is the
    // block the block reader finds on the same key.
    s2fix::Corpus c;
    GTRSTATUS st{};
    c.cycle('N', 0, {"11. 22. 33", "44 55", "66. 77. 88. 99", "x"}, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    VOZSEARCH* h = c.open(st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    IDXINFO* index = &h->first.set0[0];
    FORBOUNDARY b{};
    b.index = index;
    voz_BoundaryInitSentence(&b, &st);
    int32_t boundaries = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (int32_t doc = 0; doc < 4; ++doc) {
            BLOCKCTL blocks{};
            voz_InitForGetBlock(index, &blocks, 0, &st);
            VVGDOCINFO info{};
            info.vvgEnd = VOZ_VVG_NONE_END;
            for (int32_t pos = 1; pos <= 16; ++pos) {
                int32_t start = 0, end = 0, limit = 0;
                voz_BoundaryGetSentence(&b, doc, pos, &start, &end, &limit, &st);
                OCC occ{};
                occ.docno = doc;
                occ.pos = pos;
                info.docNo = info.vvgId = doc;
                info.relPos = pos;
                voz_GetBlock(index, &blocks, &occ, &info, &st);
                ASSERT_EQ(st.retcode, 0) << st.errcode;
                EXPECT_EQ(std::make_pair(start, end),
                          std::make_pair(blocks.blockStart, blocks.blockEnd))
                    << "doc " << doc << " pos " << pos;
                EXPECT_LE(start, pos);
                EXPECT_LT(pos, end);
                EXPECT_EQ(limit, 1);
                boundaries += start > 1 && start == pos;
            }
            voz_TermForGetBlock(&blocks);
        }
    }
    EXPECT_EQ(boundaries, 2 * 5) << "every sentence end was seen";
    voz_BoundaryTermSentence(&b);
    VOZ_SearchRelease(&h, &st);
}

TEST(EqualWordRandom, DocumentsEqualAGlobOverTheItemsOfTheNumber) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    // Items and patterns in both cases; words with and without case, the
    // latter prepared as the search call prepares them (case-folded).
    const char* letters = "abcAB";
    std::vector<std::vector<Item>> docs(40);
    for (auto& d : docs) {
        const int items = static_cast<int>(rng() % 4);
        for (int i = 0; i < items; ++i) {
            std::string t;
            const int len = 1 + static_cast<int>(rng() % 8);
            for (int k = 0; k < len; ++k)
                t += letters[rng() % (rng() % 2 == 0 ? 3 : 5)];
            d.push_back(chr(static_cast<int16_t>(1 + rng() % 3), t));
        }
    }
    ItemIndex ix;
    GTRSTATUS st{};
    ix.build(docs, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    VOZSEARCH* h = ix.openBoth(st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    for (int round = 0; round < 160; ++round) {
        std::string pattern;
        const int len = 1 + static_cast<int>(rng() % 6);
        for (int k = 0; k < len; ++k) {
            const uint32_t c = rng() % 7;
            pattern += c == 0 ? '*' : c == 1 ? '?' : letters[c - 2];
        }
        const int16_t number = static_cast<int16_t>(1 + rng() % 3);
        const char casesens = rng() % 2 == 0 ? 'C' : 'N';
        std::set<int32_t> want;
        const std::string oracle = oracleOf(pattern);
        for (size_t d = 0; d < docs.size(); ++d)
            for (const Item& it : docs[d])
                if (it.number == number &&
                    glob(oracle.c_str(), it.text.c_str(), casesens == 'N'))
                    want.insert(static_cast<int32_t>(d));
        s2fix::Outcome o =
            searchEqual(h, number, pattern, 1, casesens,
                        casesens == 'N' ? &ix.itemParm : nullptr);
        ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
        ASSERT_EQ(o.docs, want) << "seed " << seed << " round " << round
                                << " pattern " << pattern << " " << casesens
                                << " number " << number;
    }
    VOZ_SearchRelease(&h, &st);
}

}  // namespace
