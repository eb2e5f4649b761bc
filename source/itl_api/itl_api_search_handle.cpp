// itl_api_search_handle.cpp: the exported index-search-handle functions.
#include "itl_api_frame.hpp"
#include "itl_api_index.hpp"
#include "itl_api_search_handle.h"
#include "itl_api_search_handle.hpp"

#define ITL_SH_POS ITL_API_POS("itl_api_search_handle")

ItlEnReturnCode itlHandleNewIndexSearch(ItlTyIndexHandle indexHandle,
                                        ItlTyIndexSearchHandle* handle) {
  ItlClApiTrace trace(ITL_SH_POS);
  if (indexHandle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndex& index = *itlApiIndex(indexHandle);
  ItlClErrorInfo& errorInfo = index.getErrorInfo();
  itlApiReset(errorInfo);
  if (handle == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_SH_POS,
                             ItlEnReasonCode_Invalid_argument);
  *handle = nullptr;
  return itlApiGuarded(errorInfo, ITL_SH_POS, [&] {
    uint64_t documents = 0;
    ItlClIndexSearch* search = itlApiMake<ItlClIndexSearch>(
        [&](ItlClIndexSearch&) {
          index.load();
          index.obtainNumberOfDocuments(documents);
        },
        index);
    // Stored before the warning, so the handle is the caller's whatever
    // the warning's recording does.
    *handle = itlApiHandle(search);
    if (documents == 0)
      errorInfo.setError(ITL_SH_POS, ItlEnReasonCode_Empty_index,
                         ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
  });
}

ItlEnReturnCode itlHandleDeleteIndexSearch(ItlTyIndexSearchHandle* handle) {
  ItlClApiTrace trace(ITL_SH_POS);
  if (handle == nullptr || *handle == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClIndexSearch* search = itlApiIndexSearch(*handle);
  ItlClErrorInfo& errorInfo = search->getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_SH_POS, [&] {
    itlApiDestroy(search);
    *handle = nullptr;
  });
}
