// voz_rtrvwords.hpp -- setting up the retrieval of a search's words over one
// file set: per word the lookup that fits its kind, its parts, its length
// against the index's fixed key length and its similarity, and the
// document-frequency estimate taken from what the lookup left.
//
// Every word ends its set-up with a next-hit operation in its control
// (_WCTLHEAD, voz_searchrec.hpp): the lookup's own, or voz_GetOneWordNoOcc
// when the word has no occurrences. voz_RtrvWordsTerm runs every word to its
// end so that it releases what it holds; the search calls it after a failed
// set-up and after the evaluation.
//
// Some kinds of word need lookups this engine does not have yet; their
// set-up is refused with retcode 50 and one of the errcodes below, before
// any file is read for the word.
#ifndef VOZ_RTRVWORDS_HPP
#define VOZ_RTRVWORDS_HPP

#include <cstdint>

#include "search/voz_searchrec.hpp"

struct GTRSTATUS;
struct RTRVWORDEXT;
struct SHORTOCC;

// Retcode of a search the engine cannot run yet.
constexpr int32_t VOZ_RC_UNSUPPORTED = 50;  // as the walks' VOZ_RC_NOT_BUILT
// Errcodes of the refusals (retcode VOZ_RC_UNSUPPORTED). Errcodes 1460-1466,
// 1468 and 1469 named refusals of words and options that the search now
// runs; they are not reused.
constexpr int32_t VOZ_EC_REFUSE_OPRANGE = 1467;    // an operator's range
                                                   // count (no caller makes
                                                   // one)
// A binary-set word ('S') is never supported.
constexpr int32_t VOZ_EC_BINSET = 391;

// Sets up every word over one file set. text0/text1 are the text half's
// set 0 and X-index, item0/item1 the item half's (nulls for a half that is
// not open). The primary set is text0 when given, else item0. On a failure
// the remaining words stay untouched (cleared controls). With estimateOnly
// each control's docEstimate receives the word's estimate (-1 none) and no
// position list is read. The word answer set's limit byte ends 'Y' when any
// word's expansion reached it.
void voz_RtrvWords_(IDXINFO* text0, IDXINFO* text1, IDXINFO* item0,
                    IDXINFO* item1, int32_t wordCount, RTRVWORDEXT* words,
                    _WCTLHEAD* controls, ANSWERFORM* wordAnswer,
                    GTRSTATUS* st, int estimateOnly);

// Runs every word that has a next-hit operation to its end; the first
// failure goes into `st` when that is still clear.
void voz_RtrvWordsTerm(_WCTLHEAD* controls, int32_t wordCount, GTRSTATUS* st);

// 1 when a word of several parts is looked up fuzzily, 0 when as a
// wildcard (a mask unit stands next to a cut) or exactly (similarity 100).
int32_t voz_WildcardFuzzyPreference(RTRVWORDEXT* word, int16_t unitWidth,
                                    GTRSTATUS* st);

// Document-frequency estimates; 0 entries give 0.
// The smallest document count of the entries.
void voz_GetDocFreqByPctl(const PCTLHEAD* pctl, int32_t count,
                          int32_t* estimate);
// Per entry the largest document count of its keys, then the smallest.
void voz_GetDocFreqByGctl(const GCTLINFO* gctl, int32_t count,
                          int32_t* estimate);
// Per entry the sum of its keys' counts (held at 0x7FFFFFFF), then the
// smallest.
void voz_GetDocFreqByGct_Selectivity(const GCTLINFO* gctl, int32_t count,
                                     int32_t* estimate);
// -1 with `none` set; else the number of runs of equal documents.
void voz_GetDocFreqByShortOcc_(const SHORTOCC* occs, int32_t count,
                               int32_t* estimate, int none);

#endif  // VOZ_RTRVWORDS_HPP
