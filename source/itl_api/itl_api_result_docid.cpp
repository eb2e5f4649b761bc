// itl_api_result_docid.cpp: delivery of result document numbers.
#include "itl_api_result_docid.hpp"

#include "itl_api_docid.hpp"

void itlApiDeliverDocumentNumber(ItlTyDocumentIDHandle handle,
                                 uint64_t number) {
  itlApiDocumentID(handle)->setNumber(number);
}
