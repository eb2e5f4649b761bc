// voz_createend.hpp -- the end of a creation cycle: the work-file merge of
// the levels (vozMergeWorkFiles, voz_MergePatt and their readers), the
// integrity check of a level, and the creation end (VOZ_createIndexLast,
// VOZ_createIndexTerm) that merges everything into the "#" half and commits
// it through the journal (voz_journal.hpp) or cancels it.
//
// Levels work like a counter: a level that holds maxSections sections is
// merged into one section of the next level; the end of creation merges
// every level upward and the last one into the target half, with the
// existing supp half as section 0 when an append extends it. A level's
// sections are read through their own file sets (each opened "rb" on the
// level's two work files at its keyBase and posStart), so a section never
// disturbs another's read position. The work files of a merged level are
// removed as soon as the merge is done.
//
// Keys come out in this order: fixed keys by (type byte signed, six key
// bytes unsigned), then variable chains in voz_VkeyCmp order. Keys without
// postings (level 0x10) stay such: offset -1, length 0, no documents. The
// basic-information entries 0-39 are merged like keys; entry 40 is not.
//
// A document split over two sections because it outgrew the pool's growth
// limit is the one overlap the integrity check accepts (the highest
// document of a section equal to the lowest of the next, the same number
// the flush kept as its last document); the merge joins its positions.
#ifndef VOZ_CREATEEND_HPP
#define VOZ_CREATEEND_HPP

#include <cstdint>

#include "build/voz_creatwrk.hpp"
#include "files/voz_merge_rec.hpp"
#include "postings/voz_pctl.hpp"

struct GTRSTATUS;
struct IDXINFO;
// Record-number change entries of an X-index merge (owned by the X-index
// code). The merge only passes them on.
struct CHGRECNO;

// Merges level `level` (see the top of this header): `last` 1 at the end of creation, `existing` the half merged in as
// section 0 of the final merge (null: none). Level and section arrays
// 11/2231, 11/2232, 11/2233; the integrity check's and the merge's codes
// pass through. 0 or -1.
int vozMergeWorkFiles(CREATWRK* cwp, _FCTLHEAD* target, long level, char last,
                      _FCTLHEAD* existing, GTRSTATUS* st);

// Merges all sections of `level` into `target` (see above). `changes`:
// null, or two change entries (the level must then hold exactly 2
// sections: 17/34). Merge buffers 11/2235, 11/2236; an inconsistent merged
// record 17/1291; storage failures pass through. After a failure the
// sections are closed and the work files removed all the same. 0 or -1.
int voz_MergePatt(CREATWRK* cwp, _FCTLHEAD* target, long level,
                  CHGRECNO* changes, GTRSTATUS* st);

// Reads the section's next key chain into `out` (host order; up to 36
// records). Seek 6/2237; end of file 19/2238; read 4/2239 (with the key
// file's name). 0 or -1.
int voz_ReadKeyWork(MCTLHEAD* section, KEY_REC* out, GTRSTATUS* st);

// Marks the section's exhausted key kinds from its basic counts.
void voz_MergeInputIsEOF(IDXINFO* unused, MCTLHEAD* section, long* unused2);

// Refuses a document held by two sections of `level`: 153/2109 with the
// document in `detail`. Ascending disjoint sections are not read; the one
// document the flush split (last of one section, first of the next) is
// accepted. Memory 11/2107, 11/2108. 0 or -1.
int vozCheckWorkFileIntegrity(CREATWRK* cwp, unsigned long level,
                              GTRSTATUS* st);

// Restores document order of order[0 .. *count-1] after its first n
// entries advanced: a key at its end goes behind and lowers *count; the
// others are moved before the first entry of equal or higher document.
void voz_PctlKeepOrderVvg(int32_t* count, int32_t n, int32_t* order,
                          PCTLHEAD* pctl);

// Ends the pooling: the pending document record, the last flush, the
// merge of every level into the target ("#" half), the X-index decision
// (xindexResult). The deleted-document lists are written (main, and supp
// unless it was merged) and freed also after a failure. A null block or
// wrong tag 1/12. 0 or -1.
int VOZ_createIndexLast(CREATWRK* cwp, GTRSTATUS* st);

// 'G' commits the new parts through the journal (the old or the new index
// at every instant; a failing step undoes the earlier ones), 'C' removes
// them (never refused); any other letter 2/11. A failure to close the
// document check counts as a failure of the commit. The block is freed in
// every case except a null block or wrong tag (1/12). 0 or -1.
int VOZ_createIndexTerm(CREATWRK* cwp, char goOrCancel, GTRSTATUS* st);

// VOZ_createIndexTerm of the two blocks of one update (either may be null,
// not both): with 'G' the new parts of both sub-indexes are switched in
// under one journal mark, so that a crash leaves both old or both new; a
// failure cancels both. Both blocks are freed.
int VOZ_createIndexTermPair(CREATWRK* first, CREATWRK* second, char goOrCancel,
                            GTRSTATUS* st);

// The 'G' of VOZ_createIndexTermPair up to the journal: the new parts made
// durable under their "#" names and the journal written as the pending
// journal of the index (voz_journal.hpp); nothing live moves. A block
// without steps writes none. A failure cancels both, with no pending
// journal left. Both blocks are freed; the "#" parts stay for the
// pending journal. 0 or -1.
int VOZ_createIndexStagePair(CREATWRK* first, CREATWRK* second, GTRSTATUS* st);

// The X-index outcome of VOZ_createIndexLast, kept in the block.
constexpr char VOZ_XINDEX_REBUILT = 'R';
constexpr char VOZ_XINDEX_KEPT = 'N';
constexpr char VOZ_XINDEX_NONE = 'D';

#endif  // VOZ_CREATEEND_HPP
