// Posting and pair pools of range words: which keys land in which pool, the
// tie between the two kinds, pair-pool skips, order repairs, and the limit
// on the posting pools.
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "calls/voz_itemkey.hpp"
#include "files/voz_keyfile.hpp"
#include "search/voz_fromto.hpp"
#include "search/voz_pools.hpp"
#include "item_fixture.hpp"

using itemfix::ItemIndex;
using itemfix::num;

namespace {

std::vector<uint8_t> keyOf(int16_t number, double v) {
    std::vector<uint8_t> k(VOZ_DOUBLE_KEY_MAX);
    k.resize(static_cast<size_t>(vozNormalizeDouble(&v, number, 2, k.data())));
    return k;
}

void initRange(_WCTLHEAD& w, IDXINFO* index, double lo, double hi,
               GTRSTATUS& st) {
    std::vector<uint8_t> a = keyOf(1, lo), b = keyOf(1, hi);
    voz_GetFromToInit(a.data(), static_cast<int32_t>(a.size()), 'I', b.data(),
                      static_cast<int32_t>(b.size()), 'I', &w, index, nullptr,
                      &st);
}

bool below(const SHORTOCC& a, const SHORTOCC& b) {
    return a.document < b.document ||
           (a.document == b.document && a.position < b.position);
}

}  // namespace

TEST(Pools, OneDocumentKeysUseOnlyPairPools) {
    ItemIndex ix;
    GTRSTATUS st{};
    std::vector<std::vector<itemfix::Item>> docs;
    for (int d = 0; d < 50; ++d) docs.push_back({num(1, d)});
    ix.build(docs, st);
    ASSERT_EQ(st.retcode, 0);
    VOZSEARCH* h = ix.openBoth(st);
    ASSERT_EQ(st.retcode, 0);
    IDXINFO* items = &h->second.set0[0];
    _WCTLHEAD w{};
    initRange(w, items, 0, 100, st);
    ASSERT_EQ(st.retcode, 0);
    auto* c = static_cast<VOZFROMTOCTL*>(w.priv);
    EXPECT_EQ(c->pools.pctlCount, 0);  // pool 0 stayed empty and was dropped
    EXPECT_EQ(c->pools.soccCount, 1);
    EXPECT_EQ(c->pools.soccPools[0].left, 50);
    for (int d = 0; d < 50; ++d) {
        w.nextHit(&w, items, nullptr, nullptr, -1, 0, &st);
        ASSERT_EQ(w.cur.docno, d);
    }
    w.nextHit(&w, items, nullptr, nullptr, -1, 0, &st);
    EXPECT_EQ(w.cur.docno, VOZ_DOC_END);
    EXPECT_EQ(w.priv, nullptr);
    s2fix::closeHandle(h);
}

TEST(Pools, SameHitFromBothKindsPostingPoolFirst) {
    ItemIndex ix;
    GTRSTATUS st{};
    // Key 5 in documents 0 and 1 (a posting control), key 6 in 0 (a pair).
    ix.build({{num(1, 5), num(1, 6)}, {num(1, 5)}}, st);
    ASSERT_EQ(st.retcode, 0);
    VOZSEARCH* h = ix.openBoth(st);
    ASSERT_EQ(st.retcode, 0);
    IDXINFO* items = &h->second.set0[0];
    _WCTLHEAD w{};
    initRange(w, items, 0, 10, st);
    ASSERT_EQ(st.retcode, 0);
    auto* c = static_cast<VOZFROMTOCTL*>(w.priv);
    ASSERT_EQ(c->pools.pctlCount, 1);
    ASSERT_EQ(c->pools.soccCount, 1);
    w.nextHit(&w, items, nullptr, nullptr, -1, 0, &st);
    EXPECT_EQ(std::make_pair(w.cur.docno, w.cur.pos), std::make_pair(0, 1));
    // The posting control gave it: its pool moved on, the pair is still there.
    EXPECT_EQ(c->pools.soccPools[0].left, 1);
    EXPECT_EQ(voz_PctlPoolHead(&c->pools.pctlPools[0]).document, 1);
    w.nextHit(&w, items, nullptr, nullptr, -1, 0, &st);
    EXPECT_EQ(std::make_pair(w.cur.docno, w.cur.pos), std::make_pair(0, 1));
    EXPECT_EQ(c->pools.soccActive, 0);
    w.nextHit(&w, items, nullptr, nullptr, -1, 0, &st);
    EXPECT_EQ(w.cur.docno, 1);
    w.nextHit(&w, items, nullptr, nullptr, -1, 0, &st);
    EXPECT_EQ(w.cur.docno, VOZ_DOC_END);
    EXPECT_EQ(st.retcode, 0);
    s2fix::closeHandle(h);
}

TEST(Pools, PairPoolSkips) {
    GTRSTATUS st{};
    _SOCCPOOL p;
    voz_SOccPoolInit(&p, 8, &st);
    const SHORTOCC pairs[] = {{1, 1}, {3, 1}, {5, 1}, {7, 1}};
    for (const SHORTOCC& x : pairs) p.pairs[p.left++] = x;
    SHORTOCC t{7, 1};
    voz_PointSOccPoolSkip(&p, &t, &st);
    EXPECT_EQ(p.left, 1);  // stops on the last remaining pair
    EXPECT_EQ(voz_SOccPoolHead(&p).document, 7);
    voz_PointSOccPoolSkip(&p, &t, &st);
    EXPECT_EQ(p.left, 1);
    t = {7, 2};
    voz_PointSOccPoolSkip(&p, &t, &st);
    EXPECT_EQ(p.left, 0);
    EXPECT_EQ(p.cursor, 0);
    EXPECT_EQ(p.pairs[0].document, VOZ_DOC_END);
    voz_SOccPoolTerm(&p, &st);

    // Random pools and targets against a linear scan.
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    for (int round = 0; round < 300; ++round) {
        int n = 1 + static_cast<int>(rng() % 60);
        std::vector<SHORTOCC> v(static_cast<size_t>(n));
        for (SHORTOCC& x : v) x = {static_cast<int32_t>(rng() % 40),
                                   static_cast<int32_t>(1 + rng() % 3)};
        std::sort(v.begin(), v.end(), below);
        voz_SOccPoolInit(&p, n, &st);
        for (const SHORTOCC& x : v) p.pairs[p.left++] = x;
        size_t cur = 0;
        for (int k = 0; k < 5 && p.left > 0; ++k) {
            SHORTOCC target{static_cast<int32_t>(rng() % 45),
                            static_cast<int32_t>(rng() % 4)};
            while (cur < v.size() && below(v[cur], target)) ++cur;
            voz_PointSOccPoolSkip(&p, &target, &st);
            if (cur == v.size()) {
                ASSERT_EQ(p.left, 0) << "seed " << seed;
                break;
            }
            ASSERT_EQ(p.cursor, static_cast<int32_t>(cur)) << "seed " << seed;
            ASSERT_EQ(p.left, n - static_cast<int32_t>(cur));
        }
        voz_SOccPoolTerm(&p, &st);
    }
}

TEST(Pools, OrderRepairPutsMovedEntryBeforeEqual) {
    std::vector<_KEYPAIR> e(4);
    for (auto& x : e) memset(&x, 0, sizeof x);
    e[0].pair = {2, 1};
    e[1].pair = {3, 1};
    e[2].pair = {5, 1};
    e[3].pair = {6, 1};
    int32_t order[] = {0, 1, 2, 3};
    int32_t active = 4;
    e[0].pair = {5, 1};  // moved onto entry 2's hit
    voz_KeepOrderKeyPairIX(&active, 1, order, e.data());
    EXPECT_EQ(active, 4);
    EXPECT_EQ(std::vector<int32_t>(order, order + 4), (std::vector<int32_t>{1, 0, 2, 3}));
    e[1].pair = {VOZ_DOC_END, 0};  // exhausted: goes behind the active ones
    voz_KeepOrderKeyPairIX(&active, 1, order, e.data());
    EXPECT_EQ(active, 3);
    EXPECT_EQ(std::vector<int32_t>(order, order + 4), (std::vector<int32_t>{0, 2, 3, 1}));
    // Twelve entries moved far (past the linear probe) land in order.
    std::vector<_KEYPAIR> many(30);
    std::vector<int32_t> ord(30);
    for (int i = 0; i < 30; ++i) {
        memset(&many[i], 0, sizeof many[i]);
        many[i].pair = {i, 1};
        ord[i] = i;
    }
    many[0].pair = {25, 1};
    many[1].pair = {12, 1};
    active = 30;
    voz_KeepOrderKeyPairIX(&active, 2, ord.data(), many.data());
    for (int i = 1; i < 30; ++i)
        EXPECT_FALSE(below(many[ord[i]].pair, many[ord[i - 1]].pair)) << i;
    EXPECT_EQ(ord[10], 1);  // before the entry already at (12, 1)
    EXPECT_EQ(ord[24], 0);
    GTRSTATUS st{};
    int32_t sortOrder[] = {3, 2, 1, 0};
    voz_SortKeyPairIX(e.data(), sortOrder, 3, &st);
    EXPECT_TRUE(!below(e[sortOrder[1]].pair, e[sortOrder[0]].pair) &&
                !below(e[sortOrder[2]].pair, e[sortOrder[1]].pair));
}

// One key of 4,096 documents added again and again: 13 posting pools of
// 8192 bytes doubling to 16 MB, then 4 MB, and the 14th is refused.
TEST(Pools, FourteenthPostingPoolIsRefused) {
    ItemIndex ix;
    GTRSTATUS st{};
    std::vector<std::vector<itemfix::Item>> docs(4096, {num(1, 1)});
    ix.build(docs, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    VOZSEARCH* h = ix.openBoth(st);
    ASSERT_EQ(st.retcode, 0);
    IDXINFO* items = &h->second.set0[0];
    std::vector<uint8_t> k = keyOf(1, 1);
    KEY_REC chain[255];
    voz_SetKeyrec(k.data(), static_cast<int32_t>(k.size()), chain);
    std::vector<KEY_REC> window(VOZ_FROMTO_WINDOW);
    int32_t rec = -1;
    ASSERT_EQ(voz_BinSearchVar(chain, items, window.data(), &rec, &st), 1);
    ASSERT_EQ(voz_ReadKey(&items->fctl, chain, rec, &st), 0);
    ASSERT_EQ(chain[0].docCount, 4096u);
    _POOLCTL pc;
    voz_PoolCtlInit(&pc, &st);
    ASSERT_EQ(st.retcode, 0);
    const int64_t perEntry = 4096 + static_cast<int64_t>(sizeof(_KEYPAIR));
    int64_t expected = 0, size = 8192;
    for (int i = 0; i < 13; ++i) {
        expected += size / perEntry;
        size = std::min<int64_t>(2 * size, 0x2400000 - 2 * size);
    }
    int64_t calls = 0;
    while (st.retcode == 0 && calls < 100000) {
        voz_NumSearch(&pc, chain, items, &st);
        if (st.retcode == 0) ++calls;
    }
    S2_STATUS(st, 130, 387);
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(pc.pctlCount, 13);
    EXPECT_EQ(pc.pctlPools[11].blockSize, 16777216);
    EXPECT_EQ(pc.pctlPools[12].blockSize, 4194304);
    int64_t total = 0;
    for (int i = 0; i < pc.pctlCount; ++i) total += pc.pctlPools[i].blockSize;
    EXPECT_LT(total, 0x2400000);
    EXPECT_EQ(pc.soccCount, 0);
    GTRSTATUS t{};
    voz_PoolCtlTerm(&pc, &t);
    EXPECT_EQ(t.retcode, 0);
    s2fix::closeHandle(h);
}
