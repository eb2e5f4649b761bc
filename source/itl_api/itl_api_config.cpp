// itl_api_config.cpp: the exported index configuration functions.
#include "itl_api_config.h"
#include "itl_api_frame.hpp"
#include "itl_index_config.hpp"
#include "itl_index_location.hpp"

ItlEnReturnCode itlConfigFileMigrateR1R3(char const* indexName,
                                         char const* indexDirectory,
                                         ItlTyErrorInfoHandle handle) {
  ItlClApiTrace trace(ITL_API_POS("itl_api_config"));
  if (handle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = *itlApiErrorInfo(handle);
  itlApiReset(errorInfo);
  if (indexName == nullptr || indexDirectory == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_API_POS("itl_api_config"),
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_API_POS("itl_api_config"), [&] {
    // An empty working location: the migration works in place.
    ItlClIndexLocation location(indexName, indexDirectory, "");
    ItlClIndexConfig config(location, errorInfo);
    config.loadR1();
    config.writeAsR3File();
  });
}
