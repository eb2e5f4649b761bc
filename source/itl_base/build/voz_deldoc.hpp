// voz_deldoc.hpp -- document deletion outside an update cycle, one
// sub-index at a time: the deleted-document lists of its two halves
// ("Main.DEL", "Supp.DEL" in the "del" directory) grow by the numbers the
// storage layer's VOZ_deleteDocs registers; keys and position lists are not
// touched (readers leave the listed documents out, a merge drops them).
//
// A deletion is a small transaction: vozDeleteDocInit, VOZ_deleteDocs on
// the block's file sets (indexSets, main then supp), vozDeleteDocLast
// (the new lists written under the "#" directory "#del"), then
// vozDeleteDocTerm: 'C' removes "#del", any other code commits it through
// the commit journal (voz_journal.hpp): "del" is replaced whole, so at
// every instant the old or the new lists are found, never a mix and never
// none. vozDeleteDocTermPair commits the text and the item sub-index of
// one index under one mark.
#ifndef VOZ_DELDOC_HPP
#define VOZ_DELDOC_HPP

#include <cstdint>

#include "build/voz_creatwrk.hpp"

struct GTRSTATUS;

// The deletion work block has the layout of the creation work block (so
// the update cycle's cancel can end it too); it is tagged "CREATWRK" and
// uses only the eight file sets: regular and X-index, slots main, supp,
// "#main", "#supp", each with the index directory and name, the 4
// generation letters and the sub-index prefix. Every other field is zero.

// Allocates and fills the block and recovers the sub-index (vozCleanTmpDir:
// a pending commit is finished, "#" and "%" leftovers cleared). *out gets
// the block also when the recovery failed (its failure is in `st`). No
// memory: 11/1810 and *out null; names too long: voz_SetFctlForRead's 35
// and *out null. `letters`: 4 characters, not terminated.
void vozDeleteDocInit(CREATWRK** out, const char* idxname, const char* idxdir,
                      const char* letters, const char* prefix, GTRSTATUS* st);

// Writes the lists of main, then supp, into "#del" and frees them; an error
// on main stops before supp. A half that does not exist holds no document,
// so its list is dropped unwritten. No list loaded: nothing. A null block:
// 1/1811.
void vozDeleteDocLast(CREATWRK* block, GTRSTATUS* st);

// Ends the deletion: null block nothing; 'C' removes "#del" (unless a
// pending journal mark owns it); any other code commits "#del" (nothing
// when Last wrote none). A failed commit leaves the old lists in place
// and the new ones under "#del" for a cancel; the journal's codes. The
// block is not freed (vozDeleteDocFree).
void vozDeleteDocTerm(CREATWRK* block, char proc, GTRSTATUS* st);

// vozDeleteDocTerm of two blocks of one index at once: 'G' commits both
// under one mark (a crash never applies one without the other). Null
// blocks are skipped.
void vozDeleteDocTermPair(CREATWRK* first, CREATWRK* second, char proc,
                          GTRSTATUS* st);

// Frees the block and any list still attached, writing nothing. Null:
// nothing.
void vozDeleteDocFree(CREATWRK* block);

// Sorts `index` (count entries, each an index into `keys`) so that the keys
// it points to ascend: a quicksort without recursion (explicit stack, the
// middle entry's key as pivot, Hoare partition, the smaller part sorted
// first); not stable. Fewer than 2 entries or null arrays: nothing.
void voz_SortDocNoIX(const int32_t* keys, int32_t* index, int32_t count,
                     GTRSTATUS* st);

#endif  // VOZ_DELDOC_HPP
