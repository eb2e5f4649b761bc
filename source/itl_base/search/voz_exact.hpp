// voz_exact.hpp -- exact lookup of a search word over an n-gram index, the
// plain path (no alternate characters, no word-start option): the word is
// cut into pieces of one n-gram each, every piece is looked up as a fixed
// key, and a hit is a (document, position) where all pieces stand one after
// the other.
//
// Pieces: piece j starts at unit j x n (n = the index's n-gram length); the
// last piece, when it would run past the word end, starts at N - n instead
// (N = word units), overlapping its predecessor, never before unit 0. The
// base of a piece is N - its start unit. Positions are compared in aligned
// form (text position + base), so the pieces of one hit share one aligned
// position q, and the hit starts at q - base of the first piece. Example,
// N = 5, n = 2: pieces at units 0, 2, 3 with bases 5, 3, 2.
//
// Calling order: voz_GetOneWordExactInit (or voz_GetOneWordExactInit2 for
// a document-frequency estimate, which leaves the postings unread) ->
// next-hit calls (word-control protocol, voz_wordctl.hpp) -> the word ends
// by itself (postings exhausted, an error, a target document above
// 0x7FFFFFFE) or, after Init2, through voz_TermExpForSelectivity.
//
// Called by the word dispatch, and by lookups that search a word part as a
// key of another index.
#ifndef VOZ_EXACT_HPP
#define VOZ_EXACT_HPP

#include <cstdint>

#include "search/voz_searchrec.hpp"

struct GTRSTATUS;
struct RTRVWORDEXT;

// The lookup's own control (behind _WCTLHEAD::priv while the word lives).
// The estimate of the dispatch is the smallest docCount of pctl[0 ..
// pieceCount-1] (the document counts kept with the keys).
struct VOZEXACTCTL {
    PCTLHEAD* pctl;          // one per piece, in piece order
    int32_t pieceCount;      // pieces stepped by the next-hit operation
    int32_t termCount;       // pieces whose controls are ended at the end
    int32_t wordUnits;       // N, the word length in units
    char writeAll;           // non-zero: one call writes every hit
};

// Writes one unit of a word (wordWidth bytes) as a unit of an index
// (storedWidth bytes) at `out`: copied when the widths agree; a 3-byte unit
// of a UTF-8 word goes into 2 stored bytes as (byte 0, (byte 1 AND 63) +
// (byte 2 mod 6) x 64).
void voz_PackUnit(const uint8_t* unit, int32_t wordWidth, int32_t storedWidth,
                  uint8_t* out);

// Prepares the word (kind 'W', at least one n-gram long). Success: w->priv
// holds a VOZEXACTCTL, current and resume document -1, resume position =
// base of the first piece + 1, nextArg1 = index, next-hit
// voz_GetOneWordExact; every piece stands on its first document. A piece
// that is no key of the index gives a word without hits (no error). When
// every piece is a key without postings (a stop word) the word is empty:
// emptyFlag 1, retrieve_status bit 0x02, no hits. Keys without postings
// always set bit 0x02. Failure (memory 11/800, 11/128; key file and
// position reading): the status, nothing held, next-hit
// voz_GetOneWordNoOcc. With writeAll non-zero (and an answer set) the
// first next-hit call writes every hit into `answer` (voz_WriteOcc) and
// ends the word.
void voz_GetOneWordExactInit(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* index,
                             ANSWERFORM* answer, char writeAll,
                             GTRSTATUS* st);

// As voz_GetOneWordExactInit, without reading any posting (the controls
// hold the keys' document counts for an estimate); memory 11/827, 11/127.
// A piece that is no key leaves no control (the estimate is 0); when every
// piece is a key without postings the controls stay and emptyFlag is 1.
// The caller ends it with voz_TermExpForSelectivity.
void voz_GetOneWordExactInit2(RTRVWORDEXT* word, _WCTLHEAD* w,
                              IDXINFO* index, ANSWERFORM* answer,
                              char writeAll, GTRSTATUS* st);

// Next-hit operation: the first hit at or after (doc, pos). doc < 0
// resumes at (resumeDoc, resumePos); doc above 0x7FFFFFFE ends the word
// (frees everything); doc below the current document leaves the current
// hit; a target not past the current hit keeps it. A hit is (document,
// start, N units, match 100); resume point (document, q + 1) with q the
// aligned position. index1 null: the word's nextArg1.
void voz_GetOneWordExact(_WCTLHEAD* w, IDXINFO* index1, IDXINFO* index2,
                         ANSWERFORM* answer, int32_t doc, int32_t pos,
                         GTRSTATUS* st);

// Ends a lookup prepared for an estimate: ends every piece control
// (voz_TermPctl), frees the array and the control, clears w->priv and sets
// the word to its end. A failure of an end is copied into `st` only when
// that is still clear. Null control: nothing but the word's end.
void voz_TermExpForSelectivity(RTRVWORDEXT* word, _WCTLHEAD* w,
                               IDXINFO* index, IDXINFO* index2,
                               ANSWERFORM* answer, GTRSTATUS* st);

#endif  // VOZ_EXACT_HPP
