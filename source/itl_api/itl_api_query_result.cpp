// itl_api_query_result.cpp: the exported query-result functions.
//
// The option setters and the getters up to itlQueryResultObtainTermCount
// record only their refusals (the error info is reset first, then 25) and
// answer 0 on success without reading the error info back.
#include <cstring>

#include "itl_api_frame.hpp"
#include "itl_api_query_result.h"
#include "itl_api_result_docid.hpp"
#include "itl_query_result.hpp"

#define ITL_QR_POS ITL_API_POS("itl_api_query_result")

namespace {

ItlClQueryResult* object(ItlTyQueryResultHandle handle) {
  return reinterpret_cast<ItlClQueryResult*>(handle);
}

// A refused argument of a setter or getter.
ItlEnReturnCode refuse(ItlClQueryResult& result, char const* origin) {
  ItlClErrorInfo& errorInfo = result.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiCheckFailed(errorInfo, origin,
                           ItlEnReasonCode_Invalid_argument);
}

bool isOne(bool value) {
  unsigned char raw;
  std::memcpy(&raw, &value, 1);
  return raw == 1;
}

}  // namespace

ItlEnReturnCode itlHandleNewQueryResult(ItlTyQueryResultHandle* handle,
                                        ItlTyContextHandle contextHandle) {
  ItlClApiTrace trace(ITL_QR_POS);
  if (contextHandle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClContext& context = *itlApiContext(contextHandle);
  ItlClErrorInfo& errorInfo = context.getErrorInfo();
  itlApiReset(errorInfo);
  if (handle == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_QR_POS,
                             ItlEnReasonCode_Invalid_handle);
  *handle = nullptr;
  return itlApiGuarded(errorInfo, ITL_QR_POS, [&] {
    *handle = reinterpret_cast<ItlTyQueryResultHandle>(
        itlApiMake<ItlClQueryResult>(ItlClNoInit(), context));
  });
}

ItlEnReturnCode itlHandleDeleteQueryResult(ItlTyQueryResultHandle* handle) {
  ItlClApiTrace trace(ITL_QR_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  if (*handle == nullptr) return ItlEnReturnCode_Success;
  ItlClQueryResult* result = object(*handle);
  ItlClErrorInfo& errorInfo = result->getErrorInfo();
  itlApiReset(errorInfo);
  // The engine result is let go of first so that its failure reaches the
  // caller; the result is freed in any case.
  ItlEnReturnCode rc = itlApiGuarded(errorInfo, ITL_QR_POS,
                                     [&] { result->releaseEngineResult(); });
  itlApiDestroy(result);
  *handle = nullptr;
  return rc;
}

ItlEnReturnCode itlQueryResultSetLimit(ItlTyQueryResultHandle handle,
                                       ItlTyDocumentCount limit) {
  ItlClApiTrace trace(ITL_QR_POS);
  trace.dump(CosEnTraceDataType::UINT64, "ItlTyDocumentCount", &limit, 8);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  if (limit > ItlClQueryResult::LIMIT_MAX)
    return refuse(*object(handle), ITL_QR_POS);
  object(handle)->setLimit(limit);
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlQueryResultSetMemorySize(ItlTyQueryResultHandle handle,
                                            ItlTyMemorySize size) {
  ItlClApiTrace trace(ITL_QR_POS);
  trace.uint32("ItlTyMemorySize", size);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  if (size >= 2147483648u) return refuse(*object(handle), ITL_QR_POS);
  object(handle)->setMemorySize(size);
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlQueryResultSetDataForm(ItlTyQueryResultHandle handle,
                                          ItlEnResultDataForm form) {
  ItlClApiTrace trace(ITL_QR_POS);
  trace.int32("ItlEnResultDataForm", form);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  int32_t value = static_cast<int32_t>(form);
  if (value != 0 && value != 1) return refuse(*object(handle), ITL_QR_POS);
  object(handle)->setDataForm(static_cast<uint32_t>(value));
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlQueryResultSetStatisticsOnly(ItlTyQueryResultHandle handle,
                                                bool on) {
  ItlClApiTrace trace(ITL_QR_POS);
  trace.boolean("statistics only", on);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  object(handle)->setStatisticsOnly(isOne(on));
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlQueryResultSetSaveToFile(ItlTyQueryResultHandle handle,
                                            char const* fileName) {
  ItlClApiTrace trace(ITL_QR_POS);
  trace.text("filename", fileName);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  // The engine's field holds GTR_RES_FNAME_LEN - 1 bytes and the NUL.
  if (fileName != nullptr &&
      std::strlen(fileName) >= static_cast<size_t>(GTR_RES_FNAME_LEN))
    return refuse(*object(handle), ITL_QR_POS);
  object(handle)->setSaveToFile(fileName);
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlQueryResultSetDocCountByTerm(ItlTyQueryResultHandle handle,
                                                bool enable) {
  ItlClApiTrace trace(ITL_QR_POS);
  trace.boolean("enable", enable);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  object(handle)->setDocCountByTerm(isOne(enable));
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlQueryResultObtainStatus(ItlTyQueryResultHandle handle,
                                           uint32_t* status) {
  ItlClApiTrace trace(ITL_QR_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  if (status == nullptr) return refuse(*object(handle), ITL_QR_POS);
  *status = object(handle)->getStatus();
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlQueryResultObtainStatistics(ItlTyQueryResultHandle handle,
                                               ItlTyDocumentCount* documents,
                                               uint32_t* occurrences,
                                               bool* searchEnded) {
  ItlClApiTrace trace(ITL_QR_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClQueryResult const& result = *object(handle);
  GTRSEARCH_RES const& record = result.getRecord();
  if (documents != nullptr)
    *documents = record.result_docnum > 0
                     ? static_cast<uint64_t>(record.result_docnum)
                     : 0;
  if (occurrences != nullptr)
    *occurrences = static_cast<uint32_t>(record.result_occnum);
  if (searchEnded != nullptr) *searchEnded = result.isSearchEnded();
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlQueryResultObtainTermCount(ItlTyQueryResultHandle handle,
                                              int32_t* count) {
  ItlClApiTrace trace(ITL_QR_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  if (count == nullptr) return refuse(*object(handle), ITL_QR_POS);
  *count = object(handle)->getTermCount();
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlQueryResultObtainDocCountByTerm(
    ItlTyQueryResultHandle handle, ItlTyTermOffset offset,
    ItlTyDocumentCount* count) {
  ItlClApiTrace trace(ITL_QR_POS);
  trace.int32("ItlTyTermOffset", offset);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClQueryResult& result = *object(handle);
  ItlClErrorInfo& errorInfo = result.getErrorInfo();
  itlApiReset(errorInfo);
  if (offset < 0 || offset >= result.getTermCount() || count == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_QR_POS,
                             ItlEnReasonCode_Invalid_argument);
  int32_t documents = result.getTermDocCount(offset);
  *count = documents > 0 ? static_cast<uint64_t>(documents) : 0;
  return ItlEnReturnCode_Success;
}

ItlEnReturnCode itlQueryResultElementObtainData(ItlTyIteratorHandle handle,
                                                ItlTyDocumentIDHandle docId,
                                                int32_t* count, double* rank,
                                                double* score) {
  ItlClApiTrace trace(ITL_QR_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  auto* iterator = reinterpret_cast<ItlClListABase::Iterator*>(handle);
  if (!iterator->isListValid()) return ItlEnReturnCode_Error_Handle;
  ItlClListABase const& list = iterator->getList();
  ItlClErrorInfo& errorInfo = list.getErrorInfo();
  itlApiReset(errorInfo);
  if (docId == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_QR_POS,
                             ItlEnReasonCode_Invalid_argument);
  ItlEnListType type = list.getListType();
  if (type != ItlEnListType_ResultList &&
      type != ItlEnListType_CallbackRankedResultList)
    return itlApiCheckFailed(errorInfo, ITL_QR_POS,
                             ItlEnReasonCode_Function_not_supported);
  return itlApiGuarded(errorInfo, ITL_QR_POS, [&] {
    uint64_t number = 0;
    if (type == ItlEnListType_ResultList)
      static_cast<ItlClResultList::Iterator*>(iterator)->obtainCurrent(
          &number, count, rank);
    else
      static_cast<ItlClCBRankedResultList::Iterator*>(iterator)
          ->obtainCurrent(&number, count, rank, score);
    itlApiDeliverDocumentNumber(docId, number);
  });
}
