// voz_sharedblock.hpp - CVozSharedBlockMgr: short position lists, B-tree
// roots and rightmost leaves stored in slots of the shared slot file, with
// the same shadow-paging transactions as the block manager.
//
// A list of n bytes goes into a slot of the smallest class that holds n
// bytes (voz_sharedblock_ctrl.hpp).  For each class one unit is pinned
// while it is being filled (the class's current unit).
//
// What a caller may rely on:
//  - WriteOnBuffer(a, data): stores a.dataleng bytes in a slot that is free
//    in the state in use and sets a.blockID / a.blkOffset to it.  No slot
//    that the committed state holds is ever written.
//  - ReadSlot(a, out): the a.dataleng bytes last written to that slot in
//    this process (or read from the file), also while the unit is current.
//  - WriteSlot(a, data): releases the slot at (a.blockID, a.blkOffset), then
//    WriteOnBuffer with the new a.dataleng; returns 1.
//  - ReleaseSlot(a): the slot is free at once outside a transaction or
//    when this transaction made it; a committed slot becomes free at
//    Commit.  Nothing for blockID all ones or dataleng 0.
//  - Transaction: ends the current units (their writes are kept) and makes
//    the writes made outside a transaction durable, then opens the
//    transaction.  (17, 3118) when one is open.
//  - Commit: ends the current units; the transaction's state (or, without
//    one, the state as it stands) becomes the committed state and is
//    durable when Commit returns: the slot file's pages are written and
//    forced to disk before the control file is replaced atomically.
//  - Resume: the transaction is dropped; every committed slot reads as
//    committed and the slots and units the transaction made are free.
//    Without a transaction Resume only ends the current units, keeping
//    their writes.
//  - CloseBlockFile: the committed state is made durable (an open
//    transaction is dropped), then the file is closed.  After a failure
//    writing the pages the old control file stays.
// A kill at any instant leaves the state of the last durable point (the
// durable points and states are those of voz_blockmgr.hpp).  Without a
// control file the slot file is read only: writing and releasing throw
// (17, 3117).  Not copyable; one thread.
#ifndef VOZ_SHAREDBLOCK_HPP
#define VOZ_SHAREDBLOCK_HPP

#include <cstdint>

#include "blocks/voz_ctlgroup.hpp"
#include "blocks/voz_sharedblock_ctrl.hpp"
#include "blocks/voz_posattr.hpp"  // POS_ATTR

class CVozSharedBlockMgr : public CVozObject {
public:
    CVozSharedBlockMgr();
    // A slot file still open is given up without a durable point, as by
    // ~CVozBlockMgr.
    ~CVozSharedBlockMgr() override;
    CVozSharedBlockMgr(const CVozSharedBlockMgr&) = delete;
    CVozSharedBlockMgr& operator=(const CVozSharedBlockMgr&) = delete;

    // Creates the slot file empty and writes an empty control file.
    // Block sizes above 65536 or below 16384 throw (17, 3115).
    void Initialize(const char* slotFile, const char* ctlFile,
                    uint32_t blockSize);
    // With `ctlWrite`: reads the control from `ctlRead` ((17, 3115) when its
    // block size is not `blockSize`), opens the slot file for update and
    // writes the control to `ctlWrite` at every durable point.  Without:
    // read only.
    void OpenBlockFile(const char* slotFile, uint32_t blockSize,
                       const char* ctlRead, const char* ctlWrite);
    // Every step runs; the first failure is thrown at the end.
    void CloseBlockFile();
    // (17, 3155) when the slot would pass the block's end.
    void ReadSlot(POS_ATTR& a, uint8_t* out);
    // (17, 3103) above 16384 bytes; (17, 3156) past the block's end.
    void WriteOnBuffer(POS_ATTR& a, const uint8_t* data);
    int WriteSlot(POS_ATTR& a, const uint8_t* data);
    // (17, 3116) for a slot that is not one of its unit's slots, or that
    // this transaction already gave up.
    void ReleaseSlot(POS_ATTR& a);
    void Transaction();
    void Commit();
    void Resume();

    bool InTransaction() const { return m_inTransaction != 0; }
    // From now on durable points force the pages and hand the control to
    // `group` instead of replacing the control file (null: replace it
    // directly; see voz_blockmgr.hpp).  The group is not owned.
    void SetControlGroup(CVozControlGroup* group) { m_group = group; }
    // The committed control, null without a control file.
    CVozClassedBlockCtrl* CommittedControl() { return m_committed; }
    const CVozSharedBlockInfo& ClassEntry(int cls) const {
        return m_classes[cls];
    }
    CVozExtentMgr* Extent() { return m_extent; }

private:
    CVozClassedBlockCtrl& InUse() {
        return m_inTransaction ? *m_working : *m_committed;
    }
    void NeedControl();
    void EndCurrentUnits(int modified);
    void ResetClasses();
    void Release(uint32_t unit, uint16_t offset);
    void TakeSlot(int8_t cls, uint32_t* unit, uint16_t* offset, bool* made);
    void SyncCommitted();
    void DropTransaction();

    CVozClassedBlockCtrl* m_committed;
    CVozClassedBlockCtrl* m_working;
    CVozVacatedBlockCtrl* m_vacated;
    CVozSharedBlockInfo m_classes[VOZ_SLOT_CLASSES];
    uint8_t m_inTransaction;
    CVozBufferByte1 m_ctlName;
    CVozExtentMgr* m_extent;
    uint32_t m_blockSize;
    uint8_t m_unsynced;  // writes outside a transaction since the last
                         // durable point
    CVozControlGroup* m_group;  // not owned; null: control written directly
};

#endif  // VOZ_SHAREDBLOCK_HPP
