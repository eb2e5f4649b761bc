// Tests of the work-file merge: one corpus built through one section and
// through many sections over two to four levels gives the same committed
// index (key files equal but for the write time, position files byte for
// byte, every key's postings), leaves no work file, and gives the same
// postings in the block store; the document order of posting controls.
#include <algorithm>

#include "createend_fixture.hpp"
#include "engine_test_util.hpp"

using namespace endfix;

namespace {

struct Built {
    RunResult run;
    Half half;
    std::string key, pos;
    std::vector<std::string> workLeft;
};

Built Build(const std::vector<Occ>& occ, int32_t pool, int maxSections, int16_t store) {
    TempDir tmp("mergework");
    std::string out = tmp.path() + "/out", work = tmp.path() + "/work";
    mkdir(out.c_str(), 0770);
    mkdir(work.c_str(), 0770);
    GTRCREATEPARM p = Parm();
    p.storeParameter = store;
    p.storeBlockUnit = 4;
    Built b;
    b.run = RunCycle(out, work, 'N', occ, p, Sys(pool), 'G', maxSections);
    if (b.run.st.retcode != 0) return b;
    b.half = ReadHalf(out, VOZ_HALF_MAIN, &b.run.st);
    b.key = slurp(FilePath(out, VOZ_HALF_MAIN, VOZ_FT_KEY));
    if (store == 0) b.pos = slurp(FilePath(out, VOZ_HALF_MAIN, VOZ_FT_POS));
    b.workLeft = DirNames(work);
    return b;
}

TEST(MergeWork, ManySectionsAndLevelsGiveTheOneSectionIndex) {
    uint32_t seed = testSeed();
    std::vector<Occ> occ = Corpus(seed, 1, 400, 30);
    Built one = Build(occ, 8388608, 0, 0);
    ASSERT_OK(one.run.st) << "seed " << seed;
    ASSERT_TRUE(one.half.exists);
    EXPECT_EQ(one.run.levels, 1);
    struct Case { int maxSections; int minLevels; };
    for (Case c : {Case{0, 1}, Case{4, 3}, Case{2, 4}}) {
        SCOPED_TRACE("maxSections " + std::to_string(c.maxSections) + " seed " +
                     std::to_string(seed));
        Built many = Build(occ, 8192, c.maxSections, 0);
        ASSERT_OK(many.run.st);
        EXPECT_GE(many.run.levels, c.minLevels);
        ASSERT_EQ(many.key.size(), one.key.size());
        std::string a = one.key, b = many.key;
        for (int i = 88; i < 92; ++i) a[i] = b[i] = 0;  // write time
        std::string diffs;
        for (size_t i = 0; i < a.size() && diffs.size() < 120; ++i)
            if (a[i] != b[i]) diffs += " " + std::to_string(i);
        EXPECT_TRUE(a == b) << "key files differ at" << diffs;
        EXPECT_TRUE(many.pos == one.pos) << "position files differ";
        EXPECT_TRUE(many.half.lists == one.half.lists);
        EXPECT_EQ(many.half.order, one.half.order);
        EXPECT_TRUE(many.workLeft.empty()) << many.workLeft.front();
    }
}

TEST(MergeWork, BlockStoreHoldsTheSamePostings) {
    uint32_t seed = testSeed();
    std::vector<Occ> occ = Corpus(seed, 1, 200, 30);
    Built seq = Build(occ, 8388608, 0, 0);
    ASSERT_OK(seq.run.st);
    for (int32_t pool : {8388608, 8192}) {
        SCOPED_TRACE("pool " + std::to_string(pool) + " seed " + std::to_string(seed));
        Built blk = Build(occ, pool, 3, 1);
        ASSERT_OK(blk.run.st);
        EXPECT_NE(blk.half.info.indexFlags & VOZ_IDXFLAG_BTREE, 0);
        EXPECT_TRUE(blk.half.lists == seq.half.lists);
        EXPECT_EQ(blk.half.order, seq.half.order);
        EXPECT_TRUE(blk.workLeft.empty());
    }
}

TEST(MergeWork, KeepOrderVvgMovesEndedBehindAndAdvancedInPlace) {
    // Controls at documents; 0x7FFFFFFF with endOfDocs 'Y' has ended.
    struct Case { std::vector<int32_t> docs; std::vector<int32_t> order; int32_t n;
                  std::vector<int32_t> want; int32_t count; };
    const Case cases[] = {
        {{5, 1, 3}, {0, 1, 2}, 1, {1, 2, 0}, 3},
        {{3, 3, 9}, {0, 1, 2}, 1, {0, 1, 2}, 3},          // lands before equals
        {{-2, 4, 6}, {0, 1, 2}, 1, {1, 2, 0}, 2},         // -2: ended
        {{8, 7, 1, 2, 3, 4, 5, 6, 9, 10, 11, 12}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
         2, {2, 3, 4, 5, 6, 7, 1, 0, 8, 9, 10, 11}, 12},
        {{20, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
         1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0}, 13},  // past the probe
    };
    for (const Case& c : cases) {
        std::vector<PCTLHEAD> p(c.docs.size());
        for (size_t i = 0; i < c.docs.size(); ++i) {
            memset(&p[i], 0, sizeof p[i]);
            p[i].endOfDocs = c.docs[i] == -2 ? 'Y' : 'N';
            p[i].curDoc = c.docs[i] == -2 ? 0x7FFFFFFF : c.docs[i];
        }
        std::vector<int32_t> order = c.order;
        int32_t count = static_cast<int32_t>(order.size());
        voz_PctlKeepOrderVvg(&count, c.n, order.data(), p.data());
        EXPECT_EQ(order, c.want);
        EXPECT_EQ(count, c.count);
    }
}

}  // namespace
