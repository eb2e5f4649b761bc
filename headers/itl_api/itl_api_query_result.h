/* itl_api_query_result.h: query results.
 *
 * A query result receives what processing a query (itl_api_query.h)
 * finds. Before the search the caller sets its options (limit, memory,
 * data form, statistics only, a file to save the result to, per-term
 * document counts); after it the caller reads its status and counts and
 * walks the list that processing handed out, reading each element with
 * itlQueryResultElementObtainData.
 *
 * Errors go to the error info of the result's context. The setters and
 * getters from itlQueryResultSetLimit to itlQueryResultObtainTermCount
 * record only their failures (reason 25, return code 8) and return 0 on
 * success; a null result gives 16. A list made from a result stays
 * walkable after the result is deleted or processed again.
 */
#ifndef ITL_API_QUERY_RESULT_H
#define ITL_API_QUERY_RESULT_H

#include <stdbool.h>
#include <stdint.h>

#include "itl_api_base.h"
#include "itl_api_list.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ItlStQueryResultHandle* ItlTyQueryResultHandle;

/* A number of documents. */
typedef uint64_t ItlTyDocumentCount;
/* Bytes of memory. */
typedef uint32_t ItlTyMemorySize;
/* Index of a query term in the per-term counts, from 0. */
typedef int32_t ItlTyTermOffset;

/* The form of the result data. */
typedef enum ItlEnResultDataForm ITL_ENUM_BASE {
  ItlEnResultDataForm_Occurrences = 0,
  ItlEnResultDataForm_Documents = 1,
} ItlEnResultDataForm;

/* Null context: 16; null handle pointer: 1. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewQueryResult(
    ItlTyQueryResultHandle* handle, ItlTyContextHandle context);
/* Closes and releases the engine's result (lists made from it keep it
 * until they are deleted), frees the result and sets *handle to null.
 * Null pointer: 16; a null handle: 0. A failed close or release: 8 with
 * its reason, and the result is freed all the same. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteQueryResult(
    ItlTyQueryResultHandle* handle);
/* At most 2147483647 documents (0: no limit); else 25. */
ITL_API_EXPORT ItlEnReturnCode itlQueryResultSetLimit(
    ItlTyQueryResultHandle result, ItlTyDocumentCount limit);
/* Below 2147483648 bytes; else 25. */
ITL_API_EXPORT ItlEnReturnCode itlQueryResultSetMemorySize(
    ItlTyQueryResultHandle result, ItlTyMemorySize size);
/* 0 or 1; else 25. */
ITL_API_EXPORT ItlEnReturnCode itlQueryResultSetDataForm(
    ItlTyQueryResultHandle result, ItlEnResultDataForm form);
/* The search only counts: processing hands out no list. */
ITL_API_EXPORT ItlEnReturnCode itlQueryResultSetStatisticsOnly(
    ItlTyQueryResultHandle result, bool on);
/* The engine writes the result into this file and processing hands out
 * no list; null or "" clears it. 2048 bytes or more: 25. */
ITL_API_EXPORT ItlEnReturnCode itlQueryResultSetSaveToFile(
    ItlTyQueryResultHandle result, char const* fileName);
/* The search counts the documents of each query term (up to 1000). */
ITL_API_EXPORT ItlEnReturnCode itlQueryResultSetDocCountByTerm(
    ItlTyQueryResultHandle result, bool enable);
/* The engine's retrieval status of the last search (1 threshold met,
 * 2 stop words in the query). Null output: 25. */
ITL_API_EXPORT ItlEnReturnCode itlQueryResultObtainStatus(
    ItlTyQueryResultHandle result, uint32_t* status);
/* Documents and occurrences found and whether the search ended; each
 * output may be null. */
ITL_API_EXPORT ItlEnReturnCode itlQueryResultObtainStatistics(
    ItlTyQueryResultHandle result, ItlTyDocumentCount* documents,
    uint32_t* occurrences, bool* searchEnded);
/* Terms with a document count. Null output: 25. */
ITL_API_EXPORT ItlEnReturnCode itlQueryResultObtainTermCount(
    ItlTyQueryResultHandle result, int32_t* count);
/* The documents of term `offset` (0 .. term count - 1; else 25). */
ITL_API_EXPORT ItlEnReturnCode itlQueryResultObtainDocCountByTerm(
    ItlTyQueryResultHandle result, ItlTyTermOffset offset,
    ItlTyDocumentCount* count);
/* The element at the iterator of a result list (100002) or a callback-
 * ranked result list (100003): the document's number goes into the
 * document id, its occurrence count, its rank and, for a callback-ranked
 * list, the ranking callback's score (count, rank and score may be null).
 * Null iterator or one whose list was deleted: 16; null document id: 25;
 * iterator not on an element: 46; another kind of list: 47. */
ITL_API_EXPORT ItlEnReturnCode itlQueryResultElementObtainData(
    ItlTyIteratorHandle iterator, ItlTyDocumentIDHandle documentId,
    int32_t* count, double* rank, double* score);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_QUERY_RESULT_H */
