// voz_norm_ebcdic.hpp -- normalisers of the EBCDIC code pages.
//
// Two families (codes of voz_cpinfo.hpp):
//   mixed pages 10-14 (Japanese Kana-Kanji and Latin-Kanji, traditional
//     Chinese, Korean, simplified Chinese): shift-out 0x0E and shift-in 0x0F
//     switch between single-byte and double-byte stretches; the state byte
//     (0 outside, 1 inside a double-byte stretch) is the caller's and lasts
//     across calls. Single-byte punctuation and katakana become the units of
//     their full-width double-byte forms; Korean joins Hangul syllables
//     separated only by blanks and has alternatives and word starts.
//   single-byte pages 15 (500) and 25-33 (Thai, Latin-2, Cyrillic, Turkish,
//     Greek, Hebrew, Arabic, Baltic, Estonian).
// Units are two bytes: (folded character, mark) for single-byte characters
// (Latin letters and digits carry the ASCII byte, national letters the byte
// of their lower-case form), the two code bytes for double-byte characters.
// Argument conventions: the routine types of voz_cpinfo.hpp.
#ifndef VOZ_NORM_EBCDIC_HPP
#define VOZ_NORM_EBCDIC_HPP

#include <cstdint>

#include "characters/voz_cpinfo.hpp"

// ---- tables (generated: voz_cptab_ebcdic.cpp, voz_cptab_ebcdic_kokr.cpp) ----
// Units of the bytes 0x40..0xFF, entry b - 0x40.
#define VOZ_EBCDIC_TAB(name) extern const uint8_t name[192][2];
VOZ_EBCDIC_TAB(EBCDIC_KANA_KANJI_40FF) VOZ_EBCDIC_TAB(EBCDIC_LATIN_KANJI_40FF)
VOZ_EBCDIC_TAB(EBCDIC_TCHN_40FF) VOZ_EBCDIC_TAB(EBCDIC_KOKR_40FF)
VOZ_EBCDIC_TAB(EBCDIC_SCHN_40FF)
VOZ_EBCDIC_TAB(EBCDIC_500_40FF) VOZ_EBCDIC_TAB(EBCDIC_THAI_40FF)
VOZ_EBCDIC_TAB(EBCDIC_LATIN2_40FF) VOZ_EBCDIC_TAB(EBCDIC_CYRILLIC_40FF)
VOZ_EBCDIC_TAB(EBCDIC_TURKEY_40FF) VOZ_EBCDIC_TAB(EBCDIC_GREEK_40FF)
VOZ_EBCDIC_TAB(EBCDIC_HEBREW_40FF) VOZ_EBCDIC_TAB(EBCDIC_ARABIC_40FF)
VOZ_EBCDIC_TAB(EBCDIC_BALTIC_40FF) VOZ_EBCDIC_TAB(EBCDIC_ESTONIA_40FF)
// The single-byte tables with the national letters of 0x41..0x80 marked 5:
// the byte lookup prefers the Latin letters their units share.
VOZ_EBCDIC_TAB(EBCDIC_500_40FF_CNET) VOZ_EBCDIC_TAB(EBCDIC_THAI_40FF_CNET)
VOZ_EBCDIC_TAB(EBCDIC_LATIN2_40FF_CNET) VOZ_EBCDIC_TAB(EBCDIC_CYRILLIC_40FF_CNET)
VOZ_EBCDIC_TAB(EBCDIC_TURKEY_40FF_CNET) VOZ_EBCDIC_TAB(EBCDIC_GREEK_40FF_CNET)
VOZ_EBCDIC_TAB(EBCDIC_HEBREW_40FF_CNET) VOZ_EBCDIC_TAB(EBCDIC_ARABIC_40FF_CNET)
VOZ_EBCDIC_TAB(EBCDIC_BALTIC_40FF_CNET) VOZ_EBCDIC_TAB(EBCDIC_ESTONIA_40FF_CNET)
// Per byte of the Japanese pages: second bytes (lead 0x43) of the voiced and
// the semi-voiced form of a single-byte katakana, 0 when it has none.
VOZ_EBCDIC_TAB(EBCDIC_KANA_KANJI_VOICED) VOZ_EBCDIC_TAB(EBCDIC_LATIN_KANJI_VOICED)
#undef VOZ_EBCDIC_TAB
// Korean double-byte letters: entry i is the canonical unit of row, 0x40 + i.
extern const uint8_t EBCDIC_KOKR_4340_436B[44][2];
extern const uint8_t EBCDIC_KOKR_4C40_4C9B[92][2];
extern const uint8_t EBCDIC_KOKR_4D40_4D57[24][2];
extern const uint8_t EBCDIC_KOKR_4E40_4E5B[28][2];

// The byte (0x40 + entry) whose unit in `info` equals the unit with mark 2
// read as 1, or 0 when none does. *out receives it as well.
uint8_t vozGetEbcdicChar(const uint8_t* unit, uint8_t* out,
                         const DBCS_TABLE_INFO* info);

// ---- mixed pages (10-14) ----------------------------------------------------------
#define VOZ_EBCDIC_CONVERT(name)                                              \
    int32_t name(const uint8_t* src, const uint8_t* srcEnd,                   \
                 VOZ_CONTTEXT* cont, uint8_t ctlAsBlank, uint8_t* out,        \
                 int32_t* outLen, PTRDOCNORM* map,                            \
                 const GTRCREATEPARM* cparm, uint8_t* state);
#define VOZ_EBCDIC_NEXTCHAR(name)                                             \
    char name(const uint8_t* text, const uint8_t** next, const uint8_t* end,  \
              VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,                         \
              const GTRCREATEPARM* cparm, uint8_t* state);
#define VOZ_EBCDIC_UNNORM(name)                                               \
    int32_t name(const uint8_t* units, const uint8_t* unitsEnd, uint8_t flag, \
                 uint8_t* out, int32_t capacity, int32_t* written,            \
                 uint8_t* state);

VOZ_EBCDIC_CONVERT(vozConvertEbcdicKanaKanji)
VOZ_EBCDIC_CONVERT(vozConvertEbcdicLatinKanji)
VOZ_EBCDIC_CONVERT(vozConvertEbcdicTChn)
VOZ_EBCDIC_CONVERT(vozConvertEbcdicSChn)
VOZ_EBCDIC_CONVERT(vozConvertEbcdicKOKR)
VOZ_EBCDIC_CONVERT(vozConvertFlatEbcdicKOKR)
VOZ_EBCDIC_NEXTCHAR(vozPointNextCharEbcdicKanaKanji)
VOZ_EBCDIC_NEXTCHAR(vozPointNextCharEbcdicLatinKanji)
VOZ_EBCDIC_NEXTCHAR(vozPointNextCharEbcdicChn)
VOZ_EBCDIC_NEXTCHAR(vozPointNextCharEbcdicKOKR)
uint8_t vozGetSBCScharEbcdicKanaKanji(const uint8_t* unit);
uint8_t vozGetSBCScharEbcdicLatinKanji(const uint8_t* unit);
uint8_t vozGetSBCScharEbcdicTChn(const uint8_t* unit);
uint8_t vozGetSBCScharEbcdicKOKR(const uint8_t* unit);
uint8_t vozGetSBCScharEbcdicSChn(const uint8_t* unit);
int32_t vozSentenceEndEbcdicKanji(const uint8_t* unit);   // 43 41
int32_t vozSentenceEndEbcdicTChn(const uint8_t* unit);    // 43 41
int32_t vozSentenceEndEbcdicSChn(const uint8_t* unit);    // 43 41
int32_t vozSentenceEndEbcdicKOKR(const uint8_t* unit);    // none: 0
// Units back into mixed text for pages 10, 11, 12 and 14. The state byte is
// left as the text ends (the caller closes an open stretch with 0x0F).
// Single-byte units come back as the page's byte for them.
VOZ_EBCDIC_UNNORM(vozUnnormalizeEbcdic)
// Korean: flag 0 writes a joined syllable as a blank and the syllable.
VOZ_EBCDIC_UNNORM(vozUnnormalizeEbcdicKOKR)
// Korean alternatives (plain <-> joined syllable); failure 11/1998.
int32_t vozSetAlterCharEbcdicKOKR(RTRVWORDEXT* word, GTRSTATUS* status);
char vozWordStartEbcdicKOKR(const uint8_t* start, const uint8_t* unit);

// ---- single-byte pages (15, 25-33) --------------------------------------------------
// The family routines; `table` is the page's unit table, `cnet` its _CNET table.
int32_t vozConvert_SBCSEbcdic(const uint8_t (*table)[2], const uint8_t* src,
                              const uint8_t* srcEnd, uint8_t ctlAsBlank,
                              uint8_t* out, int32_t* outLen, PTRDOCNORM* map);
char vozPointNextChar_SBCSEbcdic(const uint8_t (*table)[2],
                                 const uint8_t* text, const uint8_t** next,
                                 const uint8_t* end, uint8_t ctlAsBlank);

#define VOZ_EBCDIC_SBCS_PAGE(page)                                            \
    VOZ_EBCDIC_CONVERT(vozConvertEbcdic##page)                                \
    VOZ_EBCDIC_NEXTCHAR(vozPointNextCharEbcdic##page)                         \
    uint8_t vozGetSBCSchar_SBCSEbcdic##page(const uint8_t* unit);             \
    int32_t vozSentenceEndEbcdic##page(const uint8_t* unit);                  \
    VOZ_EBCDIC_UNNORM(vozUnnormalizeEbcdic##page)

VOZ_EBCDIC_SBCS_PAGE(500)
VOZ_EBCDIC_SBCS_PAGE(THAI)
VOZ_EBCDIC_SBCS_PAGE(LATIN2)
VOZ_EBCDIC_SBCS_PAGE(CYRILLIC)
VOZ_EBCDIC_SBCS_PAGE(TURKEY)
VOZ_EBCDIC_SBCS_PAGE(GREEK)
VOZ_EBCDIC_SBCS_PAGE(HEBREW)
VOZ_EBCDIC_SBCS_PAGE(ARABIC)
VOZ_EBCDIC_SBCS_PAGE(BALTIC)
VOZ_EBCDIC_SBCS_PAGE(ESTONIA)
#undef VOZ_EBCDIC_SBCS_PAGE
#undef VOZ_EBCDIC_CONVERT
#undef VOZ_EBCDIC_NEXTCHAR
#undef VOZ_EBCDIC_UNNORM

#endif  // VOZ_NORM_EBCDIC_HPP
