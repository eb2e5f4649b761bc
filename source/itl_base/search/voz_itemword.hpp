// voz_itemword.hpp -- equal words ('E') over an item half: the word
// control that ties the prepared parts (voz_equalword.hpp), their key
// readers (voz_itemread.hpp) and the match search (voz_equalmatch.hpp)
// together, and the boundary regions a match must lie in.
//
// Boundary regions (FORBOUNDARY), by the word's boundary mode:
//   sentence (mode 0): the postings of the sentence-boundary key (header
//       slot 0); a boundary at position b begins a new sentence at b, so
//       the region of pos is [last boundary <= pos, first boundary > pos);
//       a document without boundaries is one region from position 1;
//   position slot (mode 1): slots of eq_limit1 positions, eq_limit2 slots
//       a round, counted from each VVG's start (from position 1 without
//       VVGs); only slot eq_item_no counts (voz_SlotRegion). A VVG gives
//       at most one occurrence (its end is the region's limit).
//
// Word-control protocol as voz_wordctl.hpp says. A target before the point
// the parts have already passed re-opens every part and the boundary, so a
// word may be asked again from the start of a document; a later target
// goes on with the readers as they stand.
#ifndef VOZ_ITEMWORD_HPP
#define VOZ_ITEMWORD_HPP

#include <cstdint>

#include "search/voz_blockctl.hpp"
#include "search/voz_equalmatch.hpp"
#include "search/voz_equalword.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSTATUS;
struct RTRVWORDEXT;

// Errcodes (retcode 11; 17/301 and 11/302 come from voz_EqualPrepare).
constexpr int32_t VOZ_EC_EQ_LIST = 303;      // position list (match search)
constexpr int32_t VOZ_EC_EQ_CONTROL = 309;   // the equal-word control
constexpr int32_t VOZ_EC_EQ_BOUNDARY = 310;  // the boundary record

// The region source of one equal word.
struct FORBOUNDARY {
    IDXINFO* index;        // the item half searched
    PCTLHEAD sentence;     // on the sentence-boundary key
    VVGDOCINFO vvgInfo;    // VVG window of the position mode
    PCTLHEAD vvgPctl;      // VVG walk
    IDXINFO vvgSet;        // the walk's own file set
    int32_t slotWidth;     // eq_limit1 of the word
    int32_t slotGroup;     // eq_limit2
    int32_t slotNumber;    // eq_item_no (from 1)
    int32_t prevBoundary;  // sentence mode: last boundary <= the position
                           // asked last (1 when none)
    char open;             // 'Y' between Init and Term
};

// Sentence boundary: the control on header slot 0 of the index.
void voz_BoundaryInitSentence(FORBOUNDARY* b, GTRSTATUS* st);
// Region [*start, *end) holding (doc, pos); *limit (when asked) = 1.
void voz_BoundaryGetSentence(FORBOUNDARY* b, int32_t doc, int32_t pos,
                             int32_t* start, int32_t* end, int32_t* limit,
                             GTRSTATUS* st);
void voz_BoundaryTermSentence(FORBOUNDARY* b);

// Position slots: a VVG walk (voz_InitForVvgDoc).
void voz_BoundaryInitPosition(FORBOUNDARY* b, GTRSTATUS* st);
// Region of slot slotNumber holding (doc, pos), or the empty region at the
// next such slot; *limit (when asked) = the VVG's end.
void voz_BoundaryGetPosition(FORBOUNDARY* b, int32_t doc, int32_t pos,
                             int32_t* start, int32_t* end, int32_t* limit,
                             GTRSTATUS* st);
void voz_BoundaryTermPosition(FORBOUNDARY* b);

typedef void (*VOZ_BOUNDINIT_FN)(FORBOUNDARY* b, GTRSTATUS* st);
typedef void (*VOZ_BOUNDGET_FN)(FORBOUNDARY* b, int32_t doc, int32_t pos,
                                int32_t* start, int32_t* end, int32_t* limit,
                                GTRSTATUS* st);
typedef void (*VOZ_BOUNDTERM_FN)(FORBOUNDARY* b);
// Indexed by boundary kind: 0 sentence, 1 position slot.
extern const VOZ_BOUNDINIT_FN BoundaryInit[2];
extern const VOZ_BOUNDGET_FN BoundaryGet[2];
extern const VOZ_BOUNDTERM_FN BoundaryTerm[2];

// Sets up an equal word over the item half `index` (`index2` its key
// index, null when it has none). Success: next-hit voz_GetEqualWord,
// current and resume document -1; nothing is read yet. Failure (17/301,
// 11/302, 11/309, 11/310): next-hit voz_GetOneWordNoOcc, nothing held.
void voz_GetEqualWordInit(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* index,
                          IDXINFO* index2, ANSWERFORM* answer, GTRSTATUS* st);
// Next occurrence at or after (doc, pos) into w->cur: position of the
// match's first unit, its length in units, rank 100. Ends the word (all
// released) at its end, on a release target and on a failure (status set).
void voz_GetEqualWord(_WCTLHEAD* w, IDXINFO* index, IDXINFO* index2,
                      ANSWERFORM* answer, int32_t doc, int32_t pos,
                      GTRSTATUS* st);

#endif  // VOZ_ITEMWORD_HPP
