// Helpers of the document-map fuzz targets: a scratch folder per process
// (on /dev/shm when writable), removed at exit, and map-file pieces of up
// to four 32768-byte blocks and a bit.
#ifndef TI_DOCMAP_FUZZ_UTIL_HPP
#define TI_DOCMAP_FUZZ_UTIL_HPP

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz_input.hpp"

// The scratch folder "<shm or tmp>/ti_<target>_fuzz_<pid>", made on the
// first call and removed when the process exits.
inline std::string const& docmapFuzzScratch(char const* target) {
  static std::string const dir = [target] {
    std::string d = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm"
                                                             : "/tmp") +
                    "/ti_" + target + "_fuzz_" + std::to_string(getpid());
    mkdir(d.c_str(), 0700);
    return d;
  }();
  // Registered once the folder's name is complete, so that it runs before
  // the name is destroyed.
  static bool const cleanup = std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(docmapFuzzScratch(nullptr), ec);
  }) == 0;
  (void)cleanup;
  return dir;
}

// A piece of up to four blocks and a bit.
inline std::string docmapFuzzPiece(FuzzInput& in) {
  size_t length = in.below(4) * 32768 + in.below(32768 + 45);
  return in.take(length);
}

#endif
