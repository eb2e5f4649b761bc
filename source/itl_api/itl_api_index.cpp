// itl_api_index.cpp: the exported index-handle functions.
#include "itl_api_index.h"

#include "itl_api_frame.hpp"
#include "itl_api_index.hpp"

namespace {

constexpr int kMsgIndexName = 2;

}  // namespace

ItlEnReturnCode itlHandleNewIndex(ItlTyContextHandle contextHandle,
                                  char const* name, char const* directory,
                                  ItlTyIndexHandle* handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index"));
  trace.text("name", name);
  trace.text("directory", directory);
  if (contextHandle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClContext& context = *itlApiContext(contextHandle);
  ItlClErrorInfo& errorInfo = context.getErrorInfo();
  itlApiReset(errorInfo);
  if (handle == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_index"),
                             ItlEnReasonCode_Invalid_handle);
  *handle = nullptr;
  if (name == nullptr || directory == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_index"),
                             ItlEnReasonCode_Invalid_argument);
  if (!ItlClIndex::isValidIndexName(name)) {
    errorInfo.context(kMsgIndexName) << ": " << name;
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_index"),
                             ItlEnReasonCode_Index_invalid_name);
  }
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index"), [&] {
    *handle = itlApiHandle(itlApiMake<ItlClIndex>(
        [](ItlClIndex& index) { index.init(); }, name, directory, context));
  });
}

ItlEnReturnCode itlHandleDeleteIndex(ItlTyIndexHandle* handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index"));
  if (handle == nullptr || *handle == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClIndex* index = itlApiIndex(*handle);
  ItlClErrorInfo& errorInfo = index->getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index"), [&] {
    itlApiDestroy(index);
    *handle = nullptr;
  });
}

bool itlIndexIsExistent(ItlTyIndexHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index"));
  if (handle == nullptr) return false;
  try {
    return itlApiIndex(handle)->isExistent();
  } catch (...) {
    return false;
  }
}

char const* itlIndexGetKey(ItlTyIndexHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index"));
  return handle == nullptr ? nullptr : itlApiIndex(handle)->getKey();
}

char const* itlIndexGetName(ItlTyIndexHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index"));
  return handle == nullptr ? nullptr : itlApiIndex(handle)->getName();
}

char const* itlIndexGetDirectory(ItlTyIndexHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index"));
  return handle == nullptr ? nullptr : itlApiIndex(handle)->getDirectory();
}

char const* itlIndexGetWorkingDirectory(ItlTyIndexHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index"));
  return handle == nullptr ? nullptr
                           : itlApiIndex(handle)->getWorkingDirectory();
}

ItlEnReturnCode itlIndexObtainNumberOfDocuments(ItlTyIndexHandle handle,
                                                uint64_t* count) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index"));
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  if (count == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_index"),
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index"), [&] {
    uint64_t value = 0;
    index.obtainNumberOfDocuments(value);
    *count = value;
  });
}

ItlEnReturnCode itlIndexObtainMergeIsRecommended(ItlTyIndexHandle handle,
                                                 bool* recommended) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index"));
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  if (recommended == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_index"),
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index"), [&] {
    bool value = false;
    index.obtainMergeIsRecommended(value);
    *recommended = value;
  });
}

ItlEnReturnCode itlIndexSetWorkingDirectory(ItlTyIndexHandle handle,
                                            char const* directory) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index"));
  trace.text("directory", directory);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index"),
                       [&] { index.setWorkingDirectory(directory); });
}

ItlEnReturnCode itlIndexAddDocumentModel(ItlTyIndexHandle handle,
                                         char const* name,
                                         char const* definition,
                                         uint32_t length) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index"));
  trace.text("model name", name);
  trace.text("model definition", definition);
  trace.uint32("definition length", length);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  if (name == nullptr || definition == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_index"),
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index"), [&] {
    index.addDocumentModel(name, definition, length);
  });
}

ItlEnReturnCode itlIndexSetDefaultDocumentModel(ItlTyIndexHandle handle,
                                                ItlEnDocumentFormat format,
                                                char const* name) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index"));
  trace.int32("format", format);
  trace.text("model name", name);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  if (name == nullptr || format == ItlEnDocumentFormat_Text)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_index"),
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index"), [&] {
    index.setDefaultDocumentModel(format, name);
  });
}

ItlEnReturnCode itlIndexSetDisplayLog(ItlTyIndexHandle handle, bool on) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index"));
  trace.boolean("display log", on);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index"),
                       [&] { index.setDisplayLog(on); });
}

ItlEnReturnCode itlIndexSetHighPerfMode(ItlTyIndexHandle handle, bool on) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index"));
  trace.boolean("high performance mode", on);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index"),
                       [&] { index.setHighPerfMode(on); });
}
