// Fuzz target: both directions of a document map on damaged files. The
// input gives a layout byte (fixed or sequential, name size), then ".did",
// ".dii", ".ded", ".dei" and ".del" as length-prefixed pieces; the rest
// feeds lookups. Both maps are opened, numbers and names from the input are
// looked up both ways, then a small update (two names, one deletion) and a
// merge run. Only ItlClException may come out.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "../itl_index/docmap_pair.hpp"
#include "docmap_fuzz_util.hpp"
#include "fuzz_input.hpp"
#include "itl_error.hpp"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 400000) return 0;
  std::string const& dir = docmapFuzzScratch("docmap_maps");
  std::error_code ec;
  std::filesystem::remove_all(dir + "/i", ec);
  std::filesystem::remove_all(dir + "/w", ec);

  FuzzInput in(data, size);
  uint8_t layout = in.byte();
  bool fixed = (layout & 0x80) != 0;
  uint16_t nameSize = static_cast<uint16_t>(1 + (layout & 0x3F));
  docmap_test::MapPair pair(dir + "/i", dir + "/w", nameSize, fixed);
  for (char const* ext : {".did", ".dii", ".ded", ".dei", ".del"}) {
    std::string bytes = docmapFuzzPiece(in);
    if (!bytes.empty() || in.flag()) writeFile(pair.idx(ext), bytes);
  }
  try {
    pair.read();
    for (int i = 0; i < 24; ++i) {
      try {
        if (i % 2 == 0) {
          uint64_t number = in.below(70000);
          std::string name = pair.name(number);
          FUZZ_CHECK(name.size() <= nameSize);
        } else {
          pair.number(in.take(in.below(nameSize + 2u)));
        }
      } catch (ItlClException const&) {
      }
    }
  } catch (ItlClException const&) {
  }
  pair.reopenObjects();
  try {
    pair.begin();
    std::string a = in.take(nameSize), b = "fuzz-name";
    if (fixed) b.resize(nameSize, 'z');
    if (b.size() > nameSize) b.resize(nameSize);
    try {
      pair.assign(a);
    } catch (ItlClException const&) {
    }
    pair.assign(b);
    try {
      pair.remove(in.take(in.below(nameSize + 1u)));
    } catch (ItlClException const&) {
    }
    pair.end();
    pair.begin();
    pair.end(true);
  } catch (ItlClException const&) {
  } catch (int rc) {
    std::fprintf(stderr, "sort failed: %d\n", rc);
    FUZZ_CHECK(false);
  }
  return 0;
}
