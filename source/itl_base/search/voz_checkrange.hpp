// voz_checkrange.hpp -- the range check of the evaluation: the preparation
// of each word's field and block restrictions before the document walk,
// the test of one word's current occurrence against them, and their end.
//
// A word restricted to fields accepts only occurrences inside an instance
// of one of its fields (voz_fieldrange.hpp, which also gives every word and
// operator its field weights). A word with block ranges (sentence or
// paragraph numbers of a block kind) accepts only occurrences that lie
// inside one listed block; the search refuses a word restricted to both
// (a word weighted by field may have blocks, and must pass both). Every
// accepted occurrence gets the word's result weight (1.0 without
// weighting), which also becomes the word's term weight.
//
// Call order: voz_InitForCheckRange once before the walk, voz_CheckRange
// for each occurrence, voz_TermForCheckRange once after it (also after a
// failure).
#ifndef VOZ_CHECKRANGE_HPP
#define VOZ_CHECKRANGE_HPP

#include <cstdint>

#include "search/voz_blockctl.hpp"
#include "search/voz_fieldctl.hpp"
#include "search/voz_opparm.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSTATUS;

// Answers of voz_CheckRange.
constexpr int32_t VOZ_RANGE_ACCEPT = 0;
constexpr int32_t VOZ_RANGE_REJECT = 4;       // this occurrence
constexpr int32_t VOZ_RANGE_ERROR = 8;        // the status says why
constexpr int32_t VOZ_RANGE_REJECT_DOC = 16;  // no listed field left here

// Errcode (retcode 17) of a word with block ranges checked without a
// block table.
constexpr int32_t VOZ_EC_RANGE_RESTRICTED = 1452;

// Clears the block table (VOZ_BLOCK_KINDS pointers), opens one block
// reader per block kind that a word's ranges name (no memory 11/259; a
// kind outside 0..40 17/258), then sets up fields and weights
// (voz_InitForCheckFieldRange) with `mfc` as the words' field control.
void voz_InitForCheckRange(IDXINFO* index, _WCTLHEAD* words,
                           BLOCKCTL** blocks, int32_t wordCount,
                           OPPARM* ops, int32_t opCount, MULTIFIELDCTRL* mfc,
                           RANKPARM* rank, GTRSTATUS* st);

// Tests the word's current occurrence: VOZ_RANGE_ACCEPT (the word's result
// weight is set, becomes its term weight and is added to its accumulated
// weight), VOZ_RANGE_REJECT (outside the word's fields or blocks, or
// running past its field's or block's end; when a whole stretch can be
// passed, the word's last-read mark is set so that its next read after the
// mark starts behind it), VOZ_RANGE_REJECT_DOC (none of the word's fields
// occurs later in this document), or VOZ_RANGE_ERROR (a field key's or
// block reader's failure).
int32_t voz_CheckRange(IDXINFO* index, _WCTLHEAD* word, BLOCKCTL** blocks,
                       MULTIFIELDCTRL* mfc, VVGDOCINFO* info, GTRSTATUS* st);

// Ends and frees every block control of the table, then every field table
// and field control (voz_TermForCheckFieldRange); the first failure is kept
// only when the status is clear.
void voz_TermForCheckRange(_WCTLHEAD* words, int32_t wordCount, OPPARM* ops,
                           int32_t opCount, BLOCKCTL** blocks,
                           MULTIFIELDCTRL* mfc, GTRSTATUS* st);

#endif  // VOZ_CHECKRANGE_HPP
