// voz_wordctl.hpp -- word controls that look nothing up in the key file:
// the word without occurrences, the whole-document list (every document of
// an index half, or every VVG start) and the back reference (the hits of an
// earlier search read from a file).
//
// Word-control protocol (_WCTLHEAD, voz_searchrec.hpp): an init fills the
// control and installs its next-hit operation, which moves the word to its
// first hit at or after a (document, position) target; a negative target
// document resumes at the control's resume pair, a target document above
// 0x7FFFFFFE ends the word and frees what it holds. A word that ends, by
// running out or by an error, gets voz_GetOneWordNoOcc as next-hit
// operation and current document 0x7FFFFFFF.
//
// Back-reference file (host byte order, as the records lie in memory):
//   without header: 16-byte OCC records (voz_searchrec.hpp); the size must
//   be a multiple of 16.
//   with header: the first 32-bit word is 0xFFFFFFFF; the header is 128
//   bytes; the 32-bit word at byte 12 holds flags 0x80 (records sorted) and
//   0x40 (records are 32-bit document numbers, else OCC records); records
//   start at byte 128. A result file of type 4 (voz_answer.hpp) is one.
#ifndef VOZ_WORDCTL_HPP
#define VOZ_WORDCTL_HPP

#include <cstdint>

#include "search/voz_searchrec.hpp"

struct GTRSTATUS;
struct RTRVWORDEXT;

// Next-hit operation of a word without occurrences.
void voz_GetOneWordNoOcc(_WCTLHEAD* w, IDXINFO* index1, IDXINFO* index2,
                         ANSWERFORM* answer, int32_t doc, int32_t pos,
                         GTRSTATUS* st);

// Whole-document list of `index`: its document-list key (header slot 38),
// or its VVG key (slot 40) when the index keeps VVGs. No memory 11/801.
void voz_GetWholeDocNOInit(_WCTLHEAD* w, IDXINFO* index, ANSWERFORM* answer,
                           GTRSTATUS* st);
void voz_GetWholeDocNO(_WCTLHEAD* w, IDXINFO* index1, IDXINFO* index2,
                       ANSWERFORM* answer, int32_t doc, int32_t pos,
                       GTRSTATUS* st);

// Back reference: word->wi.wordp (wordlen bytes) is the file's path. Only a
// regular file is opened (anything else 3/804). Hits outside the answer
// set's document range [rangeLow, rangeHigh] are skipped (no answer set:
// none are). Errors: memory 11/802, 11/811, 11/812; file 804, 826, 805,
// 806, 807, 189, 187, 821; record area not a whole number of records
// 107/808, 107/809, 107/810.
void voz_GetBackRefInit(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* index,
                        ANSWERFORM* answer, GTRSTATUS* st);
// Next hit over occurrence records: read 813, record out of range 22/153,
// out of order within a document in a sorted file 22/154, a sorted file
// out of document order 107/814, buffer growth 11/157, close 815.
void voz_GetBackRef(_WCTLHEAD* w, IDXINFO* index1, IDXINFO* index2,
                    ANSWERFORM* answer, int32_t doc, int32_t pos,
                    GTRSTATUS* st);
// Next hit over document numbers: read 816, bad number 17/817, a sorted
// list out of order 17/818, buffer growth 11/822, close 819.
void voz_GetBackRefDocID(_WCTLHEAD* w, IDXINFO* index1, IDXINFO* index2,
                         ANSWERFORM* answer, int32_t doc, int32_t pos,
                         GTRSTATUS* st);

// Checks `rec` (document 0..0x7FFFFFFE, position 1..0x3FFFFFFF: else
// 22/153) against `previous` (same document with a smaller position, or
// the same position with a smaller length: 22/154).
void voz_CheckBackRef(const OCC* rec, const OCC* previous, GTRSTATUS* st);

// Sorts by document, position, length (unsigned).
void voz_SortBackRef(OCC* records, int32_t count);

#endif  // VOZ_WORDCTL_HPP
