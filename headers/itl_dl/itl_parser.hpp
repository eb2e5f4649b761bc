// itl_parser.hpp: the parser framework of the document layer.
//
// Every document format is read by a parser derived from ItlClParserABase.
// Per document its owner calls startDocument (which picks the output by the
// parser modus), processDocument (the whole document from the input
// scanner) and endDocument. The outputs:
//   - modus 3 (index): the text document (fields, attributes, text,
//     delimiters, segments);
//   - modus 2 (highlight): the text collector;
//   - modus 1 (offset mapping): a document offset mapper.
// ItlClParserFactory hands out one parser per format and keeps it while the
// format stays the same. It never changes the process's current directory.
//
// Memory: parsers live in memory of the cos memory manager (new throws its
// out-of-memory exception).
#ifndef ITL_PARSER_HPP
#define ITL_PARSER_HPP

#include <cstddef>

#include "itl_document_format.hpp"

class ItlClDocumentInputScanner;
class ItlClDocumentModels;
class ItlClDocumentOffsetMapper;
class ItlClErrorInfo;
class ItlClTextCollector;
class ItlClTlDocument;

enum ItlEnParserModus : int {
  ItlEnParserModus_None = 0,  // no document open
  ItlEnParserModus_OffsetMapping = 1,
  ItlEnParserModus_Highlight = 2,
  ItlEnParserModus_Index = 3,
};

class ItlClParserABase {
 public:
  // Keeps both references; no document open.
  ItlClParserABase(ItlClErrorInfo& errorInfo,
                   ItlClDocumentModels const& models);
  virtual ~ItlClParserABase();
  ItlClParserABase(ItlClParserABase const&) = delete;
  ItlClParserABase& operator=(ItlClParserABase const&) = delete;

  static void* operator new(size_t size);
  static void operator delete(void* p);

  // Once, by the factory, after construction. Nothing here.
  virtual void init();
  // Keeps the modus and the three outputs (only the modus's one is used);
  // the base keeps no model name.
  virtual void startDocument(ItlEnParserModus modus, ItlClTlDocument* document,
                             ItlClTextCollector* collector,
                             ItlClDocumentOffsetMapper* mapper,
                             char const* modelName);
  virtual void processDocument(ItlClDocumentInputScanner& scanner) = 0;
  // Modus 0 and no outputs.
  virtual void endDocument();
  virtual ItlEnDocumentFormat getDocumentFormat() const = 0;
  // Guesses the CCSID of a document whose caller gave none, from the first
  // 128 bytes: 819 with strictly more ASCII votes (LF, 0x20..0x7F) than
  // EBCDIC votes (0x15, 0x80..0xA9, 0xC1..0xE9), else 500.
  virtual void scanHeaderInformationCCSID(char const* data, unsigned int length,
                                          unsigned short& ccsid);

  ItlEnParserModus getModus() const { return iv_enModus; }

 protected:
  ItlEnParserModus iv_enModus;
  ItlClTlDocument* iv_pclTlDocument;
  ItlClTextCollector* iv_pclTextCollector;
  ItlClDocumentOffsetMapper* iv_pclOffsetMapper;
  ItlClDocumentModels const& iv_rclDocumentModels;
  ItlClErrorInfo& iv_rclErrorInfo;
};

class ItlClParserFactory {
 public:
  ItlClParserFactory();
  virtual ~ItlClParserFactory();  // destroys the current parser
  ItlClParserFactory(ItlClParserFactory const&) = delete;
  ItlClParserFactory& operator=(ItlClParserFactory const&) = delete;

  // Gives out the parser for `format` and returns true: the current one
  // when its format matches, else a new one, created and initialised before
  // the old one is destroyed. A format without a parser gives false and a
  // null `parser`; the current parser stays. `insoDirectory` is the folder
  // of the filter libraries (only read for INSO). What a new parser's
  // construction or init throws passes, the current parser kept.
  bool selectParser(ItlClErrorInfo& errorInfo, ItlEnDocumentFormat format,
                    char const* insoDirectory,
                    ItlClDocumentModels const& models,
                    ItlClParserABase*& parser);

  ItlClParserABase* getCurrentParser() const { return iv_pclParser; }

 private:
  ItlClParserABase* iv_pclParser;  // owned, null while none
};

#endif  // ITL_PARSER_HPP
