// voz_btree.cpp - CVozBTree: the root of one list's B-tree, root growth
// and shrinkage, reading through a chunk, and storing the root.
#include "postings/voz_btree.hpp"

#include <new>

#include "postings/voz_branch.hpp"
#include "postings/voz_bufferpos.hpp"
#include "postings/voz_leaf.hpp"

namespace {

[[noreturn]] void Throw(int32_t rc, int32_t reason) {
    throw CVozException(rc, reason);
}

constexpr int32_t kListEnd = 99;

}  // namespace

CVozBTree::CVozBTree(CVozBlockMgr* branchMgr, CVozBlockMgr* leafMgr,
                     CVozSharedBlockMgr* sharedMgr)
    : m_branchMgr(branchMgr), m_leafMgr(leafMgr), m_sharedMgr(sharedMgr),
      m_root(nullptr), m_chunk(nullptr), m_attrs(), m_state(5), m_ended(0),
      m_lastAsked(0) {
    CVozNode::CheckBlockSizes(leafMgr->GetBlockSize(),
                              branchMgr->GetBlockSize());
    m_chunk = new (std::nothrow) CVozChunk();
    if (!m_chunk) Throw(VOZ_RC_MEMORY, 6114);
    m_attrs.blockID = VOZ_ALL_ONES;
    m_attrs.lastDocId = VOZ_ALL_ONES;
}

CVozBTree::~CVozBTree() {
    try {
        ExternalizeFree();
    } catch (const CVozException&) {
        // Nothing more can be done about a failing release here.
    }
    delete m_root;
    delete m_chunk;
}

void CVozBTree::ExternalizeFree() {
    if (m_root) {
        m_root->ExternalizeNodeFree(1);
        delete m_root;
        m_root = nullptr;
    }
}

void CVozBTree::Internalize(const POS_ATTR& a) {
    ExternalizeFree();
    m_attrs = a;
    m_state = 5;
    m_ended = 0;
    m_chunk->iv_state = VOZ_CHUNK_LEAF_END;
    m_chunk->iv_data = nullptr;
    CVozNode* root;
    if (a.blockID == VOZ_ALL_ONES) {
        root = new (std::nothrow)
            CVozLeaf(m_leafMgr, m_branchMgr, m_sharedMgr, &m_attrs);
        if (!root) Throw(VOZ_RC_MEMORY, 6115);
        root->m_rightmost = 1;
        root->NewBlockSetting(1);
        m_attrs.docCount = 0;
        m_attrs.lastDocId = VOZ_ALL_ONES;
        m_attrs.blkOffset = 0;
        m_attrs.dataleng = 0;
        m_attrs.level = VOZ_POS_LEVEL_HIGH_LEAF;
        m_root = root;
        return;
    }
    if (a.level == VOZ_POS_LEVEL_HIGH_LEAF)
        root = new (std::nothrow)
            CVozLeaf(m_leafMgr, m_branchMgr, m_sharedMgr, &m_attrs);
    else
        root = new (std::nothrow)
            CVozBranch(m_leafMgr, m_branchMgr, m_sharedMgr, &m_attrs);
    if (!root) Throw(VOZ_RC_MEMORY, a.level == 4 ? 6115 : 6120);
    root->m_rightmost = 1;
    try {
        root->NewBlockSetting(1);
        root->InternalizeNode(a, 1);
    } catch (...) {
        delete root;
        throw;
    }
    m_root = root;
}

bool CVozBTree::LumpDone(const CVozLump& lump) const {
    return lump.iv_atDocStart && lump.iv_nextDocOffset >= lump.iv_total;
}

void CVozBTree::InsertDocs(POS_DATA& d) {
    CVozLump lump(d.start, static_cast<int32_t>(d.length), d.baseDocid, 0);
    int32_t len;
    WALKKEY start{lump.CheckNextDocid(len), 0}, next{0, 0};
    WALKKEY end{VOZ_ALL_ONES, 0};
    while (!LumpDone(lump)) {
        childinfo_struct sibling = childinfo_struct();
        RESULT_OPE result = VOZ_OPE_NONE;
        m_root->Insert_aux(start, next, end, &lump, &sibling, VOZ_INSERT_NEW,
                           &result);
        if (result == VOZ_OPE_SPLIT) {
            // The tree grows by one level at the top.
            CVozBranch* root;
            try {
                root = CVozBranch::GrowRoot(m_root, sibling);
            } catch (...) {
                delete sibling.node;
                throw;
            }
            m_root = root;
        }
        start = next;
    }
    m_state = 6;
    // The reader's leaf may have been rewritten or given back.
    ResetRead();
}

// A root branch left with one child hands the root to that child.
void CVozBTree::ShrinkRoot() {
    while (m_root->nodekind == VOZ_NODE_BRANCH) {
        CVozBranch* b = static_cast<CVozBranch*>(m_root);
        if (b->nchilds != 1) return;
        CVozNode* child = b->LoadChild(0);
        b->m_childs[0] = nullptr;
        child->m_rightmost = 1;
        child->MakeWritable();
        b->Unpin();
        b->ReleaseBlock();
        delete b;
        m_root = child;
        if (child->nodekind == VOZ_NODE_BRANCH)
            static_cast<CVozBranch*>(child)->FixRightmost();
    }
}

void CVozBTree::DeleteDocs(const uint32_t* ids, uint32_t n) {
    uint32_t* cursor = const_cast<uint32_t*>(ids);
    uint32_t count = n;
    WALKKEY end{VOZ_ALL_ONES, 0};
    WALKKEY start{count ? cursor[0] : VOZ_ALL_ONES, 0};
    while (count > 0) {
        RESULT_OPE result = VOZ_OPE_NONE;
        uint32_t before = count;
        WALKKEY from = start;
        m_root->Delete_aux(start, end, &cursor, count, &result);
        if (result == VOZ_OPE_SPLIT) {
            // A leaf outgrew its block when a follower's header grew and
            // the split went up to the root: the tree grows at the top.
            childinfo_struct sibling = CVozBranch::TakePending(m_root);
            try {
                m_root = CVozBranch::GrowRoot(m_root, sibling);
            } catch (...) {
                delete sibling.node;
                throw;
            }
        }
        ShrinkRoot();
        // A call that neither consumed an id nor moved on makes no
        // progress: the tree does not hold what its keys promise.
        if (count == before && start.docid == from.docid &&
            start.poskey == from.poskey)
            Throw(VOZ_RC_INCONSISTENT, 6344);
    }
    m_state = 6;
    ResetRead();
}

void CVozBTree::Externalize(POS_ATTR& a) {
    if (!m_root) Throw(VOZ_RC_INCONSISTENT, 6109);
    if (m_state == 6) m_attrs.lastDocId = m_root->ExtractMaxDocid();
    bool empty = m_root->nodekind == VOZ_NODE_LEAF &&
                 static_cast<CVozLeaf*>(m_root)->pos_block.poslen == 0;
    if (empty) {
        m_root->Unpin();
        m_root->ReleaseBlock();
        m_attrs.blockID = VOZ_ALL_ONES;
        m_attrs.blkOffset = 0;
        m_attrs.dataleng = 0;
        m_attrs.lastDocId = VOZ_ALL_ONES;
        m_attrs.docCount = 0;
    } else {
        m_root->m_rightmost = 1;
        // The root always lives in a slot: one that came from a block (a
        // child that became the root) is moved there.
        if (m_root->m_inBlock && m_root->m_block != VOZ_ALL_ONES)
            m_root->MakeWritable();
        m_root->ExternalizeNode(1);
        m_attrs.blockID = m_root->m_attrs.blockID;
        m_attrs.blkOffset = m_root->m_attrs.blkOffset;
        m_attrs.dataleng = m_root->m_attrs.dataleng;
        if (m_attrs.dataleng == 0) Throw(VOZ_RC_INCONSISTENT, 6109);
    }
    m_attrs.level = m_root->nodekind == VOZ_NODE_BRANCH
                        ? VOZ_POS_LEVEL_HIGH_BRANCH
                        : VOZ_POS_LEVEL_HIGH_LEAF;
    delete m_root;
    m_root = nullptr;
    a = m_attrs;
}

void CVozBTree::ResetRead() {
    if (m_root && m_root->nodekind == VOZ_NODE_BRANCH) {
        CVozBranch* b = static_cast<CVozBranch*>(m_root);
        b->ExternalizeLowerChild(b->nchilds);
    }
    // Not set up over any leaf: no document is current until the next
    // PointVvgSkip.
    *m_chunk = CVozChunk();
    m_chunk->iv_state = VOZ_CHUNK_LEAF_END;
    m_ended = 0;
    m_lastAsked = 0;
}

int32_t CVozBTree::PointVvgSkip(uint32_t target, uint32_t& doc) {
    if (m_ended) return kListEnd;
    bool leafRoot = m_root->nodekind == VOZ_NODE_LEAF;
    while (true) {
        if (m_chunk->iv_state == VOZ_CHUNK_LEAF_END) {
            // Past the single leaf of a leaf root: the list has ended.
            if (leafRoot && m_chunk->iv_data != nullptr) break;  // set once
            WALKKEY key{target, 0};
            if (m_root->Next_aux(key, &m_chunk) == VOZ_NEXT_NONE) break;
        }
        // A pin jump passes the leaf's first document: a count carried
        // over from the previous leaf belongs to that document only, so the
        // chunk must not start the document behind the pin with it.
        if (m_chunk->SkipByPinPoint(target)) m_chunk->iv_continued = 0;
        uint32_t id;
        int32_t len;
        if (m_chunk->ExtractVvg(&id, &len) == VOZ_CHUNK_LEAF_END) {
            m_chunk->iv_state = VOZ_CHUNK_LEAF_END;
            continue;
        }
        if (id >= target) {
            m_chunk->iv_state = VOZ_CHUNK_OK;
            m_lastAsked = id;
            doc = id;
            return 0;
        }
    }
    m_ended = 1;
    doc = VOZ_POS_NO_DOC;
    return kListEnd;
}

int32_t CVozBTree::PointPosSkip(int32_t target, int32_t& pos,
                                int32_t& count) {
    if (m_ended) return kListEnd;
    if (m_chunk->iv_data == nullptr) {  // no current document
        pos = VOZ_POS_NO_POS;
        return -1;
    }
    while (true) {
        int32_t r = m_chunk->ExtractPos(target, &pos, &count);
        if (r == VOZ_CHUNK_OK) return 0;
        if (r == VOZ_CHUNK_DOC_END) {
            pos = VOZ_POS_NO_POS;
            return -1;
        }
        // The document goes on in the next leaf with a fresh header.
        uint32_t doc = m_lastAsked, again;
        m_chunk->iv_state = VOZ_CHUNK_LEAF_END;
        if (PointVvgSkip(doc, again) != 0) return kListEnd;
        if (again != doc) {
            pos = VOZ_POS_NO_POS;
            return -1;
        }
    }
}
