// voz_exact.cpp -- exact lookup of a word over an n-gram index without
// alternate characters (see voz_exact.hpp).
//
// Every piece is one PCTLHEAD whose basePos is the piece's base, so the
// position store hands out aligned positions (text position + base) and a
// hit is a document and an aligned position on which every piece stands.
// The caller's target position is a text position; it is aligned with the
// first piece's base. The resume pair holds an aligned position.
#include "search/voz_exact.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_keyfile.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_answer.hpp"
#include "search/voz_gctl.hpp"
#include "search/voz_wordctl.hpp"

namespace {

constexpr uint8_t kNoPostings = 0x10;  // key record level of a key
                                       // without postings
constexpr uint16_t kMatchExact = 100;

// Errcodes of the two inits: the control, the piece array.
struct InitCodes {
    int32_t control;
    int32_t array;
};
constexpr InitCodes kExactCodes{800, 128};
constexpr InitCodes kSelectivityCodes{827, 127};

int32_t wordWidthOf(const RTRVWORDEXT* word, const IDXINFO* index) {
    return word->unit_width > 0 ? word->unit_width : index->info.unitWidth;
}

// Ends every control of the array; the first failure goes to `st` unless
// it already holds one.
void termPieces(PCTLHEAD* pctl, int32_t n, GTRSTATUS* st) {
    for (int32_t i = 0; pctl != nullptr && i < n; ++i) {
        GTRSTATUS mine{};
        voz_TermPctl(&pctl[i], &mine);
        if (mine.retcode != 0 && !voz_Failed(st))
            voz_setStatus2(st, mine.retcode, mine.errcode, mine.errfname1,
                           mine.errfname2, mine.system_errno);
    }
}

// Frees the control and sets the word to its end.
void endWord(_WCTLHEAD* w, GTRSTATUS* st) {
    VOZEXACTCTL* c = static_cast<VOZEXACTCTL*>(w->priv);
    if (c != nullptr) {
        termPieces(c->pctl, c->termCount, st);
        free(c->pctl);
        free(c);
    }
    w->priv = nullptr;
    voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
}

// The piece's `units` units as a key of the index, zero-padded.
void packPiece(const uint8_t* text, int32_t units, int32_t wordWidth,
               int32_t storedWidth, uint8_t* key) {
    memset(key, 0, VOZ_KEY_HEAD_BYTES);
    for (int32_t i = 0, at = 0; i < units && at + storedWidth <= VOZ_KEY_HEAD_BYTES;
         ++i, at += storedWidth)
        voz_PackUnit(text + static_cast<size_t>(i) * wordWidth, wordWidth,
                     storedWidth, key + at);
}

// Outcome of looking the pieces up.
enum class Found { All, Missing, Failed };

// Cuts the word into pieces and looks each one up; with `position` every
// piece is moved to its first document. *dropped counts pieces whose key
// has no postings.
Found lookPieces(RTRVWORDEXT* word, IDXINFO* index, VOZEXACTCTL* c,
                 bool position, int32_t* dropped, GTRSTATUS* st) {
    const int32_t n = index->info.fixedKeyUnits;
    const int32_t ww = wordWidthOf(word, index);
    const int32_t sw = index->info.unitWidth;
    const int32_t N = c->wordUnits;
    const size_t cmp = index->keyCmpLen < VOZ_KEY_HEAD_BYTES
                           ? index->keyCmpLen : VOZ_KEY_HEAD_BYTES;
    for (int32_t start = 0; start < N; start += n) {
        int32_t s = start + n > N ? N - n : start;
        if (s < 0) s = 0;
        int32_t units = N - s < n ? N - s : n;
        uint8_t key[VOZ_KEY_HEAD_BYTES];
        packPiece(word->wi.wordp + static_cast<size_t>(s) * ww, units, ww, sw,
                  key);
        KEY_REC rec;
        int32_t number = 0;
        int rc = voz_BinSearchKeyWhole(VOZ_BS_PATTERN, key, index, &rec,
                                       &number, st);
        if (rc < 0) return Found::Failed;
        if (rc != 0 || memcmp(rec.key, key, cmp) != 0) return Found::Missing;
        PCTLHEAD* p = &c->pctl[c->pieceCount];
        memset(p, 0, sizeof *p);
        voz_InitPctl(p, &rec, N - s, 'N', st);
        p->keyUnits = static_cast<int16_t>(n);
        c->termCount = ++c->pieceCount;
        if ((rec.level & kNoPostings) != 0) {
            ++*dropped;
            if (st != nullptr) st->retrieve_status |= 0x02;
        }
        if (position) {
            voz_PointVvgSkip(&index->fctl, p, 0, st);
            if (voz_Failed(st)) return Found::Failed;
        }
    }
    return Found::All;
}

void exactInit(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* index,
               char writeAll, GTRSTATUS* st, bool position,
               InitCodes codes) {
    w->priv = nullptr;
    VOZEXACTCTL* c = static_cast<VOZEXACTCTL*>(calloc(1, sizeof *c));
    if (c == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, codes.control, nullptr, ENOMEM);
        return endWord(w, st);
    }
    w->priv = c;
    const int32_t ww = wordWidthOf(word, index);
    const int32_t n = index->info.fixedKeyUnits > 0 ? index->info.fixedKeyUnits
                                                    : 1;
    c->wordUnits = word->wi.wordlen > 0 && ww > 0 ? word->wi.wordlen / ww : 0;
    c->writeAll = writeAll;
    c->pctl = static_cast<PCTLHEAD*>(
        calloc(static_cast<size_t>(c->wordUnits / n + 1), sizeof(PCTLHEAD)));
    if (c->pctl == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, codes.array, nullptr, ENOMEM);
        return endWord(w, st);
    }
    if (c->wordUnits < 1 || index->info.fixedKeyUnits < 1 ||
        index->info.unitWidth < 1)
        return endWord(w, st);  // nothing can match
    int32_t dropped = 0;
    Found f = lookPieces(word, index, c, position, &dropped, st);
    if (f != Found::All) return endWord(w, st);
    if (dropped == c->pieceCount) {
        // Every piece is a stop word: the slot is empty. An estimate keeps
        // the controls (their document counts are 0).
        w->emptyFlag = 1;
        if (position) return endWord(w, st);
    }
    memset(&w->cur, 0, sizeof w->cur);
    w->cur.docno = -1;
    w->endFlag = 'N';
    w->resumeDoc = -1;
    w->resumePos = c->pctl[0].basePos + 1;
    w->nextArg1 = index;
    w->nextHit = voz_GetOneWordExact;
}

// Moves every piece to a common document at or after *d; false when a
// piece ran out of documents (or failed).
bool alignDocs(VOZEXACTCTL* c, _FCTLHEAD* fs, int32_t* d, GTRSTATUS* st) {
    for (;;) {
        int32_t top = *d;
        for (int32_t i = 0; i < c->pieceCount; ++i) {
            PCTLHEAD* p = &c->pctl[i];
            if (p->curDoc < top) {
                voz_PointVvgSkip(fs, p, static_cast<uint32_t>(top), st);
                if (voz_Failed(st) || p->endOfDocs == 'Y') return false;
            }
            if (p->curDoc > top) top = p->curDoc;
        }
        bool agreed = true;
        for (int32_t i = 0; i < c->pieceCount; ++i)
            agreed = agreed && c->pctl[i].curDoc == top;
        *d = top;
        if (agreed) return true;
    }
}

// Moves every piece to a common aligned position at or after *p in the
// current document; false when a piece has no such position.
bool alignPositions(VOZEXACTCTL* c, _FCTLHEAD* fs, int32_t* p,
                    GTRSTATUS* st) {
    for (;;) {
        int32_t top = *p;
        for (int32_t i = 0; i < c->pieceCount; ++i) {
            PCTLHEAD* q = &c->pctl[i];
            if (q->endOfPos == 'Y') return false;
            if (q->curPos < top) {
                voz_PointPosSkip(fs, q, top, st);
                if (voz_Failed(st) || q->endOfPos == 'Y') return false;
            }
            if (q->curPos > top) top = q->curPos;
        }
        bool agreed = true;
        for (int32_t i = 0; i < c->pieceCount; ++i)
            agreed = agreed && c->pctl[i].curPos == top;
        *p = top;
        if (agreed) return true;
    }
}

}  // namespace

void voz_PackUnit(const uint8_t* unit, int32_t wordWidth, int32_t storedWidth,
                  uint8_t* out) {
    if (wordWidth == storedWidth || wordWidth < 3) {
        memcpy(out, unit, static_cast<size_t>(storedWidth < wordWidth
                                                   ? storedWidth : wordWidth));
        return;
    }
    out[0] = unit[0];
    out[1] = static_cast<uint8_t>((unit[1] & 63) + (unit[2] % 6) * 64);
}

void voz_GetOneWordExactInit(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* index,
                             ANSWERFORM*, char writeAll, GTRSTATUS* st) {
    exactInit(word, w, index, writeAll, st, true, kExactCodes);
}

void voz_GetOneWordExactInit2(RTRVWORDEXT* word, _WCTLHEAD* w,
                              IDXINFO* index, ANSWERFORM*, char writeAll,
                              GTRSTATUS* st) {
    exactInit(word, w, index, writeAll, st, false, kSelectivityCodes);
}

void voz_GetOneWordExact(_WCTLHEAD* w, IDXINFO* index1, IDXINFO*,
                         ANSWERFORM* answer, int32_t doc, int32_t pos,
                         GTRSTATUS* st) {
    VOZEXACTCTL* c = static_cast<VOZEXACTCTL*>(w->priv);
    IDXINFO* index = index1 != nullptr ? index1 : w->nextArg1;
    if (doc > VOZ_DOC_END - 1 || c == nullptr || index == nullptr ||
        c->pieceCount < 1)
        return endWord(w, st);
    const int32_t base0 = c->pctl[0].basePos;
    const int32_t first = base0 + 1;  // aligned form of text position 1
    int32_t d = doc;
    if (pos > VOZ_RELEASE_POS) pos = VOZ_RELEASE_POS;
    int32_t p = (pos > 1 ? pos : 1) + base0;
    if (doc < 0) {
        d = w->resumeDoc < 0 ? 0 : w->resumeDoc;
        p = w->resumePos;
    } else if (w->cur.docno >= 0 && doc < w->cur.docno) {
        return;  // the current hit already lies beyond the target
    }
    _FCTLHEAD* fs = &index->fctl;
    for (;;) {
        int32_t wanted = d;
        if (!alignDocs(c, fs, &d, st)) return endWord(w, st);
        if (d != wanted) p = first;
        if (!alignPositions(c, fs, &p, st)) {
            if (voz_Failed(st) || d >= VOZ_DOC_END - 1) return endWord(w, st);
            ++d;
            p = first;
            continue;
        }
        memset(&w->cur, 0, sizeof w->cur);
        w->cur.docno = d;
        w->cur.pos = p - base0;
        w->cur.len = static_cast<uint16_t>(c->wordUnits);
        w->cur.match = kMatchExact;
        w->resumeDoc = d;
        w->resumePos = p + 1;
        if (c->writeAll == 0 || answer == nullptr) return;
        voz_WriteOcc(&w->cur, 1, answer, st);
        if (voz_Failed(st)) return endWord(w, st);
        ++p;
    }
}

void voz_TermExpForSelectivity(RTRVWORDEXT*, _WCTLHEAD* w, IDXINFO*,
                               IDXINFO*, ANSWERFORM*, GTRSTATUS* st) {
    GTRSTATUS mine{};
    endWord(w, &mine);
    if (mine.retcode != 0 && !voz_Failed(st))
        voz_setStatus2(st, mine.retcode, mine.errcode, mine.errfname1,
                       mine.errfname2, mine.system_errno);
}
