// voz_sysparm.cpp -- voz_GetGTRsysparm: defaults, the file "GTRSYS" and the
// caller's GTRSYSPARM (see voz_sysparm.hpp).
#include "build/voz_sysparm.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/voz_records_create.hpp"
#include "files/voz_util.hpp"

namespace {

constexpr int32_t kMB = 1048576;
constexpr int32_t kMaxMB = VOZ_POOL_MAX / kMB;     // 2047
constexpr int kLineChars = 255;                    // 254 and the NUL

// Byte 13 (flush switch) and byte 15 ('M': sizes in megabytes) of the
// caller's record.
char callerFlushFlag(const GTRSYSPARM* p) { return static_cast<char>(p->filler[0]); }
char callerSizeUnit(const GTRSYSPARM* p) { return static_cast<char>(p->filler[2]); }

// A size of the file or the caller in its unit, checked: megabytes 1..2047
// or bytes VOZ_POOL_MIN..VOZ_POOL_MAX; outside, the default.
int32_t checkedSize(int64_t value, char unit, int32_t dflt) {
    if (unit == 'M') return value >= 1 && value <= kMaxMB ? static_cast<int32_t>(value) * kMB : dflt;
    return value >= VOZ_POOL_MIN && value <= VOZ_POOL_MAX ? static_cast<int32_t>(value) : dflt;
}

// The token of this mode on `line` (the first in batch, else the second);
// null when the line has none.
char* modeToken(char* line, bool batch) {
    char* save = nullptr;
    char* t = voz_strtok_r(line, " \n\r", &save);
    if (!batch && t != nullptr) t = voz_strtok_r(nullptr, " \n\r", &save);
    return t;
}

// Applies the file "GTRSYS" of the current directory, when there is one.
void readFile(bool batch, VOZSYSPARM* p, int32_t dPool, int32_t dDelta) {
    FILE* f = fopen("GTRSYS", "r");
    if (f == nullptr) return;
    char line[kLineChars];
    int64_t pool = p->poolSize, delta = p->poolSizeDelta;
    int lines = 0;
    while (fgets(line, sizeof line, f) != nullptr) {
        ++lines;
        if (lines == 5 || lines == 3 || lines == 7) continue;  // ignored
        char* t = modeToken(line, batch);
        if (t == nullptr) continue;
        switch (lines) {
        case 1: pool = strtoll(t, nullptr, 10); break;
        case 2: delta = strtoll(t, nullptr, 10); break;
        case 4: if (t[0] == 'D' || t[0] == 'N') p->timeLogFlag = t[0]; break;
        case 6: if (t[0] == 'Y' || t[0] == 'N') p->flushFlag = t[0]; break;
        case 8: if (t[0] == 'M' || t[0] == 'N') p->sizeUnit = t[0]; break;
        default: break;
        }
    }
    fclose(f);
    // Every size the file gave is checked, however short the file: an
    // unchecked size of a few bytes would leave no room for one pattern.
    p->poolSize = checkedSize(pool, p->sizeUnit, dPool);
    p->poolSizeDelta = checkedSize(delta, p->sizeUnit, dDelta);
    p->sizeUnit = 'N';
}

}  // namespace

void voz_GetGTRsysparm(char mode, const GTRSYSPARM* sysp, VOZSYSPARM* out,
                       int32_t creationWord, int32_t* wordOut) {
    (void)creationWord;
    bool batch = mode == 'B';
    int32_t dPool = batch ? VOZ_POOL_BATCH : VOZ_POOL_ONLINE;
    int32_t dDelta = VOZ_POOL_DELTA;
    *out = VOZSYSPARM{dPool, dDelta, 0, 'D', 'N', 0, 'N'};
    readFile(batch, out, dPool, dDelta);
    if (sysp != nullptr) {
        if (callerSizeUnit(sysp) == 'M') {
            out->poolSize = checkedSize(sysp->poolsize, 'M', dPool);
            out->poolSizeDelta = checkedSize(sysp->poolsizedelta, 'M', dDelta);
        } else {
            if (sysp->poolsize >= VOZ_POOL_MIN) out->poolSize = sysp->poolsize;
            if (sysp->poolsizedelta >= VOZ_POOL_MIN)
                out->poolSizeDelta = sysp->poolsizedelta;
        }
        if (sysp->displaylog == 'D' || sysp->displaylog == 'N')
            out->timeLogFlag = sysp->displaylog;
        char flush = callerFlushFlag(sysp);
        if (flush == 'Y' || flush == 'N') out->flushFlag = flush;
    }
    if (wordOut != nullptr) *wordOut = 0;
}
