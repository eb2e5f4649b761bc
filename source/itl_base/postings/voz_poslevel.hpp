// voz_poslevel.hpp - the short storage levels of a position list:
// CVozPosLow (level 1, one shared slot), CVozPosMed (level 2, one shared
// slot prefixed by a pin table), CVozPosNormal (level 0, a run of bytes in
// the sequential position file) and CVozPosWork (level 0 in a work file of
// the builder, lists read one after another).
//
// Level-2 slot, as written by CVozPosMed::Externalize:
//   off    size   field                                 (big-endian)
//     0       2   n, pin points
//     2     6*n   pin points: id of the last document before the pinned
//                 header (4), offset of that header in the stream (2)
//   2+6n      *   the encoded document stream (voz_bufferpos.hpp)
// A list of up to 100 documents has n = 0.  Levels 1 and 0 hold the
// document stream alone.
//
// Level 0: the key record's location is the list's start offset (48 bits)
// and its length 40 bits; only a window of 8192 bytes (32768 for a work
// reader) plus one overlong document entry is held in memory at a time,
// and a merge streams its output to the file as it grows.  Every read and
// every write seeks first, so several readers and one writer may share the
// file.  A list loaded by Internalize(POS_ATTR&) is read only.
#ifndef VOZ_POSLEVEL_HPP
#define VOZ_POSLEVEL_HPP

#include <cstdint>
#include <memory>

#include "postings/voz_pos.hpp"

class CVozSharedBlockMgr;
class CVozFileIO;

// Level 1.  The manager is not owned.
class CVozPosLow : public CVozPosShort {
public:
    explicit CVozPosLow(CVozSharedBlockMgr* mgr);
    ~CVozPosLow() override;

    // Reads the slot (when a names one) into the buffer.  A length above
    // the largest slot is (17, 3281).
    void Internalize(POS_ATTR& a) override;
    // A new, empty list without a slot.
    void Internalize() override;
    // Unmodified: a = the attributes as loaded.  Else the list is written
    // to its slot (a new one when it had none), or its slot is released
    // when no document is left.
    void Externalize(POS_ATTR& a) override;
    int32_t GetLevel() override { return VOZ_POS_LEVEL_LOW; }
    void RemovePos(POS_ATTR& a) override;

protected:
    CVozSharedBlockMgr* m_mgr;
    POS_ATTR m_loaded;  // the attributes as loaded
};

// Level 2.
class CVozPosMed : public CVozPosShort {
public:
    // (11, 3515) when the staging area cannot be allocated.
    explicit CVozPosMed(CVozSharedBlockMgr* mgr);
    ~CVozPosMed() override;

    // Reads the slot into the staging area and loads its pin table; a slot
    // longer than the staging area or with a pin table longer than the
    // slot is (17, 3282).
    void Internalize(POS_ATTR& a) override;
    void Internalize() override;
    // As CVozPosLow, the slot holding the pin table and the stream; a slot
    // above 16384 bytes is (17, 3281).
    void Externalize(POS_ATTR& a) override;
    int32_t GetLevel() override { return VOZ_POS_LEVEL_MED; }
    void RemovePos(POS_ATTR& a) override;
    // Takes over a level-1 list's unread bytes and pending deletions (the
    // list moves from level 1 to level 2); the list has no slot yet.
    CVozPosMed& operator=(const CVozPosLow& low);

private:
    CVozSharedBlockMgr* m_mgr;
    std::unique_ptr<uint8_t[]> m_staging;  // VOZ_POS_MED_STAGING bytes
    POS_ATTR m_loaded;
};

// Level 0 in an index's sequential position file.  The file is not owned.
class CVozPosNormal : public CVozPosShort {
public:
    CVozPosNormal();
    ~CVozPosNormal() override;

    // Loads the list read only: its first window is read at once.
    void Internalize(POS_ATTR& a) override;
    // A new list, appended at the file's end.
    void Internalize() override;
    // Read only: nothing.  Else writes what the buffer still holds and
    // fills a with the start offset, level 0, the 40-bit length, the
    // document count and the last document id.
    void Externalize(POS_ATTR& a) override;
    int32_t GetLevel() override { return VOZ_POS_LEVEL_NORMAL; }
    void RemovePos(POS_ATTR& a) override { (void)a; }
    bool IsRemaining() override { return m_unread > 0; }
    void ReadNext(uint8_t raw) override;
    // (154, 3267) when the list would pass 2^40-1 bytes.
    void FlushData(CVozBufferPos* out) override;
    // Loads a list for merging (writable); the read offset is a's start.
    virtual void InternalizeWithoutSeek(POS_ATTR& a);
    virtual void SetFileMgr(CVozFileIO* file) { m_file = file; }

protected:
    bool KeepsUnchangedList() override { return false; }
    // Begins a list: the read state from `offset` and `length`, the output
    // at the file's end.
    void BeginList(POS_ATTR& a, uint64_t offset);

    CVozFileIO* m_file;       // not owned
    uint64_t m_unread;        // bytes of the list not yet read
    uint64_t m_written;       // bytes of the output list written
    uint64_t m_start;         // where the output list starts
    uint8_t m_seekPending;
    uint64_t m_readOffset;    // next byte of the list in the file
    uint8_t m_readOnly;
    uint32_t m_window;        // bytes read per part
};

// Level 0 in a work file, lists read in the order they lie in the file.
class CVozPosWork : public CVozPosNormal {
public:
    CVozPosWork();
    ~CVozPosWork() override;

    // The first list starts at a's offset (or at the read offset set by
    // SetReadOffset); each later one where the one before it ended.
    void InternalizeWithoutSeek(POS_ATTR& a) override;
    void SetFileMgr(CVozFileIO* file) override;
    void RestrictReadLength(uint64_t n) { m_restrict = n; }
    // Records the caller's read-ahead buffer (reads go to the file).
    void SetBuffer(uint32_t size, uint8_t* buffer);
    void SetReadOffset(uint64_t offset) { m_listEnd = offset; }

private:
    uint64_t m_restrict;   // bytes that may still be read
    uint64_t m_listEnd;    // end of the last list begun; 0 before the first
    uint8_t* m_ahead;      // caller's read-ahead buffer (not owned)
    uint32_t m_aheadSize;
};

#endif  // VOZ_POSLEVEL_HPP
