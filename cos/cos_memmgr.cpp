// cos_memmgr.cpp: the process-wide memory manager.
//
// Three exported callbacks (allocate, reallocate, free), statically
// initialised to thin wrappers around the C library, so that the manager
// works before any code runs. Every failed allocation ends in outOfMemory(),
// which throws CosClExceptionFatal; nothing here returns null.
//
// Sizes are 32-bit. The plain cos* functions take the C library's size_t so
// that they fit C memory suites; a request that does not fit 32 bits (or a
// cosCalloc product that overflows) fails like exhausted memory instead of
// being truncated.
#include "cos_memmgr.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Source positions reported by realloc(); fixed texts that callers see.
constexpr char kReallocMissingPosition[] = "cos_memmgr:267";
constexpr int kReallocMissingLine = 267;
constexpr char kReallocFailedPosition[] = "cos_memmgr:277";
constexpr int kReallocFailedLine = 277;

// Identifier and class that outOfMemory() reports for `size`.
void chooseOutOfMemoryError(unsigned int size, CosEnErrorId& id,
                            CosEnErrorClass& errClass) {
  if (size == 0) {
    id = CosEnErrorId::MEMMGR_ZERO_SIZE_OBJECT;
    errClass = CosEnErrorClass::INVALID_DATA;
  } else {
    id = CosClMemoryManager::hasUserDefinedMgr()
             ? CosEnErrorId::MEMMGR_USER_OUT_OF_MEMORY
             : CosEnErrorId::MEMMGR_RUNTIME_OUT_OF_MEMORY;
    errClass = CosEnErrorClass::OUT_OF_MEMORY;
  }
}

// A size_t request as a 32-bit size; sizes that do not fit fail.
unsigned int checkedSize(size_t size) {
  if (size > UINT32_MAX)
    CosClMemoryManager::outOfMemory(COS_MEMMGR_HEADER_POSITION,
                                    COS_MEMMGR_HEADER_LINE, UINT32_MAX);
  return static_cast<unsigned int>(size);
}

}  // namespace

void* CosClMemoryManager::systemAllocator(unsigned int size) {
  return ::malloc(size);
}

void* CosClMemoryManager::systemReallocator(void* block, unsigned int size) {
  // realloc(block, 0) may free the block and return null, which the caller
  // would take for a failure with its block still alive.
  return ::realloc(block, size != 0 ? size : 1);
}

void CosClMemoryManager::systemDeallocator(void* block) { ::free(block); }

CosPfuAllocator CosClMemoryManager::cv_pfuAllocatorCallback =
    &CosClMemoryManager::systemAllocator;
CosPfuReallocator CosClMemoryManager::cv_pfuReallocatorCallback =
    &CosClMemoryManager::systemReallocator;
CosPfuDeallocator CosClMemoryManager::cv_pfuDeallocatorCallback =
    &CosClMemoryManager::systemDeallocator;

void* CosClMemoryManager::realloc(void* block, unsigned int size) {
  if (cv_pfuReallocatorCallback == nullptr)
    throw CosClExceptionFatal("", kReallocMissingPosition,
                              kReallocMissingLine,
                              CosEnErrorId::MEMMGR_NO_USER_REALLOC_FUNC,
                              CosEnErrorClass::FUNCTION_NOT_SUPPORTED,
                              CosEnErrorSeverity::FATAL,
                              CosEnErrorAction::ABORT);
  void* result = cv_pfuReallocatorCallback(block, size);
  if (result != nullptr) return result;
  CosEnErrorId id;
  CosEnErrorClass errClass;
  chooseOutOfMemoryError(size, id, errClass);
  throw CosClExceptionFatal("", kReallocFailedPosition, kReallocFailedLine,
                            id, errClass, CosEnErrorSeverity::FATAL,
                            CosEnErrorAction::TERMINATE);
}

void CosClMemoryManager::free(void* block) {
  if (block != nullptr) cv_pfuDeallocatorCallback(block);
}

bool CosClMemoryManager::hasUserDefinedMgr() {
  return cv_pfuAllocatorCallback != &systemAllocator;
}

void CosClMemoryManager::setNewMemoryManager(CosPfuAllocator allocator,
                                             CosPfuReallocator reallocator,
                                             CosPfuDeallocator deallocator) {
  cv_pfuAllocatorCallback = allocator;
  cv_pfuReallocatorCallback = reallocator;
  cv_pfuDeallocatorCallback = deallocator;
  if (reallocator == nullptr && allocator == &systemAllocator)
    cv_pfuReallocatorCallback = &systemReallocator;
}

void CosClMemoryManager::outOfMemory(char const* position, int line,
                                     unsigned int size) {
  CosEnErrorId id;
  CosEnErrorClass errClass;
  chooseOutOfMemoryError(size, id, errClass);
  throw CosClExceptionFatal("", position, line, id, errClass,
                            CosEnErrorSeverity::FATAL,
                            CosEnErrorAction::TERMINATE);
}

void* cosMalloc(size_t size) {
  return CosClMemoryManager::allocate(checkedSize(size));
}

void* cosCalloc(size_t count, size_t size) {
  if (size != 0 && count > UINT32_MAX / size)
    CosClMemoryManager::outOfMemory(COS_MEMMGR_HEADER_POSITION,
                                    COS_MEMMGR_HEADER_LINE, UINT32_MAX);
  unsigned int total = static_cast<unsigned int>(count * size);
  void* p = CosClMemoryManager::allocate(total);
  memset(p, 0, total);
  return p;
}

void* cosRealloc(void* block, size_t size) {
  return CosClMemoryManager::realloc(block, checkedSize(size));
}

void cosFree(void* block) { CosClMemoryManager::free(block); }

void cosSetNewMemoryManager(CosPfuAllocator allocator,
                            CosPfuReallocator reallocator,
                            CosPfuDeallocator deallocator) {
  CosClMemoryManager::setNewMemoryManager(allocator, reallocator,
                                          deallocator);
}
