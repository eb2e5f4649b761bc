// itl_api_merge.cpp: the exported index-merge-handle functions.
#include "itl_api_frame.hpp"
#include "itl_api_index.hpp"
#include "itl_api_merge.h"
#include "itl_index_merge.hpp"

#define ITL_MG_POS ITL_API_POS("itl_api_merge")

namespace {

ItlClIndexMerge* objectOf(ItlTyIndexMergeHandle handle) {
  return reinterpret_cast<ItlClIndexMerge*>(handle);
}

// One merge step on a handle: 16 for null, else the step in the frame.
template <class Step>
ItlEnReturnCode runStep(ItlTyIndexMergeHandle merge, char const* origin,
                        Step&& step) {
  if (merge == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexMerge& object = *objectOf(merge);
  ItlClErrorInfo& errorInfo = object.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, origin, [&] { step(object); });
}

}  // namespace

ItlEnReturnCode itlHandleNewIndexMerge(ItlTyIndexHandle indexHandle,
                                       ItlTyIndexMergeHandle* merge) {
  ItlClApiTrace trace(ITL_MG_POS);
  if (indexHandle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(indexHandle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  if (merge == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_MG_POS,
                             ItlEnReasonCode_Invalid_argument);
  *merge = nullptr;
  return itlApiGuarded(errorInfo, ITL_MG_POS, [&] {
    index.load();
    ItlClIndexMerge* made =
        itlApiMake<ItlClIndexMerge>(ItlClNoInit(), index, errorInfo);
    *merge = reinterpret_cast<ItlTyIndexMergeHandle>(made);
  });
}

ItlEnReturnCode itlHandleDeleteIndexMerge(ItlTyIndexMergeHandle* merge) {
  ItlClApiTrace trace(ITL_MG_POS);
  if (merge == nullptr || *merge == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClIndexMerge* object = objectOf(*merge);
  ItlClErrorInfo& errorInfo = object->getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_MG_POS, [&] {
    itlApiDestroy(object);
    *merge = nullptr;
  });
}

ItlEnReturnCode itlIndexMergeProcess(ItlTyIndexMergeHandle merge) {
  ItlClApiTrace trace(ITL_MG_POS);
  return runStep(merge, ITL_MG_POS,
                 [](ItlClIndexMerge& m) { m.mergeProcess(); });
}

ItlEnReturnCode itlIndexMergeCommit(ItlTyIndexMergeHandle merge) {
  ItlClApiTrace trace(ITL_MG_POS);
  return runStep(merge, ITL_MG_POS,
                 [](ItlClIndexMerge& m) { m.mergeCommit(); });
}

ItlEnReturnCode itlIndexMergeRollback(ItlTyIndexMergeHandle merge) {
  ItlClApiTrace trace(ITL_MG_POS);
  return runStep(merge, ITL_MG_POS,
                 [](ItlClIndexMerge& m) { m.mergeRollback(); });
}

double itlIndexMergeGetTimes(ItlTyIndexMergeHandle merge,
                             ItlEnTimingMergeType type) {
  ItlClApiTrace trace(ITL_MG_POS);
  trace.int32("ItlEnTimingMergeType", type);
  if (merge == nullptr) return 16.0;
  return 0.0;
}

double itlIndexMergeGetStatistics(ItlTyIndexMergeHandle merge,
                                  ItlEnStatisticsMergeType type) {
  ItlClApiTrace trace(ITL_MG_POS);
  trace.int32("ItlEnStatisticsMergeType", type);
  if (merge == nullptr) return 16.0;
  return 0.0;
}
