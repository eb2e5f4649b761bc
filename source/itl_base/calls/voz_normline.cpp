// voz_normline.cpp -- line, word and document normalisation and the
// reverse conversion of the call layer.
//
// A document is walked line by line (the code page's newline ends a line).
// Lines that strip to nothing add nothing; the others are converted one
// after another into one unit string. Where two lines meet, a blank unit is
// put between them when either side is a single-byte letter (so that the
// words stay apart); double-byte text is joined directly, and a full stop
// that ends such a directly joined line gets mark 9, so that the indexer
// still sees the sentence end.
#include "calls/voz_normline.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "characters/voz_cut.hpp"

namespace {

constexpr uint8_t kLineStripMask = 0x7F;  // every mode bit but 0x80

// Converts [first, last) into out + *used (room up to cap), flat or with
// the creation parameters; the boundary map follows. False on failure,
// with *used raised by the bytes that were converted.
bool convertRun(VOZ_CPINFO cp, const uint8_t* first, const uint8_t* last,
                uint8_t mode, uint8_t* out, int32_t cap, int32_t* used,
                PTRDOCNORM* map, const GTRCREATEPARM* cparm, uint8_t* state) {
    int32_t len = cap - *used;
    const uint8_t ctl = mode & VOZ_NORM_CTL_AS_BLANK;
    int32_t rc;
    if (mode & VOZ_NORM_FLAT)
        rc = vozCHconvertFlat(cp, first, last, nullptr, ctl, out + *used,
                              &len, map, state);
    else
        rc = vozCHconvert(cp, first, last, nullptr, ctl, out + *used, &len,
                          map, cparm, state);
    if (len > 0) *used += len;
    return rc == VOZ_CH_DONE;
}

// Puts the joint between the units written so far (used bytes) and the
// line [first, last): a blank unit or nothing, then mark 9 on a full stop
// that now ends the units. prevLast is the last raw byte of the previous
// line.
void joinLines(VOZ_CPINFO cp, uint8_t mode, const uint8_t* first,
               const uint8_t* last, uint8_t prevLast, uint8_t* out,
               int32_t cap, int32_t* used, const GTRCREATEPARM* cparm,
               uint8_t state) {
    const int16_t width = vozCHlen(cp);
    const uint8_t ctl = mode & VOZ_NORM_CTL_AS_BLANK;
    uint8_t firstState = state;
    uint8_t lastState = state;
    const uint8_t* next = nullptr;
    uint8_t* lastUnit = out + *used - width;
    if (vozCHIsFirstSBCSLetter(cp.code, first, &next, last, nullptr, ctl,
                               cparm, &firstState) ||
        vozCHIsLastSBCSLetter(cp, prevLast, lastUnit, width, ctl, cparm,
                              &lastState)) {
        // Each joint replaces at least one newline byte, so the blank fits
        // the buffer's size of text length times unit width.
        if (cap - *used < width) return;
        vozCHcpy(cp, out + *used, cp.blank, cparm);
        *used += width;
        return;
    }
    if (vozCHcmp(cp, lastUnit, cp.sentenceEnd[2], cparm) == 0)
        vozCHmarkUnit_Set('L', lastUnit, VOZ_MARK_LINE_STOP, width);
}

// Every boundary entry not served yet points at `end`.
void settleBounds(PTRDOCNORM* map, uint8_t* end) {
    if (map == nullptr) return;
    for (VOZ_DOCNORMLIST& l : map->list) {
        for (; l.cursor < l.count; ++l.cursor) l.outAddr[l.cursor] = end;
    }
}

}  // namespace

void vozNormalizeLine(VOZ_CPINFO cp, const uint8_t* text, int32_t length,
                      uint8_t* out, int32_t outSize, int32_t* outLen,
                      uint8_t mode, const GTRCREATEPARM* cparm,
                      GTRSTATUS* st) {
    *outLen = 0;
    const uint8_t* first = nullptr;
    const uint8_t* last = nullptr;
    uint8_t state = 0;
    if (text != nullptr && length > 0)
        vozCHstripBlank(text, text + length, cp.code,
                        mode & (VOZ_NORM_STRIP_LEADING |
                                VOZ_NORM_STRIP_TRAILING),
                        &first, &last, &state);
    if (first == nullptr || last <= first) {
        if (outSize > 0) out[0] = 0;
        return;
    }
    int32_t used = 0;
    if (!convertRun(cp, first, last, mode, out, outSize > 0 ? outSize : 0,
                    &used, nullptr, cparm, &state)) {
        *outLen = used;
        voz_setStatus(st, VOZ_RC_CHARNORM, VOZ_EC_NORM_CONVERT);
        return;
    }
    *outLen = used;
}

void vozNormalizeWord(uint8_t code, const uint8_t* word, int32_t length,
                      uint8_t* out, int32_t outSize, int32_t* outLen,
                      int32_t mode, const GTRCREATEPARM* cparm,
                      GTRSTATUS* st) {
    voz_ClearStatus(st);
    VOZ_CPINFO cp{};
    cp.callerCodePage = code;
    cp.code = code;
    vozCHsetCPInfo(&cp);
    vozNormalizeLine(cp, word, length, out, outSize, outLen,
                     mode == 1 ? VOZ_NORM_TEXT : VOZ_NORM_ITEM, cparm, st);
}

void vozNormalizeDoc(const uint8_t* text, int32_t length, VOZ_CPINFO cp,
                     uint8_t mode, uint8_t** units, int32_t* unitLen,
                     PTRDOCNORM* bounds, const GTRCREATEPARM* cparm,
                     GTRSTATUS* st) {
    *unitLen = 0;
    if (text == nullptr || length < 0) length = 0;
    const int64_t want = (int64_t)length * vozCHlen(cp) + 16;
    const int32_t cap = want <= INT32_MAX ? (int32_t)want : 0;
    uint8_t* buf = cap > 0 ? static_cast<uint8_t*>(realloc(*units, (size_t)cap))
                           : nullptr;
    if (buf == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_NORMDOC_MEMORY);
        return;
    }
    *units = buf;
    const uint8_t* p = text;
    const uint8_t* const end = text + length;
    uint8_t state = 0;
    const uint8_t* first = nullptr;
    const uint8_t* last = nullptr;
    if (length > 0 && (mode & VOZ_NORM_STRIP_LEADING)) {
        vozCHstripBlank(p, end, cp.code, VOZ_NORM_STRIP_LEADING, &first,
                        &last, &state);
        p = first != nullptr ? first : end;
    }
    int32_t used = 0;
    uint8_t prevLast = 0;
    while (p < end) {
        const void* nl = memchr(p, cp.newline, (size_t)(end - p));
        const uint8_t* lineEnd = nl != nullptr ? (const uint8_t*)nl : end;
        vozCHstripBlank(p, lineEnd, cp.code, mode & kLineStripMask, &first,
                        &last, &state);
        if (first != nullptr && last > first) {
            if (used > 0)
                joinLines(cp, mode, first, last, prevLast, buf, cap, &used,
                          cparm, state);
            if (!convertRun(cp, first, last, mode, buf, cap, &used, bounds,
                            cparm, &state)) {
                *unitLen = used;
                voz_setStatus(st, VOZ_RC_CHARNORM, VOZ_EC_NORM_CONVERT);
                return;
            }
            prevLast = last[-1];
        }
        p = lineEnd < end ? lineEnd + 1 : end;
        if (p < end && (mode & VOZ_NORM_STRIP_LEADING)) {
            vozCHstripBlank(p, end, cp.code, VOZ_NORM_STRIP_LEADING, &first,
                            &last, &state);
            p = first != nullptr ? first : end;
        }
    }
    *unitLen = used;
    settleBounds(bounds, buf + used);
}

bool vozUnnormalizeUnits(VOZ_CPINFO cp, const uint8_t* units, int32_t length,
                         uint8_t* out, int32_t outSize, int32_t* outLen,
                         uint8_t flag, int32_t errcode, GTRSTATUS* st) {
    *outLen = 0;
    if (length <= 0) return true;
    if (units == nullptr || out == nullptr) {
        voz_setStatus(st, VOZ_RC_CHARNORM, errcode);
        return false;
    }
    uint8_t state = 0;
    int32_t written = 0;
    const int32_t cap = outSize > 0 ? outSize : 0;
    const int32_t rc = vozCHunnormalize(cp, units, units + length, flag, out,
                                        cap, &written, &state);
    *outLen = written > 0 ? written : 0;
    if (rc != VOZ_CH_DONE) {
        voz_setStatus(st, VOZ_RC_CHARNORM, errcode);
        return false;
    }
    if (state != 0) {
        // The text ends inside a double-byte run: close it, if it fits.
        if (*outLen >= cap) {
            voz_setStatus(st, VOZ_RC_CHARNORM, errcode);
            return false;
        }
        out[(*outLen)++] = VOZ_SHIFT_IN;
    }
    return true;
}

void vozUnnormalizeLine(VOZ_CPINFO cp, const uint8_t* units, int32_t length,
                        uint8_t* out, int32_t outSize, int32_t* outLen,
                        uint8_t mode, GTRSTATUS* st) {
    vozUnnormalizeUnits(cp, units, length, out, outSize, outLen,
                        mode & VOZ_NORM_FLAT, VOZ_EC_UNNORM_CONVERT, st);
}
