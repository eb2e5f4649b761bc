// voz_blockctl.cpp -- the VVG window, its reverse mapping and the block
// reader (see voz_blockctl.hpp).
//
// The block reader walks the boundary key's positions of a document one at
// a time and counts them itself, so that it always knows the ordinal of
// the boundary it stands on and the boundary before it. Block n of a
// document is [boundary n-1, boundary n) (block 1 starts at position 1);
// the block after the last boundary is open-ended.
#include "search/voz_blockctl.hpp"

#include <climits>
#include <cstring>

#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"

namespace {

// Document given to a raw occurrence whose VVG lies beyond every document
// of the VVG walk: no document the walk holds reaches it.
constexpr int32_t kBeyondWalk = 0x7FFFFFFE;

// Clears the open handles of a copied file set so that it opens its own.
void detachFiles(_FCTLHEAD* fs) {
    fs->keyFile = nullptr;
    fs->posFile = nullptr;
    fs->posBroker = nullptr;
    fs->sharedFrom = nullptr;
    fs->deletedDocs = nullptr;
    fs->posBuf = nullptr;
    fs->posBufSize = 0;
    fs->keyBuffer = nullptr;
    fs->keyCache = nullptr;
    fs->nextRec = fs->bufCapacity = fs->bufFirst = fs->bufEnd = 0;
}

void clearWindow(VVGDOCINFO* info, bool vvgs) {
    memset(info, 0, sizeof *info);
    info->docNo = -1;
    info->vvgId = -1;
    info->vvgEnd = vvgs ? VOZ_POS_END : VOZ_VVG_NONE_END;
}

// Reads the next (id, start) pair of the VVG list of the walk's document.
void nextPair(_FCTLHEAD* fs, PCTLHEAD* vvg, GTRSTATUS* st) {
    voz_PointDocStartposSkip(fs, vvg, INT32_MIN, INT32_MIN, st);
}

}  // namespace

bool voz_IndexHasVvgs(const IDXINFO* index) {
    return index != nullptr && index->info.docGroupLength >= 1;
}

void voz_InitForVvgDoc(IDXINFO* index, PCTLHEAD* vvg, IDXINFO* privateSet,
                       VVGDOCINFO* info, GTRSTATUS* st) {
    bool vvgs = voz_IndexHasVvgs(index);
    clearWindow(info, vvgs);
    if (!vvgs) return;
    memset(vvg, 0, sizeof *vvg);
    memset(privateSet, 0, sizeof *privateSet);
    voz_InitPctl(vvg, &index->info.slots[VOZ_SLOT_VVG], -1, 'Y', st);
    *privateSet = *index;
    detachFiles(&privateSet->fctl);
    privateSet->fctl.flags &= static_cast<uint8_t>(~VOZ_FCTL_TAKE_FLAGS);
    voz_IDXopen(&privateSet->fctl, "rb", st);
}

void voz_ResetForVvgDoc(IDXINFO* index, PCTLHEAD* vvg, IDXINFO* /*private*/,
                        VVGDOCINFO* info, GTRSTATUS* st) {
    bool vvgs = voz_IndexHasVvgs(index);
    clearWindow(info, vvgs);
    if (!vvgs) return;
    voz_ResetPctl(vvg, &index->info.slots[VOZ_SLOT_VVG], -1, 'Y', st);
}

void voz_TermForVvgDoc(IDXINFO* index, PCTLHEAD* vvg, IDXINFO* privateSet) {
    if (!voz_IndexHasVvgs(index)) return;
    GTRSTATUS ignored{};
    voz_TermPctl(vvg, &ignored);
    voz_IDXclose(&privateSet->fctl, &ignored);
}

void voz_VvgDoc(IDXINFO* index, PCTLHEAD* vvg, IDXINFO* privateSet,
                const OCC* occ, const _WCTLHEAD* word, VVGDOCINFO* info,
                GTRSTATUS* st) {
    if (!voz_IndexHasVvgs(index)) {
        if (occ->docno != info->docNo) info->vvgId = info->docNo = occ->docno;
        info->relPos = occ->pos;
        return;
    }
    if (word != nullptr && word->vvgMiss != 0) {
        if (word->rawVvgId != info->vvgId) {
            info->vvgId = word->rawVvgId;
            info->docNo = word->cur.docno;
            info->vvgStart = word->cur.pos;
            info->vvgEnd = word->cur.pos + 1;
        }
        info->fromWord = 1;
        info->relPos = word->rawRelPos;
        return;
    }
    info->fromWord = 0;
    _FCTLHEAD* fs = &privateSet->fctl;
    if (vvg->curDoc < occ->docno) {
        voz_PointVvgSkip(fs, vvg, static_cast<uint32_t>(occ->docno), st);
        if (voz_Failed(st)) return;
    }
    if (vvg->endOfDocs == 'Y' || vvg->curDoc != occ->docno) {
        voz_setStatus(st, 16, 260);
        return;
    }
    if (vvg->curPos < occ->pos) {
        voz_PointDocStartposSkip(fs, vvg, INT32_MIN, occ->pos, st);
        if (voz_Failed(st)) return;
    }
    int32_t id, start, end;
    if (vvg->curPos < occ->pos) {  // the list ended: the document's last VVG
        id = vvg->curId;
        start = vvg->curPos;
        end = VOZ_POS_END;
    } else {  // a start equal to the position ends the VVG before it
        id = vvg->prevId;
        start = vvg->prevPos;
        end = vvg->curPos;
    }
    if (id != info->vvgId) {
        info->docNo = occ->docno;
        info->vvgId = id;
        info->vvgStart = start;
        info->vvgEnd = end;
    }
    info->relPos = word != nullptr && word->vvgPctl != nullptr
                       ? word->rawRelPos
                       : occ->pos - info->vvgStart;
}

void voz_VvgDocReverse(_WCTLHEAD* word, IDXINFO* index, GTRSTATUS* st) {
    PCTLHEAD* vvg = word->vvgPctl;
    _FCTLHEAD* fs = &index->fctl;
    int32_t r = word->rawVvgId, p = word->rawRelPos;
    word->vvgMiss = word->vvgOverflow = 0;
    while (vvg->curId < r) {
        if (vvg->endOfPos == 'Y' || vvg->curDoc < 0) {
            voz_PointVvgSkip(fs, vvg, 0, st);
            if (voz_Failed(st)) return;
            if (vvg->endOfDocs == 'Y') {
                word->vvgMiss = r + 1;
                word->vvgOverflow = p;
                word->cur.docno = kBeyondWalk;
                word->cur.pos = 1;
                return;
            }
        }
        voz_PointDocStartposSkip(fs, vvg, r, INT32_MIN, st);
        if (voz_Failed(st)) return;
    }
    word->cur.docno = vvg->curDoc;
    int32_t pos;
    if (vvg->curId == r) {
        pos = vvg->curPos + p;
        nextPair(fs, vvg, st);
        if (voz_Failed(st)) return;
        if (vvg->curId != r && vvg->curPos <= pos) {
            word->vvgOverflow = pos - vvg->curPos + 1;
            pos = vvg->curPos;
        }
    } else if (vvg->prevId == r) {
        pos = vvg->prevPos + p;
        if (vvg->curPos <= pos) {
            word->vvgOverflow = pos - vvg->curPos + 1;
            pos = vvg->curPos;
        }
    } else {
        word->vvgMiss = r + 1;
        word->vvgOverflow = p;
        pos = vvg->curPos;
    }
    word->cur.pos = pos;
}

// ---- block reader ---------------------------------------------------------

void voz_InitForGetBlock(IDXINFO* index, BLOCKCTL* b, int16_t blockKind,
                         GTRSTATUS* st) {
    memset(b, 0, sizeof *b);
    b->vvgId = -1;
    if (blockKind < 0 || blockKind >= VOZ_BLOCK_KINDS) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 258);
        return;
    }
    voz_InitPctl(&b->pctl, &index->info.slots[blockKind], 0, 'Y', st);
    b->index = index;
}

void voz_TermForGetBlock(BLOCKCTL* b) {
    GTRSTATUS ignored{};
    voz_ReadInfo3Term(&b->pctl);
    voz_TermPctl(&b->pctl, &ignored);
}

namespace {

// Moves to the document's next boundary, counting it.
void stepBoundary(_FCTLHEAD* fs, BLOCKCTL* b, GTRSTATUS* st) {
    voz_PointPosSkip(fs, &b->pctl, 1, st);
    if (!voz_Failed(st) && b->pctl.endOfPos != 'Y') ++b->ordinal;
}

// Brings the boundary key to document t; false when t has no boundaries
// (or on failure).
bool onDocument(_FCTLHEAD* fs, BLOCKCTL* b, int32_t t, GTRSTATUS* st) {
    PCTLHEAD* k = &b->pctl;
    if (k->curDoc < t && k->endOfDocs != 'Y') {
        voz_PointVvgSkip(fs, k, static_cast<uint32_t>(t), st);
        b->ordinal = 0;
        b->baseOrdinal = 0;
    }
    return !voz_Failed(st) && k->endOfDocs != 'Y' && k->curDoc == t;
}

// Steps to the first boundary above q (or to the document's end).
void passBoundaries(_FCTLHEAD* fs, BLOCKCTL* b, int32_t q, GTRSTATUS* st) {
    while (!voz_Failed(st) && b->pctl.endOfPos != 'Y' && b->pctl.curPos <= q)
        stepBoundary(fs, b, st);
}

// Blocks counted over the whole document (or VVG, for per-VVG keys) at
// position q, made absolute by `shift`; an open end becomes `openEnd`.
void blockInDocument(_FCTLHEAD* fs, BLOCKCTL* b, int32_t t, int32_t q,
                     int32_t shift, int32_t openEnd, GTRSTATUS* st) {
    PCTLHEAD* k = &b->pctl;
    if (!onDocument(fs, b, t, st)) {
        b->blockNo = 1;
        b->blockStart = 1;
        b->blockEnd = VOZ_POS_END;
    } else {
        passBoundaries(fs, b, q, st);
        if (voz_Failed(st)) return;
        if (k->endOfPos == 'Y') {
            b->blockNo = b->ordinal + 1;
            b->blockStart = b->ordinal > 0 ? k->curPos : 1;
            b->blockEnd = VOZ_POS_END;
        } else {
            b->blockNo = b->ordinal;
            b->blockStart = k->prevPos > 1 && b->ordinal > 1 ? k->prevPos : 1;
            b->blockEnd = k->curPos;
        }
    }
    if (shift == 0) return;
    b->blockStart += shift;
    b->blockEnd = b->blockEnd >= VOZ_POS_END ? openEnd : b->blockEnd + shift;
}

// Blocks counted inside the VVG of `info` over boundaries kept per
// document.
void blockInVvg(_FCTLHEAD* fs, BLOCKCTL* b, const OCC* occ,
                const VVGDOCINFO* info, bool newVvg, GTRSTATUS* st) {
    PCTLHEAD* k = &b->pctl;
    int32_t s = info->vvgStart + 1;
    if (!onDocument(fs, b, info->docNo, st)) {
        b->blockNo = 1;
        b->blockStart = s;
        b->blockEnd = info->vvgEnd;
        return;
    }
    if (newVvg) {
        while (!voz_Failed(st) && k->endOfPos != 'Y' && k->curPos < s)
            stepBoundary(fs, b, st);
        // Boundaries of the document before the VVG do not count.
        b->baseOrdinal = k->endOfPos == 'Y' ? b->ordinal : b->ordinal - 1;
    }
    passBoundaries(fs, b, occ->pos, st);
    if (voz_Failed(st)) return;
    int32_t count = b->ordinal - b->baseOrdinal;
    if (k->endOfPos == 'Y') {
        b->blockNo = count + 1;
        b->blockStart = count > 0 && k->curPos > s ? k->curPos : s;
        b->blockEnd = info->vvgEnd;
        return;
    }
    b->blockNo = count;
    b->blockStart = count > 1 && k->prevPos > s ? k->prevPos : s;
    b->blockEnd = k->curPos < info->vvgEnd ? k->curPos : info->vvgEnd;
}

}  // namespace

void voz_GetBlock(IDXINFO* index, BLOCKCTL* b, const OCC* occ,
                  const VVGDOCINFO* info, GTRSTATUS* st) {
    _FCTLHEAD* fs = &(b->index != nullptr ? b->index : index)->fctl;
    bool newVvg = b->vvgId != info->vvgId;
    b->vvgId = info->vvgId;
    if (!voz_IndexHasVvgs(index)) {
        blockInDocument(fs, b, occ->docno, occ->pos, 0, VOZ_POS_END, st);
    } else if (b->pctl.keyKind == VOZ_KIND_DFIXED) {
        blockInDocument(fs, b, info->vvgId, occ->pos - info->vvgStart,
                        info->vvgStart, info->vvgEnd, st);
    } else {
        blockInVvg(fs, b, occ, info, newVvg, st);
    }
}
