// itl_docmap_dix.hpp: the number-to-name map of an index (ItlClDix).
//
// Files ".did"/".dii" (working copies ".xid"/".xii", layouts in
// itl_docmap_files.hpp) and the temporary file ".tdm": the (number, name)
// pairs of the running transaction in assignment order, as entries of
// max name size + 10 bytes:
//   off size  field
//     0    8  u64 document number
//     8    2  u16 name length
//    10    *  name bytes, zero-padded to the max name size
// At the end of a transaction the entries are appended to the working data
// file as blocks (or, after a merge, the map is rebuilt from them); the
// same file, sorted by name, feeds the name-to-number map.
//
// Numbers are never reused: the data control record holds the highest
// number ever assigned; writing blocks only raises it.
#ifndef ITL_DOCMAP_DIX_HPP
#define ITL_DOCMAP_DIX_HPP

#include <cstdint>
#include <vector>

#include "itl_docmap_files.hpp"

class ItlClDeletedDocs;

// Numbers from this one on are refused (reason 305).
constexpr uint64_t ITL_DOCMAP_NUMBER_LIMIT = 0x7FFFFFFD;

// One ".dii" entry in memory.
struct ItlStDixIndexEntry {
  uint32_t uiBlock;       // block number, from 1
  uint64_t ulHighest;     // highest document number in the block
};

class ItlClDix : public ItlClDocNameMappingFiles {
 public:
  static constexpr uint32_t TEMP_BUFFER_SIZE = 32768;

  explicit ItlClDix(ItlClIndexLocation const& location);
  ~ItlClDix() override;

  // Sets the name size and layout (see setNameLayout) and sizes the
  // temporary entries. REQUIRES: 0 < size < 32760.
  void setMaxDocNameSize(uint16_t size, bool fixed);

  // Gives a new document the next number and buffers the pair. A name of
  // length 0, above the max name size, or (fixed layout) of another length
  // is 302; a number of 0x7FFFFFFD or more is 305 ("Document number"); in
  // both cases nothing changes and nothing reaches a file.
  void assignNumber(_ItlStDocumentId const* id, uint64_t* number);
  // Buffers a pair as it stands (the migration's rewritten names keep
  // their numbers); the caller keeps numbers ascending and names within
  // the layout. The highest number is raised when the blocks are written.
  void bufferPair(uint64_t number, uint16_t length, char const* name) {
    bufferEntry(number, length, name);
  }
  // Writes the buffered entries to ".tdm" (created on first use); with
  // `reopen`, the file is then read again from its start.
  void writeTempDataBlock(bool reopen);
  // Moves every entry of ".tdm" into blocks of the working files: appended
  // behind the last entry, or (rebuild) into emptied working files;
  // `notOpen`: when rebuilding, the working files are not open yet.
  void addTempDataToIndexFile(bool rebuild, bool notOpen);
  // Loads the last block of the working data file when it can take
  // entries (append flag set); otherwise a new block will be started.
  void locateAppendPosition();
  // Writes the block being built and its index entry to the working files:
  // in place of the last ones when appending, else behind them.
  void writeData();
  // Copies every pair of the working data file whose number is not
  // deleted into the temporary buffer and file, in ascending order.
  void mergeIntoNewFullTemp(ItlClDeletedDocs& deleted);

  // Reads the index table from the index file now used for reading (or
  // the working index file during an update). Entries must name blocks
  // 1, 2, ... in order, held whole by the data file; else 300.
  void loadIndexTable();
  // The block that holds `number` per the index table: the first block
  // whose highest number is at least `number`; 0 when above the last.
  uint32_t findBlock(uint64_t number);
  // Name of `number`, sequential layout: its length and bytes (`name`
  // holds the max name size). 301 above the last block, 304 when the block
  // lacks it, 300 for a damaged block.
  void obtainDocName(uint64_t const& number, uint16_t* length, char* name);
  // The same for the fixed layout (through the fixed block search).
  void obtainDocNameFix(uint64_t const& number, uint16_t* length, char* name);
  // Maps block `block` of the data file into the sequential reader.
  void reloadSeqBlock(uint32_t block);
  // Follows a rename of the index: closes every file, renames all five,
  // drops the block reader (set the name size again before use).
  void setNewName(char const* newBaseName);
  // Closes the four map files, empties the block and the temporary
  // buffer. The temporary file and the index table stay.
  void reset();
  // Closes the temporary file (it stays on disk).
  void closeTempFile();
  bool isTempFileOpen() const { return iv_iTempFd >= 0; }
  // Creates ".tdm" empty when it is not open (a rebuild of no entries).
  void ensureTempFile();
  // Moves the working and temporary names into `directory`.
  void setWorkingDirectoryAll(char const* directory);
  // Names again from the location (working directory changes).
  void refreshAllNames();

  CosClFilename const& getTempFileName() const { return iv_clTempName; }
  uint32_t getTempEntries() const { return iv_uiTempEntries; }
  uint32_t getTempCapacity() const { return iv_uiTempCapacity; }
  uint16_t getTempEntrySize() const { return iv_usTempEntrySize; }
  std::vector<ItlStDixIndexEntry> const& getIndexTable() const {
    return iv_aIndex;
  }
  bool isIndexLoaded() const { return iv_bIndexLoaded; }

 private:
  // Appends one pair to the temporary buffer, flushing first when full.
  void bufferEntry(uint64_t number, uint16_t length, char const* name);
  // Adds one entry to the block being built (writing it out when full).
  void placeEntry(uint64_t number, uint16_t length, char const* name);
  // Walks the names of the sequential block in the reader: the offset of
  // each of the `count` names, or 300 when one runs into the number slots.
  void checkSeqNames(uint32_t count, uint32_t* nameEnd) const;
  // The position of `number` in the loaded sequential block.
  bool seekSeqNumber(uint64_t number, uint32_t& entry, uint32_t& offset);

  CosClFilename iv_clTempName;
  int iv_iTempFd;
  uint64_t iv_ulTempReadOffset;     // next entry to read from ".tdm"
  uint64_t iv_ulTempWriteOffset;    // end of ".tdm"
  uint8_t* iv_pucTempBuffer;        // TEMP_BUFFER_SIZE, memory manager
  uint32_t iv_uiTempEntries;        // entries in the buffer
  uint32_t iv_uiTempCapacity;       // TEMP_BUFFER_SIZE / entry size
  uint16_t iv_usTempEntrySize;      // max name size + 10
  uint64_t iv_ulLastRefused;        // last number refused (0: none)

  // The block being built: entries and the end of its names.
  bool iv_bAppend;
  uint32_t iv_uiBuildCount;
  uint32_t iv_uiBuildNameEnd;

  std::vector<ItlStDixIndexEntry> iv_aIndex;
  bool iv_bIndexLoaded;
  size_t iv_uiCursor;               // index entry of the last lookup
  uint32_t iv_uiSeqEntry;           // lookup cursor in the loaded block
  uint32_t iv_uiSeqOffset;          // its name's offset
};

#endif  // ITL_DOCMAP_DIX_HPP
