// itl_kernel_interface.cpp: the engine calls of one index: parameter
// records, the update and merge cycles, administration and counts
// (ItlClKernelInterface). The current document's operations are in
// itl_kernel_interface_doc.cpp.
//
// Every engine call clears a fresh status record and passes it to the
// engine-error handler with the origin of its line; the handles are
// forgotten exactly where the engine frees them (see the header).
#include "itl_kernel_interface.hpp"

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <new>
#include <string>

#include "calls/voz_gtradmin.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_gtriter.hpp"
#include "calls/voz_gtrmaint.hpp"
#include "calls/voz_gtrsearch.hpp"
#include "calls/voz_gtrstage.hpp"
#include "cos_converter.hpp"
#include "cos_language.hpp"
#include "cos_memmgr.hpp"
#include "files/voz_keyrec.hpp"
#include "files/voz_records_create.hpp"
#include "files/voz_status.hpp"
#include "itl_error.hpp"
#include "itl_index_commit.hpp"
#include "itl_index_config.hpp"
#include "itl_index_location.hpp"
#include "itl_managed_object.hpp"
#include "itl_voz_interface.hpp"

namespace {

// Engine return code of an index without files.
constexpr int32_t kVozIndexNotFound = 20;
constexpr int32_t kFileMax = 500;
constexpr uint8_t kCodePageUtf8 = 34;
constexpr uint8_t kCodePageTurkish = 37;

char const* directoryOf(CosClLocation const& location) {
  return location.getAsCString();
}

// The directory the engine works in: the cycle's own, else the index's
// working directory.
char const* cycleDirectory(std::string const& own,
                           ItlClIndexLocation const& location) {
  return own.empty() ? directoryOf(location.getWorkingDirectory())
                     : own.c_str();
}

// Removes a cycle's work directory with what the engine left in it.
void removeWorkDirectory(std::string& directory) {
  if (directory.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);
  directory.clear();
}

}  // namespace

#define ITL_KI_POS(line) "source/itl_index/itl_kernel_interface:" #line, line

ItlClKernelInterface::ItlClKernelInterface(ItlClIndexLocation const& location,
                                           ItlClIndexConfig const& config)
    : iv_rclLocation(location),
      iv_rclConfig(config),
      iv_pvCreateHandle(nullptr),
      iv_pvMergeHandle(nullptr),
      iv_pclPool(nullptr),
      iv_pclConverter(nullptr),
      iv_pclItemConverter(nullptr),
      iv_pucBuffer(nullptr),
      iv_uiCapacity(0),
      iv_uiFill(0),
      iv_ui64Document(0),
      iv_iStartPosition(0),
      iv_pstItems(nullptr),
      iv_uiItemCount(0),
      iv_bHighPerf(false),
      iv_bDisplayLog(false),
      iv_usDocType(0) {}

ItlClKernelInterface::~ItlClKernelInterface() {
  // The engine frees both handles in these calls, whatever they report.
  if (iv_pvCreateHandle != nullptr) {
    GTRSTATUS status{};
    GTRcreateIndexTerm(iv_pvCreateHandle, 'C', &status);
  }
  dropCreateHandle();
  if (iv_pvMergeHandle != nullptr) {
    GTRSTATUS status{};
    VOZ_mergeIndexFinish(iv_pvMergeHandle, 'C', &status);
  }
  dropMergeHandle();
  itlDeleteObject(iv_pclConverter);
  itlDeleteObject(iv_pclItemConverter);
  CosClMemoryManager::free(iv_pucBuffer);
}

// ---------------------------------------------------------------------------
// Parameter records.

void ItlClKernelInterface::fillVozCreateParm(GTRHCREATEPARM& record,
                                             ItlClIndexConfig const& config) {
  std::memset(&record, 0, sizeof record);
  record.index_type = 2;
  CosClLanguage const& stopLanguage = config.getStopwordLanguage();
  CosClLanguage const turkish("TR_TR");
  bool isTurkish = stopLanguage.getLanguage() == turkish.getLanguage() &&
                   stopLanguage.getTerritory() == turkish.getTerritory();
  record.codepage = isTurkish ? kCodePageTurkish : kCodePageUtf8;
  record.index_purpose = 3;
  uint8_t disable = 0;
  if (!config.getRespectCase()) disable |= 1;
  if (!config.getSeparateSentences()) disable |= 2;
  record.disable = disable;
  record.vvglength = 0;
  record.word_rule = config.getTreatNumbersAsWords() ? 0 : 1;
  record.block_threshold = static_cast<int16_t>(config.getBlockThreshold());
  record.block_size = static_cast<int16_t>(config.getBlockSize());
  uint32_t count = config.getAlphanumCount();
  if (count > sizeof record.special_alpha_list)
    count = sizeof record.special_alpha_list;
  record.special_alpha_num = static_cast<uint8_t>(count);
  std::memcpy(record.special_alpha_list,
              config.getAdditionalAlphanumCharacters(), count);
  record.stop_word_list_num = 0;
  record.paStopWordList = nullptr;
}

void ItlClKernelInterface::fillVozSysParm(
    GTRSYSPARM& record, ItlClIndexConfig const& config) const {
  std::memset(&record, 0, sizeof record);
  record.poolsize = static_cast<int32_t>(config.getPoolSize());
  record.poolsizedelta = static_cast<int32_t>(config.getPoolSizeDelta());
  record.filemax = kFileMax;
  record.displaylog = iv_bDisplayLog ? 'D' : 'N';
}

// ---------------------------------------------------------------------------
// Update transaction.

void ItlClKernelInterface::requireCreateHandle(char const* origin,
                                               unsigned line) const {
  if (iv_pvCreateHandle == nullptr)
    ItlClException(origin, line, ItlEnReasonCode_Invalid_calling_sequence,
                   ItlEnReturnCode_Error, ItlEnErrorAction_Rollback)
        .raise();
}

void ItlClKernelInterface::openForUpdate(CosClMemoryPool& pool,
                                         ItlClErrorInfo& /*errorInfo*/,
                                         bool stopWords,
                                         char const* stopWordFile) {
  // A second open would lose the engine's open work area.
  if (iv_pvCreateHandle != nullptr)
    ItlClException(ITL_KI_POS(222), ItlEnReasonCode_Invalid_calling_sequence,
                   ItlEnReturnCode_Error, ItlEnErrorAction_Rollback)
        .raise();
  iv_pclPool = &pool;
  ensureConverter();
  if (iv_pucBuffer == nullptr) {
    iv_pucBuffer = static_cast<uint8_t*>(
        CosClMemoryManager::allocate(INITIAL_BUFFER_SIZE));
    iv_uiCapacity = INITIAL_BUFFER_SIZE;
  }
  GTRHCREATEPARM create;
  fillVozCreateParm(create, iv_rclConfig);
  GTRSYSPARM system;
  fillVozSysParm(system, iv_rclConfig);
  // The engine reads the list during the call only.
  GTRSTOPWORDLIST list;
  std::memset(&list, 0, sizeof list);
  std::string fileName(stopWordFile != nullptr ? stopWordFile : "");
  if (stopWords) {
    list.pszStopWordList = &fileName[0];
    create.stop_word_list_num = 1;
    create.paStopWordList = &list;
  }
  // Always an add cycle: on an index without files the engine builds a new
  // one in place, and every commit then goes through the engine's journal,
  // which the index's one commit splits at its mark (ItlClIndexCommit).
  char const operation = 'A';
  char const mode = iv_bHighPerf ? 'B' : 'O';
  int32_t maximumDocument = 0;
  void* handle = nullptr;
  GTRSTATUS status{};
  iv_sUpdateWorkDir = makeCycleWorkDirectory();
  GTRcreateIndexInit(&handle, iv_rclLocation.getIndexName(),
                     directoryOf(iv_rclLocation.getIndexDirectory()),
                     cycleDirectory(iv_sUpdateWorkDir, iv_rclLocation),
                     operation, mode, &create,
                     &system, &maximumDocument, &status);
  if (status.retcode != 0) handle = nullptr;  // nothing to free then
  iv_pvCreateHandle = handle;
  if (handle == nullptr) dropCreateHandle();
  ItlClVozInterface::handleVozError(ITL_KI_POS(237), status);
  rollbackCurrentDocument();
}

void ItlClKernelInterface::removeDocument(uint64_t number) {
  if (number == 0 || number > MAX_DOCUMENT_NUMBER)
    ItlClException(ITL_KI_POS(550), ItlEnReasonCode_Docmap_invalid_docnumber)
        .raise();
  requireCreateHandle(ITL_KI_POS(553));
  int32_t engineNumber = static_cast<int32_t>(number);
  GTRSTATUS status{};
  GTRdeleteDocs(iv_pvCreateHandle, 1, &engineNumber, nullptr, &status);
  if (status.retcode != 0) dropCreateHandle();
  ItlClVozInterface::handleVozError(ITL_KI_POS(557), status);
}

void ItlClKernelInterface::processUpdate() {
  requireCreateHandle(ITL_KI_POS(570));
  GTRSTATUS status{};
  GTRcreateIndexLast(iv_pvCreateHandle, &status);
  if (status.retcode != 0) dropCreateHandle();
  ItlClVozInterface::handleVozError(ITL_KI_POS(574), status);
}

void ItlClKernelInterface::commitUpdate() {
  requireCreateHandle(ITL_KI_POS(587));
  GTRSTATUS status{};
  GTRcreateIndexTerm(iv_pvCreateHandle, 'G', &status);
  dropCreateHandle();
  rollbackCurrentDocument();
  ItlClVozInterface::handleVozError(ITL_KI_POS(591), status);
}

void ItlClKernelInterface::prepareCommitUpdate() {
  requireCreateHandle(ITL_KI_POS(595));
  GTRSTATUS status{};
  vozCreateIndexStage(iv_pvCreateHandle, &status);
  dropCreateHandle();
  rollbackCurrentDocument();
  ItlClVozInterface::handleVozError(ITL_KI_POS(599), status);
}

void ItlClKernelInterface::rollbackUpdate() {
  rollbackCurrentDocument();
  if (iv_pvCreateHandle == nullptr) return;
  GTRSTATUS status{};
  GTRcreateIndexTerm(iv_pvCreateHandle, 'C', &status);
  dropCreateHandle();
  ItlClVozInterface::handleVozError(ITL_KI_POS(609), status);
}

// ---------------------------------------------------------------------------
// Merge.

namespace {

[[noreturn]] void raiseNoMerge(char const* origin, unsigned line,
                               char const* indexName) {
  ItlClException e(origin, line, ItlEnReasonCode_Invalid_calling_sequence,
                   ItlEnReturnCode_Error, ItlEnErrorAction_Inform);
  e.context(60) << ": " << indexName;
  e.raise();
}

}  // namespace

void ItlClKernelInterface::processMerge() {
  // A second merge would lose the engine's open merge.
  if (iv_pvMergeHandle != nullptr)
    raiseNoMerge(ITL_KI_POS(630), iv_rclLocation.getIndexName());
  GTRSYSPARM system;
  fillVozSysParm(system, iv_rclConfig);
  void* handle = nullptr;
  GTRSTATUS status{};
  iv_sMergeWorkDir = makeCycleWorkDirectory();
  VOZ_mergeIndex(&handle, iv_rclLocation.getIndexName(),
                 directoryOf(iv_rclLocation.getIndexDirectory()),
                 cycleDirectory(iv_sMergeWorkDir, iv_rclLocation), &system,
                 &status);
  if (status.retcode != 0) handle = nullptr;  // the engine keeps none
  iv_pvMergeHandle = handle;
  if (handle == nullptr) dropMergeHandle();
  ItlClVozInterface::handleVozError(ITL_KI_POS(644), status);
}

void ItlClKernelInterface::dropCreateHandle() {
  iv_pvCreateHandle = nullptr;
  removeWorkDirectory(iv_sUpdateWorkDir);
}

void ItlClKernelInterface::dropMergeHandle() {
  iv_pvMergeHandle = nullptr;
  removeWorkDirectory(iv_sMergeWorkDir);
}

std::string ItlClKernelInterface::makeCycleWorkDirectory() const {
  std::string work = directoryOf(iv_rclLocation.getWorkingDirectory());
  while (work.size() > 1 && work.back() == '/') work.pop_back();
  std::string path = work + "/" + iv_rclLocation.getIndexName() + ".XXXXXX";
  // Empty when no directory can be made (the working directory is missing
  // or not writable): the engine then gets the working directory itself
  // and reports what it finds there.
  if (mkdtemp(&path[0]) == nullptr) return std::string();
  return path;
}

void ItlClKernelInterface::commitMerge() {
  if (iv_pvMergeHandle == nullptr)
    raiseNoMerge(ITL_KI_POS(665), iv_rclLocation.getIndexName());
  GTRSTATUS status{};
  VOZ_mergeIndexFinish(iv_pvMergeHandle, 'G', &status);
  dropMergeHandle();
  ItlClVozInterface::handleVozError(ITL_KI_POS(681), status);
}

void ItlClKernelInterface::prepareCommitMerge() {
  if (iv_pvMergeHandle == nullptr)
    raiseNoMerge(ITL_KI_POS(685), iv_rclLocation.getIndexName());
  GTRSTATUS status{};
  vozMergeIndexStage(iv_pvMergeHandle, &status);
  dropMergeHandle();
  ItlClVozInterface::handleVozError(ITL_KI_POS(689), status);
}

void ItlClKernelInterface::rollbackMerge() {
  if (iv_pvMergeHandle == nullptr) return;
  GTRSTATUS status{};
  VOZ_mergeIndexFinish(iv_pvMergeHandle, 'C', &status);
  dropMergeHandle();
  ItlClVozInterface::handleVozError(ITL_KI_POS(708), status);
}

// ---------------------------------------------------------------------------
// Administration and counts.

void ItlClKernelInterface::clear() {
  GTRSTATUS status{};
  VOZ_deleteIndex(3, iv_rclLocation.getIndexName(),
                  directoryOf(iv_rclLocation.getIndexDirectory()), &status);
  ItlClVozInterface::handleVozError(ITL_KI_POS(411), status);
}

void ItlClKernelInterface::destroy() {
  if (!hasVozIndexFiles()) return;
  GTRSTATUS status{};
  VOZ_deleteIndex(3, iv_rclLocation.getIndexName(),
                  directoryOf(iv_rclLocation.getIndexDirectory()), &status);
  ItlClVozInterface::handleVozError(ITL_KI_POS(440), status);
}

void ItlClKernelInterface::rename(char const* newName) {
  if (!hasVozIndexFiles()) return;
  GTRSTATUS status{};
  VOZ_moveIndex('R', iv_rclLocation.getIndexName(),
                directoryOf(iv_rclLocation.getIndexDirectory()), newName,
                &status);
  ItlClVozInterface::handleVozError(ITL_KI_POS(470), status);
}

void ItlClKernelInterface::copy(char const* targetDirectory) const {
  if (!hasVozIndexFiles()) return;
  GTRSTATUS status{};
  VOZ_moveIndex('C', iv_rclLocation.getIndexName(),
                directoryOf(iv_rclLocation.getIndexDirectory()),
                targetDirectory, &status);
  ItlClVozInterface::handleVozError(ITL_KI_POS(501), status);
}

void ItlClKernelInterface::move(char const* targetDirectory) {
  if (!hasVozIndexFiles()) return;
  GTRSTATUS status{};
  VOZ_moveIndex('M', iv_rclLocation.getIndexName(),
                directoryOf(iv_rclLocation.getIndexDirectory()),
                targetDirectory, &status);
  ItlClVozInterface::handleVozError(ITL_KI_POS(532), status);
}

void ItlClKernelInterface::obtainNumberOfDocuments(uint64_t& count0,
                                                   uint64_t& count1) const {
  count0 = 0;
  count1 = 0;
  GTRHCREATEPARM create;
  std::memset(&create, 0, sizeof create);
  int32_t counts[2] = {0, 0};
  uint8_t const selector = 1;  // the text index
  GTRSTATUS status{};
  {
    // Never halfway through a commit's install (itl_index_commit.hpp).
    ItlClIndexCommitLock lock(iv_rclLocation, false);
    GTRgetIndexInfo(iv_rclLocation.getIndexName(),
                    directoryOf(iv_rclLocation.getIndexDirectory()), &create,
                    counts, &selector, &status);
  }
  if (status.retcode == kVozIndexNotFound) return;
  ItlClVozInterface::handleVozError(ITL_KI_POS(158), status);
  count0 = static_cast<uint64_t>(static_cast<int64_t>(counts[0]));
  count1 = static_cast<uint64_t>(static_cast<int64_t>(counts[1]));
}

void ItlClKernelInterface::obtainNumberOfLiveDocuments(
    uint64_t& count) const {
  count = 0;
  // The document-list key of each half: header slot 38, which the key
  // iterator numbers 38 - 41.
  constexpr int32_t kDocList = VOZ_SLOT_DOCLIST - VOZ_KEY_SLOTS;
  constexpr int32_t kTextSubIndex = 1;
  KEYITERATOR* halves[2] = {nullptr, nullptr};
  GTRSTATUS status{};
  GTRkeyIteratorInitEx(iv_rclLocation.getIndexName(),
                       directoryOf(iv_rclLocation.getIndexDirectory()),
                       kTextSubIndex, &halves[0], &halves[1], kDocList,
                       kDocList, &status);
  if (status.retcode == kVozIndexNotFound) return;
  ItlClVozInterface::handleVozError(ITL_KI_POS(171), status);
  GTRSTATUS failed{};
  uint64_t total = 0;
  for (KEYITERATOR* half : halves) {
    if (half == nullptr || failed.retcode != 0) continue;
    GTRSTATUS step{};
    GTRkeyIterator_GetNextKey(half, &step);
    int32_t documents =
        step.retcode == 0 ? GTRkeyIterator_GetDocumentCountEx(half, &step) : 0;
    if (step.retcode != 0)
      failed = step;
    else if (documents > 0)
      total += static_cast<uint64_t>(documents);
  }
  // The supp half's iterator first: the last one ended closes the index.
  for (KEYITERATOR* half : {halves[1], halves[0]}) {
    if (half == nullptr) continue;
    GTRSTATUS ended{};
    GTRkeyIteratorTerm(half, &ended);
    if (failed.retcode == 0 && ended.retcode != 0) failed = ended;
  }
  ItlClVozInterface::handleVozError(ITL_KI_POS(182), failed);
  count = total;
}

bool ItlClKernelInterface::hasVozIndexFiles() const {
  GTRSTATUS status{};
  ItlClIndexCommitLock lock(iv_rclLocation, false);
  GTRgetIndexInfo(iv_rclLocation.getIndexName(),
                  directoryOf(iv_rclLocation.getIndexDirectory()), nullptr,
                  nullptr, nullptr, &status);
  return status.retcode != kVozIndexNotFound;
}
