// Fuzz target: the document-name mapping on a damaged index set. The input
// gives a layout byte, the five map files, optional leftovers of an
// interrupted commit (".!" set-aside files, prepared ".#" files, the mark
// ".#dm") and names and numbers to look up. Recovery, the file-set check,
// read access, single and batch lookups, one assignment, end and commit
// run. Only ItlClException may come out.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "docmap_fuzz_util.hpp"
#include "fuzz_input.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_error.hpp"
#include "itl_index_location.hpp"
#include "ti_test_util.hpp"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 400000) return 0;
  std::string const& dir = docmapFuzzScratch("docmap_mapping");
  std::error_code ec;
  std::filesystem::remove_all(dir + "/i", ec);
  std::filesystem::remove_all(dir + "/w", ec);
  mkdir((dir + "/i").c_str(), 0700);
  mkdir((dir + "/w").c_str(), 0700);

  FuzzInput in(data, size);
  uint8_t layout = in.byte();
  bool fixed = (layout & 0x80) != 0;
  uint16_t nameSize = static_cast<uint16_t>(1 + (layout & 0x3F));
  uint8_t present = in.byte();
  char const* live[] = {".did", ".dii", ".ded", ".dei", ".del"};
  for (int i = 0; i < 5; ++i) {
    std::string bytes = docmapFuzzPiece(in);
    if ((present >> i) & 1) writeFile(dir + "/i/ix" + live[i], bytes);
  }
  // Leftovers of an interrupted commit.
  uint8_t leftovers = in.byte();
  char const* extra[] = {".!id", ".!ii", ".#id", ".#ei", ".#dm", ".#el"};
  for (int i = 0; i < 6; ++i)
    if ((leftovers >> i) & 1) writeFile(dir + "/i/ix" + extra[i], in.take(in.below(200)));

  ItlClErrorInfo info;
  ItlClIndexLocation location("ix", (dir + "/i").c_str(), (dir + "/w").c_str());
  try {
    ItlClDocumentNameMapping m(info, location);
    m.setNameLayout(nameSize, fixed);
    try {
      m.recoverInterruptedCommit(false);
      m.checkFileSet();
      m.access4Read();
      std::string buffer(nameSize, '\0');
      for (int i = 0; i < 8; ++i) {
        try {
          _ItlStDocumentId id{&buffer[0], nameSize};
          m.mapNumberToDocumentName(in.below(5000), &id);
          FUZZ_CHECK(id.usDocIdLength <= nameSize);
        } catch (ItlClException const&) {
        }
      }
      std::vector<uint64_t> numbers;
      for (int i = 0; i < 6; ++i) numbers.push_back(in.below(5000));
      std::vector<uint16_t> lengths(numbers.size());
      std::vector<char> names(numbers.size() * nameSize);
      try {
        if (fixed)
          m.mapNumbersToNamesFix(numbers.size(), nameSize, numbers.data(),
                                 lengths.data(), names.data(), in.flag());
        else
          m.mapNumbersToNamesSeq(numbers.size(), nameSize, numbers.data(),
                                 lengths.data(), names.data(), in.flag());
      } catch (ItlClException const&) {
      }
    } catch (ItlClException const&) {
    }
    std::string name = in.take(nameSize);
    if (fixed) name.resize(nameSize, 'n');
    if (name.empty()) name = "n";
    _ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
    uint64_t number = 0;
    bool isNew = false;
    m.assignDocumentNameToNumber(&id, &number, isNew);
    m.onIndexFileEndTransaction();
    m.onIndexFileCommitTransaction();
  } catch (ItlClException const&) {
  }
  return 0;
}
