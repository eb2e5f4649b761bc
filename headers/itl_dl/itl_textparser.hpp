// itl_textparser.hpp: the parser of plain text (format TEXT). Every
// character of the document, line ends included, is document text: no
// fields, attributes, delimiters or segments. Modus 3 hands the text to the
// text document, modus 2 to the text collector; modus 1 reads the whole
// document and produces nothing.
#ifndef ITL_TEXTPARSER_HPP
#define ITL_TEXTPARSER_HPP

#include "itl_parser.hpp"

class ItlClParserText : public ItlClParserABase {
 public:
  ItlClParserText(ItlClErrorInfo& errorInfo, ItlClDocumentModels const& models);
  ~ItlClParserText() override;

  void processDocument(ItlClDocumentInputScanner& scanner) override;
  ItlEnDocumentFormat getDocumentFormat() const override {
    return ItlEnDocumentFormat_Text;
  }
};

#endif  // ITL_TEXTPARSER_HPP
