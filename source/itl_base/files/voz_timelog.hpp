// voz_timelog.hpp -- the debug time log of index creation.
//
// With the builder's display switch set to 'D' the creation prints when each
// phase begins and, at the end, how many seconds each phase took. With any
// other switch every call does nothing. This is the only engine output on
// standard output; it exists for the operator who asked for it.
#ifndef VOZ_TIMELOG_HPP
#define VOZ_TIMELOG_HPP

#include <cstdint>

// Phases of the time log (written into the log's phase word).
enum : int32_t {
    VOZ_PHASE_OTHER = 1,
    VOZ_PHASE_SORT1 = 2,
    VOZ_PHASE_SORT2 = 3,
    VOZ_PHASE_WRITE = 4,
    VOZ_PHASE_MERGE = 5
};

// Time log record, caller-allocated and zeroed: eight 32-bit words.
struct VOZ_TIMELOG {
    uint32_t startTime;     // time() of the first logged call; 0 before
    uint32_t seconds[5];    // accumulated seconds of phases 1..5
    uint32_t lastTime;      // time() of the last logged call
    int32_t phase;          // current phase, 1..5; other values: none
};

// Switch value that enables the log.
constexpr char VOZ_TIMELOG_ON = 'D';

// Charges the time since the last call to the current phase, enters `phase`
// and, with stamp 'T', prints "\n<ctime> " before `message`.
void voz_TimeLogC(VOZ_TIMELOG* log, const char* message, int32_t phase,
                  char stamp, char logSwitch);

// Prints the seconds of each phase and the total.
void voz_TotalTimeC(const VOZ_TIMELOG* log, char logSwitch);

// Prints "\n<ctime> <message>".
void voz_TimeLog(const char* message, char logSwitch);

#endif  // VOZ_TIMELOG_HPP
