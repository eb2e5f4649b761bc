// voz_gtrstage.hpp -- the engine's commits split at their journal, for a
// caller that commits the engine together with files of its own (the
// index library's one commit of an index). Internal: not exported.
//
// vozCreateIndexStage and vozMergeIndexStage run GTRcreateIndexTerm 'G'
// and VOZ_mergeIndexFinish 'G' up to their journal mark: the new parts of
// both sub-indexes are written and durable under their "#" names and the
// journal is written as the index's pending journal ("voz.JNL.pnd",
// build/voz_journal.hpp). Readers still find the old index; nothing live
// has moved. The handle is freed in every case, as by the 'G' it stands
// for; a failure leaves no pending journal and no new part.
//
// Then the caller installs the pending journal (vozInstallPendingCommit:
// it becomes "voz.JNL" and is rolled forward) or drops it
// (vozDropPendingCommit). Both may be repeated after a crash at any
// instant; with nothing pending they do nothing (an install still rolls a
// present mark forward). An update start (GTRcreateIndexInit, the merge,
// the document deletion) drops a pending journal that nobody installed.
#ifndef VOZ_GTRSTAGE_HPP
#define VOZ_GTRSTAGE_HPP

#include "files/voz_status.hpp"

// Stages the commit of an update cycle ("A" cycles only: a cycle opened
// with 'N' builds outside the index and is refused with 2/2426 and
// cancelled). A bad handle 1/2517 and nothing else. The failures of
// GTRcreateIndexTerm 'G' and of the journal's staging otherwise.
void vozCreateIndexStage(void* cwp, GTRSTATUS* gsp);

// Stages the commit of a merge. A null handle 1/2665. processed_index as
// VOZ_mergeIndexFinish sets it.
void vozMergeIndexStage(void* voidmwp, GTRSTATUS* gsp);

// Installs, resp. drops, the pending journal of index idxdir/idxname.
// Null names 2/2427; the journal's failures (voz_JnlInstallPending,
// voz_JnlDropPending).
void vozInstallPendingCommit(const char* idxname, const char* idxdir,
                             GTRSTATUS* gsp);
void vozDropPendingCommit(const char* idxname, const char* idxdir,
                          GTRSTATUS* gsp);

// True when index idxdir/idxname holds a pending journal.
bool vozPendingCommitExists(const char* idxname, const char* idxdir);

#endif  // VOZ_GTRSTAGE_HPP
