// itl_index_commit.hpp: the one commit of an index (ItlClIndexCommit).
//
// An update or merge commit spans the engine's parts, the document-name map
// and the field- and attribute-name maps. Every commit of an index runs
// through this class, so that the next open finds the old or the new state
// of all of them together, never a mix.
//
// This first form commits the engine, then the index files (the order the
// index used before this class existed); the crash-safe form with one mark
// for all parts replaces the bodies behind the same calls.
#ifndef ITL_INDEX_COMMIT_HPP
#define ITL_INDEX_COMMIT_HPP

class ItlClIndex;

class ItlClIndexCommit {
 public:
  // Borrows `index`; it must outlive the object.
  explicit ItlClIndexCommit(ItlClIndex& index);
  ItlClIndexCommit(ItlClIndexCommit const&) = delete;
  ItlClIndexCommit& operator=(ItlClIndexCommit const&) = delete;

  // Commits the processed update transaction of the index (engine and
  // index files). Failures are ItlClExceptions.
  void commitUpdate();
  // Commits the processed merge of the index.
  void commitMerge();

  // Finishes a commit interrupted by a kill. `updating`: the caller starts
  // an update or merge, so leftovers of a commit that never reached its
  // mark are removed as well (a reader never removes anything).
  static void recover(ItlClIndex& index, bool updating);

 private:
  ItlClIndex& iv_rclIndex;
};

#endif  // ITL_INDEX_COMMIT_HPP
