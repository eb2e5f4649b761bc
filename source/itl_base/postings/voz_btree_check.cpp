// voz_btree_check.cpp - voz_BTreeCheck: walks a stored position B-tree
// from its root and reports the first broken invariant.  It loads every
// node afresh (nothing is written) and reads every leaf with a chunk, so
// it also serves as a full dump of the list.
#include <cstdio>
#include <map>

#include "files/voz_bigendian.hpp"
#include "postings/voz_branch.hpp"
#include "postings/voz_btree.hpp"
#include "postings/voz_bufferpos.hpp"
#include "postings/voz_leaf.hpp"

namespace {

struct Walk {
    std::string err;
    VozBTreeDump docs;
    int32_t leafDepth = -1;
    bool inDoc = false;        // the previous leaf's last doc continues
    uint32_t docCount = 0;
};

bool Fail(Walk& w, const char* what, uint32_t a = 0, uint32_t b = 0) {
    if (w.err.empty()) {
        char buf[256];
        std::snprintf(buf, sizeof buf, "%s (%u, %u)", what, a, b);
        w.err = buf;
    }
    return false;
}

bool CheckPins(Walk& w, CVozLeaf* l) {
    const POS_BLOCK& pb = l->pos_block;
    std::map<uint32_t, uint32_t> before;  // header offset -> id in front
    uint32_t off = 0, id = VOZ_ALL_ONES;
    while (off < uint32_t(pb.poslen)) {
        uint32_t delta, len;
        uint32_t h = voz_PosHeaderDecode(pb.data + off, pb.poslen - off,
                                         &delta, &len);
        if (h == 0) return Fail(w, "leaf stream header broken", off);
        before[off] = id;
        id += delta;
        off += h + len;
    }
    if (off != uint32_t(pb.poslen)) return Fail(w, "leaf stream overruns");
    const uint8_t* table = pb.data - VOZ_PINTABLE_SIZE;
    for (int i = 0; i < VOZ_LEAF_PINPOINTS; ++i) {
        uint32_t pid = voz_getBE32(table + i * VOZ_PINPOINT_SIZE);
        uint32_t poff = voz_getBE32(table + i * VOZ_PINPOINT_SIZE + 4);
        if (i >= pb.numPinpoints) {
            if (pid || poff) return Fail(w, "unused pin point not zero", i);
            continue;
        }
        auto it = before.find(poff);
        if (it == before.end() || it->second != pid)
            return Fail(w, "pin point off a header", pid, poff);
    }
    return true;
}

bool CheckLeaf(Walk& w, CVozLeaf* l, int32_t depth, const WALKKEY& key,
               bool leftmost, bool rightmost, bool isRoot) {
    const POS_BLOCK& pb = l->pos_block;
    if (w.leafDepth < 0) w.leafDepth = depth;
    if (w.leafDepth != depth) return Fail(w, "leaves at two depths");
    if (pb.poslen == 0 && !isRoot) return Fail(w, "empty leaf in a tree");
    if (!CheckPins(w, l)) return false;
    const uint8_t* img = l->Image();
    if (voz_getBE32(img + 12) != pb.lastDocid ||
        (pb.poslen > 0 && voz_getBE32(img + 8) != pb.firstDocid))
        return Fail(w, "leaf head ids differ from its stream",
                    voz_getBE32(img + 8), pb.firstDocid);
    if (!leftmost && (key.docid != pb.firstDocid || key.poskey != pb.firstPosKey))
        return Fail(w, "branch key differs from the leaf's first key",
                    key.docid, pb.firstDocid);
    if (bool(pb.flg_continued) != w.inDoc)
        return Fail(w, "continuation flags of neighbours disagree",
                    pb.flg_continued, pb.firstDocid);
    if (rightmost && pb.flg_continue) return Fail(w, "last leaf continues");
    CVozChunk chunk;
    chunk.Setup(const_cast<POS_BLOCK&>(pb),
                pb.flg_continue ? pb.lastDocid : VOZ_ALL_ONES, 0);
    uint32_t id;
    int32_t len;
    bool first = true;
    while (chunk.ExtractVvg(&id, &len) == VOZ_CHUNK_OK) {
        bool cont = first && pb.flg_continued;
        if (cont) {
            if (w.docs.empty() || w.docs.back().first != id)
                return Fail(w, "continued document differs", id);
            if (uint32_t(pb.carriedCount) != w.docs.back().second.size())
                return Fail(w, "carried count wrong", pb.carriedCount,
                            uint32_t(w.docs.back().second.size()));
        } else {
            if (!w.docs.empty() && w.docs.back().first >= id)
                return Fail(w, "document ids not ascending",
                            w.docs.back().first, id);
            w.docs.push_back({id, {}});
            ++w.docCount;
        }
        first = false;
        std::vector<uint32_t>& pos = w.docs.back().second;
        int32_t p, ord, r;
        while ((r = chunk.ExtractPos(0, &p, &ord)) == VOZ_CHUNK_OK) {
            if (!pos.empty() && uint32_t(p) < pos.back())
                return Fail(w, "positions not ascending", id, uint32_t(p));
            pos.push_back(uint32_t(p));
            if (uint32_t(ord) != pos.size())
                return Fail(w, "position ordinal wrong", id, uint32_t(ord));
        }
        if (r == VOZ_CHUNK_LEAF_END && !pb.flg_continue)
            return Fail(w, "document end misreported", id);
    }
    w.inDoc = pb.flg_continue != 0;
    return true;
}

bool CheckNode(Walk& w, CVozNode* n, int32_t depth, const WALKKEY& key,
               bool leftmost, bool rightmost, bool isRoot);

bool CheckBranch(Walk& w, CVozBranch* b, int32_t depth, const WALKKEY& key,
                 bool leftmost, bool rightmost, bool isRoot) {
    if (isRoot && b->nchilds < 2) return Fail(w, "root branch with one child");
    if (!isRoot && b->nchilds < b->m_halfChilds)
        return Fail(w, "branch below half", uint32_t(b->nchilds));
    if (leftmost && (b->EntryDocid(0) != 0 || b->EntryKey(0) != 0))
        return Fail(w, "leftmost entry is not (0, 0)", b->EntryDocid(0));
    if (!leftmost && (b->EntryDocid(0) != key.docid || b->EntryKey(0) != key.poskey))
        return Fail(w, "first entry differs from the parent's key",
                    b->EntryDocid(0), key.docid);
    for (int32_t i = 1; i < b->nchilds; ++i) {
        WALKKEY k{b->EntryDocid(i), b->EntryKey(i)};
        if (voz_KeyLessEq(k.docid, k.poskey,
                          WALKKEY{b->EntryDocid(i - 1), b->EntryKey(i - 1)}))
            return Fail(w, "branch keys not ascending", b->EntryDocid(i - 1),
                        k.docid);
    }
    for (int32_t i = 0; i < b->nchilds; ++i) {
        CVozNode* c = b->LoadChild(i);
        if (c->nodekind != b->nodekind_childlayer)
            return Fail(w, "child of the wrong kind", i);
        WALKKEY k{b->EntryDocid(i), b->EntryKey(i)};
        bool ok = CheckNode(w, c, depth + 1, k, leftmost && i == 0,
                            rightmost && i == b->nchilds - 1, false);
        c->ExternalizeNodeFree(0);
        delete c;
        b->m_childs[i] = nullptr;
        if (!ok) return false;
    }
    return true;
}

bool CheckNode(Walk& w, CVozNode* n, int32_t depth, const WALKKEY& key,
               bool leftmost, bool rightmost, bool isRoot) {
    if (n->nodekind == VOZ_NODE_LEAF)
        return CheckLeaf(w, static_cast<CVozLeaf*>(n), depth, key, leftmost,
                         rightmost, isRoot);
    return CheckBranch(w, static_cast<CVozBranch*>(n), depth, key, leftmost,
                       rightmost, isRoot);
}

}  // namespace

std::string voz_BTreeCheck(CVozBlockMgr* branchMgr, CVozBlockMgr* leafMgr,
                           CVozSharedBlockMgr* sharedMgr, const POS_ATTR& a,
                           VozBTreeDump* dump) {
    Walk w;
    if (a.blockID == VOZ_ALL_ONES) {
        if (a.docCount != 0 || a.dataleng != 0)
            return "an empty list with documents or data";
        return "";
    }
    if (a.dataleng == 0) return "a tree root outside a slot";
    POS_ATTR attrs = a;
    CVozNode* root;
    if (a.level == VOZ_POS_LEVEL_HIGH_LEAF)
        root = new CVozLeaf(leafMgr, branchMgr, sharedMgr, &attrs);
    else if (a.level == VOZ_POS_LEVEL_HIGH_BRANCH)
        root = new CVozBranch(leafMgr, branchMgr, sharedMgr, &attrs);
    else
        return "not a tree level";
    root->m_rightmost = 1;
    try {
        root->NewBlockSetting(1);
        root->InternalizeNode(a, 1);
        CheckNode(w, root, 0, WALKKEY{0, 0}, true, true, true);
        root->ExternalizeNodeFree(1);
    } catch (const CVozException& e) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "exception (%d, %d)", e.retcode,
                      e.errcode);
        if (w.err.empty()) w.err = buf;
        try {
            root->ExternalizeNodeFree(1);
        } catch (const CVozException&) {
        }
    }
    delete root;
    if (w.err.empty() && w.inDoc) w.err = "list ends inside a document";
    if (w.err.empty() && w.docCount != a.docCount) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "document count %u, attributes say %u",
                      w.docCount, a.docCount);
        w.err = buf;
    }
    uint32_t last = w.docs.empty() ? VOZ_ALL_ONES : w.docs.back().first;
    if (w.err.empty() && last != a.lastDocId) w.err = "last document id wrong";
    if (dump) dump->insert(dump->end(), w.docs.begin(), w.docs.end());
    return w.err;
}
