// itl_gpp_utf16_spender.cpp: the GPP parser's cursors in the scanner's
// UTF-16 text.
#include "itl_document_input_scanner.hpp"
#include "itl_gpp_tag_finder.hpp"

ItlClGppUTF16Spender::ItlClGppUTF16Spender(ItlClDocumentInputScanner& scanner,
                                           unsigned int lookAhead)
    : iv_pusBufferEnd(nullptr),
      iv_pusRead(nullptr),
      iv_pusMatchStart(nullptr),
      iv_pusTextStart(nullptr),
      iv_pusTextEnd(nullptr),
      iv_pclScanner(nullptr),
      iv_uiLookAhead(lookAhead) {
  reset(scanner);
}

ItlClGppUTF16Spender::~ItlClGppUTF16Spender() {
  iv_pclScanner = nullptr;
  iv_pusBufferEnd = iv_pusRead = iv_pusMatchStart = nullptr;
  iv_pusTextStart = iv_pusTextEnd = nullptr;
}

void ItlClGppUTF16Spender::reset(ItlClDocumentInputScanner& scanner) {
  iv_pclScanner = &scanner;
  unsigned int length = 0;
  unsigned short const* start = scanner.getNextBuffer(length);
  iv_pusBufferEnd = start ? start + length : nullptr;
  iv_pusRead = iv_pusMatchStart = iv_pusTextStart = iv_pusTextEnd = start;
}
