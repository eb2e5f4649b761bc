// voz_merge.hpp -- the index merge of one sub-index: VOZ__mergeIndex builds
// the merge of the primary half ("main") with a secondary half ("supp", or
// a new secondary part still under "#supp") into the new primary half
// "#main", dropping the deleted documents of both; VOZ__mergeIndexFinish
// commits ('G') or discards ('C') the results of up to two merges, the
// text and the item sub-index of one index.
//
// Between the two calls the index still answers from "main" and "supp";
// the merged half waits under "#main" (with its X-index under the same
// half directory). The commit switches it in through the commit journal
// (voz_journal.hpp), both blocks under one mark: "main" is replaced, the
// merged "supp" and the deleted-document directory "del" (whose lists the
// merge has consumed) are set aside, and the old parts are removed last. A
// crash at any instant leaves the old index or the merged one whole, never
// one sub-index merged without the other; a failing step undoes the
// earlier ones, so deleted documents never come back and "main" is never
// missing.
//
// The flush flag 'Y' of the system parameters (voz_sysparm.hpp): a block
// store of the primary half is then written in place without a
// transaction, so the live primary half is changed while the merge runs.
// The crash guarantee above starts only when VOZ__mergeIndex returns, and
// a cancel is refused (2/2023): the only way on is the commit.
#ifndef VOZ_MERGE_HPP
#define VOZ_MERGE_HPP

#include <cstdint>

#include "build/voz_creatwrk.hpp"

struct GTRSTATUS;
struct GTRSYSPARM;

// The merge work block has the layout of the creation work block; its tag
// reads "MERGEWRK". Of its fields a merge uses the file sets (regular and
// X-index, slots main, supp, "#main", "#supp"; the work slot is not set
// up), level 0 (its sections are the parts merged), targetSet ("#main"),
// the time log and its flag, the flush flag, the mark-unit functions of
// creationParm, directoryPrefix and xindexResult (below). mainState tells
// whether anything was merged: 'M' merged, 'N' nothing to do.
using MERGEWRK = CREATWRK;
#define VOZ_MERGEWRK_TAG "MERGEWRK"

// X-index outcomes of a merge (xindexResult) besides those of
// voz_createend.hpp ('D' none, 'N' the primary half's kept and copied,
// 'R' merged anew into "#main"):
constexpr char VOZ_XINDEX_SUPP_KEPT = 'T';     // the supp half's X-index
constexpr char VOZ_XINDEX_NEWSUPP_KEPT = '2';  // that of the "#supp" part

// Merge kinds (cStatus).
constexpr char VOZ_MERGE_SUPP = 1;      // main with supp
constexpr char VOZ_MERGE_NEWSUPP = 3;   // main with "#supp"

// Builds the merge of index `idxname` in `outdir` (letters: 4 generation
// letters, not terminated; prefix "Full" or "Item") into "#main".
// `markSet` and `markCheck` are the character layer's mark-unit functions
// (the key writer counts variable keys through markCheck). A new block
// reads the system parameters (`sysp` may be null) for the time-log and
// flush flags; with kind 3 a `reuse` block is taken instead and keeps its
// own. On success *cwpp holds the block, also when there was nothing to
// merge (main alone and no deleted documents: nothing is written). On
// failure *cwpp is null and the block (a reused one too) is released:
// 11/24 no block, 2/2102 bad kind, 29/25 outdir and name too long, 35/27
// work directory too long, 11/2234 and 11/28 memory, retcode 20 (errcode
// 2120) no primary half; the storage's and the merge's codes unchanged.
void VOZ__mergeIndex(MERGEWRK** cwpp, const char* idxname, const char* outdir,
                     const char* letters, const char* prefix,
                     const char* wrkdir, const GTRSYSPARM* sysp,
                     VOZ_MARKSETUNIT_FN markSet, VOZ_KEYCALLBACK_FN markCheck,
                     char cStatus, MERGEWRK* reuse, GTRSTATUS* st);

// Ends the merges of `cwp1` and `cwp2`; a block takes part when its use
// flag is non-zero. 'G' commits them (one mark for both), 'C' removes
// their "#main" and "#supp" parts. Every block taking part is freed, in
// every case. Failures: 1/29 no tagged block or a use flag on a missing or
// untagged one (only the tagged blocks taking part are freed); 2/30 a
// `proc` other than 'G' or 'C'; 2/2023 a cancel of a block whose flush
// flag is 'Y' (nothing is removed, the blocks' memory is freed); the
// journal's codes for a failed commit (the index is then as before). 0 or
// -1.
int VOZ__mergeIndexFinish(MERGEWRK* cwp1, MERGEWRK* cwp2, long use1,
                          long use2, char proc, GTRSTATUS* st);

// VOZ__mergeIndexFinish 'G' up to the journal: the merged parts made
// durable and the journal written as the index's pending journal
// (voz_journal.hpp); nothing live moves. The blocks are freed, the "#"
// parts stay for the pending journal (removed when staging fails). 0 or -1.
int VOZ__mergeIndexStage(MERGEWRK* cwp1, MERGEWRK* cwp2, long use1,
                         long use2, GTRSTATUS* st);

#endif  // VOZ_MERGE_HPP
