// itl_docmap_sort.hpp: the external sort of temporary map entries and the
// in-memory sorts of the document-number maps.
//
// Entries are fixed-size records (u64 number, u16 length, name field
// zero-padded to the key length); the key is the key-length bytes from
// offset 10, compared as unsigned bytes, then the length: names that
// differ only by trailing zero bytes sort shorter first, which makes the
// order the maps' name order for every name. A temporary file that fits the
// single-run limit is sorted in memory in one run; a larger one is cut into
// runs, each sorted and written back in place, which are then merged into
// the sorted file (equal keys: the earlier run first).
//
// Results are reason codes: 0, 2 (out of memory: the sizing found no
// layout), 17 (read), 18 (write), 19 (seek). Running out of memory raises
// through the memory manager.
#ifndef ITL_DOCMAP_SORT_HPP
#define ITL_DOCMAP_SORT_HPP

#include <cstdint>

// Limits of the sizing; the defaults are the system's.
struct ItlStDocMapSortLimits {
  uint64_t ulSingleRunLimit = 0x4FFFFFF;  // bytes sorted in one run at most
  uint32_t uiMaxRuns = 512;               // runs at most
  uint32_t uiMinShareEntries = 30;        // entries per run in the merge
};

// The sizing of one sort of S bytes of entries of E bytes.
struct ItlStDocMapSortSizing {
  uint32_t uiMemorySize;       // bytes of the sort and of the read buffer
  uint32_t uiEntriesPerBuffer; // memory size / E
  uint32_t uiRuns;             // runs the file forms (0 for no entry)
  uint32_t uiRunTableSize;     // run table entries (>= runs, >= 1)
};

// Sizes a sort; returns 0, or 2 when more than the maximum runs are needed
// or a run would bring fewer than the minimum entries to the merge.
int itlDocMapSortSizing(uint64_t fileSize, uint32_t entrySize,
                        ItlStDocMapSortLimits const& limits,
                        ItlStDocMapSortSizing& sizing);

// Owner of the sort buffer kept between the sort and the name-to-number
// merge: after a sort it holds the first entries of the sorted stream.
class ItlClDocMapSort {
 public:
  ItlClDocMapSort();
  ~ItlClDocMapSort();
  ItlClDocMapSort(ItlClDocMapSort const&) = delete;
  ItlClDocMapSort& operator=(ItlClDocMapSort const&) = delete;

  // Sorts the entries of `tempPath` into `sortedPath` (created 0600,
  // truncated). A trailing piece shorter than an entry is ignored.
  int sortTempDex(char const* tempPath, char const* sortedPath,
                  uint16_t entrySize, uint16_t keyLength,
                  ItlStDocMapSortLimits const& limits = ItlStDocMapSortLimits());

  char* getBuffer() const { return iv_pcBuffer; }
  uint32_t getMemorySize() const { return iv_uiMemorySize; }
  uint32_t getEntriesPerBuffer() const { return iv_uiEntriesPerBuffer; }
  // Whole entries of the sorted stream left in the buffer (0: none).
  uint32_t getEntriesInBuffer() const { return iv_uiEntriesInBuffer; }
  // Frees the buffer.
  void release();

 private:
  char* iv_pcBuffer;             // owned, memory manager
  uint32_t iv_uiMemorySize;
  uint32_t iv_uiEntriesPerBuffer;
  uint32_t iv_uiEntriesInBuffer;
};

// <0, 0, >0 as entry `a` sorts before, with or after entry `b`.
int itlDocMapKeyCompare(char const* a, char const* b, uint32_t keyLength);

// Sorts `count` record pointers by their keys (the records do not move).
void QuikSort(char** records, uint32_t count, uint32_t entrySize,
              uint32_t keyLength);

// Merges `runs` sorted runs of `input` into `output` from offset 0 and
// reads the first memorySize / E entries back into outputBuffer; the
// entries read back are stored in `entriesInBuffer`.
int MergeSortedParts(int output, int input, int runs, uint32_t entrySize,
                     uint32_t keyLength, int64_t const* runOffsets,
                     uint32_t const* runCounts, uint32_t memorySize,
                     char* readBuffer, char* outputBuffer,
                     uint32_t& entriesInBuffer);

// Sorts pointers to document numbers by the numbers they address.
void itlSortNumberPointers(uint64_t const** pointers, uint32_t count);

// Sorts document numbers ascending in place.
void itlSortDelEntries(uint64_t* numbers, uint32_t count);

// bsearch/qsort comparison of two u64 document numbers.
extern "C" int itlDocNoComp(void const* a, void const* b);

#endif  // ITL_DOCMAP_SORT_HPP
