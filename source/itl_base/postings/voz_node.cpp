// voz_node.cpp - CVozBridge's stream walks and the parts of loading,
// storing, pinning and copy-on-write that leaves and branches share.
#include "postings/voz_node.hpp"

#include <cstdlib>
#include <cstring>

#include "postings/voz_branch.hpp"
#include "postings/voz_bufferpos.hpp"

namespace {

[[noreturn]] void Throw(int32_t rc, int32_t reason) {
    throw CVozException(rc, reason);
}

// Walks the headers of a stream; see Extract_Signature_POS_DATA.
void WalkStream(const uint8_t* stream, uint32_t length, uint32_t& docid,
                uint32_t& lastDocid, uint32_t& count, int16_t& headerSize,
                int32_t& firstLength) {
    uint32_t off = 0, id = docid;
    count = 0;
    headerSize = 0;
    firstLength = 0;
    lastDocid = VOZ_ALL_ONES;
    while (off < length) {
        uint32_t delta, len;
        uint32_t h = voz_PosHeaderDecode(stream + off, length - off, &delta,
                                         &len);
        if (h == 0 || uint64_t(h) + len > uint64_t(length - off))
            Throw(VOZ_RC_INCONSISTENT, 6369);
        id += delta;
        if (count == 0) {
            docid = id;
            headerSize = static_cast<int16_t>(h);
            firstLength = static_cast<int32_t>(len);
        }
        lastDocid = id;
        ++count;
        off += h + len;
    }
}

}  // namespace

CVozBridge::~CVozBridge() = default;

void CVozBridge::Extract_Signature_POS_DATA(const uint8_t* stream,
                                            uint32_t length, uint32_t& docid,
                                            uint32_t& lastDocid,
                                            uint32_t& count,
                                            int16_t& headerSize,
                                            int32_t& firstLength) {
    WalkStream(stream, length, docid, lastDocid, count, headerSize,
               firstLength);
}

void CVozBridge::Print_Docid_in_POS_DATA(const uint8_t* stream,
                                         uint32_t length, uint32_t& docid,
                                         uint32_t& lastDocid, uint32_t& count,
                                         int16_t& headerSize,
                                         int32_t& firstLength) {
    WalkStream(stream, length, docid, lastDocid, count, headerSize,
               firstLength);
}

CVozNode::CVozNode(int32_t kind, CVozBlockMgr* leafMgr,
                   CVozBlockMgr* branchMgr, CVozSharedBlockMgr* sharedMgr,
                   POS_ATTR* rootAttrs)
    : m_leafMgr(leafMgr), m_branchMgr(branchMgr), m_sharedMgr(sharedMgr),
      m_attrs(), m_block(VOZ_ALL_ONES), nodekind(kind), m_rightmost(0),
      m_rootAttrs(rootAttrs), m_pinned(0), m_state(VOZ_NODE_LOADED),
      m_leafCapacity(static_cast<int16_t>(
          leafMgr->GetBlockSize() - VOZ_LEAF_HEAD)),
      m_inBlock(1) {
    m_attrs.blockID = VOZ_ALL_ONES;
    m_info.data = nullptr;
}

CVozNode::~CVozNode() {
    FreeHeap();
    // A node dropped after a failure may still hold its block: give the
    // pin back, unchanged, so that the block file can be closed.
    if (m_pinned && m_block != VOZ_ALL_ONES) {
        try {
            m_info.modified = 0;
            Mgr()->Unpin(m_block, m_info);
        } catch (const CVozException&) {
            // Nothing more to do for a block that cannot be unpinned.
        }
    }
}

void CVozNode::CheckBlockSizes(uint32_t leafBlockSize,
                               uint32_t branchBlockSize) {
    // A leaf must hold its head, room for a few documents, and fit one
    // slot of the shared file (the rightmost leaf lives there); its
    // capacity is kept in 16 bits.
    if (leafBlockSize < VOZ_LEAF_HEAD + 256 || leafBlockSize > 16384)
        Throw(VOZ_RC_INCONSISTENT, 6390);
    // A branch must hold at least three children, so that a split leaves
    // two non-empty halves and an underfull branch has a neighbour to
    // merge with.  Sizes beyond 256 children are used up to 256.
    if (branchBlockSize < VOZ_BRANCH_HEAD + 3 * VOZ_BRANCH_ENTRY ||
        branchBlockSize > 65536)
        Throw(VOZ_RC_INCONSISTENT, 6391);
}

CVozBranch* CVozNode::CreateBranch() {
    CVozBranch* b = new (std::nothrow)
        CVozBranch(m_leafMgr, m_branchMgr, m_sharedMgr, m_rootAttrs);
    if (!b) Throw(VOZ_RC_MEMORY, 6320);
    return b;
}

void CVozNode::FreeHeap() {
    if (m_block == VOZ_ALL_ONES && m_info.data) {
        std::free(m_info.data);
        m_info.data = nullptr;
    }
}

void CVozNode::PinCommon(int32_t rcPinned, int32_t rcHeap, int32_t rcNoMem) {
    if (m_block != VOZ_ALL_ONES) {
        if (m_pinned) Throw(VOZ_RC_INCONSISTENT, rcPinned);
        Mgr()->Pin(m_block, m_info, 0);
        m_pinned = 1;
        return;
    }
    if (m_info.data) Throw(VOZ_RC_INCONSISTENT, rcHeap);
    m_info.data = static_cast<uint8_t*>(std::calloc(1, BlockSize()));
    if (!m_info.data) Throw(VOZ_RC_MEMORY, rcNoMem);
    m_info.modified = 0;
}

void CVozNode::UnpinCommon(int32_t rcNoHeap, int32_t rcNotPinned) {
    if (m_block == VOZ_ALL_ONES) {
        if (!m_info.data) Throw(VOZ_RC_INCONSISTENT, rcNoHeap);
        FreeHeap();
        return;
    }
    if (nodekind == VOZ_NODE_BRANCH && m_state != VOZ_NODE_LOADED)
        Mgr()->MarkModified(m_info);
    if (m_info.data && !m_pinned) Throw(VOZ_RC_INCONSISTENT, rcNotPinned);
    if (m_pinned) Mgr()->Unpin(m_block, m_info);
    m_pinned = 0;
    m_info.data = nullptr;
}

void CVozNode::UnpinFree() {
    if (m_block == VOZ_ALL_ONES) {
        FreeHeap();
        return;
    }
    if (m_pinned) {
        // Nothing was marked: the pool keeps the block as it was.
        m_info.modified = 0;
        Mgr()->Unpin(m_block, m_info);
    }
    m_pinned = 0;
    m_info.data = nullptr;
}

void CVozNode::ReleaseBlockCommon(int32_t rcHeap) {
    if (m_inBlock) {
        if (m_block == VOZ_ALL_ONES) {
            if (m_info.data) Throw(VOZ_RC_INCONSISTENT, rcHeap);
            return;  // never given a block: nothing to give back
        }
        Mgr()->ReleaseBlock(m_block);
        return;
    }
    m_sharedMgr->ReleaseSlot(m_attrs);
    m_attrs.blockID = 0;
    m_attrs.blkOffset = 0;
    m_attrs.dataleng = 0;
}

void CVozNode::MakeWritableCommon(int32_t rcNotPinned) {
    if (m_state != VOZ_NODE_LOADED) return;
    if (m_inBlock && m_block != VOZ_ALL_ONES) {
        if (!m_pinned) Throw(VOZ_RC_INCONSISTENT, rcNotPinned);
        uint32_t fresh = Mgr()->CreateNewBlock();
        CVozBlockInfo info;
        Mgr()->Pin(fresh, info, 0);
        std::memcpy(info.data, m_info.data, BlockSize());
        uint32_t old = m_block;
        m_info.modified = 0;
        Mgr()->Unpin(old, m_info);
        Mgr()->ReleaseBlock(old);
        m_block = fresh;
        m_info = info;
        m_pinned = 1;
    }
    m_state = VOZ_NODE_MODIFIED;
    if (m_block != VOZ_ALL_ONES) Mgr()->MarkModified(m_info);
}

void CVozNode::NewBlockCommon(int32_t inMemory) {
    if (inMemory) {
        m_block = VOZ_ALL_ONES;
        m_state = VOZ_NODE_LOADED;
    } else {
        m_block = Mgr()->CreateNewBlock();
        m_state = VOZ_NODE_CREATED;
    }
    Pin();
    if (!inMemory) {
        std::memset(m_info.data, 0, BlockSize());
        Mgr()->MarkModified(m_info);
    }
    m_inBlock = 1;
}

void CVozNode::Pin2(int32_t fromSlot) {
    if (fromSlot) {
        ReadSlotImage();
    } else if (m_attrs.dataleng != 0) {
        NewBlockSetting(1);
        ReadSlotImage();
    } else {
        m_block = m_attrs.blockID;
        Pin();
        m_attrs.blkOffset = 0;
        m_attrs.dataleng = 0;
        m_inBlock = 1;
    }
}

void CVozNode::ReadSlotImage() {
    if (m_attrs.dataleng > BlockSize())
        Throw(VOZ_RC_INCONSISTENT,
              nodekind == VOZ_NODE_LEAF ? 6366 : 6328);
    m_sharedMgr->ReadSlot(m_attrs, m_info.data);
    m_block = VOZ_ALL_ONES;
    m_inBlock = 0;
}

void CVozNode::StoreToSlot(uint32_t length) {
    POS_ATTR a = m_attrs;
    a.dataleng = length;
    bool hadSlot = !m_inBlock && m_attrs.dataleng != 0 &&
                   m_attrs.blockID != VOZ_ALL_ONES;
    if (hadSlot) {
        a.blockID = m_attrs.blockID;
        a.blkOffset = m_attrs.blkOffset;
        m_sharedMgr->WriteSlot(a, m_info.data);
    } else {
        m_sharedMgr->WriteOnBuffer(a, m_info.data);
    }
    if (m_block != VOZ_ALL_ONES) {
        uint32_t old = m_block;
        UnpinFree();
        Mgr()->ReleaseBlock(old);
    } else {
        FreeHeap();
    }
    m_attrs.blockID = a.blockID;
    m_attrs.blkOffset = a.blkOffset;
    m_attrs.dataleng = a.dataleng;
    m_block = VOZ_ALL_ONES;
    m_inBlock = 0;
}

void CVozNode::StoreToBlock() {
    if (m_block == VOZ_ALL_ONES) {
        uint32_t fresh = Mgr()->CreateNewBlock();
        CVozBlockInfo info;
        Mgr()->Pin(fresh, info, 0);
        std::memcpy(info.data, m_info.data, BlockSize());
        FreeHeap();
        m_block = fresh;
        m_info = info;
        m_pinned = 1;
    }
    if (!m_inBlock && m_attrs.dataleng != 0) m_sharedMgr->ReleaseSlot(m_attrs);
    Mgr()->MarkModified(m_info);
    Mgr()->Unpin(m_block, m_info);
    m_pinned = 0;
    m_info.data = nullptr;
    m_attrs.blockID = m_block;
    m_attrs.blkOffset = 0;
    m_attrs.dataleng = 0;
    m_inBlock = 1;
}
