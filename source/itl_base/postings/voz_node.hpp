// voz_node.hpp - the nodes of the position B-tree: CVozBridge (stream
// walks shared with the position lists), CVozNode (loading, storing,
// pinning and copy-on-write common to both kinds), and the keys and
// results that nodes exchange with their parents.
//
// A position list grown past the medium level is kept as a B-tree: leaves
// (voz_leaf.hpp) hold consecutive slices of the list's encoded stream,
// branches (voz_branch.hpp) one entry per child keyed by the child's first
// (document id, position key).  Leaves live in the leaf block file and
// branches in the branch block file, each behind its own CVozBlockMgr; the
// root and the rightmost leaf live in slots of the shared slot file
// instead.  A node is pinned for the length of one operation: created and
// internalized on demand, written back by ExternalizeNode (or dropped by
// ExternalizeNodeFree after a pure read), then deleted by its holder.
//
// Node states: 0 as loaded (or made in memory), 2 modified, 3 on a block
// created for it.  Only states 2 and 3 are written back.  MakeWritable is
// the copy-on-write step: a committed block is never changed in place, the
// node moves to a new block and the old one is released (it becomes free
// when the block manager's transaction commits).
//
// All failures are thrown as CVozException; nothing is rolled back inside
// the tree.  One thread; nothing is locked.  Nodes are not copyable.
#ifndef VOZ_NODE_HPP
#define VOZ_NODE_HPP

#include <cstdint>

#include "blocks/voz_blockmgr.hpp"
#include "postings/voz_chunk.hpp"
#include "blocks/voz_posattr.hpp"
#include "blocks/voz_sharedblock.hpp"

constexpr uint32_t VOZ_ALL_ONES = 0xFFFFFFFFu;

// Bytes in front of a leaf's stream: head (24) and pin table (256).
constexpr int32_t VOZ_LEAF_HEAD = 280;
// Bytes of a branch head and of one child entry.
constexpr int32_t VOZ_BRANCH_HEAD = 16;
constexpr int32_t VOZ_BRANCH_ENTRY = 16;
// Child pointers a branch object can hold; a branch never has more
// children, whatever its block size.
constexpr int32_t VOZ_BRANCH_MAX_CHILDREN = 256;
// Two leaves are merged when their data together stays below capacity
// minus this many bytes.
constexpr int32_t VOZ_LEAF_MERGE_SLACK = 80;

// Node kinds, written to disk in byte 0 of every node: never renumber.
enum : int32_t { VOZ_NODE_BRANCH = 1, VOZ_NODE_LEAF = 2 };

// Node states.
enum : int32_t {
    VOZ_NODE_LOADED = 0,
    VOZ_NODE_MODIFIED = 2,
    VOZ_NODE_CREATED = 3,
};

// Results a change writes for its parent (RESULT_OPE).
enum : int32_t {
    VOZ_OPE_NONE = 0,
    VOZ_OPE_CHANGED = 1,     // Delete_aux: the node changed
    VOZ_OPE_EMPTY = 2,       // leaf Delete_aux: the leaf is empty
    VOZ_OPE_UNDERFULL = 3,   // branch Delete_aux: below the half count
    VOZ_OPE_HALF = 4,        // leaf Delete_aux: data below half capacity
    VOZ_OPE_SPLIT = 5,       // Insert_aux: a new right sibling is reported
                             // in childinfo_struct; Delete_aux: one is
                             // kept in the node's m_sibling (a follower's
                             // longer header overfilled a leaf)
};

// Return values of Delete_aux.
enum : int32_t {
    VOZ_DEL_CONSUMED = 5,    // a document was deleted and its id consumed
    VOZ_DEL_CONTINUES = 6,   // deleted document goes on in the next leaf
    VOZ_DEL_NOTHING = 7,     // nothing (more) to delete here
};

// Modes of Insert_aux.
enum : int32_t { VOZ_INSERT_MERGE = 0, VOZ_INSERT_NEW = 1 };

// Next_aux: no further leaf.
constexpr int32_t VOZ_NEXT_NONE = 9;

typedef int32_t RESULT_OPE;

// A position in the tree: a document id and a position key.  The key is
// non-zero only where a leaf begins inside a document whose positions
// started in the leaf before (it is then that leaf's first position).
struct WALKKEY {
    uint32_t docid;
    int32_t poskey;
};

// Orders keys as the branches do: by id, then by position key.
inline bool voz_KeyLessEq(uint32_t id, int32_t key, const WALKKEY& k) {
    return id < k.docid || (id == k.docid && key <= k.poskey);
}

class CVozNode;

// A new right sibling reported to the parent.
struct childinfo_struct {
    CVozNode* node;      // owned by the receiver from now on
    uint32_t docid;      // first document id of the sibling's subtree
    int32_t poskey;      // and its first-position key
    uint32_t blockID;    // the sibling's block
};

// Walks over a whole encoded stream; base of the nodes and position lists.
class CVozBridge : public CVozObject {
public:
    ~CVozBridge() override;

    // Walks every header of `stream` (its first delta relative to `docid`
    // on entry) and reports the first document's id (in `docid`), header
    // size and L, and the last document's id.  (17, 6369) when the walk
    // does not end exactly at `length`.
    static void Extract_Signature_POS_DATA(const uint8_t* stream,
                                           uint32_t length, uint32_t& docid,
                                           uint32_t& lastDocid,
                                           uint32_t& count,
                                           int16_t& headerSize,
                                           int32_t& firstLength);
    // The same walk; the document list it would print is not written
    // anywhere (the engine has no trace hook for it), so it only checks.
    static void Print_Docid_in_POS_DATA(const uint8_t* stream,
                                        uint32_t length, uint32_t& docid,
                                        uint32_t& lastDocid, uint32_t& count,
                                        int16_t& headerSize,
                                        int32_t& firstLength);
};

class CVozBranch;

class CVozNode : public CVozBridge {
public:
    // The managers are not owned; `rootAttrs` is the owning list's
    // attributes, whose document count the changes keep up to date.
    CVozNode(int32_t kind, CVozBlockMgr* leafMgr, CVozBlockMgr* branchMgr,
             CVozSharedBlockMgr* sharedMgr, POS_ATTR* rootAttrs);
    // Frees a heap image and gives back a block still pinned (unchanged):
    // only a node dropped after a failure still holds one.
    ~CVozNode() override;
    CVozNode(const CVozNode&) = delete;
    CVozNode& operator=(const CVozNode&) = delete;

    virtual void ReleaseBlock() = 0;
    virtual int32_t Delete_aux(WALKKEY& start, WALKKEY& end,
                               uint32_t** ids, uint32_t& count,
                               RESULT_OPE* result) = 0;
    virtual int32_t Insert_aux(WALKKEY& start, WALKKEY& next, WALKKEY& end,
                               CVozLump* lump, childinfo_struct* sibling,
                               int32_t mode, RESULT_OPE* result) = 0;
    virtual int32_t Load_aux(WALKKEY& key, CVozChunk** chunk) = 0;
    virtual int32_t Next_aux(WALKKEY& key, CVozChunk** chunk) = 0;
    virtual void InternalizeNode(POS_ATTR attrs, int32_t isRoot) = 0;
    virtual uint32_t ExternalizeNodeFree(int32_t isRoot) = 0;
    virtual uint32_t ExternalizeNode(int32_t isRoot) = 0;
    virtual uint32_t ExtractMaxDocid() = 0;
    virtual void Unpin() = 0;
    virtual void Pin() = 0;
    virtual uint32_t NewBlockSetting(int32_t inMemory) = 0;
    virtual void Get_DocidStart(uint32_t& docid, int32_t& position) = 0;
    virtual void Get_DocidEnd(uint32_t& docid) = 0;
    virtual uint32_t ExtractNumdoc() = 0;
    virtual void MakeWritable() = 0;

    // Makes a branch bound to the same managers and list.  (11, 6320).
    CVozBranch* CreateBranch();
    // Pins the node's image: with fromSlot (or a child stored in a slot)
    // its slot is read into a heap image, else its block is pinned.
    void Pin2(int32_t fromSlot);

    // Size checks made when a tree is opened: a leaf block must hold the
    // head, some data and fit a slot; a branch block at least 3 children.
    // (17, 6390) leaf size, (17, 6391) branch size.
    static void CheckBlockSizes(uint32_t leafBlockSize,
                                uint32_t branchBlockSize);

    CVozBlockMgr* m_leafMgr;
    CVozBlockMgr* m_branchMgr;
    CVozSharedBlockMgr* m_sharedMgr;
    POS_ATTR m_attrs;          // own location: blockID, blkOffset, dataleng
    uint32_t m_block;          // pinned block; all-ones: heap image
    CVozBlockInfo m_info;      // image pointer and modified flag
    int32_t nodekind;          // VOZ_NODE_BRANCH or VOZ_NODE_LEAF
    int32_t m_rightmost;       // root, or last child of a rightmost node
    POS_ATTR* m_rootAttrs;     // the list's attributes (not owned)
    int32_t m_pinned;
    int32_t m_state;           // VOZ_NODE_LOADED/MODIFIED/CREATED
    int16_t m_leafCapacity;    // leaf block size - 280
    uint16_t m_inBlock;        // 1: image is a block; 0: from/to a slot

protected:
    CVozBlockMgr* Mgr() const {
        return nodekind == VOZ_NODE_LEAF ? m_leafMgr : m_branchMgr;
    }
    // The shared parts of the operations; `rc*` are the kind's reasons.
    void PinCommon(int32_t rcPinned, int32_t rcHeap, int32_t rcNoMem);
    void UnpinCommon(int32_t rcNoHeap, int32_t rcNotPinned);
    void ReleaseBlockCommon(int32_t rcHeap);
    void MakeWritableCommon(int32_t rcNotPinned);
    // The block part of NewBlockSetting: a new block (state 3, zeroed) or
    // a heap image (state 0), pinned.
    void NewBlockCommon(int32_t inMemory);
    // Reads the node's slot into its heap image.
    void ReadSlotImage();
    // Moves the image to a slot of `length` bytes or to a block.
    void StoreToSlot(uint32_t length);
    void StoreToBlock();
    // Frees the heap image or unpins the block without marking anything.
    void UnpinFree();
    void FreeHeap();
    uint32_t BlockSize() const { return Mgr()->GetBlockSize(); }
};

#endif  // VOZ_NODE_HPP
