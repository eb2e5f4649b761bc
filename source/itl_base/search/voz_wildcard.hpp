// voz_wildcard.hpp -- wildcard expansion through the key index: finds the
// token keys of a mixed index whose text matches a pattern with mask units
// and writes their key numbers (key-index documents) into an answer set.
//
// In the key index a token key of L units is a document whose marked text
// is a start-mark unit (position 1), the key's units (positions 2 .. L+1)
// and an end-mark unit; its end key (header slot 0) stands at position
// L + 2. The pattern is split at its mask units into literal pieces of at
// most one key-index key; a key matches when every piece stands in it at a
// distance from its predecessor that the masks between them allow (a
// one-mask exactly one unit, an any-mask any run of units).
#ifndef VOZ_WILDCARD_HPP
#define VOZ_WILDCARD_HPP

#include <cstdint>

#include "files/voz_records.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSTATUS;

// Errcodes (retcode 11).
constexpr int32_t VOZ_EC_WILD_CONVERT = 148;
constexpr int32_t VOZ_EC_WILD_PIECES = 140;
constexpr int32_t VOZ_EC_WILD_PCTL = 141;
constexpr int32_t VOZ_EC_WILD_PCTL_GROW = 142;
constexpr int32_t VOZ_EC_WILD_TABLE = 143;
constexpr int32_t VOZ_EC_WILD_RANGES = 144;
constexpr int32_t VOZ_EC_WILD_CHOICES = 145;

// Expands `pattern` (length bytes of units of word->unit_width; mask units
// compared over that width, a mask whose first byte is 0 is none) in
// `keyIndex`. Each matching key is written as one answer entry (docno = its
// key number, the rest zero) while the answer holds fewer entries than its
// occLimit; a further matching key is left out, sets limitReached 'Y' and
// ends the expansion. The word supplies its unit width and its mark test.
void voz_WildCard(unsigned char* pattern, int32_t length, IDXINFO* keyIndex,
                  unsigned char* anyMask, unsigned char* oneMask,
                  ANSWERFORM* answer, RTRVWORDEXT* word, GTRSTATUS* st);

#endif  // VOZ_WILDCARD_HPP
