// itl_docname_mapping_tx.cpp: the transactions and file events of the
// document-name mapping, with the crash-safe commit (see the header).
//
// States: idle -> (first assignment or deletion) working copy + update
// access -> end (docMapProcess completes the working maps) -> commit
// (prepareCommit, mark, steps) or rollback (working set deleted) -> idle.
// Invariants:
//   1. Live map files change only by the renames of a marked commit.
//   2. A mark lists every step of its commit and is complete before it is
//      visible (temporary name, fsync, rename).
//   3. Every step is idempotent: a rename whose source is gone is done, a
//      removal of a missing file is done.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "itl_docmap_error.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_file_util.hpp"
#include "itl_index_location.hpp"

#define ITL_MAPTX_ORIGIN "source/itl_index/itl_docname_mapping_tx"

namespace {

// Live files of the index set and their prepared and set-aside names.
struct SetFile {
  char const* live;
  char const* prepared;
  char const* asideName;
  char const* working;
};
SetFile const gs_aSet[] = {
    {ITL_DOCMAP_EXT_DID, ".#id", ITL_DOCMAP_EXT_YID, ITL_DOCMAP_EXT_XID},
    {ITL_DOCMAP_EXT_DII, ".#ii", ITL_DOCMAP_EXT_YII, ITL_DOCMAP_EXT_XII},
    {ITL_DOCMAP_EXT_DED, ".#ed", ITL_DOCMAP_EXT_YED, ITL_DOCMAP_EXT_XED},
    {ITL_DOCMAP_EXT_DEI, ".#ei", ITL_DOCMAP_EXT_YEI, ITL_DOCMAP_EXT_XEI},
    {ITL_DOCMAP_EXT_DEL, ".#el", ITL_DOCMAP_EXT_YEL, ITL_DOCMAP_EXT_XEL},
};
char const gs_szMark[] = ".#dm";
char const gs_szMarkTemp[] = ".#dm~";
char const gs_szMarkMagic[] = "ITL-DOCMAP-COMMIT 1";

bool fileExists(std::string const& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

[[noreturn]] void raiseFileError(char const* origin, unsigned line,
                                 ItlEnReasonCode reason,
                                 std::string const& path) {
  int error = errno;
  ItlClException e(origin, line, reason);
  e.resetContext(path.c_str());
  e.context(ITL_MSG_FILE_NAME) << ": " << path << " (" << error << ")";
  e.raise();
}

// Operations that the test hook may refuse (crash and failure tests).
bool renameFile(std::string const& from, std::string const& to) {
  return !itlFileOpRefused("rename", to.c_str()) &&
         std::rename(from.c_str(), to.c_str()) == 0;
}

bool removeFile(std::string const& path) {
  return !itlFileOpRefused("unlink", path.c_str()) &&
         (unlink(path.c_str()) == 0 || errno == ENOENT);
}

bool extensionKnown(std::string const& e, bool prepared) {
  for (SetFile const& f : gs_aSet)
    if (e == (prepared ? f.prepared : f.live)) return true;
  return false;
}

}  // namespace

// ---- the commit ------------------------------------------------------------------

std::vector<ItlStDocMapCommitStep> ItlClDocumentNameMapping::prepareCommit() {
  std::vector<ItlStDocMapCommitStep> steps;
  try {
    for (SetFile const& f : gs_aSet) {
      std::string from = workPath(f.working);
      if (!fileExists(from)) continue;
      std::string prepared = indexPath(f.prepared);
      if (!itlCopyFileSynced(from.c_str(), prepared.c_str(), 0660))
        raiseFileError(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                       ItlEnReasonCode_Io_write_error, prepared);
      steps.push_back({f.prepared, f.live});
    }
    if (iv_bMergePending) steps.push_back({ITL_DOCMAP_EXT_DEL, ""});
    if (!itlSyncParentDirectory(indexPath(gs_szMark).c_str()))
      raiseFileError(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                     ItlEnReasonCode_Io_write_error, indexPath(""));
  } catch (...) {
    for (SetFile const& f : gs_aSet) unlink(indexPath(f.prepared).c_str());
    throw;
  }
  return steps;
}

void ItlClDocumentNameMapping::runSteps(
    std::vector<ItlStDocMapCommitStep> const& steps) {
  for (ItlStDocMapCommitStep const& s : steps) {
    std::string from = indexPath(s.from.c_str());
    if (s.to.empty()) {
      if (!removeFile(from))
        raiseFileError(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                       ItlEnReasonCode_Io_remove_error, from);
    } else if (fileExists(from) &&
               !renameFile(from, indexPath(s.to.c_str()))) {
      raiseFileError(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                     ItlEnReasonCode_Io_rename_error, from);
    }
  }
  std::string mark = indexPath(gs_szMark);
  if (!itlSyncParentDirectory(mark.c_str()))
    raiseFileError(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                   ItlEnReasonCode_Io_write_error, mark);
  if (!removeFile(mark))
    raiseFileError(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                   ItlEnReasonCode_Io_remove_error, mark);
  if (!itlSyncParentDirectory(mark.c_str()))
    raiseFileError(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                   ItlEnReasonCode_Io_write_error, mark);
}

void ItlClDocumentNameMapping::runMarkedCommit(
    std::vector<ItlStDocMapCommitStep> const& steps) {
  std::string mark = indexPath(gs_szMark), temp = indexPath(gs_szMarkTemp);
  std::string text = std::string(gs_szMarkMagic) + "\n";
  for (ItlStDocMapCommitStep const& s : steps)
    text += (s.to.empty() ? "remove " + s.from : "rename " + s.from + " " + s.to) +
            "\n";
  text += "end\n";
  bool written = false;
  if (!itlFileOpRefused("write", temp.c_str())) {
    ItlClStdioFile file(temp.c_str(), "wb");
    written = file.get() != nullptr &&
              std::fwrite(text.data(), 1, text.size(), file.get()) ==
                  text.size() &&
              file.syncAndClose();
  }
  if (!written || !renameFile(temp, mark) ||
      !itlSyncParentDirectory(mark.c_str())) {
    // Before the mark stands the old set is live: undo the preparation.
    bool marked = fileExists(mark);
    unlink(temp.c_str());
    if (!marked)
      for (SetFile const& f : gs_aSet) unlink(indexPath(f.prepared).c_str());
    raiseFileError(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                   ItlEnReasonCode_Io_write_error, mark);
  }
  // The commit has happened; a failure from here on is finished by the
  // next first use (recoverInterruptedCommit).
  runSteps(steps);
}

void ItlClDocumentNameMapping::recoverInterruptedCommit(bool updating) {
  std::string mark = indexPath(gs_szMark);
  if (fileExists(mark)) {
    ItlClByteBuffer content;
    if (!itlReadWholeFile(mark.c_str(), content))
      raiseFileError(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                     ItlEnReasonCode_Io_read_error, mark);
    std::string text(reinterpret_cast<char const*>(content.data()),
                     content.size());
    std::vector<ItlStDocMapCommitStep> steps;
    bool complete = false;
    size_t at = 0;
    bool first = true;
    while (at < text.size()) {
      size_t end = text.find('\n', at);
      if (end == std::string::npos) break;
      std::string line = text.substr(at, end - at);
      at = end + 1;
      if (first) {
        if (line != gs_szMarkMagic) break;
        first = false;
        continue;
      }
      if (line == "end") {
        complete = at == text.size();
        break;
      }
      char a[16], b[16], c[16];
      int n = std::sscanf(line.c_str(), "%15s %15s %15s", a, b, c);
      if (n == 3 && std::strcmp(a, "rename") == 0 && extensionKnown(b, true) &&
          extensionKnown(c, false))
        steps.push_back({b, c});
      else if (n == 2 && std::strcmp(a, "remove") == 0 &&
               std::strcmp(b, ITL_DOCMAP_EXT_DEL) == 0)
        steps.push_back({b, ""});
      else
        break;
    }
    if (!complete) {
      // Marks become visible whole: one that does not read is damage.
      ItlClException e(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                       ItlEnReasonCode_Docmap_corrupted);
      e.context(ITL_MSG_FILE_NAME) << ": " << mark;
      e.raise();
    }
    runSteps(steps);
  }
  // A set-aside of an older commit: back where the live file is missing.
  for (SetFile const& f : gs_aSet) {
    std::string aside = indexPath(f.asideName);
    if (!fileExists(aside)) continue;
    std::string live = indexPath(f.live);
    bool ok = fileExists(live) ? removeFile(aside) : renameFile(aside, live);
    if (!ok)
      raiseFileError(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                     ItlEnReasonCode_Io_rename_error, aside);
  }
  if (updating) {
    // Prepared files without a mark belong to a commit that never
    // happened.
    for (SetFile const& f : gs_aSet) unlink(indexPath(f.prepared).c_str());
    unlink(indexPath(gs_szMarkTemp).c_str());
  }
}

// ---- steps ------------------------------------------------------------------------

void ItlClDocumentNameMapping::closeMaps() {
  iv_clDix.reset();
  iv_clDex.reset();
  iv_clDeleted.reset();
}

void ItlClDocumentNameMapping::clearTransactionFlags() {
  iv_bNamesAssigned = false;
  iv_bDocumentsDeleted = false;
  iv_bMergePending = false;
  iv_bUpdateAccess = false;
  iv_bReadAccess = false;  // read access is opened again on the next lookup
  iv_aNewNames.clear();
}

void ItlClDocumentNameMapping::copyMergeFileSetToWorking() {
  recoverInterruptedCommit(true);
  if (checkFileSet() == 0) {
    iv_bWorkingCopy = true;
    return;
  }
  for (SetFile const& f : gs_aSet) {
    if (f.live == ITL_DOCMAP_EXT_DED || f.live == ITL_DOCMAP_EXT_DEI) continue;
    std::string from = indexPath(f.live);
    if (f.live == ITL_DOCMAP_EXT_DEL && !fileExists(from)) continue;
    indexFileCopy(CosClFilename(from.c_str()),
                  CosClFilename(workPath(f.working).c_str()));
  }
}

void ItlClDocumentNameMapping::copyFileSetToWorking() {
  // Working files of an earlier, interrupted transaction go first.
  closeMaps();
  deleteWorkingFileSet();
  copyMergeFileSetToWorking();
  if (iv_bWorkingCopy) return;
  indexFileCopy(CosClFilename(indexPath(ITL_DOCMAP_EXT_DED).c_str()),
                CosClFilename(workPath(ITL_DOCMAP_EXT_XED).c_str()));
  indexFileCopy(CosClFilename(indexPath(ITL_DOCMAP_EXT_DEI).c_str()),
                CosClFilename(workPath(ITL_DOCMAP_EXT_XEI).c_str()));
  iv_bWorkingCopy = true;
}

void ItlClDocumentNameMapping::access4Merge() {
  if (iv_bUpdateAccess) return;
  closeMaps();
  iv_bReadAccess = false;
  iv_clDix.access4Update();
  iv_clDix.loadIndexTable();
  iv_clDeleted.access4Update();
  iv_bUpdateAccess = true;
}

void ItlClDocumentNameMapping::docMapProcess() {
  if (iv_bDocumentsDeleted && !iv_bMergePending) {
    iv_clDeleted.updateDeletionBuffer();
    iv_clDeleted.writeDeletionBuffer();
  }
  if (!iv_bNamesAssigned && !iv_bMergePending) return;
  iv_clDix.writeTempDataBlock(true);
  if (iv_bMergePending) iv_clDix.ensureTempFile();
  if (!iv_clDix.isTempFileOpen()) return;
  iv_clDix.addTempDataToIndexFile(iv_bMergePending, false);
  iv_clDix.writeControlRecord(-1);
  iv_clDix.closeTempFile();
  std::string tdm = workPath(ITL_DOCMAP_EXT_TDM);
  std::string sdm = workPath(ITL_DOCMAP_EXT_SDM);
  std::string ted = workPath(ITL_DOCMAP_EXT_TED);
  int rc = sortTempDex(tdm.c_str(), sdm.c_str(), iv_clDex.getSeqEntrySize(),
                       iv_usNameSize);
  if (rc != 0) {
    ItlClException e(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                     static_cast<ItlEnReasonCode>(rc));
    e.resetContext(sdm.c_str());
    e.raise();
  }
  if (iv_bMergePending) {
    // The name-to-number map is rebuilt from the surviving pairs alone.
    unlink(workPath(ITL_DOCMAP_EXT_XED).c_str());
    unlink(workPath(ITL_DOCMAP_EXT_XEI).c_str());
    iv_clDex.closeAll();
    iv_clDex.dataControl().uiBlockCount = 0;
  }
  iv_clDex.addTempDataToIndexFiles(sdm.c_str(), ted.c_str(),
                                   iv_clSort.getBuffer(),
                                   iv_clSort.getEntriesInBuffer(),
                                   iv_bMergePending);
  iv_clSort.release();
}

void ItlClDocumentNameMapping::copyWorkingFileSetToIndex() {
  runMarkedCommit(prepareCommit());
}

void ItlClDocumentNameMapping::deleteWorkingFileSet() {
  for (char const* e : {ITL_DOCMAP_EXT_XID, ITL_DOCMAP_EXT_XII,
                        ITL_DOCMAP_EXT_XEI, ITL_DOCMAP_EXT_XED,
                        ITL_DOCMAP_EXT_XEL, ITL_DOCMAP_EXT_TDM,
                        ITL_DOCMAP_EXT_SDM, ITL_DOCMAP_EXT_TED})
    unlink(workPath(e).c_str());
  iv_bWorkingCopy = false;
}

void ItlClDocumentNameMapping::deleteIndexFileSet() {
  for (SetFile const& f : gs_aSet) {
    for (char const* e : {f.live, f.prepared, f.asideName}) {
      std::string path = indexPath(e);
      if (fileExists(path)) indexFileDelete(CosClFilename(path.c_str()));
    }
  }
  unlink(indexPath(gs_szMark).c_str());
  unlink(indexPath(gs_szMarkTemp).c_str());
}

// ---- transaction events ---------------------------------------------------------

void ItlClDocumentNameMapping::onIndexFileEndTransaction() {
  if (iv_bNamesAssigned || iv_bDocumentsDeleted) docMapProcess();
}

bool ItlClDocumentNameMapping::finishWorkingSet() {
  if (!iv_bWorkingCopy) {
    // Nothing was changed in this transaction.
    closeMaps();
    return false;
  }
  if (iv_bDocumentsDeleted && !iv_bNamesAssigned && !iv_bMergePending &&
      iv_bUpdateAccess) {
    // The lowered counts reach the working files (the working copies are
    // open from the update access).
    iv_clDex.writeControlRecord(-1);
    iv_clDix.writeControlRecord(-1);
  }
  closeMaps();
  // A commit that leaves no document still installs the maps: their data
  // records keep the highest number ever assigned.
  if (iv_bMergePending) unlink(workPath(ITL_DOCMAP_EXT_XEL).c_str());
  return true;
}

void ItlClDocumentNameMapping::onIndexFilePrepareCommit(
    bool merge, std::vector<ItlStIndexFileStep>& steps) {
  if (merge && !iv_bMergePending) return;  // the merge deleted nothing
  if (!finishWorkingSet()) return;
  std::vector<ItlStDocMapCommitStep> own;
  try {
    own = prepareCommit();
  } catch (...) {
    deleteWorkingFileSet();
    clearTransactionFlags();
    throw;
  }
  for (ItlStDocMapCommitStep const& s : own) steps.push_back({s.from, s.to});
  iv_bPrepared = true;
}

void ItlClDocumentNameMapping::onIndexFileDropPrepared() {
  iv_bPrepared = false;
  for (SetFile const& f : gs_aSet) unlink(indexPath(f.prepared).c_str());
}

void ItlClDocumentNameMapping::onIndexFileCommitTransaction() {
  if (iv_bPrepared) {
    // The index's commit has installed the prepared files.
    iv_bPrepared = false;
    deleteWorkingFileSet();
    clearTransactionFlags();
    return;
  }
  if (!finishWorkingSet()) {
    clearTransactionFlags();
    return;
  }
  try {
    copyWorkingFileSetToIndex();
  } catch (...) {
    deleteWorkingFileSet();
    clearTransactionFlags();
    throw;
  }
  deleteWorkingFileSet();
  clearTransactionFlags();
}

void ItlClDocumentNameMapping::onIndexFileRollbackTransaction() {
  iv_bPrepared = false;
  closeMaps();
  deleteWorkingFileSet();
  clearTransactionFlags();
}

void ItlClDocumentNameMapping::onIndexFileEndMergeTransaction() {
  iv_bMergePending = true;
  closeMaps();
  if (!iv_bWorkingCopy) {
    copyMergeFileSetToWorking();
    iv_bWorkingCopy = true;
  }
  if (!iv_bUpdateAccess) access4Merge();
  if (iv_clDeleted.getListCount() == 0) {
    closeMaps();
    iv_bMergePending = false;
    return;
  }
  iv_clDix.mergeIntoNewFullTemp(iv_clDeleted);
  docMapProcess();
  closeMaps();
}

void ItlClDocumentNameMapping::onIndexFileCommitMergeTransaction() {
  if (!iv_bMergePending && !iv_bPrepared) {
    onIndexFileRollbackTransaction();
    return;
  }
  onIndexFileCommitTransaction();
}

void ItlClDocumentNameMapping::onIndexFileRollbackMergeTransaction() {
  onIndexFileRollbackTransaction();
}

// ---- administration -------------------------------------------------------------

void ItlClDocumentNameMapping::repointWorkingFiles(char const* directory) {
  if (isTransactionOpen())
    ItlClException(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                   ItlEnReasonCode_Operation_not_supported)
        .raise();
  iv_sWorkDir = directory;
  iv_clDix.setWorkingDirectoryAll(directory);
  iv_clDex.setWorkingDirectory(directory);
  iv_clDeleted.setWorkingDirectory(directory);
}

void ItlClDocumentNameMapping::onIndexFileClear() { onIndexFileDestroy(); }

void ItlClDocumentNameMapping::onIndexFileDestroy() {
  closeMaps();
  iv_clDix.closeTempFile();
  deleteWorkingFileSet();
  clearTransactionFlags();
  repointWorkingFiles(iv_rclLocation.getWorkingDirectory().getAsCString());
  deleteWorkingFileSet();
  deleteIndexFileSet();
}

void ItlClDocumentNameMapping::onIndexFileRename(char const* newIndexName) {
  if (newIndexName == nullptr)
    ItlClException(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                   ItlEnReasonCode_Invalid_argument)
        .raise();
  recoverInterruptedCommit(false);
  if (checkFileSet() != 0) {
    closeMaps();
    for (SetFile const& f : gs_aSet) {
      std::string from = indexPath(f.live);
      if (!fileExists(from)) continue;
      indexFileRename(CosClFilename(from.c_str()),
                      CosClFilename(iv_rclLocation.getIndexDirectory(),
                                    newIndexName, f.live));
    }
  }
  iv_clDix.setNewName(newIndexName);
  iv_clDex.setNewName(newIndexName);
  iv_clDeleted.reset();
  iv_clDeleted.setNewBaseName(newIndexName);
  iv_bReadAccess = false;
  if (iv_usNameSize != 0) {
    uint16_t size = iv_usNameSize;
    iv_usNameSize = 0;
    setNameLayout(size, iv_bFixed);
  }
}

void ItlClDocumentNameMapping::onIndexFileCopy(char const* targetDirectory) {
  if (targetDirectory == nullptr)
    ItlClException(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                   ItlEnReasonCode_Index_invalid_directory)
        .raise();
  recoverInterruptedCommit(false);
  if (checkFileSet() == 0) return;
  for (SetFile const& f : gs_aSet) {
    std::string from = indexPath(f.live);
    if (!fileExists(from)) continue;
    indexFileCopy(CosClFilename(from.c_str()),
                  CosClFilename(targetDirectory, iv_rclLocation.getIndexName(),
                                f.live));
  }
}

void ItlClDocumentNameMapping::onIndexFileMove(char const* targetDirectory) {
  if (targetDirectory == nullptr)
    ItlClException(ITL_SOURCE(ITL_MAPTX_ORIGIN),
                   ItlEnReasonCode_Index_invalid_directory)
        .raise();
  recoverInterruptedCommit(false);
  if (checkFileSet() == 0) return;
  closeMaps();
  iv_bReadAccess = false;
  for (SetFile const& f : gs_aSet) {
    std::string from = indexPath(f.live);
    if (!fileExists(from)) continue;
    indexFileMove(CosClFilename(from.c_str()),
                  CosClFilename(targetDirectory, iv_rclLocation.getIndexName(),
                                f.live));
  }
}
