// voz_norm_dbcs.hpp -- normalisers of the ASCII-based double-byte pages.
//
// Shift-JIS (code 1), Big5 (2), Korean (3) and the two simplified Chinese
// pages (4: 1381, 9: the Windows page) share one pattern: a valid lead and
// trail byte form a double-byte character, kept as its two bytes except
// that the wide blank becomes the blank unit and full-width digits and Latin
// letters become the ASCII units; ASCII punctuation becomes the unit of its
// full-width form, so half- and full-width forms of a character match.
// Shift-JIS also turns half-width katakana into full-width units (combining
// voiced marks) and honours the special letters; Korean joins Hangul
// syllables separated only by blanks (the second one's lead minus 0x60) and
// has alternative characters and word starts. Argument conventions: see the
// routine types in voz_cpinfo.hpp.
#ifndef VOZ_NORM_DBCS_HPP
#define VOZ_NORM_DBCS_HPP

#include <cstdint>

#include "characters/voz_cpinfo.hpp"

// Units of 0x20..0x7F of each page; Shift-JIS half-width 0xA0..0xDF.
extern const uint8_t SJIS_2080[96][2];
extern const uint8_t big5_2080[96][2];
extern const uint8_t KOKR_2080[96][2];
extern const uint8_t SCHN_2080[96][2];
extern const uint8_t tblA0E0[64][2];
// Second bytes (lead 0x81) of the Shift-JIS full-width forms of the ASCII
// punctuation 0x21-0x2F, 0x3A-0x40, 0x5B-0x60, 0x7B-0x7E, in that order.
extern const uint8_t SJIS_2_SPECIAL_ALPHALIST[32];

extern const DBCS_TABLE_INFO tblSJIS_info[], tblBig5_info[], tblKOKR_info[],
    tblSCHN_info[];

// The ASCII character whose full-width form is 81 `trail` and that is one of
// the special letters of cparm, or 0.
uint8_t isSpecialSJISCharacter(uint8_t trail, const GTRCREATEPARM* cparm);

#define VOZ_DECLARE_CONVERT(name)                                             \
    int32_t name(const uint8_t* src, const uint8_t* srcEnd,                   \
                 VOZ_CONTTEXT* cont, uint8_t ctlAsBlank, uint8_t* out,        \
                 int32_t* outLen, PTRDOCNORM* map,                            \
                 const GTRCREATEPARM* cparm, uint8_t* state);
#define VOZ_DECLARE_NEXTCHAR(name)                                            \
    char name(const uint8_t* text, const uint8_t** next, const uint8_t* end,  \
              VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,                         \
              const GTRCREATEPARM* cparm, uint8_t* state);

VOZ_DECLARE_CONVERT(vozConvertInto2Sjis)
VOZ_DECLARE_CONVERT(vozConvertInto2Big5)
VOZ_DECLARE_CONVERT(vozConvertInto2KOKR)
VOZ_DECLARE_CONVERT(vozConvertInto2FlatKOKR)
VOZ_DECLARE_CONVERT(vozConvert_1381)
VOZ_DECLARE_CONVERT(vozConvert_SCHNWIN)

VOZ_DECLARE_NEXTCHAR(vozPointNextCharSjis)
VOZ_DECLARE_NEXTCHAR(vozPointNextCharBig5)
VOZ_DECLARE_NEXTCHAR(vozPointNextCharKOKR)
VOZ_DECLARE_NEXTCHAR(vozPointNextChar_1381)
VOZ_DECLARE_NEXTCHAR(vozPointNextChar_SCHNWIN)
#undef VOZ_DECLARE_CONVERT
#undef VOZ_DECLARE_NEXTCHAR

uint8_t vozGetSBCScharSjis(const uint8_t* unit);
uint8_t vozGetSBCScharBig5(const uint8_t* unit);
uint8_t vozGetSBCScharKOKR(const uint8_t* unit);
uint8_t vozGetSBCScharSCHN(const uint8_t* unit);

int32_t vozSentenceEndSjis(const uint8_t* unit);   // 81 42
int32_t vozSentenceEndBig5(const uint8_t* unit);   // A1 43
int32_t vozSentenceEndKOKR(const uint8_t* unit);   // none: always 0
int32_t vozSentenceEndSCHN(const uint8_t* unit);   // A1 A3

// Korean: as vozUnnormalize, but with flag 0 a joined Hangul unit comes
// back as a space followed by the syllable.
int32_t vozUnnormalizeKOKR(const uint8_t* units, const uint8_t* unitsEnd,
                           uint8_t flag, uint8_t* out, int32_t capacity,
                           int32_t* written, uint8_t* state);
// Korean alternatives (plain <-> joined Hangul); allocation failure 11/1997.
int32_t vozSetAlterCharKOKR(RTRVWORDEXT* word, GTRSTATUS* status);
char vozWordStartKOKR(const uint8_t* start, const uint8_t* unit);

#endif  // VOZ_NORM_DBCS_HPP
