// itl_document_offset_mapper.hpp: the receiver of a parser run in
// offset-mapping modus (1), the highlighter's second pass, and the base of
// the TEXT and XML offset mappers (itl_offset_mapper.hpp).
//
// A parser tells the mapper which input buffer its events refer to and
// then reports, for every event of the document, its source position
// (Expat's byte index and byte count within the bytes fed so far, the
// prolog the XML parser may prepend included), the converted text, the
// field brackets and the delimiters, mirroring what it writes to the text
// collector in highlight modus. The event operations do nothing here; the
// mappers override what they need. A mapper lives on the parser's thread
// and is not owned by the parser.
//
// What the base keeps for the mappers: the source hits (ItlClHitlist,
// ascending offsets in characters of the extracted text as the normaliser
// counts them), a cursor over them, the mapped list they fill (the same
// hits in characters of the document's UTF-16 text, a surrogate pair one
// character), the source buffer, and the piece mapping both mappers share:
// a piece of extracted text of n original characters covers the
// normaliser's widths of those characters (getNormalizedLength: 1, 2 for a
// folded umlaut or ligature, 0 for a mark absorbed by the character before
// it). A hit that starts or ends inside a character that normalised to
// more than one covers the whole character. Each hit is placed on its own,
// so hits whose extents overlap or nest each get their own offsets.
#ifndef ITL_DOCUMENT_OFFSET_MAPPER_HPP
#define ITL_DOCUMENT_OFFSET_MAPPER_HPP

#include <cstdint>

#include "itl_document_format.hpp"
#include "itl_hitlist.hpp"

class ItlClNormalization;

class ItlClDocumentOffsetMapper {
 public:
  // `hits` (ascending offsets) must outlive the mapper. The mapped list
  // gets the source list's count as capacity. Out of memory throws the
  // memory manager's exception.
  explicit ItlClDocumentOffsetMapper(ItlClHitlist const& hits);
  virtual ~ItlClDocumentOffsetMapper();
  ItlClDocumentOffsetMapper(ItlClDocumentOffsetMapper const&) = delete;
  ItlClDocumentOffsetMapper& operator=(ItlClDocumentOffsetMapper const&) =
      delete;

  virtual ItlEnDocumentFormat getDocumentFormat() const = 0;

  // The normaliser whose widths the source hits count in (not owned; null,
  // the default: every character counts one).
  void setNormalizer(ItlClNormalization const* normalizer) {
    iv_pclNormalizer = normalizer;
  }

  // The input buffer (UTF-16 in host order, `bytes` bytes; not owned, it
  // must stay until the pass ends) the following events refer to.
  virtual void setSourceBuffer(char const* buffer, unsigned int bytes);
  // UTF-16 units the parser fed ahead of the source buffer as its own
  // prolog: byte indexes of the events count them (0 until set).
  virtual void setPrologLength(unsigned int units) {
    iv_uiPrologBytes = units * 2;
  }

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

  // Field brackets and delimiters as the text collector gets them.
  virtual void startField(char const* /*name*/, bool /*exclude*/) {}
  virtual void endField() {}
  virtual void addDelimiter() {}

  // After the parser's pass: hits whose end no text reached are dropped,
  // so that the mapped list holds every hit that was placed.
  void finishPass();

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
  // The source buffer last given (null before).
  unsigned short const* getSourceBuffer() const { return iv_pusSource; }

 protected:
  // How the hits of a piece are placed in the source.
  enum Placement : uint8_t {
    kInText,      // character by character from the piece's start
    kWhole,       // the whole construct (a reference, markup, an instruction)
    kInComment    // character by character behind the 4 units of "<!--"
  };

  // Hits that start or end in a piece of extracted text: `text` (`units`
  // units) starts at the extracted offset reached and at source character
  // `sourceChars`; `wholeChars` is the construct's length for kWhole. Hits
  // that end in a later piece stay open (`mayContinue`) or are closed at
  // the piece's end. Moves the extracted offset behind the piece.
  void mapPiece(unsigned short const* text, unsigned int units,
                uint32_t sourceChars, Placement placement,
                uint32_t wholeChars, ItlEnDocPartType type, bool mayContinue);
  // A hit may be recorded now (no field selection, or a selected field
  // open); the TEXT mapper always records.
  virtual bool recording() const { return true; }
  // All source hits are placed or dropped.
  bool allHandled() const {
    return iv_uiFirstOpen >= iv_rclSourceHits.getCount();
  }

  ItlClHitlist const& iv_rclSourceHits;
  ItlClHitlistIterator iv_clHitCursor;
  ItlClHitlist iv_clMappedHits;
  unsigned short const* iv_pusSource;         // document text, not owned
  uint32_t iv_uiSourceBytes;                  // its length in bytes
  unsigned short const* iv_pusSourceCurrent;  // reached so far
  uint32_t iv_uiPrologBytes;                  // fed ahead of the buffer
  uint32_t iv_uiExtractedOffset;  // normalised characters handed over

 private:
  // Per original character of the piece in iv_puiWidths: the normalised
  // characters before it (count + 1 entries). Returns the character count.
  uint32_t measurePiece(unsigned short const* text, unsigned int units);
  // The piece's character holding normalised offset `x` (start of a hit),
  // respectively the character just behind the one holding `x - 1` (end).
  uint32_t charAtStart(uint32_t x, uint32_t chars) const;
  uint32_t charAtEnd(uint32_t x, uint32_t chars) const;
  void finishHit(uint32_t i, uint32_t end, ItlEnDocPartType type);
  // Moves finished or dropped hits from the front into the mapped list.
  void emitFinished();
  template <class T>
  void grow(T*& array, uint32_t& capacity, uint32_t wanted);

  ItlClNormalization const* iv_pclNormalizer;  // not owned, may be null
  // Per source hit (owned arrays, one slot a hit): state, mapped start,
  // mapped end (exclusive), part type.
  uint8_t* iv_pucState;
  uint32_t* iv_puiStart;
  uint32_t* iv_puiEnd;
  uint32_t* iv_puiType;
  uint32_t iv_uiFirstOpen;  // hits before it are in the mapped list or dropped
  // Scratch of measurePiece (owned, grown): cumulative widths, UTF-8 copy
  // of the piece and each character's byte offset in it.
  uint32_t* iv_puiWidths;
  uint32_t iv_uiWidthsCapacity;
  char* iv_pcUtf8;
  uint32_t iv_uiUtf8Capacity;
  uint32_t* iv_puiUtf8At;
  uint32_t iv_uiUtf8AtCapacity;
};

#endif  // ITL_DOCUMENT_OFFSET_MAPPER_HPP
