// Tests of the process-wide memory manager: replaced callbacks serve every
// allocation, failures raise CosClExceptionFatal with the right numbers and
// positions, and requests that do not fit 32 bits are refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "cos_memmgr.hpp"
#include "memmgr_counting.hpp"

namespace {

// Runs `f`, which must throw CosClExceptionFatal, and returns the exception.
template <typename F>
CosClExceptionFatal catchFatal(F f) {
  try {
    f();
  } catch (CosClExceptionFatal const& e) {
    return e;
  } catch (...) {
    ADD_FAILURE() << "threw something other than CosClExceptionFatal";
    return CosClExceptionFatal();
  }
  ADD_FAILURE() << "did not throw";
  return CosClExceptionFatal();
}

TEST(MemoryManager, DefaultsAreTheSystemWrappers) {
  EXPECT_FALSE(CosClMemoryManager::hasUserDefinedMgr());
  void* p = cosMalloc(100);
  memset(p, 1, 100);
  p = cosRealloc(p, 5000);
  cosFree(p);
  cosFree(nullptr);
}

TEST(MemoryManager, ReplacedCallbacksServeEveryAllocation) {
  CountingMemoryManager mm;
  EXPECT_TRUE(CosClMemoryManager::hasUserDefinedMgr());
  void* a = cosMalloc(10);
  void* b = cosCalloc(3, 7);
  void* c = CosClMemoryManager::allocate(20);
  a = cosRealloc(a, 100);
  c = CosClMemoryManager::realloc(c, 30);
  {
    CosClMemoryPool pool(4096, 4096, 256);
    unsigned block;
    for (int i = 0; i < 3; ++i) pool.allocate(3000, block);  // grows twice
    char buffer[64];
    CosClMemoryPool over(buffer, sizeof buffer);
  }
  cosFree(a);
  cosFree(b);
  CosClMemoryManager::free(c);
  EXPECT_EQ(mm.allocations, 3u + 3u + 1u);  // manager, pool blocks, header
  EXPECT_EQ(mm.reallocations, 2u);
  EXPECT_EQ(mm.alive, 0);
}

TEST(MemoryManager, CallocZeroFills) {
  CountingMemoryManager mm;  // fills new memory with 0xAA
  unsigned char* p = static_cast<unsigned char*>(cosCalloc(17, 3));
  EXPECT_EQ(mm.lastSize, 51u);
  for (int i = 0; i < 51; ++i) ASSERT_EQ(p[i], 0) << i;
  cosFree(p);
}

// count * size used to wrap around in 32 bits and hand out a small block.
TEST(MemoryManager, CallocProductOverflowFailsLikeExhaustedMemory) {
  CountingMemoryManager mm;
  struct Case { size_t count, size; };
  for (Case c : {Case{0x10000, 0x10000}, Case{0x80000001u, 2},
                 Case{3, 0x60000000}, Case{size_t{1} << 40, 1}}) {
    CosClExceptionFatal e = catchFatal([&] { cosCalloc(c.count, c.size); });
    EXPECT_COS_ERROR(e, MEMMGR_USER_OUT_OF_MEMORY, OUT_OF_MEMORY, FATAL,
                     TERMINATE);
  }
  EXPECT_EQ(mm.allocations, 0u);
}

// A size_t request above 32 bits must not be truncated.
TEST(MemoryManager, RequestsAbove32BitsFail) {
  CountingMemoryManager mm;
  void* block = cosMalloc(8);
  size_t huge = (size_t{1} << 32) + 16;
  catchFatal([&] { cosMalloc(huge); });
  catchFatal([&] { block = cosRealloc(block, huge); });
  EXPECT_EQ(mm.allocations, 1u);
  EXPECT_EQ(mm.reallocations, 0u);
  cosFree(block);
}

TEST(MemoryManager, ExhaustedUserAllocatorRaisesFatal) {
  CountingMemoryManager mm;
  mm.failAt = 1;
  CosClExceptionFatal e = catchFatal([] { cosMalloc(1234); });
  EXPECT_COS_ERROR(e, MEMMGR_USER_OUT_OF_MEMORY, OUT_OF_MEMORY, FATAL,
                   TERMINATE);
  EXPECT_STREQ(e.getLocation(), "../../headers/cos_memmgr:359");
  EXPECT_EQ(e.getLine(), 359);
  EXPECT_STREQ(e.getCause(), "");
  // Caught as the general exception too.
  mm.failAt = 2;
  EXPECT_THROW(CosClMemoryManager::allocate(1), CosClException);
}

TEST(MemoryManager, OutOfMemoryChoosesIdentifierBySizeAndManager) {
  CosClExceptionFatal e = catchFatal(
      [] { CosClMemoryManager::outOfMemory("here:1", 1, 100); });
  EXPECT_COS_ERROR(e, MEMMGR_RUNTIME_OUT_OF_MEMORY, OUT_OF_MEMORY, FATAL,
                   TERMINATE);
  EXPECT_STREQ(e.getLocation(), "here:1");
  e = catchFatal([] { CosClMemoryManager::outOfMemory("here:2", 2, 0); });
  EXPECT_COS_ERROR(e, MEMMGR_ZERO_SIZE_OBJECT, INVALID_DATA, FATAL,
                   TERMINATE);
  CountingMemoryManager mm;
  e = catchFatal([] { CosClMemoryManager::outOfMemory("here:3", 3, 1); });
  EXPECT_EQ(e.getErrorId(), CosEnErrorId::MEMMGR_USER_OUT_OF_MEMORY);
}

TEST(MemoryManager, ReallocWithoutReallocatorRaisesNoUserReallocFunc) {
  CountingMemoryManager mm(/*withReallocator=*/false);
  void* block = cosMalloc(16);
  CosClExceptionFatal e = catchFatal([&] { cosRealloc(block, 32); });
  EXPECT_COS_ERROR(e, MEMMGR_NO_USER_REALLOC_FUNC, FUNCTION_NOT_SUPPORTED,
                   FATAL, ABORT);
  EXPECT_STREQ(e.getLocation(), "cos_memmgr:267");
  EXPECT_EQ(e.getLine(), 267);
  cosFree(block);
}

TEST(MemoryManager, NullFromReallocatorRaisesBySize) {
  CountingMemoryManager mm;
  mm.reallocReturnsNull = true;
  void* block = cosMalloc(16);
  CosClExceptionFatal e = catchFatal([&] { cosRealloc(block, 0); });
  EXPECT_COS_ERROR(e, MEMMGR_ZERO_SIZE_OBJECT, INVALID_DATA, FATAL,
                   TERMINATE);
  EXPECT_STREQ(e.getLocation(), "cos_memmgr:277");
  EXPECT_EQ(e.getLine(), 277);
  e = catchFatal([&] { cosRealloc(block, 64); });
  EXPECT_COS_ERROR(e, MEMMGR_USER_OUT_OF_MEMORY, OUT_OF_MEMORY, FATAL,
                   TERMINATE);
  cosFree(block);
}

TEST(MemoryManager, SystemAllocatorWithoutReallocatorGetsSystemRealloc) {
  CountingMemoryManager mm;
  CosClMemoryManager::setNewMemoryManager(
      &CosClMemoryManager::systemAllocator, nullptr,
      &CosClMemoryManager::systemDeallocator);
  EXPECT_EQ(CosClMemoryManager::cv_pfuReallocatorCallback,
            &CosClMemoryManager::systemReallocator);
  EXPECT_FALSE(CosClMemoryManager::hasUserDefinedMgr());
  cosFree(cosRealloc(cosMalloc(4), 8));
  // A user allocator with a null reallocator keeps it null.
  cosSetNewMemoryManager(&CountingMemoryManager::allocate, nullptr,
                         &CountingMemoryManager::deallocate);
  EXPECT_EQ(CosClMemoryManager::cv_pfuReallocatorCallback, nullptr);
}

// The C library's realloc(block, 0) may free the block and return null; the
// manager then threw while the caller still held the freed block.
TEST(MemoryManager, SystemReallocToZeroKeepsABlock) {
  char* p = static_cast<char*>(cosMalloc(32));
  void* q = nullptr;
  ASSERT_NO_THROW(q = cosRealloc(p, 0));
  ASSERT_NE(q, nullptr);
  cosFree(q);
}

TEST(MemoryManager, FreeOfNullCallsNothing) {
  CountingMemoryManager mm;
  cosFree(nullptr);
  CosClMemoryManager::free(nullptr);
  EXPECT_EQ(mm.frees, 0u);
}

}  // namespace
