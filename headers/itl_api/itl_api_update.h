/* itl_api_update.h: index update handles.
 *
 * An update handle adds, replaces and removes the documents of one index
 * and sets their DATE, NUMBER and STRING attributes, in transactions:
 *
 *   itlHandleNewIndexUpdate
 *   { itlIndexUpdateDocument | itlIndexUpdateRemoveDocument |
 *     itlIndexUpdateSet...Attribute }   the first call opens a transaction
 *   itlIndexUpdateProcess
 *   itlIndexUpdateCommit or itlIndexUpdateRollback
 *   ... more transactions ...
 *   itlHandleDeleteIndexUpdate          rolls back an open transaction
 *
 * Documents are named by document-id handles (itl_api_docid.h) on the same
 * index. Attributes of a document are set before its itlIndexUpdateDocument
 * call, which then indexes text and attributes together; until then no
 * other document may be given (reason 6).
 *
 * Errors go to the error info of the index's context. A call out of order
 * fails with reason 6 and action Rollback (100003). An error with action
 * Rollback, any error while a document is being indexed, and any engine
 * failure leave the update needing a rollback: until itlIndexUpdateRollback
 * every other call fails with reason 109, action Rollback.
 * The update handle must be deleted before its index handle.
 */
#ifndef ITL_API_UPDATE_H
#define ITL_API_UPDATE_H

#include "itl_api_base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Timing types of an update (100002 to 100025): not measured, 0.0. */
typedef enum ItlEnTimingUpdateType ITL_ENUM_BASE {
  ItlEnTimingUpdateType_First = 100002,
  ItlEnTimingUpdateType_Last = 100025,
} ItlEnTimingUpdateType;

/* Statistics types of an update (100000 to 100003): not counted, 0.0. */
typedef enum ItlEnStatisticsUpdateType ITL_ENUM_BASE {
  ItlEnStatisticsUpdateType_First = 100000,
  ItlEnStatisticsUpdateType_Last = 100003,
} ItlEnStatisticsUpdateType;

/* Loads the index and makes an update handle on it. Null index: 16; null
 * handle pointer: 8 with reason 1; *handle is null on every failure. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewIndexUpdate(
    ItlTyIndexHandle index, ItlTyIndexUpdateHandle* handle);
/* Rolls back an open transaction, frees the handle and sets *handle to
 * null. Null pointer or handle: 16. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteIndexUpdate(
    ItlTyIndexUpdateHandle* handle);
/* True while a transaction is open (from its first document, removal or
 * attribute call to its commit or rollback); false for a null handle. */
ITL_API_EXPORT bool itlIndexUpdateIsPending(ItlTyIndexUpdateHandle update);

/* Adds or replaces document `id` from `length` bytes at `buffer` in
 * format `format` (TEXT, HTML, XML, STRUCTURED, INSO), CCSID `*ccsid` and
 * language `language` (for example "en" or "en_US"). `*ccsid` 0: the
 * library guesses it from the document and writes it back. `modelName`
 * (may be null) names a document model of the index; TEXT takes none
 * (reason 25). Reasons: 25 null id, buffer, language or ccsid pointer;
 * 10 unknown CCSID; 8 unknown language; 13 a format without a parser.
 * Length 0: warning 29 (return code 4), the empty document is still
 * indexed. The buffer is read during the call only. */
ITL_API_EXPORT ItlEnReturnCode itlIndexUpdateDocument(
    ItlTyIndexUpdateHandle update, ItlTyDocumentIDHandle id,
    ItlEnDocumentFormat format, char const* modelName, void const* buffer,
    uint32_t length, ItlTyCCSID* ccsid, char const* language);
/* Removes document `id`. With name mapping an unknown name fails with 303
 * and changes nothing; the id is emptied after a removal by name. */
ITL_API_EXPORT ItlEnReturnCode itlIndexUpdateRemoveDocument(
    ItlTyIndexUpdateHandle update, ItlTyDocumentIDHandle id);
/* Ends the transaction's document calls (the index's work is done here). */
ITL_API_EXPORT ItlEnReturnCode itlIndexUpdateProcess(
    ItlTyIndexUpdateHandle update);
/* Makes the processed transaction durable: a later open finds all of it or
 * none of it. Without process: reason 6. */
ITL_API_EXPORT ItlEnReturnCode itlIndexUpdateCommit(
    ItlTyIndexUpdateHandle update);
/* Drops the open transaction; always allowed. */
ITL_API_EXPORT ItlEnReturnCode itlIndexUpdateRollback(
    ItlTyIndexUpdateHandle update);
/* A DATE attribute: day 1..31, month 1..12 (else reason 25 with the context
 * "Attribute number overflow: <n>"); any year. Indexed as
 * year * 10000 + month * 100 + day. */
ITL_API_EXPORT ItlEnReturnCode itlIndexUpdateSetDateAttribute(
    ItlTyIndexUpdateHandle update, ItlTyDocumentIDHandle id,
    char const* name, uint16_t day, uint16_t month, uint16_t year);
ITL_API_EXPORT ItlEnReturnCode itlIndexUpdateSetNumberAttribute(
    ItlTyIndexUpdateHandle update, ItlTyDocumentIDHandle id,
    char const* name, double value);
/* A STRING attribute of `length` bytes in CCSID `ccsid` (0: UTF-8). More
 * than 65,535 bytes: reason 25. More than 128 characters: the first 128
 * are kept, warning 36. */
ITL_API_EXPORT ItlEnReturnCode itlIndexUpdateSetStringAttribute(
    ItlTyIndexUpdateHandle update, ItlTyDocumentIDHandle id,
    char const* name, char const* value, uint32_t length, ItlTyCCSID ccsid);
/* Not measured: 0.0 for every type and handle. */
ITL_API_EXPORT double itlIndexUpdateGetTimes(ItlTyIndexUpdateHandle update,
                                             ItlEnTimingUpdateType type);
ITL_API_EXPORT double itlIndexUpdateGetStatistics(
    ItlTyIndexUpdateHandle update, ItlEnStatisticsUpdateType type);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_UPDATE_H */
