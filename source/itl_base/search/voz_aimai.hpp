// voz_aimai.hpp -- fuzzy lookup of a search word over an n-gram index: the
// places where enough of the word's units stand in nearly the word's order
// with small gaps. Every n-gram of the word (one at each unit offset) is
// looked up; in a document where the present n-grams cover at least
// R = ceil(S x N / 100) of the word's N units (S = the word's similarity),
// the n-grams' positions are scanned in text order and chained into
// candidates that are scored and given out when their percentage reaches S.
//
// Scoring, per unit weight (100 for a unit as typed; with alternate
// characters the weight of the alternative that matched): the chain's
// first n-gram adds its units' weights; a later one that overlaps its
// predecessor in the text by t >= 1 units adds the weights of its units
// from t on; one that does not (t < 1) costs 2 x 100 per gap unit (the
// chain stops at a gap above 3 units) and, when it overlaps its
// predecessor in the word by w > 0 units, 1 x 100 per such unit and adds
// its units from w on, else all of them. Percentage = (6 x weights -
// penalty) x 100 / (600 x N), integer division. In one document a later
// candidate is given out only when it scores higher or ends later than the
// last hit given out.
//
// Calling order: an init -> next-hit calls (word-control protocol,
// voz_wordctl.hpp) -> the word ends by itself (postings exhausted, an
// error, a target document above 0x7FFFFFFE).
#ifndef VOZ_AIMAI_HPP
#define VOZ_AIMAI_HPP

#include <cstdint>

#include "search/voz_searchrec.hpp"

struct GTRSTATUS;
struct RTRVWORDEXT;
struct VOZAIMAIENTRY;

// The lookup's own control (behind _WCTLHEAD::priv while the word lives).
// The plain variant holds one PCTLHEAD per n-gram (absent n-grams are at
// their end); the alternates variant one GCTLINFO per n-gram that found
// keys and, with option 'S', a start-unit group per start unit 0 .. N - R.
struct VOZAIMAICTL {
    int32_t similarity;      // S
    int32_t wordUnits;       // N
    int32_t required;        // R
    int32_t lastStart;       // N - R: the last unit a chain may start at
    int32_t gramUnits;       // n-gram length
    int32_t gramCount;       // n-grams (plain: every offset)
    PCTLHEAD* pctl;          // plain: gramCount controls
    GCTLINFO* groups;        // alternates: gramCount groups
    GCTLINFO* starts;        // option 'S': lastStart + 1 groups, else null
    char* startCheck;        // per start unit 'Y': its start group decides
    VOZAIMAIENTRY* entries;  // one per n-gram, in word order
    int32_t* order;          // active list (entry indexes)
    int32_t activeCount;
    int32_t* cover;          // per word unit: active n-grams covering it
    int32_t covered;         // units with a non-zero counter
    int32_t scanDoc;         // document of the scan in progress; -1 none
    int32_t scanTarget;      // position target P of that scan
    int32_t lowerBound;      // B: start of the previous candidate + 1
    OCC last;                // the last hit given out
};

// Plain fuzzy init (word of kind 'W', similarity below 100, longer than
// one n-gram). Success: w->priv holds a VOZAIMAICTL, current and resume
// document -1, next-hit voz_GetOneWordAimai. Memory 11/823 (control),
// 11/129 (n-grams), 11/130 (order list), 11/131 (coverage counters). An
// absent n-gram never stops the lookup.
void voz_GetOneWordAimaiInit(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* index,
                             ANSWERFORM* answer, GTRSTATUS* st);

// Fuzzy init over alternate characters (and option 'S'): memory 11/825
// (control), 11/133 (start-unit groups), 11/134 (n-gram groups), 11/135
// (order list), 11/136 (coverage counters).
void voz_GetOneWordAimaiAlterInit(RTRVWORDEXT* word, _WCTLHEAD* w,
                                  IDXINFO* index, ANSWERFORM* answer,
                                  GTRSTATUS* st);

// Next-hit operations: the next hit at or after (doc, pos), (document,
// start, length in units, percentage in the match byte); doc < 0 continues
// after the last hit; doc below the current document keeps the hit.
void voz_GetOneWordAimai(_WCTLHEAD* w, IDXINFO* index1, IDXINFO* index2,
                         ANSWERFORM* answer, int32_t doc, int32_t pos,
                         GTRSTATUS* st);
void voz_GetOneWordAimaiAlter(_WCTLHEAD* w, IDXINFO* index1, IDXINFO* index2,
                              ANSWERFORM* answer, int32_t doc, int32_t pos,
                              GTRSTATUS* st);

#endif  // VOZ_AIMAI_HPP
