// itl_offset_mapper.hpp: the TEXT and XML offset mappers, which carry hits
// found in a document's extracted text back to character offsets in the
// document's own UTF-16 text (a surrogate pair counts one character).
// Their base, with the piece mapping both share, is ItlClDocumentOffsetMapper
// (itl_document_offset_mapper.hpp), the class the parsers call.
//
// ItlClDocumentOffsetMapperText: TEXT documents, whose extracted text is
// the document text: the TEXT parser hands each buffer to processText and
// the hits are placed with part type 100000.
//
// ItlClDocumentOffsetMapperXml: XML documents. The parser reports each
// construct (source byte index and byte count in the UTF-16 text) with the
// text it produced (processText for character data, processOther for
// comments, markup and processing instructions), the delimiters it writes
// between pieces, and the fields it opens and closes. The two passes must
// hand over the same characters in the same order.
//
// A hit is placed from the piece that holds its first character to the one
// that holds its last, and recorded once its end is reached, only when no
// field is selected or a selected field is open then. A hit that starts or
// ends in text produced by an entity or character reference covers the
// whole reference. Hits starting in a delimiter, in excluded text or
// nowhere are dropped. The mapped list never holds more hits than the
// source list.
#ifndef ITL_OFFSET_MAPPER_HPP
#define ITL_OFFSET_MAPPER_HPP

#include <cstdint>

#include "itl_document_offset_mapper.hpp"
#include "itl_tldocument.hpp"

class ItlClFieldNameMap;
class ItlClFieldNumSet;

class ItlClDocumentOffsetMapperText : public ItlClDocumentOffsetMapper {
 public:
  explicit ItlClDocumentOffsetMapperText(ItlClHitlist const& hits);
  ~ItlClDocumentOffsetMapperText() override;
  ItlEnDocumentFormat getDocumentFormat() const override {
    return ItlEnDocumentFormat_Text;
  }

  // The next piece of the document's text (the byte index and count are
  // not read: pieces follow each other from the text's start).
  void processText(unsigned int sourceByteIndex, unsigned int sourceByteCount,
                   unsigned short const* text,
                   unsigned int textBytes) override;

 private:
  uint32_t iv_uiSourceCharOffset;  // characters of the pieces so far
};

class ItlClDocumentOffsetMapperXml : public ItlClDocumentOffsetMapper {
 public:
  // The map and the selection (empty: every field) must outlive the mapper.
  ItlClDocumentOffsetMapperXml(ItlClHitlist const& hits,
                               ItlClFieldNameMap const& fieldNames,
                               ItlClFieldNumSet const& selection);
  ~ItlClDocumentOffsetMapperXml() override;
  ItlEnDocumentFormat getDocumentFormat() const override {
    return ItlEnDocumentFormat_Xml;
  }

  // Parser events: they set the part type of what follows.
  void startElement(unsigned int sourceByteIndex, unsigned int sourceByteCount,
                    char const* name, char const** attributes) override;
  void endElement(unsigned int sourceByteIndex, unsigned int sourceByteCount,
                  char const* name) override;
  void characterData(unsigned int sourceByteIndex,
                     unsigned int sourceByteCount, char const* text,
                     int len) override;
  void comment(unsigned int sourceByteIndex, unsigned int sourceByteCount,
               char const* data) override;
  void processingInstruction(unsigned int sourceByteIndex,
                             unsigned int sourceByteCount, char const* target,
                             char const* data) override;
  // One character of extracted text between pieces.
  void addDelimiter() override;

  // Character data: the construct at `sourceByteIndex` (`sourceByteCount`
  // bytes of the document text) produced `textBytes` bytes of `text`.
  void processText(unsigned int sourceByteIndex, unsigned int sourceByteCount,
                   unsigned short const* text,
                   unsigned int textBytes) override;
  // Text of a comment, markup or processing instruction, likewise.
  void processOther(unsigned int sourceByteIndex,
                    unsigned int sourceByteCount, unsigned short const* text,
                    unsigned int textBytes) override;

  // A field opens: `name` "" opens an entry without a field number; a name
  // the field-name map does not know raises reason 403 (Map_name_not_found).
  void startField(char const* name, bool exclude) override;
  // The innermost field closes (nothing when none is open).
  void endField() override;

  ItlEnDocPartType getPartType() const { return iv_enPartType; }
  bool isExcluding() const { return iv_bExcluded != 0; }

 protected:
  // No field selected, or a selected field open.
  bool recording() const override;

 private:
  void proceedInSource(unsigned int sourceByteIndex);
  // Characters of the construct from the current source pointer.
  uint32_t constructChars(unsigned int sourceByteCount) const;

  ItlClFieldNameMap const& iv_rclFieldNames;
  ItlClFieldNumSet const& iv_rclSelection;
  ItlEnDocPartType iv_enPartType;
  bool iv_bInEntity;
  uint32_t iv_uiSourceByteIndex;   // byte index reached in the source
  uint32_t iv_uiSourceCharOffset;  // characters before it
  ItlClFieldStack iv_clFieldStack;
  uint8_t iv_bExcluded;            // the innermost field is excluded
  uint16_t iv_usHighlightedLevel;  // depth of the outermost selected field
};

#endif  // ITL_OFFSET_MAPPER_HPP
