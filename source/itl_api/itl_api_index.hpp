// itl_api_index.hpp: the index object behind an index handle.
#ifndef ITL_API_INDEX_HPP
#define ITL_API_INDEX_HPP

#include "itl_api_base.h"
#include "itl_index.hpp"

inline ItlClIndex* itlApiIndex(ItlTyIndexHandle handle) {
  return reinterpret_cast<ItlClIndex*>(handle);
}
inline ItlTyIndexHandle itlApiHandle(ItlClIndex* object) {
  return reinterpret_cast<ItlTyIndexHandle>(object);
}

#endif  // ITL_API_INDEX_HPP
