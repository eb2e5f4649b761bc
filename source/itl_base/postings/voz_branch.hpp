// voz_branch.hpp - CVozBranch, a branch of the position B-tree: one entry
// per child, keyed by the first (document id, position key) of the
// child's subtree.
//
// Branch block (integers big-endian):
//   off  size  field
//     0     1  nodekind, 1
//     1     1  nodekind_childlayer: 1 children are branches, 2 leaves
//     2     4  nchilds, 1..maximum
//     6    10  zero
//    16  16*n  child entries; unused entries up to the maximum zero
// Child entry:
//     0     2  the child's dataleng (0 for a child in a whole block)
//     2     2  its blkOffset
//     4     4  first document id of the child's subtree
//     8     4  first-position key of that subtree (signed)
//    12     4  the child's blockID
// The maximum child count is what the block holds, (size - 16) / 16, at
// most 256 (255 for a 4 KB block).  The first entry of every branch on the
// leftmost path holds the key (0, 0) and keeps it.  A branch in a slot is
// its first 16 + 16 * nchilds bytes.
#ifndef VOZ_BRANCH_HPP
#define VOZ_BRANCH_HPP

#include "postings/voz_node.hpp"

class CVozLeaf;

class CVozBranch : public CVozNode {
public:
    CVozBranch(CVozBlockMgr* leafMgr, CVozBlockMgr* branchMgr,
               CVozSharedBlockMgr* sharedMgr, POS_ATTR* rootAttrs);
    // Deletes loaded children and an unclaimed sibling without writing.
    ~CVozBranch() override;

    void ReleaseBlock() override;
    int32_t Delete_aux(WALKKEY& start, WALKKEY& end, uint32_t** ids,
                       uint32_t& count, RESULT_OPE* result) override;
    int32_t Insert_aux(WALKKEY& start, WALKKEY& next, WALKKEY& end,
                       CVozLump* lump, childinfo_struct* sibling,
                       int32_t mode, RESULT_OPE* result) override;
    int32_t Load_aux(WALKKEY& key, CVozChunk** chunk) override;
    int32_t Next_aux(WALKKEY& key, CVozChunk** chunk) override;
    // Loads and validates the branch: (17, 6328), nchilds 0 afterwards.
    void InternalizeNode(POS_ATTR attrs, int32_t isRoot) override;
    uint32_t ExternalizeNodeFree(int32_t isRoot) override;
    uint32_t ExternalizeNode(int32_t isRoot) override;
    uint32_t ExtractMaxDocid() override;
    void Unpin() override;
    void Pin() override;
    uint32_t NewBlockSetting(int32_t inMemory) override;
    void Get_DocidStart(uint32_t& docid, int32_t& position) override;
    void Get_DocidEnd(uint32_t& docid) override;
    uint32_t ExtractNumdoc() override;
    void MakeWritable() override;

    void Unpin2(int32_t toSlot);
    // Index of the child whose subtree holds `key`.
    int32_t Locate_subtree(const WALKKEY& key) const;
    // Creates and internalizes child `index` (when not loaded).
    CVozNode* LoadChild(int32_t index);
    // Writes out and drops the loaded children with an index below n.
    void ExternalizeLowerChild(int32_t n);
    // Merges or rebalances children i and i+1 (both branches); 1 when
    // merged (the caller removes child i+1).
    int32_t Merge_nodes(int32_t i);

    // Entry fields (host order).
    uint32_t EntryDocid(int32_t i) const;
    int32_t EntryKey(int32_t i) const;
    uint32_t EntryBlock(int32_t i) const;
    uint16_t EntryLength(int32_t i) const;
    uint16_t EntryOffset(int32_t i) const;
    void SetEntryKey(int32_t i, uint32_t docid, int32_t key);
    void SetEntryPlace(int32_t i, const POS_ATTR& a);
    // Makes a new root over `oldRoot` and the sibling it reported.
    static CVozBranch* GrowRoot(CVozNode* oldRoot,
                                const childinfo_struct& sibling);
    // Sets the rightmost flag of every loaded descendant from its place.
    void FixRightmost();
    // Takes the right sibling that `node` made in a Delete_aux that
    // reported 5 (kept in its m_sibling) and describes it for the parent.
    static childinfo_struct TakePending(CVozNode* node);

    CVozBranch* m_sibling;       // new right sibling until handed up
    uint8_t* m_entries;          // image + 16
    int32_t nchilds;
    int32_t nodekind_childlayer; // 1 branches, 2 leaves
    CVozNode* m_childs[VOZ_BRANCH_MAX_CHILDREN];  // loaded children, owned
    int16_t m_maxChilds;
    int16_t m_halfChilds;
    // Branch levels above this one as loaded (0 for the root): a chain of
    // branches deeper than any tree can grow is a cycle in damaged blocks.
    int32_t m_depth;

private:
    bool HeadValid() const;
    void WriteChild(int32_t i, int32_t rightmost);
    void DeleteChildren();
    void RemoveChild(int32_t k, RESULT_OPE* result);
    void InsertEntry(int32_t at, const childinfo_struct& info);
    void TakeSibling(int32_t i, childinfo_struct& info,
                     childinfo_struct* sibling, RESULT_OPE* result);
    void SplitWith(int32_t at, const childinfo_struct& info,
                   childinfo_struct* sibling, RESULT_OPE* result);
    void AbsorbNextLeaf(int32_t i, CVozLeaf* s);
    void MergeLeaves(int32_t j);
    WALKKEY ChildEnd(int32_t i, const WALKKEY& end) const;
    void MoveEntries(CVozBranch* from, int32_t fromIdx, CVozBranch* to,
                     int32_t toIdx, int32_t n);
};

#endif  // VOZ_BRANCH_HPP
