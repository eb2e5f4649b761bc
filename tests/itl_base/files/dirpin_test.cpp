// Pinned directories: a pin holds while its path names the directory it
// pinned, or stays empty for an absent pin, and fails for every other
// outcome, including a new directory made at the path once the pinned one
// was renamed away and removed.
#include <gtest/gtest.h>

#include "ti_test_util.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "files/voz_dirpin.hpp"

namespace {

TEST(DirPin, HoldsOnlyForTheSameDirectoryOrTheSameAbsence) {
    TempDir tmp("dirpin");
    const std::string a = tmp.path() + "/main";
    const std::string old = tmp.path() + "/%main";
    ASSERT_EQ(mkdir(a.c_str(), 0750), 0);
    VOZDIRPIN held, absent, file;
    voz_PinDir(a.c_str(), &held);
    ASSERT_EQ(held.state, VOZ_PIN_HELD);
    EXPECT_TRUE(voz_PinHolds(a.c_str(), &held));

    const std::string none = tmp.path() + "/supp";
    voz_PinDir(none.c_str(), &absent);
    EXPECT_EQ(absent.state, VOZ_PIN_ABSENT);
    EXPECT_EQ(absent.fd, -1);
    EXPECT_TRUE(voz_PinHolds(none.c_str(), &absent));
    ASSERT_EQ(mkdir(none.c_str(), 0750), 0);
    EXPECT_FALSE(voz_PinHolds(none.c_str(), &absent)) << "it appeared";

    // The switch of a commit: the live directory moves aside, a new one
    // takes its name, the old one is removed.
    ASSERT_EQ(rename(a.c_str(), old.c_str()), 0);
    EXPECT_FALSE(voz_PinHolds(a.c_str(), &held)) << "nothing at the path";
    ASSERT_EQ(mkdir(a.c_str(), 0750), 0);
    ASSERT_EQ(rmdir(old.c_str()), 0);
    EXPECT_FALSE(voz_PinHolds(a.c_str(), &held)) << "another directory";

    // A plain file is no sub-index directory: never pinned, never holds.
    const std::string f = tmp.path() + "/file";
    FILE* fp = fopen(f.c_str(), "w");
    ASSERT_NE(fp, nullptr);
    fclose(fp);
    voz_PinDir(f.c_str(), &file);
    EXPECT_EQ(file.state, VOZ_PIN_UNKNOWN);
    EXPECT_FALSE(voz_PinHolds(f.c_str(), &file));
    voz_PinDir((f + "/x").c_str(), &file);  // under a file: ENOTDIR
    EXPECT_FALSE(voz_PinHolds((f + "/x").c_str(), &file));

    voz_Unpin(&held);
    voz_Unpin(&held);
    voz_Unpin(&absent);
    EXPECT_EQ(held.fd, -1);
    EXPECT_FALSE(voz_PinHolds(a.c_str(), &held)) << "unpinned never holds";
}

}  // namespace
