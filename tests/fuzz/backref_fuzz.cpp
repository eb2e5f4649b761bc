// Fuzz target: back-reference files, an earlier search's result read as a
// word. The first byte chooses the query that names the file (alone or
// with a word of the small index, fuzz_index.hpp) and the result type; the
// second whether a 128-byte header is put in front of the records and its
// flags (sorted, document numbers); the rest is the records. A file that
// the search takes gives hits only from its own records; a file of a
// result that the engine wrote itself is taken and gives its documents
// back.

#include <cstring>
#include <set>
#include <string>

#include "fuzz_index.hpp"

namespace {

using fuzzidx::Answer;

// The document numbers that the records of the file name (any value): a
// file whose first word is 0xFFFFFFFF has a header of 128 bytes, whose flag
// 0x40 makes the records 4-byte document numbers.
std::set<int32_t> fileDocs(std::string const& file) {
  std::set<int32_t> docs;
  size_t at = 0, step = sizeof(OCC);
  uint32_t first = 0;
  if (file.size() >= 4) memcpy(&first, file.data(), 4);
  if (first == 0xFFFFFFFFu) {
    uint32_t flags = 0;
    if (file.size() >= 16) memcpy(&flags, file.data() + 12, 4);
    at = 128;
    if (flags & 0x40) step = 4;
  }
  for (; at + 4 <= file.size(); at += step) {
    int32_t d;
    memcpy(&d, file.data() + at, 4);
    docs.insert(d);
  }
  return docs;
}

GTRSEARCH_COND queryCond(std::string& text) {
  GTRSEARCH_COND c;
  memset(&c, 0, sizeof c);
  c.codepage = 34;
  c.cond_type = GTR_COND_QUERY;
  c.query = &text[0];
  return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 65536) return 0;
  fuzzidx::SmallIndex const& ix = fuzzidx::smallIndex();
  FuzzInput in(data, size);
  uint8_t choice = in.byte();
  uint8_t header = in.byte();
  std::string records = in.rest();
  std::string file = fuzzidx::scratchDir() + "/backref";
  std::string bytes = records;
  if (header & 1) {
    std::string head(128, '\0');
    uint32_t flags = header & 0xC0;
    uint32_t first = 0xFFFFFFFFu;
    memcpy(&head[0], &first, 4);
    memcpy(&head[12], &flags, 4);
    bytes = head + records;
  }
  fuzzidx::writeFile(file, bytes);

  static char const* const shapes[] = {"", " * alpha", " + run", " - beta",
                                       " *3 gamma", " + 'BR'"};
  std::string text = "'" + file + "'" + shapes[choice % 6];
  size_t self = text.find("BR");
  if (self != std::string::npos) text.replace(self, 2, file);
  static uint8_t const results[] = {GTR_RES_HANDLE, GTR_RES_FILE,
                                    GTR_RES_FILE_HEADER, GTR_RES_NONE};
  uint8_t resType = results[(choice >> 4) & 3];
  Answer a = fuzzidx::search(ix, queryCond(text), nullptr, resType, nullptr, fuzzidx::Expect::AnyDocs);
  if (a.st.retcode == 0 && (choice % 6 == 0 || choice % 6 == 1 || choice % 6 == 5)) {
    std::set<int32_t> named = fileDocs(bytes);
    for (int32_t d : a.docs) FUZZ_CHECK(named.count(d) == 1);
  }

  // A result file the engine wrote (with or without its header) reads back
  // as the same documents.
  if (a.st.retcode == 0 && (resType == GTR_RES_FILE || resType == GTR_RES_FILE_HEADER) &&
      choice % 6 != 5) {
    std::string again = fuzzidx::scratchDir() + "/backref2";
    FUZZ_CHECK(rename((fuzzidx::scratchDir() + "/result").c_str(), again.c_str()) == 0);
    std::string text2 = "'" + again + "'";
    Answer b = fuzzidx::search(ix, queryCond(text2), nullptr, GTR_RES_HANDLE, nullptr, fuzzidx::Expect::AnyDocs);
    FUZZ_CHECK(b.st.retcode == 0 && b.docs == a.docs);
  }
  return 0;
}
