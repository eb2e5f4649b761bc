// voz_rankheap.hpp -- the ranked documents kept while a ranked search walks
// its documents, and the free runs of occurrence slots they leave behind.
//
// The answer set (ANSWERFORM) holds the kept documents in its paged array
// `ranked` as a binary heap whose root (entry 0) is the worst kept document,
// so a better newcomer evicts the root in O(log n). Its four ranking members
// are, in order: rankMembers[0] the first free occurrence run (-1 = none),
// [1] the rank threshold (uint32 kept in int32: the sort key of the worst
// kept document once the heap is full, else 0), [2] the heap's capacity in
// entries, [3] the number of kept entries.
//
// Order of documents, best first: sort_key descending (unsigned), then score
// descending, then docno ascending.
//
// Free runs: an evicted document's occurrence slots [offset, offset + n)
// are recorded in their own first slot (three 32-bit words: next run of the
// same length, next longer run, length). The list ascends by length, the
// newest run of a length first; touching free runs are always merged.
#ifndef VOZ_RANKHEAP_HPP
#define VOZ_RANKHEAP_HPP

#include <cstddef>
#include <cstdint>

#include "search/voz_searchrec.hpp"

struct GTRSTATUS;

// One kept document (24 bytes, the answer set's ranked-document entry: its
// leading 20 bytes are what the caller receives).
struct RANKDOC2 {
    int32_t docno;           // document number written to the answer
    uint32_t user_value;     // the rank callback's raw value; 0 without one
    float score;             // the document's score
    int32_t occ_offset;      // first occurrence slot in the answer's store
    int32_t occ_count;       // occurrences written there
    uint32_t sort_key;       // the callback's value, inverted on request
};
static_assert(sizeof(RANKDOC2) == sizeof(RANKDOC), "ranked entry size");
static_assert(offsetof(RANKDOC2, score) == offsetof(RANKDOC, score) &&
                  offsetof(RANKDOC2, occ_offset) == offsetof(RANKDOC, first) &&
                  offsetof(RANKDOC2, occ_count) == offsetof(RANKDOC, count),
              "ranked entry layout");

// Heap capacity at which ranking gives up (11/124).
constexpr int32_t VOZ_RANK_HEAP_MAX = 89478485;
constexpr int32_t VOZ_EC_RANK_HEAP = 124;

// True when `a` comes after `b` in rank order.
bool voz_RankWorse(const RANKDOC2& a, const RANKDOC2& b);

// The caller's sort key of `docno`: the rank callback's value (stored in
// *value), bitwise inverted when the callback record's flags have 0x80.
// Without a callback both are 0.
uint32_t voz_UserRank(uint32_t docno, const RANKPARM* rank, uint32_t* value);

// Offers `doc` to the heap of at most `limit` (>= 1) entries. Returns 0 when
// it is kept (doc->occ_offset may then name a reused run of free slots), 1
// when it is refused. An evicted document's slots become a free run. A heap
// that would reach VOZ_RANK_HEAP_MAX entries, or fails to grow: 11/124 and 1.
int voz_KeepRanking(RANKDOC2* doc, int32_t limit, ANSWERFORM* a,
                    GTRSTATUS* st);

// Makes the kept entries a heap again (after a sort by an earlier walk over
// the other half of the index).
void voz_RebuildRankHeap(ANSWERFORM* a);

// Releases the slots [offset, offset + n) into the free runs, merged with
// the free runs they touch. Ignored for n < 1 or slots not in memory.
void voz_KeepOcc(ANSWERFORM* a, int32_t offset, int32_t n);

// Takes the shortest free run of at least n slots (its tail goes back to
// the list) and returns its offset; -1 when none fits.
int32_t voz_GetOcc(ANSWERFORM* a, int32_t n);

// Sorts entries 0 .. n-1 of `heap` best first (an iterative quicksort).
void voz_SortRankDoc(_PAGEMEMCTL* heap, int32_t n, GTRSTATUS* st);

// Sorts the kept entries and cuts them to the ranking limit; *count gets
// their number.
void voz_FinishRanking(const RANKPARM* rank, ANSWERFORM* a, int32_t* count,
                       GTRSTATUS* st);

// Ends ranking; nothing is held outside the answer set.
inline void voz_TermRanking() {}

#endif  // VOZ_RANKHEAP_HPP
