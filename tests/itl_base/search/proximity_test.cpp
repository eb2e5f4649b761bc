// Proximity scores of sub-kind 'P': hand-made occurrence sets for the
// search's rules, and ranked AND 'P' searches over corpus D5.
#include <vector>

#include "rank_fixture.hpp"
#include "search/voz_proximity.hpp"

using namespace rankfix;

namespace {

// Two or three word operands (slots 0..n-1) of one 'P' operator.
struct ProxCase {
    std::vector<_WCTLHEAD> nodes;
    std::vector<_WCTLHEAD*> recs;
    std::vector<int32_t> nos;
    std::vector<OCC> occ;
    std::vector<OCCSUPP> supp;
    OPPARM op{};
    explicit ProxCase(int32_t n) : nodes(static_cast<size_t>(n) + 1) {
        for (int32_t k = 0; k < n; ++k) {
            nodes[k].hit = 1.0f;
            recs.push_back(&nodes[k]);
            nos.push_back(k);
        }
        op.kind = VOZ_OP_AND;
        op.subkind = VOZ_SUB_PROX;
        op.nopnd = n;
        op.opnd_recs = recs.data();
        op.opnd_nos = nos.data();
        op.node_rec = &nodes[static_cast<size_t>(n)];
    }
    void add(int16_t word, int32_t pos, uint16_t len) {
        OCC o{};
        o.docno = 0;
        o.pos = pos;
        o.len = len;
        o.node = word;
        occ.push_back(o);
        OCCSUPP s{};
        s.node = word;
        s.enabled = 1;
        supp.push_back(s);
    }
    float score(float penalty) {
        float w[2] = {penalty, 1.0f};
        RANKPARM rp{};
        rp.rank_weights = w;
        return voz_ProximityRanking(nodes.data(), occ.data(), supp.data(),
                                    static_cast<int32_t>(occ.size()), &op, &rp, 0.0f);
    }
};

TEST(Proximity, RulesOfTheSearch) {
    {
        ProxCase c(2);  // adjacent, in order, no gap expected
        c.add(0, 1, 3);
        c.add(1, 4, 3);
        EXPECT_FLOAT_EQ(c.score(0.5f), 1.0f);
    }
    {
        ProxCase c(2);  // reverse order loses the penalty
        c.add(1, 1, 3);
        c.add(0, 4, 3);
        EXPECT_FLOAT_EQ(c.score(0.5f), 0.5f);
    }
    {
        ProxCase c(2);  // expected gap units are not counted as distance
        c.nodes[0].gapUnits = 2;
        c.add(0, 1, 3);
        c.add(1, 6, 3);
        EXPECT_FLOAT_EQ(c.score(0.5f), 1.0f);
    }
    {
        ProxCase c(2);  // more than 1000 positions apart: never combined
        c.add(0, 1, 3);
        c.add(1, 1100, 3);
        EXPECT_FLOAT_EQ(c.score(0.5f), 0.0f);
    }
    {
        ProxCase c(3);  // the far third operand is skipped: 2 of 3
        c.add(0, 1, 3);
        c.add(1, 4, 3);
        c.add(2, 5000, 3);
        EXPECT_FLOAT_EQ(c.score(0.0f), 2.0f / 3.0f);
    }
    {
        ProxCase c(2);  // overlapping occurrences are not combined
        c.add(0, 1, 3);
        c.add(1, 2, 3);
        EXPECT_FLOAT_EQ(c.score(0.0f), 0.0f);
    }
    {
        ProxCase c(1);  // a single operand scores 0
        c.add(0, 1, 3);
        EXPECT_FLOAT_EQ(c.score(0.0f), 0.0f);
    }
}

TEST_F(D5Ranked, ProximityAndScoresByNearnessAndOrder) {
    Query q;
    int32_t a = q.word("123"), b = q.word("456");
    q.op('A', {a, b}, 0, 'P');
    float weights[8] = {0.5f, 1.0f};
    Ranked r = runRanked(h, q, 0x30, 10, nullptr, weights);
    ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
    std::map<int32_t, float> want = {{0, 100.0f / 101.0f},
                                     {4, 100.0f / 102.0f},
                                     {2, 0.5f * 100.0f / 105.0f},
                                     {1, 0.0f}};
    ASSERT_EQ(r.docs.size(), want.size());
    EXPECT_EQ(docOrder(r), (std::vector<int32_t>{0, 4, 2, 1}));
    for (const GTRRANKDOC& d : r.docs) EXPECT_NEAR(d.score, want[d.docno], 1e-5) << d.docno;
}

}  // namespace
