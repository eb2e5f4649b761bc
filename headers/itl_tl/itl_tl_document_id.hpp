// itl_tl_document_id.hpp: the text layer's view of a caller's document id.
//
// A document id names a document by its caller name, its number or both.
// The text layer asks it for the number once per document; the id then
// maps its name through the index's document-name mapping when it has no
// number yet, which also tells whether the document is new. The exported
// interface's document id implements this view.
#ifndef ITL_TL_DOCUMENT_ID_HPP
#define ITL_TL_DOCUMENT_ID_HPP

#include <cstdint>

class ItlClTlDocumentIdABase {
 public:
  virtual ~ItlClTlDocumentIdABase() = default;

  // The document number, assigned on first ask through the document-name
  // mapping (which sets the new-document flag). An id with neither a
  // number nor a name throws ItlClException (8, Docmap_invalid_docid 302,
  // Inform, origin "./headers/itl_common/itl_docid:199").
  virtual uint64_t getDocumentNumber() const = 0;
  // The document is new to the index (valid after getDocumentNumber).
  virtual bool isNewDocument() const = 0;
  // The name the id holds (not NUL-terminated), null with length 0 when it
  // holds only a number. Never maps anything.
  virtual char const* getDocumentName(uint16_t& length) const = 0;
};

#endif  // ITL_TL_DOCUMENT_ID_HPP
