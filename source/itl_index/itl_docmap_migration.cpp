// itl_docmap_migration.cpp: the document-map migration (see the header):
// the cursor over the existing number-to-name map, the new maps built from
// the caller's names, and their commit together with the configuration.
//
// Cursor state: block b (1-based) of the existing data file is loaded into
// the existing map's block reader; iv_aNameAt holds the offset of every
// entry's name (variable layout: of its u16 length) and iv_uiEntry the
// entry under the cursor. Every offset is checked against the block before
// it is used: a damaged block is 300, never a read outside it.
#include "itl_docmap_migration.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "cos_memmgr.hpp"
#include "itl_docmap_error.hpp"
#include "itl_docmap_io.hpp"
#include "itl_index.hpp"
#include "itl_index_commit.hpp"
#include "itl_index_config.hpp"
#include "itl_index_location.hpp"
#include "itl_kernel_interface.hpp"

#define ITL_MIGRATION_ORIGIN "source/itl_index/itl_docmap_migration"

namespace {

[[noreturn]] void raise(char const* origin, unsigned line,
                        ItlEnReasonCode reason) {
  ItlClException(origin, line, reason).raise();
}

}  // namespace

ItlClDocMapMigration::ItlClDocMapMigration(ItlClIndex* index,
                                           ItlClErrorInfo& errorInfo,
                                           ItlClIndexLocation const& location,
                                           ItlClIndexConfig& config,
                                           uint16_t newLength, bool fixed)
    : ItlClDocumentNameMapping(errorInfo, location),
      iv_pclIndex(index),
      iv_rclConfig(config),
      iv_rclErrorInfo(errorInfo),
      iv_bFixed(fixed),
      iv_clNewDix(location),
      iv_clNewDex(location),
      iv_usOldLength(config.getMaxDocIDLength()),
      iv_bOldFixed(config.getDocNamesHaveFixSize()),
      iv_usNewLength(newLength),
      iv_bCursorValid(false),
      iv_uiCurrentBlock(0),
      iv_uiBlockCount(0),
      iv_uiEntry(0),
      iv_ulNamesSet(0),
      iv_bProcessed(false) {
  // The index's own mapping shares the working set: no update, merge or
  // name-map transaction may be open.
  if (index != nullptr &&
      (index->getDocumentNameMapping().isTransactionOpen() ||
       index->getKernelInterface().isUpdateOpen() ||
       index->getKernelInterface().isMergeOpen()))
    raise(ITL_SOURCE(ITL_MIGRATION_ORIGIN),
          ItlEnReasonCode_Operation_not_supported);
  if (newLength == 0 || newLength > MAX_NAME_LENGTH || iv_usOldLength == 0 ||
      iv_usOldLength > MAX_NAME_LENGTH)
    raise(ITL_SOURCE(ITL_MIGRATION_ORIGIN), ItlEnReasonCode_Invalid_argument);
  // The existing maps in their real layout; the new ones in the new.
  setNameLayout(iv_usOldLength, iv_bOldFixed);
  iv_clNewDix.setMaxDocNameSize(newLength, fixed);
  iv_clNewDex.setMaxDocNameSize(newLength, fixed);
  // Working files of an earlier, interrupted run of this index object.
  deleteWorkingFileSet();
  // A writer starts: leftovers of a commit that never reached its mark go
  // (as at an update start); one past its mark is finished.
  if (index != nullptr) ItlClIndexCommit::recover(*index, true);
}

ItlClDocMapMigration::~ItlClDocMapMigration() {
  try {
    closeNewMaps();
  } catch (...) {
    // A destructor never throws; the members close what is left.
  }
}

std::string ItlClDocMapMigration::workFile(char const* extension) const {
  return CosClFilename(iv_rclLocation.getWorkingDirectory(),
                       iv_rclLocation.getWorkBaseName().c_str(), extension)
      .getAsCString();
}

void ItlClDocMapMigration::refreshLiveMapping() {
  if (iv_pclIndex == nullptr) return;
  // Read access of the index's own mapping ends (its working set is empty:
  // nothing else is dropped); its next use opens the installed maps.
  ItlClDocumentNameMapping& live = iv_pclIndex->getDocumentNameMapping();
  live.onIndexFileRollbackTransaction();
  live.setNameLayout(iv_rclConfig.getMaxDocIDLength(),
                     iv_rclConfig.getDocNamesHaveFixSize());
}

void ItlClDocMapMigration::closeNewMaps() {
  iv_clNewDix.reset();
  iv_clNewDix.closeTempFile();
  iv_clNewDex.reset();
}

// ---- prepare ---------------------------------------------------------------------

void ItlClDocMapMigration::prepare() {
  iv_bCursorValid = false;
  iv_uiCurrentBlock = 0;
  onIndexFileEndMergeTransaction();
  if (iv_pclIndex == nullptr) {
    // A map commit of its own (its own mark).
    onIndexFileCommitMergeTransaction();
    return;
  }
  // The merged maps through the index's one commit.
  ItlClIndexCommit commit(*iv_pclIndex);
  std::vector<ItlStIndexFileStep> steps;
  try {
    onIndexFilePrepareCommit(true, steps);
    commit.commitPrepared(steps);
  } catch (...) {
    try {
      if (commit.markExists()) onIndexFileCommitMergeTransaction();
      else onIndexFileRollbackMergeTransaction();
    } catch (...) {
      // The first failure is the one reported.
    }
    refreshLiveMapping();
    throw;
  }
  onIndexFileCommitMergeTransaction();
  refreshLiveMapping();
}

// ---- cursor ----------------------------------------------------------------------

void ItlClDocMapMigration::setCursorToFirst() {
  iv_bCursorValid = false;
  iv_uiCurrentBlock = 0;
  iv_uiBlockCount = 0;
  iv_aNameAt.clear();
  iv_uiEntry = 0;
  if (checkFileSet() == 0)
    raise(ITL_SOURCE(ITL_MIGRATION_ORIGIN), ItlEnReasonCode_Index_corrupted);
  access4Read();
  iv_uiBlockCount = getDix().dataControl().uiBlockCount;
  if (iv_uiBlockCount > 0) loadCursorBlock(1);
}

void ItlClDocMapMigration::loadCursorBlock(uint32_t block) {
  ItlClDix& dix = getDix();
  // Until the block is read whole the cursor stands on nothing: a damaged
  // block leaves no half-read entries behind.
  iv_aNameAt.clear();
  iv_uiEntry = 0;
  iv_uiCurrentBlock = 0;
  iv_bCursorValid = false;
  // Block number and size are checked against the control record and the
  // file (300, 17).
  dix.readDataBlock(block);
  ItlClDocMapBlockBase* reader = dix.getBlock();
  uint8_t const* data = reader->getData();
  uint32_t count = reader->getCount();
  if (count > ITL_DOCMAP_TOP_SLOT / 8 + 1)
    itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_MIGRATION_ORIGIN),
                            dix.getDataFileName());
  std::vector<uint32_t> nameAt;
  nameAt.reserve(count);
  if (ItlClDocMapBlockFix* fix = dix.getFixBlock()) {
    if (count > fix->getCapacity())
      itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_MIGRATION_ORIGIN),
                              dix.getDataFileName());
    for (uint32_t i = 0; i < count; ++i)
      nameAt.push_back(i * uint32_t{iv_usOldLength});
  } else {
    // Variable layout: u16 length + bytes, packed below the number slots.
    uint32_t limit = ITL_DOCMAP_BLOCK_SIZE - 8 * count;
    uint32_t offset = 0;
    for (uint32_t i = 0; i < count; ++i) {
      if (offset + 2 > limit)
        itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_MIGRATION_ORIGIN),
                                dix.getDataFileName());
      uint16_t length = itlGetLE16(data + offset);
      if (length > iv_usOldLength || offset + 2u + length > limit)
        itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_MIGRATION_ORIGIN),
                                dix.getDataFileName());
      nameAt.push_back(offset);
      offset += 2u + length;
    }
  }
  iv_aNameAt.swap(nameAt);
  iv_uiCurrentBlock = block;
}

bool ItlClDocMapMigration::onEntry() const {
  return iv_uiCurrentBlock != 0 && iv_uiEntry < iv_aNameAt.size();
}

void ItlClDocMapMigration::setCursorToNext() {
  if (iv_uiCurrentBlock == 0) {
    iv_bCursorValid = false;
    return;
  }
  if (iv_uiEntry < iv_aNameAt.size()) ++iv_uiEntry;
  // Empty blocks (a damaged map) are stepped over.
  while (iv_uiEntry >= iv_aNameAt.size() &&
         iv_uiCurrentBlock < iv_uiBlockCount)
    loadCursorBlock(iv_uiCurrentBlock + 1);
  iv_bCursorValid = iv_uiEntry < iv_aNameAt.size();
}

void ItlClDocMapMigration::obtainCurrentName(char* buffer,
                                             uint16_t& length) {
  length = 0;
  if (!onEntry()) return;
  uint8_t const* data = getDix().getBlock()->getData();
  uint32_t at = iv_aNameAt[iv_uiEntry];
  if (getDix().getFixBlock() != nullptr) {
    length = iv_usOldLength;
    std::memcpy(buffer, data + at, length);
  } else {
    length = itlGetLE16(data + at);
    std::memcpy(buffer, data + at + 2, length);
  }
}

void ItlClDocMapMigration::setCurrentName(char const* name,
                                          uint16_t const& length) {
  if (name == nullptr || length == 0 || length > iv_usNewLength ||
      (iv_bFixed && length != iv_usNewLength))
    raise(ITL_SOURCE(ITL_MIGRATION_ORIGIN), ItlEnReasonCode_Invalid_argument);
  if (!onEntry())
    raise(ITL_SOURCE(ITL_MIGRATION_ORIGIN),
          ItlEnReasonCode_Invalid_calling_sequence);
  uint64_t number = getDix().getBlock()->slotNumber(iv_uiEntry);
  // The new map's blocks need ascending numbers: an entry named twice is a
  // calling error, a number out of order a damaged map.
  if (number == iv_clNewDix.dataControl().ulHighestDocNumber && number != 0)
    raise(ITL_SOURCE(ITL_MIGRATION_ORIGIN),
          ItlEnReasonCode_Invalid_calling_sequence);
  if (number == 0 || number >= ITL_DOCMAP_NUMBER_LIMIT ||
      number < iv_clNewDix.dataControl().ulHighestDocNumber)
    itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_MIGRATION_ORIGIN),
                            getDix().getDataFileName());
  iv_bProcessed = false;
  iv_clNewDix.bufferPair(number, length, name);
  // Tracks the last number buffered; process sets the final highest.
  iv_clNewDix.dataControl().ulHighestDocNumber = number;
  ++iv_ulNamesSet;
}

// ---- process, commit, rollback ----------------------------------------------------

void ItlClDocMapMigration::checkNoDuplicates(char const* sortedPath) {
  ItlClLowLevelFileWrapper file;
  itlOpenFile(sortedPath, "rb", false, file.get());
  uint32_t entrySize = iv_usNewLength + 10u;
  uint32_t perChunk = std::max<uint32_t>(1, 65536 / entrySize);
  std::vector<char> chunk(size_t{perChunk} * entrySize);
  std::vector<char> previous;
  int64_t offset = 0;
  for (;;) {
    long long got =
        itlDocMapReadAt(file.get(), chunk.data(), chunk.size(), offset);
    if (got < 0)
      itlDocMapRaiseErrno(ITL_SOURCE(ITL_MIGRATION_ORIGIN),
                          ItlEnReasonCode_Io_read_error, sortedPath,
                          ITL_MSG_FILE_READ_FAILED, errno);
    uint32_t entries = static_cast<uint32_t>(got / entrySize);
    if (entries == 0) break;
    for (uint32_t i = 0; i < entries; ++i) {
      char const* entry = chunk.data() + size_t{i} * entrySize;
      if (!previous.empty() &&
          itlDocMapKeyCompare(previous.data(), entry, iv_usNewLength) == 0) {
        ItlClException e(ITL_SOURCE(ITL_MIGRATION_ORIGIN),
                         ItlEnReasonCode_Docmap_duplicate_docid);
        uint16_t length = itlGetLE16(reinterpret_cast<uint8_t const*>(entry) + 8);
        e.resetContext(std::string(entry + 10, length).c_str());
        e.raise();
      }
      previous.assign(entry, entry + entrySize);
    }
    offset += static_cast<int64_t>(entries) * entrySize;
  }
}

void ItlClDocMapMigration::process() {
  iv_bProcessed = false;
  // The highest number of the existing map is kept: numbers are never
  // reused.
  uint64_t highest = 0;
  if (checkFileSet() != 0) {
    access4Read();
    highest = getDix().dataControl().ulHighestDocNumber;
  }
  ItlStDataCtlRecord& control = iv_clNewDix.dataControl();
  control.ulHighestDocNumber = std::max(control.ulHighestDocNumber, highest);

  // 1. The new number-to-name map from the buffered pairs.
  iv_clNewDix.writeTempDataBlock(true);
  iv_clNewDix.addTempDataToIndexFile(true, true);
  iv_clNewDix.writeControlRecord(-1);
  // 2. Its temporary file stays on disk for the sort.
  bool entries = iv_clNewDix.isTempFileOpen();
  iv_clNewDix.closeTempFile();

  // 3., 4. The name-to-number map from the pairs sorted by name.
  std::string sorted = workFile(ITL_DOCMAP_EXT_SDM);
  std::string newData = workFile(ITL_DOCMAP_EXT_TED);
  if (!entries) {
    iv_clNewDex.addTempDataToIndexFiles(sorted.c_str(), newData.c_str(),
                                        nullptr, 0, true);
    iv_bProcessed = true;
    return;
  }
  int rc = iv_clSorter.sortTempDex(
      iv_clNewDix.getTempFileName().getAsCString(), sorted.c_str(),
      static_cast<uint16_t>(iv_usNewLength + 10), iv_usNewLength);
  if (rc != 0) {
    ItlClException e(ITL_SOURCE(ITL_MIGRATION_ORIGIN),
                     static_cast<ItlEnReasonCode>(rc));
    e.resetContext(sorted.c_str());
    e.raise();
  }
  checkNoDuplicates(sorted.c_str());
  iv_clNewDex.addTempDataToIndexFiles(sorted.c_str(), newData.c_str(),
                                      iv_clSorter.getBuffer(),
                                      iv_clSorter.getEntriesInBuffer(), true);
  iv_clSorter.release();
  iv_bProcessed = true;
}

void ItlClDocMapMigration::commit() {
  if (iv_pclIndex == nullptr)
    raise(ITL_SOURCE(ITL_MIGRATION_ORIGIN),
          ItlEnReasonCode_Operation_not_supported);
  // The new maps must be complete: a configuration without them would not
  // match the maps on disk.
  if (!iv_bProcessed)
    raise(ITL_SOURCE(ITL_MIGRATION_ORIGIN),
          ItlEnReasonCode_Invalid_calling_sequence);
  // 1. Every map closed; the cursor goes.
  closeNewMaps();
  iv_bCursorValid = false;
  iv_uiCurrentBlock = 0;
  iv_aNameAt.clear();
  getDix().reset();
  getDex().reset();
  getDeletedDocs().reset();

  // 2. Prepared: the configuration with the new length and layout, and the
  // new maps. Memory holds the new values only once the commit happened.
  ItlClIndexCommit commit(*iv_pclIndex);
  std::vector<ItlStIndexFileStep> steps;
  auto restore = [&] {
    iv_rclConfig.setMaxDocIDLength(iv_usOldLength);
    iv_rclConfig.setDocNamesHaveFixSize(iv_bOldFixed);
  };
  try {
    iv_rclConfig.setMaxDocIDLength(iv_usNewLength);
    iv_rclConfig.setDocNamesHaveFixSize(iv_bFixed);
    iv_rclConfig.writePrepared();
    steps.push_back({ItlClIndexConfig::PREPARED_SUFFIX, ".ini"});
    for (ItlStDocMapCommitStep const& s : prepareCommit())
      steps.push_back({s.from, s.to});
    // 3. One mark for all of them.
    commit.commitPrepared(steps);
  } catch (...) {
    if (!commit.markExists()) {
      restore();
      iv_rclConfig.onIndexFileDropPrepared();
      onIndexFileDropPrepared();
    }
    throw;
  }
  iv_bProcessed = false;
  deleteWorkingFileSet();
  refreshLiveMapping();
}

void ItlClDocMapMigration::rollback() {
  closeNewMaps();
  iv_bCursorValid = false;
  iv_uiCurrentBlock = 0;
  iv_aNameAt.clear();
  iv_ulNamesSet = 0;
  iv_bProcessed = false;
  iv_clNewDix.dataControl().ulHighestDocNumber = 0;
  onIndexFileRollbackTransaction();
}
