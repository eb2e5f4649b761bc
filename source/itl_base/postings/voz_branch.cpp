// voz_branch.cpp - CVozBranch: loading, validating, storing and releasing
// a branch, its child entries, and the read walk that moves a chunk from
// leaf to leaf.  Insert, delete and merge are in voz_branch_change.cpp.
#include "postings/voz_branch.hpp"

#include <cstring>
#include <new>

#include "files/voz_bigendian.hpp"
#include "postings/voz_leaf.hpp"

namespace {

[[noreturn]] void Throw(int32_t rc, int32_t reason) {
    throw CVozException(rc, reason);
}

constexpr int32_t kMaxBranchDepth = 40;

}  // namespace

CVozBranch::CVozBranch(CVozBlockMgr* leafMgr, CVozBlockMgr* branchMgr,
                       CVozSharedBlockMgr* sharedMgr, POS_ATTR* rootAttrs)
    : CVozNode(VOZ_NODE_BRANCH, leafMgr, branchMgr, sharedMgr, rootAttrs),
      m_sibling(nullptr), m_entries(nullptr), nchilds(0),
      nodekind_childlayer(VOZ_NODE_LEAF), m_childs(), m_depth(0) {
    int32_t max = (static_cast<int32_t>(branchMgr->GetBlockSize()) -
                   VOZ_BRANCH_HEAD) / VOZ_BRANCH_ENTRY;
    if (max > VOZ_BRANCH_MAX_CHILDREN) max = VOZ_BRANCH_MAX_CHILDREN;
    m_maxChilds = static_cast<int16_t>(max);
    m_halfChilds = static_cast<int16_t>((max + 1) / 2);
}

CVozBranch::~CVozBranch() {
    DeleteChildren();
    delete m_sibling;
}

void CVozBranch::DeleteChildren() {
    for (CVozNode*& c : m_childs) {
        delete c;
        c = nullptr;
    }
}

// ---- entries ----------------------------------------------------------

uint16_t CVozBranch::EntryLength(int32_t i) const {
    return voz_getBE16(m_entries + i * VOZ_BRANCH_ENTRY);
}
uint16_t CVozBranch::EntryOffset(int32_t i) const {
    return voz_getBE16(m_entries + i * VOZ_BRANCH_ENTRY + 2);
}
uint32_t CVozBranch::EntryDocid(int32_t i) const {
    return voz_getBE32(m_entries + i * VOZ_BRANCH_ENTRY + 4);
}
int32_t CVozBranch::EntryKey(int32_t i) const {
    return static_cast<int32_t>(
        voz_getBE32(m_entries + i * VOZ_BRANCH_ENTRY + 8));
}
uint32_t CVozBranch::EntryBlock(int32_t i) const {
    return voz_getBE32(m_entries + i * VOZ_BRANCH_ENTRY + 12);
}
void CVozBranch::SetEntryKey(int32_t i, uint32_t docid, int32_t key) {
    voz_putBE32(m_entries + i * VOZ_BRANCH_ENTRY + 4, docid);
    voz_putBE32(m_entries + i * VOZ_BRANCH_ENTRY + 8,
                static_cast<uint32_t>(key));
}
void CVozBranch::SetEntryPlace(int32_t i, const POS_ATTR& a) {
    uint8_t* e = m_entries + i * VOZ_BRANCH_ENTRY;
    voz_putBE16(e, static_cast<uint16_t>(a.dataleng));
    voz_putBE16(e + 2, a.blkOffset);
    voz_putBE32(e + 12, a.blockID);
}

// ---- pinning and storing ---------------------------------------------

void CVozBranch::Pin() { PinCommon(6313, 6374, 6375); }

void CVozBranch::Unpin() {
    UnpinCommon(6373, 6312);
    m_entries = nullptr;
}

void CVozBranch::ReleaseBlock() { ReleaseBlockCommon(6371); }

void CVozBranch::MakeWritable() {
    MakeWritableCommon(6301);
    m_entries = m_info.data + VOZ_BRANCH_HEAD;
}

uint32_t CVozBranch::NewBlockSetting(int32_t inMemory) {
    NewBlockCommon(inMemory);
    m_entries = m_info.data + VOZ_BRANCH_HEAD;
    DeleteChildren();
    return m_block;
}

bool CVozBranch::HeadValid() const {
    return nodekind == VOZ_NODE_BRANCH &&
           (nodekind_childlayer == VOZ_NODE_BRANCH ||
            nodekind_childlayer == VOZ_NODE_LEAF) &&
           nchilds >= 1 && nchilds <= m_maxChilds;
}

void CVozBranch::InternalizeNode(POS_ATTR attrs, int32_t isRoot) {
    m_attrs = attrs;
    Pin2(isRoot);
    const uint8_t* img = m_info.data;
    m_entries = m_info.data + VOZ_BRANCH_HEAD;
    nodekind = img[0];
    nodekind_childlayer = img[1];
    nchilds = static_cast<int32_t>(voz_getBE32(img + 2));
    DeleteChildren();
    bool valid = HeadValid();
    // A slot must hold the head and every entry it counts.
    if (valid && !m_inBlock &&
        m_attrs.dataleng <
            uint32_t(VOZ_BRANCH_HEAD + VOZ_BRANCH_ENTRY * nchilds))
        valid = false;
    nodekind = VOZ_NODE_BRANCH;
    if (!valid) {
        nchilds = 0;
        Throw(VOZ_RC_INCONSISTENT, 6328);
    }
}

// Writes out loaded child i and drops it; its entry takes its place.
void CVozBranch::WriteChild(int32_t i, int32_t rightmost) {
    CVozNode* c = m_childs[i];
    if (!c) return;
    c->m_rightmost = rightmost;
    c->ExternalizeNode(0);
    if (m_state != VOZ_NODE_LOADED) {
        SetEntryPlace(i, c->m_attrs);
    } else if (EntryBlock(i) != c->m_attrs.blockID ||
               EntryLength(i) != c->m_attrs.dataleng ||
               EntryOffset(i) != c->m_attrs.blkOffset) {
        // A child moved while this branch was not made writable: a
        // change walked past MakeWritable.
        m_childs[i] = nullptr;
        delete c;
        Throw(VOZ_RC_INCONSISTENT, 6327);
    }
    m_childs[i] = nullptr;
    delete c;
}

void CVozBranch::ExternalizeLowerChild(int32_t n) {
    for (int32_t i = 0; i < n && i < nchilds; ++i) WriteChild(i, 0);
}

void CVozBranch::Unpin2(int32_t toSlot) {
    if (m_state != VOZ_NODE_MODIFIED && m_state != VOZ_NODE_CREATED) {
        Unpin();
        return;
    }
    if (toSlot)
        StoreToSlot(uint32_t(VOZ_BRANCH_HEAD + VOZ_BRANCH_ENTRY * nchilds));
    else
        StoreToBlock();
    m_entries = nullptr;
    m_state = VOZ_NODE_LOADED;
}

uint32_t CVozBranch::ExternalizeNode(int32_t isRoot) {
    for (int32_t i = 0; i < nchilds; ++i)
        WriteChild(i, (i == nchilds - 1 && m_rightmost) ? 1 : 0);
    if (m_state == VOZ_NODE_MODIFIED || m_state == VOZ_NODE_CREATED) {
        if (!HeadValid()) Throw(VOZ_RC_INCONSISTENT, 6327);
        uint8_t* img = m_info.data;
        std::memset(img, 0, VOZ_BRANCH_HEAD);
        img[0] = VOZ_NODE_BRANCH;
        img[1] = static_cast<uint8_t>(nodekind_childlayer);
        voz_putBE32(img + 2, static_cast<uint32_t>(nchilds));
        std::memset(m_entries + nchilds * VOZ_BRANCH_ENTRY, 0,
                    (m_maxChilds - nchilds) * VOZ_BRANCH_ENTRY);
    }
    Unpin2(isRoot);
    return m_inBlock ? m_block : VOZ_ALL_ONES;
}

uint32_t CVozBranch::ExternalizeNodeFree(int32_t /*isRoot*/) {
    for (int32_t i = 0; i < nchilds && i < VOZ_BRANCH_MAX_CHILDREN; ++i) {
        CVozNode* c = m_childs[i];
        if (!c) continue;
        c->ExternalizeNodeFree(0);
        m_childs[i] = nullptr;
        delete c;
    }
    UnpinFree();
    m_entries = nullptr;
    return m_inBlock ? m_block : VOZ_ALL_ONES;
}

// ---- children and keys -------------------------------------------------

int32_t CVozBranch::Locate_subtree(const WALKKEY& key) const {
    for (int32_t i = nchilds - 1; i >= 1; --i)
        if (voz_KeyLessEq(EntryDocid(i), EntryKey(i), key)) return i;
    return 0;
}

CVozNode* CVozBranch::LoadChild(int32_t index) {
    if (m_childs[index]) return m_childs[index];
    CVozNode* c;
    if (nodekind_childlayer == VOZ_NODE_LEAF) {
        c = new (std::nothrow)
            CVozLeaf(m_leafMgr, m_branchMgr, m_sharedMgr, m_rootAttrs);
        if (!c) Throw(VOZ_RC_MEMORY, 6310);
    } else if (nodekind_childlayer == VOZ_NODE_BRANCH) {
        // Every branch has at least two children (the half count is 2 or
        // more below the root), so 2^31 documents never need this many
        // branch levels: a deeper chain loops back through damaged blocks.
        if (m_depth + 1 > kMaxBranchDepth) Throw(VOZ_RC_INCONSISTENT, 6328);
        CVozBranch* b = CreateBranch();
        b->m_depth = m_depth + 1;
        c = b;
    } else {
        Throw(VOZ_RC_INCONSISTENT, 6322);
    }
    c->m_rightmost = (m_rightmost && index == nchilds - 1) ? 1 : 0;
    POS_ATTR a = POS_ATTR();
    a.blockID = EntryBlock(index);
    a.blkOffset = EntryOffset(index);
    a.dataleng = EntryLength(index);
    try {
        c->InternalizeNode(a, 0);
    } catch (...) {
        delete c;
        throw;
    }
    m_childs[index] = c;
    return c;
}

void CVozBranch::Get_DocidStart(uint32_t& docid, int32_t& position) {
    docid = EntryDocid(0);
    position = EntryKey(0);
}

void CVozBranch::Get_DocidEnd(uint32_t& docid) {
    LoadChild(nchilds - 1)->Get_DocidEnd(docid);
}

uint32_t CVozBranch::ExtractMaxDocid() {
    if (!m_rightmost) Throw(VOZ_RC_INCONSISTENT, 6381);
    return LoadChild(nchilds - 1)->ExtractMaxDocid();
}

uint32_t CVozBranch::ExtractNumdoc() {
    uint32_t n = 0;
    for (int32_t i = 0; i < nchilds; ++i) {
        bool loaded = m_childs[i] != nullptr;
        n += LoadChild(i)->ExtractNumdoc();
        if (!loaded) WriteChild(i, 0);
    }
    return n;
}

// ---- reading -----------------------------------------------------------

int32_t CVozBranch::Load_aux(WALKKEY& key, CVozChunk** chunk) {
    int32_t i = Locate_subtree(key);
    // One path stays loaded: write out the others.
    for (int32_t k = 0; k < nchilds; ++k)
        if (k != i && m_childs[k]) WriteChild(k, 0);
    return LoadChild(i)->Load_aux(key, chunk);
}

int32_t CVozBranch::Next_aux(WALKKEY& key, CVozChunk** chunk) {
    int32_t cur = -1;
    for (int32_t k = 0; k < nchilds; ++k)
        if (m_childs[k]) {
            cur = k;
            break;
        }
    if (cur < 0) return Load_aux(key, chunk);
    if (nodekind_childlayer == VOZ_NODE_LEAF) {
        WriteChild(cur, (cur == nchilds - 1 && m_rightmost) ? 1 : 0);
        if (cur + 1 >= nchilds) return VOZ_NEXT_NONE;
        return LoadChild(cur + 1)->Load_aux(key, chunk);
    }
    int32_t i = Locate_subtree(key);
    if (i <= cur) {
        int32_t r = m_childs[cur]->Next_aux(key, chunk);
        while (r == VOZ_NEXT_NONE) {
            WriteChild(cur, (cur == nchilds - 1 && m_rightmost) ? 1 : 0);
            if (++cur >= nchilds) return VOZ_NEXT_NONE;
            r = LoadChild(cur)->Next_aux(key, chunk);
        }
        return r;
    }
    WriteChild(cur, 0);
    return LoadChild(i)->Load_aux(key, chunk);
}
