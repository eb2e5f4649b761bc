/* itl_api_query_estimate.h: query estimates.
 *
 * A query estimate asks how many documents a condition would select,
 * without building a result list. It is made on an index search handle
 * and its handle is a query handle: build its condition with the query
 * functions (itl_api_query.h: search terms, attribute conditions,
 * operators; itlQueryResetToDefault for a new condition), then call
 * itlQueryEstimateProcess, again after each change of the condition. A
 * scope set on an estimate has no effect. The error info is the index
 * search handle's. The estimate functions refuse a plain query's handle
 * with 16.
 */
#ifndef ITL_API_QUERY_ESTIMATE_H
#define ITL_API_QUERY_ESTIMATE_H

#include <stdint.h>

#include "itl_api_base.h"
#include "itl_api_query.h"
#include "itl_api_query_result.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef ItlTyQueryHandle ItlTyQueryEstimateHandle;

/* A new estimate in `language` and `ccsid`. Null search handle: 16; null
 * language or handle pointer: 25. The handle is stored before the
 * language (8) and CCSID (10) are checked: after those the caller deletes
 * it. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewQueryEstimate(
    ItlTyIndexSearchHandle search, char const* language, ItlTyCCSID ccsid,
    ItlTyQueryEstimateHandle* estimate);
/* Releases the engine's estimate and frees the estimate; sets *estimate
 * to null. Null pointer or handle: 16. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteQueryEstimate(
    ItlTyQueryEstimateHandle* estimate);
/* Estimates the documents the condition selects into *selected: the
 * engine's estimate, at most `maximum` unless `maximum` is 0. *second
 * receives the number of documents of the index's text part. Null
 * handle: 16; a null out pointer: 25. On failure neither out value is
 * written. */
ITL_API_EXPORT ItlEnReturnCode itlQueryEstimateProcess(
    ItlTyQueryEstimateHandle estimate, ItlTyDocumentCount maximum,
    ItlTyDocumentCount* selected, ItlTyDocumentCount* second);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_QUERY_ESTIMATE_H */
