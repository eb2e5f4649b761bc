// vozCleanTmpDir: the clean-up before an update takes the index and the
// sub-index from the work block, finishes a pending commit of any
// sub-index, and clears only its own sub-index's "#" and "%" directories.
#include <sys/stat.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include "build/voz_cleantmp.hpp"
#include "build/voz_creatwrk.hpp"
#include "build/voz_journal.hpp"
#include "files/voz_status.hpp"

namespace {

void MakeDirs(const std::string& idx,
              std::initializer_list<const char*> names) {
    mkdir(idx.c_str(), 0770);
    for (const char* n : names) {
        std::string d = idx + "/" + n;
        mkdir(d.c_str(), 0770);
        ASSERT_TRUE(writeFile(d + "/voz.KEY", n));
    }
}

TEST(CleanTmpDir, RecoversTheBlocksSubIndex) {
    // The prefix comes from the set, or from the block when the set has none.
    for (bool prefixInSet : {true, false}) {
        TempDir dir("cleantmp");
        std::string idx = dir / "idx";
        // Item's commit was cut after its main moved aside; Full has a
        // creation left over and a stale old supp.
        MakeDirs(idx, {"%temmain", "#temmain", "Fullmain", "#ullmain",
                       "Fullsupp", "%ullsupp", "#ulldel"});
        auto block = std::make_unique<CREATWRK>();
        GTRSTATUS st{};
        voz_SetFctlForRead(&block->indexSets[VOZ_SET_MAIN], "idx",
                           dir.path().c_str(), 0, 0, "KPLQ",
                           prefixInSet ? "Full" : "", &st);
        strcpy(block->directoryPrefix, "Full");
        VOZJOURNAL j;
        _FCTLHEAD item = block->indexSets[VOZ_SET_MAIN];
        strcpy(item.subdirPrefix, "Item");
        voz_JnlBegin(&j, &item, &st);
        voz_JnlAdd(&j, VOZ_JNL_REPLACE, VOZ_JNL_MAIN, "Item", &st);
        std::string mark(voz_JnlMarkSize(1), '\0');
        voz_JnlEncodeMark(&j, reinterpret_cast<uint8_t*>(&mark[0]));
        ASSERT_TRUE(writeFile(idx + "/voz.JNL", mark));

        ASSERT_EQ(vozCleanTmpDir(block.get(), &st), 0) << st.errcode;
        EXPECT_EQ(readFile(idx + "/Itemmain/voz.KEY"), "#temmain");
        EXPECT_EQ(readFile(idx + "/Fullmain/voz.KEY"), "Fullmain");
        EXPECT_EQ(readFile(idx + "/Fullsupp/voz.KEY"), "Fullsupp");
        for (const char* gone : {"voz.JNL", "%temmain", "#temmain", "#ullmain",
                                 "%ullsupp", "#ulldel"}) {
            EXPECT_FALSE(exists(idx + "/" + gone)) << gone;
        }
    }
}

TEST(CleanTmpDir, NullBlockAndDamagedMark) {
    GTRSTATUS st{};
    EXPECT_EQ(vozCleanTmpDir(nullptr, &st), -1);
    EXPECT_EQ(st.retcode, 1);
    EXPECT_EQ(st.errcode, 2418);

    TempDir dir("cleantmp_damaged");
    std::string idx = dir / "idx";
    MakeDirs(idx, {"#ullmain"});
    ASSERT_TRUE(writeFile(idx + "/voz.JNL", "VJNL and nothing else"));
    auto block = std::make_unique<CREATWRK>();
    GTRSTATUS rs{};
    voz_SetFctlForRead(&block->indexSets[VOZ_SET_MAIN], "idx",
                       dir.path().c_str(), 0, 0, "KPLQ", "Full", &rs);
    EXPECT_EQ(vozCleanTmpDir(block.get(), &rs), -1);
    EXPECT_EQ(rs.retcode, 16);
    EXPECT_EQ(rs.errcode, 2416);
    // Nothing is removed while the mark cannot be read.
    EXPECT_TRUE(exists(idx + "/#ullmain"));
}

}  // namespace
