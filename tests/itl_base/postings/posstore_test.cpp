// The position store through its function interface only: lists of many
// keys written in the builder's pattern (sequential source set merged into
// the target with vozMergeMerge, key records written with the key writer),
// committed, closed, reopened and read back and skipped through
// voz_PointVvgSkip / voz_PointPosSkip, compared with an in-memory model;
// lists growing and shrinking over several merge rounds with deletions;
// deleted-document lists; the failure paths of the interface.
#include "posstore_fixture.hpp"

namespace {

using namespace posfix;

// Sizes around every boundary a list can cross: one document, the level-1
// limit (2048), the window of a level-0 reader (8192), the level-2
// threshold of 16 KB leaves (15859), and beyond.
const std::vector<size_t> kAllSizes = {1,    300,  2040, 2047, 2048, 2100,
                                       8191, 8200, 12000, 15800, 40000, 200000};

// Writes lists of every size (and entries longer than a reader's window
// or a leaf), commits, reopens, reads every list back and skips in it.
Model RoundTripEverySize(IndexFixture& idx, std::mt19937& rng) {
    Model model;
    Model batch = MakeBatch(rng, model, kAllSizes, 1);
    batch[600] = MakeList(rng, 90000, 0, 9000);
    GTRSTATUS st{};
    idx.Round(batch, {}, st);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    ApplyToModel(model, batch, {});
    std::string problem;
    EXPECT_EQ(idx.ReadAll(st, &problem), model);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(problem, "");
    idx.SkipAll(model, rng, st);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    return model;
}

TEST(PosStore, SequentialListsOfEverySizeRoundTrip) {
    TempDir dir("posstore");
    std::mt19937 rng(testSeed());
    IndexFixture idx(dir.path(), false);
    RoundTripEverySize(idx, rng);
    // A document without positions.
    GTRSTATUS st{};
    idx.Round({{500, {{5, {}}}}}, {}, st);
    ASSERT_OK(st);
    EXPECT_EQ(idx.ReadAll(st)[500].size(), 1u);
}

TEST(PosStore, BlockStoreListsOfEverySizeRoundTrip) {
    TempDir dir("posstore");
    std::mt19937 rng(testSeed());
    IndexFixture idx(dir.path(), true);
    Model model = RoundTripEverySize(idx, rng);
    GTRSTATUS st{};
    std::map<uint32_t, KEY_REC> keys = idx.ReadKeys(st);
    for (auto& [key, rec] : keys) {
        size_t bytes = Encode(model[key]).size();
        int want = bytes < 2048 ? 1 : bytes < 15859 ? 2 : 4;
        if (want == 4 && rec.level == 8) want = 8;
        EXPECT_EQ(rec.level, want) << "key " << key << " bytes " << bytes;
        EXPECT_EQ(rec.lengthHigh, 0);
    }
}

// Lists grow and shrink over merge rounds (existing list + new documents,
// with deletions), read back after every round.
void GrowAndShrink(bool btree, const std::vector<size_t>& sizes,
                   std::vector<int>* levels = nullptr) {
    TempDir dir("posstore");
    std::mt19937 rng(testSeed());
    IndexFixture idx(dir.path(), btree);
    Model model;
    for (int round = 0; round < 5; ++round) {
        std::vector<size_t> grow = sizes;
        std::shuffle(grow.begin(), grow.end(), rng);
        grow.resize(grow.size() / 2);
        Model batch = MakeBatch(rng, model, grow, 1 + round % 2, !btree);
        std::vector<uint32_t> del =
            round == 0 ? std::vector<uint32_t>{}
                       : PickDeletions(rng, model, round == 3 ? 0.6 : 0.1);
        GTRSTATUS st{};
        idx.Round(batch, del, st);
        ASSERT_OK(st) << " round " << round;
        ApplyToModel(model, batch, del);
        std::string problem;
        ASSERT_EQ(idx.ReadAll(st, &problem), model) << "round " << round;
        ASSERT_OK(st);
        ASSERT_EQ(problem, "") << "round " << round;
        if (levels == nullptr) continue;
        for (auto& [key, rec] : idx.ReadKeys(st)) levels->push_back(rec.level);
    }
}

TEST(PosStore, SequentialListsGrowAndShrinkThroughMerges) {
    GrowAndShrink(false, kAllSizes);
}

TEST(PosStore, BlockStoreListsGrowAndShrinkThroughMergesWithDeletions) {
    std::vector<int> levels;
    GrowAndShrink(true, kAllSizes, &levels);
    std::set<int> seen(levels.begin(), levels.end());
    EXPECT_TRUE(seen.count(1) && seen.count(2) && seen.count(8));
}

TEST(PosStore, SlotListMovesFromLevelOneToTwoAndStays) {
    TempDir dir("posstore");
    std::mt19937 rng(testSeed());
    IndexFixture idx(dir.path(), true);
    Model model;
    std::vector<int> levels;
    for (size_t add : {1500, 1200, 3000, 50}) {
        Model batch = MakeBatch(rng, model, {add}, 1);
        std::vector<uint32_t> del = PickDeletions(rng, model, 0.05);
        GTRSTATUS st{};
        idx.Round(batch, del, st);
        ASSERT_OK(st);
        ApplyToModel(model, batch, del);
        ASSERT_EQ(idx.ReadAll(st), model);
        levels.push_back(idx.ReadKeys(st)[1].level);
    }
    EXPECT_EQ(levels, (std::vector<int>{1, 2, 2, 2}));
}

// Levels move only upwards, chosen by the lengths of the lists merged
// (before deletions): a level-2 list cut down by deletions stays at level
// 2; merged again with less than 2048 bytes in all it goes to the B-tree,
// and a B-tree list stays there however small.
TEST(PosStore, ShrinkingListsMoveUpOrStay) {
    TempDir dir("posstore");
    std::mt19937 rng(testSeed());
    IndexFixture idx(dir.path(), true);
    Model model;
    std::vector<int> levels;
    GTRSTATUS st{};
    Model batch = MakeBatch(rng, model, {5000, 30000}, 1);
    idx.Round(batch, {}, st);
    ASSERT_OK(st);
    ApplyToModel(model, batch, {});
    std::vector<uint32_t> del;
    for (auto& [k, l] : model) {
        for (size_t i = 3; i < l.size(); ++i) del.push_back(l[i].id);
    }
    std::sort(del.begin(), del.end());
    del.erase(std::unique(del.begin(), del.end()), del.end());
    idx.Round({}, del, st);
    ASSERT_OK(st);
    ApplyToModel(model, {}, del);
    EXPECT_EQ(idx.ReadAll(st), model);
    for (auto& [key, rec] : idx.ReadKeys(st)) levels.push_back(rec.level);
    Model more = {{1, {{0x7000000, {1}}}}, {4, {{0x7000000, {1}}}}};
    idx.Round(more, {}, st);
    ASSERT_OK(st);
    ApplyToModel(model, more, {});
    EXPECT_EQ(idx.ReadAll(st), model);
    for (auto& [key, rec] : idx.ReadKeys(st)) levels.push_back(rec.level);
    EXPECT_EQ(levels, (std::vector<int>{2, 4, 4, 4}));
}

TEST(PosStore, DroppedKeyReadsSourcesThroughAndStaysDropped) {
    TempDir dir("posstore");
    std::mt19937 rng(testSeed());
    IndexFixture idx(dir.path(), false);
    TempDir srcDir("posstore_src");
    _FCTLHEAD s = idx.Set(0, srcDir.path());
    Model batch = MakeBatch(rng, {}, {100, 9000, 50}, 1);
    std::map<uint32_t, KEY_REC> recs;
    GTRSTATUS st{};
    idx.WriteSource(s, batch, recs, st);
    ASSERT_OK(st);
    std::unique_ptr<MCTLHEAD> tgt(new MCTLHEAD()), in(new MCTLHEAD());
    tgt->idx = s;
    tgt->holdsKey = 'Y';
    tgt->curKey[0] = recs[1];
    tgt->curKey[0].level = VOZ_POS_LEVEL_DROPPED;
    in->idx = s;
    in->holdsKey = 'Y';
    in->curKey[0] = recs[4];
    KEY_REC out;
    SetKey(out, 4);
    uint64_t counter = 0;
    vozMergeMerge(tgt.get(), in.get(), &out, 1, &counter, &st);
    ASSERT_OK(st);
    EXPECT_EQ(out.level, VOZ_POS_LEVEL_DROPPED);
    EXPECT_EQ(out.location, 0xFFFFFFFFu);
    EXPECT_EQ(out.dataLength, 0u);
    EXPECT_EQ(counter, 1u);
    // A reader over a dropped key ends at once and makes no reader.
    PCTLHEAD p{};
    voz_InitPctl(&p, &out, 0, 'N', &st);
    voz_PointVvgSkip(&s, &p, 0xFFFFFFFFu, &st);
    EXPECT_EQ(p.endOfDocs, 'Y');
    EXPECT_EQ(p.curDoc, 0x7FFFFFFF);
    EXPECT_EQ(p.reader, nullptr);
    voz_IDXclose(&s, &st);
    ASSERT_OK(st);
}

// Target -1 counts as 0. A list that yields a document above the highest
// one of its key record is damaged: the walk stops with 17/3423 instead of
// handing it on (a damaged position file of one half made a search find
// documents of the other half, or far beyond the index).
TEST(PosStore, TargetMinusOneCountsAsZeroAndADocumentAboveTheKeysHighestIsDamage) {
    TempDir dir("posstore");
    std::mt19937 rng(testSeed());
    IndexFixture idx(dir.path(), true);
    Model batch = {{1, {{0, {3}}, {7, {1, 2}}}}};
    GTRSTATUS st{};
    idx.Round(batch, {}, st);
    ASSERT_OK(st);
    std::map<uint32_t, KEY_REC> keys = idx.ReadKeys(st);
    _FCTLHEAD m = idx.Set(0, dir.path());
    ASSERT_EQ(voz_IDXopen(&m, "rb", &st), 0);
    PCTLHEAD p{};
    voz_InitPctl(&p, &keys[1], 0, 'N', &st);
    voz_PointVvgSkip(&m, &p, 0xFFFFFFFFu, &st);
    EXPECT_EQ(p.curDoc, 0);  // document 0 is found, not skipped
    voz_PointVvgSkip(&m, &p, 0, &st);
    EXPECT_EQ(p.curDoc, 7);  // at least one document forward
    voz_PointPosSkip(&m, &p, 0, &st);
    voz_PointPosSkip(&m, &p, 0, &st);
    EXPECT_EQ(p.curPos, 2);
    voz_PointPosSkip(&m, &p, 0, &st);
    EXPECT_EQ(p.endOfPos, 'Y');
    EXPECT_EQ(p.curPos, 2);
    voz_TermPctl(&p, &st);
    ASSERT_OK(st);

    ASSERT_EQ(keys[1].lastDoc, 7u);
    KEY_REC low = keys[1];
    low.lastDoc = 6;
    PCTLHEAD q{};
    voz_InitPctl(&q, &low, 0, 'N', &st);
    voz_PointVvgSkip(&m, &q, 0, &st);
    ASSERT_OK(st);
    EXPECT_EQ(q.curDoc, 0);
    voz_PointVvgSkip(&m, &q, 1, &st);
    EXPECT_EQ(std::make_pair(st.retcode, st.errcode), std::make_pair(17, 3423));
    EXPECT_EQ(q.curDoc, 0) << "the damaged document is not handed on";
    GTRSTATUS end{};
    voz_TermPctl(&q, &end);
    voz_IDXclose(&m, &end);
}

TEST(PosStore, DeletedDocumentListsRegisterInBothHalvesAndPersist) {
    TempDir dir("posstore");
    IndexFixture idx(dir.path(), false);
    GTRSTATUS st{};
    idx.Round({{1, {{2, {1}}}}}, {}, st);
    ASSERT_OK(st);
    _FCTLHEAD halves[2] = {idx.Set(0, dir.path()), idx.Set(0, dir.path())};
    halves[1].fileType = VOZ_HALF_SUPP;
    EXPECT_EQ(vozAllocateDeletedDocs(&halves[0], 0, &st), nullptr);
    ASSERT_OK(st);
    uint32_t ids[] = {9, 3, 7};
    VOZ_deleteDocs(halves, 3, ids, &st);
    vozRegisterUpdateDoc(halves, 5, &st);
    ASSERT_OK(st);
    for (auto& h : halves) {
        ASSERT_EQ(vozGetNumDeletedDocs(h.deletedDocs), 4u);
        EXPECT_EQ(std::vector<uint32_t>(vozGetDeletedDocs(h.deletedDocs),
                                        vozGetDeletedDocs(h.deletedDocs) + 4),
                  (std::vector<uint32_t>{3, 5, 7, 9}));
    }
    // Written under the new ("#") deleted-documents directory, then
    // switched into place and read back.
    vozFreeDeletedDocs(halves[0].deletedDocs, &halves[0], &st);
    ASSERT_OK(st);
    _FCTLHEAD fresh = idx.Set(2, dir.path());
    voz_SwitchDelDir(&fresh, &halves[0], &st);
    ASSERT_OK(st);
    CVozDeletedDocs* back = vozAllocateDeletedDocs(&halves[0], 0, &st);
    ASSERT_OK(st);
    EXPECT_EQ(vozGetNumDeletedDocs(back), 4u);
    vozFreeDeletedDocs(back, nullptr, &st);
    vozFreeDeletedDocs(halves[1].deletedDocs, nullptr, &st);
    EXPECT_EQ(vozGetDeletedDocs(nullptr), nullptr);
    EXPECT_EQ(vozGetNumDeletedDocs(nullptr), 0u);
}

// Fault mended: deletions of an index whose directory is gone used to be
// dropped without a word; now the caller hears of it (and the list is
// still freed, which ASan checks).
TEST(PosStore, FreeingDeletionsOfAMissingIndexReportsAnError) {
    TempDir dir("posstore");
    IndexFixture idx(dir.path(), false);
    _FCTLHEAD halves[2] = {idx.Set(0, dir.path() + "/nothing"),
                           idx.Set(0, dir.path() + "/nothing")};
    GTRSTATUS st{};
    uint32_t ids[] = {4};
    VOZ_deleteDocs(halves, 1, ids, &st);
    ASSERT_OK(st);
    vozFreeDeletedDocs(halves[0].deletedDocs, &halves[0], &st);
    EXPECT_EQ(st.retcode, VOZ_RC_NO_TEMP_DIR);
    EXPECT_EQ(st.errcode, 3411);
    GTRSTATUS st2{};
    vozFreeDeletedDocs(halves[1].deletedDocs, nullptr, &st2);
    EXPECT_EQ(st2.retcode, 0);
}

TEST(PosStore, FailurePathsReportTheirCodes) {
    TempDir dir("posstore");
    IndexFixture idx(dir.path(), false);
    struct Case {
        const char* what;
        int32_t rc, reason;
    };
    std::vector<std::pair<Case, GTRSTATUS>> results;
    {
        GTRSTATUS st{};
        uint32_t id = 1;
        VOZ_deleteDocs(nullptr, 1, &id, &st);
        results.push_back({{"no context", 1, 3402}, st});
    }
    {
        GTRSTATUS st{};
        _FCTLHEAD h[2] = {idx.Set(0, dir.path()), idx.Set(0, dir.path())};
        VOZ_deleteDocs(h, 2, nullptr, &st);
        results.push_back({{"no ids", 2, 3403}, st});
    }
    {
        GTRSTATUS st{};
        _FCTLHEAD m = idx.Set(0, dir.path());
        EXPECT_EQ(vozAllocatePosBroker(&m, "rb", &st), nullptr);
        results.push_back({{"missing position file", 3, 3351}, st});
    }
    {
        GTRSTATUS st{};
        _FCTLHEAD m = idx.Set(0, dir.path());
        voz_fseek_POSFILE(&m, 0, &st);
        results.push_back({{"no sequential broker", 17, 3420}, st});
    }
    {
        GTRSTATUS st{};
        _FCTLHEAD m = idx.Set(0, "/proc/none");
        vozCreateIndexDirectory(&m, &st);
        results.push_back({{"index directory", 140, 3405}, st});
    }
    {
        GTRSTATUS st{};
        _FCTLHEAD m = idx.Set(0, dir.path());
        m.flags = VOZ_FCTL_BTREE;
        m.sharedBlockKB = m.branchBlockKB = m.leafBlockKB = 16;
        vozCreateIndexDirectory(&m, &st);
        EXPECT_EQ(vozAllocatePosBroker(&m, "rb+", &st), nullptr);
        EXPECT_NE(st.retcode, 0);
        results.push_back({{"missing block files", 3, 3351}, st});
    }
    for (auto& [c, st] : results) {
        EXPECT_EQ(st.retcode, c.rc) << c.what;
        EXPECT_EQ(st.errcode, c.reason) << c.what;
    }
    // A status that already holds a failure is never overwritten.
    GTRSTATUS st{};
    st.retcode = 99;
    st.errcode = 1;
    _FCTLHEAD m = idx.Set(0, dir.path());
    voz_fseek_POSFILE(&m, 0, &st);
    EXPECT_EQ(st.retcode, 99);
    EXPECT_EQ(st.errcode, 1);
}

TEST(PosStore, KeyOfTargetAndSourceMergesBoth) {
    TempDir dir("posstore");
    std::mt19937 rng(testSeed());
    IndexFixture idx(dir.path(), false);
    GTRSTATUS st{};
    idx.Round({{1, {{1, {1}}}}, {4, {{1, {1}}}}}, {}, st);
    ASSERT_OK(st);
    // A second round: key 1 held by both target and source, key 7 new.
    Model batch = {{1, {{9, {2}}}}, {7, {{3, {5}}}}};
    idx.Round(batch, {}, st);
    ASSERT_OK(st);
    Model model = {{1, {{1, {1}}, {9, {2}}}}, {4, {{1, {1}}}}, {7, {{3, {5}}}}};
    EXPECT_EQ(idx.ReadAll(st), model);
}

}  // namespace

namespace {

// Flips random bytes of the file holding the lists (the sequential file,
// or the slot file) and reads every list: each read either returns data or
// fails with a status; nothing crashes or reads out of bounds (ASan).
void DamageAndRead(bool btree) {
    TempDir dir("posstore");
    std::mt19937 rng(testSeed());
    IndexFixture idx(dir.path(), btree);
    Model batch = MakeBatch(rng, {}, {1, 300, 2100, 9000, 12000}, 1);
    GTRSTATUS st{};
    idx.Round(batch, {}, st);
    ASSERT_OK(st);
    _FCTLHEAD m = idx.Set(0, dir.path());
    std::string part = Name(m, btree ? VOZ_FT_SHARED : VOZ_FT_POS) + "/0000";
    std::string good = readFile(part);
    ASSERT_FALSE(good.empty());
    int failures = 0;
    for (int trial = 0; trial < 40; ++trial) {
        std::string bad = good;
        for (int i = 0; i < 1 + trial % 4; ++i) {
            bad[rng() % bad.size()] ^= static_cast<char>(1 + rng() % 255);
        }
        writeFile(part, bad);
        GTRSTATUS rs{};
        idx.ReadAll(rs);
        if (rs.retcode != 0) {
            ++failures;
            EXPECT_TRUE(rs.retcode == VOZ_RC_INCONSISTENT ||
                        rs.retcode == VOZ_RC_READ)
                << rs.retcode << "/" << rs.errcode;
        }
    }
    writeFile(part, good);
    std::printf("%d of 40 damaged files refused\n", failures);
}

TEST(PosStore, DamagedSequentialListsFailCleanly) { DamageAndRead(false); }

TEST(PosStore, DamagedSlotListsFailCleanly) { DamageAndRead(true); }

}  // namespace
