// itl_api_docid.cpp: the exported document-id functions.
#include "itl_api_docid.h"

#include "itl_api_docid.hpp"
#include "itl_api_frame.hpp"
#include "itl_api_index.hpp"

#define ITL_DI_POS ITL_API_POS("itl_api_docid")

namespace {

// Length 0 or above MaxDocumentIDLength: 12.
bool nameLengthValid(ItlClDocumentID const& id, uint32_t length) {
  return length != 0 && length <= id.getMaxNameLength();
}

}  // namespace

ItlEnReturnCode itlHandleNewDocumentID(ItlTyIndexHandle indexHandle,
                                       ItlTyDocumentIDHandle* handle) {
  ItlClApiTrace trace(ITL_DI_POS);
  if (indexHandle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(indexHandle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  if (handle == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_DI_POS,
                             ItlEnReasonCode_Invalid_handle);
  *handle = nullptr;
  return itlApiGuarded(errorInfo, ITL_DI_POS, [&] {
    *handle = itlApiHandle(itlApiMake<ItlClDocumentID>(
        [](ItlClDocumentID& id) { id.init(); }, index));
  });
}

ItlEnReturnCode itlHandleDeleteDocumentID(ItlTyDocumentIDHandle* handle) {
  ItlClApiTrace trace(ITL_DI_POS);
  if (handle == nullptr || *handle == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClDocumentID* id = itlApiDocumentID(*handle);
  ItlClErrorInfo& errorInfo = id->getIndex().getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_DI_POS, [&] {
    itlApiDestroy(id);
    *handle = nullptr;
  });
}

ItlEnReturnCode itlDocumentIDSetName(ItlTyDocumentIDHandle handle,
                                     char const* name, uint32_t length) {
  ItlClApiTrace trace(ITL_DI_POS);
  if (name != nullptr)
    trace.dump(CosEnTraceDataType::CSTRING, "document name", name, length);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClDocumentID& id = *itlApiDocumentID(handle);
  ItlClErrorInfo& errorInfo = id.getIndex().getErrorInfo();
  itlApiReset(errorInfo);
  if (name == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_DI_POS,
                             ItlEnReasonCode_Invalid_argument);
  if (!nameLengthValid(id, length))
    return itlApiCheckFailed(errorInfo, ITL_DI_POS,
                             ItlEnReasonCode_Invalid_docid);
  return itlApiGuarded(errorInfo, ITL_DI_POS,
                       [&] { id.setName(name, length); });
}

ItlEnReturnCode itlDocumentIDSetNumber(ItlTyDocumentIDHandle handle,
                                       uint64_t number) {
  ItlClApiTrace trace(ITL_DI_POS);
  trace.dump(CosEnTraceDataType::UINT64, "document number", &number, 8);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClDocumentID& id = *itlApiDocumentID(handle);
  ItlClErrorInfo& errorInfo = id.getIndex().getErrorInfo();
  itlApiReset(errorInfo);
  if (number > ItlClDocumentID::MAX_NUMBER)
    return itlApiCheckFailed(errorInfo, ITL_DI_POS,
                             ItlEnReasonCode_Invalid_docid);
  return itlApiGuarded(errorInfo, ITL_DI_POS, [&] { id.setNumber(number); });
}

ItlEnReturnCode itlDocumentIDObtainName(ItlTyDocumentIDHandle handle,
                                        char const** name, uint32_t* length) {
  ItlClApiTrace trace(ITL_DI_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClDocumentID& id = *itlApiDocumentID(handle);
  ItlClErrorInfo& errorInfo = id.getIndex().getErrorInfo();
  itlApiReset(errorInfo);
  if (name == nullptr || length == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_DI_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_DI_POS,
                       [&] { id.obtainName(*name, *length); });
}

ItlEnReturnCode itlDocumentIDObtainNumber(ItlTyDocumentIDHandle handle,
                                          uint64_t* number) {
  ItlClApiTrace trace(ITL_DI_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClDocumentID& id = *itlApiDocumentID(handle);
  ItlClErrorInfo& errorInfo = id.getIndex().getErrorInfo();
  itlApiReset(errorInfo);
  if (number == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_DI_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_DI_POS,
                       [&] { *number = id.obtainNumber(); });
}

ItlEnReturnCode itlDocumentIDSetNameMapping(ItlTyDocumentIDHandle handle,
                                            bool doMap) {
  ItlClApiTrace trace(ITL_DI_POS);
  trace.boolean("do map", doMap);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  itlApiDocumentID(handle)->setNameMapping(doMap);
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlDocumentIDRetrieveByName(ItlTyDocumentIDHandle handle,
                                            char const* name,
                                            uint32_t length) {
  ItlClApiTrace trace(ITL_DI_POS);
  if (name != nullptr)
    trace.dump(CosEnTraceDataType::CSTRING, "document name", name, length);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClDocumentID& id = *itlApiDocumentID(handle);
  ItlClErrorInfo& errorInfo = id.getIndex().getErrorInfo();
  itlApiReset(errorInfo);
  if (name == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_DI_POS,
                             ItlEnReasonCode_Invalid_argument);
  if (!nameLengthValid(id, length))
    return itlApiCheckFailed(errorInfo, ITL_DI_POS,
                             ItlEnReasonCode_Invalid_docid);
  return itlApiGuarded(errorInfo, ITL_DI_POS,
                       [&] { id.retrieveByName(name, length); });
}
