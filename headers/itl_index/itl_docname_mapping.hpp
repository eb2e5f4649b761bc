// itl_docname_mapping.hpp: the document-name mapping of an index
// (ItlClDocumentNameMapping): the one object that turns caller document
// names into numbers and back, joining the number-to-name map, the
// name-to-number map and the deleted list, and answering the index's file
// events (clear, destroy, rename, copy, move; end, commit, rollback of
// updates and merges).
//
// Transactions work on copies in the working directory (".xid" ".xii"
// ".xed" ".xei" ".xel", ".tdm" ".sdm" ".ted"). Commit, crash-safe:
//   1. prepareCommit: each completed working file is copied into the index
//      directory under a prepared name (".#id" ".#ii" ".#ed" ".#ei" ".#el"),
//      fsynced, the directory fsynced; nothing live changes. It returns
//      the steps: one rename per prepared file over its live name, and
//      removals (the old ".del" after a merge).
//   2. The mark "<index>.#dm" lists the steps; it is written under a
//      temporary name, fsynced and renamed into place (directory fsynced).
//      From this instant the commit has happened.
//   3. The steps run (each idempotent), the directory is fsynced, the mark
//      is removed.
// recoverInterruptedCommit (first use) rolls a mark forward; prepared
// files without a mark are removed when an update or merge starts (never
// by a reader); ".!" files of an older set-aside are renamed back where
// the live file is missing, else removed. A reader thus always finds the
// old or the new complete set.
// Every failure is an ItlClException (return code 8, action Inform).
#ifndef ITL_DOCNAME_MAPPING_HPP
#define ITL_DOCNAME_MAPPING_HPP

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "itl_deleted_docs.hpp"
#include "itl_docmap_dex.hpp"
#include "itl_docmap_dix.hpp"
#include "itl_docmap_files.hpp"
#include "itl_docmap_sort.hpp"
#include "itl_index_file.hpp"

class ItlClErrorInfo;

// Frees a memory-manager buffer when it leaves scope.
class ItlCosAllocWrapper {
 public:
  explicit ItlCosAllocWrapper(void* buffer = nullptr) : iv_pBuffer(buffer) {}
  ~ItlCosAllocWrapper();
  ItlCosAllocWrapper(ItlCosAllocWrapper const&) = delete;
  ItlCosAllocWrapper& operator=(ItlCosAllocWrapper const&) = delete;
  void* get() const { return iv_pBuffer; }
  void reset(void* buffer);

 private:
  void* iv_pBuffer;
};

// One step of a map commit: rename `from` over `to`, or (to empty) remove
// `from`. Extensions of the index name in the index directory.
struct ItlStDocMapCommitStep {
  std::string from;
  std::string to;
};

class ItlClDocumentNameMapping : public ItlClIndexFileBase,
                                 public ItlClFileAccess {
 public:
  ItlClDocumentNameMapping(ItlClErrorInfo& errorInfo,
                           ItlClIndexLocation const& location);
  // Closes everything and deletes an uncommitted working set; never throws.
  ~ItlClDocumentNameMapping() override;

  // The name layout from the configuration (done by the index's load):
  // max name size and fixed or variable names. Kept when already set.
  void setNameLayout(uint16_t maxNameSize, bool fixed);

  // Opens the index set for lookups (once; again after a commit or
  // rollback). Without map files the index has no documents: names give
  // 0, numbers 301. One to three of the four files: 103.
  void access4Read();
  // For a reader (no transaction open): opens the index set, or opens it
  // again when a commit has replaced one of its files since it was opened,
  // so that lookups answer for the index as it stands now. The caller
  // holds the index's commit lock shared (no commit is installing).
  // `directoryUnchanged`: no file of the index directory was replaced
  // since this object's last check, so open maps need no look at their
  // files. True when the open set was checked against its files (false:
  // the writer's own view).
  bool refreshForRead(bool directoryUnchanged = false);
  // Opens the working set for update (once per transaction).
  void access4Update();
  // 0 or 4: the map files of the index set that exist; 1 to 3 is 103.
  uint32_t checkFileSet();

  // The number of a name, a new one (is-new) for a name the map does not
  // hold live; names assigned in this transaction are found too.
  void assignDocumentNameToNumber(_ItlStDocumentId const* id,
                                  uint64_t* number, bool& isNew);
  // Records the name's number as deleted (303 for no live number, nothing
  // changed) and returns that number.
  uint64_t deleteDocumentName(_ItlStDocumentId const* id);
  // The name of one number into id's buffer (max name size bytes); the
  // length is set for variable names only. 301 above the highest, 304 for
  // a number not held.
  void mapNumberToDocumentName(uint64_t number, _ItlStDocumentId* id);
  // Batch lookups: result i at lengths[i] and names + i * slotSize. Sorted
  // (inOrder false) each block is read once. The fixed form leaves the
  // lengths alone. The first failure ends the call.
  void mapNumbersToNamesSeq(uint64_t count, uint16_t slotSize,
                            uint64_t* numbers, uint16_t* lengths, char* names,
                            bool inOrder);
  void mapNumbersToNamesFix(uint64_t count, uint16_t slotSize,
                            uint64_t* numbers, uint16_t* lengths, char* names,
                            bool inOrder);
  // Sorts the first `count` lookup pointers by the numbers they address.
  void qSortDocNumbers(uint32_t count);
  // Sorts ".tdm" into ".sdm"; returns the sort's reason code.
  int sortTempDex(char const* tempPath, char const* sortedPath,
                  uint16_t entrySize, uint16_t keyLength);

  // Points every working and temporary file name into `directory`. While a
  // transaction is open it refuses with 4 and changes nothing.
  void repointWorkingFiles(char const* directory);
  // Step 1 of a commit (see above); the steps to run after the mark.
  std::vector<ItlStDocMapCommitStep> prepareCommit();
  // Finishes or cleans up an interrupted commit; `updating`: also removes
  // prepared files without a mark.
  void recoverInterruptedCommit(bool updating);

  // Index-file events.
  void onIndexFileClear() override;
  void onIndexFileDestroy() override;
  void onIndexFileRename(char const* newIndexName) override;
  void onIndexFileCopy(char const* targetDirectory) override;
  void onIndexFileMove(char const* targetDirectory) override;
  void onIndexFileEndTransaction() override;
  void onIndexFileCommitTransaction() override;
  void onIndexFileRollbackTransaction() override;
  void onIndexFileEndMergeTransaction() override;
  void onIndexFileCommitMergeTransaction() override;
  void onIndexFileRollbackMergeTransaction() override;
  // The index's one commit: the first half of the commit event up to
  // prepareCommit (its steps appended, no mark of its own); the commit
  // event that follows only ends the transaction.
  void onIndexFilePrepareCommit(bool merge,
                                std::vector<ItlStIndexFileStep>& steps) override;
  void onIndexFileDropPrepared() override;

  // Steps of the events.
  void copyFileSetToWorking();
  void copyMergeFileSetToWorking();
  void access4Merge();
  void docMapProcess();
  void copyWorkingFileSetToIndex();
  void deleteWorkingFileSet();
  void deleteIndexFileSet();

  ItlClDix& getDix() { return iv_clDix; }
  ItlClDex& getDex() { return iv_clDex; }
  ItlClDeletedDocs& getDeletedDocs() { return iv_clDeleted; }
  // Documents in the map as this object counts them.
  uint64_t getDocumentCount() const;
  bool isTransactionOpen() const;

 private:
  std::string indexPath(char const* extension) const;
  std::string workPath(char const* extension) const;
  void closeMaps();
  std::vector<uint64_t> fileIdentity() const;
  void clearTransactionFlags();
  // Runs the steps under the mark (2. and 3. above).
  void runMarkedCommit(std::vector<ItlStDocMapCommitStep> const& steps);
  void runSteps(std::vector<ItlStDocMapCommitStep> const& steps);
  // The working files made final before they are prepared (the counts of
  // a deletion, the merge's deleted list dropped); false when nothing
  // changed in the transaction.
  bool finishWorkingSet();
  void lookup(uint64_t number, uint16_t* length, char* name);
  void batch(uint64_t count, uint16_t slotSize, uint64_t* numbers,
             uint16_t* lengths, char* names, bool inOrder, bool fixed);

  ItlClDix iv_clDix;
  ItlClDex iv_clDex;
  ItlClDeletedDocs iv_clDeleted;
  bool iv_bWorkingCopy;
  bool iv_bNamesAssigned;
  bool iv_bDocumentsDeleted;
  bool iv_bMergePending;
  bool iv_bReadAccess;
  bool iv_bUpdateAccess;
  bool iv_bNoMaps;                 // read access found no map files
  std::vector<uint64_t> iv_aReadIdentity;  // itlFileIdentity of each file
                                           // of the set read access opened
  bool iv_bPrepared;               // the index's commit holds the
                                   // prepared files
  uint16_t iv_usNameSize;          // 0 until the layout is set
  bool iv_bFixed;
  std::string iv_sWorkDir;         // working directory of the working set
  ItlClDocMapSort iv_clSort;
  std::vector<uint64_t const*> iv_aLookup;   // lookup pointer array
  // Names assigned in the running transaction (the name-to-number map
  // learns them only at its end).
  std::unordered_map<std::string, uint64_t> iv_aNewNames;
};

#endif  // ITL_DOCNAME_MAPPING_HPP
