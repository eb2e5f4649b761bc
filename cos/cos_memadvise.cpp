// cos_memadvise.cpp: memory-use hints (see the header).
#include "cos_memadvise.hpp"

#include <sys/mman.h>

#include <cstdint>

#include "cos_memmgr.hpp"

void cosAdviseLargeBlock(void* block, unsigned int size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHuge = uintptr_t(2) << 20;
  // A user-defined manager's memory is its own business.
  if (block == nullptr || size < (4u << 20) ||
      CosClMemoryManager::hasUserDefinedMgr())
    return;
  uintptr_t begin =
      (reinterpret_cast<uintptr_t>(block) + kHuge - 1) & ~(kHuge - 1);
  uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) & ~(kHuge - 1);
  // Only a hint: a refusal (no huge pages, not an anonymous mapping)
  // changes nothing.
  if (end > begin)
    (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)block;
  (void)size;
#endif
}
