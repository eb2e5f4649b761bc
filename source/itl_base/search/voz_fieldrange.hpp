// voz_fieldrange.hpp -- field restrictions and field weights of a search's
// words and operators: the per-word field tables, the normalisation of the
// weights through the operator tree, the field controls they need, the
// test of one word's current occurrence, and the end.
//
// Inputs (copied into each control by the evaluation driver): a single
// field number (fieldNumber, no fieldRanges), or a range list (fieldRanges
// with fieldNumber entries; a range starting at field 0 covers the fields
// from 1); a weight list (fieldWeights, fieldWeightCount entries, each a
// range of fields and its weight in percent; an entry starting at field 0
// sets the default weight) or, without one, the word's plain weight.
//
// Weighted mode (the search ranks with bit 0 of its rank flags): each
// listed field carries a weight; a word with a weight list but no range
// list may also match outside its fields, at its default weight. Weights
// are normalised so that the largest weight that any occurrence of the
// query can get is 1.0. Unweighted, every accepted occurrence weighs 1.0.
//
// Results per control: fieldArray/fieldCount (the fields that exist in the
// index), defaultWeight, maxFieldWeight, outsideAllowed, wordWeight and
// maxWeight; per operator with a field list: its own MULTIFIELDCTRL
// (OPPARM::field_ctl, one evaluation pass per field) and extra_pass (a
// last pass over the whole text). A word whose listed fields are all
// absent from the index and that has no default weight yields no
// occurrences.
#ifndef VOZ_FIELDRANGE_HPP
#define VOZ_FIELDRANGE_HPP

#include <cstdint>

#include "search/voz_blockctl.hpp"
#include "search/voz_fieldctl.hpp"
#include "search/voz_opparm.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSTATUS;

// Errcodes (retcode 11).
constexpr int32_t VOZ_EC_FIELDARRAY_ALLOC = 862;  // a word's field table
constexpr int32_t VOZ_EC_OPFIELD_ALLOC = 863;     // an operator's control

// Builds the tables, the controls (`mfc` for the words, one per operator
// with a field list) and the normalised weights. `words` holds wordCount
// word controls; operator controls are reached through ops[i].node_rec. On
// failure the status is set; voz_TermForCheckFieldRange releases what was
// made in any case.
void voz_InitForCheckFieldRange(IDXINFO* index, OPPARM* ops, int32_t opCount,
                                _WCTLHEAD* words, int32_t wordCount,
                                MULTIFIELDCTRL* mfc, RANKPARM* rank,
                                GTRSTATUS* st);

// Tests the word's current occurrence against its field table (REQUIRES:
// fieldCount > 0). 0 accept (resultWeight set: the field's normalised
// weight, or the word weight outside fields or unweighted), 4 reject, 16
// reject with no listed field left in this document, 8 on a failure.
int32_t voz_CheckFieldRangeForOneTerm(IDXINFO* index, _WCTLHEAD* word,
                                      BLOCKCTL** blocks, MULTIFIELDCTRL* mfc,
                                      VVGDOCINFO* info, GTRSTATUS* st);

// Frees every table and ends every field control (the first failure is
// kept when the status is clear). Safe after a failed or partial set-up.
void voz_TermForCheckFieldRange(_WCTLHEAD* words, int32_t wordCount,
                                OPPARM* ops, int32_t opCount,
                                MULTIFIELDCTRL* mfc, GTRSTATUS* st);

#endif  // VOZ_FIELDRANGE_HPP
