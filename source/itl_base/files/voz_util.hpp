// voz_util.hpp -- small services shared by the engine's builder and search:
// growth of work areas with a size ceiling, an in-place sort of 32-bit
// integers and re-entrant wrappers of strtok and ctime.
#ifndef VOZ_UTIL_HPP
#define VOZ_UTIL_HPP

#include <cstdint>
#include <ctime>

struct GTRSTATUS;

// Work areas may not reach this size (bytes).
constexpr int32_t VOZ_WORKAREA_CEILING = 0x2400000;

// Kinds of work area, chosen by the caller; they select the failure code
// when an area would pass VOZ_WORKAREA_CEILING.
enum : int32_t {
    VOZ_AREA_CREATION = 0,   // refused with return code 129, reason 296
    VOZ_AREA_MERGE = 1       // refused with return code 130, reason 299
};

// Grows (or shrinks) the work area [*base, *end) to newSize bytes with
// realloc; *cursor keeps its distance from *base. A newSize of at least
// VOZ_WORKAREA_CEILING is refused with 129/296 (kind 0), 130/299 (kind 1)
// or 17/295 (any other kind, or a negative newSize); out of memory gives
// 11/222. On failure the area and the three pointers are unchanged.
// Returns 0, or the status record's return code.
int32_t voz_ReallocArea(int32_t newSize, char** base, char** end,
                        char** cursor, int32_t kind, GTRSTATUS* st);

// Sorts count signed 32-bit values ascending in place (non-recursive
// quicksort, the storage classes' sort). Null or fewer than 2 items:
// nothing.
void voz_SortINT4(int32_t* array, int32_t count);

// POSIX strtok_r and ctime_r.
char* voz_strtok_r(char* string, const char* delimiters, char** savePointer);
char* voz_ctime_r(const time_t* time, char* buffer);

#endif  // VOZ_UTIL_HPP
