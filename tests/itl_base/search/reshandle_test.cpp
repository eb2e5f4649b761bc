// Result handles: reading by entry, viewing by document, their edges and
// errors, a randomized comparison with an array model (with and without a
// spill file), and scopes over results in and out of document order.
#include <random>

#include "search/voz_scope.hpp"
#include "search_fixture.hpp"

using namespace srchfix;

namespace {

// `perDoc[i]` entries for document 2i + 1.
std::vector<std::vector<OCC>> makeDocs(const std::vector<int>& perDoc) {
    std::vector<std::vector<OCC>> docs;
    for (size_t i = 0; i < perDoc.size(); ++i) {
        std::vector<OCC> d;
        for (int k = 0; k < perDoc[i]; ++k)
            d.push_back(occ(static_cast<int32_t>(2 * i + 1), 3 * k + 1,
                            static_cast<uint16_t>(k + 1)));
        docs.push_back(d);
    }
    return docs;
}

TEST(ResultHandle, ReadsByEntry) {
    GTRSTATUS st{};
    GTRSEARCH_RES res = memRes();
    buildResult(res, makeDocs(std::vector<int>(12, 1)), nullptr, st);
    VOZRESULT* r = static_cast<VOZRESULT*>(res.res_handle);
    ASSERT_NE(r, nullptr);
    OCC buf[10];
    EXPECT_EQ(VOZ_ResultRead(r, 0, 1, buf, &st), 0);
    EXPECT_RC(st, 126, 1437);
    VOZ_ResultOpen(r, &st);
    ASSERT_OK(st);
    VOZ_ResultOpen(r, &st);
    EXPECT_RC(st, 125, 1433);
    EXPECT_EQ(VOZ_ResultRead(r, 5, 10, buf, &st), 12);
    EXPECT_EQ(st.retcode, 123);
    EXPECT_EQ(buf[6].docno, 23) << "7 entries copied, from entry 5";
    EXPECT_EQ(VOZ_ResultRead(r, 3, 0, buf, &st), 3) << "count 0 positions";
    ASSERT_OK(st);
    EXPECT_EQ(VOZ_ResultRead(r, -1, 1, buf, &st), 4);
    EXPECT_EQ(buf[0].docno, 7);
    VOZ_ResultRead(r, -2, 1, buf, &st);
    EXPECT_RC(st, 2, 1438);
    VOZ_ResultRead(r, 13, 1, buf, &st);
    EXPECT_EQ(st.retcode, 123);
    VOZ_ResultClose(r, &st);
    VOZ_ResultOpen(r, &st);
    ASSERT_OK(st) << "a closed result opens again";
    VOZ_ResultRelease(r, &st);
}

TEST(ResultHandle, NullAndBadArguments) {
    GTRSTATUS st{};
    OCC* e = nullptr;
    int32_t n = 0;
    VOZ_ResultOpen(nullptr, &st);
    EXPECT_RC(st, 1, 1432);
    VOZ_ResultClose(nullptr, &st);
    EXPECT_RC(st, 1, 1435);
    VOZ_ResultRead(nullptr, 0, 1, nullptr, &st);
    EXPECT_RC(st, 1, 1436);
    VOZ_ResultView_Doc(nullptr, 0, &e, &n, nullptr, &st);
    EXPECT_RC(st, 1, 1439);
    VOZ_ResultRelease(nullptr, &st);
    EXPECT_EQ(st.retcode, 0);
    GTRSEARCH_RES res = memRes();
    buildResult(res, makeDocs({2, 1}), nullptr, st);
    VOZRESULT* r = static_cast<VOZRESULT*>(res.res_handle);
    VOZ_ResultView_Doc(r, 0, &e, &n, nullptr, &st);
    EXPECT_RC(st, 126, 1440);
    VOZ_ResultOpen(r, &st);
    VOZ_ResultView_Doc(r, 0, nullptr, &n, nullptr, &st);
    EXPECT_RC(st, 2, 1441);
    VOZ_ResultView_Doc(r, -2, &e, &n, nullptr, &st);
    EXPECT_RC(st, 2, 1442);
    VOZ_ResultView_Doc(r, 2, &e, &n, nullptr, &st);
    EXPECT_EQ(st.retcode, 123);
    VOZ_ResultClose(r, &st);
    VOZ_ResultRelease(r, &st);
}

TEST(ResultHandle, ViewOfDocument17LoadsItsBlockOnly) {
    GTRSTATUS st{};
    GTRSEARCH_RES res = memRes();
    std::vector<int> per(40, 2);
    per[17] = 5;
    buildResult(res, makeDocs(per), nullptr, st);
    VOZRESULT* r = static_cast<VOZRESULT*>(res.res_handle);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->tableEntries, 3);
    VOZ_ResultOpen(r, &st);
    OCC* e = nullptr;
    int32_t n = 0;
    EXPECT_EQ(VOZ_ResultView_Doc(r, 17, &e, &n, nullptr, &st), 18);
    ASSERT_OK(st);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(e[0].docno, 35);
    EXPECT_EQ(r->viewFirstDoc, 16);
    EXPECT_EQ(r->viewEndDoc, 32);
    EXPECT_EQ(r->viewEndEntry - r->viewFirstEntry, 16 * 2 + 3);
    EXPECT_EQ(VOZ_ResultView_Doc(r, -1, &e, &n, nullptr, &st), 19);
    EXPECT_EQ(e[0].docno, 37) << "-1 views the next document";
    VOZ_ResultClose(r, &st);
    VOZ_ResultRelease(r, &st);
}

TEST(ResultHandle, DamagedDocumentTableIsAnError) {
    GTRSTATUS st{};
    GTRSEARCH_RES res = memRes();
    buildResult(res, makeDocs(std::vector<int>(20, 2)), nullptr, st);
    VOZRESULT* r = static_cast<VOZRESULT*>(res.res_handle);
    VOZ_ResultOpen(r, &st);
    *static_cast<int32_t*>(voz_PMitem(r->docTable, 1)) = 1000;  // past the end
    OCC* e = nullptr;
    int32_t n = 0;
    VOZ_ResultView_Doc(r, 17, &e, &n, nullptr, &st);
    EXPECT_RC(st, 17, 1443);
    VOZ_ResultClose(r, &st);
    VOZ_ResultRelease(r, &st);
}

// Random results of 1-5 entries per document, with and without a spill
// file, read and viewed in random order against the array of entries.
TEST(ResultHandle, AgreesWithAnArrayModel) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    TempDir dir("reshandle");
    for (int round = 0; round < 24; ++round) {
        bool spill = round % 2 == 1;
        std::vector<int> per(1 + rng() % 300);
        for (int& k : per) k = 1 + static_cast<int>(rng() % 5);
        if (round % 6 == 0) std::fill(per.begin(), per.end(), 1);
        auto docs = makeDocs(per);
        std::vector<OCC> model;
        std::vector<int32_t> firstOf;
        for (auto& d : docs) {
            firstOf.push_back(static_cast<int32_t>(model.size()));
            model.insert(model.end(), d.begin(), d.end());
        }
        GTRSTATUS st{};
        GTRSEARCH_RES res = memRes(spill ? 1000 : 0);
        buildResult(res, docs, spill ? dir.path().c_str() : nullptr, st);
        ASSERT_OK(st) << "seed " << seed;
        VOZRESULT* r = static_cast<VOZRESULT*>(res.res_handle);
        if (spill && model.size() > 256) {
            EXPECT_LE(r->memEntries, 256) << "the rest lies in the spill file";
            EXPECT_GT(r->memEntries, 250);
        }
        VOZ_ResultOpen(r, &st);
        ASSERT_OK(st);
        int32_t total = static_cast<int32_t>(model.size());
        for (int step = 0; step < 60; ++step) {
            if (rng() % 2) {
                int32_t start = static_cast<int32_t>(rng() % (total + 1));
                int32_t count = 1 + static_cast<int32_t>(rng() % 20);
                std::vector<OCC> buf(count);
                int32_t end = VOZ_ResultRead(r, start, count, buf.data(), &st);
                int32_t want = std::min(total, start + count);
                ASSERT_EQ(end, want) << "seed " << seed;
                EXPECT_EQ(st.retcode, start + count > total ? 123 : 0);
                for (int32_t i = start; i < want; ++i)
                    ASSERT_TRUE(sameOcc(buf[i - start], model[i])) << "seed " << seed;
            } else {
                int32_t doc = static_cast<int32_t>(rng() % docs.size());
                OCC* e = nullptr;
                int32_t n = 0;
                VOZ_ResultView_Doc(r, doc, &e, &n, nullptr, &st);
                ASSERT_OK(st) << "seed " << seed << " doc " << doc;
                ASSERT_EQ(n, per[doc]) << "seed " << seed;
                for (int32_t i = 0; i < n; ++i)
                    ASSERT_TRUE(sameOcc(e[i], model[firstOf[doc] + i]));
                if (doc + 1 < static_cast<int32_t>(docs.size())) {
                    VOZ_ResultView_Doc(r, -1, &e, &n, nullptr, &st);
                    ASSERT_OK(st);
                    ASSERT_EQ(e[0].docno, docs[doc + 1][0].docno) << "seed " << seed;
                }
            }
        }
        // Walking with -1 after reading entry 0 resumes at the next
        // document that starts at or after the read position: document 1.
        OCC one;
        VOZ_ResultRead(r, firstOf[0], 1, &one, &st);
        int32_t seen = 0;
        for (;;) {
            OCC* e = nullptr;
            int32_t n = 0;
            VOZ_ResultView_Doc(r, -1, &e, &n, nullptr, &st);
            if (st.retcode == 123) break;
            ASSERT_OK(st) << "seed " << seed;
            ++seen;
        }
        EXPECT_EQ(seen, static_cast<int32_t>(docs.size()) - 1)
            << "seed " << seed;
        VOZ_ResultClose(r, &st);
        VOZ_ResultRelease(r, &st);
    }
}

TEST(Scope, DeliversDocumentsInAscendingOrder) {
    for (bool ranked : {false, true}) {
        GTRSTATUS st{};
        GTRSEARCH_RES res = memRes();
        std::vector<std::vector<OCC>> docs = ranked
            ? std::vector<std::vector<OCC>>{{occ(9, 1)}, {occ(2, 1), occ(2, 5)},
                                            {occ(30, 2)}, {occ(4, 1)}}
            : std::vector<std::vector<OCC>>{{occ(2, 1), occ(2, 5)}, {occ(4, 1)},
                                            {occ(9, 1)}, {occ(30, 2)}};
        buildResult(res, docs, nullptr, st);
        ASSERT_OK(st);
        EXPECT_EQ((res.res_flag & 0x80) != 0, !ranked);
        SCOPECTL* s = new SCOPECTL();
        voz_ScopeOpen(&res, s, &st);
        ASSERT_OK(st);
        EXPECT_EQ(s->order != nullptr, ranked);
        EXPECT_EQ(voz_ScopeRead(s, 0, &st), 2);
        EXPECT_EQ(voz_ScopeRead(s, 0, &st), 2) << "a lower target repeats";
        EXPECT_EQ(voz_ScopeRead(s, 3, &st), 4);
        EXPECT_EQ(voz_ScopeRead(s, 10, &st), 30);
        EXPECT_EQ(voz_ScopeRead(s, 31, &st), -1);
        ASSERT_OK(st) << "exhausted is no error";
        EXPECT_EQ(voz_ScopeRead(s, 0, &st), -1);
        voz_ScopeClose(s, &st);
        delete s;
        VOZ_ResultRelease(static_cast<VOZRESULT*>(res.res_handle), &st);
    }
}

}  // namespace
