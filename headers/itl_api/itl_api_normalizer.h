/* itl_api_normalizer.h: normalizer handles, which normalise text as the
 * index does (its umlaut, accent and Unicode settings; Thai word breaking
 * for Thai).
 *
 * A normalizer is made on an index search handle and reports into its
 * error info; delete it before the search handle. Argument errors are
 * return code 8, reason 25 unless stated.
 */
#ifndef ITL_API_NORMALIZER_H
#define ITL_API_NORMALIZER_H

#include "itl_api_base.h"
#include "itl_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ItlStNormalizerHandle* ItlTyNormalizerHandle;

/* Makes a normalizer for text of CCSID `ccsid` in language `language`.
 * Null search: 16; null out pointer: reason 1. *normalizer is null on
 * every failure. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewNormalizer(
    ItlTyIndexSearchHandle search, ItlTyCCSID ccsid, char const* language,
    ItlTyNormalizerHandle* normalizer);

/* Normalises `sourceLength` units of `source` into `target`, whose room in
 * units is *targetLength on entry; *targetLength is then the units
 * written. A language beginning with "th" (any case) selects the Thai
 * normalisation, any other the non-Thai one; the normalizer switches when
 * the kind changes. Null language, source, target or targetLength: 25,
 * checked before anything switches. */
ITL_API_EXPORT ItlEnReturnCode itlNormalizerProcess(
    ItlTyNormalizerHandle normalizer, char const* language,
    ItlTyUTF16Unit const* source, uint32_t sourceLength,
    ItlTyUTF16Unit* target, uint32_t* targetLength);

/* Destroys the normalizer and sets *normalizer to null; null pointer or
 * handle: 16. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteNormalizer(
    ItlTyNormalizerHandle* normalizer);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_NORMALIZER_H */
