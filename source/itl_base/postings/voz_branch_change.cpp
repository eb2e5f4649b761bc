// voz_branch_change.cpp - CVozBranch's changes: passing inserts and
// deletes down to the child that holds the key, taking in a new right
// sibling (absorbed by the next leaf when both fit, a new entry, or a split
// of this branch), removing emptied children, and merging or rebalancing
// underfull children.  Root growth and shrinkage are done by the holder of
// the root (voz_btree.cpp), with GrowRoot.
#include <cstring>

#include "postings/voz_branch.hpp"
#include "postings/voz_leaf.hpp"

namespace {

[[noreturn]] void Throw(int32_t rc, int32_t reason) {
    throw CVozException(rc, reason);
}

}  // namespace

WALKKEY CVozBranch::ChildEnd(int32_t i, const WALKKEY& end) const {
    if (i == nchilds - 1) return end;
    return WALKKEY{EntryDocid(i + 1), EntryKey(i + 1)};
}

// Copies n entries and child pointers from `from` at fromIdx to `to` at
// toIdx (the ranges may overlap inside one branch).
void CVozBranch::MoveEntries(CVozBranch* from, int32_t fromIdx, CVozBranch* to,
                             int32_t toIdx, int32_t n) {
    if (n <= 0) return;
    std::memmove(to->m_entries + toIdx * VOZ_BRANCH_ENTRY,
                 from->m_entries + fromIdx * VOZ_BRANCH_ENTRY,
                 n * VOZ_BRANCH_ENTRY);
    std::memmove(&to->m_childs[toIdx], &from->m_childs[fromIdx],
                 n * sizeof(CVozNode*));
}

void CVozBranch::InsertEntry(int32_t at, const childinfo_struct& info) {
    MoveEntries(this, at, this, at + 1, nchilds - at);
    POS_ATTR a = POS_ATTR();
    a.blockID = info.blockID;
    SetEntryPlace(at, a);
    SetEntryKey(at, info.docid, info.poskey);
    m_childs[at] = info.node;
    ++nchilds;
    FixRightmost();
}

void CVozBranch::FixRightmost() {
    for (int32_t k = 0; k < nchilds; ++k) {
        CVozNode* c = m_childs[k];
        if (!c) continue;
        c->m_rightmost = (m_rightmost && k == nchilds - 1) ? 1 : 0;
        if (c->nodekind == VOZ_NODE_BRANCH)
            static_cast<CVozBranch*>(c)->FixRightmost();
    }
}

// This branch is full: the maximum + 1 entries (the new one at `at`) are
// cut into this branch (the half count) and a new right sibling.
void CVozBranch::SplitWith(int32_t at, const childinfo_struct& info,
                           childinfo_struct* sibling, RESULT_OPE* result) {
    CVozBranch* b = CreateBranch();
    m_sibling = b;
    b->NewBlockSetting(0);
    b->nodekind_childlayer = nodekind_childlayer;
    int32_t total = nchilds + 1;
    int32_t keep = m_halfChilds;
    // Entries at or behind `keep` of the combined order go to b.
    if (at >= keep) {
        int32_t before = at - keep;   // old entries keep..at-1
        MoveEntries(this, keep, b, 0, before);
        b->nchilds = before;
        b->InsertEntry(before, info);
        MoveEntries(this, at, b, before + 1, nchilds - at);
        b->nchilds = total - keep;
    } else {
        MoveEntries(this, keep - 1, b, 0, nchilds - (keep - 1));
        b->nchilds = nchilds - (keep - 1);
        nchilds = keep - 1;
        InsertEntry(at, info);
    }
    for (int32_t k = keep; k < VOZ_BRANCH_MAX_CHILDREN; ++k)
        m_childs[k] = nullptr;
    nchilds = keep;
    if (m_rightmost) {
        m_rightmost = 0;
        b->m_rightmost = 1;
    }
    FixRightmost();
    b->FixRightmost();
    // Write out this branch's children and all but b's last loaded one.
    ExternalizeLowerChild(nchilds);
    int32_t lastLoaded = -1;
    for (int32_t k = 0; k < b->nchilds; ++k)
        if (b->m_childs[k]) lastLoaded = k;
    b->ExternalizeLowerChild(lastLoaded);
    m_sibling = nullptr;
    sibling->node = b;
    sibling->docid = b->EntryDocid(0);
    sibling->poskey = b->EntryKey(0);
    sibling->blockID = b->m_block;
    *result = VOZ_OPE_SPLIT;
}

// The new leaf `s` at i+1 takes the whole next leaf R (at i+2 after the
// insert) when both fit in one leaf; R is given up.
void CVozBranch::AbsorbNextLeaf(int32_t i, CVozLeaf* s) {
    CVozLeaf* r = static_cast<CVozLeaf*>(LoadChild(i + 1));
    CVozLump lump(r->pos_block.data, r->pos_block.poslen, VOZ_ALL_ONES, 0);
    WALKKEY from{r->pos_block.firstDocid, 0}, next{0, 0};
    WALKKEY to{VOZ_ALL_ONES, 0};
    childinfo_struct inner = childinfo_struct();
    RESULT_OPE res = VOZ_OPE_NONE;
    s->Insert_aux(from, next, to, &lump, &inner, VOZ_INSERT_MERGE, &res);
    if (res == VOZ_OPE_SPLIT) {
        delete inner.node;
        Throw(VOZ_RC_INCONSISTENT, 6329);
    }
    s->pos_block.flg_continue = r->pos_block.flg_continue;
    r->Unpin();
    r->ReleaseBlock();
    delete r;
    m_childs[i + 1] = s;
    POS_ATTR a = POS_ATTR();
    a.blockID = s->m_block;
    SetEntryPlace(i + 1, a);
    SetEntryKey(i + 1, s->pos_block.firstDocid, s->pos_block.firstPosKey);
}

int32_t CVozBranch::Insert_aux(WALKKEY& start, WALKKEY& next, WALKKEY& end,
                               CVozLump* lump, childinfo_struct* sibling,
                               int32_t /*mode*/, RESULT_OPE* result) {
    *result = VOZ_OPE_NONE;
    int32_t i = Locate_subtree(start);
    CVozNode* child = LoadChild(i);
    WALKKEY childEnd = ChildEnd(i, end);
    childinfo_struct info = childinfo_struct();
    RESULT_OPE cr = VOZ_OPE_NONE;
    child->Insert_aux(start, next, childEnd, lump, &info, VOZ_INSERT_NEW, &cr);
    MakeWritable();
    if (cr != VOZ_OPE_SPLIT) {
        ExternalizeLowerChild(i - 1);
        return 1;
    }
    TakeSibling(i, info, sibling, result);
    return 1;
}

// Child i reported a new right sibling `info`: a new leaf takes the next
// leaf whole when both fit, else the sibling gets an entry at i+1, or this
// branch splits (result 5, the new branch in `sibling`).
void CVozBranch::TakeSibling(int32_t i, childinfo_struct& info,
                             childinfo_struct* sibling, RESULT_OPE* result) {
    if (nodekind_childlayer == VOZ_NODE_LEAF && i + 1 < nchilds) {
        CVozLeaf* s = static_cast<CVozLeaf*>(info.node);
        CVozLeaf* r = static_cast<CVozLeaf*>(LoadChild(i + 1));
        // A sibling whose last document goes on in the caller's next call
        // must stay the last leaf before R.
        bool pending = s->pos_block.flg_continue &&
                       !(r->pos_block.flg_continued &&
                         r->pos_block.firstDocid == s->pos_block.lastDocid);
        if (!pending && s->pos_block.poslen + r->pos_block.poslen <
                            m_leafCapacity - VOZ_LEAF_MERGE_SLACK) {
            try {
                AbsorbNextLeaf(i, s);
            } catch (...) {
                if (m_childs[i + 1] != s) delete s;
                throw;
            }
            ExternalizeLowerChild(i - 1);
            return;
        }
    }
    if (nchilds < m_maxChilds) {
        InsertEntry(i + 1, info);
        ExternalizeLowerChild(i);
        return;
    }
    SplitWith(i + 1, info, sibling, result);
}

childinfo_struct CVozBranch::TakePending(CVozNode* node) {
    CVozNode* s;
    if (node->nodekind == VOZ_NODE_LEAF) {
        CVozLeaf* l = static_cast<CVozLeaf*>(node);
        s = l->m_sibling;
        l->m_sibling = nullptr;
    } else {
        CVozBranch* b = static_cast<CVozBranch*>(node);
        s = b->m_sibling;
        b->m_sibling = nullptr;
    }
    if (!s) Throw(VOZ_RC_INCONSISTENT, 6329);
    childinfo_struct info = childinfo_struct();
    info.node = s;
    info.blockID = s->m_block;
    try {
        s->Get_DocidStart(info.docid, info.poskey);
    } catch (...) {
        delete s;
        throw;
    }
    return info;
}

CVozBranch* CVozBranch::GrowRoot(CVozNode* oldRoot,
                                 const childinfo_struct& sibling) {
    CVozBranch* root = oldRoot->CreateBranch();
    root->NewBlockSetting(1);
    root->m_state = VOZ_NODE_MODIFIED;
    root->nodekind_childlayer = oldRoot->nodekind;
    root->nchilds = 2;
    root->SetEntryPlace(0, oldRoot->m_attrs);
    root->SetEntryKey(0, 0, 0);
    POS_ATTR a = POS_ATTR();
    a.blockID = sibling.blockID;
    root->SetEntryPlace(1, a);
    root->SetEntryKey(1, sibling.docid, sibling.poskey);
    root->m_childs[0] = oldRoot;
    root->m_childs[1] = sibling.node;
    oldRoot->m_rightmost = 0;
    sibling.node->m_rightmost = 1;
    root->m_rightmost = 1;
    return root;
}

// ---- delete ------------------------------------------------------------

void CVozBranch::RemoveChild(int32_t k, RESULT_OPE* result) {
    CVozNode* c = LoadChild(k);
    c->Unpin();
    c->ReleaseBlock();
    delete c;
    m_childs[k] = nullptr;
    bool leftmostKey = k == 0 && EntryDocid(0) == 0 && EntryKey(0) == 0;
    MoveEntries(this, k + 1, this, k, nchilds - k - 1);
    --nchilds;
    m_childs[nchilds] = nullptr;
    if (leftmostKey && nchilds > 0) SetEntryKey(0, 0, 0);
    FixRightmost();
    if (nchilds < m_halfChilds) *result = VOZ_OPE_UNDERFULL;
}

// Leaf j+1 goes whole into leaf j when both fit; returns via m_childs.
void CVozBranch::MergeLeaves(int32_t j) {
    CVozLeaf* l = static_cast<CVozLeaf*>(LoadChild(j));
    CVozLeaf* r = static_cast<CVozLeaf*>(LoadChild(j + 1));
    if (l->pos_block.poslen + r->pos_block.poslen >=
        m_leafCapacity - VOZ_LEAF_MERGE_SLACK)
        return;
    CVozLump lump(r->pos_block.data, r->pos_block.poslen, VOZ_ALL_ONES, 0);
    WALKKEY from{r->pos_block.firstDocid, 0}, next{0, 0};
    WALKKEY to{VOZ_ALL_ONES, 0};
    childinfo_struct inner = childinfo_struct();
    RESULT_OPE res = VOZ_OPE_NONE;
    if (r->pos_block.poslen > 0)
        l->Insert_aux(from, next, to, &lump, &inner, VOZ_INSERT_MERGE, &res);
    if (res == VOZ_OPE_SPLIT) {
        delete inner.node;
        Throw(VOZ_RC_INCONSISTENT, 6326);
    }
    l->MakeWritable();
    l->pos_block.flg_continue = r->pos_block.flg_continue;
    RESULT_OPE ignored = VOZ_OPE_NONE;
    RemoveChild(j + 1, &ignored);
}

int32_t CVozBranch::Merge_nodes(int32_t j) {
    CVozBranch* l = static_cast<CVozBranch*>(LoadChild(j));
    CVozBranch* r = static_cast<CVozBranch*>(LoadChild(j + 1));
    l->MakeWritable();
    r->MakeWritable();
    int32_t nl = l->nchilds, nr = r->nchilds;
    if (nl + nr <= m_maxChilds) {
        MoveEntries(r, 0, l, nl, nr);
        l->nchilds = nl + nr;
        for (int32_t k = 0; k < nr; ++k) r->m_childs[k] = nullptr;
        r->nchilds = 0;
        l->m_rightmost = r->m_rightmost;
        l->FixRightmost();
        return 1;
    }
    int32_t keep = (nl + nr) / 2;
    if (nl > keep) {
        int32_t n = nl - keep;
        MoveEntries(r, 0, r, n, nr);
        MoveEntries(l, keep, r, 0, n);
        for (int32_t k = keep; k < nl; ++k) l->m_childs[k] = nullptr;
    } else {
        int32_t n = keep - nl;
        MoveEntries(r, 0, l, nl, n);
        MoveEntries(r, n, r, 0, nr - n);
        for (int32_t k = nr - n; k < nr; ++k) r->m_childs[k] = nullptr;
    }
    r->nchilds = nl + nr - keep;
    l->nchilds = keep;
    SetEntryKey(j + 1, r->EntryDocid(0), r->EntryKey(0));
    l->FixRightmost();
    r->FixRightmost();
    return 0;
}

int32_t CVozBranch::Delete_aux(WALKKEY& start, WALKKEY& end, uint32_t** ids,
                               uint32_t& count, RESULT_OPE* result) {
    *result = VOZ_OPE_NONE;
    int32_t i = Locate_subtree(start);
    CVozNode* child = LoadChild(i);
    WALKKEY childEnd = ChildEnd(i, end);
    RESULT_OPE cr = VOZ_OPE_NONE;
    int32_t ret = child->Delete_aux(start, childEnd, ids, count, &cr);
    if (cr == VOZ_OPE_NONE) {
        ExternalizeLowerChild(i - 1);
        return ret;
    }
    MakeWritable();
    if (!(EntryDocid(i) == 0 && EntryKey(i) == 0) && cr != VOZ_OPE_EMPTY) {
        uint32_t id;
        int32_t key;
        child->Get_DocidStart(id, key);
        SetEntryKey(i, id, key);
    }
    if (ret == VOZ_DEL_CONTINUES && nodekind_childlayer == VOZ_NODE_LEAF)
        start.poskey = childEnd.poskey;
    *result = VOZ_OPE_CHANGED;
    if (cr == VOZ_OPE_SPLIT) {
        // The child split while deleting (a follower's header grew): the
        // sibling is taken in as after an insert, and a split of this
        // branch is handed up the same way.
        childinfo_struct info = TakePending(child);
        childinfo_struct up = childinfo_struct();
        TakeSibling(i, info, &up, result);
        if (*result == VOZ_OPE_SPLIT)
            m_sibling = static_cast<CVozBranch*>(up.node);
        return ret;
    }
    int32_t j = i == 0 ? 0 : i - 1;
    if (cr == VOZ_OPE_EMPTY) {
        RemoveChild(i, result);
    } else if (cr == VOZ_OPE_UNDERFULL && nchilds > 1) {
        if (Merge_nodes(j)) RemoveChild(j + 1, result);
    } else if (cr == VOZ_OPE_HALF && nchilds > 1) {
        MergeLeaves(j);
        if (nchilds < m_halfChilds) *result = VOZ_OPE_UNDERFULL;
    }
    ExternalizeLowerChild(j - 1);
    return ret;
}
