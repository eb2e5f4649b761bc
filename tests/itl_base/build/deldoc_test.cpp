// Tests of document deletion outside an update: the lists of both halves
// committed through the journal, what readers then see, cancel, a failed
// commit, halves or sub-indexes that do not exist, a later merge dropping
// the documents, and the index sort voz_SortDocNoIX.
#include <algorithm>
#include <numeric>
#include <random>
#include <set>

#include "maint_fixture.hpp"
#include "build/voz_journal.hpp"
#include "build/voz_merge.hpp"
#include "engine_test_util.hpp"
#include "search/voz_search.hpp"
#include "build/voz_keyiter.hpp"
#include "build/voz_positer.hpp"

using namespace maintfix;

namespace {

// The deleted documents of a half as its list file holds them.
std::vector<uint32_t> Listed(const std::string& out, int half) {
    _FCTLHEAD fs = HalfSet(out, half);
    GTRSTATUS st{};
    CVozDeletedDocs* l = vozAllocateDeletedDocs(&fs, 1, &st);
    EXPECT_OK(st);
    std::vector<uint32_t> v(vozGetDeletedDocs(l), vozGetDeletedDocs(l) + vozGetNumDeletedDocs(l));
    vozFreeDeletedDocs(l, nullptr, &st);
    return v;
}

// The documents that some key's position iterator gives, over both halves
// (readers leave deleted documents out).
std::vector<int32_t> Searchable(const std::string& out, GTRSTATUS& st) {
    VOZSEARCH* h = nullptr;
    GTRCREATEPARM p1{}, p2{};
    VOZ_SearchOpen_(&h, "idx", out.c_str(), "KPLQ", "MRNS", "Full", "Item", nullptr, &p1, &p2,
                    VOZ_HALF_TEXT, &st, 0);
    std::set<int32_t> docs;
    KEYITERATOR* its[2] = {nullptr, nullptr};
    if (st.retcode == 0) VOZ_InitKeyIterator(&its[0], &its[1], h, p1, 1, 0, 0x7FFFFFFF);
    for (KEYITERATOR* it : its) {
        while (it != nullptr && st.retcode == 0 && VOZ_HasMoreKeys(it)) {
            VOZ_GetNextKey(it, &st);
            POSITERATOR* pos = nullptr;
            VOZ_InitPosIterator(&pos, it, 0, 0x7FFFFFFE, &st);
            while (pos != nullptr && st.retcode == 0 && VOZ_HasMorePoss(pos, &st)) {
                docs.insert(VOZ_GetDocumentNumber(pos));
                VOZ_GetNextPos(pos, &st);
            }
            VOZ_TermPosIterator(pos, &st);
        }
    }
    VOZSEARCH* back = nullptr;
    VOZ_TermKeyIterator(its[1], &back);
    VOZ_TermKeyIterator(its[0], &back);
    if (back == nullptr) back = h;
    GTRSTATUS rs{};
    VOZ_SearchRelease(&back, &rs);
    return {docs.begin(), docs.end()};
}

std::vector<int32_t> Range(int32_t lo, int32_t hi, std::vector<int32_t> except = {}) {
    std::vector<int32_t> v;
    for (int32_t d = lo; d <= hi; ++d)
        if (std::find(except.begin(), except.end(), d) == except.end()) v.push_back(d);
    return v;
}

// main 1-20, supp 21-30.
void Build(Index& ix) {
    ASSERT_OK(RunCycle(ix.out, ix.work, 'N', Corpus(1, 1, 20, 10), Parm(), Sys(8192)).st);
    ASSERT_OK(RunCycle(ix.out, ix.work, 'A', Corpus(2, 21, 10, 10), Parm(), Sys(8192)).st);
}

TEST(DeleteDoc, CommittedDeletionsReachBothListsAndReaders) {
    Index ix;
    Build(ix);
    GTRSTATUS st{};
    ASSERT_EQ(Searchable(ix.out, st), Range(1, 30));
    DeleteDocs(ix.out, {6, 5}, 'G', &st);
    ASSERT_OK(st);
    EXPECT_EQ(ix.leftovers(), std::vector<std::string>{});
    EXPECT_EQ(Listed(ix.out, VOZ_HALF_MAIN), (std::vector<uint32_t>{5, 6}));
    EXPECT_EQ(Listed(ix.out, VOZ_HALF_SUPP), (std::vector<uint32_t>{5, 6}));
    EXPECT_EQ(Searchable(ix.out, st), Range(1, 30, {5, 6}));
    // A second deletion adds to the lists.
    DeleteDocs(ix.out, {25}, 'G', &st);
    ASSERT_OK(st);
    EXPECT_EQ(Listed(ix.out, VOZ_HALF_MAIN), (std::vector<uint32_t>{5, 6, 25}));
    EXPECT_EQ(Searchable(ix.out, st), Range(1, 30, {5, 6, 25}));
    EXPECT_OK(st);
}

TEST(DeleteDoc, CancelAndEmptyDeletionsChangeNothing) {
    Index ix;
    Build(ix);
    GTRSTATUS st{};
    DeleteDocs(ix.out, {5}, 'G', &st);
    ASSERT_OK(st);
    CREATWRK* b = PrepareDeletion(ix.out, {7, 8}, &st);
    ASSERT_OK(st);
    EXPECT_TRUE(PathThere(ix.dir + "/#ulldel")) << "Last writes the new lists aside";
    vozDeleteDocTerm(b, 'C', &st);
    vozDeleteDocFree(b);
    EXPECT_OK(st);
    EXPECT_EQ(Listed(ix.out, VOZ_HALF_MAIN), (std::vector<uint32_t>{5}));
    EXPECT_EQ(ix.leftovers(), std::vector<std::string>{});
    // No document given: Last writes nothing and the commit is empty.
    DeleteDocs(ix.out, {}, 'G', &st);
    EXPECT_OK(st);
    EXPECT_EQ(Listed(ix.out, VOZ_HALF_MAIN), (std::vector<uint32_t>{5}));
    // A null block does nothing and reports nothing.
    vozDeleteDocTerm(nullptr, 'G', &st);
    vozDeleteDocTerm(nullptr, 'C', &st);
    EXPECT_OK(st);
}

TEST(DeleteDoc, FailedCommitKeepsTheOldLists) {
    Index ix;
    Build(ix);
    GTRSTATUS st{};
    DeleteDocs(ix.out, {5}, 'G', &st);
    ASSERT_OK(st);
    CREATWRK* b = PrepareDeletion(ix.out, {9}, &st);
    ASSERT_OK(st);
    static int moves;
    moves = 0;
    voz_JnlSetTestHook([](const char* op, const char* path) -> int {
        return strcmp(op, "rename") == 0 && strstr(path, "voz.JNL") == nullptr && ++moves == 2;
    });
    vozDeleteDocTerm(b, 'G', &st);
    voz_JnlSetTestHook(nullptr);
    EXPECT_EQ(st.retcode, 9);
    GTRSTATUS cs{};
    vozDeleteDocTerm(b, 'C', &cs);
    vozDeleteDocFree(b);
    EXPECT_EQ(Listed(ix.out, VOZ_HALF_MAIN), (std::vector<uint32_t>{5}));
    EXPECT_EQ(ix.leftovers(), std::vector<std::string>{});
}

TEST(DeleteDoc, MissingHalvesAndSubIndexesHoldNothingToDelete) {
    Index ix;
    ASSERT_OK(RunCycle(ix.out, ix.work, 'N', Corpus(1, 1, 20, 10), Parm(), Sys(8192)).st);
    GTRSTATUS st{};
    DeleteDocs(ix.out, {3}, 'G', &st);  // no supp half
    ASSERT_OK(st);
    EXPECT_EQ(Listed(ix.out, VOZ_HALF_MAIN), (std::vector<uint32_t>{3}));
    EXPECT_FALSE(PathThere(ix.dir + "/Fullsupp"));
    CREATWRK* b = PrepareDeletion(ix.out, {3}, &st, "MRNS", "Item");  // no item sub-index
    ASSERT_OK(st);
    vozDeleteDocTerm(b, 'G', &st);
    vozDeleteDocFree(b);
    EXPECT_OK(st);
    EXPECT_FALSE(PathThere(ix.dir + "/Itemdel"));
}

TEST(DeleteDoc, LaterMergeDropsTheDocuments) {
    Index ix;
    Build(ix);
    GTRSTATUS st{};
    DeleteDocs(ix.out, {5, 6}, 'G', &st);
    ASSERT_OK(st);
    MERGEWRK* m = nullptr;
    GTRSYSPARM sys = Sys(8192);
    VOZ__mergeIndex(&m, "idx", ix.out.c_str(), "KPLQ", "Full", ix.work.c_str(), &sys, nullptr,
                    nullptr, VOZ_MERGE_SUPP, nullptr, &st);
    ASSERT_OK(st);
    ASSERT_EQ(VOZ__mergeIndexFinish(m, nullptr, 1, 0, 'G', &st), 0);
    Half main = ReadHalf(ix.out, VOZ_HALF_MAIN, &st);
    ASSERT_OK(st);
    EXPECT_EQ(main.info.docCount, 28u);
    EXPECT_EQ(Listed(ix.out, VOZ_HALF_MAIN), std::vector<uint32_t>{});
    EXPECT_EQ(Searchable(ix.out, st), Range(1, 30, {5, 6}));
}

TEST(DeleteDoc, SortDocNoIXOrdersTheIndexByKey) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    for (int32_t n : {0, 1, 2, 3, 10, 257, 5000}) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " n " + std::to_string(n));
        std::vector<int32_t> keys(static_cast<size_t>(n));
        for (int32_t& k : keys) k = static_cast<int32_t>(rng() % 100) - 50;  // many ties
        std::vector<int32_t> ix(static_cast<size_t>(n));
        std::iota(ix.begin(), ix.end(), 0);
        GTRSTATUS st{};
        voz_SortDocNoIX(keys.data(), ix.data(), n, &st);
        EXPECT_OK(st);
        std::vector<int32_t> perm = ix;
        std::sort(perm.begin(), perm.end());
        for (int32_t i = 0; i < n; ++i) ASSERT_EQ(perm[static_cast<size_t>(i)], i);
        for (size_t i = 1; i < ix.size(); ++i)
            ASSERT_LE(keys[static_cast<size_t>(ix[i - 1])], keys[static_cast<size_t>(ix[i])]);
    }
    int32_t one = 4;
    voz_SortDocNoIX(nullptr, &one, 5, nullptr);  // null keys: nothing
    EXPECT_EQ(one, 4);
}

}  // namespace
