/* itl_api_search_attribute.h: attribute conditions of a query.
 *
 * A string attribute condition selects the documents whose string
 * attribute of the given name matches a search string (copied). A numeric
 * attribute condition selects those whose number or date attribute lies
 * in a range: a lower value with comparison 0 (greater than) or 1 (greater
 * or equal) and an upper value with comparison 2 (less than) or 3 (less or
 * equal), both given as text in the condition's CCSID (by default the
 * query's) and parsed when the condition is added to a query.
 *
 * Errors go to the error info of the condition's context. Only the new
 * and reset functions reset it; itlNumericAttributeConditionSetValues
 * returns the return code already stored when it succeeds.
 */
#ifndef ITL_API_SEARCH_ATTRIBUTE_H
#define ITL_API_SEARCH_ATTRIBUTE_H

#include "itl_api_base.h"
#include "itl_api_search_string.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ItlStStringAttributeHandle* ItlTyStringAttributeHandle;
typedef struct ItlStNumericAttributeConditionHandle*
    ItlTyNumericAttributeConditionHandle;

/* Null context or search string: 16; null handle pointer or name, a name
 * of 65535 bytes or more: 25. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewStringAttribute(
    ItlTySearchStringHandle searchString, char const* name,
    ItlTyStringAttributeHandle* handle, ItlTyContextHandle context);
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteStringAttribute(
    ItlTyStringAttributeHandle* handle);
/* Empties the name (set a new one before use); the value stays. */
ITL_API_EXPORT ItlEnReturnCode itlStringAttributeReset(
    ItlTyStringAttributeHandle handle);
/* Null name or one of 65535 bytes or more: 25. */
ITL_API_EXPORT ItlEnReturnCode itlStringAttributeSetName(
    ItlTyStringAttributeHandle handle, char const* name);
/* Either null: 16. */
ITL_API_EXPORT ItlEnReturnCode itlStringAttributeSetSearchString(
    ItlTyStringAttributeHandle handle, ItlTySearchStringHandle searchString);

/* Null context: 16; a null pointer or a length 0: 25; comparisons outside
 * the pairs above: 372 (lower) or 373 (upper). *handle is null on every
 * failure. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewNumericAttributeCondition(
    char const* name, ItlEnAttributeType type, char const* lowValue,
    unsigned int lowLength, ItlEnAttributeComparison lowComparison,
    char const* highValue, unsigned int highLength,
    ItlEnAttributeComparison highComparison,
    ItlTyNumericAttributeConditionHandle* handle, ItlTyContextHandle context);
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteNumericAttributeCondition(
    ItlTyNumericAttributeConditionHandle* handle);
/* CCSID and language back to those of the query; the range stays. */
ITL_API_EXPORT ItlEnReturnCode itlNumericAttributeConditionReset(
    ItlTyNumericAttributeConditionHandle handle);
/* Replaces name, type, values and comparisons (checks as at creation). */
ITL_API_EXPORT ItlEnReturnCode itlNumericAttributeConditionSetValues(
    ItlTyNumericAttributeConditionHandle handle, char const* name,
    ItlEnAttributeType type, char const* lowValue, unsigned int lowLength,
    ItlEnAttributeComparison lowComparison, char const* highValue,
    unsigned int highLength, ItlEnAttributeComparison highComparison);
/* As itlSearchStringSetCCSIDAndLanguage. */
ITL_API_EXPORT ItlEnReturnCode itlNumericAttributeConditionSetCCSIDAndLanguage(
    ItlTyNumericAttributeConditionHandle handle, ItlTyCCSID ccsid,
    char const* language);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_SEARCH_ATTRIBUTE_H */
