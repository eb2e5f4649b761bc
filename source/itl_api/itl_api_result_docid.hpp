// itl_api_result_docid.hpp: the one place where a result element's
// document number reaches the caller's document id.
#ifndef ITL_API_RESULT_DOCID_HPP
#define ITL_API_RESULT_DOCID_HPP

#include <cstdint>

#include "itl_api_base.h"

// Sets `handle` (not null) to document `number`; its name is then the one
// the index's document-name map holds for the number. Throws what the
// document id throws.
void itlApiDeliverDocumentNumber(ItlTyDocumentIDHandle handle,
                                 uint64_t number);

#endif  // ITL_API_RESULT_DOCID_HPP
