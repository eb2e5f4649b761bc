// voz_norm_dbcs.cpp -- normalisers of the ASCII-based double-byte pages.
//
// One walker serves Shift-JIS, Big5, Korean and the two simplified Chinese
// pages; a DbcsPage record holds what differs: valid lead and trail bytes,
// the wide blank, the rows of full-width digits and Latin letters, the ASCII
// unit table and the Shift-JIS / Korean extras. convertOne() turns one
// source character into one unit and says how many bytes it took; the
// converters, the next-character routines and the Korean joining are built
// on it, so that they always step over the text the same way.
#include "characters/voz_norm_dbcs.hpp"

#include <cstring>

#include "characters/voz_norm_ascii.hpp"  // vozUnnormalize

const uint8_t SJIS_2_SPECIAL_ALPHALIST[32] = {
    0x49, 0x8D, 0xF3, 0x90, 0x93, 0x95, 0x66, 0x69, 0x6A, 0x96, 0x7B,
    0x43, 0x5D, 0x44, 0x5E, 0x46, 0x47, 0x83, 0x81, 0x84, 0x48, 0x97,
    0x6D, 0x5F, 0x6E, 0x4F, 0x7C, 0x41, 0x6F, 0x62, 0x70, 0x60};

const DBCS_TABLE_INFO tblSJIS_info[] = {
    {SJIS_2080, 96, 0x20}, {tblA0E0, 64, 0xA0}, {nullptr, 0, 0}};
const DBCS_TABLE_INFO tblBig5_info[] = {{big5_2080, 96, 0x20}, {nullptr, 0, 0}};
const DBCS_TABLE_INFO tblKOKR_info[] = {{KOKR_2080, 96, 0x20}, {nullptr, 0, 0}};
const DBCS_TABLE_INFO tblSCHN_info[] = {{SCHN_2080, 96, 0x20}, {nullptr, 0, 0}};

namespace {

// Full-width characters (lead, lo..hi) that become the ASCII units
// first + (trail - lo) with the row's mark.
struct FullWidthRow {
    uint8_t lead, lo, hi;
    uint8_t first;             // ASCII character of `lo`
    uint8_t mark;
};

struct DbcsPage {
    const uint8_t (*ascii)[2];       // units of 0x20..0x7F
    uint8_t leadLo, leadHi;          // valid lead bytes
    uint8_t trailLo, trailHi;        // valid trail bytes
    bool trailNot7F;                 // 0x7F is no trail byte
    uint8_t wide[2];                 // the wide blank
    const FullWidthRow* rows;
    int rowCount;
    bool sjis;                       // kana, special letters, E0-FC leads
    bool korean;                     // Hangul syllables, joining
};

const FullWidthRow kSjisRows[] = {
    {0x82, 0x4F, 0x58, '0', VOZ_MARK_DIGIT},
    {0x82, 0x60, 0x79, 'A', VOZ_MARK_UPPER},
    {0x82, 0x81, 0x9A, 'A', VOZ_MARK_LOWER}};
const FullWidthRow kBig5Rows[] = {
    {0xA2, 0xAF, 0xB8, '0', VOZ_MARK_DIGIT},
    {0xA2, 0xCF, 0xE8, 'A', VOZ_MARK_UPPER},
    {0xA2, 0xE9, 0xFE, 'A', VOZ_MARK_LOWER},
    {0xA3, 0x40, 0x43, 'W', VOZ_MARK_LOWER}};
const FullWidthRow kEucRows[] = {
    {0xA3, 0xB0, 0xB9, '0', VOZ_MARK_DIGIT},
    {0xA3, 0xC1, 0xDA, 'A', VOZ_MARK_UPPER},
    {0xA3, 0xE1, 0xFA, 'A', VOZ_MARK_LOWER}};

const DbcsPage kSjis = {SJIS_2080, 0x81, 0xFC, 0x40, 0xFE, false,
                        {0x81, 0x40}, kSjisRows, 3, true, false};
const DbcsPage kBig5 = {big5_2080, 0x81, 0xFE, 0x40, 0xFE, false,
                        {0xA1, 0x40}, kBig5Rows, 4, false, false};
const DbcsPage kKokr = {KOKR_2080, 0x81, 0xFE, 0x41, 0xFE, false,
                        {0xA1, 0xA1}, kEucRows, 3, false, true};
const DbcsPage k1381 = {SCHN_2080, 0x8C, 0xFE, 0xA1, 0xFE, false,
                        {0xA1, 0xA1}, kEucRows, 3, false, false};
const DbcsPage kSchnWin = {SCHN_2080, 0x81, 0xFE, 0x40, 0xFE, true,
                           {0xA1, 0xA1}, kEucRows, 3, false, false};

// What a character was, for the Korean joining.
enum CharKind { kOther, kBlank, kHangul };

struct CharResult {
    int consumed;              // source bytes taken (not counting cont)
    CharKind kind;
};

bool isLead(const DbcsPage& p, uint8_t b) {
    if (p.sjis) return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    return b >= p.leadLo && b <= p.leadHi;
}

bool isTrail(const DbcsPage& p, uint8_t b) {
    return b >= p.trailLo && b <= p.trailHi && !(p.trailNot7F && b == 0x7F);
}

bool isSpecialLetter(uint8_t c, const GTRCREATEPARM* cparm) {
    if (cparm == nullptr) return false;
    int n = cparm->specialLength;
    if (n > VOZ_SPECIAL_LETTERS_MAX) n = VOZ_SPECIAL_LETTERS_MAX;
    return n > 0 && memchr(cparm->specialLetters, c, n) != nullptr;
}

void setUnit(uint8_t* unit, uint8_t b0, uint8_t b1) {
    unit[0] = b0;
    unit[1] = b1;
}

// The ASCII character of index i of SJIS_2_SPECIAL_ALPHALIST.
uint8_t sjisListChar(int i) {
    if (i < 15) return static_cast<uint8_t>(0x21 + i);
    if (i < 22) return static_cast<uint8_t>(0x3A + i - 15);
    if (i < 28) return static_cast<uint8_t>(0x5B + i - 22);
    return static_cast<uint8_t>(0x7B + i - 28);
}

// Half-width katakana b combined with the voiced mark m (0xDE) or the
// semi-voiced mark m (0xDF) into unit; false when they do not combine.
bool combineKana(uint8_t b, uint8_t m, uint8_t* unit) {
    const uint8_t* full = tblA0E0[b - 0xA0];
    if (m == 0xDE && b == 0xB3) {
        setUnit(unit, 0x83, 0x94);
        return true;
    }
    const bool voicable = (b >= 0xB6 && b <= 0xC4) || (b >= 0xCA && b <= 0xCE);
    if (m == 0xDE && voicable) {
        setUnit(unit, full[0], static_cast<uint8_t>(full[1] + 1));
        return true;
    }
    if (m == 0xDF && b >= 0xCA && b <= 0xCE) {
        setUnit(unit, full[0], static_cast<uint8_t>(full[1] + 2));
        return true;
    }
    return false;
}

// Shift-JIS half-width katakana at s; the combining mark may come from the
// continuation text, which then advances by one.
CharResult sjisKana(const uint8_t* s, const uint8_t* end, VOZ_CONTTEXT* cont,
                    uint8_t* unit) {
    if (s + 1 < end) {
        if (combineKana(s[0], s[1], unit)) return {2, kOther};
    } else if (cont != nullptr && cont->text != nullptr &&
               cont->text < cont->end && combineKana(s[0], *cont->text, unit)) {
        ++cont->text;
        return {1, kOther};
    }
    setUnit(unit, tblA0E0[s[0] - 0xA0][0], tblA0E0[s[0] - 0xA0][1]);
    return {1, kOther};
}

// The unit of double-byte character (b, t).
CharKind doubleByteUnit(const DbcsPage& p, uint8_t b, uint8_t t,
                        const GTRCREATEPARM* cparm, uint8_t* unit) {
    if (b == p.wide[0] && t == p.wide[1]) {
        setUnit(unit, dbl_blank[0], dbl_blank[1]);
        return kBlank;
    }
    for (int i = 0; i < p.rowCount; ++i) {
        const FullWidthRow& r = p.rows[i];
        if (b == r.lead && t >= r.lo && t <= r.hi) {
            setUnit(unit, static_cast<uint8_t>(r.first + (t - r.lo)), r.mark);
            return kOther;
        }
    }
    if (p.sjis && b == 0x81) {
        uint8_t c = isSpecialSJISCharacter(t, cparm);
        if (c != 0) {
            setUnit(unit, c, VOZ_MARK_UPPER);
            return kOther;
        }
    }
    setUnit(unit, b, t);
    return (p.korean && b >= 0xB0 && b <= 0xC9) ? kHangul : kOther;
}

// One source character at s (s < end) into unit.
CharResult convertOne(const DbcsPage& p, const uint8_t* s, const uint8_t* end,
                      VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                      const GTRCREATEPARM* cparm, uint8_t* unit) {
    const uint8_t b = *s;
    if (b < 0x20) {
        if (ctlAsBlank) {
            setUnit(unit, dbl_blank[0], dbl_blank[1]);
            return {1, kBlank};
        }
        setUnit(unit, b, VOZ_MARK_OTHER);
        return {1, kOther};
    }
    if (b < 0x80) {
        if (p.sjis && isSpecialLetter(b, cparm)) {
            setUnit(unit, b, VOZ_MARK_UPPER);
        } else {
            setUnit(unit, p.ascii[b - 0x20][0], p.ascii[b - 0x20][1]);
        }
        return {1, b == 0x20 ? kBlank : kOther};
    }
    if (p.sjis && b >= 0xA1 && b <= 0xDF) return sjisKana(s, end, cont, unit);
    if (isLead(p, b)) {
        if (s + 1 < end && isTrail(p, s[1]))
            return {2, doubleByteUnit(p, b, s[1], cparm, unit)};
        setUnit(unit, 0xFF, 0xFF);
        return {1, kOther};
    }
    setUnit(unit, b, VOZ_MARK_OTHER);
    return {1, kOther};
}

// The converter walk of every double-byte page; `join` drops the blanks
// between two Hangul syllables (Korean, not the flat form).
int32_t convertDbcs(const DbcsPage& p, bool join, const uint8_t* src,
                    const uint8_t* srcEnd, VOZ_CONTTEXT* cont,
                    uint8_t ctlAsBlank, uint8_t* out, int32_t* outLen,
                    PTRDOCNORM* map, const GTRCREATEPARM* cparm) {
    uint8_t* o = out;
    uint8_t* const limit = out + *outLen;
    uint8_t* afterHangul = nullptr;  // output just after the last syllable
    const uint8_t* s = src;
    while (s < srcEnd) {
        if (limit - o < 2) {
            *outLen = static_cast<int32_t>(o - out);
            return VOZ_CH_FULL;
        }
        vozDocNormServe(map, s, o);
        uint8_t unit[2];
        const CharResult r = convertOne(p, s, srcEnd, cont, ctlAsBlank, cparm,
                                        unit);
        s += r.consumed;
        if (join && r.kind == kHangul) {
            if (afterHangul != nullptr && o > afterHangul) {
                o = afterHangul;  // drop the blanks, join the syllable
                vozDocNormPullBack(map, o);
                unit[0] = static_cast<uint8_t>(unit[0] - 0x60);
            }
            afterHangul = o + 2;
        } else if (r.kind != kBlank) {
            afterHangul = nullptr;
        }
        o[0] = unit[0];
        o[1] = unit[1];
        o += 2;
    }
    *outLen = static_cast<int32_t>(o - out);
    return VOZ_CH_DONE;
}

char classOfUnit(const uint8_t* unit) {
    if (unit[0] == dbl_blank[0] && unit[1] == dbl_blank[1])
        return VOZ_CLASS_BLANK;
    if (unit[1] == VOZ_MARK_UPPER || unit[1] == VOZ_MARK_LOWER)
        return VOZ_CLASS_LETTER;
    return unit[1] == VOZ_MARK_DIGIT ? VOZ_CLASS_DIGIT : VOZ_CLASS_OTHER;
}

char pointNextDbcs(const DbcsPage& p, const uint8_t* text,
                   const uint8_t** next, const uint8_t* end,
                   VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                   const GTRCREATEPARM* cparm) {
    if (text >= end) {
        *next = end;
        return VOZ_CLASS_OTHER;
    }
    uint8_t unit[2];
    const CharResult r = convertOne(p, text, end, cont, ctlAsBlank, cparm,
                                    unit);
    *next = text + r.consumed;
    if (p.korean && r.kind == kHangul) {
        // Blanks before a further syllable are joined away by the converter.
        const uint8_t* s = *next;
        bool sawBlank = false;
        while (s < end) {
            uint8_t u[2];
            const CharResult b = convertOne(p, s, end, nullptr, ctlAsBlank,
                                            cparm, u);
            if (b.kind == kHangul && sawBlank) *next = s;
            if (b.kind != kBlank) break;
            sawBlank = true;
            s += b.consumed;
        }
    }
    return classOfUnit(unit);
}

bool isPlainHangul(const uint8_t* unit) {
    return unit[0] >= 0xB0 && unit[0] <= 0xC9 && unit[1] >= 0x41 &&
           unit[1] <= 0xFE;
}

bool isJoinedHangul(const uint8_t* unit) {
    return unit[0] >= 0x50 && unit[0] <= 0x69 && unit[1] >= 0x41 &&
           unit[1] <= 0xFE;
}

bool hangulAlternative(const uint8_t* unit, uint8_t* alt) {
    if (isPlainHangul(unit)) {
        setUnit(alt, static_cast<uint8_t>(unit[0] - 0x60), unit[1]);
        return true;
    }
    if (isJoinedHangul(unit)) {
        setUnit(alt, static_cast<uint8_t>(unit[0] + 0x60), unit[1]);
        return true;
    }
    return false;
}

}  // namespace

uint8_t isSpecialSJISCharacter(uint8_t trail, const GTRCREATEPARM* cparm) {
    for (int i = 0; i < 32; ++i) {
        if (SJIS_2_SPECIAL_ALPHALIST[i] == trail) {
            const uint8_t c = sjisListChar(i);
            return isSpecialLetter(c, cparm) ? c : 0;
        }
    }
    return 0;
}

// ---- converters and next-character routines ---------------------------------------

#define VOZ_DEFINE_DBCS(conv, next, page, join)                               \
    int32_t conv(const uint8_t* src, const uint8_t* srcEnd,                   \
                 VOZ_CONTTEXT* cont, uint8_t ctlAsBlank, uint8_t* out,        \
                 int32_t* outLen, PTRDOCNORM* map,                            \
                 const GTRCREATEPARM* cparm, uint8_t*) {                      \
        return convertDbcs(page, join, src, srcEnd, cont, ctlAsBlank, out,    \
                           outLen, map, cparm);                               \
    }                                                                         \
    char next(const uint8_t* text, const uint8_t** nextChar,                  \
              const uint8_t* end, VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,     \
              const GTRCREATEPARM* cparm, uint8_t*) {                         \
        return pointNextDbcs(page, text, nextChar, end, cont, ctlAsBlank,     \
                             cparm);                                          \
    }

VOZ_DEFINE_DBCS(vozConvertInto2Sjis, vozPointNextCharSjis, kSjis, false)
VOZ_DEFINE_DBCS(vozConvertInto2Big5, vozPointNextCharBig5, kBig5, false)
VOZ_DEFINE_DBCS(vozConvertInto2KOKR, vozPointNextCharKOKR, kKokr, true)
VOZ_DEFINE_DBCS(vozConvert_1381, vozPointNextChar_1381, k1381, false)
VOZ_DEFINE_DBCS(vozConvert_SCHNWIN, vozPointNextChar_SCHNWIN, kSchnWin, false)
#undef VOZ_DEFINE_DBCS

int32_t vozConvertInto2FlatKOKR(const uint8_t* src, const uint8_t* srcEnd,
                                VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                                uint8_t* out, int32_t* outLen, PTRDOCNORM* map,
                                const GTRCREATEPARM* cparm, uint8_t*) {
    return convertDbcs(kKokr, false, src, srcEnd, cont, ctlAsBlank, out,
                       outLen, map, cparm);
}

// ---- single-byte characters and sentence ends -----------------------------------

uint8_t vozGetSBCScharSjis(const uint8_t* unit) {
    return vozGetSBCSchar_DBCS(unit, tblSJIS_info);
}
uint8_t vozGetSBCScharBig5(const uint8_t* unit) {
    return vozGetSBCSchar_DBCS(unit, tblBig5_info);
}
uint8_t vozGetSBCScharKOKR(const uint8_t* unit) {
    return vozGetSBCSchar_DBCS(unit, tblKOKR_info);
}
uint8_t vozGetSBCScharSCHN(const uint8_t* unit) {
    return vozGetSBCSchar_DBCS(unit, tblSCHN_info);
}

int32_t vozSentenceEndSjis(const uint8_t* unit) {
    return unit[0] == 0x81 && unit[1] == 0x42;
}
int32_t vozSentenceEndBig5(const uint8_t* unit) {
    return unit[0] == 0xA1 && unit[1] == 0x43;
}
int32_t vozSentenceEndKOKR(const uint8_t*) { return 0; }
int32_t vozSentenceEndSCHN(const uint8_t* unit) {
    return unit[0] == 0xA1 && unit[1] == 0xA3;
}

// ---- Korean ------------------------------------------------------------------------

int32_t vozUnnormalizeKOKR(const uint8_t* units, const uint8_t* unitsEnd,
                           uint8_t flag, uint8_t* out, int32_t capacity,
                           int32_t* written, uint8_t* state) {
    int32_t n = 0;
    for (const uint8_t* u = units; u + 2 <= unitsEnd; u += 2) {
        if (flag == 0 && isJoinedHangul(u)) {
            if (capacity - n < 3) {
                *written = n;
                return VOZ_CH_FULL;
            }
            out[n++] = ' ';
            out[n++] = static_cast<uint8_t>(u[0] + 0x60);
            out[n++] = u[1];
            continue;
        }
        int32_t w = 0;
        if (vozUnnormalize(u, u + 2, flag, out + n, capacity - n, &w, state) !=
            VOZ_CH_DONE) {
            *written = n;
            return VOZ_CH_FULL;
        }
        n += w;
    }
    *written = n;
    return VOZ_CH_DONE;
}

int32_t vozSetAlterCharKOKR(RTRVWORDEXT* word, GTRSTATUS* status) {
    return vozSetAlterCharUnits(word, status, VOZ_UNIT_WIDTH,
                                hangulAlternative, 1997);
}

char vozWordStartKOKR(const uint8_t* start, const uint8_t* unit) {
    return vozWordStartUnits(start, unit, VOZ_UNIT_WIDTH, isPlainHangul,
                             isJoinedHangul);
}
