// voz_itemkey.hpp -- the key forms of character and numeric items.
//
// Index creation writes these keys for a document's items, the translation
// of item conditions builds the same keys to look them up, and the builder's
// item reader turns numeric keys back into values.
//
// Character item key (unit width w of the code page):
//   start-mark unit carrying the item number (item number, 0.., mark 10)
//   the item's text, blanks stripped at both ends, in flat units
//   end-mark unit carrying the item number (mark 11)
//
// Numeric item key (always in 2-byte units):
//   off size  field
//     0  2|3  head: item number < 128: (number, 31); else
//             (0x80 | number / 256, 31, number % 256)
//   2|3  0-8  the IEEE double, big-endian, transformed so that keys sort
//             bytewise (shorter key first on a common prefix) as the numbers
//             do: a negative number has all 8 bytes inverted, any other has
//             its sign bit set; -0.0 takes the key of +0.0
//             Trailing zero bytes are dropped and the whole key is padded
//             with a zero byte to whole units.
// These keys reach disk in the key file: never change the transform.
#ifndef VOZ_ITEMKEY_HPP
#define VOZ_ITEMKEY_HPP

#include <cstdint>

#include "characters/voz_cpinfo.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"

// Longest numeric item key: a 3-byte head, 8 value bytes, one pad byte.
constexpr int32_t VOZ_DOUBLE_KEY_MAX = 12;

// Errcode (with VOZ_RC_CHARNORM) of a character item that cannot be
// converted or does not fit the output.
constexpr int32_t VOZ_EC_CHARITEM_CONVERT = 1124;

// Builds the key of character item `itemNo` (1..254) from `text` (`textLen`
// bytes in the code page of `cp`) into `out`, whose `outSize` bytes are
// cleared first; nothing is written past them. An all-blank or empty text
// gives the two mark units. Returns the key length (also in *outLen),
// which is never 0 since a key holds at least its two marks; when the text
// does not convert or does not fit (or outSize has no room for the two
// marks) the status gets 101/1124 and the result and *outLen are 0.
// `cparm` may be NULL; the flat conversion does not read it.
int32_t vozNormalizeCharItem(int32_t itemNo, const uint8_t* text,
                             int32_t textLen, VOZ_CPINFO cp, uint8_t* out,
                             int32_t outSize, int32_t* outLen,
                             const GTRCREATEPARM* cparm, GTRSTATUS* gsp);

// Builds the key of numeric item `itemNo` (1..32767) with the value *value
// into `out` (room for VOZ_DOUBLE_KEY_MAX bytes); returns its length in
// bytes, or -1 when `width` is not 2 (the only width of numeric keys).
int32_t vozNormalizeDouble(const double* value, int32_t itemNo, int16_t width,
                           uint8_t* out);

// Reads a numeric item key of `keyLen` bytes back into *itemNo and *value
// (in the machine's byte order). Returns 0, or -1 when the key is shorter
// than its head (the outputs are then left alone). Value bytes beyond the
// eighth are ignored.
int32_t vozUnnormalizeDouble(const uint8_t* key, int32_t keyLen,
                             int32_t* itemNo, double* value);

#endif  // VOZ_ITEMKEY_HPP
