// voz_gctl.hpp -- posting control over several keys (GCTLINFO,
// voz_searchrec.hpp): the postings of every key of a word part merged into
// one stream, first by document, then inside the current document by
// position; built from the alternate-character variants of a word part or
// from a candidate list; and the posting control of one field-number key.
//
// Calling order for one word part: build (voz_SearchPatt_ or
// voz_InitPctlBatch0_, which start the record unless told not to) ->
// voz_GctlDocSkip to the wanted document, voz_GctlPosSkipFirst with
// position 1, voz_GctlPosSkip with increasing positions, ... -> end with
// voz_SearchPattTerm or voz_TermPctlBatch0 as batchBuilt says.
//
// Invariants after every operation that succeeds: order[0 .. activeCount-1]
// ascend by the keys' current document and keys at their end lie behind;
// the group (the keys on curDoc) is the prefix order[0 .. groupCount-1];
// curDoc is the first key's document unless endOfDocs is 'Y'. Inside a
// document, order[touched .. groupCount-1] ascend by position; the touched
// prefix is merged back once 20 entries were touched.
//
// Failures go to the caller's GTRSTATUS (first one kept); the record is
// left as far as it got and is ended with its ending operation in any case.
#ifndef VOZ_GCTL_HPP
#define VOZ_GCTL_HPP

#include <cstdint>

#include "search/voz_searchrec.hpp"

struct GTRSTATUS;
struct RTRVWORDEXT;

// A position pair, sorted by its second member.
struct PPSET {
    int32_t first;
    int32_t second;
};

// Number of touched group entries that triggers the merge.
constexpr int32_t VOZ_GCTL_MERGE_TOUCHED = 20;

// Builds g over every alternate-character variant of the word part that
// exists as a key. Mode 'A': pattLength / unit width units of the word from
// unit `start`; mode 'B': one unit after a begin-mark unit. Keys without
// postings are dropped (retrieve_status bit 0x02, allDropped,
// droppedUnits). Unless noStart, starts g (voz_InitGctlPctl).
// No memory 11/253, 11/291; more keys than variants 17/255.
void voz_SearchPatt_(RTRVWORDEXT* word, GCTLINFO* g, int32_t start,
                     IDXINFO* index, char mode, GTRSTATUS* st, int noStart);

// Builds g over the keys of a candidate list: the answer set's entries
// hold (key record number in docno, candidate length in units in pos,
// candidate start in len). Candidates whose lead or trail exceeds maxLead
// or maxTrail are skipped unless takeAll is 'Y'. No memory 11/256, 11/292,
// 11/257.
void voz_InitPctlBatch0_(GCTLINFO* g, ANSWERFORM* candidates, IDXINFO* index,
                         int32_t maxLead, int32_t maxTrail, GTRSTATUS* st,
                         int noStart);

// Moves every key to its first document and forms the first group. `order`
// null: an order array (with scratch) is allocated (11/274).
void voz_InitGctlPctl(GCTLINFO* g, IDXINFO* index, int32_t* order,
                      GTRSTATUS* st);

void voz_GctlDocSkip(GCTLINFO* g, int32_t doc, IDXINFO* index, GTRSTATUS* st);
void voz_GctlPosSkipFirst(GCTLINFO* g, int32_t pos, IDXINFO* index,
                          GTRSTATUS* st);
void voz_GctlPosSkip(GCTLINFO* g, int32_t pos, IDXINFO* index, GTRSTATUS* st);
// pair[0] and pair[1]: the two smallest positions of pair[0]'s group.
void voz_GctlPosSkipAlter(GCTLINFO* pair, int32_t pos, IDXINFO* index,
                          GTRSTATUS* st);

// Restores position order of order[0 .. *count-1] after its first n
// entries advanced; keys out of positions go behind and lower *count.
void voz_PctlKeepOrderPos(int32_t* count, int32_t n, int32_t* order,
                          PCTLHEAD* pctl);
void voz_SortPctlIXvvg(PCTLHEAD* pctl, int32_t* order, int32_t n);
void voz_SortPctlIXpos(PCTLHEAD* pctl, int32_t* order, int32_t n);
void voz_SortPPset(PPSET* set, int32_t n, GTRSTATUS* st);

void voz_SearchPattTerm(GCTLINFO* g, GTRSTATUS* st);
void voz_TermPctlBatch0(GCTLINFO* g, GTRSTATUS* st);
void voz_TermGctlPctl(GCTLINFO* g, char freeOrder);

// Opens the postings of field `field`'s key. Missing: p ends at once and
// *nextField gets the next field number in the key file (0xFFFF when the
// record found is not a field key).
void voz_InitFieldPctl(PCTLHEAD* p, IDXINFO* index, uint16_t field,
                       uint16_t* nextField, GTRSTATUS* st);

// Binary search of a fixed key (mode VOZ_BS_FIELD or VOZ_BS_PATTERN) that
// returns a key without postings (data length 0) whole, key bytes kept.
// 0 found, 1 not found (insertion point as voz_BinSearchKey), -1 failure.
int voz_BinSearchKeyWhole(int32_t mode, const uint8_t* key, IDXINFO* info,
                          KEY_REC* recordOut, int32_t* recordNumberOut,
                          GTRSTATUS* st);

#endif  // VOZ_GCTL_HPP
