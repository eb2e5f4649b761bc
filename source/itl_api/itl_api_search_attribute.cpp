// itl_api_search_attribute.cpp: the exported functions of string and
// numeric attribute conditions.
#include <cstring>

#include "itl_api_frame.hpp"
#include "itl_api_search_attribute.h"
#include "itl_search_attribute.hpp"

#define ITL_SA_POS ITL_API_POS("itl_api_search_attribute")

namespace {

ItlClAlStringAttribute* stringAttribute(ItlTyStringAttributeHandle handle) {
  return reinterpret_cast<ItlClAlStringAttribute*>(handle);
}
ItlClAlNumericAttributeCondition* numeric(
    ItlTyNumericAttributeConditionHandle handle) {
  return reinterpret_cast<ItlClAlNumericAttributeCondition*>(handle);
}
ItlClAlSearchString* stringOf(ItlTySearchStringHandle handle) {
  return reinterpret_cast<ItlClAlSearchString*>(handle);
}

// A name the 16-bit buffer size holds with its terminator. The length is
// counted only up to the limit, so a long name is not read to its end.
bool nameFits(char const* name) {
  return strnlen(name, ItlClAlStringAttribute::MAX_NAME_LENGTH + 1) <=
         ItlClAlStringAttribute::MAX_NAME_LENGTH;
}

bool valuesGiven(char const* name, char const* low, unsigned int lowLength,
                 char const* high, unsigned int highLength) {
  return name != nullptr && low != nullptr && lowLength != 0 &&
         high != nullptr && highLength != 0;
}

}  // namespace

// ---- string attribute conditions -------------------------------------------

ItlEnReturnCode itlHandleNewStringAttribute(
    ItlTySearchStringHandle searchString, char const* name,
    ItlTyStringAttributeHandle* handle, ItlTyContextHandle contextHandle) {
  ItlClApiTrace trace(ITL_SA_POS);
  trace.text("attribute name", name);
  if (contextHandle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClContext& context = *itlApiContext(contextHandle);
  ItlClErrorInfo& errorInfo = context.getErrorInfo();
  itlApiReset(errorInfo);
  if (searchString == nullptr) return ItlEnReturnCode_Error_Handle;
  if (handle == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_SA_POS,
                             ItlEnReasonCode_Invalid_argument);
  *handle = nullptr;
  if (name == nullptr || !nameFits(name))
    return itlApiCheckFailed(errorInfo, ITL_SA_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_SA_POS, [&] {
    *handle = reinterpret_cast<ItlTyStringAttributeHandle>(
        itlApiMake<ItlClAlStringAttribute>(ItlClNoInit(), context,
                                           *stringOf(searchString), name));
  });
}

ItlEnReturnCode itlHandleDeleteStringAttribute(
    ItlTyStringAttributeHandle* handle) {
  ItlClApiTrace trace(ITL_SA_POS);
  if (handle == nullptr || *handle == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClAlStringAttribute* condition = stringAttribute(*handle);
  ItlClErrorInfo& errorInfo = condition->getErrorInfo();
  return itlApiGuarded(errorInfo, ITL_SA_POS, [&] {
    itlApiDestroy(condition);
    *handle = nullptr;
  });
}

ItlEnReturnCode itlStringAttributeReset(ItlTyStringAttributeHandle handle) {
  ItlClApiTrace trace(ITL_SA_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  itlApiReset(stringAttribute(handle)->getErrorInfo());
  stringAttribute(handle)->reset();
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlStringAttributeSetName(ItlTyStringAttributeHandle handle,
                                          char const* name) {
  ItlClApiTrace trace(ITL_SA_POS);
  trace.text("attribute name", name);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = stringAttribute(handle)->getErrorInfo();
  if (name == nullptr || !nameFits(name))
    return itlApiCheckFailed(errorInfo, ITL_SA_POS,
                             ItlEnReasonCode_Invalid_argument);
  bool failed = false;
  ItlEnReturnCode rc = itlApiGuarded(
      errorInfo, ITL_SA_POS, [&] { stringAttribute(handle)->setName(name); },
      [&](ItlClErrorInfo&, ItlEnErrorAction) { failed = true; });
  return failed ? rc : ItlEnReturnCode_Success;
}

ItlEnReturnCode itlStringAttributeSetSearchString(
    ItlTyStringAttributeHandle handle, ItlTySearchStringHandle searchString) {
  ItlClApiTrace trace(ITL_SA_POS);
  if (handle == nullptr || searchString == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = stringAttribute(handle)->getErrorInfo();
  bool failed = false;
  ItlEnReturnCode rc = itlApiGuarded(
      errorInfo, ITL_SA_POS,
      [&] { stringAttribute(handle)->setSearchString(*stringOf(searchString)); },
      [&](ItlClErrorInfo&, ItlEnErrorAction) { failed = true; });
  return failed ? rc : ItlEnReturnCode_Success;
}

// ---- numeric attribute conditions ------------------------------------------

ItlEnReturnCode itlHandleNewNumericAttributeCondition(
    char const* name, ItlEnAttributeType type, char const* lowValue,
    unsigned int lowLength, ItlEnAttributeComparison lowComparison,
    char const* highValue, unsigned int highLength,
    ItlEnAttributeComparison highComparison,
    ItlTyNumericAttributeConditionHandle* handle,
    ItlTyContextHandle contextHandle) {
  ItlClApiTrace trace(ITL_SA_POS);
  trace.text("attribute name", name);
  trace.int32("ItlEnAttributeType", type);
  trace.int32("ItlEnAttributeComparison", lowComparison);
  trace.int32("ItlEnAttributeComparison", highComparison);
  if (contextHandle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClContext& context = *itlApiContext(contextHandle);
  ItlClErrorInfo& errorInfo = context.getErrorInfo();
  itlApiReset(errorInfo);
  if (handle == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_SA_POS,
                             ItlEnReasonCode_Invalid_argument);
  *handle = nullptr;
  if (!valuesGiven(name, lowValue, lowLength, highValue, highLength))
    return itlApiCheckFailed(errorInfo, ITL_SA_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_SA_POS, [&] {
    *handle = reinterpret_cast<ItlTyNumericAttributeConditionHandle>(
        itlApiMake<ItlClAlNumericAttributeCondition>(
            ItlClNoInit(), name, type, lowValue, lowLength, lowComparison,
            highValue, highLength, highComparison, context));
  });
}

ItlEnReturnCode itlHandleDeleteNumericAttributeCondition(
    ItlTyNumericAttributeConditionHandle* handle) {
  ItlClApiTrace trace(ITL_SA_POS);
  if (handle == nullptr || *handle == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClAlNumericAttributeCondition* condition = numeric(*handle);
  ItlClErrorInfo& errorInfo = condition->getErrorInfo();
  return itlApiGuarded(errorInfo, ITL_SA_POS, [&] {
    itlApiDestroy(condition);
    *handle = nullptr;
  });
}

ItlEnReturnCode itlNumericAttributeConditionReset(
    ItlTyNumericAttributeConditionHandle handle) {
  ItlClApiTrace trace(ITL_SA_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  itlApiReset(numeric(handle)->getErrorInfo());
  numeric(handle)->reset();
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlNumericAttributeConditionSetValues(
    ItlTyNumericAttributeConditionHandle handle, char const* name,
    ItlEnAttributeType type, char const* lowValue, unsigned int lowLength,
    ItlEnAttributeComparison lowComparison, char const* highValue,
    unsigned int highLength, ItlEnAttributeComparison highComparison) {
  ItlClApiTrace trace(ITL_SA_POS);
  trace.text("attribute name", name);
  trace.int32("ItlEnAttributeType", type);
  trace.int32("ItlEnAttributeComparison", lowComparison);
  trace.int32("ItlEnAttributeComparison", highComparison);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = numeric(handle)->getErrorInfo();
  if (!valuesGiven(name, lowValue, lowLength, highValue, highLength))
    return itlApiCheckFailed(errorInfo, ITL_SA_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_SA_POS, [&] {
    numeric(handle)->setNewValues(name, type, lowValue, lowLength,
                                  lowComparison, highValue, highLength,
                                  highComparison);
  });
}

ItlEnReturnCode itlNumericAttributeConditionSetCCSIDAndLanguage(
    ItlTyNumericAttributeConditionHandle handle, ItlTyCCSID ccsid,
    char const* language) {
  ItlClApiTrace trace(ITL_SA_POS);
  trace.text("language", language);
  trace.dump(CosEnTraceDataType::UINT16, "ItlTyCCSID", &ccsid, 2);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = numeric(handle)->getErrorInfo();
  if (language == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_SA_POS,
                             ItlEnReasonCode_Invalid_argument);
  ItlEnReasonCode reason =
      numeric(handle)->setCCSIDAndLanguage(ccsid, language);
  if (reason != ItlEnReasonCode_Success)
    return itlApiCheckFailed(errorInfo, ITL_SA_POS, reason);
  return ItlEnReturnCode_Success;
}
