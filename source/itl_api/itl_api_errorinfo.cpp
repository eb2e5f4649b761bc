// itl_api_errorinfo.cpp: the exported error-info functions.
//
// These functions work on the error info itself: a null one gives 8 (or a
// neutral value), and none of them resets it. Only the maker has a guarded
// block. itlErrorInfoGetReasonCodeAsCString writes no trace records (it is
// what a trace formatter calls), so it reads the reason without the traced
// getter.
#include "files/voz_status.hpp"
#include "itl_api_codes.hpp"
#include "itl_api_errorinfo.h"
#include "itl_api_frame.hpp"

namespace {

ItlEnReasonCode reasonOf(ItlClErrorInfo const* errorInfo) {
  if (errorInfo == nullptr) return ItlEnReasonCode_Invalid_handle;
  return errorInfo->getReturnCode() != ItlEnReturnCode_Success
             ? errorInfo->getReasonCode()
             : ItlEnReasonCode_Success;
}

}  // namespace

ItlEnReturnCode itlHandleNewErrorInfo(ItlTyErrorInfoHandle* handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_errorinfo"));
  if (handle == nullptr) return ItlEnReturnCode_Error;
  *handle = nullptr;
  try {
    *handle = itlApiHandle(itlApiMake<ItlClErrorInfo>(ItlClNoInit()));
  } catch (...) {
    return ItlEnReturnCode_Error;
  }
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlHandleDeleteErrorInfo(ItlTyErrorInfoHandle* handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_errorinfo"));
  if (handle == nullptr || *handle == nullptr) return ItlEnReturnCode_Error;
  itlApiDestroy(itlApiErrorInfo(*handle));
  *handle = nullptr;
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlErrorInfoSetWarningThreshold(ItlTyErrorInfoHandle handle,
                                                uint32_t numberOfWarnings) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_errorinfo"));
  trace.uint32("uNumberOfWarnings", numberOfWarnings);
  if (handle == nullptr) return ItlEnReturnCode_Error;
  itlApiErrorInfo(handle)->setWarningThreshold(numberOfWarnings);
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlErrorInfoRegisterCallback(ItlTyErrorInfoHandle handle,
                                             ItlTyErrorCallback callback,
                                             void* user) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_errorinfo"));
  if (handle == nullptr) return ItlEnReturnCode_Error;
  ItlClErrorInfo* errorInfo = itlApiErrorInfo(handle);
  if (callback != nullptr) errorInfo->setCallback(callback, user);
  else errorInfo->resetCallback();
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlErrorInfoGetReturnCode(ItlTyErrorInfoHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_errorinfo"));
  if (handle == nullptr) return ItlEnReturnCode_Error;
  return itlApiErrorInfo(handle)->getReturnCode();
}

ItlEnReasonCode itlErrorInfoGetReasonCode(ItlTyErrorInfoHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_errorinfo"));
  return reasonOf(itlApiErrorInfo(handle));
}

ItlEnErrorAction itlErrorInfoGetAction(ItlTyErrorInfoHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_errorinfo"));
  if (handle == nullptr) return ItlEnErrorAction_Inform;
  ItlClErrorInfo const* errorInfo = itlApiErrorInfo(handle);
  return errorInfo->getReturnCode() != ItlEnReturnCode_Success
             ? errorInfo->getAction()
             : ItlEnErrorAction_Ignore;
}

char const* itlErrorInfoGetContext(ItlTyErrorInfoHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_errorinfo"));
  if (handle == nullptr) return nullptr;
  ItlClErrorInfo const* errorInfo = itlApiErrorInfo(handle);
  return errorInfo->getReturnCode() != ItlEnReturnCode_Success
             ? errorInfo->getContext()
             : "";
}

char const* itlErrorInfoGetOrigin(ItlTyErrorInfoHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_errorinfo"));
  if (handle == nullptr) return nullptr;
  return itlApiErrorInfo(handle)->getOrigin();
}

GTRSTATUS* itlErrorInfoGetVOZStatus(ItlTyErrorInfoHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_errorinfo"));
  if (handle == nullptr) return nullptr;
  try {
    return itlApiErrorInfo(handle)->getVozStatus();
  } catch (...) {
    return nullptr;  // the copy could not be allocated
  }
}

int32_t itlErrorInfoGetVOZCode(ItlTyErrorInfoHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_errorinfo"));
  if (handle == nullptr) return 0;
  ItlClErrorInfo const* errorInfo = itlApiErrorInfo(handle);
  GTRSTATUS const* status = errorInfo->peekVozStatus();
  if (errorInfo->getReturnCode() == ItlEnReturnCode_Success ||
      status == nullptr)
    return 0;
  return status->retcode;
}

char const* itlErrorInfoGetReturnCodeAsCString(ItlTyErrorInfoHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_errorinfo"));
  return itlApiReturnCodeName(itlErrorInfoGetReturnCode(handle));
}

char const* itlErrorInfoGetActionAsCString(ItlTyErrorInfoHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_errorinfo"));
  return itlApiActionName(itlErrorInfoGetAction(handle));
}

char const* itlErrorInfoGetReasonCodeAsCString(ItlTyErrorInfoHandle handle) {
  return itlApiReasonCodeName(reasonOf(itlApiErrorInfo(handle)));
}
