/* itl_api_merge.h: index merge handles.
 *
 * A merge folds the pending parts of an index into its main parts and
 * drops removed documents for good. Order: itlHandleNewIndexMerge,
 * itlIndexMergeProcess, then itlIndexMergeCommit or
 * itlIndexMergeRollback, then itlHandleDeleteIndexMerge. Errors go to the
 * error info of the index's context. After any failure only the rollback
 * still runs (process and commit give reason 109); make a new merge handle
 * for the next merge. Deleting a handle with a processed merge that was
 * neither committed nor rolled back cancels that merge.
 */
#ifndef ITL_API_MERGE_H
#define ITL_API_MERGE_H

#include "itl_api_base.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ItlStIndexMergeHandle* ItlTyIndexMergeHandle;

/* Timing types of a merge (100000 to 100009). */
typedef enum ItlEnTimingMergeType ITL_ENUM_BASE {
  ItlEnTimingMergeType_First = 100000,
  ItlEnTimingMergeType_Last = 100009,
} ItlEnTimingMergeType;

/* Statistics types of a merge (100000 to 100003). */
typedef enum ItlEnStatisticsMergeType ITL_ENUM_BASE {
  ItlEnStatisticsMergeType_First = 100000,
  ItlEnStatisticsMergeType_Last = 100003,
} ItlEnStatisticsMergeType;

/* Loads the index and makes a merge handle on it. Null index: 16; null
 * out pointer: 25; an index that does not exist: 100. *merge is null on
 * every failure. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewIndexMerge(
    ItlTyIndexHandle index, ItlTyIndexMergeHandle* merge);
/* Cancels a processed, uncommitted merge, destroys the handle and sets
 * *merge to null; null pointer or handle: 16. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteIndexMerge(
    ItlTyIndexMergeHandle* merge);
/* Merges the index's pending parts (nothing is visible before the
 * commit). */
ITL_API_EXPORT ItlEnReturnCode itlIndexMergeProcess(
    ItlTyIndexMergeHandle merge);
/* Commits the processed merge; without one: reason 6. */
ITL_API_EXPORT ItlEnReturnCode itlIndexMergeCommit(
    ItlTyIndexMergeHandle merge);
/* Cancels the processed merge (nothing to cancel is no error). */
ITL_API_EXPORT ItlEnReturnCode itlIndexMergeRollback(
    ItlTyIndexMergeHandle merge);
/* Merge timings and statistics are not measured: 0.0 for every type,
 * 16.0 for a null handle. */
ITL_API_EXPORT double itlIndexMergeGetTimes(ItlTyIndexMergeHandle merge,
                                            ItlEnTimingMergeType type);
ITL_API_EXPORT double itlIndexMergeGetStatistics(
    ItlTyIndexMergeHandle merge, ItlEnStatisticsMergeType type);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_MERGE_H */
