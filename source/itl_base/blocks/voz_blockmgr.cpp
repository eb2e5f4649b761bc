// voz_blockmgr.cpp - the block manager: pins, allocation, copy on write,
// transactions and durable commit (the rules are in voz_blockmgr.hpp).
//
// Throw sites: (11, 3051) committed control, (11, 3052) control file name,
// (11, 3056) working control, (11, 3057) released control, (17, 3058)
// Transaction inside a transaction, (17, 3059) release of a free block or
// of one beyond the count, (17, 3060) change without a control file,
// (17, 3061) Commit outside a transaction, (17, 3062, name) the block file
// has fewer pages than the control counts, (11, 3070) page handle.
#include "blocks/voz_blockmgr.hpp"

#include <cstring>
#include <new>

namespace {

const char* text(const CVozBufferByte1& b) {
    return b.length > 0 ? reinterpret_cast<const char*>(b.data) : "";
}

void setText(CVozBufferByte1& b, const char* s) {
    b.Allocate(0);
    if (s != nullptr) b.Add(s, static_cast<int32_t>(strlen(s)) + 1);
}

}  // namespace

CVozBlockInfo::CVozBlockInfo() : data(nullptr), modified(0) {}

CVozBlockInfo::~CVozBlockInfo() = default;

CVozBlockMgr::CVozBlockMgr()
    : m_blockSize(0), m_committed(nullptr), m_working(nullptr),
      m_released(nullptr), m_inTransaction(0), m_extent(nullptr),
      m_hasControl(0), m_newBlock(VOZ_NO_BLOCK), m_unsynced(0),
      m_group(nullptr) {
    m_ctlName.errcode = 3052;
    m_committed = new (std::nothrow) CVozBlockCtrl();
    if (m_committed == nullptr) throw CVozException(VOZ_RC_MEMORY, 3051);
}

CVozBlockMgr::~CVozBlockMgr() {
    // Not closed: the file is given up as a killed process would leave it
    // (the control on disk is the last durable one).
    try {
        CVozExtentMgr::DestroyExtentMgr(m_extent);
    } catch (const CVozException&) {
        // A destructor never throws.
    }
    delete m_committed;
    delete m_working;
    delete m_released;
}

void CVozBlockMgr::Initialize(const char* blockFile, const char* ctlFile,
                              uint32_t blockSize, uint8_t withControl) {
    CVozExtentMgr::DestroyExtentMgr(
        CVozExtentMgr::GetExtentMgr(blockFile, blockSize, 1, 0));
    if (withControl == 1) m_committed->Initialize(ctlFile, blockSize);
}

void CVozBlockMgr::OpenBlockFile(const char* blockFile, uint32_t blockSize,
                                 const char* ctlRead, const char* ctlWrite) {
    m_blockSize = blockSize;
    setText(m_blockName, blockFile);
    setText(m_ctlName, nullptr);
    m_hasControl = 0;
    if (ctlWrite != nullptr && ctlWrite[0] != '\0') {
        m_committed->Internalize(ctlRead, blockSize);
        setText(m_ctlName, ctlWrite);
        m_hasControl = 1;
    }
}

void CVozBlockMgr::OpenExtent() {
    if (m_extent != nullptr) return;
    m_extent = CVozExtentMgr::GetExtentMgr(text(m_blockName), m_blockSize, 0,
                                           m_hasControl);
}

void CVozBlockMgr::NeedControl() {
    if (m_hasControl == 0) {
        throw CVozException(VOZ_RC_INCONSISTENT, 3060, text(m_blockName));
    }
}

// The durable point: pages first, forced to disk; only then the control
// that refers to them.  A failure before the control leaves the old one.
void CVozBlockMgr::SyncCommitted() {
    if (m_extent != nullptr) m_extent->Sync();
    if (m_ctlName.length > 0 && m_committed->Flag() == 1) {
        if (m_group != nullptr) {
            m_group->Add(text(m_ctlName), m_committed->Encode());
        } else {
            m_committed->Externalize(text(m_ctlName));
        }
    }
    m_unsynced = 0;
}

void CVozBlockMgr::DropTransaction() {
    delete m_working;
    delete m_released;
    m_working = nullptr;
    m_released = nullptr;
    m_inTransaction = 0;
}

void CVozBlockMgr::CloseBlockFile() {
    bool failed = false;
    CVozException first;
    DropTransaction();
    try {
        SyncCommitted();  // after a failed page write the old control stays
    } catch (const CVozException& e) {
        first = e;
        failed = true;
    }
    try {
        CVozExtentMgr* ext = m_extent;
        m_extent = nullptr;
        CVozExtentMgr::DestroyExtentMgr(ext);
    } catch (const CVozException& e) {
        if (!failed) first = e;
        failed = true;
    }
    m_newBlock = VOZ_NO_BLOCK;
    if (failed) throw first;
}

void CVozBlockMgr::Pin(uint32_t block, CVozBlockInfo& info) {
    OpenExtent();
    int read = block == m_newBlock ? 0 : 1;
    m_extent->Pin(block, info.page, read);
    info.data = info.page.Data();
    info.modified = 0;
    m_newBlock = VOZ_NO_BLOCK;
}

void CVozBlockMgr::Pin(uint32_t block, CVozBlockInfo& info, uint8_t unused) {
    (void)unused;
    Pin(block, info);
}

void CVozBlockMgr::MarkModified(CVozBlockInfo& info) { info.modified = 1; }

int CVozBlockMgr::Unpin(uint32_t& block, CVozBlockInfo& info) {
    if (m_extent == nullptr) return 0;  // nothing was ever pinned
    if (info.modified == 0 || m_hasControl == 0) {
        m_extent->Unpin(info.page, 0);
        info.data = nullptr;
        // A change without a control file is refused (and dropped).
        if (info.modified != 0) NeedControl();
        return 0;
    }
    bool committedFree = m_committed->IsVacated(block);
    if (m_inTransaction == 0) {
        m_extent->Unpin(info.page, 1);
        if (m_committed->IsListed(block)) m_committed->UnSetVacatedBlock(block);
        m_unsynced = 1;
    } else if (committedFree) {
        if (m_working->IsListed(block)) m_working->UnSetVacatedBlock(block);
        m_extent->Unpin(info.page, 1);
    } else {
        return CopyOnWrite(block, info);
    }
    info.modified = 0;
    info.data = nullptr;
    return 0;
}

// Moves the caller's image of committed block `block` to a free block.
int CVozBlockMgr::CopyOnWrite(uint32_t& block, CVozBlockInfo& info) {
    uint32_t fresh = HandOut(block);
    CVozPageInfo* handle = new (std::nothrow) CVozPageInfo();
    if (handle == nullptr) throw CVozException(VOZ_RC_MEMORY, 3070);
    try {
        m_extent->Pin(fresh, *handle, 0);
        memcpy(handle->Data(), info.data, m_blockSize);
        m_extent->Unpin(*handle, 1);
    } catch (const CVozException&) {
        delete handle;
        throw;
    }
    delete handle;
    m_newBlock = VOZ_NO_BLOCK;
    // The committed page keeps its content on disk (durable since the
    // transaction began); the changed image must not be served again.
    m_extent->UnpinDiscard(info.page);
    m_released->SetVacatedBlock(block);
    info.modified = 0;
    info.data = nullptr;
    block = fresh;
    return 1;
}

uint32_t CVozBlockMgr::HandOut(uint32_t nearBlock) {
    NeedControl();
    OpenExtent();
    CVozBlockCtrl& ctl = InUse();
    uint32_t block = ctl.NextVacatedBlock(nearBlock, 1);
    if (block == VOZ_NO_BLOCK) {
        uint32_t page = m_extent->Expand();
        if (page < ctl.BlockCount()) {
            throw CVozException(VOZ_RC_INCONSISTENT, 3062, text(m_blockName));
        }
        // Pages beyond the count (from a transaction that never committed)
        // are free.
        for (uint32_t b = ctl.BlockCount(); b < page; ++b) {
            ctl.SetVacatedBlock(b);
        }
        ctl.SetBlockCount(page + 1);
        block = page;
    }
    if (m_inTransaction == 0) m_unsynced = 1;
    m_newBlock = block;
    return block;
}

uint32_t CVozBlockMgr::CreateNewBlock() { return HandOut(VOZ_NO_BLOCK); }

uint32_t CVozBlockMgr::CreateNewBlock(uint8_t unused) {
    (void)unused;
    return HandOut(VOZ_NO_BLOCK);
}

uint32_t CVozBlockMgr::CreateNearBlock(uint32_t nearBlock) {
    return HandOut(nearBlock);
}

void CVozBlockMgr::ReleaseBlock(uint32_t block) {
    NeedControl();
    CVozBlockCtrl& use = InUse();
    if (block >= use.BlockCount()) {
        throw CVozException(VOZ_RC_INCONSISTENT, 3059, text(m_blockName));
    }
    CVozBlockCtrl* target = m_committed;
    if (m_inTransaction != 0) {
        target = m_committed->IsVacated(block) ? m_working : m_released;
    }
    if (use.IsListed(block) || target->IsListed(block)) {
        throw CVozException(VOZ_RC_INCONSISTENT, 3059, text(m_blockName));
    }
    target->SetVacatedBlock(block);
    if (m_inTransaction == 0) m_unsynced = 1;
    if (m_newBlock == block) m_newBlock = VOZ_NO_BLOCK;
}

void CVozBlockMgr::Transaction() {
    if (m_inTransaction != 0) throw CVozException(VOZ_RC_INCONSISTENT, 3058);
    // Committed pages must be on disk before copy on write may drop a
    // changed image of one of them.
    if (m_unsynced != 0) SyncCommitted();
    m_working = new (std::nothrow) CVozBlockCtrl();
    if (m_working == nullptr) throw CVozException(VOZ_RC_MEMORY, 3056);
    m_released = new (std::nothrow) CVozBlockCtrl();
    if (m_released == nullptr) {
        DropTransaction();
        throw CVozException(VOZ_RC_MEMORY, 3057);
    }
    try {
        *m_working = *m_committed;
    } catch (const CVozException&) {
        DropTransaction();
        throw;
    }
    m_inTransaction = 1;
}

void CVozBlockMgr::Commit() {
    if (m_inTransaction == 0) throw CVozException(VOZ_RC_INCONSISTENT, 3061);
    *m_working += *m_released;
    delete m_committed;
    delete m_released;
    m_committed = m_working;
    m_working = nullptr;
    m_released = nullptr;
    m_inTransaction = 0;
    SyncCommitted();
}

void CVozBlockMgr::Resume() {
    DropTransaction();
    m_newBlock = VOZ_NO_BLOCK;
}

uint32_t CVozBlockMgr::GetBlockSize() { return m_blockSize; }
