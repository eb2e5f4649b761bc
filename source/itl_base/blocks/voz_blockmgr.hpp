// voz_blockmgr.hpp - CVozBlockMgr: a block file and its control file, with
// pins, block allocation and shadow-paging transactions.  The branch and
// leaf files of the position B-tree are kept through it; the position
// brokers create, open, commit and close it.
//
// What a caller may rely on:
//  - Pin(b, info): info.data points to the block's block-size bytes until
//    Unpin.  The content is the block's current content in this process
//    (committed content, or what this process wrote since).  A block
//    pinned twice is one buffer.  The block just handed out by
//    CreateNewBlock/CreateNearBlock is pinned without a read: its bytes
//    are undefined and the caller fills the whole block.
//  - MarkModified(info) then Unpin(b, info): the change is kept.  Outside a
//    transaction in place (return 0).  Inside a transaction a block made by
//    this transaction is changed in place (return 0); a block of the
//    committed state is never changed: its new content goes to another
//    block, whose number Unpin stores in b and returns 1; the caller must
//    put the new number where it kept the old one.  The old block keeps its
//    committed content (the changed image is dropped from the pool) and
//    becomes free at Commit.
//  - Unpin without MarkModified: the block is left as it was; the caller
//    must not have changed the bytes.
//  - CreateNewBlock/CreateNearBlock: a block that is free in the state in
//    use (the transaction's inside one), or a new page at the end.
//  - ReleaseBlock(b): b is free at once outside a transaction or when this
//    transaction made it; a committed block becomes free at Commit.
//    Releasing a free block, or one beyond the count, throws (17, 3059).
//  - Commit: the transaction's state becomes the committed state and is
//    made durable before Commit returns (see the commit order below).
//  - Resume: the transaction is forgotten; every block shows its committed
//    content again and the blocks it made are free.
//  - CloseBlockFile: as Commit for the committed state (an open transaction
//    is dropped), then the file is closed.
//
// Commit order and the states on disk (C = the control file):
//  1. The committed state is C plus the pages of the blocks that C holds
//     in use.  A process killed at any instant leaves a C that was written
//     whole, and pages that match it.
//  2. Inside a transaction no page of a block in use in C is written: the
//     pool only ever holds changes to blocks that C lists as free or that
//     lie at or beyond C's block count.
//  3. Durable points (SyncCommitted): Commit, CloseBlockFile, and
//     Transaction when changes were made outside a transaction since the
//     last durable point.  Each writes every changed page and forces the
//     block file to disk, and only then replaces C atomically.  A failure
//     while writing pages leaves the old C in place.
//  4. With a control group (SetControlGroup) a durable point forces the
//     pages as in 3 but hands the control's new content to the group
//     instead of replacing C; the group's owner replaces the controls of
//     all its managers in one step (voz_ctlgroup.hpp).  Until it does, C
//     is the old control.
//  5. States: closed -OpenBlockFile-> open -Transaction-> in transaction
//     -Commit/Resume-> open -CloseBlockFile-> closed.  Outside a
//     transaction changes go in place and are durable at the next durable
//     point; a kill before it may leave some of them half done.
//
// Without a control file (OpenBlockFile with no control to write) the
// block file is read only: creating, writing and releasing throw (17,
// 3060).  All failures are thrown as CVozException.  Not copyable.
#ifndef VOZ_BLOCKMGR_HPP
#define VOZ_BLOCKMGR_HPP

#include <cstdint>

#include "blocks/voz_blockctrl.hpp"
#include "blocks/voz_ctlgroup.hpp"
#include "blocks/voz_extentmgr.hpp"

// One pinned block as the B-tree sees it.
class CVozBlockInfo : public CVozObject {
public:
    CVozBlockInfo();
    ~CVozBlockInfo() override;

    uint8_t* data;      // the block's bytes in the pool while pinned
    uint8_t modified;   // set by MarkModified
    CVozPageInfo page;  // the pool's handle
};

class CVozBlockMgr : public CVozObject {
public:
    // Throws (11, 3051) when the committed control cannot be made.
    CVozBlockMgr();
    // Deletes the controls.  A block file still open is given up without a
    // durable point (changed pages are written, the control is not): the
    // state on disk is the last durable one, as after a kill.
    ~CVozBlockMgr() override;
    CVozBlockMgr(const CVozBlockMgr&) = delete;
    CVozBlockMgr& operator=(const CVozBlockMgr&) = delete;

    // Creates `blockFile` empty and, when `withControl` is 1, writes an
    // empty control file for it under `ctlFile`.
    virtual void Initialize(const char* blockFile, const char* ctlFile,
                            uint32_t blockSize, uint8_t withControl);
    // Opens the pair: with `ctlWrite` the control is read from `ctlRead`
    // and written to `ctlWrite` at every durable point; without it the
    // block file is read only.  The block file is opened at first use.
    virtual void OpenBlockFile(const char* blockFile, uint32_t blockSize,
                               const char* ctlRead, const char* ctlWrite);
    // Makes the committed state durable and closes the file (an open
    // transaction is dropped).  Every step runs; the first failure is
    // thrown at the end.  (17, 3083) when blocks are still pinned.
    virtual void CloseBlockFile();
    virtual void Pin(uint32_t block, CVozBlockInfo& info);
    virtual void Pin(uint32_t block, CVozBlockInfo& info, uint8_t unused);
    virtual void MarkModified(CVozBlockInfo& info);
    virtual int Unpin(uint32_t& block, CVozBlockInfo& info);
    virtual uint32_t CreateNewBlock();
    virtual uint32_t CreateNewBlock(uint8_t unused);
    virtual uint32_t CreateNearBlock(uint32_t nearBlock);
    virtual void ReleaseBlock(uint32_t block);
    // (17, 3058) when a transaction is open.
    virtual void Transaction();
    // (17, 3061) when no transaction is open.
    virtual void Commit();
    virtual void Resume();
    virtual uint32_t GetBlockSize();

    bool InTransaction() const { return m_inTransaction != 0; }
    // From now on durable points hand the control to `group` (null: write
    // it directly).  The group is not owned.
    void SetControlGroup(CVozControlGroup* group) { m_group = group; }
    // The committed control (never null).
    CVozBlockCtrl& CommittedControl() { return *m_committed; }
    // The extent manager, null until the file was first used.
    CVozExtentMgr* Extent() { return m_extent; }

private:
    void OpenExtent();
    void NeedControl();
    CVozBlockCtrl& InUse() { return m_inTransaction ? *m_working : *m_committed; }
    uint32_t HandOut(uint32_t nearBlock);
    int CopyOnWrite(uint32_t& block, CVozBlockInfo& info);
    void SyncCommitted();
    void DropTransaction();

    uint32_t m_blockSize;
    CVozBlockCtrl* m_committed;
    CVozBlockCtrl* m_working;    // during a transaction
    CVozBlockCtrl* m_released;   // committed blocks given up in it
    uint8_t m_inTransaction;
    CVozBufferByte1 m_ctlName;   // empty: no control file
    CVozExtentMgr* m_extent;
    uint8_t m_hasControl;
    uint32_t m_newBlock;         // handed out and not pinned since
    CVozBufferByte1 m_blockName;
    uint8_t m_unsynced;          // changes outside a transaction since the
                                 // last durable point
    CVozControlGroup* m_group;   // not owned; null: control written directly
};

#endif  // VOZ_BLOCKMGR_HPP
