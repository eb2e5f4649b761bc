// itl_document_offset_mapper.hpp: the receiver of a parser run in
// offset-mapping modus (1), the highlighter's second pass.
//
// A parser tells the mapper which input buffer its events refer to and
// then reports, for every event of the document, its source position
// (Expat's byte index and byte count within the bytes fed so far, the
// prolog the XML parser may prepend included), the converted text, the
// field brackets and the delimiters, mirroring what it writes to the text
// document in index modus. Every operation here does nothing; the text and
// XML mappers of the highlighter override what they need. A mapper lives
// on the parser's thread and is not owned by the parser.
#ifndef ITL_DOCUMENT_OFFSET_MAPPER_HPP
#define ITL_DOCUMENT_OFFSET_MAPPER_HPP

class ItlClDocumentOffsetMapper {
 public:
  ItlClDocumentOffsetMapper() {}
  virtual ~ItlClDocumentOffsetMapper() {}
  ItlClDocumentOffsetMapper(ItlClDocumentOffsetMapper const&) = delete;
  ItlClDocumentOffsetMapper& operator=(ItlClDocumentOffsetMapper const&) =
      delete;

  // The input buffer (UTF-16, `bytes` bytes) the following events refer to.
  virtual void setSourceBuffer(char const* /*buffer*/, unsigned int /*bytes*/) {}
  // UTF-16 characters the parser prepended as its own prolog; the mapper
  // subtracts them from the positions it records (0 until set).
  virtual void setPrologLength(unsigned int /*units*/) {}

  // Source positions of the XML parser's events.
  virtual void startElement(unsigned int /*byteIndex*/,
                            unsigned int /*byteCount*/, char const* /*name*/,
                            char const** /*attributes*/) {}
  virtual void endElement(unsigned int /*byteIndex*/,
                          unsigned int /*byteCount*/, char const* /*name*/) {}
  virtual void characterData(unsigned int /*byteIndex*/,
                             unsigned int /*byteCount*/, char const* /*text*/,
                             int /*length*/) {}
  virtual void processingInstruction(unsigned int /*byteIndex*/,
                                     unsigned int /*byteCount*/,
                                     char const* /*target*/,
                                     char const* /*data*/) {}
  virtual void comment(unsigned int /*byteIndex*/, unsigned int /*byteCount*/,
                       char const* /*text*/) {}
  // Converted UTF-16 text of character data, respectively of attribute,
  // comment and processing-instruction text (`bytes` bytes).
  virtual void processText(unsigned int /*byteIndex*/,
                           unsigned int /*byteCount*/,
                           unsigned short const* /*text*/,
                           unsigned int /*bytes*/) {}
  virtual void processOther(unsigned int /*byteIndex*/,
                            unsigned int /*byteCount*/,
                            unsigned short const* /*text*/,
                            unsigned int /*bytes*/) {}

  // Field brackets and delimiters as the text document would get them.
  virtual void startField(char const* /*name*/, bool /*exclude*/) {}
  virtual void endField() {}
  virtual void addDelimiter() {}
};

#endif  // ITL_DOCUMENT_OFFSET_MAPPER_HPP
