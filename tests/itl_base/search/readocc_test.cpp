// Occurrence reading, word order by occurrence, the VVG window of an index
// without VVGs, the block reader over boundary keys written by the storage,
// and the range check of unrestricted words.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>

#include "postings/voz_bufferpos.hpp"
#include "search/voz_blockctl.hpp"
#include "search/voz_checkrange.hpp"
#include "search/voz_readocc.hpp"
#include "boundary_fixture.hpp"
#include "search_fixture.hpp"
#include "ti_test_util.hpp"
#include "walk_fixture.hpp"

using namespace srchfix;
using namespace walkfix;

namespace {

VVGDOCINFO windowOf(int32_t doc) {
    VVGDOCINFO v{};
    v.docNo = doc;
    v.vvgId = doc;
    v.vvgStart = 0;
    v.vvgEnd = VOZ_VVG_NONE_END;
    return v;
}

TEST(ReadOcc, ModesMoveTheWordAsAsked) {
    ListWord l;
    l.hits = {hit(1, 2), hit(1, 5), hit(3, 1), hit(3, 9), hit(6, 4)};
    _WCTLHEAD w;
    setUpWord(&w, &l);
    GTRSTATUS st{};
    voz_InitForReadOcc(&w, 1, nullptr, nullptr, &st);
    ASSERT_OK(st);
    EXPECT_EQ(w.cur.docno, -1);
    EXPECT_EQ(w.endFlag, 'N');
    VVGDOCINFO v = windowOf(1);
    struct Step {
        int32_t mode, windowDoc, wantDoc, wantPos;
    } steps[] = {
        {VOZ_READ_NEXT, 1, 1, 2},
        {VOZ_READ_NEXT, 1, 1, 5},
        {VOZ_READ_VVG_START, 1, 1, 5},    // already inside the window
        {VOZ_READ_VVG_END, 1, 3, 1},      // past the document
        {VOZ_READ_AFTER_MARK, 3, 3, 9},   // after the last read
        {VOZ_READ_VVG_START, 6, 6, 4},    // to the window of document 6
        {VOZ_READ_NEXT, 6, VOZ_DOC_END, 0},
    };
    for (const Step& s : steps) {
        v = windowOf(s.windowDoc);
        voz_ReadOcc(&w, s.mode, &v, nullptr, nullptr, &st);
        ASSERT_OK(st);
        EXPECT_EQ(w.cur.docno, s.wantDoc) << "mode " << s.mode;
        EXPECT_EQ(w.cur.pos, s.wantPos) << "mode " << s.mode;
    }
    EXPECT_EQ(w.endFlag, 'Y');
    // A word without a next-hit operation is at its end at once.
    _WCTLHEAD none{};
    none.cur.docno = -1;
    voz_ReadOcc(&none, VOZ_READ_NEXT, &v, nullptr, nullptr, &st);
    EXPECT_EQ(none.endFlag, 'Y');
    EXPECT_EQ(none.cur.docno, VOZ_DOC_END);
    voz_TermForReadOcc(&w, 1, nullptr);
}

// A word answer set that passed its memory budget: the words whose
// occurrences lie in the spill file share one read buffer, and the file is
// opened for reading; a spill file that is gone is reported.
TEST(ReadOcc, SpilledWordsShareTheReadBuffer) {
    TempDir dir("readspill");
    for (bool removeFile : {false, true}) {
        GTRSTATUS st{};
        auto a = std::make_unique<ANSWERFORM>();
        voz_OpenAnswer(a.get(), dir.path().c_str(), 0, nullptr, nullptr, nullptr, &st);
        ASSERT_EQ(a->kind, VOZ_ANS_BUDGET);
        const int32_t inMemory = a->budget;
        for (int32_t i = 0; i < inMemory + 100; ++i) {
            OCC o = hit(i, 1);
            voz_WriteOcc(&o, 1, a.get(), &st);
        }
        ASSERT_OK(st);
        ASSERT_EQ(a->kind, VOZ_ANS_FILE);
        _WCTLHEAD w[3];
        memset(w, 0, sizeof w);
        int32_t added[] = {inMemory, 60, 40};
        for (int i = 0, before = 0; i < 3; before += added[i], ++i) {
            w[i].countBefore = before;
            w[i].addedCount = added[i];
            w[i].kind = 'W';
        }
        std::string spill = a->fileName;
        if (removeFile) {
            voz_XXclose(a->file);
            a->file = nullptr;
            ASSERT_EQ(voz_XXremove(spill.c_str()), 0);
        }
        voz_InitForReadOcc(w, 3, a.get(), nullptr, &st);
        if (removeFile) {
            EXPECT_RC(st, VOZ_RC_OPEN, 263);
            EXPECT_EQ(std::string(st.errfname1), spill);
        } else {
            ASSERT_OK(st);
            EXPECT_NE(a->readBuffer, nullptr);
            EXPECT_NE(a->file, nullptr);
            EXPECT_EQ(w[0].readSlice, nullptr) << "its occurrences are in memory";
            EXPECT_EQ(w[1].readSlice, static_cast<OCC*>(a->readBuffer));
            EXPECT_EQ(w[1].readCounters[0], 50);
            EXPECT_EQ(w[2].readSlice, static_cast<OCC*>(a->readBuffer) + 50);
            EXPECT_EQ(w[2].readCounters[0], 40);
            for (auto& x : w) EXPECT_EQ(x.cur.docno, -1);
        }
        voz_TermForReadOcc(w, 3, a.get());
        EXPECT_EQ(a->readBuffer, nullptr);
        EXPECT_EQ(w[1].readSlice, nullptr);
        EXPECT_EQ(w[1].readCounters[0], 0);
        voz_ReleaseAnswer(a.get());
        EXPECT_FALSE(pathExists(spill));
    }
}

// The order array always equals a full sort by the order key, with ended
// words behind the active ones.
TEST(ReadOcc, KeepOrderAgreesWithAFullSort) {
    std::mt19937 rng(testSeed());
    for (int round = 0; round < 300; ++round) {
        int32_t n = 1 + static_cast<int32_t>(rng() % 30);
        std::vector<_WCTLHEAD> w(static_cast<size_t>(n));
        auto randomize = [&](_WCTLHEAD& x) {
            memset(&x, 0, sizeof x);
            x.cur.docno = static_cast<int32_t>(rng() % 5);
            x.cur.pos = static_cast<int32_t>(rng() % 4);
            x.cur.len = static_cast<uint16_t>(rng() % 2 ? 1 : 0x8001);
            x.vvgMiss = static_cast<int32_t>(rng() % 2);
            x.vvgOverflow = static_cast<int32_t>(rng() % 2);
            x.endFlag = 'N';
        };
        for (auto& x : w) randomize(x);
        std::vector<int32_t> order(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
        voz_SortOccIX(w.data(), order.data(), n);
        auto key = [&](int32_t i) {
            const _WCTLHEAD& x = w[static_cast<size_t>(i)];
            return std::make_tuple(x.cur.docno, x.cur.pos, x.vvgMiss,
                                   x.vvgOverflow, x.cur.len);
        };
        for (int32_t i = 1; i < n; ++i)
            ASSERT_LE(key(order[static_cast<size_t>(i - 1)]), key(order[static_cast<size_t>(i)]));
        // Advance the first k words (some to their end) and restore.
        int32_t count = n;
        int32_t k = 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(n));
        for (int32_t i = 0; i < k; ++i) {
            _WCTLHEAD& x = w[static_cast<size_t>(order[static_cast<size_t>(i)])];
            x.cur.docno += static_cast<int32_t>(rng() % 3);
            x.cur.pos = static_cast<int32_t>(rng() % 4);
            if (rng() % 4 == 0) x.endFlag = 'Y';
        }
        int32_t ended = 0;
        for (auto& x : w) ended += x.endFlag == 'Y';
        voz_OccKeepOrder(&count, k, order.data(), w.data());
        ASSERT_EQ(count, n - ended) << "seed round " << round;
        for (int32_t i = 0; i < n; ++i)
            ASSERT_EQ(w[static_cast<size_t>(order[static_cast<size_t>(i)])].endFlag == 'Y', i >= count);
        for (int32_t i = 1; i < count; ++i)
            ASSERT_LE(key(order[static_cast<size_t>(i - 1)]), key(order[static_cast<size_t>(i)]))
                << "round " << round;
        std::vector<int32_t> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        for (int32_t i = 0; i < n; ++i) ASSERT_EQ(sorted[static_cast<size_t>(i)], i);
    }
}

TEST(ReadOcc, ResultSortedTests) {
    OCC a[] = {hit(2, 1), hit(2, 5), hit(4, 1)};
    OCC b[] = {hit(2, 1), hit(1, 5)};
    struct Case {
        const OCC* occ;
        int32_t n;
        uint32_t bound;
        uint8_t mode;
        bool want;
    } cases[] = {
        {a, 3, 0, 0, true},  {a, 3, 3, 0, false}, {b, 2, 0, 0, false},
        {a, 3, 4, 1, true},  {a, 3, 3, 1, false}, {a, 0, 9, 0, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(voz_IsResultSortedByDoc(c.occ, c.n, c.bound, c.mode), c.want)
            << c.bound << "/" << int(c.mode);
}

TEST(VvgWindow, WithoutVvgsEachDocumentIsItsOwnWindow) {
    IDXINFO index{};
    PCTLHEAD vvg{};
    IDXINFO priv{};
    VVGDOCINFO info;
    GTRSTATUS st{};
    voz_InitForVvgDoc(&index, &vvg, &priv, &info, &st);
    EXPECT_EQ(info.docNo, -1);
    EXPECT_EQ(info.vvgId, -1);
    EXPECT_EQ(info.vvgEnd, VOZ_VVG_NONE_END);
    for (OCC o : {hit(3, 7), hit(3, 9), hit(8, 1)}) {
        voz_VvgDoc(&index, &vvg, &priv, &o, nullptr, &info, &st);
        EXPECT_EQ(info.docNo, o.docno);
        EXPECT_EQ(info.vvgId, o.docno);
        EXPECT_EQ(info.vvgStart, 0);
        EXPECT_EQ(info.relPos, o.pos);
    }
    voz_TermForVvgDoc(&index, &vvg, &priv);
    ASSERT_OK(st);
}

// A hand-made VVG key: document 4 holds VVG 10 from position 1, VVG 11
// from 20 and VVG 13 from 40, as (id, start) pairs of the start-position
// list; the key has no further documents (its list is dropped).
struct VvgIndex {
    TempDir dir{"vvgwalk"};
    VOZSEARCH* h = nullptr;
    IDXINFO index{};

    explicit VvgIndex(GTRSTATUS& st) {
        SetSpec spec;
        spec.docs = {4};
        spec.keys.push_back({"\1\0\1\0\1\0", {{4, {1}}}});
        writeSet(dir.path(), "idx", 0, 0, spec, st);
        _FCTLHEAD fs = setOf(dir.path(), "idx", 0, 0);
        voz_IDXopen(&fs, "rb+", &st);
        std::vector<uint8_t> pairs;
        uint8_t code[5];
        for (uint32_t v : {11u, 1u, 1u, 19u, 2u, 20u})
            pairs.insert(pairs.end(), code, code + voz_PosCodeEncode(code, v));
        voz_fseek_POSFILE(&fs, -1, &st);
        KEY_REC rec{};
        rec.kind = VOZ_KIND_FIXED;
        rec.recCount = 1;
        rec.level = 0x10;
        rec.location = static_cast<uint32_t>(fs.posOffset);
        rec.dataLength = static_cast<uint32_t>(pairs.size());
        rec.docCount = 1;
        voz_fwrite_POSFILE(pairs.data(), static_cast<int32_t>(pairs.size()), &fs, &st);
        voz_IDXclose(&fs, &st);
        h = openText(dir.path(), "idx", st);
        if (st.retcode != 0) return;
        index = h->first.set0[0];
        index.info.docGroupLength = 1;
        index.info.slots[VOZ_SLOT_VVG] = rec;
    }
    ~VvgIndex() {
        GTRSTATUS st{};
        VOZ_SearchClose_(h, &st, 0);
        VOZ_SearchRelease(&h, &st);
    }
    // Puts a walk on document 4, as the document skip leaves it.
    static void onDocument4(PCTLHEAD* p) {
        p->curDoc = 4;
        p->endOfPos = 'N';
    }
};

TEST(VvgWindow, MapsOccurrencesToVvgsAndBack) {
    GTRSTATUS st{};
    VvgIndex v(st);
    ASSERT_OK(st);
    PCTLHEAD vvg{};
    auto priv = std::make_unique<IDXINFO>();
    VVGDOCINFO info;
    voz_InitForVvgDoc(&v.index, &vvg, priv.get(), &info, &st);
    ASSERT_OK(st);
    EXPECT_EQ(info.vvgEnd, VOZ_POS_END);
    VvgIndex::onDocument4(&vvg);
    struct Map {
        int32_t pos, id, start, end, rel;
    } maps[] = {
        {5, 10, 1, 20, 4},
        {20, 10, 1, 20, 19},  // a VVG start ends the VVG before it
        {25, 11, 20, 40, 5},
        {50, 13, 40, VOZ_POS_END, 10},
    };
    for (const Map& m : maps) {
        OCC o = hit(4, m.pos);
        voz_VvgDoc(&v.index, &vvg, priv.get(), &o, nullptr, &info, &st);
        ASSERT_OK(st);
        EXPECT_EQ(info.docNo, 4);
        EXPECT_EQ(info.vvgId, m.id) << m.pos;
        EXPECT_EQ(info.vvgStart, m.start) << m.pos;
        EXPECT_EQ(info.vvgEnd, m.end) << m.pos;
        EXPECT_EQ(info.relPos, m.rel) << m.pos;
    }
    OCC later = hit(6, 1);  // the VVG list has no document 6
    voz_VvgDoc(&v.index, &vvg, priv.get(), &later, nullptr, &info, &st);
    EXPECT_RC(st, 16, 260);
    voz_TermForVvgDoc(&v.index, &vvg, priv.get());

    // Back from (VVG id, relative position) to (document, position).
    _WCTLHEAD w{};
    PCTLHEAD wv{};
    GTRSTATUS s2{};
    voz_InitPctl(&wv, &v.index.info.slots[VOZ_SLOT_VVG], -1, 'Y', &s2);
    VvgIndex::onDocument4(&wv);
    w.vvgPctl = &wv;
    struct Back {
        int32_t id, rel, doc, pos, miss, over;
    } backs[] = {
        {11, 5, 4, 25, 0, 0},
        {11, 30, 4, 40, 0, 11},         // runs past its VVG: clamped
        {12, 3, 4, 40, 13, 3},          // an id the list does not hold
        {13, 2, 4, 42, 0, 0},
        {14, 1, 0x7FFFFFFE, 1, 15, 1},  // beyond the walk's documents
    };
    for (const Back& b : backs) {
        w.rawVvgId = b.id;
        w.rawRelPos = b.rel;
        voz_VvgDocReverse(&w, &v.index, &s2);
        ASSERT_OK(s2);
        EXPECT_EQ(w.cur.docno, b.doc) << b.id << "/" << b.rel;
        EXPECT_EQ(w.cur.pos, b.pos) << b.id << "/" << b.rel;
        EXPECT_EQ(w.vvgMiss, b.miss) << b.id << "/" << b.rel;
        EXPECT_EQ(w.vvgOverflow, b.over) << b.id << "/" << b.rel;
    }
    voz_TermPctl(&wv, &s2);
}

TEST(BlockReader, BlocksFromBoundaryPostings) {
    TempDir dir("blockctl");
    GTRSTATUS st{};
    writeBoundarySet(dir.path(), 5, {{1, {5, 10}}, {3, {4}}}, st);
    ASSERT_OK(st);
    VOZSEARCH* h = openText(dir.path(), "idx", st);
    ASSERT_OK(st);
    IDXINFO* set = &h->first.set0[0];
    BLOCKCTL b;
    voz_InitForGetBlock(set, &b, 5, &st);
    ASSERT_OK(st);
    EXPECT_EQ(b.vvgId, -1);
    struct Case {
        int32_t doc, pos, no, start, end;
    } cases[] = {
        {0, 7, 1, 1, VOZ_POS_END},   // no boundaries: one block from 1
        {1, 3, 1, 1, 5},
        {1, 4, 1, 1, 5},
        {1, 5, 2, 5, 10},            // a boundary starts its block
        {1, 9, 2, 5, 10},
        {1, 12, 3, 10, VOZ_POS_END}, // after the last: boundaries + 1
        {2, 1, 1, 1, VOZ_POS_END},
        {3, 2, 1, 1, 4},
        {3, 4, 2, 4, VOZ_POS_END},
        {5, 2, 1, 1, VOZ_POS_END},   // past the key's last document
    };
    for (const Case& c : cases) {
        OCC o = hit(c.doc, c.pos);
        VVGDOCINFO v = windowOf(c.doc);
        voz_GetBlock(set, &b, &o, &v, &st);
        ASSERT_OK(st);
        EXPECT_EQ(b.blockNo, c.no) << c.doc << "," << c.pos;
        EXPECT_EQ(b.blockStart, c.start) << c.doc << "," << c.pos;
        EXPECT_EQ(b.blockEnd, c.end) << c.doc << "," << c.pos;
        EXPECT_EQ(b.vvgId, c.doc);
    }
    voz_TermForGetBlock(&b);
    voz_TermForGetBlock(&b);  // harmless twice
    BLOCKCTL bad;
    voz_InitForGetBlock(set, &bad, VOZ_BLOCK_KINDS, &st);
    EXPECT_RC(st, VOZ_RC_INCONSISTENT, 258);
    st = GTRSTATUS{};
    VOZ_SearchClose_(h, &st, 0);
    VOZ_SearchRelease(&h, &st);
}

TEST(CheckRange, UnrestrictedWordsAreAcceptedBlockRangesNeedATable) {
    _WCTLHEAD w[2];
    memset(w, 0, sizeof w);
    BLOCKCTL* blocks[VOZ_BLOCK_KINDS];
    for (auto& p : blocks) p = reinterpret_cast<BLOCKCTL*>(&w[0]);  // junk
    MULTIFIELDCTRL mfc;
    memset(&mfc, 0xFF, sizeof mfc);
    GTRSTATUS st{};
    voz_InitForCheckRange(nullptr, w, blocks, 2, nullptr, 0, &mfc, nullptr, &st);
    ASSERT_OK(st);
    for (auto* p : blocks) EXPECT_EQ(p, nullptr);
    EXPECT_EQ(mfc.fieldCount, 0);
    VVGDOCINFO v = windowOf(0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(voz_CheckRange(nullptr, &w[0], blocks, &mfc, &v, &st), VOZ_RANGE_ACCEPT);
    EXPECT_FLOAT_EQ(w[0].resultWeight, 1.0f);
    EXPECT_FLOAT_EQ(w[0].accWeight, 3.0f);
    ASSERT_OK(st);
    // Block ranges checked without a block table are an error.
    w[1].rangeCount = 1;
    GTRSTATUS s{};
    EXPECT_EQ(voz_CheckRange(nullptr, &w[1], nullptr, &mfc, &v, &s), VOZ_RANGE_ERROR);
    EXPECT_RC(s, VOZ_RC_INCONSISTENT, VOZ_EC_RANGE_RESTRICTED);
    // The end frees block controls left in the table.
    blocks[3] = static_cast<BLOCKCTL*>(calloc(1, sizeof(BLOCKCTL)));
    voz_TermForCheckRange(w, 2, nullptr, 0, blocks, &mfc, &st);
    EXPECT_EQ(blocks[3], nullptr);
    ASSERT_OK(st);
}

}  // namespace
