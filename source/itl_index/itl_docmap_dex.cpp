// itl_docmap_dex.cpp: the name-to-number map (ItlClDex): the index table,
// lookups by name and the merge of sorted temporary entries.
//
// Block filling rules of the merge (written to disk; readers rely on them):
//   sequential: an entry of name length L goes into the block only while
//     the room between the end of the names and the end of the next free
//     number slot is at least 2 (L + 10); otherwise the block goes first;
//   fixed: at most 32768 / (name size + 8) entries per block.
// Index entry k (at 44 + k * (size + 4)): u32 block k + 1, the block's
// greatest name zero-padded to the max name size.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cos_memmgr.hpp"
#include "itl_deleted_docs.hpp"
#include "itl_docmap_dex.hpp"
#include "itl_docmap_error.hpp"
#include "itl_docmap_io.hpp"
#include "itl_index_location.hpp"

#define ITL_DEX_ORIGIN "source/itl_index/itl_docmap_dex"

namespace {

[[noreturn]] void raiseInvalidName() {
  ItlClException(ITL_SOURCE(ITL_DEX_ORIGIN),
                 ItlEnReasonCode_Docmap_invalid_docid)
      .raise();
}

}  // namespace

int itlDocNameCompare(char const* a, uint32_t aLength, char const* b,
                      uint32_t bLength) {
  int c = std::memcmp(a, b, std::min(aLength, bLength));
  if (c != 0) return c;
  return aLength < bLength ? -1 : aLength > bLength ? 1 : 0;
}

extern "C" int itlDexIndexComp(void const* key, void const* entry) {
  uint32_t size;
  std::memcpy(&size, key, sizeof size);
  uint8_t const* k = static_cast<uint8_t const*>(key) + 4;
  uint8_t const* e = static_cast<uint8_t const*>(entry);
  int c = std::memcmp(k, e + 4, size - 4);
  if (c > 0) return 1;
  if (c == 0 || itlGetLE32(e) == 1) return 0;
  return std::memcmp(k, e - size + 4, size - 4) > 0 ? 0 : -1;
}

extern "C" int itlFixDexBlockComp(void const* key, void const* name) {
  ItlStFixDexKey const* k = static_cast<ItlStFixDexKey const*>(key);
  int c = std::memcmp(k->pszName, name, k->usLength);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

ItlClDex::ItlClDex(ItlClIndexLocation const& location)
    : ItlClDocNameMappingFiles(location, ITL_DOCMAP_EXT_DED, ITL_DOCMAP_EXT_XED,
                               ITL_DOCMAP_EXT_DEI, ITL_DOCMAP_EXT_XEI,
                               ITL_DOCMAP_EYECATCH_DED,
                               ITL_DOCMAP_EYECATCH_DEI),
      iv_pucIndex(nullptr),
      iv_uiIndexEntries(0),
      iv_bEmptyLoaded(false),
      iv_uiFinger(0),
      iv_usIndexEntrySize(0),
      iv_pucKey(nullptr),
      iv_uiSeqEntry(0),
      iv_uiSeqOffset(0) {}

ItlClDex::~ItlClDex() {
  freeIndex();
  CosClMemoryManager::free(iv_pucKey);
}

void ItlClDex::freeIndex() {
  CosClMemoryManager::free(iv_pucIndex);
  iv_pucIndex = nullptr;
  iv_uiIndexEntries = 0;
  iv_bEmptyLoaded = false;
  iv_uiFinger = 0;
}

void ItlClDex::setMaxDocNameSize(uint16_t size, bool fixed) {
  if (getBlock() == nullptr || size != iv_usMaxNameSize ||
      fixed != (iv_pclFixBlock != nullptr)) {
    setNameLayout(size, fixed);
    CosClMemoryManager::free(iv_pucKey);
    iv_pucKey = nullptr;
    freeIndex();
  }
  iv_usIndexEntrySize = static_cast<uint16_t>(size + 4);
  if (iv_pucKey == nullptr) {
    uint32_t bytes = size + 4u + 8u;
    iv_pucKey = static_cast<uint8_t*>(CosClMemoryManager::allocate(bytes));
    std::memset(iv_pucKey, 0, bytes);
    uint32_t entrySize = iv_usIndexEntrySize;
    std::memcpy(iv_pucKey, &entrySize, sizeof entrySize);
  }
}

void ItlClDex::obtainNumberOfDocuments(uint64_t& count) {
  if (iv_iIndexFd >= 0 || iv_iIndexWorkFd >= 0) {
    count = iv_stIndexCtl.ulDocumentCount;
    return;
  }
  count = 0;
  try {
    if (readIndexControl("rb", false, true) == 1)
      count = iv_stIndexCtl.ulDocumentCount;
  } catch (ItlClException const&) {
    count = 0;
  }
  closeDescriptor(iv_iIndexFd, iv_clIndexName);
}

void ItlClDex::loadIndexTable() {
  freeIndex();
  int fd = iv_iIndexFd >= 0 ? iv_iIndexFd : iv_iIndexWorkFd;
  if (fd < 0) return;
  CosClFilename const& name =
      fd == iv_iIndexWorkFd ? iv_clIndexWorkName : iv_clIndexName;
  uint32_t entries = iv_stIndexCtl.uiEntryCount;
  uint32_t size = iv_usIndexEntrySize;
  uint64_t bytes = uint64_t{entries} * size;
  long long fileSize = itlDocMapFileSize(fd);
  if (fileSize < 0 || ITL_DOCMAP_CTL_SIZE + bytes > uint64_t(fileSize) ||
      entries > iv_stDataCtl.uiBlockCount || bytes + size > 0xFFFFFFFFu)
    itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DEX_ORIGIN), name);
  if (entries == 0) {
    iv_bEmptyLoaded = true;
    return;
  }
  // One zeroed entry behind the last.
  uint8_t* table = static_cast<uint8_t*>(
      CosClMemoryManager::allocate(static_cast<unsigned>(bytes + size)));
  std::memset(table + bytes, 0, size);
  if (itlDocMapReadAt(fd, table, bytes, ITL_DOCMAP_CTL_SIZE) !=
      static_cast<long long>(bytes)) {
    int error = errno;
    CosClMemoryManager::free(table);
    itlDocMapRaiseErrno(ITL_SOURCE(ITL_DEX_ORIGIN),
                        ItlEnReasonCode_Io_read_error, name,
                        ITL_MSG_FILE_READ_FAILED, error);
  }
  for (uint32_t k = 0; k < entries; ++k) {
    uint8_t const* e = table + uint64_t{k} * size;
    // Blocks 1, 2, ... in order, greatest names not descending.
    if (itlGetLE32(e) != k + 1 ||
        (k > 0 && std::memcmp(e - size + 4, e + 4, size - 4) > 0)) {
      CosClMemoryManager::free(table);
      itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DEX_ORIGIN), name);
    }
  }
  iv_pucIndex = table;
  iv_uiIndexEntries = entries;
  iv_uiFinger = 0;
}

void ItlClDex::obtainDocNumber(_ItlStDocumentId const* id, uint64_t* number,
                               ItlClDeletedDocs& deleted) {
  *number = 0;
  if (iv_pucIndex == nullptr || id == nullptr || id->pszDocId == nullptr ||
      id->usDocIdLength > iv_usMaxNameSize)
    return;
  uint32_t size = iv_usIndexEntrySize;
  uint32_t nameSize = iv_usMaxNameSize;
  uint8_t* keyName = iv_pucKey + 4;
  std::memset(keyName, 0, nameSize);
  std::memcpy(keyName, id->pszDocId, id->usDocIdLength);

  // Index search, narrowed by the finger.
  if (iv_uiFinger >= iv_uiIndexEntries) iv_uiFinger = 0;
  uint8_t* finger = iv_pucIndex + uint64_t{iv_uiFinger} * size;
  void const* found;
  if (std::memcmp(finger + 4, keyName, nameSize) > 0)
    found = std::bsearch(iv_pucKey, iv_pucIndex, iv_uiFinger + 1, size,
                         itlDexIndexComp);
  else
    found = std::bsearch(iv_pucKey, finger, iv_uiIndexEntries - iv_uiFinger,
                         size, itlDexIndexComp);
  if (found == nullptr) {
    iv_uiFinger = iv_uiIndexEntries / 2;
    return;
  }
  uint32_t entry = static_cast<uint32_t>(
      (static_cast<uint8_t const*>(found) - iv_pucIndex) / size);

  char const* dataName =
      iv_iDataFd == iv_iDataWorkFd ? iv_clDataWorkName : iv_clDataName;
  for (;;) {
    iv_uiFinger = entry;
    uint32_t block = entry + 1;
    if (block != iv_uiCurrentBlock) {
      loadBlock(iv_iDataFd, dataName, block, iv_stDataCtl.uiBlockCount);
      iv_uiCurrentBlock = block;
      iv_uiSeqEntry = 0;
      iv_uiSeqOffset = 0;
    }
    ItlClDocMapBlockBase* reader = getBlock();
    uint32_t count = reader->getCount();
    bool hit = false;
    uint32_t hitEntry = 0;
    if (iv_pclFixBlock != nullptr) {
      if (id->usDocIdLength == nameSize) {
        // Names ascend with the entry index: binary search, the current
        // entry first.
        uint32_t cursor = iv_pclFixBlock->getCursor();
        ItlStFixDexKey key{static_cast<uint16_t>(nameSize), id->pszDocId};
        uint32_t lo = 0, hi = count;
        if (cursor < count) {
          int c = itlFixDexBlockComp(&key, iv_pclFixBlock->nameAt(cursor));
          if (c == 0) {
            lo = hi = cursor;
            hit = true;
            hitEntry = cursor;
          } else if (c > 0) {
            lo = cursor + 1;
          } else {
            hi = cursor;
          }
        }
        while (lo < hi) {
          uint32_t mid = lo + (hi - lo) / 2;
          int c = itlFixDexBlockComp(&key, iv_pclFixBlock->nameAt(mid));
          if (c == 0) {
            hit = true;
            hitEntry = mid;
            break;
          }
          if (c > 0)
            lo = mid + 1;
          else
            hi = mid;
        }
      }
    } else {
      // Walk the names in order, from the current entry when the name does
      // not sort before it; every name stays clear of the number slots.
      uint8_t const* data = reader->getData();
      uint32_t limit = ITL_DOCMAP_BLOCK_SIZE - 8 * count;
      uint32_t e = iv_uiSeqEntry, off = iv_uiSeqOffset;
      if (e >= count ||
          itlDocNameCompare(id->pszDocId, id->usDocIdLength,
                            reinterpret_cast<char const*>(data + off + 2),
                            itlGetLE16(data + off)) < 0)
        e = off = 0;
      for (; e < count; ++e) {
        if (off + 2 > limit) itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DEX_ORIGIN), dataName);
        uint16_t length = itlGetLE16(data + off);
        if (length > nameSize || off + 2 + length > limit)
          itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DEX_ORIGIN), dataName);
        int c = itlDocNameCompare(id->pszDocId, id->usDocIdLength,
                                  reinterpret_cast<char const*>(data + off + 2),
                                  length);
        if (c == 0) {
          hit = true;
          hitEntry = e;
          iv_uiSeqEntry = e;
          iv_uiSeqOffset = off;
          break;
        }
        if (c < 0) break;
        off += 2 + length;
      }
      if (!hit) iv_uiSeqEntry = iv_uiSeqOffset = 0;
    }
    if (hit) {
      *number = reader->slotNumber(hitEntry);
      deleted.reassignIfDeleted(number);
      return;
    }
    // Names differing only by trailing zero bytes share a padded form and
    // may continue in the next block.
    if (entry + 1 >= iv_uiIndexEntries ||
        std::memcmp(iv_pucIndex + uint64_t{entry} * size + 4, keyName,
                    nameSize) != 0)
      return;
    ++entry;
  }
}

// ---- the merge ----------------------------------------------------------------

// State of one merge: the sorted temporary stream, the existing entries and
// the output block with its files.
struct ItlClDex::Merge {
  ItlClDex& dex;
  uint32_t nameSize;
  uint32_t entrySize;  // temporary entry: name size + 10
  // Temporary stream.
  char* buffer;
  uint32_t capacity;   // entries the buffer holds
  uint32_t count;      // entries in the buffer
  uint32_t used;
  int sortedFd;
  char const* sortedPath;
  int64_t sortedOffset;
  // Existing stream.
  int oldFd;
  uint32_t oldBlocks;
  uint32_t oldBlock;   // block in the reader, 0 before the first
  uint32_t oldEntry;
  uint32_t oldOffset;
  bool oldDone;
  // Output.
  ItlClDocMapBlockBase* out;
  int newFd;
  char const* newPath;
  uint32_t outCount;
  uint32_t outNameEnd;
  uint32_t blocks;
  std::vector<uint8_t> lastName;  // padded greatest name of the block
  std::vector<uint8_t> index;     // index entries written
  uint64_t highest;
  uint64_t written;

  char const* tempEntry() const {
    return used < count ? buffer + size_t{used} * entrySize : nullptr;
  }
  void advanceTemp() {
    if (++used < count) return;
    used = count = 0;
    if (sortedFd < 0) return;
    long long got = itlDocMapReadAt(sortedFd, buffer,
                                    size_t{capacity} * entrySize, sortedOffset);
    if (got < 0)
      itlDocMapRaiseErrno(ITL_SOURCE(ITL_DEX_ORIGIN),
                          ItlEnReasonCode_Io_read_error, sortedPath,
                          ITL_MSG_FILE_READ_FAILED, errno);
    count = static_cast<uint32_t>(got / entrySize);
    sortedOffset += int64_t{count} * entrySize;
  }
  void checkTemp(char const* e) const {
    uint16_t length = itlGetLE16(reinterpret_cast<uint8_t const*>(e) + 8);
    if (itlGetLE64(reinterpret_cast<uint8_t const*>(e)) == 0 || length == 0 ||
        length > nameSize)
      itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DEX_ORIGIN), sortedPath);
    if (dex.iv_pclFixBlock != nullptr && length != nameSize) raiseInvalidName();
  }

  // The current existing entry's name, length and number.
  char const* oldName(uint16_t& length, uint64_t& number) const {
    ItlClDocMapBlockBase* reader = dex.getBlock();
    uint8_t const* data = reader->getData();
    number = reader->slotNumber(oldEntry);
    if (dex.iv_pclFixBlock != nullptr) {
      length = static_cast<uint16_t>(nameSize);
      return reinterpret_cast<char const*>(dex.iv_pclFixBlock->nameAt(oldEntry));
    }
    length = itlGetLE16(data + oldOffset);
    return reinterpret_cast<char const*>(data + oldOffset + 2);
  }
  // Moves to the next existing entry, reading blocks as needed; checks
  // every sequential name against the number slots.
  void advanceOld() {
    ItlClDocMapBlockBase* reader = dex.getBlock();
    if (oldBlock != 0) {
      if (dex.iv_pclSeqBlock != nullptr)
        oldOffset += 2 + itlGetLE16(reader->getData() + oldOffset);
      ++oldEntry;
    }
    while (oldBlock == 0 || oldEntry >= reader->getCount()) {
      if (oldBlock >= oldBlocks) {
        oldDone = true;
        return;
      }
      ++oldBlock;
      dex.loadBlock(oldFd, dex.iv_clDataWorkName, oldBlock, oldBlocks);
      oldEntry = 0;
      oldOffset = 0;
    }
    uint32_t count = reader->getCount();
    if (dex.iv_pclSeqBlock != nullptr) {
      uint32_t limit = ITL_DOCMAP_BLOCK_SIZE - 8 * count;
      if (oldOffset + 2 > limit) itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DEX_ORIGIN), dex.iv_clDataWorkName);
      uint16_t length = itlGetLE16(reader->getData() + oldOffset);
      if (length == 0 || length > nameSize || oldOffset + 2 + length > limit)
        itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DEX_ORIGIN), dex.iv_clDataWorkName);
    }
    uint64_t number = reader->slotNumber(oldEntry);
    if (number == 0) itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DEX_ORIGIN), dex.iv_clDataWorkName);
  }

  void writeBlock() {
    if (outCount == 0) return;
    int64_t offset =
        ITL_DOCMAP_CTL_SIZE + int64_t{blocks} * ITL_DOCMAP_BLOCK_SIZE;
    if (!itlDocMapWriteAt(newFd, out->getData(), ITL_DOCMAP_BLOCK_SIZE,
                          offset))
      itlDocMapRaiseErrno(ITL_SOURCE(ITL_DEX_ORIGIN),
                          ItlEnReasonCode_Io_write_error, newPath, 0, 0);
    ++blocks;
    std::vector<uint8_t> entry(dex.iv_usIndexEntrySize, 0);
    itlPutLE32(entry.data(), blocks);
    std::memcpy(entry.data() + 4, lastName.data(), nameSize);
    if (!itlDocMapWriteAt(dex.iv_iIndexWorkFd, entry.data(), entry.size(),
                          ITL_DOCMAP_CTL_SIZE +
                              int64_t{blocks - 1} * entry.size()))
      itlDocMapRaiseErrno(ITL_SOURCE(ITL_DEX_ORIGIN),
                          ItlEnReasonCode_Io_write_error,
                          dex.iv_clIndexWorkName, ITL_MSG_FILE_WRITE_FAILED,
                          errno);
    index.insert(index.end(), entry.begin(), entry.end());
    out->clear();
    outCount = 0;
    outNameEnd = 0;
  }

  void place(uint64_t number, char const* name, uint16_t length) {
    uint8_t* data = out->getData();
    if (dex.iv_pclSeqBlock != nullptr) {
      uint32_t free = ITL_DOCMAP_BLOCK_SIZE - 8 * outCount - outNameEnd;
      if (free < 2u * (length + 10u) && outCount > 0) {
        writeBlock();
        data = out->getData();
      }
      itlPutLE64(data + ITL_DOCMAP_TOP_SLOT - 8 * outCount, number);
      itlPutLE16(data + outNameEnd, length);
      std::memcpy(data + outNameEnd + 2, name, length);
      outNameEnd += 2 + length;
    } else {
      if (length != nameSize) raiseInvalidName();
      if (outCount >= static_cast<ItlClDocMapBlockFix*>(out)->getCapacity()) {
        writeBlock();
        data = out->getData();
      }
      itlPutLE64(data + ITL_DOCMAP_TOP_SLOT - 8 * outCount, number);
      std::memcpy(data + outCount * nameSize, name, nameSize);
    }
    ++outCount;
    std::memset(lastName.data(), 0, nameSize);
    std::memcpy(lastName.data(), name, length);
    highest = std::max(highest, number);
    ++written;
  }
};

void ItlClDex::addTempDataToIndexFiles(char const* sortedPath,
                                       char const* newDataPath, char* buffer,
                                       uint32_t count, bool countEntries) {
  ItlClDocMapBlockBase* reader = getBlock();
  if (reader == nullptr) itlDocMapRaiseCorrupted(ITL_SOURCE(ITL_DEX_ORIGIN), nullptr);
  ItlDocMapBlockWrapper out(
      iv_pclFixBlock != nullptr
          ? static_cast<ItlClDocMapBlockBase*>(
                new ItlClDocMapBlockFix(iv_usMaxNameSize))
          : new ItlClDocMapBlockSeq());
  ItlClLowLevelFileWrapper sorted;
  if (count > 0) itlOpenFile(sortedPath, "rb", false, sorted.get());
  ItlClLowLevelFileWrapper newData;
  itlOpenFile(newDataPath, "w+b", false, newData.get());

  // The existing entries come from the working data file, read-only; the
  // working index file is written anew.
  dropSharedReadSlots();
  closeDescriptor(iv_iDataFd, iv_clDataName);
  closeDescriptor(iv_iIndexFd, iv_clIndexName);
  closeDescriptor(iv_iDataWorkFd, iv_clDataWorkName);
  closeDescriptor(iv_iIndexWorkFd, iv_clIndexWorkName);
  freeIndex();
  reader->clear();
  iv_uiCurrentBlock = 0;
  ItlClLowLevelFileWrapper old;
  itlOpenFile(iv_clDataWorkName, "rb", true, old.get());
  uint32_t oldBlocks = old.get() >= 0 ? iv_stDataCtl.uiBlockCount : 0;
  itlOpenFile(iv_clIndexWorkName, "w+b", false, iv_iIndexWorkFd);

  Merge m{*this,
          iv_usMaxNameSize,
          iv_usSeqEntrySize,
          buffer,
          count,
          count,
          0,
          sorted.get(),
          sortedPath,
          int64_t{count} * iv_usSeqEntrySize,
          old.get(),
          oldBlocks,
          0,
          0,
          0,
          false,
          out.get(),
          newData.get(),
          newDataPath,
          0,
          0,
          0,
          std::vector<uint8_t>(iv_usMaxNameSize, 0),
          {},
          0,
          0};
  m.advanceOld();

  // Placeholders, overwritten with the final records below.
  uint8_t record[ITL_DOCMAP_CTL_SIZE] = {};
  if (!itlDocMapWriteAt(m.newFd, record, sizeof record, 0) ||
      !itlDocMapWriteAt(iv_iIndexWorkFd, record, sizeof record, 0))
    itlDocMapRaiseErrno(ITL_SOURCE(ITL_DEX_ORIGIN),
                        ItlEnReasonCode_Io_write_error, newDataPath,
                        ITL_MSG_FILE_WRITE_FAILED, errno);

  std::vector<char> name(iv_usMaxNameSize + 10u);
  for (;;) {
    char const* temp = m.tempEntry();
    if (temp == nullptr && m.oldDone) break;
    uint16_t oldLength = 0;
    uint64_t oldNumber = 0;
    char const* oldName = m.oldDone ? nullptr : m.oldName(oldLength, oldNumber);
    if (temp == nullptr) {
      m.place(oldNumber, oldName, oldLength);
      m.advanceOld();
      continue;
    }
    // One entry per name: of temporaries of one name the highest number.
    m.checkTemp(temp);
    std::memcpy(name.data(), temp, name.size());
    uint8_t const* t = reinterpret_cast<uint8_t const*>(name.data());
    uint16_t tempLength = itlGetLE16(t + 8);
    uint64_t tempNumber = itlGetLE64(t);
    m.advanceTemp();
    while (char const* next = m.tempEntry()) {
      m.checkTemp(next);
      uint8_t const* n = reinterpret_cast<uint8_t const*>(next);
      if (itlGetLE16(n + 8) != tempLength ||
          std::memcmp(next + 10, name.data() + 10, tempLength) != 0)
        break;
      tempNumber = std::max(tempNumber, itlGetLE64(n));
      m.advanceTemp();
    }
    // Existing names before the temporary one are copied first.
    while (oldName != nullptr &&
           itlDocNameCompare(oldName, oldLength, name.data() + 10,
                             tempLength) < 0) {
      m.place(oldNumber, oldName, oldLength);
      m.advanceOld();
      oldName = m.oldDone ? nullptr : m.oldName(oldLength, oldNumber);
    }
    if (oldName != nullptr &&
        itlDocNameCompare(oldName, oldLength, name.data() + 10,
                          tempLength) == 0) {
      if (tempNumber <= oldNumber) {
        ItlClException e("source/itl_index/itl_docmapdex:374", 374,
                         ItlEnReasonCode_Unexpected_error);
        e.resetContext("internal error, document numbers out of synch");
        e.raise();
      }
      m.advanceOld();  // replaced by the temporary entry
    }
    m.place(tempNumber, name.data() + 10, tempLength);
  }
  m.writeBlock();
  reader->clear();
  iv_uiCurrentBlock = 0;

  // Final records: the new data file and the new working index file. The
  // old working data file is only read and then replaced.
  iv_stDataCtl.ulHighestDocNumber = m.highest;
  iv_stDataCtl.uiBlockCount = m.blocks;
  iv_stIndexCtl.uiEntryCount = m.blocks;
  if (countEntries) iv_stIndexCtl.ulDocumentCount = m.written;
  itlEncodeDataCtl(iv_stDataCtl, record);
  if (!itlDocMapWriteAt(m.newFd, record, sizeof record, 0))
    itlDocMapRaiseErrno(ITL_SOURCE(ITL_DEX_ORIGIN),
                        ItlEnReasonCode_Io_write_error, newDataPath,
                        ITL_MSG_FILE_WRITE_FAILED, errno);
  itlEncodeIndexCtl(iv_stIndexCtl, record);
  if (!itlDocMapWriteAt(iv_iIndexWorkFd, record, sizeof record, 0))
    itlDocMapRaiseErrno(ITL_SOURCE(ITL_DEX_ORIGIN),
                        ItlEnReasonCode_Io_write_error, iv_clIndexWorkName,
                        ITL_MSG_FILE_WRITE_FAILED, errno);
  closeDescriptor(iv_iIndexWorkFd, iv_clIndexWorkName);
  close(old.release());
  int fd = newData.release();
  if (close(fd) != 0)
    itlDocMapRaiseErrno(ITL_SOURCE(ITL_DEX_ORIGIN),
                        ItlEnReasonCode_Io_close_error, newDataPath,
                        ITL_MSG_FILE_CLOSE_FAILED, errno);
  if (std::rename(newDataPath, iv_clDataWorkName) != 0) {
    ItlClException e(ITL_SOURCE(ITL_DEX_ORIGIN), ItlEnReasonCode_Io_rename_error);
    e.context(ITL_MSG_FILE_NAME) << ": " << newDataPath;
    e.raise();
  }
}

void ItlClDex::reset() {
  closeAll();
  if (ItlClDocMapBlockBase* block = getBlock()) block->clear();
  iv_uiCurrentBlock = 0;
  iv_uiSeqEntry = iv_uiSeqOffset = 0;
}

void ItlClDex::setNewName(char const* newBaseName) {
  closeAll();
  iv_clDataName.setNewBaseName(newBaseName);
  std::string const work = iv_rclLocation.workBaseNameOf(newBaseName);
  iv_clDataWorkName.setNewBaseName(work.c_str());
  iv_clIndexName.setNewBaseName(newBaseName);
  iv_clIndexWorkName.setNewBaseName(work.c_str());
  delete iv_pclSeqBlock;
  iv_pclSeqBlock = nullptr;
  delete iv_pclFixBlock;
  iv_pclFixBlock = nullptr;
  iv_uiCurrentBlock = 0;
  freeIndex();
  CosClMemoryManager::free(iv_pucKey);
  iv_pucKey = nullptr;
}
