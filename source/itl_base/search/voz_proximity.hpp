// voz_proximity.hpp -- proximity scores of operators of sub-kind 'P': how
// close together, in query order and at the expected distances, the
// operands occur in the current document. The operator evaluation stores
// the score (0..1) in the operator's `prox`; ranking blends it into the
// operator's score with the proximity share.
//
// The search picks at most one occurrence per operand, depth-first in query
// order: each next pick lies within 1000 positions of the previous pick and
// overlaps no pick; an operand may be skipped while at least two stay in.
// A choice of c occurrences with summed gap deviation G (against the gap
// units the query expects between neighbours) and order factor P scores
// c x 100 / (G + 100) x P / operands.
#ifndef VOZ_PROXIMITY_HPP
#define VOZ_PROXIMITY_HPP

#include <cstdint>

#include "search/voz_opparm.hpp"
#include "search/voz_searchrec.hpp"

// The proximity options: the ranking parameters' weight table read as its
// first two floats.
struct PROXIMITY_OPTION {
    float order_penalty;     // taken off (over operands - 1) for each
                             // neighbouring pair in reverse query order
    float prox_share;        // share of the proximity score in the
                             // operator's score, 0..1
};

// The options of `rank`; both 0 without ranking parameters or weight table.
PROXIMITY_OPTION voz_ProximityOptions(const RANKPARM* rank);

// Best proximity score of operator `op` over the document's occurrences
// occ/supp[0 .. nocc-1] (candidates: enabled, of one of the operands, len
// above 0), at least `start`; 0 for fewer than 2 operands. The operands'
// `hit` and `gapUnits` are read through op->opnd_recs; `nodes` is unused
// beyond them.
float voz_ProximityRanking(_WCTLHEAD* nodes, const OCC* occ,
                           const OCCSUPP* supp, int32_t nocc, const OPPARM* op,
                           const RANKPARM* rank, float start);

#endif  // VOZ_PROXIMITY_HPP
