// voz_wordcalls.hpp -- the public word calls: a word into the engine's key
// form and back, outside any index, and the English stemmer on plain text.
//
// Every call clears the caller's status record on entry and reports a
// failure in it (retcode, errcode); nothing is thrown and nothing is
// allocated that outlives the call.
#ifndef VOZ_WORDCALLS_HPP
#define VOZ_WORDCALLS_HPP

#include <cstdint>

#include "files/voz_status.hpp"

// Sites of the word calls (never renumber).
constexpr int32_t VOZ_EC_NORMWORD_MODE = 2685;
constexpr int32_t VOZ_EC_UNNORMWORD_MODE = 2686;
constexpr int32_t VOZ_EC_UNNORMWORD_CONVERT = 2687;

// Normalises `word` (length bytes, code-page code 1..37) into key units in
// `out` (outSize bytes); *outLen receives their length. Mode 1: a text word
// (0xE0), mode 2: an item value (0xF0). Another mode, or a null word, output
// or length pointer: 2/2685, nothing written. Normalisation failures keep
// their codes (101/1124).
void GTRnormalizeWord(uint8_t codepage, const uint8_t* word, int32_t length,
                      uint8_t* out, int32_t outSize, int32_t* outLen,
                      int32_t mode, GTRSTATUS* gsp);

// Turns key units back into text of the code page (mode 1 plain, mode 2 the
// unnormaliser's flag 16), at most outSize bytes; *outLen receives the
// length. A key ending inside a double-byte run gets 0x0F appended, counted
// in *outLen. Another mode or a null length pointer: 2/2686; a key that
// cannot be converted or does not fit (with its 0x0F): 101/2687, nothing
// written past outSize.
void GTRunnormalizeWord(uint8_t codepage, const uint8_t* key, int32_t length,
                        uint8_t* out, int32_t outSize, int32_t* outLen,
                        int32_t mode, GTRSTATUS* gsp);

// Stems the plain single-byte `word` (NUL-terminated). Without `word2`
// (null or len2 < 1): returns the length in characters of its shortest
// stem. With it (len2 characters): 1 when word2 shares a stem with word,
// else 0. A stemmer failure (no word, a word longer than 384 characters)
// returns 0 with 17/1313 in the status; otherwise the status stays clear.
int32_t VOZStemUtil(const char* word, const char* word2, int32_t len2,
                    GTRSTATUS* gsp);

// Each of the first `length` characters of `text` becomes the unit
// (upper-case character, 3) in `units` (2 * length bytes). Nothing happens
// for a length below 1.
void UnUnnormalizeAlpha(uint8_t* units, int32_t length, const char* text);

#endif  // VOZ_WORDCALLS_HPP
