// Fuzz target: the index configuration readers. The first byte chooses the
// warning threshold; the rest is written as "<index>.ini" and as
// "<index>.ipa" and read by onIndexFileInit and loadR1. Each read ends in
// success, a warning or an ItlClException with reason 16, 110-113 or 38;
// a configuration read from the .ini writes a file that reads back to the
// same text (unless a line would be too long: 112).
#include <stdlib.h>

#include <sstream>
#include <string>

#include "fuzz_input.hpp"
#include "itl_error.hpp"
#include "itl_index_config.hpp"
#include "itl_index_location.hpp"

namespace {

std::string const& scratch() {
  static std::string dir = [] {
    char tmpl[] = "/tmp/config_fuzz.XXXXXX";
    char const* made = mkdtemp(tmpl);
    return std::string(made != nullptr ? made : "/tmp") + "/";
  }();
  return dir;
}

bool writeBytes(std::string const& path, std::string const& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool expectedReason(int reason) {
  return reason == 16 || (reason >= 110 && reason <= 113) || reason == 38;
}

std::string format(ItlClIndexConfig const& config) {
  std::ostringstream out;
  config.formatAsR3(out);
  return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  FuzzInput in(data, size);
  uint32_t threshold = in.byte() % 4;
  std::string bytes = in.rest();
  std::string const& dir = scratch();
  FUZZ_CHECK(writeBytes(dir + "idx.ini", bytes));
  FUZZ_CHECK(writeBytes(dir + "idx.ipa", bytes));
  ItlClIndexLocation location("idx", dir.c_str());

  ItlClErrorInfo info;
  info.setWarningThreshold(threshold);
  ItlClIndexConfig config(location, info);
  bool read = false;
  try {
    config.onIndexFileInit();
    read = true;
  } catch (ItlClException const& e) {
    FUZZ_CHECK(expectedReason(e.getReasonCode()));
  }
  if (read) {
    FUZZ_CHECK(info.getReturnCode() == ItlEnReturnCode_Success ||
               info.getReturnCode() == ItlEnReturnCode_Warning);
    std::string first = format(config);
    bool written = false;
    try {
      config.writeAsR3File();
      written = true;
    } catch (ItlClException const& e) {
      FUZZ_CHECK(e.getReasonCode() == 112);
    }
    if (written) {
      ItlClErrorInfo again;
      ItlClIndexConfig reader(location, again);
      reader.onIndexFileInit();  // must not throw
      FUZZ_CHECK(format(reader) == first);
    }
  }

  ItlClErrorInfo r1Info;
  ItlClIndexConfig r1(location, r1Info);
  try {
    r1.loadR1();
  } catch (ItlClException const& e) {
    FUZZ_CHECK(expectedReason(e.getReasonCode()));
  }
  return 0;
}
