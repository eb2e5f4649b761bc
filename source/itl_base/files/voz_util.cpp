// voz_util.cpp -- small engine services (see voz_util.hpp).
#include "files/voz_util.hpp"

#include <cstdlib>
#include <cstring>

#include "files/voz_exception.hpp"
#include "files/voz_status.hpp"

int32_t voz_ReallocArea(int32_t newSize, char** base, char** end,
                        char** cursor, int32_t kind, GTRSTATUS* st) {
    if (newSize < 0) {  // no area has a negative size
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 295);
        return st->retcode;
    }
    if (newSize >= VOZ_WORKAREA_CEILING) {
        if (kind == VOZ_AREA_CREATION)
            voz_setStatus(st, VOZ_RC_WORK_TOO_LARGE, 296);
        else if (kind == VOZ_AREA_MERGE)
            voz_setStatus(st, VOZ_RC_WORK_TOO_LARGE2, 299);
        else  // an unknown kind must not pass as success with no growth
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 295);
        return st->retcode;
    }
    ptrdiff_t used = *cursor - *base;
    char* grown = static_cast<char*>(
        realloc(*base, static_cast<size_t>(newSize > 0 ? newSize : 1)));
    if (grown == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 222);
        return st->retcode;
    }
    *base = grown;
    *end = grown + newSize;
    *cursor = grown + used;
    return 0;
}

void voz_SortINT4(int32_t* array, int32_t count) {
    GTRSTATUS unused{};  // the sort never fails
    CVozFunctions::SortINT4(array, count, &unused);
}

char* voz_strtok_r(char* string, const char* delimiters, char** savePointer) {
    return strtok_r(string, delimiters, savePointer);
}

char* voz_ctime_r(const time_t* time, char* buffer) {
    return ctime_r(time, buffer);
}
