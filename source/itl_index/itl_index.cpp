// itl_index.cpp: the index object: its parts, the lazy load, counts, the
// merge advice, the working directory and the document-model operations.
// Administration is in itl_index_admin.cpp.
#include "itl_index.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "cos_memmgr.hpp"
#include "itl_context.hpp"
#include "itl_docmap_dex.hpp"
#include "itl_index_commit.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_index_config.hpp"
#include "itl_index_commit.hpp"
#include "itl_index_file.hpp"
#include "itl_index_private.hpp"
#include "itl_index_stw.hpp"
#include "itl_index_tl_port.hpp"
#include "itl_kernel_interface.hpp"
#include "itl_managed_object.hpp"
#include "itl_name_maps.hpp"

#define ITL_INDEX_ORIGIN "source/itl_index/itl_index"

namespace {

// Context line label of the message table.
constexpr int kMsgDirectory = 4;

}  // namespace

ItlClIndex::ItlClIndex(char const* name, char const* directory,
                       ItlClContext& context)
    : iv_rclContext(context),
      iv_clLocation(name, directory, nullptr),
      iv_clKey("itl", name != nullptr ? name : "",
               directory != nullptr ? directory : ""),
      iv_bFilesInitialised(false),
      iv_bWorkDirMade(false),
      iv_bHighPerf(false),
      iv_bDisplayLog(false),
      iv_pclFileMgr(nullptr),
      iv_pclFieldMap(nullptr),
      iv_pclAttributeMap(nullptr),
      iv_pclDocNames(nullptr),
      iv_pclModels(nullptr),
      iv_pclConfig(nullptr),
      iv_pclStopWords(nullptr),
      iv_pclKernel(nullptr),
      iv_pclTlPort(nullptr) {}

ItlClIndex::~ItlClIndex() { freeParts(); }

ItlClErrorInfo& ItlClIndex::getErrorInfo() const {
  return iv_rclContext.getErrorInfo();
}

void ItlClIndex::freeParts() {
  itlDeleteObject(iv_pclTlPort);
  itlDeleteObject(iv_pclFileMgr);
  itlDeleteObject(iv_pclFieldMap);
  itlDeleteObject(iv_pclAttributeMap);
  itlDeleteObject(iv_pclDocNames);
  itlDeleteObject(iv_pclConfig);
  itlDeleteObject(iv_pclStopWords);
  itlDeleteObject(iv_pclKernel);
  itlDeleteObject(iv_pclModels);
}

void ItlClIndex::createParts() {
  ItlClErrorInfo& errorInfo = getErrorInfo();
  try {
    iv_pclFileMgr = itlNewObject<ItlClIndexFileMgr>();
    iv_pclConfig = itlNewObject<ItlClIndexConfig>(iv_clLocation, errorInfo);
    iv_pclFileMgr->registerForNotify(*iv_pclConfig);
    iv_pclConfig->init();
    iv_pclKernel = itlNewObject<ItlClKernelInterface>(iv_clLocation, *iv_pclConfig);
    iv_pclKernel->setHighPerfMode(iv_bHighPerf);
    iv_pclKernel->setDisplayLog(iv_bDisplayLog);
    iv_pclStopWords =
        itlNewObject<ItlClStopWordFile>(iv_clLocation, errorInfo, *iv_pclConfig);
    iv_pclFileMgr->registerForNotify(*iv_pclStopWords);
    iv_pclFieldMap = itlNewObject<ItlClFieldNameMap>(iv_clLocation, errorInfo);
    iv_pclFieldMap->init();
    iv_pclFileMgr->registerForNotify(*iv_pclFieldMap);
    iv_pclAttributeMap =
        itlNewObject<ItlClAttributeNameMap>(iv_clLocation, errorInfo);
    iv_pclAttributeMap->init();
    iv_pclAttributeMap->registerAtFileMgr(*iv_pclFileMgr);
    iv_pclDocNames = itlNewObject<ItlClDocumentNameMapping>(errorInfo, iv_clLocation);
    iv_pclFileMgr->registerForNotify(*iv_pclDocNames);
    iv_pclModels = itlNewObject<ItlClDocumentModels>(iv_clLocation, errorInfo);
    iv_pclFileMgr->registerForNotify(*iv_pclModels);
    iv_pclTlPort = itlNewObject<ItlClIndexTlPort>(*this);
    if (iv_bWorkDirMade)
      iv_pclDocNames->repointWorkingFiles(getWorkingDirectory());
  } catch (...) {
    freeParts();
    throw;
  }
}

void ItlClIndex::rebuildParts() {
  freeParts();
  iv_bFilesInitialised = false;
  createParts();
}

void ItlClIndex::init() {
  createParts();
  recoverAdministration();
}

bool ItlClIndex::isValidIndexName(char const* name) {
  if (name == nullptr || name[0] == '\0') return false;
  size_t length = std::strlen(name);
  if (length > MAX_NAME_LENGTH) return false;
  // No extension: nothing from a '.' on; no directory part.
  return std::strchr(name, '.') == nullptr && std::strchr(name, '/') == nullptr;
}

bool ItlClIndex::isValidDirectoryName(char const* directory) {
  if (directory == nullptr || directory[0] == '\0') return false;
  struct stat st;
  return stat(directory, &st) == 0 && S_ISDIR(st.st_mode);
}

bool ItlClIndex::isExistent() const {
  return iv_pclConfig->isExistent() &&
         !itlIndexAdminHidesIndex(getDirectory(), getName());
}

void ItlClIndex::throwIfNotExistent() const {
  if (isExistent()) return;
  ItlClException e(ITL_INDEX_ORIGIN ":840", 840,
                   ItlEnReasonCode_Index_not_found);
  e.resetContext(getName());
  e.raise();
}

void ItlClIndex::load() const {
  throwIfNotExistent();
  if (!iv_bFilesInitialised) {
    // A commit that a kill interrupted after its mark is finished before
    // any file reads its content.
    ItlClIndexCommit::recover(*this, false);
    iv_pclFileMgr->notifyInit();
    iv_bFilesInitialised = true;
  }
  iv_pclDocNames->setNameLayout(iv_pclConfig->getMaxDocIDLength(),
                                iv_pclConfig->getDocNamesHaveFixSize());
}

void ItlClIndex::obtainNumberOfDocuments(uint64_t& count) const {
  count = 0;
  load();
  // Without name mapping the name map holds no documents: the count is
  // the engine's.
  if (!iv_pclConfig->getDocumentIdMapping()) {
    iv_pclKernel->obtainNumberOfLiveDocuments(count);
    return;
  }
  iv_pclDocNames->getDex().obtainNumberOfDocuments(count);
}

bool ItlClIndex::isMergeRecommended(uint64_t count0, uint64_t count1,
                                    uint64_t deleted) {
  if (count1 > 2 * count0) return true;
  return deleted > 30 * (count0 / 100);
}

void ItlClIndex::obtainMergeIsRecommended(bool& recommended) const {
  recommended = false;
  load();
  uint64_t count0 = 0, count1 = 0, deleted = 0;
  iv_pclKernel->obtainNumberOfDocuments(count0, count1);
  iv_pclDocNames->getDeletedDocs().obtainNumberOfDocumentsDeleted(deleted);
  recommended = isMergeRecommended(count0, count1, deleted);
}

void ItlClIndex::setWorkingDirectory(char const* directory) {
  if (directory == nullptr)
    itlRaise(ITL_INDEX_ORIGIN ":387", 387, ItlEnReasonCode_Invalid_argument);
  if (!isValidDirectoryName(directory))
    itlRaise(ITL_INDEX_ORIGIN ":401", 401, ItlEnReasonCode_Directory_not_found,
             kMsgDirectory, directory);
  // Asked first, so that a refused call changes nothing.
  if (iv_pclDocNames->isTransactionOpen() || iv_pclKernel->isUpdateOpen() ||
      iv_pclKernel->isMergeOpen())
    itlRaise(ITL_SOURCE(ITL_INDEX_ORIGIN),
             ItlEnReasonCode_Operation_not_supported);
  CosClLocation base(directory);
  std::string path =
      std::string(base.getAsCString()) + kItlIndexWorkDirPrefix + getName();
  if (!itlIndexMakeDirectories(path))
    itlRaise(ITL_SOURCE(ITL_INDEX_ORIGIN), ItlEnReasonCode_Permission_denied,
             kMsgDirectory, path.c_str());
  iv_clLocation.setWorkingDirectory(path.c_str());
  iv_pclDocNames->repointWorkingFiles(getWorkingDirectory());
  iv_bWorkDirMade = true;
}

void ItlClIndex::addDocumentModel(char const* name, char const* text,
                                  unsigned int length) {
  load();
  iv_pclModels->add(name, text, length);
}

void ItlClIndex::setDefaultDocumentModel(ItlEnDocumentFormat format,
                                         char const* name) {
  load();
  iv_pclModels->setDefaultModel(name, format);
}

void ItlClIndex::setHighPerfMode(bool on) {
  iv_bHighPerf = on;
  iv_pclKernel->setHighPerfMode(on);
}

void ItlClIndex::setDisplayLog(bool on) {
  iv_bDisplayLog = on;
  iv_pclKernel->setDisplayLog(on);
}

void ItlClIndex::reInitKey() {
  iv_clKey = CosClResourceKeyABase("itl", getName(), getDirectory());
}
