// voz_norm_utf8.hpp -- normaliser of UTF-8 text (codes 34 and 37).
//
// UTF-8 is the engine's only code with three-byte units:
//   ASCII               '!' (0x21), folded ASCII byte, mark
//   blank               0x20 0x20 5 (space, ideographic space E3 80 80)
//   control byte        byte, 0x21, 0xFF (without the control-as-blank flag)
//   two-byte character  lead, folded second byte, mark (row tables)
//   three-byte char.    its three bytes (the third, 0x80..0xBF, is no mark);
//                       the rows E0 xx, E1 xx and EF AC..EF BF are moved to
//                       first bytes 0x60..0x7F, 0x80..0xBF and 0x2C..0x3F
//                       and carry a mark; full-width ASCII becomes ASCII
//   joined character    first byte + 0x10 (FA..FE): a character of the
//                       joining range (U+A48D..U+E7FF, Hangul among them)
//                       that followed another one across blanks only
//   four-byte character F0 A0..AF kept as its last three bytes; all others
//                       and invalid sequences FF FF FF
// Code 37 is code 34 with the Turkish rules: the ASCII I folds with the
// dotless i (C4 B1) and the ASCII i with the dotted I (C4 B0).
// Argument conventions: the routine types of voz_cpinfo.hpp.
#ifndef VOZ_NORM_UTF8_HPP
#define VOZ_NORM_UTF8_HPP

#include <cstdint>

#include "characters/voz_cpinfo.hpp"

// ---- row tables ------------------------------------------------------------
// A row of 64 characters that share all bytes but the last. The handler
// rewrites unit[0..2], which hold the character's lead, second and third
// byte on entry (third 0 for a two-byte character); `key` is the last byte.
struct VOZ_UTF8ROW;
typedef void (*VOZ_UTF8ROW_FN)(const VOZ_UTF8ROW* row, uint8_t key,
                               uint8_t* unit);
struct VOZ_UTF8ROW {
    VOZ_UTF8ROW_FN handler;
    const uint8_t (*tab2)[2];  // 64 (folded byte, mark) pairs, or null
    const uint8_t (*tab3)[3];  // 64 units, or null
    uint8_t threshold;         // GetCharFromParameterUTF8: second byte above
    uint8_t lowMark;           //   it gets highMark, else lowMark
    uint8_t highMark;
    uint8_t subtrahend;        // GetCharFromParaWithMinusUTF8
};

// (lead, second, high or low mark by the threshold).
void GetCharFromParameterUTF8(const VOZ_UTF8ROW* row, uint8_t key,
                              uint8_t* unit);
// (lead, tab2[key - 0x80]).
void GetCharFrom2BytesTableUTF8(const VOZ_UTF8ROW* row, uint8_t key,
                                uint8_t* unit);
// tab3[key - 0x80] whole (folding that changes the lead).
void GetCharFrom3BytesTableUTF8(const VOZ_UTF8ROW* row, uint8_t key,
                                uint8_t* unit);
// (second - subtrahend, third, high mark); second BA/BB: (second - 0x80,
// third, 3).
void GetCharFromParaWithMinusUTF8(const VOZ_UTF8ROW* row, uint8_t key,
                                  uint8_t* unit);
// The bytes as they stand.
void GetCharAsIsUTF8(const VOZ_UTF8ROW* row, uint8_t key, uint8_t* unit);

extern const VOZ_UTF8ROW tblUTF8_2BYTES[30];              // leads C2..DF
extern const VOZ_UTF8ROW tblUTF8_3BYTES_FROM_E18080[8];   // E1 80..E1 87
extern const VOZ_UTF8ROW tblUTF8_3BYTES_FROM_E1B880[8];   // E1 B8..E1 BF
extern const VOZ_UTF8ROW tblUTF8_3BYTES_FROM_EFB880[8];   // EF B8..EF BF

// Generated row tables (voz_cptab_uni.cpp), 64 units each.
#define VOZ_UTF8_ROWTAB(name) extern const uint8_t name[64][3];
VOZ_UTF8_ROWTAB(tblUTF8_C380_C3BF) VOZ_UTF8_ROWTAB(tblUTF8_C480_C4BF)
VOZ_UTF8_ROWTAB(tblUTF8_C580_C5BF) VOZ_UTF8_ROWTAB(tblUTF8_C680_C6BF)
VOZ_UTF8_ROWTAB(tblUTF8_C780_C7BF) VOZ_UTF8_ROWTAB(tblUTF8_C880_C8BF)
VOZ_UTF8_ROWTAB(tblUTF8_C980_C9BF) VOZ_UTF8_ROWTAB(tblUTF8_CA80_CABF)
VOZ_UTF8_ROWTAB(tblUTF8_CB80_CBBF) VOZ_UTF8_ROWTAB(tblUTF8_CC80_CCBF)
VOZ_UTF8_ROWTAB(tblUTF8_CD80_CDBF) VOZ_UTF8_ROWTAB(tblUTF8_CE80_CEBF)
VOZ_UTF8_ROWTAB(tblUTF8_CF80_CFBF) VOZ_UTF8_ROWTAB(tblUTF8_D080_D0BF)
VOZ_UTF8_ROWTAB(tblUTF8_D180_D1BF) VOZ_UTF8_ROWTAB(tblUTF8_D280_D2BF)
VOZ_UTF8_ROWTAB(tblUTF8_D380_D3BF) VOZ_UTF8_ROWTAB(tblUTF8_D480_D4BF)
VOZ_UTF8_ROWTAB(tblUTF8_D580_D5BF) VOZ_UTF8_ROWTAB(tblUTF8_D680_D6BF)
VOZ_UTF8_ROWTAB(tblUTF8_D780_D7BF) VOZ_UTF8_ROWTAB(tblUTF8_D880_D8BF)
VOZ_UTF8_ROWTAB(tblUTF8_D980_D9BF) VOZ_UTF8_ROWTAB(tblUTF8_DA80_DABF)
VOZ_UTF8_ROWTAB(tblUTF8_DB80_DBBF) VOZ_UTF8_ROWTAB(tblUTF8_DC80_DCBF)
VOZ_UTF8_ROWTAB(tblUTF8_DD80_DDBF) VOZ_UTF8_ROWTAB(tblUTF8_DE80_DEBF)
VOZ_UTF8_ROWTAB(tblUTF8_DF80_DFBF)
VOZ_UTF8_ROWTAB(tblUTF8_E0BC80_E0BCBF) VOZ_UTF8_ROWTAB(tblUTF8_E0BD80_E0BDBF)
VOZ_UTF8_ROWTAB(tblUTF8_E0BE80_E0BEBF) VOZ_UTF8_ROWTAB(tblUTF8_E0BF80_E0BFBF)
VOZ_UTF8_ROWTAB(tblUTF8_E18080_E180BF) VOZ_UTF8_ROWTAB(tblUTF8_E18180_E181BF)
VOZ_UTF8_ROWTAB(tblUTF8_E18280_E182BF) VOZ_UTF8_ROWTAB(tblUTF8_E18380_E183BF)
VOZ_UTF8_ROWTAB(tblUTF8_E18480_E184BF) VOZ_UTF8_ROWTAB(tblUTF8_E18580_E185BF)
VOZ_UTF8_ROWTAB(tblUTF8_E18680_E186BF) VOZ_UTF8_ROWTAB(tblUTF8_E18780_E187BF)
VOZ_UTF8_ROWTAB(tblUTF8_E1A080_E1A0BF) VOZ_UTF8_ROWTAB(tblUTF8_E1A180_E1A1BF)
VOZ_UTF8_ROWTAB(tblUTF8_E1A280_E1A2BF)
VOZ_UTF8_ROWTAB(tblUTF8_E1B880_E1B8BF) VOZ_UTF8_ROWTAB(tblUTF8_E1B980_E1B9BF)
VOZ_UTF8_ROWTAB(tblUTF8_E1BA80_E1BABF) VOZ_UTF8_ROWTAB(tblUTF8_E1BB80_E1BBBF)
VOZ_UTF8_ROWTAB(tblUTF8_E1BC80_E1BCBF) VOZ_UTF8_ROWTAB(tblUTF8_E1BD80_E1BDBF)
VOZ_UTF8_ROWTAB(tblUTF8_E1BE80_E1BEBF) VOZ_UTF8_ROWTAB(tblUTF8_E1BF80_E1BFBF)
VOZ_UTF8_ROWTAB(tblUTF8_EFB880_EFB8BF) VOZ_UTF8_ROWTAB(tblUTF8_EFB980_EFB9BF)
VOZ_UTF8_ROWTAB(tblUTF8_EFBB80_EFBBBF)
VOZ_UTF8_ROWTAB(tblUTF8_EFBC80_EFBCBF) VOZ_UTF8_ROWTAB(tblUTF8_EFBD80_EFBDBF)
VOZ_UTF8_ROWTAB(tblUTF8_EFBE80_EFBEBF) VOZ_UTF8_ROWTAB(tblUTF8_EFBF80_EFBFBF)
#undef VOZ_UTF8_ROWTAB

// ---- one character -----------------------------------------------------------
// What vozUTF8unit found at the start of a text.
struct VOZ_UTF8CHAR {
    uint8_t unit[3];
    int32_t srcLen;     // bytes of the text consumed (at least 1)
    int32_t seqLen;     // bytes of the encoded character: 1..4, 0 invalid
    bool joinable;      // a character of the joining range
};
// The unit of the character at text (text < end), as the converter makes it,
// the half-width kana voicing included; a voiced mark taken from the
// continuation text advances cont->text by three.
void vozUTF8unit(const uint8_t* text, const uint8_t* end, VOZ_CONTTEXT* cont,
                 uint8_t ctlAsBlank, const GTRCREATEPARM* cparm,
                 VOZ_UTF8CHAR* ch);

// ---- dispatch routines ---------------------------------------------------------
int32_t vozConvertUTF8(const uint8_t* src, const uint8_t* srcEnd,
                       VOZ_CONTTEXT* cont, uint8_t ctlAsBlank, uint8_t* out,
                       int32_t* outLen, PTRDOCNORM* map,
                       const GTRCREATEPARM* cparm, uint8_t* state);
// As vozConvertUTF8 without word joining.
int32_t vozConvertFlatUTF8(const uint8_t* src, const uint8_t* srcEnd,
                           VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                           uint8_t* out, int32_t* outLen, PTRDOCNORM* map,
                           const GTRCREATEPARM* cparm, uint8_t* state);
int32_t vozConvertUTF8TURKEY(const uint8_t* src, const uint8_t* srcEnd,
                             VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                             uint8_t* out, int32_t* outLen, PTRDOCNORM* map,
                             const GTRCREATEPARM* cparm, uint8_t* state);
int32_t vozConvertFlatUTF8TURKEY(const uint8_t* src, const uint8_t* srcEnd,
                                 VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                                 uint8_t* out, int32_t* outLen,
                                 PTRDOCNORM* map, const GTRCREATEPARM* cparm,
                                 uint8_t* state);
// Turkish rewrite of *length bytes of units in place: direction non-zero
// turns ('!' 'I' 1) into (C4 B1 1) and ('!' 'I' 2) into (C4 B0 2); 0 changes
// nothing. The length stays.
void vozConvertTurkey(uint8_t* units, int32_t* length, int32_t direction);

uint8_t vozGetSBCScharUTF8(const uint8_t* unit);   // byte 1
char vozPointNextCharUTF8(const uint8_t* text, const uint8_t** next,
                          const uint8_t* end, VOZ_CONTTEXT* cont,
                          uint8_t ctlAsBlank, const GTRCREATEPARM* cparm,
                          uint8_t* state);
int32_t vozSentenceEndUTF8(const uint8_t* unit);   // E3 80 82

// Units back into UTF-8. Flag 0: joined units come back as their plain
// character; non-zero: they are left out. Units that stand for no text
// (invalid, FF FF FF, marks of structure items) are left out.
int32_t vozUnnormalizeUTF8(const uint8_t* units, const uint8_t* unitsEnd,
                           uint8_t flag, uint8_t* out, int32_t capacity,
                           int32_t* written, uint8_t* state);
int32_t vozUnnormalizeUTF8TURKEY(const uint8_t* units, const uint8_t* unitsEnd,
                                 uint8_t flag, uint8_t* out, int32_t capacity,
                                 int32_t* written, uint8_t* state);

// Alternatives of a search word: plain <-> joined for units of the joining
// range. Allocation failure: retcode 11, errcode 1999.
int32_t vozSetAlterCharUTF8(RTRVWORDEXT* word, GTRSTATUS* status);
char vozWordStartUTF8(const uint8_t* start, const uint8_t* unit);

#endif  // VOZ_NORM_UTF8_HPP
