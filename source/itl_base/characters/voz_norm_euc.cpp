// voz_norm_euc.cpp -- EUC-JP and EUC-TW text into two-byte units and back.
//
// One character routine per page (eucJpChar, eucTwChar) gives the unit of
// the character at the start of a text and how many bytes it took; the
// converter frame, the next-character routine and the unnormalisers are
// shared. Unit layout and the moved planes: voz_norm_euc.hpp.
#include "characters/voz_norm_euc.hpp"

#include <cstring>

namespace {

inline bool isEucByte(uint8_t b) { return b >= 0xA1 && b <= 0xFE; }

inline void set2(uint8_t* u, uint8_t a, uint8_t b) {
    u[0] = a;
    u[1] = b;
}

// The unit of a double-byte character (lead, trail both A1..FE): the wide
// blank and the full-width digits and Latin letters (rows given by the
// page) become the units of their ASCII forms.
void dbcsUnit(uint8_t lead, uint8_t trail, uint8_t latinRow, uint8_t digit0,
              uint8_t upperA, uint8_t lowerA, uint8_t* u) {
    set2(u, lead, trail);
    if (lead == 0xA1 && trail == 0xA1) set2(u, 0x20, VOZ_MARK_BLANK);
    if (lead != latinRow) return;
    if (trail >= digit0 && trail < digit0 + 10)
        set2(u, (uint8_t)('0' + trail - digit0), VOZ_MARK_DIGIT);
    else if (trail >= upperA && trail < upperA + 26)
        set2(u, (uint8_t)('A' + trail - upperA), VOZ_MARK_UPPER);
    else if (trail >= lowerA && trail < lowerA + 26)
        set2(u, (uint8_t)('A' + trail - lowerA), VOZ_MARK_LOWER);
}

// Single-byte characters common to both pages; false for bytes 0x80 and up.
bool asciiUnit(uint8_t b, uint8_t ctlAsBlank, const uint8_t (*table)[2],
               uint8_t* u) {
    if (b >= 0x80) return false;
    if (b >= 0x20) set2(u, table[b - 0x20][0], table[b - 0x20][1]);
    else if (ctlAsBlank) set2(u, 0x20, VOZ_MARK_BLANK);
    else set2(u, b, VOZ_MARK_OTHER);
    return true;
}

// Half-width katakana k after 8E, with a following 8E DE / 8E DF voiced mark
// from the text or, when k ends the text, from the continuation text.
int eucJpKana(const uint8_t* p, const uint8_t* end, VOZ_CONTTEXT* cont,
              uint8_t* u) {
    uint8_t k = p[1];
    memcpy(u, tblEUC_JP_A0E5[k - 0xA0], 2);
    const uint8_t* m = p + 2;
    const uint8_t* mEnd = end;
    bool fromCont = false;
    if (m == end && cont && cont->text) {
        m = cont->text;
        mEnd = cont->end;
        fromCont = true;
    }
    if (mEnd - m < 2 || m[0] != 0x8E || (m[1] != 0xDE && m[1] != 0xDF)) return 2;
    bool hRow = k >= 0xCA && k <= 0xCE;
    int add = 0;
    if (m[1] == 0xDE && (hRow || (k >= 0xB6 && k <= 0xC4))) add = 1;
    else if (m[1] == 0xDF && hRow) add = 2;
    else if (m[1] == 0xDE && k == 0xB3) set2(u, 0xA5, 0xF4);   // vu
    else return 2;
    u[1] = (uint8_t)(u[1] + add);
    if (fromCont) {
        cont->text += 2;
        return 2;
    }
    return 4;
}

// One EUC-JP character: bytes taken.
int eucJpChar(const uint8_t* p, const uint8_t* end, VOZ_CONTTEXT* cont,
              uint8_t ctlAsBlank, uint8_t* u) {
    uint8_t b = p[0];
    if (asciiUnit(b, ctlAsBlank, EUC_JP_2080, u)) return 1;
    ptrdiff_t left = end - p;
    if (isEucByte(b) && left >= 2 && isEucByte(p[1])) {
        dbcsUnit(b, p[1], 0xA3, 0xB0, 0xC1, 0xE1, u);
        return 2;
    }
    if (b == 0x8E && left >= 2 && p[1] >= 0xA0 && p[1] <= 0xE4)
        return eucJpKana(p, end, cont, u);
    if (b == 0x8F && left >= 3 && isEucByte(p[1]) && isEucByte(p[2])) {
        set2(u, (uint8_t)(p[1] + 0xA0), p[2]);   // JIS X 0212
        return 3;
    }
    set2(u, 0xFF, 0xFF);
    return 1;
}

// One EUC-TW character: bytes taken. 8E A1 c1 c2 is plane 1 written long.
int eucTwChar(const uint8_t* p, const uint8_t* end, VOZ_CONTTEXT*,
              uint8_t ctlAsBlank, uint8_t* u) {
    uint8_t b = p[0];
    if (asciiUnit(b, ctlAsBlank, EUC_TW_2080, u)) return 1;
    ptrdiff_t left = end - p;
    if (isEucByte(b) && left >= 2 && isEucByte(p[1])) {
        dbcsUnit(b, p[1], 0xA4, 0xA1, 0xC1, 0xDB, u);
        return 2;
    }
    if (b == 0x8E && left >= 4 && p[1] >= 0xA1 && p[1] <= 0xB0 &&
        isEucByte(p[2]) && isEucByte(p[3])) {
        uint8_t plane = p[1], c1 = p[2], c2 = p[3];
        if (plane == 0xA1) dbcsUnit(c1, c2, 0xA4, 0xA1, 0xC1, 0xDB, u);
        else if (plane == 0xA2) set2(u, (uint8_t)(c1 + 0xA0), c2);
        else if ((plane - 0xA2) & 1) set2(u, (uint8_t)(c1 - 0x60), (uint8_t)(c2 + 0xA0));
        else set2(u, c1, (uint8_t)(c2 + 0xA0));
        return 4;
    }
    set2(u, 0xFF, 0xFF);
    return 1;
}

typedef int (*EUC_CHAR_FN)(const uint8_t* p, const uint8_t* end,
                           VOZ_CONTTEXT* cont, uint8_t ctlAsBlank, uint8_t* u);

int32_t convertEuc(EUC_CHAR_FN one, const uint8_t* src, const uint8_t* srcEnd,
                   VOZ_CONTTEXT* cont, uint8_t ctlAsBlank, uint8_t* out,
                   int32_t* outLen, PTRDOCNORM* map) {
    uint8_t* o = out;
    uint8_t* const oEnd = out + (*outLen > 0 ? *outLen : 0);
    for (const uint8_t* p = src; p < srcEnd;) {
        if (oEnd - o < VOZ_UNIT_WIDTH) {
            *outLen = (int32_t)(o - out);
            return VOZ_CH_FULL;
        }
        vozDocNormServe(map, p, o);
        p += one(p, srcEnd, cont, ctlAsBlank, o);
        o += VOZ_UNIT_WIDTH;
    }
    *outLen = (int32_t)(o - out);
    return VOZ_CH_DONE;
}

char nextCharEuc(EUC_CHAR_FN one, const uint8_t* text, const uint8_t** next,
                 const uint8_t* end, VOZ_CONTTEXT* cont, uint8_t ctlAsBlank) {
    if (text >= end) {            // nothing left: never read at end
        *next = end;
        return VOZ_CLASS_OTHER;
    }
    uint8_t u[2];
    *next = text + one(text, end, cont, ctlAsBlank, u);
    if (u[1] == VOZ_MARK_BLANK && u[0] == 0x20) return VOZ_CLASS_BLANK;
    if (u[1] == VOZ_MARK_UPPER || u[1] == VOZ_MARK_LOWER) return VOZ_CLASS_LETTER;
    if (u[1] == VOZ_MARK_DIGIT) return VOZ_CLASS_DIGIT;
    return VOZ_CLASS_OTHER;
}

// The text of one unit into t (at most 4 bytes); returns its length.
typedef int (*EUC_TEXT_FN)(const uint8_t* u, uint8_t* t);

int plainText(const uint8_t* u, uint8_t* t) {
    t[0] = u[0];
    if (u[1] < 0x20 || u[1] == 0xFF) return 1;
    t[1] = u[1];
    return 2;
}

inline bool moved(uint8_t b) { return b >= 0x41 && b <= 0x9E; }

int eucJpText(const uint8_t* u, uint8_t* t) {
    if (moved(u[0]) && isEucByte(u[1])) {
        t[0] = 0x8F;
        t[1] = (uint8_t)(u[0] + 0x60);
        t[2] = u[1];
        return 3;
    }
    return plainText(u, t);
}

int eucTwText(const uint8_t* u, uint8_t* t) {
    t[0] = 0x8E;
    if (moved(u[0]) && isEucByte(u[1])) {
        t[1] = 0xA2; t[2] = (uint8_t)(u[0] + 0x60); t[3] = u[1];
    } else if (isEucByte(u[0]) && moved(u[1])) {
        t[1] = 0xAC; t[2] = u[0]; t[3] = (uint8_t)(u[1] + 0x60);
    } else if (moved(u[0]) && moved(u[1])) {
        t[1] = 0xAD; t[2] = (uint8_t)(u[0] + 0x60); t[3] = (uint8_t)(u[1] + 0x60);
    } else {
        return plainText(u, t);
    }
    return 4;
}

int32_t unnormalizeEuc(EUC_TEXT_FN text, const uint8_t* units,
                       const uint8_t* unitsEnd, uint8_t* out,
                       int32_t capacity, int32_t* written) {
    int32_t n = 0;
    for (const uint8_t* u = units; unitsEnd - u >= VOZ_UNIT_WIDTH;
         u += VOZ_UNIT_WIDTH) {
        uint8_t t[4];
        int len = text(u, t);
        if (len > capacity - n) {
            *written = n;
            return VOZ_CH_FULL;
        }
        memcpy(out + n, t, len);
        n += len;
    }
    *written = n;
    return VOZ_CH_DONE;
}

const DBCS_TABLE_INFO tblEucJP_info[] = {{EUC_JP_2080, 96, 0x20}, {nullptr, 0, 0}};
const DBCS_TABLE_INFO tblEucTW_info[] = {{EUC_TW_2080, 96, 0x20}, {nullptr, 0, 0}};

}  // namespace

#define VOZ_EUC_PAGE_ROUTINES(page, charFn, textFn, info, endLead, endTrail) \
    int32_t vozConvert##page(const uint8_t* src, const uint8_t* srcEnd,       \
                             VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,          \
                             uint8_t* out, int32_t* outLen, PTRDOCNORM* map,  \
                             const GTRCREATEPARM*, uint8_t*) {                \
        return convertEuc(charFn, src, srcEnd, cont, ctlAsBlank, out, outLen, \
                          map);                                               \
    }                                                                         \
    char vozPointNextChar##page(const uint8_t* text, const uint8_t** next,    \
                                const uint8_t* end, VOZ_CONTTEXT* cont,       \
                                uint8_t ctlAsBlank, const GTRCREATEPARM*,     \
                                uint8_t*) {                                   \
        return nextCharEuc(charFn, text, next, end, cont, ctlAsBlank);        \
    }                                                                         \
    uint8_t vozGetSBCSchar##page(const uint8_t* unit) {                       \
        return vozGetSBCSchar_DBCS(unit, info);                               \
    }                                                                         \
    int32_t vozSentenceEnd##page(const uint8_t* unit) {                       \
        return unit[0] == (endLead) && unit[1] == (endTrail);                 \
    }                                                                         \
    int32_t vozUnnormalize##page(const uint8_t* units,                        \
                                 const uint8_t* unitsEnd, uint8_t,            \
                                 uint8_t* out, int32_t capacity,              \
                                 int32_t* written, uint8_t*) {                \
        return unnormalizeEuc(textFn, units, unitsEnd, out, capacity,         \
                              written);                                       \
    }

VOZ_EUC_PAGE_ROUTINES(EucJP, eucJpChar, eucJpText, tblEucJP_info, 0xA1, 0xA3)
VOZ_EUC_PAGE_ROUTINES(EucTW, eucTwChar, eucTwText, tblEucTW_info, 0xA1, 0xA4)
#undef VOZ_EUC_PAGE_ROUTINES
