// Tests of deleting, renaming and copying a sub-index and of creating a
// root directory: what moves, what stays, and the refusals that leave
// every file set as it was.  Indexes are checked whole by verification.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include "createend_fixture.hpp"
#include "deldoc_fixture.hpp"
#include "build/voz_deldoc.hpp"
#include "build/voz_idxadmin.hpp"
#include "build/voz_verify.hpp"
#include "characters/voz_cut.hpp"
#include "postings/voz_posstore.hpp"

using namespace endfix;
namespace fs = std::filesystem;

namespace {

#define EXPECT_CODES(st, rc, ec) \
    EXPECT_EQ(std::make_pair((st).retcode, (st).errcode), std::make_pair(int32_t(rc), int32_t(ec)))

struct Index : IndexDirs {
    Index() : IndexDirs("idxadmin") {}
    // Index "idx" of `dir`: documents first..first+count-1 into main ('N')
    // or supp ('A').
    void build(char op, int32_t first, int32_t count, uint32_t seed,
               const std::string& dir = "") {
        RunResult r = RunCycle(dir.empty() ? out : dir, work, op,
                               Corpus(seed, first, count, 10), Parm(), Sys(8192));
        ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
    }
};

// Verification of the text sub-index of dir/name: the six live figures,
// or the failure's codes.
std::vector<int32_t> Live(const std::string& dir, const std::string& name) {
    DOCSINFO d;
    GTRSTATUS st{};
    VOZ_checkDocno(name.c_str(), dir.c_str(), "KPLQ", "Full", nullptr, 'N', &d,
                   vozCHmarkUnit_Chk, &st);
    if (st.retcode != 0) return {-1000 - st.retcode, st.errcode};
    return {d.mainLowest, d.mainHighest, d.mainCount, d.suppLowest, d.suppHighest,
            d.suppCount};
}

// Every path under `root`, relative, with file sizes: a picture of a tree.
std::set<std::string> Tree(const std::string& root) {
    std::set<std::string> t;
    if (!fs::exists(root)) return t;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        std::string p = fs::relative(e.path(), root).string();
        if (e.is_regular_file()) p += " " + std::to_string(e.file_size());
        t.insert(p);
    }
    return t;
}

}  // namespace

TEST(IdxAdmin, DeleteRemovesTheWholeSubIndexOrItsSuppHalf) {
    Index ix;
    ix.build('N', 1, 20, 1);
    ix.build('A', 21, 10, 2);
    ix.remove({5, 25});
    GTRSTATUS st{};
    // func 1: the supp half goes with its deleted documents; main stays.
    EXPECT_EQ(VOZ__deleteIndex(1, "idx", ix.out.c_str(), "KPLQ", "Full", &st), 0);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(Live(ix.out, "idx"), (std::vector<int32_t>{1, 20, 19, -1, -1, 0}));
    // A new supp half does not inherit the old one's deletions.
    ix.build('A', 21, 10, 3);
    EXPECT_EQ(Live(ix.out, "idx"), (std::vector<int32_t>{1, 20, 19, 21, 30, 10}));

    EXPECT_EQ(VOZ__deleteIndex(0, "idx", ix.out.c_str(), "KPLQ", "Full", &st), 0);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_FALSE(fs::exists(ix.out + "/idx"));
    // Missing: retcode 20, nothing else touched.
    mkdir((ix.out + "/keep").c_str(), 0770);
    EXPECT_EQ(VOZ__deleteIndex(0, "idx", ix.out.c_str(), "KPLQ", "Full", &st), -1);
    EXPECT_CODES(st, 20, 0);
    EXPECT_TRUE(fs::exists(ix.out + "/keep"));
    st = {};
    ix.build('N', 1, 5, 4);
    EXPECT_EQ(VOZ__deleteIndex(1, "idx", ix.out.c_str(), "KPLQ", "Full", &st), -1);
    EXPECT_CODES(st, 20, 0);
    EXPECT_EQ(Live(ix.out, "idx"), (std::vector<int32_t>{1, 5, 5, -1, -1, 0}));
}

TEST(IdxAdmin, RootRenameMovesTheIndexOrRefuses) {
    Index ix;
    ix.build('N', 1, 12, 5);
    GTRSTATUS st{};
    const std::string other = ix.tmp.path() + "/other";
    mkdir(other.c_str(), 0770);
    EXPECT_EQ(VOZ_renameIndex("idx", ix.out.c_str(), "KPLQ", "MRNS", "Full", "Item", "moved",
                              other.c_str(), 3, &st),
              0);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(st.processed_index, 0x80);
    EXPECT_FALSE(fs::exists(ix.out + "/idx"));
    EXPECT_EQ(Live(other, "moved"), (std::vector<int32_t>{1, 12, 12, -1, -1, 0}));

    // Onto an existing root: refused, both stay.
    ix.build('N', 1, 3, 6);
    st = {};
    VOZ_renameIndex("idx", ix.out.c_str(), "KPLQ", "MRNS", "Full", "Item", "moved",
                    other.c_str(), 3, &st);
    EXPECT_CODES(st, 140, 2313);
    EXPECT_EQ(Live(ix.out, "idx"), (std::vector<int32_t>{1, 3, 3, -1, -1, 0}));
    EXPECT_EQ(Live(other, "moved"), (std::vector<int32_t>{1, 12, 12, -1, -1, 0}));
    // Neither sub-index there.
    st = {};
    VOZ_renameIndex("none", ix.out.c_str(), "KPLQ", "MRNS", "Full", "Item", "x",
                    other.c_str(), 3, &st);
    EXPECT_CODES(st, 20, 2312);
    // rename(2) itself failing (no such target directory) is retcode 9.
    st = {};
    VOZ_renameIndex("idx", ix.out.c_str(), "KPLQ", "MRNS", "Full", "Item", "x",
                    (other + "/missing/dir").c_str(), 3, &st);
    EXPECT_CODES(st, 9, 2314);
    EXPECT_EQ(Live(ix.out, "idx"), (std::vector<int32_t>{1, 3, 3, -1, -1, 0}));
}

TEST(IdxAdmin, SubIndexRenameMovesEverySetOrNone) {
    Index ix;
    ix.build('N', 1, 15, 7);
    ix.build('A', 16, 5, 8);
    ix.remove({3, 17});
    GTRSTATUS st{};
    EXPECT_EQ(VOZ_renameIndex("idx", ix.out.c_str(), "KPLQ", "MRNS", "Full", "Item", "idx2",
                              ix.out.c_str(), 1, &st),
              0);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(Live(ix.out, "idx2"), (std::vector<int32_t>{1, 15, 14, 16, 20, 4}));
    EXPECT_EQ(Live(ix.out, "idx")[0], -1020);

    // A target that already has a supp half: refused, nothing moves.
    ix.build('N', 1, 4, 9);
    fs::remove_all(ix.out + "/idx2/Fullmain");
    const std::set<std::string> source = Tree(ix.out + "/idx");
    const std::set<std::string> target = Tree(ix.out + "/idx2");
    st = {};
    VOZ_renameIndex("idx", ix.out.c_str(), "KPLQ", "MRNS", "Full", "Item", "idx2",
                    ix.out.c_str(), 1, &st);
    EXPECT_CODES(st, 9, 459);
    EXPECT_STREQ(st.errfname1, "idx");
    EXPECT_STREQ(st.errfname2, "idx2");
    EXPECT_EQ(Tree(ix.out + "/idx"), source);
    EXPECT_EQ(Tree(ix.out + "/idx2"), target);
    // No such sub-index.
    st = {};
    VOZ_renameIndex("idx", ix.out.c_str(), "KPLQ", "MRNS", "Full", "Item", "idx3",
                    ix.out.c_str(), 2, &st);
    EXPECT_CODES(st, 20, 0);
}

TEST(IdxAdmin, CopyKeepsTheSourceAndGivesAnEqualIndex) {
    for (bool blockStore : {false, true}) {
        SCOPED_TRACE(blockStore ? "block store" : "sequential");
        Index ix;
        GTRCREATEPARM p = Parm();
        if (blockStore) {
            p.storeParameter = 1;
            p.storeSubParameter = 4;
            p.storeBlockUnit = 4;
        }
        ASSERT_EQ(RunCycle(ix.out, ix.work, 'N', Corpus(10, 1, 25, 10), p, Sys(8192)).st.retcode,
                  0);
        ASSERT_EQ(RunCycle(ix.out, ix.work, 'A', Corpus(11, 26, 5, 10), p, Sys(8192)).st.retcode,
                  0);
        ix.remove({2, 27});
        const std::string copyDir = ix.tmp.path() + "/copies";
        GTRSTATUS st{};
        ASSERT_EQ(vozCreateRootDirectory("copy", copyDir.c_str(), &st), 0);
        EXPECT_EQ(VOZ_copyIndex("idx", ix.out.c_str(), "KPLQ", "Full", "copy", copyDir.c_str(),
                                &st),
                  0);
        EXPECT_EQ(st.retcode, 0) << st.errcode << " " << st.errfname1;
        const std::vector<int32_t> want{1, 25, 24, 26, 30, 4};
        EXPECT_EQ(Live(ix.out, "idx"), want);
        EXPECT_EQ(Live(copyDir, "copy"), want);
        GTRSTATUS d{};
        ASSERT_EQ(RunCycle(copyDir, ix.work, 'A', Corpus(12, 31, 3, 5), p, Sys(8192)).st.retcode,
                  0)
            << "the copy takes updates";
        (void)d;
    }
}

TEST(IdxAdmin, RefusalsAndArgumentChecks) {
    Index ix;
    GTRSTATUS st{};
    VOZ_copyIndex("idx", ix.out.c_str(), "KPLQ", "Full", "c", ix.out.c_str(), &st);
    EXPECT_CODES(st, 20, 2318);
    EXPECT_FALSE(fs::exists(ix.out + "/c"));

    st = {};
    EXPECT_EQ(vozCreateRootDirectory("r", (ix.out + "/a/b").c_str(), &st), 0);
    EXPECT_TRUE(fs::is_directory(ix.out + "/a/b/r"));
    EXPECT_EQ(vozCreateRootDirectory("r", (ix.out + "/a/b").c_str(), &st), -1);
    EXPECT_CODES(st, 140, 2319);
    EXPECT_EQ(std::string(st.errfname1), ix.out + "/a/b/r");

    const std::string longText(2048, 'x');
    const char* d = ix.out.c_str();
    const char* l = longText.c_str();
    struct Case {
        bool copy;
        const char *name, *dir, *newname, *newdir;
        int32_t rc, ec;
    } cases[] = {
        {false, "", d, "n", d, 29, 423},    {false, "i", d, nullptr, d, 29, 423},
        {false, l, d, "n", d, 29, 423},     {false, "i", l, "n", d, 35, 424},
        {false, "i", d, "n", l, 35, 2311},  {true, nullptr, d, "n", d, 29, 2315},
        {true, "i", d, "", d, 29, 2315},    {true, "i", l, "n", d, 35, 2316},
        {true, "i", d, "n", l, 35, 2317},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ec);
        st = {};
        if (c.copy)
            VOZ_copyIndex(c.name, c.dir, "KPLQ", "Full", c.newname, c.newdir, &st);
        else
            VOZ_renameIndex(c.name, c.dir, "KPLQ", "MRNS", "Full", "Item", c.newname,
                            c.newdir, 1, &st);
        EXPECT_CODES(st, c.rc, c.ec);
    }
}
