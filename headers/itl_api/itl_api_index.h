/* itl_api_index.h: index handles, index administration and the index
 * configuration functions.
 *
 * An index handle names one index (a name without extension and a
 * directory) under a context; the index's errors are recorded in the
 * context's error info. Nothing is read from disk until a call needs the
 * index's contents.
 *
 * Administration survives a kill of the process at any moment: the next
 * handle on the index finds it whole under its old or its new state (a
 * create or copy that did not finish leaves no index; a destroy, clear or
 * rename is finished by the next handle made on the index's (new) name).
 */
#ifndef ITL_API_INDEX_H
#define ITL_API_INDEX_H

#include "itl_api_base.h"

#ifdef __cplusplus
extern "C" {
#endif

struct GTRSYSPARM;
struct GTRHCREATEPARM;

/* ---- index handles ---------------------------------------------------- */

/* Makes an index handle on index `name` in `directory`. Null output: 1;
 * null name or directory: 25; a name that is empty, holds '/' or '.', or
 * is longer than 240 bytes: 101. On failure *handle is null. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewIndex(ItlTyContextHandle context,
                                                 char const* name,
                                                 char const* directory,
                                                 ItlTyIndexHandle* handle);
/* Deletes the handle (after every handle made on it) and sets it null. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteIndex(ItlTyIndexHandle* handle);

/* The index exists (false for a null handle; records nothing). */
ITL_API_EXPORT bool itlIndexIsExistent(ItlTyIndexHandle index);
/* Identity texts owned by the index (null for a null handle): the
 * resource key, the name, the directory, the working directory. */
ITL_API_EXPORT char const* itlIndexGetKey(ItlTyIndexHandle index);
ITL_API_EXPORT char const* itlIndexGetName(ItlTyIndexHandle index);
ITL_API_EXPORT char const* itlIndexGetDirectory(ItlTyIndexHandle index);
ITL_API_EXPORT char const* itlIndexGetWorkingDirectory(ItlTyIndexHandle index);

/* The number of documents of the index (100 when it does not exist). */
ITL_API_EXPORT ItlEnReturnCode itlIndexObtainNumberOfDocuments(
    ItlTyIndexHandle index, uint64_t* count);
/* Whether a merge is advised: the engine's second part holds more than
 * twice the documents of its first, or the deleted documents pass 30 per
 * hundred of them. */
ITL_API_EXPORT ItlEnReturnCode itlIndexObtainMergeIsRecommended(
    ItlTyIndexHandle index, bool* recommended);
/* The working directory becomes `directory`/TMP_<name> (made). Missing
 * directory: 26; during an update of the index: 4, nothing changed. */
ITL_API_EXPORT ItlEnReturnCode itlIndexSetWorkingDirectory(
    ItlTyIndexHandle index, char const* directory);
/* Adds a document model of `length` bytes of definition under `name`. */
ITL_API_EXPORT ItlEnReturnCode itlIndexAddDocumentModel(
    ItlTyIndexHandle index, char const* name, char const* definition,
    uint32_t length);
/* Makes model `name` the default of `format` (not TEXT: 25). */
ITL_API_EXPORT ItlEnReturnCode itlIndexSetDefaultDocumentModel(
    ItlTyIndexHandle index, ItlEnDocumentFormat format, char const* name);
/* The engine reports its progress during updates and merges. */
ITL_API_EXPORT ItlEnReturnCode itlIndexSetDisplayLog(ItlTyIndexHandle index,
                                                     bool on);
/* Updates run in the engine's batch mode. */
ITL_API_EXPORT ItlEnReturnCode itlIndexSetHighPerfMode(ItlTyIndexHandle index,
                                                       bool on);

/* ---- administration ---------------------------------------------------- */

/* Creates the index from the configuration template `configFileName`
 * (exists: 104; null: 25; missing template: 16). */
ITL_API_EXPORT ItlEnReturnCode itlIndexCreate(ItlTyIndexHandle index,
                                              char const* configFileName);
/* Removes every file of the index, and the working directory when
 * itlIndexSetWorkingDirectory made it. */
ITL_API_EXPORT ItlEnReturnCode itlIndexDestroy(ItlTyIndexHandle index);
/* Removes every document; configuration, stop words and models stay. */
ITL_API_EXPORT ItlEnReturnCode itlIndexClear(ItlTyIndexHandle index);
/* Renames the index (invalid name: 101; an index of that name: 104). */
ITL_API_EXPORT ItlEnReturnCode itlIndexRename(ItlTyIndexHandle index,
                                              char const* newName);
/* Copies, resp. moves, the index into an existing directory (missing:
 * 102; an index of the name there: 104). After a move the handle names
 * the index in its new directory. */
ITL_API_EXPORT ItlEnReturnCode itlIndexCopy(ItlTyIndexHandle index,
                                            char const* targetDirectory);
ITL_API_EXPORT ItlEnReturnCode itlIndexMove(ItlTyIndexHandle index,
                                            char const* targetDirectory);

/* ---- configuration ----------------------------------------------------- */

/* Fill the engine's system, resp. creation, parameter record from the
 * index's configuration (null index or record: 16). */
ITL_API_EXPORT ItlEnReturnCode itlFillVozSysParm(ItlTyIndexHandle index,
                                                 struct GTRSYSPARM* record);
ITL_API_EXPORT ItlEnReturnCode itlFillVozCreateParm(
    ItlTyIndexHandle index, struct GTRHCREATEPARM* record);
/* Reads the index's files (100 when it does not exist). */
ITL_API_EXPORT ItlEnReturnCode itlIndexLoad(ItlTyIndexHandle index);
/* Writes the index's configuration back in the current layout. */
ITL_API_EXPORT ItlEnReturnCode itlConfigFileWriteAsR3File(
    ItlTyIndexHandle index);
/* Sets the longest document name (1..4096, else 25) of the loaded
 * configuration; itlConfigFileWriteAsR3File makes it last. */
ITL_API_EXPORT ItlEnReturnCode itlConfigFileSetMaxDocIDLength(
    unsigned short length, ItlTyIndexHandle index);
/* Sets whether document names have a fixed size (index: an index handle). */
ITL_API_EXPORT ItlEnReturnCode setDocNamesHaveFixSize(bool fixed,
                                                      void* index);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_INDEX_H */
