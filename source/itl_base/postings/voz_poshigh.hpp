// voz_poshigh.hpp - CVozPosHigh, a position list kept as a B-tree of leaf
// and branch blocks (levels 4 and 8), and the feeding of merged short
// lists into it.
//
// The tree itself is CVozBTree (voz_btree.hpp); this level binds it to the
// brokers' managers and to the CVozPos interface:
//  - Internalize(a) loads the root (blockID all ones: an empty tree);
//  - DeleteDocs removes the documents at once (so that a document deleted
//    and indexed again in the same merge can be inserted afterwards);
//  - InsertDocs(POS_DATA) inserts a run of documents new to the list;
//  - Externalize(a) stores the tree and fills a (level 4 for a leaf root,
//    8 for a branch root); an unchanged tree is released without writing,
//    so a reader never writes;
//  - PointVvgSkip always leaves the current document first.
// The tree is held only between Internalize and Externalize; any other
// operation outside that span is (17, 6199).
#ifndef VOZ_POSHIGH_HPP
#define VOZ_POSHIGH_HPP

#include <cstdint>
#include <memory>

#include "postings/voz_pos.hpp"

class CVozBlockMgr;
class CVozSharedBlockMgr;
class CVozBTree;

class CVozPosHigh : public CVozPos {
public:
    CVozPosHigh();
    CVozPosHigh(CVozBlockMgr* branch, CVozBlockMgr* leaf,
                CVozSharedBlockMgr* shared);
    ~CVozPosHigh() override;

    void SetBlockMgr(CVozBlockMgr* branch, CVozBlockMgr* leaf,
                     CVozSharedBlockMgr* shared);
    void Internalize(POS_ATTR& a) override;
    void Externalize(POS_ATTR& a) override;
    void InsertDocs(POS_DATA& d) override;
    void AppendDocs(POS_DATA& d) override { (void)d; }
    void DeleteDocs(const uint32_t* ids, uint32_t n) override;
    int32_t PointVvgSkip(uint32_t target, uint32_t& doc) override;
    int32_t PointPosSkip(int32_t target, int32_t& pos,
                         int32_t& count) override;
    int32_t GetLevel() override { return VOZ_POS_LEVEL_HIGH_BRANCH; }
    void RemovePos(POS_ATTR& a) override { (void)a; }

    // Merges the lists of n short readers (with their pending deletions)
    // and inserts their documents into the tree.  Documents already in
    // the tree are refused by the tree (17, 6338).
    void AddToBTree(CVozPosShort** sources, uint32_t n);
    // Drops the tree without writing (after a failure).
    void ExternalizeFree();

private:
    CVozBTree& Tree();

    CVozBlockMgr* m_branch;
    CVozBlockMgr* m_leaf;
    CVozSharedBlockMgr* m_shared;
    std::unique_ptr<CVozBTree> m_tree;
    POS_ATTR m_attr;          // as loaded
    uint8_t m_changed;        // documents inserted or deleted
    uint8_t m_started;        // a document was returned
    uint32_t m_lastDoc;       // the last document returned
};

#endif  // VOZ_POSHIGH_HPP
