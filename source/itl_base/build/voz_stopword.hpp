// voz_stopword.hpp -- the stop-word classes of a creation cycle: their
// registration, lookup, the stop words met in this cycle's documents, and
// the stop-word file of an index.
//
// A class keeps its words by length: for 1 to 10 units one table of
// fixed-width words packed back to back, ascending by bytes; longer words
// as NUL-terminated copies, ascending by length, then bytes. Lookups are
// binary searches. The met-words set (kept on the first class, shared by
// all) tells a first meeting (2) from a later one (4).
//
// Stop-word file "voz.STP" in the index's directory (file type 7 of the
// file naming; all integers big-endian, written field by field):
//   off               size  content
//   0                 1     number of classes K
//   1                 63    zero
//   64 + 128 * c      128   class record of class c
//   64 + 128 * K            per class: the tables of 1..10 units that are
//                           not empty (count x n x unitWidth bytes each),
//                           then the long words, each with its NUL
// Class record:
//   off  size    content
//   0    4 x 10  countByUnits for 1 .. 10 units (u32)
//   40   4       longCount
//   44   4       maxUnits
//   48   4       bytes of the long words, one NUL after each included
//   52   2       unitWidth (u16)
//   54   74      zero
//
// Ownership: the class records and all their buffers belong to the work
// block; voz_freeForCreation frees them (vozFreeStopWords).
#ifndef VOZ_STOPWORD_HPP
#define VOZ_STOPWORD_HPP

#include <cstdint>

struct CREATWRK;
struct GTRSTATUS;

constexpr int VOZ_STOP_SHORT_UNITS = 10;   // longest word kept in a table
constexpr int VOZ_STOP_HEADER_SIZE = 64;
constexpr int VOZ_STOP_CLASS_SIZE = 128;

// A stop word met in this cycle's documents.
struct VOZMETWORD {
    uint8_t* word;
    uint32_t length;            // bytes
};

// One stop-word class.
struct VOZSTOPCLASS {
    uint32_t maxUnits;          // units of the longest word
    uint32_t countByUnits[VOZ_STOP_SHORT_UNITS];  // [n - 1]: words of n
                                // units; while registering [0] counts the
                                // registered words
    uint32_t longCount;         // words over 10 units; while registering
                                // the capacity of longWords
    int16_t unitWidth;          // bytes per unit
    uint8_t* tableByUnits[VOZ_STOP_SHORT_UNITS];
    char** longWords;           // also the registration list
    uint8_t* scratch;           // maxUnits x unitWidth bytes
    VOZMETWORD* metWords;
    uint32_t* metOrder;         // indexes into metWords, by length, bytes
    uint32_t metCount;
    uint32_t metCapacity;
    uint32_t* registeredLengths;  // while registering: byte length of each
                                  // entry of the registration list
};

// Rewrites a candidate word in place before it is compared: (buffer, byte
// length, unit width).
typedef void (*VOZ_STOPNORM_FN)(uint8_t* word, int16_t length, int16_t width);

// Allocates `classes` zeroed classes (11/2218). 0 or -1.
int vozRegisterStopWordInit(CREATWRK* cwp, uint8_t classes, GTRSTATUS* st);

// Adds `length` bytes of `word` to class `cls` unless the class holds
// them already (11/2219 list, 11/2220 copy; 2/2247 a class out of range).
// 0 or -1.
int vozRegisterStopWord(CREATWRK* cwp, uint8_t cls, const char* word,
                        uint32_t length, GTRSTATUS* st);

// Builds the lookup tables of every class (11/2221, 11/2222, 11/2223) and
// marks the list to be written at commit. Words that are not a whole
// number of units, and words over 10 units holding a 0 byte (the long list
// keeps NUL-terminated words), are dropped. 0 or -1.
int vozRegisterStopWordTerm(CREATWRK* cwp, uint16_t unitWidth, GTRSTATUS* st);

// 1 when the `units` units at `word` are a stop word of class `cls`.
int vozIsStopWord(CREATWRK* cwp, uint8_t cls, const void* word,
                  uint32_t units, VOZ_STOPNORM_FN normalize);

// 1 not a stop word, 2 a stop word met for the first time in this cycle, 4
// met before; 0 with the status set when memory runs out (11/2226, 2227,
// 2228).
int vozCheckStopWord(CREATWRK* cwp, uint8_t cls, const void* word,
                     uint32_t units, VOZ_STOPNORM_FN normalize, GTRSTATUS* st);

// Writes the stop-word file of the block's target set when a list was
// registered in this cycle (3/2213, 5/2214 .. 5/2217, 10/2246). 0 or -1.
int vozWriteStopWordFile(CREATWRK* cwp, GTRSTATUS* st);

// Reads the stop-word file of the block's target set (3/2201, 4/2202,
// 11/2203 .. 11/2212, 10/2245; a file whose counts do not add up 17/2248).
// 0 or -1.
int vozReadStopWordFile(CREATWRK* cwp, GTRSTATUS* st);

// Sorts NUL-terminated words by length, then bytes.
void vozSortString(char** words, long n);

// Frees the classes and every buffer they own; clears the block's fields.
void vozFreeStopWords(CREATWRK* cwp);

#endif  // VOZ_STOPWORD_HPP
