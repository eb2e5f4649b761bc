// voz_shortword.hpp -- search words shorter than one n-gram of the index.
// Such a word is no key: every fixed key that begins with its units holds
// some of its occurrences. The init scans those keys once, gathers every
// (document, position) of every such key into one array of SHORTOCC pairs
// (sorted when more than one key contributed; a pair reached through two
// keys is given out once), and the next-hit operation walks that array.
//
// With the word-start option 'S' a pair counts only where the start key
// (a begin-mark unit followed by the word's first unit) stands at the same
// document and position. Alternate characters: every combination of the
// units' alternatives (the word as typed first) is scanned.
//
// Calling order: voz_GetShortWordInit_ -> next-hit calls (word-control
// protocol, voz_wordctl.hpp) -> the word ends by itself (pairs exhausted,
// an error, a target document above 0x7FFFFFFE).
#ifndef VOZ_SHORTWORD_HPP
#define VOZ_SHORTWORD_HPP

#include <cstdint>

#include "search/voz_searchrec.hpp"

struct GTRSTATUS;
struct RTRVWORDEXT;

// One hit of a short word; arrays ascend by (document, position).
struct SHORTOCC {
    int32_t document;
    int32_t position;
};

// The lookup's own control (behind _WCTLHEAD::priv while the word lives).
// The dispatch's estimate is the number of runs of equal documents in
// pairs[0 .. total-1].
struct VOZSHORTCTL {
    SHORTOCC* pairs;         // the array (malloc'd; freed at the word's end)
    int32_t total;           // pairs gathered
    int32_t cursor;          // index of the next pair to give out
    int32_t keyCount;        // keys that contributed
    OCC hit;                 // hit template: len = word units, match 100
    uint8_t writeAll;        // non-zero: one call writes every hit
};

// Prepares the word (kind 'W', shorter than the index's key length).
// Success: w->priv holds a VOZSHORTCTL, current and resume document -1,
// nextArg1 = index, next-hit voz_GetShortWord. With countOnly non-zero the
// keys are counted and no pair is gathered. A prefix that no key begins
// with gives a word without pairs (no error). When every key that
// contributed has no postings (a stop word) the word is empty: emptyFlag 1,
// retrieve_status bit 0x02, no pairs. Failure (memory: control 11/820,
// pair array 11/162, key-record buffer 11/163; key file, position reading,
// array growth past the work-area ceiling 130/299): the status, nothing
// held, next-hit voz_GetOneWordNoOcc. With writeAll (and an answer set)
// the first next-hit call writes every hit into `answer` and ends the word.
void voz_GetShortWordInit_(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* index,
                           ANSWERFORM* answer, unsigned char writeAll,
                           GTRSTATUS* st, int countOnly);

// Next-hit operation: the first pair at or after (doc, pos), not equal to
// the current hit. doc < 0 resumes at the resume point; doc above
// 0x7FFFFFFE ends the word and frees the array.
void voz_GetShortWord(_WCTLHEAD* w, IDXINFO* index1, IDXINFO* index2,
                      ANSWERFORM* answer, int32_t doc, int32_t pos,
                      GTRSTATUS* st);

// Sorts pairs ascending by (document, position) in place; null or fewer
// than 2 pairs: nothing.
void voz_SortShortWord(SHORTOCC* pairs, int32_t count);

#endif  // VOZ_SHORTWORD_HPP
