// voz_leaf_change.cpp - CVozLeaf's changes: inserting a stream of
// documents (or merging the content of another leaf) and deleting
// documents by id.
//
// An insert rebuilds the leaf by merging its old content with the new
// stream in document-id order; when the leaf fills up, a right sibling
// takes the rest, and the parent is told through childinfo_struct (result
// 5).  A call never makes more than one sibling: before a new document is
// written, the old content that still has to follow must fit into what is
// left of this leaf and the sibling; otherwise the rest of the old content
// moves into the sibling at once and the call stops (the caller's next
// call goes on with the new document).
//
// A delete rewrites the header of the document behind the deleted one;
// its delta grows and may need more bytes than the deleted entry gave back
// (at most one byte per deleted entry).  A full leaf then splits as an
// insert would, and Delete_aux reports result 5 with the sibling kept in
// m_sibling; the parent takes it as after an insert.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "postings/voz_bufferpos.hpp"
#include "postings/voz_leaf.hpp"

namespace {

[[noreturn]] void Throw(int32_t rc, int32_t reason) {
    throw CVozException(rc, reason);
}

// Slack kept beyond the nearly-full mark when deciding whether the old
// content still fits behind a new document: re-encoded headers and first
// positions may grow by a few bytes per leaf.
constexpr int32_t kFitMargin = 40;

bool Remains(CVozLump& lump) {
    int32_t len;
    return !lump.iv_atDocStart || lump.CheckNextDocid(len) != VOZ_ALL_ONES;
}

}  // namespace

void voz_SkipIdsBelow(uint32_t** ids, uint32_t& count, uint32_t bound) {
    uint32_t* first = *ids;
    uint32_t* pos = std::lower_bound(first, first + count, bound);
    count -= static_cast<uint32_t>(pos - first);
    *ids = pos;
}

CVozLeaf* CVozLeaf::NewSibling(childinfo_struct* /*sibling*/,
                               RESULT_OPE* result) {
    CVozLeaf* s = new (std::nothrow)
        CVozLeaf(m_leafMgr, m_branchMgr, m_sharedMgr, m_rootAttrs);
    if (!s) Throw(VOZ_RC_MEMORY, 6310);
    m_sibling = s;
    s->NewBlockSetting(0);
    *result = VOZ_OPE_SPLIT;
    return s;
}

// Whole documents below `limit` as far as they fit under `room`, else one
// document (or its part) by positions, up to the capacity.
int32_t CVozLeaf::TakeDocs(CVozLump* src, int32_t mode, uint32_t limit,
                           int32_t room, int32_t& used) {
    int32_t w;
    src->iv_roomLimit = room;
    int32_t r = AppendMultipleDocs(src, mode, used, w, limit);
    src->iv_roomLimit = m_leafCapacity;
    used += w;
    if (r == VOZ_LUMP_NOTHING) r = AppendOneDoc(src, mode, used);
    return r;
}

// The room limit under which new documents may be written while old
// content still has to follow: what is left of the target leaf (plus one
// whole leaf while no sibling exists) must keep the old rest.  -1 when
// the next new document (L bytes) would not leave that room.
int32_t CVozLeaf::RoomForNew(bool firstLeaf, CVozLump& old, int32_t used,
                             int32_t length) const {
    int32_t extra = firstLeaf ? m_leafCapacity : 0;
    int32_t keep = old.iv_remainingStream + VOZ_LEAF_MERGE_SLACK + kFitMargin;
    if (m_leafCapacity - used + extra - length - keep < 0) return -1;
    return std::min<int32_t>(m_leafCapacity, m_leafCapacity + extra - keep);
}

// Step 3 of an insert: merges the old content and the new stream.  `used`
// is the written-bytes count both lumps share.
int32_t CVozLeaf::MergeStreams(WALKKEY& end, CVozLump* lump, int32_t mode,
                               RESULT_OPE* result, childinfo_struct* sibling,
                               int32_t& cutAtEnd, int32_t& cutInSibling) {
    int32_t oldLen = pos_block.poslen;
    std::memcpy(m_scratch, pos_block.data, oldLen);
    CVozLump old(m_scratch, oldLen, VOZ_ALL_ONES, 0);
    int32_t used = 0;
    old.iv_roomLimit = lump->iv_roomLimit = m_leafCapacity;
    old.iv_written = lump->iv_written = &used;
    pos_block.poslen = 0;
    pos_block.lastDocid = VOZ_ALL_ONES;
    pos_block.firstDocid = 0;
    CVozLeaf* t = this;
    int32_t progress = 0;
    bool pendingSibling = false;
    while (true) {
        int32_t la, lb;
        uint32_t a = old.CheckNextDocid(la);
        uint32_t b = lump->CheckNextDocid(lb);
        bool oldLive = a != VOZ_ALL_ONES;
        bool newLive = b != VOZ_ALL_ONES && b < end.docid;
        // A new id equal to the document the next leaf continues is
        // already in the list.
        if (b != VOZ_ALL_ONES && b == end.docid && end.poskey != 0 &&
            mode == VOZ_INSERT_NEW && !progress)
            Throw(VOZ_RC_INCONSISTENT, 6338);
        if (!oldLive && !newLive) break;
        if (pendingSibling) {
            // The leaf filled up on a whole document and more follows.
            t = NewSibling(sibling, result);
            used = 0;
            pendingSibling = false;
        }
        CVozLump* src = lump;
        int32_t r;
        if (oldLive && newLive && a == b) {
            if (t != this) Throw(VOZ_RC_INCONSISTENT, 6341);
            if (mode == VOZ_INSERT_NEW) Throw(VOZ_RC_INCONSISTENT, 6338);
            r = t->AppendMerged(&old, lump, used);
            progress = 1;
        } else if (oldLive && (!newLive || a < b)) {
            src = &old;
            r = t->TakeDocs(&old, VOZ_INSERT_MERGE,
                            newLive ? b : VOZ_ALL_ONES, m_leafCapacity, used);
        } else {
            int32_t room = m_leafCapacity;
            if (oldLive) {
                room = RoomForNew(t == this, old, used, lb);
                if (room < 0) {
                    // The old rest no longer fits behind this document:
                    // it moves into the sibling now, the document waits.
                    if (t == this) {
                        t = NewSibling(sibling, result);
                        used = 0;
                    }
                    t->CopyRemain(&old, used);
                    break;
                }
            }
            uint32_t limit = oldLive ? std::min(a, end.docid) : end.docid;
            r = t->TakeDocs(lump, mode, limit, room, used);
            progress = 1;
        }
        // A whole-document step reports 8 also when the next document
        // merely does not fit whole: the leaf is full only below 80 bytes.
        bool full = r == VOZ_LUMP_LEAF_FULL ||
                    (r == VOZ_LUMP_NEARLY_FULL &&
                     m_leafCapacity - used < VOZ_LEAF_MERGE_SLACK);
        if (!full) continue;
        if (t != this) {
            if (Remains(old)) Throw(VOZ_RC_INCONSISTENT, 6304);
            if (r == VOZ_LUMP_LEAF_FULL) cutInSibling = 1;
            break;
        }
        if (r != VOZ_LUMP_LEAF_FULL) {
            pendingSibling = true;
            continue;
        }
        // The rest of the cut document goes first into the sibling.
        t = NewSibling(sibling, result);
        used = 0;
        cutAtEnd = 1;
        t->pos_block.carriedCount = src->iv_posCount;
        t->pos_block.flg_continued = 1;
        if (t->AppendOneDoc(src, src == lump ? mode : VOZ_INSERT_MERGE,
                            used) == VOZ_LUMP_LEAF_FULL) {
            if (Remains(old)) Throw(VOZ_RC_INCONSISTENT, 6304);
            cutInSibling = 1;
            break;
        }
    }
    lump->iv_written = nullptr;
    return progress;
}

void CVozLeaf::FinishInsert(uint8_t oldContinue, int32_t startedInside,
                            int32_t cutAtEnd, int32_t cutInSibling) {
    CVozLeaf* s = m_sibling;
    if (s) {
        if (startedInside || cutAtEnd) {
            pos_block.flg_continue = 1;
            s->pos_block.flg_continued = 1;
        } else {
            pos_block.flg_continue = 0;
            s->pos_block.flg_continued = 0;
            s->pos_block.carriedCount = 0;
        }
        s->pos_block.flg_continue =
            cutInSibling ? 1 : (startedInside ? 0 : oldContinue);
        s->Refresh();
    }
    Refresh();
}

int32_t CVozLeaf::Insert_aux(WALKKEY& /*start*/, WALKKEY& next, WALKKEY& end,
                             CVozLump* lump, childinfo_struct* sibling,
                             int32_t mode, RESULT_OPE* result) {
    *result = VOZ_OPE_NONE;
    uint8_t oldContinue = pos_block.flg_continue;
    MakeWritable();
    if (!m_scratch) {
        m_scratch = static_cast<uint8_t*>(std::malloc(BlockSize()));
        if (!m_scratch) Throw(VOZ_RC_MEMORY, 6339);
    }
    int32_t cutAtEnd = 0, cutInSibling = 0, startedInside = 0;
    if (!lump->iv_atDocStart) {
        // The previous leaf was filled in the middle of a document: its
        // continuation goes into a new leaf right behind this one.
        startedInside = 1;
        CVozLeaf* s = NewSibling(sibling, result);
        int32_t used = 0;
        lump->iv_roomLimit = m_leafCapacity;
        lump->iv_written = &used;
        s->pos_block.carriedCount = lump->iv_posCount;
        s->pos_block.flg_continued = 1;
        cutInSibling = s->AppendOneDoc(lump, mode, used) == VOZ_LUMP_LEAF_FULL;
        lump->iv_written = nullptr;
    } else {
        int32_t progress = MergeStreams(end, lump, mode, result, sibling,
                                        cutAtEnd, cutInSibling);
        if (!progress && !m_sibling) {
            Refresh();
            Throw(VOZ_RC_INCONSISTENT, 6344);
        }
    }
    FinishInsert(oldContinue, startedInside, cutAtEnd, cutInSibling);
    if (m_sibling) {
        CVozLeaf* s = m_sibling;
        m_sibling = nullptr;
        sibling->node = s;
        sibling->docid = s->pos_block.firstDocid;
        sibling->poskey = s->pos_block.firstPosKey;
        sibling->blockID = s->m_block;
        *result = VOZ_OPE_SPLIT;
    }
    int32_t len;
    next.docid = lump->CheckNextDocid(len);
    next.poskey = lump->iv_atDocStart ? 0 : lump->iv_curPos + 1;
    return 1;
}

// ---- delete ---------------------------------------------------------

// Walks headers from `from` (prevId: the id in front of it) while their
// ids are below `target`.  Returns the header size at `headerOff` (0 when
// the walk reached the end) and that document's id in `foundId`.
int32_t CVozLeaf::FindDoc(int32_t& from, uint32_t& prevId, uint32_t target,
                          int32_t& headerOff, uint32_t& foundId) {
    const uint8_t* d = pos_block.data;
    while (from < pos_block.poslen) {
        uint32_t delta, len;
        uint32_t h = voz_PosHeaderDecode(d + from, pos_block.poslen - from,
                                         &delta, &len);
        if (h == 0 || int64_t(h) + len > int64_t(pos_block.poslen - from))
            Throw(VOZ_RC_INCONSISTENT, 6366);
        uint32_t id = prevId + delta;
        if (id >= target) {
            headerOff = from;
            foundId = id;
            return static_cast<int32_t>(h + len);
        }
        prevId = id;
        from += static_cast<int32_t>(h + len);
    }
    return 0;
}

// Removes the entry at `off` (ending at `next`) that is followed by
// another one: the follower's header is rewritten against `prevId`.
// Returns true when the leaf had to split (see SplitRemoving).
bool CVozLeaf::RemoveDoc(int32_t off, uint32_t prevId, int32_t next) {
    uint8_t* d = pos_block.data;
    uint32_t delta0, len0, delta, len;
    voz_PosHeaderDecode(d + off, next - off, &delta0, &len0);
    uint32_t h = voz_PosHeaderDecode(d + next, pos_block.poslen - next, &delta,
                                     &len);
    if (h == 0) Throw(VOZ_RC_INCONSISTENT, 6366);
    uint32_t nextId = prevId + delta0 + delta;
    uint8_t head[16];
    uint32_t hn = voz_PosHeaderEncode(head, nextId - prevId, len);
    int32_t tail = pos_block.poslen - next - static_cast<int32_t>(h);
    int32_t newLen = off + static_cast<int32_t>(hn) + tail;
    if (newLen > m_leafCapacity) {
        // The follower's longer delta outgrows what the deleted entry
        // gave back (a delta of 4096-65535 and one of 1-15 adding up to
        // 65536 or more, around an entry of 5 bytes): the leaf splits.
        std::vector<uint8_t> rest(static_cast<size_t>(newLen));
        std::memcpy(rest.data(), d, static_cast<size_t>(off));
        std::memcpy(rest.data() + off, head, hn);
        std::memcpy(rest.data() + off + hn, d + next + h,
                    static_cast<size_t>(tail));
        SplitRemoving(rest);
        return true;
    }
    std::memmove(d + off + hn, d + next + h, tail);
    std::memcpy(d + off, head, hn);
    pos_block.poslen = newLen;
    return false;
}

// Rewrites the leaf from `stream` (its content after a removal, longer
// than the capacity): the leaf takes what fits and a new right sibling the
// rest, with the flags and carried count of a document cut between them,
// exactly as an insert that fills a leaf.  The sibling stays in m_sibling
// for the parent (Delete_aux reports result 5).
void CVozLeaf::SplitRemoving(std::vector<uint8_t>& stream) {
    uint32_t firstId = pos_block.firstDocid;
    uint8_t continued = pos_block.flg_continued;
    int32_t carried = pos_block.carriedCount;
    pos_block.poslen = 0;
    pos_block.lastDocid = VOZ_ALL_ONES;
    CVozLump lump(stream.data(), static_cast<int32_t>(stream.size()),
                  VOZ_ALL_ONES, 0);
    WALKKEY from{firstId, 0}, next{0, 0}, to{VOZ_ALL_ONES, 0};
    childinfo_struct info = childinfo_struct();
    RESULT_OPE res = VOZ_OPE_NONE;
    Insert_aux(from, next, to, &lump, &info, VOZ_INSERT_MERGE, &res);
    CVozLeaf* s = static_cast<CVozLeaf*>(info.node);
    if (res != VOZ_OPE_SPLIT || !s || !(lump.iv_atDocStart &&
                                        lump.iv_nextDocOffset >= lump.iv_total)) {
        delete s;
        Throw(VOZ_RC_INCONSISTENT, 6350);
    }
    // A cut first document goes on from the count carried into this leaf.
    if (continued && s->pos_block.flg_continued &&
        s->pos_block.firstDocid == firstId && pos_block.lastDocid == firstId) {
        s->pos_block.carriedCount += carried;
    }
    m_sibling = s;
}

int32_t CVozLeaf::Delete_aux(WALKKEY& start, WALKKEY& end, uint32_t** ids,
                             uint32_t& count, RESULT_OPE* result) {
    *result = VOZ_OPE_NONE;
    int32_t ret = VOZ_DEL_NOTHING;
    bool atContinued = false;
    int32_t from = 0;
    uint32_t prevId = VOZ_ALL_ONES;
    while (count > 0 && pos_block.poslen > 0 &&
           (*ids)[0] <= pos_block.lastDocid) {
        uint32_t target = (*ids)[0], id;
        int32_t off;
        int32_t entry = FindDoc(from, prevId, target, off, id);
        if (entry == 0) break;
        if (id != target) {
            voz_SkipIdsBelow(ids, count, id);
            continue;
        }
        MakeWritable();
        *result = VOZ_OPE_CHANGED;
        if (off == 0) {
            pos_block.flg_continued = 0;
            pos_block.carriedCount = 0;
        }
        if (off + entry == pos_block.poslen) {
            pos_block.poslen = off;
            pos_block.lastDocid = prevId;
            if (pos_block.flg_continue == 0 && target != end.docid) {
                ++*ids;
                --count;
                if (m_rootAttrs) m_rootAttrs->docCount--;
                ret = VOZ_DEL_CONSUMED;
            } else {
                pos_block.flg_continue = 0;
                atContinued = true;
                ret = VOZ_DEL_CONTINUES;
            }
            break;
        }
        uint32_t delta, len;
        voz_PosHeaderDecode(pos_block.data + off + entry,
                            pos_block.poslen - off - entry, &delta, &len);
        bool split = RemoveDoc(off, prevId, off + entry);
        if (m_rootAttrs) m_rootAttrs->docCount--;
        ret = VOZ_DEL_CONSUMED;
        voz_SkipIdsBelow(ids, count, target + delta);
        if (split) {
            // The parent takes the new sibling; the remaining ids are
            // looked up again from the top, in this leaf or the sibling.
            *result = VOZ_OPE_SPLIT;
            start.docid = count > 0 ? (*ids)[0] : VOZ_ALL_ONES;
            start.poskey = 0;
            return ret;
        }
    }
    if (pos_block.poslen == 0) {
        *result = VOZ_OPE_EMPTY;
        if (m_rightmost) {
            *ids += count;
            count = 0;
        }
    } else if (pos_block.poslen < m_leafCapacity / 2) {
        *result = VOZ_OPE_HALF;
    }
    // Ids between this leaf's last document and the next leaf's first
    // are not in the list.
    if (count > 0 && !atContinued) voz_SkipIdsBelow(ids, count, end.docid);
    start.docid = count > 0 ? (*ids)[0] : VOZ_ALL_ONES;
    start.poskey = 0;
    if (m_state != VOZ_NODE_LOADED) Refresh();
    return ret;
}
