// Tests of the system parameters: defaults, the file "GTRSYS" (sizes
// always checked), the caller's record, and the pool scale of creation.
#include <fstream>

#include "creat_fixture.hpp"
#include "build/voz_sysparm.hpp"

using namespace creatfix;

namespace {

struct Case {
    const char* name;
    const char* file;         // "GTRSYS" content; null: no file
    bool withRecord;
    int32_t recPool;
    char recUnit;             // byte 15 of the caller's record
    char mode;
    int32_t pool, delta;
    char timeLog, flush;
};

TEST(SysParm, LayersOfDefaultsFileAndRecord) {
    const Case kCases[] = {
        {"defaults batch", nullptr, false, 0, 0, 'B', 8388608, 1048576, 'D', 'N'},
        {"defaults online", nullptr, false, 0, 0, 'O', 1048576, 1048576, 'D', 'N'},
        // Line 1 "4096 65536": 4096 is below the minimum even in a short
        // file (checked whatever the line count), 65536 serves online.
        {"short file batch", "4096 65536\n", false, 0, 0, 'B', 8388608, 1048576, 'D', 'N'},
        {"short file online", "4096 65536\n", false, 0, 0, 'O', 65536, 1048576, 'D', 'N'},
        {"megabytes", "16\n2\n0\nN\n<<<<<vvglength>>>>> 5\nY\nx\nM\n", false, 0, 0, 'B',
         16777216, 2097152, 'N', 'Y'},
        {"megabytes too large", "4000\n2\n0\nN\n0\nN\nx\nM\n", false, 0, 0, 'B', 8388608,
         2097152, 'N', 'N'},
        {"record in megabytes, size 0", "9000000\n", true, 0, 'M', 'B', 8388608, 1048576, 'D',
         'N'},
        {"record size too small", "9000000\n", true, 100, 0, 'B', 9000000, 1048576, 'D', 'N'},
        {"record size taken", nullptr, true, 20000, 0, 'B', 20000, 1048576, 'D', 'N'},
    };
    for (const Case& c : kCases) {
        TempDir tmp("sysparm");
        InDir here(tmp.path());
        if (c.file != nullptr) std::ofstream("GTRSYS") << c.file;
        GTRSYSPARM rec = Sys(c.recPool, 0);
        rec.displaylog = 0;
        rec.filler[2] = static_cast<uint8_t>(c.recUnit);
        VOZSYSPARM out;
        int32_t word = 5;
        voz_GetGTRsysparm(c.mode, c.withRecord ? &rec : nullptr, &out, 77, &word);
        EXPECT_EQ(out.poolSize, c.pool) << c.name;
        EXPECT_EQ(out.poolSizeDelta, c.delta) << c.name;
        EXPECT_EQ(out.timeLogFlag, c.timeLog) << c.name;
        EXPECT_EQ(out.flushFlag, c.flush) << c.name;
        EXPECT_EQ(out.sizeUnit, 'N') << c.name;
        EXPECT_EQ(word, 0) << c.name;
    }
}

TEST(SysParm, RecordSwitchesOverrideTheFile) {
    TempDir tmp("sysparm");
    InDir here(tmp.path());
    std::ofstream("GTRSYS") << "x\nx\nx\nD\nx\nN\n";
    GTRSYSPARM rec = Sys(0, 0);
    rec.displaylog = 'N';
    rec.filler[0] = 'Y';
    VOZSYSPARM out;
    voz_GetGTRsysparm('B', &rec, &out, 0, nullptr);
    EXPECT_EQ(out.timeLogFlag, 'N');
    EXPECT_EQ(out.flushFlag, 'Y');
}

TEST(SysParm, LongLinesCountAsSeveral) {
    TempDir tmp("sysparm");
    InDir here(tmp.path());
    // Line 1 of 300 characters is read as two lines: its tail is line 2.
    std::string first(254, ' ');
    first += " 20000 99999\n";
    std::ofstream("GTRSYS") << first;
    VOZSYSPARM out;
    voz_GetGTRsysparm('B', nullptr, &out, 0, nullptr);
    EXPECT_EQ(out.poolSize, 8388608);  // the first piece holds no token
    EXPECT_EQ(out.poolSizeDelta, 20000);
}

TEST(SysParm, MemoryScaleOfTheBatchPool) {
    // The scale 4 keeps its historic single-precision constant.
    const struct { uint8_t scale; int32_t bytes; } kCases[] = {
        {0, 8388600}, {1, 6181056}, {2, 5950296}, {3, 8388600}, {4, 313152}};
    for (const auto& k : kCases) {
        GTRCREATEPARM p = Parm();
        p.memoryScale = k.scale;
        Cycle c;
        {
            InDir here(c.tmp.path());
            VOZ_createIndexInit(&c.cwp, "idx", c.out.c_str(), nullptr, nullptr,
                                c.work.c_str(), 'N', 'B', p, nullptr, &c.maxDoc, &c.st);
        }
        ASSERT_OK(c.st);
        EXPECT_EQ(c.cwp->pool.size, k.bytes) << "scale " << int(k.scale);
        EXPECT_EQ(c.cwp->pool.growStep, 1048560);  // 24-byte entries
    }
}

}  // namespace
