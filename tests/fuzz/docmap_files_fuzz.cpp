// Fuzz target: the files of a document-number map. The input gives a
// layout byte (fixed or sequential, name size), then ".did", ".dii" and
// ".del" as length-prefixed pieces; the rest are numbers to look up. The
// map is opened, every block the records claim is read and mapped, fixed
// blocks are searched, and the deleted list is loaded, probed and taken
// through one update. Only ItlClException may come out: no crash, no
// SIGBUS, no read outside a block.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "docmap_fuzz_util.hpp"
#include "fuzz_input.hpp"
#include "itl_deleted_docs.hpp"
#include "itl_docmap_files.hpp"
#include "itl_error.hpp"
#include "itl_index_location.hpp"

namespace {

void put(std::string const& path, std::string const& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
  std::fclose(f);
}

class Files : public ItlClDocNameMappingFiles {
 public:
  explicit Files(ItlClIndexLocation const& location)
      : ItlClDocNameMappingFiles(location, ITL_DOCMAP_EXT_DID,
                                 ITL_DOCMAP_EXT_XID, ITL_DOCMAP_EXT_DII,
                                 ITL_DOCMAP_EXT_XII, ITL_DOCMAP_EYECATCH_DID,
                                 ITL_DOCMAP_EYECATCH_DII) {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 400000) return 0;
  std::string const& dir = docmapFuzzScratch("docmap_files");
  FuzzInput in(data, size);
  uint8_t layout = in.byte();
  bool fixed = (layout & 0x80) != 0;
  uint16_t nameSize = static_cast<uint16_t>(1 + (layout & 0x7F));
  std::string did = in.take(in.below(140000));
  std::string dii = in.take(in.below(4096));
  std::string del = in.take(in.below(4096));
  put(dir + "/ix.did", did);
  put(dir + "/ix.dii", dii);
  put(dir + "/ix.del", del);

  ItlClIndexLocation location("ix", dir.c_str(), dir.c_str());
  put(dir + "/" + location.getWorkBaseName() + ".xel", del);
  try {
    Files files(location);
    files.setNameLayout(nameSize, fixed);
    bool exists = false;
    files.access4Read(exists);
    uint32_t blocks = exists ? files.dataControl().uiBlockCount : 0;
    for (uint32_t n = 0; n <= blocks + 1 && n < 8; ++n) {
      try {
        files.readDataBlock(n);
        ItlClDocMapBlockBase* block = files.getBlock();
        FUZZ_CHECK(block->getCount() <= 4096);
        if (ItlClDocMapBlockFix* fix = files.getFixBlock()) {
          FUZZ_CHECK(fix->getCount() <= fix->getCapacity());
          for (int i = 0; i < 16; ++i) {
            uint64_t number = in.below(70000);
            if (fix->searchDocNumber(number)) {
              FUZZ_CHECK(fix->slotNumber(fix->getCursor()) == number);
              FUZZ_CHECK(fix->getCursor() < fix->getCapacity());
            }
          }
        }
        block->mapBlock(files.getDataReadDescriptor(), "ix.did", n, blocks);
        FUZZ_CHECK(block->isMapped());
        volatile uint8_t sink = block->getData()[ITL_DOCMAP_BLOCK_SIZE - 1];
        (void)sink;
        block->unmapBlock();
      } catch (ItlClException const&) {
      }
    }
  } catch (ItlClException const&) {
  }

  try {
    ItlClDeletedDocs docs(location);
    docs.access4Read();
    for (int i = 0; i < 8; ++i) {
      uint64_t number = in.below(1000);
      docs.reassignIfDeleted(&number);
    }
    docs.access4Update();
    _ItlStDocumentId id{"x", 1};
    for (int i = 0; i < 4; ++i) {
      try {
        docs.deleteDocumentNumber(in.below(1000), &id);
      } catch (ItlClException const& e) {
        FUZZ_CHECK(e.getReasonCode() == 303);
      }
    }
    docs.updateDeletionBuffer();
    docs.writeDeletionBuffer();
  } catch (ItlClException const&) {
  }
  return 0;
}
