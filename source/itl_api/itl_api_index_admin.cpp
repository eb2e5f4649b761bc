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

// The frame every administration function shares: null handle 16, the
// error info reset, then `check` (0 or a refusal's return code), then the
// guarded operation.
template <typename Check, typename Body>
ItlEnReturnCode administer(ItlTyIndexHandle handle, Check check, Body body) {
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  ItlEnReturnCode refused = check(errorInfo);
  if (refused != ItlEnReturnCode_Success) return refused;
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index_admin"),
                       [&] { body(index); });
}

ItlEnReturnCode noCheck(ItlClErrorInfo&) { return ItlEnReturnCode_Success; }

// A target directory of a copy or move: given and well formed.
ItlEnReturnCode checkTargetDirectory(ItlClErrorInfo& errorInfo,
                                     char const* targetDirectory) {
  if (targetDirectory == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_index_admin"),
                             ItlEnReasonCode_Invalid_argument);
  if (!ItlClIndex::isValidDirectoryName(targetDirectory))
    return refuse(errorInfo, ITL_API_POS("itl_api_index_admin"),
                  ItlEnReasonCode_Index_invalid_directory, kMsgDirectory,
                  targetDirectory);
  return ItlEnReturnCode_Success;
}

}  // namespace

ItlEnReturnCode itlIndexCreate(ItlTyIndexHandle handle,
                               char const* configFileName) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index_admin"));
  trace.text("config filename", configFileName);
  return administer(handle, noCheck, [&](ItlClIndex& index) {
    index.adminCreate(configFileName);
  });
}

ItlEnReturnCode itlIndexDestroy(ItlTyIndexHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index_admin"));
  return administer(handle, noCheck,
                    [](ItlClIndex& index) { index.adminDestroy(); });
}

ItlEnReturnCode itlIndexClear(ItlTyIndexHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index_admin"));
  return administer(handle, noCheck,
                    [](ItlClIndex& index) { index.adminClear(); });
}

ItlEnReturnCode itlIndexRename(ItlTyIndexHandle handle, char const* newName) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index_admin"));
  trace.text("new name", newName);
  auto check = [&](ItlClErrorInfo& errorInfo) {
    if (newName == nullptr)
      return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_index_admin"),
                               ItlEnReasonCode_Invalid_argument);
    if (!ItlClIndex::isValidIndexName(newName))
      return refuse(errorInfo, ITL_API_POS("itl_api_index_admin"),
                    ItlEnReasonCode_Index_invalid_name, kMsgIndexName,
                    newName);
    return ItlEnReturnCode_Success;
  };
  return administer(handle, check,
                    [&](ItlClIndex& index) { index.adminRename(newName); });
}

ItlEnReturnCode itlIndexCopy(ItlTyIndexHandle handle,
                             char const* targetDirectory) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index_admin"));
  trace.text("target directory", targetDirectory);
  return administer(
      handle,
      [&](ItlClErrorInfo& e) { return checkTargetDirectory(e, targetDirectory); },
      [&](ItlClIndex& index) { index.adminCopy(targetDirectory); });
}

ItlEnReturnCode itlIndexMove(ItlTyIndexHandle handle,
                             char const* targetDirectory) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index_admin"));
  trace.text("target directory", targetDirectory);
  return administer(
      handle,
      [&](ItlClErrorInfo& e) { return checkTargetDirectory(e, targetDirectory); },
      [&](ItlClIndex& index) { index.adminMove(targetDirectory); });
}
