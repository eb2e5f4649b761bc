// itl_docmap_dix.cpp: the number-to-name map (ItlClDix): assignment of
// numbers, the temporary file, appending and rebuilding blocks, lookups.
//
// Block filling rules (written to disk; readers rely on them):
//   sequential: an entry of name length L goes into the block only while
//     (offset of the next free number slot + 8) - (end of the names) is at
//     least 2 L + 20; otherwise the block is written out first;
//   fixed: at most 32768 / (name size + 8) entries per block.
// New blocks go at 44 + blocks * 32768 of the working data file and new
// index entries at 44 + entries * 12 of the working index file, whatever
// the files' positions; appending rewrites the last block and its entry in
// place.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "cos_memmgr.hpp"
#include "itl_deleted_docs.hpp"
#include "itl_docmap_dix.hpp"
#include "itl_docmap_error.hpp"
#include "itl_docmap_io.hpp"
#include "itl_index_location.hpp"

#define ITL_DIX_ORIGIN "source/itl_index/itl_docmap_dix"

namespace {

[[noreturn]] void raiseNumber(char const* origin, unsigned line,
                              ItlEnReasonCode reason, uint64_t number) {
  ItlClException e(origin, line, reason);
  e.context(ITL_MSG_DOCUMENT_NUMBER) << ": " << number;
  e.raise();
}

}  // namespace

ItlClDix::ItlClDix(ItlClIndexLocation const& location)
    : ItlClDocNameMappingFiles(location, ITL_DOCMAP_EXT_DID, ITL_DOCMAP_EXT_XID,
                               ITL_DOCMAP_EXT_DII, ITL_DOCMAP_EXT_XII,
                               ITL_DOCMAP_EYECATCH_DID,
                               ITL_DOCMAP_EYECATCH_DII),
      iv_iTempFd(-1),
      iv_ulTempWriteOffset(0),
      iv_pucTempBuffer(nullptr),
      iv_uiTempEntries(0),
      iv_uiTempCapacity(0),
      iv_usTempEntrySize(0),
      iv_ulLastRefused(0),
      iv_bAppend(false),
      iv_uiBuildCount(0),
      iv_uiBuildNameEnd(0),
      iv_bIndexLoaded(false),
      iv_uiCursor(0),
      iv_uiSeqEntry(0),
      iv_uiSeqOffset(0) {
  iv_clTempName =
      CosClFilename(location.getWorkingDirectory(),
                    location.getWorkBaseName().c_str(), ITL_DOCMAP_EXT_TDM);
}

ItlClDix::~ItlClDix() {
  if (iv_iTempFd >= 0) close(iv_iTempFd);
  CosClMemoryManager::free(iv_pucTempBuffer);
}

void ItlClDix::refreshAllNames() {
  refreshNames();
  iv_clTempName =
      CosClFilename(iv_rclLocation.getWorkingDirectory(),
                    iv_rclLocation.getWorkBaseName().c_str(), ITL_DOCMAP_EXT_TDM);
}

void ItlClDix::setMaxDocNameSize(uint16_t size, bool fixed) {
  setNameLayout(size, fixed);
  iv_usTempEntrySize = static_cast<uint16_t>(size + 10);
  iv_uiTempCapacity = TEMP_BUFFER_SIZE / iv_usTempEntrySize;
  if (iv_pucTempBuffer == nullptr)
    iv_pucTempBuffer =
        static_cast<uint8_t*>(CosClMemoryManager::allocate(TEMP_BUFFER_SIZE));
  std::memset(iv_pucTempBuffer, 0, TEMP_BUFFER_SIZE);
  iv_uiTempEntries = 0;
  iv_uiBuildCount = 0;
  iv_uiBuildNameEnd = 0;
  iv_bAppend = false;
}

// ---- temporary entries ----------------------------------------------------

void ItlClDix::assignNumber(_ItlStDocumentId const* id, uint64_t* number) {
  if (id == nullptr || id->pszDocId == nullptr || id->usDocIdLength == 0 ||
      id->usDocIdLength > iv_usMaxNameSize ||
      (iv_pclFixBlock != nullptr && id->usDocIdLength != iv_usMaxNameSize))
    ItlClException(ITL_SOURCE(ITL_DIX_ORIGIN),
                   ItlEnReasonCode_Docmap_invalid_docid)
        .raise();
  // A refused number is remembered apart, so that the record written later
  // still holds the last number really assigned.
  uint64_t next =
      std::max(iv_stDataCtl.ulHighestDocNumber, iv_ulLastRefused) + 1;
  if (next >= ITL_DOCMAP_NUMBER_LIMIT) {
    iv_ulLastRefused = next;
    raiseNumber(ITL_SOURCE(ITL_DIX_ORIGIN),
                ItlEnReasonCode_Docmap_docnumber_overflow, next);
  }
  bufferEntry(next, id->usDocIdLength, id->pszDocId);
  iv_stDataCtl.ulHighestDocNumber = next;
  *number = next;
}

void ItlClDix::bufferEntry(uint64_t number, uint16_t length,
                           char const* name) {
  if (iv_uiTempEntries + 1 >= iv_uiTempCapacity) writeTempDataBlock(false);
  uint8_t* entry = iv_pucTempBuffer + iv_uiTempEntries * iv_usTempEntrySize;
  itlPutLE64(entry, number);
  itlPutLE16(entry + 8, length);
  std::memcpy(entry + 10, name, length);
  ++iv_uiTempEntries;
}

void ItlClDix::writeTempDataBlock(bool reopen) {
  (void)reopen;  // entries are read back by offset from the start
  if (iv_uiTempEntries == 0) return;
  if (iv_iTempFd < 0) {
    itlOpenFile(iv_clTempName, "w+b", false, iv_iTempFd);
    iv_ulTempWriteOffset = 0;
  }
  size_t bytes = size_t{iv_uiTempEntries} * iv_usTempEntrySize;
  if (!itlDocMapWriteAt(iv_iTempFd, iv_pucTempBuffer, bytes,
                        static_cast<int64_t>(iv_ulTempWriteOffset))) {
    int error = errno;
    ItlClException e(ITL_SOURCE(ITL_DIX_ORIGIN),
                     ItlEnReasonCode_Io_write_error);
    e.resetContext(iv_clTempName);
    e.context(ITL_MSG_FILE_WRITE_FAILED) << ": " << error;
    e.context(ITL_MSG_FILE_WRITE_FAILED)
        << ": iv_tyEntriesInTempBuffer " << iv_uiTempEntries;
    e.context(ITL_MSG_FILE_WRITE_FAILED) << ": uiNumberWrite " << 0;
    e.context(ITL_MSG_FILE_WRITE_FAILED)
        << ": iv_lTempDixSize " << iv_usTempEntrySize;
    e.raise();
  }
  iv_ulTempWriteOffset += bytes;
  std::memset(iv_pucTempBuffer, 0, TEMP_BUFFER_SIZE);
  iv_uiTempEntries = 0;
}

void ItlClDix::ensureTempFile() {
  if (iv_iTempFd >= 0) return;
  itlOpenFile(iv_clTempName, "w+b", false, iv_iTempFd);
  iv_ulTempWriteOffset = 0;
}

void ItlClDix::setWorkingDirectoryAll(char const* directory) {
  setWorkingDirectory(directory);
  iv_clTempName.setNewPath(directory);
}

void ItlClDix::closeTempFile() {
  if (iv_iTempFd >= 0) close(iv_iTempFd);
  iv_iTempFd = -1;
  iv_ulTempWriteOffset = 0;
}

// ---- building blocks --------------------------------------------------------

void ItlClDix::checkSeqNames(uint32_t count, uint32_t* nameEnd) const {
  uint8_t const* data = getBlock()->getData();
  uint32_t limit = ITL_DOCMAP_BLOCK_SIZE - 8 * count;
  uint32_t offset = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (offset + 2 > limit) itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DIX_ORIGIN), nullptr);
    uint16_t length = itlGetLE16(data + offset);
    if (length > iv_usMaxNameSize || offset + 2 + length > limit)
      itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DIX_ORIGIN), nullptr);
    offset += 2 + length;
  }
  if (nameEnd != nullptr) *nameEnd = offset;
}

void ItlClDix::locateAppendPosition() {
  iv_bAppend = false;
  iv_uiBuildCount = 0;
  iv_uiBuildNameEnd = 0;
  getBlock()->clear();
  iv_uiCurrentBlock = 0;
  // Checked before the empty case too: the next block is written after the
  // data file's counted ones, so a count the index does not back would put
  // it far beyond the file's end.
  if (iv_stIndexCtl.uiEntryCount != iv_stDataCtl.uiBlockCount)
    itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DIX_ORIGIN), iv_clIndexWorkName);
  if (iv_stIndexCtl.uiEntryCount == 0) return;
  loadBlock(iv_iDataWorkFd, iv_clDataWorkName, iv_stDataCtl.uiBlockCount,
            iv_stDataCtl.uiBlockCount);
  uint32_t count = getBlock()->getCount();
  bool room;
  uint32_t nameEnd = 0;
  if (iv_pclSeqBlock != nullptr) {
    checkSeqNames(count, &nameEnd);
    uint32_t free = ITL_DOCMAP_BLOCK_SIZE - 8 * count - nameEnd;
    room = free >= 2u * iv_usMaxNameSize + 20;
  } else {
    room = count < iv_pclFixBlock->getCapacity();
  }
  if (room && count > 0) {
    iv_bAppend = true;
    iv_uiBuildCount = count;
    iv_uiBuildNameEnd = nameEnd;
  } else {
    getBlock()->clear();
  }
}

void ItlClDix::placeEntry(uint64_t number, uint16_t length, char const* name) {
  if (iv_pclSeqBlock != nullptr) {
    uint32_t free = ITL_DOCMAP_BLOCK_SIZE - 8 * iv_uiBuildCount -
                    iv_uiBuildNameEnd;
    if (free < 2u * length + 20 && iv_uiBuildCount > 0) writeData();
    uint8_t* data = iv_pclSeqBlock->getData();
    itlPutLE64(data + ITL_DOCMAP_TOP_SLOT - 8 * iv_uiBuildCount, number);
    itlPutLE16(data + iv_uiBuildNameEnd, length);
    std::memcpy(data + iv_uiBuildNameEnd + 2, name, length);
    iv_uiBuildNameEnd += 2 + length;
  } else {
    if (iv_uiBuildCount >= iv_pclFixBlock->getCapacity()) writeData();
    uint8_t* data = iv_pclFixBlock->getData();
    itlPutLE64(data + ITL_DOCMAP_TOP_SLOT - 8 * iv_uiBuildCount, number);
    std::memcpy(data + iv_uiBuildCount * iv_usMaxNameSize, name, length);
  }
  ++iv_uiBuildCount;
}

void ItlClDix::writeData() {
  if (iv_uiBuildCount == 0) return;
  ItlClDocMapBlockBase* block = getBlock();
  uint32_t number = iv_bAppend ? iv_stDataCtl.uiBlockCount
                               : iv_stDataCtl.uiBlockCount + 1;
  if (!itlDocMapWriteAt(
          iv_iDataWorkFd, block->getData(), ITL_DOCMAP_BLOCK_SIZE,
          ITL_DOCMAP_CTL_SIZE + int64_t{number - 1} * ITL_DOCMAP_BLOCK_SIZE))
    itlDocMapRaiseErrno(ITL_SOURCE(ITL_DIX_ORIGIN),
                        ItlEnReasonCode_Io_write_error, iv_clDataWorkName, 0,
                        0);
  uint64_t highest = block->slotNumber(iv_uiBuildCount - 1);
  uint8_t entry[ITL_DOCMAP_DII_ENTRY_SIZE];
  itlPutLE32(entry, number);
  itlPutLE64(entry + 4, highest);
  if (!itlDocMapWriteAt(
          iv_iIndexWorkFd, entry, sizeof entry,
          ITL_DOCMAP_CTL_SIZE + int64_t{number - 1} * ITL_DOCMAP_DII_ENTRY_SIZE))
    itlDocMapRaiseErrno(ITL_SOURCE(ITL_DIX_ORIGIN),
                        ItlEnReasonCode_Io_write_error, iv_clIndexWorkName,
                        ITL_MSG_FILE_WRITE_FAILED, errno);
  // The highest number is only ever raised: numbers are never reused.
  iv_stDataCtl.ulHighestDocNumber =
      std::max(iv_stDataCtl.ulHighestDocNumber, highest);
  if (!iv_bAppend) {
    iv_stDataCtl.uiBlockCount = number;
    iv_stIndexCtl.uiEntryCount = number;
  }
  if (iv_bIndexLoaded) {
    if (iv_aIndex.size() >= number)
      iv_aIndex[number - 1] = {number, highest};
    else
      iv_aIndex.push_back({number, highest});
  }
  block->clear();
  iv_uiBuildCount = 0;
  iv_uiBuildNameEnd = 0;
  iv_bAppend = false;
  iv_uiCurrentBlock = 0;
}

void ItlClDix::addTempDataToIndexFile(bool rebuild, bool notOpen) {
  if (rebuild) {
    if (!notOpen) {
      dropSharedReadSlots();
      closeDescriptor(iv_iDataWorkFd, iv_clDataWorkName);
      closeDescriptor(iv_iIndexWorkFd, iv_clIndexWorkName);
    }
    itlOpenFile(iv_clDataWorkName, "w+b", false, iv_iDataWorkFd);
    itlOpenFile(iv_clIndexWorkName, "w+b", false, iv_iIndexWorkFd);
    // The highest number stays: numbers are never reused.
    iv_stDataCtl.uiBlockCount = 0;
    iv_stIndexCtl.uiEntryCount = 0;
    iv_stIndexCtl.ulDocumentCount = 0;
    iv_aIndex.clear();
    getBlock()->clear();
    iv_uiCurrentBlock = 0;
    iv_uiBuildCount = 0;
    iv_uiBuildNameEnd = 0;
    iv_bAppend = false;
    uint8_t bytes[ITL_DOCMAP_CTL_SIZE];
    itlEncodeDataCtl(iv_stDataCtl, bytes);
    bool ok = itlDocMapWriteAt(iv_iDataWorkFd, bytes, sizeof bytes, 0);
    itlEncodeIndexCtl(iv_stIndexCtl, bytes);
    ok = ok && itlDocMapWriteAt(iv_iIndexWorkFd, bytes, sizeof bytes, 0);
    if (!ok)
      itlDocMapRaiseErrno(ITL_SOURCE(ITL_DIX_ORIGIN),
                          ItlEnReasonCode_Io_write_error, iv_clDataWorkName,
                          ITL_MSG_FILE_WRITE_FAILED, errno);
  } else {
    locateAppendPosition();
  }
  if (iv_iTempFd >= 0) {
    uint8_t* buffer = iv_pucTempBuffer;
    size_t chunk = size_t{iv_uiTempCapacity} * iv_usTempEntrySize;
    int64_t offset = 0;
    for (;;) {
      long long got = itlDocMapReadAt(iv_iTempFd, buffer, chunk, offset);
      if (got < 0)
        itlDocMapRaiseErrno(ITL_SOURCE(ITL_DIX_ORIGIN),
                            ItlEnReasonCode_Io_read_error, iv_clTempName,
                            ITL_MSG_FILE_READ_FAILED, errno);
      uint32_t entries = static_cast<uint32_t>(got / iv_usTempEntrySize);
      if (entries == 0) break;
      for (uint32_t i = 0; i < entries; ++i) {
        uint8_t const* entry = buffer + size_t{i} * iv_usTempEntrySize;
        uint16_t length = itlGetLE16(entry + 8);
        uint64_t number = itlGetLE64(entry);
        if (number == 0 || length == 0 || length > iv_usMaxNameSize)
          itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DIX_ORIGIN), iv_clTempName);
        if (iv_pclFixBlock != nullptr && length != iv_usMaxNameSize)
          ItlClException(ITL_SOURCE(ITL_DIX_ORIGIN),
                         ItlEnReasonCode_Docmap_invalid_docid)
              .raise();
        placeEntry(number, length, reinterpret_cast<char const*>(entry + 10));
        if (rebuild) ++iv_stIndexCtl.ulDocumentCount;
      }
      offset += static_cast<int64_t>(entries) * iv_usTempEntrySize;
    }
    std::memset(buffer, 0, TEMP_BUFFER_SIZE);
  }
  if (iv_uiBuildCount > 0) writeData();
}

void ItlClDix::mergeIntoNewFullTemp(ItlClDeletedDocs& deleted) {
  uint32_t blocks = iv_stIndexCtl.uiEntryCount;
  for (uint32_t b = 1; b <= blocks; ++b) {
    loadBlock(iv_iDataWorkFd, iv_clDataWorkName, b, iv_stDataCtl.uiBlockCount);
    ItlClDocMapBlockBase* block = getBlock();
    uint32_t count = block->getCount();
    if (iv_pclSeqBlock != nullptr) checkSeqNames(count, nullptr);
    uint32_t offset = 0;
    for (uint32_t i = 0; i < count; ++i) {
      uint64_t number = block->slotNumber(i);
      uint16_t length;
      char const* name;
      if (iv_pclSeqBlock != nullptr) {
        length = itlGetLE16(block->getData() + offset);
        name = reinterpret_cast<char const*>(block->getData() + offset + 2);
        offset += 2 + length;
      } else {
        length = iv_usMaxNameSize;
        name = reinterpret_cast<char const*>(iv_pclFixBlock->nameAt(i));
      }
      if (number == 0) continue;  // a gap of a damaged fixed block
      uint64_t probe = number;
      deleted.reassignIfDeleted(&probe);
      if (probe == 0) continue;
      bufferEntry(number, length, name);
    }
  }
  getBlock()->clear();
  iv_uiCurrentBlock = 0;
}

// ---- lookups ------------------------------------------------------------------

void ItlClDix::loadIndexTable() {
  iv_aIndex.clear();
  iv_bIndexLoaded = false;
  iv_uiCursor = 0;
  int fd = iv_iIndexFd >= 0 ? iv_iIndexFd : iv_iIndexWorkFd;
  if (fd < 0) return;
  CosClFilename const& name =
      fd == iv_iIndexWorkFd ? iv_clIndexWorkName : iv_clIndexName;
  uint32_t entries = iv_stIndexCtl.uiEntryCount;
  long long size = itlDocMapFileSize(fd);
  uint64_t bytes = uint64_t{entries} * ITL_DOCMAP_DII_ENTRY_SIZE;
  if (size < 0 || ITL_DOCMAP_CTL_SIZE + bytes > uint64_t(size) ||
      entries > iv_stDataCtl.uiBlockCount)
    itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DIX_ORIGIN), name);
  std::vector<uint8_t> raw(bytes);
  if (bytes > 0 &&
      itlDocMapReadAt(fd, raw.data(), bytes, ITL_DOCMAP_CTL_SIZE) !=
          static_cast<long long>(bytes))
    itlDocMapRaiseErrno(ITL_SOURCE(ITL_DIX_ORIGIN),
                        ItlEnReasonCode_Io_read_error, name,
                        ITL_MSG_FILE_READ_FAILED, errno);
  iv_aIndex.reserve(entries);
  for (uint32_t k = 0; k < entries; ++k) {
    ItlStDixIndexEntry e{itlGetLE32(&raw[k * 12]), itlGetLE64(&raw[k * 12 + 4])};
    // Blocks 1, 2, ... in order, with ascending highest numbers.
    if (e.uiBlock != k + 1 ||
        (k > 0 && e.ulHighest <= iv_aIndex.back().ulHighest))
      itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DIX_ORIGIN), name);
    iv_aIndex.push_back(e);
  }
  iv_bIndexLoaded = true;
}

uint32_t ItlClDix::findBlock(uint64_t number) {
  if (iv_aIndex.empty()) return 0;
  if (iv_uiCursor >= iv_aIndex.size()) iv_uiCursor = 0;
  auto below = [](ItlStDixIndexEntry const& e, uint64_t n) {
    return e.ulHighest < n;
  };
  size_t found;
  ItlStDixIndexEntry const& cursor = iv_aIndex[iv_uiCursor];
  if (number > cursor.ulHighest) {
    found = std::lower_bound(iv_aIndex.begin() + iv_uiCursor + 1,
                             iv_aIndex.end(), number, below) -
            iv_aIndex.begin();
  } else if (iv_uiCursor == 0 ||
             iv_aIndex[iv_uiCursor - 1].ulHighest < number) {
    found = iv_uiCursor;
  } else {
    found = std::lower_bound(iv_aIndex.begin(),
                             iv_aIndex.begin() + iv_uiCursor, number, below) -
            iv_aIndex.begin();
  }
  if (found >= iv_aIndex.size()) return 0;
  iv_uiCursor = found;
  return iv_aIndex[found].uiBlock;
}

void ItlClDix::reloadSeqBlock(uint32_t block) {
  if (block == iv_uiCurrentBlock) return;
  // One read of the block into the reader's buffer: measured about a
  // hundred times faster for random lookups than mapping each block
  // (mapBlock), with the same checks of the block number and file size.
  readDataBlock(block);
  iv_uiSeqEntry = 0;
  iv_uiSeqOffset = 0;
}

bool ItlClDix::seekSeqNumber(uint64_t number, uint32_t& entry,
                             uint32_t& offset) {
  ItlClDocMapBlockBase* block = getBlock();
  uint32_t count = block->getCount();
  uint32_t limit = ITL_DOCMAP_BLOCK_SIZE - 8 * count;
  uint32_t e = iv_uiSeqEntry, off = iv_uiSeqOffset;
  if (e >= count || block->slotNumber(e) > number) e = off = 0;
  uint8_t const* data = block->getData();
  for (; e < count; ++e) {
    if (off + 2 > limit) itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DIX_ORIGIN), nullptr);
    uint16_t length = itlGetLE16(data + off);
    if (length > iv_usMaxNameSize || off + 2 + length > limit)
      itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DIX_ORIGIN), nullptr);
    uint64_t value = block->slotNumber(e);
    if (value == number) {
      iv_uiSeqEntry = entry = e;
      iv_uiSeqOffset = offset = off;
      return true;
    }
    if (value > number) break;
    off += 2 + length;
  }
  iv_uiSeqEntry = 0;
  iv_uiSeqOffset = 0;
  return false;
}

void ItlClDix::obtainDocName(uint64_t const& number, uint16_t* length,
                             char* name) {
  if (iv_pclFixBlock != nullptr) {
    obtainDocNameFix(number, length, name);
    return;
  }
  uint32_t block = findBlock(number);
  if (block == 0)
    raiseNumber(ITL_SOURCE(ITL_DIX_ORIGIN),
                ItlEnReasonCode_Docmap_invalid_docnumber, number);
  reloadSeqBlock(block);
  uint32_t entry, offset;
  if (number == 0 || !seekSeqNumber(number, entry, offset))
    raiseNumber(ITL_SOURCE(ITL_DIX_ORIGIN),
                ItlEnReasonCode_Docmap_docnumber_not_found, number);
  uint8_t const* data = getBlock()->getData();
  *length = itlGetLE16(data + offset);
  std::memcpy(name, data + offset + 2, *length);
}

void ItlClDix::obtainDocNameFix(uint64_t const& number, uint16_t* length,
                                char* name) {
  uint32_t block = findBlock(number);
  if (block == 0)
    raiseNumber(ITL_SOURCE(ITL_DIX_ORIGIN),
                ItlEnReasonCode_Docmap_invalid_docnumber, number);
  if (block != iv_uiCurrentBlock) readDataBlock(block);
  if (number == 0 || !iv_pclFixBlock->searchDocNumber(number))
    raiseNumber(ITL_SOURCE(ITL_DIX_ORIGIN),
                ItlEnReasonCode_Docmap_docnumber_not_found, number);
  *length = iv_usMaxNameSize;
  std::memcpy(name, iv_pclFixBlock->nameAt(iv_pclFixBlock->getCursor()),
              iv_usMaxNameSize);
}

// ---- administration ---------------------------------------------------------

void ItlClDix::reset() {
  closeAll();
  if (ItlClDocMapBlockBase* block = getBlock()) block->clear();
  iv_uiCurrentBlock = 0;
  iv_uiBuildCount = 0;
  iv_uiBuildNameEnd = 0;
  iv_bAppend = false;
  iv_uiTempEntries = 0;
  if (iv_pucTempBuffer != nullptr)
    std::memset(iv_pucTempBuffer, 0, TEMP_BUFFER_SIZE);
}

void ItlClDix::setNewName(char const* newBaseName) {
  closeAll();
  closeTempFile();
  iv_clDataName.setNewBaseName(newBaseName);
  std::string const work = iv_rclLocation.workBaseNameOf(newBaseName);
  iv_clDataWorkName.setNewBaseName(work.c_str());
  iv_clIndexName.setNewBaseName(newBaseName);
  iv_clIndexWorkName.setNewBaseName(work.c_str());
  iv_clTempName.setNewBaseName(work.c_str());
  delete iv_pclSeqBlock;
  iv_pclSeqBlock = nullptr;
  delete iv_pclFixBlock;
  iv_pclFixBlock = nullptr;
  iv_uiCurrentBlock = 0;
}
