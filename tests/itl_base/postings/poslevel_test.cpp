// Position list levels and brokers at class level: the level-2 slot layout
// byte for byte, unmodified lists stored back unchanged, emptied lists
// giving up their slot, documents present in two sources, the level-0
// length limit, the end of a document's positions, the broker's level
// thresholds, and work readers taking lists in file order.
#include <gtest/gtest.h>

#include "ti_test_util.hpp"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "blocks/voz_blockmgr.hpp"
#include "postings/voz_bufferpos.hpp"
#include "files/voz_exception.hpp"
#include "files/voz_names.hpp"
#include "postings/voz_posbroker.hpp"
#include "postings/voz_poshigh.hpp"
#include "postings/voz_poslevel.hpp"
#include "postings/voz_posstore.hpp"
#include "blocks/voz_sharedblock.hpp"
#include "posstore_fixture.hpp"

namespace {

using posfix::Doc;
using posfix::Encode;

// A list of exactly `bytes` encoded bytes (from 2 bytes a document).
std::vector<Doc> ExactList(size_t bytes, uint32_t first = 0) {
    std::vector<Doc> l = {{first, {1}}};
    size_t size = Encode(l).size();
    for (; size + 2 <= bytes; size += 2) {
        l.push_back({first + uint32_t(l.size()), {1}});
    }
    if (size < bytes) l.back().pos.push_back(2);
    EXPECT_EQ(Encode(l).size(), bytes);
    return l;
}

// A list held in memory, as a merge source.
class MemList : public CVozPosShort {
public:
    explicit MemList(const std::vector<Doc>& l) {
        std::vector<uint8_t> b = Encode(l);
        memcpy(m_cur->Request(uint32_t(b.size())), b.data(), b.size());
        m_cur->iv_docCount = uint32_t(l.size());
        m_cur->iv_lastDoc = l.empty() ? 0xFFFFFFFFu : l.back().id;
        m_dataLen = b.size();
    }
    int32_t GetLevel() override { return 1; }
    void RemovePos(POS_ATTR&) override {}
};

std::vector<Doc> ReadList(CVozPos& p) {
    std::vector<Doc> out;
    uint32_t doc;
    while (p.PointVvgSkip(0, doc) == 0) {
        Doc d{doc, {}};
        int32_t pos, count;
        while (p.PointPosSkip(0, pos, count) == 0) d.pos.push_back(pos);
        out.push_back(d);
    }
    return out;
}

bool Same(const std::vector<Doc>& a, const std::vector<Doc>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].id != b[i].id || a[i].pos != b[i].pos) return false;
    }
    return true;
}

// A fresh slot file with its control, opened for writing.
class SlotFile {
public:
    SlotFile() : m_dir("poslevel") {
        std::string slot = m_dir.path() + "/slots", ctl = m_dir.path() + "/ctl";
        CVozSharedBlockMgr init;
        init.Initialize(slot.c_str(), ctl.c_str(), 16384);
        mgr.OpenBlockFile(slot.c_str(), 16384, ctl.c_str(), ctl.c_str());
    }
    ~SlotFile() {
        try {
            mgr.CloseBlockFile();
        } catch (const CVozException&) {
        }
    }
    CVozSharedBlockMgr mgr;

private:
    TempDir m_dir;
};

POS_ATTR EmptyAttr(uint8_t level) {
    POS_ATTR a{};
    a.blockID = 0xFFFFFFFFu;
    a.level = level;
    a.lastDocId = 0xFFFFFFFFu;
    return a;
}

// Stores `l` as a new list of level `Level` and returns its attributes.
template <typename Level>
POS_ATTR Store(CVozSharedBlockMgr& mgr, const std::vector<Doc>& l) {
    Level list(&mgr);
    POS_ATTR a = EmptyAttr(uint8_t(list.GetLevel()));
    list.Internalize(a);
    MemList src(l);
    CVozPosShort* s = &src;
    list.InsertDocs(&s, 1);
    list.Externalize(a);
    return a;
}

TEST(PosLevel, MediumSlotHoldsPinTableThenStream) {
    SlotFile f;
    struct Case {
        size_t docs;
        uint16_t pins;
    };
    for (Case c : {Case{1, 0}, Case{100, 0}, Case{101, 1}, Case{350, 3}}) {
        std::vector<Doc> l;
        for (uint32_t i = 0; i < c.docs; ++i) l.push_back({i * 2, {int32_t(i % 50)}});
        POS_ATTR a = Store<CVozPosMed>(f.mgr, l);
        std::vector<uint8_t> stream = Encode(l);
        ASSERT_EQ(a.dataleng, 2 + 6u * c.pins + stream.size()) << c.docs;
        EXPECT_EQ(a.level, 2);
        EXPECT_EQ(a.docCount, c.docs);
        EXPECT_EQ(a.lastDocId, l.back().id);
        std::vector<uint8_t> slot(a.dataleng);
        f.mgr.ReadSlot(a, slot.data());
        EXPECT_EQ(slot[0], c.pins >> 8);
        EXPECT_EQ(slot[1], c.pins & 255);
        for (uint16_t p = 0; p < c.pins; ++p) {
            // The 100th document of each hundred is the pinned one's
            // predecessor; its header follows at a known offset.
            const uint8_t* e = slot.data() + 2 + 6 * p;
            uint32_t id = uint32_t(e[0]) << 24 | e[1] << 16 | e[2] << 8 | e[3];
            uint16_t off = uint16_t(e[4] << 8 | e[5]);
            std::vector<Doc> before(l.begin(), l.begin() + (id / 2) + 1);
            EXPECT_EQ(off, Encode(before).size()) << "pin " << p;
        }
        EXPECT_TRUE(std::equal(stream.begin(), stream.end(),
                               slot.begin() + 2 + 6 * c.pins));
        CVozPosMed back(&f.mgr);
        back.Internalize(a);
        EXPECT_TRUE(Same(ReadList(back), l));
    }
}

TEST(PosLevel, UnmodifiedListsStoreBackTheirAttributes) {
    SlotFile f;
    POS_ATTR low = Store<CVozPosLow>(f.mgr, ExactList(300));
    POS_ATTR med = Store<CVozPosMed>(f.mgr, ExactList(3000));
    CVozPosLow l(&f.mgr);
    CVozPosMed m(&f.mgr);
    POS_ATTR a = low, b = med;
    l.Internalize(a);
    CVozPosShort* self = &l;
    l.InsertDocs(&self, 1);  // itself alone, no deletions: unchanged
    POS_ATTR out{};
    l.Externalize(out);
    EXPECT_EQ(memcmp(&out, &low, sizeof out), 0);
    m.Internalize(b);
    POS_ATTR out2{};
    m.Externalize(out2);
    EXPECT_EQ(memcmp(&out2, &med, sizeof out2), 0);
}

TEST(PosLevel, ListMergedDownToNothingGivesUpItsSlot) {
    SlotFile f;
    std::vector<Doc> docs = ExactList(400);
    POS_ATTR a = Store<CVozPosLow>(f.mgr, docs);
    f.mgr.Transaction();
    CVozPosLow l(&f.mgr);
    POS_ATTR loaded = a;
    l.Internalize(a);
    std::vector<uint32_t> all;
    for (const Doc& d : docs) all.push_back(d.id);
    l.DeleteDocs(all.data(), uint32_t(all.size()));
    CVozPosShort* self = &l;
    l.InsertDocs(&self, 1);
    l.Externalize(a);
    EXPECT_EQ(a.blockID, 0xFFFFFFFFu);
    EXPECT_EQ(a.dataleng, 0u);
    EXPECT_EQ(a.lastDocId, 0xFFFFFFFFu);
    EXPECT_EQ(a.docCount, 0u);
    // Released in this transaction already: a second release is refused.
    try {
        f.mgr.ReleaseSlot(loaded);
        ADD_FAILURE() << "slot was not released";
    } catch (const CVozException& e) {
        EXPECT_EQ(e.errcode, 3116);
    }
    f.mgr.Resume();
}

TEST(PosLevel, DocumentInTwoSourcesJoinsPositionsByFirstPosition) {
    SlotFile f;
    MemList a({{3, {1}}, {5, {40, 50}}, {9, {2}}});
    MemList b({{5, {7, 9}}, {6, {1}}});
    CVozPosLow out(&f.mgr);
    out.Internalize();
    CVozPosShort* src[2] = {&a, &b};
    out.InsertDocs(src, 2);
    POS_ATTR attr = EmptyAttr(1);
    out.Externalize(attr);
    EXPECT_EQ(attr.docCount, 4u);
    CVozPosLow back(&f.mgr);
    back.Internalize(attr);
    EXPECT_TRUE(Same(ReadList(back), {{3, {1}}, {5, {7, 9, 40, 50}}, {6, {1}}, {9, {2}}}));
    // Positions that interleave cannot be joined.
    MemList c({{5, {1, 10}}}), d({{5, {4, 20}}});
    CVozPosLow bad(&f.mgr);
    bad.Internalize();
    CVozPosShort* src2[2] = {&c, &d};
    try {
        bad.InsertDocs(src2, 2);
        ADD_FAILURE() << "overlap accepted";
    } catch (const CVozException& e) {
        EXPECT_EQ(e.retcode, 17);
        EXPECT_EQ(e.errcode, 3303);
    }
}

class NearlyFullList : public CVozPosNormal {
public:
    void SetWritten(uint64_t n) { m_written = n; }
};

TEST(PosLevel, LevelZeroListRefusesToPassFortyBits) {
    TempDir dir("poslevel");
    CVozFileIO file;
    file.Open((dir.path() + "/pos").c_str(), "wb+");
    NearlyFullList l;
    l.SetFileMgr(&file);
    l.Internalize();
    l.SetWritten(VOZ_POS_MAX_LEVEL0 - 2);
    MemList src(ExactList(4));
    CVozPosShort* s = &src;
    try {
        l.InsertDocs(&s, 1);
        POS_ATTR a{};
        l.Externalize(a);
        ADD_FAILURE() << "a list above 2^40-1 bytes was written";
    } catch (const CVozException& e) {
        EXPECT_EQ(e.retcode, VOZ_RC_LIST_TOO_LONG);
        EXPECT_EQ(e.errcode, 3267);
    }
    file.Close();
}

TEST(PosLevel, PositionsEndUntilTheNextDocument) {
    MemList l({{2, {4, 8}}, {3, {1}}});
    uint32_t doc;
    int32_t pos, count;
    ASSERT_EQ(l.PointVvgSkip(0, doc), 0);
    EXPECT_EQ(l.PointPosSkip(5, pos, count), 0);
    EXPECT_EQ(pos, 8);
    EXPECT_EQ(count, 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(l.PointPosSkip(0, pos, count), -1);
        EXPECT_EQ(pos, VOZ_POS_NO_POS);
    }
    ASSERT_EQ(l.PointVvgSkip(0, doc), 0);
    EXPECT_EQ(doc, 3u);
    EXPECT_EQ(l.PointPosSkip(0, pos, count), 0);
    EXPECT_EQ(pos, 1);
    EXPECT_EQ(l.PointVvgSkip(0, doc), -1);
    EXPECT_EQ(doc, VOZ_POS_NO_DOC);
}

// The block store's level choice from the lengths of the lists merged.
class BlockStore {
public:
    BlockStore() : m_dir("poslevel") {
        GTRSTATUS st{};
        voz_SetFctlForRead(&fs, "idx", m_dir.path().c_str(), 0, 0, "KPLQ",
                           "Full", &st);
        fs.fileType = VOZ_HALF_MAIN_NEW;
        fs.flags = VOZ_FCTL_BTREE;
        fs.sharedBlockKB = fs.branchBlockKB = fs.leafBlockKB = 16;
        vozCreateIndexDirectory(&fs, &st);
        vozCreateFirstIndex(&fs, &st);
        broker = vozAllocatePosBroker(&fs, "wb+", &st);
        EXPECT_EQ(st.retcode, 0) << st.errcode;
    }
    ~BlockStore() {
        GTRSTATUS st{};
        vozFreePosBroker(broker, &st);
    }
    // Merges the lists into key k and returns the level stored.
    int Put(KEY_REC& k, const std::vector<std::vector<Doc>>& lists,
            const std::vector<uint32_t>& del = {}) {
        if (k.level == 0) {
            broker->Internalize();
        } else {
            broker->Internalize(k);
        }
        if (!del.empty()) broker->Current()->DeleteDocs(del.data(), uint32_t(del.size()));
        std::vector<std::unique_ptr<MemList>> src;
        for (auto& l : lists) {
            src.emplace_back(new MemList(l));
            broker->Add(*src.back());
        }
        broker->Externalize(k);
        return k.level;
    }
    _FCTLHEAD fs;
    CVozPosBroker* broker;

private:
    TempDir m_dir;
};

TEST(PosBroker, LevelThresholds) {
    BlockStore b;
    uint32_t t = static_cast<CVozPosBrokerMulti*>(b.broker)->Threshold();
    EXPECT_EQ(t, 15859u);  // 0.968 of a 16 KB leaf
    struct Case {
        size_t bytes;
        int level;
    };
    for (Case c : {Case{2047, 1}, Case{2048, 2}, Case{15858, 2},
                   Case{15859, 2}, Case{15860, 4}}) {
        KEY_REC k{};
        EXPECT_EQ(b.Put(k, {ExactList(c.bytes)}), c.level) << c.bytes;
        EXPECT_EQ(k.docCount, ExactList(c.bytes).size());
    }
    // A new list starts at level 1: a sum equal to the threshold takes it
    // to level 2, one byte more to the B-tree.  So does an existing one.
    KEY_REC k1{}, k2{};
    EXPECT_EQ(b.Put(k1, {ExactList(1000)}), 1);
    EXPECT_EQ(b.Put(k1, {ExactList(t - 1000, 100000)}), 2);
    EXPECT_EQ(b.Put(k2, {ExactList(1001)}), 1);
    EXPECT_EQ(b.Put(k2, {ExactList(t - 1000, 100000)}), 4);
    // A level-2 list never goes back to level 1, a B-tree list stays.
    KEY_REC k3{};
    std::vector<Doc> l3 = ExactList(3000);
    EXPECT_EQ(b.Put(k3, {l3}), 2);
    std::vector<uint32_t> most;
    for (size_t i = 2; i < l3.size(); ++i) most.push_back(l3[i].id);
    EXPECT_EQ(b.Put(k3, {}, most), 2);  // the sum is taken before deletions
    EXPECT_EQ(k3.docCount, 2u);
    EXPECT_EQ(b.Put(k3, {ExactList(10, 900000)}), 4);
    EXPECT_EQ(b.Put(k3, {}, {0, 1}), 4);
    EXPECT_EQ(k3.docCount, ExactList(10, 900000).size());
}

// Fault mended: the key record's byte 9 (length bits 32-39) was left as
// it was by the block store; a record reused from a level-0 key kept a
// stale length extension.
TEST(PosBroker, StoresEveryByteOfTheLocation) {
    BlockStore b;
    KEY_REC k{};
    b.Put(k, {ExactList(100)});
    k.lengthHigh = 0x5A;  // stale
    b.Put(k, {ExactList(10, 5000)});
    EXPECT_EQ(k.lengthHigh, 0);
    EXPECT_EQ(k.level, 1);
    k.lengthHigh = 0x5A;  // stale, and the list stored back unchanged
    b.Put(k, {});
    EXPECT_EQ(k.lengthHigh, 0);
}

TEST(PosBroker, WorkReadersTakeListsInFileOrder) {
    TempDir dir("poslevel");
    _FCTLHEAD fs;
    GTRSTATUS st{};
    voz_SetFctlForRead(&fs, "idx", dir.path().c_str(), 0, 0, "KPLQ", "Full", &st);
    fs.fileType = VOZ_HALF_LEVEL0;
    fs.workSet = 1;
    std::vector<std::vector<Doc>> lists = {ExactList(40000, 0), ExactList(10, 7),
                                           ExactList(70001, 3)};
    std::vector<uint8_t> all;
    std::vector<KEY_REC> keys;
    for (auto& l : lists) {
        std::vector<uint8_t> b = Encode(l);
        KEY_REC k{};
        k.location = uint32_t(all.size());
        k.dataLength = uint32_t(b.size());
        k.docCount = uint32_t(l.size());
        k.lastDoc = l.back().id;
        keys.push_back(k);
        all.insert(all.end(), b.begin(), b.end());
    }
    {
        char name[VOZ_FNAME_LEN];
        voz_IDXgetFname(name, &fs, VOZ_FT_POS);
        CVozFileIO f;
        f.Open(name, "wb");
        f.Write(all.data(), int32_t(all.size()));
        f.Close();
    }
    fs.posSize = all.size();
    CVozPosBroker* owner = vozAllocatePosBroker(&fs, "rb", &st);
    ASSERT_NE(owner, nullptr) << st.errcode;
    _FCTLHEAD second = fs;
    second.sharedFrom = &fs;
    fs.posBroker = owner;
    CVozPosBroker* replica = vozAllocatePosBroker(&second, "rb", &st);
    ASSERT_NE(replica, nullptr);
    // The owner reads the first list only partly; the next list still
    // starts where the first one ends.
    CVozPos* p = owner->Internalize(keys[0]);
    uint32_t doc;
    ASSERT_EQ(p->PointVvgSkip(5, doc), 0);
    EXPECT_EQ(doc, 5u);
    EXPECT_TRUE(Same(ReadList(*owner->Internalize(keys[1])), lists[1]));
    // The replica shares the file and reads on its own.
    EXPECT_TRUE(Same(ReadList(*replica->Internalize(keys[0])), lists[0]));
    EXPECT_TRUE(Same(ReadList(*owner->Internalize(keys[2])), lists[2]));
    vozFreePosBroker(replica, &st);
    vozFreePosBroker(owner, &st);
    EXPECT_EQ(st.retcode, 0);
}

}  // namespace
