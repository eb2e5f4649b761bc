// itl_api_query_estimate.cpp: the exported query-estimate functions. An
// estimate is an ItlClSelectivityQuery behind a query handle; its error
// info is that of its index search handle.
#include "itl_api_query_estimate.h"

#include "itl_api_query.hpp"
#include "itl_selectivity_query.hpp"

#define ITL_QE_POS ITL_API_POS("itl_api_query_estimate")

namespace {

// The estimate behind a handle; null for a null handle and for a plain
// query's handle (both handle types are the same to a C compiler), which
// the estimate functions refuse as a wrong handle (16).
ItlClSelectivityQuery* object(ItlTyQueryEstimateHandle handle) {
  if (handle == nullptr) return nullptr;
  return dynamic_cast<ItlClSelectivityQuery*>(itlApiQuery(handle));
}

}  // namespace

ItlEnReturnCode itlHandleNewQueryEstimate(ItlTyIndexSearchHandle searchHandle,
                                          char const* language,
                                          ItlTyCCSID ccsid,
                                          ItlTyQueryEstimateHandle* handle) {
  ItlClApiTrace trace(ITL_QE_POS);
  trace.text("language", language);
  trace.dump(CosEnTraceDataType::UINT16, "ItlTyCCSID", &ccsid, 2);
  return itlApiNewQuery<ItlClSelectivityQuery>(ITL_QE_POS, searchHandle,
                                               language, ccsid, handle);
}

ItlEnReturnCode itlHandleDeleteQueryEstimate(
    ItlTyQueryEstimateHandle* handle) {
  ItlClApiTrace trace(ITL_QE_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClSelectivityQuery* estimate = object(*handle);
  if (estimate == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = estimate->getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_QE_POS, [&] {
    // A failed release is recorded and leaves the estimate and the handle
    // (its engine handle is gone, so a second delete succeeds).
    estimate->releaseSelectivityHandle();
    itlApiDestroy(estimate);
    *handle = nullptr;
  });
}

ItlEnReturnCode itlQueryEstimateProcess(ItlTyQueryEstimateHandle handle,
                                        ItlTyDocumentCount maximum,
                                        ItlTyDocumentCount* selected,
                                        ItlTyDocumentCount* second) {
  ItlClApiTrace trace(ITL_QE_POS);
  trace.dump(CosEnTraceDataType::UINT64, "ItlTyDocumentCount", &maximum, 8);
  if (object(handle) == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClSelectivityQuery& estimate = *object(handle);
  ItlClErrorInfo& errorInfo = estimate.getErrorInfo();
  itlApiReset(errorInfo);
  if (selected == nullptr || second == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_QE_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_QE_POS, [&] {
    ItlClSelectivityQuery::Estimate counts = estimate.estimate(maximum);
    *selected = counts.selected;
    *second = counts.second;
  });
}
