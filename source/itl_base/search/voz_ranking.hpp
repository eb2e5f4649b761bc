// voz_ranking.hpp -- scores of a ranked search. Every query word gets a
// score from its document frequency and its count in the document, every
// operator combines its operands' scores (postfix order, so operands come
// first), and the root operator's score is the document's score. The
// document walks call voz_InitRanking once per walk and
// voz_EvaluateWithRank for every hit document before offering it to the
// rank heap (voz_rankheap.hpp).
//
// rank_flags: 0x01 multiply each node's score by its `rank` (average term
// weight); 0x10 use the term-count factor; 0x20 use the document-frequency
// weight. Any of 0x31 makes the walks compute scores.
#ifndef VOZ_RANKING_HPP
#define VOZ_RANKING_HPP

#include <cstdint>

#include "search/voz_opparm.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSTATUS;
struct VVGDOCINFO;

constexpr uint8_t VOZ_RANK_SCORING = 0x31;

// Sets every word's `idf` (from the index's document count and the word's
// `df`, taken from its document estimate when the lookup left it 0) and
// clears its `score`.
void voz_InitRanking(_WCTLHEAD* words, int32_t nword, const IDXINFO* index,
                     const RANKPARM* rank, GTRSTATUS* st);

// Scores the current document: words 0 .. nword-1, then the operators in
// postfix order; the document's score is ops[nop-1].node_rec->score.
// occ[0 .. nocc-1] are the document's occurrences (nocc >= 1).
void voz_EvaluateWithRank(OPPARM* ops, int32_t nop, _WCTLHEAD* words,
                          int32_t nword, const RANKPARM* rank,
                          const IDXINFO* index, const VVGDOCINFO* vvg,
                          const OCC* occ, int32_t nocc, GTRSTATUS* st);

#endif  // VOZ_RANKING_HPP
