// voz_records.hpp -- the engine's in-memory records shared between its layers.
//
// GTRCREATEPARM (index-creation parameters, filled by the call layer and the
// builder) and RTRVWORDEXT (the engine's extended search word, built by the
// call layer and read by the search) with the alternative-character entries
// that the character layer hands to the search. The public records that
// callers fill live in voz_records_create.hpp (creation, items, key
// information) and voz_records_search.hpp (search condition, ranking,
// result, RTRVWORD); this header includes both. These records never reach
// disk as struct images: they take their natural x86-64 layout. Documents,
// positions and counts are 32-bit.
//
// Of GTRCREATEPARM and RTRVWORDEXT only the members that the layers written
// so far read are declared; later layers add theirs in the order the records
// give. Callers clear a record
// (memset 0) before they fill it, so members added later start as zero.
#ifndef VOZ_RECORDS_HPP
#define VOZ_RECORDS_HPP

#include <cstdint>

#include "files/voz_records_create.hpp"  // public records of creation
#include "files/voz_records_search.hpp"  // public records of a search, RTRVWORD
#include "files/voz_status.hpp"          // GTRSTATUS

// ---- index-creation parameters ------------------------------------------

// Unit-equivalence function of a code page: rewrites `length` bytes of
// units in place to their equivalent form; 0 when it rewrote something.
typedef int32_t (*VOZ_UNITEQUIV_FN)(uint8_t* units, int32_t length,
                                    int16_t width);
// Writes a mark unit: (unit kind, unit buffer, mark value, unit width).
typedef void (*VOZ_MARKSETUNIT_FN)(char kind, uint8_t* unit, uint8_t mark,
                                   int16_t width);

// Function that the key writer calls for each variable key: (the character
// 'X', key bytes, options byte, stored unit width); non-zero counts the key.
typedef int32_t (*VOZ_KEYCALLBACK_FN)(char kind, const uint8_t* key,
                                      uint8_t options, int16_t unitWidth);

constexpr int VOZ_SPECIAL_LETTERS_MAX = 16;  // capacity of specialLetters

struct GTRCREATEPARM {
    int16_t fixedKeyUnits;     // units in a fixed pattern
    int16_t headKeyUnits;      // units kept in a variable key's head; 0 = 3
    int16_t inputUnitWidth;    // bytes per unit handed to the pool (2 or 3)
    int16_t storedUnitWidth;   // bytes per unit stored in a key
    uint8_t options[4];        // copied into the basic information record
    uint8_t codeInfo[8];       // code-page code first; copied likewise
    int32_t sysparmArgument;   // handed to the system-parameter reader
    int32_t creationWord[2];   // kept in the creation work block
    VOZ_KEYCALLBACK_FN keyCallback;  // may be null
    int16_t storeParameter;    // -1 = 1500
    int16_t reservedShort;     // read by no layer
    int16_t storeSubParameter; // -1 = 4
    int16_t storeBlockUnit;    // -1 = 4; else 4, 8 or 16
    uint8_t storeFlag;
    uint8_t memoryScale;
    // Characters that count as letters (upper-case, mark 1) in the
    // Shift-JIS and UTF-8 converters: specialLength of specialLetters,
    // each printable ASCII punctuation.
    uint8_t specialLength;     // 0..16
    uint8_t specialLetters[VOZ_SPECIAL_LETTERS_MAX];
    // Non-zero when digits count as letters for the first-letter and
    // last-letter tests of a line (vozCHIsFirstSBCSLetter and
    // vozCHIsLastSBCSLetter).
    uint8_t digitsAsLetters;
    // The creation's unit-equivalence function (may be null: none) and the
    // mark-unit setter; keyCallback above is the matching mark-unit check.
    // The X-index build uses all three.
    VOZ_UNITEQUIV_FN unitEquivalence;
    VOZ_MARKSETUNIT_FN markSetter;
};

// ---- extended search words ----------------------------------------------

// Alternative characters of one unit of a search word. An array of these,
// one per byte of the word (entry i serves unit i), is allocated zeroed by
// the character layer's alternative routines and freed by
// vozCHsetAlterCharTerm. 132 bytes each: a 32-bit count, then up to 16
// alternatives of (unit, reserved 16-bit, weight 16-bit).
constexpr int VOZ_ALTER_MAX = 16;
constexpr int VOZ_ALTER_UNIT_BYTES = 4;

struct VOZALTERCHAR {
    uint8_t unit[VOZ_ALTER_UNIT_BYTES];  // alternative unit (unit-width bytes)
    int16_t reserved;
    int16_t weight;            // 100 for the word's first unit, 80 else
};

struct VOZALTERENTRY {
    int32_t count;             // alternatives in use, 0..16
    VOZALTERCHAR alter[VOZ_ALTER_MAX];
};
static_assert(sizeof(VOZALTERENTRY) == 132, "alternative entry is 132 bytes");

// Routines that an extended search word carries; their signatures are those
// of the character layer's cutting, word-start and mark routines and of the
// call layer's stemmer (the routines themselves live in those layers).
constexpr int32_t VOZ_STEM_MAX_BYTES = 768;    // longest word or key, bytes
constexpr int32_t VOZ_STEM_MAX_LETTERS = 384;  // letters of such a word

// The stemming record of one search word, owned by the caller.
struct STEMCTL {
    const uint8_t* word;                   // the word as normalised units
    int32_t length;                        // bytes, whole units, 1..768
    uint8_t letters[VOZ_STEM_MAX_LETTERS]; // one per unit, set by the stemmer
    int32_t count;                         // letters in use
    uint8_t marks[VOZ_STEM_MAX_LETTERS];   // 0, 'Y' or 'O' per letter
};

typedef int32_t (*VOZ_WORDCUT_FN)(uint8_t* start, uint8_t* end, int16_t width,
                                  uint8_t** partStart, uint8_t** partEnd,
                                  uint8_t** next);
typedef char (*VOZ_WORDSTARTTEST_FN)(const uint8_t* start, const uint8_t* unit);
typedef int32_t (*VOZ_WORDSTEM_FN)(STEMCTL* sc, int16_t width,
                                   int32_t* prefixLen, const uint8_t* key,
                                   int32_t keyLen, int32_t compressed,
                                   GTRSTATUS* st);
typedef int32_t (*VOZ_MARKCHK_FN)(char kind, const uint8_t* unit, uint8_t mark,
                                  int16_t width);

// Room of one normalised unit as a record field (units are 2 or 3 bytes).
constexpr int VOZ_UNIT_FIELD = 6;
// Room of a numeric item key (3-byte head, 8 value bytes, pad).
constexpr int VOZ_ITEMKEY_FIELD = 16;

// One value of a numeric set operand: its key and the key's length.
struct VOZNUMSETENTRY {
    int32_t keylen;
    uint8_t key[VOZ_ITEMKEY_FIELD];
};

// The engine's extended search word, one per operand of a search. The
// translation of a condition fills the fields down to `ordinal`; copying a
// word that holds a numeric range must set from_key and to_key again to its
// own key buffers (vozWordExtCopy does).
struct RTRVWORDEXT {
    int32_t leading;           // the record's leading 32-bit field
    RTRVWORD wi;               // the caller's word; wi.wordp holds units
    uint8_t mask_unit[2][VOZ_UNIT_FIELD];  // the two mask characters as units
    int16_t word_no;           // index of the caller's word; -1 whole document
    VOZ_WORDCUT_FN cut_function;         // cuts the word into parts
    uint8_t word_rule;                   // the index's word rule, 0 or 1
    VOZ_WORDSTARTTEST_FN word_start_function;
    VOZ_WORDSTEM_FN stem_function;       // set when wi.stemming is 1
    VOZ_MARKCHK_FN mark_check_function;  // vozCHmarkUnit_Chk
    VOZ_MARKSETUNIT_FN mark_set_function;  // vozCHmarkUnit_Set
    uint8_t start_mark[VOZ_UNIT_FIELD];  // character item: start-mark unit
    uint8_t end_mark[VOZ_UNIT_FIELD];    // character item: end-mark unit
    // Equal-word lookup of a character item ('E').
    int32_t eq_by_position;    // boundary-by-position flag
    int32_t eq_limit1;         // the two limits handed to the lookup
    int32_t eq_limit2;
    int32_t eq_item_no;        // the item number
    // Numeric set ('S'): entries allocated by the translation.
    VOZNUMSETENTRY* numset;
    int32_t numset_count;
    // Numeric range ('F'): keys in the word's own buffers.
    uint8_t* from_key;
    int32_t from_keylen;
    char from_bound;           // 'I' inclusive, 'X' exclusive
    uint8_t* to_key;
    int32_t to_keylen;
    char to_bound;
    uint8_t from_keybuf[VOZ_ITEMKEY_FIELD];
    uint8_t to_keybuf[VOZ_ITEMKEY_FIELD];
    int16_t unit_width;        // bytes per unit of the word
    int16_t ordinal;           // the word's number in the operator table
    SEARCHITEM item;           // item operand of mixed query text
    // Alternative characters of the word, or null. Set by vozCHsetAlterChar,
    // read by the search, freed by vozCHsetAlterCharTerm.
    VOZALTERENTRY* alter_chars;
    // Truncation over the mixed index: non-zero lets the word begin (front)
    // or end (rear) inside an indexed word, by at most that many units.
    int32_t front_trunc;
    int32_t rear_trunc;
};

// Copies a word; a numeric range of the copy points into the copy's own key
// buffers.
inline void vozWordExtCopy(RTRVWORDEXT* dst, const RTRVWORDEXT* src) {
    *dst = *src;
    if (src->from_key == src->from_keybuf) dst->from_key = dst->from_keybuf;
    if (src->to_key == src->to_keybuf) dst->to_key = dst->to_keybuf;
}

#endif  // VOZ_RECORDS_HPP
