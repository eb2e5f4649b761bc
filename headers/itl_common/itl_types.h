/* itl_types.h: the plain value types that the exported functions of the
 * index library and its maps share: UTF-16 units, field, attribute and
 * document numbers, and a document name as the document maps take it.
 * This header compiles as C99 and as C++.
 */
#ifndef ITL_TYPES_H
#define ITL_TYPES_H

#ifdef __cplusplus
#include <cstdint>
#else
#include <stdint.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One UTF-16 code unit (host byte order). */
typedef uint16_t ItlTyUTF16Unit;
/* The number of a field name in the index's field-name map. */
typedef uint16_t ItlTyFieldNumber;
/* The number of an attribute name in the index's attribute-name maps. */
typedef uint16_t ItlTyAttributeNumber;
/* A document number (1 to 2147483646 reach the engine). */
typedef uint64_t ItlTyDocumentNumber;

/* A document name: bytes without a terminating zero and their count. */
typedef struct _ItlStDocumentId {
  char const* pszDocId;
  uint16_t usDocIdLength;
} ItlStDocumentId;

#ifdef __cplusplus
}
#endif

#endif /* ITL_TYPES_H */
