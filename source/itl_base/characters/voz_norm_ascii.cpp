// voz_norm_ascii.cpp -- normalisers of the single-byte ASCII-based pages and
// of the second 850 family, and the plain unnormalizer.
//
// A single-byte page is a list of byte ranges (CODE_TABLE_INFO), each with a
// character table (0 = the byte itself, else the folded character) and a
// class-mark table. Bytes in no range are control bytes (blank unit with the
// control-as-blank flag, else (byte, 0xFF)) or unclassified (byte, 0xFF).
// Every unit is two bytes; the converters check the room before each
// character and serve the position map before they write it.
#include "characters/voz_norm_ascii.hpp"

// ---- range lists -----------------------------------------------------------------
#define VOZ_ASCII_RANGE {tblSBCS_2080_char, tblSBCS_2080_mark, 0x20, 0x7F}
#define VOZ_END_RANGE {nullptr, nullptr, 0, 0}

const CODE_TABLE_INFO tbl850_info[] = {
    VOZ_ASCII_RANGE, {tbl850X_80FF_char, tbl850X_80FF_mark, 0x80, 0xFF},
    VOZ_END_RANGE};
const CODE_TABLE_INFO tbl88591_info[] = {
    VOZ_ASCII_RANGE, {tbl88591_A0FF_char, tbl88591_A0FF_mark, 0xA0, 0xFF},
    VOZ_END_RANGE};
const CODE_TABLE_INFO tbl1252_info[] = {
    VOZ_ASCII_RANGE, {tbl1252_809F_char, tbl1252_809F_mark, 0x80, 0x9F},
    {tbl88591_A0FF_char, tbl88591_A0FF_mark, 0xA0, 0xFF}, VOZ_END_RANGE};
const CODE_TABLE_INFO tbl1250_info[] = {
    VOZ_ASCII_RANGE, {tbl1250_80FF_char, tbl1250_80FF_mark, 0x80, 0xFF},
    VOZ_END_RANGE};
const CODE_TABLE_INFO tbl1251_info[] = {
    VOZ_ASCII_RANGE, {tbl1251_80FF_char, tbl1251_80FF_mark, 0x80, 0xFF},
    VOZ_END_RANGE};
const CODE_TABLE_INFO tbl1253_info[] = {
    VOZ_ASCII_RANGE, {tbl1253_80FF_char, tbl1253_80FF_mark, 0x80, 0xFF},
    VOZ_END_RANGE};
const CODE_TABLE_INFO tbl1254_info[] = {
    VOZ_ASCII_RANGE, {tbl1252_809F_char, tbl1252_809F_mark, 0x80, 0x9F},
    {tbl1254_A0FF_char, tbl1254_A0FF_mark, 0xA0, 0xFF}, VOZ_END_RANGE};
const CODE_TABLE_INFO tbl1255_info[] = {
    VOZ_ASCII_RANGE, {tbl1255_80FF_char, tbl1255_80FF_mark, 0x80, 0xFF},
    VOZ_END_RANGE};
const CODE_TABLE_INFO tbl1256_info[] = {
    VOZ_ASCII_RANGE, {tbl1256_80FF_char, tbl1256_80FF_mark, 0x80, 0xFF},
    VOZ_END_RANGE};
const CODE_TABLE_INFO tbl1257_info[] = {
    VOZ_ASCII_RANGE, {tbl1257_80FF_char, tbl1257_80FF_mark, 0x80, 0xFF},
    VOZ_END_RANGE};
const CODE_TABLE_INFO tbl1258_info[] = {
    VOZ_ASCII_RANGE, {tbl1258_80FF_char, tbl1258_80FF_mark, 0x80, 0xFF},
    VOZ_END_RANGE};
const CODE_TABLE_INFO tbl874_info[] = {
    VOZ_ASCII_RANGE, {tbl1252_809F_char, tbl1252_809F_mark, 0x80, 0x9F},
    {tbl874_A0FF_char, tbl874_A0FF_mark, 0xA0, 0xFF}, VOZ_END_RANGE};

#undef VOZ_ASCII_RANGE
#undef VOZ_END_RANGE

// ---- single-byte family ------------------------------------------------------

bool vozSBCSlookup(const CODE_TABLE_INFO* info, uint8_t b, uint8_t* unit) {
    for (; info->chars != nullptr; ++info) {
        if (info->low > b) return false;  // ranges ascend
        if (b <= info->high) {
            uint8_t c = info->chars[b - info->low];
            unit[0] = c == 0 ? b : c;
            unit[1] = info->marks[b - info->low];
            return true;
        }
    }
    return false;
}

// The unit of a byte outside every range: control rule, else unclassified.
static void otherUnit(uint8_t b, uint8_t ctlAsBlank, uint8_t* unit) {
    if (b < 0x20 && ctlAsBlank) {
        unit[0] = dbl_blank[0];
        unit[1] = dbl_blank[1];
    } else {
        unit[0] = b;
        unit[1] = VOZ_MARK_OTHER;
    }
}

int32_t vozConvert_SBCS(const CODE_TABLE_INFO* info, const uint8_t* src,
                        const uint8_t* srcEnd, uint8_t ctlAsBlank,
                        uint8_t* out, int32_t* outLen, PTRDOCNORM* map) {
    uint8_t* o = out;
    uint8_t* const limit = out + *outLen;
    for (const uint8_t* s = src; s < srcEnd; ++s) {
        if (limit - o < 2) {
            *outLen = static_cast<int32_t>(o - out);
            return VOZ_CH_FULL;
        }
        vozDocNormServe(map, s, o);
        if (!vozSBCSlookup(info, *s, o)) otherUnit(*s, ctlAsBlank, o);
        o += 2;
    }
    *outLen = static_cast<int32_t>(o - out);
    return VOZ_CH_DONE;
}

char vozPointNextChar_SBCS(const CODE_TABLE_INFO* info, const uint8_t* text,
                           const uint8_t** next, const uint8_t* end,
                           uint8_t ctlAsBlank) {
    *next = text + 1;
    if (text >= end) {
        *next = end;
        return VOZ_CLASS_OTHER;
    }
    if (*text == ' ') return VOZ_CLASS_BLANK;
    uint8_t unit[2];
    if (vozSBCSlookup(info, *text, unit)) {
        if (unit[1] == VOZ_MARK_UPPER || unit[1] == VOZ_MARK_LOWER)
            return VOZ_CLASS_LETTER;
        return unit[1] == VOZ_MARK_DIGIT ? VOZ_CLASS_DIGIT : VOZ_CLASS_OTHER;
    }
    return (*text < 0x20 && ctlAsBlank) ? VOZ_CLASS_BLANK : VOZ_CLASS_OTHER;
}

uint8_t vozGetSBCSchar_SBCS(const uint8_t* unit) { return unit[0]; }

#define VOZ_DEFINE_SBCS_PAGE(page)                                            \
    int32_t vozConvert##page(const uint8_t* src, const uint8_t* srcEnd,       \
                             VOZ_CONTTEXT*, uint8_t ctlAsBlank, uint8_t* out, \
                             int32_t* outLen, PTRDOCNORM* map,                \
                             const GTRCREATEPARM*, uint8_t*) {                \
        return vozConvert_SBCS(tbl##page##_info, src, srcEnd, ctlAsBlank,     \
                               out, outLen, map);                             \
    }                                                                         \
    char vozPointNextChar##page(const uint8_t* text, const uint8_t** next,    \
                                const uint8_t* end, VOZ_CONTTEXT*,            \
                                uint8_t ctlAsBlank, const GTRCREATEPARM*,     \
                                uint8_t*) {                                   \
        return vozPointNextChar_SBCS(tbl##page##_info, text, next, end,       \
                                     ctlAsBlank);                             \
    }                                                                         \
    int32_t vozSentenceEnd##page(const uint8_t*) { return 0; }

VOZ_DEFINE_SBCS_PAGE(850)
VOZ_DEFINE_SBCS_PAGE(88591)
VOZ_DEFINE_SBCS_PAGE(1252)
VOZ_DEFINE_SBCS_PAGE(1250)
VOZ_DEFINE_SBCS_PAGE(1251)
VOZ_DEFINE_SBCS_PAGE(1253)
VOZ_DEFINE_SBCS_PAGE(1254)
VOZ_DEFINE_SBCS_PAGE(1255)
VOZ_DEFINE_SBCS_PAGE(1256)
VOZ_DEFINE_SBCS_PAGE(1257)
VOZ_DEFINE_SBCS_PAGE(1258)
VOZ_DEFINE_SBCS_PAGE(874)
#undef VOZ_DEFINE_SBCS_PAGE

// ---- unnormalize -----------------------------------------------------------------

int32_t vozUnnormalize(const uint8_t* units, const uint8_t* unitsEnd, uint8_t,
                       uint8_t* out, int32_t capacity, int32_t* written,
                       uint8_t*) {
    int32_t n = 0;
    for (const uint8_t* u = units; u + 2 <= unitsEnd; u += 2) {
        const bool dbcs = u[1] >= 0x20 && u[1] != 0xFF;
        if (capacity - n < (dbcs ? 2 : 1)) {  // room for the whole unit
            *written = n;
            return VOZ_CH_FULL;
        }
        out[n++] = u[0];
        if (dbcs) out[n++] = u[1];
    }
    *written = n;
    return VOZ_CH_DONE;
}

// ---- family 5 ------------------------------------------------------------------

int32_t vozConvertInto2Alt850(const uint8_t* src, const uint8_t* srcEnd,
                              VOZ_CONTTEXT*, uint8_t ctlAsBlank, uint8_t* out,
                              int32_t* outLen, PTRDOCNORM* map,
                              const GTRCREATEPARM*, uint8_t*) {
    uint8_t* o = out;
    uint8_t* const limit = out + *outLen;
    for (const uint8_t* s = src; s < srcEnd; ++s) {
        if (limit - o < 2) {
            *outLen = static_cast<int32_t>(o - out);
            return VOZ_CH_FULL;
        }
        vozDocNormServe(map, s, o);
        const uint8_t b = *s;
        if (b >= 0x80) {
            o[0] = Alt850_80FF[b - 0x80];
            o[1] = b;
        } else if (b >= 0x20) {
            o[0] = Alt850_2080[b - 0x20][0];
            o[1] = Alt850_2080[b - 0x20][1];
        } else {
            otherUnit(b, ctlAsBlank, o);
        }
        o += 2;
    }
    *outLen = static_cast<int32_t>(o - out);
    return VOZ_CH_DONE;
}

uint8_t vozGetSBCScharAlt850(const uint8_t* unit) {
    return unit[0] >= 0x20 ? unit[0] : unit[1];
}

char vozPointNextCharAlt850(const uint8_t* text, const uint8_t** next,
                            const uint8_t* end, VOZ_CONTTEXT*,
                            uint8_t ctlAsBlank, const GTRCREATEPARM*,
                            uint8_t*) {
    if (text >= end) {
        *next = end;
        return VOZ_CLASS_OTHER;
    }
    *next = text + 1;
    const uint8_t b = *text;
    if (b == ' ') return VOZ_CLASS_BLANK;
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'))
        return VOZ_CLASS_LETTER;
    if (b >= '0' && b <= '9') return VOZ_CLASS_DIGIT;
    return (b < 0x20 && ctlAsBlank) ? VOZ_CLASS_BLANK : VOZ_CLASS_OTHER;
}

int32_t vozSentenceEndAlt850(const uint8_t*) { return 0; }

int32_t vozUnnormalizeAlt850(const uint8_t* units, const uint8_t* unitsEnd,
                             uint8_t, uint8_t* out, int32_t capacity,
                             int32_t* written, uint8_t*) {
    int32_t n = 0;
    for (const uint8_t* u = units; u + 2 <= unitsEnd; u += 2) {
        if (n >= capacity) {
            *written = n;
            return VOZ_CH_FULL;
        }
        out[n++] = u[0] >= 0x20 ? u[0] : u[1];
    }
    *written = n;
    return VOZ_CH_DONE;
}
