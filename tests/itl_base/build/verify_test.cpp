// Tests of verification (VOZ_checkDocno) and of the basic information of a
// sub-index (VOZ_getIndexBasicInfo): good indexes of one and two halves
// with deleted documents, damaged basic information, missing halves, and
// the sort of the document table against std::sort.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include "createend_fixture.hpp"
#include "deldoc_fixture.hpp"
#include "build/voz_basicinfo.hpp"
#include "build/voz_deldoc.hpp"
#include "build/voz_journal.hpp"
#include "build/voz_verify.hpp"
#include "characters/voz_cut.hpp"
#include "postings/voz_posstore.hpp"

using namespace endfix;
namespace fs = std::filesystem;

namespace {

struct Index : IndexDirs {
    Index() : IndexDirs("verify") {}
    // Documents first..first+count-1 into main ('N') or supp ('A').
    void build(char op, int32_t first, int32_t count, uint32_t seed,
               bool blockStore = false) {
        GTRCREATEPARM p = Parm();
        if (blockStore) {
            p.storeParameter = 1;  // any size chooses the block store
            p.storeSubParameter = 4;
            p.storeBlockUnit = 4;
        }
        RunResult r = RunCycle(out, work, op, Corpus(seed, first, count, 12), p,
                               Sys(8192));
        ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
    }
    std::string KeyPath(int half, int set) {
        _FCTLHEAD fs = HalfSet(out, half, set);
        char name[VOZ_FNAME_LEN];
        voz_IDXgetFname(name, &fs, VOZ_FT_KEY);
        return name;
    }
    int check(DOCSINFO* d, GTRSTATUS* st, const char* outfn = nullptr,
              char mode = 'N') {
        return VOZ_checkDocno("idx", out.c_str(), "KPLQ", "Full", outfn, mode, d,
                              vozCHmarkUnit_Chk, st);
    }
    // The first part of the half's key file (a partitioned file).
    std::string keyFile(int half, int set = 0) {
        const std::string path = KeyPath(half, set);
        struct stat sb;
        return stat(path.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode) ? path + "/0000" : path;
    }
};

std::vector<int32_t> ReadNumbers(const std::string& path) {
    const std::string bytes = readFile(path);
    std::vector<int32_t> v(bytes.size() / 4);
    memcpy(v.data(), bytes.data(), v.size() * 4);
    return v;
}

std::vector<int32_t> Range(int32_t from, int32_t to, std::set<int32_t> gone = {}) {
    std::vector<int32_t> v;
    for (int32_t d = from; d <= to; ++d)
        if (gone.count(d) == 0) v.push_back(d);
    return v;
}

// Adds `delta` to the big-endian word at `offset` of a file.
void BumpWord(const std::string& path, long offset, int32_t delta) {
    FILE* f = fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    uint8_t b[4];
    fseek(f, offset, SEEK_SET);
    ASSERT_EQ(fread(b, 1, 4, f), 4u);
    uint32_t v = (uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]) +
                 static_cast<uint32_t>(delta);
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    fseek(f, offset, SEEK_SET);
    fwrite(b, 1, 4, f);
    fclose(f);
}

void PutBytes(const std::string& path, long offset, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    fseek(f, offset, SEEK_SET);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// Standard output of `run` (the progress and time log).
template <class F>
std::string Stdout(F run) {
    fflush(stdout);
    testing::internal::CaptureStdout();
    run();
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(Verify, TwoHalvesWithDeletionsGiveTheirLiveNumbersInOrder) {
    for (bool blockStore : {false, true}) {
        SCOPED_TRACE(blockStore ? "block store" : "sequential");
        Index ix;
        ix.build('N', 1, 40, 7, blockStore);
        ix.build('A', 41, 20, 8, blockStore);
        ix.remove({5, 44});
        const std::string outfn = ix.tmp.path() + "/live";
        DOCSINFO d;
        memset(&d, 0x5A, sizeof d);
        GTRSTATUS st{};
        EXPECT_EQ(ix.check(&d, &st, outfn.c_str()), 0);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        EXPECT_EQ(memcmp(d.version, "V4_0", 4), 0);
        EXPECT_EQ((std::vector<int32_t>{d.mainLowest, d.mainHighest, d.mainCount,
                                        d.suppLowest, d.suppHighest, d.suppCount}),
                  (std::vector<int32_t>{1, 40, 39, 41, 60, 19}));
        std::vector<int32_t> want = Range(1, 40, {5});
        const std::vector<int32_t> supp = Range(41, 60, {44});
        want.insert(want.end(), supp.begin(), supp.end());
        EXPECT_EQ(ReadNumbers(outfn), want);
    }
}

TEST(Verify, MainOnlyReportsNoSuppAndPrintsProgressInModeD) {
    Index ix;
    ix.build('N', 3, 10, 11);
    DOCSINFO d;
    GTRSTATUS st{};
    const std::string out = Stdout([&] { ix.check(&d, &st, "", 'D'); });
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ((std::vector<int32_t>{d.mainLowest, d.mainHighest, d.mainCount,
                                    d.suppLowest, d.suppHighest, d.suppCount}),
              (std::vector<int32_t>{3, 12, 10, -1, -1, 0}));
    EXPECT_NE(out.find("Verify primary index...\n"), std::string::npos);
    EXPECT_NE(out.find("100%"), std::string::npos);
    // The variable keys are unmarked, so the half has an X-index.
    EXPECT_NE(out.find("Verify primary X-index...\n"), std::string::npos);
    EXPECT_EQ(out.find("Verify secondary index"), std::string::npos);
    EXPECT_NE(out.find("End\n"), std::string::npos);
    // Mode 'N' prints nothing.
    EXPECT_EQ(Stdout([&] { ix.check(&d, &st); }), "");
}

TEST(Verify, DamagedOrMissingPartsStopWithTheirCodes) {
    struct Case {
        const char* what;
        int half, set;
        long offset;  // key-file byte changed; -1: the file removed
        int32_t delta;
        int32_t rc, ec;
    } cases[] = {
        {"document count of main", VOZ_HALF_MAIN, 0, 72, 1, 16, 450},
        // Found by the walk, not refused for memory (or worse) up front.
        {"document count of main far too large", VOZ_HALF_MAIN, 0, 72, -0x10000000, 16, 450},
        {"highest document of main", VOZ_HALF_MAIN, 0, 36, 1, 16, 447},
        {"fixed-key count of main", VOZ_HALF_MAIN, 0, 48, 1, 16, 481},
        {"document count of supp", VOZ_HALF_SUPP, 0, 72, 1, 16, 450},
        {"document table overflows", VOZ_HALF_SUPP, 0, 72, -1, 16, 451},
        {"creation value of supp", VOZ_HALF_SUPP, 0, 4, 0x10000, 18, 433},
        {"no main", VOZ_HALF_MAIN, 0, -1, 0, 20, 476},
        {"X-index options differ", VOZ_HALF_MAIN, 1, 16, 1, 16, 431},
        {"X-index highest document", VOZ_HALF_MAIN, 1, 36, 1, 16, 472},
        {"no X-index, keys unmarked", VOZ_HALF_MAIN, 1, -1, 0, 16, 430},
        {"supp X-index options differ", VOZ_HALF_SUPP, 1, 16, 1, 16, 436},
        {"no supp X-index, keys unmarked", VOZ_HALF_SUPP, 1, -1, 0, 16, 435},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Index ix;
        ix.build('N', 1, 20, 3);
        ix.build('A', 21, 10, 4);
        if (c.offset < 0) {
            std::filesystem::remove_all(ix.KeyPath(c.half, c.set));
        } else {
            BumpWord(ix.keyFile(c.half, c.set), c.offset, c.delta);
        }
        DOCSINFO d;
        GTRSTATUS st{};
        std::string out = Stdout([&] { EXPECT_EQ(ix.check(&d, &st, nullptr, 'D'), -1); });
        EXPECT_EQ(std::make_pair(st.retcode, st.errcode), std::make_pair(c.rc, c.ec));
        EXPECT_NE(out.find("End\n"), std::string::npos);
    }
}

TEST(Verify, ArgumentsAreCheckedFirst) {
    Index ix;
    DOCSINFO d;
    GTRSTATUS st{};
    const std::string longName(2048, 'n');
    VOZ_checkDocno(longName.c_str(), ix.out.c_str(), "KPLQ", "Full", nullptr, 'N', &d,
                   nullptr, &st);
    EXPECT_EQ(std::make_pair(st.retcode, st.errcode), std::make_pair(29, 426));
    VOZ_checkDocno("idx", ix.out.c_str(), "KPLQ", "Full", longName.c_str(), 'N', &d,
                   nullptr, &st);
    EXPECT_EQ(std::make_pair(st.retcode, st.errcode), std::make_pair(35, 428));
    VOZ_checkDocno("idx", ix.out.c_str(), "KPLQ", "Full", nullptr, 'X', &d, nullptr, &st);
    EXPECT_EQ(std::make_pair(st.retcode, st.errcode), std::make_pair(2, 429));
}

TEST(Verify, SortDocstartAgreesWithStdSort) {
    const uint32_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    for (int round = 0; round < 50; ++round) {
        const int32_t n = static_cast<int32_t>(rng() % 300);
        std::vector<DOCSTART> t(n);
        for (DOCSTART& e : t)
            e = {static_cast<int32_t>(rng() % (round % 2 ? 10 : 100000)), 0, 1};
        std::vector<int32_t> want;
        for (const DOCSTART& e : t) want.push_back(e.docno);
        std::sort(want.begin(), want.end());
        voz_SortDocstart(t.data(), n, nullptr);
        std::vector<int32_t> got;
        for (const DOCSTART& e : t) got.push_back(e.docno);
        EXPECT_EQ(got, want);
    }
    voz_SortDocstart(nullptr, 5, nullptr);  // nothing happens
}

TEST(BasicInfo, CountsParametersAndMissingIndex) {
    Index ix;
    ix.build('N', 1, 30, 5);
    GTRCREATEPARM p;
    int32_t counts[2] = {-7, -7};
    GTRSTATUS st{};
    EXPECT_EQ(VOZ_getIndexBasicInfo("idx", ix.out.c_str(), "KPLQ", "Full", &p, counts, &st),
              30);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(counts[0], 30);
    EXPECT_EQ(counts[1], 0);
    const GTRCREATEPARM built = Parm();
    EXPECT_EQ(p.fixedKeyUnits, built.fixedKeyUnits);
    EXPECT_EQ(p.inputUnitWidth, built.inputUnitWidth);
    EXPECT_EQ(memcmp(p.codeInfo, built.codeInfo, 8), 0);
    EXPECT_EQ(p.storedUnitWidth, 0);
    EXPECT_EQ(p.keyCallback, nullptr);

    ix.build('A', 31, 12, 6);
    EXPECT_EQ(VOZ_getIndexBasicInfo("idx", ix.out.c_str(), "KPLQ", "Full", nullptr, counts,
                                    &st),
              42);
    EXPECT_EQ(counts[1], 12);
    // Byte 30 of 0 reads as 3; a null record and null counts are allowed.
    PutBytes(ix.keyFile(VOZ_HALF_MAIN), 30, std::string(2, '\0'));
    VOZ_getIndexBasicInfo("idx", ix.out.c_str(), "KPLQ", "Full", &p, nullptr, &st);
    EXPECT_EQ(p.headKeyUnits, 3);
    EXPECT_EQ(VOZ_getIndexBasicInfo("idx", ix.out.c_str(), "KPLQ", "Full", nullptr, nullptr,
                                    &st),
              42);

    counts[0] = counts[1] = 9;
    EXPECT_EQ(VOZ_getIndexBasicInfo("other", ix.out.c_str(), "KPLQ", "Full", &p, counts, &st),
              -1);
    EXPECT_EQ(std::make_pair(st.retcode, st.errcode), std::make_pair(20, 477));
    EXPECT_EQ(counts[0], 0);
    PutBytes(ix.keyFile(VOZ_HALF_MAIN), 0, "V3_9");
    EXPECT_EQ(VOZ_getIndexBasicInfo("idx", ix.out.c_str(), "KPLQ", "Full", &p, counts, &st),
              -1);
    EXPECT_EQ(std::make_pair(st.retcode, st.errcode), std::make_pair(23, 474));
}

TEST(BasicInfo, ACommitLeftPendingIsFinishedFirst) {
    // A crash after the mark was written: the new main half still lies
    // under its "#" name.  Readers must see the new index, whole.
    Index ix;
    ix.build('N', 1, 10, 21);
    Index other;
    other.build('N', 1, 25, 22);
    fs::rename(other.out + "/idx/Fullmain", ix.out + "/idx/#ullmain");
    _FCTLHEAD set = HalfSet(ix.out, VOZ_HALF_MAIN);
    VOZJOURNAL jnl;
    GTRSTATUS st{};
    ASSERT_EQ(voz_JnlBegin(&jnl, &set, &st), 0);
    ASSERT_EQ(voz_JnlAdd(&jnl, VOZ_JNL_REPLACE, VOZ_JNL_MAIN, "Full", &st), 0);
    std::string mark(voz_JnlMarkSize(jnl.count), '\0');
    voz_JnlEncodeMark(&jnl, reinterpret_cast<uint8_t*>(&mark[0]));
    ASSERT_TRUE(writeFile(ix.out + "/idx/voz.JNL", mark));

    int32_t counts[2];
    EXPECT_EQ(VOZ_getIndexBasicInfo("idx", ix.out.c_str(), "KPLQ", "Full", nullptr, counts, &st),
              25);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(counts[0], 25);
    EXPECT_FALSE(fs::exists(ix.out + "/idx/voz.JNL"));
    DOCSINFO d;
    EXPECT_EQ(ix.check(&d, &st), 0);
    EXPECT_EQ(d.mainCount, 25);
}

namespace {
uint32_t WordAt(const std::string& bytes, size_t off) {
    return uint32_t(uint8_t(bytes[off])) << 24 | uint32_t(uint8_t(bytes[off + 1])) << 16 |
           uint32_t(uint8_t(bytes[off + 2])) << 8 | uint8_t(bytes[off + 3]);
}
}  // namespace

TEST(Verify, DamagedKeyIndexTableIsFound) {
    struct Case {
        const char* what;
        int entry;    // 0 first, -1 last
        long field;   // offset inside the 16-byte entry
        int32_t delta;
        int32_t ec;
    } cases[] = {
        {"first record number", 0, 4, 1, 466},
        {"rank out of range", 0, 12, 1000, 467},
        {"unit of the last entry", -1, 0, 0x01000000, 469},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Index ix;
        ix.build('N', 1, 30, 31);
        const std::string key = ix.keyFile(VOZ_HALF_MAIN);
        const std::string bytes = readFile(key);
        const uint32_t entries = WordAt(bytes, 64);
        ASSERT_GT(entries, 1u);
        const long table = 1296 + 28L * (WordAt(bytes, 52) + WordAt(bytes, 60));
        const long entry = c.entry >= 0 ? c.entry : static_cast<long>(entries) - 1;
        BumpWord(key, table + 16 * entry + c.field, c.delta);
        DOCSINFO d;
        GTRSTATUS st{};
        EXPECT_EQ(ix.check(&d, &st), -1);
        EXPECT_EQ(std::make_pair(st.retcode, st.errcode), std::make_pair(16, c.ec));
    }
}
