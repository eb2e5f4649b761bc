/* itl_api_base.h: what every exported header of the index library shares:
 * the export mark, the handle types and the code sets.
 *
 * Handles are pointers to incomplete structures, one structure per kind, so
 * that a compiler refuses a context where an error info is due. A handle is
 * made by its itlHandleNew... function, which allocates through the memory
 * callbacks in force (itlMemoryHandlerRegisterCallback), and destroyed by
 * the matching itlHandleDelete... function, which sets it to null.
 */
#ifndef ITL_API_BASE_H
#define ITL_API_BASE_H

#include "itl_codes.h"

#if defined(__GNUC__) || defined(__clang__)
#define ITL_API_EXPORT __attribute__((visibility("default")))
#else
#define ITL_API_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The caller's window on the errors of its calls (itl_api_errorinfo.h). */
typedef struct ItlStErrorInfoHandle* ItlTyErrorInfoHandle;
/* An error info with the caller's callbacks (itl_api_context.h). */
typedef struct ItlStContextHandle* ItlTyContextHandle;
/* One index, by name and directory, under a context. */
typedef struct ItlStIndexHandle* ItlTyIndexHandle;
/* A search session on one index. */
typedef struct ItlStIndexSearchHandle* ItlTyIndexSearchHandle;
/* A caller's document id on one index: a document's name and number. */
typedef struct ItlStDocumentIDHandle* ItlTyDocumentIDHandle;

/* The engine's status record of its last failed call; its first field, a
 * 32-bit integer, is the engine's return code. */
struct GTRSTATUS;

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_BASE_H */
