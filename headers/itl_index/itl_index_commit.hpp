// itl_index_commit.hpp: the one commit of an index (ItlClIndexCommit).
//
// An update or merge commit spans the engine's parts, the document-name map
// and the field- and attribute-name maps. Every commit of an index runs
// through this class, so that the next open finds the old or the new state
// of all of them together, never a mix.
//
// ---- The commit -------------------------------------------------------------
//   1. Prepare; nothing live is touched. The engine writes its new parts
//      and its journal under the pending name "voz.JNL.pnd" inside its index
//      directory (ItlClKernelInterface::prepareCommitUpdate/-Merge). Each
//      index file writes its new files, fsynced, into the index directory
//      under prepared names and names its steps
//      (ItlClIndexFileBase::onIndexFilePrepareCommit); the directory is
//      fsynced.
//   2. The mark "<index name>.cmt" in the index directory: written under
//      "<index name>.cmt~", fsynced, renamed, the directory fsynced. It
//      names the engine step, then every rename, then every removal. From
//      the instant its rename is done the commit has happened.
//   3. Install, each step made durable (directory fsync): the engine's
//      pending journal becomes "voz.JNL" and is rolled forward; every
//      rename of a prepared file over its live name; every removal; the
//      mark is removed last.
//   4. The commit event of the index files ends the transaction in memory.
// commitPrepared runs 2. and 3. for files prepared outside an engine
// transaction (the document-map migration: configuration and maps).
// A failure before the mark removes what was prepared (engine and files),
// rolls the index files' transaction back and raises (return code 8): the
// old index stands. A failure after it raises too (8); the next load or
// update start finishes the commit.
//
// ---- The mark <index name>.cmt ---------------------------------------------
// All integers big-endian, written field by field.
//   off   size  field
//     0      4  magic "ICMT" (49 43 4D 54)
//     4      2  layout version, 1
//     6      2  step count n, 1..MAX_STEPS
//     8      4  length of the whole mark in bytes
//    12      4  reserved, zero
//    16      *  the steps, in the order they run; each:
//                 +0  1  kind: 'E' engine (install the pending journal),
//                        'R' rename `from` over `to`, 'D' remove `from`
//                 +1  1  length a of `from` (0 for 'E', else 2..MAX_SUFFIX)
//                 +2  1  length b of `to` (2..MAX_SUFFIX for 'R', else 0)
//                 +3  1  zero
//                 +4  a  `from`, then b bytes `to`: suffixes of
//                        "<index directory>/<index name>", each starting
//                        with '.', without '/' or NUL (".#tf", ".tf")
//   end-4    4  CRC-32 (polynomial 0xEDB88320, initial and final value
//               0xFFFFFFFF) of every byte before it
// The order of the steps: at most one 'E' first, then the 'R's, then the
// 'D's. Values written to disk: never renumber the kinds or the version.
//
// ---- States -------------------------------------------------------------------
//   engine   files      mark  state
//   P        prepared   -     S0 prepared: readers see the old index
//   P        prepared   M     S1 committed (the mark's rename)
//   J or -   prepared   M     S2 engine installed (voz.JNL rolled forward)
//   -        live       M     S3 renames and removals done
//   -        live       -     S4 mark removed: done
// (P the engine's pending journal, J its mark "voz.JNL".)
// Recovery with a mark (ItlClIndex::load before the init event, and
// recover()): every step again from whatever state it is in (an engine
// step installs a pending journal or rolls a present "voz.JNL" forward; a
// rename whose source is gone is done; a removal of a missing file is
// done), then the mark goes. Without a mark, only at an update or merge
// start (recover(index, true)): the mark's temporary file, the engine's
// pending journal with its new parts and every prepared file are removed.
// A reader never removes anything.
//
// ---- Readers and a writer at once ------------------------------------------
// Steps 2 and 3 run under an exclusive lock of the index directory
// (ItlClIndexCommitLock, flock on the directory itself), and so does the
// recovery of a mark. Every engine call of a reader that may roll the
// engine's journal forward (a search, a selectivity estimate, the counts
// of GTRgetIndexInfo) holds the same lock shared. So a
// search never opens the engine's files halfway through an install, and a
// reader that finds a mark finishes it only when no live writer holds the
// lock (the kernel releases the lock of a killed writer): it waits for the
// lock, looks again, and installs only a mark still there. Two processes
// never run the steps of one mark at once. A reader's shared lock goes
// through the directory its index object keeps open, and the directory's
// stamp, taken under it, spares the name maps' file checks while no commit
// has changed the directory (itl_kept_directory.hpp).
#ifndef ITL_INDEX_COMMIT_HPP
#define ITL_INDEX_COMMIT_HPP

#include <cstdint>
#include <string>
#include <vector>

#include "itl_index_file.hpp"
#include "itl_kept_directory.hpp"

class ItlClIndex;

// A lock of an index's directory, held from construction to destruction:
// exclusive by a commit's mark and install and by recovery, shared by an
// engine search or count. A directory that cannot be opened is not locked (the
// calls under the lock report what is wrong with it). The exclusive lock
// opens the directory each time; the shared lock of an index object goes
// through the directory its location keeps open (itl_kept_directory.hpp),
// and gives the directory's stamp, taken under the lock.
class ItlClIndexCommitLock {
 public:
  ItlClIndexCommitLock(ItlClIndex const& index, bool exclusive);
  ItlClIndexCommitLock(ItlClIndexLocation const& location, bool exclusive);
  // The lock of the index directory `directory` ("" the current one),
  // opened for this lock alone.
  ItlClIndexCommitLock(char const* directory, bool exclusive);
  ~ItlClIndexCommitLock();
  ItlClIndexCommitLock(ItlClIndexCommitLock const&) = delete;
  ItlClIndexCommitLock& operator=(ItlClIndexCommitLock const&) = delete;

  // A shared lock through a kept directory: whether `watcher`'s files are
  // unchanged since its last full check (false when not known), and the
  // record of a full check done under this lock (`verified`: the watcher
  // compared its state with its files). No-ops for other locks.
  bool unchangedFor(ItlClKeptDirectory::Watcher watcher) const;
  void noteChecked(ItlClKeptDirectory::Watcher watcher, bool verified) const;

 private:
  void openAndLock(char const* directory, bool exclusive);

  int iv_iFd = -1;
  ItlClKeptDirectory* iv_pclKept = nullptr;  // held shared through it
  ItlStDirectoryStamp iv_stStamp;
};

class ItlClIndexCommit {
 public:
  // Steps a mark holds at most; longest suffix of a step.
  static constexpr uint16_t MAX_STEPS = 64;
  static constexpr uint8_t MAX_SUFFIX = 32;
  // Step kinds (written to disk).
  static constexpr char STEP_ENGINE = 'E';
  static constexpr char STEP_RENAME = 'R';
  static constexpr char STEP_REMOVE = 'D';

  // One step of a mark.
  struct Step {
    char kind;
    std::string from;
    std::string to;
  };

  // Borrows `index`; it must outlive the object.
  explicit ItlClIndexCommit(ItlClIndex& index);
  ItlClIndexCommit(ItlClIndexCommit const&) = delete;
  ItlClIndexCommit& operator=(ItlClIndexCommit const&) = delete;

  // Commits the processed update transaction of the index (engine and
  // index files). Failures are ItlClExceptions (see above).
  void commitUpdate();
  // Commits the processed merge of the index.
  void commitMerge();
  // Commits files that the caller prepared (written under prepared names
  // in the index directory, fsynced): the steps' renames (then removals)
  // under one mark. A failure before the mark removes the renames' prepared
  // files and raises: the old state stands. After the mark it raises too;
  // the next load finishes the commit (markExists then tells). No steps:
  // nothing to do.
  void commitPrepared(std::vector<ItlStIndexFileStep> const& steps);
  // The mark of this index stands (a commit happened and waits for its
  // installation).
  bool markExists() const;

  // Finishes a commit interrupted by a kill. `updating`: the caller starts
  // an update or merge, so leftovers of a commit that never reached its
  // mark are removed as well (a reader never removes anything).
  static void recover(ItlClIndex const& index, bool updating);

  // A reader's field and attribute name maps read again, under the shared
  // lock, when a commit has replaced their files since they were read (a
  // long-lived index object then resolves the names later commits added).
  static void refreshNameMaps(ItlClIndex const& index);

  // The mark's bytes for `steps` and back (false: damaged). Exposed for
  // the tests of the layout.
  static std::vector<uint8_t> encodeMark(std::vector<Step> const& steps);
  static bool decodeMark(uint8_t const* bytes, size_t size,
                         std::vector<Step>& steps);
  // "<index directory>/<index name>.cmt".
  static std::string markPath(ItlClIndex const& index);

 private:
  void run(bool merge);

  ItlClIndex& iv_rclIndex;
};

#endif  // ITL_INDEX_COMMIT_HPP
