// voz_opeinfo.hpp -- the operator table of a search: one record per search
// word and one per operator, built from the optimised postfix form
// (voz_postfix.hpp) and handed to the evaluation by the search call and the
// selectivity estimate.
//
// The table is one block, cleared to zero, in three parts:
//   1. the operator records (OPEINFO), one per operator element;
//   2. the word records (RTRVWORDEXT), one per term element;
//   3. the operand lists, one int32_t per operand of each operator.
// Operand numbers: a word record by its index (0 up, in the order in which
// the operators consume them); an operator's result by the number of word
// records plus the operator's index (in completion order). Each list is
// sorted ascending, except that a NOT keeps its first operand (the one the
// others are taken from) first. Field ranges of a parenthesised group flow
// down to every operand without one of its own; field weights do not.
#ifndef VOZ_OPEINFO_HPP
#define VOZ_OPEINFO_HPP

#include <cstdint>

#include "calls/voz_postfix.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "search/voz_searchrec.hpp"

// Errcodes of the table (retcode 11 memory, 17 inconsistent postfix form).
constexpr int32_t VOZ_EC_OPEINFO_STACK = 1711;
constexpr int32_t VOZ_EC_OPEINFO_BLOCK = 1712;
constexpr int32_t VOZ_EC_OPEINFO_OPERATORS = 1068;  // more than counted
constexpr int32_t VOZ_EC_OPEINFO_TERMS = 1069;      // more word operands
constexpr int32_t VOZ_EC_OPEINFO_RESULT = 1070;     // not one final result

// Builds the table of the `count` elements `elems` (kind 50, removed by the
// optimisation, is passed over). `value` goes into every operator record.
// Out: *nWords word records starting at *firstWord, *nOps operator records
// starting at *block. Terms are numbered 0 up in postfix order into the
// word record's word_no, except a whole-document operand ('D'), which gets
// -1 and is not counted. `unused` is not read. On failure the block made
// so far is still returned (free it with vozOpeInfoTerm) and the counts
// are those reached; failures: 11/1711, 11/1712, 17/1068, 17/1069,
// 17/1070 (also for a form of one term without an operator).
void vozOpeInfo(const PFELEMENT* elems, int32_t count, int32_t value,
                int32_t* nWords, RTRVWORDEXT** firstWord, int32_t* nOps,
                OPEINFO** block, void* unused, GTRSTATUS* gsp);

// Frees a block made by vozOpeInfo; null is allowed.
void vozOpeInfoTerm(OPEINFO* block);

// qsort order of operand lists: *a - *b as signed 32-bit values (<0, 0, >0).
int vozCompareINT4(const void* a, const void* b);

#endif  // VOZ_OPEINFO_HPP
