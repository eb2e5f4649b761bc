// itl_docname_mapping.cpp: the document-name mapping: access, assignment,
// deletion and lookups. The transactions and file events are in
// itl_docname_mapping_tx.cpp.
#include "itl_docname_mapping.hpp"

#include <sys/stat.h>

#include <cstring>

#include "cos_memmgr.hpp"
#include "itl_docmap_error.hpp"
#include "itl_file_util.hpp"
#include "itl_index_location.hpp"

#define ITL_MAPPING_ORIGIN "source/itl_index/itl_docname_mapping"

ItlCosAllocWrapper::~ItlCosAllocWrapper() {
  CosClMemoryManager::free(iv_pBuffer);
}

void ItlCosAllocWrapper::reset(void* buffer) {
  CosClMemoryManager::free(iv_pBuffer);
  iv_pBuffer = buffer;
}

ItlClDocumentNameMapping::ItlClDocumentNameMapping(
    ItlClErrorInfo& errorInfo, ItlClIndexLocation const& location)
    : ItlClIndexFileBase(location),
      iv_clDix(location),
      iv_clDex(location),
      iv_clDeleted(location),
      iv_bWorkingCopy(false),
      iv_bNamesAssigned(false),
      iv_bDocumentsDeleted(false),
      iv_bMergePending(false),
      iv_bReadAccess(false),
      iv_bUpdateAccess(false),
      iv_bNoMaps(false),
      iv_bPrepared(false),
      iv_usNameSize(0),
      iv_bFixed(false),
      iv_sWorkDir(location.getWorkingDirectory().getAsCString()) {
  (void)errorInfo;  // failures travel as ItlClException
}

ItlClDocumentNameMapping::~ItlClDocumentNameMapping() {
  try {
    closeMaps();
    deleteWorkingFileSet();
  } catch (...) {
    // A destructor never throws; the files are closed by the members.
  }
}

std::string ItlClDocumentNameMapping::indexPath(char const* extension) const {
  return CosClFilename(iv_rclLocation.getIndexDirectory(),
                       iv_rclLocation.getIndexName(), extension)
      .getAsCString();
}

std::string ItlClDocumentNameMapping::workPath(char const* extension) const {
  return CosClFilename(iv_sWorkDir.c_str(),
                       iv_rclLocation.getWorkBaseName().c_str(), extension)
      .getAsCString();
}

void ItlClDocumentNameMapping::setNameLayout(uint16_t maxNameSize,
                                             bool fixed) {
  if (iv_clDix.getBlock() == nullptr || iv_usNameSize != maxNameSize ||
      iv_bFixed != fixed)
    iv_clDix.setMaxDocNameSize(maxNameSize, fixed);
  iv_clDex.setMaxDocNameSize(maxNameSize, fixed);
  iv_usNameSize = maxNameSize;
  iv_bFixed = fixed;
}

uint64_t ItlClDocumentNameMapping::getDocumentCount() const {
  return iv_clDex.indexControl().ulDocumentCount;
}

bool ItlClDocumentNameMapping::isTransactionOpen() const {
  return iv_bWorkingCopy || iv_bUpdateAccess || iv_clDix.isTempFileOpen() ||
         iv_clDix.getDataWorkingDescriptor() >= 0 ||
         iv_clDix.getIndexWorkingDescriptor() >= 0 ||
         iv_clDex.getDataWorkingDescriptor() >= 0 ||
         iv_clDex.getIndexWorkingDescriptor() >= 0 ||
         (iv_clDeleted.isOpen() && !iv_bReadAccess);
}

uint32_t ItlClDocumentNameMapping::checkFileSet() {
  uint32_t count = 0;
  for (char const* e : {ITL_DOCMAP_EXT_DID, ITL_DOCMAP_EXT_DII,
                        ITL_DOCMAP_EXT_DED, ITL_DOCMAP_EXT_DEI})
    if (CosClFilenameABase(indexPath(e).c_str()).isExistent()) ++count;
  if (count != 0 && count != 4)
    ItlClException(ITL_SOURCE(ITL_MAPPING_ORIGIN),
                   ItlEnReasonCode_Index_corrupted)
        .raise();
  return count;
}

std::vector<uint64_t> ItlClDocumentNameMapping::fileIdentity() const {
  std::vector<uint64_t> identity;
  for (char const* e : {ITL_DOCMAP_EXT_DID, ITL_DOCMAP_EXT_DII,
                        ITL_DOCMAP_EXT_DED, ITL_DOCMAP_EXT_DEI,
                        ITL_DOCMAP_EXT_DEL}) {
    ItlStFileIdentity id = itlFileIdentity(indexPath(e).c_str());
    identity.insert(identity.end(), {id.device, id.inode, id.size, id.modified});
  }
  return identity;
}

bool ItlClDocumentNameMapping::refreshForRead(bool directoryUnchanged) {
  if (iv_bUpdateAccess || iv_bWorkingCopy) return false;  // the writer's own
  if (iv_bReadAccess) {
    if (directoryUnchanged) return true;
    // A commit renames new files over the old ones: another inode.
    if (fileIdentity() == iv_aReadIdentity) return true;
    closeMaps();
    iv_bReadAccess = false;
  }
  access4Read();
  return !iv_bUpdateAccess;
}

void ItlClDocumentNameMapping::access4Read() {
  if (iv_bReadAccess) return;
  if (!iv_bUpdateAccess) iv_aReadIdentity = fileIdentity();
  if (!iv_bUpdateAccess) {
    recoverInterruptedCommit(false);
    if (checkFileSet() == 0) {
      // A new index: no documents, nothing to open.
      iv_bNoMaps = true;
      iv_bReadAccess = true;
      return;
    }
  }
  iv_bNoMaps = false;
  bool usable = false;
  iv_clDex.access4Read(usable);
  iv_clDix.access4Read(usable);
  if (!usable)
    ItlClException(ITL_SOURCE(ITL_MAPPING_ORIGIN),
                   ItlEnReasonCode_Index_corrupted)
        .raise();
  if (!iv_bUpdateAccess) {
    iv_clDex.loadIndexTable();
    iv_clDix.loadIndexTable();
    iv_clDeleted.access4Read();
  }
  iv_bReadAccess = true;
}

void ItlClDocumentNameMapping::access4Update() {
  if (iv_bUpdateAccess) return;
  // Read access of the index set ends: lookups now go to the working set.
  closeMaps();
  iv_bReadAccess = false;
  iv_clDix.access4Update();
  iv_clDix.loadIndexTable();
  iv_clDex.access4Update();
  bool exists = false;
  iv_clDex.access4Read(exists);  // reads through the working copies
  iv_clDex.loadIndexTable();
  iv_clDeleted.access4Update();
  iv_bUpdateAccess = true;
}

void ItlClDocumentNameMapping::assignDocumentNameToNumber(
    _ItlStDocumentId const* id, uint64_t* number, bool& isNew) {
  if (!iv_bWorkingCopy) copyFileSetToWorking();
  if (!iv_bUpdateAccess) access4Update();
  *number = 0;
  isNew = false;
  iv_clDex.obtainDocNumber(id, number, iv_clDeleted);
  if (*number == 0 && id != nullptr && id->pszDocId != nullptr) {
    // A name of this transaction that is still live keeps its number.
    auto it = iv_aNewNames.find(std::string(id->pszDocId, id->usDocIdLength));
    if (it != iv_aNewNames.end()) {
      uint64_t probe = it->second;
      iv_clDeleted.reassignIfDeleted(&probe);
      *number = probe;
    }
  }
  if (*number != 0) return;
  iv_clDix.assignNumber(id, number);
  isNew = true;
  iv_bNamesAssigned = true;
  iv_aNewNames[std::string(id->pszDocId, id->usDocIdLength)] = *number;
  ++iv_clDix.indexControl().ulDocumentCount;
  ++iv_clDex.indexControl().ulDocumentCount;
}

uint64_t ItlClDocumentNameMapping::deleteDocumentName(
    _ItlStDocumentId const* id) {
  if (!iv_bWorkingCopy) copyFileSetToWorking();
  if (!iv_bUpdateAccess) access4Update();
  uint64_t number = 0;
  iv_clDex.obtainDocNumber(id, &number, iv_clDeleted);
  if (number == 0 && id != nullptr && id->pszDocId != nullptr) {
    auto it = iv_aNewNames.find(std::string(id->pszDocId, id->usDocIdLength));
    if (it != iv_aNewNames.end()) number = it->second;
  }
  iv_clDeleted.deleteDocumentNumber(number, id);
  iv_bDocumentsDeleted = true;
  for (ItlStIndexCtlRecord* r :
       {&iv_clDix.indexControl(), &iv_clDex.indexControl()})
    if (r->ulDocumentCount > 0) --r->ulDocumentCount;
  return number;
}

// ---- lookups --------------------------------------------------------------------

void ItlClDocumentNameMapping::lookup(uint64_t number, uint16_t* length,
                                      char* name) {
  if (iv_bNoMaps) {
    ItlClException e(ITL_SOURCE(ITL_MAPPING_ORIGIN),
                     ItlEnReasonCode_Docmap_invalid_docnumber);
    e.context(ITL_MSG_DOCUMENT_NUMBER) << ": " << number;
    e.raise();
  }
  uint16_t ignored = 0;
  if (iv_bFixed)
    iv_clDix.obtainDocNameFix(number, length != nullptr ? length : &ignored,
                              name);
  else
    iv_clDix.obtainDocName(number, length != nullptr ? length : &ignored,
                           name);
}

void ItlClDocumentNameMapping::mapNumberToDocumentName(uint64_t number,
                                                       _ItlStDocumentId* id) {
  access4Read();
  uint16_t length = 0;
  lookup(number, &length, const_cast<char*>(id->pszDocId));
  if (!iv_bFixed) id->usDocIdLength = length;
}

void ItlClDocumentNameMapping::qSortDocNumbers(uint32_t count) {
  itlSortNumberPointers(iv_aLookup.data(), count);
}

void ItlClDocumentNameMapping::batch(uint64_t count, uint16_t slotSize,
                                     uint64_t* numbers, uint16_t* lengths,
                                     char* names, bool inOrder, bool fixed) {
  access4Read();
  if (count == 0) return;
  if (count > 0xFFFFFFFFu)
    ItlClException(ITL_SOURCE(ITL_MAPPING_ORIGIN),
                   ItlEnReasonCode_Invalid_argument)
        .raise();
  if (!inOrder) {
    iv_aLookup.resize(count);
    for (uint64_t i = 0; i < count; ++i) iv_aLookup[i] = &numbers[i];
    qSortDocNumbers(static_cast<uint32_t>(count));
  }
  std::vector<char> name(iv_usNameSize + 1u);
  for (uint64_t k = 0; k < count; ++k) {
    uint64_t i = inOrder ? k : static_cast<uint64_t>(iv_aLookup[k] - numbers);
    uint16_t length = 0;
    lookup(numbers[i], &length, name.data());
    if (fixed) length = iv_usNameSize;
    uint16_t copy = length < slotSize ? length : slotSize;
    std::memcpy(names + i * slotSize, name.data(), copy);
    if (!fixed) lengths[i] = length;
  }
}

void ItlClDocumentNameMapping::mapNumbersToNamesSeq(
    uint64_t count, uint16_t slotSize, uint64_t* numbers, uint16_t* lengths,
    char* names, bool inOrder) {
  batch(count, slotSize, numbers, lengths, names, inOrder, false);
}

void ItlClDocumentNameMapping::mapNumbersToNamesFix(
    uint64_t count, uint16_t slotSize, uint64_t* numbers, uint16_t* lengths,
    char* names, bool inOrder) {
  batch(count, slotSize, numbers, lengths, names, inOrder, true);
}

int ItlClDocumentNameMapping::sortTempDex(char const* tempPath,
                                          char const* sortedPath,
                                          uint16_t entrySize,
                                          uint16_t keyLength) {
  return iv_clSort.sortTempDex(tempPath, sortedPath, entrySize, keyLength);
}
