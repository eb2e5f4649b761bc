// A kept search handle keeps its searches' working pages (answer sets, the
// rank heap, result pages) for its next search instead of handing them
// back to the system after each one: a ranked search of a few documents
// once trimmed and regrew the process heap every time. Checked through the
// handle's page-pool counters; the release of the handle and of a result
// that outlives it returns every page (the sanitizer build's leak check).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "gtrquery_fixture.hpp"
#include "calls/voz_gtrresult.hpp"
#include "files/voz_pagedarray.hpp"

namespace {

// Pages the handle's pool holds, cached and in use.
int32_t poolPages(void* handle) {
    const VOZPAGEPOOL* pool = static_cast<VOZSEARCH*>(handle)->pagePool;
    return pool == nullptr ? 0 : voz_PMpoolCached(pool) + voz_PMpoolInUse(pool);
}

int32_t inUse(void* handle) {
    const VOZPAGEPOOL* pool = static_cast<VOZSEARCH*>(handle)->pagePool;
    return pool == nullptr ? 0 : voz_PMpoolInUse(pool);
}

// One search through the kept handle, ranked for the `rankcount` best
// documents when it is positive; the result handle is returned (the caller
// releases it) and the documents found are counted.
void* search(void** handle, const char* dir, const std::string& query,
             int32_t rankcount, int32_t* found) {
    gqfix::QueryCond q(query);
    GTRSEARCH_RES r = gqfix::result(GTR_RES_HANDLE);
    std::vector<GTRRANKDOC> docs(static_cast<size_t>(std::max(rankcount, 1)));
    GTRSEARCH_RANK rank;
    memset(&rank, 0, sizeof rank);
    rank.rankcount = rankcount;
    rank.rankdoc = docs.data();
    rank.weight_option = 0x30;
    GTRSTATUS st{};
    GTRsearchIndex(handle, "idx", dir, nullptr, q.c, rankcount > 0 ? &rank : nullptr,
                   nullptr, nullptr, &r, &st);
    EXPECT_EQ(st.retcode, 0) << query << " " << st.errcode;
    *found = r.result_docnum;
    return r.res_handle;
}

std::vector<std::string> corpus() {
    std::vector<std::string> docs;
    for (int d = 0; d < 400; ++d) {
        std::string t = "common words " + std::to_string(d % 7) + " and more";
        if (d % 50 == 0) t += " rare";
        if (d % 3 == 0) t += " third";
        docs.push_back(t);
    }
    return docs;
}

TEST(SearchPages, AKeptHandleKeepsItsWorkingPagesWithinABound) {
    gqfix::Corpus k(corpus());
    const struct {
        const char* query;
        int32_t rankcount;
    } mix[] = {
        {"rare", 10},       {"rare", 0},           {"common", 10},
        {"third + rare", 3}, {"common * third", 0}, {"words - third", 25},
        {"common", 0},      {"3 + 5 + rare", 10},
    };
    void* handle = nullptr;
    int32_t bound = 0;
    int32_t found = 0;
    const int cycle = static_cast<int>(sizeof mix / sizeof mix[0]);
    for (int i = 0; i < 200; ++i) {
        const auto& m = mix[i % cycle];
        void* result = search(&handle, k.dir(), m.query, m.rankcount, &found);
        ASSERT_NE(handle, nullptr);
        EXPECT_GT(found, 0) << m.query;
        GTRSTATUS rs{};
        if (result != nullptr) GTRsearchIndex_ReleaseResult(result, &rs);
        // Every page is back in the pool once the result is released.
        ASSERT_EQ(inUse(handle), 0) << "search " << i;
        if (i < cycle) {
            bound = std::max(bound, poolPages(handle));
        } else {
            // After the first round the pool serves every search from the
            // pages it already holds.
            ASSERT_LE(poolPages(handle), bound) << "search " << i << " " << m.query;
        }
    }
    // A ranked search's heap is kept for the next search.
    EXPECT_GT(bound, 0);
    EXPECT_LE(bound, VOZ_PM_POOL_PAGES);

    // A result that outlives the handle: its pages go to the system when
    // it is released after the handle.
    void* result = search(&handle, k.dir(), "common", 10, &found);
    ASSERT_NE(result, nullptr);
    GTRSTATUS st{};
    GTRsearchIndex_Release(&handle, &st);
    EXPECT_EQ(st.retcode, 0);
    GTRsearchIndex_ReleaseResult(result, &st);
    EXPECT_EQ(st.retcode, 0);
}

// Pages of arrays made outside a search come from and go back to the
// system; a pool serves only the arrays made while it is current.
TEST(SearchPages, PoolCountsPagesOfItsOwnArraysOnly) {
    VOZPAGEPOOL* pool = voz_PMpoolNew();
    ASSERT_NE(pool, nullptr);
    _PAGEMEMCTL* outside = nullptr;
    ASSERT_EQ(__PM_RESIZE(&outside, 3 * 65536 / 8, 8), 0);
    _PAGEMEMCTL* inside = nullptr;
    {
        VozPagePoolScope scope(pool);
        ASSERT_EQ(__PM_RESIZE(&inside, 3 * 65536 / 8, 8), 0);  // 4 pages
    }
    EXPECT_EQ(voz_PMpoolInUse(pool), 4);
    EXPECT_EQ(voz_PMpoolCached(pool), 0);
    ASSERT_EQ(__PM_RESIZE(&inside, 100, 8), 0);  // page 0 alone stays
    EXPECT_EQ(voz_PMpoolInUse(pool), 1);
    EXPECT_EQ(voz_PMpoolCached(pool), 3);
    voz_PMfree(&inside);
    EXPECT_EQ(voz_PMpoolInUse(pool), 0);
    EXPECT_EQ(voz_PMpoolCached(pool), 4);
    {
        // The next array takes the cached pages again.
        VozPagePoolScope scope(pool);
        ASSERT_EQ(__PM_RESIZE(&inside, 2 * 65536 / 8, 8), 0);  // 3 pages
    }
    EXPECT_EQ(voz_PMpoolCached(pool), 1);
    EXPECT_EQ(voz_PMpoolInUse(pool), 3);
    // Items keep their values through the pool's pages.
    for (int32_t i = 0; i < 2 * 65536 / 8; i += 1000)
        *static_cast<int64_t*>(voz_PMitem(inside, i)) = i;
    for (int32_t i = 0; i < 2 * 65536 / 8; i += 1000)
        EXPECT_EQ(*static_cast<int64_t*>(voz_PMitem(inside, i)), i);
    // The owner gives the pool up first; the array frees it later.
    voz_PMpoolRelease(pool);
    voz_PMfree(&inside);
    voz_PMfree(&outside);
}

}  // namespace
