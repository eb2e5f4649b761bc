// voz_exactmix_next.cpp -- the hits of the exact lookup over a mixed index
// (see voz_exactmix.hpp): the kept pieces are aligned on one document, then
// on positions where each piece begins where its predecessor's current key
// ends (less their overlap); also the end of the lookup and the posting
// control of a stemmed token piece.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_keyfile.hpp"
#include "files/voz_status.hpp"
#include "search/voz_answer.hpp"
#include "search/voz_exactmix.hpp"
#include "search/voz_gctl.hpp"
#include "search/voz_wordctl.hpp"

namespace {

constexpr uint8_t kNoPostings = 0x10;  // posting-state byte of a key
constexpr int32_t kStemShare = 8192;
constexpr int kChain = 255;
constexpr int32_t kRcBadKey = 16;  // a key longer than any key can be

// Ends every piece (kept copies first go back into the full array), frees
// the control and leaves the word at its end.
void endMix(_WCTLHEAD* w, GTRSTATUS* st) {
    VOZMIXCTL* c = static_cast<VOZMIXCTL*>(w->priv);
    if (c != nullptr) {
        for (int32_t i = 0; i < c->keptCount; ++i)
            c->all[c->keptToAll[i]] = c->kept[i];
        for (int32_t i = 0; i < c->allCount; ++i) voz_MixTermPiece(&c->all[i], st);
        free(c->all);
        free(c->kept);
        free(c->keptToAll);
        free(c);
    }
    w->priv = nullptr;
    voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
}

// Length in units of the key the piece stands on.
int32_t keyUnits(const GCTLINFO& g) {
    if (g.pctl == nullptr || g.curKey < 0 || g.curKey >= g.keyCount) return 0;
    return g.pctl[g.curKey].keyUnits;
}

// Moves every kept piece onto one document at or after *d (each on its
// first position there). False when a piece ran out (or failed).
bool alignDocs(VOZMIXCTL* c, IDXINFO* index, int32_t* d, GTRSTATUS* st) {
    for (;;) {
        int32_t top = *d;
        for (int32_t i = 0; i < c->keptCount; ++i) {
            GCTLINFO& g = c->kept[i];
            if (g.curDoc < top) {
                voz_GctlDocSkip(&g, top, index, st);
                if (voz_Failed(st) || g.endOfDocs == 'Y') return false;
                voz_GctlPosSkipFirst(&g, 1, index, st);
                if (voz_Failed(st)) return false;
            }
            if (g.endOfDocs == 'Y') return false;
            if (g.curDoc > top) top = g.curDoc;
        }
        bool agreed = true;
        for (int32_t i = 0; i < c->keptCount; ++i)
            agreed = agreed && c->kept[i].curDoc == top;
        *d = top;
        if (agreed) return true;
    }
}

// Skips a piece to position p when it stands below it; false when the
// document has no such position left.
bool reach(GCTLINFO& g, int32_t p, IDXINFO* index, GTRSTATUS* st) {
    if (g.endOfPos == 'Y') return false;
    if (g.curPos < p) voz_GctlPosSkip(&g, p, index, st);
    return !voz_Failed(st) && g.endOfPos != 'Y';
}

// One chain of positions in the current document from *p on. 1 a hit,
// 0 none in this document, -1 a failure.
int alignPositions(VOZMIXCTL* c, IDXINFO* index, int32_t* p, GTRSTATUS* st) {
    const int32_t k = c->keptCount;
    for (;;) {
        if (!reach(c->kept[0], *p, index, st)) return voz_Failed(st) ? -1 : 0;
        bool ok = true;
        for (int32_t i = 1; i < k && ok; ++i) {
            const GCTLINFO& prev = c->kept[i - 1];
            int32_t expected = prev.curPos + keyUnits(prev) - c->kept[i].ownerWord0;
            if (!reach(c->kept[i], expected, index, st))
                return voz_Failed(st) ? -1 : 0;
            ok = c->kept[i].curPos == expected;
        }
        if (ok) return 1;
        // The earliest start the last piece still allows.
        int64_t back = 0;
        for (int32_t i = 0; i < k - 1; ++i)
            back += c->kept[i].maxUnits - (i > 0 ? c->kept[i].ownerWord0 : 0);
        int64_t next = c->kept[k - 1].curPos - back + c->kept[k - 1].ownerWord0;
        int64_t step = c->kept[0].curPos + 1;
        *p = static_cast<int32_t>(next > step ? next : step);
    }
}

// Rebuilds the text of a key from its records; -1 for a bad length.
int32_t keyText(const KEY_REC* recs, int32_t w, uint8_t* text) {
    int n = recs[0].recCount;
    memcpy(text, recs[0].key, VOZ_KEY_HEAD_BYTES);
    if (n < 2) {
        int32_t len = VOZ_KEY_HEAD_BYTES - VOZ_KEY_HEAD_BYTES % w;
        while (len >= w && text[len - w] == 0) len -= w;
        return len;
    }
    KEY_CONT cont;
    int32_t at = VOZ_KEY_HEAD_BYTES;
    for (int i = 1; i < n && at + VOZ_KEY_CONT_BYTES <= VOZ_MIX_PIECE_MAX + VOZ_KEY_CONT_BYTES;
         ++i, at += VOZ_KEY_CONT_BYTES) {
        memcpy(&cont, &recs[i], sizeof cont);
        memcpy(text + at, cont.key, VOZ_KEY_CONT_BYTES);
    }
    memcpy(&cont, &recs[1], sizeof cont);
    int32_t len = cont.keyLength;
    return len > at ? -1 : len;
}

// The kept controls share one read buffer, carved in order.
bool carveBuffer(GCTLINFO* g, GTRSTATUS* st) {
    int64_t total = 0;
    for (int32_t k = 0; k < g->keyCount; ++k)
        total += g->pctl[k].docCount < static_cast<uint32_t>(kStemShare)
                     ? g->pctl[k].docCount : kStemShare;
    uint8_t* buf = static_cast<uint8_t*>(malloc(static_cast<size_t>(total + 1)));
    if (buf == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_STEM_BUFFER, nullptr, ENOMEM);
        return false;
    }
    size_t at = 0;
    for (int32_t k = 0; k < g->keyCount; ++k) {
        uint32_t share = g->pctl[k].docCount < static_cast<uint32_t>(kStemShare)
                             ? g->pctl[k].docCount : kStemShare;
        g->pctl[k].readBuffer = buf + at;
        g->pctl[k].readBufferSize = static_cast<int32_t>(share);
        g->pctl[k].bufferOwner = 'N';
        at += share;
    }
    g->docTotal = static_cast<int32_t>(total);
    return true;
}

// Splits the accepted controls into kept (with postings) and dropped.
bool splitStemmed(GCTLINFO* g, PCTLHEAD* all, int32_t found, GTRSTATUS* st) {
    size_t n = static_cast<size_t>(found > 0 ? found : 1);
    PCTLHEAD* kept = static_cast<PCTLHEAD*>(calloc(n, sizeof(PCTLHEAD)));
    int32_t* map = static_cast<int32_t*>(calloc(n, sizeof(int32_t)));
    if (kept == nullptr || map == nullptr) {
        free(kept);
        free(map);
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_STEM_ARRAYS, nullptr, ENOMEM);
        return false;
    }
    int32_t k = 0;
    for (int32_t i = 0; i < found; ++i) {
        if ((all[i].posAttr.level & kNoPostings) == 0) {
            kept[k] = all[i];
            map[k++] = i;
            continue;
        }
        if (st != nullptr) st->retrieve_status |= 0x02;
        if (all[i].keyUnits > g->droppedUnits) g->droppedUnits = all[i].keyUnits;
    }
    g->allPctl = all;
    g->allCount = found;
    g->pctl = kept;
    g->keptToAll = map;
    g->keyCount = g->activeCount = k;
    g->allDropped = k == 0 ? 1 : 0;
    return true;
}

}  // namespace

void voz_GetOneWordExactMix(_WCTLHEAD* w, IDXINFO* index, IDXINFO*,
                            ANSWERFORM*, int32_t doc, int32_t pos,
                            GTRSTATUS* st) {
    VOZMIXCTL* c = static_cast<VOZMIXCTL*>(w->priv);
    if (index == nullptr) index = w->nextArg1;
    if (doc > VOZ_DOC_END - 1 || c == nullptr || index == nullptr ||
        c->keptCount < 1)
        return endMix(w, st);
    if (doc < 0) {
        doc = w->resumeDoc < 0 ? 0 : w->resumeDoc;
        pos = w->resumePos;
    } else if (w->cur.docno >= 0 && doc < w->cur.docno) {
        return;
    }
    if (pos > VOZ_POS_END) pos = VOZ_POS_END;
    w->cur.match = 100;
    int32_t d = doc;
    int32_t p = pos > 0 ? pos : 0;
    for (;;) {
        int32_t wanted = d;
        if (!alignDocs(c, index, &d, st)) return endMix(w, st);
        if (d != wanted) p = 0;
        int found = alignPositions(c, index, &p, st);
        if (found < 0) return endMix(w, st);
        if (found == 0) {
            if (d >= VOZ_DOC_END - 1) return endMix(w, st);
            ++d;
            p = 0;
            continue;
        }
        const GCTLINFO& first = c->kept[0];
        const GCTLINFO& last = c->kept[c->keptCount - 1];
        int32_t start = first.curPos;
        if (c->frontTrunc != 0) start += first.pctl[first.curKey].leadOffset;
        int32_t end = last.curPos + keyUnits(last);
        if (c->rearTrunc != 0) end -= last.pctl[last.curKey].trailExcess;
        memset(&w->cur, 0, sizeof w->cur);
        w->cur.docno = d;
        w->cur.pos = start;
        w->cur.len = static_cast<uint16_t>(end > start ? end - start : 1);
        w->cur.match = 100;
        w->resumeDoc = d;
        w->resumePos = first.curPos + 1;
        return;
    }
}

void voz_TermEmpForSelectivity(RTRVWORDEXT*, _WCTLHEAD* w, IDXINFO*,
                               IDXINFO*, ANSWERFORM*, GTRSTATUS* st) {
    GTRSTATUS own{};
    endMix(w, &own);
    if (own.retcode != 0 && !voz_Failed(st))
        voz_setStatus2(st, own.retcode, own.errcode, own.errfname1,
                       own.errfname2, own.system_errno);
}

void voz_InitPctlStemming(GCTLINFO* piece, ANSWERFORM* keys, IDXINFO* index,
                          int16_t keyUnitWidth, VOZ_WORDSTEM_FN stemming,
                          STEMCTL* stem, GTRSTATUS* st) {
    piece->curDoc = -1;
    int32_t n = keys != nullptr ? keys->memEntries : 0;
    PCTLHEAD* all = static_cast<PCTLHEAD*>(
        calloc(static_cast<size_t>(n > 0 ? n : 1), sizeof(PCTLHEAD)));
    if (all == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_STEM_CONTROLS, nullptr, ENOMEM);
        return;
    }
    int32_t w = keyUnitWidth > 0 ? keyUnitWidth : 2;
    int32_t compressed = index->info.unitWidth != keyUnitWidth ? 1 : 0;
    int32_t found = 0;
    KEY_REC* chain = static_cast<KEY_REC*>(calloc(kChain, sizeof(KEY_REC)));
    uint8_t text[VOZ_MIX_PIECE_MAX + 2 * VOZ_KEY_CONT_BYTES];
    for (int32_t i = 0; chain != nullptr && i < n; ++i) {
        int32_t record = voz_MixKeyRecord(index, voz_OccAt(keys->pages, i)->docno);
        if (voz_ReadKey(&index->fctl, chain, record, st) != 0) break;
        int32_t len = keyText(chain, w, text);
        if (len < 0 || len > VOZ_MIX_PIECE_MAX) {
            voz_setStatus(st, kRcBadKey, VOZ_EC_STEM_KEYLEN);
            break;
        }
        if (stemming(stem, static_cast<int16_t>(w), nullptr, text, len,
                     compressed, st) == 0 || voz_Failed(st))
            continue;
        PCTLHEAD* p = &all[found++];
        p->keyUnits = static_cast<int16_t>(len / w);
        voz_InitPctl(p, &chain[0], 0, 'N', st);
    }
    if (chain == nullptr)
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_STEM_CONTROLS, nullptr, ENOMEM);
    free(chain);
    if (voz_Failed(st) || found == 0) {
        for (int32_t i = 0; i < found; ++i) {
            GTRSTATUS ignore{};
            voz_TermPctl(&all[i], &ignore);
        }
        free(all);
        piece->keyCount = piece->activeCount = piece->allCount = 0;
        return;
    }
    if (!splitStemmed(piece, all, found, st)) {
        for (int32_t i = 0; i < found; ++i) {
            GTRSTATUS ignore{};
            voz_TermPctl(&all[i], &ignore);
        }
        free(all);
        return;
    }
    if (piece->keyCount == 0) return;
    if (!carveBuffer(piece, st)) return;
    voz_InitGctlPctl(piece, index, nullptr, st);
}
