/* itl_api_cp_converter.h: code-page converter handles, which convert byte
 * strings from one CCSID to another.
 *
 * A converter is made on a context and reports into its error info;
 * delete it before the context. Argument errors are return code 8.
 */
#ifndef ITL_API_CP_CONVERTER_H
#define ITL_API_CP_CONVERTER_H

#include "itl_api_base.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ItlStCpConverterHandle* ItlTyCpConverterHandle;

/* Makes a converter from `sourceCcsid` to `targetCcsid`. Null context: 16;
 * null out pointer: reason 1; an unknown source, then target, CCSID: 10; a
 * pair the library cannot convert: 4. *converter is null on every
 * failure. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewCpConverter(
    ItlTyContextHandle context, ItlTyCCSID sourceCcsid,
    ItlTyCCSID targetCcsid, ItlTyCpConverterHandle* converter);

/* Converts `sourceSize` bytes of `source` into `target`, whose room in
 * bytes is *targetSize on entry; *targetSize is then the bytes written,
 * also when the conversion fails. Null source, target or targetSize: 25.
 * Failures: 500 (invalid sequence), 501 (target too small), 502 (a
 * character cut off at the end), 503. Size the target for the worst case
 * (4 bytes a source byte covers every pair). */
ITL_API_EXPORT ItlEnReturnCode itlCpConverterConvert(
    ItlTyCpConverterHandle converter, char const* source, uint32_t sourceSize,
    char* target, uint32_t* targetSize);

/* Destroys the converter and sets *converter to null; null pointer or
 * handle: 16. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteCpConverter(
    ItlTyCpConverterHandle* converter);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_CP_CONVERTER_H */
