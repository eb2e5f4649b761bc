// voz_cleantmp.hpp - the clean-up of an index before an update: finishes a
// commit left pending by a crash and clears what an interrupted creation,
// merge or commit left under "#" and "%" names (voz_journal.hpp holds the
// rules).  Called by the creation start, the index merge, document
// deletion and index maintenance before they write anything.
#ifndef VOZ_CLEANTMP_HPP
#define VOZ_CLEANTMP_HPP

struct CREATWRK;
struct GTRSTATUS;

// Recovers the index and sub-index of the block's file sets (indexSets,
// the regular main set's directory, index name and prefix; the block's
// directoryPrefix when the set has none): a pending commit is finished,
// then the sub-index's "#" directories are removed and its "%" directories
// removed or moved back (voz_JnlRecover).  A merge block (MERGEWRK) has the
// same layout and is passed as a CREATWRK.  A null block: 1/2418.  The
// first failure stops the clean-up and stays in `gsp`.  0 or -1.
int vozCleanTmpDir(CREATWRK* block, GTRSTATUS* gsp);

#endif  // VOZ_CLEANTMP_HPP
