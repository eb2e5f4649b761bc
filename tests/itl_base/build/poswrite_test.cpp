// Tests of the position and key record writers: code sizes, document
// headers, the 4096-byte output buffer, document starts read back by the
// storage's reader, variable key chains in the key file, and the key
// writer's counters.
#include <sys/stat.h>

#include "creat_fixture.hpp"
#include "engine_test_util.hpp"
#include "build/voz_poswrite.hpp"
#include "files/voz_keywrite.hpp"

using namespace creatfix;

namespace {

// A position buffer of its own (the writers only need the record).
struct Buffer {
    POSBUFFER pb{};
    Buffer() {
        pb.start = static_cast<uint8_t*>(malloc(VOZ_POSBUF_STEP));
        pb.end = pb.start + VOZ_POSBUF_STEP;
        voz_ResetPosBuffer(&pb);
    }
    ~Buffer() { free(pb.start); }
    std::vector<uint8_t> bytes() const { return {pb.start, pb.cursor}; }
};

// A sequential file set "idx" (main half) in `dir`, open for writing.
struct OutSet {
    _FCTLHEAD fs;
    GTRSTATUS st{};
    explicit OutSet(const std::string& dir, int set = 0) {
        voz_SetFctlForRead(&fs, "idx", dir.c_str(), 0, set, "KPLQ", "Full", &st);
        vozCreateIndexDirectory(&fs, &st);
        voz_IDXopen(&fs, "wb", &st);
    }
    ~OutSet() { voz_IDXclose(&fs, &st); }
    std::string posBytes() {
        voz_fseek_POSFILE(&fs, -1, &st);  // writes the buffer out
        char n[VOZ_FNAME_LEN];
        voz_IDXgetFname(n, &fs, VOZ_FT_POS);
        return slurp(n);
    }
};

TEST(PosWrite, PositionDeltasTakeTheirCodeSizes) {
    const struct { uint32_t delta; size_t bytes; } kCases[] = {
        {63, 1}, {64, 2}, {16383, 2}, {16384, 3}, {0x3FFFFF, 3},
        {0x400000, 4}, {0xFFFFFFF, 4}, {0x10000000, 5}};
    for (const auto& k : kCases) {
        Buffer b;
        GTRSTATUS st{};
        ASSERT_EQ(voz_SetPosInBuffer(&b.pb, static_cast<int32_t>(k.delta), &st), 0);
        EXPECT_EQ(b.bytes().size(), k.bytes) << k.delta;
        EXPECT_EQ(voz_PosCodeDecode(b.pb.start), k.delta);
    }
    Buffer b;
    GTRSTATUS st{};
    voz_SetPosInBuffer(&b.pb, 64, &st);
    EXPECT_EQ(hexGroups(b.bytes(), 0), "8040");
    voz_SetPosInBuffer(&b.pb, 70, &st);  // a delta from the last position
    EXPECT_EQ(hexGroups(b.bytes(), 0), "8040C6");
}

TEST(PosWrite, GrowsThePositionBuffer) {
    Buffer b;
    GTRSTATUS st{};
    for (int32_t p = 1; p <= 70000; ++p) ASSERT_EQ(voz_SetPosInBuffer(&b.pb, p, &st), 0);
    EXPECT_EQ(b.bytes().size(), 70000u);
    EXPECT_EQ(b.pb.end - b.pb.start, 2 * VOZ_POSBUF_STEP);
}

TEST(PosWrite, DocumentHeaderAndOutputBuffer) {
    TempDir tmp("poswrite");
    OutSet out(tmp.path());
    ASSERT_OK(out.st);
    uint8_t obuf[VOZ_POSOUT_SIZE];
    int32_t used = 0;
    Buffer b;
    GTRSTATUS st{};
    for (int32_t p = 1; p <= 20; ++p) voz_SetPosInBuffer(&b.pb, p, &st);
    // First document 5 of a key: delta 6 from -1, 20 position bytes.
    ASSERT_EQ(voz_WritePos(&out.fs, &b.pb, 6, obuf, &used, &st), 0);
    EXPECT_EQ(used, 22);
    EXPECT_EQ(hexGroups({obuf, obuf + 2}, 0), "6014");
    EXPECT_EQ(out.fs.posOffset, 22);   // buffered bytes count as written
    // 4092 position bytes with a 3-byte header fill 4095 bytes: through the
    // buffer, which is written out first because it holds 22.
    voz_ResetPosBuffer(&b.pb);
    for (int32_t p = 1; p <= 4092; ++p) voz_SetPosInBuffer(&b.pb, p, &st);
    ASSERT_EQ(voz_WritePos(&out.fs, &b.pb, 1, obuf, &used, &st), 0);
    EXPECT_EQ(used, 4095);
    EXPECT_EQ(hexGroups({obuf, obuf + 3}, 0), "100FFC");
    EXPECT_EQ(out.fs.posOffset, 22 + 4095);
    // 4093 bytes (4096 in all) go straight to the file, the buffer first.
    voz_ResetPosBuffer(&b.pb);
    for (int32_t p = 1; p <= 4093; ++p) voz_SetPosInBuffer(&b.pb, p, &st);
    ASSERT_EQ(voz_WritePos(&out.fs, &b.pb, 1, obuf, &used, &st), 0);
    EXPECT_EQ(used, 0);
    EXPECT_EQ(out.fs.posOffset, 22 + 4095 + 4096);
    std::string file = out.posBytes();
    ASSERT_EQ(file.size(), 22u + 4095 + 4096);
    auto at = [&](size_t off) { return hexGroups({file.begin() + off, file.begin() + off + 3}, 0); };
    EXPECT_EQ(at(0).substr(0, 4), "6014");
    EXPECT_EQ(at(22), "100FFC");
    EXPECT_EQ(at(22 + 4095), "100FFD");
    ASSERT_OK(st);
}

TEST(PosWrite, DocumentStartsRoundTripThroughTheReader) {
    TempDir tmp("docstart");
    OutSet out(tmp.path());
    Buffer b;
    GTRSTATUS st{};
    // Three documents of one key, ids from -1 across them, starts from 0.
    const std::vector<std::pair<int32_t, int32_t>> pairs = {
        {0, 0}, {0, 5}, {1, 5}, {1, 900}, {7, 20000}, {7, 20001}, {300, 0x500000}};
    for (const auto& pr : pairs) ASSERT_EQ(voz_SetDocStartposInBuffer(&b.pb, pr.first, pr.second, &st), 0);
    std::vector<uint8_t> bytes = b.bytes();
    voz_fwrite_POSFILE(bytes.data(), static_cast<int32_t>(bytes.size()), &out.fs, &st);
    voz_fseek_POSFILE(&out.fs, 0, &st);
    KEY_REC k{};
    k.kind = 'D';
    k.dataLength = static_cast<uint32_t>(bytes.size());
    PCTLHEAD p{};
    voz_InitPctl(&p, &k, -1, 'N', &st);
    p.endOfPos = 'N';  // a walk of the documents sets it; none here
    std::vector<std::pair<int32_t, int32_t>> got;
    while (voz_PointDocStartposSkip(&out.fs, &p, -1, 0, &st) == 0 && p.endOfPos != 'Y')
        got.push_back({p.curId, p.curPos});
    voz_TermPctl(&p, &st);
    ASSERT_OK(st);
    EXPECT_EQ(got, pairs);
}

TEST(KeyWrite, VariableChainsTakeTwentyEightBytesARecord) {
    TempDir tmp("vkey");
    OutSet out(tmp.path());
    KEYINFO_0 info{};
    GTRSTATUS st{};
    voz_WriteKeyInfo(&out.fs, &info, &st);
    PATTINFO one[1] = {}, three[3] = {};
    one[0].kind = three[0].kind = 'V';
    one[0].chainOrMark = 1;
    memcpy(one[0].keyHead, "abcdef", 6);
    three[0].chainOrMark = 3;
    memcpy(three[0].keyHead, "ABCDEF", 6);
    for (int i = 1; i < 3; ++i) {
        three[i].kind = 'C';
        reinterpret_cast<uint8_t*>(&three[i])[1] = i == 1 ? 22 : 5;
        memset(voz_PattContKey(&three[i]), 'a' + i, i == 1 ? 22 : 5);
    }
    KEY_REC recs[3];
    voz_MakeVkey(recs, one);
    recs[0].lastDoc = 0xFFFFFFFFu;  // no postings
    ASSERT_EQ(voz_WriteKey(&out.fs, &info, recs, ')', nullptr, &st), 0);
    voz_MakeVkey(recs, three);
    recs[0].lastDoc = 9;
    ASSERT_EQ(voz_WriteKey(&out.fs, &info, recs, ')', nullptr, &st), 0);
    EXPECT_EQ(info.varKeys, 2u);
    EXPECT_EQ(info.varRecords, 4u);
    EXPECT_EQ(info.highestDoc, 9u);
    voz_XXflush(out.fs.keyFile);
    char n[VOZ_FNAME_LEN];
    voz_IDXgetFname(n, &out.fs, VOZ_FT_KEY);
    std::string file = slurp(n);
    ASSERT_EQ(file.size(), 1296u + 28 + 84);
    // Continuation 1: 'C', chain 3, number 1, 0, total length 6 + 22 + 5.
    std::vector<uint8_t> rec1(file.begin() + 1296 + 56, file.begin() + 1296 + 62);
    EXPECT_EQ(hexGroups(rec1, 0), "430301000021");
    ASSERT_OK(st);
}

}  // namespace
