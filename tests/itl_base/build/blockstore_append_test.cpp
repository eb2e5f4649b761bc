// Appends to an index whose lists lie in the block store: the main and
// supp halves of one sub-index share the block files, so building a new
// supp (or a new main) must leave every list of the live main readable
// and unchanged. Each cycle is checked against a model of its documents.
#include <sys/stat.h>

#include "createend_fixture.hpp"
#include "engine_test_util.hpp"

using namespace endfix;

namespace {

// The block store from the first commit on: any list size chooses it.
GTRCREATEPARM BlockParm() {
    GTRCREATEPARM p = Parm();
    p.storeParameter = 1;
    p.storeSubParameter = -1;
    p.storeBlockUnit = -1;
    return p;
}

struct Index {
    TempDir tmp{"bsappend"};
    std::string out = tmp.path() + "/out";
    std::string work = tmp.path() + "/work";
    Index() {
        mkdir(out.c_str(), 0770);
        mkdir(work.c_str(), 0770);
    }
    Half half(int h) {
        GTRSTATUS st{};
        Half r = ReadHalf(out, h, &st);
        EXPECT_OK(st);
        return r;
    }
};

// Many documents over few fixed keys: long lists, besides short ones and
// the document list in a slot.
std::vector<Occ> Docs(uint32_t seed, int32_t first, int32_t count) {
    return Corpus(seed, first, count, 40);
}

TEST(BlockStoreAppend, AppendsLeaveMainListsIntact) {
    uint32_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (char mode : {'B', 'O'}) {
        SCOPED_TRACE(std::string("mode ") + mode);
        Index ix;
        std::vector<Occ> a = Docs(seed, 1, 400), b = Docs(seed + 1, 401, 150),
                         c = Docs(seed + 2, 551, 150);
        RunResult r = RunCycle(ix.out, ix.work, 'N', a, BlockParm(), Sys(65536), 'G', 0, mode);
        ASSERT_OK(r.st);
        Half m = ix.half(VOZ_HALF_MAIN);
        ASSERT_TRUE(m.exists);
        ASSERT_NE(m.info.indexFlags & VOZ_IDXFLAG_BTREE, 0) << "main is not in the block store";
        ASSERT_EQ(FirstDiff(m.lists, ModelOf(a)), "");
        ASSERT_GT(m.info.slots[38].dataLength, 0u);
        // The first append builds supp beside the live main (an appended
        // supp keeps its lists in a position file of its own).
        r = RunCycle(ix.out, ix.work, 'A', b, BlockParm(), Sys(65536), 'G', 0, mode);
        ASSERT_OK(r.st);
        EXPECT_EQ(r.maxDoc, 400);
        EXPECT_EQ(FirstDiff(ix.half(VOZ_HALF_MAIN).lists, m.lists), "") << "after append 1";
        Half s = ix.half(VOZ_HALF_SUPP);
        ASSERT_TRUE(s.exists);
        EXPECT_EQ(FirstDiff(s.lists, ModelOf(b)), "");
        // A second append merges into supp; a cancelled one changes nothing.
        r = RunCycle(ix.out, ix.work, 'A', c, BlockParm(), Sys(65536), 'C', 0, mode);
        ASSERT_OK(r.st);
        EXPECT_EQ(FirstDiff(ix.half(VOZ_HALF_SUPP).lists, s.lists), "") << "after cancel";
        r = RunCycle(ix.out, ix.work, 'A', c, BlockParm(), Sys(65536), 'G', 0, mode);
        ASSERT_OK(r.st);
        EXPECT_EQ(r.maxDoc, 550);
        std::vector<Occ> bc = b;
        bc.insert(bc.end(), c.begin(), c.end());
        EXPECT_EQ(FirstDiff(ix.half(VOZ_HALF_SUPP).lists, ModelOf(bc)), "");
        EXPECT_EQ(FirstDiff(ix.half(VOZ_HALF_MAIN).lists, m.lists), "") << "after append 2";
    }
}

// A new creation over a committed block-store index, cancelled, leaves
// main's lists whole. The block files belong to the sub-index, not to a
// half: a new index that chose the block store initialised them anew
// under the live main (read errors 17/3271 and wrong positions after the
// cancel). A new index now takes the sequential file while a live set of
// its sub-index uses the block files.
TEST(BlockStoreAppend, CancelledRecreationKeepsMain) {
    uint32_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    Index ix;
    std::vector<Occ> a = Docs(seed, 1, 300), b = Docs(seed + 1, 1, 200);
    RunResult r = RunCycle(ix.out, ix.work, 'N', a, BlockParm(), Sys(65536));
    ASSERT_OK(r.st);
    Half m = ix.half(VOZ_HALF_MAIN);
    ASSERT_EQ(FirstDiff(m.lists, ModelOf(a)), "");
    r = RunCycle(ix.out, ix.work, 'N', b, BlockParm(), Sys(65536), 'C');
    ASSERT_OK(r.st);
    EXPECT_EQ(FirstDiff(ix.half(VOZ_HALF_MAIN).lists, m.lists), "") << "after cancel";
}

// Committed, a new creation over a block-store index replaces main.
TEST(BlockStoreAppend, RecreationReplacesMain) {
    uint32_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    Index ix;
    std::vector<Occ> a = Docs(seed, 1, 300), b = Docs(seed + 1, 1, 200);
    ASSERT_OK(RunCycle(ix.out, ix.work, 'N', a, BlockParm(), Sys(65536)).st);
    ASSERT_OK(RunCycle(ix.out, ix.work, 'N', b, BlockParm(), Sys(65536)).st);
    EXPECT_EQ(FirstDiff(ix.half(VOZ_HALF_MAIN).lists, ModelOf(b)), "");
    EXPECT_FALSE(ix.half(VOZ_HALF_SUPP).exists);
}

}  // namespace
