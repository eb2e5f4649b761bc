// voz_aimaimix_next.cpp -- the hits of the fuzzy lookup over a mixed index
// (see voz_aimaimix.hpp): the fuzzy control, the document choice with its
// coverage filter, the chains of the position phase, the whole-word hits
// and the end of the word.
//
// Hits are computed one document at a time into VOZAIMAIMIXCTL::hits, in
// position order, already thinned: a hit in the same document as the last
// one kept, with a percentage no higher and ending no later, is left out.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "files/voz_status.hpp"
#include "search/voz_aimaicand.hpp"
#include "search/voz_aimaimix.hpp"
#include "search/voz_gctl.hpp"
#include "search/voz_wordctl.hpp"

namespace {

// One occurrence of a piece in the current document.
struct PieceOcc {
    int32_t pos;
    int32_t piece;           // index into the kept pieces
    int32_t keyUnits;        // length of the key it stands on
    int32_t head;            // key units before the match
    int32_t tail;            // key units after the match
    int32_t score;           // matched units x 100
};

int32_t startOf(const GCTLINFO& g) { return g.ownerWords1[0]; }
int32_t endOf(const GCTLINFO& g) { return g.ownerWords1[1]; }
int32_t splitKind(const GCTLINFO& g) { return g.ownerByte == 'Y' ? g.ownerWords3[1] : 0; }
bool isSplit(const GCTLINFO& g) { return splitKind(g) != 0; }

// True when b is a partner of a: a head and a tail of the same part, the
// tail beginning where the head ends.
bool partnerOf(const GCTLINFO& a, const GCTLINFO& b) {
    int32_t ka = splitKind(a), kb = splitKind(b);
    if (ka == 0 || kb == 0 || ka == kb || a.ownerWords3[0] != b.ownerWords3[0])
        return false;
    return ka == 1 ? endOf(a) == startOf(b) : endOf(b) == startOf(a);
}

// Links every head and tail piece to its partners (ownerWords4: the first
// and last index of them); one without partners is exhausted from the start.
void linkPartners(GCTLINFO* pieces, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        GCTLINFO& g = pieces[i];
        if (!isSplit(g)) continue;
        g.ownerWords4[0] = count;
        g.ownerWords4[1] = -1;
        for (int32_t j = 0; j < count; ++j) {
            if (!partnerOf(g, pieces[j])) continue;
            g.ownerWords4[0] = std::min(g.ownerWords4[0], j);
            g.ownerWords4[1] = j;
        }
        if (g.ownerWords4[1] < 0) g.endOfDocs = 'Y';
    }
}

// The smallest current document among the live partners of split piece i
// (VOZ_DOC_END when none is left).
int32_t partnerDoc(const VOZAIMAIMIXCTL* c, int32_t i) {
    const GCTLINFO& g = c->pieces[i];
    int32_t least = VOZ_DOC_END;
    for (int32_t j = g.ownerWords4[0]; j <= g.ownerWords4[1]; ++j) {
        const GCTLINFO& p = c->pieces[j];
        if (p.endOfDocs != 'Y' && partnerOf(g, p)) least = std::min(least, p.curDoc);
    }
    return least;
}

// True when a partner of split piece i stands on document d.
bool partnerOn(const VOZAIMAIMIXCTL* c, int32_t i, int32_t d) {
    const GCTLINFO& g = c->pieces[i];
    for (int32_t j = g.ownerWords4[0]; j <= g.ownerWords4[1]; ++j) {
        const GCTLINFO& p = c->pieces[j];
        if (p.endOfDocs != 'Y' && p.curDoc == d && partnerOf(g, p)) return true;
    }
    return false;
}

void keepStatus(GTRSTATUS* st, const GTRSTATUS& own) {
    if (own.retcode != 0 && !voz_Failed(st))
        voz_setStatus2(st, own.retcode, own.errcode, own.errfname1,
                       own.errfname2, own.system_errno);
}

// Ends every piece, frees the control, leaves the word at its end.
void endAimai(_WCTLHEAD* w, GTRSTATUS* st) {
    VOZAIMAIMIXCTL* c = static_cast<VOZAIMAIMIXCTL*>(w->priv);
    if (c != nullptr) {
        if (c->all != nullptr && c->keptToAll != nullptr)
            for (int32_t i = 0; i < c->pieceCount; ++i)
                c->all[c->keptToAll[i]] = c->pieces[i];
        for (int32_t i = 0; i < c->allCount; ++i) {
            GCTLINFO& g = c->all[i];
            if (g.ownerWord0 == 0) continue;
            GTRSTATUS own{};
            if (g.ownerByte == 'Y')
                voz_TermPctlBatch2(&g, &own);
            else
                voz_SearchPattTerm(&g, &own);
            keepStatus(st, own);
        }
        if (c->whole != nullptr) {
            GTRSTATUS own{};
            voz_TermPctlBatch2(c->whole, &own);
            keepStatus(st, own);
        }
        for (int32_t i = 0; c->twins != nullptr && i < c->pieceCount; ++i) {
            if (c->twins[i].ownerByte == 'N') continue;
            GTRSTATUS own{};
            voz_SearchPattTerm(&c->twins[i], &own);
            keepStatus(st, own);
        }
        free(c->twins);
        if (c->candidates != nullptr)
            voz_PartctlFree(static_cast<PARTCTL*>(c->candidates));
        free(c->candidates);
        free(c->all);
        free(c->pieces);
        free(c->keptToAll);
        free(c->whole);
        delete c;
    }
    w->priv = nullptr;
    voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
}

// The smallest document at or after `target` that an early piece (one that
// starts within the allowed misses) stands on, with every other piece moved
// up to it. VOZ_DOC_END when no early piece is left.
int32_t choosePieceDoc(VOZAIMAIMIXCTL* c, IDXINFO* index, int32_t target,
                       GTRSTATUS* st) {
    for (;;) {
        int32_t cand = VOZ_DOC_END, least = VOZ_DOC_END;
        for (int32_t i = 0; i < c->pieceCount; ++i) {
            GCTLINFO& g = c->pieces[i];
            if (g.endOfDocs == 'Y') continue;
            // A head or tail counts only beside a partner: it skips to the
            // partners' smallest document when that lies further on.
            int32_t to = target;
            if (isSplit(g)) {
                int32_t p = partnerDoc(c, i);
                if (p == VOZ_DOC_END) {
                    g.endOfDocs = 'Y';
                    continue;
                }
                to = std::max(to, p);
            }
            if (g.curDoc < to) voz_GctlDocSkip(&g, to, index, st);
            if (voz_Failed(st)) return VOZ_DOC_END;
            if (g.endOfDocs == 'Y') continue;
            least = std::min(least, g.curDoc);
            if (startOf(g) <= c->misses) cand = std::min(cand, g.curDoc);
        }
        if (cand == VOZ_DOC_END || least >= cand) return cand;
        target = cand;
    }
}

// Coverage filter: the units covered by the pieces on document d (a head
// or tail only beside a partner there) and by dropped pieces must reach
// the similarity.
bool covered(VOZAIMAIMIXCTL* c, int32_t d) {
    std::fill(c->coverage.begin(), c->coverage.end(), 0);
    for (int32_t i = 0; i < c->pieceCount; ++i) {
        const GCTLINFO& g = c->pieces[i];
        if (g.endOfDocs == 'Y' || g.curDoc != d) continue;
        if (isSplit(g) && !partnerOn(c, i, d)) continue;
        for (int32_t u = startOf(g); u < endOf(g) && u < c->units; ++u)
            c->coverage[static_cast<size_t>(u)] = 1;
    }
    int64_t units = 0;
    for (int32_t u = 0; u < c->units; ++u)
        units += c->coverage[static_cast<size_t>(u)] != 0 ||
                 c->dropped[static_cast<size_t>(u)] != 0 ? 1 : 0;
    return 100 * units + c->bonus >= c->simN;
}

// Every position of the pieces on document d, ordered by position, ties by
// start unit.
bool collectOccs(VOZAIMAIMIXCTL* c, IDXINFO* index, int32_t d,
                 std::vector<PieceOcc>& occs, GTRSTATUS* st) {
    occs.clear();
    for (int32_t i = 0; i < c->pieceCount; ++i) {
        GCTLINFO& g = c->pieces[i];
        if (g.endOfDocs == 'Y' || g.curDoc != d) continue;
        voz_GctlPosSkipFirst(&g, 1, index, st);
        while (!voz_Failed(st) && g.endOfPos != 'Y' && g.curPos < VOZ_POS_END) {
            PieceOcc o{g.curPos, i, endOf(g) - startOf(g), 0, 0,
                       (endOf(g) - startOf(g)) * 100};
            if (g.ownerByte == 'Y' && g.curKey >= 0 && g.curKey < g.keyCount) {
                const PCTLHEAD& p = g.pctl[g.curKey];
                o = {g.curPos, i, p.keyUnits, p.leadOffset, p.trailExcess,
                     p.totalWeight};
            }
            occs.push_back(o);
            voz_GctlPosSkip(&g, g.curPos + 1, index, st);
        }
    }
    if (voz_Failed(st)) return false;
    std::sort(occs.begin(), occs.end(), [c](const PieceOcc& a, const PieceOcc& b) {
        if (a.pos != b.pos) return a.pos < b.pos;
        return startOf(c->pieces[a.piece]) < startOf(c->pieces[b.piece]);
    });
    return true;
}

// Units of dropped pieces in the word units [from, to).
int32_t droppedBetween(const VOZAIMAIMIXCTL* c, int32_t from, int32_t to) {
    int32_t n = 0;
    for (int32_t u = std::max(from, 0); u < to && u < c->units; ++u)
        n += c->dropped[static_cast<size_t>(u)];
    return n;
}

// Adds occurrence b after a to a chain; false when the gap ends the chain.
bool extendChain(const VOZAIMAIMIXCTL* c, const PieceOcc& a, const PieceOcc& b,
                 int64_t* score, int64_t* penalty) {
    const GCTLINFO& ga = c->pieces[a.piece];
    const GCTLINFO& gb = c->pieces[b.piece];
    int32_t drop = droppedBetween(c, endOf(ga), startOf(gb));
    bool afterKey = ga.ownerByte == 'Y';
    int32_t limit = afterKey ? VOZ_AIMAI_GAP_KEY : VOZ_AIMAI_GAP_NGRAM;
    int32_t weight = afterKey ? VOZ_AIMAI_WEIGHT_KEY : VOZ_AIMAI_WEIGHT_NGRAM;
    int32_t distance = b.pos - a.pos;
    if (gb.ownerByte == 'Y') {
        int32_t d = std::min(0, (a.keyUnits - a.tail - b.head) - distance) + drop;
        if (-d > limit) return false;
        if (d < 0) *penalty += static_cast<int64_t>(-d) * 100 * weight;
        *score += b.score;
    } else {
        int32_t d = (a.keyUnits - a.tail) - distance + drop;
        if (-d > VOZ_AIMAI_GAP_NGRAM) return false;
        int32_t len = endOf(gb) - startOf(gb);
        if (d < 1) {
            *penalty += static_cast<int64_t>(-d) * 100 * VOZ_AIMAI_WEIGHT_NGRAM;
            int32_t w = a.keyUnits - (startOf(gb) - startOf(ga)) + drop;
            if (w < 1) {
                *score += b.score;
            } else {
                *penalty += static_cast<int64_t>(w) * 100 * VOZ_AIMAI_WEIGHT_OVERLAP;
                *score += std::max(0, len - w) * 100;
            }
        } else {
            *score += std::max(0, len - d) * 100;
        }
    }
    *score += 100 * drop;
    return true;
}

// Start option: true when the piece of occurrence o may begin a chain --
// it has no twin, or its start-unit twin stands on document d at o's
// position. Chain starts come in ascending position order.
bool confirmed(VOZAIMAIMIXCTL* c, IDXINFO* index, int32_t d, const PieceOcc& o,
               GTRSTATUS* st) {
    if (c->twins == nullptr) return true;
    GCTLINFO& t = c->twins[o.piece];
    if (t.ownerByte == 'N') return true;
    if (t.endOfDocs == 'Y') return false;
    if (t.curDoc < d) voz_GctlDocSkip(&t, d, index, st);
    if (voz_Failed(st) || t.endOfDocs == 'Y' || t.curDoc != d) return false;
    if (t.ownerWords4[0] != d + 1) {
        voz_GctlPosSkipFirst(&t, 1, index, st);
        t.ownerWords4[0] = d + 1;
    }
    if (t.endOfPos != 'Y' && t.curPos < o.pos) voz_GctlPosSkip(&t, o.pos, index, st);
    return !voz_Failed(st) && t.endOfPos != 'Y' && t.curPos == o.pos;
}

// The chains of document d as hits (unthinned).
void chainHits(VOZAIMAIMIXCTL* c, IDXINFO* index, int32_t d,
               const std::vector<PieceOcc>& occs,
               std::vector<VOZAIMAIMIXHIT>& out, GTRSTATUS* st) {
    // A head or tail alone on the document yields nothing.
    bool single = std::all_of(occs.begin(), occs.end(), [&occs](const PieceOcc& o) {
        return o.piece == occs.front().piece;
    });
    if (occs.empty() || (single && isSplit(c->pieces[occs.front().piece]))) return;
    std::vector<uint8_t> used(occs.size(), 0);
    const int64_t denom = static_cast<int64_t>(c->units) * 100 * VOZ_AIMAI_SCALE;
    for (size_t i = 0; i < occs.size(); ++i) {
        if (used[i] || splitKind(c->pieces[occs[i].piece]) == 2) continue;
        if (!confirmed(c, index, d, occs[i], st)) {
            if (voz_Failed(st)) return;
            continue;
        }
        int64_t score = occs[i].score + c->bonus, penalty = 0;
        size_t last = i;
        int32_t count = 1;
        used[i] = 1;
        for (size_t j = i + 1; j < occs.size(); ++j) {
            if (used[j]) continue;
            const GCTLINFO& ga = c->pieces[occs[last].piece];
            const GCTLINFO& gb = c->pieces[occs[j].piece];
            if (startOf(gb) <= startOf(ga)) continue;
            // A tail joins only right after a head partner, at most the
            // head's span and 3 units further on.
            if (splitKind(gb) == 2 &&
                (!partnerOf(ga, gb) ||
                 occs[j].pos > occs[last].pos + (endOf(ga) - startOf(ga)) + 3))
                continue;
            if (!extendChain(c, occs[last], occs[j], &score, &penalty)) break;
            used[j] = 1;
            last = j;
            ++count;
        }
        if (score < c->simN) continue;
        int64_t pct = (score * 100 * VOZ_AIMAI_SCALE - penalty * 100) / denom;
        if (pct < c->similarity) continue;
        int32_t len = occs[last].pos - occs[i].pos + occs[last].keyUnits;
        if (pct >= 100) pct = len == c->units && count == c->parts ? 100 : 99;
        out.push_back({d, occs[i].pos, len, static_cast<int32_t>(pct)});
    }
}

// The whole-word hits of document d (and any the group still holds before
// it), through voz_FlushOkGctl.
void wholeHits(VOZAIMAIMIXCTL* c, IDXINFO* index, int32_t d,
               std::vector<VOZAIMAIMIXHIT>& out, GTRSTATUS* st) {
    if (c->whole == nullptr) return;
    _WCTLHEAD tmp;
    memset(&tmp, 0, sizeof tmp);
    for (;;) {
        int32_t delivered = 0;
        voz_FlushOkGctl(c->whole, index, d, VOZ_RELEASE_POS, nullptr, &delivered,
                        &tmp, st);
        if (voz_Failed(st) || delivered == 0) return;
        if (tmp.cur.match >= c->similarity)
            out.push_back({tmp.cur.docno, tmp.cur.pos, tmp.cur.len, tmp.cur.match});
    }
}

// Computes the hits of the next document at or after `from`; false at the
// end of the documents (or on a failure).
bool nextDocument(VOZAIMAIMIXCTL* c, IDXINFO* index, int32_t from, GTRSTATUS* st) {
    int32_t pieceDoc = choosePieceDoc(c, index, std::max(from, c->pieceTarget), st);
    if (voz_Failed(st)) return false;
    int32_t wholeDoc = VOZ_DOC_END;
    if (c->whole != nullptr && c->whole->endOfDocs != 'Y') {
        if (c->whole->curDoc < from) {
            voz_GctlDocSkip(c->whole, from, index, st);
            if (voz_Failed(st)) return false;
        }
        if (c->whole->endOfDocs != 'Y') wholeDoc = c->whole->curDoc;
    }
    int32_t d = std::min(pieceDoc, wholeDoc);
    if (d >= VOZ_DOC_END) return false;
    std::vector<VOZAIMAIMIXHIT> found;
    wholeHits(c, index, d, found, st);
    if (pieceDoc == d) {
        c->pieceTarget = d + 1;
        if (covered(c, d)) {
            ++c->positionPhases;
            std::vector<PieceOcc> occs;
            if (!collectOccs(c, index, d, occs, st)) return false;
            chainHits(c, index, d, occs, found, st);
        }
    }
    if (voz_Failed(st)) return false;
    std::stable_sort(found.begin(), found.end(),
                     [](const VOZAIMAIMIXHIT& a, const VOZAIMAIMIXHIT& b) {
                         return a.doc != b.doc ? a.doc < b.doc : a.pos < b.pos;
                     });
    c->hits.clear();
    c->nextHit = 0;
    c->hitsDoc = d;
    for (const VOZAIMAIMIXHIT& h : found) {
        if (!c->hits.empty()) {
            const VOZAIMAIMIXHIT& l = c->hits.back();
            if (l.doc == h.doc && h.pct <= l.pct && h.pos + h.len <= l.pos + l.len)
                continue;
        }
        c->hits.push_back(h);
    }
    return true;
}

void deliver(_WCTLHEAD* w, const VOZAIMAIMIXHIT& h) {
    memset(&w->cur, 0, sizeof w->cur);
    w->cur.docno = h.doc;
    w->cur.pos = h.pos;
    w->cur.len = static_cast<uint16_t>(h.len > 0 ? h.len : 1);
    w->cur.match = static_cast<uint8_t>(h.pct);
    w->endFlag = 'N';
    w->resumeDoc = h.doc;
    w->resumePos = h.pos;
}

// Start option with n-gram pieces: each n-gram piece whose first unit
// passes the word-start test gets a start-unit twin (pattern search of its
// first unit after a begin mark); a twin without keys is exhausted. Pieces
// without a twin (candidate keys: whole words) need no confirmation.
bool startTwins(VOZAIMAIMIXCTL* c, RTRVWORDEXT* word, IDXINFO* index,
                GTRSTATUS* st) {
    if (word->wi.start_option != 'S') return true;
    bool any = false;
    for (int32_t i = 0; i < c->pieceCount; ++i) any = any || c->pieces[i].ownerByte == 'N';
    if (!any) return true;
    c->twins = static_cast<GCTLINFO*>(
        calloc(static_cast<size_t>(c->pieceCount), sizeof(GCTLINFO)));
    if (c->twins == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_AIMAI_TWINS, nullptr, ENOMEM);
        return false;
    }
    int32_t ww = word->unit_width > 0 ? word->unit_width : 2;
    for (int32_t i = 0; i < c->pieceCount; ++i) {
        GCTLINFO& t = c->twins[i];
        const GCTLINFO& p = c->pieces[i];
        t.ownerByte = 'N';
        if (p.ownerByte != 'N') continue;
        if (word->word_start_function != nullptr &&
            word->word_start_function(word->wi.wordp, p.pattern) == 'N')
            continue;
        t.ownerByte = 'T';
        t.curDoc = -1;
        t.pattern = p.pattern;
        t.pattLength = ww;
        int32_t offset = static_cast<int32_t>((p.pattern - word->wi.wordp) / ww);
        voz_SearchPatt_(word, &t, offset, index, 'B', st, 0);
        if (voz_Failed(st)) break;
        if (t.keyCount == 0) t.endOfDocs = 'Y';
    }
    if (!voz_Failed(st)) return true;
    for (int32_t i = 0; i < c->pieceCount; ++i) {
        if (c->twins[i].ownerByte == 'N') continue;
        GTRSTATUS own{};
        voz_SearchPattTerm(&c->twins[i], &own);
    }
    return false;
}

}  // namespace

void voz_AimaiLoop(RTRVWORDEXT* word, int32_t units, int32_t parts,
                   GCTLINFO* pieces, int32_t pieceCount, GCTLINFO* wholeWord,
                   IDXINFO* index, ANSWERFORM*, _WCTLHEAD* w, GTRSTATUS* st) {
    VOZAIMAIMIXCTL* c = new (std::nothrow) VOZAIMAIMIXCTL;
    if (c == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_AIMAI_CONTROL, nullptr, ENOMEM);
        return;
    }
    try {
        c->coverage.assign(static_cast<size_t>(units), 0);
        c->dropped.assign(static_cast<size_t>(units), 0);
    } catch (const std::bad_alloc&) {
        delete c;
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_AIMAI_COVERAGE, nullptr, ENOMEM);
        return;
    }
    c->pieces = pieces;
    c->pieceCount = pieceCount;
    c->whole = wholeWord;
    c->units = units;
    c->parts = parts;
    linkPartners(pieces, pieceCount);
    c->similarity = word->wi.precision;
    c->misses = units - (c->similarity * units + 99) / 100;
    c->simN = c->similarity * units;
    for (int32_t i = 0; i < pieceCount; ++i)
        if (pieces[i].keyCount == 0 && pieces[i].groupCount == 0 &&
            pieces[i].activeCount == 0)
            pieces[i].endOfDocs = 'Y';
    if (!startTwins(c, word, index, st)) {
        free(c->twins);
        delete c;
        return;
    }
    memset(&w->cur, 0, sizeof w->cur);
    w->cur.docno = -1;
    w->endFlag = 'N';
    w->resumeDoc = -1;
    w->resumePos = 0;
    w->nextArg1 = index;
    w->nextArg2 = nullptr;
    w->priv = c;
    w->nextHit = voz_GetOneWordAimaiMix;
}

void voz_GetOneWordAimaiMix(_WCTLHEAD* w, IDXINFO* index, IDXINFO*,
                            ANSWERFORM*, int32_t doc, int32_t pos,
                            GTRSTATUS* st) {
    VOZAIMAIMIXCTL* c = static_cast<VOZAIMAIMIXCTL*>(w->priv);
    if (c == nullptr || doc > VOZ_DOC_END - 1) return endAimai(w, st);
    if (index == nullptr) index = w->nextArg1;
    if (doc < 0) {
        doc = w->resumeDoc < 0 ? 0 : w->resumeDoc;
        pos = w->resumeDoc < 0 ? 0 : w->resumePos + 1;
    }
    if (w->cur.docno >= 0 &&
        (w->cur.docno > doc || (w->cur.docno == doc && w->cur.pos >= pos)))
        return;
    for (;;) {
        while (c->nextHit < c->hits.size()) {
            const VOZAIMAIMIXHIT& h = c->hits[c->nextHit];
            if (h.doc > doc || (h.doc == doc && h.pos >= pos)) {
                deliver(w, h);
                ++c->nextHit;
                return;
            }
            ++c->nextHit;
        }
        if (!nextDocument(c, index, std::max(doc, c->hitsDoc + 1), st))
            return endAimai(w, st);
    }
}

void voz_FlushOkGctl(GCTLINFO* g, IDXINFO* index, int32_t doc, int32_t pos,
                     ANSWERFORM*, int32_t* delivered, _WCTLHEAD* w,
                     GTRSTATUS* st) {
    if (g == nullptr) return;
    // ownerWords4[0] holds 1 + the document whose first position was taken.
    while (g->endOfDocs != 'Y' && g->curDoc <= doc && !voz_Failed(st)) {
        if (g->ownerWords4[0] != g->curDoc + 1) {
            voz_GctlPosSkipFirst(g, 1, index, st);
            g->ownerWords4[0] = g->curDoc + 1;
        }
        if (voz_Failed(st)) return;
        if (g->endOfPos == 'Y' || g->curPos >= VOZ_POS_END) {
            voz_GctlDocSkip(g, g->curDoc + 1, index, st);
            continue;
        }
        if (g->curDoc == doc && g->curPos >= pos) return;
        const PCTLHEAD& p = g->pctl[g->curKey];
        memset(&w->cur, 0, sizeof w->cur);
        w->cur.docno = g->curDoc;
        w->cur.pos = g->curPos;
        w->cur.len = static_cast<uint16_t>(p.keyUnits);
        w->cur.match = static_cast<uint8_t>(p.unitWeight[0]);
        ++*delivered;
        voz_GctlPosSkip(g, g->curPos + 1, index, st);
        return;
    }
}
