// itl_map_htab.hpp: the in-memory store of a name map: the entries in
// number order (ItlClMapArray) and a hash index over their names
// (ItlClMapHashtable).
//
// Numbers run from 1 (the reserved entry) upward in creation order; an
// entry's number is its position + 1 and never changes; a deleted entry
// keeps its number (length 0, no name) and the number is never given out
// again until the array is cleared. The hash index holds entry numbers in
// chained buckets; a lookup computes the hash once and walks one chain,
// comparing stored hashes before bytes. All memory comes from
// CosClMemoryManager (failures throw CosClExceptionFatal).
#ifndef ITL_MAP_HTAB_HPP
#define ITL_MAP_HTAB_HPP

#include <cstdint>
#include <iosfwd>

// One entry of a name map.
struct ItlStMapEntry {
  char* iv_pacName;          // owned copy with its NUL; null if no name
  uint32_t iv_uiNameLength;  // bytes with the NUL; 0 when no name
  uint32_t iv_tyNumber;      // the entry's number (position + 1)
  uint32_t iv_ulHashValue;   // hash of the name (itlMapHash)

  void display(std::ostream& out) const;
};

// The map hash over `length` bytes: sum of byte i shifted left by (i mod 23)
// bits, kept to 32 bits; 0 for length 0.
uint32_t itlMapHash(char const* name, uint32_t length);
// The same sum kept to 64 bits (the 64-bit map layout).
uint64_t itlMapHash64(char const* name, uint64_t length);

class ItlClMapArray {
 public:
  // `initialSize`: entries of the first block and of each growth step;
  // `maxSize`: the highest number allowed.
  ItlClMapArray(uint32_t initialSize, uint32_t maxSize);
  ~ItlClMapArray();
  ItlClMapArray(ItlClMapArray const&) = delete;
  ItlClMapArray& operator=(ItlClMapArray const&) = delete;

  // Creates the entry with the next number (a copy of `length` bytes of
  // `name`, none for length 0; hash 0) and hands it out (valid until the
  // next creation). Past the maximum: ItlClException reason 404.
  void createNewEntry(char const* name, uint32_t length, ItlStMapEntry** entry);
  // The entry of that number loses its name (length 0).
  // REQUIRES: 1 <= number < getNextNumber().
  void invalidateEntry(uint32_t number);
  // Frees every name; the next entry gets number 1. The block stays.
  void clearArray();

  uint32_t getNextNumber() const { return iv_uiNextNumber; }
  uint32_t getMaxSize() const { return iv_uiArrayMaxSize; }
  // REQUIRES: 1 <= number < getNextNumber().
  ItlStMapEntry& getEntry(uint32_t number) const {
    return iv_pstEntries[number - 1];
  }
  void display(std::ostream& out) const;

 private:
  ItlStMapEntry* iv_pstEntries;     // owned block, null until first entry
  uint32_t iv_uiArrayInitialSize;   // first block and growth step
  uint32_t iv_uiArrayAllocated;     // entries the block holds
  uint32_t iv_uiArrayMaxSize;       // highest number allowed
  uint32_t iv_uiNextNumber;         // starts at 1
};

class ItlClMapHashtable {
 public:
  explicit ItlClMapHashtable(uint32_t bucketCount);
  ~ItlClMapHashtable();
  ItlClMapHashtable(ItlClMapHashtable const&) = delete;
  ItlClMapHashtable& operator=(ItlClMapHashtable const&) = delete;

  // Allocates the buckets (all empty); again: empties them.
  void init();
  uint32_t hashValue(char const* name, uint32_t length) const {
    return itlMapHash(name, length);
  }
  // Adds the entry's number at the head of its bucket; with `computeHash`
  // the entry's hash is computed from its name and stored first.
  // REQUIRES: init() was called.
  void addNewEntry(ItlStMapEntry& entry, bool computeHash);
  // Number of the entry with this name (stored hash, length and bytes
  // equal; deleted entries never match), 0 when none.
  uint32_t queryEntry(ItlClMapArray const& array, char const* name,
                      uint32_t length) const;
  // The same search returning the entry, null when none.
  ItlStMapEntry* getMapEntry(ItlClMapArray const& array, char const* name,
                             uint32_t length) const;
  // Frees every chain node; the bucket array stays.
  void clearHashtable();
  void display(std::ostream& out) const;

 private:
  struct Node {
    uint32_t number;
    Node* next;
  };
  uint32_t iv_uiBucketCount;
  Node** iv_ppstBuckets;  // owned, null before init()
};

#endif  // ITL_MAP_HTAB_HPP
