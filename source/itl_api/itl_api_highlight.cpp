// itl_api_highlight.cpp: the exported highlighter functions and the
// element reader of highlight lists.
#include "itl_api_frame.hpp"
#include "itl_api_highlight.h"
#include "itl_api_index.hpp"
#include "itl_highlight_list.hpp"
#include "itl_index_highlighter.hpp"

#define ITL_HL_POS ITL_API_POS("itl_api_highlight")

namespace {

// Message table line "Invalid input parameter".
constexpr int kMsgInvalidInputParameter = 64;

ItlClIndexHighlighter* highlighterOf(ItlTyHighlighterHandle handle) {
  return reinterpret_cast<ItlClIndexHighlighter*>(handle);
}

ItlEnReturnCode refuse(ItlClErrorInfo& errorInfo, char const* origin,
                       ItlEnReasonCode reason) {
  return itlApiCheckFailed(errorInfo, origin, reason);
}

}  // namespace

ItlEnReturnCode itlHandleNewHighlighter(ItlTyIndexHandle indexHandle,
                                        uint32_t truncation,
                                        uint32_t truncationMax,
                                        ItlTyHighlighterHandle* handle) {
  ItlClApiTrace trace(ITL_HL_POS);
  trace.uint32("Truncation", truncation);
  trace.uint32("TruncationMax", truncationMax);
  if (indexHandle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(indexHandle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  if (handle == nullptr || *handle != nullptr)
    return refuse(errorInfo, ITL_HL_POS, ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_HL_POS, [&] {
    ItlClIndexHighlighter* highlighter = itlApiMake<ItlClIndexHighlighter>(
        [](ItlClIndexHighlighter& made) { made.init(); }, index, truncation,
        truncationMax);
    *handle = reinterpret_cast<ItlTyHighlighterHandle>(highlighter);
  });
}

ItlEnReturnCode itlHandleDeleteHighlighter(ItlTyHighlighterHandle* handle) {
  ItlClApiTrace trace(ITL_HL_POS);
  if (handle == nullptr || *handle == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClIndexHighlighter* highlighter = highlighterOf(*handle);
  ItlClErrorInfo& errorInfo = highlighter->getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_HL_POS, [&] {
    itlApiDestroy(highlighter);
    *handle = nullptr;
  });
}

ItlEnReturnCode itlHighlighterAddField(ItlTyHighlighterHandle handle,
                                       char const* fieldName) {
  ItlClApiTrace trace(ITL_HL_POS);
  trace.text("cpszFieldName", fieldName);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexHighlighter& highlighter = *highlighterOf(handle);
  ItlClErrorInfo& errorInfo = highlighter.getErrorInfo();
  itlApiReset(errorInfo);
  if (fieldName == nullptr) {
    errorInfo.context(kMsgInvalidInputParameter) << ": cpszFieldName == 0";
    return refuse(errorInfo, ITL_HL_POS, ItlEnReasonCode_Invalid_argument);
  }
  return itlApiGuarded(errorInfo, ITL_HL_POS,
                       [&] { highlighter.addField(fieldName); });
}

ItlEnReturnCode itlHighlighterProcessDocument(
    ItlTyHighlighterHandle handle, char const* document, uint32_t length,
    ItlEnDocumentFormat format, uint16_t ccsid, char const* modelName,
    ItlStOccurrence const* occurrences, uint32_t count,
    ItlTyListHandle* listHandle) {
  ItlClApiTrace trace(ITL_HL_POS);
  trace.int32("enDocumentFormat", format);
  trace.dump(CosEnTraceDataType::UINT16, "tyDocumentCCSID", &ccsid,
             sizeof ccsid);
  trace.text("cpszModelName", modelName);
  trace.address("astOccurrences", occurrences);
  trace.uint32("uOccCount", count);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexHighlighter& highlighter = *highlighterOf(handle);
  ItlClErrorInfo& errorInfo = highlighter.getErrorInfo();
  itlApiReset(errorInfo);
  if (document == nullptr)
    return refuse(errorInfo, ITL_HL_POS, ItlEnReasonCode_Invalid_argument);
  if (format != ItlEnDocumentFormat_Text && format != ItlEnDocumentFormat_Xml)
    return refuse(errorInfo, ITL_HL_POS,
                  ItlEnReasonCode_Function_not_supported);
  if (ccsid != 1208)
    return refuse(errorInfo, ITL_HL_POS,
                  ItlEnReasonCode_Function_not_supported);
  if (length == 0)
    return refuse(errorInfo, ITL_HL_POS, ItlEnReasonCode_Empty_document);
  if (occurrences == nullptr || count == 0 || listHandle == nullptr ||
      *listHandle != nullptr)
    return refuse(errorInfo, ITL_HL_POS, ItlEnReasonCode_Invalid_argument);

  ItlClHighlightList* list = nullptr;
  ItlEnReturnCode rc = itlApiGuarded(errorInfo, ITL_HL_POS, [&] {
    highlighter.processDocument(document, length, format, ccsid, modelName,
                                occurrences, count, list);
  });
  if (list != nullptr) {
    if (rc > ItlEnReturnCode_Warning)
      itlApiDestroy(list);  // an error hands nothing out
    else
      *listHandle = reinterpret_cast<ItlTyListHandle>(list);
  }
  return rc;
}

ItlEnReturnCode itlHighlightElementObtainData(
    ItlTyIteratorHandle handle, void* /*reserved*/, uint32_t* partType,
    uint32_t* hitStart, uint32_t* hitEnd, uint32_t* contextStart,
    uint32_t* contextEnd) {
  ItlClApiTrace trace(ITL_HL_POS);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClListABase::Iterator* iterator =
      reinterpret_cast<ItlClListABase::Iterator*>(handle);
  // The list (and its error info) may be gone.
  if (!iterator->isListValid()) return ItlEnReturnCode_Error_Handle;
  ItlClListABase const& list = iterator->getList();
  ItlClErrorInfo& errorInfo = list.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_HL_POS, [&] {
    if (!iterator->isValid() ||
        !list.matchesType(ItlEnListType_HighlightList))
      ItlClException(ITL_SOURCE("source/itl_api/itl_api_highlight"),
                     ItlEnReasonCode_Iterator_invalid)
          .raise();
    if (partType == nullptr || hitStart == nullptr || hitEnd == nullptr ||
        contextStart == nullptr || contextEnd == nullptr)
      ItlClException(ITL_SOURCE("source/itl_api/itl_api_highlight"),
                     ItlEnReasonCode_Invalid_argument)
          .raise();
    auto const& highlights = static_cast<ItlClHighlightList const&>(list);
    auto const* position =
        static_cast<ItlClHighlightList::Iterator const*>(iterator);
    ItlClHighlightElement const& element =
        highlights.getElement(position->getIndex());
    *partType = static_cast<uint32_t>(element.iv_enPartType);
    *hitStart = element.iv_uiHitStart;
    *hitEnd = element.iv_uiHitEnd;
    *contextStart = element.iv_uiContextStart;
    *contextEnd = element.iv_uiContextEnd;
  });
}
