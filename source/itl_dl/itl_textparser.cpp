// itl_textparser.cpp: the plain-text parser (see the header).
#include "itl_textparser.hpp"

#include "itl_document_input_scanner.hpp"
#include "itl_document_offset_mapper.hpp"
#include "itl_text_collector.hpp"
#include "itl_tldocument.hpp"

ItlClParserText::ItlClParserText(ItlClErrorInfo& errorInfo,
                                 ItlClDocumentModels const& models)
    : ItlClParserABase(errorInfo, models) {}

ItlClParserText::~ItlClParserText() = default;

void ItlClParserText::processDocument(ItlClDocumentInputScanner& scanner) {
  for (;;) {
    unsigned int units = 0;
    unsigned short const* text = scanner.getNextBuffer(units);
    if (text == nullptr || units == 0) break;
    if (iv_enModus == ItlEnParserModus_Index)
      iv_pclTlDocument->addText(text, units);
    else if (iv_enModus == ItlEnParserModus_Highlight)
      iv_pclTextCollector->addText(text, units);
    else if (iv_enModus == ItlEnParserModus_OffsetMapping &&
             iv_pclOffsetMapper != nullptr) {
      // The mapper sees the same text the collector got, piece by piece.
      iv_pclOffsetMapper->setSourceBuffer(
          reinterpret_cast<char const*>(text), units * 2);
      iv_pclOffsetMapper->processText(0, units * 2, text, units * 2);
    }
  }
}
