// itl_api_docid.hpp: the objects behind update and document-id handles.
#ifndef ITL_API_DOCID_HPP
#define ITL_API_DOCID_HPP

#include "itl_api_base.h"
#include "itl_docid.hpp"
#include "itl_index_update.hpp"

inline ItlClDocumentID* itlApiDocumentID(ItlTyDocumentIDHandle handle) {
  return reinterpret_cast<ItlClDocumentID*>(handle);
}
inline ItlTyDocumentIDHandle itlApiHandle(ItlClDocumentID* object) {
  return reinterpret_cast<ItlTyDocumentIDHandle>(object);
}
inline ItlClIndexUpdate* itlApiIndexUpdate(ItlTyIndexUpdateHandle handle) {
  return reinterpret_cast<ItlClIndexUpdate*>(handle);
}
inline ItlTyIndexUpdateHandle itlApiHandle(ItlClIndexUpdate* object) {
  return reinterpret_cast<ItlTyIndexUpdateHandle>(object);
}

#endif  // ITL_API_DOCID_HPP
