// itl_docmap_sort.cpp: external merge sort of the temporary map entries,
// the record quicksort behind it and the sort of deleted numbers.
//
// Both quicksorts are one scheme (quickSortScheme): the middle element as
// pivot, Hoare partition, the smaller side sorted next and the larger one
// kept on an explicit stack, so the stack never holds more than log2(n)
// ranges. Indices are signed: counts of 0 and 1 and j below 0 never wrap.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cos_memmgr.hpp"
#include "itl_codes.hpp"
#include "itl_docmap_io.hpp"
#include "itl_docmap_sort.hpp"

namespace {

// `Ops` supplies: setPivot(i), belowPivot(i), abovePivot(j), swap(i, j).
template <class Ops>
void quickSortScheme(Ops& ops, int64_t count) {
  if (count < 2) return;
  struct Range { int64_t lo, hi; };
  Range stack[64];  // the larger side waits; depth <= log2(count) < 64
  int top = 0;
  stack[top++] = {0, count - 1};
  while (top > 0) {
    Range r = stack[--top];
    int64_t lo = r.lo, hi = r.hi;
    while (lo < hi) {
      ops.setPivot(lo + (hi - lo + 1) / 2);
      int64_t i = lo, j = hi;
      while (i <= j) {
        while (ops.belowPivot(i)) ++i;
        while (ops.abovePivot(j)) --j;
        if (i <= j) {
          if (i < j) ops.swap(i, j);
          ++i;
          --j;
        }
      }
      if (j - lo < hi - i) {
        if (i < hi) stack[top++] = {i, hi};
        hi = j;
      } else {
        if (lo < j) stack[top++] = {lo, j};
        lo = i;
      }
    }
  }
}

}  // namespace

int itlDocMapKeyCompare(char const* a, char const* b, uint32_t keyLength) {
  int c = std::memcmp(a + 10, b + 10, keyLength);
  if (c != 0) return c;
  // Padded fields alike: the names differ at most by trailing zero bytes,
  // and the shorter comes first (the maps' name order).
  uint16_t la = static_cast<uint16_t>(static_cast<uint8_t>(a[8]) |
                                      static_cast<uint8_t>(a[9]) << 8);
  uint16_t lb = static_cast<uint16_t>(static_cast<uint8_t>(b[8]) |
                                      static_cast<uint8_t>(b[9]) << 8);
  return la < lb ? -1 : la > lb ? 1 : 0;
}

namespace {

struct RecordOps {
  char** records;
  uint32_t keyLength;
  char* pivot;  // length field and key of the pivot entry, at 8 and 10
  void setPivot(int64_t i) {
    std::memcpy(pivot, records[i], 10 + keyLength);
  }
  bool belowPivot(int64_t i) const {
    return itlDocMapKeyCompare(records[i], pivot, keyLength) < 0;
  }
  bool abovePivot(int64_t j) const {
    return itlDocMapKeyCompare(records[j], pivot, keyLength) > 0;
  }
  void swap(int64_t i, int64_t j) {
    char* t = records[i];
    records[i] = records[j];
    records[j] = t;
  }
};

struct NumberOps {
  uint64_t* numbers;
  uint64_t pivot;
  void setPivot(int64_t i) { pivot = numbers[i]; }
  bool belowPivot(int64_t i) const { return numbers[i] < pivot; }
  bool abovePivot(int64_t j) const { return numbers[j] > pivot; }
  void swap(int64_t i, int64_t j) {
    uint64_t t = numbers[i];
    numbers[i] = numbers[j];
    numbers[j] = t;
  }
};

// Reads `size` bytes at `offset`; `done` tells how many arrived (fewer
// only at the end of the file). False on failure.
bool readAt(int fd, char* buffer, size_t size, int64_t offset, size_t& done) {
  long long n = itlDocMapReadAt(fd, buffer, size, offset);
  done = n < 0 ? 0 : static_cast<size_t>(n);
  return n >= 0;
}

bool writeAt(int fd, char const* buffer, size_t size, int64_t offset) {
  return itlDocMapWriteAt(fd, buffer, size, offset);
}

// Memory-manager buffers of one sort, freed on every way out.
struct SortBuffers {
  char* read = nullptr;
  char** pointers = nullptr;
  int64_t* runOffsets = nullptr;
  uint32_t* runCounts = nullptr;
  ~SortBuffers() {
    CosClMemoryManager::free(read);
    CosClMemoryManager::free(pointers);
    CosClMemoryManager::free(runOffsets);
    CosClMemoryManager::free(runCounts);
  }
};

void* allocateZeroed(uint64_t size) {
  void* p = CosClMemoryManager::allocate(static_cast<unsigned>(size));
  std::memset(p, 0, size);
  return p;
}

}  // namespace

void QuikSort(char** records, uint32_t count, uint32_t entrySize,
              uint32_t keyLength) {
  (void)entrySize;
  if (count < 2) return;
  char* pivot = static_cast<char*>(allocateZeroed(10 + keyLength));
  RecordOps ops{records, keyLength, pivot};
  quickSortScheme(ops, count);
  CosClMemoryManager::free(pivot);
}

namespace {
struct PointerOps {
  uint64_t const** pointers;
  uint64_t pivot;
  void setPivot(int64_t i) { pivot = *pointers[i]; }
  bool belowPivot(int64_t i) const { return *pointers[i] < pivot; }
  bool abovePivot(int64_t j) const { return *pointers[j] > pivot; }
  void swap(int64_t i, int64_t j) {
    uint64_t const* t = pointers[i];
    pointers[i] = pointers[j];
    pointers[j] = t;
  }
};
}  // namespace

void itlSortNumberPointers(uint64_t const** pointers, uint32_t count) {
  PointerOps ops{pointers, 0};
  quickSortScheme(ops, count);
}

void itlSortDelEntries(uint64_t* numbers, uint32_t count) {
  NumberOps ops{numbers, 0};
  quickSortScheme(ops, count);
}

extern "C" int itlDocNoComp(void const* a, void const* b) {
  uint64_t x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  return x < y ? -1 : x > y ? 1 : 0;
}

int itlDocMapSortSizing(uint64_t fileSize, uint32_t entrySize,
                        ItlStDocMapSortLimits const& limits,
                        ItlStDocMapSortSizing& sizing) {
  sizing = ItlStDocMapSortSizing();
  uint64_t memory;
  if (fileSize == 0) {
    memory = 0x400000;
  } else if (fileSize <= limits.ulSingleRunLimit) {
    memory = fileSize;
  } else {
    uint64_t runs = 1;
    do {
      ++runs;
      memory = fileSize / runs;
      uint64_t margin = fileSize % runs != 0 ? 1 : 0;
      if (memory < (runs + margin) * limits.uiMinShareEntries * entrySize ||
          runs + margin > limits.uiMaxRuns)
        return ItlEnReasonCode_Out_of_memory;
    } while (memory > limits.ulSingleRunLimit);
  }
  if (memory < entrySize) memory = entrySize;  // at least one entry
  if (memory > 0xFFFFFFFFu) return ItlEnReasonCode_Out_of_memory;
  sizing.uiMemorySize = static_cast<uint32_t>(memory);
  sizing.uiEntriesPerBuffer = sizing.uiMemorySize / entrySize;
  // The runs the file really forms: whole entries, a buffer each.
  uint64_t entries = fileSize / entrySize;
  uint64_t runs = (entries + sizing.uiEntriesPerBuffer - 1) /
                  sizing.uiEntriesPerBuffer;
  if (runs > 1 && (runs > limits.uiMaxRuns ||
                   sizing.uiMemorySize / runs / entrySize <
                       limits.uiMinShareEntries))
    return ItlEnReasonCode_Out_of_memory;
  sizing.uiRuns = static_cast<uint32_t>(runs);
  sizing.uiRunTableSize = runs == 0 ? 1 : static_cast<uint32_t>(runs);
  return 0;
}

ItlClDocMapSort::ItlClDocMapSort()
    : iv_pcBuffer(nullptr),
      iv_uiMemorySize(0),
      iv_uiEntriesPerBuffer(0),
      iv_uiEntriesInBuffer(0) {}

ItlClDocMapSort::~ItlClDocMapSort() { release(); }

void ItlClDocMapSort::release() {
  CosClMemoryManager::free(iv_pcBuffer);
  iv_pcBuffer = nullptr;
  iv_uiMemorySize = 0;
  iv_uiEntriesPerBuffer = 0;
  iv_uiEntriesInBuffer = 0;
}

int ItlClDocMapSort::sortTempDex(char const* tempPath, char const* sortedPath,
                                 uint16_t entrySize, uint16_t keyLength,
                                 ItlStDocMapSortLimits const& limits) {
  release();
  if (entrySize == 0 || keyLength + 10u > entrySize)
    return ItlEnReasonCode_Io_read_error;
  int temp = open(tempPath, O_RDWR | O_LARGEFILE | O_CLOEXEC);
  if (temp < 0) return ItlEnReasonCode_Io_read_error;
  // Truncated: a longer sorted file of an earlier sort never leaks
  // entries into the merge.
  int sorted = open(sortedPath,
                    O_RDWR | O_CREAT | O_TRUNC | O_LARGEFILE | O_CLOEXEC, 0600);
  if (sorted < 0) {
    close(temp);
    return ItlEnReasonCode_Io_read_error;
  }
  struct Closer {
    int a, b;
    ~Closer() {
      close(a);
      close(b);
    }
  } closer{temp, sorted};
  struct stat st;
  if (fstat(temp, &st) != 0 || st.st_size < 0)
    return ItlEnReasonCode_Io_read_error;
  uint64_t size = static_cast<uint64_t>(st.st_size);

  ItlStDocMapSortSizing sizing;
  int rc = itlDocMapSortSizing(size, entrySize, limits, sizing);
  if (rc != 0) return rc;
  SortBuffers buffers;
  buffers.runOffsets = static_cast<int64_t*>(
      allocateZeroed(uint64_t{sizing.uiRunTableSize} * sizeof(int64_t)));
  buffers.runCounts = static_cast<uint32_t*>(
      allocateZeroed(uint64_t{sizing.uiRunTableSize} * sizeof(uint32_t)));
  iv_pcBuffer = static_cast<char*>(allocateZeroed(sizing.uiMemorySize));
  iv_uiMemorySize = sizing.uiMemorySize;
  iv_uiEntriesPerBuffer = sizing.uiEntriesPerBuffer;
  if (size == 0) return 0;
  buffers.read = static_cast<char*>(allocateZeroed(sizing.uiMemorySize));
  buffers.pointers = static_cast<char**>(
      allocateZeroed(uint64_t{sizing.uiEntriesPerBuffer} * sizeof(char*)));

  // Runs: read a bufferful, sort it, write it back in place.
  uint32_t runs = 0;
  int64_t offset = 0;
  size_t chunk = size_t{sizing.uiEntriesPerBuffer} * entrySize;
  while (runs < sizing.uiRunTableSize) {
    size_t got;
    if (!readAt(temp, buffers.read, chunk, offset, got))
      return ItlEnReasonCode_Io_read_error;
    uint32_t count = static_cast<uint32_t>(got / entrySize);
    if (count == 0) break;
    for (uint32_t i = 0; i < count; ++i)
      buffers.pointers[i] = buffers.read + size_t{i} * entrySize;
    QuikSort(buffers.pointers, count, entrySize, keyLength);
    for (uint32_t i = 0; i < count; ++i)
      std::memcpy(iv_pcBuffer + size_t{i} * entrySize, buffers.pointers[i],
                  entrySize);
    size_t bytes = size_t{count} * entrySize;
    if (!writeAt(temp, iv_pcBuffer, bytes, offset))
      return ItlEnReasonCode_Io_write_error;
    buffers.runOffsets[runs] = offset;
    buffers.runCounts[runs] = count;
    ++runs;
    offset += static_cast<int64_t>(bytes);
  }
  if (runs == 0) return 0;
  if (runs == 1) {
    size_t bytes = size_t{buffers.runCounts[0]} * entrySize;
    if (!writeAt(sorted, iv_pcBuffer, bytes, 0))
      return ItlEnReasonCode_Io_write_error;
    iv_uiEntriesInBuffer = buffers.runCounts[0];
    return 0;
  }
  return MergeSortedParts(sorted, temp, static_cast<int>(runs), entrySize,
                          keyLength, buffers.runOffsets, buffers.runCounts,
                          sizing.uiMemorySize, buffers.read, iv_pcBuffer,
                          iv_uiEntriesInBuffer);
}

int MergeSortedParts(int output, int input, int runs, uint32_t entrySize,
                     uint32_t keyLength, int64_t const* runOffsets,
                     uint32_t const* runCounts, uint32_t memorySize,
                     char* readBuffer, char* outputBuffer,
                     uint32_t& entriesInBuffer) {
  entriesInBuffer = 0;
  if (runs <= 0 || entrySize == 0) return ItlEnReasonCode_Out_of_memory;
  uint32_t shareBytes = memorySize / static_cast<uint32_t>(runs);
  uint32_t shareEntries = shareBytes / entrySize;
  if (shareEntries == 0) return ItlEnReasonCode_Out_of_memory;
  struct Cursor {
    int64_t offset;      // next unread entry on disk
    uint32_t onDisk;     // entries still on disk
    uint32_t buffered;   // entries left in the share
    char* share;
    char* current;
  };
  Cursor* cursors = static_cast<Cursor*>(
      allocateZeroed(uint64_t(runs) * sizeof(Cursor)));
  struct Free {
    Cursor* c;
    ~Free() { CosClMemoryManager::free(c); }
  } freeCursors{cursors};

  auto refill = [&](Cursor& c) {
    uint32_t n = c.onDisk < shareEntries ? c.onDisk : shareEntries;
    size_t got;
    size_t bytes = size_t{n} * entrySize;
    if (!readAt(input, c.share, bytes, c.offset, got) || got != bytes)
      return false;
    c.offset += static_cast<int64_t>(bytes);
    c.onDisk -= n;
    c.buffered = n;
    c.current = c.share;
    return true;
  };
  for (int r = 0; r < runs; ++r) {
    cursors[r].offset = runOffsets[r];
    cursors[r].onDisk = runCounts[r];
    cursors[r].share = readBuffer + size_t(r) * shareBytes;
    if (!refill(cursors[r])) return ItlEnReasonCode_Io_read_error;
  }

  int64_t written = 0;
  uint32_t filled = 0;
  for (;;) {
    int best = -1;
    for (int r = 0; r < runs; ++r) {
      Cursor& c = cursors[r];
      if (c.buffered == 0 && c.onDisk > 0 && !refill(c))
        return ItlEnReasonCode_Io_read_error;
      if (c.buffered == 0) continue;
      // Strictly smaller only: on equal keys the earlier run goes first.
      if (best < 0 ||
          itlDocMapKeyCompare(c.current, cursors[best].current, keyLength) < 0)
        best = r;
    }
    if (best < 0) break;
    if (memorySize - filled < entrySize) {
      if (!writeAt(output, outputBuffer, filled, written))
        return ItlEnReasonCode_Io_write_error;
      written += filled;
      filled = 0;
    }
    Cursor& c = cursors[best];
    std::memcpy(outputBuffer + filled, c.current, entrySize);
    filled += entrySize;
    c.current += entrySize;
    --c.buffered;
  }
  if (!writeAt(output, outputBuffer, filled, written))
    return ItlEnReasonCode_Io_write_error;
  size_t got;
  if (!readAt(output, outputBuffer, size_t{memorySize / entrySize} * entrySize,
              0, got))
    return ItlEnReasonCode_Io_read_error;
  entriesInBuffer = static_cast<uint32_t>(got / entrySize);
  return 0;
}
