/* itl_api_context.h: context handles.
 *
 * A context binds an error info to the caller's callbacks that the library
 * consults while indexing and searching: date and number recognisers for
 * attribute values, a skip-document-set decision and a ranking function.
 * Registering overwrites what was registered before. Errors are recorded
 * in the context's error info.
 */
#ifndef ITL_API_CONTEXT_H
#define ITL_API_CONTEXT_H

#include "itl_api_base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Timing types of an index search (100000 to 100011). */
typedef enum ItlEnTimingSearchType ITL_ENUM_BASE {
  ItlEnTimingSearchType_First = 100000,
  ItlEnTimingSearchType_Last = 100011,
} ItlEnTimingSearchType;

/* Makes a context on `errorInfo`, which must outlive it. Null error info:
 * 16; null pointer: 8 with reason 1. *handle is null on every failure. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewContext(
    ItlTyContextHandle* handle, ItlTyErrorInfoHandle errorInfo);
/* Destroys the context and sets *handle to null; null pointer or handle:
 * 16. Delete every handle made from the context first. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteContext(
    ItlTyContextHandle* handle);
/* A null callback gives reason 25. */
ITL_API_EXPORT ItlEnReturnCode itlContextRegisterDateCallback(
    ItlTyContextHandle context, ItlTyDateCallback callback, void* user);
/* A null callback gives reason 25. */
ITL_API_EXPORT ItlEnReturnCode itlContextRegisterNumberCallback(
    ItlTyContextHandle context, ItlTyNumberCallback callback, void* user);
/* A null callback removes the decision. */
ITL_API_EXPORT ItlEnReturnCode itlContextRegisterSkipDocumentSetCallback(
    ItlTyContextHandle context, ItlTySkipDocumentSetCallback callback,
    void* user);
/* A sort order other than 0 or 1 gives reason 25 and registers nothing. */
ITL_API_EXPORT ItlEnReturnCode itlContextRegisterRankingCallback(
    ItlTyContextHandle context, ItlTyRankingCallback callback,
    ItlEnSortOrder order, void* user);
/* Search timings are not measured: 0.0 for every type. */
ITL_API_EXPORT double itlIndexSearchGetTimes(ItlTyIndexSearchHandle search,
                                             ItlEnTimingSearchType type);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_CONTEXT_H */
