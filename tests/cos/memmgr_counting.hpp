// memmgr_counting.hpp: counting memory-manager callbacks for the tests of
// the memory manager and pools.
//
// CountingMemoryManager installs callbacks that count every call and the
// blocks alive, can fail the N-th allocation, and fill new memory with 0xAA
// (so that zero-filling is visible). The destructor restores the system
// callbacks.
#ifndef TESTS_COS_MEMMGR_COUNTING_HPP
#define TESTS_COS_MEMMGR_COUNTING_HPP

#include <cstdlib>
#include <cstring>

#include "cos_memmgr.hpp"

struct CountingMemoryManager {
  static inline unsigned allocations = 0;    // calls of the allocator
  static inline unsigned reallocations = 0;  // calls of the reallocator
  static inline unsigned frees = 0;          // calls of the deallocator
  static inline long alive = 0;              // blocks not yet freed
  static inline unsigned failAt = 0;         // fail this allocation (1-based)
  static inline bool reallocReturnsNull = false;
  static inline unsigned lastSize = 0;       // size of the last allocation

  static void* allocate(unsigned size) {
    ++allocations;
    lastSize = size;
    if (failAt != 0 && allocations == failAt) return nullptr;
    void* p = malloc(size ? size : 1);
    if (p) { memset(p, 0xAA, size); ++alive; }
    return p;
  }
  static void* reallocate(void* block, unsigned size) {
    ++reallocations;
    if (reallocReturnsNull) return nullptr;
    if (block == nullptr) ++alive;
    return realloc(block, size ? size : 1);
  }
  static void deallocate(void* block) {
    ++frees;
    --alive;
    free(block);
  }

  // Installs the counting callbacks (with or without the reallocator).
  explicit CountingMemoryManager(bool withReallocator = true) {
    allocations = reallocations = frees = 0;
    alive = 0;
    failAt = 0;
    reallocReturnsNull = false;
    CosClMemoryManager::setNewMemoryManager(
        &allocate, withReallocator ? &reallocate : nullptr, &deallocate);
  }
  ~CountingMemoryManager() {
    CosClMemoryManager::setNewMemoryManager(
        &CosClMemoryManager::systemAllocator,
        &CosClMemoryManager::systemReallocator,
        &CosClMemoryManager::systemDeallocator);
  }
  CountingMemoryManager(CountingMemoryManager const&) = delete;
  CountingMemoryManager& operator=(CountingMemoryManager const&) = delete;
};

// Expects `e` to carry the given numbers.
#define EXPECT_COS_ERROR(e, id_, class_, severity_, action_)          \
  do {                                                                \
    EXPECT_EQ((e).getErrorId(), CosEnErrorId::id_);                   \
    EXPECT_EQ((e).getErrorClass(), CosEnErrorClass::class_);          \
    EXPECT_EQ((e).getSeverity(), CosEnErrorSeverity::severity_);      \
    EXPECT_EQ((e).getAction(), CosEnErrorAction::action_);            \
  } while (0)

#endif  // TESTS_COS_MEMMGR_COUNTING_HPP
