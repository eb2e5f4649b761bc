// itl_api_search_term.cpp: the exported search-term functions.
#include "itl_api_frame.hpp"
#include "itl_api_search_term.h"
#include "itl_search_term.hpp"

#define ITL_ST_POS ITL_API_POS("itl_api_search_term")

namespace {

ItlClAlSearchTerm* object(ItlTySearchTermHandle handle) {
  return reinterpret_cast<ItlClAlSearchTerm*>(handle);
}
ItlClAlSearchString* stringOf(ItlTySearchStringHandle handle) {
  return reinterpret_cast<ItlClAlSearchString*>(handle);
}
// The value 1 of a bool a C caller passed (any other byte is off).
bool isOne(bool value) {
  unsigned char raw;
  std::memcpy(&raw, &value, 1);
  return raw == 1;
}

}  // namespace

ItlEnReturnCode itlHandleNewSearchTerm(ItlTySearchStringHandle searchString,
                                       ItlTySearchTermHandle* handle,
                                       ItlTyContextHandle contextHandle) {
  ItlClApiTrace trace(ITL_ST_POS);
  if (contextHandle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = itlApiContext(contextHandle)->getErrorInfo();
  itlApiReset(errorInfo);
  if (searchString == nullptr || handle == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_ST_POS,
                             ItlEnReasonCode_Invalid_argument);
  *handle = nullptr;
  return itlApiGuarded(errorInfo, ITL_ST_POS, [&] {
    *handle = reinterpret_cast<ItlTySearchTermHandle>(
        itlApiMake<ItlClAlSearchTerm>(ItlClNoInit(), errorInfo,
                                      *stringOf(searchString)));
  });
}

ItlEnReturnCode itlHandleDeleteSearchTerm(ItlTySearchTermHandle* handle) {
  ItlClApiTrace trace(ITL_ST_POS);
  if (handle == nullptr || *handle == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClAlSearchTerm* term = object(*handle);
  ItlClErrorInfo& errorInfo = term->getErrorInfo();
  return itlApiGuarded(errorInfo, ITL_ST_POS, [&] {
    itlApiDestroy(term);
    *handle = nullptr;
  });
}

ItlEnReturnCode itlSearchTermSetNewSearchString(
    ItlTySearchTermHandle term, ItlTySearchStringHandle searchString) {
  ItlClApiTrace trace(ITL_ST_POS);
  if (term == nullptr || searchString == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = object(term)->getErrorInfo();
  itlApiGuarded(errorInfo, ITL_ST_POS, [&] {
    object(term)->setSearchString(*stringOf(searchString));
  });
  return errorInfo.getReturnCode() == ItlEnReturnCode_Error
             ? ItlEnReturnCode_Error
             : ItlEnReturnCode_Success;
}

ItlEnReturnCode itlSearchTermRespectKoreanWordBoundary(
    ItlTySearchTermHandle term, bool on) {
  ItlClApiTrace trace(ITL_ST_POS);
  if (term == nullptr) return ItlEnReturnCode_Error_Handle;
  object(term)->setKoreanWordBoundary(isOne(on));
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlSearchTermCompareStemForms(ItlTySearchTermHandle term,
                                              bool on) {
  ItlClApiTrace trace(ITL_ST_POS);
  if (term == nullptr) return ItlEnReturnCode_Error_Handle;
  object(term)->setStemming(isOne(on));
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlSearchTermPreferMasks(ItlTySearchTermHandle term, bool on) {
  ItlClApiTrace trace(ITL_ST_POS);
  if (term == nullptr) return ItlEnReturnCode_Error_Handle;
  object(term)->setPreferMasks(isOne(on));
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlSearchTermSetPrecision(ItlTySearchTermHandle term,
                                          ItlTyPrecision precision) {
  ItlClApiTrace trace(ITL_ST_POS);
  if (term == nullptr) return ItlEnReturnCode_Error_Handle;
  if (precision == 0 || precision > 100)
    return itlApiCheckFailed(object(term)->getErrorInfo(), ITL_ST_POS,
                             ItlEnReasonCode_Invalid_argument);
  object(term)->setPrecision(precision);
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlSearchTermSetWeight(ItlTySearchTermHandle term,
                                       ItlTyRankWeight weight) {
  ItlClApiTrace trace(ITL_ST_POS);
  if (term == nullptr) return ItlEnReturnCode_Error_Handle;
  if (weight < 0)
    return itlApiCheckFailed(object(term)->getErrorInfo(), ITL_ST_POS,
                             ItlEnReasonCode_Invalid_argument);
  object(term)->setWeight(weight);
  return ItlEnReturnCode_Success;
}

namespace {

// The frame of the four field calls: null term 16, null name 25, the work
// guarded. `addCall` tells the Add calls, which return the stored return
// code, from the Set calls, which return 0 on success.
template <class Work>
ItlEnReturnCode fieldCall(ItlTySearchTermHandle term, char const* name,
                          char const* origin, bool addCall, Work&& work) {
  if (term == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = object(term)->getErrorInfo();
  if (name == nullptr)
    return itlApiCheckFailed(errorInfo, origin,
                             ItlEnReasonCode_Invalid_argument);
  bool failed = false;
  ItlEnReturnCode rc = itlApiGuarded(
      errorInfo, origin, [&] { work(*object(term)); },
      [&](ItlClErrorInfo&, ItlEnErrorAction) { failed = true; });
  if (failed || addCall) return rc;
  return ItlEnReturnCode_Success;
}

}  // namespace

ItlEnReturnCode itlSearchTermSetField(ItlTySearchTermHandle term,
                                      char const* name) {
  ItlClApiTrace trace(ITL_ST_POS);
  trace.text("field name", name);
  return fieldCall(term, name, ITL_ST_POS, false,
                   [&](ItlClAlSearchTerm& t) { t.setField(name); });
}

ItlEnReturnCode itlSearchTermSetFieldWeight(ItlTySearchTermHandle term,
                                            char const* name,
                                            ItlTyRankWeight weight) {
  ItlClApiTrace trace(ITL_ST_POS);
  trace.text("field name", name);
  return fieldCall(term, name, ITL_ST_POS, false, [&](ItlClAlSearchTerm& t) {
    t.setFieldWeight(name, weight);
  });
}

ItlEnReturnCode itlSearchTermAddField(ItlTySearchTermHandle term,
                                      char const* name) {
  ItlClApiTrace trace(ITL_ST_POS);
  trace.text("field name", name);
  return fieldCall(term, name, ITL_ST_POS, true,
                   [&](ItlClAlSearchTerm& t) { t.addField(name); });
}

ItlEnReturnCode itlSearchTermAddFieldWeight(ItlTySearchTermHandle term,
                                            char const* name,
                                            ItlTyRankWeight weight) {
  ItlClApiTrace trace(ITL_ST_POS);
  trace.text("field name", name);
  return fieldCall(term, name, ITL_ST_POS, true, [&](ItlClAlSearchTerm& t) {
    t.addFieldWeight(name, weight);
  });
}

ItlEnReturnCode itlSearchTermResetToDefault(ItlTySearchTermHandle term) {
  ItlClApiTrace trace(ITL_ST_POS);
  if (term == nullptr) return ItlEnReturnCode_Error_Handle;
  itlApiReset(object(term)->getErrorInfo());
  object(term)->resetToDefault();
  return ItlEnReturnCode_Success;
}
