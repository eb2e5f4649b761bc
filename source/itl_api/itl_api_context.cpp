// itl_api_context.cpp: the exported context functions and the search
// timings (which are not measured: 0.0 for every type).
#include "itl_api_context.h"
#include "itl_api_frame.hpp"

ItlEnReturnCode itlHandleNewContext(ItlTyContextHandle* handle,
                                    ItlTyErrorInfoHandle errorInfoHandle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_context"));
  if (errorInfoHandle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = *itlApiErrorInfo(errorInfoHandle);
  itlApiReset(errorInfo);
  if (handle == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_context"),
                             ItlEnReasonCode_Invalid_handle);
  *handle = nullptr;
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_context"), [&] {
    *handle = itlApiHandle(itlApiMake<ItlClContext>(ItlClNoInit(), errorInfo));
  });
}

ItlEnReturnCode itlHandleDeleteContext(ItlTyContextHandle* handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_context"));
  if (handle == nullptr || *handle == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClContext* context = itlApiContext(*handle);
  ItlClErrorInfo& errorInfo = context->getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_context"), [&] {
    itlApiDestroy(context);
    *handle = nullptr;
  });
}

ItlEnReturnCode itlContextRegisterDateCallback(ItlTyContextHandle handle,
                                               ItlTyDateCallback callback,
                                               void* user) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_context"));
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClContext& context = *itlApiContext(handle);
  ItlClErrorInfo& errorInfo = context.getErrorInfo();
  itlApiReset(errorInfo);
  if (callback == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_context"),
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_context"), [&] {
    context.registerDateCallback(callback, true, user);
  });
}

ItlEnReturnCode itlContextRegisterNumberCallback(ItlTyContextHandle handle,
                                                 ItlTyNumberCallback callback,
                                                 void* user) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_context"));
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClContext& context = *itlApiContext(handle);
  ItlClErrorInfo& errorInfo = context.getErrorInfo();
  itlApiReset(errorInfo);
  if (callback == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_context"),
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_context"), [&] {
    context.registerNumberCallback(callback, true, user);
  });
}

ItlEnReturnCode itlContextRegisterSkipDocumentSetCallback(
    ItlTyContextHandle handle, ItlTySkipDocumentSetCallback callback,
    void* user) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_context"));
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClContext& context = *itlApiContext(handle);
  ItlClErrorInfo& errorInfo = context.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_context"), [&] {
    context.registerSkipDocumentSetCallback(callback, user);
  });
}

ItlEnReturnCode itlContextRegisterRankingCallback(ItlTyContextHandle handle,
                                                  ItlTyRankingCallback callback,
                                                  ItlEnSortOrder order,
                                                  void* user) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_context"));
  trace.int32("ItlEnSortOrder", order);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClContext& context = *itlApiContext(handle);
  ItlClErrorInfo& errorInfo = context.getErrorInfo();
  itlApiReset(errorInfo);
  if (order != ItlEnSortOrder_Ascending && order != ItlEnSortOrder_Descending)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_context"),
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_context"), [&] {
    context.registerRankingCallback(callback, order, user);
  });
}

double itlIndexSearchGetTimes(ItlTyIndexSearchHandle, ItlEnTimingSearchType type) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_context"));
  trace.int32("ItlEnTimingSearchType", type);
  return 0.0;
}
