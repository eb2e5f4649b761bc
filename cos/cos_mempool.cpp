// cos_mempool.cpp: memory pools: many small chunks carved from a chain of
// page-sized blocks, released all at once.
//
// Each block starts with its CosClMemoryPoolBlock header (layout in
// cos_memmgr.hpp); a pool over a caller's buffer keeps that header in a
// separate allocation. A chunk costs a pointer bump in the current block.
// Invariants:
//   1. The chain holds at least the first block from construction to
//      destruction; block sizes are whole pages (except a caller's buffer).
//   2. The search for room starts at the current block and moves forward
//      only; a block whose free space fell below the threshold while a
//      chunk did not fit stops being the current block.
//   3. Total size is the sum of the blocks' sizes >> 10, block count the
//      number of blocks in the chain.
//   4. A failed allocation of a new block leaves the pool as it was.
#include <cstdint>
#include <new>

#include "cos_memmgr.hpp"

namespace {

constexpr unsigned int kHeaderSize = COS_MEMPOOL_BLOCK_HEADER_SIZE;
constexpr unsigned int kMinThreshold = 256;
constexpr unsigned int kMaxThreshold = 65536;

// Writes a fresh header at the start of `memory` (a block of `size` bytes).
CosClMemoryPoolBlock* makeBlock(void* memory, unsigned int size,
                                uint32_t number) {
  CosClMemoryPoolBlock* block = new (memory) CosClMemoryPoolBlock;
  block->m_pcStart = static_cast<char*>(memory) + kHeaderSize;
  block->m_pcLast = static_cast<char*>(memory) + size - 1;
  block->m_pcNextFree = block->m_pcStart;
  block->m_pclNext = nullptr;
  block->m_iChunkCount = 0;
  block->m_uiNumber = number;
  return block;
}

// Byte size of a block whose header lies at the start of its memory.
unsigned int blockSize(CosClMemoryPoolBlock const* block) {
  return static_cast<unsigned int>(block->m_pcLast + 1 -
                                   reinterpret_cast<char const*>(block));
}

// Hands out `size` bytes of `block`. REQUIRES: size <= its free space.
void* carve(CosClMemoryPoolBlock* block, unsigned int size,
            unsigned int& blockNumber) {
  char* chunk = block->m_pcNextFree;
  block->m_pcNextFree += size;
  ++block->m_iChunkCount;
  blockNumber = block->m_uiNumber;
  return chunk;
}

}  // namespace

CosClMemoryPool::CosClMemoryPool(unsigned int firstSize,
                                 unsigned int subsequentSize,
                                 unsigned int threshold) {
  if (threshold > kMaxThreshold - 1) threshold = kMaxThreshold;
  if (threshold < kMinThreshold + 1) threshold = kMinThreshold;
  m_uiThreshold = threshold;
  // A first block of 0 bytes could not even hold its header.
  if (firstSize == 0)
    CosClMemoryManager::outOfMemory(COS_MEMMGR_HEADER_POSITION,
                                    COS_MEMMGR_HEADER_LINE, 0);
  unsigned int first = alignToPageSize(firstSize);
  m_uiSubsequentSize = alignToPageSize(subsequentSize);
  void* memory = CosClMemoryManager::allocate(first);
  m_uiTotalSize = first >> 10;
  m_pclFirstBlock = m_pclCurrentBlock = makeBlock(memory, first, 1);
  m_uiBlockCount = 1;
}

CosClMemoryPool::CosClMemoryPool(void* buffer, unsigned int size) {
  if (buffer == nullptr || size == 0)
    CosClMemoryManager::outOfMemory(COS_MEMMGR_HEADER_POSITION,
                                    COS_MEMMGR_HEADER_LINE, 0);
  void* memory = CosClMemoryManager::allocate(kHeaderSize);
  CosClMemoryPoolBlock* block = new (memory) CosClMemoryPoolBlock;
  block->m_pcStart = block->m_pcNextFree = static_cast<char*>(buffer);
  block->m_pcLast = static_cast<char*>(buffer) + size - 1;
  block->m_pclNext = nullptr;
  block->m_iChunkCount = 0;
  block->m_uiNumber = 1;
  m_pclFirstBlock = m_pclCurrentBlock = block;
  m_uiBlockCount = 1;
  m_uiTotalSize = size >> 10;
  m_bExternalBuffer = true;
}

CosClMemoryPool::~CosClMemoryPool() {
  if (!m_bExternalBuffer) {
    // The first pass empties blocks that served chunks, the second frees
    // them.
    for (int pass = 0; pass < 2 && m_pclFirstBlock != nullptr &&
                       m_pclFirstBlock->m_pclNext != nullptr;
         ++pass)
      deleteAll();
  }
  CosClMemoryManager::free(m_pclFirstBlock);
  m_pclFirstBlock = m_pclCurrentBlock = nullptr;
  m_pfuErrorHandler = nullptr;
  m_pvUserValue = nullptr;
}

unsigned int CosClMemoryPool::getAlignedSizeFor(unsigned int size) const {
  constexpr unsigned int mask = COS_MEMPOOL_ALIGNMENT - 1;
  if (!m_bAlign || (size & mask) == 0) return size;
  unsigned int up = (size + mask) & ~mask;
  return up != 0 ? up : (size & ~mask);
}

unsigned int CosClMemoryPool::alignToPageSize(unsigned int size) {
  constexpr uint64_t mask = COS_MEMPOOL_PAGE_SIZE - 1;
  uint64_t up = (uint64_t{size} + mask) & ~mask;
  if (up > UINT32_MAX) up = uint64_t{size} & ~mask;
  return static_cast<unsigned int>(up);
}

unsigned int CosClMemoryPool::getCurrentFreeSize() const {
  return m_pclCurrentBlock ? m_pclCurrentBlock->getFreeSize() : 0;
}

unsigned int CosClMemoryPool::getCapacityForFirstBlock() const {
  return m_pclFirstBlock ? m_pclFirstBlock->getCapacity() : 0;
}

unsigned int CosClMemoryPool::getCapacityForSubsequentBlocks() const {
  return m_uiSubsequentSize ? m_uiSubsequentSize - kHeaderSize : 0;
}

unsigned int CosClMemoryPool::getLargestPossibleChunk() const {
  if (m_pclFirstBlock == nullptr) return 0;
  unsigned int first = m_pclFirstBlock->getFreeSize();
  unsigned int later = getCapacityForSubsequentBlocks();
  return first > later ? first : later;
}

// Allocates and links a new block behind `last` (the end of the chain)
// with room for `size` bytes. Throws CosClExceptionFatal, pool unchanged,
// when it cannot.
CosClMemoryPoolBlock* CosClMemoryPool::growBehind(CosClMemoryPoolBlock* last,
                                                  unsigned int size) {
  unsigned int newSize = m_uiSubsequentSize;
  if (newSize - kHeaderSize < size) {
    // An oversized chunk gets a block of its own; a chunk too big for any
    // 32-bit block fails like exhausted memory.
    if (size > UINT32_MAX - kHeaderSize)
      CosClMemoryManager::outOfMemory(COS_MEMMGR_HEADER_POSITION,
                                      COS_MEMMGR_HEADER_LINE, size);
    newSize = alignToPageSize(size + kHeaderSize);
    if (newSize - kHeaderSize < size)
      CosClMemoryManager::outOfMemory(COS_MEMMGR_HEADER_POSITION,
                                      COS_MEMMGR_HEADER_LINE, newSize);
  }
  void* memory = CosClMemoryManager::allocate(newSize);
  m_uiTotalSize += newSize >> 10;
  ++m_uiBlockCount;
  CosClMemoryPoolBlock* block = makeBlock(memory, newSize, m_uiBlockCount);
  last->m_pclNext = block;
  return block;
}

void* CosClMemoryPool::allocate(CosClMemoryPoolBlock* block, unsigned int size,
                                unsigned int& blockNumber) {
  // The earliest block passed over whose free space is below the threshold:
  // the block after it becomes the current block.
  CosClMemoryPoolBlock* lowBlock = nullptr;
  void* chunk = nullptr;
  for (CosClMemoryPoolBlock* b = block; b != nullptr; b = b->m_pclNext) {
    if (size <= b->getFreeSize()) {
      chunk = carve(b, size, blockNumber);
      break;
    }
    if (b->m_pclNext == nullptr) {
      if (m_uiSubsequentSize == 0) break;  // cannot grow: null
      bool low = b->getFreeSize() < m_uiThreshold;
      chunk = carve(growBehind(b, size), size, blockNumber);
      if (low && lowBlock == nullptr) lowBlock = b;
      break;
    }
    if (b->getFreeSize() < m_uiThreshold && lowBlock == nullptr) lowBlock = b;
  }
  if (lowBlock != nullptr) m_pclCurrentBlock = lowBlock->m_pclNext;
  return chunk;
}

void* CosClMemoryPool::getCurrentStateHandle() const {
  return m_pclCurrentBlock ? m_pclCurrentBlock->m_pcNextFree : nullptr;
}

void CosClMemoryPool::deleteAt(void* address) {
  uintptr_t a = reinterpret_cast<uintptr_t>(address);
  for (CosClMemoryPoolBlock* b = m_pclFirstBlock; b != nullptr;
       b = b->m_pclNext) {
    if (reinterpret_cast<uintptr_t>(b->m_pcStart) <= a &&
        a <= reinterpret_cast<uintptr_t>(b->m_pcLast) + 1) {
      reset(b->m_pclNext);
      b->reset(address);
      return;
    }
  }
}

void CosClMemoryPool::reset(CosClMemoryPoolBlock* block) {
  for (CosClMemoryPoolBlock* b = block; b != nullptr; b = b->m_pclNext)
    b->empty();
}

void CosClMemoryPool::deleteAll() {
  if (m_pclFirstBlock == nullptr) return;
  if (m_pclFirstBlock->m_pclNext != nullptr) {
    // Each block's fate depends only on its own chunk count, so one forward
    // pass gives what a pass from the far end would.
    CosClMemoryPoolBlock* prev = m_pclFirstBlock;
    CosClMemoryPoolBlock* b = prev->m_pclNext;
    while (b != nullptr) {
      CosClMemoryPoolBlock* next = b->m_pclNext;
      if (b->m_iChunkCount <= 0) {
        prev->m_pclNext = next;
        m_uiTotalSize -= blockSize(b) >> 10;
        --m_uiBlockCount;
        CosClMemoryManager::free(b);
      } else {
        b->empty();
        prev = b;
      }
      b = next;
    }
    m_pclCurrentBlock = m_pclFirstBlock;
  }
  m_pclCurrentBlock->empty();
}
