// voz_evalocc.hpp -- the document-at-a-time walks of a search over one
// index half: the words' occurrence streams are merged in document order,
// the current document's occurrences gathered and range-checked, the scope
// (an earlier result), deleted documents and the caller's skip callback
// applied, the operators asked, and each hit written to the answer set.
//
// Counts: *docCount and *occCount grow by the documents and occurrences
// written; each word's setDocCount counts the documents in which it
// occurred. Limits: when a hit would pass the answer set's document or
// occurrence limit the walk stops and the answer's limit byte becomes 'Y'
// (not a failure). The skip callback gets a 32-byte record (document, 1,
// next document = document + 1, keep byte 1, the rest 0); a non-zero
// return ends the walk with 150/that value.
//
// With ranking, hit documents are scored and kept in the answer's rank
// heap (voz_rankheap.hpp); the walk ends by putting them in rank order.
// Without ranking, an answer with a term-frequency file gets one record
// per visited document (voz_freq.hpp).
#ifndef VOZ_EVALOCC_HPP
#define VOZ_EVALOCC_HPP

#include <cstdint>

#include "search/voz_blockctl.hpp"
#include "search/voz_checkrange.hpp"
#include "search/voz_opparm.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSKIPFUNCINFO;
struct GTRSTATUS;

constexpr int32_t VOZ_RC_SKIPFUNC = 150;
constexpr int32_t VOZ_RC_NOT_BUILT = 50;
constexpr int32_t VOZ_EC_WALK_RANKING = 1453;
// Retcode 17: a multi-word walk given no operator.
constexpr int32_t VOZ_EC_WALK_NO_OPERATOR = 1455;

// Several words and operators. `readerArg2`/`readerArg1` go to every
// reader call; `blocks` and `mfc` to the range check. Memory: 11/700
// active list, 11/701 and 11/707 occurrence buffers. REQUIRES: opCount >= 1
// (else 17/VOZ_EC_WALK_NO_OPERATOR).
void voz_EvaluateOccsMultiWord(_WCTLHEAD* words, int32_t wordCount,
                               RANKPARM* rank, OPPARM* ops, int32_t opCount,
                               IDXINFO* index, void* readerArg2,
                               BLOCKCTL** blocks, MULTIFIELDCTRL* mfc,
                               void* readerArg1, SCOPECTL* scope,
                               ANSWERFORM* answer, int32_t* docCount,
                               int32_t* occCount, GTRSKIPFUNCINFO* skip,
                               GTRSTATUS* st);

// One word under one operator (`word` + 1 is the operator's control): a
// document hits when one of its occurrences passes the range check.
// Memory: 11/702.
void voz_EvaluateOccsOneWord(_WCTLHEAD* word, RANKPARM* rank, OPPARM op,
                             IDXINFO* index, void* readerArg2,
                             BLOCKCTL** blocks, MULTIFIELDCTRL* mfc,
                             void* readerArg1, SCOPECTL* scope,
                             ANSWERFORM* answer, int32_t* docCount,
                             int32_t* occCount, GTRSKIPFUNCINFO* skip,
                             GTRSTATUS* st);

#endif  // VOZ_EVALOCC_HPP
