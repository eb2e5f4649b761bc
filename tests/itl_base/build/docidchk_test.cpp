// Document-number checks: documents stored in the existing index (main and
// supp halves, deleted documents left out, walks restarted when asked out
// of order, suspend and continue), and documents registered in this cycle
// (kept across flushes).
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "build/voz_docidchk.hpp"
#include "creat_fixture.hpp"
#include "files/voz_deldocs.hpp"
#include "files/voz_file.hpp"

using namespace creatfix;

namespace {

// Writes the half `half` (0 main, 1 supp) of index "idx" in `out`: one
// flushed section holding documents `docs` (a key and a document record
// each), copied to the half's names; `deleted` as its deleted list.
void MakeHalf(const std::string& out, int half, const std::vector<int32_t>& docs,
              const std::vector<uint32_t>& deleted) {
    Cycle c;
    c.start();
    ASSERT_OK(c.st);
    const uint8_t key[2] = {'K', 1};
    for (int32_t d : docs) {
        VOZ_pattPool(c.cwp, ')', key, d, 1, 0, &c.st);
        VOZ_pattPool(c.cwp, '&', nullptr, d, 2, 0, &c.st);
    }
    ASSERT_EQ(voz_PattFlush(c.cwp, c.cwp->targetSet, &c.st), 0);
    ASSERT_OK(c.st);
    _FCTLHEAD fs;
    voz_SetFctlForRead(&fs, "idx", out.c_str(), half, 0, "KPLQ", "Full", &c.st);
    char dir[VOZ_FNAME_LEN], key_[VOZ_FNAME_LEN], pos[VOZ_FNAME_LEN];
    voz_IDXgetFname(dir, &fs, VOZ_FT_KEY | VOZ_FT_DIR);
    voz_IDXgetFname(key_, &fs, VOZ_FT_KEY);
    voz_IDXgetFname(pos, &fs, VOZ_FT_POS);
    ASSERT_EQ(mkTreeDir(dir), 0);
    ASSERT_EQ(voz_FileCopy((c.work + "/idx.K00").c_str(), key_, &c.st), 0);
    ASSERT_EQ(voz_FileCopy((c.work + "/idx.P00").c_str(), pos, &c.st), 0);
    if (!deleted.empty()) {
        char del[VOZ_FNAME_LEN], delDir[VOZ_FNAME_LEN];
        voz_IDXgetFname(delDir, &fs, VOZ_FT_DELETED | VOZ_FT_DIR);
        voz_IDXgetFname(del, &fs, VOZ_FT_DELETED);
        ASSERT_EQ(mkTreeDir(delDir), 0);
        CVozDeletedDocs list;
        list.RegisterDeletedDocs(deleted.data(), static_cast<uint32_t>(deleted.size()));
        list.Externalize(del);
    }
}

// A cycle and a check context over the index in `out`.
struct Checks {
    Cycle c;
    explicit Checks(const std::string& out) {
        c.start();
        EXPECT_EQ(vozCheckDocIDInit(&c.cwp->documentCheck, "idx", out.c_str(), "KPLQ",
                                    "Full", nullptr, &c.st), 0);
    }
    uint32_t stored(int32_t d) { return vozCheckDocID(c.cwp, d, &c.st); }
};

class DocIdCheck : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(out.c_str(), 0770);
        MakeHalf(out, 0, {1, 2, 7, 8}, {7});
    }
    TempDir tmp{"docchk"};
    std::string out = tmp.path() + "/out";
};

}  // namespace

TEST_F(DocIdCheck, StoredDocumentsAnswerAndDeletedOnesDoNot) {
    Checks k(out);
    ASSERT_OK(k.c.st);
    ASSERT_NE(k.c.cwp->documentCheck, nullptr);
    EXPECT_EQ(k.stored(7), 0u);   // deleted
    EXPECT_EQ(k.stored(8), 1u);
    EXPECT_EQ(k.stored(2), 1u);   // below the last: the walks restart
    EXPECT_EQ(k.stored(3), 0u);
    EXPECT_EQ(k.stored(9), 0u);
    EXPECT_EQ(k.stored(1), 1u);
    ASSERT_OK(k.c.st);
}

TEST_F(DocIdCheck, SuspendAndContinueChangeNothing) {
    Checks k(out);
    EXPECT_EQ(k.stored(1), 1u);
    vozCheckDocIDSuspend(k.c.cwp->documentCheck, &k.c.st);
    vozCheckDocIDContinue(k.c.cwp->documentCheck, &k.c.st);
    EXPECT_EQ(k.stored(7), 0u);
    vozCheckDocIDSuspend(k.c.cwp->documentCheck, &k.c.st);
    vozCheckDocIDContinue(k.c.cwp->documentCheck, &k.c.st);
    EXPECT_EQ(k.stored(8), 1u);
    EXPECT_EQ(k.stored(2), 1u);
    ASSERT_OK(k.c.st);
    // Null contexts are accepted everywhere.
    vozCheckDocIDSuspend(nullptr, &k.c.st);
    vozCheckDocIDContinue(nullptr, &k.c.st);
    vozCheckDocIDTerm(nullptr, &k.c.st);
    ASSERT_OK(k.c.st);
}

TEST_F(DocIdCheck, BothHalvesAreAsked) {
    MakeHalf(out, 1, {10, 12, 13}, {13});
    Checks k(out);
    const std::pair<int32_t, uint32_t> table[] = {{1, 1}, {7, 0}, {8, 1}, {10, 1},
                                                  {11, 0}, {12, 1}, {13, 0}, {14, 0}};
    for (const auto& [doc, want] : table) {
        EXPECT_EQ(k.stored(doc), want) << doc;
    }
    ASSERT_OK(k.c.st);
}

TEST_F(DocIdCheck, AppendCycleOpensTheChecks) {
    Cycle c;
    {
        InDir here(c.tmp.path());
        GTRSYSPARM sys = Sys(8192);
        VOZ_createIndexInit(&c.cwp, "idx", out.c_str(), nullptr, nullptr, c.work.c_str(), 'A',
                            'B', Parm(), &sys, &c.maxDoc, &c.st);
    }
    ASSERT_OK(c.st);
    ASSERT_NE(c.cwp->documentCheck, nullptr);
    EXPECT_EQ(vozCheckDocID(c.cwp, 2, &c.st), 1u);
    EXPECT_EQ(vozCheckDocID(c.cwp, 7, &c.st), 0u);
    // A new index has no checks: every document is new.
    Cycle n;
    n.start();
    ASSERT_OK(n.st);
    EXPECT_EQ(n.cwp->documentCheck, nullptr);
    EXPECT_EQ(vozCheckDocID(n.cwp, 2, &n.st), 0u);
}

TEST(DocIdCheckInit, MissingIndexGivesNoContext) {
    TempDir tmp{"docchk"};
    DOCCHKCTL* ctx = reinterpret_cast<DOCCHKCTL*>(1);
    GTRSTATUS st{};
    EXPECT_EQ(vozCheckDocIDInit(&ctx, "idx", tmp.path().c_str(), "KPLQ", "Full", nullptr, &st), 0);
    EXPECT_EQ(ctx, nullptr);
    ASSERT_OK(st);
}

TEST(RegisteredDocId, RepeatsAnswerOneAlsoAcrossAFlush) {
    for (bool flush : {false, true}) {
        Cycle c;
        c.start();
        ASSERT_OK(c.st);
        auto reg = [&](int32_t d) {
            uint32_t r = vozCheckRegisteredDocID(c.cwp, d, &c.st);
            VOZ_pattPool(c.cwp, '&', nullptr, d, 1, 0, &c.st);
            return r;
        };
        EXPECT_EQ(reg(3), 0u) << flush;
        EXPECT_EQ(reg(9), 0u) << flush;
        if (flush) {
            ASSERT_EQ(voz_PattFlush(c.cwp, c.cwp->targetSet, &c.st), 0);
        }
        EXPECT_EQ(reg(3), 1u) << flush;
        EXPECT_EQ(reg(9), 1u) << flush;
        EXPECT_EQ(reg(5), 0u) << flush;
        EXPECT_EQ(reg(5), 1u) << flush;
        ASSERT_OK(c.st);
    }
}

TEST(RegisteredDocId, AgreesWithASetModel) {
    uint32_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    Cycle c;
    c.start();
    std::set<int32_t> model;
    std::uniform_int_distribution<int32_t> near(0, 400);
    for (int i = 0; i < 3000; ++i) {
        int32_t d = i % 5 == 0 ? i / 2 : near(rng);  // runs and scattered numbers
        uint32_t want = model.count(d) ? 1 : 0;
        model.insert(d);
        ASSERT_EQ(vozCheckRegisteredDocID(c.cwp, d, &c.st), want) << "step " << i << " doc " << d;
    }
    ASSERT_OK(c.st);
    // The runs stay ascending, disjoint and not touching.
    for (int32_t r = 1; r < c.cwp->registeredRunCount; ++r)
        EXPECT_LT(c.cwp->registeredRuns[r - 1].high + 1, c.cwp->registeredRuns[r].low);
    EXPECT_EQ(c.cwp->registeredLow, *model.begin());
    EXPECT_EQ(c.cwp->registeredHigh, *model.rbegin());
}

TEST_F(DocIdCheck, AFailingWalkEndsTheChecks) {
    Checks k(out);
    ASSERT_NE(k.c.cwp->documentCheck, nullptr);
    _FCTLHEAD fs;
    voz_SetFctlForRead(&fs, "idx", out.c_str(), 0, 0, "KPLQ", "Full", &k.c.st);
    char pos[VOZ_FNAME_LEN];
    voz_IDXgetFname(pos, &fs, VOZ_FT_POS);
    std::string part = std::string(pos) + "/0000";
    struct stat sb;
    ASSERT_EQ(truncate(stat(part.c_str(), &sb) == 0 ? part.c_str() : pos, 0), 0);
    EXPECT_EQ(k.stored(3), 1u);   // the caller must not take it as new
    EXPECT_NE(k.c.st.retcode, 0);
    EXPECT_EQ(k.c.cwp->documentCheck, nullptr);
    GTRSTATUS st{};
    EXPECT_EQ(vozCheckDocID(k.c.cwp, 8, &st), 0u);  // no checks any more
}
