// voz_stem_tables.cpp -- the suffix and stem tables of the English
// stemmer and the checks that a remaining stem must pass.
//
// Rows of Gobi1, StemType and Connect are stem types 0..12, columns suffix
// types 0 (no suffix), 1 "S", 2 "ED", 3 "ING", 4 "ER"/"OR"/"ERS"/"ORS",
// 5 "ION", 6 "IVE", 7 "ABLE"/"ABLED", 8 "MENT". Changing a table changes
// which keys a stemmed search finds.
#include <cstring>

#include "calls/voz_stem.hpp"

namespace {

bool isVowel(uint8_t c) {
    return c == 'A' || c == 'E' || c == 'I' || c == 'O' || c == 'U';
}
bool isConsonant(uint8_t c) { return c >= 'A' && c <= 'Z' && !isVowel(c); }

// The first k letters end with `tail` (plain letters).
bool endsWith(const uint8_t* letters, int32_t k, const char* tail) {
    const int32_t n = (int32_t)strlen(tail);
    return k >= n && memcmp(letters + k - n, tail, (size_t)n) == 0;
}

}  // namespace

const VOZSUFFIX Gobi0[VOZ_STEM_SUFFIXES] = {
    {"S", 1},   {"ED", 2},   {"ING", 3},   {"ER", 4},   {"OR", 4},
    {"ERS", 4}, {"ORS", 4},  {"ION", 5},   {"IVE", 6},  {"ABLE", 7},
    {"ABLED", 7}, {"MENT", 8}, {"", 0},
};

#define NA nullptr
const char* const Gobi1[VOZ_STEM_TYPES][VOZ_SUFFIX_TYPES] = {
    // none  S     ED    ING   ER    ION   IVE   ABLE  MENT
    {"",   "",   "",   "",   "",   NA,   NA,   NA,   NA},  // 0
    {"",   "E",  "",   "",   "",   NA,   NA,   NA,   NA},  // 1
    {"FE", "VE", NA,   NA,   NA,   NA,   NA,   NA,   NA},  // 2
    {"Y",  "IE", "I",  "Y",  "Y",  NA,   NA,   NA,   NA},  // 3
    {"E",  "E",  "",   "",   "",   NA,   NA,   NA,   NA},  // 4
    {"E",  "E",  "",   "E",  "",   NA,   NA,   NA,   NA},  // 5
    {"",   "",   "K",  "K",  "K",  NA,   NA,   NA,   NA},  // 6
    {"",   "",   "!",  "!",  "!",  NA,   NA,   NA,   NA},  // 7
    {"E",  NA,   NA,   NA,   NA,   "",   "",   "",   NA},  // 8
    {"",   NA,   NA,   NA,   NA,   "",   "",   "",   NA},  // 9
    {"E",  NA,   NA,   NA,   NA,   "AT", "AT", "",   ""},  // 10
    {"",   NA,   NA,   NA,   NA,   "AT", "AT", "",   ""},  // 11
    {"",   NA,   NA,   NA,   NA,   NA,   NA,   NA,   NA},  // 12
};
#undef NA

const uint8_t Connect[VOZ_STEM_TYPES][VOZ_SUFFIX_TYPES] = {
    {0, 1, 0, 0, 1, 0, 0, 0, 0},  // 0
    {0}, {0}, {0}, {0}, {0}, {0}, {0}, {0}, {0},
    {0, 0, 0, 0, 0, 0, 0, 1, 1},  // 10
    {0, 0, 0, 0, 0, 0, 0, 1, 1},  // 11
    {0},
};

bool vozShiin(const uint8_t* letters, int32_t k) {
    return k >= 2 && isConsonant(letters[k - 2]);
}

bool vozStemType_CH(const uint8_t* letters, int32_t k, int32_t) {
    if (endsWith(letters, k, "SH") || endsWith(letters, k, "CH") ||
        endsWith(letters, k, "S") || endsWith(letters, k, "X") ||
        endsWith(letters, k, "Z"))
        return true;
    return endsWith(letters, k, "O") && vozShiin(letters, k);
}

bool vozStemType_Usual(const uint8_t* letters, int32_t k, int32_t t) {
    return !vozStemType_CH(letters, k, t);
}

bool vozStemType_Shiin(const uint8_t* letters, int32_t k, int32_t) {
    return k >= 1 && isConsonant(letters[k - 1]);
}

bool vozStemType_Boin(const uint8_t* letters, int32_t k, int32_t) {
    return k >= 1 && isVowel(letters[k - 1]);
}

bool vozStemType_C(const uint8_t* letters, int32_t k, int32_t) {
    return endsWith(letters, k, "C");
}

// Consonant, vowel, consonant at the stem's end; before "ED", "ING" and
// "ER" the consonant is doubled (the letter after the stem repeats it).
bool vozStemType_BoinShiin(const uint8_t* letters, int32_t k, int32_t t) {
    if (k < 3 || !isConsonant(letters[k - 3]) || !isVowel(letters[k - 2]) ||
        !isConsonant(letters[k - 1]))
        return false;
    if (t == 2 || t == 3 || t == 4) return letters[k] == letters[k - 1];
    return true;
}

bool vozStemType_T(const uint8_t* letters, int32_t k, int32_t) {
    return endsWith(letters, k, "T");
}

bool vozStemType_T_SS(const uint8_t* letters, int32_t k, int32_t) {
    return endsWith(letters, k, "T") || endsWith(letters, k, "SS");
}

const VOZ_STEMCHECK_FN StemType[VOZ_STEM_TYPES] = {
    vozStemType_Usual, vozStemType_CH,        nullptr,
    vozStemType_Shiin, vozStemType_Shiin,     vozStemType_Boin,
    vozStemType_C,     vozStemType_BoinShiin, vozStemType_T,
    vozStemType_T_SS,  nullptr,               nullptr,
    nullptr,
};
