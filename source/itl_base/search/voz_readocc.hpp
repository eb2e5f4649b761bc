// voz_readocc.hpp -- reading the words' occurrences during an evaluation:
// the set-up before the document walk, the read of one word's next
// occurrence through its next-hit operation, the ordering of the words by
// current occurrence, and the end.
//
// A word's order key is its current occurrence: document, position,
// vvgMiss, vvgOverflow, then the unit length (unsigned), each ascending.
// Words whose end flag is 'Y' stand behind the active ones.
#ifndef VOZ_READOCC_HPP
#define VOZ_READOCC_HPP

#include <cstdint>

#include "search/voz_blockctl.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSTATUS;

// Reader modes of voz_ReadOcc.
constexpr int32_t VOZ_READ_NEXT = 1;        // the next occurrence
constexpr int32_t VOZ_READ_VVG_START = 2;   // first at/after the window start
constexpr int32_t VOZ_READ_VVG_END = 3;     // first at/after the window end
constexpr int32_t VOZ_READ_AFTER_MARK = 4;  // next after the last-read mark
// First in a later window: without VVGs the first occurrence of a later
// document, asked as (document + 1, 0) so that the word's list skips the
// rest of the document by its byte length; with VVGs as VOZ_READ_VVG_END.
constexpr int32_t VOZ_READ_NEXT_DOC = 5;

// Spill entries read at most at once (16 bytes each).
constexpr int32_t VOZ_READOCC_BUFFER_LIMIT = 4096;

// Prepares the words: read state reset, current occurrence cleared with
// document -1, end flag 'N', no VVG walk (a kind-'B' word in an index with
// VVGs gets its own, 11/276). When the answer set's occurrences passed its
// memory part into a spill file, a shared read buffer is shared out among
// the words whose occurrences lie there (11/262) and the spill file is
// opened for reading (3/263 with its name and errno).
void voz_InitForReadOcc(_WCTLHEAD* words, int32_t wordCount,
                        ANSWERFORM* answer, IDXINFO* index, GTRSTATUS* st);

// Moves the word to the occurrence that `mode` asks for under the window
// `info` (VOZ_READ_*), through its next-hit operation with the word's own
// next-hit arguments. At the end: end flag 'Y' and the current occurrence
// cleared with document VOZ_DOC_END. The two reader values are handed on
// unchanged (unused by the next-hit operations of this engine).
void voz_ReadOcc(_WCTLHEAD* word, int32_t mode, const VVGDOCINFO* info,
                 void* readerArg, void* vvgContext, GTRSTATUS* st);

// Frees the answer set's read buffer and closes its read file (errors
// ignored); clears every word's read counters and ends its VVG walk.
void voz_TermForReadOcc(_WCTLHEAD* words, int32_t wordCount,
                        ANSWERFORM* answer);

// Sorts order[0 .. n-1] (indexes into words) by current occurrence.
void voz_SortOccIX(const _WCTLHEAD* words, int32_t* order, int32_t n);

// Restores the order after the first n entries advanced: a word at its end
// leaves the active part (*count drops by one), any other is re-inserted
// at its place.
void voz_OccKeepOrder(int32_t* count, int32_t n, int32_t* order,
                      const _WCTLHEAD* words);

// mode != 0: true when no occurrence's document exceeds `bound`; mode 0:
// true when the documents, starting from `bound`, never decrease.
bool voz_IsResultSortedByDoc(const OCC* occs, int32_t n, uint32_t bound,
                             uint8_t mode);

#endif  // VOZ_READOCC_HPP
