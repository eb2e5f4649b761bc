// voz_norm_ebcdic.cpp -- single-byte EBCDIC pages, and the byte lookup and
// unnormaliser frame that every EBCDIC page shares.
//
// Single-byte pages (500 and codes 25-33): every byte 0x40..0xFE has its
// unit in the page table; other bytes follow the control rule. Units back
// into text: a unit's byte is looked up in the page's _CNET table first, so
// that a unit shared by a Latin letter and a national letter (the national
// letter's lower-case byte can equal an ASCII letter) comes back as the
// Latin letter, then in the full table, so that every other national letter
// comes back as its own (upper-case) byte.
#include "characters/voz_norm_ebcdic.hpp"

#include <cstring>

#include "characters/voz_norm_ebcdic_int.hpp"

namespace {

// The byte of a unit in a 192-entry table, the mark rewritten first.
uint8_t lookup(const uint8_t* unit, uint8_t mark, const DBCS_TABLE_INFO* info) {
    uint8_t u[2] = {unit[0], mark};
    return vozGetSBCSchar_DBCS(u, info);
}

bool isCaseMark(uint8_t m) {
    return m == VOZ_MARK_LOWER || m == VOZ_MARK_NOCASE;
}

uint8_t singleByteOf(const uint8_t* u, const DBCS_TABLE_INFO* primary,
                     const DBCS_TABLE_INFO* secondary) {
    if (u[1] == VOZ_MARK_OTHER) return u[0];     // control or invalid byte
    uint8_t m = isCaseMark(u[1]) ? (uint8_t)VOZ_MARK_UPPER : u[1];
    uint8_t b = lookup(u, m, primary);
    if (!b && secondary) b = lookup(u, m, secondary);
    if (!b && secondary && m != u[1]) b = lookup(u, u[1], secondary);
    return b ? b : u[0];
}

// A unit that only a full-width Latin letter or digit (42 xx) gives on a
// mixed page: it carries the EBCDIC letter code, which no single byte's unit
// of the page uses.
bool isFullWidthLatin(const uint8_t* u, const DBCS_TABLE_INFO* page) {
    uint8_t m = u[1];
    if (u[0] < 0x80 || !(m == VOZ_MARK_UPPER || m == VOZ_MARK_LOWER ||
                         m == VOZ_MARK_NOCASE || m == VOZ_MARK_DIGIT))
        return false;
    return !lookup(u, isCaseMark(m) ? (uint8_t)VOZ_MARK_UPPER : m, page);
}

}  // namespace

uint8_t vozGetEbcdicChar(const uint8_t* unit, uint8_t* out,
                         const DBCS_TABLE_INFO* info) {
    uint8_t m = unit[1] == VOZ_MARK_LOWER ? (uint8_t)VOZ_MARK_UPPER : unit[1];
    *out = lookup(unit, m, info);
    return *out;
}

char vozEbcdicUnitClass(const uint8_t* u) {
    if (vozEbcdicIsBlankUnit(u)) return VOZ_CLASS_BLANK;
    if (!vozEbcdicIsSingleUnit(u)) return VOZ_CLASS_OTHER;
    if (u[1] == VOZ_MARK_UPPER || u[1] == VOZ_MARK_LOWER) return VOZ_CLASS_LETTER;
    if (u[1] == VOZ_MARK_DIGIT) return VOZ_CLASS_DIGIT;
    return VOZ_CLASS_OTHER;
}

int32_t vozEbcdicUnnormalize(const uint8_t* units, const uint8_t* unitsEnd,
                             uint8_t flag, uint8_t* out, int32_t capacity,
                             int32_t* written, uint8_t* state,
                             const DBCS_TABLE_INFO* primary,
                             const DBCS_TABLE_INFO* secondary, int kind) {
    int32_t n = 0;
    uint8_t st = *state;
    for (const uint8_t* u = units; unitsEnd - u >= VOZ_UNIT_WIDTH;
         u += VOZ_UNIT_WIDTH) {
        uint8_t t[7];
        int len = 0;
        uint8_t next = st;
        if (vozEbcdicIsBlankUnit(u)) {
            t[len++] = VOZ_EBCDIC_BLANK;
            if (st) t[len++] = VOZ_EBCDIC_BLANK;
        } else if (kind != VOZ_EBCDIC_KIND_SINGLE && isFullWidthLatin(u, primary)) {
            if (!st) t[len++] = VOZ_EBCDIC_SO;
            next = 1;
            t[len++] = 0x42;
            t[len++] = u[1] == VOZ_MARK_LOWER ? (uint8_t)(u[0] - 0x40) : u[0];
        } else if (vozEbcdicIsSingleUnit(u)) {
            if (st) t[len++] = VOZ_EBCDIC_SI;
            next = 0;
            t[len++] = singleByteOf(u, primary, secondary);
        } else {
            uint8_t lead = u[0];
            if (kind == VOZ_EBCDIC_KIND_KOREAN && !flag && vozEbcdicKOKRisJoined(u)) {
                t[len++] = VOZ_EBCDIC_BLANK;      // the blank it replaced
                if (st) t[len++] = VOZ_EBCDIC_BLANK;
                lead = vozEbcdicKOKRplainLead(u[0]);
            }
            if (!st) t[len++] = VOZ_EBCDIC_SO;
            next = 1;
            t[len++] = lead;
            t[len++] = u[1];
        }
        if (len > capacity - n) {
            *written = n;
            *state = st;
            return VOZ_CH_FULL;
        }
        memcpy(out + n, t, len);
        n += len;
        st = next;
    }
    *written = n;
    *state = st;
    return VOZ_CH_DONE;
}

int32_t vozConvert_SBCSEbcdic(const uint8_t (*table)[2], const uint8_t* src,
                              const uint8_t* srcEnd, uint8_t ctlAsBlank,
                              uint8_t* out, int32_t* outLen, PTRDOCNORM* map) {
    uint8_t* o = out;
    uint8_t* const oEnd = out + (*outLen > 0 ? *outLen : 0);
    for (const uint8_t* p = src; p < srcEnd; ++p) {
        if (oEnd - o < VOZ_UNIT_WIDTH) {
            *outLen = (int32_t)(o - out);
            return VOZ_CH_FULL;
        }
        vozDocNormServe(map, p, o);
        uint8_t b = *p;
        if (b >= 0x40 && b != 0xFF) {
            o[0] = table[b - 0x40][0];
            o[1] = table[b - 0x40][1];
        } else if (ctlAsBlank) {
            o[0] = 0x20;
            o[1] = VOZ_MARK_BLANK;
        } else {
            o[0] = b;
            o[1] = VOZ_MARK_OTHER;
        }
        o += VOZ_UNIT_WIDTH;
    }
    *outLen = (int32_t)(o - out);
    return VOZ_CH_DONE;
}

char vozPointNextChar_SBCSEbcdic(const uint8_t (*table)[2],
                                 const uint8_t* text, const uint8_t** next,
                                 const uint8_t* end, uint8_t ctlAsBlank) {
    if (text >= end) {            // nothing left: never read at end
        *next = end;
        return VOZ_CLASS_OTHER;
    }
    *next = text + 1;
    uint8_t b = *text;
    if (b == VOZ_EBCDIC_BLANK) return VOZ_CLASS_BLANK;
    if (b < 0x40 || b == 0xFF) return ctlAsBlank ? VOZ_CLASS_BLANK : VOZ_CLASS_OTHER;
    uint8_t m = table[b - 0x40][1];
    if (m == VOZ_MARK_UPPER || m == VOZ_MARK_LOWER) return VOZ_CLASS_LETTER;
    if (m == VOZ_MARK_DIGIT) return VOZ_CLASS_DIGIT;
    return VOZ_CLASS_OTHER;
}

#define VOZ_EBCDIC_SBCS_ROUTINES(page, table, cnet)                           \
    namespace {                                                               \
    const DBCS_TABLE_INFO ebc##page##_info[] = {{table, 192, 0x40},                \
                                           {nullptr, 0, 0}};                  \
    const DBCS_TABLE_INFO ebc##page##_cnet[] = {{cnet, 192, 0x40},             \
                                               {nullptr, 0, 0}};              \
    }                                                                         \
    int32_t vozConvertEbcdic##page(const uint8_t* src, const uint8_t* srcEnd, \
                                   VOZ_CONTTEXT*, uint8_t ctlAsBlank,         \
                                   uint8_t* out, int32_t* outLen,             \
                                   PTRDOCNORM* map, const GTRCREATEPARM*,     \
                                   uint8_t*) {                                \
        return vozConvert_SBCSEbcdic(table, src, srcEnd, ctlAsBlank, out,     \
                                     outLen, map);                            \
    }                                                                         \
    char vozPointNextCharEbcdic##page(const uint8_t* text,                    \
                                      const uint8_t** next,                   \
                                      const uint8_t* end, VOZ_CONTTEXT*,      \
                                      uint8_t ctlAsBlank,                     \
                                      const GTRCREATEPARM*, uint8_t*) {       \
        return vozPointNextChar_SBCSEbcdic(table, text, next, end,            \
                                           ctlAsBlank);                       \
    }                                                                         \
    uint8_t vozGetSBCSchar_SBCSEbcdic##page(const uint8_t* unit) {            \
        uint8_t b;                                                            \
        return vozGetEbcdicChar(unit, &b, ebc##page##_cnet);                   \
    }                                                                         \
    int32_t vozSentenceEndEbcdic##page(const uint8_t*) { return 0; }          \
    int32_t vozUnnormalizeEbcdic##page(const uint8_t* units,                  \
                                       const uint8_t* unitsEnd, uint8_t flag, \
                                       uint8_t* out, int32_t capacity,        \
                                       int32_t* written, uint8_t* state) {    \
        return vozEbcdicUnnormalize(units, unitsEnd, flag, out, capacity,     \
                                    written, state, ebc##page##_cnet,          \
                                    ebc##page##_info, VOZ_EBCDIC_KIND_SINGLE);                      \
    }

VOZ_EBCDIC_SBCS_ROUTINES(500, EBCDIC_500_40FF, EBCDIC_500_40FF_CNET)
VOZ_EBCDIC_SBCS_ROUTINES(THAI, EBCDIC_THAI_40FF, EBCDIC_THAI_40FF_CNET)
VOZ_EBCDIC_SBCS_ROUTINES(LATIN2, EBCDIC_LATIN2_40FF, EBCDIC_LATIN2_40FF_CNET)
VOZ_EBCDIC_SBCS_ROUTINES(CYRILLIC, EBCDIC_CYRILLIC_40FF,
                         EBCDIC_CYRILLIC_40FF_CNET)
VOZ_EBCDIC_SBCS_ROUTINES(TURKEY, EBCDIC_TURKEY_40FF, EBCDIC_TURKEY_40FF_CNET)
VOZ_EBCDIC_SBCS_ROUTINES(GREEK, EBCDIC_GREEK_40FF, EBCDIC_GREEK_40FF_CNET)
VOZ_EBCDIC_SBCS_ROUTINES(HEBREW, EBCDIC_HEBREW_40FF, EBCDIC_HEBREW_40FF_CNET)
VOZ_EBCDIC_SBCS_ROUTINES(ARABIC, EBCDIC_ARABIC_40FF, EBCDIC_ARABIC_40FF_CNET)
VOZ_EBCDIC_SBCS_ROUTINES(BALTIC, EBCDIC_BALTIC_40FF, EBCDIC_BALTIC_40FF_CNET)
VOZ_EBCDIC_SBCS_ROUTINES(ESTONIA, EBCDIC_ESTONIA_40FF,
                         EBCDIC_ESTONIA_40FF_CNET)
#undef VOZ_EBCDIC_SBCS_ROUTINES
