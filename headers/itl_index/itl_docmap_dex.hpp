// itl_docmap_dex.hpp: the name-to-number map of an index (ItlClDex).
//
// Files ".ded"/".dei" (working copies ".xed"/".xei"; layouts in
// itl_docmap_files.hpp). Names are in name order everywhere: unsigned bytes
// over the common length, the shorter first when that part is equal. An
// index entry holds its block's greatest name zero-padded; a name belongs
// to the first block whose entry is not below its padded form (names that
// differ only by trailing zero bytes may continue into the next block).
//
// The map is rebuilt, never updated in place: at the end of a transaction
// the sorted temporary entries are merged with the existing entries into a
// new data file, which then replaces the working data file.
#ifndef ITL_DOCMAP_DEX_HPP
#define ITL_DOCMAP_DEX_HPP

#include <cstdint>
#include <unistd.h>

#include "itl_docmap_files.hpp"

class ItlClDeletedDocs;

// <0, 0, >0 as name a sorts before, with or after name b (name order).
int itlDocNameCompare(char const* a, uint32_t aLength, char const* b,
                      uint32_t bLength);

// Closes a POSIX descriptor when it leaves scope.
class ItlClLowLevelFileWrapper {
 public:
  explicit ItlClLowLevelFileWrapper(int descriptor = -1) : iv_iFd(descriptor) {}
  ~ItlClLowLevelFileWrapper() {
    if (iv_iFd >= 0) ::close(iv_iFd);
  }
  ItlClLowLevelFileWrapper(ItlClLowLevelFileWrapper const&) = delete;
  ItlClLowLevelFileWrapper& operator=(ItlClLowLevelFileWrapper const&) = delete;
  int& get() { return iv_iFd; }
  // Gives the descriptor up without closing it.
  int release() {
    int fd = iv_iFd;
    iv_iFd = -1;
    return fd;
  }

 private:
  int iv_iFd;
};

// Deletes a block reader when it leaves scope.
class ItlDocMapBlockWrapper {
 public:
  explicit ItlDocMapBlockWrapper(ItlClDocMapBlockBase* block) : iv_pBlock(block) {}
  ~ItlDocMapBlockWrapper() { delete iv_pBlock; }
  ItlDocMapBlockWrapper(ItlDocMapBlockWrapper const&) = delete;
  ItlDocMapBlockWrapper& operator=(ItlDocMapBlockWrapper const&) = delete;
  ItlClDocMapBlockBase* get() const { return iv_pBlock; }

 private:
  ItlClDocMapBlockBase* iv_pBlock;
};

// The key of the index-table search: the index entry size (u32, max name
// size + 4) and the name field zero-padded to the max name size.
// itlDexIndexComp(key, entry): 1 when the key is above the entry's name,
// else 0 when the entry is the first (block 1) or the key is above the
// entry before it, else -1. Serves tables holding every entry from block 1.
extern "C" int itlDexIndexComp(void const* key, void const* entry);

// A name to compare with fixed names: length and bytes.
struct ItlStFixDexKey {
  uint16_t usLength;
  char const* pszName;
};
// Sign of the byte comparison of key->usLength bytes with `name`.
extern "C" int itlFixDexBlockComp(void const* key, void const* name);

class ItlClDex : public ItlClDocNameMappingFiles {
 public:
  explicit ItlClDex(ItlClIndexLocation const& location);
  ~ItlClDex() override;

  // Fixes the max name size and the block kind; a later call with another
  // size re-creates the reader. REQUIRES: 0 < size < 32760.
  void setMaxDocNameSize(uint16_t size, bool fixed);
  uint16_t getIndexEntrySize() const { return iv_usIndexEntrySize; }

  // Documents in the map: the count in memory while a file of the map is
  // open, else the index file's record (0 when it cannot be read).
  void obtainNumberOfDocuments(uint64_t& count);
  // Reads the index table from the index file used for reading (or the
  // working index file). 300 for entries out of order or beyond the file.
  void loadIndexTable();
  bool isIndexLoaded() const { return iv_pucIndex != nullptr || iv_bEmptyLoaded; }
  // The number of the name, 0 when unknown or deleted (or no table is
  // loaded, or the name is longer than the max name size). A block that
  // cannot be read is 17, a damaged one 300: never "unknown".
  void obtainDocNumber(_ItlStDocumentId const* id, uint64_t* number,
                       ItlClDeletedDocs& deleted);
  // Merges the sorted temporary entries (the first `count` of them in
  // `buffer`, the rest in `sortedPath` behind them; count 0: none) with
  // the existing entries of the working data file into `newDataPath` and a
  // new working index file, then puts the new data file in place of the
  // working one. One entry per name: among temporaries of one name the
  // highest number wins; a temporary replaces an existing entry of its
  // name when its number is higher, else reason 7. With `countEntries` the
  // document count becomes the entries written. The data record's highest
  // number is always the largest number among the entries.
  void addTempDataToIndexFiles(char const* sortedPath, char const* newDataPath,
                               char* buffer, uint32_t count,
                               bool countEntries);
  // Closes the four files and clears the block reader; the index table stays.
  void reset();
  // Follows a rename of the index (files closed, names renamed, reader
  // dropped: set the name size again).
  void setNewName(char const* newBaseName);

 private:
  struct Merge;
  void freeIndex();

  uint8_t* iv_pucIndex;        // entries * entry size + one zero entry
  uint32_t iv_uiIndexEntries;
  bool iv_bEmptyLoaded;        // a table of 0 entries was loaded
  uint32_t iv_uiFinger;        // entry of the last lookup
  uint16_t iv_usIndexEntrySize;
  uint8_t* iv_pucKey;          // u32 entry size + padded name + spare
  uint32_t iv_uiSeqEntry;      // lookup cursor in a sequential block
  uint32_t iv_uiSeqOffset;
};

#endif  // ITL_DOCMAP_DEX_HPP
