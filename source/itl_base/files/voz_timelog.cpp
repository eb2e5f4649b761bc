// voz_timelog.cpp -- debug time log of index creation (see voz_timelog.hpp).
#include "files/voz_timelog.hpp"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "files/voz_util.hpp"

namespace {

// ctime text of `now` without its final newline, in `buf` (>= 26 bytes).
const char* stampText(time_t now, char* buf) {
    if (voz_ctime_r(&now, buf) == nullptr) {
        buf[0] = '\0';
        return buf;
    }
    size_t n = strlen(buf);
    if (n > 0 && buf[n - 1] == '\n') buf[n - 1] = '\0';
    return buf;
}

}  // namespace

void voz_TimeLogC(VOZ_TIMELOG* log, const char* message, int32_t phase,
                  char stamp, char logSwitch) {
    if (logSwitch != VOZ_TIMELOG_ON) return;
    time_t now = time(nullptr);
    uint32_t now32 = static_cast<uint32_t>(now);
    if (log->phase >= VOZ_PHASE_OTHER && log->phase <= VOZ_PHASE_MERGE)
        log->seconds[log->phase - 1] += now32 - log->lastTime;
    log->phase = phase;
    log->lastTime = now32;
    if (stamp == 'T') {
        char buf[64];
        printf("\n%s ", stampText(now, buf));
    }
    printf("%s", message != nullptr ? message : "");
    fflush(stdout);
    if (log->startTime == 0) log->startTime = now32;
}

void voz_TotalTimeC(const VOZ_TIMELOG* log, char logSwitch) {
    if (logSwitch != VOZ_TIMELOG_ON) return;
    auto sec = [&](int32_t phase) {
        return static_cast<long>(log->seconds[phase - 1]);
    };
    printf("\n-----------------------------------------------------------------------\n");
    printf("Sort1                         %5ld (sec)\n", sec(VOZ_PHASE_SORT1));
    printf("Sort2                         %5ld (sec)\n", sec(VOZ_PHASE_SORT2));
    printf("Write                         %5ld (sec)\n", sec(VOZ_PHASE_WRITE));
    printf("Other(including caller's time)%5ld (sec)\n", sec(VOZ_PHASE_OTHER));
    if (sec(VOZ_PHASE_MERGE) != 0)
        printf("Merge                         %5ld (sec)\n",
               sec(VOZ_PHASE_MERGE));
    printf("Total                         %5ld (sec)\n",
           static_cast<long>(log->lastTime - log->startTime));
    fflush(stdout);
}

void voz_TimeLog(const char* message, char logSwitch) {
    if (logSwitch != VOZ_TIMELOG_ON) return;
    char buf[64];
    printf("\n%s %s", stampText(time(nullptr), buf),
           message != nullptr ? message : "");
    fflush(stdout);
}
