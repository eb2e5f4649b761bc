// voz_evaluate.hpp -- the evaluation driver of one file set: working copies
// of the word and operator controls, the operator parameters (OPPARM,
// voz_opparm.hpp) without empty operands, and the document walk.
//
// Empty operands: a slot is empty when its word found only keys without
// postings (a stop word) or when its operator kept no operand. Such an
// operand is dropped from its operator; the units of a dropped word count
// as a gap after the last kept operand. A NOT keeps an empty operand that is
// followed by a non-empty one. Slots that no kept operator uses are run to
// their end and removed, and the rest renumbered (words first).
#ifndef VOZ_EVALUATE_HPP
#define VOZ_EVALUATE_HPP

#include <cstdint>

#include "search/voz_opparm.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSKIPFUNCINFO;
struct GTRSTATUS;
struct RTRVWORDEXT;

// Evaluates the operators over the set-up words of one file set into the
// result answer set; *docCount and *occCount grow by what it wrote. On
// success every working control is copied back to its caller's slot.
// index1 is unused (the set's X-index); `spare1`/`spare2` are unused.
void voz_Evaluate(IDXINFO* index0, IDXINFO* index1, IDXINFO* spare1,
                  IDXINFO* spare2, RANKPARM* rank, int32_t wordCount,
                  _WCTLHEAD* controls, RTRVWORDEXT* words, int32_t opCount,
                  OPEINFO* ops, ANSWERFORM* wordAnswer, SCOPECTL* scope,
                  ANSWERFORM* result, int32_t* docCount, int32_t* occCount,
                  GTRSKIPFUNCINFO* skip, GTRSTATUS* st);

// Builds the operators' parameters over the working controls (one per
// slot, words first) and words, drops empty operands and unused slots, and
// renumbers. slotMap[new] receives the caller's slot number. On return
// *slotCount and *wordCount are the kept numbers and *opParms the array of
// *keptOps entries (free with voz_TermOPPARM). Failures: 11/1430, 11/1431,
// or a next-hit operation's status.
void voz_InitOPPARM(OPEINFO* ops, int32_t opCount, _WCTLHEAD* controls,
                    int32_t* slotMap, int32_t* slotCount, RTRVWORDEXT* words,
                    int32_t* wordCount, OPPARM** opParms, int32_t* keptOps,
                    IDXINFO* index, GTRSTATUS* st);

// Frees the block of voz_InitOPPARM (null allowed).
void voz_TermOPPARM(OPPARM* opParms);

#endif  // VOZ_EVALUATE_HPP
