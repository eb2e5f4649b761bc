// voz_journal.hpp - the commit journal of the index builder: every commit
// that replaces parts of an index (creation end, append, merge, deletion)
// switches its new parts in through one mark file, so that at every instant
// the index directory holds one complete index, the old or the new one, and
// the next open finds it.
//
// Called by the commit steps of the creation end, the index merge and the
// document deletion (voz_JnlBegin / voz_JnlAdd / voz_JnlCommit), by the
// clean-up at the start of every update (vozCleanTmpDir, voz_cleantmp.hpp,
// through voz_JnlRecover) and by every reader before it opens an index
// (voz_JnlRollForward).
//
// ---- Names --------------------------------------------------------------
// A commit moves whole directories of one index directory D/I.  A step
// names a slot: the half directory "main" or "supp" or the deleted-document
// directory "del" of one sub-index ("Full", "Item").  Each slot has three
// names, all built by voz_IDXgetFname:
//     L  live        "Fullmain"   what readers open
//     N  new         "#ullmain"   the new part, written before the commit
//     O  old         "%ullmain"   the old part, set aside during the commit
// A half directory holds both file sets of its half (index and X-index) and
// the position store's control files; the block files shared by the halves
// lie in D/I itself and are not moved (the store's shadow paging keeps the
// pages of the live control files untouched until the switch).
//
// Two kinds of step:
//     'R' replace    N takes the place of L; L goes to O first (when there
//                    is one).  Pending exactly while N exists.
//     'A' set aside  L goes to O and nothing takes its place (a supp half
//                    merged into main, an index emptied).  Pending exactly
//                    while L exists.
// A new directory replaces its live one whole: whatever should stay (the
// untouched deleted-document list of the other half, an X-index kept as it
// is) must be copied into N before the commit.
//
// ---- The mark file D/I/voz.JNL --------------------------------------------
// Written under D/I/voz.JNL.tmp, fsynced, renamed, and the directory
// fsynced; so a mark at its final name is complete (a damaged one is told by
// its length and checksum).  All integers big-endian.
//   off        size  field
//     0           4  magic "VJNL" (56 4A 4E 4C)
//     4           2  layout version, 1
//     6           2  step count n, 1..VOZ_JNL_MAX_STEPS
//     8           4  length of the whole mark in bytes: 16 + 20 n + 4
//    12           4  reserved, zero
//    16        20 n  the steps, in the order they run:
//                      +0  1  kind 'R' or 'A'
//                      +1  1  slot 'M' main, 'S' supp, 'D' deleted documents
//                      +2  1  prefix length, 1..VOZ_SUBDIR_PREFIX_LEN - 1
//                      +3  1  zero
//                      +4 16  sub-index prefix, zero-padded
//   16 + 20 n     4  CRC-32 (polynomial 0xEDB88320, initial and final
//                    value 0xFFFFFFFF) of bytes 0 .. 16 + 20 n - 1
// Values written to disk: never renumber the kinds, slots or version.
//
// ---- States of one replace step and the function behind each move -------
//   live dirs    mark  state
//   L  N         -     S0  before the commit: readers see the old part
//   L  N         M     S1  voz_JnlCommit wrote the mark (WriteMark)
//   O  N         M     S2  RedoStep: L -> O
//   L' O         M     S3  RedoStep: N -> L (L' is the new part)
//   L'           M     S4  FinishStep: O removed
//   L'           -     S5  DropMark: committed
// A set-aside step runs S1: L M, S2: O M (RedoStep), S4: M (FinishStep).
// Failure of RedoStep in voz_JnlCommit: UndoStep, in reverse over the steps
// run so far, S3 -> S2 (L' -> N), S2 -> S1 (O -> L), then DropMark gives S0
// with the new parts still under "#" names; a failing undo keeps the mark.
// Recovery with a mark (voz_JnlRecover, voz_JnlRollForward): RedoStep of
// every step from whatever state it is in, FinishStep, DropMark.
// Recovery without a mark (voz_JnlRecover only): a mark left under its
// temporary name is removed; for the caller's sub-index every N is removed,
// an O whose L exists is removed, an O whose L is missing is moved back.
//
// ---- The pending journal D/I/voz.JNL.pnd -----------------------------------
// A commit that must go together with files outside the engine (the index
// library's maps) is split at its mark: voz_JnlStage makes the new parts
// durable and writes the mark, byte for byte as above, under the pending
// name (temporary name, fsync, rename, directory fsync) without moving
// anything live.  Readers ignore it; the new parts it names stay (a cancel
// or release treats it as a mark).  Then the caller either installs it
// (voz_JnlInstallPending: renamed to voz.JNL, directory fsynced, rolled
// forward as recovery does) or drops it (voz_JnlDropPending: its "#"
// directories removed, then the journal).  The caller keeps its own mark
// naming the install, so that after a crash it installs again; both calls
// may be repeated at any instant.  voz_JnlRecover (every update start)
// drops a pending journal left behind.
//   pending  mark  state
//   P        -     staged: the old index is live
//   -        M     installing (S1 .. S4 above)
//   -        -     installed (or dropped)
//
// ---- Invariants -----------------------------------------------------------
// 1. Before the mark exists no live directory has been touched: everything
//    new lies under "#" names or the mark's temporary name, so removing them
//    restores the old index.
// 2. Every N named by a replace step is complete and durable (each file and
//    directory of its tree fsynced, then D/I) before the mark is written.
// 3. The mark is durable before the first live directory moves, and it is
//    removed only after every step is done and every O removed.
// 4. Each rename is made durable (fsync of D/I) before the next move.
// 5. While a mark exists every step is in one of the states above; RedoStep
//    takes any of them to the new state and UndoStep to the old one, and
//    both may be repeated after a crash at any instant.
// 6. A commit never starts over a mark or over an O of one of its steps;
//    the creation start clears both through vozCleanTmpDir.
// 7. Without a mark a "%" directory never holds the only copy of a part
//    whose live directory exists; the live one is the index.
// 8. Readers never undo and never remove a "#" directory: without a mark a
//    "#" directory may be a creation in progress.
//
// Failures go into the caller's GTRSTATUS (first failure kept): renames
// 9/1806 (halves) and 9/1807 (deleted-document directory) as the file-set
// functions report them; the journal's own reasons are listed at each
// function.
#ifndef VOZ_JOURNAL_HPP
#define VOZ_JOURNAL_HPP

#include <cstddef>
#include <cstdint>
#include <functional>

#include "files/voz_file.hpp"
#include "files/voz_names.hpp"

struct GTRSTATUS;

// Steps a mark holds at most (two sub-indexes of three slots each need 6).
constexpr uint16_t VOZ_JNL_MAX_STEPS = 16;

// Step kinds and slots: written to disk; never renumber.
enum : char { VOZ_JNL_REPLACE = 'R', VOZ_JNL_SET_ASIDE = 'A' };
enum : char { VOZ_JNL_MAIN = 'M', VOZ_JNL_SUPP = 'S', VOZ_JNL_DELETED = 'D' };

// One step of a commit.
struct VOZJNLSTEP {
    char kind;                           // VOZ_JNL_REPLACE or _SET_ASIDE
    char slot;                           // VOZ_JNL_MAIN, _SUPP or _DELETED
    char prefix[VOZ_SUBDIR_PREFIX_LEN];  // sub-index prefix, terminated
};

// A commit being assembled: the index directory and its steps.  A plain
// record on the caller's stack; it owns nothing.
struct VOZJOURNAL {
    char directory[VOZ_FNAME_LEN];  // directory holding the index
    char indexName[VOZ_FNAME_LEN];  // the index directory's name
    uint16_t count;                 // steps in use
    VOZJNLSTEP steps[VOZ_JNL_MAX_STEPS];
};

// Starts an empty journal for the index of `anySet` (its directory and
// index name; the alternate directory is never written).  A directory or
// name too long for the record: 35/2401.  0 or -1.
int voz_JnlBegin(VOZJOURNAL* jnl, const _FCTLHEAD* anySet, GTRSTATUS* st);

// Appends a step: `kind` and `slot` as above, `prefix` the sub-index
// prefix (1 to 15 characters).  A bad kind, slot or prefix, a slot named
// twice or more than VOZ_JNL_MAX_STEPS steps: 2/2402.  0 or -1.
int voz_JnlAdd(VOZJOURNAL* jnl, char kind, char slot, const char* prefix,
               GTRSTATUS* st);

// Commits the steps.  REQUIRES: the new parts are complete under their
// "#" names (files closed).  Checks first (nothing is touched when one
// fails): no steps 2/2403, a mark already there 17/2404 (recover first), an
// O of a step exists 17/2405 (recover first), the N of a replace step
// missing 20/2406.  Then fsyncs every N (open 3/2407, fsync 5/2408) and the
// index directory (open 3/2419, fsync 5/2413; again after every move),
// writes the mark (open 3/2409, write 5/2410, fsync 5/2411, rename 9/2412),
// runs the steps, removes every O (8/2414) and the mark (8/2415).
// A failing step undoes the steps run so far (with a status of its own;
// the first failure stays reported) and removes the mark: the index is the
// old one, the new parts are back under "#" names.  When an undo fails, or
// the removal of an O or of the mark fails, the mark stays and the next
// recovery finishes the commit.  While a mark is there its "#" directories
// belong to it: a cancel or release removes no "#" set while
// voz_JnlMarkExists answers 1.  0 or -1.
int voz_JnlCommit(const VOZJOURNAL* jnl, GTRSTATUS* st);

// Commits the new parts of `count` blocks (the text and item sub-indexes
// of one update, say) with one mark per index: block i belongs to the
// index of mains[i] (null: no block); the blocks of one index, in order,
// add their steps to its journal through `stage(i, journal, st)`, the
// journal is committed (not when it got no steps), then `done(i)` runs for
// each of them (may be empty). So a crash leaves the blocks of an index
// all old or all new. The first failure ends the call. 0 or -1.
int voz_JnlCommitBlocks(int count, const _FCTLHEAD* const* mains,
                        const std::function<int(int, VOZJOURNAL*, GTRSTATUS*)>& stage,
                        const std::function<void(int)>& done, GTRSTATUS* st);

// Stages the steps as voz_JnlCommit commits them up to its mark: the same
// checks (a pending journal counts as a mark: 17/2404), the new parts
// fsynced, and the mark written under the pending name (failures as the
// mark's).  Nothing live moves.  A failure leaves no pending journal; the
// "#" parts are the caller's to remove.  0 or -1.
int voz_JnlStage(const VOZJOURNAL* jnl, GTRSTATUS* st);

// voz_JnlCommitBlocks with voz_JnlStage in place of voz_JnlCommit: the
// blocks of each index under one pending journal.  0 or -1.
int voz_JnlStageBlocks(int count, const _FCTLHEAD* const* mains,
                       const std::function<int(int, VOZJOURNAL*, GTRSTATUS*)>& stage,
                       GTRSTATUS* st);

// Installs the pending journal of the index of `anySet`: read whole (a
// damaged one 16/2416, nothing touched), renamed to the mark (a mark
// already there 17/2404; rename 9/2412), the directory fsynced, then the
// mark rolled forward as voz_JnlRollForward does.  Without a pending
// journal only the roll forward of a present mark.  0 or -1.
int voz_JnlInstallPending(const _FCTLHEAD* anySet, GTRSTATUS* st);

// Drops the pending journal of the index of `anySet`: the "#" directories
// of its replace steps removed (8/2414), then the journal (8/2415).  None:
// nothing, 0.  0 or -1.
int voz_JnlDropPending(const _FCTLHEAD* anySet, GTRSTATUS* st);

// 1 when the index of `anySet` holds a pending journal, else 0.
int voz_JnlPendingExists(const _FCTLHEAD* anySet);

// Finishes a commit whose mark is present in the index of `anySet`, then
// for the sub-index of `anySet` (its subdirPrefix) removes every "#"
// directory and every "%" directory whose live one exists and moves back a
// "%" directory whose live one is missing; a mark under its temporary name
// and a pending journal (voz_JnlDropPending) are removed first.  A damaged mark (short, bad magic, version, length,
// checksum or step) is 16/2416 and nothing is touched; a mark that cannot
// be read 4/2417.  A step that cannot be finished keeps the mark.  0 or -1.
int voz_JnlRecover(const _FCTLHEAD* anySet, GTRSTATUS* st);

// The readers' entry: finishes a commit whose mark is present (as
// voz_JnlRecover does) and touches nothing else.  No mark: nothing, 0.
int voz_JnlRollForward(const _FCTLHEAD* anySet, GTRSTATUS* st);

// 1 when the index of `anySet` holds a mark (complete or not) or a
// pending journal, else 0: the "#" parts then belong to them.
int voz_JnlMarkExists(const _FCTLHEAD* anySet);

// The marks' CRC-32 (polynomial 0xEDB88320, initial and final value
// 0xFFFFFFFF) of `size` bytes.
uint32_t voz_JnlCrc32(const uint8_t* bytes, size_t size);

// Size of a mark of `count` steps.
constexpr uint32_t voz_JnlMarkSize(uint32_t count) {
    return 16 + 20 * count + 4;
}

// Writes the mark of `jnl` (voz_JnlMarkSize(jnl->count) bytes) to `out`.
// REQUIRES: the steps passed voz_JnlAdd.
void voz_JnlEncodeMark(const VOZJOURNAL* jnl, uint8_t* out);

// Reads the steps of a mark of `size` bytes into jnl->steps and
// jnl->count (the directory and name stay).  A damaged mark: 16/2416 with
// `name`.  0 or -1.
int voz_JnlDecodeMark(const uint8_t* bytes, uint32_t size, VOZJOURNAL* jnl,
                      const char* name, GTRSTATUS* st);

// Test hook: called before every file operation of the journal (fsync of
// a new tree or of the index directory, mark write and its fsync, rename,
// removal) with a short name of the operation and the path it acts on.  A
// non-zero answer makes the operation fail as if the system had answered
// EIO.  Null: none.  For crash and failure tests only; the engine never
// sets it.
using VozJnlTestHook = int (*)(const char* operation, const char* path);
void voz_JnlSetTestHook(VozJnlTestHook hook);

#endif  // VOZ_JOURNAL_HPP
