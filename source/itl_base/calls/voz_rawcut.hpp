// voz_rawcut.hpp -- cutting raw text of a code page into the parts by which
// the index counts positions.
//
// The index counts positions by characters of the caller's text as these
// routines cut it: a part is either a run of letters (under the word rule
// 1: letters and digits), at most 128 characters, or the stretch of other
// characters before the next run, whose leading blanks and shift characters
// count nothing and which ends after its last character that is neither a
// blank nor a shift character. The hit offsets of a search are measured by
// the same cutting, so the two must never differ.
#ifndef VOZ_RAWCUT_HPP
#define VOZ_RAWCUT_HPP

#include <cstdint>

#include "characters/voz_cpinfo.hpp"
#include "files/voz_records.hpp"

// Longest run of letters that one part takes, in characters.
constexpr int32_t VOZ_RAWPART_MAX = 128;

// Cuts the next part of [start, end) in code page `code`. `cont` is handed
// to the character stepping while leading blanks are skipped (may be null);
// bit 0x40 of `option` to every step. On return *partStart..*partEnd is the
// part and *next where the next part begins; *state (in/out) is the shift
// state at *next, *stateAtPartEnd (may be null) the one at *partEnd.
// Returns the part's length in characters; 0 when there is none (then
// *partStart = *partEnd = *next, at the end or at the next run).
// REQUIRES: state != nullptr.
typedef int32_t (*VOZ_RAWCUT_FN)(const uint8_t* start, const uint8_t* end,
                                 VOZ_CONTTEXT* cont, uint8_t code,
                                 uint8_t option, const uint8_t** partStart,
                                 const uint8_t** partEnd,
                                 const uint8_t** next,
                                 const GTRCREATEPARM* cparm, uint8_t* state,
                                 uint8_t* stateAtPartEnd);

// Runs of letters only.
int32_t vozCutIntoPartRawA(const uint8_t* start, const uint8_t* end,
                           VOZ_CONTTEXT* cont, uint8_t code, uint8_t option,
                           const uint8_t** partStart, const uint8_t** partEnd,
                           const uint8_t** next, const GTRCREATEPARM* cparm,
                           uint8_t* state, uint8_t* stateAtPartEnd);
// Runs of letters and digits.
int32_t vozCutIntoPartRawAN(const uint8_t* start, const uint8_t* end,
                            VOZ_CONTTEXT* cont, uint8_t code, uint8_t option,
                            const uint8_t** partStart, const uint8_t** partEnd,
                            const uint8_t** next, const GTRCREATEPARM* cparm,
                            uint8_t* state, uint8_t* stateAtPartEnd);

// Indexed by the index's word rule: 0 vozCutIntoPartRawA, 1 ...RawAN.
extern const VOZ_RAWCUT_FN Func_CutIntoPartRaw[2];

#endif  // VOZ_RAWCUT_HPP
