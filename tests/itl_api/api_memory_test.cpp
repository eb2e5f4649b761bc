// Tests of itlMemoryHandlerRegisterCallback. The memory callbacks are
// process-wide, so each test runs in a forked child and reports through
// its exit status (the failing check's number).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "cos_memmgr.hpp"
#include "itl_api.h"

namespace {

int g_allocs = 0;
int g_frees = 0;
bool g_failAllocations = false;

void* countingAllocate(unsigned int size) {
  if (g_failAllocations) return nullptr;
  ++g_allocs;
  return std::malloc(size);
}
void countingFree(void* block) {
  ++g_frees;
  std::free(block);
}
void* countingReallocate(void* block, unsigned int size) {
  return std::realloc(block, size);
}

// Runs `body` in a child; the child's exit status is body's result.
int inChild(std::function<int()> const& body) {
  pid_t child = fork();
  if (child == 0) _exit(body());
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST(ApiMemory, NullReallocateIsAcceptedAndEveryHandleGoesThroughIt) {
  EXPECT_EQ(inChild([] {
              ItlTyErrorInfoHandle setup = nullptr;
              if (itlHandleNewErrorInfo(&setup) != 0) return 1;
              if (itlMemoryHandlerRegisterCallback(countingAllocate, nullptr,
                                                   countingFree, setup) != 0)
                return 2;
              if (!CosClMemoryManager::hasUserDefinedMgr()) return 3;
              ItlTyErrorInfoHandle ei = nullptr;
              ItlTyContextHandle ctx = nullptr;
              int before = g_allocs;
              if (itlHandleNewErrorInfo(&ei) != 0) return 4;
              if (itlHandleNewContext(&ctx, ei) != 0) return 5;
              if (g_allocs < before + 2) return 6;
              // Blocks grow without a caller's reallocate: contents kept.
              char* block = static_cast<char*>(CosClMemoryManager::allocate(8));
              std::memcpy(block, "abcdefgh", 8);
              block = static_cast<char*>(CosClMemoryManager::realloc(block, 4096));
              if (std::memcmp(block, "abcdefgh", 8) != 0) return 7;
              block = static_cast<char*>(CosClMemoryManager::realloc(block, 4));
              if (std::memcmp(block, "abcd", 4) != 0) return 8;
              CosClMemoryManager::free(block);
              if (itlHandleDeleteContext(&ctx) != 0 || ctx != nullptr) return 9;
              if (itlHandleDeleteErrorInfo(&ei) != 0 || ei != nullptr) return 10;
              if (g_allocs - before != g_frees) return 11;
              return 0;
            }),
            0);
}

TEST(ApiMemory, NullAllocateOrFreeIsRefusedAndOldCallbacksStay) {
  EXPECT_EQ(inChild([] {
              ItlTyErrorInfoHandle ei = nullptr;
              if (itlHandleNewErrorInfo(&ei) != 0) return 1;
              if (itlMemoryHandlerRegisterCallback(countingAllocate,
                                                   countingReallocate,
                                                   countingFree, ei) != 0)
                return 2;
              if (itlMemoryHandlerRegisterCallback(nullptr, countingReallocate,
                                                   countingFree, ei) != 8)
                return 3;
              if (itlErrorInfoGetReasonCode(ei) != 25) return 4;
              if (itlMemoryHandlerRegisterCallback(countingAllocate, nullptr,
                                                   nullptr, ei) != 8)
                return 5;
              if (CosClMemoryManager::cv_pfuAllocatorCallback != &countingAllocate ||
                  CosClMemoryManager::cv_pfuReallocatorCallback != &countingReallocate ||
                  CosClMemoryManager::cv_pfuDeallocatorCallback != &countingFree)
                return 6;
              return 0;
            }),
            0);
}

TEST(ApiMemory, FailingAllocatorGivesOutOfMemoryAndNullHandles) {
  EXPECT_EQ(inChild([] {
              ItlTyErrorInfoHandle ei = nullptr;
              if (itlHandleNewErrorInfo(&ei) != 0) return 1;
              if (itlMemoryHandlerRegisterCallback(countingAllocate, nullptr,
                                                   countingFree, ei) != 0)
                return 2;
              g_failAllocations = true;
              ItlTyContextHandle ctx = reinterpret_cast<ItlTyContextHandle>(&ei);
              if (itlHandleNewContext(&ctx, ei) != 8 || ctx != nullptr) return 3;
              if (itlErrorInfoGetReasonCode(ei) != 2) return 4;
              ItlTyErrorInfoHandle other = ei;
              if (itlHandleNewErrorInfo(&other) != 8 || other != nullptr) return 5;
              return 0;
            }),
            0);
}

}  // namespace
