// itl_tl_index_port.hpp: what the text layer needs of the index below it.
//
// The text document, the attribute parsers and the text analysis hand each
// document to the index's kernel interface, number fields and attributes
// through the index's name maps, and read a few configuration values and
// the caller's context. The index lies above this layer, so it is reached
// only through ItlClTlIndexPort, which the index implements (a small
// adapter over its kernel interface, configuration, context and maps).
//
// The kernel interface keeps one current document: its text in the index
// code page (positions are byte offsets into it), its field and segment
// boundaries, and its list of engine item records (REGISTITEM), all taken
// from its memory pool, which the index update empties after each document.
#ifndef ITL_TL_INDEX_PORT_HPP
#define ITL_TL_INDEX_PORT_HPP

#include <cstdint>

#include "itl_codes.hpp"

class CosClConverterABase;
class CosClMemoryPool;
class ItlClContext;
struct REGISTITEM;

class ItlClTlIndexPort {
 public:
  virtual ~ItlClTlIndexPort() = default;

  // ---- the kernel interface's current document
  // Opens document `number` when none is open (text, boundaries and items
  // emptied; `isNew` selects the engine's new-document mode); the same
  // number again does nothing; another number while one is open throws
  // ItlClException (8, Invalid_calling_sequence, action 100003).
  virtual void addingToDocument(uint64_t number, bool isNew) = 0;
  // Converts `units` UTF-16 units to the index code page and appends them
  // to the document text. A conversion failure throws ItlClException.
  virtual void addDocumentText(unsigned short const* text,
                               unsigned int units) = 0;
  // Bytes of document text converted so far.
  virtual uint32_t getBufferPosition() const = 0;
  // Records a field boundary: field number, start and end byte positions.
  virtual void addField(unsigned short field, uint32_t start,
                        uint32_t end) = 0;
  // Records a segment indicator at a byte position.
  virtual void addSegmentBoundary(unsigned short indicator,
                                  uint32_t position) = 0;
  // The pool that items, their bytes and the text analysis buffer come
  // from; emptied by the index update after each document.
  virtual CosClMemoryPool& getMemoryPool() = 0;
  // Puts `item` (memory of getMemoryPool(), filled in) at the front of the
  // document's item list and raises the item count.
  virtual void addItemAtFront(REGISTITEM& item) = 0;
  // The converter from UCS-2 (13488) to the index code page.
  virtual CosClConverterABase const& getConverter() = 0;
  // Hands the document (text, boundaries, items) to the engine, with
  // paragraph recognition when the flag is set, and closes it.
  virtual void endDocument(bool paragraphRecognition) = 0;

  // ---- the index configuration
  // "UnicodeNormalization" (0 none, 1 NFC, 2 NFKC), "UmlautNormalization",
  // "AccentRemoval": the normaliser settings of document text.
  virtual int32_t getUnicodeNormalization() const = 0;
  virtual bool getUmlautNormalization() const = 0;
  virtual bool getAccentRemoval() const = 0;
  // "FormatConverterFallbackFormat" (1000..5015, default 4004): the format
  // the document filter assumes for documents it cannot identify.
  virtual int32_t getFormatConverterFallbackFormat() const { return 4004; }

  // ---- the context (error info, date and number callbacks)
  virtual ItlClContext& getContext() = 0;

  // ---- the name maps
  // The field number of `name`, added with the next free number when the
  // map does not hold it yet (`isNew` set then). A full map throws
  // ItlClException (8, Map_out_of_range).
  virtual void assignFieldNameToNumber(char const* name,
                                       unsigned short& number,
                                       bool& isNew) = 0;
  // The same for an attribute name in the map of its type.
  virtual void assignAttributeNameToNumber(char const* name,
                                           ItlEnAttributeType type,
                                           unsigned short& number,
                                           bool& isNew) = 0;
};

#endif  // ITL_TL_INDEX_PORT_HPP
