// itl_api_query.cpp: the exported query functions. The error info of a
// query is that of its index search handle; every function resets it on
// entry.
#include <cstring>

#include "itl_api_query.hpp"
#include "itl_query_result.hpp"
#include "itl_search_attribute.hpp"
#include "itl_search_term.hpp"

#define ITL_QY_POS ITL_API_POS("itl_api_query")

namespace {

ItlClAlQuery* object(ItlTyQueryHandle handle) { return itlApiQuery(handle); }

bool isOne(bool value) {
  unsigned char raw;
  std::memcpy(&raw, &value, 1);
  return raw == 1;
}

// The frame of the functions on a query: reset, then `work` guarded.
template <class Work>
ItlEnReturnCode onQuery(ItlClAlQuery& query, Work&& work) {
  ItlClErrorInfo& errorInfo = query.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_QY_POS, [&] { work(errorInfo); });
}

// Records a refusal inside `work` (return code 8, action Inform).
void refuse(ItlClErrorInfo& errorInfo, ItlEnReasonCode reason) {
  itlApiCheckFailed(errorInfo, ITL_QY_POS, reason);
}

}  // namespace

ItlEnReturnCode itlHandleNewQuery(ItlTyIndexSearchHandle searchHandle,
                                  char const* language, ItlTyCCSID ccsid,
                                  ItlTyQueryHandle* handle) {
  ItlClApiTrace trace(ITL_QY_POS);
  trace.text("language", language);
  trace.dump(CosEnTraceDataType::UINT16, "ItlTyCCSID", &ccsid, 2);
  return itlApiNewQuery<ItlClAlQuery>(ITL_QY_POS, searchHandle, language,
                                      ccsid, handle);
}

ItlEnReturnCode itlHandleDeleteQuery(ItlTyQueryHandle* handle) {
  ItlClApiTrace trace(ITL_QY_POS);
  if (handle == nullptr || *handle == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClAlQuery* query = object(*handle);
  return onQuery(*query, [&](ItlClErrorInfo&) {
    itlApiDestroy(query);
    *handle = nullptr;
  });
}

ItlEnReturnCode itlQuerySetNewIndex(ItlTyQueryHandle handle,
                                    ItlTyIndexSearchHandle searchHandle) {
  ItlClApiTrace trace(ITL_QY_POS);
  if (handle == nullptr || searchHandle == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClAlQuery& query = *object(handle);
  ItlClErrorInfo& errorInfo = query.getErrorInfo();
  itlApiReset(errorInfo);
  if (!query.isProcessed())
    return itlApiCheckFailed(errorInfo, ITL_QY_POS,
                             ItlEnReasonCode_Query_under_construction);
  return itlApiGuarded(errorInfo, ITL_QY_POS, [&] {
    query.setNewIndex(*itlApiIndexSearch(searchHandle));
  });
}

ItlEnReturnCode itlQuerySetNewCCSIDAndLanguage(ItlTyQueryHandle handle,
                                               char const* language,
                                               ItlTyCCSID ccsid) {
  ItlClApiTrace trace(ITL_QY_POS);
  trace.text("language", language);
  trace.dump(CosEnTraceDataType::UINT16, "ItlTyCCSID", &ccsid, 2);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  return onQuery(*object(handle), [&](ItlClErrorInfo& errorInfo) {
    if (language == nullptr) {
      refuse(errorInfo, ItlEnReasonCode_Invalid_argument);
      return;
    }
    ItlEnReasonCode reason =
        object(handle)->setCCSIDAndLanguage(ccsid, language);
    if (reason != 0) refuse(errorInfo, reason);
  });
}

ItlEnReturnCode itlQuerySetProcessingThreshold(ItlTyQueryHandle handle,
                                               ItlTyDocumentCount threshold,
                                               ItlEnThresholdUnit unit) {
  ItlClApiTrace trace(ITL_QY_POS);
  trace.dump(CosEnTraceDataType::UINT64, "ItlTyDocumentCount", &threshold, 8);
  trace.int32("ItlEnThresholdUnit", unit);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  return onQuery(*object(handle), [&](ItlClErrorInfo& errorInfo) {
    int32_t u = static_cast<int32_t>(unit);
    if (threshold > 2147483647u || (u != 0 && u != 1)) {
      refuse(errorInfo, ItlEnReasonCode_Invalid_argument);
      return;
    }
    int32_t value = static_cast<int32_t>(threshold);
    object(handle)->setProcessingThreshold(u == 0 ? -value : value);
  });
}

ItlEnReturnCode itlQueryDoRank(ItlTyQueryHandle handle, bool doRank,
                               ItlEnRankFormula formula) {
  ItlClApiTrace trace(ITL_QY_POS);
  trace.boolean("do rank", doRank);
  trace.int32("ItlEnRankFormula", formula);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  return onQuery(*object(handle), [&](ItlClErrorInfo& errorInfo) {
    int32_t f = static_cast<int32_t>(formula);
    if (f < 0 || f > 7) {
      refuse(errorInfo, ItlEnReasonCode_Invalid_rank_formula);
      return;
    }
    object(handle)->doRank(isOne(doRank), f);
  });
}

ItlEnReturnCode itlQuerySetScope(ItlTyQueryHandle handle,
                                 ItlTyQueryResultHandle result) {
  ItlClApiTrace trace(ITL_QY_POS);
  if (handle == nullptr || result == nullptr)
    return ItlEnReturnCode_Error_Handle;
  return onQuery(*object(handle), [&](ItlClErrorInfo&) {
    object(handle)->setScope(reinterpret_cast<ItlClQueryResult*>(result));
  });
}

ItlEnReturnCode itlQueryAddSearchTerm(ItlTyQueryHandle handle,
                                      ItlTySearchTermHandle term) {
  ItlClApiTrace trace(ITL_QY_POS);
  if (handle == nullptr || term == nullptr)
    return ItlEnReturnCode_Error_Handle;
  return onQuery(*object(handle), [&](ItlClErrorInfo&) {
    object(handle)->addSearchTerm(
        *reinterpret_cast<ItlClAlSearchTerm*>(term));
  });
}

ItlEnReturnCode itlQueryAddStringAttribute(
    ItlTyQueryHandle handle, ItlTyStringAttributeHandle attribute) {
  ItlClApiTrace trace(ITL_QY_POS);
  if (handle == nullptr || attribute == nullptr)
    return ItlEnReturnCode_Error_Handle;
  return onQuery(*object(handle), [&](ItlClErrorInfo&) {
    object(handle)->addStringAttribute(
        *reinterpret_cast<ItlClAlStringAttribute*>(attribute));
  });
}

ItlEnReturnCode itlQueryAddNumericAttributeCondition(
    ItlTyQueryHandle handle, ItlTyNumericAttributeConditionHandle condition) {
  ItlClApiTrace trace(ITL_QY_POS);
  if (handle == nullptr || condition == nullptr)
    return ItlEnReturnCode_Error_Handle;
  return onQuery(*object(handle), [&](ItlClErrorInfo&) {
    object(handle)->addNumericAttributeCondition(
        *reinterpret_cast<ItlClAlNumericAttributeCondition*>(condition));
  });
}

ItlEnReturnCode itlQueryAddBooleanOperator(ItlTyQueryHandle handle,
                                           ItlEnOperator op,
                                           ItlEnOperatorMode mode) {
  ItlClApiTrace trace(ITL_QY_POS);
  trace.int32("ItlEnOperator", op);
  trace.int32("ItlEnOperatorMode", mode);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  return onQuery(*object(handle), [&](ItlClErrorInfo& errorInfo) {
    if (mode == ItlEnOperatorMode_Proximity && op != ItlEnOperator_And) {
      refuse(errorInfo, ItlEnReasonCode_Invalid_usage_of_operator_mode);
      return;
    }
    object(handle)->addBooleanOperator(op, mode);
  });
}

ItlEnReturnCode itlQueryAddProximityOperator(ItlTyQueryHandle handle,
                                             ItlTySegmentIndicator distance,
                                             ItlEnOperatorMode mode) {
  ItlClApiTrace trace(ITL_QY_POS);
  trace.dump(CosEnTraceDataType::UINT16, "ItlTySegmentIndicator", &distance,
             2);
  trace.int32("ItlEnOperatorMode", mode);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  return onQuery(*object(handle), [&](ItlClErrorInfo& errorInfo) {
    if (!ItlClAlQuery::isValidDistance(distance)) {
      refuse(errorInfo, ItlEnReasonCode_Invalid_proximity_identifier);
      return;
    }
    object(handle)->addProximityOperator(distance, mode);
  });
}

ItlEnReturnCode itlQueryProcess(ItlTyQueryHandle handle,
                                ItlTyQueryResultHandle resultHandle,
                                ItlTyListHandle* list) {
  ItlClApiTrace trace(ITL_QY_POS);
  if (handle == nullptr || resultHandle == nullptr)
    return ItlEnReturnCode_Error_Handle;
  return onQuery(*object(handle), [&](ItlClErrorInfo& errorInfo) {
    if (list == nullptr) {
      refuse(errorInfo, ItlEnReasonCode_Invalid_argument);
      return;
    }
    *list = nullptr;
    auto& result = *reinterpret_cast<ItlClQueryResult*>(resultHandle);
    object(handle)->process(result);
    if (result.getRecord().res_type == GTR_RES_HANDLE)
      *list = reinterpret_cast<ItlTyListHandle>(result.getNewResultList());
  });
}

ItlEnReturnCode itlQueryResetToDefault(ItlTyQueryHandle handle) {
  ItlClApiTrace trace(ITL_QY_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  return onQuery(*object(handle), [&](ItlClErrorInfo& errorInfo) {
    if (!object(handle)->isProcessed()) {
      refuse(errorInfo, ItlEnReasonCode_Query_under_construction);
      return;
    }
    object(handle)->resetToDefault();
  });
}
