// voz_cut_text.cpp -- blank stripping of raw text, first blank unit, one
// character's unit, and the letter tests at the edges of a line.
//
// Blank stripping works on raw text of the code page: in the ASCII-based
// pages control bytes (and, on request, spaces and the wide blank) are blank;
// in EBCDIC bytes below 0x40 and 0xFF are, and 0x40 only outside a
// double-byte (shift-out) stretch, whose blank is the pair 40 40.
#include <cstring>

#include "characters/voz_cut.hpp"

// ---- blank stripping -----------------------------------------------------------

static bool isWideAt(const uint8_t* p, const uint8_t* end,
                     const uint8_t* wide, int len) {
    return wide != nullptr && len > 1 && end - p >= len &&
           memcmp(p, wide, static_cast<size_t>(len)) == 0;
}

void vozStripBlank(const uint8_t* text, const uint8_t* end, uint8_t option,
                   const uint8_t** first, const uint8_t** last,
                   uint8_t blankLimit, const uint8_t* wideBlank,
                   int wideBlankLength) {
    *first = nullptr;
    *last = end;
    const uint8_t* p = text;
    if (option & VOZ_STRIP_LEADING_ALL) {
        while (p < end) {
            if (*p <= blankLimit) ++p;
            else if (isWideAt(p, end, wideBlank, wideBlankLength))
                p += wideBlankLength;
            else break;
        }
    } else {
        while (p < end && *p < blankLimit) ++p;
    }
    if (p >= end) {
        *last = nullptr;
        return;
    }
    *first = p;
    if (!(option & VOZ_STRIP_TRAILING)) return;
    const uint8_t* q = end;
    while (q > p) {
        if (q[-1] <= blankLimit) --q;
        else if (q - p >= wideBlankLength &&
                 isWideAt(q - wideBlankLength, end, wideBlank, wideBlankLength))
            q -= wideBlankLength;
        else break;
    }
    *last = q;
}

// Leading EBCDIC blanks; returns the first non-blank byte or end.
static const uint8_t* skipLeadingEbcdic(const uint8_t* text,
                                        const uint8_t* end, uint8_t option,
                                        uint8_t blank, const uint8_t* wide,
                                        uint8_t* state) {
    const uint8_t* p = text;
    if (!(option & VOZ_STRIP_LEADING_ALL)) {
        for (; p < end && (*p < 0x40 || *p == 0xFF); ++p) {
            if (*p == 0x0E && p > text) *state = 1;
        }
        return p;
    }
    while (p < end) {
        const uint8_t b = *p;
        if (b == 0x0E || b == 0x0F) {
            *state = b == 0x0E ? 1 : 0;
            ++p;
        } else if (b < 0x40 || b == 0xFF) {
            ++p;
        } else if (b == blank && *state == 0) {
            ++p;
        } else if (isWideAt(p, end, wide, 2)) {
            p += 2;
        } else {
            break;
        }
    }
    return p;
}

void vozStripBlankEbcdic(const uint8_t* text, const uint8_t* end,
                         uint8_t option, const uint8_t** first,
                         const uint8_t** last, uint8_t blankByte,
                         const uint8_t* wideBlank, uint8_t* shiftState) {
    uint8_t localState = 0;
    uint8_t* state = shiftState != nullptr ? shiftState : &localState;
    *first = nullptr;
    *last = end;
    const uint8_t* p = skipLeadingEbcdic(text, end, option, blankByte,
                                         wideBlank, state);
    if (p >= end) {
        *last = nullptr;
        return;
    }
    *first = p;
    if (!(option & VOZ_STRIP_TRAILING)) return;
    bool inDouble = false;  // walking backwards: 0x0F enters a stretch
    const uint8_t* q = end;
    while (q > p) {
        const uint8_t b = q[-1];
        if (b == 0x0E || b == 0x0F) {
            inDouble = b == 0x0F;
            --q;
        } else if (b < 0x40 || b == 0xFF) {
            --q;
        } else if (b == blankByte && !inDouble) {
            --q;
        } else if (q - p >= 2 && isWideAt(q - 2, end, wideBlank, 2)) {
            q -= 2;
        } else {
            break;
        }
    }
    *last = q;
}

void vozCHstripBlank(const uint8_t* text, const uint8_t* end, uint8_t code,
                     uint8_t option, const uint8_t** first,
                     const uint8_t** last, uint8_t* shiftState) {
    if (vozCPisEbcdic(code)) {
        vozStripBlankEbcdic(text, end, option, first, last, 0x40,
                            raw_dbl_blank[code], shiftState);
        return;
    }
    const int len = vozCPisValid(code) ? vozCPwideBlankLength(code) : 0;
    vozStripBlank(text, end, option, first, last, 0x20,
                  len > 1 ? raw_dbl_blank[code] : nullptr, len > 1 ? len : 1);
}

// ---- one character's unit ----------------------------------------------------------

// The unit of ch alone in the code page; false when it cannot be made.
static bool unitOfChar(VOZ_CPINFO cp, uint8_t ch, const GTRCREATEPARM* cparm,
                       uint8_t* unit, int32_t* len) {
    if (!vozCPisValid(cp.code) || ConvertInto2[cp.code] == nullptr)
        return false;
    uint8_t state = 0;
    *len = 6;
    const int32_t rc = ConvertInto2[cp.code](&ch, &ch + 1, nullptr, 0, unit,
                                             len, nullptr, cparm, &state);
    return rc == VOZ_CH_DONE && *len > 0;
}

// Compares unit with the unit u (len bytes) made from one character.
static bool sameUnit(VOZ_CPINFO cp, const uint8_t* unit, const uint8_t* u,
                     int32_t len) {
    if (vozCPisUTF8(cp.code) && len == 3 && u[0] == '!' && u[1] >= 0x21 &&
        u[1] <= 0x7E && u[2] == VOZ_MARK_PUNCT)
        len = 2;  // ASCII symbols match whatever their mark
    return memcmp(unit, u, static_cast<size_t>(len)) == 0;
}

int32_t vozCHcmp(VOZ_CPINFO cp, const uint8_t* unit, uint8_t ch,
                 const GTRCREATEPARM* cparm) {
    uint8_t u[6];
    int32_t len = 0;
    if (!unitOfChar(cp, ch, cparm, u, &len)) return 1;
    return sameUnit(cp, unit, u, len) ? 0 : 1;
}

void vozCHcpy(VOZ_CPINFO cp, uint8_t* dest, uint8_t ch,
              const GTRCREATEPARM* cparm) {
    uint8_t u[6];
    int32_t len = 0;
    if (unitOfChar(cp, ch, cparm, u, &len))
        memcpy(dest, u, static_cast<size_t>(len));
}

// ---- first blank --------------------------------------------------------------------

void vozCHpointFirstBlank(VOZ_CPINFO cp, const uint8_t* units,
                          int32_t* offset, int32_t end) {
    switch (cp.code) {
        case 3: vozPointFirstBlankKOKR(units, offset, end); return;
        case 13: vozPointFirstBlankEbcdicKOKR(units, offset, end); return;
        case 34: case 37: vozPointFirstBlankUTF8(units, offset, end); return;
        default: break;
    }
    const int32_t w = vozCHlen(cp);
    uint8_t blank[6];
    int32_t len = 0;
    int32_t o = *offset;
    // The blank character of the page: 0x20 is a control byte in EBCDIC,
    // whose unit would never be the blank unit.
    const uint8_t blankChar = vozCPisEbcdic(cp.code) ? 0x40 : ' ';
    if (!unitOfChar(cp, blankChar, nullptr, blank, &len)) {
        *offset = o < end ? end : o;
        return;
    }
    // A unit cut off by `end` is no blank and is never read whole.
    while (o < end && (end - o < len || !sameUnit(cp, units + o, blank, len)))
        o += w;
    *offset = o;
}

void vozPointFirstBlankKOKR(const uint8_t* units, int32_t* offset,
                            int32_t end) {
    int32_t o = *offset;
    for (; o < end; o += 2) {
        if (end - o < 2) continue;  // a cut-off unit is no blank
        const uint8_t* u = units + o;
        if (u[0] == 0x20 && u[1] == VOZ_MARK_BLANK) break;
        // A joined syllable stands for the blank it replaced. Its trail byte
        // tells it from the ASCII letters P..Z, whose units share the first
        // bytes 0x50..0x5A but carry a mark.
        if (u[0] >= 0x50 && u[0] <= 0x69 && u[1] >= 0x41 && u[1] <= 0xFE)
            break;
    }
    *offset = o;
}

void vozPointFirstBlankEbcdicKOKR(const uint8_t* units, int32_t* offset,
                                  int32_t end) {
    int32_t o = *offset;
    for (; o < end; o += 2) {
        if (end - o < 2) continue;  // a cut-off unit is no blank
        const uint8_t* u = units + o;
        if (u[0] == 0x20 && u[1] == VOZ_MARK_BLANK) break;
        const bool joinedLead = (u[0] >= 0x21 && u[0] <= 0x3F) ||
                                (u[0] >= 0x73 && u[0] <= 0x83) ||
                                (u[0] >= 0xDE && u[0] <= 0xFD);
        if (joinedLead && u[1] >= 0x40 && u[1] <= 0xFE) break;
    }
    *offset = o;
}

void vozPointFirstBlankUTF8(const uint8_t* units, int32_t* offset,
                            int32_t end) {
    int32_t o = *offset;
    for (; o < end; o += 3) {
        if (end - o < 3) continue;  // a cut-off unit is no blank
        const uint8_t* u = units + o;
        if ((u[1] == 0x20 && u[2] == VOZ_MARK_BLANK) ||
            (u[0] >= 0xFA && u[0] <= 0xFE))
            break;
    }
    *offset = o;
}

// ---- letters at the edges of a line ----------------------------------------------

static int32_t letterAnswer(char cls, const GTRCREATEPARM* cparm) {
    if (cls == VOZ_CLASS_LETTER) return 1;
    if (cls == VOZ_CLASS_DIGIT && cparm != nullptr && cparm->digitsAsLetters)
        return 1;
    return 0;
}

int32_t vozCHIsFirstSBCSLetter(uint8_t code, const uint8_t* text,
                               const uint8_t** next, const uint8_t* end,
                               VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                               const GTRCREATEPARM* cparm, uint8_t* state) {
    if (text == nullptr || text >= end) return 0;
    if (vozCPisUTF8(code)) {
        if (end - text >= 3 && text[0] == 0xEF && text[1] == 0xBD &&
            text[2] >= 0x9E)
            return 0;  // half-width forms never count
        return letterAnswer(vozCHpointNextChar(code, text, next, end, cont,
                                               ctlAsBlank, cparm, state),
                            cparm);
    }
    // One character of one byte only; Shift-JIS may look at the trail byte,
    // so that its full-width letters and digits count too.
    const int span = code == VOZ_CP_SJIS ? 2 : 1;
    const uint8_t* limit = end - text > span ? text + span : end;
    return letterAnswer(vozCHpointNextChar(code, text, next, limit, nullptr,
                                           ctlAsBlank, cparm, state),
                        cparm);
}

int32_t vozCHIsLastSBCSLetter(VOZ_CPINFO cp, uint8_t rawLast,
                              const uint8_t* lastUnit, int16_t width,
                              uint8_t ctlAsBlank, const GTRCREATEPARM* cparm,
                              uint8_t* state) {
    uint8_t localState = state != nullptr ? *state : 0;
    const uint8_t* next = nullptr;
    if (!vozCPisUTF8(cp.code)) {
        const char cls = vozCHpointNextChar(cp.code, &rawLast, &next,
                                            &rawLast + 1, nullptr, ctlAsBlank,
                                            cparm, &localState);
        return letterAnswer(cls, cparm) &&
                       vozCHcmp(cp, lastUnit, rawLast, cparm) == 0
                   ? 1
                   : 0;
    }
    if (width != VOZ_UNIT_WIDTH_UTF8) return 0;
    if (lastUnit[0] == 0xEF && (lastUnit[1] == 0xBC || lastUnit[1] == 0xBD))
        return 0;  // full-width forms
    uint8_t text[4];
    int32_t len = 0;
    if (vozCHunnormalize(cp, lastUnit, lastUnit + 3, 0, text, 4, &len,
                         &localState) != VOZ_CH_DONE ||
        len == 0)
        return 0;
    const char cls = vozCHpointNextChar(cp.code, text, &next, text + len,
                                        nullptr, ctlAsBlank, cparm,
                                        &localState);
    return letterAnswer(cls, cparm);
}
