// Ranking: the rank heap and its free occurrence runs against simple
// models, and ranked searches over corpus D5 (scores from the documents'
// occurrences, caller's sort keys, limits).
#include <algorithm>
#include <cmath>
#include <map>
#include <random>

#include "rank_fixture.hpp"
#include "search/voz_rankheap.hpp"

using namespace rankfix;

namespace {

struct Answer {
    ANSWERFORM a{};
    Answer() { a.rankMembers[0] = -1; }
    ~Answer() {
        voz_PMfree(&a.ranked);
        voz_PMfree(&a.pages);
    }
};

TEST(RankHeap, KeepsTheBestLikeAFullSortRandomized) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
        int32_t limit = 1 + static_cast<int32_t>(rng() % 50);
        int32_t n = static_cast<int32_t>(rng() % 300);
        Answer ans;
        GTRSTATUS st{};
        std::vector<RANKDOC2> all;
        for (int32_t d = 0; d < n; ++d) {
            RANKDOC2 e{};
            e.docno = d;
            e.sort_key = rng() % 4;           // many ties
            e.score = static_cast<float>(rng() % 5) / 4.0f;
            e.occ_offset = -1;
            all.push_back(e);
            voz_KeepRanking(&e, limit, &ans.a, &st);
            ASSERT_EQ(st.retcode, 0);
        }
        int32_t count = 0;
        RANKPARM rp{};
        rp.rank_limit = limit;
        voz_FinishRanking(&rp, &ans.a, &count, &st);
        std::sort(all.begin(), all.end(),
                  [](const RANKDOC2& x, const RANKDOC2& y) { return voz_RankWorse(y, x); });
        all.resize(std::min<size_t>(all.size(), static_cast<size_t>(limit)));
        ASSERT_EQ(count, static_cast<int32_t>(all.size()));
        for (int32_t i = 0; i < count; ++i)
            EXPECT_EQ(static_cast<RANKDOC2*>(voz_PMitem(ans.a.ranked, i))->docno,
                      all[static_cast<size_t>(i)].docno) << i;
    }
}

// Free runs against a model of free intervals: released runs merge with
// their neighbours, a request gets the shortest run that fits.
TEST(RankHeap, FreeRunsFollowAnIntervalModel) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    constexpr int32_t kSlots = 400;
    Answer ans;
    ASSERT_EQ(__PM_RESIZE(&ans.a.pages, kSlots - 1, sizeof(OCC)), 0);
    ans.a.memEntries = kSlots;
    std::vector<bool> freeSlot(kSlots, false);
    auto runsOfModel = [&] {
        std::map<int32_t, int32_t> runs;
        for (int32_t i = 0; i < kSlots;) {
            if (!freeSlot[i]) { ++i; continue; }
            int32_t j = i;
            while (j < kSlots && freeSlot[j]) ++j;
            runs[i] = j - i;
            i = j;
        }
        return runs;
    };
    for (int step = 0; step < 2000; ++step) {
        if (rng() % 2 == 0) {
            int32_t off = static_cast<int32_t>(rng() % kSlots);
            int32_t n = 1 + static_cast<int32_t>(rng() % 8);
            if (off + n > kSlots) continue;
            bool clear = true;
            for (int32_t i = off; i < off + n; ++i) clear = clear && !freeSlot[i];
            if (!clear) continue;
            voz_KeepOcc(&ans.a, off, n);
            for (int32_t i = off; i < off + n; ++i) freeSlot[i] = true;
        } else {
            int32_t n = 1 + static_cast<int32_t>(rng() % 10);
            auto runs = runsOfModel();
            int32_t bestLen = -1;
            for (auto [o, l] : runs)
                if (l >= n && (bestLen < 0 || l < bestLen)) bestLen = l;
            int32_t got = voz_GetOcc(&ans.a, n);
            if (bestLen < 0) {
                ASSERT_EQ(got, -1) << "step " << step;
                continue;
            }
            ASSERT_TRUE(runs.count(got) == 1 && runs[got] == bestLen) << "step " << step;
            for (int32_t i = got; i < got + n; ++i) freeSlot[i] = false;
        }
    }
}

TEST(RankHeap, EqualToTheWorstEntersOnlyWithASmallerNumber) {
    Answer ans;
    GTRSTATUS st{};
    RANKDOC2 a{5, 0, 1.0f, -1, 0, 7}, b = a, c = a;
    b.docno = 6;
    c.docno = 4;
    EXPECT_EQ(voz_KeepRanking(&a, 1, &ans.a, &st), 0);
    EXPECT_EQ(static_cast<uint32_t>(ans.a.rankMembers[1]), 7u);
    EXPECT_EQ(voz_KeepRanking(&b, 1, &ans.a, &st), 1);
    EXPECT_EQ(voz_KeepRanking(&c, 1, &ans.a, &st), 0);
    EXPECT_EQ(static_cast<RANKDOC2*>(voz_PMitem(ans.a.ranked, 0))->docno, 4);
}

// Score of a one-word query per document: word count 1, the document's size
// from its last occurrence (`end` = position + length), N 5, df 4.
float expectedScore(int32_t end) {
    float L = static_cast<float>(1024 + end) * 0.3f / 1024.0f;
    float t = 1.0f / 100.0f;
    float idf = 5.0f / 9.0f;
    return 0.35f + 0.65f * (0.3f + 0.7f * t / (t + L)) * idf;
}

TEST_F(D5Ranked, OneWordRanksByScoreThenNumber) {
    Query q;
    q.op('O', {q.word("123")});
    Ranked r = runRanked(h, q, 0x30, 10);
    ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
    EXPECT_EQ(docOrder(r), (std::vector<int32_t>{0, 1, 4, 2}));
    std::map<int32_t, int32_t> ends = {{0, 4}, {1, 4}, {4, 9}, {2, 12}};
    for (const GTRRANKDOC& d : r.docs)
        EXPECT_NEAR(d.score, expectedScore(ends[d.docno]), 1e-5) << d.docno;
    Query q2;
    q2.op('O', {q2.word("123")});
    Ranked two = runRanked(h, q2, 0x30, 2);
    ASSERT_EQ(two.st.retcode, 0);
    EXPECT_EQ(docOrder(two), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(two.occs.size(), 2u);
}

struct Calls {
    std::vector<int32_t> seen;
};
uint32_t byNumber(int32_t doc, void* user) {
    static_cast<Calls*>(user)->seen.push_back(doc);
    return static_cast<uint32_t>(doc);
}

TEST_F(D5Ranked, CallbackKeyOrdersAndInversionSkipsHopelessDocuments) {
    Calls calls;
    GTRRANKFUNCINFO user{};
    user.rank_function = byNumber;
    user.user_data = &calls;
    Query q;
    q.op('O', {q.word("123")});
    Ranked r = runRanked(h, q, 0x30, 10, &user);
    ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
    EXPECT_EQ(docOrder(r), (std::vector<int32_t>{4, 2, 1, 0}));
    EXPECT_EQ(r.docs[0].user_value, 4u);
    user.flags = 0x80;
    Query q2;
    q2.op('O', {q2.word("123")});
    Ranked inv = runRanked(h, q2, 0x30, 10, &user);
    EXPECT_EQ(docOrder(inv), (std::vector<int32_t>{0, 1, 2, 4}));
    Query q3;
    q3.op('O', {q3.word("123")});
    Ranked cut = runRanked(h, q3, 0x30, 2, &user);
    ASSERT_EQ(cut.st.retcode, 0);
    EXPECT_EQ(docOrder(cut), (std::vector<int32_t>{0, 1}));
    // Only d0 and d1 were written: d2 and d4 fell below the threshold.
    EXPECT_EQ(cut.occs.size(), 2u);
}

TEST_F(D5Ranked, NotRewardsAnAbsentExcludedOperand) {
    Query q;
    int32_t a = q.word("123"), b = q.word("456");
    q.op('N', {a, b});
    Ranked r = runRanked(h, q, 0x30, 10);
    ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
    ASSERT_EQ(docOrder(r), (std::vector<int32_t>{1}));
    // 0.01 x min + 0.99 x avg over (s, 1 - 0) with weight sum 2.
    float s = expectedScore(4);
    float lo = std::min(s, 1.0f);
    EXPECT_NEAR(r.docs[0].score, 0.01f * lo + 0.99f * (s + 1.0f) / 2.0f, 1e-5);
}

}  // namespace
