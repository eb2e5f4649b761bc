// Range words over numeric items: bounds and modes through whole searches,
// key chains, the binary search over a large key file against a brute-force
// scan of the items, and the hits' (document, position) order.
#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "calls/voz_itemkey.hpp"
#include "files/voz_keyfile.hpp"
#include "search/voz_fromto.hpp"
#include "search/voz_wordctl.hpp"
#include "item_fixture.hpp"

using itemfix::ItemIndex;
using itemfix::num;

namespace {

struct Hit {
    int32_t doc, pos;
    bool operator==(const Hit& o) const { return doc == o.doc && pos == o.pos; }
};

std::vector<uint8_t> keyOf(int16_t number, double v) {
    std::vector<uint8_t> k(VOZ_DOUBLE_KEY_MAX);
    k.resize(static_cast<size_t>(vozNormalizeDouble(&v, number, 2, k.data())));
    return k;
}

// Every hit of a range word over the item half's main set, given out with
// resumes (doc -1), or with targets one past each hit when `targets`.
std::vector<Hit> rangeHits(IDXINFO* index, int16_t number, double lo,
                           char loMode, double hi, char hiMode,
                           GTRSTATUS& st) {
    std::vector<uint8_t> a = keyOf(number, lo), b = keyOf(number, hi);
    _WCTLHEAD w{};
    voz_GetFromToInit(a.data(), static_cast<int32_t>(a.size()), loMode, b.data(),
                      static_cast<int32_t>(b.size()), hiMode, &w, index, nullptr,
                      &st);
    std::vector<Hit> hits;
    for (int guard = 0; guard < 1000000 && st.retcode == 0; ++guard) {
        w.nextHit(&w, index, nullptr, nullptr, -1, 0, &st);
        if (w.cur.docno == VOZ_DOC_END) break;
        hits.push_back({w.cur.docno, w.cur.pos});
    }
    w.nextHit(&w, index, nullptr, nullptr, VOZ_DOC_END, VOZ_RELEASE_POS, &st);
    return hits;
}

std::set<int32_t> searchDocs(VOZSEARCH* h, int16_t number, double lo, char lm,
                             double hi, char hm, GTRSTATUS* stOut = nullptr) {
    s2fix::Query q;
    q.op('O', {itemfix::rangeWord(q, number, lo, lm, hi, hm)});
    itemfix::fixRanges(q);
    s2fix::Outcome o = s2fix::run(h, q);
    if (stOut != nullptr) *stOut = o.st;
    EXPECT_EQ(o.st.retcode, 0) << o.st.errcode;
    return o.docs;
}

}  // namespace

TEST(FromTo, KeyChainsAndRecordCounts) {
    struct Case { int32_t len, recs; } cases[] = {
        {0, 1}, {6, 1}, {7, 2}, {28, 2}, {29, 3}, {50, 3}, {51, 4}};
    for (auto c : cases) EXPECT_EQ(voz_GetKeyrecNum(c.len), c.recs) << c.len;
    uint8_t bytes[40];
    for (int i = 0; i < 40; ++i) bytes[i] = static_cast<uint8_t>(i + 1);
    KEY_REC chain[3];
    voz_SetKeyrec(bytes, 30, chain);
    uint8_t raw[28];
    memcpy(raw, &chain[0], 8);
    EXPECT_EQ(raw[0], 'V');
    EXPECT_EQ(raw[1], 3);
    EXPECT_EQ(0, memcmp(raw + 2, bytes, 6));
    for (int r = 1; r < 3; ++r) {
        memcpy(raw, &chain[r], 28);
        EXPECT_EQ(raw[0], 'C');
        EXPECT_EQ(raw[1], 3);
        EXPECT_EQ(raw[2], r);
        int take = r == 1 ? 22 : 2;
        EXPECT_EQ(0, memcmp(raw + 6, bytes + 6 + 22 * (r - 1), take));
        for (int i = 6 + take; i < 28; ++i) EXPECT_EQ(raw[i], 0) << r << " " << i;
    }
    // A shorter key sorts before a longer one with the same leading bytes.
    KEY_REC shortKey[1], longKey[2];
    voz_SetKeyrec(bytes, 4, shortKey);
    voz_SetKeyrec(bytes, 8, longKey);
    EXPECT_LT(voz_VkeyCmp(shortKey, longKey), 0);
}

TEST(FromTo, BoundsAndModes) {
    ItemIndex ix;
    GTRSTATUS st{};
    std::vector<std::vector<itemfix::Item>> docs;
    const double values[] = {5, 10, 15, 20, 25};
    for (double v : values) docs.push_back({num(7, v), num(8, 12)});
    ix.build(docs, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    VOZSEARCH* h = ix.openBoth(st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    struct Case {
        double lo; char lm; double hi; char hm; std::set<int32_t> docs;
    } cases[] = {
        {10, 'I', 20, 'I', {1, 2, 3}}, {10, 'X', 20, 'I', {2, 3}},
        {10, 'I', 20, 'X', {1, 2}},    {15, 'I', 15, 'I', {2}},
        {15, 'X', 15, 'I', {}},        {100, 'I', 200, 'I', {}},
        {-1e300, 'I', 1e300, 'I', {0, 1, 2, 3, 4}},
        {11, 'I', 14, 'I', {}},  // item 8's 12 is another number
        {20, 'I', 10, 'I', {}},  // an empty range
    };
    for (const Case& c : cases) {
        GTRSTATUS s{};
        EXPECT_EQ(searchDocs(h, 7, c.lo, c.lm, c.hi, c.hm, &s), c.docs)
            << c.lo << c.lm << " " << c.hi << c.hm;
        EXPECT_EQ(s.retcode, 0);
    }
    EXPECT_EQ(searchDocs(h, 9, -1e300, 'I', 1e300, 'I'), std::set<int32_t>{});
    EXPECT_EQ(searchDocs(h, 8, 12, 'I', 12, 'I'), (std::set<int32_t>{0, 1, 2, 3, 4}));
    s2fix::closeHandle(h);
}

TEST(FromTo, TinyValuesAroundZero) {
    ItemIndex ix;
    GTRSTATUS st{};
    const double values[] = {-20, -1e-305, 0, 1e-305, 20};
    std::vector<std::vector<itemfix::Item>> docs;
    for (double v : values) docs.push_back({num(3, v)});
    ix.build(docs, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    VOZSEARCH* h = ix.openBoth(st);
    ASSERT_EQ(st.retcode, 0);
    EXPECT_EQ(searchDocs(h, 3, -1, 'I', 1, 'I'), (std::set<int32_t>{1, 2, 3}));
    EXPECT_EQ(searchDocs(h, 3, -1e-305, 'X', 1e-305, 'X'), (std::set<int32_t>{2}));
    s2fix::closeHandle(h);
}

TEST(FromTo, BinarySetWordIsRefused) {
    ItemIndex ix;
    GTRSTATUS st{};
    ix.build({{num(1, 1)}}, st);
    ASSERT_EQ(st.retcode, 0);
    VOZSEARCH* h = ix.openBoth(st);
    ASSERT_EQ(st.retcode, 0);
    s2fix::Query q;
    q.op('O', {q.add('S', {})});
    s2fix::Outcome o = s2fix::run(h, q);
    S2_STATUS(o.st, 50, 391);
    s2fix::closeHandle(h);
    _WCTLHEAD w{};
    GTRSTATUS s{};
    voz_GetBinSet(nullptr, &w, nullptr, nullptr, &s);
    S2_STATUS(s, 50, 391);
    EXPECT_EQ(w.cur.docno, VOZ_DOC_END);
}

// More than 2,340 variable records, so that the search probes the key file
// before it reads a window; hits against a brute-force scan.
TEST(FromTo, RandomRangesAgainstScan) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    ItemIndex ix;
    GTRSTATUS st{};
    const int kDocs = 1800;
    std::vector<std::vector<itemfix::Item>> docs(kDocs);
    std::uniform_int_distribution<int> pick(0, 2999);
    for (int d = 0; d < kDocs; ++d) {
        int n = 1 + static_cast<int>(rng() % 3);
        for (int i = 0; i < n; ++i) {
            // Values with 8 significant bytes (two-record keys), some shared.
            double v = (pick(rng) - 1500) * 1.0001;
            docs[d].push_back(num(static_cast<int16_t>(1 + rng() % 2), v));
        }
    }
    ix.build(docs, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode << " seed " << seed;
    VOZSEARCH* h = ix.openBoth(st);
    ASSERT_EQ(st.retcode, 0);
    IDXINFO* items = &h->second.set0[0];
    ASSERT_GT(items->info.varRecords, 2340u) << "seed " << seed;
    std::uniform_real_distribution<double> bound(-1700, 1700);
    for (int round = 0; round < 40; ++round) {
        int16_t number = static_cast<int16_t>(1 + rng() % 2);
        double lo = bound(rng), hi = bound(rng);
        if (round % 4 == 0) lo = (pick(rng) - 1500) * 1.0001;  // an exact key
        if (round % 5 == 0) hi = lo;
        char lm = rng() % 2 ? 'X' : 'I', hm = rng() % 2 ? 'X' : 'I';
        std::vector<Hit> want;
        for (int d = 0; d < kDocs; ++d) {
            std::set<double> seen;  // one hit per key and document
            for (const itemfix::Item& it : docs[d]) {
                if (it.number != number || seen.count(it.value)) continue;
                bool in = (lm == 'X' ? it.value > lo : it.value >= lo) &&
                          (hm == 'X' ? it.value < hi : it.value <= hi);
                if (in) want.push_back({d, 1});
                seen.insert(it.value);
            }
        }
        GTRSTATUS s{};
        std::vector<Hit> got = rangeHits(items, number, lo, lm, hi, hm, s);
        ASSERT_EQ(s.retcode, 0) << s.errcode;
        ASSERT_EQ(got, want) << "seed " << seed << " round " << round << " ["
                             << lo << lm << ", " << hi << hm << "]";
        if (round % 8 == 0) {
            std::set<int32_t> wantDocs;
            for (const Hit& x : want) wantDocs.insert(x.doc);
            EXPECT_EQ(searchDocs(h, number, lo, lm, hi, hm), wantDocs);
        }
    }
    s2fix::closeHandle(h);
}

// A lookup with a target skips every hit before it, in both pool kinds.
TEST(FromTo, TargetsSkipHits) {
    ItemIndex ix;
    GTRSTATUS st{};
    std::vector<std::vector<itemfix::Item>> docs(40);
    for (int d = 0; d < 40; ++d) docs[d] = {num(1, d % 4), num(1, 100 + d)};
    ix.build(docs, st);
    ASSERT_EQ(st.retcode, 0);
    VOZSEARCH* h = ix.openBoth(st);
    ASSERT_EQ(st.retcode, 0);
    IDXINFO* items = &h->second.set0[0];
    std::vector<uint8_t> a = keyOf(1, -1), b = keyOf(1, 1000);
    _WCTLHEAD w{};
    voz_GetFromToInit(a.data(), static_cast<int32_t>(a.size()), 'I', b.data(),
                      static_cast<int32_t>(b.size()), 'I', &w, items, nullptr, &st);
    ASSERT_EQ(st.retcode, 0);
    std::vector<Hit> got;
    for (int32_t target = 3; target < 50; target += 7) {
        w.nextHit(&w, items, nullptr, nullptr, target, 1, &st);
        got.push_back({w.cur.docno, w.cur.pos});
        // The same target again leaves the hit; a resume gives the second
        // key of the document.
        w.nextHit(&w, items, nullptr, nullptr, target, 1, &st);
        EXPECT_EQ(w.cur.docno, got.back().doc);
        if (w.cur.docno == VOZ_DOC_END) break;
        w.nextHit(&w, items, nullptr, nullptr, -1, 0, &st);
        EXPECT_EQ(w.cur.docno, target);
    }
    ASSERT_EQ(st.retcode, 0);
    std::vector<Hit> want = {{3, 1}, {10, 1}, {17, 1}, {24, 1}, {31, 1}, {38, 1},
                             {VOZ_DOC_END, 0}};
    EXPECT_EQ(got, want);
    EXPECT_EQ(w.nextHit, &voz_GetOneWordNoOcc);
    s2fix::closeHandle(h);
}

// The in-memory stage over hand-made windows: found, insertion points, and
// records that no writer makes.
TEST(FromTo, MemorySearchOfAWindow) {
    // Keys "a" (1 record), "bbbbbbbb" (2 records), "c" (1 record) from
    // record 10.
    std::vector<KEY_REC> win(4);
    const uint8_t a[] = {'a'}, c[] = {'c'};
    const uint8_t b[] = {'b', 'b', 'b', 'b', 'b', 'b', 'b', 'b'};
    voz_SetKeyrec(a, 1, &win[0]);
    voz_SetKeyrec(b, 8, &win[1]);
    voz_SetKeyrec(c, 1, &win[3]);
    struct Case { std::vector<uint8_t> key; int32_t result, number; } cases[] = {
        {{'a'}, 1, 10}, {{'b', 'b', 'b', 'b', 'b', 'b', 'b', 'b'}, 1, 11},
        {{'c'}, 1, 13}, {{'0'}, 0, 10}, {{'b'}, 0, 11},
        {{'b', 'b', 'b', 'b', 'b', 'b', 'b', 'c'}, 0, 13}, {{'d'}, 0, 14}};
    for (const Case& k : cases) {
        KEY_REC chain[2];
        voz_SetKeyrec(k.key.data(), static_cast<int32_t>(k.key.size()), chain);
        GTRSTATUS st{};
        int32_t n = -1;
        EXPECT_EQ(voz_BinSearchVarMemory(chain, 10, 13, win.data(), &n, &st), k.result);
        EXPECT_EQ(n, k.number);
        EXPECT_EQ(st.retcode, 0);
    }
    KEY_REC probe[1];
    voz_SetKeyrec(c, 1, probe);
    // A continuation whose head is missing, and a chain cut by the window.
    std::vector<KEY_REC> bad = {win[2], win[3]};
    GTRSTATUS st{};
    int32_t n = 0;
    EXPECT_EQ(voz_BinSearchVarMemory(probe, 0, 1, bad.data(), &n, &st), -1);
    S2_STATUS(st, 17, 367);
    std::vector<KEY_REC> cut = {win[0], win[1]};
    st = GTRSTATUS{};
    EXPECT_EQ(voz_BinSearchVarMemory(probe, 0, 1, cut.data(), &n, &st), -1);
    S2_STATUS(st, 17, 367);
}
