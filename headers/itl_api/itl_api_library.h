/* itl_api_library.h: the library as a whole: its identity, its trace and
 * the memory callbacks through which it allocates every handle.
 *
 * The trace and the memory callbacks are process-wide and not locked:
 * change them before other threads call the library.
 */
#ifndef ITL_API_LIBRARY_H
#define ITL_API_LIBRARY_H

#include "itl_api_base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What itlGetInfo reports. */
typedef enum ItlEnInfoType ITL_ENUM_BASE {
  ItlEnInfoType_Credits = 42,
  ItlEnInfoType_LibraryName = 100000,
  ItlEnInfoType_Version = 100001,
  ItlEnInfoType_Level = 100002,
  ItlEnInfoType_BuildDate = 100003,
  ItlEnInfoType_Notice = 100004,
  ItlEnInfoType_EngineType = 100005,
} ItlEnInfoType;

/* Receives every trace record: the user pointer, the detail (1 low, 2
 * medium, 3 high; 0 for entries and exits of low detail), the component,
 * the data type (1 function entry, 2 function exit, 4 raw data, 7 address
 * of 8 bytes, 8 text, 9 UTF-16, 10 bool, 13-18 integers, 20 double), the
 * function text ("source/<unit>:<line>"), the label, the data and its
 * length in bytes. The data is valid during the call only. */
typedef void (*ItlTyTraceCallback)(void* user, uint32_t detail,
                                   uint16_t component, uint32_t dataType,
                                   char const* function, char const* label,
                                   void const* data, uint32_t length);

/* Memory callbacks; sizes are byte counts. A null result is a failure. */
typedef void* (*ItlTyAllocateCallback)(unsigned int size);
typedef void* (*ItlTyReallocateCallback)(void* block, unsigned int size);
typedef void (*ItlTyFreeCallback)(void* block);

/* A static text of the library's identity; null for another type. */
ITL_API_EXPORT char const* itlGetInfo(ItlEnInfoType type);

/* Switches the library's trace on (creating the trace under the key
 * "Zorvath_Tavrix_VOZ"; its settings come from the environment variables
 * ZORVATH_TAVRIX_VOZ_TRACE_ACTIVE and siblings unless a callback is
 * registered). Null error info: 16. */
ITL_API_EXPORT ItlEnReturnCode itlTraceEnable(ItlTyErrorInfoHandle errorInfo);
/* Switches the trace off. Null error info: 16. */
ITL_API_EXPORT ItlEnReturnCode itlTraceDisable(
    ItlTyErrorInfoHandle errorInfo);
/* Routes every trace record to `callback` with `user`. Null error info: 16;
 * null callback: reason 25. */
ITL_API_EXPORT ItlEnReturnCode itlTraceRegisterCallback(
    ItlTyTraceCallback callback, void* user, ItlTyErrorInfoHandle errorInfo);
/* Installs the caller's memory callbacks for every later allocation of the
 * library; install them before the first handle is made, since blocks are
 * freed through the callbacks in force when they go. A null reallocate is
 * accepted (blocks then grow by allocate, copy and free). Null error info:
 * 16; null allocate or free: reason 25, the callbacks stay as they were. */
ITL_API_EXPORT ItlEnReturnCode itlMemoryHandlerRegisterCallback(
    ItlTyAllocateCallback allocate, ItlTyReallocateCallback reallocate,
    ItlTyFreeCallback deallocate, ItlTyErrorInfoHandle errorInfo);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_LIBRARY_H */
