// voz_normline.hpp -- caller text into normalised units and back.
//
// The call layer never hands raw text to the index or the search: a
// document is normalised line by line into one unit string
// (vozNormalizeDoc), a query text or a word as one line (vozNormalizeLine,
// vozNormalizeWord), and units go back into text of the code page with
// vozUnnormalizeLine. The units, their widths and marks belong to the
// character layer (characters/voz_cpinfo.hpp).
//
// Conventions: every routine works on caller-owned buffers and never writes
// past the output size it is given; failures fill the status record (which
// these routines do not clear, except vozNormalizeWord) and leave the output
// length at the bytes that are valid.
#ifndef VOZ_NORMLINE_HPP
#define VOZ_NORMLINE_HPP

#include <cstdint>

#include "characters/voz_cpinfo.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"

// Normalisation mode bits (8-bit).
constexpr uint8_t VOZ_NORM_STRIP_LEADING = 0x80;   // ordinary and wide blanks
constexpr uint8_t VOZ_NORM_CTL_AS_BLANK = 0x40;    // handed to the conversion
constexpr uint8_t VOZ_NORM_STRIP_TRAILING = 0x20;
constexpr uint8_t VOZ_NORM_FLAT = 0x10;            // no creation parameters
constexpr uint8_t VOZ_NORM_TEXT = 0xE0;            // text words, query texts
constexpr uint8_t VOZ_NORM_ITEM = 0xF0;            // item values

// Status codes of this file (message numbers and sites; never renumber).
constexpr int32_t VOZ_EC_NORMDOC_MEMORY = 1123;
constexpr int32_t VOZ_EC_NORM_CONVERT = 1124;
constexpr int32_t VOZ_EC_UNNORM_CONVERT = 1125;

// Shift-in byte appended when units end inside a double-byte run.
constexpr uint8_t VOZ_SHIFT_IN = 0x0F;
// Mark value of a full stop that ended a line joined without a blank; the
// indexer counts such a unit as a sentence end.
constexpr uint8_t VOZ_MARK_LINE_STOP = 9;

// Normalises one line: strips it by the mode's bits 0x80 and 0x20, then
// converts the rest (flat with bit 0x10, else with `cparm`, which may be
// null) into `out`, at most `outSize` bytes. *outLen receives the bytes
// written. A line of blanks gives *outLen 0 and, when outSize > 0, a NUL in
// out[0]; no error. A conversion that fails or does not fit: 101/1124, with
// *outLen the bytes converted before it.
void vozNormalizeLine(VOZ_CPINFO cp, const uint8_t* text, int32_t length,
                      uint8_t* out, int32_t outSize, int32_t* outLen,
                      uint8_t mode, const GTRCREATEPARM* cparm,
                      GTRSTATUS* st);

// Clears *st, then normalises a word of code-page code `code` with mode
// 0xE0 (mode 1) or 0xF0 (any other mode) as vozNormalizeLine does.
void vozNormalizeWord(uint8_t code, const uint8_t* word, int32_t length,
                      uint8_t* out, int32_t outSize, int32_t* outLen,
                      int32_t mode, const GTRCREATEPARM* cparm,
                      GTRSTATUS* st);

// Normalises a whole document. *units is reallocated (realloc; the caller
// frees it, also after a failure) to length * unit width + 16 bytes and
// receives the units of all non-empty lines, joined by one blank unit where
// a line starts or the previous one ends with a single-byte letter, else
// directly; a full stop that ends a directly joined line gets mark 9.
// `bounds` (may be null) carries boundary pointers into the units; those
// not reached by any character point at the end of the units afterwards.
// Failures: no memory 11/1123 (*units unchanged), conversion 101/1124.
void vozNormalizeDoc(const uint8_t* text, int32_t length, VOZ_CPINFO cp,
                     uint8_t mode, uint8_t** units, int32_t* unitLen,
                     PTRDOCNORM* bounds, const GTRCREATEPARM* cparm,
                     GTRSTATUS* st);

// Turns `length` bytes of units back into text of the code page, at most
// `outSize` bytes. Only bit 0x10 of `mode` is used (handed to the
// unnormaliser). Units that end inside a shifted run get the shift-in byte
// 0x0F appended, counted in *outLen. Failure, also when the text or the
// appended byte does not fit: 101/1125, nothing written past outSize.
void vozUnnormalizeLine(VOZ_CPINFO cp, const uint8_t* units, int32_t length,
                        uint8_t* out, int32_t outSize, int32_t* outLen,
                        uint8_t mode, GTRSTATUS* st);

// The unnormalising step shared with GTRunnormalizeWord: as
// vozUnnormalizeLine with the unnormaliser flag given as is and the
// failure's errcode chosen by the caller. Returns false on failure.
bool vozUnnormalizeUnits(VOZ_CPINFO cp, const uint8_t* units, int32_t length,
                         uint8_t* out, int32_t outSize, int32_t* outLen,
                         uint8_t flag, int32_t errcode, GTRSTATUS* st);

#endif  // VOZ_NORMLINE_HPP
