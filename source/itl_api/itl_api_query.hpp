// itl_api_query.hpp: the objects behind query handles and the creation
// that queries and query estimates share. A query estimate's handle is a
// query handle: the query functions build and reset its condition.
#ifndef ITL_API_QUERY_HPP
#define ITL_API_QUERY_HPP

#include "itl_api_frame.hpp"
#include "itl_api_query.h"
#include "itl_api_search_handle.hpp"
#include "itl_query.hpp"

inline ItlClAlQuery* itlApiQuery(ItlTyQueryHandle handle) {
  return reinterpret_cast<ItlClAlQuery*>(handle);
}
inline ItlTyQueryHandle itlApiHandle(ItlClAlQuery* object) {
  return reinterpret_cast<ItlTyQueryHandle>(object);
}

// Makes a `Query` on `searchHandle` (after the caller's trace records):
// null search handle 16; the error info reset; null out handle or language
// 25 (`origin` recorded). The handle is stored before the language (8) and
// the CCSID (10) are checked: after those the caller deletes it.
template <class Query>
ItlEnReturnCode itlApiNewQuery(char const* origin,
                               ItlTyIndexSearchHandle searchHandle,
                               char const* language, ItlTyCCSID ccsid,
                               ItlTyQueryHandle* handle) {
  if (searchHandle == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexSearch& search = *itlApiIndexSearch(searchHandle);
  ItlClErrorInfo& errorInfo = search.getErrorInfo();
  itlApiReset(errorInfo);
  if (handle == nullptr || language == nullptr)
    return itlApiCheckFailed(errorInfo, origin,
                             ItlEnReasonCode_Invalid_argument);
  *handle = nullptr;
  return itlApiGuarded(errorInfo, origin, [&] {
    ItlClAlQuery* query = itlApiMake<Query>(ItlClNoInit(), search);
    *handle = itlApiHandle(query);
    ItlEnReasonCode reason = query->setCCSIDAndLanguage(ccsid, language);
    if (reason != 0) itlApiCheckFailed(errorInfo, origin, reason);
  });
}

#endif  // ITL_API_QUERY_HPP
