// itl_api_index_config.cpp: the exported configuration functions of an
// index handle. Each loads the index first (100 when it does not exist),
// so that it never works on settings that were not read.
#include "itl_api_frame.hpp"
#include "itl_api_index.h"
#include "itl_api_index.hpp"
#include "itl_index_config.hpp"
#include "itl_kernel_interface.hpp"

namespace {

// Longest document name a configuration takes.
constexpr unsigned kMaxDocIdLength = 4096;

}  // namespace

// The fill functions and the load have no trace guard.
ItlEnReturnCode itlFillVozSysParm(ItlTyIndexHandle handle,
                                  GTRSYSPARM* record) {
  if (handle == nullptr || record == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index_config"), [&] {
    index.load();
    index.getKernelInterface().fillVozSysParm(*record, index.getConfig());
  });
}

ItlEnReturnCode itlFillVozCreateParm(ItlTyIndexHandle handle,
                                     GTRHCREATEPARM* record) {
  if (handle == nullptr || record == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index_config"), [&] {
    index.load();
    ItlClKernelInterface::fillVozCreateParm(*record, index.getConfig());
  });
}

ItlEnReturnCode itlIndexLoad(ItlTyIndexHandle handle) {
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index_config"),
                       [&] { index.load(); });
}

ItlEnReturnCode itlConfigFileWriteAsR3File(ItlTyIndexHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index_config"));
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index_config"), [&] {
    index.load();
    index.getConfig().writeAsR3File();
  });
}

ItlEnReturnCode itlConfigFileSetMaxDocIDLength(unsigned short length,
                                               ItlTyIndexHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index_config"));
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  if (length == 0 || length > kMaxDocIdLength)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_index_config"),
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index_config"), [&] {
    index.load();
    index.getConfig().setMaxDocIDLength(length);
  });
}

ItlEnReturnCode setDocNamesHaveFixSize(bool fixed, void* handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_index_config"));
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *static_cast<ItlClIndex*>(handle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_index_config"), [&] {
    index.load();
    index.getConfig().setDocNamesHaveFixSize(fixed);
  });
}
