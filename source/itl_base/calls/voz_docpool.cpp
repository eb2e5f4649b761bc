// voz_docpool.cpp -- the walk of vozPoolDocUnits (see voz_docpool.hpp):
// parts by the word rule, n-grams, words and stop words, sentence ends,
// word starts, delimiters and field events, positions counted per unit.
#include "calls/voz_docpool.hpp"

#include <cstring>

#include "build/voz_creatwrk.hpp"
#include "build/voz_pattpool.hpp"
#include "calls/voz_normline.hpp"
#include "characters/voz_cut.hpp"

namespace {

constexpr int16_t kWordStartDelim = 39;
constexpr uint8_t kSentenceEnd = 0;  // pattern kind of a sentence end

// The walk's state over one document call.
struct Walk {
    const VOZ_DOCUNITS* d;
    const VOZ_DOCSINK* sink;
    GTRSTATUS* st;
    int16_t width;
    int n;                       // n-gram length in units
    uint8_t fullStop[VOZ_UNIT_MAX];
    uint8_t mustFollow[VOZ_UNIT_MAX];
    uint8_t endA[VOZ_UNIT_MAX];  // the two further sentence-end units
    uint8_t endB[VOZ_UNIT_MAX];
    int32_t pos;                 // position of the next unit
    int32_t nextDelim = 0;
    int32_t nextField = 0;
    VOZ_SENTENCEEND_FN sentenceEnd;  // the code page's entries, taken once
    VOZ_WORDSTART_FN wordStart;
};

// Units are compared byte by byte: they are 2 or 3 bytes, and each unit of
// a text is compared with three others.
bool sameUnit(const Walk& w, const uint8_t* a, const uint8_t* b) {
    for (int16_t i = 0; i < w.width; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

int poolSentenceEnds(Walk& w, uint8_t* ps, uint8_t* pe, bool moreText) {
    const uint8_t disable = w.d->cparm->codeInfo[2];
    const int16_t width = w.width;
    int32_t i = 0;
    for (uint8_t* u = ps; u < pe; u += width, ++i) {
        // A full stop that ended a joined line ends a sentence whatever
        // follows it; it is pooled as a plain full stop.
        const bool lineStop =
            vozCHmarkUnit_Chk('L', u, VOZ_MARK_LINE_STOP, width) != 0;
        if (lineStop) memcpy(u, w.fullStop, static_cast<size_t>(width));
        if (disable & 2) continue;
        bool ends = lineStop || sameUnit(w, u, w.endA) ||
                    sameUnit(w, u, w.endB) ||
                    (w.sentenceEnd != nullptr && w.sentenceEnd(u) != 0);
        if (!ends && sameUnit(w, u, w.fullStop)) {
            uint8_t* after = u + width;
            ends = after < pe ? sameUnit(w, after, w.mustFollow)
                              : moreText;
        }
        if (!ends) continue;
        if (w.sink->pattern(w.sink->ctx, static_cast<char>(kSentenceEnd),
                            nullptr, w.d->docno, w.pos + i + 1, 0, w.st) != 0)
            return -1;
    }
    return 0;
}

// One n-gram of `have` units from `from`, zero-filled to n units.
int poolGram(Walk& w, const uint8_t* from, int32_t have) {
    uint8_t gram[3 * VOZ_UNIT_MAX] = {};
    for (int32_t i = 0; i < have * w.width; ++i) gram[i] = from[i];
    return w.sink->pattern(w.sink->ctx, ')', gram, w.d->docno, w.pos, 0,
                           w.st);
}

int poolGramPart(Walk& w, uint8_t* ps, uint8_t* pe, bool moreText) {
    if (!w.d->itemValue && poolSentenceEnds(w, ps, pe, moreText) != 0)
        return -1;
    const int32_t units = static_cast<int32_t>((pe - ps) / w.width);
    if (ps != w.d->units) {
        for (int32_t k = 1; k < w.n && units > k; ++k)
            if (poolGram(w, ps, k) != 0) return -1;
    }
    for (int32_t i = 0; i < units; ++i, ++w.pos) {
        const int32_t have = units - i < w.n ? units - i : w.n;
        if (poolGram(w, ps + i * w.width, have) != 0) return -1;
    }
    return 0;
}

int poolWordPart(Walk& w, uint8_t* ps, uint8_t* pe) {
    const int32_t units = static_cast<int32_t>((pe - ps) / w.width);
    const bool fold = (w.d->cparm->codeInfo[2] & 1) != 0;
    if (fold) vozCHcaseInsensAlpha(ps, static_cast<int32_t>(pe - ps), w.width);
    char kind = ')';
    if (w.sink->stopWord != nullptr) {
        const int32_t r = w.sink->stopWord(w.sink->ctx, ps, units, fold, w.st);
        if (r == -1) return -1;
        if (r == VOZ_STOP_SEEN) kind = 0;
        else if (r != VOZ_STOP_NONE) kind = '+';
    }
    if (kind != 0 && w.sink->pattern(w.sink->ctx, kind, ps, w.d->docno,
                                     w.pos, units, w.st) != 0)
        return -1;
    w.pos += units;
    return 0;
}

// Position of a pointer into the units, within a part that began at
// position `partPos` at `ps`: its unit's position, clamped to the part
// (before it: its first position; after it: the position after it).
int32_t positionOf(const Walk& w, const uint8_t* at, const uint8_t* ps,
                   int32_t partPos) {
    if (at <= ps) return partPos;
    const int32_t off = static_cast<int32_t>((at - ps) / w.width);
    return partPos + off < w.pos ? partPos + off : w.pos;
}

// A 'B'-marked word start: the mark unit followed by the unit at `u`, a
// fixed key like the n-grams (length 0), where the start-unit lookups
// search it; with a length it would become a variable key of the token
// part, which no lookup reads as a word start.
int poolWordStart(Walk& w, const uint8_t* u, int32_t position) {
    uint8_t key[2 * VOZ_UNIT_MAX] = {};
    vozCHmarkUnit_Set('B', key, w.d->cparm->options[2], w.width);
    memcpy(key + w.width, u, static_cast<size_t>(w.width));
    return w.sink->pattern(w.sink->ctx, ')', key, w.d->docno, position, 0,
                           w.st);
}

// Word starts, delimiters and field events of the part [ps, pe) that began
// at `partPos`; the events taken are those before `limit` (all when null).
int afterPart(Walk& w, uint8_t* ps, uint8_t* pe, bool gramPart,
              int32_t partPos, const uint8_t* limit) {
    const VOZ_DOCUNITS* d = w.d;
    if (gramPart && !d->callerWordStarts && !d->itemValue &&
        w.wordStart != nullptr && vozCHwordBoundaryEnable(d->cp.code)) {
        int32_t i = 0;
        for (const uint8_t* u = ps; u < pe; u += w.width, ++i)
            if (w.wordStart(ps, u) == VOZ_WORD_START &&
                poolWordStart(w, u, partPos + i) != 0)
                return -1;
    }
    for (; w.nextDelim < d->delimCount; ++w.nextDelim) {
        const uint8_t* at = d->delimAt[w.nextDelim];
        if (limit != nullptr && at >= limit) break;
        const int32_t p = positionOf(w, at, ps, partPos);
        const int16_t no = d->delimNo[w.nextDelim];
        if (no == kWordStartDelim) {
            if (at + w.width <= d->units + d->length &&
                poolWordStart(w, at, p) != 0)
                return -1;
        } else if (w.sink->pattern(w.sink->ctx, static_cast<char>(no),
                                   nullptr, d->docno, p, 0, w.st) != 0) {
            return -1;
        }
    }
    for (; w.nextField < d->fieldCount; ++w.nextField) {
        const VOZ_DOCFIELD& f = d->fields[w.nextField];
        if (limit != nullptr && f.at >= limit) break;
        if (w.sink->field(w.sink->ctx, f.number, d->docno,
                          positionOf(w, f.at, ps, partPos), w.st) != 0)
            return -1;
    }
    return 0;
}

void setUpUnits(Walk& w) {
    const VOZ_DOCUNITS* d = w.d;
    memset(w.fullStop, 0, sizeof w.fullStop);
    memset(w.mustFollow, 0, sizeof w.mustFollow);
    memset(w.endA, 0, sizeof w.endA);
    memset(w.endB, 0, sizeof w.endB);
    vozCHcpy(d->cp, w.fullStop, d->cp.sentenceEnd[2], d->cparm);
    vozCHcpy(d->cp, w.mustFollow, d->cp.blank, d->cparm);
    vozCHcpy(d->cp, w.endA, d->cp.sentenceEnd[0], d->cparm);
    vozCHcpy(d->cp, w.endB, d->cp.sentenceEnd[1], d->cparm);
    w.sentenceEnd = vozCHsentenceEndFunction(d->cp);
    w.wordStart = vozCHwordStartFunction(d->cp);
}

}  // namespace

int vozPoolDocUnits(const VOZ_DOCUNITS* d, const VOZ_DOCSINK* sink,
                    int32_t* lastPos, GTRSTATUS* st) {
    Walk w{};
    w.d = d;
    w.sink = sink;
    w.st = st;
    w.width = vozCHlen(d->cp);
    w.n = d->cparm->fixedKeyUnits;
    w.pos = d->startpos + 1;
    setUpUnits(w);
    const VOZ_CUT_FN cut = d->itemValue
                               ? vozCHcutIntoPartAsis
                               : Func_CutIntoPart[d->cparm->codeInfo[3] & 1];
    uint8_t* p = d->units;
    uint8_t* const end = d->units + d->length;
    while (end - p >= w.width) {
        uint8_t* ps = p;
        uint8_t* pe = p;
        uint8_t* next = end;
        const bool word = cut(p, end, w.width, &ps, &pe, &next) != 0;
        if (next <= p) next = end;  // never loop on a cut that stands still
        const int32_t partPos = w.pos;
        if (pe > ps) {
            const int rc = word ? poolWordPart(w, ps, pe)
                                : poolGramPart(w, ps, pe, next < end);
            if (rc != 0) return -1;
        }
        const uint8_t* limit = next < end ? next : nullptr;  // null: all
        if (afterPart(w, ps, pe, !word, partPos, limit) != 0) return -1;
        p = next;
    }
    for (; w.nextField < d->fieldCount; ++w.nextField) {
        if (sink->field(sink->ctx, d->fields[w.nextField].number, d->docno,
                        w.pos, st) != 0)
            return -1;
    }
    *lastPos = w.pos - 1;
    return 0;
}

// ---- the sink of a creation work block ------------------------------------

namespace {

int blockPattern(void* ctx, char kind, const uint8_t* pattern, int32_t docno,
                 int32_t position, int32_t length, GTRSTATUS* st) {
    return VOZ_pattPool(static_cast<CREATWRK*>(ctx), kind, pattern, docno,
                        position, length, st);
}

int blockField(void* ctx, uint16_t field, int32_t docno, int32_t position,
               GTRSTATUS* st) {
    return VOZ_pattPool_FldNumber(static_cast<CREATWRK*>(ctx), field, docno,
                                  position, st);
}

}  // namespace

VOZ_DOCSINK vozDocSinkOf(CREATWRK* cwp) {
    return VOZ_DOCSINK{cwp, blockPattern, blockField, nullptr};
}
