// cos_time.hpp: sleeping, wall-clock timing and the trace time stamp.
//
// The sleep functions take unsigned 32-bit arguments and convert between
// units in 32-bit arithmetic (a product that passes 2^32 wraps); each
// returns what the platform call returned: sleep()'s unslept seconds for
// the second-based family, select()'s result (0, or -1 when a signal cut
// the wait short) for the microsecond-based family. Nothing here allocates
// or throws.
#ifndef COS_TIME_HPP
#define COS_TIME_HPP

#include <cstdint>

unsigned cosSleepHours(uint32_t hours);      // cosSleepMinutes(hours * 60)
unsigned cosSleepMinutes(uint32_t minutes);  // cosSleepSeconds(minutes * 60)
unsigned cosSleepSeconds(uint32_t seconds);  // sleep(seconds)
int cosSleepMilliSeconds(uint32_t milliSeconds);  // cosSleepMicroSeconds(ms * 1000)
int cosSleepMicroSeconds(uint32_t microSeconds);  // select() with that timeout

// Time stamp of trace records: this platform supplies none, so always 0.
uint32_t cosGetTimeStamp();

// Four measurements that the index library keeps per timed activity; the
// users decide what each holds (typically start, end, last and total, in
// seconds from wallClockTime()).
class CosClTiming {
  public:
    // Sets the four values to 0; the flag changes nothing.
    void init(bool flag = false);
    // Current time of day in seconds since the epoch, microsecond precision.
    static double wallClockTime();

    double iv_dStart = 0;
    double iv_dEnd = 0;
    double iv_dLast = 0;
    double iv_dTotal = 0;
};

#endif  // COS_TIME_HPP
