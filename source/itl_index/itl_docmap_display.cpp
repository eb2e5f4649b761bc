// itl_docmap_display.cpp: console displays of the document-number maps
// (see itl_docmap_display.hpp). Called by the API's display tools.
//
// Nothing read from a map file is trusted: index entries are read only as
// far as the index file holds them, entries of a block only up to the
// block's own slots, and every name is checked against the block's bounds
// before it is printed.
#include "itl_docmap_display.hpp"

#include <cstdio>
#include <cstring>
#include <vector>

#include "cos_consoleui.hpp"
#include "itl_deleted_docs.hpp"
#include "itl_docmap_dex.hpp"
#include "itl_docmap_dix.hpp"
#include "itl_docmap_error.hpp"
#include "itl_docmap_io.hpp"
#include "itl_error.hpp"
#include "itl_index_location.hpp"

#define ITL_DISPLAY_ORIGIN "source/itl_index/itl_docmap_display"

namespace {

char const kOutOfRange[] = "Requested block number is out of index range";

// The index entries of the map's index file (after its control record), as
// many as its control record counts and the file holds.
std::vector<uint8_t> readIndexEntries(ItlClDocNameMappingFiles& map,
                                      uint32_t entrySize) {
  std::vector<uint8_t> entries;
  int fd = map.getIndexReadDescriptor();
  uint32_t count = map.indexControl().uiEntryCount;
  if (fd < 0 || count == 0) return entries;
  long long size = itlDocMapFileSize(fd);
  if (size < ITL_DOCMAP_CTL_SIZE ||
      static_cast<uint64_t>(size - ITL_DOCMAP_CTL_SIZE) / entrySize < count)
    itlDocMapRaiseCorrupted(ITL_DISPLAY_ORIGIN, __LINE__,
                            map.getIndexFileName());
  entries.resize(static_cast<size_t>(count) * entrySize);
  long long n = itlDocMapReadAt(fd, entries.data(), entries.size(),
                                ITL_DOCMAP_CTL_SIZE);
  if (n != static_cast<long long>(entries.size()))
    itlDocMapRaiseErrno(ITL_DISPLAY_ORIGIN, __LINE__,
                        ItlEnReasonCode_Io_read_error, map.getIndexFileName(),
                        ITL_MSG_FILE_READ_FAILED, n < 0 ? errno : 0);
  return entries;
}

void showName(CosClConsoleUI& console, char const* label, char const* name,
              uint32_t length, bool hex) {
  if (hex) {
    printHex(name, length, label);
  } else {
    console.format(label, name,
                   static_cast<unsigned>(strnlen(name, length)));
  }
}

void showIndexEntries(ItlClDocNameMappingFiles& map, ItlEnDocMapKind kind,
                      CosClConsoleUI& console, bool hex) {
  bool byName = kind == ItlEnDocMapKind::NAME_TO_NUMBER;
  uint32_t entrySize =
      byName ? 4u + map.getMaxNameSize() : ITL_DOCMAP_DII_ENTRY_SIZE;
  std::vector<uint8_t> entries = readIndexEntries(map, entrySize);
  uint32_t count = map.indexControl().uiEntryCount;
  console.format("Index control: block count is ", count);
  console.newline();
  for (size_t at = 0; at < entries.size(); at += entrySize) {
    uint8_t const* entry = entries.data() + at;
    uint32_t block = itlGetLE32(entry);
    if (block == 0) break;
    console.format("Block number is ", block);
    if (byName) {
      showName(console, "Highest document name is ",
               reinterpret_cast<char const*>(entry + 4), map.getMaxNameSize(),
               hex);
    } else {
      console.format("Highest document number is ",
                     static_cast<uint32_t>(itlGetLE64(entry + 4)));
    }
  }
}

// The entries of the block now in the map's reader.
void showBlockEntries(ItlClDocNameMappingFiles& map, CosClConsoleUI& console,
                      bool hex) {
  ItlClDocMapBlockBase const* block = map.getBlock();
  uint8_t const* data = block->getData();
  bool fixed = block->getKind() == ItlClDocMapBlockBase::FIXED;
  uint32_t nameSize = map.getMaxNameSize();
  uint32_t capacity = fixed ? ITL_DOCMAP_BLOCK_SIZE / (nameSize + 8)
                            : ITL_DOCMAP_TOP_SLOT / 8 + 1;
  std::vector<char> name(nameSize + 1);
  uint32_t nameAt = 0;
  for (uint32_t i = 0; i < capacity; ++i) {
    uint64_t number = block->slotNumber(i);
    if (number == 0) break;
    uint32_t slotStart = ITL_DOCMAP_TOP_SLOT - 8 * i;  // names end below it
    std::fill(name.begin(), name.end(), '\0');
    uint32_t length;
    if (fixed) {
      length = nameSize;
      std::memcpy(name.data(), data + i * nameSize, length);
    } else {
      if (nameAt + 2 > slotStart)
        itlDocMapRaiseCorrupted(ITL_DISPLAY_ORIGIN, __LINE__,
                                map.getDataFileName());
      length = itlGetLE16(data + nameAt);
      if (length > nameSize || nameAt + 2 + length > slotStart)
        itlDocMapRaiseCorrupted(ITL_DISPLAY_ORIGIN, __LINE__,
                                map.getDataFileName());
      std::memcpy(name.data(), data + nameAt + 2, length);
      nameAt += 2 + length;
    }
    console.format("DocNr = ", static_cast<uint32_t>(number));
    showName(console, hex ? "DocName = " : "DocName =", name.data(), length,
             hex);
  }
}

template <class Map>
ItlEnReturnCode display(Map& map, ItlStDocMapDisplayTarget const& target,
                        ItlEnDocMapKind kind, bool indexOnly, bool oneBlock,
                        uint32_t blockNumber, CosClConsoleUI& console,
                        bool hex, ItlClErrorInfo& errorInfo) {
  map.setMaxDocNameSize(target.maxDocIdLength, target.docIdSizeIsFix);
  bool exists = false;
  map.access4Read(exists);
  uint32_t documents = 0, highest = 0, blocks = 0;
  if (exists) {
    documents = static_cast<uint32_t>(map.indexControl().ulDocumentCount);
    highest = static_cast<uint32_t>(map.dataControl().ulHighestDocNumber);
    blocks = map.dataControl().uiBlockCount;
  }
  if (documents == 0) {
    console.format(" No data available for index ",
                   target.location.getIndexName());
    console.format(" Index location ",
                   target.location.getIndexDirectory().getAsCString());
  } else {
    console.format(" Index control: total number of documents ", documents);
    console.format(" Data control: highest document number ", highest);
  }
  console.format("Data control: block count is ", blocks);
  if (indexOnly) {
    if (exists) {
      showIndexEntries(map, kind, console, hex);
    } else {
      console.format("Index control: block count is ", 0u);
      console.newline();
    }
    map.closeAll();
    return ItlEnReturnCode_Success;
  }
  uint32_t first = oneBlock ? blockNumber : 1;
  uint32_t last = oneBlock ? blockNumber : blocks;
  if (oneBlock && blockNumber > blocks) {
    console.msg(console.getOutputStream(), kOutOfRange);
    map.closeAll();
    errorInfo.setError(ITL_DISPLAY_ORIGIN ":" COS_STRINGIFY(__LINE__),
                       ItlEnReasonCode_Invalid_argument, ItlEnReturnCode_Error,
                       ItlEnErrorAction_Inform);
    return errorInfo.getReturnCode();
  }
  for (uint32_t n = first; n <= last && n != 0; ++n) {
    console.format("\n Current block number is ", n);
    if (map.getCurrentBlock() != n) map.readDataBlock(n);
    showBlockEntries(map, console, hex);
  }
  if (oneBlock && blockNumber == 0)
    console.format("\n Current block number is ", 0u);
  map.closeAll();
  return errorInfo.getReturnCode();
}

}  // namespace

void printHex(char const* data, unsigned int length, char const* label) {
  if (label != nullptr) std::printf(" %s ", label);
  for (unsigned int i = 0; i < length; ++i)
    std::printf("%02x ", static_cast<unsigned char>(data[i]));
  std::printf(" \n");
  std::fflush(stdout);
}

ItlEnReturnCode itlDocMapDisplay(ItlStDocMapDisplayTarget const& target,
                                 ItlEnDocMapKind kind, bool indexOnly,
                                 bool oneBlock, uint32_t blockNumber,
                                 CosClConsoleUI& console, bool hex,
                                 ItlClErrorInfo& errorInfo) {
  if (kind == ItlEnDocMapKind::NAME_TO_NUMBER) {
    ItlClDex dex(target.location);
    return display(dex, target, kind, indexOnly, oneBlock, blockNumber,
                   console, hex, errorInfo);
  }
  ItlClDix dix(target.location);
  return display(dix, target, kind, indexOnly, oneBlock, blockNumber, console,
                 hex, errorInfo);
}

ItlEnReturnCode itlDocMapDisplayDeleted(ItlStDocMapDisplayTarget const& target,
                                        CosClConsoleUI& console,
                                        ItlClErrorInfo& errorInfo) {
  ItlClDeletedDocs deleted(target.location);
  deleted.access4Read();
  uint32_t count = deleted.getListCount();
  console.format("Number of deleted documents in index", count);
  if (count == 0) return ItlEnReturnCode_Success;
  ItlClDix dix(target.location);
  dix.setMaxDocNameSize(target.maxDocIdLength, target.docIdSizeIsFix);
  bool exists = false;
  dix.access4Read(exists);
  dix.loadIndexTable();
  std::vector<char> name(target.maxDocIdLength + 1u);
  uint64_t const* numbers = deleted.getList();
  for (uint32_t i = 0; i < count; ++i) {
    std::fill(name.begin(), name.end(), '\0');
    uint16_t length = 0;
    // The fixed layout has its own lookup: its blocks hold no lengths.
    if (target.docIdSizeIsFix)
      dix.obtainDocNameFix(numbers[i], &length, name.data());
    else
      dix.obtainDocName(numbers[i], &length, name.data());
    console.format("DocNr = ", static_cast<uint32_t>(numbers[i]));
    console.format("DocName =", name.data(),
                   static_cast<unsigned>(strnlen(name.data(), length)));
  }
  dix.closeAll();
  return errorInfo.getReturnCode();
}
