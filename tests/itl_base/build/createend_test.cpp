// Tests of the end of creation: the cycles of an index (new, appends batch
// and online, cancel, a bad letter, an empty cycle, cancel after a failed
// end) with the postings of both halves against a model, and the
// integrity check of a level (a document in two sections, disjoint
// sections not read, a document split by the pool's growth limit).
#include <cstdio>

#include "createend_fixture.hpp"
#include "engine_test_util.hpp"
#include "maint_fixture.hpp"

using namespace endfix;

namespace {

// The index of each cycle, in its own temporary directory.
struct Index : maintfix::Index {
    Index() : maintfix::Index("createend") {}
};


bool XindexThere(const std::string& out, int half) {
    _FCTLHEAD x = HalfSet(out, half, 1);
    GTRSTATUS st{};
    return voz_IDXqueryExistence(&x, nullptr, &st) == VOZ_EXISTS;
}

std::vector<Occ> Docs(uint32_t seed, int32_t first, int32_t count) {
    return Corpus(seed, first, count, 25);
}

TEST(CreateEnd, CycleTable) {
    uint32_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (char mode : {'B', 'O'}) {
        SCOPED_TRACE(std::string("mode ") + mode);
        Index ix;
        std::vector<Occ> a = Docs(seed, 1, 120), b = Docs(seed + 1, 121, 60),
                         c = Docs(seed + 2, 181, 70);
        // A new index: "main" only.
        RunResult r = RunCycle(ix.out, ix.work, 'N', a, Parm(), Sys(8192), 'G', 3, mode);
        ASSERT_OK(r.st);
        EXPECT_TRUE(ix.leftovers().empty());
        Half m = ix.half(VOZ_HALF_MAIN);
        ASSERT_TRUE(m.exists);
        EXPECT_FALSE(ix.half(VOZ_HALF_SUPP).exists);
        EXPECT_EQ(FirstDiff(m.lists, ModelOf(a)), "");
        EXPECT_TRUE(XindexThere(ix.out, VOZ_HALF_MAIN));  // variable keys: an X part
        // An append adds "supp"; the next start reports its highest document.
        r = RunCycle(ix.out, ix.work, 'A', b, Parm(), Sys(8192), 'G', 0, mode);
        ASSERT_OK(r.st);
        EXPECT_EQ(r.maxDoc, 120);
        Half s = ix.half(VOZ_HALF_SUPP);
        ASSERT_TRUE(s.exists);
        EXPECT_EQ(FirstDiff(s.lists, ModelOf(b)), "");
        EXPECT_TRUE(ix.half(VOZ_HALF_MAIN).lists == m.lists);
        // A cancelled append changes nothing.
        r = RunCycle(ix.out, ix.work, 'A', c, Parm(), Sys(8192), 'C', 0, mode);
        ASSERT_OK(r.st);
        EXPECT_EQ(r.maxDoc, 180);
        EXPECT_TRUE(ix.half(VOZ_HALF_SUPP).lists == s.lists);
        EXPECT_TRUE(ix.leftovers().empty());
        // A second append: supp holds both appends.
        r = RunCycle(ix.out, ix.work, 'A', c, Parm(), Sys(8192), 'G', 0, mode);
        ASSERT_OK(r.st);
        EXPECT_EQ(r.maxDoc, 180);
        std::vector<Occ> bc = b;
        bc.insert(bc.end(), c.begin(), c.end());
        EXPECT_EQ(FirstDiff(ix.half(VOZ_HALF_SUPP).lists, ModelOf(bc)), "");
        EXPECT_TRUE(XindexThere(ix.out, VOZ_HALF_SUPP));
        EXPECT_TRUE(ix.half(VOZ_HALF_MAIN).lists == m.lists);
        EXPECT_TRUE(ix.leftovers().empty());
        EXPECT_TRUE(DirNames(ix.work).empty());
        // The next start sees the highest document of both appends.
        r = RunCycle(ix.out, ix.work, 'A', {}, Parm(), Sys(8192), 'C', 0, mode);
        EXPECT_EQ(r.maxDoc, 250);
    }
}

TEST(CreateEnd, BadLetterEmptyCycleAndCancelAfterFailure) {
    {
        Index ix;
        GTRSTATUS st{};
        CREATWRK* cwp = StartCycle(ix.out, ix.work, 'N', Parm(), Sys(8192), &st);
        ASSERT_OK(st);
        Feed(cwp, Docs(1, 1, 10), &st);
        ASSERT_EQ(VOZ_createIndexLast(cwp, &st), 0);
        EXPECT_EQ(VOZ_createIndexTerm(cwp, 'X', &st), -1);  // frees the block
        EXPECT_RC(st, 2, 11);
        EXPECT_TRUE(ix.leftovers().empty());
        EXPECT_FALSE(ix.half(VOZ_HALF_MAIN).exists);
    }
    {
        Index ix;  // a new cycle without documents commits to nothing
        RunResult r = RunCycle(ix.out, ix.work, 'N', {}, Parm(), Sys(8192));
        EXPECT_OK(r.st);
        EXPECT_TRUE(DirNames(ix.out).empty()) << DirNames(ix.out).front();
        EXPECT_TRUE(DirNames(ix.work).empty());
    }
    {
        // Documents 1-10, a flush, document 5 again: the end fails, the
        // cancel removes the "#" parts.
        Index ix;
        GTRSTATUS st{};
        CREATWRK* cwp = StartCycle(ix.out, ix.work, 'N', Parm(), Sys(8388608), &st);
        ASSERT_OK(st);
        Feed(cwp, Docs(2, 1, 10), &st);
        ASSERT_EQ(voz_PattFlush(cwp, cwp->targetSet, &st), 0);
        Feed(cwp, Docs(3, 5, 1), &st);
        ASSERT_OK(st);
        EXPECT_EQ(VOZ_createIndexLast(cwp, &st), -1);
        EXPECT_RC(st, 153, 2109);
        EXPECT_EQ(st.detail, 5);
        EXPECT_EQ(VOZ_createIndexTerm(cwp, 'C', &st), 0);
        EXPECT_TRUE(ix.leftovers().empty());
        EXPECT_FALSE(ix.half(VOZ_HALF_MAIN).exists);
        EXPECT_TRUE(DirNames(ix.work).empty());
    }
}

// Two sections of level 0 over documents [1, 5] and `second`, then the
// level's work files taken away: a check that reads them fails.
GTRSTATUS CheckWithoutFiles(int32_t secondFirst) {
    Index ix;
    GTRSTATUS st{};
    CREATWRK* cwp = StartCycle(ix.out, ix.work, 'N', Parm(), Sys(8388608), &st);
    EXPECT_OK(st);
    Feed(cwp, Docs(4, 1, 5), &st);
    voz_PattFlush(cwp, cwp->targetSet, &st);
    Feed(cwp, Docs(5, secondFirst, 5), &st);
    voz_PattFlush(cwp, cwp->targetSet, &st);
    EXPECT_OK(st);
    MCTLINFO* l0 = &cwp->levels[0];
    voz_IDXclose(&l0->sections[l0->fileOwner].idx, &st);
    l0->filesOpen = 0;
    for (const std::string& n : DirNames(ix.work)) remove((ix.work + "/" + n).c_str());
    GTRSTATUS check{};
    vozCheckWorkFileIntegrity(cwp, 0, &check);
    GTRSTATUS t{};
    VOZ_createIndexTerm(cwp, 'C', &t);
    return check;
}

TEST(CreateEnd, IntegrityReadsOnlyOverlappingSections) {
    EXPECT_EQ(CheckWithoutFiles(6).retcode, 0);   // disjoint: not read
    EXPECT_NE(CheckWithoutFiles(3).retcode, 0);   // overlapping: read
}

TEST(CreateEnd, DocumentSplitByTheGrowthLimitIsJoined) {
    // A pool of 8192 bytes that may not grow: document 2 of 1,000
    // occurrences spans several sections.
    uint32_t seed = testSeed();
    std::vector<Occ> occ = Docs(seed, 1, 1);
    int32_t pos = 1;
    for (int i = 0; i < 1000; ++i, pos += 2)
        occ.push_back({')', std::string{static_cast<char>('a' + i % 5), 0}, 0, 2, pos});
    occ.push_back({'&', "", 0, 2, pos});
    std::vector<Occ> tail = Docs(seed + 1, 3, 5);
    occ.insert(occ.end(), tail.begin(), tail.end());
    Index ix;
    RunResult r = RunCycle(ix.out, ix.work, 'N', occ, Parm(), Sys(8192, 0));
    ASSERT_OK(r.st) << "seed " << seed;
    Half m = ix.half(VOZ_HALF_MAIN);
    EXPECT_EQ(FirstDiff(m.lists, ModelOf(occ)), "") << "seed " << seed;
}

}  // namespace
