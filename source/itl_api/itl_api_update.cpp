// itl_api_update.cpp: the exported index-update functions.
//
// Each function checks its arguments, then runs its operation of the
// update object inside the frame. The rollback rule: when an exception
// leaves a document, removal or attribute operation, the update is marked
// rollback-required (itlApiRollbackIsDue) and reset before the error is
// recorded; process and commit mark without reset; rollback, the makers,
// the deleter and the getters never mark.
#include "itl_api_update.h"

#include "cos_ccsid.hpp"
#include "cos_language.hpp"
#include "itl_api_docid.hpp"
#include "itl_api_frame.hpp"
#include "itl_api_index.hpp"

#define ITL_UP_POS ITL_API_POS("itl_api_update")

namespace {

// Context lines.
constexpr int kMsgDocumentCCSID = 7;
constexpr int kMsgDocumentLanguage = 8;
constexpr int kMsgDocumentModel = 10;
constexpr int kMsgAttributeOverflow = 75;

// Marks the update before the caught error is recorded and, with
// `withReset`, drops the current document (steps a and b).
struct ItlClUpdateRollbackStep {
  ItlClIndexUpdate& update;
  bool withReset;
  void operator()(ItlClErrorInfo& errorInfo, ItlEnErrorAction caught) const {
    if (itlApiRollbackIsDue(errorInfo, caught)) update.setRollbackRequired();
    if (!withReset) return;
    try {
      update.reset();
    } catch (...) {
      // reset only forgets; a failure there leaves the caught error.
    }
  }
};

// A failed argument check with one context line "<label>: <value>".
template <class T>
ItlEnReturnCode checkFailed(ItlClErrorInfo& errorInfo, char const* origin,
                            ItlEnReasonCode reason, int message,
                            T const& value) {
  errorInfo.context(message) << ": " << value;
  return itlApiCheckFailed(errorInfo, origin, reason);
}

}  // namespace

ItlEnReturnCode itlHandleNewIndexUpdate(ItlTyIndexHandle indexHandle,
                                        ItlTyIndexUpdateHandle* handle) {
  ItlClApiTrace trace(ITL_UP_POS);
  if (indexHandle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(indexHandle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  if (handle == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_UP_POS,
                             ItlEnReasonCode_Invalid_handle);
  *handle = nullptr;
  return itlApiGuarded(errorInfo, ITL_UP_POS, [&] {
    index.load();
    *handle = itlApiHandle(itlApiMake<ItlClIndexUpdate>(
        [](ItlClIndexUpdate& update) { update.init(); }, index));
  });
}

ItlEnReturnCode itlHandleDeleteIndexUpdate(ItlTyIndexUpdateHandle* handle) {
  ItlClApiTrace trace(ITL_UP_POS);
  if (handle == nullptr || *handle == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClIndexUpdate* update = itlApiIndexUpdate(*handle);
  ItlClErrorInfo& errorInfo = update->getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_UP_POS, [&] {
    itlApiDestroy(update);
    *handle = nullptr;
  });
}

bool itlIndexUpdateIsPending(ItlTyIndexUpdateHandle handle) {
  ItlClApiTrace trace(ITL_UP_POS);
  if (handle == nullptr) return false;
  return itlApiIndexUpdate(handle)->isTransactionStarted();
}

ItlEnReturnCode itlIndexUpdateDocument(ItlTyIndexUpdateHandle handle,
                                       ItlTyDocumentIDHandle idHandle,
                                       ItlEnDocumentFormat format,
                                       char const* modelName,
                                       void const* buffer, uint32_t length,
                                       ItlTyCCSID* ccsid,
                                       char const* language) {
  ItlClApiTrace trace(ITL_UP_POS);
  trace.int32("ItlEnDocumentFormat", format);
  trace.uint32("document buffer length", length);
  if (ccsid != nullptr)
    trace.dump(CosEnTraceDataType::UINT16, "ItlTyCCSID", ccsid, 2);
  trace.text("language", language);
  trace.text("model name", modelName);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexUpdate& update = *itlApiIndexUpdate(handle);
  ItlClErrorInfo& errorInfo = update.getErrorInfo();
  itlApiReset(errorInfo);
  if (idHandle == nullptr || buffer == nullptr || language == nullptr ||
      ccsid == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_UP_POS,
                             ItlEnReasonCode_Invalid_argument);
  if (*ccsid != 0 && !CosClCCSID(*ccsid).isValid())
    return checkFailed(errorInfo, ITL_UP_POS, ItlEnReasonCode_Invalid_ccsid,
                       kMsgDocumentCCSID, *ccsid);
  CosClLanguage documentLanguage(language);
  if (documentLanguage.getLanguage() == CosClLanguage::CosEnLanguageInvalid ||
      documentLanguage.getTerritory() == CosClLanguage::CosEnTerritoryInvalid)
    return checkFailed(errorInfo, ITL_UP_POS, ItlEnReasonCode_Invalid_language,
                       kMsgDocumentLanguage, language);
  if (format == ItlEnDocumentFormat_Text && modelName != nullptr) {
    errorInfo.resetContext(nullptr);
    return checkFailed(errorInfo, ITL_UP_POS, ItlEnReasonCode_Invalid_argument,
                       kMsgDocumentModel, modelName);
  }
  ItlClDocumentID& id = *itlApiDocumentID(idHandle);
  return itlApiGuarded(
      errorInfo, ITL_UP_POS,
      [&] {
        if (length == 0)
          errorInfo.setError(ITL_UP_POS, ItlEnReasonCode_Empty_document,
                             ItlEnReturnCode_Warning,
                             ItlEnErrorAction_Inform);
        uint16_t value = *ccsid;
        try {
          update.updateDocument(id, format, modelName, buffer, length, value,
                                documentLanguage);
        } catch (...) {
          *ccsid = value;
          throw;
        }
        *ccsid = value;
        update.reset();
      },
      ItlClUpdateRollbackStep{update, true});
}

ItlEnReturnCode itlIndexUpdateRemoveDocument(ItlTyIndexUpdateHandle handle,
                                             ItlTyDocumentIDHandle idHandle) {
  ItlClApiTrace trace(ITL_UP_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexUpdate& update = *itlApiIndexUpdate(handle);
  ItlClErrorInfo& errorInfo = update.getErrorInfo();
  itlApiReset(errorInfo);
  if (idHandle == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_UP_POS,
                             ItlEnReasonCode_Invalid_argument);
  ItlClDocumentID& id = *itlApiDocumentID(idHandle);
  return itlApiGuarded(
      errorInfo, ITL_UP_POS,
      [&] {
        update.removeDocument(id);
        update.reset();
      },
      ItlClUpdateRollbackStep{update, true});
}

namespace {

// Process, commit and rollback: null handle 16, the error info reset, then
// `body` on the update guarded (with the rollback-marking step when given).
template <typename Body, typename... Step>
ItlEnReturnCode onWholeUpdate(ItlTyIndexUpdateHandle handle, Body body,
                              Step... step) {
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexUpdate& update = *itlApiIndexUpdate(handle);
  ItlClErrorInfo& errorInfo = update.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_UP_POS, [&] { body(update); },
                       step...);
}

}  // namespace

ItlEnReturnCode itlIndexUpdateProcess(ItlTyIndexUpdateHandle handle) {
  ItlClApiTrace trace(ITL_UP_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexUpdate* update = itlApiIndexUpdate(handle);
  return onWholeUpdate(handle, [](ItlClIndexUpdate& u) { u.process(); },
                       ItlClUpdateRollbackStep{*update, false});
}

ItlEnReturnCode itlIndexUpdateCommit(ItlTyIndexUpdateHandle handle) {
  ItlClApiTrace trace(ITL_UP_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexUpdate* update = itlApiIndexUpdate(handle);
  return onWholeUpdate(handle, [](ItlClIndexUpdate& u) { u.commit(); },
                       ItlClUpdateRollbackStep{*update, false});
}

ItlEnReturnCode itlIndexUpdateRollback(ItlTyIndexUpdateHandle handle) {
  ItlClApiTrace trace(ITL_UP_POS);
  return onWholeUpdate(handle, [](ItlClIndexUpdate& u) { u.rollback(); });
}

ItlEnReturnCode itlIndexUpdateSetDateAttribute(ItlTyIndexUpdateHandle handle,
                                               ItlTyDocumentIDHandle idHandle,
                                               char const* name, uint16_t day,
                                               uint16_t month,
                                               uint16_t year) {
  ItlClApiTrace trace(ITL_UP_POS);
  trace.text("attribute name", name);
  trace.dump(CosEnTraceDataType::UINT16, "day", &day, 2);
  trace.dump(CosEnTraceDataType::UINT16, "month", &month, 2);
  trace.dump(CosEnTraceDataType::UINT16, "year", &year, 2);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexUpdate& update = *itlApiIndexUpdate(handle);
  ItlClErrorInfo& errorInfo = update.getErrorInfo();
  itlApiReset(errorInfo);
  if (idHandle == nullptr || name == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_UP_POS,
                             ItlEnReasonCode_Invalid_argument);
  if (day < 1 || day > 31)
    return checkFailed(errorInfo, ITL_UP_POS, ItlEnReasonCode_Invalid_argument,
                       kMsgAttributeOverflow, day);
  if (month < 1 || month > 12)
    return checkFailed(errorInfo, ITL_UP_POS, ItlEnReasonCode_Invalid_argument,
                       kMsgAttributeOverflow, month);
  ItlClDocumentID& id = *itlApiDocumentID(idHandle);
  return itlApiGuarded(
      errorInfo, ITL_UP_POS,
      [&] { update.setDateAttribute(id, name, day, month, year); },
      ItlClUpdateRollbackStep{update, true});
}

ItlEnReturnCode itlIndexUpdateSetNumberAttribute(
    ItlTyIndexUpdateHandle handle, ItlTyDocumentIDHandle idHandle,
    char const* name, double value) {
  ItlClApiTrace trace(ITL_UP_POS);
  trace.text("attribute name", name);
  trace.dump(CosEnTraceDataType::DOUBLE, "value", &value, 8);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexUpdate& update = *itlApiIndexUpdate(handle);
  ItlClErrorInfo& errorInfo = update.getErrorInfo();
  itlApiReset(errorInfo);
  if (idHandle == nullptr || name == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_UP_POS,
                             ItlEnReasonCode_Invalid_argument);
  ItlClDocumentID& id = *itlApiDocumentID(idHandle);
  return itlApiGuarded(
      errorInfo, ITL_UP_POS,
      [&] { update.setNumberAttribute(id, name, value); },
      ItlClUpdateRollbackStep{update, true});
}

ItlEnReturnCode itlIndexUpdateSetStringAttribute(
    ItlTyIndexUpdateHandle handle, ItlTyDocumentIDHandle idHandle,
    char const* name, char const* value, uint32_t length, ItlTyCCSID ccsid) {
  ItlClApiTrace trace(ITL_UP_POS);
  trace.text("attribute name", name);
  if (value != nullptr)
    trace.dump(CosEnTraceDataType::CSTRING, "value", value, length);
  trace.dump(CosEnTraceDataType::UINT16, "ItlTyCCSID", &ccsid, 2);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexUpdate& update = *itlApiIndexUpdate(handle);
  ItlClErrorInfo& errorInfo = update.getErrorInfo();
  itlApiReset(errorInfo);
  if (idHandle == nullptr || name == nullptr || value == nullptr ||
      length > ItlClIndexUpdate::MAX_STRING_ATTRIBUTE_BYTES)
    return itlApiCheckFailed(errorInfo, ITL_UP_POS,
                             ItlEnReasonCode_Invalid_argument);
  ItlClDocumentID& id = *itlApiDocumentID(idHandle);
  return itlApiGuarded(
      errorInfo, ITL_UP_POS,
      [&] { update.setStringAttribute(id, name, value, length, ccsid); },
      ItlClUpdateRollbackStep{update, true});
}

double itlIndexUpdateGetTimes(ItlTyIndexUpdateHandle, ItlEnTimingUpdateType type) {
  ItlClApiTrace trace(ITL_UP_POS);
  trace.int32("ItlEnTimingUpdateType", type);
  return 0.0;
}

double itlIndexUpdateGetStatistics(ItlTyIndexUpdateHandle,
                                   ItlEnStatisticsUpdateType type) {
  ItlClApiTrace trace(ITL_UP_POS);
  trace.int32("ItlEnStatisticsUpdateType", type);
  return 0.0;
}
