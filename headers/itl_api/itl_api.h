/* itl_api.h: the exported functions of the text index library.
 *
 * Conventions of every itl function (C99 and C++):
 *  1. Handles are opaque pointers made by itlHandleNew... and destroyed by
 *     itlHandleDelete..., which takes a pointer to the handle and sets it
 *     to null. Objects are allocated through the memory callbacks in force.
 *  2. Every function returns an ItlEnReturnCode: 0 success, 4 success with
 *     warnings, 8 error, 16 a null handle (nothing is recorded then). The
 *     details of a warning or an error are in the error info reached from
 *     the handle (itl_api_errorinfo.h): reason, action, context, origin.
 *  3. Every call resets its error info's return code and warning count
 *     first, so read the details of an error before the next call.
 *  4. No exception or signal leaves a function: every failure is a code.
 *  5. Texts handed out belong to the library; see each function for how
 *     long they stay valid.
 */
#ifndef ITL_API_H
#define ITL_API_H

#include "itl_api_base.h"
#include "itl_api_attribute_map.h"
#include "itl_api_config.h"
#include "itl_api_docmap.h"
#include "itl_api_docmap_migration.h"
#include "itl_api_context.h"
#include "itl_api_docid.h"

#include "itl_api_cp_converter.h"
#include "itl_api_errorinfo.h"
#include "itl_api_highlight.h"
#include "itl_api_index.h"
#include "itl_api_library.h"
#include "itl_api_list.h"
#include "itl_api_query.h"
#include "itl_api_query_estimate.h"
#include "itl_api_query_result.h"

#include "itl_api_lookup.h"
#include "itl_api_merge.h"
#include "itl_api_normalizer.h"
#include "itl_api_search_attribute.h"
#include "itl_api_search_handle.h"
#include "itl_api_search_string.h"
#include "itl_api_search_term.h"
#include "itl_api_update.h"

#endif /* ITL_API_H */
