// Position-control records and the start-position reader; paged arrays,
// work-area growth, the 32-bit sort and the time log.
#include <gtest/gtest.h>

#include "ti_test_util.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "postings/voz_bufferpos.hpp"
#include "files/voz_file.hpp"
#include "files/voz_keyrec.hpp"
#include "files/voz_names.hpp"
#include "files/voz_pagedarray.hpp"
#include "postings/voz_pctl.hpp"
#include "postings/voz_posstore.hpp"
#include "files/voz_status.hpp"
#include "files/voz_timelog.hpp"
#include "files/voz_util.hpp"

namespace {

// A file set whose sequential position file holds `bytes`, open for reading.
struct PosFile {
    std::string dir;
    std::unique_ptr<_FCTLHEAD> fs{new _FCTLHEAD()};
    explicit PosFile(const std::vector<uint8_t>& bytes) {
        std::string t = std::string(TI_BINARY_DIR) + "/pctlXXXXXX";
        dir = mkdtemp(t.data());
        GTRSTATUS st{};
        EXPECT_EQ(0, voz_SetFctlForRead(fs.get(), "idx", dir.c_str(), 0, 0, "KPLQ",
                                        "Full", &st));
        char name[VOZ_FNAME_LEN];
        voz_IDXgetFname(name, fs.get(), VOZ_FT_POS);
        FILE_CONTROL* f = voz_XXopen(name, "wb+");
        EXPECT_EQ(1u, voz_XXwrite(bytes.data(), bytes.size(), 1, f));
        EXPECT_EQ(0, voz_XXclose(f));
        fs->posFile = voz_XXopen(name, "rb");
        fs->posOffset = 0;
    }
    ~PosFile() {
        voz_XXclose(fs->posFile);
        std::filesystem::remove_all(dir);
    }
};

KEY_REC keyAt(uint32_t location, uint32_t length) {
    KEY_REC r{};
    r.kind = 'F';
    r.recCount = 1;
    r.key[0] = 'k';
    r.key[1] = 1;
    r.location = location;
    r.dataLength = length;
    r.lastDoc = 77;
    r.docCount = 5;
    return r;
}

TEST(Pctl, InitFillsFromTheHeadRecordAndLeavesCallerFields) {
    PCTLHEAD p;
    memset(&p, 0, sizeof p);
    p.keyUnits = 3;
    p.unitWeight[2] = 9;
    KEY_REC r = keyAt(0x1234, 99);
    r.locationHigh = 2;
    GTRSTATUS st{};
    voz_InitPctl(&p, &r, -1, 'Y', &st);
    EXPECT_EQ(0, memcmp(p.key, r.key, 6));
    EXPECT_EQ(-1, p.curDoc);
    EXPECT_EQ(0, p.curPos);
    EXPECT_EQ(-1, p.curId);
    EXPECT_EQ(-1, p.basePos);
    EXPECT_EQ('N', p.endOfDocs);
    EXPECT_EQ('Y', p.endOfPos);
    EXPECT_EQ(99u, p.dataLeft);
    EXPECT_EQ(0x1234u, p.fileOffset);
    EXPECT_EQ(2u, p.fileOffsetHigh);
    EXPECT_EQ('N', p.bufferOwner);
    EXPECT_EQ(-1, p.prevId);
    EXPECT_EQ(-1, p.secondDoc);
    EXPECT_EQ('F', p.keyKind);
    EXPECT_EQ(0, memcmp(&p.posAttr, &r, sizeof r));
    EXPECT_EQ(nullptr, p.reader);
    EXPECT_EQ(5u, p.docCount);
    EXPECT_EQ(3, p.keyUnits);
    EXPECT_EQ(9, p.unitWeight[2]);
}

TEST(Pctl, StartPositionListDecodesEveryCodeLength) {
    // (doc delta, start delta): (1, 0x3FFFFF) (2, 63) (0x10000000, 64)
    std::vector<uint8_t> list = {0xC1, 0x7F, 0xFF, 0xFF, 0xC2, 0xFF,
                                 0x10, 0x10, 0x00, 0x00, 0x00, 0x80, 0x40};
    std::vector<uint8_t> file(100 + list.size(), 0xEE);  // another key's data first
    std::copy(list.begin(), list.end(), file.begin() + 100);
    PosFile pf(file);
    PCTLHEAD p{};
    KEY_REC r = keyAt(100, static_cast<uint32_t>(list.size()));
    GTRSTATUS st{};
    voz_InitPctl(&p, &r, 0, 'Y', &st);
    p.endOfPos = 'N';
    ASSERT_EQ(0, voz_PointDocStartposSkip(pf.fs.get(), &p, 0, 0, &st));
    EXPECT_EQ(0, p.curId);
    EXPECT_EQ(0x3FFFFF, p.curPos);
    ASSERT_EQ(0, voz_PointDocStartposSkip(pf.fs.get(), &p, 2, 0, &st));
    EXPECT_EQ(2, p.curId);
    EXPECT_EQ(0x3FFFFF + 63, p.curPos);
    EXPECT_EQ(0, p.prevId);
    EXPECT_EQ(0x3FFFFF, p.prevPos);
    EXPECT_EQ('N', p.endOfPos);
    ASSERT_EQ(0, voz_PointDocStartposSkip(pf.fs.get(), &p, 0x7FFFFFFF, 0, &st));
    EXPECT_EQ('Y', p.endOfPos);
    EXPECT_EQ(0x10000002, p.curId);
    EXPECT_EQ(3, p.entryCount);
    EXPECT_EQ(0, st.retcode);
    EXPECT_EQ(113, pf.fs->posOffset);
    voz_TermPctl(&p, &st);
    EXPECT_EQ(nullptr, p.readBuffer);
    voz_TermPctl(&p, &st);  // harmless twice
}

TEST(Pctl, LongListsRefillAndTwoKeysShareTheFile) {
    std::mt19937 rng(testSeed());
    const uint32_t sizes[] = {63, 16383, 0x3FFFFF, 0xFFFFFFF, 0x7FFFFFF0};
    auto makeList = [&](std::vector<uint8_t>* out, std::vector<std::pair<int32_t, int32_t>>* model) {
        int32_t id = -1, pos = 0;
        for (int i = 0; i < 3000; ++i) {
            uint32_t dd = 1 + rng() % 64, pd = rng() % (sizes[rng() % 3] + 1);
            if (rng() % 500 == 0) pd = sizes[3 + rng() % 2] % 0x0FFFFFFF;
            uint8_t code[5];
            out->insert(out->end(), code, code + voz_PosCodeEncode(code, dd));
            out->insert(out->end(), code, code + voz_PosCodeEncode(code, pd));
            id += static_cast<int32_t>(dd);
            pos = static_cast<int32_t>(static_cast<uint32_t>(pos) + pd);
            model->push_back({id, pos});
        }
    };
    std::vector<uint8_t> a, b;
    std::vector<std::pair<int32_t, int32_t>> ma, mb;
    makeList(&a, &ma);
    makeList(&b, &mb);
    ASSERT_GT(a.size(), 2u * VOZ_PCTL_READBUF_SIZE);
    std::vector<uint8_t> file = a;
    file.insert(file.end(), b.begin(), b.end());
    PosFile pf(file);
    PCTLHEAD pa{}, pb{};
    KEY_REC ka = keyAt(0, static_cast<uint32_t>(a.size()));
    KEY_REC kb = keyAt(static_cast<uint32_t>(a.size()), static_cast<uint32_t>(b.size()));
    GTRSTATUS st{};
    voz_InitPctl(&pa, &ka, 0, 'Y', &st);
    voz_InitPctl(&pb, &kb, 0, 'Y', &st);
    // Alternate between the keys so that each refill must seek.
    for (size_t i = 0; i < ma.size(); ++i) {
        ASSERT_EQ(0, voz_PointDocStartposSkip(pf.fs.get(), &pa, ma[i].first, INT32_MIN, &st));
        ASSERT_EQ(ma[i], std::make_pair(pa.curId, pa.curPos)) << i;
        ASSERT_EQ(0, voz_PointDocStartposSkip(pf.fs.get(), &pb, mb[i].first, INT32_MIN, &st));
        ASSERT_EQ(mb[i], std::make_pair(pb.curId, pb.curPos)) << i;
    }
    EXPECT_EQ(0u, pa.dataLeft);
    voz_TermPctl(&pa, &st);
    voz_TermPctl(&pb, &st);
}

// An opened index half reads its sequential position file through its
// broker; the start-position reader goes through the same position-file
// calls, so it works without a file of the set's own and keeps posOffset
// right for the broker's file.
TEST(Pctl, StartPositionsAreReadThroughTheSetsBroker) {
    std::vector<uint8_t> a, b;
    uint8_t code[5];
    for (uint32_t v : {3u, 64u, 1u, 0x3FFFFFu, 2u, 5u})
        a.insert(a.end(), code, code + voz_PosCodeEncode(code, v));
    for (uint32_t v : {7u, 1u, 1u, 16384u})
        b.insert(b.end(), code, code + voz_PosCodeEncode(code, v));
    std::vector<uint8_t> file = a;
    file.insert(file.end(), b.begin(), b.end());
    PosFile pf(file);
    _FCTLHEAD* fs = pf.fs.get();
    voz_XXclose(fs->posFile);
    fs->posFile = nullptr;
    GTRSTATUS st{};
    fs->posBroker = vozAllocatePosBroker(fs, "rb", &st);
    ASSERT_NE(nullptr, fs->posBroker) << st.retcode << "/" << st.errcode;
    PCTLHEAD pa{}, pb{};
    KEY_REC ka = keyAt(0, static_cast<uint32_t>(a.size()));
    KEY_REC kb = keyAt(static_cast<uint32_t>(a.size()), static_cast<uint32_t>(b.size()));
    voz_InitPctl(&pa, &ka, 0, 'Y', &st);
    voz_InitPctl(&pb, &kb, 0, 'Y', &st);
    ASSERT_EQ(0, voz_PointDocStartposSkip(fs, &pb, 6, 0, &st)) << st.errcode;
    EXPECT_EQ(std::make_pair(6, 1), std::make_pair(pb.curId, pb.curPos));
    ASSERT_EQ(0, voz_PointDocStartposSkip(fs, &pa, 2, 0, &st)) << st.errcode;
    EXPECT_EQ(std::make_pair(2, 64), std::make_pair(pa.curId, pa.curPos));
    EXPECT_EQ(static_cast<int64_t>(a.size()), static_cast<int64_t>(fs->posOffset));
    ASSERT_EQ(0, voz_PointDocStartposSkip(fs, &pa, 100, 0, &st));
    EXPECT_EQ('Y', pa.endOfPos);
    EXPECT_EQ(std::make_pair(5, 0x3FFFFF + 64 + 5), std::make_pair(pa.curId, pa.curPos));
    voz_TermPctl(&pa, &st);
    voz_TermPctl(&pb, &st);
    vozFreePosBroker(fs->posBroker, &st);
    fs->posBroker = nullptr;
    EXPECT_EQ(0, st.retcode) << st.errcode;
}

TEST(Pctl, CutEntryAndMissingFileAreReported) {
    std::vector<uint8_t> list = {0xC1, 0xC1, 0xC1, 0x7F, 0xFF};  // last code cut
    PosFile pf(list);
    PCTLHEAD p{};
    KEY_REC r = keyAt(0, 4);
    GTRSTATUS st{};
    voz_InitPctl(&p, &r, 0, 'Y', &st);
    EXPECT_EQ(-1, voz_PointDocStartposSkip(pf.fs.get(), &p, 5, 0, &st));
    EXPECT_EQ(17, st.retcode);
    EXPECT_EQ(220, st.errcode);
    EXPECT_EQ(1, p.entryCount);
    // ResetPctl with a failed status frees but does not re-initialise.
    voz_ResetPctl(&p, &r, 0, 'Y', &st);
    EXPECT_EQ(nullptr, p.readBuffer);
    EXPECT_EQ(1, p.entryCount);

    voz_XXclose(pf.fs->posFile);
    pf.fs->posFile = nullptr;
    GTRSTATUS st2{};
    voz_ResetPctl(&p, &r, 0, 'Y', &st2);
    EXPECT_EQ(0, p.entryCount);
    EXPECT_EQ(-1, voz_PointDocStartposSkip(pf.fs.get(), &p, 5, 0, &st2));
    EXPECT_EQ(6, st2.retcode);
    EXPECT_EQ(216, st2.errcode);
    EXPECT_NE(nullptr, strstr(st2.errfname1, "voz.POS"));
    voz_TermPctl(&p, &st2);
}

TEST(Pctl, ReadInfo3TermFreesTheAuxiliaryBuffer) {
    PCTLHEAD p{};
    p.auxBuffer = malloc(64);
    p.auxCount[0] = p.auxCount[1] = p.auxCount[2] = 4;
    voz_ReadInfo3();
    voz_ReadInfo3Term(&p);
    EXPECT_EQ(nullptr, p.auxBuffer);
    EXPECT_EQ(0, p.auxCount[0] | p.auxCount[1] | p.auxCount[2]);
}

TEST(PagedArray, GrowsAndShrinksByPages) {
    _PAGEMEMCTL* c = nullptr;
    ASSERT_EQ(0, __PM_RESIZE(&c, 2729, 24));
    EXPECT_EQ(2730, c->itemsPerPage);
    EXPECT_EQ(2730 * 24, c->bytesPerPage);
    EXPECT_EQ(1, c->used);
    ASSERT_EQ(0, __PM_RESIZE(&c, 2730, 24));
    EXPECT_EQ(2, c->used);
    ASSERT_EQ(0, __PM_RESIZE(&c, 10 * 2730, 24));
    EXPECT_EQ(11, c->used);
    for (int32_t i = 0; i <= 10 * 2730; i += 97)
        memcpy(voz_PMitem(c, i), &i, sizeof i);
    for (int32_t i = 0; i <= 10 * 2730; i += 97) {
        int32_t v;
        memcpy(&v, voz_PMitem(c, i), sizeof v);
        ASSERT_EQ(i, v);
    }
    ASSERT_EQ(0, __PM_RESIZE(&c, 100, 24));  // pages above the need are freed
    EXPECT_EQ(1, c->used);
    EXPECT_EQ(nullptr, c->pages[1]);
    voz_PMfree(&c);
    EXPECT_EQ(nullptr, c);
}

// Random grow and shrink steps against a vector: every item written stays
// readable at its index, also while the first page grows and moves.
TEST(PagedArray, KeepsItemsThroughRandomResizes) {
    std::mt19937 rng(testSeed());
    for (int32_t itemSize : {1, 4, 16, 24, 28, 4096, 65536}) {
        _PAGEMEMCTL* c = nullptr;
        std::map<int32_t, uint32_t> model;  // index -> value written
        int32_t perPage = VOZ_PM_PAGE_SIZE / itemSize;
        size_t width = std::min<size_t>(4, static_cast<size_t>(itemSize));
        for (int step = 0; step < 200; ++step) {
            int32_t top = static_cast<int32_t>(
                rng() % 3 == 0 ? rng() % (3 * perPage) : rng() % 300);
            ASSERT_EQ(0, __PM_RESIZE(&c, top, itemSize));
            ASSERT_EQ(top / perPage + 1, c->used);
            // Items of freed pages are gone; the rest must be intact.
            model.erase(model.lower_bound(c->used * perPage), model.end());
            for (int k = 0; k < 8; ++k) {
                int32_t i = static_cast<int32_t>(rng() % (top + 1));
                uint32_t v = rng();
                memcpy(voz_PMitem(c, i), &v, width);
                model[i] = width == 4 ? v : (v & 0xFF);
            }
            for (auto [i, want] : model) {
                if (i > top) break;
                uint32_t v = 0;
                memcpy(&v, voz_PMitem(c, i), width);
                ASSERT_EQ(want, v) << "item " << i << " size " << itemSize;
            }
        }
        voz_PMfree(&c);
    }
}

TEST(PagedArray, RefusesItemsLargerThanAPage) {
    _PAGEMEMCTL* c = nullptr;
    EXPECT_EQ(17, __PM_RESIZE(&c, 0, 65537));  // was a division by zero
    EXPECT_EQ(nullptr, c);
    EXPECT_EQ(17, __PM_RESIZE(&c, 0, 0));
    EXPECT_EQ(17, __PM_RESIZE(&c, -1, 8));
    ASSERT_EQ(0, __PM_RESIZE(&c, 3, 65536));    // one item per page
    EXPECT_EQ(1, c->itemsPerPage);
    EXPECT_EQ(4, c->used);
    voz_PMfree(&c);
}

TEST(ReallocArea, GrowsBelowTheCeilingAndRefusesAtIt) {
    char* base = static_cast<char*>(malloc(16));
    memcpy(base, "0123456789", 10);
    char* end = base + 16;
    char* cursor = base + 10;
    GTRSTATUS st{};
    ASSERT_EQ(0, voz_ReallocArea(VOZ_WORKAREA_CEILING - 1, &base, &end, &cursor, 0, &st));
    EXPECT_EQ(base + VOZ_WORKAREA_CEILING - 1, end);
    EXPECT_EQ(base + 10, cursor);
    EXPECT_EQ(0, memcmp(base, "0123456789", 10));
    struct Case {
        int32_t kind;
        int rc, ec;
    } cases[] = {{0, 129, 296}, {1, 130, 299}, {2, 17, 295}, {-1, 17, 295}};
    for (auto& c : cases) {
        char* b0 = base;
        char* e0 = end;
        char* c0 = cursor;
        GTRSTATUS s{};
        EXPECT_EQ(c.rc, voz_ReallocArea(VOZ_WORKAREA_CEILING, &base, &end, &cursor,
                                        c.kind, &s)) << c.kind;
        EXPECT_EQ(c.rc, s.retcode) << c.kind;  // kind 2 used to report success
        EXPECT_EQ(c.ec, s.errcode) << c.kind;
        EXPECT_TRUE(base == b0 && end == e0 && cursor == c0) << "area untouched";
    }
    free(base);
}

TEST(SortINT4, AgreesWithStdSort) {
    std::mt19937 rng(testSeed());
    for (int32_t n : {0, 1, 2, 3, 17, 1000, 20000}) {
        std::vector<int32_t> v(static_cast<size_t>(n));
        int32_t range = rng() % 2 ? 10 : INT32_MAX;  // many equal values, or few
        for (auto& x : v) x = static_cast<int32_t>(rng() % range) - range / 2;
        std::vector<int32_t> want = v;
        std::sort(want.begin(), want.end());
        voz_SortINT4(v.data(), n);
        EXPECT_EQ(want, v) << n;
    }
    int32_t three[] = {3, -1, 2};
    voz_SortINT4(three, 3);
    EXPECT_EQ(-1, three[0]);
    voz_SortINT4(nullptr, 5);
}

TEST(TimeLog, SilentUnlessSwitchedOn) {
    VOZ_TIMELOG log{};
    testing::internal::CaptureStdout();
    voz_TimeLogC(&log, "phase", VOZ_PHASE_SORT1, 'T', 'N');
    voz_TotalTimeC(&log, 'N');
    voz_TimeLog("msg", 'N');
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    VOZ_TIMELOG zero{};
    EXPECT_EQ(0, memcmp(&log, &zero, sizeof log));

    testing::internal::CaptureStdout();
    voz_TimeLogC(&log, "sorting", VOZ_PHASE_SORT1, 'T', 'D');
    log.lastTime -= 5;  // five seconds of Sort1 pass
    voz_TimeLogC(&log, "writing", VOZ_PHASE_WRITE, 'N', 'D');
    voz_TotalTimeC(&log, 'D');
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(VOZ_PHASE_WRITE, log.phase);
    uint32_t sort1 = log.seconds[VOZ_PHASE_SORT1 - 1];
    EXPECT_TRUE(sort1 == 5 || sort1 == 6) << sort1;  // a second may tick
    EXPECT_NE(std::string::npos, out.find("sorting"));
    EXPECT_NE(std::string::npos, out.find("writing"));
    char line[80];
    snprintf(line, sizeof line, "\nSort1%25s%5u (sec)\n", "", sort1);
    EXPECT_NE(std::string::npos, out.find(line)) << out;
    EXPECT_EQ(std::string::npos, out.find("Merge"));  // no merge time, no line
    EXPECT_NE(std::string::npos, out.find("Total                         "));
}

TEST(Strings, StrtokAndCtimeWrappers) {
    char text[] = "a,b";
    char* save = nullptr;
    EXPECT_STREQ("a", voz_strtok_r(text, ",", &save));
    EXPECT_STREQ("b", voz_strtok_r(nullptr, ",", &save));
    EXPECT_EQ(nullptr, voz_strtok_r(nullptr, ",", &save));
    char buf[64];
    time_t t = 86400 * 365;  // 1971 in every time zone
    ASSERT_NE(nullptr, voz_ctime_r(&t, buf));
    EXPECT_NE(nullptr, strstr(buf, "1971"));
}

}  // namespace
