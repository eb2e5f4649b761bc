// Tests of the block control file and the block manager: the control
// file's bytes, the vacated list's lookups, allocation, copy on write in
// transactions, commit and rollback, and refusal of corrupt controls.
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
#include "blocks/voz_blockmgr.hpp"

namespace {

std::string fixture(const char* name) {
    return slurp(std::string(TI_TEST_DATA) + "/blocks/" + name);
}

// Writes a control file (one part) with the given bytes.
void writeControl(const std::string& path, const std::string& bytes) {
    voz_BLKreplaceFile(path.c_str(),
                       reinterpret_cast<const uint8_t*>(bytes.data()),
                       bytes.size());
}

std::string controlWith(uint32_t blockSize, uint32_t count,
                        const std::vector<uint32_t>& list) {
    std::string b(124 + 4 * list.size(), '\0');
    b[0] = 1;
    voz_putBE32(&b[4], blockSize);
    voz_putBE32(&b[8], count);
    voz_putBE32(&b[12], static_cast<uint32_t>(list.size()));
    for (size_t i = 0; i < list.size(); ++i) voz_putBE32(&b[124 + 4 * i], list[i]);
    return b;
}

constexpr uint32_t kBlock = 8192;

// A block file with its control in a temporary directory.
struct Pair {
    TempDir dir;
    std::string file = dir / "LF", ctl = dir / "LFctl";
    CVozBlockMgr mgr;

    Pair() {
        CVozBlockMgr init;
        init.Initialize(file.c_str(), ctl.c_str(), kBlock, 1);
        open();
    }
    void open() {
        mgr.OpenBlockFile(file.c_str(), kBlock, ctl.c_str(), ctl.c_str());
    }
    void reopen() {
        mgr.CloseBlockFile();
        open();
    }
    // Writes a block filled with `fill`; returns the block it ended in.
    uint32_t write(uint32_t block, uint8_t fill, int* moved = nullptr) {
        CVozBlockInfo info;
        mgr.Pin(block, info);
        memset(info.data, fill, kBlock);
        mgr.MarkModified(info);
        int m = mgr.Unpin(block, info);
        if (moved != nullptr) *moved = m;
        return block;
    }
    uint32_t create(uint8_t fill) { return write(mgr.CreateNewBlock(), fill); }
    uint8_t read(uint32_t block) {
        CVozBlockInfo info;
        mgr.Pin(block, info);
        uint8_t first = info.data[0];
        for (uint32_t i = 1; i < kBlock; ++i) {
            if (info.data[i] != first) first = 0xEE;  // mixed content
        }
        mgr.Unpin(block, info);
        return first;
    }
    // Byte 0 of `block` as the block file holds it on disk.
    uint8_t onDisk(uint32_t block) {
        std::string all = slurp(file);
        return block * kBlock < all.size() ? all[block * kBlock] : 0xFF;
    }
};

}  // namespace

TEST(VozBlockCtrl, ControlFilesMatchTheLayoutByteForByte) {
    Pair p;
    EXPECT_EQ(slurp(p.ctl), fixture("blockctl_empty_8192.bin"));
    EXPECT_EQ(slurp(p.file), "");
    for (uint8_t i = 0; i < 5; ++i) EXPECT_EQ(p.create(i), i);
    p.mgr.ReleaseBlock(3);
    p.mgr.ReleaseBlock(1);  // appended out of order; written sorted
    p.mgr.CloseBlockFile();
    EXPECT_EQ(slurp(p.ctl), fixture("blockctl_five_two_vacated.bin"));
    EXPECT_EQ(slurp(p.file).size(), 5u * kBlock);
    p.open();
    EXPECT_EQ(p.read(4), 4);
}

TEST(VozBlockCtrl, NextVacatedBlockPicksByNearness) {
    struct Case {
        std::vector<uint32_t> list;
        uint32_t nearBlock, expect;
    } cases[] = {
        {{3, 9, 12}, 10, 12}, {{3, 9, 12}, 1, 3},   {{3, 9, 12}, 20, 12},
        {{3, 9}, 3, 9},       {{3, 9, 12}, 9, 9},   {{}, 5, VOZ_NO_BLOCK},
        {{12, 3, 9}, VOZ_NO_BLOCK, 9},  // the last entry as it stands
    };
    TempDir dir;
    for (const Case& c : cases) {
        CVozBlockCtrl ctl;
        ctl.Initialize((dir / "c").c_str(), 4096);
        for (uint32_t b : c.list) ctl.SetVacatedBlock(b);
        EXPECT_EQ(ctl.NextVacatedBlock(c.nearBlock, 1), c.expect)
            << "near " << c.nearBlock;
        if (c.expect != VOZ_NO_BLOCK) {
            EXPECT_EQ(ctl.Count(), c.list.size() - 1);
            EXPECT_FALSE(ctl.IsListed(c.expect));
        }
    }
}

TEST(VozBlockCtrl, ReadingSizesTheListAndRefusesBadControls) {
    TempDir dir;
    const std::string name = dir / "ctl";
    std::vector<uint32_t> seventy;
    for (uint32_t i = 0; i < 70; ++i) seventy.push_back(2 * i);
    writeControl(name, controlWith(4096, 200, seventy));
    CVozBlockCtrl big;
    big.Internalize(name.c_str(), 4096);
    EXPECT_EQ(big.Capacity(), 70u);
    EXPECT_TRUE(big.IsVacated(138));
    EXPECT_FALSE(big.IsVacated(139));
    EXPECT_TRUE(big.IsVacated(200));  // at or beyond the count

    writeControl(name, controlWith(4096, 20, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    CVozBlockCtrl small;
    small.Internalize(name.c_str(), 4096);
    EXPECT_EQ(small.Capacity(), 64u);

    struct Bad {
        const char* what;
        std::string bytes;
        int32_t rc, ec;
    } bad[] = {
        {"block size differs", controlWith(8192, 4, {}), 17, 3001},
        {"list not ascending", controlWith(4096, 9, {5, 2}), 17, 3007},
        {"duplicate entry", controlWith(4096, 9, {2, 2}), 17, 3007},
        {"entry beyond the count", controlWith(4096, 9, {9}), 17, 3007},
        {"list longer than the file",
         controlWith(4096, 9, {1}).substr(0, 124), 4, 3353},
        {"header cut short", std::string(100, '\0'), 4, 3353},
    };
    for (const Bad& b : bad) {
        writeControl(name, b.bytes);
        CVozBlockCtrl ctl;
        CVozException e = thrown([&] { ctl.Internalize(name.c_str(), 4096); });
        EXPECT_EQ(e.retcode, b.rc) << b.what;
        EXPECT_EQ(e.errcode, b.ec) << b.what;
        EXPECT_FALSE(ctl.IsOpen()) << b.what;
    }
}

TEST(VozBlockMgr, HandsOutAndReusesBlocksOutsideATransaction) {
    Pair p;
    EXPECT_EQ(p.mgr.CreateNewBlock(), 0u);
    EXPECT_EQ(p.mgr.CreateNewBlock(), 1u);
    EXPECT_EQ(p.mgr.CommittedControl().BlockCount(), 2u);
    p.mgr.ReleaseBlock(0);
    EXPECT_EQ(p.mgr.CreateNewBlock(), 0u);
    uint32_t b = p.write(1, 0x31);
    EXPECT_EQ(b, 1u);  // in place outside a transaction
    CVozException e = thrown([&] { p.mgr.ReleaseBlock(7); });
    EXPECT_EQ(e.errcode, 3059);
    p.mgr.ReleaseBlock(0);
    e = thrown([&] { p.mgr.ReleaseBlock(0); });  // twice
    EXPECT_EQ(e.retcode, 17);
    EXPECT_EQ(e.errcode, 3059);
    p.reopen();
    EXPECT_EQ(p.read(1), 0x31);
    EXPECT_EQ(p.mgr.CreateNewBlock(), 0u);
    p.mgr.CloseBlockFile();
}

TEST(VozBlockMgr, CopyOnWriteLeavesTheCommittedBlockAlone) {
    Pair p;
    uint32_t b0 = p.create(0x10);
    p.mgr.Transaction();
    int moved = 0;
    uint32_t nb = p.write(b0, 0x20, &moved);
    EXPECT_EQ(moved, 1);
    EXPECT_NE(nb, b0);
    EXPECT_EQ(p.read(nb), 0x20);
    EXPECT_EQ(p.onDisk(b0), 0x10);  // committed block untouched on disk
    EXPECT_FALSE(p.mgr.CommittedControl().IsVacated(b0));
    // A block made by this transaction is written in place.
    EXPECT_EQ(p.write(nb, 0x21, &moved), nb);
    EXPECT_EQ(moved, 0);
    p.mgr.Commit();
    EXPECT_TRUE(p.mgr.CommittedControl().IsVacated(b0));
    EXPECT_EQ(p.read(nb), 0x21);
    p.reopen();
    EXPECT_EQ(p.read(nb), 0x21);
    EXPECT_EQ(p.mgr.CreateNewBlock(), b0);
    p.mgr.CloseBlockFile();
}

// After Resume the committed content is served, never the image that the
// caller changed in the committed block's buffer before it was copied.
TEST(VozBlockMgr, ResumeServesTheCommittedContent) {
    Pair p;
    uint32_t b0 = p.create(0x10);
    p.mgr.Transaction();
    uint32_t nb = p.write(b0, 0x20);
    uint32_t made = p.create(0x30);
    p.mgr.Resume();
    EXPECT_EQ(p.read(b0), 0x10);
    EXPECT_FALSE(p.mgr.CommittedControl().IsVacated(b0));
    EXPECT_TRUE(p.mgr.CommittedControl().IsVacated(nb));
    EXPECT_TRUE(p.mgr.CommittedControl().IsVacated(made));
    p.reopen();
    EXPECT_EQ(p.read(b0), 0x10);
    p.mgr.CloseBlockFile();
}

TEST(VozBlockMgr, ATransactionReusesWhatItReleasedOfItsOwn) {
    Pair p;
    uint32_t b0 = p.create(1);
    p.mgr.Transaction();
    uint32_t mine = p.create(2);
    p.mgr.ReleaseBlock(mine);
    EXPECT_EQ(p.mgr.CreateNewBlock(), mine);
    // A committed block released inside is free only after Commit.
    p.mgr.ReleaseBlock(b0);
    uint32_t other = p.mgr.CreateNewBlock();
    EXPECT_NE(other, b0);
    EXPECT_EQ(thrown([&] { p.mgr.ReleaseBlock(b0); }).errcode, 3059);
    EXPECT_EQ(thrown([&] { p.mgr.Transaction(); }).errcode, 3058);
    p.mgr.Commit();
    EXPECT_EQ(thrown([&] { p.mgr.Commit(); }).errcode, 3061);
    EXPECT_TRUE(p.mgr.CommittedControl().IsVacated(b0));
    p.mgr.CloseBlockFile();
}

TEST(VozBlockMgr, CommitIsDurableBeforeClose) {
    Pair p;
    p.mgr.Transaction();
    uint32_t b = p.create(0x44);
    p.mgr.Commit();
    // Without closing: the control and the page are on disk already.
    CVozBlockCtrl ctl;
    ctl.Internalize(p.ctl.c_str(), kBlock);
    EXPECT_EQ(ctl.BlockCount(), b + 1);
    EXPECT_EQ(p.onDisk(b), 0x44);
    p.mgr.CloseBlockFile();
}

TEST(VozBlockMgr, WithoutAControlFileTheBlocksAreReadOnly) {
    Pair p;
    uint32_t b = p.create(0x55);
    p.mgr.CloseBlockFile();
    CVozBlockMgr ro;
    ro.OpenBlockFile(p.file.c_str(), kBlock, nullptr, nullptr);
    CVozBlockInfo info;
    ro.Pin(b, info);
    EXPECT_EQ(info.data[0], 0x55);
    ro.MarkModified(info);
    EXPECT_EQ(thrown([&] { ro.Unpin(b, info); }).errcode, 3060);
    EXPECT_EQ(thrown([&] { ro.CreateNewBlock(); }).errcode, 3060);
    EXPECT_EQ(thrown([&] { ro.Pin(b + 1, info); }).retcode, 19);
    ro.CloseBlockFile();
    EXPECT_EQ(p.onDisk(b), 0x55);
}
