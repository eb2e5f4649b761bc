// The document walks over hand-made words (next-hit operations over
// in-memory lists): operators against a brute-force model with and without
// quick evaluation, limits, deleted documents, the skip callback, the
// scope, result form 2, the one-word walk, per-word document counts, the
// release of every word and the refusals.
#include <map>
#include <memory>
#include <random>
#include <set>

#include "files/voz_deldocs.hpp"
#include "search/voz_evalocc.hpp"
#include "search/voz_readocc.hpp"
#include "search/voz_scope.hpp"
#include "search_fixture.hpp"
#include "ti_test_util.hpp"
#include "walk_fixture.hpp"

using namespace srchfix;
using namespace walkfix;

namespace {

// Words 0..n-1 under one operator (slot n).
struct Query {
    std::vector<ListWord> lists;
    std::vector<_WCTLHEAD> ctl;
    OPPARM op{};
    std::vector<_WCTLHEAD*> opndRecs;
    std::vector<int32_t> opndNos;

    Query(const std::vector<std::vector<OCC>>& words, char kind, char sub = 'S') {
        size_t n = words.size();
        lists.resize(n);
        ctl.resize(n + 1);
        for (size_t i = 0; i < n; ++i) {
            lists[i].hits = words[i];
            setUpWord(&ctl[i], &lists[i]);
        }
        memset(&ctl[n], 0, sizeof ctl[n]);
        ctl[n].weight = 1.0f;
        for (size_t i = 0; i < n; ++i) {
            opndRecs.push_back(&ctl[i]);
            opndNos.push_back(static_cast<int32_t>(i));
        }
        op.kind = kind;
        op.subkind = sub;
        op.ope_count = op.nopnd = static_cast<int32_t>(n);
        op.node_rec = &ctl[n];
        op.node_no = static_cast<int32_t>(n);
        op.opnd_recs = opndRecs.data();
        op.opnd_nos = opndNos.data();
    }
    int32_t words() const { return static_cast<int32_t>(lists.size()); }
};

struct Outcome {
    std::vector<OCC> occs;
    std::set<int32_t> docs;
    int32_t docCount = 0, occCount = 0;
    char limit = 'N';
    GTRSTATUS st{};
};

struct RunOptions {
    int32_t limit = 0;
    uint8_t form = 1;
    SCOPECTL* scope = nullptr;
    GTRSKIPFUNCINFO* skip = nullptr;
    CVozDeletedDocs* deleted = nullptr;
    RANKPARM* rank = nullptr;
    const char* freqName = nullptr;
    bool oneWord = false;
};

// The walk left the word ended through the release path: a word that was
// not exhausted got exactly one release call.
bool released(const Query& q, size_t i) {
    return q.ctl[i].endFlag == 'Y' && q.ctl[i].nextHit == voz_GetOneWordNoOcc &&
           q.lists[i].releases == (q.lists[i].ranOut ? 0 : 1);
}

Outcome run(Query& q, const RunOptions& o = RunOptions()) {
    Outcome out;
    auto index = std::make_unique<IDXINFO>();
    index->fctl.deletedDocs = o.deleted;
    auto a = std::make_unique<ANSWERFORM>();
    GTRSEARCH_RES res = memRes();
    res.res_dataform = o.form;
    voz_OpenAnswer(a.get(), nullptr, o.limit, &res, nullptr, o.freqName, &out.st);
    voz_InitForReadOcc(q.ctl.data(), q.words(), nullptr, index.get(), &out.st);
    BLOCKCTL* blocks[VOZ_BLOCK_KINDS];
    MULTIFIELDCTRL mfc;
    voz_InitForCheckRange(index.get(), q.ctl.data(), blocks, q.words(), &q.op, 1,
                          &mfc, nullptr, &out.st);
    if (o.oneWord)
        voz_EvaluateOccsOneWord(q.ctl.data(), o.rank, q.op, index.get(), nullptr,
                                blocks, &mfc, nullptr, o.scope, a.get(),
                                &out.docCount, &out.occCount, o.skip, &out.st);
    else
        voz_EvaluateOccsMultiWord(q.ctl.data(), q.words(), o.rank, &q.op, 1,
                                  index.get(), nullptr, blocks, &mfc, nullptr,
                                  o.scope, a.get(), &out.docCount, &out.occCount,
                                  o.skip, &out.st);
    for (int32_t i = 0; i < a->memEntries; ++i) {
        out.occs.push_back(*voz_OccAt(a->pages, i));
        out.docs.insert(out.occs.back().docno);
    }
    out.limit = a->limitReached;
    GTRSTATUS ignored{};
    voz_TermForCheckRange(q.ctl.data(), q.words(), &q.op, 1, blocks, &mfc, &ignored);
    voz_TermForReadOcc(q.ctl.data(), q.words(), nullptr);
    voz_ReleaseAnswer(a.get());
    return out;
}

std::vector<OCC> hitsOf(std::initializer_list<std::pair<int32_t, int32_t>> l) {
    std::vector<OCC> v;
    for (auto p : l) v.push_back(hit(p.first, p.second));
    return v;
}

// Random words over documents 0..19 against the document sets the
// operators define; each query also runs with quick evaluation forbidden.
TEST(EvalOccs, OperatorsAgreeWithABruteForceModel) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    for (int round = 0; round < 200; ++round) {
        size_t n = 2 + rng() % 3;
        std::vector<std::vector<OCC>> words(n);
        std::vector<std::map<int32_t, std::set<int32_t>>> model(n);
        for (size_t i = 0; i < n; ++i) {
            for (int32_t d = 0; d < 20; ++d) {
                if (rng() % 3 != 0) continue;
                std::set<int32_t> ps;
                for (uint32_t k = 1 + rng() % 3; k > 0; --k) ps.insert(1 + static_cast<int32_t>(rng() % 8));
                for (int32_t p : ps) words[i].push_back(hit(d, p));
                model[i][d] = ps;
            }
        }
        char kind = "AON"[rng() % 3];
        std::map<int32_t, std::set<int32_t>> want;  // document -> positions
        for (int32_t d = 0; d < 20; ++d) {
            size_t present = 0;
            for (size_t i = 0; i < n; ++i) present += model[i].count(d);
            bool holds = kind == 'A' ? present == n
                       : kind == 'O' ? present > 0
                       : model[0].count(d) == 1 && present == 1;
            if (!holds) continue;
            for (size_t i = 0; i < n; ++i)
                if (model[i].count(d) && (kind != 'N' || i == 0))
                    want[d].insert(model[i][d].begin(), model[i][d].end());
        }
        for (int quick = 0; quick < 2; ++quick) {
            Query q(words, kind);
            if (quick == 0) q.ctl[n].rangeValue = 1;  // forbids quick evaluation
            Outcome out = run(q);
            ASSERT_OK(out.st);
            std::map<int32_t, std::set<int32_t>> got;
            for (const OCC& o : out.occs) got[o.docno].insert(o.pos);
            ASSERT_EQ(got, want) << "seed " << seed << " round " << round
                                 << " kind " << kind << " quick " << quick;
            ASSERT_EQ(out.docCount, static_cast<int32_t>(want.size()));
            ASSERT_EQ(out.occCount, static_cast<int32_t>(out.occs.size()));
            for (size_t i = 0; i < n; ++i) {
                ASSERT_TRUE(released(q, i)) << "every word is released";
                if (kind == 'O') {  // OR visits every document of every word
                    ASSERT_EQ(q.ctl[i].setDocCount, static_cast<int32_t>(model[i].size()));
                }
            }
        }
    }
}

TEST(EvalOccs, StrictAndSkipsToTheLaggingWordsNextDocument) {
    std::vector<OCC> rare = hitsOf({{50, 1}, {90, 2}});
    std::vector<OCC> frequent;
    for (int32_t d = 0; d < 100; ++d) frequent.push_back(hit(d, 3));
    Query q({frequent, rare}, 'A');
    Outcome out = run(q);
    ASSERT_OK(out.st);
    EXPECT_EQ(out.docs, (std::set<int32_t>{50, 90}));
    // The frequent word is moved straight to the rare word's documents.
    EXPECT_LT(q.lists[0].docsGiven.size(), 10u);
    // A pure AND ends when one word is exhausted.
    EXPECT_LE(q.lists[0].docsGiven.back(), 91);
}

TEST(EvalOccs, LimitsStopTheWalk) {
    std::vector<OCC> w = hitsOf({{1, 1}, {1, 2}, {2, 1}, {2, 2}, {3, 1}, {4, 4}});
    struct Case {
        int32_t limit;
        std::set<int32_t> docs;
        char reached;
    } cases[] = {
        {0, {1, 2, 3, 4}, 'N'},
        {-2, {1, 2}, 'Y'},
        {-4, {1, 2, 3, 4}, 'N'},
        {3, {1, 2}, 'Y'},    // 2 + 2 occurrences pass 3 before document 3
        {100, {1, 2, 3, 4}, 'N'},
    };
    for (const Case& c : cases) {
        for (bool one : {false, true}) {
            Query q({w, {}}, 'O');
            if (one) q = Query({w}, 'O');
            RunOptions o;
            o.limit = c.limit;
            o.oneWord = one;
            Outcome out = run(q, o);
            ASSERT_OK(out.st);
            EXPECT_EQ(out.docs, c.docs) << c.limit << " one " << one;
            EXPECT_EQ(out.limit, c.reached) << c.limit << " one " << one;
            EXPECT_TRUE(released(q, 0));
        }
    }
}

TEST(EvalOccs, DeletedDocumentsAreHidden) {
    CVozDeletedDocs del;
    uint32_t gone[] = {2, 5, 9, 40};
    del.RegisterDeletedDocs(gone, 4);
    std::vector<OCC> a = hitsOf({{1, 1}, {2, 1}, {5, 3}, {6, 1}, {9, 9}, {10, 1}});
    std::vector<OCC> b = hitsOf({{2, 2}, {3, 1}, {9, 1}, {11, 1}});
    for (bool one : {false, true}) {
        Query q = one ? Query({a}, 'O') : Query({a, b}, 'O');
        RunOptions o;
        o.deleted = &del;
        o.oneWord = one;
        Outcome out = run(q, o);
        ASSERT_OK(out.st);
        std::set<int32_t> want = one ? std::set<int32_t>{1, 6, 10}
                                     : std::set<int32_t>{1, 3, 6, 10, 11};
        EXPECT_EQ(out.docs, want);
        EXPECT_EQ(out.docCount, static_cast<int32_t>(out.docs.size()));
    }
}

// Skip callback: document 3 is dropped, at document 4 the walk jumps to
// 8, and document 9 fails the search with the callback's value.
struct SkipLog {
    std::vector<int32_t> seen;
};
uint32_t skipper(void* record, void* user) {
    auto* log = static_cast<SkipLog*>(user);
    uint8_t* r = static_cast<uint8_t*>(record);
    int32_t doc, one, next;
    memcpy(&doc, r, 4);
    memcpy(&one, r + 4, 4);
    memcpy(&next, r + 8, 4);
    log->seen.push_back(doc);
    EXPECT_EQ(one, 1);
    EXPECT_EQ(next, doc + 1);
    EXPECT_EQ(r[12], 1);
    for (int i = 13; i < 32; ++i) EXPECT_EQ(r[i], 0);
    if (doc == 3) r[12] = 0;
    if (doc == 4) {
        next = 8;
        memcpy(r + 8, &next, 4);
    }
    return doc == 9 ? 4711 : 0;
}

TEST(EvalOccs, SkipCallbackDropsJumpsAndFails) {
    std::vector<OCC> a, b;
    for (int32_t d = 1; d <= 12; ++d) a.push_back(hit(d, 1));
    for (int32_t d = 1; d <= 12; ++d) b.push_back(hit(d, 2));
    for (bool one : {false, true}) {
        Query q = one ? Query({a}, 'A') : Query({a, b}, 'A');
        SkipLog log;
        GTRSKIPFUNCINFO skip{};
        skip.skip_function = skipper;
        skip.flags = 1;
        skip.user_data = &log;
        RunOptions o;
        o.skip = &skip;
        o.oneWord = one;
        Outcome out = run(q, o);
        EXPECT_RC(out.st, VOZ_RC_SKIPFUNC, 4711);
        EXPECT_EQ(log.seen, (std::vector<int32_t>{1, 2, 3, 4, 8, 9}));
        EXPECT_EQ(out.docs, (std::set<int32_t>{1, 2, 4, 8}));
        EXPECT_TRUE(released(q, 0)) << "released after a failure too";
        // Documents 6 and 7 were never given out.
        for (int32_t d : q.lists[0].docsGiven) EXPECT_TRUE(d < 6 || d > 7) << d;
        // An inactive callback is not called.
        Query q2 = one ? Query({a}, 'A') : Query({a, b}, 'A');
        skip.flags = 0;
        log.seen.clear();
        Outcome all = run(q2, o);
        ASSERT_OK(all.st);
        EXPECT_TRUE(log.seen.empty());
        EXPECT_EQ(all.docs.size(), 12u);
    }
}

TEST(EvalOccs, ScopeKeepsOnlyItsDocuments) {
    GTRSTATUS st{};
    GTRSEARCH_RES scopeRes = memRes();
    buildResult(scopeRes, {{occ(2, 1)}, {occ(4, 1)}, {occ(7, 3)}}, nullptr, st);
    ASSERT_OK(st);
    std::vector<OCC> a = hitsOf({{1, 1}, {2, 1}, {3, 1}, {4, 2}, {6, 1}, {7, 1}, {9, 1}});
    for (bool one : {false, true}) {
        SCOPECTL scope{};
        voz_ScopeOpen(&scopeRes, &scope, &st);
        ASSERT_OK(st);
        Query q = one ? Query({a}, 'O') : Query({a, {}}, 'O');
        RunOptions o;
        o.scope = &scope;
        o.oneWord = one;
        Outcome out = run(q, o);
        ASSERT_OK(out.st);
        EXPECT_EQ(out.docs, (std::set<int32_t>{2, 4, 7}));
        // The scope ends the walk: document 9 is never gathered.
        EXPECT_EQ(q.ctl[0].setDocCount, 3) << "only documents 2, 4 and 7 are gathered";
        voz_ScopeClose(&scope, &st);
    }
    VOZ_ResultRelease(static_cast<VOZRESULT*>(scopeRes.res_handle), &st);
}

TEST(EvalOccs, FormTwoKeepsOneOccurrencePerDocumentAndDuplicatesGoOnce) {
    std::vector<OCC> a = hitsOf({{1, 1}, {1, 4}, {2, 2}});
    std::vector<OCC> b = hitsOf({{1, 4}, {2, 2}, {2, 3}});
    Query q({a, b}, 'O');
    Outcome plain = run(q);
    ASSERT_OK(plain.st);
    ASSERT_EQ(plain.occs.size(), 4u) << "equal occurrences of two words count once";
    EXPECT_TRUE(sameOcc(plain.occs[0], occ(1, 1, 1, 0)));
    EXPECT_TRUE(sameOcc(plain.occs[1], occ(1, 4, 1, 0)));
    Query q2({a, b}, 'O');
    RunOptions o;
    o.form = 2;
    Outcome two = run(q2, o);
    ASSERT_OK(two.st);
    ASSERT_EQ(two.occs.size(), 2u);
    EXPECT_EQ(two.occs[0].docno, 1);
    EXPECT_EQ(two.occs[1].docno, 2);
    EXPECT_EQ(two.occCount, 2);
}

TEST(EvalOccs, OneWordWritesCleanOccurrencesAndCountsDocuments) {
    std::vector<OCC> a = hitsOf({{1, 1}, {1, 4}, {3, 2}});
    for (OCC& o : a) {
        o.node = 7;
        o.spare = 9;
        o.match = 55;
    }
    Query q({a}, 'O');
    q.ctl[0].matchGrade = 80;
    RunOptions o;
    o.oneWord = true;
    Outcome out = run(q, o);
    ASSERT_OK(out.st);
    ASSERT_EQ(out.occs.size(), 3u);
    for (const OCC& x : out.occs) {
        EXPECT_EQ(x.node, 0);
        EXPECT_EQ(x.spare, 0);
        EXPECT_EQ(x.match, 80) << "the word's match grade";
    }
    EXPECT_EQ(q.ctl[0].setDocCount, 2);
    EXPECT_FLOAT_EQ(q.ctl[1].rank, 1.0f);
    EXPECT_EQ(out.docCount, 2);
    EXPECT_EQ(out.occCount, 3);
    // Document-level kinds keep no position.
    Query d({hitsOf({{4, 9}})}, 'O');
    d.ctl[0].kind = 'D';
    Outcome dl = run(d, o);
    ASSERT_EQ(dl.occs.size(), 1u);
    EXPECT_EQ(dl.occs[0].pos, 1);
    EXPECT_EQ(dl.occs[0].len, 0);
}

// A position the window cannot hold is passed over, not looped on.
TEST(EvalOccs, AnOccurrenceAtTheEndOfThePositionRangeIsPassed) {
    for (bool one : {false, true}) {
        std::vector<OCC> a = hitsOf({{1, VOZ_VVG_NONE_END}, {2, 3}});
        Query q = one ? Query({a}, 'O') : Query({a, {}}, 'O');
        RunOptions o;
        o.oneWord = one;
        Outcome out = run(q, o);
        ASSERT_OK(out.st);
        EXPECT_EQ(out.docs, (std::set<int32_t>{2}));
    }
}

TEST(EvalOccs, WordsWithoutOccurrencesEndTheWalkAtOnce) {
    Query empty({{}, hitsOf({{1, 1}})}, 'A');
    Outcome out = run(empty);
    ASSERT_OK(out.st);
    EXPECT_TRUE(out.docs.empty());
    EXPECT_EQ(empty.lists[1].docsGiven.size(), 1u) << "only the first read";
    Query none({{}}, 'O');
    RunOptions o;
    o.oneWord = true;
    Outcome one = run(none, o);
    ASSERT_OK(one.st);
    EXPECT_TRUE(one.docs.empty());
}

}  // namespace
