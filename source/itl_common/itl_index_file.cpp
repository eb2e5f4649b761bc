// itl_index_file.cpp: the index location, the four file operations of the
// index-file base and the broadcasts of the index-file manager.
#include "itl_index_file.hpp"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <exception>

#include "cos_file.hpp"
#include "cos_filename.hpp"
#include "itl_error.hpp"
#include "itl_index_location.hpp"

#define ITL_INDEX_FILE_SOURCE ITL_SOURCE("source/itl_common/itl_index_file")

// ---------------------------------------------------------------------------
// ItlClIndexLocation

ItlClIndexLocation::ItlClIndexLocation(char const* indexName,
                                       char const* indexDirectory,
                                       char const* workingDirectory)
    : iv_clIndexDirectory(indexDirectory),
      iv_bDocMapFilesConverted(false) {
  static std::atomic<unsigned> s_uiLocations{0};
  std::snprintf(iv_szWorkTag, sizeof iv_szWorkTag, "-%u-%u",
                (unsigned)getpid(), ++s_uiLocations);
  setIndexName(indexName);
  setWorkingDirectory(workingDirectory);
}

void ItlClIndexLocation::setIndexName(char const* indexName) {
  if (indexName == nullptr) indexName = "";
  std::strncpy(iv_szIndexName, indexName, COS_PATH_MAX_LENGTH);
  iv_szIndexName[COS_PATH_MAX_LENGTH] = '\0';
  iv_clKeptDirectory.forgetStamps();
}

std::string ItlClIndexLocation::workBaseNameOf(char const* indexName) const {
  return std::string(indexName != nullptr ? indexName : "") + iv_szWorkTag;
}

void ItlClIndexLocation::setIndexDirectory(char const* directory) {
  iv_clIndexDirectory = directory != nullptr ? directory : "";
  iv_clKeptDirectory.reset();
}

void ItlClIndexLocation::setWorkingDirectory(char const* directory) {
  iv_clWorkingDirectory = directory != nullptr ? directory
                                               : cosGetTmpDirectory();
}

// ---------------------------------------------------------------------------
// ItlClIndexFileBase

ItlClIndexFileBase::ItlClIndexFileBase(ItlClIndexLocation const& location)
    : iv_rclLocation(location) {}

ItlClIndexFileBase::~ItlClIndexFileBase() = default;

void ItlClIndexFileBase::onIndexFileCreate() {}
void ItlClIndexFileBase::onIndexFileClear() {}
void ItlClIndexFileBase::onIndexFileDestroy() {}
void ItlClIndexFileBase::onIndexFileRename(char const*) {}
void ItlClIndexFileBase::onIndexFileCopy(char const*) {}
void ItlClIndexFileBase::onIndexFileMove(char const*) {}
void ItlClIndexFileBase::onIndexFileInit() {}
void ItlClIndexFileBase::onIndexFileStartTransaction() {}
void ItlClIndexFileBase::onIndexFileEndTransaction() {}
void ItlClIndexFileBase::onIndexFileCommitTransaction() {}
void ItlClIndexFileBase::onIndexFileRollbackTransaction() {}
void ItlClIndexFileBase::onIndexFileStartMergeTransaction() {}
void ItlClIndexFileBase::onIndexFileEndMergeTransaction() {}
void ItlClIndexFileBase::onIndexFileCommitMergeTransaction() {}
void ItlClIndexFileBase::onIndexFileRollbackMergeTransaction() {}
void ItlClIndexFileBase::onIndexFilePrepareCommit(
    bool /*merge*/, std::vector<ItlStIndexFileStep>& /*steps*/) {}
void ItlClIndexFileBase::onIndexFileDropPrepared() {}

void ItlClIndexFileBase::indexFileCopy(CosClFilename const& source,
                                       CosClFilename const& target) const {
  if (!source.isExistent())
    itlRaise(ITL_INDEX_FILE_SOURCE, ItlEnReasonCode_Io_open_error, 3, source);
  CosClFile file(source);
  if (!file.copyTo(target, true))
    itlRaise(ITL_INDEX_FILE_SOURCE, ItlEnReasonCode_Io_write_error, 3, target);
}

void ItlClIndexFileBase::indexFileMove(CosClFilename const& source,
                                       CosClFilename const& target) const {
  if (!source.isExistent())
    itlRaise(ITL_INDEX_FILE_SOURCE, ItlEnReasonCode_Io_open_error, 3, source);
  if (target.isExistent())
    itlRaise(ITL_INDEX_FILE_SOURCE, ItlEnReasonCode_Io_open_error, 3, target);
  CosClFile file(source);
  if (file.renameAs(target)) return;
  if (!file.copyTo(target, true))
    itlRaise(ITL_INDEX_FILE_SOURCE, ItlEnReasonCode_Io_write_error, 3, target);
  if (!file.remove())
    itlRaise(ITL_INDEX_FILE_SOURCE, ItlEnReasonCode_Io_remove_error, 3,
             source);
}

void ItlClIndexFileBase::indexFileDelete(CosClFilename const& name) const {
  CosClFile file(name);
  if (!file.remove())
    itlRaise(ITL_INDEX_FILE_SOURCE, ItlEnReasonCode_Io_remove_error, 3, name);
}

void ItlClIndexFileBase::indexFileRename(CosClFilename const& from,
                                         CosClFilename const& to) const {
  if (!from.isExistent())
    itlRaise(ITL_INDEX_FILE_SOURCE, ItlEnReasonCode_Io_open_error, 3, from);
  CosClFile file(from);
  if (!file.renameAs(to))
    itlRaise(ITL_INDEX_FILE_SOURCE, ItlEnReasonCode_Io_rename_error, 3, from);
}

// ---------------------------------------------------------------------------
// ItlClIndexFileMgr

ItlClIndexFileMgr::ItlClIndexFileMgr() : iv_apclFiles(), iv_uiCount(0) {}

ItlClIndexFileMgr::~ItlClIndexFileMgr() = default;

void ItlClIndexFileMgr::registerForNotify(ItlClIndexFileBase& file) {
  if (iv_uiCount == MAX_FILES) {
    ItlClException e(ITL_INDEX_FILE_SOURCE, ItlEnReasonCode_Unexpected_error);
    e.context(1) << ": Too many objects registered with index";
    e.raise();
  }
  iv_apclFiles[iv_uiCount++] = &file;
}

void ItlClIndexFileMgr::deregisterForNotify(ItlClIndexFileBase& file) {
  for (unsigned i = 0; i < iv_uiCount; ++i) {
    if (iv_apclFiles[i] != &file) continue;
    for (unsigned j = i + 1; j < iv_uiCount; ++j)
      iv_apclFiles[j - 1] = iv_apclFiles[j];
    iv_apclFiles[--iv_uiCount] = nullptr;
    return;
  }
}

void ItlClIndexFileMgr::broadcast(Hook hook) {
  for (unsigned i = 0; i < iv_uiCount; ++i) (iv_apclFiles[i]->*hook)();
}

void ItlClIndexFileMgr::broadcast(HookWithName hook, char const* name) {
  for (unsigned i = 0; i < iv_uiCount; ++i) (iv_apclFiles[i]->*hook)(name);
}

void ItlClIndexFileMgr::broadcastToAll(Hook hook) {
  std::exception_ptr first;
  for (unsigned i = 0; i < iv_uiCount; ++i) {
    try {
      (iv_apclFiles[i]->*hook)();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first) std::rethrow_exception(first);
}

void ItlClIndexFileMgr::notifyCreate() {
  broadcast(&ItlClIndexFileBase::onIndexFileCreate);
}
void ItlClIndexFileMgr::notifyClear() {
  broadcast(&ItlClIndexFileBase::onIndexFileClear);
}
void ItlClIndexFileMgr::notifyDestroy() {
  broadcast(&ItlClIndexFileBase::onIndexFileDestroy);
}
void ItlClIndexFileMgr::notifyRename(char const* newIndexName) {
  broadcast(&ItlClIndexFileBase::onIndexFileRename, newIndexName);
}
void ItlClIndexFileMgr::notifyCopy(char const* targetDirectory) {
  broadcast(&ItlClIndexFileBase::onIndexFileCopy, targetDirectory);
}
void ItlClIndexFileMgr::notifyMove(char const* targetDirectory) {
  broadcast(&ItlClIndexFileBase::onIndexFileMove, targetDirectory);
}
void ItlClIndexFileMgr::notifyInit() {
  broadcast(&ItlClIndexFileBase::onIndexFileInit);
}
void ItlClIndexFileMgr::notifyStartTransaction() {
  broadcast(&ItlClIndexFileBase::onIndexFileStartTransaction);
}
void ItlClIndexFileMgr::notifyEndTransaction() {
  broadcast(&ItlClIndexFileBase::onIndexFileEndTransaction);
}
void ItlClIndexFileMgr::notifyCommitTransaction() {
  broadcastToAll(&ItlClIndexFileBase::onIndexFileCommitTransaction);
}
void ItlClIndexFileMgr::notifyRollbackTransaction() {
  broadcastToAll(&ItlClIndexFileBase::onIndexFileRollbackTransaction);
}
void ItlClIndexFileMgr::notifyStartMergeTransaction() {
  broadcast(&ItlClIndexFileBase::onIndexFileStartMergeTransaction);
}
void ItlClIndexFileMgr::notifyEndMergeTransaction() {
  broadcast(&ItlClIndexFileBase::onIndexFileEndMergeTransaction);
}
void ItlClIndexFileMgr::notifyCommitMergeTransaction() {
  broadcastToAll(&ItlClIndexFileBase::onIndexFileCommitMergeTransaction);
}
void ItlClIndexFileMgr::notifyRollbackMergeTransaction() {
  broadcastToAll(&ItlClIndexFileBase::onIndexFileRollbackMergeTransaction);
}
void ItlClIndexFileMgr::notifyPrepareCommit(
    bool merge, std::vector<ItlStIndexFileStep>& steps) {
  for (unsigned i = 0; i < iv_uiCount; ++i)
    iv_apclFiles[i]->onIndexFilePrepareCommit(merge, steps);
}
void ItlClIndexFileMgr::notifyDropPrepared() {
  for (unsigned i = 0; i < iv_uiCount; ++i) {
    try {
      iv_apclFiles[i]->onIndexFileDropPrepared();
    } catch (...) {
      // Best effort: what stays is removed at the next update start.
    }
  }
}
