// Tests of the position B-tree: leaf and branch block formats byte by
// byte, refusal of damaged nodes (silently: nothing on stdout/stderr),
// block-size checks, key location, documents cut over several leaves,
// duplicate inserts, rollback, and a randomized insert/delete run against
// a std::map model with commits and reopening between rounds.
#include <gtest/gtest.h>

#include "engine_test_util.hpp"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "files/voz_bigendian.hpp"
#include "postings/voz_branch.hpp"
#include "postings/voz_btree.hpp"
#include "postings/voz_bufferpos.hpp"
#include "postings/voz_leaf.hpp"

namespace fs = std::filesystem;

namespace {

typedef std::map<uint32_t, std::vector<uint32_t>> Model;

// The three block files of one index, opened for update.
class Files {
public:
    // With `create`, the files are made empty first.
    Files(const std::string& dir, uint32_t leafSize, uint32_t branchSize,
          bool create = true)
        : m_dir(dir), m_leafSize(leafSize), m_branchSize(branchSize) {
        if (create) {
            CVozBlockMgr lf, nd;
            CVozSharedBlockMgr sb;
            lf.Initialize(P("LF").c_str(), P("LF.ctl").c_str(), leafSize, 1);
            nd.Initialize(P("ND").c_str(), P("ND.ctl").c_str(), branchSize, 1);
            sb.Initialize(P("SB").c_str(), P("SB.ctl").c_str(), 16384);
        }
        Open();
    }
    ~Files() {
        try {
            Close();
        } catch (const CVozException& e) {
            ADD_FAILURE() << "closing the block files: (" << e.retcode << ", "
                          << e.errcode << ")";
        }
    }

    void Open() {
        leaf = new CVozBlockMgr;
        branch = new CVozBlockMgr;
        shared = new CVozSharedBlockMgr;
        leaf->OpenBlockFile(P("LF").c_str(), m_leafSize, P("LF.ctl").c_str(),
                            P("LF.ctl").c_str());
        branch->OpenBlockFile(P("ND").c_str(), m_branchSize,
                              P("ND.ctl").c_str(), P("ND.ctl").c_str());
        shared->OpenBlockFile(P("SB").c_str(), 16384, P("SB.ctl").c_str(),
                              P("SB.ctl").c_str());
    }
    void Close() {
        if (!leaf) return;
        leaf->CloseBlockFile();
        branch->CloseBlockFile();
        shared->CloseBlockFile();
        delete leaf;
        delete branch;
        delete shared;
        leaf = branch = nullptr;
        shared = nullptr;
    }
    void Reopen() {
        Close();
        Open();
    }
    void Transaction() {
        leaf->Transaction();
        branch->Transaction();
        shared->Transaction();
    }
    void Commit() {
        leaf->Commit();
        branch->Commit();
        shared->Commit();
    }
    void Resume() {
        leaf->Resume();
        branch->Resume();
        shared->Resume();
    }
    std::string Check(const POS_ATTR& a, Model* out = nullptr) {
        VozBTreeDump dump;
        std::string err = voz_BTreeCheck(branch, leaf, shared, a, &dump);
        if (out)
            for (auto& d : dump) (*out)[d.first] = d.second;
        return err;
    }

    CVozBlockMgr* leaf = nullptr;
    CVozBlockMgr* branch = nullptr;
    CVozSharedBlockMgr* shared = nullptr;

private:
    std::string P(const char* n) const { return m_dir + "/" + n; }
    std::string m_dir;
    uint32_t m_leafSize, m_branchSize;
};

// Encodes documents as one stream, first delta from -1.
std::vector<uint8_t> Encode(const Model& docs) {
    std::vector<uint8_t> out;
    uint32_t prev = 0xFFFFFFFF;
    for (auto& d : docs) {
        std::vector<uint8_t> pos;
        uint32_t last = 0;
        for (uint32_t p : d.second) {
            uint8_t code[8];
            uint32_t n = voz_PosCodeEncode(code, p - last);
            pos.insert(pos.end(), code, code + n);
            last = p;
        }
        uint8_t head[16];
        uint32_t h = voz_PosHeaderEncode(head, d.first - prev, uint32_t(pos.size()));
        out.insert(out.end(), head, head + h);
        out.insert(out.end(), pos.begin(), pos.end());
        prev = d.first;
    }
    return out;
}

void Insert(CVozBTree& tree, const Model& docs) {
    std::vector<uint8_t> s = Encode(docs);
    POS_DATA d = POS_DATA();
    d.baseDocid = 0xFFFFFFFF;
    d.length = uint32_t(s.size());
    d.start = d.read = s.data();
    d.lastDocid = docs.empty() ? 0 : docs.rbegin()->first;
    tree.InsertDocs(d);
}

POS_ATTR EmptyList() {
    POS_ATTR a = POS_ATTR();
    a.blockID = 0xFFFFFFFF;
    a.lastDocId = 0xFFFFFFFF;
    return a;
}

// Stores `model` as a new list in one committed transaction.
POS_ATTR StoreCommitted(Files& f, const Model& model) {
    POS_ATTR a = EmptyList();
    f.Transaction();
    {
        CVozBTree tree(f.branch, f.leaf, f.shared);
        tree.Internalize(a);
        Insert(tree, model);
        tree.Externalize(a);
    }
    f.Commit();
    return a;
}

std::vector<uint32_t> Positions(std::mt19937& rng, uint32_t n) {
    std::vector<uint32_t> p;
    uint32_t at = rng() % 50;
    for (uint32_t i = 0; i < n; ++i) {
        p.push_back(at);
        uint32_t r = rng() % 100;
        at += 1 + (r < 70 ? rng() % 60 : r < 95 ? rng() % 20000 : rng() % 5000000);
    }
    return p;
}

// Reads the whole list through the tree's reader and checks it against
// the model: seeks to `targets`, then walks a few documents on.
void ReadAndCompare(CVozBTree& tree, const Model& model,
                    const std::vector<uint32_t>& targets) {
    for (uint32_t target : targets) {
        tree.ResetRead();
        auto it = model.lower_bound(target);
        uint32_t doc;
        for (int step = 0; step < 4; ++step) {
            int32_t r = tree.PointVvgSkip(target, doc);
            if (it == model.end()) {
                ASSERT_EQ(r, 99) << "target " << target;
                break;
            }
            ASSERT_EQ(r, 0) << "target " << target;
            ASSERT_EQ(doc, it->first) << "target " << target;
            std::vector<uint32_t> got;
            int32_t pos, cnt;
            while (tree.PointPosSkip(0, pos, cnt) == 0) {
                got.push_back(uint32_t(pos));
                ASSERT_EQ(uint32_t(cnt), got.size());
            }
            ASSERT_EQ(got, it->second) << "document " << doc;
            target = doc + 1;
            ++it;
        }
    }
}

}  // namespace

TEST(PosBTree, LeafRootIsWrittenByteExactToASlot) {
    TempDir dir;
    Files f(dir.path(), 1024, 80);
    POS_ATTR a = EmptyList();
    {
        CVozBTree tree(f.branch, f.leaf, f.shared);
        tree.Internalize(a);
        Insert(tree, Model{{0, {5}}, {3, {1, 70}}});
        tree.Externalize(a);
    }
    EXPECT_EQ(a.level, VOZ_POS_LEVEL_HIGH_LEAF);
    EXPECT_EQ(a.docCount, 2u);
    EXPECT_EQ(a.lastDocId, 3u);
    ASSERT_EQ(a.dataleng, 280u + 6u);
    std::vector<uint8_t> slot(a.dataleng);
    f.shared->ReadSlot(a, slot.data());
    const uint8_t head[24] = {2, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,
                              0, 0, 0, 3, 0, 0, 0, 6,  0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(slot.data(), head, 24));
    for (int i = 24; i < 280; ++i) ASSERT_EQ(slot[i], 0) << i;
    // doc 0: D=1 L=1, position 5; doc 3: D=3 L=3, positions 1 and +69.
    const uint8_t stream[6] = {0x11, 0xC5, 0x33, 0xC1, 0x80, 0x45};
    EXPECT_EQ(0, std::memcmp(slot.data() + 280, stream, 6));
    EXPECT_EQ(f.Check(a), "");
}

TEST(PosBTree, RootBranchAndLeavesHaveTheirBlockFormats) {
    TempDir dir;
    Files f(dir.path(), 600, 80);  // capacity 320; at most 4 children
    Model model;
    std::mt19937 rng(7);
    for (uint32_t d = 0; d < 120; ++d) model[d * 3] = Positions(rng, 4);
    POS_ATTR a = EmptyList();
    {
        CVozBTree tree(f.branch, f.leaf, f.shared);
        tree.Internalize(a);
        Insert(tree, model);
        tree.Externalize(a);
    }
    ASSERT_EQ(a.level, VOZ_POS_LEVEL_HIGH_BRANCH);
    std::vector<uint8_t> slot(a.dataleng);
    f.shared->ReadSlot(a, slot.data());
    uint32_t n = voz_getBE32(slot.data() + 2);
    EXPECT_EQ(slot[0], 1);
    EXPECT_TRUE(slot[1] == 1 || slot[1] == 2);
    EXPECT_GE(n, 2u);
    EXPECT_LE(n, 4u);
    EXPECT_EQ(a.dataleng, 16 + 16 * n);
    for (int i = 6; i < 16; ++i) EXPECT_EQ(slot[i], 0);
    EXPECT_EQ(voz_getBE32(slot.data() + 16 + 4), 0u);  // leftmost key (0, 0)
    EXPECT_EQ(voz_getBE32(slot.data() + 16 + 8), 0u);
    // A child in a whole block has dataleng and blkOffset 0.
    EXPECT_EQ(voz_getBE16(slot.data() + 16), 0u);
    EXPECT_EQ(voz_getBE16(slot.data() + 18), 0u);
    Model back;
    EXPECT_EQ(f.Check(a, &back), "");
    EXPECT_EQ(back, model);
}

namespace {

// A leaf image in block `b` of the leaf file with the given head bytes.
uint32_t WriteLeafBlock(CVozBlockMgr* mgr, uint8_t kind, uint8_t pins,
                        uint8_t flag, uint32_t poslen, uint32_t carried = 0) {
    uint32_t b = mgr->CreateNewBlock();
    CVozBlockInfo info;
    mgr->Pin(b, info);
    std::memset(info.data, 0, mgr->GetBlockSize());
    info.data[0] = kind;
    info.data[1] = pins;
    info.data[2] = flag;
    voz_putBE32(info.data + 16, poslen);
    voz_putBE32(info.data + 20, carried);
    mgr->MarkModified(info);
    mgr->Unpin(b, info);
    return b;
}

}  // namespace

TEST(PosBTree, DamagedNodesAreRefusedWithoutPrinting) {
    TempDir dir;
    Files f(dir.path(), 1024, 4096);
    POS_ATTR root = EmptyList();
    struct Case {
        uint8_t kind, pins, flag;
        uint32_t poslen;
        bool leaf;
        int32_t reason;
        uint32_t carried;  // leaf bytes 20-23
    } cases[] = {
        {2, 33, 0, 0, true, 6366, 0},     // more than 32 pin points
        {2, 0, 2, 0, true, 6366, 0},      // a flag byte of 2
        {2, 0, 0, 745, true, 6366, 0},    // poslen beyond capacity 744
        {1, 2, 0, 0, false, 6328, 0},     // branch with nchilds 0
        {1, 2, 0, 256, false, 6328, 0},   // more children than 255
        {1, 3, 0, 1, false, 6328, 0},     // child layer 3
        // A carried count that no document can have (the reader would
        // count on from it past 2^31), or one without flg_continued.
        {2, 0, 1, 0, true, 6366, 0x7FFFFFFF},
        {2, 0, 1, 0, true, 6366, 0x80000000},
        {2, 0, 0, 0, true, 6366, 5},
        {2, 0, 1, 0, true, 0, 5},      // sound: the leaf loads
    };
    for (const Case& c : cases) {
        uint32_t b;
        if (c.leaf) {
            b = WriteLeafBlock(f.leaf, c.kind, c.pins, c.flag, c.poslen,
                               c.carried);
        } else {
            b = f.branch->CreateNewBlock();
            CVozBlockInfo info;
            f.branch->Pin(b, info);
            std::memset(info.data, 0, 4096);
            info.data[0] = c.kind;
            info.data[1] = c.pins;
            voz_putBE32(info.data + 2, c.poslen);
            f.branch->MarkModified(info);
            f.branch->Unpin(b, info);
        }
        POS_ATTR a = POS_ATTR();
        a.blockID = b;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int32_t reason = 0;
        CVozNode* n;
        if (c.leaf)
            n = new CVozLeaf(f.leaf, f.branch, f.shared, &root);
        else
            n = new CVozBranch(f.leaf, f.branch, f.shared, &root);
        try {
            n->InternalizeNode(a, 0);
        } catch (const CVozException& e) {
            EXPECT_EQ(e.retcode, VOZ_RC_INCONSISTENT);
            reason = e.errcode;
        }
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(reason, c.reason) << int(c.kind) << "/" << c.poslen;
        if (!c.leaf) {
            EXPECT_EQ(static_cast<CVozBranch*>(n)->nchilds, 0);
        }
        n->ExternalizeNodeFree(0);
        delete n;
    }
}

TEST(PosBTree, BranchSizeGivesTheChildCountOrIsRefused) {
    TempDir dir;
    struct Case {
        uint32_t leafSize, branchSize;
        int32_t reason;   // 0: accepted
        int32_t maxChilds;
    } cases[] = {
        {4096, 4096, 0, 255}, {4096, 64, 0, 3},  {4096, 8192, 0, 256},
        {4096, 48, 6391, 0},  {512, 4096, 6390, 0}, {32768, 4096, 6390, 0},
    };
    for (const Case& c : cases) {
        std::string sub = dir.path() + "/" + std::to_string(c.branchSize) + "_" +
                          std::to_string(c.leafSize);
        fs::create_directory(sub);
        Files f(sub, c.leafSize, c.branchSize);
        int32_t reason = 0;
        try {
            CVozBTree tree(f.branch, f.leaf, f.shared);
            CVozBranch b(f.leaf, f.branch, f.shared, nullptr);
            EXPECT_EQ(b.m_maxChilds, c.maxChilds);
            EXPECT_EQ(b.m_halfChilds, (c.maxChilds + 1) / 2);
        } catch (const CVozException& e) {
            reason = e.errcode;
        }
        EXPECT_EQ(reason, c.reason) << c.leafSize << "/" << c.branchSize;
    }
}

TEST(PosBTree, LocateSubtreeAndPositionCodeSizes) {
    TempDir dir;
    Files f(dir.path(), 1024, 4096);
    CVozBranch b(f.leaf, f.branch, f.shared, nullptr);
    b.NewBlockSetting(1);
    b.nchilds = 1;
    EXPECT_EQ(b.Locate_subtree(WALKKEY{12345, 7}), 0);
    b.nchilds = 3;
    b.SetEntryKey(0, 0, 0);
    b.SetEntryKey(1, 100, 0);
    b.SetEntryKey(2, 200, 50);  // a leaf that starts inside document 200
    struct {
        WALKKEY key;
        int32_t child;
    } cases[] = {{{0, 0}, 0},     {{99, 0}, 0},    {{100, 0}, 1},
                 {{200, 0}, 1},   {{200, 49}, 1},  {{200, 50}, 2},
                 {{201, 0}, 2},   {{0xFFFFFFFE, 0}, 2}};
    for (auto& c : cases)
        EXPECT_EQ(b.Locate_subtree(c.key), c.child) << c.key.docid << "/" << c.key.poskey;
    b.ExternalizeNodeFree(0);
    struct {
        int32_t prev, cur, size;
    } codes[] = {{0, 63, 1}, {0, 64, 2}, {0, 0x0FFFFFFF, 4}, {0, 0x10000000, 5},
                 {100, 16483, 2}, {0, 0x3FFFFF, 3}};
    for (auto& c : codes) EXPECT_EQ(CVozLeaf::CalculateOnePos(c.prev, c.cur), c.size);
}

TEST(PosBTree, LongDocumentsRunOverSeveralLeaves) {
    TempDir dir;
    Files f(dir.path(), 600, 80);
    std::mt19937 rng(11);
    Model model;
    model[5] = Positions(rng, 3);
    model[6] = Positions(rng, 900);   // several leaves of 320 bytes
    model[9] = Positions(rng, 2);
    model[10] = Positions(rng, 400);
    // Short documents behind the tail of document 10 give the leaf that
    // starts inside it pin points: a pin jump must not carry the count of
    // document 10 over to the document behind the pin.
    for (uint32_t d = 11; d < 250; ++d) model[d] = {d};
    POS_ATTR a = EmptyList();
    {
        CVozBTree tree(f.branch, f.leaf, f.shared);
        tree.Internalize(a);
        Insert(tree, model);
        tree.Externalize(a);
    }
    Model back;
    ASSERT_EQ(f.Check(a, &back), "");
    EXPECT_EQ(back, model);
    EXPECT_EQ(a.docCount, 243u);
    CVozBTree tree(f.branch, f.leaf, f.shared);
    tree.Internalize(a);
    ReadAndCompare(tree, model, {0, 6, 7, 10, 11, 60, 100, 150, 200, 249, 250});
    // A position target deep inside document 6 is found in a later leaf
    // with its ordinal over the whole document.
    tree.ResetRead();
    uint32_t doc;
    ASSERT_EQ(tree.PointVvgSkip(6, doc), 0);
    int32_t pos, cnt;
    ASSERT_EQ(tree.PointPosSkip(int32_t(model[6][800]), pos, cnt), 0);
    EXPECT_EQ(uint32_t(pos), model[6][800]);
    EXPECT_EQ(cnt, 801);
    tree.ExternalizeFree();
    // Deleting the long document removes every part of it.
    {
        CVozBTree t2(f.branch, f.leaf, f.shared);
        t2.Internalize(a);
        uint32_t ids[] = {6};
        t2.DeleteDocs(ids, 1);
        t2.Externalize(a);
    }
    model.erase(6);
    back.clear();
    ASSERT_EQ(f.Check(a, &back), "");
    EXPECT_EQ(back, model);
}

TEST(PosBTree, InsertingAPresentDocumentFails) {
    TempDir dir;
    Files f(dir.path(), 1024, 4096);
    POS_ATTR a = EmptyList();
    CVozBTree tree(f.branch, f.leaf, f.shared);
    tree.Internalize(a);
    Insert(tree, Model{{1, {1}}, {4, {2}}});
    try {
        Insert(tree, Model{{4, {9}}});
        FAIL() << "duplicate accepted";
    } catch (const CVozException& e) {
        EXPECT_EQ(e.retcode, VOZ_RC_INCONSISTENT);
        EXPECT_EQ(e.errcode, 6338);
    }
}

TEST(PosBTree, ResumeKeepsTheCommittedTree) {
    TempDir dir;
    Files f(dir.path(), 600, 80);
    std::mt19937 rng(5);
    Model model;
    for (uint32_t d = 0; d < 200; ++d) model[d * 2] = Positions(rng, 3);
    POS_ATTR a = StoreCommitted(f, model);
    // Change nearly everything inside a transaction, then roll it back.
    f.Transaction();
    POS_ATTR b = a;
    {
        CVozBTree tree(f.branch, f.leaf, f.shared);
        tree.Internalize(b);
        std::vector<uint32_t> ids;
        for (uint32_t d = 0; d < 400; d += 4) ids.push_back(d);
        tree.DeleteDocs(ids.data(), uint32_t(ids.size()));
        Model more;
        for (uint32_t d = 1; d < 400; d += 2) more[d] = {1, 2, 3};
        Insert(tree, more);
        tree.Externalize(b);
    }
    f.Resume();
    f.Reopen();
    Model back;
    ASSERT_EQ(f.Check(a, &back), "");
    EXPECT_EQ(back, model);
}

// The randomized run: the same inserts and deletes on the tree and on a
// std::map; after each round the tree is committed, the files are closed
// and opened again, the tree is checked whole and read from random
// documents on.
void RandomRun(uint32_t seed, uint32_t leafSize, uint32_t branchSize,
               int rounds, bool wide);

TEST(PosBTree, AgreesWithMapModelThroughSplitsMergesAndReopen) {
    uint32_t seed = testSeed();
    // Small nodes give deep trees quickly; 64-byte branches hold an odd
    // maximum (3 children); 4 KB nodes are the sizes of a real index.
    // The last run appends pairs of ids 8-15 apart, 65528-65535 behind the
    // pair before: deleting the first of a pair lengthens the header of
    // the second (its delta passes 65535), which can split a full leaf.
    const uint32_t sizes[][4] = {{600, 80, 32, 0}, {1024, 64, 26, 0},
                                 {4096, 4096, 10, 0}, {600, 80, 16, 1}};
    for (auto& sz : sizes) {
        try {
            RandomRun(seed, sz[0], sz[1], int(sz[2]), sz[3] != 0);
        } catch (const CVozException& e) {
            FAIL() << "seed " << seed << " sizes " << sz[0] << "/" << sz[1]
                   << ": exception (" << e.retcode << ", " << e.errcode << ")";
        }
    }
}

void RandomRun(uint32_t seed, uint32_t leafSize, uint32_t branchSize,
               int rounds, bool wide) {
    std::mt19937 rng(seed);
    TempDir dir;
    Files f(dir.path(), leafSize, branchSize);
    Model model;
    POS_ATTR a = EmptyList();
    uint32_t maxLevel = 0;
    bool sawShrink = false, sawThreeLevels = false;
    for (int round = 1; round <= rounds; ++round) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " round " +
                     std::to_string(round));
        f.Transaction();
        {
            CVozBTree tree(f.branch, f.leaf, f.shared);
            tree.Internalize(a);
            int ops = 1 + rng() % 3;
            // The last round deletes everything: the tree shrinks back to
            // an empty leaf whatever the seed did before.
            bool clearAll = round == rounds;
            if (clearAll) ops = 1;
            for (int op = 0; op < ops; ++op) {
                bool grow = round < rounds / 2 ? rng() % 4 != 0 : rng() % 3 == 0;
                if (clearAll) grow = false;
                if (grow || (model.empty() && !clearAll)) {
                    Model batch;
                    int n = 1 + rng() % (rng() % 4 == 0 ? 400 : 40);
                    uint32_t span = model.empty() ? 5000 : model.rbegin()->first + 3000;
                    uint32_t walk = wide ? span : rng() % span;  // wide: append
                    for (int i = 0; i < n; ++i) {
                        uint32_t id = rng() % span;
                        if (wide) {
                            walk += i % 2 ? 8 + rng() % 8 : 65528 + rng() % 8;
                            id = walk;
                        }
                        if (model.count(id)) continue;
                        uint32_t np = rng() % 20 == 0 ? 100 + rng() % 500 : 1 + rng() % 8;
                        if (wide && np < 100) np = 1;  // entries of 5 and 2 bytes
                        batch[id] = Positions(rng, np);
                    }
                    Insert(tree, batch);
                    model.insert(batch.begin(), batch.end());
                } else {
                    std::vector<uint32_t> ids;
                    uint32_t frac = 1 + rng() % (rng() % 3 == 0 ? 2 : 8);
                    for (auto it = model.begin(); it != model.end(); ++it) {
                        auto nx = std::next(it);
                        // Wide runs delete mostly the first of close pairs.
                        bool pair = wide && nx != model.end() &&
                                    nx->first - it->first < 16;
                        if (clearAll || pair ||
                            (!wide && rng() % frac == 0))
                            ids.push_back(it->first);
                    }
                    for (int i = 0; i < 10; ++i) ids.push_back(rng() % 20000);
                    std::sort(ids.begin(), ids.end());
                    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
                    uint32_t before = tree.Root()->nodekind;
                    tree.DeleteDocs(ids.data(), uint32_t(ids.size()));
                    if (before == VOZ_NODE_BRANCH && tree.Root()->nodekind == VOZ_NODE_LEAF)
                        sawShrink = true;
                    for (uint32_t id : ids) model.erase(id);
                }
            }
            tree.Externalize(a);
        }
        f.Commit();
        f.Reopen();
        if (a.level == VOZ_POS_LEVEL_HIGH_BRANCH) {
            maxLevel = 8;
            std::vector<uint8_t> slot(a.dataleng);
            f.shared->ReadSlot(a, slot.data());
            if (slot[1] == VOZ_NODE_BRANCH) sawThreeLevels = true;
        }
        Model back;
        ASSERT_EQ(f.Check(a, &back), "");
        ASSERT_EQ(back.size(), model.size());
        ASSERT_TRUE(back == model);
        EXPECT_EQ(a.docCount, model.size());
        if (a.blockID == 0xFFFFFFFF) continue;
        CVozBTree tree(f.branch, f.leaf, f.shared);
        tree.Internalize(a);
        std::vector<uint32_t> targets;
        for (int i = 0; i < 8; ++i)
            targets.push_back(rng() % (model.empty() ? 10 : model.rbegin()->first + 10));
        ReadAndCompare(tree, model, targets);
        tree.ExternalizeFree();
    }
    // 255 children give no deep trees; the wide run only appends.
    if (branchSize > 128 || wide) return;
    EXPECT_EQ(maxLevel, 8u);
    EXPECT_TRUE(sawShrink) << "no root shrinkage happened";
    EXPECT_TRUE(sawThreeLevels) << "the tree never grew a third level";
}

// Bytes flipped anywhere in the leaf file: the checker and the reader
// report a fault or read what is there, but never run off a block or
// crash (the sanitizer build watches the reads).
TEST(PosBTree, DamagedLeafFileIsReportedNotFollowed) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    TempDir dir;
    Model model;
    for (uint32_t d = 0; d < 600; ++d) model[d * 7] = Positions(rng, 1 + rng() % 6);
    POS_ATTR a = EmptyList();
    {
        Files f(dir.path(), 600, 80);
        CVozBTree tree(f.branch, f.leaf, f.shared);
        tree.Internalize(a);
        Insert(tree, model);
        tree.Externalize(a);
    }
    std::string lf = dir.path() + "/LF/0000";  // the one part of the file
    std::vector<uint8_t> clean;
    {
        FILE* fp = std::fopen(lf.c_str(), "rb");
        ASSERT_NE(fp, nullptr);
        clean.resize(fs::file_size(lf));
        ASSERT_EQ(std::fread(clean.data(), 1, clean.size(), fp), clean.size());
        std::fclose(fp);
    }
    int faults = 0;
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<uint8_t> bad = clean;
        for (int k = 0; k < 1 + trial % 4; ++k)
            bad[rng() % bad.size()] ^= uint8_t(1 + rng() % 255);
        FILE* fp = std::fopen(lf.c_str(), "wb");
        std::fwrite(bad.data(), 1, bad.size(), fp);
        std::fclose(fp);
        Files f(dir.path(), 600, 80, false);
        if (!f.Check(a).empty()) ++faults;
        try {
            CVozBTree tree(f.branch, f.leaf, f.shared);
            tree.Internalize(a);
            uint32_t doc, target = 0;
            int32_t pos, cnt;
            while (tree.PointVvgSkip(target, doc) == 0) {
                while (tree.PointPosSkip(0, pos, cnt) == 0) {
                }
                target = doc + 1;
            }
        } catch (const CVozException& e) {
            EXPECT_EQ(e.retcode, VOZ_RC_INCONSISTENT) << "trial " << trial;
        }
    }
    EXPECT_GT(faults, 0) << "no damage was noticed at all";
}

// Merge_nodes on two branch children (at most 4 children each): above the
// maximum together they are rebalanced, left keeping half; else the right
// one's entries are appended to the left.
TEST(PosBTree, BranchChildrenAreRebalancedOrMerged) {
    TempDir dir;
    Files f(dir.path(), 1024, 80);
    struct Case {
        int32_t nl, nr, merged, left, right;
    } cases[] = {{2, 3, 0, 2, 3}, {1, 4, 0, 2, 3}, {4, 1, 0, 2, 3},
                 {4, 4, 0, 4, 4}, {2, 2, 1, 4, 0}, {1, 2, 1, 3, 0}};
    for (const Case& c : cases) {
        CVozBranch parent(f.leaf, f.branch, f.shared, nullptr);
        parent.NewBlockSetting(1);
        parent.nchilds = 2;
        parent.nodekind_childlayer = VOZ_NODE_BRANCH;
        uint32_t id = 0;
        CVozBranch* kids[2];
        for (int k = 0; k < 2; ++k) {
            kids[k] = new CVozBranch(f.leaf, f.branch, f.shared, nullptr);
            kids[k]->NewBlockSetting(1);
            kids[k]->nchilds = k == 0 ? c.nl : c.nr;
            for (int e = 0; e < kids[k]->nchilds; ++e, id += 10)
                kids[k]->SetEntryKey(e, id, 0);
            parent.m_childs[k] = kids[k];
            parent.SetEntryKey(k, kids[k]->EntryDocid(0), 0);
        }
        EXPECT_EQ(parent.Merge_nodes(0), c.merged) << c.nl << "+" << c.nr;
        EXPECT_EQ(kids[0]->nchilds, c.left) << c.nl << "+" << c.nr;
        EXPECT_EQ(kids[1]->nchilds, c.right) << c.nl << "+" << c.nr;
        // Keys stay in order across both children, and the parent's entry
        // of the right child is its first key.
        std::vector<uint32_t> all;
        for (CVozBranch* b : kids)
            for (int e = 0; e < b->nchilds; ++e) all.push_back(b->EntryDocid(e));
        for (size_t e = 0; e < all.size(); ++e) EXPECT_EQ(all[e], e * 10);
        if (!c.merged) {
            EXPECT_EQ(parent.EntryDocid(1), kids[1]->EntryDocid(0));
        }
        parent.ExternalizeNodeFree(0);
    }
}

// Deleting a document can make its follower's header longer: a document
// 65530 ids behind its predecessor with one small position (5 bytes)
// followed by one 10 ids later (2 bytes) becomes one entry of 8 bytes.  A
// leaf filled with such pairs grows past its capacity when the first of
// each pair is deleted; it must split instead of refusing the delete.
TEST(PosBTree, DeleteThatLengthensAHeaderSplitsTheLeaf) {
    const uint32_t sizes[][2] = {{1024, 4096}, {1024, 64}};
    for (auto& sz : sizes) {
        for (int pairs : {100, 400}) {  // a leaf root, and a deeper tree
            SCOPED_TRACE(std::to_string(sz[1]) + "/" + std::to_string(pairs));
            TempDir dir;
            Files f(dir.path(), sz[0], sz[1]);
            Model model;
            std::vector<uint32_t> ids;
            for (int k = 0; k < pairs; ++k) {
                uint32_t x = 1000 + uint32_t(k) * 65540;
                model[x] = {7};
                model[x + 10] = {3};
                if (k > 0) ids.push_back(x);
            }
            POS_ATTR a = StoreCommitted(f, model);
            ASSERT_EQ(f.Check(a), "");
            EXPECT_EQ(a.level, pairs == 100 ? VOZ_POS_LEVEL_HIGH_LEAF
                                            : VOZ_POS_LEVEL_HIGH_BRANCH);
            f.Transaction();
            try {
                CVozBTree tree(f.branch, f.leaf, f.shared);
                tree.Internalize(a);
                tree.DeleteDocs(ids.data(), uint32_t(ids.size()));
                tree.Externalize(a);
            } catch (const CVozException& e) {
                FAIL() << "delete failed (" << e.retcode << ", " << e.errcode
                       << ")";
            }
            f.Commit();
            f.Reopen();
            for (uint32_t id : ids) model.erase(id);
            EXPECT_EQ(a.level, VOZ_POS_LEVEL_HIGH_BRANCH);  // the root split
            Model back;
            ASSERT_EQ(f.Check(a, &back), "");
            EXPECT_EQ(back, model);
            CVozBTree tree(f.branch, f.leaf, f.shared);
            tree.Internalize(a);
            ReadAndCompare(tree, model, {0, 1010, 65540u * 50, 65540u * 89});
            tree.ExternalizeFree();
        }
    }
}

// A branch block whose entry leads back to itself (or to a branch above
// it) must be refused, not followed until the stack runs out.
TEST(PosBTree, BranchCycleIsRefused) {
    TempDir dir;
    Files f(dir.path(), 1024, 4096);
    uint32_t b = f.branch->CreateNewBlock();
    CVozBlockInfo info;
    f.branch->Pin(b, info);
    std::memset(info.data, 0, 4096);
    info.data[0] = VOZ_NODE_BRANCH;
    info.data[1] = VOZ_NODE_BRANCH;            // children are branches
    voz_putBE32(info.data + 2, 1);
    voz_putBE32(info.data + 16 + 12, b);       // entry 0: this block
    f.branch->MarkModified(info);
    f.branch->Unpin(b, info);
    std::vector<uint8_t> root(32, 0);
    root[0] = VOZ_NODE_BRANCH;
    root[1] = VOZ_NODE_BRANCH;
    voz_putBE32(root.data() + 2, 1);
    voz_putBE32(root.data() + 16 + 12, b);
    POS_ATTR a = POS_ATTR();
    a.dataleng = 32;
    a.level = VOZ_POS_LEVEL_HIGH_BRANCH;
    a.docCount = 1;
    f.shared->WriteOnBuffer(a, root.data());
    int32_t reason = 0;
    try {
        CVozBTree tree(f.branch, f.leaf, f.shared);
        tree.Internalize(a);
        uint32_t doc;
        tree.PointVvgSkip(0, doc);
    } catch (const CVozException& e) {
        EXPECT_EQ(e.retcode, VOZ_RC_INCONSISTENT);
        reason = e.errcode;
    }
    EXPECT_EQ(reason, 6328);
    EXPECT_NE(f.Check(a), "");
}

// Reading, changing the list, and reading on: the reader must not keep
// pointing into a leaf image that the change rewrote or gave back.
TEST(PosBTree, ReadingAfterAChangeSeesTheChangedList) {
    TempDir dir;
    Files f(dir.path(), 600, 80);
    std::mt19937 rng(3);
    Model model;
    for (uint32_t d = 0; d < 300; ++d) model[d * 4] = Positions(rng, 3);
    POS_ATTR a = StoreCommitted(f, model);
    CVozBTree tree(f.branch, f.leaf, f.shared);
    tree.Internalize(a);
    uint32_t doc;
    ASSERT_EQ(tree.PointVvgSkip(8, doc), 0);
    ASSERT_EQ(doc, 8u);
    Model more;
    for (uint32_t d = 1; d < 1200; d += 4) more[d] = Positions(rng, 4);
    Insert(tree, more);
    model.insert(more.begin(), more.end());
    std::vector<uint32_t> ids;
    for (uint32_t d = 0; d < 1200; d += 8) ids.push_back(d);
    tree.DeleteDocs(ids.data(), uint32_t(ids.size()));
    for (uint32_t id : ids) model.erase(id);
    // Reading goes on forward from where it was, over the changed list.
    int32_t pos, cnt;
    for (uint32_t target : {9u, 401u, 1101u}) {
        ASSERT_EQ(tree.PointVvgSkip(target, doc), 0);
        ASSERT_EQ(doc, model.lower_bound(target)->first);
        std::vector<uint32_t> got;
        while (tree.PointPosSkip(0, pos, cnt) == 0) got.push_back(uint32_t(pos));
        EXPECT_EQ(got, model[doc]);
    }
    ReadAndCompare(tree, model, {9, 100, 1100});
    tree.Externalize(a);
    Model back;
    ASSERT_EQ(f.Check(a, &back), "");
    EXPECT_EQ(back, model);
}
