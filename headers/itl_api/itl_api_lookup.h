/* itl_api_lookup.h: read-only lookups of an index's field and attribute
 * names and of its document names and numbers.
 *
 * Each takes an index search handle, resets its error info first and
 * returns 16 for a null search handle with nothing recorded. Argument
 * errors are return code 8, reason 25, checked before any map is read.
 */
#ifndef ITL_API_LOOKUP_H
#define ITL_API_LOOKUP_H

#include "itl_api_base.h"
#include "itl_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The number of the field name `name` (NUL-terminated). A name the index
 * does not hold is a warning: return code 4, reason 403 with the context
 * line naming it, and number 1. Null name or number: 25. */
ITL_API_EXPORT ItlEnReturnCode itlFieldMapNameToNumber(
    ItlTyIndexSearchHandle search, char const* name,
    ItlTyFieldNumber* number);

/* The number of the attribute name `name` of type `type` (string, or
 * number and date, which share one map); unknown names as for fields.
 * Null name or number: 25; a type other than 100000..100002: 25 with
 * number 0. */
ITL_API_EXPORT ItlEnReturnCode itlAttributeMapNameToNumber(
    ItlTyIndexSearchHandle search, char const* name, ItlEnAttributeType type,
    ItlTyAttributeNumber* number);

/* The number of the committed document named `id`; 0 (and success) for a
 * name the index does not hold or holds as removed. Null id, null id name
 * with a non-zero length, or null number: 25. */
ITL_API_EXPORT ItlEnReturnCode itlDocMapIdToNumber(
    ItlTyIndexSearchHandle search, ItlStDocumentId const* id,
    ItlTyDocumentNumber* number);

/* The name of document `number`: id->pszDocId points at a buffer of the
 * library that stays valid until the next itlDocMapNumberToId call of the
 * same thread, id->usDocIdLength is its length. Null id or number 0: 25;
 * a number the index does not hold: 301 or 304. */
ITL_API_EXPORT ItlEnReturnCode itlDocMapNumberToId(
    ItlTyIndexSearchHandle search, ItlTyDocumentNumber number,
    ItlStDocumentId* id);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_LOOKUP_H */
