// voz_btree.hpp - CVozBTree, the holder of one position list's B-tree
// root: it grows the tree at the top when the root splits, shrinks it
// when a root branch is left with one child, reads the list document by
// document through a chunk, and stores the root back into its slot.  The
// high position level keeps one for a list at level 4 (root is a leaf) or
// 8 (root is a branch).  voz_BTreeCheck walks a stored tree and reports
// the first broken invariant.
//
// Use: Internalize, then reads (PointVvgSkip / PointPosSkip), InsertDocs
// and DeleteDocs, then Externalize (or ExternalizeFree to drop the
// changes held in memory).  The list's POS_ATTR is kept up to date by the
// nodes (document count) and by Externalize (location, level, last id).
// All failures are thrown as CVozException; after a failed change the
// caller drops the tree (ExternalizeFree) and rolls back the managers'
// transaction.  Not copyable; one thread.
#ifndef VOZ_BTREE_HPP
#define VOZ_BTREE_HPP

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "postings/voz_node.hpp"

class CVozBTree : public CVozObject {
public:
    // The managers are not owned.  Throws (17, 6390) / (17, 6391) when the
    // leaf or branch block size cannot hold a tree (voz_node.hpp);
    // (11, 6114) when the reader cannot be made.
    CVozBTree(CVozBlockMgr* branchMgr, CVozBlockMgr* leafMgr,
              CVozSharedBlockMgr* sharedMgr);
    // Drops what is held without writing (ExternalizeFree, errors ignored).
    ~CVozBTree() override;
    CVozBTree(const CVozBTree&) = delete;
    CVozBTree& operator=(const CVozBTree&) = delete;

    // Loads the root of the list at `a`; blockID all-ones starts an empty
    // list (a leaf root).  (17, 6366) / (17, 6328) for a damaged root.
    void Internalize(const POS_ATTR& a);
    // Inserts a run of documents, all new to the list (17, 6338 when one
    // is present), in ascending id order, first delta relative to
    // d.baseDocid.
    void InsertDocs(POS_DATA& d);
    // Deletes the documents of the ascending array `ids` (absent ids are
    // ignored).  The array is not kept.
    void DeleteDocs(const uint32_t* ids, uint32_t n);
    // Stores the tree and fills `a` (location, level 4 or 8, document
    // count, last id; an empty list gives blockID all-ones, dataleng 0).
    // The tree is released afterwards.
    void Externalize(POS_ATTR& a);
    // Releases the tree without writing anything.
    void ExternalizeFree();

    // Moves to the first document >= target: 0 and its id in `doc`, or 99
    // at the end of the list.  Only forward, until ResetRead.
    int32_t PointVvgSkip(uint32_t target, uint32_t& doc);
    // The first position >= target of the current document and its
    // ordinal (1-based over the whole document): 0; -1 with position
    // 0x40000000 when the document has no further one; 99 at the list end.
    int32_t PointPosSkip(int32_t target, int32_t& pos, int32_t& count);
    // Starts reading from the beginning again.
    void ResetRead();

    const POS_ATTR& Attrs() const { return m_attrs; }
    CVozNode* Root() const { return m_root; }

private:
    bool LumpDone(const CVozLump& lump) const;
    void ShrinkRoot();

    CVozBlockMgr* m_branchMgr;
    CVozBlockMgr* m_leafMgr;
    CVozSharedBlockMgr* m_sharedMgr;
    CVozNode* m_root;          // owned
    CVozChunk* m_chunk;        // owned reader
    POS_ATTR m_attrs;
    int32_t m_state;           // 5 loaded, 6 changed
    int32_t m_ended;           // the reader passed the last document
    uint32_t m_lastAsked;      // last document returned by PointVvgSkip
};

// One document as the checker reads it: id and positions (in order, over
// all leaves that hold a part of it).
typedef std::vector<std::pair<uint32_t, std::vector<uint32_t>>> VozBTreeDump;

// Walks the whole tree stored at `a` and checks every node: heads, stream
// syntax, ascending ids and positions, continuation flags and carried
// counts, pin points, branch keys against their children, fill of
// branches, equal leaf depth, and the document count and last id of `a`.
// Returns "" when the tree is sound, else a description of the first
// fault.  With `dump`, the documents are appended to it.
std::string voz_BTreeCheck(CVozBlockMgr* branchMgr, CVozBlockMgr* leafMgr,
                           CVozSharedBlockMgr* sharedMgr, const POS_ATTR& a,
                           VozBTreeDump* dump);

#endif  // VOZ_BTREE_HPP
