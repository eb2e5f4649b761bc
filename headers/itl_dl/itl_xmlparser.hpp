// itl_xmlparser.hpp: the parser of XML documents (format XML, 100002).
//
// The document's UTF-16 buffers from the input scanner are fed to Expat
// (encoding "UTF-16", no namespace processing; a document without its own
// "<?xml" declaration gets the 22-character prolog "<?xml version="1.0"?> "
// first). Expat's events become fields, attributes, text and delimiters on
// the consumer of the modus: the text document (index), the text
// collector (highlight) or the offset mapper (offset mapping). An XML
// model (ItlClXmlModel) chooses fields and attributes by matching the
// element path; without one every element, attribute, comment and
// processing instruction becomes a field named by its path.
//
// Errors: malformed XML is a warning in the error info (the mapped Expat
// reason, return code 4, action 100002, context "Context: (line,column)");
// the document ends there. Failures of a consumer (a full field stack, a
// full field-name map, the warning threshold), conversion and memory
// failures leave processDocument unchanged in type after the path has been
// emptied and the Expat parser freed; no exception unwinds through Expat.
// The parser is ready for the next document after any failure.
#ifndef ITL_XMLPARSER_HPP
#define ITL_XMLPARSER_HPP

#include <expat.h>

#include <cstdint>

#include "cos_converter.hpp"
#include "itl_parser.hpp"
#include "itl_xml_doc_path.hpp"
#include "itl_xmlp_interface.hpp"

class ItlClXmlModel;

class ItlClParserXML : public ItlClParserABase {
 public:
  // One row of the encoding table of the XML declaration.
  struct EncodingRow {
    char const* name;
    unsigned short ccsid;
  };
  static constexpr unsigned kEncodingCount = 60;
  // Characters of the prolog fed before a document without one.
  static constexpr unsigned kPrologUnits = 22;

  ItlClParserXML(ItlClErrorInfo& errorInfo, ItlClDocumentModels const& models);
  ~ItlClParserXML() override;

  // Ensures the work buffer, keeps the consumers and takes the model
  // `modelName` (null: the index's default XML model, maybe none).
  void startDocument(ItlEnParserModus modus, ItlClTlDocument* document,
                     ItlClTextCollector* collector,
                     ItlClDocumentOffsetMapper* mapper,
                     char const* modelName) override;
  void processDocument(ItlClDocumentInputScanner& scanner) override;
  void endDocument() override;
  ItlEnDocumentFormat getDocumentFormat() const override {
    return ItlEnDocumentFormat_Xml;
  }
  // A byte-order mark gives 1208 (EF BB BF) or 1200 (FF FE, FE FF); else
  // the double-quoted encoding of an XML declaration within the first 512
  // bytes, looked up in the encoding table; else the base's guess.
  void scanHeaderInformationCCSID(char const* data, unsigned int length,
                                  unsigned short& ccsid) override;

  // True when `text` begins, after blanks (space, tab, LF, CR), with
  // "<?xml" within `units` units; false for null.
  static bool hasProlog(unsigned short const* text, unsigned int units);
  // The kEncodingCount rows, searched in order, names case-sensitive.
  static EncodingRow const* getEncodingMap();

  // Expat's events (called through the C callbacks).
  void startElement(char const* name, char const** attributes);
  void endElement(char const* name);
  void characterData(char const* text, int length);
  void processingInstruction(char const* target, char const* data);
  void comment(char const* text);

 private:
  class LocalItem;

  void insertTextOrAttribute(ItlClXmlDocPathItem& item, char const* text);
  // The field name of the node at the tail, or null for no field; sets
  // `exclude`.
  char const* fieldNameForTail(bool& exclude);
  // Opens the attribute definition matching the tail on `item` (model only).
  void startAttributeForTail(ItlClXmlDocPathItem& item);
  // A field opened or closed in the sink of the modus: the text document,
  // the text collector or the offset mapper (each keeps its own field
  // stack, so that excluded text and the field selection agree).
  void startField(char const* name, bool exclude);
  void endField();
  void addDelimiter();
  void deleteDocPathItemQueue();
  void addContext(XML_Parser parser);
  // Converts `length` UTF-8 bytes into the work buffer; the bytes written.
  unsigned int convert(char const* text, unsigned int length);
  void ensureWorkBuffer(unsigned int bytes);
  void freeParser();
  unsigned int byteIndex() const;
  unsigned int byteCount() const;

  ItlClXmlModel const* iv_pclModel;        // not owned; null: no model
  XML_Parser iv_pXmlParser;                // owned while processDocument runs
  ItlClXmlDocPath iv_clPath;               // root .. node being handled
  unsigned short* iv_pusWorkBuffer;        // owned (memory manager)
  uint32_t iv_uiWorkBufferSize;            // bytes
  CosClCodePage2UnicodeConverter iv_clConverter;  // UTF-8 -> UTF-16
  ItlClExpatGuard iv_clGuard;              // of the parse in progress
  bool iv_bAttributeOpen;                  // an attribute definition is open
};

#endif  // ITL_XMLPARSER_HPP
