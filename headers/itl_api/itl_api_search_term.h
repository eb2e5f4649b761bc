/* itl_api_search_term.h: search terms.
 *
 * A search term is one operand of a query: a copy of a search string with
 * the options of its lookup (Korean word boundary, stem comparison,
 * precision, rank weight, masks preferred) and the fields it is restricted
 * to, optionally with a weight per field. A field list is started with a
 * Set call and extended with Add calls (an Add before any Set: 368). Field
 * names are matched against the index when the term is added to a query.
 *
 * Errors go to the error info of the term's context. Only
 * itlHandleNewSearchTerm and itlSearchTermResetToDefault reset it; the Add
 * calls return the return code already stored when they succeed, the other
 * setters 0.
 */
#ifndef ITL_API_SEARCH_TERM_H
#define ITL_API_SEARCH_TERM_H

#include "itl_api_base.h"
#include "itl_api_search_string.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ItlStSearchTermHandle* ItlTySearchTermHandle;

/* A term on a copy of `searchString`: precision 100, weight 0, no fields,
 * the search string's case rule. Null context: 16; null search string or
 * handle pointer: 25. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewSearchTerm(
    ItlTySearchStringHandle searchString, ItlTySearchTermHandle* handle,
    ItlTyContextHandle context);
/* Frees the term and sets *handle to null; null: 16. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteSearchTerm(
    ItlTySearchTermHandle* handle);
/* Copies another search string into the term; either null: 16. */
ITL_API_EXPORT ItlEnReturnCode itlSearchTermSetNewSearchString(
    ItlTySearchTermHandle term, ItlTySearchStringHandle searchString);
/* Each option is on only for the value 1. */
ITL_API_EXPORT ItlEnReturnCode itlSearchTermRespectKoreanWordBoundary(
    ItlTySearchTermHandle term, bool on);
ITL_API_EXPORT ItlEnReturnCode itlSearchTermCompareStemForms(
    ItlTySearchTermHandle term, bool on);
ITL_API_EXPORT ItlEnReturnCode itlSearchTermPreferMasks(
    ItlTySearchTermHandle term, bool on);
/* 1..100; else 25 and the old precision stays. */
ITL_API_EXPORT ItlEnReturnCode itlSearchTermSetPrecision(
    ItlTySearchTermHandle term, ItlTyPrecision precision);
/* 0 or more; else 25. */
ITL_API_EXPORT ItlEnReturnCode itlSearchTermSetWeight(
    ItlTySearchTermHandle term, ItlTyRankWeight weight);
/* Makes `name` the only field; null name: 25. */
ITL_API_EXPORT ItlEnReturnCode itlSearchTermSetField(
    ItlTySearchTermHandle term, char const* name);
/* Makes `name` with `weight` the only weighted field; null name: 25. */
ITL_API_EXPORT ItlEnReturnCode itlSearchTermSetFieldWeight(
    ItlTySearchTermHandle term, char const* name, ItlTyRankWeight weight);
/* Appends a field; before itlSearchTermSetField: 368 with the name as
 * context. */
ITL_API_EXPORT ItlEnReturnCode itlSearchTermAddField(
    ItlTySearchTermHandle term, char const* name);
/* Appends a weighted field; before itlSearchTermSetFieldWeight: 368. */
ITL_API_EXPORT ItlEnReturnCode itlSearchTermAddFieldWeight(
    ItlTySearchTermHandle term, char const* name, ItlTyRankWeight weight);
/* Options and fields back to their defaults, case rule -1; the copied
 * search string stays. */
ITL_API_EXPORT ItlEnReturnCode itlSearchTermResetToDefault(
    ItlTySearchTermHandle term);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_SEARCH_TERM_H */
