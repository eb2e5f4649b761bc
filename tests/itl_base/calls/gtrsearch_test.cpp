// An index made from text by the creation calls, opened by the search: the
// search reads what the builder writes (document list, both halves).
#include <gtest/gtest.h>

#include <vector>

#include "gtrcreate_fixture.hpp"
#include "search/voz_search.hpp"
#include "search/voz_wordctl.hpp"

namespace {

// Every document of the whole-document list of `set`, in order.
std::vector<int32_t> documents(IDXINFO* set, GTRSTATUS& st) {
    std::vector<int32_t> docs;
    _WCTLHEAD w{};
    voz_GetWholeDocNOInit(&w, set, nullptr, &st);
    for (int guard = 0; st.retcode == 0 && guard < 1000 && w.nextHit != nullptr; ++guard) {
        w.nextHit(&w, set, nullptr, nullptr, -1, 0, &st);
        if (st.retcode != 0 || w.cur.docno == VOZ_DOC_END) break;
        EXPECT_EQ(w.cur.pos, 1) << "document " << w.cur.docno;
        docs.push_back(w.cur.docno);
    }
    return docs;
}

VOZSEARCH* open(const gtrfix::Env& env, GTRSTATUS& st) {
    VOZSEARCH* h = nullptr;
    GTRCREATEPARM p1{}, p2{};
    VOZ_SearchOpen_(&h, "idx", env.out.c_str(), "KPLQ", "MRNS", "Full", "Item",
                    nullptr, &p1, &p2, VOZ_HALF_TEXT, &st, 0);
    return h;
}

TEST(GtrSearch, TheSearchReadsTheDocumentsTheCreationCallsWrote) {
    gtrfix::Env env;
    env.init();
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    for (int32_t d : {0, 1, 2, 7, 8}) {
        int32_t start = 0;
        env.doc("words of document " + std::to_string(d), d, &start);
    }
    env.finish();
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;

    GTRSTATUS st{};
    VOZSEARCH* h = open(env, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(h->setOpen[1], 0) << "a new index has no supp half";
    EXPECT_EQ(documents(&h->first.set0[0], st), (std::vector<int32_t>{0, 1, 2, 7, 8}));
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    VOZ_SearchRelease(&h, &st);

    // An append lands in supp; main keeps its documents.
    env.init(gtrfix::HParm(), 'A');
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    for (int32_t d : {10, 11}) {
        int32_t start = 0;
        env.doc("more words", d, &start);
    }
    env.finish();
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    st = GTRSTATUS{};
    h = open(env, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    ASSERT_NE(h->setOpen[1], 0) << "the append made a supp half";
    EXPECT_EQ(documents(&h->first.set0[0], st), (std::vector<int32_t>{0, 1, 2, 7, 8}));
    EXPECT_EQ(documents(&h->first.set0[1], st), (std::vector<int32_t>{10, 11}));
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    VOZ_SearchRelease(&h, &st);
}

}  // namespace
