/* itl_api_search_handle.h: index search handles.
 *
 * An index search handle is the loaded, searchable view of an index on
 * which queries are built. Its errors go to the error info of the index's
 * context. Delete every query made on it first, and the search handle
 * before its index handle.
 */
#ifndef ITL_API_SEARCH_HANDLE_H
#define ITL_API_SEARCH_HANDLE_H

#include "itl_api_base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Loads the index and makes a search handle on it. Null index: 16; null
 * handle pointer: 25; an index that does not exist: 100 (*handle null).
 * An index without documents gives the warning 374 (return code 4) and
 * still a usable handle. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewIndexSearch(
    ItlTyIndexHandle index, ItlTyIndexSearchHandle* handle);
/* Frees the search handle and sets *handle to null; null: 16. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteIndexSearch(
    ItlTyIndexSearchHandle* handle);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_SEARCH_HANDLE_H */
