// Tests of the shared slot blocks: size classes, bitmaps and masks, the
// control file's bytes, slot allocation through the current units,
// releases inside and outside transactions, and refusal of broken
// controls.
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "engine_test_util.hpp"

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "files/voz_bigendian.hpp"
#include "blocks/voz_sharedblock.hpp"

namespace {

std::string fixture(const char* name) {
    return slurp(std::string(TI_TEST_DATA) + "/blocks/" + name);
}

POS_ATTR noSlot(uint32_t length) {
    POS_ATTR a;
    memset(&a, 0, sizeof a);
    a.blockID = VOZ_NO_UNIT;
    a.dataleng = length;
    return a;
}

struct Slots {
    TempDir dir;
    std::string file = dir / "SB", ctl = dir / "SBctl";
    uint32_t blockSize;
    CVozSharedBlockMgr mgr;

    explicit Slots(uint32_t bs = 32768) : blockSize(bs) {
        CVozSharedBlockMgr init;
        init.Initialize(file.c_str(), ctl.c_str(), bs);
        open();
    }
    void open() {
        mgr.OpenBlockFile(file.c_str(), blockSize, ctl.c_str(), ctl.c_str());
    }
    void reopen() {
        mgr.CloseBlockFile();
        open();
    }
    POS_ATTR put(uint32_t length, uint8_t fill) {
        POS_ATTR a = noSlot(length);
        std::vector<uint8_t> data(length, fill);
        mgr.WriteOnBuffer(a, data.data());
        return a;
    }
    void rewrite(POS_ATTR& a, uint32_t length, uint8_t fill) {
        std::vector<uint8_t> data(length, fill);
        a.dataleng = length;
        mgr.WriteSlot(a, data.data());
    }
    // The fill byte of a slot, 0xEE when its bytes are mixed.
    uint8_t get(POS_ATTR a) {
        std::vector<uint8_t> out(a.dataleng);
        mgr.ReadSlot(a, out.data());
        for (uint8_t b : out) {
            if (b != out[0]) return 0xEE;
        }
        return out[0];
    }
    const SHARED_BLOCK_UNIT& unit(uint32_t u) {
        return mgr.CommittedControl()->Units()[u];
    }
};

}  // namespace

TEST(VozSharedBlock, WhatClassPicksTheSmallestSlotThatHolds) {
    struct Case {
        uint32_t length;
        int expect;
    } cases[] = {{1, 0},    {8, 0},     {9, 1},      {41, 4},    {104, 7},
                 {105, 8},  {2048, 21}, {16383, 30}, {16384, 30}};
    for (const Case& c : cases) {
        EXPECT_EQ(CVozSharedBlockCtrl::WhatClass(c.length), c.expect)
            << c.length;
    }
    CVozException e = thrown([] { CVozSharedBlockCtrl::WhatClass(16385); });
    EXPECT_EQ(e.retcode, 17);
    EXPECT_EQ(e.errcode, 3103);
}

TEST(VozSharedBlock, BitmapOrMaskDependsOnTheBlockSize) {
    struct Case {
        uint32_t blockSize, length;
        uint32_t slots, bitmapBytes;  // bytes of bitmap the unit adds
    } cases[] = {
        {32768, 910, 36, 5},   // class 17
        {32768, 1092, 30, 0},  // class 18: mask
        {65536, 1638, 40, 5},  // class 20
        {65536, 2048, 32, 0},  // class 21: mask
    };
    for (const Case& c : cases) {
        Slots s(c.blockSize);
        POS_ATTR a = s.put(c.length, 1);
        s.mgr.Commit();
        const CVozClassedBlockCtrl& ctl = *s.mgr.CommittedControl();
        EXPECT_EQ(ctl.Slots(s.unit(a.blockID).cls), c.slots) << c.length;
        EXPECT_EQ(ctl.BitmapBytes(), c.bitmapBytes) << c.length;
        EXPECT_EQ(s.unit(a.blockID).vacated, c.slots - 1);
        s.mgr.CloseBlockFile();
    }
}

TEST(VozSharedBlock, ControlFilesMatchTheLayoutByteForByte) {
    Slots s;
    EXPECT_EQ(slurp(s.ctl), fixture("slotctl_empty_32768.bin"));
    POS_ATTR a = s.put(100, 0xA1);
    s.put(16384, 0xB2);
    POS_ATTR c = s.put(100, 0xC3);
    EXPECT_EQ(c.blkOffset, 104);
    s.mgr.ReleaseSlot(a);
    s.mgr.CloseBlockFile();
    EXPECT_EQ(slurp(s.ctl), fixture("slotctl_two_units_32768.bin"));
    EXPECT_EQ(slurp(s.file).size(), 2u * 32768);
    s.open();
    EXPECT_EQ(s.get(c), 0xC3);
    s.mgr.CloseBlockFile();
}

TEST(VozSharedBlock, ClassesFillTheirCurrentUnit) {
    Slots s;
    POS_ATTR a = s.put(100, 1);
    EXPECT_EQ(a.blockID, 0u);
    EXPECT_EQ(a.blkOffset, 0);
    EXPECT_EQ(s.mgr.ClassEntry(7).current, 0u);
    EXPECT_EQ(s.unit(0).vacated, 314u);
    EXPECT_EQ(s.put(100, 2).blkOffset, 104);
    // Class 30 in 32768-byte units: two slots; the second fills the unit.
    POS_ATTR big1 = s.put(16384, 3);
    EXPECT_EQ(s.mgr.ClassEntry(30).current, big1.blockID);
    POS_ATTR big2 = s.put(16000, 4);
    EXPECT_EQ(big2.blockID, big1.blockID);
    EXPECT_EQ(big2.blkOffset, 16384);
    EXPECT_EQ(s.mgr.ClassEntry(30).current, VOZ_NO_UNIT);
    EXPECT_EQ(s.get(big1), 3);
    EXPECT_EQ(s.get(big2), 4);
    EXPECT_EQ(s.get(a), 1);
    // A released slot is found again in its unit.
    s.mgr.ReleaseSlot(a);
    EXPECT_EQ(s.put(99, 5).blkOffset, 0);
    s.mgr.CloseBlockFile();
}

TEST(VozSharedBlock, TransactionsKeepCommittedSlotsUntilCommit) {
    Slots s;
    POS_ATTR a = s.put(100, 0x11);
    s.mgr.Commit();
    s.mgr.Transaction();
    POS_ATTR moved = a;
    s.rewrite(moved, 100, 0x22);
    EXPECT_FALSE(moved.blkOffset == a.blkOffset && moved.blockID == a.blockID);
    EXPECT_FALSE(s.mgr.CommittedControl()->IsVacated(a.blockID, a.blkOffset));
    // Rewriting the transaction's own slot frees it at once.
    POS_ATTR again = moved;
    s.rewrite(again, 100, 0x33);
    EXPECT_EQ(again.blkOffset, moved.blkOffset);
    EXPECT_EQ(s.get(a), 0x11);
    s.mgr.Resume();
    EXPECT_EQ(s.get(a), 0x11);
    s.mgr.Transaction();
    s.rewrite(a, 200, 0x44);
    s.mgr.Commit();
    EXPECT_EQ(s.get(a), 0x44);
    EXPECT_TRUE(s.mgr.CommittedControl()->IsVacated(0, 0));
    s.reopen();
    EXPECT_EQ(s.get(a), 0x44);
    // Outside a transaction giving up a free slot does nothing; inside one
    // a slot given up twice is refused.
    s.mgr.ReleaseSlot(moved);
    s.mgr.Transaction();
    s.mgr.ReleaseSlot(a);
    EXPECT_EQ(thrown([&] { s.mgr.ReleaseSlot(a); }).errcode, 3116);
    s.mgr.Resume();
    EXPECT_EQ(s.get(a), 0x44);
    s.mgr.CloseBlockFile();
}

// A unit that is current when a transaction starts holds writes made
// outside the transaction; Resume used to unpin it unmarked and lose them.
TEST(VozSharedBlock, WritesOutsideATransactionSurviveResume) {
    Slots s;
    POS_ATTR a = s.put(100, 0x5A);
    ASSERT_EQ(s.mgr.ClassEntry(7).current, a.blockID);
    s.mgr.Transaction();
    POS_ATTR b = s.put(100, 0x5B);
    s.mgr.Resume();
    s.reopen();
    EXPECT_EQ(s.get(a), 0x5A);
    EXPECT_TRUE(s.mgr.CommittedControl()->IsVacated(b.blockID, b.blkOffset));
    s.mgr.CloseBlockFile();
}

// Units made by a rolled-back transaction are gone from the control; the
// class chains must not point at them (they used to, and the next unit of
// the class was linked into memory beyond the array).
TEST(VozSharedBlock, ResumeForgetsTheTransactionsUnits) {
    Slots s;
    s.put(16384, 1);
    s.put(16384, 2);  // unit 0 full
    s.mgr.Commit();
    s.mgr.Transaction();
    for (int i = 0; i < 6; ++i) s.put(16384, 3);  // units 1..3
    EXPECT_EQ(s.mgr.ClassEntry(30).last, 3u);
    s.mgr.Resume();
    EXPECT_EQ(s.mgr.ClassEntry(30).last, 0u);
    POS_ATTR c = s.put(16384, 4);  // a page left behind by the rollback
    EXPECT_GE(c.blockID, 1u);
    s.mgr.Commit();
    EXPECT_TRUE(s.mgr.CommittedControl()->Check());
    s.reopen();
    EXPECT_EQ(s.get(c), 4);
    EXPECT_TRUE(s.mgr.CommittedControl()->Check());
    s.mgr.CloseBlockFile();
}

TEST(VozSharedBlock, BrokenControlsAreRefused) {
    Slots s;
    s.put(100, 1);
    s.put(3000, 2);
    s.mgr.CloseBlockFile();
    const std::string good = slurp(s.ctl);
    struct Bad {
        const char* what;
        size_t at;
        uint8_t value;
        int32_t rc, ec;
    } bad[] = {
        {"wrong first byte", 0, 1, 17, 3115},
        {"vacated count off", 128 + 3, 0x10, 17, 3115},
        {"class out of range", 128 + 14, 40, 17, 3115},
        {"chain pointing back", 128 + 16 + 8, 0, 17, 3115},
        {"bitmap beyond the area", 128 + 4 + 3, 0x30, 17, 3115},
        {"unit count beyond the file", 11, 9, 4, 3353},
    };
    for (const Bad& b : bad) {
        std::string bytes = good;
        bytes[b.at] = static_cast<char>(b.value);
        if (b.at == 128 + 16 + 8) voz_putBE32(&bytes[b.at], 0);
        voz_BLKreplaceFile(s.ctl.c_str(),
                           reinterpret_cast<const uint8_t*>(bytes.data()),
                           bytes.size());
        CVozClassedBlockCtrl ctl(nullptr);
        CVozException e = thrown([&] { ctl.Internalize(s.ctl.c_str()); });
        EXPECT_EQ(e.retcode, b.rc) << b.what;
        EXPECT_EQ(e.errcode, b.ec) << b.what;
    }
    CVozSharedBlockMgr other;
    CVozException e = thrown([&] {
        other.OpenBlockFile(s.file.c_str(), 4096, s.ctl.c_str(), s.ctl.c_str());
    });
    EXPECT_EQ(e.errcode, 3115);
}

TEST(VozSharedBlock, ReadOnlyWithoutAControlFile) {
    Slots s;
    POS_ATTR a = s.put(500, 0x61);
    s.mgr.CloseBlockFile();
    CVozSharedBlockMgr ro;
    ro.OpenBlockFile(s.file.c_str(), 32768, nullptr, nullptr);
    std::vector<uint8_t> out(500);
    ro.ReadSlot(a, out.data());
    EXPECT_EQ(out[499], 0x61);
    EXPECT_EQ(thrown([&] { ro.WriteOnBuffer(a, out.data()); }).errcode, 3117);
    POS_ATTR far = a;
    far.blkOffset = 32768 - 100;
    EXPECT_EQ(thrown([&] { ro.ReadSlot(far, out.data()); }).errcode, 3155);
    ro.CloseBlockFile();
}
