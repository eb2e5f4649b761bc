// voz_itemread.hpp -- the key readers of equal-word parts (ITEMCTL,
// voz_equalword.hpp) over an item half: one GCTLINFO per part, read by the
// part's key kind.
//
// How a character item is keyed (the item pool cuts "<mark>text<mark>" as
// it is): runs of letters are variable keys (one key per run, looked up
// through the half's X-index, the key index); every other run is cut into
// fixed n-grams of N units (N = the index's n-gram length), zero-filled
// where fewer than N units remain, with prefix grams of 1 .. N-1 units when
// the run does not begin the item. So
//   short part (fewer bytes than one n-gram, may continue in its run):
//       every fixed key that begins with the part;
//   long part (a whole run, or an n-gram or more of one): chunks of N units
//       (the last aligned to the part's end, overlapping the one before; a
//       part shorter than N is one zero-filled chunk); chunk k's base is
//       (part units - its start unit), so every chunk of one occurrence
//       reports the part's end and the part starts there minus the part's
//       units;
//   variable part: the variable keys that hold the part with at most
//       leadSlack units before it and trailSlack after it (candidates from
//       the key index); each candidate's base is its lead. Letters are
//       item tokens, so only variable parts hold letters: a part folded
//       for a word without case (mark 3) meets the case-folded windows the
//       key index of a case-keeping index holds beside the stored ones,
//       and so finds the keys in every case.
//
// Calling order per part: ItemInit[kind] -> ItemPointVvg[kind] to a
// document, ItemPointFirstPos[kind] after each document move,
// ItemPointPos[kind] with increasing positions -> ItemTerm[kind] (always,
// also after a failed init). Positions and documents only move forward.
//
// Failures go to the caller's GTRSTATUS (the first one is kept); the part
// is left as far as it got and is ended with ItemTerm in any case.
#ifndef VOZ_ITEMREAD_HPP
#define VOZ_ITEMREAD_HPP

#include <cstdint>

#include "files/voz_records.hpp"
#include "search/voz_equalmatch.hpp"
#include "search/voz_equalword.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSTATUS;
struct IDXINFO;

// Errcodes (retcode 11) of the readers.
constexpr int32_t VOZ_EC_ITEM_LONG_MEMORY = 304;
constexpr int32_t VOZ_EC_ITEM_SHORT_MEMORY = 305;
constexpr int32_t VOZ_EC_ITEM_SHORT_BUFFER = 306;
constexpr int32_t VOZ_EC_ITEM_CAND_MEMORY = 307;

// Builds the part's posting control g (cleared by the caller). `index` is
// the item half's regular set, `index2` its key index (null when the half
// has none), `mark` writes the key index's mark units (null: the
// character layer's). A part whose keys are missing ends at once
// (endOfDocs 'Y').
typedef void (*VOZ_ITEMINIT_FN)(ITEMCTL* part, GCTLINFO* g, IDXINFO* index,
                                IDXINFO* index2, VOZ_MARKSETUNIT_FN mark,
                                GTRSTATUS* st);
// Ends the part: releases every key it opened and what it allocated.
typedef void (*VOZ_ITEMTERM_FN)(GCTLINFO* g);

void voz_ItemInitShort(ITEMCTL* part, GCTLINFO* g, IDXINFO* index,
                       IDXINFO* index2, VOZ_MARKSETUNIT_FN mark,
                       GTRSTATUS* st);
void voz_ItemInitLong(ITEMCTL* part, GCTLINFO* g, IDXINFO* index,
                      IDXINFO* index2, VOZ_MARKSETUNIT_FN mark,
                      GTRSTATUS* st);
void voz_ItemInitVar(ITEMCTL* part, GCTLINFO* g, IDXINFO* index,
                     IDXINFO* index2, VOZ_MARKSETUNIT_FN mark, GTRSTATUS* st);

// Long parts: every chunk to one common document >= doc (curDoc; none
// left: endOfDocs 'Y'), and every chunk to one common position whose part
// start is >= pos (curPos; none left in the document: endOfPos 'Y'). The
// position move serves as first-position and as position skip.
void voz_ItemPointVvgLong(GCTLINFO* g, int32_t doc, IDXINFO* index,
                          GTRSTATUS* st);
void voz_ItemPointPosLong(GCTLINFO* g, int32_t pos, IDXINFO* index,
                          GTRSTATUS* st);

void voz_ItemTermShort(GCTLINFO* g);
void voz_ItemTermLong(GCTLINFO* g);
void voz_ItemTermVar(GCTLINFO* g);

// Builds g over the candidate keys of `candidates` (entries: key record
// number in docno, position of the hit in the key's marked text in pos,
// its length in units in len). A candidate is kept when its lead
// max(pos, 2) - 2 is at most maxLead and its trail
// max(0, key units - (pos + len) + 2) at most maxTrail; its control's base
// is its lead. Every kept candidate is its own control, so a key holding
// the part twice is read at both places. Starts g when any was kept.
// Slots 11/307; order array 11/274; key-file reads.
void voz_InitPctlBatchItem(GCTLINFO* g, ANSWERFORM* candidates,
                           IDXINFO* index, int32_t maxLead, int32_t maxTrail,
                           GTRSTATUS* st);
void voz_TermPctlBatchItem(GCTLINFO* g);

// The item tables, indexed by key kind (VOZ_EQ_KEY_VAR, _LONG, _SHORT).
extern const VOZ_ITEMINIT_FN ItemInit[3];
extern const VOZ_ITEMTERM_FN ItemTerm[3];
extern const VOZ_EQMOVE_FN ItemPointVvg[3];
extern const VOZ_EQMOVE_FN ItemPointFirstPos[3];
extern const VOZ_EQMOVE_FN ItemPointPos[3];
// The three moves of each kind in one record, as the match search takes
// them.
extern const VOZEQMOVES ItemMoves[3];

#endif  // VOZ_ITEMREAD_HPP
