// voz_poshigh.cpp - CVozPosHigh over CVozBTree (see voz_poshigh.hpp).
//
// Feeding the tree: the short sources are merged exactly as a short list
// merges them (CVozPosShort::InsertDocs: runs copied as bytes, documents in
// several sources joined, deletions dropped) into a feeder whose output is
// handed to the tree in pieces of about 64 KB instead of being kept.  Each
// piece is one POS_DATA whose first delta is relative to the last document
// of the piece before it.
#include "postings/voz_poshigh.hpp"

#include <new>

#include "postings/voz_btree.hpp"

namespace {

constexpr uint32_t kFeedPiece = 65536;

class CVozPosTreeFeed : public CVozPosShort {
public:
    explicit CVozPosTreeFeed(CVozBTree* tree)
        : m_tree(tree), m_base(0xFFFFFFFFu) {}

    void Run(CVozPosShort** sources, uint32_t n) {
        InsertDocs(sources, n);
        Feed(m_cur, m_cur->iv_lastDoc);
    }
    void FlushData(CVozBufferPos* out) override {
        if (out->Used() >= kFeedPiece) {
            Feed(out, static_cast<uint32_t>(out->iv_curDoc));
        }
    }
    int32_t GetLevel() override { return VOZ_POS_LEVEL_LOW; }
    void RemovePos(POS_ATTR& a) override { (void)a; }

protected:
    bool KeepsUnchangedList() override { return false; }

private:
    void Feed(CVozBufferPos* b, uint32_t last) {
        if (b->Used() == 0) return;
        POS_DATA d{};
        d.baseDocid = m_base;
        d.length = b->Used();
        d.start = d.read = b->iv_data;
        d.lastDocid = last;
        m_tree->InsertDocs(d);
        m_base = last;
        b->iv_read = b->iv_end = b->iv_data;
    }

    CVozBTree* m_tree;
    uint32_t m_base;
};

}  // namespace

CVozPosHigh::CVozPosHigh()
    : m_branch(nullptr), m_leaf(nullptr), m_shared(nullptr), m_attr{},
      m_changed(0), m_started(0), m_lastDoc(0) {}

CVozPosHigh::CVozPosHigh(CVozBlockMgr* branch, CVozBlockMgr* leaf,
                         CVozSharedBlockMgr* shared)
    : m_branch(branch), m_leaf(leaf), m_shared(shared), m_attr{},
      m_changed(0), m_started(0), m_lastDoc(0) {}

CVozPosHigh::~CVozPosHigh() = default;

void CVozPosHigh::SetBlockMgr(CVozBlockMgr* branch, CVozBlockMgr* leaf,
                              CVozSharedBlockMgr* shared) {
    m_branch = branch;
    m_leaf = leaf;
    m_shared = shared;
}

CVozBTree& CVozPosHigh::Tree() {
    if (!m_tree) throw CVozException(VOZ_RC_INCONSISTENT, 6199);
    return *m_tree;
}

void CVozPosHigh::Internalize(POS_ATTR& a) {
    m_tree.reset();
    std::unique_ptr<CVozBTree> tree(
        new (std::nothrow) CVozBTree(m_branch, m_leaf, m_shared));
    if (!tree) throw CVozException(VOZ_RC_MEMORY, 6114);
    tree->Internalize(a);
    m_tree = std::move(tree);
    m_attr = a;
    m_changed = 0;
    m_started = 0;
    m_lastDoc = 0;
}

void CVozPosHigh::Externalize(POS_ATTR& a) {
    if (!m_changed) {
        a = m_attr;
        ExternalizeFree();
        return;
    }
    Tree().Externalize(a);
    m_tree.reset();
    m_attr = a;
    m_changed = 0;
}

void CVozPosHigh::ExternalizeFree() {
    if (!m_tree) return;
    std::unique_ptr<CVozBTree> tree = std::move(m_tree);
    tree->ExternalizeFree();
}

void CVozPosHigh::InsertDocs(POS_DATA& d) {
    m_changed = 1;
    Tree().InsertDocs(d);
}

void CVozPosHigh::DeleteDocs(const uint32_t* ids, uint32_t n) {
    if (ids == nullptr || n == 0) return;
    m_changed = 1;
    Tree().DeleteDocs(ids, n);
}

void CVozPosHigh::AddToBTree(CVozPosShort** sources, uint32_t n) {
    m_changed = 1;
    CVozPosTreeFeed feed(&Tree());
    feed.Run(sources, n);
}

int32_t CVozPosHigh::PointVvgSkip(uint32_t target, uint32_t& doc) {
    // A document cut over two leaves shows up in both: never answer the
    // current document again.
    if (m_started && target <= m_lastDoc) target = m_lastDoc + 1;
    int32_t rc = Tree().PointVvgSkip(target, doc);
    if (rc != 0) {
        doc = VOZ_POS_NO_DOC;
        return rc;
    }
    m_started = 1;
    m_lastDoc = doc;
    return 0;
}

int32_t CVozPosHigh::PointPosSkip(int32_t target, int32_t& pos,
                                  int32_t& count) {
    return Tree().PointPosSkip(target, pos, count);
}
