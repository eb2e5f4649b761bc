// itl_api_search_handle.hpp: the index-search object behind a search handle.
#ifndef ITL_API_SEARCH_HANDLE_HPP
#define ITL_API_SEARCH_HANDLE_HPP

#include "itl_api_base.h"
#include "itl_search_handle.hpp"

inline ItlClIndexSearch* itlApiIndexSearch(ItlTyIndexSearchHandle handle) {
  return reinterpret_cast<ItlClIndexSearch*>(handle);
}
inline ItlTyIndexSearchHandle itlApiHandle(ItlClIndexSearch* object) {
  return reinterpret_cast<ItlTyIndexSearchHandle>(object);
}

#endif  // ITL_API_SEARCH_HANDLE_HPP
