/* itl_api_query.h: query handles.
 *
 * A query is built on an index search handle: operands (search terms,
 * string attribute conditions, numeric and date conditions) and operators
 * in postfix order; then it is processed into a query result, which hands
 * out a result list. The same condition can then be run against another
 * index search handle (itlQuerySetNewIndex) or emptied to build a new one
 * (itlQueryResetToDefault); both need a processed query (else 366).
 *
 * The error info of a query is its index search handle's; every function
 * resets it on entry and returns its return code. An operand that cannot
 * be added (its text, masks or values refused) leaves the condition as it
 * was. A field or attribute the index does not know gives warning 403 and
 * the operand matches nothing. Processing warns with 380 (the threshold
 * stopped the search), 381 (stop words in the query) and 369 (a case rule
 * the index cannot meet), return code 4, and still hands out the list.
 */
#ifndef ITL_API_QUERY_H
#define ITL_API_QUERY_H

#include <stdbool.h>
#include <stdint.h>

#include "itl_api_base.h"
#include "itl_api_list.h"
#include "itl_api_query_result.h"
#include "itl_api_search_attribute.h"
#include "itl_api_search_term.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ItlStQueryHandle* ItlTyQueryHandle;

/* A proximity distance: 0, 1 or 5..32. */
typedef uint16_t ItlTySegmentIndicator;

/* How a processing threshold counts: 0 documents, 1 occurrences. */
typedef enum ItlEnThresholdUnit ITL_ENUM_BASE {
  ItlEnThresholdUnit_Documents = 0,
  ItlEnThresholdUnit_Occurrences = 1,
} ItlEnThresholdUnit;

/* The rank formulas 0..7. */
typedef enum ItlEnRankFormula ITL_ENUM_BASE {
  ItlEnRankFormula_Default = 0,
  ItlEnRankFormula_1 = 1,
  ItlEnRankFormula_2 = 2,
  ItlEnRankFormula_3 = 3,
  ItlEnRankFormula_4 = 4,
  ItlEnRankFormula_5 = 5,
  ItlEnRankFormula_6 = 6,
  ItlEnRankFormula_7 = 7,
} ItlEnRankFormula;

/* A new query in `language` and `ccsid`. Null search handle: 16; null
 * language or handle pointer: 25. The handle is stored before the
 * language (8) and CCSID (10) are checked: after those the caller deletes
 * it. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewQuery(
    ItlTyIndexSearchHandle search, char const* language, ItlTyCCSID ccsid,
    ItlTyQueryHandle* handle);
/* Releases the engine's search and frees the query. Null: 16. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteQuery(ItlTyQueryHandle* handle);
/* Runs the query against another search handle. Either null: 16; not
 * processed yet: 366. */
ITL_API_EXPORT ItlEnReturnCode itlQuerySetNewIndex(
    ItlTyQueryHandle query, ItlTyIndexSearchHandle search);
/* Operands added afterwards are read in the new CCSID and language. */
ITL_API_EXPORT ItlEnReturnCode itlQuerySetNewCCSIDAndLanguage(
    ItlTyQueryHandle query, char const* language, ItlTyCCSID ccsid);
/* At most 2147483647, unit 0 or 1; else 25. */
ITL_API_EXPORT ItlEnReturnCode itlQuerySetProcessingThreshold(
    ItlTyQueryHandle query, ItlTyDocumentCount threshold,
    ItlEnThresholdUnit unit);
/* Formula outside 0..7: 364 and nothing changes (also with doRank
 * false). With doRank, a ranking callback of the context (registered
 * before this call) ranks the documents and processing hands out a
 * callback-ranked list when a limit is set. */
ITL_API_EXPORT ItlEnReturnCode itlQueryDoRank(ItlTyQueryHandle query,
                                              bool doRank,
                                              ItlEnRankFormula formula);
/* Restricts later searches to the documents of `result`, which must stay
 * alive. Either null: 16; a result not yet searched: 367. */
ITL_API_EXPORT ItlEnReturnCode itlQuerySetScope(ItlTyQueryHandle query,
                                                ItlTyQueryResultHandle result);
ITL_API_EXPORT ItlEnReturnCode itlQueryAddSearchTerm(
    ItlTyQueryHandle query, ItlTySearchTermHandle term);
ITL_API_EXPORT ItlEnReturnCode itlQueryAddStringAttribute(
    ItlTyQueryHandle query, ItlTyStringAttributeHandle attribute);
ITL_API_EXPORT ItlEnReturnCode itlQueryAddNumericAttributeCondition(
    ItlTyQueryHandle query, ItlTyNumericAttributeConditionHandle condition);
/* Mode 2 with another operator than AND: 375. NOT negates the last
 * addition. */
ITL_API_EXPORT ItlEnReturnCode itlQueryAddBooleanOperator(
    ItlTyQueryHandle query, ItlEnOperator op, ItlEnOperatorMode mode);
/* Distance 2, 3, 4 or above 32: 365. */
ITL_API_EXPORT ItlEnReturnCode itlQueryAddProximityOperator(
    ItlTyQueryHandle query, ItlTySegmentIndicator distance,
    ItlEnOperatorMode mode);
/* Searches into `result`; *list receives the result list when the result
 * wants documents (not statistics only, no save-to-file name), else stays
 * null. The caller deletes the list (itlHandleDeleteList). Null query or
 * result: 16; null list pointer: 25. */
ITL_API_EXPORT ItlEnReturnCode itlQueryProcess(ItlTyQueryHandle query,
                                               ItlTyQueryResultHandle result,
                                               ItlTyListHandle* list);
/* Empties the condition; threshold, scope, ranking, CCSID and language
 * stay. Not processed yet: 366. */
ITL_API_EXPORT ItlEnReturnCode itlQueryResetToDefault(ItlTyQueryHandle query);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_QUERY_H */
