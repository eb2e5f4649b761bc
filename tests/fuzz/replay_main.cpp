// The plain driver of the fuzz targets: runs LLVMFuzzerTestOneInput once on
// every file named on the command line, or on every file of a named
// directory (sorted, not recursive). Built with the ordinary compiler and
// flags (sanitizers included), it replays the committed seed corpora as
// tests. Exit status 0 when every input ran; a finding aborts the run.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size);

namespace {

bool replayFile(std::filesystem::path const& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.c_str());
    return false;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                          std::istreambuf_iterator<char>());
  // Copy into a buffer of exactly the input's size so that the sanitizers
  // see any read past its end.
  std::vector<uint8_t> exact(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned count = 0;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path arg(argv[i]);
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(arg)) {
      for (auto const& entry : std::filesystem::directory_iterator(arg))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
    } else {
      files.push_back(arg);
    }
    if (files.empty()) {
      std::fprintf(stderr, "no inputs in %s\n", argv[i]);
      return 1;
    }
    for (auto const& f : files) {
      if (!replayFile(f)) return 1;
      ++count;
    }
  }
  std::printf("%u inputs replayed\n", count);
  return count == 0 ? 1 : 0;
}
