// itl_tldocument.hpp: the text document, the receiving end of every
// document parser while a document is indexed, and the field stack.
//
// Per document the index update calls setParagraphRecognition,
// startDocument, then the parser feeds fields, attributes, text,
// delimiters and segment changes in document order (fields properly
// nested, at most one attribute open), then endDocument hands the document
// to the kernel interface. After a failure, reset forgets the unfinished
// document.
//
// What the text document does with the events:
//   - fields are numbered through the field-name map and bracket byte
//     positions of the converted document text; a field records its
//     boundary when it closes around some text. A field nested in an open,
//     not excluded field of the same number records none (the outer one
//     covers it); an excluded field never records one, and its text is not
//     indexed. Exclusion is not inherited: a not excluded field inside an
//     excluded one has its text indexed, and the exclusion returns after it.
//     A field with an empty name is only an exclusion bracket: no number,
//     no boundary, no map entry.
//   - attributes are numbered through the attribute-name map of their
//     type; their text goes to the attribute parser of the type and, unless
//     the attribute is do-not-text-index, to the document text as well.
//   - text (not excluded) and delimiters (always, as one blank) go through
//     the text analysis; segment changes are recorded at the current text
//     position.
//   - a document that ends without analysed text records warning 29 unless
//     the error info already holds a warning or an error.
#ifndef ITL_TLDOCUMENT_HPP
#define ITL_TLDOCUMENT_HPP

#include <cstdint>

#include "cos_ccsid.hpp"
#include "cos_language.hpp"
#include "itl_attribute.hpp"
#include "itl_codes.hpp"
#include "itl_text_analysis.hpp"

class CosClMemoryPool;
class ItlClTlDocumentIdABase;
class ItlClTlIndexPort;

// The open fields: at most DEPTH entries.
class ItlClFieldStack {
 public:
  static constexpr unsigned int DEPTH = 512;

  struct Entry {
    uint32_t start;       // text position when the field was opened
    uint16_t field;       // field number, 0 for a field without a name
    bool exclude;         // the field's text stays out of the index
    bool noBoundary;      // closing it records no boundary
  };

  ItlClFieldStack() = default;

  // Adds an entry on top: no boundary when `exclude`, when `boundary` is
  // false, or when an open not excluded entry has the same number. The
  // 513th entry throws ItlClException (8, Stackoverflow 39, Inform, origin
  // "source/itl_tl/itl_tldocument:94") and leaves the stack unchanged.
  void push(uint32_t start, uint16_t field, bool exclude,
            bool boundary = true);
  // Removes the innermost entry and returns it. REQUIRES: getDepth() > 0.
  Entry pop();
  // The innermost entry, null when the depth is 0.
  Entry const* top() const {
    return iv_usDepth == 0 ? nullptr : &iv_astEntries[iv_usDepth - 1];
  }
  uint16_t getDepth() const { return iv_usDepth; }
  void clear() { iv_usDepth = 0; }

 private:
  Entry iv_astEntries[DEPTH];
  uint16_t iv_usDepth = 0;
};

class ItlClTlDocument {
 public:
  // Takes nothing from the port yet but its reference.
  explicit ItlClTlDocument(ItlClTlIndexPort& port);
  virtual ~ItlClTlDocument();
  ItlClTlDocument(ItlClTlDocument const&) = delete;
  ItlClTlDocument& operator=(ItlClTlDocument const&) = delete;

  // Makes the text analysis over `pool` (the index update's pool, emptied
  // after each document). Once, before the first document.
  void init(CosClMemoryPool& pool);
  void setParagraphRecognition(bool on) { iv_bParagraphRecognition = on; }
  // Opens a document: the number of `id` (assigned on first ask; 302 when
  // the id has neither number nor name) is opened in the kernel interface.
  // The id must outlive the document.
  void startDocument(ItlClTlDocumentIdABase const& id, CosClCCSID const& ccsid,
                     CosClLanguage const& language);
  void setLanguage(CosClLanguage const& language);
  // `name` NUL-terminated; "" opens an exclusion bracket only.
  void startField(char const* name, bool exclude);
  // Closes the innermost field; with none open, only clears the exclusion.
  void endField();
  // `type` STRING, NUMBER or DATE; any other type opens nothing. `name`
  // must outlive the attribute.
  void startAttribute(char const* name, ItlEnAttributeType type,
                      bool doNotTextIndex);
  void endAttribute();
  void addText(unsigned short const* text, unsigned int length);
  void addDelimiter();
  void nextSegment(unsigned short indicator);
  void endDocument();
  // Forgets an unfinished document: no attribute, no field, no exclusion,
  // no id.
  void reset();

  ItlClFieldStack const& getFieldStack() const { return iv_clFieldStack; }
  bool isExcluding() const { return iv_bExclusion; }
  // The port the document is handed to (its configuration included).
  ItlClTlIndexPort& getPort() const { return iv_rclPort; }
  // REQUIRES: init was called.
  ItlClTextAnalysisUpdateABase& getTextAnalysis() const {
    return iv_clTextAnalysis.get();
  }

 private:
  ItlClTextAnalysisUpdate iv_clTextAnalysis;
  ItlClTlIndexPort& iv_rclPort;
  ItlClTlDocumentIdABase const* iv_pclDocumentId;  // not owned
  CosClCCSID iv_clCCSID;
  CosClLanguage iv_clLanguage;
  ItlClFieldStack iv_clFieldStack;
  ItlClAttributeParserNumber iv_clNumberParser;
  ItlClAttributeParserDate iv_clDateParser;
  ItlClAttributeParserString iv_clStringParser;
  ItlClAttributeParserABase* iv_pclAttributeParser;  // the open one or null
  unsigned short iv_ausAttributeText[ItlClAttributeParserABase::VALUE_UNITS + 1];
  bool iv_bParagraphRecognition;
  bool iv_bExclusion;
};

#endif  // ITL_TLDOCUMENT_HPP
