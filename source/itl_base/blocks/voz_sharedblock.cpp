// voz_sharedblock.cpp - the shared slot manager: slots written, read and
// released through the current units of the classes, transactions and
// durable commit (rules in voz_sharedblock.hpp).
//
// Throw sites: (11, 3070) page handle, (11, 3151) control file name,
// (11, 3152) committed control, (11, 3153) working control, (11, 3154)
// vacated control, (17, 3115) block size out of range or differing from
// the control's, (17, 3117) change without a control file, (17, 3118)
// Transaction inside a transaction, (17, 3155) read past the block's end,
// (17, 3156) write past the block's end.
#include "blocks/voz_sharedblock.hpp"

#include <cstring>
#include <new>

namespace {

constexpr uint32_t kMinSlotBlock = 16384;  // class 30 needs one slot

void checkBlockSize(uint32_t blockSize, const char* name) {
    if (blockSize < kMinSlotBlock || blockSize > VOZ_SLOT_MAX_BLOCK) {
        throw CVozException(VOZ_RC_INCONSISTENT, 3115, name);
    }
}

}  // namespace

CVozSharedBlockMgr::CVozSharedBlockMgr()
    : m_committed(nullptr), m_working(nullptr), m_vacated(nullptr),
      m_inTransaction(0), m_extent(nullptr), m_blockSize(0), m_unsynced(0),
      m_group(nullptr) {
    m_ctlName.errcode = 3151;
}

CVozSharedBlockMgr::~CVozSharedBlockMgr() {
    // Not closed: the file is given up as a killed process would leave it
    // (the control on disk is the last durable one).
    try {
        CVozExtentMgr::DestroyExtentMgr(m_extent);
    } catch (const CVozException&) {
        // A destructor never throws.
    }
    delete m_committed;
    delete m_working;
    delete m_vacated;
}

void CVozSharedBlockMgr::ResetClasses() {
    for (CVozSharedBlockInfo& c : m_classes) {
        c.first = c.current = c.last = VOZ_NO_UNIT;
    }
}

void CVozSharedBlockMgr::Initialize(const char* slotFile, const char* ctlFile,
                                    uint32_t blockSize) {
    checkBlockSize(blockSize, ctlFile);
    CVozExtentMgr::DestroyExtentMgr(
        CVozExtentMgr::GetExtentMgr(slotFile, blockSize, 1, 0));
    CVozClassedBlockCtrl ctl(m_classes);
    ctl.Initialize(ctlFile, blockSize);
    ResetClasses();
}

void CVozSharedBlockMgr::OpenBlockFile(const char* slotFile,
                                       uint32_t blockSize,
                                       const char* ctlRead,
                                       const char* ctlWrite) {
    checkBlockSize(blockSize, slotFile);
    m_blockSize = blockSize;
    ResetClasses();
    if (ctlWrite == nullptr || ctlWrite[0] == '\0') {
        m_extent = CVozExtentMgr::GetExtentMgr(slotFile, blockSize, 0, 0);
        return;
    }
    m_committed = new (std::nothrow) CVozClassedBlockCtrl(m_classes);
    if (m_committed == nullptr) throw CVozException(VOZ_RC_MEMORY, 3152);
    m_committed->Internalize(ctlRead);
    if (m_committed->BlockSize() != blockSize) {
        throw CVozException(VOZ_RC_INCONSISTENT, 3115, ctlRead);
    }
    m_extent = CVozExtentMgr::GetExtentMgr(slotFile, blockSize, 0, 1);
    m_ctlName.Allocate(0);
    m_ctlName.Add(ctlWrite, static_cast<int32_t>(strlen(ctlWrite)) + 1);
}

void CVozSharedBlockMgr::NeedControl() {
    if (m_committed == nullptr || m_extent == nullptr) {
        throw CVozException(VOZ_RC_INCONSISTENT, 3117);
    }
}

void CVozSharedBlockMgr::EndCurrentUnits(int modified) {
    bool failed = false;
    CVozException first;
    for (CVozSharedBlockInfo& c : m_classes) {
        if (c.current == VOZ_NO_UNIT) continue;
        c.current = VOZ_NO_UNIT;
        try {
            m_extent->Unpin(c.block.page, modified);
        } catch (const CVozException& e) {
            if (!failed) first = e;
            failed = true;
        }
    }
    if (failed) throw first;
}

void CVozSharedBlockMgr::SyncCommitted() {
    m_extent->Sync();
    if (m_ctlName.length > 0) {
        const char* name = reinterpret_cast<const char*>(m_ctlName.data);
        if (m_group != nullptr) {
            m_group->Add(name, m_committed->Encode());
        } else {
            m_committed->Externalize(name);
        }
    }
    m_unsynced = 0;
}

void CVozSharedBlockMgr::DropTransaction() {
    delete m_working;
    delete m_vacated;
    m_working = nullptr;
    m_vacated = nullptr;
    if (m_inTransaction != 0 && m_committed != nullptr) {
        m_committed->RebuildClasses();
    }
    m_inTransaction = 0;
}

void CVozSharedBlockMgr::CloseBlockFile() {
    bool failed = false;
    CVozException first;
    auto step = [&](auto&& act) {
        try {
            act();
        } catch (const CVozException& e) {
            if (!failed) first = e;
            failed = true;
        }
    };
    if (m_extent != nullptr) {
        step([&] { EndCurrentUnits(1); });
        DropTransaction();
        // The control may only name pages that reached the disk.
        if (!failed && m_committed != nullptr) step([&] { SyncCommitted(); });
    }
    DropTransaction();
    delete m_committed;
    m_committed = nullptr;
    CVozExtentMgr* ext = m_extent;
    m_extent = nullptr;
    step([&] { CVozExtentMgr::DestroyExtentMgr(ext); });
    m_ctlName.Allocate(0);
    ResetClasses();
    if (failed) throw first;
}

void CVozSharedBlockMgr::ReadSlot(POS_ATTR& a, uint8_t* out) {
    if (static_cast<uint64_t>(a.blkOffset) + a.dataleng > m_blockSize) {
        throw CVozException(VOZ_RC_INCONSISTENT, 3155);
    }
    if (a.dataleng == 0) return;
    const CVozSharedBlockInfo& c =
        m_classes[CVozSharedBlockCtrl::WhatClass(a.dataleng)];
    if (c.current != VOZ_NO_UNIT && c.current == a.blockID) {
        memcpy(out, c.block.data + a.blkOffset, a.dataleng);
        return;
    }
    if (m_extent == nullptr) throw CVozException(VOZ_RC_INCONSISTENT, 3117);
    CVozPageInfo* handle = new (std::nothrow) CVozPageInfo();
    if (handle == nullptr) throw CVozException(VOZ_RC_MEMORY, 3070);
    try {
        m_extent->Pin(a.blockID, *handle, 1);
    } catch (const CVozException&) {
        delete handle;
        throw;
    }
    memcpy(out, handle->Data() + a.blkOffset, a.dataleng);
    m_extent->Unpin(*handle, 0);
    delete handle;
}

// Takes a free slot of `cls` in the control in use; *made is true when a
// new unit (and page) was appended for it.
void CVozSharedBlockMgr::TakeSlot(int8_t cls, uint32_t* unit,
                                  uint16_t* offset, bool* made) {
    CVozClassedBlockCtrl& ctl = InUse();
    ctl.NextVacatedSlot(cls, 1, unit, offset);
    *made = false;
    if (*unit != VOZ_NO_UNIT) return;
    ctl.CreateNewSlot(cls, 1, unit, offset);
    uint32_t page = m_extent->Expand();
    if (page != *unit) ctl.AdjustNumBlocks(page);
    *made = true;
}

void CVozSharedBlockMgr::WriteOnBuffer(POS_ATTR& a, const uint8_t* data) {
    NeedControl();
    int8_t cls = CVozSharedBlockCtrl::WhatClass(a.dataleng);
    uint32_t unit;
    uint16_t offset;
    bool made;
    TakeSlot(cls, &unit, &offset, &made);
    a.blockID = unit;
    a.blkOffset = offset;
    CVozSharedBlockInfo& c = m_classes[cls];
    if (c.current != unit) {
        if (c.current != VOZ_NO_UNIT) {
            c.current = VOZ_NO_UNIT;
            m_extent->Unpin(c.block.page, 1);
        }
        m_extent->Pin(unit, c.block.page, made ? 0 : 1);
        c.block.data = c.block.page.Data();
        c.block.modified = 0;
        c.current = unit;
    }
    if (static_cast<uint64_t>(offset) + a.dataleng > m_blockSize) {
        throw CVozException(VOZ_RC_INCONSISTENT, 3156);
    }
    if (a.dataleng > 0) memcpy(c.block.data + offset, data, a.dataleng);
    if (m_inTransaction == 0) m_unsynced = 1;
    if (InUse().Units()[unit].vacated == 0) {
        c.current = VOZ_NO_UNIT;
        m_extent->Unpin(c.block.page, 1);
    }
}

void CVozSharedBlockMgr::Release(uint32_t unit, uint16_t offset) {
    NeedControl();
    bool committedFree = m_committed->IsVacated(unit, offset);
    if (m_inTransaction == 0) {
        if (!committedFree) {
            m_committed->SetVacatedSlot(unit, offset);
            m_unsynced = 1;
        }
    } else if (committedFree) {
        m_working->SetVacatedSlot(unit, offset);
    } else {
        const SHARED_BLOCK_UNIT& r = m_working->Units()[unit];
        uint16_t len = CVozSharedBlockCtrl::usSlotLength[r.cls];
        if (offset % len != 0 || offset / len >= m_working->Slots(r.cls)) {
            throw CVozException(VOZ_RC_INCONSISTENT, 3116);
        }
        m_vacated->SetVacatedSlot(unit, offset, r.cls);
    }
}

void CVozSharedBlockMgr::ReleaseSlot(POS_ATTR& a) {
    if (a.blockID == VOZ_NO_UNIT || a.dataleng == 0) return;
    Release(a.blockID, a.blkOffset);
}

int CVozSharedBlockMgr::WriteSlot(POS_ATTR& a, const uint8_t* data) {
    if (a.blockID != VOZ_NO_UNIT) Release(a.blockID, a.blkOffset);
    WriteOnBuffer(a, data);
    return 1;
}

void CVozSharedBlockMgr::Transaction() {
    NeedControl();
    if (m_inTransaction != 0) throw CVozException(VOZ_RC_INCONSISTENT, 3118);
    // Writes made so far are kept and made durable: nothing of the state
    // before the transaction may depend on a pin that Resume drops.
    EndCurrentUnits(1);
    if (m_unsynced != 0) SyncCommitted();
    m_working = new (std::nothrow) CVozClassedBlockCtrl(m_classes);
    if (m_working == nullptr) throw CVozException(VOZ_RC_MEMORY, 3153);
    m_vacated = new (std::nothrow) CVozVacatedBlockCtrl();
    if (m_vacated == nullptr) {
        DropTransaction();
        throw CVozException(VOZ_RC_MEMORY, 3154);
    }
    try {
        *m_working = *m_committed;
    } catch (const CVozException&) {
        DropTransaction();
        throw;
    }
    *m_vacated = *m_committed;
    m_inTransaction = 1;
}

void CVozSharedBlockMgr::Commit() {
    NeedControl();
    EndCurrentUnits(1);
    if (m_inTransaction != 0) {
        *m_working += *m_vacated;
        delete m_committed;
        delete m_vacated;
        m_committed = m_working;
        m_working = nullptr;
        m_vacated = nullptr;
        m_inTransaction = 0;
    }
    SyncCommitted();
}

void CVozSharedBlockMgr::Resume() {
    if (m_extent == nullptr) return;
    // Inside a transaction the current units hold only its writes (the
    // units were ended when it began); outside one they are kept.
    EndCurrentUnits(m_inTransaction != 0 ? 0 : 1);
    DropTransaction();
}
