// voz_gtrmaint.hpp -- the engine calls that merge an index's secondary
// halves into its primary ones (VOZ_mergeIndex, VOZ_mergeIndexFinish) and
// delete documents outside an update cycle (GTRdeleteDoc,
// GTRdeleteDocFinish). Each works on both sub-indexes, text ("Full",
// "KPLQ") then item ("Item", "MRNS"), through the builder
// (build/voz_merge.hpp, build/voz_deldoc.hpp), and treats a missing
// sub-index as nothing to do.
//
// Handles: the merge handle lives from VOZ_mergeIndex until
// VOZ_mergeIndexFinish frees it; the delete-document handle (a creation
// handle, tag "CREATWRK", whose work areas are the builder's deletion
// blocks) from GTRdeleteDoc until GTRdeleteDocFinish frees it. A failing
// call never leaves a handle allocated without handing it to the caller.
//
// Both finishes commit the two sub-indexes under one journal mark: after a
// crash the next open finds the index as before or as after, never text
// and items apart. processed_index: 0x80 text, 0x40 item. While the marker
// file "GTRbtrc" exists each call appends its binary-trace record (types
// 7 to 10) and an end record (calls/voz_btrace.hpp).
#ifndef VOZ_GTRMAINT_HPP
#define VOZ_GTRMAINT_HPP

#include <cstdint>

#include "build/voz_merge.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"

// The merge handle: one merge work block per sub-index and whether it
// takes part.
struct VOZMERGEHANDLE {
    MERGEWRK* text;
    MERGEWRK* item;
    long useText;
    long useItem;
};

// Merges index idxdir/idxname (its "supp" halves into "#main"); *voidmwpp
// receives the handle (null after a failure). Null names 2/2662 (the
// status is not cleared first); no handle 11/2663; the builder's codes
// (a missing sub-index is skipped). A failure cancels what was merged.
void VOZ_mergeIndex(void** voidmwpp, const char* idxname, const char* idxdir,
                    const char* wrkdir, GTRSYSPARM* sysp, GTRSTATUS* gsp);

// 'G' commits the merge, 'C' cancels it; the handle is freed in every case.
// A null handle 1/2665. Success: processed_index 0xC0 (0 when no
// sub-index took part).
void VOZ_mergeIndexFinish(void* voidmwp, char go_or_cancel, GTRSTATUS* gsp);

// Deletes documents docNO[0 .. numdoc-1] of both sub-indexes; *cwp receives
// the handle to be finished. No handle 11/2666; null names 2/2667; empty
// index name or names over 2046 characters 29/2668; wrkdir over 2047
// 35/2669; the deletions and the list writes keep their codes. `wrkdir`
// and `sysp` are checked and traced, not otherwise used. After a failure
// nothing is changed and *cwp is null.
void GTRdeleteDoc(void** cwp, const char* idxname, const char* idxdir,
                  const char* wrkdir, int32_t* docNO, int32_t numdoc,
                  GTRSYSPARM* sysp, GTRSTATUS* gsp);

// Any letter but 'C' commits the deletion of both sub-indexes under one
// mark ('C', or a failed commit, cancels both); the handle is freed. The
// status is not cleared on entry. A null or untagged handle 1/2670 and
// nothing else.
void GTRdeleteDocFinish(void* pvoidcwh, char go_or_cancel, GTRSTATUS* gsp);

#endif  // VOZ_GTRMAINT_HPP
