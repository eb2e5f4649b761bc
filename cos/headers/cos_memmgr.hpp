// cos_memmgr.hpp: chief header of the services library: the process-wide
// memory manager and memory pools.
//
// Conventions of the services library (they hold for every cos header):
//   - Names: classes CosCl..., enumerations CosEn..., structures _CosSt...,
//     plain functions cos...; abstract bases end in ABase.
//   - Memory: all memory of the library passes through CosClMemoryManager,
//     whose three callbacks (allocate, reallocate, free) a caller may replace
//     before anything is allocated. Memory must be freed through the
//     deallocator that matches the allocator that made it. An allocation that
//     fails never returns null: it throws CosClExceptionFatal (see
//     outOfMemory). Who frees a result is said at each declaration.
//   - Errors: failures are thrown as CosClException (cos_exception.hpp),
//     except that files, directories, walks, processes, shared libraries and
//     converters return a truth value or a count and keep the reason as
//     their last error (_CosStError); a success clears it.
//   - Null: a null pointer given to a free function is ignored.
//   - Nothing is locked: callbacks and pools are used without locks; a pool
//     belongs to one caller.
//
// CosClMemoryPool hands out many small chunks from a chain of page-sized
// blocks and releases them all at once; a chunk is never freed by itself.
#ifndef COS_MEMMGR_HPP
#define COS_MEMMGR_HPP

#include <cstddef>
#include <cstdint>

#include "cos_exception.hpp"

// Position reported when an allocation made through the inline allocate
// operations of this header fails.
#define COS_MEMMGR_HEADER_POSITION "../../headers/cos_memmgr:359"
#define COS_MEMMGR_HEADER_LINE 359

// Callback signatures. Sizes are 32-bit byte counts.
typedef void* (*CosPfuAllocator)(unsigned int size);
typedef void* (*CosPfuReallocator)(void* block, unsigned int size);
typedef void (*CosPfuDeallocator)(void* block);

// The process-wide memory manager: static members only.
class CosClMemoryManager {
 public:
  // The three callbacks, shared by every library of the process. Statically
  // initialised to the system wrappers below, so the manager works before
  // any code of the library has run. Other libraries call
  // cv_pfuAllocatorCallback directly (then outOfMemory on null).
  static CosPfuAllocator cv_pfuAllocatorCallback;
  static CosPfuReallocator cv_pfuReallocatorCallback;
  static CosPfuDeallocator cv_pfuDeallocatorCallback;

  // The system defaults: malloc, realloc and free of the C library. The
  // reallocator never gives up the block: a size of 0 resizes it to a
  // minimal block (as malloc(0) does) instead of freeing it.
  static void* systemAllocator(unsigned int size);
  static void* systemReallocator(void* block, unsigned int size);
  static void systemDeallocator(void* block);

  // Allocates `size` bytes through the allocator callback. Never returns
  // null: a failure throws CosClExceptionFatal (outOfMemory). Free with
  // free().
  static void* allocate(unsigned int size) {
    void* p = cv_pfuAllocatorCallback(size);
    if (p == nullptr)
      outOfMemory(COS_MEMMGR_HEADER_POSITION, COS_MEMMGR_HEADER_LINE, size);
    return p;
  }

  // Resizes `block` (null allocates), keeping its contents; returns the new
  // block, the old one is then gone. Throws CosClExceptionFatal
  // MEMMGR_NO_USER_REALLOC_FUNC (FUNCTION_NOT_SUPPORTED, FATAL, ABORT) when
  // no reallocator is installed, and the out-of-memory exception of
  // outOfMemory when the reallocator returns null (the block is then left
  // as the reallocator left it).
  static void* realloc(void* block, unsigned int size);

  // Frees `block` through the deallocator callback; null is ignored.
  static void free(void* block);

  // True when the allocator callback is not the system allocator.
  static bool hasUserDefinedMgr();

  // Installs the three callbacks as given. A null reallocator together with
  // the system allocator installs the system reallocator; a user allocator
  // without a reallocator leaves realloc() failing.
  static void setNewMemoryManager(CosPfuAllocator allocator,
                                  CosPfuReallocator reallocator,
                                  CosPfuDeallocator deallocator);

  // Throws CosClExceptionFatal for a failed allocation of `size` bytes at
  // `position`/`line` (texts must outlive the exception): cause "", severity
  // FATAL, action TERMINATE, and
  //   size != 0: class OUT_OF_MEMORY, id MEMMGR_USER_OUT_OF_MEMORY with a
  //              user-defined manager, else MEMMGR_RUNTIME_OUT_OF_MEMORY;
  //   size == 0: class INVALID_DATA, id MEMMGR_ZERO_SIZE_OBJECT.
  [[noreturn]] static void outOfMemory(char const* position, int line,
                                       unsigned int size);
};

// The manager as plain functions with the C library's signatures (so they
// can serve as memory suites of C libraries). Sizes above 32 bits cannot be
// served and fail like exhausted memory. None returns null; free with
// cosFree.
void* cosMalloc(size_t size);
// count * size bytes filled with zero; a product above 32 bits fails like
// exhausted memory.
void* cosCalloc(size_t count, size_t size);
void* cosRealloc(void* block, size_t size);
void cosFree(void* block);
void cosSetNewMemoryManager(CosPfuAllocator allocator,
                            CosPfuReallocator reallocator,
                            CosPfuDeallocator deallocator);

// ---------------------------------------------------------------------------
// Memory pools.

// Header at the start of each block's memory (for a caller-supplied buffer
// a separate allocation that describes the buffer). x86-64 layout:
//   off size  field
//     0    8  start       first usable byte (the byte after the header)
//     8    8  last        last usable byte (start + capacity - 1)
//    16    8  next free   next unallocated byte
//    24    8  next block  next block of the chain, or null
//    32    4  chunk count chunks handed out since the block was last emptied
//    36    4  number      1 for the first block, then the pool's block count
//                         when the block was added
// A block's capacity is its byte size minus the header size; its free space
// is last - next free + 1.
class CosClMemoryPoolBlock {
 public:
  char* m_pcStart;
  char* m_pcLast;
  char* m_pcNextFree;
  CosClMemoryPoolBlock* m_pclNext;
  int32_t m_iChunkCount;
  uint32_t m_uiNumber;

  // Sets the next free byte to `address`.
  void reset(void* address) { m_pcNextFree = static_cast<char*>(address); }
  // Empties the block: next free = start, chunk count 0.
  void empty() { m_pcNextFree = m_pcStart; m_iChunkCount = 0; }
  // last - next free + 1, in bytes.
  uint32_t getFreeSize() const {
    return static_cast<uint32_t>(m_pcLast + 1 - m_pcNextFree);
  }
  // last - start + 1, in bytes.
  uint32_t getCapacity() const {
    return static_cast<uint32_t>(m_pcLast + 1 - m_pcStart);
  }
};

// Size of a block header; a block of N bytes has capacity N - this.
constexpr unsigned int COS_MEMPOOL_BLOCK_HEADER_SIZE =
    static_cast<unsigned int>(sizeof(CosClMemoryPoolBlock));
// Block sizes are whole pages of this many bytes.
constexpr unsigned int COS_MEMPOOL_PAGE_SIZE = 4096;
// Chunk sizes are rounded up to a multiple of this (the size of a pointer,
// so that chunks can hold any object with pointers).
constexpr unsigned int COS_MEMPOOL_ALIGNMENT = sizeof(void*);

// Called with an error record and the user value; stored, never called by
// the pool itself (every allocation failure goes through outOfMemory).
typedef void (*CosPfuMemoryPoolErrorHandler)(_CosStError& error,
                                             void* userValue);

// Many small chunks from a chain of large blocks, released all at once.
// Not copyable. All memory comes from CosClMemoryManager.
class CosClMemoryPool {
 public:
  // A pool whose first block has `firstSize` bytes and whose later blocks
  // have `subsequentSize` bytes (0: the pool never grows); both are rounded
  // up to whole pages. `threshold` is clamped to 256..65536: a block whose
  // free space falls below it stops being the current block.
  // Throws CosClExceptionFatal when the first block cannot be allocated,
  // and MEMMGR_ZERO_SIZE_OBJECT (INVALID_DATA) for a firstSize of 0.
  CosClMemoryPool(unsigned int firstSize, unsigned int subsequentSize,
                  unsigned int threshold);
  // A pool over the caller's `buffer` of `size` bytes (the caller keeps and
  // frees it; it must outlive the pool). The pool never grows. Throws
  // CosClExceptionFatal when the header cannot be allocated, and
  // MEMMGR_ZERO_SIZE_OBJECT for a null buffer or a size of 0.
  CosClMemoryPool(void* buffer, unsigned int size);
  ~CosClMemoryPool();
  CosClMemoryPool(CosClMemoryPool const&) = delete;
  CosClMemoryPool& operator=(CosClMemoryPool const&) = delete;

  // A chunk of `size` bytes (rounded with getAlignedSizeFor) searched from
  // the current block on; `blockNumber` receives the number of the block
  // that holds it. Null when the chain is full and the pool cannot grow;
  // CosClExceptionFatal when a new block cannot be allocated (the pool is
  // then unchanged).
  void* allocate(unsigned int size, unsigned int& blockNumber) {
    return allocate(m_pclCurrentBlock, getAlignedSizeFor(size), blockNumber);
  }
  // The block allocation from `block` on, `size` already rounded.
  // REQUIRES: block belongs to this pool.
  void* allocate(CosClMemoryPoolBlock* block, unsigned int size,
                 unsigned int& blockNumber);

  // `size` rounded up to a multiple of COS_MEMPOOL_ALIGNMENT (rounded down
  // when rounding up would overflow).
  unsigned int getAlignedSizeFor(unsigned int size) const;
  // `size` rounded up to whole pages (down when up would overflow).
  static unsigned int alignToPageSize(unsigned int size);

  unsigned int getFirstBlockNumber() const { return 1; }
  // Free space of the current block, 0 when there is none.
  unsigned int getCurrentFreeSize() const;
  // Capacity of the first block, 0 when there is none.
  unsigned int getCapacityForFirstBlock() const;
  // Subsequent block size minus the header, 0 when the pool never grows.
  unsigned int getCapacityForSubsequentBlocks() const;
  // 0 without a first block; else the larger of the first block's free
  // space and getCapacityForSubsequentBlocks().
  unsigned int getLargestPossibleChunk() const;

  // The current block's next free byte; deleteAt(handle) returns the pool
  // to that state.
  void* getCurrentStateHandle() const;
  // Releases every chunk from `address` on: the block holding it gets its
  // next free set to `address`, every later block is emptied (and kept).
  // An address in no block does nothing. The current block is not changed.
  void deleteAt(void* address);
  // Empties `block` and every block after it (null does nothing).
  void reset(CosClMemoryPoolBlock* block);
  // Releases every chunk: a block after the first that served no chunk
  // since the previous deleteAll is freed, the others are emptied and kept;
  // the first block becomes the current block.
  void deleteAll();

  void setErrorHandler(CosPfuMemoryPoolErrorHandler handler,
                       void* userValue) {
    m_pfuErrorHandler = handler;
    m_pvUserValue = userValue;
  }

  // Inspection.
  CosClMemoryPoolBlock* getFirstBlock() const { return m_pclFirstBlock; }
  CosClMemoryPoolBlock* getCurrentBlock() const { return m_pclCurrentBlock; }
  unsigned int getBlockCount() const { return m_uiBlockCount; }
  unsigned int getTotalSize() const { return m_uiTotalSize; }  // whole KB
  unsigned int getSubsequentBlockSize() const { return m_uiSubsequentSize; }
  unsigned int getThreshold() const { return m_uiThreshold; }
  bool hasExternalBuffer() const { return m_bExternalBuffer; }
  CosPfuMemoryPoolErrorHandler getErrorHandler() const {
    return m_pfuErrorHandler;
  }
  void* getErrorHandlerUserValue() const { return m_pvUserValue; }

 private:
  CosClMemoryPoolBlock* m_pclFirstBlock = nullptr;
  CosClMemoryPoolBlock* m_pclCurrentBlock = nullptr;
  uint32_t m_uiBlockCount = 0;      // blocks in the chain = newest's number
  uint32_t m_uiTotalSize = 0;       // sum of block sizes >> 10 (whole KB)
  uint32_t m_uiSubsequentSize = 0;  // bytes, whole pages; 0 = never grows
  uint32_t m_uiThreshold = 0;       // 256..65536 (0 over a caller's buffer)
  bool m_bAlign = true;             // chunk sizes rounded up
  bool m_bExternalBuffer = false;   // first block is a caller's buffer
  CosPfuMemoryPoolErrorHandler m_pfuErrorHandler = nullptr;
  void* m_pvUserValue = nullptr;

  CosClMemoryPoolBlock* growBehind(CosClMemoryPoolBlock* last,
                                   unsigned int size);
};

#endif  // COS_MEMMGR_HPP
