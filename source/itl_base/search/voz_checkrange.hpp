// voz_checkrange.hpp -- the range check of the evaluation: the preparation
// of each word's field and block restrictions before the document walk,
// the test of one word's current occurrence against them, and their end.
//
// This file serves words without field restrictions: such a word has no
// field table and occurrences outside fields count. A word with block
// ranges (sentence or paragraph numbers of a block kind) accepts only
// occurrences that lie inside one listed block; every accepted occurrence
// gets the word's weight (1.0 without ranking). The search refuses words
// restricted to fields before it evaluates; the check reports one that
// reaches it as an error rather than ignoring the restriction.
//
// Call order: voz_InitForCheckRange once before the walk, voz_CheckRange
// for each occurrence, voz_TermForCheckRange once after it (also after a
// failure).
#ifndef VOZ_CHECKRANGE_HPP
#define VOZ_CHECKRANGE_HPP

#include <cstdint>

#include "search/voz_blockctl.hpp"
#include "search/voz_opparm.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSTATUS;

// Posting control of one registered field-number key.
struct FIELDCTRL {
    uint16_t field;          // field number
    PCTLHEAD* pctl;          // its key's posting control; null until
                             // registration ends
};

// One field a word may match.
struct FIELDARRAY {
    uint16_t field;          // field number
    int16_t weight;          // weight in percent
    float normWeight;        // normalised weight
};

// The field controls of a search or of one operator (cleared at start).
struct MULTIFIELDCTRL {
    PCTLHEAD* fieldPctl;     // one control per registered field
    int32_t fieldCount;      // entries of fieldTable
    int32_t fieldCapacity;   // allocated entries of fieldTable
    FIELDCTRL* fieldTable;   // ascending by field number
    char weighted;           // non-zero when field weights apply
};

// Answers of voz_CheckRange.
constexpr int32_t VOZ_RANGE_ACCEPT = 0;
constexpr int32_t VOZ_RANGE_REJECT = 4;       // this occurrence
constexpr int32_t VOZ_RANGE_ERROR = 8;        // the status says why
constexpr int32_t VOZ_RANGE_REJECT_DOC = 16;  // no listed field left here

// Errcode (retcode 17) of a word whose field or block restriction reached
// a range check that does not serve restrictions.
constexpr int32_t VOZ_EC_RANGE_RESTRICTED = 1452;

// Clears the block table (VOZ_BLOCK_KINDS pointers) and `mfc`, gives
// every word its weights (1.0) with occurrences outside fields allowed, and
// opens one block reader per block kind that a word's ranges name (no
// memory 11/259; a kind outside 0..40 17/258).
void voz_InitForCheckRange(IDXINFO* index, _WCTLHEAD* words,
                           BLOCKCTL** blocks, int32_t wordCount,
                           OPPARM* ops, int32_t opCount, MULTIFIELDCTRL* mfc,
                           RANKPARM* rank, GTRSTATUS* st);

// Tests the word's current occurrence: VOZ_RANGE_ACCEPT (the word's result
// weight becomes its word weight and is added to its accumulated weight),
// VOZ_RANGE_REJECT (outside the word's blocks, or running past its block's
// end; when a whole stretch can be passed, the word's last-read mark is set
// so that its next read after the mark starts behind it), or
// VOZ_RANGE_ERROR (17/VOZ_EC_RANGE_RESTRICTED for a word restricted to
// fields, or a block reader's failure).
int32_t voz_CheckRange(IDXINFO* index, _WCTLHEAD* word, BLOCKCTL** blocks,
                       MULTIFIELDCTRL* mfc, VVGDOCINFO* info, GTRSTATUS* st);

// Ends and frees every block control of the table and clears `mfc`; the
// first failure is kept only when the status is clear.
void voz_TermForCheckRange(_WCTLHEAD* words, int32_t wordCount, OPPARM* ops,
                           int32_t opCount, BLOCKCTL** blocks,
                           MULTIFIELDCTRL* mfc, GTRSTATUS* st);

#endif  // VOZ_CHECKRANGE_HPP
