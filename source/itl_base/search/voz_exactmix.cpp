// voz_exactmix.cpp -- the set-up of the exact lookup over a mixed index
// (see voz_exactmix.hpp): the word is cut into token and other pieces, mask
// units are attached to the token pieces they touch, other pieces become
// n-grams, and every piece is looked up -- token pieces through the key
// index, n-grams by pattern search in the mixed index.
#include "search/voz_exactmix.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "characters/voz_cut.hpp"
#include "files/voz_status.hpp"
#include "search/voz_answer.hpp"
#include "search/voz_exact.hpp"
#include "search/voz_gctl.hpp"
#include "search/voz_shortword.hpp"
#include "search/voz_wildcard.hpp"
#include "search/voz_wordctl.hpp"

const char* const VOZ_MIX_LONG_WARNING =
    "\n VOZ Warning!! Search query is longer than 128 chars";

namespace {

constexpr int32_t kKeyBuffer = 780;  // marks + 768 bytes of a token piece

// What one set-up holds while it runs.
struct MixSetup {
    RTRVWORDEXT* word;
    IDXINFO* index;
    IDXINFO* keyIndex;
    ANSWERFORM* answer;
    int32_t ww;        // word unit width
    uint8_t* text;
    uint8_t* end;
    bool selectivity;
    GCTLINFO* pieces = nullptr;
    int32_t count = 0;
};

bool isMaskUnit(const RTRVWORDEXT* word, const uint8_t* u, int32_t w) {
    if (word->wi.search_flag == 0) return false;
    for (const uint8_t* m : {word->mask_unit[0], word->mask_unit[1]})
        if (m[0] != 0 && memcmp(u, m, static_cast<size_t>(w)) == 0) return true;
    return false;
}

void setPiece(GCTLINFO* g, uint8_t kind, uint8_t* start, int32_t length) {
    memset(g, 0, sizeof *g);
    g->ownerByte = kind;
    g->pattern = start;
    g->pattLength = length;
    g->curDoc = -1;
}

void removePiece(MixSetup& m, int32_t i) {
    memmove(&m.pieces[i], &m.pieces[i + 1],
            sizeof(GCTLINFO) * static_cast<size_t>(m.count - i - 1));
    --m.count;
}

// Step 4: one piece per part the cutting routine hands out.
bool cutParts(MixSetup& m, GTRSTATUS* st) {
    int32_t units = static_cast<int32_t>((m.end - m.text) / m.ww);
    m.pieces = static_cast<GCTLINFO*>(
        calloc(static_cast<size_t>(units + 1), sizeof(GCTLINFO)));
    if (m.pieces == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_MIX_PIECES, nullptr, ENOMEM);
        return false;
    }
    uint8_t* at = m.text;
    while (at < m.end && m.count < units + 1) {
        uint8_t* ps = at;
        uint8_t* pe = at;
        uint8_t* next = m.end;
        int32_t cut = m.word->cut_function(at, m.end, static_cast<int16_t>(m.ww),
                                           &ps, &pe, &next);
        if (pe > ps) {
            int32_t len = static_cast<int32_t>(pe - ps);
            if (len > VOZ_MIX_PIECE_MAX) len = VOZ_MIX_PIECE_MAX;
            setPiece(&m.pieces[m.count++], cut != 0 ? VOZ_PIECE_TOKEN : VOZ_PIECE_NGRAM,
                     ps, len);
        }
        if (next <= at) break;
        at = next;
    }
    return true;
}

int32_t maskRunAtEnd(const MixSetup& m, const GCTLINFO& g) {
    int32_t n = 0;
    for (uint8_t* u = g.pattern + g.pattLength - m.ww;
         u >= g.pattern && isMaskUnit(m.word, u, m.ww); u -= m.ww)
        ++n;
    return n;
}

int32_t maskRunAtFront(const MixSetup& m, const GCTLINFO& g) {
    int32_t n = 0;
    for (uint8_t* u = g.pattern; u + m.ww <= g.pattern + g.pattLength &&
                                 isMaskUnit(m.word, u, m.ww); u += m.ww)
        ++n;
    return n;
}

// Step 5: adjacent token pieces merge; mask units touching a token piece
// move into it and make it a wildcard piece.
void attachMasks(MixSetup& m) {
    for (int32_t i = 0; i < m.count; ++i) {
        GCTLINFO& p = m.pieces[i];
        if (p.ownerByte != VOZ_PIECE_TOKEN) continue;
        if (i > 0) {
            GCTLINFO& prev = m.pieces[i - 1];
            bool adjacent = prev.pattern + prev.pattLength == p.pattern;
            if (adjacent && prev.ownerByte == VOZ_PIECE_TOKEN) {
                prev.pattLength += p.pattLength;
                if (p.takeAll == 'Y') prev.takeAll = 'Y';
                removePiece(m, i);
                i -= 2;  // look at the merged piece again
                continue;
            }
            if (adjacent) {
                int32_t k = maskRunAtEnd(m, prev) * m.ww;
                prev.pattLength -= k;
                p.pattern -= k;
                p.pattLength += k;
                if (k > 0) p.takeAll = 'Y';
            }
        }
        if (i + 1 < m.count) {
            GCTLINFO& next = m.pieces[i + 1];
            if (next.ownerByte != VOZ_PIECE_TOKEN &&
                p.pattern + p.pattLength == next.pattern) {
                int32_t k = maskRunAtFront(m, next) * m.ww;
                p.pattLength += k;
                next.pattern += k;
                next.pattLength -= k;
                if (k > 0) p.takeAll = 'Y';
                if (next.pattLength == 0) removePiece(m, i + 1);
            }
        }
    }
}

// Step 6: other pieces become n-grams (a start-unit piece first when the
// word must begin at a word start and its first piece is one of them).
bool splitNgrams(MixSetup& m, bool startUnit, GTRSTATUS* st) {
    int32_t units = static_cast<int32_t>((m.end - m.text) / m.ww);
    GCTLINFO* out = static_cast<GCTLINFO*>(
        calloc(static_cast<size_t>(units + 2), sizeof(GCTLINFO)));
    if (out == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_MIX_NGRAMS, nullptr, ENOMEM);
        return false;
    }
    int32_t n = m.index->info.fixedKeyUnits > 0 ? m.index->info.fixedKeyUnits : 1;
    int32_t nb = n * m.ww;
    int32_t count = 0;
    for (int32_t i = 0; i < m.count && count < units + 2; ++i) {
        GCTLINFO& p = m.pieces[i];
        if (p.ownerByte == VOZ_PIECE_TOKEN) {
            out[count++] = p;
            continue;
        }
        if (p.pattLength <= 0) continue;
        uint8_t* s = p.pattern;
        uint8_t* e = p.pattern;
        uint8_t* next = nullptr;
        m.word->cut_function(p.pattern, p.pattern + p.pattLength,
                             static_cast<int16_t>(m.ww), &s, &e, &next);
        if (e <= s) continue;
        if (i == 0 && startUnit) {
            setPiece(&out[count++], VOZ_PIECE_NGRAM, s, -1);
            s += m.ww;
        }
        uint8_t* at = s;
        bool first = true;
        while (at < e && count < units + 2) {
            uint8_t* start = at + nb > e ? (e - nb > s ? e - nb : s) : at;
            int32_t len = static_cast<int32_t>(e - start < nb ? e - start : nb);
            GCTLINFO& g = out[count++];
            setPiece(&g, VOZ_PIECE_NGRAM, start, len);
            g.ownerWord0 = first ? 0 : static_cast<int32_t>((at - start) / m.ww);
            first = false;
            at = start + len;
        }
    }
    free(m.pieces);
    m.pieces = out;
    m.count = count;
    return true;
}

// Ends every piece a lookup built; the first failure goes into st.
void endPieces(GCTLINFO* pieces, int32_t count, GTRSTATUS* st) {
    for (int32_t i = 0; i < count; ++i) voz_MixTermPiece(&pieces[i], st);
}

// Rebases the collected key-index documents to key records of the mixed
// index and keeps one entry per key (the first: the smallest lead).
void rebaseCandidates(ANSWERFORM* a, const IDXINFO* index) {
    int32_t kept = 0;
    int32_t last = -1;
    for (int32_t i = 0; i < a->memEntries; ++i) {
        OCC* e = voz_OccAt(a->pages, i);
        if (e->docno == last) continue;
        last = e->docno;
        OCC copy = *e;
        copy.docno = voz_MixKeyRecord(index, copy.docno);
        *voz_OccAt(a->pages, kept++) = copy;
    }
    a->memEntries = kept;
    a->occCount = kept;
}

// Builds the search key of a token piece: start mark, units, end mark (a
// truncated end leaves its mark out). Returns its length.
int32_t tokenKey(MixSetup& m, const GCTLINFO& p, uint8_t* key, int32_t* front,
                 int32_t* rear) {
    memset(key, 0, kKeyBuffer);
    VOZ_MARKSETUNIT_FN mark = m.word->mark_set_function != nullptr
                                  ? m.word->mark_set_function : vozCHmarkUnit_Set;
    int16_t w = static_cast<int16_t>(m.ww);
    int32_t at = 0;
    *front = m.word->front_trunc != 0 && p.pattern == m.text ? m.word->front_trunc : 0;
    *rear = m.word->rear_trunc != 0 && p.pattern + p.pattLength == m.end
                ? m.word->rear_trunc : 0;
    if (*front == 0) {
        mark('S', key, m.keyIndex->info.options[0], w);
        at += m.ww;
    }
    // Merged parts and attached masks may pass the longest key; such a
    // piece is searched by its first 768 bytes (it matches no key).
    int32_t len = p.pattLength < VOZ_MIX_PIECE_MAX ? p.pattLength : VOZ_MIX_PIECE_MAX;
    memcpy(key + at, p.pattern, static_cast<size_t>(len));
    at += len;
    if (*rear == 0) {
        mark('E', key + at, m.keyIndex->info.options[1], w);
        at += m.ww;
    }
    return at;
}

// Looks one token piece up; false ends the word (no key, or a failure).
bool lookToken(MixSetup& m, GCTLINFO& p, GTRSTATUS* st) {
    uint8_t key[kKeyBuffer];
    int32_t front = 0, rear = 0;
    int32_t keyLen = tokenKey(m, p, key, &front, &rear);
    bool stem = m.word->stem_function != nullptr && p.takeAll != 'Y' &&
                p.pattLength / m.ww >= 3 && p.pattLength <= VOZ_MIX_PIECE_MAX &&
                !m.selectivity;
    ANSWERFORM keys;
    voz_OpenAnswer(&keys, nullptr, 0, nullptr, nullptr, nullptr, st);
    if (voz_Failed(st)) return false;
    STEMCTL sc;
    memset(&sc, 0, sizeof sc);
    if (p.takeAll == 'Y') {
        keys.occLimit = m.answer != nullptr ? m.answer->occLimit : VOZ_ANS_OCC_LIMIT;
        voz_WildCard(key, keyLen, m.keyIndex, m.word->mask_unit[0],
                     m.word->mask_unit[1], &keys, m.word, st);
        if (keys.limitReached == 'Y' && m.answer != nullptr)
            m.answer->limitReached = 'Y';
    } else if (stem) {
        sc.word = p.pattern;
        sc.length = p.pattLength;
        int32_t prefix = 0;
        m.word->stem_function(&sc, static_cast<int16_t>(m.ww), &prefix, nullptr,
                              0, 0, st);
        if (!voz_Failed(st)) {
            if (prefix <= 0 || prefix > p.pattLength) prefix = p.pattLength;
            uint8_t pat[kKeyBuffer] = {};
            int16_t w = static_cast<int16_t>(m.ww);
            vozCHmarkUnit_Set('S', pat, m.keyIndex->info.options[0], w);
            memcpy(pat + m.ww, p.pattern, static_cast<size_t>(prefix));
            uint8_t* star = pat + m.ww + prefix;
            memset(star, '*', static_cast<size_t>(m.ww));
            vozCHmarkUnit_Set('E', star + m.ww, m.keyIndex->info.options[1], w);
            uint8_t zero[VOZ_UNIT_FIELD] = {};
            voz_WildCard(pat, prefix + 3 * m.ww, m.keyIndex, star, zero, &keys,
                         m.word, st);
        }
    } else {
        voz_CollectKeyIndexHits(key, keyLen, m.ww, m.keyIndex,
                                m.word->mark_set_function, &keys, st);
    }
    p.ownerWords1[0] = 1;
    if (!voz_Failed(st) && keys.memEntries > 0) {
        if (stem) {
            voz_InitPctlStemming(&p, &keys, m.index,
                                 static_cast<int16_t>(m.keyIndex->info.unitWidth),
                                 m.word->stem_function, &sc, st);
        } else {
            rebaseCandidates(&keys, m.index);
            voz_InitPctlBatch0_(&p, &keys, m.index, front, rear, st,
                                m.selectivity ? 1 : 0);
        }
        p.batchBuilt = 'Y';
    }
    bool found = !voz_Failed(st) && p.allCount + p.keyCount > 0;
    voz_ReleaseAnswer(&keys);
    return found;
}

// Looks one n-gram piece up by pattern search; false ends the word.
bool lookNgram(MixSetup& m, GCTLINFO& p, GTRSTATUS* st) {
    char mode = p.pattLength < 0 ? 'B' : 'A';
    uint8_t* start = p.pattern;
    int32_t length = p.pattLength;
    if (mode == 'B') p.pattLength = m.ww;
    int32_t offset = static_cast<int32_t>((start - m.text) / m.ww);
    voz_SearchPatt_(m.word, &p, offset, m.index, mode, st, m.selectivity ? 1 : 0);
    p.pattLength = length;
    p.ownerWords1[0] = 1;
    return !voz_Failed(st) && p.allCount > 0;
}

// Step 9: copies the kept pieces; false on a memory failure.
bool keepPieces(MixSetup& m, VOZMIXCTL* c, GTRSTATUS* st) {
    size_t n = static_cast<size_t>(m.count > 0 ? m.count : 1);
    c->kept = static_cast<GCTLINFO*>(calloc(n, sizeof(GCTLINFO)));
    c->keptToAll = static_cast<int32_t*>(calloc(n, sizeof(int32_t)));
    if (c->kept == nullptr || c->keptToAll == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_MIX_KEPT, nullptr, ENOMEM);
        return false;
    }
    int32_t hole = 0;  // units of dropped pieces since the last kept one
    for (int32_t i = 0; i < m.count; ++i) {
        GCTLINFO& p = m.pieces[i];
        if (p.allDropped != 0) {
            int32_t units = p.droppedUnits - p.ownerWord0;
            hole += units > 0 ? units : 0;
            continue;
        }
        GCTLINFO& k = c->kept[c->keptCount];
        k = p;
        if (c->keptCount > 0) k.ownerWord0 -= hole;
        c->keptToAll[c->keptCount++] = i;
        hole = 0;
    }
    return true;
}

void failWord(_WCTLHEAD* w) {
    voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
    w->priv = nullptr;
}

// Steps 4-8: the pieces, each looked up. False: no hits (or a failure).
bool buildPieces(MixSetup& m, GTRSTATUS* st) {
    bool startUnit = m.word->wi.start_option == 'S' &&
                     !(m.word->word_start_function != nullptr &&
                       m.word->word_start_function(m.text, m.text) == 'N');
    if (!cutParts(m, st)) return false;
    attachMasks(m);
    if (!splitNgrams(m, startUnit, st)) return false;
    if (m.count == 0) return false;
    if ((m.word->front_trunc != 0 && m.pieces[0].takeAll == 'Y') ||
        (m.word->rear_trunc != 0 && m.pieces[m.count - 1].takeAll == 'Y')) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, VOZ_EC_MIX_TRUNC_WILD);
        return false;
    }
    for (int32_t i = 0; i < m.count; ++i) {
        GCTLINFO& p = m.pieces[i];
        bool ok = p.ownerByte == VOZ_PIECE_TOKEN ? lookToken(m, p, st)
                                                 : lookNgram(m, p, st);
        if (!ok) return false;
    }
    return true;
}

}  // namespace

int32_t voz_MixKeyRecord(const IDXINFO* index, int32_t k) {
    return static_cast<int32_t>(index->info.fixedRecords) + k;
}

void voz_MixTermPiece(GCTLINFO* piece, GTRSTATUS* st) {
    if (piece->ownerWords1[0] == 0) return;
    GTRSTATUS own{};
    if (piece->ownerByte == VOZ_PIECE_TOKEN)
        voz_TermPctlBatch0(piece, &own);
    else
        voz_SearchPattTerm(piece, &own);
    piece->ownerWords1[0] = 0;
    if (own.retcode != 0 && !voz_Failed(st))
        voz_setStatus2(st, own.retcode, own.errcode, own.errfname1,
                       own.errfname2, own.system_errno);
}

void voz_GetOneWordExactMixInit_(RTRVWORDEXT* word, _WCTLHEAD* w,
                                 IDXINFO* index, IDXINFO* keyIndex,
                                 ANSWERFORM* answer, GTRSTATUS* st,
                                 int selectivity) {
    VOZMIXCTL* c = static_cast<VOZMIXCTL*>(calloc(1, sizeof(VOZMIXCTL)));
    if (c == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_MIX_CONTROL, nullptr, ENOMEM);
        return failWord(w);
    }
    MixSetup m{word, index, keyIndex, answer,
               word->unit_width > 0 ? word->unit_width : 2, word->wi.wordp,
               word->wi.wordp + (word->wi.wordlen > 0 ? word->wi.wordlen : 0),
               selectivity != 0};
    if (index == nullptr || keyIndex == nullptr || index->info.docCount < 1 ||
        word->cut_function == nullptr) {
        free(c);
        return failWord(w);
    }
    if ((m.end - m.text) / m.ww > VOZ_MIX_WORD_UNITS) {
        fputs(VOZ_MIX_LONG_WARNING, stderr);
        fflush(stderr);
    }
    bool ok = buildPieces(m, st);
    if (ok) ok = keepPieces(m, c, st);
    if (!ok || voz_Failed(st)) {
        endPieces(m.pieces, m.count, st);
        free(m.pieces);
        free(c->kept);
        free(c->keptToAll);
        free(c);
        return failWord(w);
    }
    c->all = m.pieces;
    c->allCount = m.count;
    c->frontTrunc = word->front_trunc;
    c->rearTrunc = word->rear_trunc;
    if (c->keptCount == 0) {
        // Every piece found only keys without postings: a stop word.
        endPieces(c->all, c->allCount, st);
        free(c->all);
        free(c->kept);
        free(c->keptToAll);
        free(c);
        w->priv = nullptr;
        if (st != nullptr) st->retrieve_status |= 0x02;
        if (selectivity)
            w->docEstimate = static_cast<int32_t>(index->info.docCount);
        else
            voz_GetWholeDocNOInit(w, index, answer, st);
        w->emptyFlag = 0;
        return;
    }
    memset(&w->cur, 0, sizeof w->cur);
    w->cur.docno = -1;
    w->endFlag = 'N';
    w->resumeDoc = -1;
    w->resumePos = 0;
    w->nextArg1 = index;
    w->nextArg2 = keyIndex;
    w->priv = c;
    w->nextHit = voz_GetOneWordExactMix;
    if (selectivity) return;
    for (int32_t i = 0; i < c->keptCount && !voz_Failed(st); ++i)
        voz_GctlPosSkipFirst(&c->kept[i], 1, index, st);
    if (voz_Failed(st)) voz_GetOneWordExactMix(w, index, keyIndex, answer,
                                               VOZ_DOC_END, VOZ_RELEASE_POS, st);
}

void voz_CollectKeyIndexHits(uint8_t* key, int32_t keyLen, int32_t width,
                             IDXINFO* keyIndex, VOZ_MARKSETUNIT_FN mark,
                             ANSWERFORM* keys, GTRSTATUS* st) {
    RTRVWORDEXT tw;
    memset(&tw, 0, sizeof tw);
    tw.wi.type = 'W';
    tw.wi.precision = 100;
    tw.wi.wordp = key;
    tw.wi.wordlen = static_cast<int16_t>(keyLen);
    tw.unit_width = static_cast<int16_t>(width);
    tw.mark_set_function = mark;
    _WCTLHEAD tc;
    memset(&tc, 0, sizeof tc);
    tc.resumeDoc = -1;
    const int32_t shortLimit =
        static_cast<int32_t>(keyIndex->info.fixedKeyUnits) * width;
    if (keyLen < shortLimit)
        voz_GetShortWordInit_(&tw, &tc, keyIndex, keys, 1, st, 0);
    else
        voz_GetOneWordExactInit(&tw, &tc, keyIndex, keys, 1, st);
    if (!voz_Failed(st) && tc.nextHit != nullptr)
        tc.nextHit(&tc, keyIndex, nullptr, keys, -1, -1, st);
    if (tc.nextHit != nullptr && tc.priv != nullptr) {
        GTRSTATUS own{};
        tc.nextHit(&tc, keyIndex, nullptr, keys, VOZ_DOC_END, VOZ_RELEASE_POS,
                   &own);
    }
}
