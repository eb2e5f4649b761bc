// voz_norm_utf8.cpp -- UTF-8 text into three-byte units and back.
//
// vozUTF8unit turns one source character into its unit; the converters
// (codes 34 and 37, with and without word joining) walk the text with it,
// the next-character routine classifies by it, and vozUnnormalizeUTF8 turns
// units back into text. Unit layout: voz_norm_utf8.hpp.
//
// Invariants of the unit format that the unnormaliser relies on:
//   - a unit that carries a mark has a third byte below 0x80 or 0xFF;
//     a kept three-byte or four-byte character has a third byte 0x80..0xBF;
//   - first bytes 0x2C..0x3F, 0x60..0x7F and 0x80..0xBF name the rows that
//     were moved (EF, E0 and E1 rows); FA..FE are joined characters.
#include "characters/voz_norm_utf8.hpp"

#include <cstring>

#include "characters/voz_norm_ascii.hpp"

namespace {

inline bool isCont(uint8_t b) { return (b & 0xC0) == 0x80; }

inline void set3(uint8_t* u, uint8_t a, uint8_t b, uint8_t c) {
    u[0] = a;
    u[1] = b;
    u[2] = c;
}

bool isSpecialLetter(uint8_t c, const GTRCREATEPARM* cparm) {
    if (!cparm) return false;
    int n = cparm->specialLength;
    if (n > VOZ_SPECIAL_LETTERS_MAX) n = VOZ_SPECIAL_LETTERS_MAX;
    return memchr(cparm->specialLetters, c, n) != nullptr;
}

void asciiUnit(uint8_t c, uint8_t ctlAsBlank, const GTRCREATEPARM* cparm,
               uint8_t* u) {
    if (c == 0x20 || (c < 0x20 && ctlAsBlank)) {
        set3(u, 0x20, 0x20, VOZ_MARK_BLANK);
    } else if (c < 0x20) {
        set3(u, c, 0x21, VOZ_MARK_OTHER);
    } else {
        uint8_t folded = tblSBCS_2080_char[c - 0x20];
        set3(u, '!', folded ? folded : c, tblSBCS_2080_mark[c - 0x20]);
        if (isSpecialLetter(c, cparm)) u[2] = VOZ_MARK_UPPER;
    }
}

void invalidUnit(VOZ_UTF8CHAR* ch) {
    set3(ch->unit, 0xFF, 0xFF, 0xFF);
    ch->srcLen = 1;
    ch->seqLen = 0;
}

// Code point of a well-formed three-byte sequence.
inline uint32_t cp3(const uint8_t* p) {
    return (uint32_t)(p[0] & 0x0F) << 12 | (uint32_t)(p[1] & 0x3F) << 6 |
           (p[2] & 0x3F);
}

void encode3(uint32_t c, uint8_t* u) {
    set3(u, (uint8_t)(0xE0 | c >> 12), (uint8_t)(0x80 | ((c >> 6) & 0x3F)),
         (uint8_t)(0x80 | (c & 0x3F)));
}

// Half-width katakana U+FF66..U+FF9D followed by a voiced (U+FF9E) or
// semi-voiced (U+FF9F) mark: the code point to add to the full-width kana,
// 0 when they do not combine. The kana rows that combine: U+FF73 (u) and
// U+FF76..U+FF84 (k-, s-, t-rows) with the voiced mark, U+FF8A..U+FF8E
// (h-row) with either.
int kanaVoicing(uint32_t kana, uint32_t mark) {
    bool hRow = kana >= 0xFF8A && kana <= 0xFF8E;
    if (mark == 0xFF9E && (hRow || (kana >= 0xFF76 && kana <= 0xFF84)))
        return 1;
    if (mark == 0xFF9E && kana == 0xFF73) return 0x30F4 - 0x30A6;
    if (mark == 0xFF9F && hRow) return 2;
    return 0;
}

// The voiced mark after a half-width kana: from the text, or, when the kana
// ends the text, from the continuation text (which then advances).
void combineKana(const uint8_t* p, const uint8_t* end, VOZ_CONTTEXT* cont,
                 VOZ_UTF8CHAR* ch) {
    uint32_t kana = cp3(p);
    const uint8_t* m = p + 3;
    bool fromCont = false;
    if (m == end && cont && cont->text) {
        m = cont->text;
        end = cont->end;
        fromCont = true;
    }
    if (end - m < 3 || m[0] != 0xEF || m[1] != 0xBE ||
        (m[2] != 0x9E && m[2] != 0x9F))
        return;
    int add = kanaVoicing(kana, cp3(m));
    if (!add) return;
    encode3(cp3(ch->unit) + add, ch->unit);
    if (fromCont) cont->text += 3;
    else ch->srcLen = 6;
}

// Three-byte characters (lead E0..EF, two continuation bytes present).
void threeByteUnit(const uint8_t* p, const GTRCREATEPARM* cparm,
                   VOZ_UTF8CHAR* ch) {
    uint8_t* u = ch->unit;
    uint8_t s = p[1], t = p[2];
    set3(u, p[0], s, t);
    if (p[0] == 0xE0) {
        if (s >= 0xBC) {
            static const uint8_t (*const rows[4])[3] = {
                tblUTF8_E0BC80_E0BCBF, tblUTF8_E0BD80_E0BDBF,
                tblUTF8_E0BE80_E0BEBF, tblUTF8_E0BF80_E0BFBF};
            memcpy(u, rows[s - 0xBC][t - 0x80], 3);
        } else if (s == 0xA5 && (t == 0xA4 || t == 0xA5)) {
            set3(u, '!', '.', VOZ_MARK_PUNCT);       // danda marks
        } else {
            set3(u, (uint8_t)(s - 0x40), t, VOZ_MARK_NOCASE);
        }
    } else if (p[0] == 0xE1) {
        if (s >= 0xA0 && s <= 0xA2) {
            static const uint8_t (*const rows[3])[3] = {
                tblUTF8_E1A080_E1A0BF, tblUTF8_E1A180_E1A1BF,
                tblUTF8_E1A280_E1A2BF};
            memcpy(u, rows[s - 0xA0][t - 0x80], 3);
        } else if (s <= 0x87) {
            const VOZ_UTF8ROW* r = &tblUTF8_3BYTES_FROM_E18080[s - 0x80];
            r->handler(r, t, u);
        } else if (s >= 0xB8) {
            const VOZ_UTF8ROW* r = &tblUTF8_3BYTES_FROM_E1B880[s - 0xB8];
            r->handler(r, t, u);
        } else {
            set3(u, s, t, VOZ_MARK_NOCASE);
        }
    } else if (p[0] == 0xEF) {
        if (s >= 0xAC && s <= 0xB7) {
            set3(u, (uint8_t)(s + 0x80), t, VOZ_MARK_NOCASE);
        } else if (s >= 0xB8) {
            const VOZ_UTF8ROW* r = &tblUTF8_3BYTES_FROM_EFB880[s - 0xB8];
            r->handler(r, t, u);
            if (u[0] == '!' && isSpecialLetter(u[1], cparm))
                u[2] = VOZ_MARK_UPPER;
        }
    } else if (p[0] == 0xE3 && s == 0x80 && t == 0x80) {
        set3(u, 0x20, 0x20, VOZ_MARK_BLANK);          // ideographic space
    } else {
        uint32_t c = cp3(p);
        ch->joinable = c >= 0xA48D && c <= 0xE7FF && !(c >= 0xA490 && c <= 0xA4C6);
    }
}

// Lead F0..F4: the whole sequence when it is well-formed.
void fourByteUnit(const uint8_t* p, const uint8_t* end, VOZ_UTF8CHAR* ch) {
    if (end - p < 4 || !isCont(p[1]) || !isCont(p[2]) || !isCont(p[3]) ||
        (p[0] == 0xF0 && p[1] < 0x90) || (p[0] == 0xF4 && p[1] > 0x8F)) {
        invalidUnit(ch);
        return;
    }
    ch->srcLen = ch->seqLen = 4;
    if (p[0] == 0xF0 && p[1] >= 0xA0 && p[1] <= 0xAF)
        set3(ch->unit, p[1], p[2], p[3]);           // supplementary ideographs
    else
        set3(ch->unit, 0xFF, 0xFF, 0xFF);
}

}  // namespace

void vozUTF8unit(const uint8_t* p, const uint8_t* end, VOZ_CONTTEXT* cont,
                 uint8_t ctlAsBlank, const GTRCREATEPARM* cparm,
                 VOZ_UTF8CHAR* ch) {
    ch->joinable = false;
    uint8_t b = p[0];
    if (b < 0x80) {
        asciiUnit(b, ctlAsBlank, cparm, ch->unit);
        ch->srcLen = ch->seqLen = 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        if (end - p < 2 || !isCont(p[1])) return invalidUnit(ch);
        set3(ch->unit, b, p[1], 0);
        const VOZ_UTF8ROW* r = &tblUTF8_2BYTES[b - 0xC2];
        r->handler(r, p[1], ch->unit);
        ch->srcLen = ch->seqLen = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        // Overlong forms (E0 80..9F) would give units that name no character.
        if (end - p < 3 || !isCont(p[1]) || !isCont(p[2]) ||
            (b == 0xE0 && p[1] < 0xA0))
            return invalidUnit(ch);
        ch->srcLen = ch->seqLen = 3;
        threeByteUnit(p, cparm, ch);
        if (b == 0xEF && ((p[1] == 0xBD && p[2] >= 0xA6) ||
                          (p[1] == 0xBE && p[2] <= 0x9D)))
            combineKana(p, end, cont, ch);
    } else if (b >= 0xF0 && b <= 0xF4) {
        fourByteUnit(p, end, ch);
    } else {
        invalidUnit(ch);          // continuation byte, C0, C1, F5..FF
    }
}

namespace {

inline bool isBlankUnit(const uint8_t* u) {
    return u[0] == 0x20 && u[1] == 0x20 && u[2] == VOZ_MARK_BLANK;
}

// The units of the 128 ASCII characters, as asciiUnit gives them without
// special letters: one table with control characters as blanks, one without.
struct AsciiUnits {
    uint8_t unit[128][3];
    explicit AsciiUnits(uint8_t ctlAsBlank) {
        for (int c = 0; c < 128; ++c)
            asciiUnit(static_cast<uint8_t>(c), ctlAsBlank, nullptr, unit[c]);
    }
};

// The table for this conversion, or null when the creation parameters name
// special letters (their units differ, so each goes through asciiUnit).
const AsciiUnits* plainAscii(uint8_t ctlAsBlank, const GTRCREATEPARM* cparm) {
    static const AsciiUnits asBlank(1), asIs(0);
    if (cparm != nullptr && cparm->specialLength > 0) return nullptr;
    return ctlAsBlank ? &asBlank : &asIs;
}

// The converter frame. With `join`, a character of the joining range that
// follows another one across blank units only is written over those blanks,
// its first byte raised by 0x10. ASCII characters (most of any Latin text)
// take their unit from a table; the position map is served only when the
// source reaches its next entry, which is the same as serving it at every
// character.
int32_t convertUTF8(const uint8_t* src, const uint8_t* srcEnd,
                    VOZ_CONTTEXT* cont, uint8_t ctlAsBlank, uint8_t* out,
                    int32_t* outLen, PTRDOCNORM* map,
                    const GTRCREATEPARM* cparm, bool join) {
    uint8_t* o = out;
    uint8_t* const oEnd = out + (*outLen > 0 ? *outLen : 0);
    uint8_t* joinMem = nullptr;   // output just after the last joinable unit
    const AsciiUnits* ascii = plainAscii(ctlAsBlank, cparm);
    const uint8_t* serveAt = vozDocNormNext(map);
    for (const uint8_t* p = src; p < srcEnd;) {
        if (oEnd - o < VOZ_UNIT_WIDTH_UTF8) {
            *outLen = (int32_t)(o - out);
            return VOZ_CH_FULL;
        }
        if (serveAt != nullptr && p >= serveAt) {
            vozDocNormServe(map, p, o);
            serveAt = vozDocNormNext(map);
        }
        if (ascii != nullptr && *p < 0x80) {   // never joinable
            const uint8_t* u = ascii->unit[*p++];
            if (!isBlankUnit(u)) joinMem = nullptr;
            memcpy(o, u, 3);
            o += 3;
            continue;
        }
        VOZ_UTF8CHAR ch;
        vozUTF8unit(p, srcEnd, cont, ctlAsBlank, cparm, &ch);
        p += ch.srcLen;
        if (join && ch.joinable) {
            if (joinMem && o > joinMem) {
                vozDocNormPullBack(map, joinMem);
                o = joinMem;
                ch.unit[0] = (uint8_t)(ch.unit[0] + 0x10);
            }
            memcpy(o, ch.unit, 3);
            o += 3;
            joinMem = o;
            continue;
        }
        if (!isBlankUnit(ch.unit)) joinMem = nullptr;
        memcpy(o, ch.unit, 3);
        o += 3;
    }
    *outLen = (int32_t)(o - out);
    return VOZ_CH_DONE;
}

}  // namespace

int32_t vozConvertUTF8(const uint8_t* src, const uint8_t* srcEnd,
                       VOZ_CONTTEXT* cont, uint8_t ctlAsBlank, uint8_t* out,
                       int32_t* outLen, PTRDOCNORM* map,
                       const GTRCREATEPARM* cparm, uint8_t*) {
    return convertUTF8(src, srcEnd, cont, ctlAsBlank, out, outLen, map, cparm,
                       true);
}

int32_t vozConvertFlatUTF8(const uint8_t* src, const uint8_t* srcEnd,
                           VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                           uint8_t* out, int32_t* outLen, PTRDOCNORM* map,
                           const GTRCREATEPARM* cparm, uint8_t*) {
    return convertUTF8(src, srcEnd, cont, ctlAsBlank, out, outLen, map, cparm,
                       false);
}

int32_t vozConvertUTF8TURKEY(const uint8_t* src, const uint8_t* srcEnd,
                             VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                             uint8_t* out, int32_t* outLen, PTRDOCNORM* map,
                             const GTRCREATEPARM* cparm, uint8_t*) {
    int32_t rc = convertUTF8(src, srcEnd, cont, ctlAsBlank, out, outLen, map,
                             cparm, true);
    vozConvertTurkey(out, outLen, 1);
    return rc;
}

int32_t vozConvertFlatUTF8TURKEY(const uint8_t* src, const uint8_t* srcEnd,
                                 VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                                 uint8_t* out, int32_t* outLen,
                                 PTRDOCNORM* map, const GTRCREATEPARM* cparm,
                                 uint8_t*) {
    int32_t rc = convertUTF8(src, srcEnd, cont, ctlAsBlank, out, outLen, map,
                             cparm, false);
    vozConvertTurkey(out, outLen, 1);
    return rc;
}

uint8_t vozGetSBCScharUTF8(const uint8_t* unit) { return unit[1]; }

int32_t vozSentenceEndUTF8(const uint8_t* unit) {
    return unit[0] == 0xE3 && unit[1] == 0x80 && unit[2] == 0x82;
}

char vozPointNextCharUTF8(const uint8_t* text, const uint8_t** next,
                          const uint8_t* end, VOZ_CONTTEXT* cont,
                          uint8_t ctlAsBlank, const GTRCREATEPARM* cparm,
                          uint8_t*) {
    if (text >= end) {            // nothing left: never read at end
        *next = end;
        return VOZ_CLASS_OTHER;
    }
    VOZ_UTF8CHAR ch;
    vozUTF8unit(text, end, cont, ctlAsBlank, cparm, &ch);
    *next = text + ch.srcLen;
    if (ch.seqLen == 0) {
        // A lead byte whose sequence the end cuts off: the rest is skipped.
        const uint8_t* q = text + 1;
        if (text[0] >= 0xC2 && text[0] <= 0xF4) {
            while (q < end && isCont(*q)) ++q;
            if (q == end) *next = end;
        }
        return VOZ_CLASS_OTHER;
    }
    const uint8_t* u = ch.unit;
    if (isBlankUnit(u)) return VOZ_CLASS_BLANK;
    if (ch.seqLen == 2) return u[2] <= VOZ_MARK_NOCASE ? VOZ_CLASS_LETTER
                                                       : VOZ_CLASS_OTHER;
    switch (u[2]) {
    case VOZ_MARK_UPPER: case VOZ_MARK_LOWER: case VOZ_MARK_NOCASE:
    case VOZ_MARK_TURKISH_I:
        return VOZ_CLASS_LETTER;
    case VOZ_MARK_DIGIT:
        return VOZ_CLASS_DIGIT;
    default:
        return VOZ_CLASS_OTHER;
    }
}

namespace {

// The text of one unit into t; returns its length, 0 when the unit stands
// for no text.
int unitText(const uint8_t* u, uint8_t flag, uint8_t* t) {
    uint8_t b = u[0];
    if (b == 0x20) { t[0] = ' '; return 1; }
    if (b == '!') { t[0] = u[1]; return 1; }
    if (b < 0x20) {            // a control byte kept without the flag
        t[0] = b;
        return u[1] == 0x21 && u[2] == VOZ_MARK_OTHER ? 1 : 0;
    }
    if (b >= 0xC2 && b <= 0xDF) { t[0] = b; t[1] = u[1]; return 2; }
    if (b >= 0xE2 && b <= 0xEF) { memcpy(t, u, 3); return 3; }
    if (b >= 0xFA && b <= 0xFE) {
        if (flag) return 0;
        t[0] = (uint8_t)(b - 0x10);
        t[1] = u[1];
        t[2] = u[2];
        return 3;
    }
    if (b >= 0x2C && b <= 0x3F) { t[0] = 0xEF; t[1] = (uint8_t)(b + 0x80); t[2] = u[1]; return 3; }
    if (b >= 0x60 && b <= 0x7F) { t[0] = 0xE0; t[1] = (uint8_t)(b + 0x40); t[2] = u[1]; return 3; }
    if (b >= 0x80 && b <= 0xBF) {
        // A kept supplementary ideograph has a continuation byte where
        // every E1-row unit has its mark.
        if (b >= 0xA0 && b <= 0xAF && isCont(u[2])) {
            t[0] = 0xF0; memcpy(t + 1, u, 3);
            return 4;
        }
        t[0] = 0xE1; t[1] = b; t[2] = u[1];
        return 3;
    }
    return 0;
}

}  // namespace

int32_t vozUnnormalizeUTF8(const uint8_t* units, const uint8_t* unitsEnd,
                           uint8_t flag, uint8_t* out, int32_t capacity,
                           int32_t* written, uint8_t*) {
    int32_t n = 0;
    for (const uint8_t* u = units; unitsEnd - u >= VOZ_UNIT_WIDTH_UTF8;
         u += VOZ_UNIT_WIDTH_UTF8) {
        uint8_t t[4];
        int len = unitText(u, flag, t);
        if (len > capacity - n) {
            *written = n;
            return VOZ_CH_FULL;
        }
        if (len > 0) memcpy(out + n, t, len);  // out may be null at 0 room
        n += len;
    }
    *written = n;
    return VOZ_CH_DONE;
}

int32_t vozUnnormalizeUTF8TURKEY(const uint8_t* units, const uint8_t* unitsEnd,
                                 uint8_t flag, uint8_t* out, int32_t capacity,
                                 int32_t* written, uint8_t* state) {
    return vozUnnormalizeUTF8(units, unitsEnd, flag, out, capacity, written,
                              state);
}
