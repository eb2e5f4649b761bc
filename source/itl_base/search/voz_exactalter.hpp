// voz_exactalter.hpp -- exact lookup of a search word over an n-gram index
// when the word carries alternate characters or must begin at a word start
// (option 'S'). Every piece of the word (cut as in voz_exact.hpp) becomes a
// posting control over several keys (GCTLINFO, voz_gctl.hpp) that merges
// the postings of every key its units and their alternatives can form;
// with option 'S' a start-unit group (a begin mark, then the word's first
// unit) comes first. A hit is a (document, aligned position) on which every
// group stands; all groups of one hit share one aligned position (text
// position + base, base = word units - start unit of the piece; the
// start-unit group has base N).
//
// Calling order: voz_GetOneWordExactAlterInit -> voz_GetOneWordExactAlter
// calls (word-control protocol, voz_wordctl.hpp) -> the word ends by
// itself; a set-up for an estimate only (selectivity non-zero: postings
// left unread) is ended with voz_TermExpForSelectivityAlter.
#ifndef VOZ_EXACTALTER_HPP
#define VOZ_EXACTALTER_HPP

#include <cstdint>

#include "search/voz_searchrec.hpp"

struct GTRSTATUS;
struct RTRVWORDEXT;

// The lookup's own control (behind _WCTLHEAD::priv while the word lives).
struct VOZEXALTCTL {
    int32_t wordUnits;       // N
    int32_t groupCount;      // groups in use
    int32_t base0;           // base of group 0
    GCTLINFO* groups;        // N + 1 records; the start-unit group first
};

// True when the word's option 'S' is in force for the unit at `unit`: the
// option byte is 'S' and the word-start test is absent or does not answer
// 'N' for the text from that unit.
bool voz_StartOptionAt(const RTRVWORDEXT* word, const uint8_t* unit);

// Prepares the word. Success: w->priv holds a VOZEXALTCTL, current and
// resume document -1, resume position = base of group 0 + 1, next-hit
// voz_GetOneWordExactAlter. A group without keys gives a word without hits
// (no error). Memory 11/824 (control), 11/132 (groups); failures of the
// pattern search stay in `st`. Non-zero `selectivity` builds the groups
// without reading postings (for an estimate).
void voz_GetOneWordExactAlterInit(RTRVWORDEXT* word, _WCTLHEAD* w,
                                  IDXINFO* index, ANSWERFORM* answer,
                                  GTRSTATUS* st, int selectivity);

// Next-hit operation: the first hit at or after (doc, pos), one hit per
// call (nothing is written to `answer`): (document, start, N, 100), resume
// (document, aligned position + 1).
void voz_GetOneWordExactAlter(_WCTLHEAD* w, IDXINFO* index1, IDXINFO* index2,
                              ANSWERFORM* answer, int32_t doc, int32_t pos,
                              GTRSTATUS* st);

// Ends a set-up made for an estimate: releases every group and the control
// and sets the word to its end. A failure is copied into `st` only when
// that is still clear.
void voz_TermExpForSelectivityAlter(RTRVWORDEXT* word, _WCTLHEAD* w,
                                    IDXINFO* index, IDXINFO* index2,
                                    ANSWERFORM* answer, GTRSTATUS* st);

#endif  // VOZ_EXACTALTER_HPP
