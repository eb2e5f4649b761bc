// itl_api_index_admin.cpp: the exported index administration functions.
#include "itl_api_frame.hpp"
#include "itl_api_index.h"
#include "itl_api_index.hpp"

namespace {

constexpr int kMsgIndexName = 2;
constexpr int kMsgDirectory = 4;

// A refused name or directory: the context holds the one line
// "<label>: <value>".
ItlEnReturnCode refuse(ItlClErrorInfo& errorInfo, char const* origin,
                       ItlEnReasonCode reason, int label, char const* value) {
  errorInfo.resetContext(nullptr);
  errorInfo.context(label) << ": " << value;
  return itlApiCheckFailed(errorInfo, origin, reason);
}

}  // namespace

ItlEnReturnCode itlIndexCreate(ItlTyIndexHandle handle,
                               char const* configFileName) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index_admin"));
  trace.text("config filename", configFileName);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index_admin"),
                       [&] { index.adminCreate(configFileName); });
}

ItlEnReturnCode itlIndexDestroy(ItlTyIndexHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index_admin"));
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index_admin"),
                       [&] { index.adminDestroy(); });
}

ItlEnReturnCode itlIndexClear(ItlTyIndexHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index_admin"));
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index_admin"),
                       [&] { index.adminClear(); });
}

ItlEnReturnCode itlIndexRename(ItlTyIndexHandle handle, char const* newName) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index_admin"));
  trace.text("new name", newName);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  if (newName == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_index_admin"),
                             ItlEnReasonCode_Invalid_argument);
  if (!ItlClIndex::isValidIndexName(newName))
    return refuse(errorInfo, ITL_API_POS("itl_api_index_admin"),
                  ItlEnReasonCode_Index_invalid_name, kMsgIndexName, newName);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index_admin"),
                       [&] { index.adminRename(newName); });
}

ItlEnReturnCode itlIndexCopy(ItlTyIndexHandle handle,
                             char const* targetDirectory) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index_admin"));
  trace.text("target directory", targetDirectory);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  if (targetDirectory == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_index_admin"),
                             ItlEnReasonCode_Invalid_argument);
  if (!ItlClIndex::isValidDirectoryName(targetDirectory))
    return refuse(errorInfo, ITL_API_POS("itl_api_index_admin"),
                  ItlEnReasonCode_Index_invalid_directory, kMsgDirectory,
                  targetDirectory);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index_admin"),
                       [&] { index.adminCopy(targetDirectory); });
}

ItlEnReturnCode itlIndexMove(ItlTyIndexHandle handle,
                             char const* targetDirectory) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index_admin"));
  trace.text("target directory", targetDirectory);
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  if (targetDirectory == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_index_admin"),
                             ItlEnReasonCode_Invalid_argument);
  if (!ItlClIndex::isValidDirectoryName(targetDirectory))
    return refuse(errorInfo, ITL_API_POS("itl_api_index_admin"),
                  ItlEnReasonCode_Index_invalid_directory, kMsgDirectory,
                  targetDirectory);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index_admin"),
                       [&] { index.adminMove(targetDirectory); });
}
