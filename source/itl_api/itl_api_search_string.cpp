// itl_api_search_string.cpp: the exported search-string functions.
#include "itl_api_frame.hpp"
#include "itl_api_search_string.h"
#include "itl_search_string.hpp"

#define ITL_SS_POS ITL_API_POS("itl_api_search_string")

namespace {

ItlClAlSearchString* object(ItlTySearchStringHandle handle) {
  return reinterpret_cast<ItlClAlSearchString*>(handle);
}

bool validLength(char const* value, unsigned int length) {
  return value != nullptr && length >= 1 &&
         length <= ItlClAlSearchString::MAX_VALUE_LENGTH;
}

}  // namespace

ItlEnReturnCode itlHandleNewSearchString(char const* value,
                                         unsigned int length,
                                         ItlTySearchStringHandle* handle,
                                         ItlTyContextHandle contextHandle) {
  ItlClApiTrace trace(ITL_SS_POS);
  if (contextHandle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClContext& context = *itlApiContext(contextHandle);
  ItlClErrorInfo& errorInfo = context.getErrorInfo();
  itlApiReset(errorInfo);
  if (handle == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_SS_POS,
                             ItlEnReasonCode_Invalid_argument);
  *handle = nullptr;
  if (!validLength(value, length))
    return itlApiCheckFailed(errorInfo, ITL_SS_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_SS_POS, [&] {
    *handle = reinterpret_cast<ItlTySearchStringHandle>(
        itlApiMake<ItlClAlSearchString>(ItlClNoInit(), errorInfo, value,
                                        static_cast<uint32_t>(length)));
  });
}

ItlEnReturnCode itlHandleDeleteSearchString(ItlTySearchStringHandle* handle) {
  ItlClApiTrace trace(ITL_SS_POS);
  if (handle == nullptr || *handle == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClAlSearchString* searchString = object(*handle);
  ItlClErrorInfo& errorInfo = searchString->getErrorInfo();
  return itlApiGuarded(errorInfo, ITL_SS_POS, [&] {
    itlApiDestroy(searchString);
    *handle = nullptr;
  });
}

ItlEnReturnCode itlSearchStringSetCCSIDAndLanguage(
    ItlTySearchStringHandle handle, ItlTyCCSID ccsid, char const* language) {
  ItlClApiTrace trace(ITL_SS_POS);
  trace.text("language", language);
  trace.dump(CosEnTraceDataType::UINT16, "ItlTyCCSID", &ccsid, 2);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = object(handle)->getErrorInfo();
  if (language == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_SS_POS,
                             ItlEnReasonCode_Invalid_argument);
  ItlEnReasonCode reason = object(handle)->setCCSIDAndLanguage(ccsid, language);
  if (reason != ItlEnReasonCode_Success)
    return itlApiCheckFailed(errorInfo, ITL_SS_POS, reason);
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlSearchStringSetNewValue(ItlTySearchStringHandle handle,
                                           char const* value,
                                           unsigned int length) {
  ItlClApiTrace trace(ITL_SS_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = object(handle)->getErrorInfo();
  if (!validLength(value, length))
    return itlApiCheckFailed(errorInfo, ITL_SS_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_SS_POS, [&] {
    object(handle)->setValue(value, static_cast<uint32_t>(length));
  });
}

ItlEnReturnCode itlSearchStringRespectCase(ItlTySearchStringHandle handle,
                                           bool respectCase) {
  ItlClApiTrace trace(ITL_SS_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  // A C caller may pass any byte in a bool.
  unsigned char raw;
  std::memcpy(&raw, &respectCase, 1);
  if (raw > 1)
    return itlApiCheckFailed(object(handle)->getErrorInfo(), ITL_SS_POS,
                             ItlEnReasonCode_Invalid_argument);
  object(handle)->setRespectCase(raw);
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlSearchStringSetMasks(ItlTySearchStringHandle handle,
                                        char const* singleMasks,
                                        unsigned int singleCount,
                                        char const* multiMasks,
                                        unsigned int multiCount) {
  ItlClApiTrace trace(ITL_SS_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlEnReasonCode reason = object(handle)->setMasks(
      singleMasks, singleCount, multiMasks, multiCount);
  if (reason != ItlEnReasonCode_Success)
    return itlApiCheckFailed(object(handle)->getErrorInfo(), ITL_SS_POS,
                             reason);
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlSearchStringResetToDefault(ItlTySearchStringHandle handle) {
  ItlClApiTrace trace(ITL_SS_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  itlApiReset(object(handle)->getErrorInfo());
  object(handle)->resetToDefault();
  return ItlEnReturnCode_Success;
}
