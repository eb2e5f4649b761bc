// Operator evaluation: AND, OR, NOT and same-unit ('D') operators, strict
// and partial, over hand-made word controls whose next-hit operation walks
// an in-memory occurrence list, driven document by document by a small walk
// that skips to the root's next candidate. Units come from boundary keys
// written into a real key file. Also: the quick evaluation against the
// general one, the set-up mask, and the output clean-up.
#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "search/voz_blockctl.hpp"
#include "search/voz_evalhit.hpp"
#include "boundary_fixture.hpp"
#include "ti_test_util.hpp"

using namespace srchfix;

namespace {

// ---- hand-made words -----------------------------------------------------------

// One occurrence of a word: document, position, length.
struct Hit {
    int32_t doc, pos;
    uint16_t len;
};

struct MemWord {
    std::vector<OCC> occs;  // ascending (document, position)
    size_t next = 0;
};

// Next-hit operation over a MemWord: the first occurrence at or after the
// target; a negative target document resumes after the current one.
void memNextHit(_WCTLHEAD* w, IDXINFO*, IDXINFO*, ANSWERFORM*, int32_t doc,
                int32_t pos, GTRSTATUS*) {
    MemWord* m = static_cast<MemWord*>(w->priv);
    if (doc >= 0) {
        while (m->next < m->occs.size() &&
               (m->occs[m->next].docno < doc ||
                (m->occs[m->next].docno == doc && m->occs[m->next].pos < pos)))
            ++m->next;
    }
    if (m->next >= m->occs.size()) {
        w->cur = OCC{};
        w->cur.docno = VOZ_DOC_END;
        w->endFlag = 'Y';
        return;
    }
    w->cur = m->occs[m->next++];
}

// An operator in postfix order over slot numbers (words first).
struct OpSpec {
    char kind;
    char subkind;
    std::vector<int32_t> operands;
    int16_t distance = 0;
};

// Word controls, operator controls and OPPARMs of one query.
struct Query {
    std::vector<MemWord> words;
    std::vector<_WCTLHEAD> ctl;
    std::vector<OPPARM> ops;
    std::vector<std::vector<_WCTLHEAD*>> recs;
    std::vector<std::vector<int32_t>> nos;

    Query(const std::vector<std::vector<Hit>>& hits,
          const std::vector<OpSpec>& specs, const std::string& wordKinds = "") {
        const size_t nw = hits.size();
        words.resize(nw);
        ctl.assign(nw + specs.size(), _WCTLHEAD{});
        for (size_t i = 0; i < nw; ++i) {
            for (const Hit& h : hits[i]) {
                OCC o = occ(h.doc, h.pos, h.len, static_cast<int16_t>(i));
                words[i].occs.push_back(o);
            }
            std::sort(words[i].occs.begin(), words[i].occs.end(),
                      [](const OCC& a, const OCC& b) {
                          return a.docno != b.docno ? a.docno < b.docno : a.pos < b.pos;
                      });
            _WCTLHEAD& w = ctl[i];
            w.kind = i < wordKinds.size() ? wordKinds[i] : 'W';
            w.weight = 1.0f;
            w.priv = &words[i];
            w.nextHit = memNextHit;
            w.cur.docno = -1;
        }
        for (_WCTLHEAD& c : ctl) c.weight = 1.0f;
        recs.resize(specs.size());
        nos.resize(specs.size());
        ops.assign(specs.size(), OPPARM{});
        for (size_t k = 0; k < specs.size(); ++k) {
            OPPARM& op = ops[k];
            op.kind = specs[k].kind;
            op.subkind = specs[k].subkind;
            op.distance = specs[k].distance;
            nos[k] = specs[k].operands;
            for (int32_t s : nos[k]) recs[k].push_back(&ctl[static_cast<size_t>(s)]);
            op.nopnd = static_cast<int32_t>(nos[k].size());
            op.ope_count = op.nopnd;
            op.opnd_nos = nos[k].data();
            op.opnd_recs = recs[k].data();
            op.node_no = static_cast<int32_t>(nw + k);
            op.node_rec = &ctl[nw + k];
        }
    }
    int32_t nword() const { return static_cast<int32_t>(words.size()); }
    int32_t nop() const { return static_cast<int32_t>(ops.size()); }
};

// What a walk found: per hit document its surviving occurrences as
// "word@pos" text, and the documents evaluated.
struct WalkResult {
    std::map<int32_t, std::string> hits;
    std::vector<int32_t> evaluated;
};

std::string survivorsText(const OCC* o, int32_t n) {
    std::ostringstream os;
    for (int32_t i = 0; i < n; ++i) os << (i ? " " : "") << o[i].node << "@" << o[i].pos;
    return os.str();
}

// Gathers the occurrences of document d from every word standing on it, in
// position order, with a fresh OCCSUPP each; sets the words' hit counts.
void gather(Query& q, int32_t d, std::vector<OCC>& occs,
            std::vector<OCCSUPP>& supp) {
    occs.clear();
    for (int32_t i = 0; i < q.nword(); ++i) {
        _WCTLHEAD& w = q.ctl[static_cast<size_t>(i)];
        w.hit = 0;
        while (w.cur.docno == d) {
            occs.push_back(w.cur);
            w.hit += w.cur.weight;
            w.nextHit(&w, nullptr, nullptr, nullptr, -1, 0, nullptr);
        }
    }
    std::stable_sort(occs.begin(), occs.end(),
                     [](const OCC& a, const OCC& b) { return a.pos < b.pos; });
    supp.assign(occs.size(), OCCSUPP{});
    for (size_t j = 0; j < occs.size(); ++j) {
        supp[j].node = occs[j].node;
        supp[j].enabled = 1;
        supp[j].alive = 1;
    }
}

// The document walk: the next candidate is the root's next document.
WalkResult walk(Query& q, IDXINFO* index, bool quick, GTRSTATUS& st,
                RANKPARM* rank = nullptr) {
    WalkResult r;
    unsigned char mask = 0;
    int allowed = voz_InitForOperation(q.ops.data(), q.nop(), index, &mask, &st);
    EXPECT_TRUE(!quick || allowed) << "quick evaluation refused";
    for (_WCTLHEAD& w : q.ctl)
        if (w.nextHit) w.nextHit(&w, nullptr, nullptr, nullptr, -1, 0, nullptr);
    int32_t cand = 0;
    std::vector<OCC> occs;
    std::vector<OCCSUPP> supp;
    while (st.retcode == 0) {
        int32_t d = VOZ_DOC_END;
        for (int32_t i = 0; i < q.nword(); ++i) {
            _WCTLHEAD& w = q.ctl[static_cast<size_t>(i)];
            if (w.cur.docno < cand) w.nextHit(&w, nullptr, nullptr, nullptr, cand, 0, nullptr);
            d = std::min(d, w.cur.docno);
        }
        if (d == VOZ_DOC_END) break;
        gather(q, d, occs, supp);
        r.evaluated.push_back(d);
        int32_t n = static_cast<int32_t>(occs.size());
        int32_t next = -1;
        VVGDOCINFO vvg{d, 0, VOZ_VVG_NONE_END, d, 0, 0};
        int held = quick ? voz_EvaluateHitQuick(q.ops.data(), q.nop(), occs.data(),
                                                supp.data(), &n, q.ctl.data(),
                                                &next, rank, &st)
                         : voz_EvaluateHit(q.ops.data(), q.nop(), occs.data(),
                                           supp.data(), &n, index, &vvg,
                                           q.ctl.data(), q.nword(), &next,
                                           nullptr, rank, &st);
        if (held == 1) r.hits[d] = survivorsText(occs.data(), n);
        cand = std::max(next, d + 1);
    }
    voz_TermForOperation(q.ops.data(), q.nop());
    return r;
}

std::string hitsText(const std::map<int32_t, std::string>& m) {
    std::ostringstream os;
    for (auto& [d, s] : m) os << d << ":[" << s << "] ";
    return os.str();
}

// ---- index with boundary keys ---------------------------------------------------

// Index "idx" with the given boundaries in boundary slot `slot`, its text
// half open.
struct UnitIndex {
    TempDir dir{"evalhit"};
    VOZSEARCH* h = nullptr;
    IDXINFO* set = nullptr;

    UnitIndex(const List& boundaries, int slot, GTRSTATUS& st) {
        writeBoundarySet(dir.path(), slot, boundaries, st);
        if (st.retcode != 0) return;
        h = openText(dir.path(), "idx", st);
        if (st.retcode == 0) set = &h->first.set0[0];
    }
    ~UnitIndex() {
        if (h == nullptr) return;
        GTRSTATUS st{};
        VOZ_SearchClose_(h, &st, 0);
        VOZ_SearchRelease(&h, &st);
    }
};

// Sentence boundaries (slot 0): the position where each later sentence
// starts. Doc 0: [1,9) [9,..); doc 1: [1,20) [20,40) [40,..); doc 2 has
// none (one unit); doc 3: [1,5) [5,..).
const List kSentences = {{0, {9}}, {1, {20, 40}}, {3, {5}}};

}  // namespace

// ---- operator table ---------------------------------------------------------------

// Words a (0), b (1), c (2) over documents 0..6; each case gives the
// operators, the hit documents with their survivors ("word@pos").
TEST(EvaluateHit, OperatorTable) {
    const std::vector<std::vector<Hit>> hits = {
        {{0, 1, 3}, {0, 12, 3}, {1, 3, 3}, {2, 30, 3}, {3, 2, 3}, {4, 7, 3}},  // a
        {{0, 5, 3}, {1, 25, 3}, {2, 5, 3}, {3, 10, 3}, {5, 1, 3}},            // b
        {{1, 45, 3}, {3, 6, 3}, {4, 1, 3}, {6, 2, 3}},                        // c
    };
    struct Case {
        const char* what;
        std::vector<OpSpec> ops;
        std::string want;
    } cases[] = {
        {"AND", {{'A', 'S', {0, 1}}},
         "0:[0@1 1@5 0@12] 1:[0@3 1@25] 2:[1@5 0@30] 3:[0@2 1@10] "},
        {"OR", {{'O', 'S', {1, 2}}},
         "0:[1@5] 1:[1@25 2@45] 2:[1@5] 3:[2@6 1@10] 4:[2@1] 5:[1@1] 6:[2@2] "},
        {"NOT strict drops documents with the negated word",
         {{'N', 'S', {0, 2}}}, "0:[0@1 0@12] 2:[0@30] "},
        {"NOT partial keeps them and drops only the negated occurrences",
         {{'N', 'F', {0, 2}}},
         "0:[0@1 0@12] 1:[0@3] 2:[0@30] 3:[0@2] 4:[0@7] "},
        {"AND partial holds with any operand", {{'A', 'F', {0, 2}}},
         "0:[0@1 0@12] 1:[0@3 2@45] 2:[0@30] 3:[0@2 2@6] 4:[2@1 0@7] 6:[2@2] "},
        {"AND proximity (score 0) holds like partial", {{'A', 'P', {1, 2}}},
         "0:[1@5] 1:[1@25 2@45] 2:[1@5] 3:[2@6 1@10] 4:[2@1] 5:[1@1] 6:[2@2] "},
        {"OR over AND: only the holding branch survives",
         {{'A', 'S', {0, 1}}, {'O', 'S', {2, 3}}},
         "0:[0@1 1@5 0@12] 1:[0@3 1@25 2@45] 2:[1@5 0@30] "
         "3:[0@2 2@6 1@10] 4:[2@1] 6:[2@2] "},
        {"NOT over OR", {{'O', 'S', {0, 1}}, {'N', 'S', {3, 2}}},
         "0:[0@1 1@5 0@12] 2:[1@5 0@30] 5:[1@1] "},
    };
    for (const Case& c : cases) {
        for (bool rank : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (rank ? " (ranking)" : ""));
            Query q(hits, c.ops);
            RANKPARM rp{};
            rp.rank_flags = 1;
            GTRSTATUS st{};
            WalkResult r = walk(q, nullptr, false, st, rank ? &rp : nullptr);
            ASSERT_OK(st);
            EXPECT_EQ(hitsText(r.hits), c.want);
        }
    }
}

// A NOT whose positive operand is a document list ('D' word) stays strict
// whatever its sub-kind.
TEST(EvaluateHit, NotOverDocumentListIsStrict) {
    const std::vector<std::vector<Hit>> hits = {
        {{0, 1, 0}, {1, 1, 0}, {2, 1, 0}}, {{1, 4, 2}}};
    Query q(hits, {{'N', 'F', {0, 1}}}, "DW");
    GTRSTATUS st{};
    WalkResult r = walk(q, nullptr, false, st);
    ASSERT_OK(st);
    EXPECT_EQ(hitsText(r.hits), "0:[0@1] 2:[0@1] ");
}

// An empty positive operand (kept by the driver) makes a NOT find nothing.
TEST(EvaluateHit, NotWithEmptyPositiveFindsNothing) {
    Query q({{}, {{0, 1, 3}, {1, 1, 3}}}, {{'N', 'S', {0, 1}}});
    GTRSTATUS st{};
    WalkResult r = walk(q, nullptr, false, st);
    ASSERT_OK(st);
    EXPECT_TRUE(r.hits.empty());
}

// Strict AND reports the largest next document of its operands, so the
// walk jumps over documents where the rare word cannot be.
TEST(EvaluateHit, StrictAndSkipsToTheLaggingOperand) {
    std::vector<Hit> frequent, rare = {{50, 2, 1}, {99, 2, 1}};
    for (int32_t d = 0; d < 100; ++d) frequent.push_back({d, 1, 1});
    Query q({frequent, rare}, {{'A', 'S', {0, 1}}});
    GTRSTATUS st{};
    WalkResult r = walk(q, nullptr, false, st);
    ASSERT_OK(st);
    EXPECT_EQ(hitsText(r.hits), "50:[0@1 1@2] 99:[0@1 1@2] ");
    EXPECT_EQ(r.evaluated, (std::vector<int32_t>{0, 50, 99}));
}

// Word hit counts after a hit are rebuilt from the occurrences; the next
// document of an OR is the smallest (document, position) of its operands.
TEST(EvaluateHit, RebuildsWordHitsAndNextDocument) {
    Query q({{{3, 1, 2}, {3, 4, 2}, {7, 9, 1}}, {{3, 2, 1}, {5, 1, 1}}},
            {{'O', 'S', {0, 1}}});
    for (int32_t i = 0; i < 2; ++i)
        q.ctl[i].nextHit(&q.ctl[i], nullptr, nullptr, nullptr, -1, 0, nullptr);
    std::vector<OCC> occs;
    std::vector<OCCSUPP> supp;
    gather(q, 3, occs, supp);
    int32_t n = static_cast<int32_t>(occs.size()), next = 0;
    q.ctl[0].hit = 9;  // stale: rebuilt from the occurrences
    GTRSTATUS st{};
    VVGDOCINFO vvg{3, 0, VOZ_VVG_NONE_END, 3, 0, 0};
    EXPECT_EQ(voz_EvaluateHit(q.ops.data(), 1, occs.data(), supp.data(), &n,
                              nullptr, &vvg, q.ctl.data(), 2, &next, nullptr,
                              nullptr, &st), 1);
    EXPECT_EQ(next, 5);
    EXPECT_EQ(q.ctl[2].cur.pos, 1);
    EXPECT_EQ(n, 3);
    EXPECT_FLOAT_EQ(q.ctl[0].hit, 2.0f);
    EXPECT_FLOAT_EQ(q.ctl[1].hit, 1.0f);
    for (int32_t j = 0; j < n; ++j) EXPECT_EQ(supp[j].node, 2) << j;
}

// ---- same-unit operator -----------------------------------------------------------

// 'D' over a (0), b (1), c (2) with sentence units; strict needs every
// operand in one sentence, partial any operand.
TEST(EvaluateHit, DistanceTable) {
    GTRSTATUS st{};
    UnitIndex idx(kSentences, 0, st);
    ASSERT_OK(st);
    const std::vector<std::vector<Hit>> hits = {
        // doc 0: a,b in sentence 1; a again in sentence 2.
        // doc 1: a in s1, b in s2: never together. doc 2: no boundaries.
        // doc 3: b crosses the boundary at 5; c in s2. doc 4: a alone.
        {{0, 1, 3}, {0, 10, 3}, {1, 3, 3}, {2, 30, 3}, {4, 7, 3}},
        {{0, 5, 3}, {1, 25, 3}, {2, 5, 3}, {3, 3, 3}},
        {{3, 8, 3}},
        {{0, 20, 2}},  // e (3)
    };
    struct Case {
        const char* what;
        std::vector<OpSpec> ops;
        std::string want;
    } cases[] = {
        {"strict over a,b", {{'D', 'S', {0, 1}}},
         "0:[0@1 1@5 0@10] 2:[1@5 0@30] "},
        {"strict over b,c (b runs past its unit)", {{'D', 0, {1, 2}}}, ""},
        {"partial over a,b", {{'D', 'F', {0, 1}}},
         "0:[0@1 1@5 0@10] 1:[0@3 1@25] 2:[1@5 0@30] 3:[1@3] 4:[0@7] "},
        // The unit of a,b holds in doc 0 but its AND with c fails: a,b must
        // not reach the OR above through their unit mark.
        {"OR over a failed AND over a unit",
         {{'D', 'S', {0, 1}}, {'A', 'S', {4, 2}}, {'O', 'S', {5, 3}}},
         "0:[3@20] "},
        // In doc 0 the second unit operator starts scanning at e@20: the
        // marks the first one left on a,b must not make them its own (and
        // so negated).
        {"partial NOT over two unit operators",
         {{'D', 'F', {0, 1}}, {'D', 'F', {2, 3}}, {'N', 'F', {4, 5}}},
         "0:[0@1 1@5 0@10] 1:[0@3 1@25] 2:[1@5 0@30] 3:[1@3] 4:[0@7] "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Query q(hits, c.ops);
        WalkResult r = walk(q, idx.set, false, st);
        ASSERT_OK(st);
        EXPECT_EQ(hitsText(r.hits), c.want);
    }
}

// The flags one document leaves behind: a strict unit that misses an
// operand drops its occurrences (alive 0); an absent operand disables the
// others at once; a partial unit records the share of operands found.
TEST(EvaluateHit, DistanceOccurrenceStates) {
    GTRSTATUS st{};
    UnitIndex idx(kSentences, 0, st);
    ASSERT_OK(st);
    struct Case {
        const char* what;
        char subkind;
        int32_t doc;
        std::vector<std::vector<Hit>> hits;
        int want;
        std::vector<int32_t> enabled, alive, unitNo;
        std::vector<float> keptShare;
    } cases[] = {
        {"strict, never in one unit", 'S', 1,
         {{{1, 3, 3}}, {{1, 25, 3}}}, 0, {1, 1}, {0, 0}, {0, 1}, {0, 0}},
        {"strict, operand absent", 'S', 0,
         {{{0, 1, 3}, {0, 10, 3}}, {}}, 0, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
        {"strict, second unit incomplete", 'S', 0,
         {{{0, 1, 3}, {0, 10, 3}}, {{0, 5, 3}}}, 1, {1, 1, 1}, {1, 1, 0},
         {0, 0, 1}, {0, 0, 0}},
        {"partial, shares per unit", 'F', 0,
         {{{0, 1, 3}, {0, 10, 3}}, {{0, 5, 3}}}, 1, {1, 1, 1}, {1, 1, 1},
         {0, 0, 1}, {1.0f, 1.0f, 0.5f}},
        {"partial, one operand absent", 'F', 1,
         {{{1, 3, 3}, {1, 42, 3}}, {}}, 1, {1, 1}, {1, 1}, {0, 1},
         {0.5f, 0.5f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Query q(c.hits, {{'D', c.subkind, {0, 1}}});
        unsigned char mask = 0;
        EXPECT_EQ(voz_InitForOperation(q.ops.data(), 1, idx.set, &mask, &st), 0);
        ASSERT_OK(st);
        for (_WCTLHEAD& w : q.ctl)
            if (w.nextHit) w.nextHit(&w, nullptr, nullptr, nullptr, -1, 0, nullptr);
        std::vector<OCC> occs;
        std::vector<OCCSUPP> supp;
        gather(q, c.doc, occs, supp);
        int32_t n = static_cast<int32_t>(occs.size()), next = 0;
        VVGDOCINFO vvg{c.doc, 0, VOZ_VVG_NONE_END, c.doc, 0, 0};
        int held = voz_EvaluateHit(q.ops.data(), 1, occs.data(), supp.data(), &n,
                                   idx.set, &vvg, q.ctl.data(), 2, &next,
                                   nullptr, nullptr, &st);
        ASSERT_OK(st);
        EXPECT_EQ(held, c.want);
        ASSERT_EQ(supp.size(), c.enabled.size());
        // A held document's survivors were compacted to the front (here:
        // every occurrence, in order).
        for (size_t j = 0; j < c.enabled.size(); ++j) {
            if (held) break;
            EXPECT_EQ(supp[j].enabled, c.enabled[j]) << j;
            EXPECT_EQ(supp[j].alive, c.alive[j]) << j;
            EXPECT_EQ(supp[j].unit_no, c.unitNo[j]) << j;
        }
        if (held) {
            ASSERT_EQ(n, static_cast<int32_t>(c.alive.size()));
            for (size_t j = 0; j < c.alive.size(); ++j) {
                EXPECT_EQ(supp[j].alive, c.alive[j]) << j;
                EXPECT_EQ(supp[j].unit_no, c.unitNo[j]) << j;
                EXPECT_FLOAT_EQ(supp[j].kept_share, c.keptShare[j]) << j;
            }
        }
        voz_TermForOperation(q.ops.data(), 1);
    }
}

// ---- randomized: general and quick evaluation against a model ------------------

namespace {

// Model of a query tree over one document: whether a node holds, and the
// (position, word) pairs that survive under it. Units are the blocks
// between sentence boundaries: [1, b1), [b1, b2), ..., [bn, end); an
// occurrence lies in a unit when it starts and ends inside it.
struct Model {
    const std::vector<std::vector<Hit>>& hits;
    const std::vector<OpSpec>& ops;
    const std::vector<int32_t>& bounds;  // of this document, ascending
    int32_t nw;
    int32_t doc;

    using Occs = std::set<std::pair<int32_t, int32_t>>;  // (position, word)

    const OpSpec& opOf(int32_t node) const {
        return ops[static_cast<size_t>(node - nw)];
    }
    uint16_t lenOf(int32_t pos, int32_t w) const {
        for (const Hit& h : hits[static_cast<size_t>(w)])
            if (h.doc == doc && h.pos == pos) return h.len;
        return 0;
    }
    // Unit number of an occurrence, -1 when it runs past its unit.
    int32_t unitOf(int32_t pos, uint16_t len) const {
        size_t k = static_cast<size_t>(
            std::upper_bound(bounds.begin(), bounds.end(), pos) - bounds.begin());
        int64_t end = k < bounds.size() ? bounds[k] : VOZ_POS_END;
        return pos + len - 1 < end ? static_cast<int32_t>(k) : -1;
    }
    bool sameUnit(const OpSpec& op) const {
        std::map<int32_t, std::set<int32_t>> seen;  // unit -> operands
        for (size_t i = 0; i < op.operands.size(); ++i) {
            Occs s;
            survivors(op.operands[i], s);
            for (auto& [pos, w] : s) {
                int32_t u = unitOf(pos, lenOf(pos, w));
                if (u >= 0) seen[u].insert(static_cast<int32_t>(i));
            }
        }
        for (auto& e : seen)
            if (e.second.size() == op.operands.size()) return true;
        return false;
    }
    bool holds(int32_t node) const {
        if (node < nw) {
            for (const Hit& h : hits[static_cast<size_t>(node)])
                if (h.doc == doc) return true;
            return false;
        }
        const OpSpec& op = opOf(node);
        bool partial = op.subkind == 'F' || op.subkind == 'P';
        if (op.kind == 'N') {
            if (!holds(op.operands[0])) return false;
            if (partial) return true;
            for (size_t i = 1; i < op.operands.size(); ++i)
                if (holds(op.operands[i])) return false;
            return true;
        }
        bool all = true, any = false;
        for (int32_t o : op.operands) {
            if (holds(o)) any = true;
            else all = false;
        }
        if (partial || op.kind == 'O') return any;
        return all && (op.kind == 'A' || sameUnit(op));
    }
    void survivors(int32_t node, Occs& out) const {
        if (node < nw) {
            for (const Hit& h : hits[static_cast<size_t>(node)])
                if (h.doc == doc) out.insert({h.pos, node});
            return;
        }
        const OpSpec& op = opOf(node);
        if (op.kind == 'N') {
            survivors(op.operands[0], out);
            return;
        }
        for (int32_t o : op.operands)
            if (holds(o)) survivors(o, out);
    }
};

std::string modelHits(const std::vector<std::vector<Hit>>& hits,
                      const std::vector<OpSpec>& ops,
                      const std::map<int32_t, std::vector<int32_t>>& bounds,
                      int32_t nw, int32_t ndoc) {
    std::map<int32_t, std::string> m;
    int32_t root = nw + static_cast<int32_t>(ops.size()) - 1;
    const std::vector<int32_t> none;
    for (int32_t d = 0; d < ndoc; ++d) {
        auto b = bounds.find(d);
        Model model{hits, ops, b != bounds.end() ? b->second : none, nw, d};
        if (!model.holds(root)) continue;
        Model::Occs s;
        model.survivors(root, s);
        std::ostringstream os;
        bool first = true;
        for (auto& [pos, w] : s) {
            os << (first ? "" : " ") << w << "@" << pos;
            first = false;
        }
        m[d] = os.str();
    }
    return hitsText(m);
}

// Operators in postfix order as text: "kind/subkind(operands)".
std::string opsText(const std::vector<OpSpec>& ops) {
    std::ostringstream os;
    for (const OpSpec& op : ops) {
        os << op.kind << "/" << (op.subkind ? op.subkind : '0') << "(";
        for (size_t i = 0; i < op.operands.size(); ++i)
            os << (i ? "," : "") << op.operands[i];
        os << ") ";
    }
    return os.str();
}

// Random operators over the words, each word used once, in postfix order.
std::vector<OpSpec> randomTree(std::mt19937& rng, int32_t nw) {
    std::vector<int32_t> pool(static_cast<size_t>(nw));
    for (int32_t i = 0; i < nw; ++i) pool[static_cast<size_t>(i)] = i;
    std::shuffle(pool.begin(), pool.end(), rng);
    std::vector<OpSpec> ops;
    const char kinds[] = {'A', 'O', 'N', 'D'};
    const char subs[] = {'S', 0, 'F', 'P'};
    do {
        size_t take = std::min<size_t>(pool.size(), 2 + rng() % 2);
        OpSpec op{kinds[rng() % 4], subs[rng() % 4], {}};
        if (op.kind == 'N' && op.subkind == 'P') op.subkind = 'F';
        op.operands.assign(pool.end() - static_cast<long>(take), pool.end());
        pool.resize(pool.size() - take);
        if (op.kind != 'N') std::sort(op.operands.begin(), op.operands.end());
        pool.insert(pool.begin() + static_cast<long>(rng() % (pool.size() + 1)),
                    nw + static_cast<int32_t>(ops.size()));
        ops.push_back(op);
    } while (pool.size() > 1);
    return ops;
}

}  // namespace

// Random AND/OR/NOT/'D' trees of every sub-kind over random documents and
// sentence boundaries: hit documents and survivors equal the model's, and
// the quick evaluation finds the same documents where it is allowed.
TEST(EvaluateHit, AgreesWithModelOnRandomTrees) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    const int32_t ndoc = 25;
    std::map<int32_t, std::vector<int32_t>> bounds;
    List boundList;
    for (int32_t d = 0; d < ndoc; ++d) {
        std::set<int32_t> b;
        for (uint32_t k = rng() % 4; k > 0; --k) b.insert(2 + static_cast<int32_t>(rng() % 29));
        if (b.empty() && d > 0) continue;
        if (b.empty()) b.insert(10);
        bounds[d].assign(b.begin(), b.end());
        boundList.push_back({static_cast<uint32_t>(d), {b.begin(), b.end()}});
    }
    GTRSTATUS st{};
    UnitIndex idx(boundList, 0, st);
    ASSERT_OK(st);
    for (int round = 0; round < 300; ++round) {
        int32_t nw = 1 + static_cast<int32_t>(rng() % 5);
        std::vector<std::vector<Hit>> hits(static_cast<size_t>(nw));
        for (auto& w : hits) {
            for (int32_t d = 0; d < ndoc; ++d) {
                if (rng() % 10 >= 4) continue;
                std::set<int32_t> pos;
                for (uint32_t k = 1 + rng() % 3; k > 0; --k)
                    pos.insert(1 + static_cast<int32_t>(rng() % 30));
                for (int32_t p : pos)
                    w.push_back({d, p, static_cast<uint16_t>(1 + rng() % 3)});
            }
        }
        std::vector<OpSpec> ops;
        if (nw == 1) ops.push_back({rng() % 2 ? 'A' : 'O', 'S', {0}});
        else ops = randomTree(rng, nw);
        SCOPED_TRACE("seed " + std::to_string(seed) + " round " +
                     std::to_string(round) + ": " + opsText(ops));
        std::string want = modelHits(hits, ops, bounds, nw, ndoc);
        Query q(hits, ops);
        WalkResult r = walk(q, idx.set, false, st);
        ASSERT_OK(st);
        ASSERT_EQ(hitsText(r.hits), want);
        if (ops.size() == 1 && ops[0].kind != 'N' && ops[0].kind != 'D') {
            Query qq(hits, ops);
            WalkResult rq = walk(qq, idx.set, true, st);
            ASSERT_OK(st);
            std::set<int32_t> a, b;
            for (auto& e : r.hits) a.insert(e.first);
            for (auto& e : rq.hits) b.insert(e.first);
            ASSERT_EQ(a, b) << "quick evaluation disagrees";
        }
    }
}

// ---- set-up, quick evaluation, clean-up ---------------------------------------------

TEST(InitForOperation, MaskAndQuickChoice) {
    struct Case {
        std::vector<OpSpec> ops;
        unsigned char mask;
        int quick;
    } cases[] = {
        {{{'A', 'S', {0, 1}}}, 0x82, 1},
        {{{'O', 0, {0, 1}}}, 0x40, 1},
        {{{'A', 'P', {0, 1}}}, 0x84, 1},
        {{{'O', 'F', {0, 1}}}, 0x48, 1},
        {{{'N', 'S', {0, 1}}}, 0x12, 0},
        {{{'A', 'S', {0, 1}}, {'O', 'S', {3, 2}}}, 0xC2, 0},
        {{{'A', 'S', {0, 1}}, {'A', 'S', {3, 2}}}, 0x82, 0},
    };
    for (const Case& c : cases) {
        Query q({{}, {}, {}}, c.ops);
        unsigned char mask = 0xFF;
        GTRSTATUS st{};
        EXPECT_EQ(voz_InitForOperation(q.ops.data(), q.nop(), nullptr, &mask, &st),
                  c.quick);
        ASSERT_OK(st);
        EXPECT_EQ(mask, c.mask);
        voz_TermForOperation(q.ops.data(), q.nop());
    }
    // A range on the operator's control forbids quick evaluation.
    for (int which : {0, 1}) {
        Query q({{}, {}}, {{'A', 'S', {0, 1}}});
        if (which == 0) q.ctl[2].rangeCount = 1;
        else q.ctl[2].rangeValue = 3;
        unsigned char mask = 0;
        GTRSTATUS st{};
        EXPECT_EQ(voz_InitForOperation(q.ops.data(), 1, nullptr, &mask, &st), 0);
        ASSERT_OK(st);
    }
    // An unknown kind.
    Query bad({{}, {}}, {{'X', 'S', {0, 1}}});
    unsigned char mask = 0;
    GTRSTATUS st{};
    EXPECT_EQ(voz_InitForOperation(bad.ops.data(), 1, nullptr, &mask, &st), 0);
    EXPECT_RC(st, 17, VOZ_EC_OPKIND_INIT);
}

TEST(InitForOperation, OpensAndClosesUnitReaders) {
    GTRSTATUS st{};
    UnitIndex idx(kSentences, 0, st);
    ASSERT_OK(st);
    Query q({{}, {}, {}}, {{'D', 'S', {0, 1}}, {'O', 'S', {3, 2}}});
    unsigned char mask = 0;
    EXPECT_EQ(voz_InitForOperation(q.ops.data(), 2, idx.set, &mask, &st), 0);
    ASSERT_OK(st);
    EXPECT_EQ(mask, 0x62);
    EXPECT_NE(q.ops[0].unit_reader, nullptr);
    EXPECT_EQ(q.ops[1].unit_reader, nullptr);
    voz_TermForOperation(q.ops.data(), 2);
    EXPECT_EQ(q.ops[0].unit_reader, nullptr);
    // A boundary key number the index cannot have: the reader's failure.
    Query far({{}, {}}, {{'D', 'S', {0, 1}, 41}});
    EXPECT_EQ(voz_InitForOperation(far.ops.data(), 1, idx.set, &mask, &st), 0);
    EXPECT_EQ(st.retcode, 17);
    voz_TermForOperation(far.ops.data(), 1);
}

TEST(EvaluateHitQuick, RanksOneAndRefusesNot) {
    Query q({{{0, 1, 1}}, {{0, 2, 1}}}, {{'A', 'P', {0, 1}}});
    GTRSTATUS st{};
    WalkResult r = walk(q, nullptr, true, st);
    ASSERT_OK(st);
    EXPECT_EQ(hitsText(r.hits), "0:[0@1 1@2] ") << "every occurrence is kept";
    EXPECT_FLOAT_EQ(q.ctl[2].rank, 1.0f);
    EXPECT_FLOAT_EQ(q.ctl[2].prox, 1.0f) << "adjacent, in query order";

    Query n({{{0, 1, 1}}, {}}, {{'N', 'S', {0, 1}}});
    int32_t cnt = 0, next = 0;
    EXPECT_EQ(voz_EvaluateHitQuick(n.ops.data(), 1, nullptr, nullptr, &cnt,
                                   n.ctl.data(), &next, nullptr, &st), -1);
    EXPECT_RC(st, 17, VOZ_EC_OPKIND_QUICK);
}

// Output clean-up: equal occurrences once, a positioned occurrence
// replaces a document-level one before it, document-level ones fold into
// one with the smaller match grade.
TEST(RemoveDupOcc, Table) {
    auto o = [](int32_t pos, uint16_t len, uint8_t match = 100, uint8_t weight = 1) {
        OCC x = occ(4, pos, len, 7);
        x.match = match;
        x.weight = weight;
        x.spare = 9;
        return x;
    };
    struct Case {
        const char* what;
        std::vector<OCC> in, want;
    } cases[] = {
        {"single", {o(3, 2)}, {o(3, 2)}},
        {"equal twice", {o(3, 2), o(3, 2), o(5, 1)}, {o(3, 2), o(5, 1)}},
        {"different weight stays", {o(3, 2), o(3, 2, 100, 2)}, {o(3, 2), o(3, 2, 100, 2)}},
        {"different length stays", {o(3, 2), o(3, 1)}, {o(3, 2), o(3, 1)}},
        {"document level replaced", {o(1, 0, 80), o(3, 2)}, {o(3, 2)}},
        {"document level folded", {o(1, 0, 80), o(1, 0, 60), o(1, 0, 90)}, {o(1, 0, 60)}},
        {"document level after positioned dropped", {o(3, 2), o(1, 0)}, {o(3, 2)}},
        {"empty", {}, {}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        int32_t n = static_cast<int32_t>(c.in.size());
        voz_RemoveDupOcc(c.in.data(), &n);
        ASSERT_EQ(n, static_cast<int32_t>(c.want.size()));
        for (int32_t i = 0; i < n; ++i) {
            OCC w = c.want[static_cast<size_t>(i)];
            w.node = 0;
            w.spare = 0;
            EXPECT_TRUE(sameOcc(c.in[static_cast<size_t>(i)], w)) << i;
        }
    }
}
