/* itl_api_docmap_migration.h: the document-map migration: rebuilds both
 * document-number maps of an index for a new longest document name and
 * name layout, with a new name chosen for each document, and records the
 * new length and layout in the index configuration (MaxDocumentIDLength,
 * DocumentIDSizeIsFix).
 *
 * Calling order:
 *   1. itlHandleNewNameMapMigrationR3;
 *   2. itlNameMapMigrationR3Prepare (deleted documents leave the maps);
 *   3. itlNameMapMigrationR3SetCursorToFirst, then per entry
 *      ObtainCurrentName, SetCurrentName with the name to keep for that
 *      document, SetCursorToNext, and CursorIsValid to learn whether the
 *      cursor stands on a further entry (the cursor stands on the first
 *      entry right after SetCursorToFirst; the valid flag says something
 *      only after SetCursorToNext);
 *   4. itlNameMapMigrationR3Process;
 *   5. itlNameMapMigrationR3Commit, or itlNameMapMigrationR3Rollback;
 *   6. itlHandleDeleteNameMapMigrationR3.
 * A document for which no name is set is absent from the new maps; its
 * number is never given again. Commit replaces configuration and maps
 * together: a process killed at any instant leaves the old configuration
 * with the old maps, or the new with the new. While a migration lives the
 * index must not be updated or merged (creation refuses with 4 while an
 * update or merge is open).
 *
 * Conventions (those of itl_api.h): a null migration handle returns 16 and
 * records nothing; every other call resets the error info of the index's
 * context first and records every failure there (argument errors: return
 * code 8, reason 25, action Inform), returning its return code.
 */
#ifndef ITL_API_DOCMAP_MIGRATION_H
#define ITL_API_DOCMAP_MIGRATION_H

#include "itl_api_base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A migration of one index's document-number maps. */
typedef struct ItlStNameMapMigrationHandle* ItlTyNameMapMigrationHandle;

/* Loads the index and makes a migration to names of at most `newLength`
 * bytes (1 .. 4096; exactly that many with `fixedSize`). Null index: 16.
 * Null output: reason 1; a length out of range: 25. On failure the output
 * is null. Destroy with itlHandleDeleteNameMapMigrationR3. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewNameMapMigrationR3(
    ItlTyIndexHandle index, uint16_t newLength, bool fixedSize,
    ItlTyNameMapMigrationHandle* migration);
/* Destroys the migration (new maps not committed are dropped) and sets
 * the handle to null. A null pointer or handle: 16. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteNameMapMigrationR3(
    ItlTyNameMapMigrationHandle* migration);
/* Merges the deleted documents out of the existing maps and commits that. */
ITL_API_EXPORT ItlEnReturnCode itlNameMapMigrationR3Prepare(
    ItlTyNameMapMigrationHandle migration);
/* The cursor on the first entry of the existing maps. No maps: 103. */
ITL_API_EXPORT ItlEnReturnCode itlNameMapMigrationR3SetCursorToFirst(
    ItlTyNameMapMigrationHandle migration);
/* Whether the cursor stands on an entry after SetCursorToNext (false right
 * after SetCursorToFirst). Null output: 25. */
ITL_API_EXPORT ItlEnReturnCode itlNameMapMigrationR3CursorIsValid(
    ItlTyNameMapMigrationHandle migration, bool* valid);
/* The name of the entry under the cursor into `buffer` (room for the old
 * MaxDocumentIDLength; no terminator) and its length; 0 when the cursor
 * stands on no entry. Null buffer or length: 25. */
ITL_API_EXPORT ItlEnReturnCode itlNameMapMigrationR3ObtainCurrentName(
    ItlTyNameMapMigrationHandle migration, char* buffer, uint16_t* length);
/* The entry under the cursor keeps its number under this name. A null
 * name or length, a length of 0 or above the new maximum, or (fixed-size
 * names) other than it: 25, nothing recorded. No entry under the cursor,
 * or the entry named already: 6. */
ITL_API_EXPORT ItlEnReturnCode itlNameMapMigrationR3SetCurrentName(
    ItlTyNameMapMigrationHandle migration, char const* name,
    uint16_t const* length);
/* The cursor to the next entry. */
ITL_API_EXPORT ItlEnReturnCode itlNameMapMigrationR3SetCursorToNext(
    ItlTyNameMapMigrationHandle migration);
/* Builds the new maps from the names set (none: empty maps). Two
 * documents given one name: 306. */
ITL_API_EXPORT ItlEnReturnCode itlNameMapMigrationR3Process(
    ItlTyNameMapMigrationHandle migration);
/* Installs the new maps and the new configuration in one commit. Before
 * Process: 6. */
ITL_API_EXPORT ItlEnReturnCode itlNameMapMigrationR3Commit(
    ItlTyNameMapMigrationHandle migration);
/* Drops the new maps; the index's files stay as they were. */
ITL_API_EXPORT ItlEnReturnCode itlNameMapMigrationR3Rollback(
    ItlTyNameMapMigrationHandle migration);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_DOCMAP_MIGRATION_H */
