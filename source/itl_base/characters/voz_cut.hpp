// voz_cut.hpp -- operations over normalised units and raw text.
//
// Cutting a unit string into parts (words) by the class marks, marking
// letters case-insensitive, blank stripping of raw text (with the shift state
// of the mixed EBCDIC pages), first blank, comparing and copying one
// character's unit, the special units of structure items and numbers, and
// the letter tests at the edges of a line. The builder, the search and the
// call layer call them; everything works on the caller's buffers, allocates
// nothing and keeps no state. Units and marks: see voz_cpinfo.hpp.
#ifndef VOZ_CUT_HPP
#define VOZ_CUT_HPP

#include <cstdint>

#include "characters/voz_cpinfo.hpp"

// Longest part the cut hands out, in units.
constexpr int VOZ_PART_MAX_UNITS = 128;

// ---- cutting -----------------------------------------------------------------
typedef bool (*VOZ_UNITPRED_FN)(const uint8_t* unit, int16_t width);
// Signature of the cutting routines of Func_CutIntoPart: (start, end, width,
// out part start, out part end, out next start); 1 when a part was found at
// the start, 0 when the stretch before the next part is handed out instead.
typedef int32_t (*VOZ_CUT_FN)(uint8_t* start, uint8_t* end, int16_t width,
                              uint8_t** partStart, uint8_t** partEnd,
                              uint8_t** next);

// General cut. With end not above start only *partEnd is set (to start); a
// width below 2 gives the whole stretch; less than one whole unit gives an
// empty stretch at start and *next = end. Units of width 3 with Turkish I
// letters are rewritten in place (see voz_cut.cpp).
int32_t vozCutIntoPart(uint8_t* start, uint8_t* end, int16_t width,
                       uint8_t** partStart, uint8_t** partEnd, uint8_t** next,
                       VOZ_UNITPRED_FN partTest, VOZ_UNITPRED_FN skipTest);
int32_t vozCHcutIntoPartAlpha(uint8_t* start, uint8_t* end, int16_t width,
                              uint8_t** partStart, uint8_t** partEnd,
                              uint8_t** next);
int32_t vozCHcutIntoPartAlphaNum(uint8_t* start, uint8_t* end, int16_t width,
                                 uint8_t** partStart, uint8_t** partEnd,
                                 uint8_t** next);
int32_t vozCHcutIntoPartAsis(uint8_t* start, uint8_t* end, int16_t width,
                             uint8_t** partStart, uint8_t** partEnd,
                             uint8_t** next);
// Indexed by the index's word rule: 0 letters, 1 letters and digits.
extern const VOZ_CUT_FN Func_CutIntoPart[2];

// Unit tests on the mark (last byte) of a unit.
bool vozIsAlpha(const uint8_t* unit, int16_t width);          // 1, 2, 3, 7
bool vozIsAlphaNum(const uint8_t* unit, int16_t width);       // and 6
bool vozIsTokenChar_Item(const uint8_t* unit, int16_t width); // 1, 2, 3
bool vozIsBlank(const uint8_t* unit, int16_t width);  // 0x20 ... mark 5
bool vozAlwaysFalse(const uint8_t* unit, int16_t width);
bool vozIsAlphaVarUTF8(const uint8_t* unit, int16_t width);   // mark >= 0x40
bool vozCHalphaNum(VOZ_CPINFO cp, const uint8_t* unit);

// Turkish I units of UTF-8: '!' 'I' 1, '!' 'I' 2, C4 B1 1, C4 B0 2.
extern const uint8_t turkeytable[4][3];

// ---- case ----------------------------------------------------------------------
typedef void (*VOZ_MARKSET_FN)(uint8_t* unit, int16_t width);
void vozSetCaseInsensMark(uint8_t* unit, int16_t width);        // mark 3
void vozSetCaseInsensMarkVarUTF8(uint8_t* unit, int16_t width); // 0xC0|m&63
// Marks letter units (letterTest) with setMark; 0 when some unit was marked,
// else 4. Width 3 strings with a C4/C5 unit follow the Turkish rules.
int32_t vozCaseInsensAlpha(uint8_t* units, int32_t length, int16_t width,
                           VOZ_UNITPRED_FN letterTest, VOZ_MARKSET_FN setMark);
int32_t vozCHcaseInsensAlpha(uint8_t* units, int32_t length, int16_t width);
int32_t vozSeemAsSameUnitVarUTF8(uint8_t* units, int32_t length,
                                 int16_t width);

// ---- blanks --------------------------------------------------------------------
constexpr uint8_t VOZ_STRIP_LEADING_ALL = 0x80;  // spaces/wide blanks too
constexpr uint8_t VOZ_STRIP_TRAILING = 0x20;     // strip the end as well
// First non-blank byte of [text, end) into *first and the end of the
// non-blank part into *last; both null when the text has no non-blank byte.
void vozCHstripBlank(const uint8_t* text, const uint8_t* end, uint8_t code,
                     uint8_t option, const uint8_t** first,
                     const uint8_t** last, uint8_t* shiftState);
void vozStripBlank(const uint8_t* text, const uint8_t* end, uint8_t option,
                   const uint8_t** first, const uint8_t** last,
                   uint8_t blankLimit, const uint8_t* wideBlank,
                   int wideBlankLength);
void vozStripBlankEbcdic(const uint8_t* text, const uint8_t* end,
                         uint8_t option, const uint8_t** first,
                         const uint8_t** last, uint8_t blankByte,
                         const uint8_t* wideBlank, uint8_t* shiftState);
// From *offset on, the offset of the first blank unit (or the first offset
// not below end).
void vozCHpointFirstBlank(VOZ_CPINFO cp, const uint8_t* units,
                          int32_t* offset, int32_t end);
void vozPointFirstBlankKOKR(const uint8_t* units, int32_t* offset, int32_t end);
void vozPointFirstBlankEbcdicKOKR(const uint8_t* units, int32_t* offset,
                                  int32_t end);
void vozPointFirstBlankUTF8(const uint8_t* units, int32_t* offset,
                            int32_t end);

// ---- single units ----------------------------------------------------------------
// 0 when the unit equals the unit of the character ch; 1 otherwise, also
// when ch cannot be normalised.
int32_t vozCHcmp(VOZ_CPINFO cp, const uint8_t* unit, uint8_t ch,
                 const GTRCREATEPARM* cparm);
// Writes the unit of ch at dest (vozCHlen bytes; nothing when it fails).
void vozCHcpy(VOZ_CPINFO cp, uint8_t* dest, uint8_t ch,
              const GTRCREATEPARM* cparm);
// Kinds 'B', 'S', 'E' mark byte 0, other kinds the unit's last byte
// (inline: the builder checks every unit of a document).
inline int vozCHmarkUnitByte(char kind, int16_t width) {
    return kind == 'B' || kind == 'S' || kind == 'E' ? 0 : width - 1;
}
inline void vozCHmarkUnit_Set(char kind, uint8_t* unit, uint8_t mark,
                              int16_t width) {
    unit[vozCHmarkUnitByte(kind, width)] = mark;
}
inline int32_t vozCHmarkUnit_Chk(char kind, const uint8_t* unit, uint8_t mark,
                                 int16_t width) {
    return unit[vozCHmarkUnitByte(kind, width)] == mark ? 1 : 0;
}
void vozCHsetCharItem_StartMark(int16_t width, uint8_t* unit, uint8_t ch);
void vozCHsetCharItem_EndMark(int16_t width, uint8_t* unit, uint8_t ch);
// Head unit of a number: bytes used (2 or 3), -1 unless width is 2. The
// unit needs 3 bytes of room for values of 128 or more.
int32_t vozCHdoubleHead_Set(uint8_t* unit, uint16_t value, int16_t width);

// ---- letters at the edges of a line --------------------------------------------
// 1 when the text starting at `text` begins with a single-byte letter (or a
// digit when cparm says digits count as letters).
int32_t vozCHIsFirstSBCSLetter(uint8_t code, const uint8_t* text,
                               const uint8_t** next, const uint8_t* end,
                               VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                               const GTRCREATEPARM* cparm, uint8_t* state);
// 1 when the last unit of a line (lastUnit, width bytes) stands for a
// single-byte letter (or an allowed digit). rawLast is the raw byte the
// unit came from on codes other than 34 and 37 (ignored on those).
int32_t vozCHIsLastSBCSLetter(VOZ_CPINFO cp, uint8_t rawLast,
                              const uint8_t* lastUnit, int16_t width,
                              uint8_t ctlAsBlank, const GTRCREATEPARM* cparm,
                              uint8_t* state);

#endif  // VOZ_CUT_HPP
