/* itl_api_search_string.h: search strings.
 *
 * A search string is the text of one search word or phrase: 1 to 128 raw
 * bytes in a CCSID, with a language, a case rule and mask characters. Search
 * terms and string attribute conditions are made from it and copy it, so it
 * may be changed or deleted as soon as they are made. Until set, the CCSID
 * (0) and the language (unknown) are those of the query it is used in, and
 * the case rule (-1) is the index's RespectCase setting.
 *
 * Errors go to the error info of the context the search string was made
 * with. Only itlHandleNewSearchString and itlSearchStringResetToDefault
 * reset that error info; the setters leave it as it is, so
 * itlSearchStringSetNewValue returns the return code already stored when it
 * succeeds.
 */
#ifndef ITL_API_SEARCH_STRING_H
#define ITL_API_SEARCH_STRING_H

#include "itl_api_base.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ItlStSearchStringHandle* ItlTySearchStringHandle;

/* A copy of `length` bytes of `value`. Null context: 16; null handle
 * pointer, null value, length 0 or above 128: 25 (*handle null). */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewSearchString(
    char const* value, unsigned int length, ItlTySearchStringHandle* handle,
    ItlTyContextHandle context);
/* Frees the search string and sets *handle to null; null: 16. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteSearchString(
    ItlTySearchStringHandle* handle);
/* Stores both; an unknown language or territory gives 8, else an invalid
 * CCSID 10 (the values stay stored). A null language: 25. */
ITL_API_EXPORT ItlEnReturnCode itlSearchStringSetCCSIDAndLanguage(
    ItlTySearchStringHandle handle, ItlTyCCSID ccsid, char const* language);
/* Replaces the value; null value, length 0 or above 128: 25, the old value
 * kept. */
ITL_API_EXPORT ItlEnReturnCode itlSearchStringSetNewValue(
    ItlTySearchStringHandle handle, char const* value, unsigned int length);
/* 0 case-insensitive, 1 case-sensitive; any other value: 25. */
ITL_API_EXPORT ItlEnReturnCode itlSearchStringRespectCase(
    ItlTySearchStringHandle handle, bool respectCase);
/* Up to six single-character masks (each stands for one character) and
 * six multi-character masks (each for any run), as bytes of the value's
 * CCSID. Both kinds must be given: a count outside 1..6 gives 360 (single)
 * or 361 (multi), return code 8; a null pointer or a zero count first
 * empties both stored masks. */
ITL_API_EXPORT ItlEnReturnCode itlSearchStringSetMasks(
    ItlTySearchStringHandle handle, char const* singleMasks,
    unsigned int singleCount, char const* multiMasks,
    unsigned int multiCount);
/* Frees the value (set a new one before use), language unknown, CCSID 0,
 * no masks; the case rule stays. */
ITL_API_EXPORT ItlEnReturnCode itlSearchStringResetToDefault(
    ItlTySearchStringHandle handle);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_SEARCH_STRING_H */
