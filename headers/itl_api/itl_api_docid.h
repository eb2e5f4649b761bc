/* itl_api_docid.h: document-id handles.
 *
 * A document id names one document of an index: by its caller name, by
 * its document number, or both. With the index's DocumentIDMapping ON (the
 * default) names of up to MaxDocumentIDLength bytes are mapped to numbers
 * by the index; with it OFF a name is the decimal text of its number.
 * Caller numbers are 0..2147483646.
 *
 * Errors go to the error info of the index's context. A name handed out
 * by itlDocumentIDObtainName belongs to the handle and stays valid until
 * the next call on the handle or its deletion. Delete the handle before
 * its index handle.
 */
#ifndef ITL_API_DOCID_H
#define ITL_API_DOCID_H

#include "itl_api_base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Loads the index and makes an empty document id. Null index: 16; null
 * handle pointer: 8 with reason 1. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewDocumentID(
    ItlTyIndexHandle index, ItlTyDocumentIDHandle* handle);
/* Frees the handle and sets *handle to null; null pointer or handle: 16. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteDocumentID(
    ItlTyDocumentIDHandle* handle);
/* Sets the name (`length` bytes, not terminated). Reasons: 25 null name;
 * 12 length 0 or above MaxDocumentIDLength; without name mapping 302 for
 * anything but decimal digits of at most 2147483646. */
ITL_API_EXPORT ItlEnReturnCode itlDocumentIDSetName(
    ItlTyDocumentIDHandle id, char const* name, uint32_t length);
/* Sets the number; above 2147483646: reason 12. */
ITL_API_EXPORT ItlEnReturnCode itlDocumentIDSetNumber(
    ItlTyDocumentIDHandle id, uint64_t number);
/* The name (not terminated) and its length, looked up by number when the
 * id holds only a number. Reasons: 25 a null pointer; 302 an empty id. */
ITL_API_EXPORT ItlEnReturnCode itlDocumentIDObtainName(
    ItlTyDocumentIDHandle id, char const** name, uint32_t* length);
/* The number; a name without one gets its number from the index (a new
 * name is assigned the next one). Reasons: 25 a null pointer; 302 an
 * empty id. */
ITL_API_EXPORT ItlEnReturnCode itlDocumentIDObtainNumber(
    ItlTyDocumentIDHandle id, uint64_t* number);
/* Switches name mapping for this id; returns 0 and records nothing. */
ITL_API_EXPORT ItlEnReturnCode itlDocumentIDSetNameMapping(
    ItlTyDocumentIDHandle id, bool doMap);
/* Looks a name up without assigning a number: 303 (and an empty id) when
 * the index does not hold it, always without name mapping. Reasons as for
 * itlDocumentIDSetName. */
ITL_API_EXPORT ItlEnReturnCode itlDocumentIDRetrieveByName(
    ItlTyDocumentIDHandle id, char const* name, uint32_t length);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_DOCID_H */
