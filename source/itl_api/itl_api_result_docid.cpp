// itl_api_result_docid.cpp: delivery of result document numbers.
//
// TODO(issue 49): the document-id handles are not built yet; until they
// are, a document-id handle given to itlQueryResultElementObtainData is the
// address of a uint64_t that receives the number. With them this becomes
// the document id's setNumber.
#include "itl_api_result_docid.hpp"

void itlApiDeliverDocumentNumber(ItlTyDocumentIDHandle handle,
                                 uint64_t number) {
  *reinterpret_cast<uint64_t*>(handle) = number;
}
