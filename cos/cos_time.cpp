// cos_time.cpp: sleeping through sleep()/select(), wall-clock time through
// gettimeofday() (contracts in cos_time.hpp).
#include "cos_time.hpp"

#include <sys/select.h>
#include <sys/time.h>
#include <unistd.h>

unsigned cosSleepHours(uint32_t hours) {
    return cosSleepMinutes(hours * 60u);
}

unsigned cosSleepMinutes(uint32_t minutes) {
    return cosSleepSeconds(minutes * 60u);
}

unsigned cosSleepSeconds(uint32_t seconds) {
    return ::sleep(seconds);
}

int cosSleepMilliSeconds(uint32_t milliSeconds) {
    return cosSleepMicroSeconds(milliSeconds * 1000u);
}

int cosSleepMicroSeconds(uint32_t microSeconds) {
    // select() on no descriptors is a plain timed wait.
    struct timeval timeout;
    timeout.tv_sec = static_cast<time_t>(microSeconds / 1000000u);
    timeout.tv_usec = static_cast<suseconds_t>(microSeconds % 1000000u);
    return ::select(0, nullptr, nullptr, nullptr, &timeout);
}

uint32_t cosGetTimeStamp() {
    return 0;
}

void CosClTiming::init(bool) {
    iv_dStart = iv_dEnd = iv_dLast = iv_dTotal = 0;
}

double CosClTiming::wallClockTime() {
    struct timeval now;
    ::gettimeofday(&now, nullptr);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_usec) * 1e-6;
}
