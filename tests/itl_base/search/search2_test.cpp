// Whole searches over a small n-gram index built from text: the operator
// table, stop words and gaps, short words, blocks, limits, scopes, deleted
// documents, the skip callback, result forms, both halves, estimates and
// the refusals of what the engine cannot search yet.
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>

#include "files/voz_deldocs.hpp"
#include "postings/voz_idxset.hpp"
#include "search/voz_evaluate.hpp"
#include "search/voz_exact.hpp"
#include "search/voz_rtrvwords.hpp"
#include "search/voz_shortword.hpp"
#include "search/voz_wordctl.hpp"
#include "search2_fixture.hpp"

using namespace s2fix;

namespace {

const std::vector<std::string> kSupp = {"123", "456 123", "2020 2020", "789",
                                        "123. 456"};

using Docs = std::set<int32_t>;

// A shared, read-only index per suite.
template <bool kStop>
class Indexed : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        corpus = new Corpus();
        GTRSTATUS st{};
        if (kStop)
            corpus->writeWithStops(kD5, {"20", "02", std::string("0\0", 2)}, st);
        else
            corpus->cycle('N', 0, kD5, st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
    }
    static void TearDownTestSuite() {
        delete corpus;
        corpus = nullptr;
    }
    void SetUp() override {
        GTRSTATUS st{};
        h = corpus->open(st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
    }
    void TearDown() override { closeHandle(h); }
    static Corpus* corpus;
    VOZSEARCH* h = nullptr;
};
template <bool kStop>
Corpus* Indexed<kStop>::corpus = nullptr;

using D5 = Indexed<false>;
using D5Stop = Indexed<true>;

// A query made by `make`, and the documents it must find.
struct Case {
    const char* name;
    std::function<void(Query&)> make;
    Docs want;
};

void one(Query& q, const char* w) { q.op('O', {q.word(w)}); }
void two(Query& q, char op, const char* a, const char* b, int16_t dist = 0) {
    int32_t x = q.word(a);
    int32_t y = q.word(b);
    q.op(op, {x, y}, dist);
}

const std::vector<Case> kTable = {
    {"123", [](Query& q) { one(q, "123"); }, {0, 1, 2, 4}},
    {"AND", [](Query& q) { two(q, 'A', "123", "456"); }, {0, 2, 4}},
    {"OR", [](Query& q) { two(q, 'O', "123", "2020"); }, {0, 1, 2, 3, 4}},
    {"NOT", [](Query& q) { two(q, 'N', "123", "456"); }, {1}},
    {"D0", [](Query& q) { two(q, 'D', "123", "456"); }, {0, 2}},
    {"AND absent", [](Query& q) { two(q, 'A', "123", "999"); }, {}},
    {"absent", [](Query& q) { one(q, "999"); }, {}},
    {"short 7", [](Query& q) { one(q, "7"); }, {0, 2}},
    {"short 0", [](Query& q) { one(q, "0"); }, {1, 3}},
    {"key length", [](Query& q) { one(q, "31"); }, {4}},
    // Blocks: a document without boundaries is one block; a word after
    // the last boundary lies in the block after it.
    {"D0 one block", [](Query& q) { two(q, 'D', "123", "2020"); }, {1}},
    {"D0 last block", [](Query& q) { two(q, 'D', "456", "789"); }, {2}},
    {"D0 across", [](Query& q) { two(q, 'D', "3131", "456"); }, {}},
    {"nested", [](Query& q) {
         int32_t a = q.word("123");
         int32_t b = q.word("456");
         int32_t c = q.word("2020");
         int32_t x = q.op('A', {a, b});
         q.op('O', {x, c});
     }, {0, 1, 2, 3, 4}},
};

TEST_F(D5, OperatorTable) {
    for (const Case& c : kTable) {
        SCOPED_TRACE(c.name);
        Query q;
        c.make(q);
        Outcome r = run(h, q);
        ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
        EXPECT_EQ(r.docs, c.want);
        EXPECT_EQ(r.res.result_docnum, static_cast<int32_t>(c.want.size()));
        EXPECT_EQ(r.res.res_flag & 0x80, 0x80);
        EXPECT_EQ(r.st.retrieve_status, 0);
    }
}

TEST_F(D5, QuickEvaluationForbiddenGivesTheSameAnswers) {
    // A further one-operand OR above the root changes no answer but
    // leaves more than one operator, which forbids the quick evaluation.
    for (const Case& c : kTable) {
        SCOPED_TRACE(c.name);
        Query q;
        c.make(q);
        q.op('O', {static_cast<int32_t>(q.words.size() + q.ops.size()) - 1});
        Outcome r = run(h, q);
        ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
        EXPECT_EQ(r.docs, c.want);
    }
}

TEST_F(D5, OccurrencesOfWords) {
    Query q;
    one(q, "0");
    Outcome r = run(h, q);
    ASSERT_EQ(r.st.retcode, 0);
    std::vector<std::pair<int32_t, int32_t>> got;
    for (const OCC& o : r.occs) got.push_back({o.docno, o.pos});
    EXPECT_EQ(got, (std::vector<std::pair<int32_t, int32_t>>{{1, 6}, {1, 8}, {3, 2}, {3, 4}}));
    for (const OCC& o : r.occs) EXPECT_EQ(o.len, 1);

    Query p;
    one(p, "123");
    r = run(h, p);
    ASSERT_EQ(r.occs.size(), 4u);
    EXPECT_EQ(r.occs[2].docno, 2);
    EXPECT_EQ(r.occs[2].pos, 9);
    EXPECT_EQ(r.occs[2].len, 3);
    EXPECT_EQ(r.occs[3].pos, 6);
}

TEST_F(D5, ShortWordWriteAllWritesEveryHitInOneCall) {
    Query q;
    q.word("0");
    q.finish();
    ANSWERFORM a;
    GTRSTATUS st{};
    voz_OpenAnswer(&a, nullptr, 0, nullptr, nullptr, nullptr, &st);
    _WCTLHEAD w{};
    IDXINFO* set = &h->first.set0[0];
    voz_GetShortWordInit_(&q.words[0], &w, set, &a, 1, &st, 0);
    ASSERT_EQ(st.retcode, 0);
    ASSERT_NE(w.nextHit, nullptr);
    w.nextHit(&w, set, nullptr, &a, -1, 1, &st);
    ASSERT_EQ(st.retcode, 0);
    EXPECT_EQ(a.occCount, 4);
    EXPECT_EQ(a.docCount, 2);
    EXPECT_EQ(w.cur.docno, VOZ_DOC_END);
    voz_ReleaseAnswer(&a);
}

TEST_F(D5, ResultLimitsStopTheWalk) {
    Query q;
    one(q, "123");
    Options o;
    o.limit = -2;
    Outcome r = run(h, q, o);
    ASSERT_EQ(r.st.retcode, 0);
    EXPECT_EQ(r.docs, (Docs{0, 1}));
    EXPECT_EQ(r.st.retrieve_status, 0x01);
    EXPECT_EQ(r.st.limit_mark, 0x02);

    Query p;
    one(p, "123");
    o.limit = 3;  // occurrences
    r = run(h, p, o);
    ASSERT_EQ(r.st.retcode, 0);
    EXPECT_LE(r.res.result_occnum, 3);
    EXPECT_EQ(r.st.retrieve_status, 0x01);
}

TEST_F(D5, ScopeLimitsTheDocuments) {
    Query q;
    one(q, "123");
    Options keep;
    keep.keepResult = true;
    Outcome scope = run(h, q, keep);
    ASSERT_EQ(scope.st.retcode, 0);
    Query p;
    one(p, "456");
    Options o;
    o.scope = &scope.res;
    Outcome r = run(h, p, o);
    ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
    EXPECT_EQ(r.docs, (Docs{0, 2, 4}));

    Query n;
    one(n, "2020");
    r = run(h, n, o);
    ASSERT_EQ(r.st.retcode, 0);
    EXPECT_EQ(r.docs, (Docs{1}));
    releaseResult(scope.res);

    // An empty scope gives an empty result without looking up any word:
    // a back reference to a missing file would fail its lookup.
    GTRSEARCH_RES empty{};
    empty.res_type = GTR_RES_HANDLE;
    Query b;
    std::string path = corpus->tmp.path() + "/missing";
    b.op('O', {b.add('B', std::vector<uint8_t>(path.begin(), path.end()))});
    o.scope = &empty;
    r = run(h, b, o);
    ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
    EXPECT_EQ(r.res.result_docnum, 0);
    EXPECT_EQ(r.res.res_handle, nullptr);
    Options plain;
    Query b2;
    b2.op('O', {b2.add('B', std::vector<uint8_t>(path.begin(), path.end()))});
    r = run(h, b2, plain);
    EXPECT_EQ(r.st.retcode, 3);
}

// The skip callback's behaviour, chosen per test.
struct SkipPlan {
    int32_t dropDoc = -1;
    int32_t jumpFrom = -1, jumpTo = -1;
    int32_t failDoc = -1;
    std::vector<int32_t> seen;
};

uint32_t skipFn(void* rec, void* user) {
    auto* p = static_cast<SkipPlan*>(user);
    auto* words = static_cast<int32_t*>(rec);
    int32_t doc = words[0];
    p->seen.push_back(doc);
    EXPECT_EQ(words[1], 1);
    EXPECT_EQ(words[2], doc + 1);
    auto* keep = reinterpret_cast<uint8_t*>(rec) + 12;
    EXPECT_EQ(*keep, 1);
    if (doc == p->failDoc) return 77;
    if (doc == p->dropDoc) *keep = 0;
    if (doc == p->jumpFrom) words[2] = p->jumpTo;
    return 0;
}

TEST_F(D5, SkipCallbackDropsJumpsAndFails) {
    struct Row {
        SkipPlan plan;
        Docs want;
        int32_t rc, ec;
    };
    std::vector<Row> rows(3);
    rows[0].plan.dropDoc = 1;
    rows[0].want = {0, 2, 4};
    rows[1].plan.jumpFrom = 0;
    rows[1].plan.jumpTo = 4;
    rows[1].want = {0, 4};
    rows[2].plan.failDoc = 2;
    rows[2].rc = 150;
    rows[2].ec = 77;
    for (Row& row : rows) {
        for (bool multi : {false, true}) {
            SCOPED_TRACE(multi);
            Query q;
            if (multi)
                two(q, 'O', "123", "999");
            else
                one(q, "123");
            GTRSKIPFUNCINFO skip{};
            skip.skip_function = skipFn;
            skip.flags = 1;
            SkipPlan plan = row.plan;
            skip.user_data = &plan;
            Options o;
            o.skip = &skip;
            Outcome r = run(h, q, o);
            S2_STATUS(r.st, row.rc, row.ec);
            if (row.rc == 0) {
                EXPECT_EQ(r.docs, row.want);
            } else {
                EXPECT_EQ(r.res.res_handle, nullptr);
            }
        }
    }
}

TEST_F(D5, ResultFormTwoKeepsOneOccurrencePerDocument) {
    Query q;
    one(q, "0");
    Options o;
    o.form = 2;
    Outcome r = run(h, q, o);
    ASSERT_EQ(r.st.retcode, 0);
    EXPECT_EQ(r.res.result_occnum, 2);
    EXPECT_EQ(r.docs, (Docs{1, 3}));
}

TEST_F(D5, EstimatesReadNoPositions) {
    struct Row {
        const char* name;
        std::function<void(Query&)> make;
        int32_t want;
    };
    const std::vector<Row> rows = {
        {"123", [](Query& q) { one(q, "123"); }, 4},
        {"OR ceiling", [](Query& q) { two(q, 'O', "123", "2020"); }, 5},
        {"AND", [](Query& q) { two(q, 'A', "123", "2020"); }, 2},
        {"NOT of D", [](Query& q) {
             int32_t d = q.add('D', {});
             int32_t w = q.word("123");
             q.op('N', {d, w});
         }, 1},
        {"short word", [](Query& q) { one(q, "7"); }, 5},
        {"binary set", [](Query& q) { q.op('O', {q.add('S', {})}); }, 5},
        {"absent", [](Query& q) { one(q, "999"); }, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Query q;
        row.make(q);
        Options o;
        o.estimateOnly = 1;
        o.ceilings[0] = 5;
        Outcome r = run(h, q, o);
        ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
        EXPECT_EQ(r.estimates[0], row.want);
        EXPECT_EQ(r.estimates[1], 0);
        EXPECT_EQ(r.res.result_docnum, 0);
    }
}

TEST_F(D5, RefusesWhatItCannotSearchYet) {
    struct Row {
        const char* name;
        std::function<void(Query&)> make;
        int32_t ec;
        RANKPARM* rank = nullptr;
    };
    const std::vector<Row> rows = {
        {"binary set", [](Query& q) { q.op('O', {q.add('S', {})}); }, VOZ_EC_BINSET},
        {"operator range", [](Query& q) {
             one(q, "123");
             q.ops[0].op_range_count = 1;
         }, VOZ_EC_REFUSE_OPRANGE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Query q;
        row.make(q);
        q.finish();
        GTRSEARCH_RES res{};
        res.res_type = GTR_RES_HANDLE;
        res.res_dataform = 1;
        GTRSTATUS st{};
        VOZ_Search_(h, &res, static_cast<int32_t>(q.words.size()), q.words.data(),
                    static_cast<int32_t>(q.ops.size()), q.ops.data(), row.rank, nullptr,
                    0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr, &st, 0);
        S2_STATUS(st, VOZ_RC_UNSUPPORTED, row.ec);
        EXPECT_EQ(res.res_handle, nullptr);
    }
}

TEST_F(D5, WordLengthAgainstTheKeyLengthChoosesTheLookup) {
    // Exactly one n-gram with similarity 80: exact; one unit longer: fuzzy;
    // one unit shorter: a short word.
    Query q;
    q.op('O', {q.word("12", 80)});
    Outcome r = run(h, q);
    ASSERT_EQ(r.st.retcode, 0);
    EXPECT_EQ(r.docs, (Docs{0, 1, 2, 4}));
    Query p;
    p.op('O', {p.word("123", 80)});
    r = run(h, p);
    ASSERT_EQ(r.st.retcode, 0);
    EXPECT_EQ(r.docs, (Docs{0, 1, 2, 4}));
    Query s;
    s.op('O', {s.word("3", 80)});
    r = run(h, s);
    ASSERT_EQ(r.st.retcode, 0);
    EXPECT_EQ(r.docs, (Docs{0, 1, 2, 4}));
}

TEST_F(D5, BadOperatorSlotsAndHandles) {
    Query q;
    two(q, 'A', "123", "456");
    q.finish();
    q.operands[0][1] = 2;  // the operator's own slot
    GTRSEARCH_RES res{};
    res.res_type = GTR_RES_HANDLE;
    res.res_dataform = 1;
    GTRSTATUS st{};
    VOZ_Search_(h, &res, 2, q.words.data(), 1, q.ops.data(), nullptr, nullptr, 0, 0, 0, 0,
                nullptr, nullptr, nullptr, nullptr, &st, 0);
    S2_STATUS(st, 28, 1470);
    VOZ_Search_(nullptr, &res, 2, q.words.data(), 1, q.ops.data(), nullptr, nullptr, 0, 0,
                0, 0, nullptr, nullptr, nullptr, nullptr, &st, 0);
    S2_STATUS(st, 1, 1471);
}

TEST(Search2Estimates, ReadNoPositionList) {
    // The position file is emptied under an open handle: estimates still
    // come from the keys' document counts, while a search fails to read.
    Corpus c;
    GTRSTATUS st{};
    c.writeWithStops(kD5, {}, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    VOZSEARCH* h = c.open(st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    char name[VOZ_FNAME_LEN];
    voz_IDXgetFname(name, &h->first.set0[0].fctl, VOZ_FT_POS);
    std::string part = std::string(name) + "/0000";  // its first part file
    ASSERT_EQ(truncate(part.c_str(), 0), 0) << part;
    Query q;
    two(q, 'A', "123", "456");
    Options o;
    o.estimateOnly = 1;
    o.ceilings[0] = 5;
    Outcome r = run(h, q, o);
    ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
    EXPECT_EQ(r.estimates[0], 3);
    Query p;
    two(p, 'A', "123", "456");
    r = run(h, p);
    EXPECT_NE(r.st.retcode, 0);
    EXPECT_EQ(r.res.res_handle, nullptr);
    closeHandle(h);
}

// ---- stop words -----------------------------------------------------------

TEST_F(D5Stop, StopWordsAreDroppedAndLeaveGaps) {
    struct Row {
        const char* name;
        std::function<void(Query&)> make;
        Docs want;
        uint8_t status;
    };
    const std::vector<Row> rows = {
        {"plain", [](Query& q) { one(q, "123"); }, {0, 1, 2, 4}, 0},
        {"AND stop", [](Query& q) { two(q, 'A', "123", "2020"); }, {0, 1, 2, 4}, 0x02},
        {"D0 gap", [](Query& q) {
             int32_t a = q.word("123");
             int32_t b = q.word("2020");
             int32_t c = q.word("456");
             q.op('D', {a, b, c});
         }, {0, 2}, 0x02},
        {"NOT stop first", [](Query& q) { two(q, 'N', "2020", "123"); }, {}, 0x02},
        {"only stop", [](Query& q) { one(q, "2020"); }, {}, 0x02},
        {"OR of stops", [](Query& q) {
             int32_t a = q.word("2020");
             int32_t b = q.word("20");
             int32_t x = q.op('O', {a, b});
             int32_t c = q.word("789");
             q.op('O', {x, c});
         }, {0, 2}, 0x02},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Query q;
        row.make(q);
        Outcome r = run(h, q);
        ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
        EXPECT_EQ(r.docs, row.want);
        EXPECT_EQ(r.st.retrieve_status, row.status);
    }
}

// ---- the driver's pieces over hand-made controls ---------------------------

TEST(Search2Driver, DocumentFrequencyEstimates) {
    PCTLHEAD p[3] = {};
    p[0].docCount = 9;
    p[1].docCount = 4;
    p[2].docCount = 7;
    int32_t e = -5;
    voz_GetDocFreqByPctl(p, 3, &e);
    EXPECT_EQ(e, 4);
    voz_GetDocFreqByPctl(p, 0, &e);
    EXPECT_EQ(e, 0);
    // Largest counts 7 and 3: the estimate is 3; an entry without keys 0.
    PCTLHEAD a[2] = {}, b[2] = {};
    a[0].docCount = 7;
    a[1].docCount = 2;
    b[0].docCount = 3;
    b[1].docCount = 1;
    GCTLINFO g[3] = {};
    g[0].pctl = a;
    g[0].keyCount = 2;
    g[1].pctl = b;
    g[1].keyCount = 2;
    voz_GetDocFreqByGctl(g, 2, &e);
    EXPECT_EQ(e, 3);
    voz_GetDocFreqByGctl(g, 3, &e);
    EXPECT_EQ(e, 0);
    voz_GetDocFreqByGct_Selectivity(g, 2, &e);
    EXPECT_EQ(e, 4);
    PCTLHEAD big[3] = {};
    for (PCTLHEAD& x : big) x.docCount = 0x7FFFFFF0u;
    GCTLINFO one{};
    one.pctl = big;
    one.keyCount = 3;
    voz_GetDocFreqByGct_Selectivity(&one, 1, &e);
    EXPECT_EQ(e, 0x7FFFFFFF);
    SHORTOCC occ[5] = {{1, 3}, {1, 9}, {4, 1}, {7, 2}, {7, 5}};
    voz_GetDocFreqByShortOcc_(occ, 5, &e, 0);
    EXPECT_EQ(e, 3);
    voz_GetDocFreqByShortOcc_(occ, 0, &e, 0);
    EXPECT_EQ(e, 0);
    voz_GetDocFreqByShortOcc_(occ, 5, &e, 1);
    EXPECT_EQ(e, -1);
}

// A cutting routine for the preference test: letters are parts, '*' and
// '?' (the masks) and digits are not.
int32_t cutLetters(uint8_t* start, uint8_t* end, int16_t width, uint8_t** ps,
                   uint8_t** pe, uint8_t** next) {
    auto letter = [](uint8_t c) { return c >= 'a' && c <= 'z'; };
    uint8_t* u = start;
    if (u < end && letter(*u)) {
        *ps = u;
        while (u < end && letter(*u)) u += width;
        *pe = u;
        *next = u;
        return 1;
    }
    while (u < end && !letter(*u)) u += width;
    *ps = start;
    *pe = u;
    *next = u;
    return 0;
}

TEST(Search2Driver, WildcardOrFuzzyPreference) {
    struct Row {
        const char* text;
        int16_t precision;
        int32_t maskFlag;
        bool masks;
        int32_t want;
    };
    const Row rows[] = {
        {"ab*cd", 100, 1, true, 0},   // exact whatever the masks
        {"ab*cd", 90, 1, true, 0},    // a mask right after a cut
        {"ab12cd", 90, 1, true, 1},   // no mask next to a cut
        {"ab*cd", 90, 0, true, 1},    // masks off
        {"ab*cd", 90, 1, false, 1},   // no mask units
        {"*abc", 90, 1, true, 0},     // a mask right before a part
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        std::vector<uint8_t> units;
        for (const char* c = r.text; *c != 0; ++c) {
            units.push_back(static_cast<uint8_t>(*c));
            units.push_back(1);
        }
        RTRVWORDEXT w;
        memset(&w, 0, sizeof w);
        w.wi.type = 'W';
        w.wi.wordp = units.data();
        w.wi.wordlen = static_cast<int16_t>(units.size());
        w.wi.precision = r.precision;
        w.wi.search_flag = r.maskFlag;
        w.cut_function = cutLetters;
        if (r.masks) {
            w.mask_unit[0][0] = '*';
            w.mask_unit[0][1] = 1;
            w.mask_unit[1][0] = '?';
            w.mask_unit[1][1] = 1;
        }
        GTRSTATUS st{};
        EXPECT_EQ(voz_WildcardFuzzyPreference(&w, 2, &st), r.want);
    }
}

// Operator parameters over hand-made controls: slots 0..words-1 are words
// (emptyFlag marks a stop word), then the operators.
struct OpFixture {
    std::vector<_WCTLHEAD> ctl;
    std::vector<RTRVWORDEXT> words;
    std::vector<std::vector<int32_t>> operands;
    std::vector<OPEINFO> ops;
    std::vector<int32_t> slotMap;
    int released = 0;

    static void countEnd(_WCTLHEAD* w, IDXINFO*, IDXINFO*, ANSWERFORM*, int32_t doc,
                         int32_t pos, GTRSTATUS*) {
        EXPECT_EQ(doc, VOZ_DOC_END);
        EXPECT_EQ(pos, 1);
        ++*static_cast<int*>(w->priv);
        w->nextHit = nullptr;
    }
    explicit OpFixture(std::vector<bool> empty) {
        for (bool e : empty) {
            RTRVWORDEXT w;
            memset(&w, 0, sizeof w);
            w.wi.type = 'W';
            w.wi.wordlen = 6;  // 3 units
            words.push_back(w);
            (void)e;
        }
        ctl.resize(empty.size());
        for (size_t i = 0; i < empty.size(); ++i) {
            ctl[i].emptyFlag = empty[i] ? 1 : 0;
            ctl[i].nextHit = countEnd;
            ctl[i].priv = &released;
        }
    }
    void op(char kind, std::vector<int32_t> o) {
        operands.push_back(o);
        OPEINFO x{};
        x.op_kind = kind;
        x.op_mode = 'P';
        x.op_count = static_cast<int32_t>(o.size());
        x.op_slot = static_cast<int16_t>(words.size() + ops.size());
        ops.push_back(x);
    }
    // Runs the build; returns the kept operators.
    std::vector<OPPARM> build(int32_t* slots, int32_t* nwords) {
        for (size_t i = 0; i < ops.size(); ++i) ops[i].op_operands = operands[i].data();
        ctl.resize(words.size() + ops.size());
        slotMap.assign(ctl.size(), -9);
        *slots = static_cast<int32_t>(ctl.size());
        *nwords = static_cast<int32_t>(words.size());
        IDXINFO index{};
        index.info.unitWidth = 2;
        OPPARM* parms = nullptr;
        int32_t kept = 0;
        GTRSTATUS st{};
        voz_InitOPPARM(ops.data(), static_cast<int32_t>(ops.size()), ctl.data(),
                       slotMap.data(), slots, words.data(), nwords, &parms, &kept,
                       &index, &st);
        EXPECT_EQ(st.retcode, 0);
        std::vector<OPPARM> v(parms, parms + kept);
        for (OPPARM& p : v) {
            EXPECT_EQ(p.node_rec, &ctl[static_cast<size_t>(p.node_no)]);
            for (int32_t k = 0; k < p.nopnd; ++k)
                EXPECT_EQ(p.opnd_recs[k], &ctl[static_cast<size_t>(p.opnd_nos[k])]);
        }
        block = parms;  // the operand arrays live in the block
        return v;
    }
    ~OpFixture() { voz_TermOPPARM(block); }
    OPPARM* block = nullptr;
};

TEST(Search2Driver, OperatorParametersDropEmptyOperands) {
    {
        // D(w0, stop, w2): the stop word leaves, its 3 units a gap after w0.
        OpFixture f({false, true, false});
        f.op('D', {0, 1, 2});
        int32_t slots, nwords;
        std::vector<OPPARM> p = f.build(&slots, &nwords);
        ASSERT_EQ(p.size(), 1u);
        EXPECT_EQ(p[0].nopnd, 2);
        EXPECT_EQ(std::vector<int32_t>(p[0].opnd_nos, p[0].opnd_nos + 2),
                  (std::vector<int32_t>{0, 1}));
        EXPECT_EQ(p[0].node_no, 2);
        EXPECT_EQ(slots, 3);
        EXPECT_EQ(nwords, 2);
        EXPECT_EQ(f.ctl[0].gapUnits, 3);
        EXPECT_EQ(f.slotMap, (std::vector<int32_t>{0, 2, 3, -9}));
        EXPECT_EQ(f.released, 1);
        EXPECT_EQ(p[0].subkind, 'P');
    }
    {
        // NOT(stop, w1) keeps both; a 'P' operator left with one operand
        // turns strict.
        OpFixture f({true, false, false});
        f.op('N', {0, 1});
        f.op('O', {3, 2});
        int32_t slots, nwords;
        std::vector<OPPARM> p = f.build(&slots, &nwords);
        ASSERT_EQ(p.size(), 2u);
        EXPECT_EQ(p[0].nopnd, 2);
        EXPECT_EQ(p[1].nopnd, 2);
        EXPECT_EQ(f.released, 0);
    }
    {
        // AND(stop, stop) disappears, and so does OR(that); the root keeps
        // w2 alone and turns strict.
        OpFixture f({true, true, false});
        f.op('A', {0, 1});
        f.op('O', {3});
        f.op('O', {4, 2});
        int32_t slots, nwords;
        std::vector<OPPARM> p = f.build(&slots, &nwords);
        ASSERT_EQ(p.size(), 1u);
        EXPECT_EQ(p[0].nopnd, 1);
        EXPECT_EQ(p[0].opnd_nos[0], 0);
        EXPECT_EQ(p[0].node_no, 1);
        EXPECT_EQ(p[0].subkind, 'S');
        EXPECT_EQ(slots, 2);
        EXPECT_EQ(nwords, 1);
        EXPECT_EQ(f.released, 2);
        EXPECT_EQ(f.slotMap[0], 2);
        EXPECT_EQ(f.slotMap[1], 5);
    }
}

TEST_F(D5, BackReferenceToAnEarlierResultFile) {
    Query q;
    two(q, 'O', "456", "2020");
    q.finish();
    std::string file = corpus->tmp.path() + "/hits";
    GTRSEARCH_RES res{};
    res.res_type = GTR_RES_FILE_HEADER;
    res.res_dataform = 1;
    snprintf(res.res_fname, sizeof res.res_fname, "%s", file.c_str());
    GTRSTATUS st{};
    VOZ_Search_(h, &res, 2, q.words.data(), 1, q.ops.data(), nullptr, nullptr, 0, 0, 0, 0,
                nullptr, nullptr, nullptr, nullptr, &st, 0);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(res.result_docnum, 5);
    Query b;
    int32_t br = b.add('B', std::vector<uint8_t>(file.begin(), file.end()));
    int32_t w = b.word("123");
    b.op('A', {br, w});
    Outcome r = run(h, b);
    ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
    EXPECT_EQ(r.docs, (Docs{0, 1, 2, 4}));
}

// ---- an index changed by the test ------------------------------------------

TEST(Search2Halves, DeletedDocumentsAndBothHalves) {
    Corpus c;
    GTRSTATUS st{};
    c.cycle('N', 0, kD5, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    _FCTLHEAD main;
    voz_SetFctlForRead(&main, "idx", c.out.c_str(), 0, 0, "KPLQ", "Full", &st);
    char name[VOZ_FNAME_LEN];
    voz_IDXgetFname(name, &main, VOZ_FT_DELETED);
    std::filesystem::create_directories(std::string(name).substr(0, std::string(name).rfind('/')));
    {
        CVozDeletedDocs del;
        uint32_t gone[] = {2, 0};
        del.RegisterDeletedDocs(gone, 2);
        del.Externalize(name);
    }
    VOZSEARCH* h = c.open(st);
    ASSERT_EQ(st.retcode, 0);
    Query q;
    one(q, "123");
    Outcome r = run(h, q);
    ASSERT_EQ(r.st.retcode, 0);
    EXPECT_EQ(r.docs, (Docs{1, 4}));
    Query a;
    two(a, 'A', "123", "456");
    r = run(h, a);
    EXPECT_EQ(r.docs, (Docs{4}));
    closeHandle(h);

    c.cycle('A', 5, kSupp, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    h = c.open(st);
    ASSERT_EQ(st.retcode, 0);
    ASSERT_NE(h->setOpen[1], 0);
    Query b;
    two(b, 'O', "123", "2020");
    r = run(h, b);
    ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
    EXPECT_EQ(r.docs, (Docs{1, 3, 4, 5, 6, 7, 9}));
    // The walk counts a word's documents before deleted ones are dropped.
    EXPECT_EQ(b.words[0].wi.docfreq, 4 + 3);
    EXPECT_EQ(b.words[1].wi.docfreq, 2 + 1);
    EXPECT_EQ(r.wordCounts[0], 4 + 3);         // the keys' document counts
    EXPECT_EQ(r.wordCounts[1], 2 + 1);
    EXPECT_EQ(r.res.res_flag & 0x80, 0x80);
    Query s;
    one(s, "0");
    r = run(h, s);
    EXPECT_EQ(r.docs, (Docs{1, 3, 7}));
    Options o;
    o.estimateOnly = 1;
    Query e;
    one(e, "123");
    r = run(h, e, o);
    ASSERT_EQ(r.st.retcode, 0);
    EXPECT_EQ(r.estimates[0], 4);
    EXPECT_EQ(r.estimates[1], 3);
    closeHandle(h);
}

}  // namespace
