// itl_docmap_files.hpp: the files of the document-number maps and the
// byte layer both maps share.
//
// An index keeps its number-to-name map (".did" data, ".dii" index), its
// name-to-number map (".ded", ".dei") and its deleted list (".del") in the
// index directory; an update transaction works on copies in the working
// directory (".xid", ".xii", ".xed", ".xei", ".xel") plus the temporary
// entries ".tdm", their sorted form ".sdm" and the new name-to-number data
// file ".ted". Every integer is little-endian and written field by field.
//
// Control record, 44 bytes at offset 0 of every data and index file:
//   off size  data file (ItlStDataCtlRecord)   index file (ItlStIndexCtlRecord)
//     0  8/4  u64 highest document number      u32 index entries (= blocks)
//   8/4  4/8  u32 data blocks                   u64 documents (at offset 4)
//    12   30  eyecatcher, NUL-padded ("DOCMAP DID"/"DOCMAP DED"; "DOCMAP DII"/"DOCMAP DEI")
//    42    2  u16 MaxDocumentIDLength (index file: 0 = not recorded)
// Data file: the record, then blocks of 32768 bytes; block n (from 1) at
// 44 + (n - 1) * 32768. A block holds u64 numbers from offset 32760
// downwards (entry i at 32760 - 8 i; a zero slot ends the entries) and the
// names from offset 0 upwards: fixed layout, entry i's name at
// i * MaxDocumentIDLength; sequential layout, u16 length + bytes, packed.
// Index file: the record, then one entry per block in block order: ".dii"
// 12 bytes (u32 block, u64 highest number), ".dei" 4 + MaxDocumentIDLength
// (u32 block, greatest name NUL-padded). Written to disk: never change.
//
// Everything here throws ItlClException (return code 8, action Inform) on
// failure; file contents are never trusted: every block number and range is
// checked against the control record and the file's real size first.
#ifndef ITL_DOCMAP_FILES_HPP
#define ITL_DOCMAP_FILES_HPP

#include <cstdint>
#include <cstdio>

#include "cos_filename.hpp"
#include "itl_types.h"

class ItlClIndexLocation;

// File extensions of the document-number maps (written to disk: never
// change).
inline constexpr char ITL_DOCMAP_EXT_DID[] = ".did";
inline constexpr char ITL_DOCMAP_EXT_DII[] = ".dii";
inline constexpr char ITL_DOCMAP_EXT_DED[] = ".ded";
inline constexpr char ITL_DOCMAP_EXT_DEI[] = ".dei";
inline constexpr char ITL_DOCMAP_EXT_DEL[] = ".del";
inline constexpr char ITL_DOCMAP_EXT_XID[] = ".xid";
inline constexpr char ITL_DOCMAP_EXT_XII[] = ".xii";
inline constexpr char ITL_DOCMAP_EXT_XED[] = ".xed";
inline constexpr char ITL_DOCMAP_EXT_XEI[] = ".xei";
inline constexpr char ITL_DOCMAP_EXT_XEL[] = ".xel";
inline constexpr char ITL_DOCMAP_EXT_TDM[] = ".tdm";
inline constexpr char ITL_DOCMAP_EXT_SDM[] = ".sdm";
inline constexpr char ITL_DOCMAP_EXT_TED[] = ".ted";
inline constexpr char ITL_DOCMAP_EXT_YID[] = ".!id";
inline constexpr char ITL_DOCMAP_EXT_YII[] = ".!ii";
inline constexpr char ITL_DOCMAP_EXT_YED[] = ".!ed";
inline constexpr char ITL_DOCMAP_EXT_YEI[] = ".!ei";
inline constexpr char ITL_DOCMAP_EXT_YEL[] = ".!el";

inline constexpr char ITL_DOCMAP_EYECATCH_DID[] = "DOCMAP DID";
inline constexpr char ITL_DOCMAP_EYECATCH_DED[] = "DOCMAP DED";
inline constexpr char ITL_DOCMAP_EYECATCH_DII[] = "DOCMAP DII";
inline constexpr char ITL_DOCMAP_EYECATCH_DEI[] = "DOCMAP DEI";

constexpr uint32_t ITL_DOCMAP_CTL_SIZE = 44;          // control record
constexpr uint32_t ITL_DOCMAP_EYECATCH_SIZE = 30;
constexpr uint32_t ITL_DOCMAP_BLOCK_SIZE = 32768;     // data block
constexpr uint32_t ITL_DOCMAP_TOP_SLOT = 32760;       // entry 0's number
constexpr uint32_t ITL_DOCMAP_DII_ENTRY_SIZE = 12;    // ".dii" entry
constexpr uint32_t ITL_DOCMAP_MAP_SIZE = ITL_DOCMAP_BLOCK_SIZE + ITL_DOCMAP_CTL_SIZE;

// A document name as the maps take and return it (_ItlStDocumentId:
// bytes without a terminating zero and their count) is in itl_types.h.

// The data file's control record in memory.
struct ItlStDataCtlRecord {
  uint64_t ulHighestDocNumber;  // number-to-name: highest ever assigned
  uint32_t uiBlockCount;        // data blocks in the file
  char acEyecatcher[ITL_DOCMAP_EYECATCH_SIZE];
  uint16_t usMaxDocIdLength;
};

// The index file's control record in memory.
struct ItlStIndexCtlRecord {
  uint32_t uiEntryCount;        // index entries = data blocks
  uint64_t ulDocumentCount;     // documents in the map
  char acEyecatcher[ITL_DOCMAP_EYECATCH_SIZE];
  uint16_t usMaxDocIdLength;    // 0: not recorded
};

// Encode and decode the 44 bytes of a control record.
void itlEncodeDataCtl(ItlStDataCtlRecord const& record, uint8_t* bytes);
void itlDecodeDataCtl(uint8_t const* bytes, ItlStDataCtlRecord& record);
void itlEncodeIndexCtl(ItlStIndexCtlRecord const& record, uint8_t* bytes);
void itlDecodeIndexCtl(uint8_t const* bytes, ItlStIndexCtlRecord& record);

// Little-endian fields of the map files (unaligned access allowed).
inline uint16_t itlGetLE16(uint8_t const* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t itlGetLE32(uint8_t const* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t itlGetLE64(uint8_t const* p) {
  return static_cast<uint64_t>(itlGetLE32(p)) |
         static_cast<uint64_t>(itlGetLE32(p + 4)) << 32;
}
inline void itlPutLE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void itlPutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void itlPutLE64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The one way the map classes open files.
class ItlClFileAccess {
 public:
  // Opens `name` by an fopen-style mode ("r", "rb", "r+..", "w", "wb",
  // "w+..", "a", "ab", "a+..") with 64-bit offsets; new files get 0660 less
  // the process umask. On failure raises 16 ("File open failed" with errno,
  // or ": illegal open mode" and the mode) unless `tolerateMissing` is set
  // and the file is missing or empty: then descriptor -1 / stream null.
  static void itlOpenFile(char const* name, char const* mode,
                          bool tolerateMissing, int& descriptor);
  static void itlOpenFile(char const* name, char const* mode,
                          bool tolerateMissing, FILE*& stream);
};

// One data block in memory: its 32768 bytes lie in a zero-filled heap
// buffer or, while mapped, in a private mapping of the file.
class ItlClDocMapBlockBase : public ItlClFileAccess {
 public:
  enum Kind : uint32_t { SEQUENTIAL = 1, FIXED = 2 };

  explicit ItlClDocMapBlockBase(Kind kind);
  virtual ~ItlClDocMapBlockBase();
  ItlClDocMapBlockBase(ItlClDocMapBlockBase const&) = delete;
  ItlClDocMapBlockBase& operator=(ItlClDocMapBlockBase const&) = delete;

  Kind getKind() const { return iv_enKind; }
  uint8_t* getData() const { return iv_pucBlock; }
  uint32_t getCount() const { return iv_uiCount; }
  bool isMapped() const { return iv_pucHeapBuffer != nullptr; }
  // The u64 number of entry `entry` (slot at 32760 - 8 * entry).
  // REQUIRES: entry < 4096.
  uint64_t slotNumber(uint32_t entry) const {
    return itlGetLE64(iv_pucBlock + ITL_DOCMAP_TOP_SLOT - 8 * entry);
  }

  // Counts the entries of the bytes now in the block and resets the cursors.
  virtual void analyse() = 0;
  // Cursors back to the block start (the entries are not recounted).
  virtual void resetCursors() = 0;
  // Empties the block: zero bytes, count 0.
  void clear();
  void setCountZero() { iv_uiCount = 0; }

  // Maps block `blockNumber` of the data file `descriptor` (32812 bytes,
  // private, read-write, from (n - 1) * 32768); the block then reads from
  // offset 44 of the mapping. Block 0, a block above `blockCount` or one
  // the file does not hold whole is 300; a failed mapping 17.
  void mapBlock(int descriptor, char const* fileName, uint32_t blockNumber,
                uint32_t blockCount);
  // Back to the heap buffer (nothing when not mapped).
  void unmapBlock();

 protected:
  uint32_t iv_uiCursor;        // fixed: current entry index
  uint8_t* iv_pucBlock;        // the 32768 block bytes
  uint8_t* iv_pucHeapBuffer;   // heap buffer set aside while mapped
  uint32_t iv_uiMapOffset;     // 44 while mapped, else 0
  uint32_t iv_uiCount;         // entries in the block
  Kind iv_enKind;
};

// A block of the sequential layout: u16 length + name, packed from 0.
class ItlClDocMapBlockSeq : public ItlClDocMapBlockBase {
 public:
  ItlClDocMapBlockSeq();
  // Count = entries up to the first zero number slot. A block whose names
  // would have to overlap their own number slots is reported by the
  // readers that walk the names.
  void analyse() override;
  void resetCursors() override;

  uint32_t iv_uiNameCursor;   // block offset of the current name
  uint32_t iv_uiSlotCursor;   // block offset of the current number slot
  uint8_t iv_ucFlag;
};

// A block of the fixed layout: entry i's name at i * nameSize, no length.
class ItlClDocMapBlockFix : public ItlClDocMapBlockBase {
 public:
  // REQUIRES: 0 < nameSize < 32760.
  explicit ItlClDocMapBlockFix(uint16_t nameSize);

  uint16_t getNameSize() const { return iv_usNameSize; }
  // floor(32768 / (nameSize + 8)).
  uint32_t getCapacity() const { return iv_uiCapacity; }
  // Count = slots from the lowest non-zero slot to the top slot.
  void analyse() override;
  void resetCursors() override;

  // True when the block holds `number`; the cursor then stands on its
  // entry (getCursor()). The search starts from the cursor, so ascending
  // lookups walk the block once; it never leaves the block.
  bool searchDocNumber(uint64_t const& number);
  uint32_t getCursor() const { return iv_uiCursor; }
  // The name bytes of entry `entry` (nameSize bytes). REQUIRES: entry <
  // capacity.
  uint8_t const* nameAt(uint32_t entry) const {
    return iv_pucBlock + entry * iv_usNameSize;
  }

 private:
  // Entries counted from the lowest used slot (computed on first need).
  void findLowestSlot();

  uint16_t iv_usNameSize;
  uint32_t iv_uiCapacity;
  bool iv_bLowestKnown;       // the count reflects the lowest used slot
};

// The data file and index file of one map, with their working copies in
// the working directory, both control records and the one block object
// through which data blocks are read.
class ItlClDocNameMappingFiles : public ItlClFileAccess {
 public:
  // Builds the four names (data and index in the index directory, their
  // working copies in the working directory); opens nothing.
  ItlClDocNameMappingFiles(ItlClIndexLocation const& location,
                           char const* dataExtension,
                           char const* dataWorkingExtension,
                           char const* indexExtension,
                           char const* indexWorkingExtension,
                           char const* dataEyecatcher,
                           char const* indexEyecatcher);
  // Closes what is open (a failing close is ignored here) and frees the
  // blocks.
  virtual ~ItlClDocNameMappingFiles();
  ItlClDocNameMappingFiles(ItlClDocNameMappingFiles const&) = delete;
  ItlClDocNameMappingFiles& operator=(ItlClDocNameMappingFiles const&) = delete;

  // Sets the name size and layout: creates the block object of the layout
  // (a fixed layout with `maxNameSize` bytes per name) and stores the size
  // in both control records. REQUIRES: 0 < maxNameSize < 32760.
  void setNameLayout(uint16_t maxNameSize, bool fixed);

  // Opens both working copies for an update, each with a valid control
  // record in memory; a missing or empty copy is created with zero counts.
  // A data copy of 1..43 bytes is 300; a data copy without its index copy
  // (or the reverse) is 300.
  void access4Update();
  // Opens the index directory's files for reading (or, during an update,
  // reads through the working copies). `exists` is false for a map without
  // content; one file of the pair without the other is 300.
  void access4Read(bool& exists);
  // Reads the index control record of the index file (or its working copy)
  // with `mode`; returns 1, or 0 for a missing or empty file when
  // `tolerateMissing` (else 374 / 300). A recorded name size other than the
  // map's is 300.
  uint32_t readIndexControl(char const* mode, bool useWorkingCopy,
                            bool tolerateMissing);
  // Writes both control records to the working copies and closes them; an
  // `extraDescriptor` other than -1 gets the data control record too and
  // stays open.
  void writeControlRecord(int extraDescriptor);
  // Makes block `blockNumber` of the data file the current block. Block 0,
  // a block above the count or one the file does not hold whole is 300; a
  // failed or short read 17.
  void readDataBlock(uint32_t blockNumber);

  ItlStDataCtlRecord& dataControl() { return iv_stDataCtl; }
  ItlStIndexCtlRecord& indexControl() { return iv_stIndexCtl; }
  ItlStIndexCtlRecord const& indexControl() const { return iv_stIndexCtl; }
  uint32_t getCurrentBlock() const { return iv_uiCurrentBlock; }
  ItlClDocMapBlockBase* getBlock() const {
    return iv_pclSeqBlock != nullptr
               ? static_cast<ItlClDocMapBlockBase*>(iv_pclSeqBlock)
               : iv_pclFixBlock;
  }
  ItlClDocMapBlockSeq* getSeqBlock() const { return iv_pclSeqBlock; }
  ItlClDocMapBlockFix* getFixBlock() const { return iv_pclFixBlock; }
  uint16_t getMaxNameSize() const { return iv_usMaxNameSize; }
  uint16_t getSeqEntrySize() const { return iv_usSeqEntrySize; }
  uint32_t getSeqEntriesPerBlock() const { return iv_uiSeqEntriesPerBlock; }
  CosClFilename const& getDataFileName() const { return iv_clDataName; }
  CosClFilename const& getDataWorkingName() const { return iv_clDataWorkName; }
  CosClFilename const& getIndexFileName() const { return iv_clIndexName; }
  CosClFilename const& getIndexWorkingName() const { return iv_clIndexWorkName; }
  // Descriptors used for reading (the working copies' during an update).
  int getDataReadDescriptor() const { return iv_iDataFd; }
  int getIndexReadDescriptor() const { return iv_iIndexFd; }
  int getDataWorkingDescriptor() const { return iv_iDataWorkFd; }
  int getIndexWorkingDescriptor() const { return iv_iIndexWorkFd; }
  // Closes every descriptor once (close failures raise 21).
  void closeAll();
  // The names again from the location (after a rename, move or a new
  // working directory). REQUIRES: nothing open.
  void refreshNames();
  // Moves the working copies' names into `directory`. REQUIRES: nothing
  // open.
  void setWorkingDirectory(char const* directory);

 protected:
  // Closes `descriptor` (unless -1) and sets it to -1; 21 on failure.
  static void closeDescriptor(int& descriptor, CosClFilename const& name);
  // Drops the read slots that only share the working descriptors.
  void dropSharedReadSlots();
  // Reads block `block` of the data file open as `fd` (named `name`, of
  // `blocks` blocks) into the block reader and counts its entries. Block 0,
  // one above `blocks` or one the file does not hold whole is 300; a
  // failed or short read 17 (the reader is then empty).
  void loadBlock(int fd, char const* name, uint32_t block, uint32_t blocks);

  ItlClIndexLocation const& iv_rclLocation;
  char const* iv_pszDataExt;
  char const* iv_pszDataWorkExt;
  char const* iv_pszIndexExt;
  char const* iv_pszIndexWorkExt;

  CosClFilename iv_clDataName;
  int iv_iDataFd;
  CosClFilename iv_clDataWorkName;
  int iv_iDataWorkFd;
  ItlStDataCtlRecord iv_stDataCtl;
  CosClFilename iv_clIndexName;
  int iv_iIndexFd;
  CosClFilename iv_clIndexWorkName;
  int iv_iIndexWorkFd;
  ItlStIndexCtlRecord iv_stIndexCtl;
  bool iv_bReadSlotsShared;       // read slots refer to the working ones
  uint32_t iv_uiCurrentBlock;     // 0: none loaded
  ItlClDocMapBlockSeq* iv_pclSeqBlock;   // owned, or null
  ItlClDocMapBlockFix* iv_pclFixBlock;   // owned, or null
  uint16_t iv_usMaxNameSize;
  uint16_t iv_usSeqEntrySize;            // max name size + 10
  uint32_t iv_uiSeqEntriesPerBlock;      // 32768 / (max name size + 10)
};

#endif  // ITL_DOCMAP_FILES_HPP
