// Fuzz target: deleted-document files. The input is the file; it is loaded
// (a count beyond the file must be refused by exception), numbers from the
// file's own bytes are registered on top, and the list is written and
// loaded again: the second load must give exactly the list in memory.
// The loader takes the numbers as stored; a file whose numbers are not
// ascending and in range is not checked further here.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/voz_deldocs.hpp"
#include "files/voz_exception.hpp"
#include "postings/voz_idxset.hpp"
#include "fuzz_input.hpp"

namespace {

std::string path(char const* what) {
  return std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
         "/ti_deldocs_fuzz_" + std::to_string(getpid()) + what;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 65536) return 0;
  static std::string const in = path(".DEL"), out = path("_out.DEL");
  static bool cleanup = std::atexit([] { remove(in.c_str()); }) == 0;
  (void)cleanup;
  FILE* f = fopen(in.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(fwrite(data, 1, size, f) == size);
  fclose(f);

  CVozDeletedDocs docs;
  try {
    docs.Internalize(in.c_str());
  } catch (CVozException const&) {
    return 0;  // refused; nothing more to check
  }
  for (uint32_t i = 0; i < docs.Count(); ++i)
    if ((i > 0 && docs.Numbers()[i - 1] >= docs.Numbers()[i]) ||
        docs.Numbers()[i] > 2147483646u)
      return 0;

  // Numbers taken from the input's tail, some of them out of range.
  std::vector<uint32_t> more;
  for (size_t at = size >= 16 ? size - 16 : 0; at + 4 <= size; at += 4)
    more.push_back((uint32_t)data[at] << 24 | data[at + 1] << 16 |
                   data[at + 2] << 8 | data[at + 3]);
  try {
    docs.RegisterDeletedDocs(more.data(), (uint32_t)more.size());
  } catch (CVozException const& e) {
    FUZZ_CHECK(e.retcode == 30);
  }
  for (uint32_t i = 1; i < docs.Count(); ++i)
    FUZZ_CHECK(docs.Numbers()[i - 1] < docs.Numbers()[i]);
  std::vector<uint32_t> before(docs.Numbers(), docs.Numbers() + docs.Count());
  voz_RemoveTree(out.c_str());  // a written list is a partitioned file
  docs.Externalize(out.c_str());
  CVozDeletedDocs back;
  back.Internalize(out.c_str());
  FUZZ_CHECK(std::vector<uint32_t>(back.Numbers(), back.Numbers() + back.Count()) ==
             before);
  voz_RemoveTree(out.c_str());
  return 0;
}
