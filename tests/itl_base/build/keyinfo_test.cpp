// Tests of the key information: the integrity check of a key file's
// length, the prefix entries written once, the X-index's document count,
// and the key writer's record limits.
#include "creat_fixture.hpp"
#include "engine_test_util.hpp"
#include "build/voz_integrity.hpp"
#include "files/voz_keyfile_codec.hpp"
#include "files/voz_keywrite.hpp"

using namespace creatfix;

namespace {

// A key file of one half with `fixed` 'F' keys (first units 'a', 'a', 'b',
// ...) and `vars` two-record 'V' keys.
struct KeyFile {
    TempDir tmp{"keyinfo"};
    _FCTLHEAD fs;
    KEYINFO_0 info{};
    GTRSTATUS st{};
    KeyFile(int fixed, int vars, int set = 0) {
        voz_SetFctlForRead(&fs, "idx", tmp.path().c_str(), 0, set, "KPLQ", "Full", &st);
        vozCreateIndexDirectory(&fs, &st);
        voz_IDXopen(&fs, "wb", &st);
        info.unitWidth = 2;
        info.fixedKeyUnits = 1;
        info.docCount = 7;
        voz_WriteKeyInfo(&fs, &info, &st);
        for (int i = 0; i < fixed; ++i) {
            KEY_REC k{};
            k.kind = 'F';
            k.recCount = 1;
            k.key[0] = static_cast<uint8_t>('a' + i / 2);
            k.key[2] = static_cast<uint8_t>(i);
            k.dataLength = static_cast<uint32_t>(10 * (i + 1));
            k.lastDoc = static_cast<uint32_t>(i);
            voz_WriteKey(&fs, &info, &k, ')', nullptr, &st);
        }
        for (int i = 0; i < vars; ++i) {
            KEY_REC k[2] = {};
            k[0].kind = 'V';
            k[0].recCount = 2;
            KEY_CONT c{};
            c.kind = 'C';
            c.recCount = 2;
            c.index = 1;
            c.keyLength = 10;
            k[1] = voz_KeyContToRec(c);
            voz_WriteKey(&fs, &info, k, ')', nullptr, &st);
        }
        voz_WriteKeyInfo(&fs, &info, &st);
    }
    ~KeyFile() { voz_IDXclose(&fs, &st); }
    std::string name() const {
        char n[VOZ_FNAME_LEN];
        voz_IDXgetFname(n, &fs, VOZ_FT_KEY);
        return n;
    }
    KEYINFO_0 header() {
        voz_XXflush(fs.keyFile);
        KEYINFO_0 h;
        voz_ReadKeyInfo(&fs, &h, 0, nullptr, &st);
        return h;
    }
};

TEST(KeyInfo, SectionLengthMatchesItsCounts) {
    KeyFile f(3, 1);
    EXPECT_EQ(f.info.fixedRecords + f.info.varRecords, 5u);
    ASSERT_EQ(voz_CheckIntegrity(&f.fs, &f.info, &f.st), 0);
    ASSERT_OK(f.st);
    voz_XXflush(f.fs.keyFile);
    EXPECT_EQ(slurp(f.name()).size(), 1436u);
    // One record fewer counted than written: a byte-exact mismatch.
    --f.info.fixedRecords;
    GTRSTATUS st{};
    EXPECT_EQ(voz_CheckIntegrity(&f.fs, &f.info, &st), -1);
    EXPECT_RC(st, 16, 517);
    EXPECT_EQ(std::string(st.errfname1), f.name());
}

TEST(KeyInfo, KeyFileOneByteShortFails) {
    KeyFile f(3, 1);
    voz_IDXclose(&f.fs, &f.st);
    std::string part = f.name() + "/0000";
    ASSERT_EQ(truncate(part.c_str(), 1435), 0);
    voz_IDXopen(&f.fs, "rb+", &f.st);
    GTRSTATUS st{};
    EXPECT_EQ(voz_CheckIntegrity(&f.fs, &f.info, &st), -1);
    EXPECT_RC(st, 16, 517);
}

TEST(KeyInfo, PositionSizeInMegabytes) {
    KeyFile f(1, 0);
    f.fs.posSize = 3 * 1048576 + 5;
    voz_CheckIntegrity(&f.fs, &f.info, &f.st);
    EXPECT_EQ(f.info.posDataMB, 4u);
    f.fs.posSize = 0;  // the store's size, truncated: an empty file
    voz_CheckIntegrity(&f.fs, &f.info, &f.st);
    EXPECT_EQ(f.info.posDataMB, 0u);
}

TEST(KeyInfo, PrefixEntriesAreAppendedOnce) {
    KeyFile f(5, 1);
    ASSERT_EQ(voz_WriteKeyInfo2(&f.fs, &f.st), 0);
    KEYINFO_0 h = f.header();
    EXPECT_EQ(h.keyIndexEntries, 3u);  // first units a, b, c
    ASSERT_EQ(voz_WriteKeyInfo2(&f.fs, &f.st), 0);
    h = f.header();
    EXPECT_EQ(h.keyIndexEntries, 3u);
    EXPECT_EQ(voz_CheckIntegrity(&f.fs, &h, &f.st), 0);
    ASSERT_OK(f.st);
    EXPECT_EQ(slurp(f.name()).size(), 1296u + 28 * 7 + 16 * 3);
}

TEST(KeyInfo, XIndexCountsNoDocuments) {
    KeyFile regular(1, 0, 0), x(1, 0, 1);
    EXPECT_EQ(regular.header().docCount, 7u);
    EXPECT_EQ(x.header().docCount, 0u);
    EXPECT_EQ(x.info.docCount, 7u);  // the record in memory is kept
}

TEST(KeyInfo, RecordLimits) {
    KeyFile f(0, 0);
    KEY_REC k[2] = {};
    k[0].kind = 'F';
    f.info.fixedRecords = 0x7FFFFFFF;
    GTRSTATUS st{};
    EXPECT_EQ(voz_WriteKey(&f.fs, &f.info, k, ')', nullptr, &st), -1);
    EXPECT_RC(st, 157, 526);
    f.info.fixedRecords = 0x7FFFFFFE;  // the last one still fits
    GTRSTATUS ok{};
    EXPECT_EQ(voz_WriteKey(&f.fs, &f.info, k, ')', nullptr, &ok), 0);
    k[0].kind = 'V';
    k[0].recCount = 1;
    f.info.varRecords = 0x7FFFFFFF;
    GTRSTATUS v{};
    EXPECT_EQ(voz_WriteKey(&f.fs, &f.info, k, ')', nullptr, &v), -1);
    EXPECT_RC(v, 157, 527);
}

}  // namespace
