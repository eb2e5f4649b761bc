// itl_offset_mapper.hpp: carries hits found in a document's extracted text
// back to character offsets in the document's own text.
//
// The highlighter finds its hits (ItlClHitlist, ascending offsets, in
// characters of the extracted text) and then runs the document's parser a
// second time in offset-mapping mode; the parser feeds the mapper, which
// fills its mapped list with the same hits in characters of the document's
// UTF-16 text (a surrogate pair counts one character).
//
// ItlClDocumentOffsetMapperText: TEXT documents, whose extracted text is
// the document text: the hits are copied with part type 100000.
//
// ItlClDocumentOffsetMapperXml: XML documents. The parser reports each
// construct (source byte index and byte count in the UTF-16 text) with the
// text it produced (processText for character data, processOther for
// comments, markup and processing instructions), the delimiters it writes
// between pieces, and the fields it opens and closes. The two passes must
// hand over the same characters in the same order.
//
// Each hit is mapped on its own: its start from the piece that holds its
// first character, its end from the piece that holds its last, so hits
// whose extents overlap or nest each get their own offsets. The mapped list
// keeps the hits in the source order; a hit is recorded once its end is
// reached, and only when no field is selected or a selected field is open
// then. A hit that starts in text produced by an entity or character
// reference covers the whole reference, likewise one that ends there. Hits
// starting in a delimiter, in excluded text or nowhere are dropped. The
// mapped list never holds more hits than the source list.
#ifndef ITL_OFFSET_MAPPER_HPP
#define ITL_OFFSET_MAPPER_HPP

#include <cstdint>

#include "itl_document_format.hpp"
#include "itl_hitlist.hpp"
#include "itl_tldocument.hpp"

class ItlClFieldNameMap;
class ItlClFieldNumSet;

class ItlClDocumentOffsetMapper {
 public:
  // `hits` (ascending offsets) must outlive the mapper.
  explicit ItlClDocumentOffsetMapper(ItlClHitlist const& hits);
  virtual ~ItlClDocumentOffsetMapper();
  ItlClDocumentOffsetMapper(ItlClDocumentOffsetMapper const&) = delete;
  ItlClDocumentOffsetMapper& operator=(ItlClDocumentOffsetMapper const&) =
      delete;

  virtual ItlEnDocumentFormat getDocumentFormat() const = 0;

  // The document's UTF-16 text (host order) and its length in bytes; not
  // owned, it must stay until the pass ends.
  void setSourceBuffer(char const* buffer, unsigned int byteLength);

  // Characters in the first `bytes` bytes of `text`: a high surrogate
  // followed by a low one inside the limit is one character, every other
  // unit one. An odd last byte counts as nothing.
  static unsigned int getCharCount(unsigned short const* text,
                                   unsigned int bytes);
  // Characters stepped, by the same rule, until the bytes stepped reach
  // `wanted` or `available`: at least one when `available` is not 0
  // (and `wanted` is not 0); 0 for 0.
  static unsigned int findCharOffset(unsigned short const* text,
                                     unsigned int available,
                                     unsigned int wanted);

  // The hits mapped so far, in source order.
  ItlClHitlist const& getMappedHits() const { return iv_clMappedHits; }

 protected:
  ItlClHitlist const& iv_rclSourceHits;
  ItlClHitlistIterator iv_clHitCursor;
  ItlClHitlist iv_clMappedHits;
  unsigned short const* iv_pusSource;      // document text, not owned
  uint32_t iv_uiSourceBytes;               // its length in bytes
  unsigned short const* iv_pusSourceCurrent;  // reached so far
};

class ItlClDocumentOffsetMapperText : public ItlClDocumentOffsetMapper {
 public:
  // Copies every hit with part type 100000.
  explicit ItlClDocumentOffsetMapperText(ItlClHitlist const& hits);
  ~ItlClDocumentOffsetMapperText() override;
  ItlEnDocumentFormat getDocumentFormat() const override {
    return ItlEnDocumentFormat_Text;
  }
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

  // Characters the parser fed ahead of the document (its own prolog);
  // subtracted from every mapped offset.
  void setPrologCorrection(unsigned int characters) {
    iv_uiPrologCorrection = characters;
  }

  // Parser events: they set the part type of what follows.
  void startElement(unsigned int sourceByteIndex, unsigned int sourceByteCount,
                    char const* name, char const* const* attributes);
  void endElement(unsigned int sourceByteIndex, unsigned int sourceByteCount,
                  char const* name);
  void characterData(unsigned int sourceByteIndex,
                     unsigned int sourceByteCount, char const* text, int len);
  void comment(unsigned int sourceByteIndex, unsigned int sourceByteCount,
               char const* data);
  void processingInstruction(unsigned int sourceByteIndex,
                             unsigned int sourceByteCount,
                             char const* target, char const* data);
  // One character of extracted text between pieces.
  void addDelimiter();

  // Character data: the construct at `sourceByteIndex` (`sourceByteCount`
  // bytes of the document text) produced `textBytes` bytes of `text`.
  void processText(unsigned int sourceByteIndex, unsigned int sourceByteCount,
                   unsigned short const* text, unsigned int textBytes);
  // Text of a comment, markup or processing instruction, likewise.
  void processOther(unsigned int sourceByteIndex,
                    unsigned int sourceByteCount, unsigned short const* text,
                    unsigned int textBytes);

  // A field opens: `name` "" opens an entry without a field number; a name
  // the field-name map does not know raises reason 403 (Map_name_not_found).
  void startField(char const* name, bool exclude);
  // The innermost field closes (nothing when none is open).
  void endField();

  // After the parser's pass: hits whose end no text reached are dropped,
  // so that the mapped list holds every hit that was placed.
  void finishPass();

  ItlEnDocPartType getPartType() const { return iv_enPartType; }
  bool isExcluding() const { return iv_bExcluded != 0; }

 private:
  // Where a started hit is: its mapped start, or dropped / not started.
  enum HitState : uint8_t { kWaiting = 0, kStarted, kDone, kDropped };

  void proceedInSource(unsigned int sourceByteIndex);
  // Characters of the construct from the current source pointer.
  uint32_t constructChars(unsigned int sourceByteCount) const;
  // No field selected, or a selected field open.
  bool recording() const;
  // Hit `i` ends at source character `end` (exclusive).
  void finishHit(uint32_t i, uint32_t end, ItlEnDocPartType type);
  // Moves finished or dropped hits from the front into the mapped list.
  void emitFinished();
  uint32_t corrected(uint32_t offset) const {
    return offset > iv_uiPrologCorrection ? offset - iv_uiPrologCorrection
                                          : 0;
  }

  ItlClFieldNameMap const& iv_rclFieldNames;
  ItlClFieldNumSet const& iv_rclSelection;
  ItlEnDocPartType iv_enPartType;
  bool iv_bInEntity;
  uint32_t iv_uiSourceByteIndex;   // byte index reached in the source
  uint32_t iv_uiSourceCharOffset;  // characters before it
  uint32_t iv_uiExtractedOffset;   // extracted characters handed over
  ItlClFieldStack iv_clFieldStack;
  uint8_t iv_bExcluded;            // the innermost field is excluded
  uint32_t iv_uiPrologCorrection;  // characters
  uint16_t iv_usHighlightedLevel;  // depth of the outermost selected field
  // Per source hit (owned arrays, one slot a hit): state, mapped start,
  // mapped end (exclusive), part type.
  uint8_t* iv_pucState;
  uint32_t* iv_puiStart;
  uint32_t* iv_puiEnd;
  uint32_t* iv_puiType;
  uint32_t iv_uiFirstOpen;   // hits before it are in the mapped list or dropped
};

#endif  // ITL_OFFSET_MAPPER_HPP
