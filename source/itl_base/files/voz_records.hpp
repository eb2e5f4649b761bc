// voz_records.hpp -- the engine's in-memory records shared between its layers.
//
// GTRCREATEPARM (index-creation parameters, filled by the call layer and the
// builder), RTRVWORD (one public search word) and RTRVWORDEXT (the engine's
// extended search word, built by the call layer and read by the search) with
// the alternative-character entries that the character layer hands to the
// search. These records never reach disk as struct images: they take their
// natural x86-64 layout. Documents, positions and counts are 32-bit.
//
// Only the members that the layers written so far read are declared; later
// layers add theirs in the order the records give. Callers clear a record
// (memset 0) before they fill it, so members added later start as zero.
#ifndef VOZ_RECORDS_HPP
#define VOZ_RECORDS_HPP

#include <cstdint>

#include "files/voz_status.hpp"  // GTRSTATUS

// ---- index-creation parameters ------------------------------------------

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
};

// ---- search words -------------------------------------------------------

// One search word of a structured condition (public record).
struct RTRVWORD {
    char type;                 // 'W' word, 'B' back reference, 'D' document,
                               // 'E' equal word, 'F' from-to, 'S' number set
    char start_option;         // 0 or 'S' (must begin at a word start)
    char casesens;             // case sensitivity
    char stemming;             // 1 = English stemming
    uint8_t* wordp;            // the word's bytes (normalised units once the
                               // call layer has prepared the word)
    int16_t wordlen;           // length of wordp in bytes
    int16_t precision;         // similarity 1..100; 100 = exact
    int32_t rangenum;
    void* range;
    int16_t range_dlmno;
    int16_t fld_number;
    void* pFieldRange;
    void* pFieldWeight;
    char mask[2];
    uint8_t reserved1[2];
    int16_t weight;
    uint8_t reserved2[2];
    int32_t docfreq;
    int32_t search_flag;
    uint8_t reserved3[12];
};

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

// The engine's extended search word, one per operand of a search.
struct RTRVWORDEXT {
    int32_t leading;           // the record's leading 32-bit field
    RTRVWORD wi;               // the caller's word; wi.wordp holds units
    // Alternative characters of the word, or null. Set by vozCHsetAlterChar,
    // read by the search, freed by vozCHsetAlterCharTerm.
    VOZALTERENTRY* alter_chars;
};

#endif  // VOZ_RECORDS_HPP
