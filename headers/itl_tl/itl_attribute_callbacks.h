/* itl_attribute_callbacks.h: the library's default recognisers of date and
 * number attribute values, exported with C linkage so that callers (and the
 * query side) can apply the rules the index applies. This header compiles
 * as C and as C++.
 *
 * Both read UTF-16 units (`text`, `length` units) and ignore the language,
 * territory and user-data arguments. They return false when the text is not
 * acceptable; otherwise they set *valid when they recognised a value and
 * *consumed to the units used, so that a caller can call again on the rest
 * of the text. Blank text gives true, no value, and consumes it all.
 *
 * Date: three groups of digits with one separator ('.', '-' or '/'),
 * blanks allowed around the separators, and ended by a blank or the end of
 * the text. The order of day, month and year follows from the digit counts
 * and the separator:
 *   group 1 3-4 digits, group 3 1-2:            year month day
 *   group 1 1-2, group 3 3-4, '/':               month day year
 *   group 1 1-2, group 3 3-4, '.' or '-':        day month year
 *   group 1 1-2, group 3 1-2, '/':               month day year
 *   group 1 1-2, group 3 1-2, '-':               year month day
 *   group 1 1-2, group 3 1-2, '.':               day month year
 * Two-digit years stand as they are. A date with year 0 or above 16382,
 * month 0 or above 12, or day 0 or above 31 is read but not valid.
 *
 * Number: leading units other than digits, '-' and '.' are skipped
 * ("EUR 12" is 12); blanks between digits of the integer part are ignored
 * ("1 000" is 1000); a fraction ends at its first non-digit. A lone sign or
 * text without digits is refused (unless it was blank).
 */
#ifndef ITL_ATTRIBUTE_CALLBACKS_H
#define ITL_ATTRIBUTE_CALLBACKS_H

#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

bool itlAttributeDateDefaultCallback(unsigned short const* text,
                                     unsigned int length,
                                     char const* language,
                                     char const* territory, void* userData,
                                     unsigned short* day,
                                     unsigned short* month,
                                     unsigned short* year, bool* valid,
                                     unsigned int* consumed);

bool itlAttributeNumberDefaultCallback(unsigned short const* text,
                                       unsigned int length,
                                       char const* language,
                                       char const* territory, void* userData,
                                       double* value, bool* valid,
                                       unsigned int* consumed);

#ifdef __cplusplus
}
#endif

#endif /* ITL_ATTRIBUTE_CALLBACKS_H */
