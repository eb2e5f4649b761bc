// itl_docmap_block.cpp: one data block of a document-number map in memory
// (heap buffer or private mapping), its entry count and the number search
// of the fixed layout.
//
// Entry i's number lies at block offset 32760 - 8 i; numbers ascend with i.
// Every index here is an entry index below 4096, so no access leaves the
// block whatever its bytes say.
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "cos_memmgr.hpp"
#include "itl_docmap_error.hpp"
#include "itl_docmap_files.hpp"

#define ITL_BLOCK_ORIGIN "source/itl_index/itl_docmap_block"

namespace {
constexpr uint32_t SLOTS = ITL_DOCMAP_BLOCK_SIZE / 8;  // number slots at most
}

ItlClDocMapBlockBase::ItlClDocMapBlockBase(Kind kind)
    : iv_uiCursor(0),
      iv_pucBlock(static_cast<uint8_t*>(
          CosClMemoryManager::allocate(ITL_DOCMAP_BLOCK_SIZE))),
      iv_pucHeapBuffer(nullptr),
      iv_uiMapOffset(0),
      iv_uiCount(0),
      iv_enKind(kind) {
  std::memset(iv_pucBlock, 0, ITL_DOCMAP_BLOCK_SIZE);
}

ItlClDocMapBlockBase::~ItlClDocMapBlockBase() {
  if (iv_pucHeapBuffer != nullptr) {
    munmap(iv_pucBlock - iv_uiMapOffset, ITL_DOCMAP_MAP_SIZE);
    CosClMemoryManager::free(iv_pucHeapBuffer);
  } else {
    CosClMemoryManager::free(iv_pucBlock);
  }
}

void ItlClDocMapBlockBase::clear() {
  unmapBlock();
  std::memset(iv_pucBlock, 0, ITL_DOCMAP_BLOCK_SIZE);
  iv_uiCount = 0;
  resetCursors();
}

void ItlClDocMapBlockBase::mapBlock(int descriptor, char const* fileName,
                                    uint32_t blockNumber,
                                    uint32_t blockCount) {
  unmapBlock();
  iv_uiCount = 0;
  struct stat st;
  if (fstat(descriptor, &st) != 0)
    itlDocMapRaiseErrno(ITL_SOURCE(ITL_BLOCK_ORIGIN),
                        ItlEnReasonCode_Io_read_error, fileName,
                        ITL_MSG_FILE_READ_FAILED, errno);
  // A mapping past the file's end would fault on access: check first.
  off64_t start = static_cast<off64_t>(blockNumber - 1) * ITL_DOCMAP_BLOCK_SIZE;
  if (blockNumber == 0 || blockNumber > blockCount ||
      start + ITL_DOCMAP_MAP_SIZE > st.st_size) {
    ItlClException e(ITL_SOURCE(ITL_BLOCK_ORIGIN),
                     ItlEnReasonCode_Docmap_corrupted);
    if (fileName != nullptr) e.context(ITL_MSG_FILE_NAME) << ": " << fileName;
    e.raise();
  }
  void* map = mmap64(nullptr, ITL_DOCMAP_MAP_SIZE, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE, descriptor, start);
  if (map == MAP_FAILED) {
    int error = errno;
    ItlClException e(ITL_SOURCE(ITL_BLOCK_ORIGIN),
                     ItlEnReasonCode_Io_read_error);
    e.context(ITL_MSG_FILE_READ_FAILED) << ": " << error;
    e.raise();
  }
  iv_pucHeapBuffer = iv_pucBlock;
  iv_uiMapOffset = ITL_DOCMAP_CTL_SIZE;
  iv_pucBlock = static_cast<uint8_t*>(map) + ITL_DOCMAP_CTL_SIZE;
  analyse();
}

void ItlClDocMapBlockBase::unmapBlock() {
  if (iv_pucHeapBuffer == nullptr) return;
  // A failing unmap can only mean a bad address, which cannot happen here:
  // the heap buffer comes back in every case.
  munmap(iv_pucBlock - iv_uiMapOffset, ITL_DOCMAP_MAP_SIZE);
  iv_pucBlock = iv_pucHeapBuffer;
  iv_pucHeapBuffer = nullptr;
  iv_uiMapOffset = 0;
  iv_uiCount = 0;
}

// ---- sequential block -------------------------------------------------

ItlClDocMapBlockSeq::ItlClDocMapBlockSeq()
    : ItlClDocMapBlockBase(SEQUENTIAL),
      iv_uiNameCursor(0),
      iv_uiSlotCursor(ITL_DOCMAP_TOP_SLOT),
      iv_ucFlag(0) {}

void ItlClDocMapBlockSeq::analyse() {
  uint32_t count = 0;
  while (count < SLOTS && slotNumber(count) != 0) ++count;
  iv_uiCount = count;
  resetCursors();
}

void ItlClDocMapBlockSeq::resetCursors() {
  iv_uiNameCursor = 0;
  iv_uiSlotCursor = ITL_DOCMAP_TOP_SLOT;
}

// ---- fixed block ------------------------------------------------------

ItlClDocMapBlockFix::ItlClDocMapBlockFix(uint16_t nameSize)
    : ItlClDocMapBlockBase(FIXED),
      iv_usNameSize(nameSize),
      iv_uiCapacity(ITL_DOCMAP_BLOCK_SIZE / (nameSize + 8u)),
      iv_bLowestKnown(false) {}

void ItlClDocMapBlockFix::findLowestSlot() {
  // From the lowest possible slot upwards past zero slots, never above the
  // top slot.
  uint32_t lowest = iv_uiCapacity == 0 ? 0 : iv_uiCapacity - 1;
  while (lowest > 0 && slotNumber(lowest) == 0) --lowest;
  iv_uiCount = iv_uiCapacity == 0 ? 0 : lowest + 1;
  if (iv_uiCount == 1 && slotNumber(0) == 0) iv_uiCount = 0;
  iv_bLowestKnown = true;
}

void ItlClDocMapBlockFix::analyse() {
  findLowestSlot();
  resetCursors();
}

void ItlClDocMapBlockFix::resetCursors() { iv_uiCursor = 0; }

bool ItlClDocMapBlockFix::searchDocNumber(uint64_t const& number) {
  if (!iv_bLowestKnown) findLowestSlot();
  if (iv_uiCount == 0) return false;
  if (iv_uiCursor >= iv_uiCount || slotNumber(iv_uiCursor) == 0)
    iv_uiCursor = 0;
  // Entries [lo, hi) hold ascending numbers: below the cursor when the
  // cursor's number is greater, else from the cursor to the last entry.
  uint32_t lo, hi;
  if (slotNumber(iv_uiCursor) > number) {
    lo = 0;
    hi = iv_uiCursor + 1;
  } else {
    lo = iv_uiCursor;
    hi = iv_uiCount;
  }
  while (lo < hi) {
    uint32_t mid = lo + (hi - lo) / 2;
    uint64_t value = slotNumber(mid);
    if (value == number) {
      iv_uiCursor = mid;
      return true;
    }
    if (value < number)
      lo = mid + 1;
    else
      hi = mid;
  }
  return false;
}
