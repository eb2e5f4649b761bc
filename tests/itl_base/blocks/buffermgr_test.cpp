// Tests of the page buffer pool and the extent manager: growth and the
// switch to write-through, one buffer per page in both modes, when pages
// reach the file, pins beyond the end, destruction with pins, and the
// whole-file operations.
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

#include "blocks/voz_extentmgr.hpp"

namespace {

// The bytes of a (partitioned or plain) file as they are on disk now.
std::string onDisk(const std::string& path) {
    struct stat sb;
    std::string name = path;
    if (stat(path.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode)) name += "/0000";
    std::string out;
    FILE* f = fopen(name.c_str(), "rb");
    if (f == nullptr) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    fclose(f);
    return out;
}

constexpr uint32_t kPage = 512;

// A file of `pages` pages, page p filled with byte p.
CVozExtentMgr* makeFile(const std::string& name, uint32_t pages) {
    CVozExtentMgr* ext = CVozExtentMgr::GetExtentMgr(name.c_str(), kPage, 1, 0);
    for (uint32_t p = 0; p < pages; ++p) {
        EXPECT_EQ(ext->Expand(), p);
        CVozPageInfo h;
        ext->Pin(p, h, 0);
        memset(h.Data(), static_cast<int>(p & 0xFF), kPage);
        ext->Unpin(h, 1);
    }
    CVozExtentMgr::DestroyExtentMgr(ext);
    return CVozExtentMgr::GetExtentMgr(name.c_str(), kPage, 0, 1);
}

}  // namespace

TEST(VozBufferMgr, GrowsByGroupsAndSwitchesToWriteThroughPast64) {
    TempDir dir;
    const std::string name = dir / "pages";
    CVozExtentMgr* ext = makeFile(name, 100);
    std::vector<CVozPageInfo> pins(60);
    // A changed page left in the pool while caching.
    {
        CVozPageInfo h;
        ext->Pin(99, h, 1);
        memset(h.Data(), 0xAB, kPage);
        ext->Unpin(h, 1);
    }
    EXPECT_EQ(ext->BufferCount(), 48u);
    for (uint32_t p = 0; p < 40; ++p) ext->Pin(p, pins[p], 1);
    EXPECT_EQ(ext->BufferCount(), 48u);
    ext->Pin(40, pins[40], 1);  // 8 free: a group of 48 * 0.2 = 9
    EXPECT_EQ(ext->BufferCount(), 57u);
    for (uint32_t p = 41; p < 49; ++p) ext->Pin(p, pins[p], 1);
    EXPECT_TRUE(ext->Caching());
    EXPECT_NE(onDisk(name).substr(99 * kPage, kPage), std::string(kPage, '\xAB'));
    ext->Pin(49, pins[49], 1);  // 8 free: 57 * 0.2 = 11 more, 68 > 64
    EXPECT_EQ(ext->BufferCount(), 68u);
    EXPECT_FALSE(ext->Caching());
    // The switch wrote every dirty buffer.
    EXPECT_EQ(onDisk(name).substr(99 * kPage, kPage), std::string(kPage, '\xAB'));
    for (uint32_t p = 0; p < 50; ++p) ext->Unpin(pins[p], 0);
    CVozExtentMgr::DestroyExtentMgr(ext);
}

TEST(VozBufferMgr, CachingKeepsChangesInThePoolUntilFlushed) {
    TempDir dir;
    const std::string name = dir / "pages";
    CVozExtentMgr* ext = makeFile(name, 8);
    CVozPageInfo h;
    EXPECT_EQ(ext->Pin(5, h, 1), 0);
    EXPECT_EQ(h.Data()[0], 5);
    h.Data()[0] = 0x55;
    ext->Unpin(h, 1);
    EXPECT_EQ(onDisk(name)[5 * kPage], 5);  // not written yet
    CVozPageInfo again;
    EXPECT_EQ(ext->Pin(5, again, 1), 1);
    EXPECT_EQ(again.Data()[0], 0x55);
    ext->Unpin(again, 0);
    ext->Flush();
    EXPECT_EQ(onDisk(name)[5 * kPage], 0x55);
    CVozExtentMgr::DestroyExtentMgr(ext);
}

TEST(VozBufferMgr, WriteThroughWritesAtUnpinAndReadsTheFileAgain) {
    TempDir dir;
    const std::string name = dir / "pages";
    CVozExtentMgr* ext = makeFile(name, 80);
    std::vector<CVozPageInfo> pins(70);
    for (uint32_t p = 0; p < 70; ++p) ext->Pin(p, pins[p], 1);
    ASSERT_FALSE(ext->Caching());
    for (uint32_t p = 0; p < 70; ++p) ext->Unpin(pins[p], 0);

    CVozPageInfo h;
    ext->Pin(75, h, 1);
    h.Data()[0] = 0x77;
    ext->Unpin(h, 1);
    EXPECT_EQ(onDisk(name)[75 * kPage], 0x77);  // written at once
    // Change the file behind the pool: the next pin reads it.
    std::string part = name + "/0000";
    FILE* f = fopen(part.c_str(), "r+b");
    fseek(f, 75 * kPage, SEEK_SET);
    fputc(0x78, f);
    fclose(f);
    EXPECT_EQ(ext->Pin(75, h, 1), 0);
    EXPECT_EQ(h.Data()[0], 0x78);
    ext->Unpin(h, 0);
    CVozExtentMgr::DestroyExtentMgr(ext);
}

// Two pins of one page never see two copies, in either mode (in
// write-through mode the pool used to hand out a second buffer).
TEST(VozBufferMgr, APagePinnedTwiceIsOneBufferInBothModes) {
    for (bool writeThrough : {false, true}) {
        SCOPED_TRACE(writeThrough ? "write-through" : "caching");
        TempDir dir;
        const std::string name = dir / "pages";
        CVozExtentMgr* ext = makeFile(name, 80);
        std::vector<CVozPageInfo> pins(70);
        if (writeThrough) {
            for (uint32_t p = 0; p < 70; ++p) ext->Pin(p, pins[p], 1);
            for (uint32_t p = 0; p < 70; ++p) ext->Unpin(pins[p], 0);
        }
        ASSERT_EQ(ext->Caching(), !writeThrough);
        CVozPageInfo a, b;
        ext->Pin(7, a, 1);
        EXPECT_EQ(ext->Pin(7, b, 1), 1);
        EXPECT_EQ(a.Data(), b.Data());
        a.Data()[1] = 0x11;
        EXPECT_EQ(b.Data()[1], 0x11);
        ext->Unpin(a, 1);
        ext->Unpin(b, 0);
        CVozPageInfo c;
        ext->Pin(7, c, 1);
        EXPECT_EQ(c.Data()[1], 0x11);
        ext->Unpin(c, 0);
        CVozExtentMgr::DestroyExtentMgr(ext);
        EXPECT_EQ(onDisk(name)[7 * kPage + 1], 0x11);
    }
}

TEST(VozBufferMgr, DiscardedChangesAreNeverServedAgain) {
    TempDir dir;
    const std::string name = dir / "pages";
    CVozExtentMgr* ext = makeFile(name, 4);
    ext->Flush();
    CVozPageInfo a, b;
    ext->Pin(2, a, 1);
    ext->Pin(2, b, 1);
    a.Data()[0] = 0x99;
    ext->UnpinDiscard(a);  // b still holds the page: it is read again
    EXPECT_EQ(b.Data()[0], 2);
    b.Data()[0] = 0x98;
    ext->UnpinDiscard(b);
    ext->Pin(2, a, 1);
    EXPECT_EQ(a.Data()[0], 2);
    ext->Unpin(a, 0);
    CVozExtentMgr::DestroyExtentMgr(ext);
    EXPECT_EQ(onDisk(name)[2 * kPage], 2);
}

TEST(VozExtentMgr, PageCountPinBeyondEndAndExpand) {
    TempDir dir;
    const std::string name = dir / "plain";
    FILE* f = fopen(name.c_str(), "wb");
    std::string bytes(10000, 'z');
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    CVozExtentMgr* ext = CVozExtentMgr::GetExtentMgr(name.c_str(), 4096, 0, 1);
    EXPECT_EQ(ext->PageCount(), 2u);
    CVozPageInfo h;
    CVozException e = thrown([&] { ext->Pin(2, h, 1); });
    EXPECT_EQ(e.retcode, 19);
    EXPECT_EQ(e.errcode, 3093);
    EXPECT_STREQ(e.errfname1, name.c_str());
    EXPECT_EQ(ext->Expand(), 2u);
    ext->Pin(2, h, 1);
    EXPECT_EQ(h.Data()[4095], 0);
    ext->Unpin(h, 0);
    CVozExtentMgr::DestroyExtentMgr(ext);
    EXPECT_EQ(onDisk(name).size(), 3u * 4096);
}

TEST(VozExtentMgr, DestroyWithPinnedPagesFlushesAndThrows) {
    TempDir dir;
    const std::string name = dir / "pages";
    CVozExtentMgr* ext = makeFile(name, 3);
    CVozPageInfo h;
    ext->Pin(1, h, 1);
    h.Data()[0] = 0x42;
    ext->MarkModified(h);
    CVozException e = thrown([&] { CVozExtentMgr::DestroyExtentMgr(ext); });
    EXPECT_EQ(e.retcode, 17);
    EXPECT_EQ(e.errcode, 3083);
    EXPECT_EQ(onDisk(name)[kPage], 0x42);
}

TEST(VozExtentMgr, OpenFailureLeavesNothingAndReportsTheName) {
    TempDir dir;
    const std::string name = dir / "missing";
    CVozException e = thrown(
        [&] { CVozExtentMgr::GetExtentMgr(name.c_str(), 4096, 0, 1); });
    EXPECT_EQ(e.retcode, 3);
    EXPECT_EQ(e.errcode, 3351);
}

TEST(VozExtentMgr, RenameReplacesTheTargetCopyAndRemove) {
    TempDir dir;
    const std::string a = dir / "a", b = dir / "b", c = dir / "c";
    CVozExtentMgr::DestroyExtentMgr(makeFile(a, 2));
    CVozExtentMgr::DestroyExtentMgr(makeFile(b, 5));
    CVozExtentMgr::Rename(a.c_str(), b.c_str(), 0, 0);
    struct stat sb;
    EXPECT_NE(stat(a.c_str(), &sb), 0);
    EXPECT_EQ(onDisk(b).size(), 2u * kPage);
    CVozExtentMgr::Copy(b.c_str(), c.c_str(), 0, 0);
    EXPECT_EQ(onDisk(c), onDisk(b));
    CVozExtentMgr::Remove(c.c_str());
    EXPECT_NE(stat(c.c_str(), &sb), 0);
    CVozException e = thrown([&] { CVozExtentMgr::Remove(c.c_str()); });
    EXPECT_EQ(e.retcode, 8);
    EXPECT_EQ(e.errcode, 3091);
    e = thrown([&] {
        CVozExtentMgr::Copy(c.c_str(), (dir / "d").c_str(), 0, 0);
    });
    EXPECT_EQ(e.retcode, 3);
    EXPECT_STREQ(e.errfname1, c.c_str());
    EXPECT_STREQ(e.errfname2, (dir / "d").c_str());
}

TEST(VozExtentMgr, RenameOntoItselfKeepsTheFile) {
    TempDir dir;
    const std::string a = dir / "a";
    CVozExtentMgr::DestroyExtentMgr(makeFile(a, 3));
    const std::string before = onDisk(a);
    CVozExtentMgr::Rename(a.c_str(), a.c_str(), 0, 0);
    EXPECT_EQ(onDisk(a), before);
    const std::string other = dir.path() + "/./a";  // another spelling
    CVozExtentMgr::Rename(a.c_str(), other.c_str(), 0, 0);
    EXPECT_EQ(onDisk(a), before);
}

TEST(VozExtentMgr, ReplaceFileKeepsAPartitionedLayoutAndLeavesNoTemporary) {
    TempDir dir;
    const std::string name = dir / "ctl";
    const uint8_t first[] = {1, 2, 3};
    voz_BLKreplaceFile(name.c_str(), first, sizeof first);
    EXPECT_EQ(onDisk(name), std::string("\1\2\3", 3));
    const uint8_t second[] = {9, 8};
    voz_BLKreplaceFile(name.c_str(), second, sizeof second);
    EXPECT_EQ(onDisk(name), std::string("\x09\x08", 2));
    struct stat sb;
    EXPECT_TRUE(stat(name.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode));
    EXPECT_NE(stat((name + "/0000.tmp").c_str(), &sb), 0);
    CVozFileIO io;
    io.Open(name.c_str(), "rb");
    uint8_t back[2];
    io.Read(back, 2);
    io.Close();
    EXPECT_EQ(back[0], 9);
}
