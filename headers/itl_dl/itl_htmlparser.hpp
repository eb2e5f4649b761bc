// itl_htmlparser.hpp: the parser of HTML documents (format HTML).
//
// Not a conforming HTML parser: it acts on a fixed table of 107 tag names
// (fields, paragraph ends, whitespace, deletions, removed tags; any other
// tag vanishes), resolves the 252 character entity references of HTML 4.01
// and numeric references, and maps tags and META statements to fields and
// attributes through an optional HTML model. The content between tags is
// always text. Only modus 3 (index) produces anything.
//
// Findings in the document are warnings in the caller's error info (631 a
// META statement without content, 632 an unknown or bad reference, 216 an
// over-long META name); only the warning limit (38) ends a document.
//
// Beyond a plain reading of the rules: "<" ends an entity reference being
// collected (the reference goes on as text); a tag, reference or META
// statement still open at the end of the document goes on as text;
// numeric references above U+FFFF give a surrogate pair, those above
// U+10FFFF or in D800..DFFF give U+FFFD; a surrogate at the end of the
// text or without its partner stands alone.
#ifndef ITL_HTMLPARSER_HPP
#define ITL_HTMLPARSER_HPP

#include <cstdint>

#include "itl_parser.hpp"

class ItlClHtmlModel;

// One row of the charset map: ASCII name, the name in CCSID 500, CCSID.
struct ItlStHtmlEncoding {
  char const* ascii;
  char const* ebcdic;
  unsigned short ccsid;
};
extern ItlStHtmlEncoding const castHTMLEncodingMap[5];

class ItlClParserHTML : public ItlClParserABase {
 public:
  static constexpr unsigned kTagMax = 1025;     // units, "<" to ">"
  static constexpr unsigned kMetaMax = 2048;    // units of META text
  static constexpr unsigned kEntityMax = 17;    // units, "&" to ";"
  static constexpr unsigned kHeaderScan = 512;  // bytes for the charset

  ItlClParserHTML(ItlClErrorInfo& errorInfo, ItlClDocumentModels const& models);
  ~ItlClParserHTML() override;

  // The model of `modelName` (null: the default HTML model, maybe none);
  // an unknown name throws 202.
  void startDocument(ItlEnParserModus modus, ItlClTlDocument* document,
                     ItlClTextCollector* collector,
                     ItlClDocumentOffsetMapper* mapper,
                     char const* modelName) override;
  void processDocument(ItlClDocumentInputScanner& scanner) override;
  void endDocument() override;
  ItlEnDocumentFormat getDocumentFormat() const override {
    return ItlEnDocumentFormat_Html;
  }
  // The charset of the first "<meta" in the first 512 bytes (ASCII, or
  // CCSID 500 when no ASCII "<meta" is there) when it names one of the five
  // encodings of castHTMLEncodingMap; else the framework's guess.
  void scanHeaderInformationCCSID(char const* data, unsigned int length,
                                  unsigned short& ccsid) override;

  // True when the NUL-terminated lower-case `name` is a field tag.
  static bool isHTMLFieldTag(unsigned short const* name);

 private:
  enum State : uint32_t { TEXT = 0, TAG = 1, META = 2, ENTITY = 3 };

  void actionOnTag(unsigned short const* tag, unsigned int length);
  void actionOnMeta(unsigned short const* text, unsigned int length);
  void storeMetaText(unsigned short const* name, unsigned int nameLength,
                     unsigned short const* content,
                     unsigned int contentLength);
  void actionOnEntity(unsigned short const* reference, unsigned int length);
  void addText(unsigned short const* text, unsigned int units);
  void closeFieldAndAttribute();
  void warn(char const* origin, int reason, unsigned short const* text,
            unsigned int units);
  void flushOpenConstruct();

  uint32_t iv_uiState;
  bool iv_bFieldOpen;
  bool iv_bAttributeOpen;
  ItlClHtmlModel const* iv_pclModel;
  unsigned short iv_ausTag[kTagMax + 3];
  uint32_t iv_uiTagLength;
  unsigned short iv_ausMeta[kMetaMax + 4];
  uint32_t iv_uiMetaLength;
  unsigned short iv_ausEntity[kEntityMax + 1];
  uint32_t iv_uiEntityLength;
};

#endif  // ITL_HTMLPARSER_HPP
