// Tests of memory pools: sizes and clamping, chunk placement and alignment,
// growth by page-rounded blocks, the current-block threshold, deleteAll /
// deleteAt / reset, pools over a caller's buffer, refused sizes, and a
// randomized run of millions of chunks whose contents are checked and whose
// blocks are all given back.
#include <gtest/gtest.h>

#include "ti_test_util.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "cos_memmgr.hpp"
#include "memmgr_counting.hpp"

namespace {

constexpr unsigned H = COS_MEMPOOL_BLOCK_HEADER_SIZE;
constexpr unsigned kPage = COS_MEMPOOL_PAGE_SIZE;

unsigned freeOf(CosClMemoryPoolBlock const* b) { return b->getFreeSize(); }

TEST(MemoryPool, HeaderHoldsFourPointersAndTwoWords) {
  EXPECT_EQ(H, 4 * sizeof(void*) + 8);
  EXPECT_EQ(H % COS_MEMPOOL_ALIGNMENT, 0u);
}

TEST(MemoryPool, ThresholdIsClamped) {
  struct Case { unsigned given, kept; };
  for (Case c : {Case{0, 256}, Case{10, 256}, Case{256, 256}, Case{257, 257},
                 Case{4096, 4096}, Case{65535, 65535}, Case{65536, 65536},
                 Case{100000, 65536}}) {
    CosClMemoryPool pool(4096, 4096, c.given);
    EXPECT_EQ(pool.getThreshold(), c.kept) << c.given;
  }
}

TEST(MemoryPool, SizesRoundToPagesAndChunksToPointers) {
  struct Case { unsigned size, page, aligned; };
  CosClMemoryPool pool(4096, 0, 256);
  for (Case c : {Case{0, 0, 0}, Case{1, 4096, 8}, Case{5, 4096, 8},
                 Case{8, 4096, 8}, Case{4096, 4096, 4096},
                 Case{4097, 8192, 4104}, Case{5000, 8192, 5000},
                 Case{0xFFFFF000u, 0xFFFFF000u, 0xFFFFF000u},
                 Case{0xFFFFF001u, 0xFFFFF000u, 0xFFFFF008u},
                 Case{0xFFFFFFFFu, 0xFFFFF000u, 0xFFFFFFF8u}}) {
    EXPECT_EQ(CosClMemoryPool::alignToPageSize(c.size), c.page) << c.size;
    EXPECT_EQ(pool.getAlignedSizeFor(c.size), c.aligned) << c.size;
  }
}

TEST(MemoryPool, FreshPoolGeometry) {
  CosClMemoryPool pool(5000, 4096, 4096);
  EXPECT_EQ(pool.getCapacityForFirstBlock(), 8192 - H);
  EXPECT_EQ(pool.getSubsequentBlockSize(), 4096u);
  EXPECT_EQ(pool.getCapacityForSubsequentBlocks(), 4096 - H);
  EXPECT_EQ(pool.getTotalSize(), 8u);
  EXPECT_EQ(pool.getBlockCount(), 1u);
  EXPECT_EQ(pool.getFirstBlockNumber(), 1u);
  EXPECT_EQ(pool.getCurrentFreeSize(), 8192 - H);
  CosClMemoryPool fresh(8192, 4096, 4096);
  EXPECT_EQ(fresh.getLargestPossibleChunk(), 8192 - H);
  CosClMemoryPool small(4096, 16384, 4096);
  EXPECT_EQ(small.getLargestPossibleChunk(), 16384 - H);
}

TEST(MemoryPool, ChunksArePointerAlignedAndFollowEachOther) {
  CosClMemoryPool pool(4096, 4096, 256);
  unsigned block = 0;
  char* a = static_cast<char*>(pool.allocate(5, block));
  char* b = static_cast<char*>(pool.allocate(1, block));
  EXPECT_EQ(block, 1u);
  EXPECT_EQ(a, pool.getFirstBlock()->m_pcStart);
  EXPECT_EQ(b - a, 8);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % alignof(void*), 0u);
  EXPECT_EQ(pool.getCurrentFreeSize(), 4096 - H - 16);
  EXPECT_EQ(pool.getFirstBlock()->m_iChunkCount, 2);
}

TEST(MemoryPool, GrowsByBlocksOfTheSubsequentSize) {
  CountingMemoryManager mm;
  CosClMemoryPool pool(4096, 8192, 256);
  unsigned block = 0;
  pool.allocate(4096 - H, block);  // exact fit of the first block
  EXPECT_EQ(block, 1u);
  EXPECT_EQ(freeOf(pool.getFirstBlock()), 0u);
  pool.allocate(16, block);
  EXPECT_EQ(block, 2u);
  EXPECT_EQ(mm.lastSize, 8192u);
  EXPECT_EQ(pool.getBlockCount(), 2u);
  EXPECT_EQ(pool.getTotalSize(), 12u);
  CosClMemoryPoolBlock* second = pool.getFirstBlock()->m_pclNext;
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->m_uiNumber, 2u);
  EXPECT_EQ(second->getCapacity(), 8192 - H);
  // The full first block fell below the threshold: allocation starts at
  // the second now.
  EXPECT_EQ(pool.getCurrentBlock(), second);
}

TEST(MemoryPool, OversizedChunkGetsItsOwnPageRoundedBlock) {
  CountingMemoryManager mm;
  CosClMemoryPool pool(4096, 4096, 256);
  unsigned block = 0;
  struct Case { unsigned chunk, blockSize; };
  for (Case c : {Case{5000, 8192}, Case{8192 - H, 8192},
                 Case{8192 - H + 1, 12288}}) {
    void* p = pool.allocate(c.chunk, block);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(mm.lastSize, c.blockSize) << c.chunk;
    memset(p, 0x5A, c.chunk);  // ASan checks the block really holds it
  }
  CosClMemoryPoolBlock* b = pool.getFirstBlock()->m_pclNext->m_pclNext;
  EXPECT_EQ(freeOf(b), 0u);  // chunk + header filled 8192 exactly
  EXPECT_EQ(pool.getTotalSize(), 4u + 8 + 8 + 12);
}

// chunk + header wrapped around 32 bits and gave a block far too small.
TEST(MemoryPool, ChunkTooBigForAnyBlockFailsWithoutGrowing) {
  CountingMemoryManager mm;
  CosClMemoryPool pool(4096, 4096, 256);
  unsigned block = 0;
  for (unsigned size : {0xFFFFFFFFu, 0xFFFFFFF0u, 0xFFFFF000u - H + 8}) {
    try {
      pool.allocate(size, block);
      ADD_FAILURE() << size << " did not throw";
    } catch (CosClExceptionFatal const& e) {
      EXPECT_EQ(e.getErrorClass(), CosEnErrorClass::OUT_OF_MEMORY);
    }
  }
  EXPECT_EQ(mm.allocations, 1u);
  EXPECT_EQ(pool.getBlockCount(), 1u);
}

TEST(MemoryPool, FailedGrowthLeavesThePoolAsItWas) {
  CountingMemoryManager mm;
  CosClMemoryPool pool(4096, 4096, 256);
  unsigned block = 0;
  pool.allocate(4000, block);
  void* state = pool.getCurrentStateHandle();
  mm.failAt = mm.allocations + 1;
  try {
    pool.allocate(200, block);
    ADD_FAILURE() << "did not throw";
  } catch (CosClExceptionFatal const& e) {
    EXPECT_COS_ERROR(e, MEMMGR_USER_OUT_OF_MEMORY, OUT_OF_MEMORY, FATAL,
                     TERMINATE);
    EXPECT_STREQ(e.getLocation(), "../../headers/cos_memmgr:359");
  }
  EXPECT_EQ(pool.getBlockCount(), 1u);
  EXPECT_EQ(pool.getTotalSize(), 4u);
  EXPECT_EQ(pool.getFirstBlock()->m_pclNext, nullptr);
  EXPECT_EQ(pool.getCurrentStateHandle(), state);
  EXPECT_NE(pool.allocate(200, block), nullptr);  // works again
  EXPECT_EQ(block, 2u);
}

TEST(MemoryPool, ThresholdDecidesWhereTheSearchStarts) {
  // Remainder below the threshold: the full block is passed over later.
  CosClMemoryPool low(4096, 4096, 256);
  unsigned block = 0;
  low.allocate(4096 - H - 200, block);
  low.allocate(1000, block);
  EXPECT_EQ(block, 2u);
  low.allocate(8, block);
  EXPECT_EQ(block, 2u);
  // Remainder at the threshold: the first block stays current.
  CosClMemoryPool high(4096, 4096, 256);
  high.allocate(4096 - H - 256, block);
  high.allocate(1000, block);
  EXPECT_EQ(block, 2u);
  high.allocate(8, block);
  EXPECT_EQ(block, 1u);
  EXPECT_EQ(high.getCurrentBlock(), high.getFirstBlock());
}

TEST(MemoryPool, PoolThatCannotGrowReturnsNullWhenFull) {
  CosClMemoryPool pool(4096, 0, 256);
  unsigned block = 0;
  EXPECT_EQ(pool.getCapacityForSubsequentBlocks(), 0u);
  ASSERT_NE(pool.allocate(4000, block), nullptr);
  EXPECT_EQ(pool.allocate(4096 - H - 4000 + 8, block), nullptr);
  EXPECT_NE(pool.allocate(4096 - H - 4000, block), nullptr);  // exact fit
  EXPECT_EQ(pool.allocate(1, block), nullptr);
  EXPECT_EQ(pool.getBlockCount(), 1u);
}

TEST(MemoryPool, DeleteAllFreesBlocksThatServedNoChunks) {
  CountingMemoryManager mm;
  CosClMemoryPool pool(4096, 4096, 256);
  unsigned block = 0;
  for (int i = 0; i < 3; ++i) pool.allocate(3000, block);  // blocks 1..3
  EXPECT_EQ(pool.getBlockCount(), 3u);
  pool.deleteAll();  // all served chunks: all kept, emptied
  EXPECT_EQ(pool.getBlockCount(), 3u);
  EXPECT_EQ(mm.frees, 0u);
  for (CosClMemoryPoolBlock* b = pool.getFirstBlock(); b; b = b->m_pclNext) {
    EXPECT_EQ(b->m_iChunkCount, 0);
    EXPECT_EQ(freeOf(b), 4096 - H);
  }
  pool.allocate(3000, block);
  pool.allocate(3000, block);  // blocks 1 and 2 serve, block 3 does not
  EXPECT_EQ(block, 2u);
  pool.deleteAll();
  EXPECT_EQ(mm.frees, 1u);
  EXPECT_EQ(pool.getBlockCount(), 2u);
  EXPECT_EQ(pool.getTotalSize(), 8u);
  CosClMemoryPoolBlock* second = pool.getFirstBlock()->m_pclNext;
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->m_pclNext, nullptr);
  EXPECT_EQ(freeOf(second), 4096 - H);
  EXPECT_EQ(pool.getCurrentBlock(), pool.getFirstBlock());
  EXPECT_EQ(pool.getCurrentFreeSize(), 4096 - H);
}

TEST(MemoryPool, DestructorGivesBackEveryBlock) {
  CountingMemoryManager mm;
  {
    CosClMemoryPool pool(4096, 4096, 256);
    unsigned block = 0;
    for (int i = 0; i < 10; ++i) pool.allocate(3000, block);
    pool.deleteAll();
    pool.allocate(3000, block);
  }
  EXPECT_EQ(mm.allocations, 10u);
  EXPECT_EQ(mm.alive, 0);
}

TEST(MemoryPool, DeleteAtReturnsToAnEarlierState) {
  CosClMemoryPool pool(4096, 4096, 256);
  unsigned block = 0;
  pool.allocate(100, block);
  void* state = pool.getCurrentStateHandle();
  char* first = static_cast<char*>(pool.allocate(40, block));
  EXPECT_EQ(first, state);
  pool.allocate(200, block);
  pool.deleteAt(state);
  EXPECT_EQ(pool.allocate(40, block), state);
  // Blocks after the one holding the state are emptied and kept.
  pool.allocate(4000, block);
  ASSERT_EQ(block, 2u);
  pool.deleteAt(state);
  EXPECT_EQ(pool.getBlockCount(), 2u);
  EXPECT_EQ(freeOf(pool.getFirstBlock()->m_pclNext), 4096 - H);
  EXPECT_EQ(pool.getFirstBlock()->m_pcNextFree, state);
  // An address outside the pool changes nothing.
  char outside[16];
  pool.deleteAt(outside);
  EXPECT_EQ(pool.getFirstBlock()->m_pcNextFree, state);
  pool.reset(pool.getFirstBlock());
  EXPECT_EQ(freeOf(pool.getFirstBlock()), 4096 - H);
}

TEST(MemoryPool, PoolOverCallersBufferNeverGrows) {
  CountingMemoryManager mm;
  alignas(8) char buffer[3000];
  memset(buffer, 0x11, sizeof buffer);
  {
    CosClMemoryPool pool(buffer, sizeof buffer);
    EXPECT_TRUE(pool.hasExternalBuffer());
    EXPECT_EQ(mm.allocations, 1u);
    EXPECT_EQ(mm.lastSize, H);
    EXPECT_EQ(pool.getCapacityForFirstBlock(), 3000u);
    EXPECT_EQ(pool.getTotalSize(), 2u);
    EXPECT_EQ(pool.getThreshold(), 0u);
    unsigned block = 0;
    EXPECT_EQ(pool.allocate(16, block), buffer);
    EXPECT_NE(pool.allocate(3000 - 16, block), nullptr);
    EXPECT_EQ(pool.allocate(8, block), nullptr);
    pool.deleteAll();
    EXPECT_EQ(pool.allocate(8, block), buffer);
  }
  EXPECT_EQ(mm.alive, 0);  // only the header was freed
  EXPECT_EQ(buffer[100], 0x11);
}

// A first block of 0 bytes could not hold its header; the pool wrote one
// into an empty allocation.
TEST(MemoryPool, RefusesEmptyFirstBlockOrBuffer) {
  CountingMemoryManager mm;
  char buffer[8];
  for (int which = 0; which < 3; ++which) {
    try {
      if (which == 0) CosClMemoryPool pool(0, 4096, 256);
      if (which == 1) CosClMemoryPool pool(buffer, 0);
      if (which == 2) CosClMemoryPool pool(nullptr, 100);
      ADD_FAILURE() << which << " did not throw";
    } catch (CosClExceptionFatal const& e) {
      EXPECT_COS_ERROR(e, MEMMGR_ZERO_SIZE_OBJECT, INVALID_DATA, FATAL,
                       TERMINATE);
    }
  }
  EXPECT_EQ(mm.allocations, 0u);
}

TEST(MemoryPool, ErrorHandlerIsStored) {
  CosClMemoryPool pool(4096, 4096, 256);
  int user = 0;
  auto handler = [](_CosStError&, void*) {};
  pool.setErrorHandler(handler, &user);
  EXPECT_EQ(pool.getErrorHandler(), +handler);
  EXPECT_EQ(pool.getErrorHandlerUserValue(), &user);
}

// Every allocation of a pool's life failing in turn: each failure is the
// out-of-memory exception and nothing leaks.
TEST(MemoryPool, EachFailingAllocationRaisesAndLeaksNothing) {
  CountingMemoryManager mm;
  for (unsigned n = 1;; ++n) {
    mm.allocations = 0;
    mm.failAt = n;
    bool failed = false;
    try {
      CosClMemoryPool pool(4096, 4096, 256);
      unsigned block = 0;
      for (int i = 0; i < 20; ++i) pool.allocate(1000 + 300 * i, block);
    } catch (CosClExceptionFatal const& e) {
      failed = true;
      EXPECT_EQ(e.getErrorId(), CosEnErrorId::MEMMGR_USER_OUT_OF_MEMORY);
    }
    EXPECT_EQ(mm.alive, 0) << n;
    if (!failed) break;
    ASSERT_LT(n, 100u);
  }
}

struct Chunk {
  unsigned char* p;
  unsigned size;
  unsigned char fill;
};

// Index of the first chunk that lost its fill (chunks overlap), or -1.
long firstDamagedChunk(std::vector<Chunk> const& chunks) {
  for (size_t i = 0; i < chunks.size(); ++i) {
    Chunk const& c = chunks[i];
    for (unsigned k = 0; k < c.size; ++k)
      if (c.p[k] != c.fill) return static_cast<long>(i);
  }
  return -1;
}

// Millions of chunks of random sizes in rounds; each round's chunks are
// filled and checked, then released by deleteAll, deleteAt or reset. The
// counting callbacks show every block given back at the end.
TEST(MemoryPool, MillionsOfChunksKeepTheirContentsAndLeakNothing) {
  CountingMemoryManager mm;
  std::mt19937 rng(testSeed());
  std::vector<Chunk> chunks;
  chunks.reserve(20000);
  long total = 0;
  {
    CosClMemoryPool pool(65536, 16384, 4096);
    for (int round = 0; round < 150; ++round) {
      chunks.clear();
      void* state = pool.getCurrentStateHandle();
      for (int i = 0; i < 20000; ++i) {
        unsigned size = rng() % 256 == 0 ? rng() % 20000 : rng() % 48 + 1;
        unsigned block = 0;
        auto* p = static_cast<unsigned char*>(pool.allocate(size, block));
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(reinterpret_cast<uintptr_t>(p) % COS_MEMPOOL_ALIGNMENT, 0u);
        ASSERT_GE(block, 1u);
        unsigned char fill = static_cast<unsigned char>(i);
        memset(p, fill, size);
        chunks.push_back({p, size, fill});
      }
      total += 20000;
      ASSERT_EQ(firstDamagedChunk(chunks), -1) << "round " << round;
      switch (rng() % 3) {
        case 0: pool.deleteAll(); break;
        case 1: pool.deleteAt(state); break;
        default: pool.reset(pool.getFirstBlock()); break;
      }
    }
    EXPECT_EQ(mm.alive, static_cast<long>(pool.getBlockCount()));
  }
  EXPECT_EQ(total, 3000000);
  EXPECT_EQ(mm.alive, 0);
}

}  // namespace
