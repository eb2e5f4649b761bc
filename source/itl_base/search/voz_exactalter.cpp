// voz_exactalter.cpp -- exact lookup of a word with alternate characters or
// option 'S' (see voz_exactalter.hpp).
//
// Every group's keys carry the group's base as their basePos, so the
// merged streams hand out aligned positions. A group enters a document
// with its position not yet read (curPos 0 after a document skip): its
// first positioning there is voz_GctlPosSkipFirst, later ones
// voz_GctlPosSkip.
#include "search/voz_exactalter.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "search/voz_gctl.hpp"
#include "search/voz_wordctl.hpp"

namespace {

constexpr uint16_t kMatchExact = 100;

void copyFirstFailure(const GTRSTATUS& mine, GTRSTATUS* st) {
    if (mine.retcode != 0 && !voz_Failed(st))
        voz_setStatus2(st, mine.retcode, mine.errcode, mine.errfname1,
                       mine.errfname2, mine.system_errno);
}

// Releases every group and the control; the word goes to its end.
void endWord(_WCTLHEAD* w, GTRSTATUS* st) {
    VOZEXALTCTL* c = static_cast<VOZEXALTCTL*>(w->priv);
    if (c != nullptr) {
        for (int32_t i = 0; c->groups != nullptr && i < c->groupCount; ++i) {
            GTRSTATUS mine{};
            voz_SearchPattTerm(&c->groups[i], &mine);
            copyFirstFailure(mine, st);
        }
        free(c->groups);
        free(c);
    }
    w->priv = nullptr;
    voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
}

int32_t wordWidthOf(const RTRVWORDEXT* word, const IDXINFO* index) {
    return word->unit_width > 0 ? word->unit_width : index->info.unitWidth;
}

// Builds the next group of c over `bytes` bytes of the word from unit
// `start` with the given base; false when it failed or found no key.
bool addGroup(RTRVWORDEXT* word, VOZEXALTCTL* c, IDXINFO* index, int32_t start,
              int32_t bytes, int32_t base, char mode, int selectivity,
              GTRSTATUS* st) {
    const int32_t ww = wordWidthOf(word, index);
    GCTLINFO* g = &c->groups[c->groupCount++];
    memset(g, 0, sizeof *g);
    g->pattern = word->wi.wordp + static_cast<size_t>(start) * ww;
    g->pattLength = bytes;
    g->basePos = static_cast<int16_t>(base);
    voz_SearchPatt_(word, g, start, index, mode, st, selectivity);
    return !voz_Failed(st) && g->keyCount > 0;
}

// Moves every group to a common document at or after *d.
bool alignDocs(VOZEXALTCTL* c, IDXINFO* index, int32_t* d, GTRSTATUS* st) {
    for (;;) {
        int32_t top = *d;
        for (int32_t i = 0; i < c->groupCount; ++i) {
            GCTLINFO* g = &c->groups[i];
            if (g->endOfDocs != 'Y' && g->curDoc < top)
                voz_GctlDocSkip(g, top, index, st);
            if (voz_Failed(st) || g->endOfDocs == 'Y') return false;
            if (g->curDoc > top) top = g->curDoc;
        }
        bool agreed = true;
        for (int32_t i = 0; i < c->groupCount; ++i)
            agreed = agreed && c->groups[i].curDoc == top;
        *d = top;
        if (agreed) return true;
    }
}

// Moves every group to a common aligned position at or after *p.
bool alignPositions(VOZEXALTCTL* c, IDXINFO* index, int32_t* p,
                    GTRSTATUS* st) {
    for (;;) {
        int32_t top = *p;
        for (int32_t i = 0; i < c->groupCount; ++i) {
            GCTLINFO* g = &c->groups[i];
            if (g->endOfPos == 'Y') return false;
            if (g->curPos == 0)
                voz_GctlPosSkipFirst(g, top, index, st);
            else if (g->curPos < top)
                voz_GctlPosSkip(g, top, index, st);
            if (voz_Failed(st) || g->endOfPos == 'Y') return false;
            if (g->curPos > top) top = g->curPos;
        }
        bool agreed = true;
        for (int32_t i = 0; i < c->groupCount; ++i)
            agreed = agreed && c->groups[i].curPos == top;
        *p = top;
        if (agreed) return true;
    }
}

}  // namespace

bool voz_StartOptionAt(const RTRVWORDEXT* word, const uint8_t* unit) {
    return word->wi.start_option == 'S' &&
           (word->word_start_function == nullptr ||
            word->word_start_function(word->wi.wordp, unit) != 'N');
}

void voz_GetOneWordExactAlterInit(RTRVWORDEXT* word, _WCTLHEAD* w,
                                  IDXINFO* index, ANSWERFORM*, GTRSTATUS* st,
                                  int selectivity) {
    w->priv = nullptr;
    VOZEXALTCTL* c = static_cast<VOZEXALTCTL*>(calloc(1, sizeof *c));
    if (c == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 824, nullptr, ENOMEM);
        return endWord(w, st);
    }
    w->priv = c;
    const int32_t ww = wordWidthOf(word, index);
    const int32_t sw = index->info.unitWidth;
    const int32_t n = index->info.fixedKeyUnits;
    const int32_t N = word->wi.wordlen > 0 && ww > 0 ? word->wi.wordlen / ww : 0;
    c->wordUnits = N;
    c->groups = static_cast<GCTLINFO*>(
        calloc(static_cast<size_t>(N) + 1, sizeof(GCTLINFO)));
    if (c->groups == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 132, nullptr, ENOMEM);
        return endWord(w, st);
    }
    if (N < 1 || n < 1 || sw < 1) return endWord(w, st);  // cannot match
    if (voz_StartOptionAt(word, word->wi.wordp) &&
        !addGroup(word, c, index, 0, 2 * sw, N, 'B', selectivity, st))
        return endWord(w, st);
    const int32_t keyLength = index->keyCmpLen;
    for (int32_t start = 0; start < N; start += n) {
        int32_t s = start + n > N ? N - n : start;
        if (s < 0) s = 0;
        int32_t left = (N - s) * ww;
        if (!addGroup(word, c, index, s, left < keyLength ? left : keyLength,
                      N - s, 'A', selectivity, st))
            return endWord(w, st);
    }
    c->base0 = c->groups[0].basePos;
    memset(&w->cur, 0, sizeof w->cur);
    w->cur.docno = -1;
    w->endFlag = 'N';
    w->resumeDoc = -1;
    w->resumePos = c->base0 + 1;
    w->nextArg1 = index;
    w->nextHit = voz_GetOneWordExactAlter;
}

void voz_GetOneWordExactAlter(_WCTLHEAD* w, IDXINFO* index1, IDXINFO*,
                              ANSWERFORM*, int32_t doc, int32_t pos,
                              GTRSTATUS* st) {
    VOZEXALTCTL* c = static_cast<VOZEXALTCTL*>(w->priv);
    IDXINFO* index = index1 != nullptr ? index1 : w->nextArg1;
    if (doc > VOZ_DOC_END - 1 || c == nullptr || index == nullptr ||
        c->groupCount < 1)
        return endWord(w, st);
    const int32_t first = c->base0 + 1;
    int32_t d = doc;
    if (pos > VOZ_RELEASE_POS) pos = VOZ_RELEASE_POS;
    int32_t p = (pos > 1 ? pos : 1) + c->base0;
    if (doc < 0) {
        d = w->resumeDoc < 0 ? 0 : w->resumeDoc;
        p = w->resumePos;
    } else if (w->cur.docno >= 0 && doc < w->cur.docno) {
        return;  // the current hit already lies beyond the target
    }
    for (;;) {
        int32_t wanted = d;
        if (!alignDocs(c, index, &d, st)) return endWord(w, st);
        if (d != wanted) p = first;
        if (!alignPositions(c, index, &p, st)) {
            if (voz_Failed(st) || d >= VOZ_DOC_END - 1) return endWord(w, st);
            ++d;
            p = first;
            continue;
        }
        memset(&w->cur, 0, sizeof w->cur);
        w->cur.docno = d;
        w->cur.pos = p - c->base0;
        w->cur.len = static_cast<uint16_t>(c->wordUnits);
        w->cur.match = kMatchExact;
        w->resumeDoc = d;
        w->resumePos = p + 1;
        return;
    }
}

void voz_TermExpForSelectivityAlter(RTRVWORDEXT*, _WCTLHEAD* w, IDXINFO*,
                                    IDXINFO*, ANSWERFORM*, GTRSTATUS* st) {
    GTRSTATUS mine{};
    endWord(w, &mine);
    copyFirstFailure(mine, st);
}
