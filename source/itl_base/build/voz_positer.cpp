// voz_positer.cpp -- the position iterator (voz_positer.hpp).
//
// The iterator reads the key's position list through a position control
// of the postings layer: voz_PointVvgSkip moves to a document,
// voz_PointPosSkip to the next position in it. An occurrence is "pending"
// from the moment it is read ahead until VOZ_GetNextPos consumes it; the
// control is never moved while one is pending.
#include "build/voz_positer.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "build/voz_keyiter.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_posstore.hpp"

namespace {

constexpr int32_t kBase = 0;  // positions are reported as stored

_FCTLHEAD* filesOf(const POSITERATOR* it) { return &it->keyIter->half->fctl; }

// Starts the control on the key iterator's current key; a key without
// postings (an empty header slot, a continuation) ends at once.
void startKey(POSITERATOR* it, bool reset, GTRSTATUS* st) {
    const KEY_REC& head = it->keyIter->records[0];
    if (reset)
        voz_ResetPctl(&it->pctl, &head, kBase, 'Y', st);
    else
        voz_InitPctl(&it->pctl, &head, kBase, 'Y', st);
    if (voz_Failed(st)) return;
    it->pending = 0;
    if (!voz_KeyHasPostings(head)) {
        it->pctl.endOfDocs = 'Y';
        it->pctl.curDoc = 0x7FFFFFFF;
        return;
    }
    voz_PointVvgSkip(filesOf(it), &it->pctl,
                     static_cast<uint32_t>(it->firstDoc), st);
}

void takeDeleted(POSITERATOR* it) {
    CVozDeletedDocs* list = it->keyIter->half->fctl.deletedDocs;
    it->deleted = vozGetDeletedDocs(list);
    it->numDeleted = it->deleted != nullptr ? vozGetNumDeletedDocs(list) : 0;
}

}  // namespace

void VOZ_InitPosIterator(POSITERATOR** it, KEYITERATOR* keyIter,
                         int32_t first, int32_t last, GTRSTATUS* st) {
    if (*it != nullptr) {
        POSITERATOR* p = *it;
        p->keyIter = keyIter;
        if (!voz_KeyIterPlainHalf(keyIter->half, st)) return;
        takeDeleted(p);
        startKey(p, true, st);
        return;
    }
    if (!voz_KeyIterPlainHalf(keyIter->half, st)) return;
    auto* p = static_cast<POSITERATOR*>(calloc(1, sizeof(POSITERATOR)));
    if (p == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 1694);
        return;
    }
    p->keyIter = keyIter;
    p->firstDoc = first;
    p->lastDoc = last;
    takeDeleted(p);
    startKey(p, false, st);
    if (voz_Failed(st)) {
        GTRSTATUS local{};
        voz_TermPctl(&p->pctl, &local);
        free(p);
        return;
    }
    *it = p;
}

void voz_MoveToNextPos(POSITERATOR* it, GTRSTATUS* st) {
    it->pending = 0;
    PCTLHEAD* p = &it->pctl;
    while (p->endOfDocs != 'Y') {
        voz_PointPosSkip(filesOf(it), p, -1, st);
        if (voz_Failed(st)) return;
        if (p->endOfPos != 'Y') {
            it->occDoc = p->curDoc;
            it->occPos = p->curPos - p->basePos;
            if (it->numDeleted == 0 ||
                !std::binary_search(it->deleted, it->deleted + it->numDeleted,
                                    static_cast<uint32_t>(it->occDoc))) {
                it->pending = 1;
                return;
            }
            continue;
        }
        voz_PointVvgSkip(filesOf(it), p, 0, st);
        if (voz_Failed(st)) return;
    }
}

bool VOZ_HasMorePoss(POSITERATOR* it, GTRSTATUS* st) {
    if (!it->pending) {
        voz_MoveToNextPos(it, st);
        // A read error is no occurrence: the caller's loop ends and the
        // status tells why.
        if (voz_Failed(st)) return false;
    }
    if (!it->pending || it->pctl.endOfDocs == 'Y') return false;
    return static_cast<uint32_t>(it->occDoc) + 1u <=
           static_cast<uint32_t>(it->lastDoc) + 1u;
}

void VOZ_GetNextPos(POSITERATOR* it, GTRSTATUS* st) {
    if (it->pending) {
        it->pending = 0;
        return;
    }
    voz_MoveToNextPos(it, st);
    if (!voz_Failed(st)) it->pending = 0;
}

int32_t VOZ_GetDocumentNumber(const POSITERATOR* it) { return it->occDoc; }

int32_t VOZ_GetDocumentPosition(const POSITERATOR* it) { return it->occPos; }

void VOZ_TermPosIterator(POSITERATOR* it, GTRSTATUS* st) {
    if (it == nullptr) return;
    voz_TermPctl(&it->pctl, st);
    free(it);
}
