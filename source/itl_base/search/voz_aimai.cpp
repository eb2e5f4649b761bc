// voz_aimai.cpp -- fuzzy lookup of a word over an n-gram index, plain and
// with alternate characters (see voz_aimai.hpp).
//
// Both variants share one scan over "entries", one per n-gram of the word:
// a PCTLHEAD (plain) or a GCTLINFO over the n-gram's alternative keys.
// Positions are text positions (base 0). The scan of a document keeps its
// state (active list, coverage, targets, last hit) in the control, so a
// resumed call goes on where the last hit was given out.
#include "search/voz_aimai.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_keyfile.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_exactalter.hpp"
#include "search/voz_gctl.hpp"
#include "search/voz_wordctl.hpp"

// One n-gram of the word and the postings that stand for it.
struct VOZAIMAIENTRY {
    int32_t unit;            // first word unit the n-gram covers
    PCTLHEAD* p;             // plain variant
    GCTLINFO* g;             // alternates variant
    char used;               // 'Y': moves on at the next advance
};

namespace {

constexpr uint8_t kNoPostings = 0x10;  // key record level of a key
                                       // without postings
constexpr int32_t kUnitWeight = 6;
constexpr int32_t kGapPenalty = 2;
constexpr int32_t kOverlapPenalty = 1;
constexpr int32_t kMaxGap = 3;
constexpr int32_t kTyped = 100;        // weight of a unit as typed

struct MemCodes {
    int32_t control, grams, order, cover;
};

void copyFirstFailure(const GTRSTATUS& mine, GTRSTATUS* st) {
    if (mine.retcode != 0 && !voz_Failed(st))
        voz_setStatus2(st, mine.retcode, mine.errcode, mine.errfname1,
                       mine.errfname2, mine.system_errno);
}

void freeControl(VOZAIMAICTL* c, GTRSTATUS* st) {
    for (int32_t i = 0; c->pctl != nullptr && i < c->gramCount; ++i) {
        GTRSTATUS mine{};
        voz_TermPctl(&c->pctl[i], &mine);
        copyFirstFailure(mine, st);
    }
    for (int32_t i = 0; c->groups != nullptr && i < c->gramCount; ++i) {
        GTRSTATUS mine{};
        voz_SearchPattTerm(&c->groups[i], &mine);
        copyFirstFailure(mine, st);
    }
    for (int32_t u = 0; c->starts != nullptr && u <= c->lastStart; ++u) {
        GTRSTATUS mine{};
        voz_SearchPattTerm(&c->starts[u], &mine);
        copyFirstFailure(mine, st);
    }
    free(c->pctl);
    free(c->groups);
    free(c->starts);
    free(c->startCheck);
    free(c->entries);
    free(c->order);
    free(c->cover);
    free(c);
}

void endWord(_WCTLHEAD* w, GTRSTATUS* st) {
    VOZAIMAICTL* c = static_cast<VOZAIMAICTL*>(w->priv);
    if (c != nullptr) freeControl(c, st);
    w->priv = nullptr;
    voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
}

// ---- one entry ------------------------------------------------------------

int32_t docOf(const VOZAIMAIENTRY& e) {
    if (e.p != nullptr) return e.p->endOfDocs == 'Y' ? VOZ_DOC_END : e.p->curDoc;
    return e.g->endOfDocs == 'Y' ? VOZ_DOC_END : e.g->curDoc;
}

int32_t posOf(const VOZAIMAIENTRY& e) {
    return e.p != nullptr ? e.p->curPos : e.g->curPos;
}

void docSkip(VOZAIMAIENTRY& e, int32_t d, IDXINFO* index, GTRSTATUS* st) {
    if (e.p != nullptr)
        voz_PointVvgSkip(&index->fctl, e.p, static_cast<uint32_t>(d), st);
    else
        voz_GctlDocSkip(e.g, d, index, st);
}

// Moves the entry to its first position in the current document at or
// after `pos`; false when it has none.
bool firstPos(VOZAIMAIENTRY& e, int32_t pos, IDXINFO* index, GTRSTATUS* st) {
    if (e.p != nullptr) {
        voz_PointPosSkip(&index->fctl, e.p, pos, st);
        return e.p->endOfPos != 'Y';
    }
    voz_GctlPosSkipFirst(e.g, pos, index, st);
    return e.g->endOfPos != 'Y';
}

bool posSkip(VOZAIMAIENTRY& e, int32_t pos, IDXINFO* index, GTRSTATUS* st) {
    if (e.p != nullptr) {
        if (e.p->endOfPos != 'Y' && e.p->curPos < pos)
            voz_PointPosSkip(&index->fctl, e.p, pos, st);
        return e.p->endOfPos != 'Y';
    }
    if (e.g->endOfPos != 'Y' && e.g->curPos < pos)
        voz_GctlPosSkip(e.g, pos, index, st);
    return e.g->endOfPos != 'Y';
}

// Weight of unit j of the key the entry stands on.
int32_t unitWeight(const VOZAIMAIENTRY& e, int32_t j) {
    if (e.g == nullptr || e.g->curKey < 0 || e.g->curKey >= e.g->keyCount ||
        j >= 6)
        return kTyped;
    return e.g->pctl[e.g->curKey].unitWeight[j];
}

// Summed weight of units from .. k-1.
int32_t weightsFrom(const VOZAIMAIENTRY& e, int32_t from, int32_t k) {
    int32_t sum = 0;
    for (int32_t j = from; j < k; ++j) sum += unitWeight(e, j);
    return sum;
}

// ---- the scan -------------------------------------------------------------

void addCover(VOZAIMAICTL* c, const VOZAIMAIENTRY& e, int32_t delta) {
    for (int32_t u = e.unit; u < e.unit + c->gramUnits && u < c->wordUnits; ++u) {
        if (delta > 0 && c->cover[u]++ == 0) ++c->covered;
        if (delta < 0 && --c->cover[u] == 0) --c->covered;
    }
}

void sortActive(VOZAIMAICTL* c) {
    std::sort(c->order, c->order + c->activeCount, [c](int32_t a, int32_t b) {
        int32_t pa = posOf(c->entries[a]), pb = posOf(c->entries[b]);
        return pa != pb ? pa < pb : a < b;
    });
}

// Drops active entry `k` (of order) that has no positions left.
void dropActive(VOZAIMAICTL* c, int32_t k) {
    addCover(c, c->entries[c->order[k]], -1);
    memmove(&c->order[k], &c->order[k + 1],
            static_cast<size_t>(c->activeCount - k - 1) * sizeof(int32_t));
    --c->activeCount;
}

// Coverage and active list of candidate document d; false when it cannot
// give a hit.
bool startDoc(VOZAIMAICTL* c, int32_t d, IDXINFO* index, GTRSTATUS* st) {
    memset(c->cover, 0, static_cast<size_t>(c->wordUnits) * sizeof(int32_t));
    c->covered = 0;
    c->activeCount = 0;
    for (int32_t i = 0; i < c->gramCount; ++i)
        if (docOf(c->entries[i]) == d) addCover(c, c->entries[i], 1);
    if (c->covered < c->required) return false;
    for (int32_t i = 0; i < c->gramCount; ++i) {
        VOZAIMAIENTRY& e = c->entries[i];
        if (docOf(e) != d) continue;
        e.used = 'N';
        bool has = firstPos(e, 1, index, st);
        if (voz_Failed(st)) return false;
        if (has)
            c->order[c->activeCount++] = i;
        else
            addCover(c, e, -1);
    }
    sortActive(c);
    return c->covered >= c->required;
}

// Moves entries below the target or used to max(P, B), drops those out of
// positions and moves an entry standing where its predecessor stands (a
// larger unit on the same position) on. False when the document can give
// no more hit.
bool advance(VOZAIMAICTL* c, IDXINFO* index, bool sameSpot, GTRSTATUS* st) {
    const int32_t target = std::max(c->scanTarget, c->lowerBound);
    for (int32_t k = 0; k < c->activeCount;) {
        VOZAIMAIENTRY& e = c->entries[c->order[k]];
        if (posOf(e) >= c->scanTarget && e.used != 'Y') {
            ++k;
            continue;
        }
        e.used = 'N';
        bool has = posSkip(e, target, index, st);
        if (voz_Failed(st)) return false;
        if (has) ++k; else dropActive(c, k);
    }
    sortActive(c);
    for (int32_t k = 1; sameSpot && k < c->activeCount;) {
        VOZAIMAIENTRY& e = c->entries[c->order[k]];
        int32_t at = posOf(e);
        if (at != posOf(c->entries[c->order[k - 1]])) {
            ++k;
            continue;
        }
        bool has = posSkip(e, at + 1, index, st);
        if (voz_Failed(st)) return false;
        if (!has) dropActive(c, k);
        sortActive(c);
        k = 1;
    }
    return c->covered >= c->required && c->activeCount > 0;
}

// True when a chain may start at the entry: its unit is at most N - R and,
// under option 'S', its start-unit group has not reached its end.
bool mayStart(const VOZAIMAICTL* c, const VOZAIMAIENTRY& e) {
    if (e.unit > c->lastStart) return false;
    if (c->starts == nullptr || c->startCheck[e.unit] != 'Y') return true;
    return c->starts[e.unit].endOfDocs != 'Y';
}

// Under option 'S': true when the entry's start-unit group stands on
// (d, p) (or the word-start test exempts the unit).
bool startsAtWordStart(VOZAIMAICTL* c, const VOZAIMAIENTRY& e, int32_t d,
                       int32_t p, IDXINFO* index, GTRSTATUS* st) {
    if (c->starts == nullptr || c->startCheck[e.unit] != 'Y') return true;
    GCTLINFO* s = &c->starts[e.unit];
    if (s->endOfDocs != 'Y' && s->curDoc < d) voz_GctlDocSkip(s, d, index, st);
    if (voz_Failed(st) || s->endOfDocs == 'Y' || s->curDoc != d) return false;
    if (s->curPos == 0)
        voz_GctlPosSkipFirst(s, p, index, st);
    else if (s->curPos < p && s->endOfPos != 'Y')
        voz_GctlPosSkip(s, p, index, st);
    return !voz_Failed(st) && s->endOfPos != 'Y' && s->curPos == p;
}

// Chains the active list from its first entry; the percentage, and the
// hit's length in *length.
int32_t chain(VOZAIMAICTL* c, int32_t* length) {
    const int32_t k = c->gramUnits;
    VOZAIMAIENTRY* prev = &c->entries[c->order[0]];
    const int32_t p0 = posOf(*prev);
    int64_t score = static_cast<int64_t>(kUnitWeight) * weightsFrom(*prev, 0, k);
    int64_t penalty = 0;
    char run = 'Y';
    prev->used = 'Y';
    for (int32_t j = 1; j < c->activeCount; ++j) {
        VOZAIMAIENTRY& e = c->entries[c->order[j]];
        if (e.unit <= prev->unit) continue;
        int32_t t = k - (posOf(e) - posOf(*prev));
        if (-t > kMaxGap) break;
        if (t < 1) {
            int32_t wo = k - (e.unit - prev->unit);
            penalty += static_cast<int64_t>(kGapPenalty) * kTyped * -t;
            if (wo > 0) penalty += static_cast<int64_t>(kOverlapPenalty) * kTyped * wo;
            score += static_cast<int64_t>(kUnitWeight) *
                     weightsFrom(e, wo > 0 ? wo : 0, k);
            run = 'N';
        } else {
            score += static_cast<int64_t>(kUnitWeight) * weightsFrom(e, t, k);
        }
        e.used = run;
        prev = &e;
    }
    *length = posOf(*prev) - p0 + k;
    int64_t full = static_cast<int64_t>(kUnitWeight) * kTyped * c->wordUnits;
    int64_t pct = (score - penalty) * 100 / full;
    return static_cast<int32_t>(std::min<int64_t>(pct, 100));
}

// Scans the document in progress. 1: a hit was given out into w; 0: the
// document has no more hits; -1: failure.
int scanDoc(VOZAIMAICTL* c, _WCTLHEAD* w, IDXINFO* index, bool sameSpot,
            GTRSTATUS* st) {
    const int32_t d = c->scanDoc;
    for (;;) {
        if (!advance(c, index, sameSpot, st)) return voz_Failed(st) ? -1 : 0;
        if (!mayStart(c, c->entries[c->order[0]])) {
            int32_t k = 1;
            while (k < c->activeCount && !mayStart(c, c->entries[c->order[k]])) ++k;
            if (k >= c->activeCount) return 0;
            c->scanTarget = posOf(c->entries[c->order[k]]);
            continue;
        }
        VOZAIMAIENTRY& e0 = c->entries[c->order[0]];
        const int32_t p0 = posOf(e0);
        if (!startsAtWordStart(c, e0, d, p0, index, st)) {
            if (voz_Failed(st)) return -1;
            e0.used = 'Y';
            c->lowerBound = p0 + 1;
            continue;
        }
        int32_t length = 0;
        int32_t pct = chain(c, &length);
        c->lowerBound = p0 + 1;
        if (pct < c->similarity) continue;
        const OCC& last = c->last;
        if (last.docno == d && pct <= last.match &&
            p0 + length <= last.pos + last.len)
            continue;
        memset(&w->cur, 0, sizeof w->cur);
        w->cur.docno = d;
        w->cur.pos = p0;
        w->cur.len = static_cast<uint16_t>(length);
        w->cur.match = static_cast<uint8_t>(pct);
        c->last = w->cur;
        w->resumeDoc = d;
        w->resumePos = std::max(c->scanTarget, c->lowerBound) + 1;
        return 1;
    }
}

// The smallest document at or after d on which an entry stands.
int32_t nextCandidate(VOZAIMAICTL* c, int32_t d, IDXINFO* index,
                      GTRSTATUS* st) {
    int32_t best = VOZ_DOC_END;
    for (int32_t i = 0; i < c->gramCount; ++i) {
        VOZAIMAIENTRY& e = c->entries[i];
        if (docOf(e) < d) docSkip(e, d, index, st);
        if (voz_Failed(st)) return VOZ_DOC_END;
        best = std::min(best, docOf(e));
    }
    return best;
}

void aimaiNext(_WCTLHEAD* w, IDXINFO* index1, int32_t doc, int32_t pos,
               bool sameSpot, GTRSTATUS* st) {
    VOZAIMAICTL* c = static_cast<VOZAIMAICTL*>(w->priv);
    IDXINFO* index = index1 != nullptr ? index1 : w->nextArg1;
    if (doc > VOZ_DOC_END - 1 || c == nullptr || index == nullptr)
        return endWord(w, st);
    if (doc >= 0 && w->cur.docno >= 0 && doc < w->cur.docno) return;
    if (pos > VOZ_RELEASE_POS) pos = VOZ_RELEASE_POS;
    int32_t d = doc;
    int32_t p = pos > 1 ? pos : 1;
    if (doc < 0) {
        d = w->resumeDoc < 0 ? 0 : w->resumeDoc;
        p = 1;
    } else if (doc == c->scanDoc) {
        c->scanTarget = std::max(c->scanTarget, p);
    } else {
        c->scanDoc = -1;
    }
    for (;;) {
        if (c->scanDoc >= 0) {
            int r = scanDoc(c, w, index, sameSpot, st);
            if (r < 0) return endWord(w, st);
            if (r > 0) return;
            if (c->scanDoc >= VOZ_DOC_END - 1) return endWord(w, st);
            d = c->scanDoc + 1;
            p = 1;
            c->scanDoc = -1;
        }
        int32_t cand = nextCandidate(c, d, index, st);
        if (voz_Failed(st) || cand >= VOZ_DOC_END) return endWord(w, st);
        if (cand != d) p = 1;
        if (!startDoc(c, cand, index, st)) {
            if (voz_Failed(st) || cand >= VOZ_DOC_END - 1) return endWord(w, st);
            d = cand + 1;
            p = 1;
            continue;
        }
        c->scanDoc = cand;
        c->scanTarget = c->lowerBound = p;
    }
}

// ---- set-up ---------------------------------------------------------------

// Allocates the control with its entry, order and coverage arrays for a
// word of N units; null after a memory failure (in st).
VOZAIMAICTL* newControl(RTRVWORDEXT* word, IDXINFO* index, int32_t N,
                        MemCodes codes, GTRSTATUS* st) {
    VOZAIMAICTL* c = static_cast<VOZAIMAICTL*>(calloc(1, sizeof *c));
    if (c == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, codes.control, nullptr, ENOMEM);
        return nullptr;
    }
    size_t n = static_cast<size_t>(N > 0 ? N : 1);
    c->wordUnits = N;
    c->gramUnits = index->info.fixedKeyUnits;
    c->similarity = word->wi.precision;
    c->required = (c->similarity * N + 99) / 100;
    c->lastStart = N - c->required;
    c->scanDoc = -1;
    c->entries = static_cast<VOZAIMAIENTRY*>(calloc(n, sizeof(VOZAIMAIENTRY)));
    c->order = static_cast<int32_t*>(calloc(n, sizeof(int32_t)));
    c->cover = static_cast<int32_t*>(calloc(n, sizeof(int32_t)));
    int32_t failed = c->entries == nullptr ? codes.grams
                   : c->order == nullptr   ? codes.order
                   : c->cover == nullptr   ? codes.cover : 0;
    if (failed != 0) {
        voz_setStatus(st, VOZ_RC_MEMORY, failed, nullptr, ENOMEM);
        freeControl(c, st);
        return nullptr;
    }
    return c;
}

void installWord(_WCTLHEAD* w, IDXINFO* index, VOZ_NEXTHIT_FN next) {
    memset(&w->cur, 0, sizeof w->cur);
    w->cur.docno = -1;
    w->endFlag = 'N';
    w->resumeDoc = -1;
    w->resumePos = 1;
    w->nextArg1 = index;
    w->nextHit = next;
}

bool usableIndex(const IDXINFO* index, int32_t N) {
    return N > index->info.fixedKeyUnits && index->info.fixedKeyUnits > 0 &&
           index->info.unitWidth > 0;
}

// Looks the plain n-grams up; false after a failure.
bool lookGrams(RTRVWORDEXT* word, IDXINFO* index, VOZAIMAICTL* c,
               GTRSTATUS* st) {
    const int32_t sw = index->info.unitWidth;
    const size_t cmp = std::min<size_t>(index->keyCmpLen, VOZ_KEY_HEAD_BYTES);
    for (int32_t i = 0; i + c->gramUnits <= c->wordUnits; ++i) {
        PCTLHEAD* p = &c->pctl[c->gramCount];
        c->entries[c->gramCount] = VOZAIMAIENTRY{i, p, nullptr, 'N'};
        ++c->gramCount;
        uint8_t key[VOZ_KEY_HEAD_BYTES] = {};
        memcpy(key, word->wi.wordp + static_cast<size_t>(i) * sw, cmp);
        KEY_REC rec;
        int32_t number = 0;
        int rc = voz_BinSearchKeyWhole(VOZ_BS_PATTERN, key, index, &rec,
                                       &number, st);
        if (rc < 0) return false;
        if (rc != 0 || memcmp(rec.key, key, cmp) != 0 ||
            (rec.level & kNoPostings) != 0) {
            p->endOfDocs = p->endOfPos = 'Y';  // never matches
            p->curDoc = VOZ_DOC_END;
            continue;
        }
        voz_InitPctl(p, &rec, 0, 'N', st);
        p->keyUnits = static_cast<int16_t>(c->gramUnits);
        voz_PointVvgSkip(&index->fctl, p, 0, st);
        if (voz_Failed(st)) return false;
    }
    return true;
}

// Builds the alternates variant's start-unit and n-gram groups.
bool buildGroups(RTRVWORDEXT* word, IDXINFO* index, VOZAIMAICTL* c,
                 GTRSTATUS* st) {
    const int32_t ww = word->unit_width > 0 ? word->unit_width
                                            : index->info.unitWidth;
    for (int32_t u = 0; c->starts != nullptr && u <= c->lastStart; ++u) {
        const uint8_t* at = word->wi.wordp + static_cast<size_t>(u) * ww;
        if (!voz_StartOptionAt(word, at)) continue;
        c->startCheck[u] = 'Y';
        GCTLINFO* s = &c->starts[u];
        s->pattern = const_cast<uint8_t*>(at);
        s->pattLength = 2 * index->info.unitWidth;
        voz_SearchPatt_(word, s, u, index, 'B', st, 0);
        if (voz_Failed(st)) return false;
        if (s->keyCount == 0) {
            s->endOfDocs = s->endOfPos = 'Y';
            s->curDoc = VOZ_DOC_END;
        }
    }
    for (int32_t i = 0; i + c->gramUnits <= c->wordUnits; ++i) {
        GCTLINFO* g = &c->groups[c->gramCount];
        memset(g, 0, sizeof *g);
        g->pattern = word->wi.wordp + static_cast<size_t>(i) * ww;
        g->pattLength = index->keyCmpLen;
        voz_SearchPatt_(word, g, i, index, 'A', st, 0);
        if (voz_Failed(st)) return false;
        if (g->keyCount == 0) {
            voz_SearchPattTerm(g, st);  // nothing found: not kept
            continue;
        }
        c->entries[c->gramCount++] = VOZAIMAIENTRY{i, nullptr, g, 'N'};
    }
    return !voz_Failed(st);
}

}  // namespace

void voz_GetOneWordAimaiInit(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* index,
                             ANSWERFORM*, GTRSTATUS* st) {
    w->priv = nullptr;
    const int32_t sw = index->info.unitWidth;
    const int32_t N = sw > 0 && word->wi.wordlen > 0 ? word->wi.wordlen / sw : 0;
    VOZAIMAICTL* c = newControl(word, index, N, MemCodes{823, 129, 130, 131}, st);
    if (c == nullptr) return endWord(w, st);
    w->priv = c;
    if (!usableIndex(index, N)) return endWord(w, st);
    c->pctl = static_cast<PCTLHEAD*>(
        calloc(static_cast<size_t>(N), sizeof(PCTLHEAD)));
    if (c->pctl == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 129, nullptr, ENOMEM);
        return endWord(w, st);
    }
    if (!lookGrams(word, index, c, st)) return endWord(w, st);
    // Equal n-grams of the word stand on the same postings: the later one
    // is moved on where both stand (see advance).
    installWord(w, index, voz_GetOneWordAimai);
}

void voz_GetOneWordAimaiAlterInit(RTRVWORDEXT* word, _WCTLHEAD* w,
                                  IDXINFO* index, ANSWERFORM*,
                                  GTRSTATUS* st) {
    w->priv = nullptr;
    const int32_t ww = word->unit_width > 0 ? word->unit_width
                                            : index->info.unitWidth;
    const int32_t N = ww > 0 && word->wi.wordlen > 0 ? word->wi.wordlen / ww : 0;
    VOZAIMAICTL* c = newControl(word, index, N, MemCodes{825, 134, 135, 136}, st);
    if (c == nullptr) return endWord(w, st);
    w->priv = c;
    if (!usableIndex(index, N)) return endWord(w, st);
    if (word->wi.start_option == 'S') {
        size_t starts = static_cast<size_t>(c->lastStart) + 1;
        c->starts = static_cast<GCTLINFO*>(calloc(starts, sizeof(GCTLINFO)));
        c->startCheck = static_cast<char*>(calloc(starts, 1));
        if (c->starts == nullptr || c->startCheck == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 133, nullptr, ENOMEM);
            return endWord(w, st);
        }
    }
    c->groups = static_cast<GCTLINFO*>(
        calloc(static_cast<size_t>(N), sizeof(GCTLINFO)));
    if (c->groups == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 134, nullptr, ENOMEM);
        return endWord(w, st);
    }
    if (!buildGroups(word, index, c, st)) return endWord(w, st);
    installWord(w, index, voz_GetOneWordAimaiAlter);
}

void voz_GetOneWordAimai(_WCTLHEAD* w, IDXINFO* index1, IDXINFO*,
                         ANSWERFORM*, int32_t doc, int32_t pos,
                         GTRSTATUS* st) {
    aimaiNext(w, index1, doc, pos, true, st);
}

void voz_GetOneWordAimaiAlter(_WCTLHEAD* w, IDXINFO* index1, IDXINFO*,
                              ANSWERFORM*, int32_t doc, int32_t pos,
                              GTRSTATUS* st) {
    aimaiNext(w, index1, doc, pos, true, st);
}
