// Exact lookup with alternate characters and option 'S': hits against a
// substring scan over every spelling the alternatives allow, hits only at
// word starts, the estimate set-up and its end, and the whole search over
// corpus D5.
#include <algorithm>
#include <set>

#include "search/voz_exactalter.hpp"
#include "search/voz_rtrvwords.hpp"
#include "search2_fixture.hpp"
#include "startmark_fixture.hpp"

using namespace startfix;

namespace {

const std::vector<std::string> kDocs = {
    "123 456. 789", "123 2020", "456 789 123", "2020", "3131 123. 456",
    "12312312", "aaaaaa", "153 1x3"};

Hits alterHits(IDXINFO* set, RTRVWORDEXT* word, GTRSTATUS& st) {
    _WCTLHEAD w = control();
    voz_GetOneWordExactAlterInit(word, &w, set, nullptr, &st, 0);
    return walk(w, set, st, word->wi.wordlen / 2);
}

// Sorted union of the oracle's hits of every spelling.
Hits oracleOf(const std::vector<std::string>& spellings) {
    std::set<Hit> all;
    for (const std::string& s : spellings)
        for (const Hit& h : oracle(kDocs, s)) all.insert(h);
    return Hits(all.begin(), all.end());
}

TEST(ExactAlterLookup, HitsEqualTheScanOfEverySpelling) {
    struct Alt {
        size_t unit;
        char c;
    };
    struct Case {
        const char* word;
        std::vector<Alt> alts;
        std::vector<std::string> spellings;
    };
    const std::vector<Case> cases = {
        {"153", {{1, '2'}}, {"153", "123"}},
        {"1x3", {{1, '2'}, {1, '5'}}, {"1x3", "123", "153"}},
        {"2o2o", {{1, '0'}, {3, '0'}}, {"2020", "2o20", "202o", "2o2o"}},
        {"aaab", {{3, 'a'}}, {"aaaa", "aaab"}},
        {"2021", {{3, '0'}}, {"2020", "2021"}},
        {"999", {{0, '1'}}, {"999", "199"}},
        {"9999", {}, {"9999"}},
        {"45x. 7", {{2, '6'}}, {"456. 7", "45x. 7"}},
    };
    for (int n : {2, 3}) {
        NgramIndex ix(kDocs, n);
        ASSERT_OK(ix.st);
        for (const Case& c : cases) {
            Word word(c.word);
            Alternates alt(strlen(c.word));
            for (const Alt& a : c.alts) alt.add(a.unit, a.c, 80);
            word.ext.alter_chars = alt.table.data();
            GTRSTATUS st{};
            Hits got = alterHits(ix.set(), &word.ext, st);
            ASSERT_OK(st);
            EXPECT_EQ(got, oracleOf(c.spellings)) << "n " << n << " word " << c.word;
        }
    }
}

TEST(ExactAlterLookup, TargetsBelowTheCurrentHitKeepItAndLargeOnesEnd) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    Word word("153");
    Alternates alt(3);
    alt.add(1, '2', 80);
    word.ext.alter_chars = alt.table.data();
    _WCTLHEAD w = control();
    GTRSTATUS st{};
    voz_GetOneWordExactAlterInit(&word.ext, &w, ix.set(), nullptr, &st, 0);
    ASSERT_OK(st);
    runSteps(w, ix.set(), {{2, 0, {2, 9}}, {1, 0, {2, 9}}, {4, 6, {4, 6}},
                           {5, 2, {5, 4}}, {-1, 0, {7, 1}},
                           {7, 2, {VOZ_DOC_END, 0}}});
}

// Every (document, position) where each unit of the word equals the typed
// unit or one of its alternatives.
Hits alterOracle(const std::vector<std::string>& docs, const std::string& word,
                 const Alternates& alt) {
    Hits h;
    for (size_t d = 0; d < docs.size(); ++d)
        for (size_t at = 0; at + word.size() <= docs[d].size(); ++at) {
            bool all = true;
            for (size_t u = 0; all && u < word.size(); ++u) {
                char c = docs[d][at + u];
                bool one = c == word[u];
                const VOZALTERENTRY& e = alt.table[u];
                for (int32_t k = 0; !one && k < e.count; ++k)
                    one = c == static_cast<char>(e.alter[k].unit[0]);
                all = one;
            }
            if (all) h.push_back({static_cast<int32_t>(d), static_cast<int32_t>(at + 1)});
        }
    return h;
}

TEST(ExactAlterLookup, RandomWordsAndAlternativesMatchAScan) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    const std::string alphabet = "abcd ";
    for (int round = 0; round < 3; ++round) {
        int n = 2 + round % 2;
        std::vector<std::string> docs = randomDocs(rng, 12, 40, alphabet);
        NgramIndex ix(docs, n);
        ASSERT_OK(ix.st);
        for (int q = 0; q < 25; ++q) {
            std::string text;
            size_t len = static_cast<size_t>(n) + rng() % 4;
            for (size_t i = 0; i < len; ++i) text += alphabet[rng() % 4];
            Word word(text);
            Alternates alt(len);
            for (size_t u = 0; u < len; ++u)
                for (int k = static_cast<int>(rng() % 3); k > 0; --k)
                    alt.add(u, alphabet[rng() % 5], 80);
            word.ext.alter_chars = alt.table.data();
            GTRSTATUS st{};
            EXPECT_EQ(alterHits(ix.set(), &word.ext, st), alterOracle(docs, text, alt))
                << "seed " << seed << " round " << round << " word \"" << text << "\"";
            ASSERT_OK(st);
        }
    }
}

// Option 'S' keeps the hits at a word start; a word-start test that says
// the word cannot begin at a word start lifts the option.
char neverAtStart(const uint8_t*, const uint8_t*) { return 'N'; }

TEST(ExactAlterLookup, StartOptionKeepsHitsAtWordStarts) {
    const std::vector<std::string> docs = {"123 4123", "x123 123", "123", "a1234"};
    for (int n : {2, 3}) {
        StartIndex ix(docs, n);
        ASSERT_OK(ix.st);
        Word word("123");
        word.ext.wi.start_option = 'S';
        GTRSTATUS st{};
        EXPECT_EQ(alterHits(ix.set(), &word.ext, st), (Hits{{0, 1}, {1, 6}, {2, 1}}))
            << n;
        ASSERT_OK(st);
        word.ext.word_start_function = neverAtStart;
        EXPECT_EQ(alterHits(ix.set(), &word.ext, st),
                  (Hits{{0, 1}, {0, 6}, {1, 2}, {1, 6}, {2, 1}, {3, 2}}));
        ASSERT_OK(st);
        // With alternatives as well: "923" where 9 may be 1.
        Word alt9("923");
        alt9.ext.wi.start_option = 'S';
        Alternates alt(3);
        alt.add(0, '1', 100);
        alt9.ext.alter_chars = alt.table.data();
        EXPECT_EQ(alterHits(ix.set(), &alt9.ext, st), (Hits{{0, 1}, {1, 6}, {2, 1}}));
        ASSERT_OK(st);
    }
    // No word starts in the index at all: no hits.
    NgramIndex plain(docs, 2);
    ASSERT_OK(plain.st);
    Word word("123");
    word.ext.wi.start_option = 'S';
    GTRSTATUS st{};
    EXPECT_EQ(alterHits(plain.set(), &word.ext, st), Hits{});
    ASSERT_OK(st);
}

TEST(ExactAlterLookup, EstimateSetUpReadsNoPostingAndEndsCleanly) {
    NgramIndex ix(kDocs, 2);
    ASSERT_OK(ix.st);
    Word word("153");
    Alternates alt(3);
    alt.add(1, '2', 80);
    word.ext.alter_chars = alt.table.data();
    _WCTLHEAD w = control();
    GTRSTATUS st{};
    voz_GetOneWordExactAlterInit(&word.ext, &w, ix.set(), nullptr, &st, 1);
    ASSERT_OK(st);
    const auto* ctl = static_cast<const VOZEXALTCTL*>(w.priv);
    ASSERT_NE(ctl, nullptr);
    int32_t estimate = -1;
    voz_GetDocFreqByGctl(ctl->groups, ctl->groupCount, &estimate);
    // "12" stands in documents 0, 1, 2, 4, 5; "23" in the same.
    EXPECT_EQ(estimate, 5);
    voz_TermExpForSelectivityAlter(&word.ext, &w, ix.set(), nullptr, nullptr, &st);
    ASSERT_OK(st);
    expectEnded(w);
    // A piece with no key: the word ends at once, without error.
    Word none("9x9");
    Alternates alt2(3);
    alt2.add(1, '8', 80);
    none.ext.alter_chars = alt2.table.data();
    _WCTLHEAD w2 = control();
    voz_GetOneWordExactAlterInit(&none.ext, &w2, ix.set(), nullptr, &st, 1);
    ASSERT_OK(st);
    expectEnded(w2);
}

}  // namespace

namespace {

// Through the search, over corpus D5: "153" whose middle unit may be '2'.
TEST(ExactAlterSearch, AlternatesThroughTheSearch) {
    const std::vector<std::string> d5 = {"123 456. 789", "123 2020", "456 789 123",
                                         "2020", "3131 123. 456"};
    s2fix::Corpus corpus;
    GTRSTATUS st{};
    corpus.cycle('N', 0, d5, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    VOZSEARCH* h = corpus.open(st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    s2fix::Query unit;  // the normalised unit of '2'
    unit.word("2");
    s2fix::Query q;
    int32_t x = q.word("153");
    q.op('O', {x});
    Alternates alt(3);
    alt.add(1, '2', 80);
    memcpy(alt.table[1].alter[0].unit, unit.texts[0].data(), 2);
    q.words[static_cast<size_t>(x)].alter_chars = alt.table.data();
    s2fix::Outcome r = s2fix::run(h, q);
    EXPECT_EQ(r.st.retcode, 0) << r.st.errcode;
    EXPECT_EQ(r.docs, (std::set<int32_t>{0, 1, 2, 4}));
    s2fix::Options o;
    o.estimateOnly = 1;
    r = s2fix::run(h, q, o);
    EXPECT_EQ(r.st.retcode, 0) << r.st.errcode;
    EXPECT_EQ(r.estimates[0], 4);
    s2fix::closeHandle(h);
}

}  // namespace
