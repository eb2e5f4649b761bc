/* itl_api_config.h: index configuration functions.
 */
#ifndef ITL_API_CONFIG_H
#define ITL_API_CONFIG_H

#include "itl_api_base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Migrates the first release's configuration "<indexName>.ipa" in
 * `indexDirectory` to the current "<indexName>.ini" there (the .ipa file
 * stays as it is). Null error info: 16; null name or directory: reason 25.
 * On failure no .ini file is written and an existing one is untouched. */
ITL_API_EXPORT ItlEnReturnCode itlConfigFileMigrateR1R3(
    char const* indexName, char const* indexDirectory,
    ItlTyErrorInfoHandle errorInfo);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_CONFIG_H */
