// voz_leaf.hpp - CVozLeaf, a leaf of the position B-tree: one slice of a
// list's encoded position stream (voz_bufferpos.hpp) in a block of the
// leaf file, or, for the rightmost leaf and a leaf root, in a slot.
//
// Leaf block (integers big-endian; block size from the leaf manager):
//   off  size  field
//     0     1  nodekind, 2
//     1     1  numPinpoints, 0..32
//     2     1  flg_continued: the first document continues one of the
//              previous leaf
//     3     1  flg_continue: the last document continues in the next leaf
//     4     4  zero
//     8     4  first document id (all-ones when empty)
//    12     4  last document id
//    16     4  poslen: bytes of stream, 0..block size - 280
//    20     4  carried count: positions of the first document stored in
//              earlier leaves (0 unless flg_continued)
//    24   256  pin points: 32 x (document id in front of the pinned header,
//              offset of that header from byte 280); unused entries zero
//   280     *  the stream, poslen bytes; the rest of the block zero
// A leaf in a slot is the first 280 + poslen bytes of that image.  On load
// the first document id and the first-position key are taken from the
// stream itself, never from bytes 8-11.
//
// Inside a leaf each document's first position is absolute; a document cut
// over two leaves starts again in the second with a fresh header (same
// id); the first header of a leaf has its delta from -1.
#ifndef VOZ_LEAF_HPP
#define VOZ_LEAF_HPP

#include <vector>

#include "postings/voz_node.hpp"

class CVozLeaf : public CVozNode {
public:
    CVozLeaf(CVozBlockMgr* leafMgr, CVozBlockMgr* branchMgr,
             CVozSharedBlockMgr* sharedMgr, POS_ATTR* rootAttrs);
    // Deletes an unclaimed sibling and the scratch buffer.
    ~CVozLeaf() override;

    void ReleaseBlock() override;
    int32_t Delete_aux(WALKKEY& start, WALKKEY& end, uint32_t** ids,
                       uint32_t& count, RESULT_OPE* result) override;
    int32_t Insert_aux(WALKKEY& start, WALKKEY& next, WALKKEY& end,
                       CVozLump* lump, childinfo_struct* sibling,
                       int32_t mode, RESULT_OPE* result) override;
    int32_t Load_aux(WALKKEY& key, CVozChunk** chunk) override;
    int32_t Next_aux(WALKKEY& key, CVozChunk** chunk) override;
    // Loads and validates the leaf: (17, 6366) for a head that fails.
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
    // Bytes that the position delta current - previous takes (1-5).
    static int32_t CalculateOnePos(int32_t previous, int32_t current);
    void Extract_DocidStart_from_PosBlock();
    void Extract_DocidEnd_from_PosBlock();

    // Leaf writers: every byte goes behind poslen; `used` is the written-
    // bytes count the lump shares.  (17, 6345) / (17, 6350) past capacity.
    int32_t AppendOneDoc(CVozLump* lump, int32_t mode, int32_t& used);
    int32_t AppendMultipleDocs(CVozLump* lump, int32_t mode, int32_t used,
                               int32_t& written, uint32_t limitDocid);
    void AppendVvgHeader2(uint32_t firstDocid, uint32_t lastDocid,
                          int32_t length, int32_t& used);
    void CopyRemain(CVozLump* lump, int32_t& used);

    // Rebuilds first/last ids, first-position key and pin points.
    void Refresh();
    uint8_t* Image() const { return m_info.data; }

    CVozLump* m_lump;           // kept null: the lumps of an insert are
                                // the caller's and a local of the merge
    CVozLeaf* m_sibling;        // new right sibling until handed up
    uint8_t* m_scratch;         // one leaf block, owned
    POS_BLOCK pos_block;

private:
    void SetDataPointer() { pos_block.data = m_info.data + VOZ_LEAF_HEAD; }
    bool HeadValid() const;
    void WriteHead();
    void Put(const uint8_t* bytes, int32_t n, int32_t reason);
    int32_t WriteStep(CVozLump* lump, int32_t& used);
    int32_t AppendMerged(CVozLump* old, CVozLump* add, int32_t& used);
    int32_t TakeDocs(CVozLump* src, int32_t mode, uint32_t limit,
                     int32_t room, int32_t& used);
    int32_t RoomForNew(bool firstLeaf, CVozLump& old, int32_t used,
                       int32_t length) const;
    CVozLeaf* NewSibling(childinfo_struct* sibling, RESULT_OPE* result);
    int32_t MergeStreams(WALKKEY& end, CVozLump* lump, int32_t mode,
                         RESULT_OPE* result, childinfo_struct* sibling,
                         int32_t& cutAtEnd, int32_t& cutInSibling);
    void FinishInsert(uint8_t oldContinue, int32_t startedInside,
                      int32_t cutAtEnd, int32_t cutInSibling);
    int32_t FindDoc(int32_t& from, uint32_t& prevId, uint32_t target,
                    int32_t& headerOff, uint32_t& foundId);
    bool RemoveDoc(int32_t off, uint32_t prevId, int32_t next);
    void SplitRemoving(std::vector<uint8_t>& stream);
};

// Moves `ids`/`count` past every id below `bound` (binary search).
void voz_SkipIdsBelow(uint32_t** ids, uint32_t& count, uint32_t bound);

#endif  // VOZ_LEAF_HPP
