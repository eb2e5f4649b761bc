// voz_stem.hpp -- the English suffix stemmer.
//
// A search word with stemming matches every key that shares an English
// stem with it. The stemmer strips a fixed table of suffixes (no
// dictionary) from upper-case Latin letters and answers two questions: how
// long a prefix every matching key shares with the search word (so that the
// word lookup reads only keys with that prefix), and whether one key shares
// a stem with the analysed search word. The word lookup calls it through a
// function pointer of the type VOZ_STEM_FN.
//
// Marks: marks[k-1] = 'Y' says the first k letters are a final stem of the
// word, 'O' a stem from which further suffixes are stripped; the last
// letter always carries a mark (the word is its own stem).
#ifndef VOZ_STEM_HPP
#define VOZ_STEM_HPP

#include <cstdint>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"

constexpr int32_t VOZ_EC_STEM = 1313;          // with retcode 17

// STEMCTL, the stemming record of one search word, and its limits are the
// engine's shared records (files/voz_records.hpp).

// Stemming function as the word lookup holds it.
typedef int32_t (*VOZ_STEM_FN)(STEMCTL* sc, int16_t width, int32_t* prefixLen,
                               const uint8_t* key, int32_t keyLen,
                               int32_t compressed, GTRSTATUS* st);

// Without a key (key null): analyses sc->word (units of `width` bytes, 2,
// or 3 for UTF-8), fills letters, count and marks, stores in *prefixLen
// (may be null) the bytes of the shortest stem, and returns 0.
// With a key (keyLen bytes): returns 1 when the key shares a stem with the
// search word analysed before, else 0; `compressed` non-zero reads the key
// in the compressed form (vozUnnormalizeCompressedAlpha). An empty key
// gives 0.
// Failures, result 0 and nothing written past any buffer: null sc, null
// word, a word length outside 1..768 or below one unit, a key longer than
// 768 bytes or negative: retcode 17, errcode 1313. A status that holds an
// error after the analysis leaves *prefixLen unset.
int32_t vozStemming(STEMCTL* sc, int16_t width, int32_t* prefixLen,
                    const uint8_t* key, int32_t keyLen, int32_t compressed,
                    GTRSTATUS* st);

// The judgement of one key of keyCount letters against a search word of
// wordCount letters with its marks: 1 when they share a stem. `scratch`
// receives the key's marks (keyCount bytes). A null word gives 0.
int32_t vozJudgeStem(const uint8_t* keyLetters, int32_t keyCount,
                     uint8_t* scratch, const uint8_t* wordLetters,
                     int32_t wordCount, const uint8_t* wordMarks,
                     GTRSTATUS* st);

// 1 when the first `length` letters end with `pattern` ('!' matches any
// letter) and at least one letter stands before it; an empty pattern
// always matches.
int32_t vozTailMatch(const uint8_t* letters, int32_t length,
                     const char* pattern);

// The letter of each unit: the byte before its class mark (byte 0 of a
// 2-byte unit, byte 1 of a 3-byte unit). Returns the letters written.
int32_t vozUnnormalizeAlpha(const uint8_t* units, int32_t length,
                            uint8_t* letters, int16_t width);
// Keys in the compressed form: byte 1 of each unit, as it is below 64,
// else 64 plus its low six bits. Returns the letters written.
int32_t vozUnnormalizeCompressedAlpha(const uint8_t* units, int32_t length,
                                      uint8_t* letters, int16_t width);

// ---- tables (voz_stem_tables.cpp) -------------------------------------------
constexpr int VOZ_STEM_SUFFIXES = 13;
constexpr int VOZ_STEM_TYPES = 13;
constexpr int VOZ_SUFFIX_TYPES = 9;

struct VOZSUFFIX {
    const char* suffix;        // "" for the row without suffix
    int32_t type;              // 0..8, the column of the stem tables
};
// The suffixes in the order they are tried.
extern const VOZSUFFIX Gobi0[VOZ_STEM_SUFFIXES];
// Ending before the suffix, stripped with it: "" nothing, "!" any letter,
// nullptr where the pair does not apply.
extern const char* const Gobi1[VOZ_STEM_TYPES][VOZ_SUFFIX_TYPES];
// Check of the remaining stem of k letters for a suffix type; null: none.
typedef bool (*VOZ_STEMCHECK_FN)(const uint8_t* letters, int32_t k,
                                 int32_t suffixType);
extern const VOZ_STEMCHECK_FN StemType[VOZ_STEM_TYPES];
// The checks. Vowels are A, E, I, O, U; a consonant is any other letter A-Z.
bool vozShiin(const uint8_t* letters, int32_t k);  // letter k-2 a consonant
bool vozStemType_CH(const uint8_t* letters, int32_t k, int32_t suffixType);
bool vozStemType_Usual(const uint8_t* letters, int32_t k, int32_t suffixType);
bool vozStemType_Shiin(const uint8_t* letters, int32_t k, int32_t suffixType);
bool vozStemType_Boin(const uint8_t* letters, int32_t k, int32_t suffixType);
bool vozStemType_C(const uint8_t* letters, int32_t k, int32_t suffixType);
bool vozStemType_BoinShiin(const uint8_t* letters, int32_t k,
                           int32_t suffixType);
bool vozStemType_T(const uint8_t* letters, int32_t k, int32_t suffixType);
bool vozStemType_T_SS(const uint8_t* letters, int32_t k, int32_t suffixType);
// 1 where the stem may lose further suffixes (mark 'O').
extern const uint8_t Connect[VOZ_STEM_TYPES][VOZ_SUFFIX_TYPES];

#endif  // VOZ_STEM_HPP
