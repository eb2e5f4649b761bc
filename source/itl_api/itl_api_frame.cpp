// itl_api_frame.cpp: the handlers shared by every exported function (see
// itl_api_frame.hpp for the frame's steps).
#include "itl_api_frame.hpp"

ItlEnReturnCode itlApiRecord(ItlClErrorInfo& errorInfo,
                             ItlClException const& e) {
  try {
    return errorInfo.setError(e);
  } catch (ItlClException const& tooMany) {
    // A warning that reached the threshold: an error, which never throws.
    return errorInfo.setError(tooMany);
  }
}

ItlEnReturnCode itlApiRecord(ItlClErrorInfo& errorInfo,
                             CosClException const& e) {
  return errorInfo.setError(e);
}

ItlEnReturnCode itlApiRecordUnexpected(ItlClErrorInfo& errorInfo,
                                       char const* origin) {
  return errorInfo.setError(origin, ItlEnReasonCode_Unexpected_error,
                            ItlEnReturnCode_Error, ItlEnErrorAction_Inform);
}

bool itlApiRollbackIsDue(ItlClErrorInfo const& errorInfo,
                         ItlEnErrorAction caughtAction) {
  if (caughtAction >= ItlEnErrorAction_Rollback) return true;
  return errorInfo.getReturnCode() != ItlEnReturnCode_Success &&
         errorInfo.getAction() >= ItlEnErrorAction_Rollback;
}
