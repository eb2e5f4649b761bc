// voz_sysparm.hpp -- the builder's system parameters for one run: pattern
// pool size and growth step, debug time log and flush switches.
//
// Three layers, later ones winning: built-in defaults per mode (batch or
// online), the optional text file "GTRSYS" in the current directory, and
// the caller's GTRSYSPARM. Nothing is kept between runs.
//
// "GTRSYS", read line by line (at most 254 characters a line; longer lines
// count as several), tokens separated by blanks, newlines and carriage
// returns; batch mode takes a line's first token, online mode its second:
//   line 1  pool size (bytes, or MB with line 8 'M')
//   line 2  pool size delta
//   line 3  ignored
//   line 4  'D' or 'N': time log (first character)
//   line 5  "<<<<<vvglength>>>>>" and a number: ignored (one column)
//   line 6  'Y' or 'N': flush switch
//   line 7  ignored
//   line 8  'M' or 'N': the sizes are in megabytes
// A size outside its range (bytes 8192..2147483647, or 1..2047 MB) falls
// back to the mode's default, whatever the file's line count.
#ifndef VOZ_SYSPARM_HPP
#define VOZ_SYSPARM_HPP

#include <cstdint>

struct GTRSYSPARM;

// The system parameters of one run.
struct VOZSYSPARM {
    int32_t poolSize;          // bytes of the pattern pool
    int32_t poolSizeDelta;     // bytes by which the pool may grow at a time
    int32_t reserved;          // always 0
    char timeLogFlag;          // 'D' prints the debug time log, 'N' not
    char flushFlag;            // 'Y' or 'N', kept in the work block
    uint8_t reservedByte;
    char sizeUnit;             // always 'N' on return
};

// Built-in sizes (bytes).
constexpr int32_t VOZ_POOL_BATCH = 8388608;
constexpr int32_t VOZ_POOL_ONLINE = 1048576;
constexpr int32_t VOZ_POOL_DELTA = 1048576;
constexpr int32_t VOZ_POOL_MIN = 8192;
constexpr int32_t VOZ_POOL_MAX = 2147483647;

// Fills *out for mode `mode` ('B' batch, anything else online) from the
// defaults, "GTRSYS" and `sysp` (may be null). `creationWord` is not read;
// *wordOut, when given, is set to 0. Never fails.
void voz_GetGTRsysparm(char mode, const GTRSYSPARM* sysp, VOZSYSPARM* out,
                       int32_t creationWord, int32_t* wordOut);

#endif  // VOZ_SYSPARM_HPP
