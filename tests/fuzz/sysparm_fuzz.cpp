// Fuzz target: the system-parameter file "GTRSYS". The first byte chooses
// the mode (batch or online) and whether a caller's record is given, the
// next 16 bytes are that record (pool size, delta, the flag bytes); the
// rest is the file, written into the current directory (the process's
// scratch directory). Whatever the file holds, the parameters are usable
// (sizes within the builder's range, the flags among their letters) and
// equal those of a plain model of the file's lines and the record.

#include <unistd.h>

#include <cstring>
#include <string>

#include "build/voz_sysparm.hpp"
#include "files/voz_records_create.hpp"
#include "fuzz_index.hpp"

namespace {

constexpr int64_t kMB = 1048576;

int32_t checked(int64_t v, char unit, int32_t dflt) {
  if (unit == 'M') return v >= 1 && v <= VOZ_POOL_MAX / kMB ? static_cast<int32_t>(v * kMB) : dflt;
  return v >= VOZ_POOL_MIN && v <= VOZ_POOL_MAX ? static_cast<int32_t>(v) : dflt;
}

// The parameters as the file's lines and the record give them: lines of at
// most 254 characters (a longer one counts as several), each read up to
// its first NUL; the mode's token of the line (first in batch, second
// online) sets the line's parameter.
VOZSYSPARM model(char mode, GTRSYSPARM const* sys, std::string const* file) {
  bool batch = mode == 'B';
  int32_t dPool = batch ? VOZ_POOL_BATCH : VOZ_POOL_ONLINE;
  VOZSYSPARM p{dPool, VOZ_POOL_DELTA, 0, 'D', 'N', 0, 'N'};
  if (file != nullptr) {
    int64_t pool = p.poolSize, delta = p.poolSizeDelta;
    size_t at = 0;
    for (int line = 1; at < file->size(); ++line) {
      size_t end = at;
      while (end < file->size() && end - at < 254 && (end == at || (*file)[end - 1] != '\n'))
        ++end;
      std::string piece = file->substr(at, end - at);
      at = end;
      piece = piece.substr(0, piece.find('\0'));
      std::string tokens[2];
      size_t n = 0, i = 0;
      while (n < 2) {
        i = piece.find_first_not_of(" \n\r", i);
        if (i == std::string::npos) break;
        size_t j = piece.find_first_of(" \n\r", i);
        tokens[n++] = piece.substr(i, j == std::string::npos ? std::string::npos : j - i);
        i = j;
      }
      std::string const& t = tokens[batch ? 0 : 1];
      if (t.empty() || line == 3 || line == 5 || line == 7) continue;
      switch (line) {
        case 1: pool = strtoll(t.c_str(), nullptr, 10); break;
        case 2: delta = strtoll(t.c_str(), nullptr, 10); break;
        case 4: if (t[0] == 'D' || t[0] == 'N') p.timeLogFlag = t[0]; break;
        case 6: if (t[0] == 'Y' || t[0] == 'N') p.flushFlag = t[0]; break;
        case 8: if (t[0] == 'M' || t[0] == 'N') p.sizeUnit = t[0]; break;
        default: break;
      }
    }
    p.poolSize = checked(pool, p.sizeUnit, dPool);
    p.poolSizeDelta = checked(delta, p.sizeUnit, VOZ_POOL_DELTA);
    p.sizeUnit = 'N';
  }
  if (sys != nullptr) {
    if (sys->filler[2] == 'M') {
      p.poolSize = checked(sys->poolsize, 'M', dPool);
      p.poolSizeDelta = checked(sys->poolsizedelta, 'M', VOZ_POOL_DELTA);
    } else {
      p.poolSize = checked(sys->poolsize, 'N', p.poolSize);
      p.poolSizeDelta = checked(sys->poolsizedelta, 'N', p.poolSizeDelta);
    }
    if (sys->displaylog == 'D' || sys->displaylog == 'N') p.timeLogFlag = sys->displaylog;
    if (sys->filler[0] == 'Y' || sys->filler[0] == 'N') p.flushFlag = static_cast<char>(sys->filler[0]);
  }
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 8192) return 0;
  static bool const inDir = chdir(fuzzidx::scratchDir().c_str()) == 0;
  FUZZ_CHECK(inDir);
  FuzzInput in(data, size);
  uint8_t choice = in.byte();
  char mode = choice & 1 ? 'B' : 'O';
  GTRSYSPARM sys;
  memset(&sys, 0, sizeof sys);
  std::string rec = in.take(16);
  memcpy(&sys, rec.data(), rec.size());  // the first 16 bytes: sizes, flags
  std::string file = in.rest();
  if (choice & 4)
    unlink("GTRSYS");
  else
    fuzzidx::writeFile("GTRSYS", file);

  VOZSYSPARM out;
  memset(&out, 0xA5, sizeof out);
  int32_t word = -1;
  voz_GetGTRsysparm(mode, choice & 2 ? &sys : nullptr, &out, 12345, &word);
  FUZZ_CHECK(word == 0);
  FUZZ_CHECK(out.poolSize >= VOZ_POOL_MIN && out.poolSize <= VOZ_POOL_MAX);
  FUZZ_CHECK(out.poolSizeDelta >= VOZ_POOL_MIN && out.poolSizeDelta <= VOZ_POOL_MAX);
  FUZZ_CHECK(out.reserved == 0 && out.reservedByte == 0);
  FUZZ_CHECK(out.timeLogFlag == 'D' || out.timeLogFlag == 'N');
  FUZZ_CHECK(out.flushFlag == 'Y' || out.flushFlag == 'N');
  FUZZ_CHECK(out.sizeUnit == 'N');
  VOZSYSPARM expect = model(mode, choice & 2 ? &sys : nullptr, choice & 4 ? nullptr : &file);
  FUZZ_CHECK(out.poolSize == expect.poolSize && out.poolSizeDelta == expect.poolSizeDelta);
  FUZZ_CHECK(out.timeLogFlag == expect.timeLogFlag && out.flushFlag == expect.flushFlag);
  return 0;
}
