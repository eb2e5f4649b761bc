// Tests of the start of a creation cycle: argument errors (each leaving no
// block and no "#" set), the read-back of the creation parameters, and the
// target of new, main-only, two-half and online appends.
#include <dirent.h>
#include <sys/stat.h>

#include "creat_fixture.hpp"
#include "files/voz_keywrite.hpp"

using namespace creatfix;

namespace {

// True when the index directory holds an entry under a "#" name.
bool HashSetsLeft(const Cycle& c) {
    DIR* d = opendir((c.out + "/idx").c_str());
    if (d == nullptr) return false;
    bool found = false;
    while (struct dirent* e = readdir(d)) found = found || e->d_name[0] == '#';
    closedir(d);
    return found;
}

TEST(CreateInit, RefusesBadArguments) {
    struct Case {
        const char* name;
        char op, mode;
        int16_t fixed, width, head, store, blockUnit;
        int32_t rc, ec;
    };
    const Case kCases[] = {
        {"operation", 'X', 'B', 1, 2, 3, 0, 4, 2, 4},
        {"mode", 'N', 'Z', 1, 2, 3, 0, 4, 2, 5},
        {"fixed 4 x 2", 'N', 'B', 4, 2, 3, 0, 4, 2, 6},
        {"fixed 0", 'N', 'B', 0, 2, 3, 0, 4, 2, 6},
        {"head -1", 'N', 'B', 1, 2, -1, 0, 4, 2, 39},
        {"head 4 x 2", 'N', 'B', 1, 2, 4, 0, 4, 2, 39},
        {"store -2", 'N', 'B', 1, 2, 3, -2, 4, 2, 2103},
        {"block unit 5", 'N', 'B', 1, 2, 3, 1500, 5, 2, 2104},
    };
    for (const Case& k : kCases) {
        GTRCREATEPARM p = Parm();
        p.fixedKeyUnits = k.fixed;
        p.inputUnitWidth = k.width;
        p.headKeyUnits = k.head;
        p.storeParameter = k.store;
        p.storeBlockUnit = k.blockUnit;
        Cycle c;
        c.start(p, Sys(8192), k.op, k.mode);
        EXPECT_EQ(c.cwp, nullptr) << k.name;
        EXPECT_RC(c.st, k.rc, k.ec) << k.name;
        EXPECT_FALSE(HashSetsLeft(c)) << k.name;
    }
}

TEST(CreateInit, InfoReadsTheParametersBack) {
    GTRSTATUS st{};
    GTRCREATEPARM out;
    VOZ_createIndexInfo(nullptr, &out, &st);
    EXPECT_RC(st, 1, 12);
    GTRCREATEPARM p = Parm();
    p.headKeyUnits = 0;
    p.options[1] = 9;
    p.storeParameter = -1;
    p.storeSubParameter = -1;
    p.storeBlockUnit = 16;
    p.specialLength = 2;
    memcpy(p.specialLetters, "#@", 2);
    p.memoryScale = 7;
    Cycle c;
    c.start(p);
    ASSERT_OK(c.st);
    const KEYINFO_0& b = c.cwp->basicInfo;
    EXPECT_EQ(b.storeParameter, 1500);
    EXPECT_EQ(b.branchBlockKB, 4);
    EXPECT_EQ(b.leafBlockKB, 16);
    EXPECT_EQ(b.sharedBlockKB, 64);
    EXPECT_EQ(c.cwp->indexSets[VOZ_SET_SUPP_NEW].flags & VOZ_FCTL_CHOOSE, VOZ_FCTL_CHOOSE);
    VOZ_createIndexInfo(c.cwp, &out, &st);
    ASSERT_OK(st);
    EXPECT_EQ(out.headKeyUnits, 3);
    EXPECT_EQ(out.options[1], 9);
    EXPECT_EQ(out.storeParameter, 0);
    EXPECT_EQ(out.memoryScale, 0);
    EXPECT_EQ(out.specialLength, 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.specialLetters), 2), "#@");
    GTRSTATUS m{};
    GTRcreateIndexLastMerge(nullptr, nullptr, nullptr, &m);
    EXPECT_RC(m, 50, 1227);
}

// Writes an existing half (type 0 main, 1 supp) of index "idx" in `out`:
// the header of a fresh cycle's basic information with `maxDoc` and
// `varKeys`, no keys.
void WriteHalf(const std::string& out, int type, int32_t maxDoc, uint32_t varKeys,
               const KEYINFO_0& basic) {
    GTRSTATUS st{};
    _FCTLHEAD fs;
    voz_SetFctlForRead(&fs, "idx", out.c_str(), type, 0, "KPLQ", "Full", &st);
    vozCreateIndexDirectory(&fs, &st);
    voz_IDXopen(&fs, "wb", &st);
    KEYINFO_0 h = basic;
    for (KEY_REC& s : h.slots) s.kind = 'D';
    h.highestDoc = static_cast<uint32_t>(maxDoc);
    h.varKeys = varKeys;
    voz_WriteKeyInfo(&fs, &h, &st);
    voz_IDXclose(&fs, &st);
    ASSERT_OK(st);
}

TEST(CreateInit, TargetOfEachKindOfCycle) {
    // A new index, and an append to an index without main: new, -1.
    for (char op : {'N', 'A'}) {
        Cycle c;
        c.start(Parm(), Sys(8192), op);
        ASSERT_OK(c.st);
        EXPECT_EQ(c.cwp->operation, 'N');
        EXPECT_EQ(c.maxDoc, -1);
        EXPECT_EQ(c.cwp->targetSet, &c.cwp->indexSets[VOZ_SET_SUPP_NEW]);
        EXPECT_EQ(c.cwp->documentRecordKind, 'D');
        EXPECT_TRUE(exists(c.out + "/idx/#ullsupp"));
    }
    KEYINFO_0 basic;
    {
        Cycle probe;
        probe.start();
        ASSERT_OK(probe.st);
        basic = probe.cwp->basicInfo;
    }
    struct Case {
        const char* name;
        bool supp;
        int32_t suppMax;
        uint32_t suppVars;
        char mode;
        int target;        // VOZ_SET_*
        bool previous;
        int32_t maxDoc;
    };
    const Case kCases[] = {
        {"main only", false, 0, 0, 'B', VOZ_SET_SUPP_NEW, false, 40},
        {"two halves", true, 90, 5, 'B', VOZ_SET_SUPP_NEW, true, 90},
        {"two halves online", true, 90, 5, 'O', VOZ_SET_WORK, false, 90},
        {"online, supp without variable keys", true, 20, 0, 'O', VOZ_SET_SUPP_NEW, true, 40},
        {"supp with no documents counts as absent", true, -1, 5, 'O', VOZ_SET_SUPP_NEW, false, 40},
    };
    for (const Case& k : kCases) {
        Cycle c;
        WriteHalf(c.out, 0, 40, 0, basic);
        if (k.supp) WriteHalf(c.out, 1, k.suppMax, k.suppVars, basic);
        c.start(Parm(), Sys(8192), 'A', k.mode);
        ASSERT_OK(c.st) << k.name;
        EXPECT_EQ(c.cwp->operation, 'A') << k.name;
        EXPECT_EQ(c.maxDoc, k.maxDoc) << k.name;
        EXPECT_EQ(c.cwp->maxDocument, k.maxDoc) << k.name;
        EXPECT_EQ(c.cwp->targetSet, &c.cwp->indexSets[k.target]) << k.name;
        EXPECT_EQ(c.cwp->previousSet != nullptr, k.previous) << k.name;
        EXPECT_EQ(c.cwp->mainState, 'E') << k.name;
        c.release();
        EXPECT_FALSE(HashSetsLeft(c)) << k.name;
        EXPECT_TRUE(exists(c.out + "/idx/Fullmain/voz.KEY")) << k.name;
    }
}

TEST(CreateInit, AppendToAMismatchingIndexFails) {
    KEYINFO_0 basic;
    {
        Cycle probe;
        probe.start();
        basic = probe.cwp->basicInfo;
    }
    Cycle c;
    basic.unitWidth = 3;
    WriteHalf(c.out, 0, 40, 0, basic);
    c.start(Parm(), Sys(8192), 'A');
    EXPECT_EQ(c.cwp, nullptr);
    EXPECT_EQ(c.st.retcode, 18);
    EXPECT_FALSE(HashSetsLeft(c));
}

}  // namespace
