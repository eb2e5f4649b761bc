// Fuzz target: the trace-file reader and formatter. The first byte chooses
// the format string and the formatter's flags; the rest is the trace file,
// written to a file of this process and formatted whole. A damaged file
// must end in the formatter's exception, never in a crash or in output out
// of proportion to the file.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "cos_exception.hpp"
#include "cos_traceformat.hpp"
#include "fuzz_input.hpp"

namespace {

char const* const kFormats[] = {
    "%f|%l|%c|%p|%t|%s|%m|%x|%d%n",
    "%X %d %d%n",
    "",
    "\\t%m\\\\%q%%%d\\n%",
    "%d",
    "[%f]%m%d\\n",
    "%x",
    "%n%n%d%n%n",
};

std::string fileName() {
  char const* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(dir) + "/ti_tracefile_fuzz_" + std::to_string(getpid()) + ".trc";
}

CosClTraceEnvironment& environment() {
  static std::unique_ptr<CosClTraceEnvironment> env;
  if (!env) {
    setenv("TIFUZZ_TRACE_DETAIL", "HIGH", 1);
    env.reset(new CosClTraceEnvironment("tifuzz", nullptr, true));
    env->setFileName(fileName().c_str());
    std::atexit([] { remove(fileName().c_str()); });
  }
  return *env;
}

// Counts the bytes written; keeps none.
class CountingBuf : public std::streambuf {
 public:
  size_t count = 0;

 protected:
  int overflow(int c) override {
    ++count;
    return c == EOF ? 0 : c;
  }
  std::streamsize xsputn(char const*, std::streamsize n) override {
    count += (size_t)n;
    return n;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 65536) return 0;
  FuzzInput in(data, size);
  uint8_t choice = in.byte();
  std::string file = in.rest();
  CosClTraceEnvironment& env = environment();
  {
    std::ofstream out(env.getFileName().getAsCString(),
                      std::ios::binary | std::ios::trunc);
    out.write(file.data(), (std::streamsize)file.size());
  }
  CosClTraceFormatter formatter(env);
  formatter.setFormatString(kFormats[choice % (sizeof kFormats / sizeof kFormats[0])]);
  formatter.setDisplayIndentation((choice & 8) ? "  " : nullptr);
  formatter.setShowNestingLevel((choice & 16) != 0);
  formatter.setShowFunctionRecords((choice & 32) == 0);
  formatter.setShowFunctionOnEveryRecord((choice & 64) == 0);
  formatter.setShowHex((choice & 128) != 0);
  CountingBuf counter;
  std::ostream sink(&counter);
  try {
    formatter.format(sink);
  } catch (CosClExceptionFatal const&) {
    // A damaged file: reported, and what was printed stays printed.
  }
  // Output stays in proportion to the file: a record (at least 20 bytes)
  // prints its texts and values and a few newlines, a hex dump one line
  // per 16 bytes of data, and each line at most the deepest indentation
  // the formatter accepts (65,536 levels of two characters).
  size_t lines = file.size() / 16 + 6 * (file.size() / 20 + 1);
  FUZZ_CHECK(counter.count <= 64 + 300 * file.size() + lines * 131072);
  return 0;
}
