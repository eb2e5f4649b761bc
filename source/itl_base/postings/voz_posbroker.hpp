// voz_posbroker.hpp - position brokers: between the key file and the
// position lists of one index file set.
//
// Given a key record a broker hands out the CVozPos that holds the key's
// list; it collects further lists to be merged into it (Add); when the key
// is written back it merges, picks the storage level, stores the list and
// writes the list's new location into bytes 8-27 of the key record.  It
// owns the files that hold the lists and the shadow-paging transaction over
// them.  Three kinds:
//   CVozPosBrokerMulti   the block store (levels 1, 2, 4, 8): the shared
//                        slot file SB and the branch and leaf files ND, LF
//   CVozPosBrokerNormal  the sequential position file OS of an index (0)
//   CVozPosBrokerWork    the sequential position file of a work index,
//                        lists read one after another; replicas share one
//                        open file
// Per key: Internalize(k) or Internalize(), any number of Add (and
// DeleteDocs on the current object), then Externalize(k).
//
// Level choice of the block store (Externalize), from the sum S of the
// data lengths of the lists merged and the threshold T (0.968 x the leaf
// block size, at most VOZ_POS_MED_LIMIT so that a level-2 slot fits):
//   S < 2048 wanted level 1, S < T level 2, else level 4.  A level-1 list
//   moves to level 2 when S <= T, to the B-tree above; a level-2 list moves
//   only to the B-tree; a B-tree list never leaves it.
//
// Commit of the block store (Transaction, Commit, Close of a writable
// CVozPosBrokerMulti).  The three managers share one control group
// (blocks/voz_ctlgroup.hpp); the journal is "<slot control file>.jnl" in
// the directory of the control files written.
//   1. Each manager's durable point writes its changed pages and forces its
//      block file to disk, then hands its new control to the group; no
//      control file is touched yet.
//   2. Once all three succeeded, the group writes the journal with the three
//      new controls (temporary file, fsync, rename, directory fsync): that
//      rename makes the new state of all three current together.
//   3. The three control files are replaced from the journal, each
//      atomically; then the journal is removed.
//   4. A writable Open first replays a journal left beside the control files
//      it reads or writes (a kill between 2 and 3 is finished; a kill before
//      2 leaves every old control and a stray temporary file, removed).
//   5. When a manager's durable point fails, nothing of the group is
//      written: every control stays old.  After a failed Commit, Close
//      writes no control either.
//
//      committed state S (controls S, pages of S on disk)
//        | Transaction: copy on write into blocks free in S
//        v
//      S on disk + new pages in free blocks (a kill: S)
//        | Commit step 1 (CVozBlockMgr/CVozSharedBlockMgr::Commit)
//        v
//      new pages durable, controls S (a kill: S)
//        | Commit step 2 (CVozControlGroup::Write: journal renamed)
//        v
//      journal T, controls S..T (a kill: Open replays to T)
//        | Commit step 3 (controls replaced, journal removed)
//        v
//      committed state T
//
// All failures are thrown as CVozException.  Not copyable.
#ifndef VOZ_POSBROKER_HPP
#define VOZ_POSBROKER_HPP

#include <cstdint>
#include <string>
#include <vector>

#include "blocks/voz_ctlgroup.hpp"

#include "files/voz_keyrec.hpp"
#include "files/voz_names.hpp"
#include "postings/voz_pos.hpp"

class CVozBlockMgr;
class CVozSharedBlockMgr;
class CVozPosLow;
class CVozPosMed;
class CVozPosHigh;
class CVozPosWork;
class CVozFileIO;

// Lists below this many bytes are kept at level 1.
constexpr uint32_t VOZ_POS_LOW_LIMIT = 2048;
// Largest threshold between level 2 and the B-tree: a level-2 slot (pin
// table plus stream) must fit the largest slot of 16384 bytes.
constexpr uint32_t VOZ_POS_MED_LIMIT = 15872;
// The key record's level byte of a key whose list was dropped.
constexpr uint8_t VOZ_POS_LEVEL_DROPPED = 16;

// Copies bytes 8-27 of a key record into a POS_ATTR and back.
void voz_KeyToPosAttr(const KEY_REC& k, POS_ATTR& a);
// Writes every field of `a` into `k` (bytes 8-27; byte 9 included), the
// level byte only when `withLevel`.
void voz_PosAttrToKey(const POS_ATTR& a, KEY_REC& k, bool withLevel);

class CVozPosBroker : public CVozObject {
public:
    CVozPosBroker();
    ~CVozPosBroker() override;
    CVozPosBroker(const CVozPosBroker&) = delete;
    CVozPosBroker& operator=(const CVozPosBroker&) = delete;

    virtual void Open(_FCTLHEAD* files, const char* mode) = 0;
    virtual void Close() = 0;
    // Starts a new, empty list; returns the current object.
    virtual CVozPos* Internalize() = 0;
    // Loads k's list; returns the current object (owned by the broker).
    virtual CVozPos* Internalize(KEY_REC& k) = 0;
    // Loads k's list into a new object the caller owns and deletes.
    virtual CVozPos* InternalizeWithCreation(KEY_REC& k) = 0;
    // Merges the added lists, stores the list, writes its location to k.
    virtual void Externalize(KEY_REC& k) = 0;
    virtual uint64_t GetFileSize() = 0;
    virtual void Transaction() {}
    virtual void Commit() {}
    virtual void Resume() {}

    // Adds a list to be merged by the next Externalize.  (17, 3518) for a
    // list that is not held in a buffer (a B-tree list).
    void Add(CVozPos& list);
    CVozPos* Current() { return m_current; }

protected:
    std::vector<CVozPosShort*> m_added;  // lists to merge (not owned)
    CVozPos* m_current;                  // current list (owned by broker)
    POS_ATTR m_attr;                     // the current list's location
};

class CVozPosBrokerMulti : public CVozPosBroker {
public:
    CVozPosBrokerMulti();
    ~CVozPosBrokerMulti() override;

    // Mode "rb" or "r": read only.  Opens SB, ND and LF with the block
    // sizes of `files`; for writing with the control files (read from
    // kinds 18-20, or 82-84 while the set is being created; written to
    // 82-84).
    void Open(_FCTLHEAD* files, const char* mode) override;
    // Deletes the level objects and closes SB, ND, LF; every close runs,
    // the first failure is thrown at the end.
    void Close() override;
    CVozPos* Internalize() override;
    CVozPos* Internalize(KEY_REC& k) override;
    CVozPos* InternalizeWithCreation(KEY_REC& k) override;
    void Externalize(KEY_REC& k) override;
    uint64_t GetFileSize() override { return 0; }
    void Transaction() override;
    void Commit() override;
    void Resume() override;

    uint32_t Threshold() const { return m_threshold; }

    // Creates the three empty block files of `files` with their control
    // files (written to kinds 82-84).
    static void CreateFirstIndex(_FCTLHEAD* files);
    // Renames / copies / removes SB, ND and LF where they exist.  Remove
    // returns 0 when the leaf file was removed or never existed.
    static void RenamePosFiles(_FCTLHEAD* from, _FCTLHEAD* to);
    static void CopyPosFiles(_FCTLHEAD* from, _FCTLHEAD* to);
    static int RemovePosFiles(_FCTLHEAD* files);
    // Finishes a commit of `files`' control files that a kill interrupted
    // (see the commit order above); nothing when none is pending.
    static void RecoverControls(_FCTLHEAD* files);
    // Removes a journal (and its temporary file) beside the set's control
    // files without replaying it: for control files about to be replaced
    // or removed from outside.  (8, 3091) / (5, 3357) with the name.
    static void DiscardJournal(_FCTLHEAD* files);
    // The journal of the set's control files (kinds 18-20, or 82-84 for a
    // '#' half).
    static std::string JournalName(_FCTLHEAD* files);

private:
    void DeleteLevels();
    // Adds every manager's committed control to the group.
    void AddControls();
    // AddControls, then writes the group (cleared on failure).
    void WriteGroup();

    uint32_t m_threshold;
    CVozSharedBlockMgr* m_shared;
    CVozBlockMgr* m_branch;
    CVozBlockMgr* m_leaf;
    CVozPosLow* m_low;
    CVozPosMed* m_med;
    CVozPosHigh* m_high;
    uint8_t m_readOnly;
    uint8_t m_inTransaction;
    uint8_t m_commitFailed;    // a Commit failed (or Open did not finish):
                               // Close writes no control
    CVozControlGroup m_group;  // the three controls, written together
    std::string m_journal;
    std::string m_ctlWrite[3];  // control files written (slot, branch, leaf)
};

class CVozPosBrokerNormal : public CVozPosBroker {
public:
    // ownFile 1: the broker creates and owns its file ((11, 3503)).
    explicit CVozPosBrokerNormal(uint8_t ownFile);
    ~CVozPosBrokerNormal() override;

    // Opens the sequential position file (kind 1) with `mode` and creates
    // the reader ((11, 3512)).
    void Open(_FCTLHEAD* files, const char* mode) override;
    void Close() override;
    CVozPos* Internalize() override;
    CVozPos* Internalize(KEY_REC& k) override;
    // A new read-only CVozPosNormal on the broker's file ((11, 3513)).
    CVozPos* InternalizeWithCreation(KEY_REC& k) override;
    // Leaves k's level byte as it was.
    void Externalize(KEY_REC& k) override;
    // Size of the file (its position is left at the start).
    uint64_t GetFileSize() override;
    // Opened for writing: the file's buffered data is written and forced to
    // stable storage, so that a key record written afterwards never refers
    // to bytes a system crash could lose ((5, 3523, name)).
    void Commit() override;

    virtual void Read(void* buffer, int32_t length);
    virtual void Write(const void* buffer, int32_t length);
    virtual void Seek(int64_t offset, int whence);
    virtual int64_t Tell();

protected:
    CVozPosWork* m_reader;  // owned
    CVozFileIO* m_file;     // owned when m_ownsFile
    uint8_t m_ownsFile;
    uint8_t m_writable;     // opened with a mode that writes
};

class CVozPosBrokerWork : public CVozPosBrokerNormal {
public:
    CVozPosBrokerWork();
    ~CVozPosBrokerWork() override;

    // Opens its own file unless it shares one (a replica); creates the
    // reader ((11, 3514)), limits reading to files->posSize and starts it
    // at files->posStart.
    void Open(_FCTLHEAD* files, const char* mode) override;
    // Deletes the reader; closes the file only when it owns it.
    void Close() override;
    CVozPos* Internalize(KEY_REC& k) override;
    // Work files are scratch files: nothing is forced to disk.
    void Commit() override {}
    // A new work broker sharing this broker's file ((11, 3510)).
    CVozPosBrokerWork* Replica();
};

#endif  // VOZ_POSBROKER_HPP
