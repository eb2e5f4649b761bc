// itl_deleted_docs.cpp: the deleted-documents list (".del", ".xel").
//
// The list is held whole in memory as read from the file (the numbers are
// little-endian on disk, as in memory on this target) and sorted after
// every append, so lookups are binary searches; the deletions of the
// running transaction are scanned linearly in the buffer.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cos_memmgr.hpp"
#include "itl_deleted_docs.hpp"
#include "itl_docmap_dex.hpp"
#include "itl_docmap_error.hpp"
#include "itl_docmap_sort.hpp"
#include "itl_index_location.hpp"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the deleted list is read as it lies on disk");

#define ITL_DEL_ORIGIN "source/itl_index/itl_deleted_docs"

namespace {

[[noreturn]] void raiseNamed(char const* origin, unsigned line,
                             ItlEnReasonCode reason, char const* name) {
  ItlClException e(origin, line, reason);
  e.resetContext(name);
  e.raise();
}

}  // namespace

ItlClDeletedDocs::ItlClDeletedDocs(ItlClIndexLocation const& location)
    : iv_rclLocation(location),
      iv_pStream(nullptr),
      iv_uiListSize(0),
      iv_pulList(nullptr),
      iv_pulBuffer(nullptr),
      iv_uiBufferFree(BUFFER_BYTES),
      iv_ulDeletionCount(0) {
  refreshNames();
}

ItlClDeletedDocs::~ItlClDeletedDocs() {
  closeStream();
  freeList();
  CosClMemoryManager::free(iv_pulBuffer);
}

void ItlClDeletedDocs::refreshNames() {
  iv_clName = CosClFilename(iv_rclLocation.getIndexDirectory(),
                            iv_rclLocation.getIndexName(), ITL_DOCMAP_EXT_DEL);
  iv_clWorkName =
      CosClFilename(iv_rclLocation.getWorkingDirectory(),
                    iv_rclLocation.getWorkBaseName().c_str(), ITL_DOCMAP_EXT_XEL);
}

void ItlClDeletedDocs::setNewBaseName(char const* name) {
  iv_clName.setNewBaseName(name);
  iv_clWorkName.setNewBaseName(iv_rclLocation.workBaseNameOf(name).c_str());
}

void ItlClDeletedDocs::setWorkingDirectory(char const* directory) {
  iv_clWorkName.setNewPath(directory);
}

void ItlClDeletedDocs::closeStream() {
  if (iv_pStream != nullptr) std::fclose(iv_pStream);
  iv_pStream = nullptr;
}

void ItlClDeletedDocs::freeList() {
  CosClMemoryManager::free(iv_pulList);
  iv_pulList = nullptr;
  iv_uiListSize = 0;
}

void ItlClDeletedDocs::reset() {
  closeStream();
  freeList();
  if (iv_pulBuffer != nullptr) std::memset(iv_pulBuffer, 0, BUFFER_BYTES);
  iv_uiBufferFree = BUFFER_BYTES;
}

void ItlClDeletedDocs::readWhole(CosClFilename const& name, long long size) {
  freeList();
  // Whole numbers only: a trailing piece of a number is not a deletion.
  uint32_t bytes = static_cast<uint32_t>(size) & ~7u;
  if (size > 0xFFFFFFF8LL) raiseNamed(ITL_SOURCE(ITL_DEL_ORIGIN),
                                      ItlEnReasonCode_Docmap_corrupted, name);
  if (bytes == 0) return;
  iv_pulList = static_cast<uint64_t*>(CosClMemoryManager::allocate(bytes));
  std::memset(iv_pulList, 0, bytes);
  iv_uiListSize = bytes;
  if (std::fseek(iv_pStream, 0, SEEK_SET) != 0 ||
      std::fread(iv_pulList, 1, bytes, iv_pStream) != bytes) {
    freeList();
    raiseNamed(ITL_SOURCE(ITL_DEL_ORIGIN), ItlEnReasonCode_Io_read_error,
               name);
  }
}

void ItlClDeletedDocs::load(CosClFilename const& name, char const* mode) {
  closeStream();
  freeList();
  itlOpenFile(name, mode, true, iv_pStream);
  if (iv_pStream == nullptr) return;  // missing or empty: no deletions
  struct stat st;
  if (fstat(fileno(iv_pStream), &st) != 0 || st.st_size < 0 ||
      !S_ISREG(st.st_mode)) {
    closeStream();
    raiseNamed(ITL_SOURCE(ITL_DEL_ORIGIN), ItlEnReasonCode_Io_read_error,
               name);
  }
  if (st.st_size == 0) {
    closeStream();
    return;
  }
  try {
    readWhole(name, st.st_size);
  } catch (...) {
    closeStream();
    throw;
  }
}

void ItlClDeletedDocs::access4Update() { load(iv_clWorkName, "r+b"); }

void ItlClDeletedDocs::access4Read() { load(iv_clName, "rb"); }

void ItlClDeletedDocs::deleteDocumentNumber(uint64_t number,
                                            _ItlStDocumentId const* id) {
  reassignIfDeleted(&number);
  if (number == 0) {
    ItlClException e(ITL_SOURCE(ITL_DEL_ORIGIN),
                     ItlEnReasonCode_Docmap_docid_not_found);
    if (id != nullptr && id->pszDocId != nullptr) {
      char name[COS_PATH_BUFFER_SIZE];
      size_t n = id->usDocIdLength < sizeof name - 1 ? id->usDocIdLength
                                                     : sizeof name - 1;
      std::memcpy(name, id->pszDocId, n);
      name[n] = '\0';
      e.resetContext(name);
    }
    e.raise();
  }
  if (iv_pulBuffer == nullptr) {
    iv_pulBuffer =
        static_cast<uint64_t*>(CosClMemoryManager::allocate(BUFFER_BYTES));
    std::memset(iv_pulBuffer, 0, BUFFER_BYTES);
    iv_uiBufferFree = BUFFER_BYTES;
  }
  if (iv_uiBufferFree < 8) updateDeletionBuffer();
  iv_pulBuffer[(BUFFER_BYTES - iv_uiBufferFree) / 8] = number;
  iv_uiBufferFree -= 8;
  ++iv_ulDeletionCount;
}

void ItlClDeletedDocs::updateDeletionBuffer() {
  if (iv_pulBuffer == nullptr || iv_uiBufferFree == BUFFER_BYTES) return;
  if (iv_pStream == nullptr) itlOpenFile(iv_clWorkName, "wb", false, iv_pStream);
  size_t bytes = BUFFER_BYTES - iv_uiBufferFree;
  if (std::fseek(iv_pStream, 0, SEEK_END) != 0 ||
      std::fwrite(iv_pulBuffer, 1, bytes, iv_pStream) != bytes ||
      std::fflush(iv_pStream) != 0)
    raiseNamed(ITL_SOURCE(ITL_DEL_ORIGIN), ItlEnReasonCode_Io_write_error,
               iv_clWorkName);
  iv_uiBufferFree = BUFFER_BYTES;
  std::memset(iv_pulBuffer, 0, BUFFER_BYTES);

  closeStream();
  itlOpenFile(iv_clWorkName, "r+b", true, iv_pStream);
  struct stat st;
  if (iv_pStream == nullptr || fstat(fileno(iv_pStream), &st) != 0 ||
      st.st_size < 0)
    raiseNamed(ITL_SOURCE(ITL_DEL_ORIGIN), ItlEnReasonCode_Io_read_error,
               iv_clWorkName);
  if (st.st_size > 0) readWhole(iv_clWorkName, st.st_size);
  if (iv_pulList == nullptr || getListCount() == 0)
    ItlClException(ITL_SOURCE(ITL_DEL_ORIGIN),
                   ItlEnReasonCode_Docmap_corrupted)
        .raise();
  itlSortDelEntries(iv_pulList, getListCount());
}

void ItlClDeletedDocs::writeDeletionBuffer() {
  if (iv_uiListSize == 0 || iv_pStream == nullptr) {
    closeStream();
    return;
  }
  if (std::fseek(iv_pStream, 0, SEEK_SET) != 0 ||
      std::fwrite(iv_pulList, 1, iv_uiListSize, iv_pStream) !=
          iv_uiListSize ||
      std::fflush(iv_pStream) != 0 ||
      // A trailing piece of a number in the old file goes too.
      ftruncate(fileno(iv_pStream), iv_uiListSize) != 0)
    raiseNamed(ITL_SOURCE(ITL_DEL_ORIGIN), ItlEnReasonCode_Io_write_error,
               iv_clWorkName);
  if (std::fclose(iv_pStream) != 0) {
    iv_pStream = nullptr;
    raiseNamed(ITL_SOURCE(ITL_DEL_ORIGIN), ItlEnReasonCode_Io_write_error,
               iv_clWorkName);
  }
  iv_pStream = nullptr;
}

void ItlClDeletedDocs::reassignIfDeleted(uint64_t* number) const {
  if (*number == 0) return;
  if (iv_pulList != nullptr &&
      std::bsearch(number, iv_pulList, getListCount(), sizeof(uint64_t),
                   itlDocNoComp) != nullptr) {
    *number = 0;
    return;
  }
  if (iv_pulBuffer == nullptr) return;
  uint32_t used = getBufferedCount();
  for (uint32_t i = 0; i < used && iv_pulBuffer[i] != 0; ++i)
    if (iv_pulBuffer[i] == *number) {
      *number = 0;
      return;
    }
}

void ItlClDeletedDocs::obtainNumberOfDocumentsDeleted(uint64_t& count) const {
  count = 0;
  struct stat st;
  if (stat(iv_clName, &st) != 0 || st.st_size < 0) return;
  count = static_cast<uint64_t>(st.st_size) / 8;
}

void ItlClDeletedDocs::deleteDocument(ItlClDex& dex,
                                      _ItlStDocumentId const* id) {
  uint64_t number = 0;
  dex.obtainDocNumber(id, &number, *this);
  deleteDocumentNumber(number, id);
}
