// itl_index_file.hpp: the files of an index and the event manager that
// announces the life of the index to them.
//
// Every object that owns a file of an index (configuration, name maps,
// document models, document-number maps, stop-word file, engine files)
// derives from ItlClIndexFileBase and registers with the index's
// ItlClIndexFileMgr (at most 10). The index announces create, clear,
// destroy, rename, copy, move, init and the start, end, commit and rollback
// of update and merge transactions to the manager, which calls the matching
// hook of every registered file in registration order.
//
// Failures: a hook that throws stops the broadcast at once (the files after
// it do not hear the event), except for commits and rollbacks: those reach
// every file, and the first failure is rethrown after the last file, so
// that no file is left behind in an open transaction. The four file
// operations of the base raise ItlClException (return code 8, Inform) with
// the context line "File name: <name>".
#ifndef ITL_INDEX_FILE_HPP
#define ITL_INDEX_FILE_HPP

#include <cstdint>
#include <string>
#include <vector>

class CosClFilename;
class ItlClIndexLocation;

// One step of an index's commit, run after the commit's mark: rename the
// file `from` over `to`, or (`to` empty) remove `from`. Both are suffixes
// of "<index directory>/<index name>" (".#tf", ".tf").
struct ItlStIndexFileStep {
  std::string from;
  std::string to;
};

class ItlClIndexFileBase {
 public:
  // Keeps the reference; the location must outlive the file.
  explicit ItlClIndexFileBase(ItlClIndexLocation const& location);
  virtual ~ItlClIndexFileBase();
  ItlClIndexFileBase(ItlClIndexFileBase const&) = delete;
  ItlClIndexFileBase& operator=(ItlClIndexFileBase const&) = delete;

  // Event hooks; the base versions do nothing.
  virtual void onIndexFileCreate();
  virtual void onIndexFileClear();
  virtual void onIndexFileDestroy();
  virtual void onIndexFileRename(char const* newIndexName);
  virtual void onIndexFileCopy(char const* targetDirectory);
  virtual void onIndexFileMove(char const* targetDirectory);
  virtual void onIndexFileInit();
  virtual void onIndexFileStartTransaction();
  virtual void onIndexFileEndTransaction();
  virtual void onIndexFileCommitTransaction();
  virtual void onIndexFileRollbackTransaction();
  virtual void onIndexFileStartMergeTransaction();
  virtual void onIndexFileEndMergeTransaction();
  virtual void onIndexFileCommitMergeTransaction();
  virtual void onIndexFileRollbackMergeTransaction();

  // The first half of the index's one commit (of an update, or with
  // `merge` of a merge), before its mark: the file writes its new content
  // under prepared names in the index directory, each fsynced, and appends
  // the steps that put it in place (renames first, removals after them).
  // Nothing live changes. The commit event that follows the installed
  // steps then only ends the transaction in memory. The base: nothing to
  // prepare.
  virtual void onIndexFilePrepareCommit(bool merge,
                                        std::vector<ItlStIndexFileStep>& steps);
  // Removes the prepared files of a commit that never reached its mark
  // (at an update or merge start, or when the commit fails before it).
  // Never throws. The base: nothing.
  virtual void onIndexFileDropPrepared();

  // Copies `source` over `target` with the source's permissions. Missing
  // source: reason 16 (source name); failed copy: 18 (target name).
  void indexFileCopy(CosClFilename const& source,
                     CosClFilename const& target) const;
  // Renames `source` to `target`, or copies and removes it when the rename
  // fails (another file system). Missing source: 16 (source name); existing
  // target: 16 (target name), nothing touched; failed copy: 18 (target);
  // failed removal of the source: 23 (source name).
  void indexFileMove(CosClFilename const& source,
                     CosClFilename const& target) const;
  // Removes `name`; a missing file is a failure too: 23 (name).
  void indexFileDelete(CosClFilename const& name) const;
  // Renames; missing source: 16; failed rename: 22 (both the old name).
  void indexFileRename(CosClFilename const& from,
                       CosClFilename const& to) const;

  ItlClIndexLocation const& getIndexLocation() const { return iv_rclLocation; }

 protected:
  ItlClIndexLocation const& iv_rclLocation;
};

class ItlClIndexFileMgr {
 public:
  static constexpr unsigned MAX_FILES = 10;

  ItlClIndexFileMgr();
  virtual ~ItlClIndexFileMgr();
  ItlClIndexFileMgr(ItlClIndexFileMgr const&) = delete;
  ItlClIndexFileMgr& operator=(ItlClIndexFileMgr const&) = delete;

  // Appends the file (not owned; it must deregister or outlive the
  // manager). The eleventh registration raises reason 7 with
  // "Context: Too many objects registered with index", the ten unchanged.
  void registerForNotify(ItlClIndexFileBase& file);
  // Removes the file's first slot, keeping the order of the others; a file
  // that is not registered is ignored.
  void deregisterForNotify(ItlClIndexFileBase& file);

  void notifyCreate();
  void notifyClear();
  void notifyDestroy();
  void notifyRename(char const* newIndexName);
  void notifyCopy(char const* targetDirectory);
  void notifyMove(char const* targetDirectory);
  void notifyInit();
  void notifyStartTransaction();
  void notifyEndTransaction();
  void notifyCommitTransaction();    // reaches every file (see above)
  void notifyRollbackTransaction();  // reaches every file
  void notifyStartMergeTransaction();
  void notifyEndMergeTransaction();
  void notifyCommitMergeTransaction();    // reaches every file
  void notifyRollbackMergeTransaction();  // reaches every file
  // The commit's prepare hooks (stops at the first that throws) and the
  // removal of prepared files (reaches every file).
  void notifyPrepareCommit(bool merge, std::vector<ItlStIndexFileStep>& steps);
  void notifyDropPrepared();

  uint32_t getCount() const { return iv_uiCount; }
  // REQUIRES: index < getCount().
  ItlClIndexFileBase* getFile(unsigned index) const { return iv_apclFiles[index]; }

 private:
  typedef void (ItlClIndexFileBase::*Hook)();
  typedef void (ItlClIndexFileBase::*HookWithName)(char const*);
  // Stops at the first hook that throws.
  void broadcast(Hook hook);
  void broadcast(HookWithName hook, char const* name);
  // Calls every hook; rethrows the first failure after the last file.
  void broadcastToAll(Hook hook);

  ItlClIndexFileBase* iv_apclFiles[MAX_FILES];  // not owned; first
                                                // iv_uiCount filled
  uint32_t iv_uiCount;
};

#endif  // ITL_INDEX_FILE_HPP
