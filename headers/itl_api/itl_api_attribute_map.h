/* itl_api_attribute_map.h: how the index reads date and number attribute
 * values, and how it codes a date.
 *
 * The mapping functions read a value with the date or number callback
 * registered on the context (itlContextRegisterDateCallback,
 * itlContextRegisterNumberCallback), else with the library's own
 * recognisers (itl_attribute_callbacks.h rules). They take an index search
 * handle, whose error info they reset first; a null search handle gives 16
 * with nothing recorded. Argument errors are return code 8, reason 25.
 */
#ifndef ITL_API_ATTRIBUTE_MAP_H
#define ITL_API_ATTRIBUTE_MAP_H

#include "itl_api_base.h"
#include "itl_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Reads the date text `value` (`length` units, no terminator needed) for
 * the language `language` ("de_CH"; language and territory must be known,
 * else reason 8 with the context line "Document language: <text>").
 * Null value, language, day, month or year (in that order): 25. A text
 * that is no valid date: reason 31; the out values are then what the
 * recogniser left. */
ITL_API_EXPORT ItlEnReturnCode itlAttributeMapDate(
    ItlTyIndexSearchHandle search, ItlTyUTF16Unit const* value,
    uint32_t length, char const* language, uint16_t* day, uint16_t* month,
    uint16_t* year);

/* The coded date year * 10000 + month * 100 + day (unsigned 32-bit
 * arithmetic; the parts are not checked). Null out: 25. Coded dates order
 * as the dates do while month is 1..12 and day 1..31. */
ITL_API_EXPORT ItlEnReturnCode itlAttributeCodeDate(
    ItlTyIndexSearchHandle search, uint16_t day, uint16_t month,
    uint16_t year, double* codedDate);

/* Reads the number text `value` as itlAttributeMapDate reads dates. Null
 * value, language or number: 25; no valid number: reason 32. */
ITL_API_EXPORT ItlEnReturnCode itlAttributeMapNumber(
    ItlTyIndexSearchHandle search, ItlTyUTF16Unit const* value,
    uint32_t length, char const* language, double* number);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_ATTRIBUTE_MAP_H */
