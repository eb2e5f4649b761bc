// voz_wholedoc.cpp -- the word without occurrences and the whole-document
// list (see voz_wordctl.hpp).
//
// Without VVGs the hits are (document, position 1, length 0, match 100),
// one per document of the document-list key; the resume document is the
// document after the last hit. With VVGs each VVG start of a document is a
// hit at its start + 1.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_status.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_wordctl.hpp"

namespace {

constexpr int kDocListSlot = 38;
constexpr int kVvgSlot = 40;

bool hasVvgs(const IDXINFO* index) { return index->info.docGroupLength >= 1; }

void setHit(_WCTLHEAD* w, int32_t doc, int32_t pos) {
    memset(&w->cur, 0, sizeof w->cur);
    w->cur.docno = doc;
    w->cur.pos = pos;
    w->cur.match = 100;
}

// Ends the word: its control is ended and freed; an end failure is kept
// only when the status holds none.
void endWholeDoc(_WCTLHEAD* w, GTRSTATUS* st) {
    PCTLHEAD* p = static_cast<PCTLHEAD*>(w->priv);
    if (p != nullptr) {
        GTRSTATUS mine{};
        voz_TermPctl(p, &mine);
        if (mine.retcode != 0)
            voz_setStatus2(st, mine.retcode, mine.errcode, mine.errfname1,
                           mine.errfname2, mine.system_errno);
        free(p);
    }
    w->priv = nullptr;
    voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
}

}  // namespace

void voz_GetOneWordNoOcc(_WCTLHEAD* w, IDXINFO*, IDXINFO*, ANSWERFORM*,
                         int32_t, int32_t, GTRSTATUS*) {
    memset(&w->cur, 0, sizeof w->cur);
    w->cur.docno = VOZ_DOC_END;
    w->resumeDoc = VOZ_DOC_END;
    w->endFlag = 'Y';
    w->nextHit = voz_GetOneWordNoOcc;
}

void voz_GetWholeDocNOInit(_WCTLHEAD* w, IDXINFO* index, ANSWERFORM*,
                           GTRSTATUS* st) {
    PCTLHEAD* p = static_cast<PCTLHEAD*>(calloc(1, sizeof(PCTLHEAD)));
    if (p == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 801, nullptr, ENOMEM);
        voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
        return;
    }
    bool vvg = hasVvgs(index);
    const KEY_REC& rec = index->info.slots[vvg ? kVvgSlot : kDocListSlot];
    voz_InitPctl(p, &rec, vvg ? -1 : 0, 'N', st);
    w->priv = p;
    w->nextArg1 = index;
    if (voz_Failed(st) || rec.docCount == 0) {  // an empty index: no hits
        endWholeDoc(w, st);
        return;
    }
    w->resumeDoc = 0;
    w->resumePos = 1;
    w->cur.docno = -1;
    w->endFlag = 'N';
    w->nextHit = voz_GetWholeDocNO;
}

void voz_GetWholeDocNO(_WCTLHEAD* w, IDXINFO* index1, IDXINFO*, ANSWERFORM*,
                       int32_t doc, int32_t pos, GTRSTATUS* st) {
    PCTLHEAD* p = static_cast<PCTLHEAD*>(w->priv);
    IDXINFO* index = index1 != nullptr ? index1 : w->nextArg1;
    if (doc > VOZ_DOC_END - 1 || p == nullptr || index == nullptr)
        return endWholeDoc(w, st);
    if (doc < 0) {
        doc = w->resumeDoc;
        pos = w->resumePos;
    }
    _FCTLHEAD* fs = &index->fctl;
    if (!hasVvgs(index)) {
        // The current document is still the answer when the target does
        // not pass its hit (document, 1); otherwise the skip moves on.
        if (p->curDoc >= 0 && (p->curDoc > doc || (p->curDoc == doc && pos <= 1))) {
            setHit(w, p->curDoc, 1);
            return;
        }
        int32_t target = p->curDoc == doc ? doc + 1 : doc;
        voz_PointVvgSkip(fs, p, static_cast<uint32_t>(target), st);
        if (voz_Failed(st) || p->endOfDocs == 'Y') return endWholeDoc(w, st);
        setHit(w, p->curDoc, 1);
        w->resumeDoc = p->curDoc + 1;
        w->resumePos = 1;
        return;
    }
    voz_PointVvgSkip(fs, p, static_cast<uint32_t>(doc), st);
    for (;;) {
        if (voz_Failed(st) || p->endOfDocs == 'Y') return endWholeDoc(w, st);
        voz_PointDocStartposSkip(fs, p, p->curDoc, pos, st);
        if (voz_Failed(st)) return endWholeDoc(w, st);
        if (p->endOfPos != 'Y') break;
        voz_PointVvgSkip(fs, p, static_cast<uint32_t>(doc), st);
        pos = 0;
    }
    setHit(w, p->curDoc, p->curPos + 1);
}
