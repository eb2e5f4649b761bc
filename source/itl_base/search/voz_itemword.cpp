// voz_itemword.cpp -- equal words over an item half: the boundary regions
// and the word control (see voz_itemword.hpp).
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_pctl.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_itemread.hpp"
#include "search/voz_itemword.hpp"
#include "search/voz_wordctl.hpp"

// ---- sentence regions ---------------------------------------------------------

namespace {

constexpr int kSentenceSlot = 0;  // header slot of the sentence boundaries

void restartSentence(FORBOUNDARY* b, GTRSTATUS* st) {
    GTRSTATUS ignored{};
    voz_TermPctl(&b->sentence, &ignored);
    memset(&b->sentence, 0, sizeof b->sentence);
    voz_InitPctl(&b->sentence, &b->index->info.slots[kSentenceSlot], 0, 'N', st);
    b->prevBoundary = 1;
}

}  // namespace

void voz_BoundaryInitSentence(FORBOUNDARY* b, GTRSTATUS* st) {
    restartSentence(b, st);
    b->open = 'Y';
}

void voz_BoundaryGetSentence(FORBOUNDARY* b, int32_t doc, int32_t pos,
                             int32_t* start, int32_t* end, int32_t* limit,
                             GTRSTATUS* st) {
    if (limit != nullptr) *limit = 1;
    PCTLHEAD& p = b->sentence;
    _FCTLHEAD* fs = &b->index->fctl;
    // The walk only goes forward: a position before the region last
    // found (or an earlier document) starts it over.
    if (p.curDoc > doc || (p.curDoc == doc && pos < b->prevBoundary))
        restartSentence(b, st);
    if (p.endOfDocs != 'Y' && p.curDoc < doc) {
        voz_PointVvgSkip(fs, &p, static_cast<uint32_t>(doc), st);
        b->prevBoundary = 1;
    }
    if (voz_Failed(st)) return;
    if (p.endOfDocs == 'Y' || p.curDoc != doc) {
        *start = 1;
        *end = VOZ_POS_END;
        return;
    }
    // Boundaries one at a time, so the one before stays known.
    while (p.endOfPos != 'Y' && p.curPos <= pos) {
        if (p.curPos > 0) b->prevBoundary = p.curPos;
        voz_PointPosSkip(fs, &p, p.curPos + 1, st);
        if (voz_Failed(st)) return;
    }
    *start = b->prevBoundary;
    *end = p.endOfPos == 'Y' || p.curPos <= pos ? VOZ_POS_END : p.curPos;
}

void voz_BoundaryTermSentence(FORBOUNDARY* b) {
    GTRSTATUS ignored{};
    voz_TermPctl(&b->sentence, &ignored);
    b->open = 'N';
}

// ---- position-slot regions ----------------------------------------------------

void voz_BoundaryInitPosition(FORBOUNDARY* b, GTRSTATUS* st) {
    voz_InitForVvgDoc(b->index, &b->vvgPctl, &b->vvgSet, &b->vvgInfo, st);
    b->open = 'Y';
}

void voz_BoundaryGetPosition(FORBOUNDARY* b, int32_t doc, int32_t pos,
                             int32_t* start, int32_t* end, int32_t* limit,
                             GTRSTATUS* st) {
    OCC occ{};
    occ.docno = doc;
    occ.pos = pos;
    voz_VvgDoc(b->index, &b->vvgPctl, &b->vvgSet, &occ, nullptr, &b->vvgInfo, st);
    if (voz_Failed(st)) return;
    const int32_t vvgEnd = b->vvgInfo.vvgEnd;
    if (limit != nullptr) *limit = vvgEnd;
    voz_SlotRegion(pos, std::max(b->vvgInfo.relPos, 1), vvgEnd, b->slotWidth,
                   b->slotGroup, b->slotNumber, start, end);
}

void voz_BoundaryTermPosition(FORBOUNDARY* b) {
    if (b->open == 'Y')
        voz_TermForVvgDoc(b->index, &b->vvgPctl, &b->vvgSet);
    b->open = 'N';
}

const VOZ_BOUNDINIT_FN BoundaryInit[2] = {voz_BoundaryInitSentence,
                                          voz_BoundaryInitPosition};
const VOZ_BOUNDGET_FN BoundaryGet[2] = {voz_BoundaryGetSentence,
                                        voz_BoundaryGetPosition};
const VOZ_BOUNDTERM_FN BoundaryTerm[2] = {voz_BoundaryTermSentence,
                                          voz_BoundaryTermPosition};

// ---- the word control -----------------------------------------------------------

namespace {

// The equal word's own control (behind _WCTLHEAD::priv).
struct VOZEQWORDCTL {
    VOZEQPREP prep{};
    GCTLINFO* gctl = nullptr;        // one per part
    const VOZEQMOVES** moves = nullptr;
    FORBOUNDARY* boundary = nullptr;
    VOZEQMATCH match{};
    VOZ_MARKSETUNIT_FN mark = nullptr;
    IDXINFO* index = nullptr;
    IDXINFO* index2 = nullptr;
    int16_t opened = 0;              // parts and boundary open
    // The readers serve targets from here on (before it: re-open).
    int32_t frontDoc = -1;
    int32_t frontPos = 1;
};

void regionOf(void* ctx, int32_t doc, int32_t pos, int32_t* start,
              int32_t* end, int32_t* limit, GTRSTATUS* st) {
    auto* c = static_cast<VOZEQWORDCTL*>(ctx);
    BoundaryGet[c->prep.boundaryKind](c->boundary, doc, pos, start, end, limit,
                                      st);
}

// Ends every part and the boundary.
void closeParts(VOZEQWORDCTL* c) {
    if (c->opened == 0) return;
    for (int32_t i = 0; i < c->prep.partCount; ++i) {
        ItemTerm[c->prep.parts[i].keyKind](&c->gctl[i]);
        memset(&c->gctl[i], 0, sizeof c->gctl[i]);
    }
    BoundaryTerm[c->prep.boundaryKind](c->boundary);
    c->opened = 0;
}

// Opens the boundary, then every part.
void openParts(VOZEQWORDCTL* c, GTRSTATUS* st) {
    closeParts(c);
    c->opened = 1;
    BoundaryInit[c->prep.boundaryKind](c->boundary, st);
    for (int32_t i = 0; i < c->prep.partCount && !voz_Failed(st); ++i)
        ItemInit[c->prep.parts[i].keyKind](&c->prep.parts[i], &c->gctl[i],
                                           c->index, c->index2, c->mark, st);
    c->match.posDoc = -1;
    c->frontDoc = -1;
    c->frontPos = 1;
}

void freeControl(VOZEQWORDCTL* c) {
    if (c == nullptr) return;
    closeParts(c);
    free(c->gctl);
    free(c->moves);
    free(c->boundary);
    voz_EqualPrepTerm(&c->prep);
    delete c;
}

// Ends the word: everything released, no further occurrence.
void endWord(_WCTLHEAD* w) {
    freeControl(static_cast<VOZEQWORDCTL*>(w->priv));
    w->priv = nullptr;
    voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
}

bool before(int32_t doc, int32_t pos, int32_t doc2, int32_t pos2) {
    return doc < doc2 || (doc == doc2 && pos < pos2);
}

}  // namespace

void voz_GetEqualWordInit(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* index,
                          IDXINFO* index2, ANSWERFORM*, GTRSTATUS* st) {
    auto* c = new (std::nothrow) VOZEQWORDCTL;
    if (c == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_EQ_CONTROL, nullptr, ENOMEM);
        return voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
    }
    w->priv = c;
    c->index = index;
    c->index2 = index2;
    c->mark = word->mark_set_function;
    c->boundary = static_cast<FORBOUNDARY*>(calloc(1, sizeof(FORBOUNDARY)));
    if (c->boundary == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_EQ_BOUNDARY, nullptr, ENOMEM);
        return endWord(w);
    }
    c->boundary->index = index;
    c->boundary->slotWidth = word->eq_limit1;
    c->boundary->slotGroup = word->eq_limit2;
    c->boundary->slotNumber = word->eq_item_no;
    // The parts are cut in the word's units (the item half's when the
    // word names none) and looked up as n-grams of the index.
    RTRVWORDEXT cut;
    vozWordExtCopy(&cut, word);
    if (cut.unit_width < 1) cut.unit_width = static_cast<int16_t>(index->info.unitWidth);
    voz_EqualPrepare(&cut, index->keyCmpLen, &c->prep, st);
    if (voz_Failed(st)) return endWord(w);
    const size_t n = static_cast<size_t>(std::max(c->prep.partCount, 1));
    c->gctl = static_cast<GCTLINFO*>(calloc(n, sizeof(GCTLINFO)));
    c->moves = static_cast<const VOZEQMOVES**>(calloc(n, sizeof(VOZEQMOVES*)));
    if (c->gctl == nullptr || c->moves == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 302, nullptr, ENOMEM);
        return endWord(w);
    }
    for (int32_t i = 0; i < c->prep.partCount; ++i)
        c->moves[i] = &ItemMoves[c->prep.parts[i].keyKind];
    VOZEQMATCH& m = c->match;
    m.parts = c->prep.parts;
    m.partCount = c->prep.partCount;
    m.gctl = c->gctl;
    m.moves = c->moves;
    m.index = index;
    m.region = regionOf;
    m.regionCtx = c;
    m.startMark = c->prep.startMark;
    m.endMark = c->prep.endMark;
    m.unitWidth = c->prep.unitWidth;
    w->nextHit = voz_GetEqualWord;
    w->nextArg1 = index;
    w->nextArg2 = index2;
    w->cur.docno = -1;
    w->resumeDoc = -1;
    w->resumePos = 1;
}

void voz_GetEqualWord(_WCTLHEAD* w, IDXINFO*, IDXINFO*, ANSWERFORM*,
                      int32_t doc, int32_t pos, GTRSTATUS* st) {
    auto* c = static_cast<VOZEQWORDCTL*>(w->priv);
    if (c == nullptr || doc > VOZ_DOC_END - 1) return endWord(w);
    if (doc < 0) {
        doc = std::max(w->resumeDoc, 0);
        pos = w->resumeDoc < 0 ? 1 : w->resumePos;
    } else if (w->cur.docno >= 0 && doc < w->cur.docno) {
        return;
    }
    if (c->opened == 0 || before(doc, pos, c->frontDoc, c->frontPos))
        openParts(c, st);
    OCC occ{};
    int32_t resume = 0;
    const int32_t r =
        voz_Failed(st) ? -1 : voz_EqualNext(&c->match, doc, pos, &occ, &resume, st);
    if (r != 1) return endWord(w);  // the end, or a failure (status set)
    w->cur = occ;
    w->resumeDoc = occ.docno;
    w->resumePos = resume + 1;
    c->frontDoc = occ.docno;
    c->frontPos = resume + 1;
}
