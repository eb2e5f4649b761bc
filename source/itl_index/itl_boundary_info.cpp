// itl_boundary_info.cpp: the boundaries of one document, paragraph
// recognition and the engine's boundary record (ItlClBoundaryInfo).
#include "itl_boundary_info.hpp"

#include <cstring>
#include <new>
#include <utility>

#include "cos_memmgr.hpp"

namespace {

char const kOrigin[] = "source/itl_index/itl_boundary_info";

// Arrays are copied from lists kept newest first: fill from the back so
// that the array is in the order of addition.
template <class Node, class Copy>
void copyReversed(Node const* node, uint32_t count, Copy copy) {
  for (uint32_t i = count; node != nullptr && i > 0; node = node->next)
    copy(--i, *node);
}

}  // namespace

void* itlKernelPoolAllocate(CosClMemoryPool& pool, uint32_t size,
                            char const* origin, int line) {
  // The pool rounds chunks to pointer size, but a pool over a caller's
  // buffer may start anywhere: take 8 bytes more and align.
  unsigned int block = 0;
  uint32_t want = size + 8u;
  void* memory = want < size ? nullptr : pool.allocate(want, block);
  if (memory == nullptr) CosClMemoryManager::outOfMemory(origin, line, want);
  uintptr_t address = reinterpret_cast<uintptr_t>(memory);
  address = (address + 7u) & ~static_cast<uintptr_t>(7u);
  return reinterpret_cast<void*>(address);
}

ItlClBoundaryInfo::ItlClBoundaryInfo() { reset(); }

void ItlClBoundaryInfo::reset() {
  std::memset(&iv_stBoundaryInfo, 0, sizeof iv_stBoundaryInfo);
  iv_pstSegments = nullptr;
  iv_uiSegmentCount = 0;
  iv_pstFields = nullptr;
  iv_uiFieldCount = 0;
}

void ItlClBoundaryInfo::addField(CosClMemoryPool& pool, uint16_t field,
                                 uint32_t start, uint32_t end) {
  void* memory = itlKernelPoolAllocate(pool, sizeof(Field), kOrigin, __LINE__);
  iv_pstFields = new (memory) Field{iv_pstFields, start, end, field};
  ++iv_uiFieldCount;
}

void ItlClBoundaryInfo::addSegmentBoundary(CosClMemoryPool& pool,
                                           uint16_t delimiter,
                                           uint32_t position) {
  void* memory =
      itlKernelPoolAllocate(pool, sizeof(Segment), kOrigin, __LINE__);
  iv_pstSegments = new (memory) Segment{iv_pstSegments, position, delimiter};
  ++iv_uiSegmentCount;
}

void ItlClBoundaryInfo::addParagraphBoundaries(CosClMemoryPool& pool,
                                               uint8_t const* text,
                                               uint32_t length) {
  enum { AFTER_BOUNDARY, IN_TEXT, ONE_NEWLINE } state = AFTER_BOUNDARY;
  for (uint32_t i = 0; i < length; ++i) {
    uint8_t byte = text[i];
    if (byte == '\n') {
      if (state == IN_TEXT) {
        state = ONE_NEWLINE;
      } else if (state == ONE_NEWLINE) {
        addSegmentBoundary(pool, 1, i);
        state = AFTER_BOUNDARY;
      }
    } else if (byte > 0x20) {  // bytes from 0x80 on are text as well
      state = IN_TEXT;
    }
  }
}

BOUNDARYINFO* ItlClBoundaryInfo::makeBoundaryInfo(CosClMemoryPool& pool,
                                                  uint8_t* text) {
  std::memset(&iv_stBoundaryInfo, 0, sizeof iv_stBoundaryInfo);
  if (iv_uiSegmentCount == 0 && iv_uiFieldCount == 0) return nullptr;
  BOUNDARYINFO& info = iv_stBoundaryInfo;
  if (iv_uiSegmentCount > 0) {
    uint32_t count = iv_uiSegmentCount;
    auto* numbers = static_cast<int16_t*>(itlKernelPoolAllocate(
        pool, (count * sizeof(int16_t) + 3u) & ~3u, kOrigin, __LINE__));
    auto* positions = static_cast<uint8_t**>(itlKernelPoolAllocate(
        pool, count * sizeof(uint8_t*), kOrigin, __LINE__));
    copyReversed(iv_pstSegments, count, [&](uint32_t i, Segment const& s) {
      numbers[i] = static_cast<int16_t>(s.delimiter);
      positions[i] = text + s.position;
    });
    sortSegmentBoundaryArrays(positions, numbers, static_cast<int32_t>(count));
    info.delimiter_num = static_cast<int32_t>(count);
    info.delimiter_NO = numbers;
    info.boundary_ptr = positions;
  }
  if (iv_uiFieldCount > 0) {
    uint32_t count = iv_uiFieldCount;
    auto* fields = static_cast<FLDBOUNDARYINFO*>(itlKernelPoolAllocate(
        pool, count * sizeof(FLDBOUNDARYINFO), kOrigin, __LINE__));
    std::memset(fields, 0, count * sizeof(FLDBOUNDARYINFO));
    copyReversed(iv_pstFields, count, [&](uint32_t i, Field const& f) {
      fields[i].fld_number = f.field;
      fields[i].fld_start_ptr = text + f.start;
      fields[i].fld_end_ptr = text + f.end;
    });
    info.fld_boundary_num = static_cast<int32_t>(count);
    info.fld_boundary = fields;
  }
  return &info;
}

void ItlClBoundaryInfo::sortSegmentBoundaryArrays(uint8_t** positions,
                                                  int16_t* delimiters,
                                                  int32_t count) {
  // Ranges still to sort; the smaller part of each split is sorted next and
  // the larger one stacked, so 64 entries cover any 32-bit count.
  struct Range {
    int32_t low, high;
  } stack[64];
  int depth = 0;
  int32_t low = 0, high = count - 1;
  for (;;) {
    while (low < high) {
      uint8_t* pivot = positions[low + (high - low) / 2];
      int32_t i = low, j = high;
      while (i <= j) {
        while (positions[i] < pivot) ++i;
        while (positions[j] > pivot) --j;
        if (i <= j) {
          std::swap(positions[i], positions[j]);
          std::swap(delimiters[i], delimiters[j]);
          ++i;
          --j;
        }
      }
      // [low, j] and [i, high] remain.
      if (j - low < high - i) {
        stack[depth++] = {i, high};
        high = j;
      } else {
        stack[depth++] = {low, j};
        low = i;
      }
    }
    if (depth == 0) break;
    --depth;
    low = stack[depth].low;
    high = stack[depth].high;
  }
}
