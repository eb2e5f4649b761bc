// voz_pos.hpp - CVozPos, the in-memory form of one key's position list at
// one storage level, and CVozPosShort, the common part of the levels whose
// list is held in one CVozBufferPos (shared slot, slot with pin table,
// sequential position file).
//
// Levels (the value travels in the key record's level byte; written to
// disk, never renumber):
//   0  sequential position file   CVozPosNormal / CVozPosWork (voz_poslevel)
//   1  one shared slot            CVozPosLow                  (voz_poslevel)
//   2  shared slot + pin table    CVozPosMed                  (voz_poslevel)
//   4  B-tree, root a leaf        CVozPosHigh                 (voz_poshigh)
//   8  B-tree, root a branch      CVozPosHigh
// The position brokers (voz_posbroker.hpp) own these objects and choose the
// level; the rest of the engine reaches them through voz_posstore.hpp.
//
// Life of a short-level object, reused list after list:
//   Internalize(attr) (an existing list) or Internalize() (a new one)
//   -> PointVvgSkip / PointPosSkip (reading), or DeleteDocs + InsertDocs
//   (merging) -> Externalize(attr) (storing; fills attr).
// Invariants of the merge (InsertDocs): the sources are read in ascending
// document order; runs of documents are copied as bytes (only the first
// header of a run is re-encoded); a document present in several sources is
// written once with the sources' positions concatenated; pending deleted
// documents never reach the output.
//
// Every failure is thrown as CVozException: 11 memory, 17 inconsistent
// list, 154 level-0 list too long; the block managers' and the files'
// failures pass through unchanged.
#ifndef VOZ_POS_HPP
#define VOZ_POS_HPP

#include <cstdint>
#include <memory>

#include "postings/voz_bufferpos.hpp"
#include "blocks/voz_posattr.hpp"

class CVozPosShort;

// Reasons of the position levels (written into status records).
enum : int32_t {
    VOZ_RS_POS_SOURCE_ENDS = 3268,   // merge source needs data, has none
    VOZ_RS_POS_MERGE_ENDS = 3261,    // same, after a shared document
    VOZ_RS_POS_RUN_ENDS = 3270,      // same, after a copied run
    VOZ_RS_POS_READ_ENDS = 3271,     // reader needs data, has none
    VOZ_RS_POS_OUTBUF = 3255,        // no memory for the output buffer
    VOZ_RS_POS_SPARE = 3266,         // no memory for the spare buffer
    VOZ_RS_POS_TOO_LONG = 3267,      // level-0 list passes 2^40-1 bytes
    VOZ_RS_POS_NO_INSERT = 3273,     // run insert asked of a short level
    VOZ_RS_POS_SLOT_TOO_BIG = 3281,  // a level-1/2 list outgrew its slot
    VOZ_RS_POS_BAD_SLOT = 3282,      // a level-2 slot's pin table is bad
    VOZ_RS_POS_BAD_ATTR = 3283,      // a level-0 list length is not sane
};

// Last document id of an empty list.
constexpr uint32_t VOZ_NO_LAST = 0xFFFFFFFFu;
// Largest list a level-0 list may hold (40-bit length).
constexpr uint64_t VOZ_POS_MAX_LEVEL0 = (uint64_t(1) << 40) - 1;
// Largest slot the shared slot file hands out.
constexpr uint32_t VOZ_POS_MAX_SLOT = 16384;
// Staging area of a level-2 slot (pin table plus documents).
constexpr uint32_t VOZ_POS_MED_STAGING = 32768;

// The attributes of a list that has no storage yet.
inline POS_ATTR voz_EmptyPosAttr(uint8_t level) {
    POS_ATTR a{};
    a.blockID = VOZ_POS_NO_BLOCK;
    a.level = level;
    a.lastDocId = VOZ_NO_LAST;
    return a;
}

// The storage-level interface of one position list.
class CVozPos : public CVozObject {
public:
    CVozPos() = default;
    ~CVozPos() override;
    CVozPos(const CVozPos&) = delete;
    CVozPos& operator=(const CVozPos&) = delete;

    // Loads the list that `a` locates.
    virtual void Internalize(POS_ATTR& a) = 0;
    // Starts a new, empty list.
    virtual void Internalize() {}
    // Stores the list and fills `a` with its new location.
    virtual void Externalize(POS_ATTR& a) = 0;
    // Inserts one run of documents (the B-tree level).
    virtual void InsertDocs(POS_DATA& d) = 0;
    // Merges the lists of n readers into this list (the short levels).
    virtual void InsertDocs(CVozPosShort** sources, uint32_t n);
    virtual void AppendDocs(POS_DATA& d) = 0;
    // Records ascending deleted ids (not copied; they must outlive the
    // next merge) to be dropped by the next merge.
    virtual void DeleteDocs(const uint32_t* ids, uint32_t n) = 0;
    // Moves to the first document with id >= target; 0 with its id in
    // `doc`, or non-zero (-1, 99) with doc = 0x7FFFFFFF at the end.  The
    // reader always leaves the current document first.
    virtual int32_t PointVvgSkip(uint32_t target, uint32_t& doc) = 0;
    // First position >= target of the current document, consumed; `count`
    // receives the positions consumed in the document.  0, or non-zero
    // with pos = 0x40000000 when the document has no further position.
    virtual int32_t PointPosSkip(int32_t target, int32_t& pos,
                                 int32_t& count) = 0;
    virtual int32_t GetLevel() = 0;
    // Releases the storage of the list that `a` locates.
    virtual void RemovePos(POS_ATTR& a) = 0;
};

// A list held in one CVozBufferPos.
class CVozPosShort : public CVozPos {
public:
    CVozPosShort();
    ~CVozPosShort() override;

    // Takes the length, document count and last id from `a`; clears the
    // buffer, the pending deletions and the modified flag.
    void Internalize(POS_ATTR& a) override;
    // Sets the document count, last id (0xFFFFFFFF when empty) and level.
    void Externalize(POS_ATTR& a) override;
    // Throws (17, 3273): runs go to the B-tree level only.
    void InsertDocs(POS_DATA& d) override;
    void InsertDocs(CVozPosShort** sources, uint32_t n) override;
    void AppendDocs(POS_DATA& d) override { InsertDocs(d); }
    void DeleteDocs(const uint32_t* ids, uint32_t n) override;
    int32_t PointVvgSkip(uint32_t target, uint32_t& doc) override;
    int32_t PointPosSkip(int32_t target, int32_t& pos,
                         int32_t& count) override;

    virtual CVozBufferPos* GetBufferPos() { return m_cur; }
    // True while bytes of the list remain unread in its file.
    virtual bool IsRemaining() { return false; }
    // Reads the next part of the list into the buffer.
    virtual void ReadNext(uint8_t raw) { (void)raw; }
    // Writes `out`'s bytes to the list's file and empties it (keeping its
    // document state); nothing for the in-memory levels.
    virtual void FlushData(CVozBufferPos* out) { (void)out; }
    virtual uint64_t GetDataLen() { return m_dataLen; }
    virtual bool IsModified() { return m_modified != 0; }
    // The pending deleted ids and their count.
    const uint32_t* PendingDeletions(uint32_t& n) const {
        n = m_delCount;
        return m_delIds;
    }

protected:
    // True when a merge of the list's own buffer alone, without deletions,
    // may leave the list as it is (false where the list must be rewritten).
    virtual bool KeepsUnchangedList() { return true; }
    // The buffer the merge writes into (created on first use).
    CVozBufferPos* OutputBuffer();
    // Makes `out` the list's buffer.
    void SwapInOutput();

    const uint32_t* m_delIds;   // pending deleted ids (not owned)
    uint32_t m_delCount;
    CVozBufferPos* m_cur;       // the list's current buffer
    CVozBufferPos* m_out;       // spare output buffer of a merge
    CVozBufferPos m_own;        // the list's own buffer
    std::unique_ptr<CVozBufferPos> m_spare;  // second buffer, on demand
    uint64_t m_dataLen;         // 40 bits used
    uint8_t m_eop;              // the current document's positions ended
    uint8_t m_modified;

private:
    uint32_t Advance(CVozPosShort* s, uint32_t target, int32_t reason);
    uint32_t CopyBelow(CVozPosShort* s, uint32_t cur, uint32_t limit);
};

#endif  // VOZ_POS_HPP
