// Exact, truncated, stemmed and wildcard words over a mixed index (letter
// words of code page 1 are token keys looked up through the key index),
// searched end to end with VOZ_Search_ over indexes built by the update
// cycle: corpus F5, wildcard expansion limits, stop words, the long-word
// warning and estimate-only searches.
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "search/voz_exactmix.hpp"
#include "search/voz_rtrvwords.hpp"
#include "mix_fixture.hpp"

namespace {

using mixfix::addWord;
using mixfix::Word;
using s2fix::Corpus;
using s2fix::Options;
using s2fix::Outcome;
using s2fix::Query;

using mixfix::kF5;
using Docs = std::set<int32_t>;
const Docs kAll = {0, 1, 2, 3, 4};

struct MixIndex : mixfix::MixTest {
    Outcome one(const Word& w, const Options& o = Options()) {
        Query q;
        q.op('O', {addWord(q, w)});
        return s2fix::run(h, q, o);
    }
};

TEST_F(MixIndex, CorpusF5Table) {
    build(kF5);
    struct Row {
        const char* name;
        Word a;
        char op;  // 0 = the word alone
        Word b;
        Docs want;
    };
    const Row rows[] = {
        {"apple", {"apple"}, 0, {}, {0, 1, 2, 4}},
        {"and", {"apple"}, 'A', {"pear"}, {0, 2, 4}},
        {"or", {"apple"}, 'O', {"banana"}, kAll},
        {"not", {"apple"}, 'N', {"pear"}, {1}},
        {"distance", {"apple"}, 'D', {"pear"}, {0, 2}},
        {"appl", {"appl"}, 0, {}, {}},
        {"appl rear", {"appl", 0, 5}, 0, {}, {0, 1, 2, 4}},
        {"pple front", {"pple", 5, 0}, 0, {}, {0, 1, 2, 4}},
        {"stemmed apples", {"apples", 0, 0, true}, 0, {}, {0, 1, 2, 4}},
        {"absent", {"cherry"}, 0, {}, {}},
        {"and absent", {"apple"}, 'A', {"cherry"}, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Query q;
        int32_t a = addWord(q, r.a);
        if (r.op != 0) {
            int32_t b = addWord(q, r.b);
            q.op(r.op, {a, b});
        } else {
            q.op('O', {a});
        }
        Outcome o = s2fix::run(h, q);
        EXPECT_EQ(o.st.retcode, 0) << o.st.errcode;
        EXPECT_EQ(o.docs, r.want);
    }
}

// Hits of truncated words start and end inside the indexed word.
TEST_F(MixIndex, TruncatedHitsCoverTheirUnits) {
    build(kF5);
    struct Row {
        Word w;
        int32_t pos, len;  // hit of document 1 ("apple banana")
    } rows[] = {{{"apple"}, 1, 5}, {{"appl", 0, 5}, 1, 4},
                {{"pple", 5, 0}, 2, 4}, {{"ppl", 5, 5}, 2, 3},
                {{"apple", 0, 0, true}, 1, 5}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.w.text);
        Outcome o = one(r.w);
        ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
        ASSERT_FALSE(o.occs.empty());
        bool seen = false;
        for (const OCC& x : o.occs) {
            if (x.docno != 1) continue;
            seen = true;
            EXPECT_EQ(x.pos, r.pos);
            EXPECT_EQ(x.len, r.len);
            EXPECT_EQ(x.match, 100);
        }
        EXPECT_TRUE(seen);
    }
    // Too little truncation allowed: "pp" lies 1 unit from each end.
    EXPECT_TRUE(one({"pp", 0, 9}).docs.empty());
    EXPECT_TRUE(one({"pp", 9, 0}).docs.empty());
    EXPECT_EQ(one({"pp", 1, 2}).docs, (Docs{0, 1, 2, 4}));
}

TEST_F(MixIndex, WildcardExpansion) {
    build(kF5);
    struct Row {
        const char* name;
        Word w;
        int32_t expansion;
        Docs want;
        size_t occs;
        bool overflow;
    } rows[] = {
        {"p* both keys", {"p*"}, 0, {0, 2, 4}, 5, false},
        {"limit 1 keeps pear", {"p*"}, 1, {0, 2, 4}, 3, true},
        {"limit 2 takes both", {"p*"}, 2, {0, 2, 4}, 5, false},
        {"one-mask", {"pl?m"}, 0, {0, 2}, 2, false},
        {"one-mask wrong width", {"p?m"}, 0, {}, 0, false},
        {"inner any-mask", {"b*a"}, 0, {1, 3}, 2, false},
        {"leading any-mask", {"*ear"}, 0, {0, 2, 4}, 3, false},
        {"no key", {"x*"}, 0, {}, 0, false},
        {"wildcard at 90", {"p*", 0, 0, false, 90}, 0, {0, 2, 4}, 5, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Options o;
        o.expansion = r.expansion;
        Outcome out = one(r.w, o);
        ASSERT_EQ(out.st.retcode, 0) << out.st.errcode;
        EXPECT_EQ(out.docs, r.want);
        EXPECT_EQ(out.occs.size(), r.occs);
        EXPECT_EQ((out.st.retrieve_status & 0x01) != 0, r.overflow);
        EXPECT_EQ(out.st.limit_mark, r.overflow ? 0x01 : 0x00);
    }
}

// A wildcard piece at an end the word is truncated at is refused.
TEST_F(MixIndex, TruncatedEndThatIsAWildcardIsRefused) {
    build(kF5);
    for (const Word& w : {Word{"app*", 0, 3}, Word{"*ple", 3, 0}}) {
        SCOPED_TRACE(w.text);
        Outcome o = one(w);
        EXPECT_EQ(o.st.retcode, 17);
        EXPECT_EQ(o.st.errcode, VOZ_EC_MIX_TRUNC_WILD);
    }
}

// Below similarity 100 a mask beside a cut keeps the wildcard lookup; a
// word without one prefers the fuzzy lookup.
TEST_F(MixIndex, FuzzyPreferenceOfMixedWords) {
    struct Row {
        const char* text;
        int16_t precision;
        int32_t fuzzy;
    } rows[] = {{"p*", 90, 0}, {"pl?m", 90, 0}, {"pear", 90, 1},
                {"pear", 100, 0}, {"p*", 100, 0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        Query q;
        int32_t s = addWord(q, {r.text, 0, 0, false, r.precision});
        q.finish();
        GTRSTATUS st{};
        EXPECT_EQ(voz_WildcardFuzzyPreference(&q.words[static_cast<size_t>(s)], 2,
                                              &st),
                  r.fuzzy);
    }
}

TEST_F(MixIndex, StopWordMatchesEveryDocument) {
    build(kF5, {"pear"});
    Outcome o = one({"pear"});
    ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
    EXPECT_EQ(o.docs, kAll);
    EXPECT_NE(o.st.retrieve_status & 0x02, 0);
    Query q;
    q.op('A', {addWord(q, {"apple"}), addWord(q, {"pear"})});
    Outcome a = s2fix::run(h, q);
    ASSERT_EQ(a.st.retcode, 0) << a.st.errcode;
    EXPECT_EQ(a.docs, (Docs{0, 1, 2, 4}));
    EXPECT_NE(a.st.retrieve_status & 0x02, 0);
    Options est;
    est.estimateOnly = 1;
    Outcome e = one({"pear"}, est);
    EXPECT_EQ(e.st.retcode, 0);
    EXPECT_EQ(e.estimates[0], 5);
    // A word that merely does not occur is no stop word.
    Outcome none = one({"cherry"});
    EXPECT_TRUE(none.docs.empty());
    EXPECT_EQ(none.st.retrieve_status & 0x02, 0);
}

TEST_F(MixIndex, LongWordWarnsAndSearches) {
    build(kF5);
    for (int32_t units : {128, 129}) {
        SCOPED_TRACE(units);
        ::testing::internal::CaptureStderr();
        Outcome o = one({std::string(static_cast<size_t>(units), 'a')});
        std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(o.st.retcode, 0) << o.st.errcode;
        EXPECT_TRUE(o.docs.empty());
        EXPECT_EQ(err.find(VOZ_MIX_LONG_WARNING) != std::string::npos, units > 128)
            << err;
    }
}

// Estimate-only searches give the posting counts of the pieces' keys.
TEST_F(MixIndex, SelectivityEstimates) {
    build(kF5);
    struct Row {
        Word w;
        int32_t estimate;
    } rows[] = {{{"apple"}, 4}, {{"p*"}, 5}, {{"plum"}, 2}, {{"cherry"}, 0},
                {{"appl", 0, 5}, 4}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.w.text);
        Options o;
        o.estimateOnly = 1;
        Outcome out = one(r.w, o);
        ASSERT_EQ(out.st.retcode, 0) << out.st.errcode;
        EXPECT_EQ(out.estimates[0], r.estimate);
        EXPECT_TRUE(out.occs.empty());
    }
}

// The set-up of an estimate-only search reads the document counts kept
// with the keys and opens no position list: no key of a token or n-gram
// piece has a position reader or stands on a document. The same word set
// up for a search does read them.
TEST_F(MixIndex, EstimateSetUpOpensNoPositionList) {
    build({"apple123 pear", "apple 123", "p123"});
    for (const char* text : {"apple123", "p*", "apple"}) {
        for (int selectivity : {1, 0}) {
            SCOPED_TRACE(std::string(text) + (selectivity ? " estimate" : " search"));
            Query q;
            addWord(q, {text});
            q.finish();
            _WCTLHEAD w;
            memset(&w, 0, sizeof w);
            GTRSTATUS st{};
            IDXINFO* index = &h->first.set0[0];
            IDXINFO* keyIndex = &h->first.set1[0];
            voz_GetOneWordExactMixInit_(&q.words[0], &w, index, keyIndex, nullptr,
                                        &st, selectivity);
            ASSERT_EQ(st.retcode, 0) << st.errcode;
            const auto* ctl = static_cast<const VOZMIXCTL*>(w.priv);
            ASSERT_NE(ctl, nullptr);
            int32_t keys = 0, opened = 0;
            for (int32_t i = 0; i < ctl->keptCount; ++i)
                for (int32_t k = 0; k < ctl->kept[i].keyCount; ++k, ++keys)
                    opened += ctl->kept[i].pctl[k].reader != nullptr ||
                              ctl->kept[i].pctl[k].curDoc >= 0;
            EXPECT_GT(keys, 0);
            EXPECT_EQ(opened == 0, selectivity == 1);
            if (selectivity)
                voz_TermEmpForSelectivity(&q.words[0], &w, index, keyIndex,
                                          nullptr, &st);
            else
                w.nextHit(&w, index, keyIndex, nullptr, VOZ_DOC_END,
                          VOZ_RELEASE_POS, &st);
            EXPECT_EQ(st.retcode, 0) << st.errcode;
            EXPECT_EQ(w.priv, nullptr);
        }
    }
}

}  // namespace
