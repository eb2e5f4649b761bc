// Tests of the index merge: main and supp merged with deleted documents
// dropped (sequential and block store), against a model of the live
// documents; main alone with and without deletions; no main; the finish's
// errors, its cancel (also refused with the flush flag 'Y'), and a commit
// whose second directory move fails.
#include <cstdio>
#include <set>

#include "maint_fixture.hpp"
#include "build/voz_journal.hpp"
#include "build/voz_merge.hpp"
#include "engine_test_util.hpp"

using namespace maintfix;

namespace {

GTRCREATEPARM StoreParm(bool blockStore) {
    GTRCREATEPARM p = Parm();
    if (blockStore) {
        p.storeParameter = 1;   // any size chooses the block store
        p.storeSubParameter = 4;
        p.storeBlockUnit = 4;
    }
    return p;
}

// Keys with documents only (a key whose documents were all deleted keeps
// no posting).
Lists NonEmpty(const Lists& l) {
    Lists r;
    for (const auto& [k, d] : l)
        if (!d.empty()) r[k] = d;
    return r;
}

std::vector<Occ> Without(const std::vector<Occ>& occ, const std::set<int32_t>& gone) {
    std::vector<Occ> r;
    for (const Occ& o : occ)
        if (gone.count(o.doc) == 0) r.push_back(o);
    return r;
}

MERGEWRK* Merge(const Index& ix, GTRSTATUS* st, GTRSYSPARM sys = Sys(8192)) {
    MERGEWRK* m = nullptr;
    InDir here(ix.work);  // no "GTRSYS" there
    VOZ__mergeIndex(&m, "idx", ix.out.c_str(), "KPLQ", "Full", ix.work.c_str(), &sys, nullptr,
                    nullptr, VOZ_MERGE_SUPP, nullptr, st);
    return m;
}

// main 1-100 and supp 101-150 of the corpus of `seed`.
std::vector<Occ> BuildTwoHalves(Index& ix, uint32_t seed, bool blockStore) {
    std::vector<Occ> a = Corpus(seed, 1, 100, 20), b = Corpus(seed + 1, 101, 50, 20);
    RunResult r = RunCycle(ix.out, ix.work, 'N', a, StoreParm(blockStore), Sys(8192), 'G', 3);
    EXPECT_OK(r.st);
    r = RunCycle(ix.out, ix.work, 'A', b, StoreParm(blockStore), Sys(8192));
    EXPECT_OK(r.st);
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(IndexMerge, MainAndSuppMergeIntoMainWithoutDeletedDocuments) {
    const uint32_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (bool blockStore : {false, true}) {
        SCOPED_TRACE(blockStore ? "block store" : "sequential store");
        Index ix;
        std::vector<Occ> all = BuildTwoHalves(ix, seed, blockStore);
        ASSERT_TRUE(ix.half(VOZ_HALF_SUPP).exists);
        GTRSTATUS st{};
        DeleteDocs(ix.out, {5, 120}, 'G', &st);
        ASSERT_OK(st);
        MERGEWRK* m = Merge(ix, &st);
        ASSERT_OK(st);
        ASSERT_NE(m, nullptr);
        // Until the commit the index answers from both halves.
        EXPECT_TRUE(ix.half(VOZ_HALF_SUPP).exists);
        EXPECT_EQ(VOZ__mergeIndexFinish(m, nullptr, 1, 0, 'G', &st), 0);
        ASSERT_OK(st);
        EXPECT_EQ(ix.leftovers(), std::vector<std::string>{});
        EXPECT_FALSE(ix.half(VOZ_HALF_SUPP).exists);
        EXPECT_FALSE(PathThere(ix.dir + "/Fulldel")) << "the lists were consumed";
        Half main = ix.half(VOZ_HALF_MAIN);
        const Lists want = ModelOf(Without(all, {5, 120}));
        EXPECT_EQ(FirstDiff(NonEmpty(main.lists), NonEmpty(want)), "");
        for (const auto& [key, docs] : main.lists)
            EXPECT_TRUE(want.count(key) == 1 || docs.empty()) << "a key of deleted documents";
        EXPECT_EQ(main.lists["slot38"].size(), 148u);
        for (int d : {5, 120}) EXPECT_EQ(main.lists["slot38"].count(d), 0u) << d;
        EXPECT_EQ(main.info.docCount, 148u);
    }
}

TEST(IndexMerge, MainAloneIsRewrittenOnlyWhenItHasDeletedDocuments) {
  for (bool blockStore : {false, true}) {
    SCOPED_TRACE(blockStore ? "block store" : "sequential store");
    Index ix;
    std::vector<Occ> a = Corpus(7, 1, 60, 20);
    ASSERT_OK(RunCycle(ix.out, ix.work, 'N', a, StoreParm(blockStore), Sys(8192)).st);
    const Half before = ix.half(VOZ_HALF_MAIN);
    const std::vector<std::string> names = DirNames(ix.dir);
    GTRSTATUS st{};
    MERGEWRK* m = Merge(ix, &st);
    ASSERT_OK(st);
    ASSERT_NE(m, nullptr) << "nothing to merge still hands out the block";
    EXPECT_EQ(DirNames(ix.dir), names) << "nothing written";
    EXPECT_EQ(VOZ__mergeIndexFinish(m, nullptr, 1, 0, 'G', &st), 0);
    ASSERT_OK(st);
    EXPECT_EQ(DirNames(ix.dir), names) << "the commit changed nothing";
    EXPECT_EQ(FirstDiff(ix.half(VOZ_HALF_MAIN).lists, before.lists), "");

    DeleteDocs(ix.out, {3, 4, 60}, 'G', &st);
    ASSERT_OK(st);
    m = Merge(ix, &st);
    ASSERT_OK(st);
    EXPECT_EQ(VOZ__mergeIndexFinish(m, nullptr, 1, 0, 'G', &st), 0);
    ASSERT_OK(st);
    EXPECT_EQ(ix.leftovers(), std::vector<std::string>{});
    EXPECT_EQ(FirstDiff(NonEmpty(ix.half(VOZ_HALF_MAIN).lists),
                        NonEmpty(ModelOf(Without(a, {3, 4, 60})))), "");
  }
}

TEST(IndexMerge, MissingMainGivesRetcode20AndNoBlock) {
    Index ix;
    GTRSTATUS st{};
    MERGEWRK* m = Merge(ix, &st);
    EXPECT_EQ(st.retcode, 20);
    EXPECT_EQ(m, nullptr);
    EXPECT_FALSE(PathThere(ix.dir + "/#ullmain"));
}

TEST(IndexMerge, ArgumentsAndBlocksAreChecked) {
    Index ix;
    GTRSTATUS st{};
    MERGEWRK* m = nullptr;
    GTRSYSPARM sys = Sys(8192);
    VOZ__mergeIndex(&m, "idx", ix.out.c_str(), "KPLQ", "Full", ix.work.c_str(), &sys, nullptr,
                    nullptr, 2, nullptr, &st);
    EXPECT_RC(st, 2, 2102);
    EXPECT_EQ(m, nullptr);
    const std::string longDir(2100, 'w');
    VOZ__mergeIndex(&m, "idx", ix.out.c_str(), "KPLQ", "Full", longDir.c_str(), &sys, nullptr,
                    nullptr, 1, nullptr, &st);
    EXPECT_RC(st, 35, 27);
    // Finish: no tagged block, or a use flag on a missing one.
    VOZ__mergeIndexFinish(nullptr, nullptr, 0, 0, 'G', &st);
    EXPECT_RC(st, 1, 29);
    CREATWRK notMerge{};
    strcpy(notMerge.tag, "CREATWRK");
    VOZ__mergeIndexFinish(&notMerge, nullptr, 1, 0, 'G', &st);
    EXPECT_RC(st, 1, 29);

    ASSERT_OK(RunCycle(ix.out, ix.work, 'N', Corpus(3, 1, 20, 10), Parm(), Sys(8192)).st);
    ASSERT_OK(RunCycle(ix.out, ix.work, 'A', Corpus(4, 21, 20, 10), Parm(), Sys(8192)).st);
    m = Merge(ix, &st);
    ASSERT_OK(st);
    VOZ__mergeIndexFinish(m, nullptr, 1, 1, 'G', &st);  // the second is missing
    EXPECT_RC(st, 1, 29);
    EXPECT_EQ(ix.leftovers(), std::vector<std::string>{}) << "the block was released";
    m = Merge(ix, &st);
    ASSERT_OK(st);
    VOZ__mergeIndexFinish(m, nullptr, 1, 0, 'X', &st);
    EXPECT_RC(st, 2, 30);
    EXPECT_EQ(ix.leftovers(), std::vector<std::string>{});
    EXPECT_TRUE(ix.half(VOZ_HALF_SUPP).exists);
}

TEST(IndexMerge, CancelRemovesTheMergedPartUnlessTheFlushFlagIsSet) {
    Index ix;
    ASSERT_OK(RunCycle(ix.out, ix.work, 'N', Corpus(5, 1, 30, 10), Parm(), Sys(8192)).st);
    ASSERT_OK(RunCycle(ix.out, ix.work, 'A', Corpus(6, 31, 30, 10), Parm(), Sys(8192)).st);
    const Lists mainBefore = ix.half(VOZ_HALF_MAIN).lists;
    GTRSTATUS st{};
    MERGEWRK* m = Merge(ix, &st);
    ASSERT_OK(st);
    ASSERT_TRUE(PathThere(ix.dir + "/#ullmain"));
    EXPECT_EQ(VOZ__mergeIndexFinish(m, nullptr, 1, 0, 'C', &st), 0);
    EXPECT_EQ(ix.leftovers(), std::vector<std::string>{});
    EXPECT_EQ(FirstDiff(ix.half(VOZ_HALF_MAIN).lists, mainBefore), "");
    EXPECT_TRUE(ix.half(VOZ_HALF_SUPP).exists);

    GTRSYSPARM flush = Sys(8192);
    flush.filler[0] = 'Y';
    m = Merge(ix, &st, flush);
    ASSERT_OK(st);
    ASSERT_EQ(m->flushFlag, 'Y');
    EXPECT_EQ(VOZ__mergeIndexFinish(m, nullptr, 1, 0, 'C', &st), -1);
    EXPECT_RC(st, 2, 2023);
    EXPECT_TRUE(PathThere(ix.dir + "/#ullmain")) << "a refused cancel removes nothing";
}

// Fails the second directory move of a commit (the mark's own rename is
// not a move).
int gMoves = 0;
int FailSecondMove(const char* op, const char* path) {
    if (strcmp(op, "rename") != 0 || strstr(path, "voz.JNL") != nullptr) return 0;
    return ++gMoves == 2 ? 1 : 0;
}

TEST(IndexMerge, FailingSecondMoveLeavesMainAsItWas) {
    Index ix;
    std::vector<Occ> all = BuildTwoHalves(ix, 11, false);
    GTRSTATUS st{};
    DeleteDocs(ix.out, {5, 120}, 'G', &st);
    ASSERT_OK(st);
    const Lists mainBefore = ix.half(VOZ_HALF_MAIN).lists;
    const Lists suppBefore = ix.half(VOZ_HALF_SUPP).lists;
    MERGEWRK* m = Merge(ix, &st);
    ASSERT_OK(st);
    gMoves = 0;
    voz_JnlSetTestHook(FailSecondMove);
    EXPECT_EQ(VOZ__mergeIndexFinish(m, nullptr, 1, 0, 'G', &st), -1);
    voz_JnlSetTestHook(nullptr);
    EXPECT_EQ(st.retcode, 9);
    EXPECT_EQ(FirstDiff(ix.half(VOZ_HALF_MAIN).lists, mainBefore), "");
    EXPECT_EQ(FirstDiff(ix.half(VOZ_HALF_SUPP).lists, suppBefore), "");
    EXPECT_TRUE(PathThere(ix.dir + "/Fulldel/Main.DEL")) << "deleted documents stay deleted";
    EXPECT_EQ(ix.leftovers(), std::vector<std::string>{});
    // The next merge succeeds.
    m = Merge(ix, &st);
    ASSERT_OK(st);
    EXPECT_EQ(VOZ__mergeIndexFinish(m, nullptr, 1, 0, 'G', &st), 0);
    EXPECT_EQ(FirstDiff(NonEmpty(ix.half(VOZ_HALF_MAIN).lists),
                        NonEmpty(ModelOf(Without(all, {5, 120})))), "");
}

}  // namespace
