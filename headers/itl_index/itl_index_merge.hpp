// itl_index_merge.hpp: one merge transaction on an index (ItlClIndexMerge).
//
// The engine merges the pending parts of its index while every index file
// hears of the merge's start, end, commit or rollback; the document-name
// map drops the numbers of removed documents then. The commit runs through
// ItlClIndexCommit, so that the next open finds the index before or after
// the merge, never a mix.
//
//   idle --mergeProcess--> processed --mergeCommit, mergeRollback--> idle
//
// A step that raises an ItlClException marks the merge rollback-required
// and passes the exception on with the context line "Merge operation";
// mergeProcess and mergeCommit then refuse with reason 109 (action Inform)
// for the rest of the object's life, mergeRollback still runs. Any other
// exception passes through unchanged and leaves the mark as it was.
// mergeRollback with nothing processed does nothing. Deleting the object
// with a processed merge that was neither committed nor rolled back
// cancels it (engine and index files), so no engine work or working file
// of the maps stays behind.
#ifndef ITL_INDEX_MERGE_HPP
#define ITL_INDEX_MERGE_HPP

class ItlClErrorInfo;
class ItlClIndex;
class ItlClIndexFileMgr;
class ItlClKernelInterface;

class ItlClIndexMerge {
 public:
  // Borrows the index (loaded) and the error info; both must outlive the
  // object.
  ItlClIndexMerge(ItlClIndex& index, ItlClErrorInfo& errorInfo);
  // Cancels a processed, unfinished merge (failures are ignored). Never
  // throws.
  virtual ~ItlClIndexMerge();
  ItlClIndexMerge(ItlClIndexMerge const&) = delete;
  ItlClIndexMerge& operator=(ItlClIndexMerge const&) = delete;

  // Finishes an update or merge commit that a kill interrupted, then:
  // start-merge event, the engine's merge, end-merge event.
  void mergeProcess();
  // The engine's merge commit and the index files' commit-merge event, as
  // one commit. Without a processed merge: reason 6.
  void mergeCommit();
  // The engine's merge cancel and the rollback-merge event; nothing when
  // no merge was processed.
  void mergeRollback();

  void setRollbackRequired() { iv_bRollbackRequired = true; }
  bool isRollbackRequired() const { return iv_bRollbackRequired; }
  // A merge was started and is neither committed nor rolled back.
  bool isMergeStarted() const { return iv_bStarted; }
  ItlClErrorInfo& getErrorInfo() const { return iv_rclErrorInfo; }

 private:
  // Runs one step: an ItlClException marks the merge rollback-required
  // and is raised again with the line "Merge operation".
  template <class Step>
  void guarded(Step&& step);
  void throwIfRollbackRequired(char const* origin, unsigned line) const;

  ItlClErrorInfo& iv_rclErrorInfo;
  ItlClIndex& iv_rclIndex;
  ItlClIndexFileMgr& iv_rclFileMgr;
  ItlClKernelInterface& iv_rclKernel;
  bool iv_bRollbackRequired;
  bool iv_bStarted;  // the start-merge event went out, no commit or rollback yet
};

#endif  // ITL_INDEX_MERGE_HPP
