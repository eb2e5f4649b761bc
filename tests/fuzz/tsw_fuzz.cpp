// Fuzz target: the stop-word converter. The bytes are a ".tsw" file; the
// ".stw" text it gives has one non-empty line per word, every line ends in
// "\n", it is valid UTF-8 and holds no control character of ASCII.
#include <string>

#include "fuzz_input.hpp"
#include "itl_index_stw.hpp"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  std::string out;
  uint32_t words = ItlClIndexStwLoader::convertBytes(
      data, static_cast<uint32_t>(size), out);
  uint32_t lines = 0;
  size_t start = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c == '\n') {
      FUZZ_CHECK(i > start);
      ++lines;
      start = i + 1;
    } else {
      FUZZ_CHECK(c >= 0x20 && c != 0x7f);
    }
  }
  FUZZ_CHECK(start == out.size());
  FUZZ_CHECK(lines == words);
  return 0;
}
