// itl_tldocument.cpp: the text document and the field stack.
//
// Text positions are byte offsets into the kernel interface's converted
// document text; the text analysis buffer is flushed before each position
// is read, so that every unit given so far has been converted.
#include "itl_tldocument.hpp"

#include <cstring>

#include "cos_trace.hpp"
#include "itl_context.hpp"
#include "itl_error.hpp"
#include "itl_tl_document_id.hpp"
#include "itl_tl_index_port.hpp"

namespace {

constexpr uint16_t kTraceComponent = 3;
constexpr CosEnTraceDetail kTraceDetail = CosEnTraceDetail::HIGH;

char const kOriginOverflow[] = "source/itl_tl/itl_tldocument:94";
char const kOriginEmpty[] = "source/itl_tl/itl_tldocument:246";

// Trace records of the values of an operation; nothing when the trace is
// off. They only read what the caller passed.
void traceText(char const* function, char const* label, char const* text,
               uint32_t length) {
  if (gs_pclCosTraceInstance != nullptr)
    cosTraceDump(kTraceDetail, kTraceComponent, CosEnTraceDataType::CSTRING,
                 function, label, text, length);
}
void traceText(char const* function, char const* label, char const* text) {
  if (gs_pclCosTraceInstance != nullptr && text != nullptr)
    traceText(function, label, text,
              static_cast<uint32_t>(std::strlen(text)));
}
void traceValue(char const* function, char const* label, uint32_t value) {
  if (gs_pclCosTraceInstance != nullptr)
    cosTraceDump(kTraceDetail, kTraceComponent, CosEnTraceDataType::UINT32,
                 function, label, &value, sizeof value);
}

}  // namespace

// ---------------------------------------------------------------------------
// The field stack.

void ItlClFieldStack::push(uint32_t start, uint16_t field, bool exclude,
                           bool boundary) {
  if (iv_usDepth == DEPTH)
    ItlClException(kOriginOverflow, 94, ItlEnReasonCode_Stackoverflow)
        .raise();
  Entry& entry = iv_astEntries[iv_usDepth];
  entry.start = start;
  entry.field = field;
  entry.exclude = exclude;
  entry.noBoundary = exclude || !boundary;
  if (!entry.noBoundary) {
    for (unsigned int i = iv_usDepth; i-- > 0;) {
      if (iv_astEntries[i].field == field && !iv_astEntries[i].exclude) {
        entry.noBoundary = true;
        break;
      }
    }
  }
  ++iv_usDepth;
}

ItlClFieldStack::Entry ItlClFieldStack::pop() {
  return iv_astEntries[--iv_usDepth];
}

// ---------------------------------------------------------------------------
// The text document.

ItlClTlDocument::ItlClTlDocument(ItlClTlIndexPort& port)
    : iv_rclPort(port),
      iv_pclDocumentId(nullptr),
      iv_clLanguage(0u),
      iv_clNumberParser(port, iv_clLanguage, false),
      iv_clDateParser(port, iv_clLanguage, false),
      iv_clStringParser(port, iv_clLanguage, false),
      iv_pclAttributeParser(nullptr),
      iv_bParagraphRecognition(false),
      iv_bExclusion(false) {
  iv_ausAttributeText[0] = 0;
}

ItlClTlDocument::~ItlClTlDocument() = default;

void ItlClTlDocument::init(CosClMemoryPool& pool) {
  iv_clTextAnalysis.init(pool, iv_rclPort);
}

void ItlClTlDocument::startDocument(ItlClTlDocumentIdABase const& id,
                                    CosClCCSID const& ccsid,
                                    CosClLanguage const& language) {
  static char const kFunction[] = "source/itl_tl/itl_tldocument:startDocument";
  CosClTrace trace(kTraceDetail, kTraceComponent, kFunction);
  if (gs_pclCosTraceInstance != nullptr) {
    // Only what the id holds: tracing never maps a number to its name.
    uint16_t length = 0;
    char const* name = id.getDocumentName(length);
    if (name != nullptr) traceText(kFunction, "Document name", name, length);
    traceValue(kFunction, "Document ccsid",
               static_cast<uint32_t>(ccsid.getCCSID()));
    traceText(kFunction, "Document language",
              CosClLanguage::getLanguageCode(language.getLanguage()));
  }
  iv_pclDocumentId = &id;
  iv_clLanguage = language;
  iv_clCCSID = ccsid;
  iv_pclAttributeParser = nullptr;
  // A document that failed inside an excluded field must not hide this
  // one's text.
  iv_bExclusion = false;
  iv_clFieldStack.clear();
  ItlClTextAnalysisUpdateABase& analysis = iv_clTextAnalysis.get();
  analysis.setLanguage(language);
  analysis.startDocumentImp(id, ccsid);
  iv_rclPort.addingToDocument(id.getDocumentNumber(), id.isNewDocument());
}

void ItlClTlDocument::setLanguage(CosClLanguage const& language) {
  static char const kFunction[] = "source/itl_tl/itl_tldocument:setLanguage";
  CosClTrace trace(kTraceDetail, kTraceComponent, kFunction);
  traceText(kFunction, "Document language",
            CosClLanguage::getLanguageCode(language.getLanguage()));
  iv_clLanguage = language;
  iv_clTextAnalysis.get().setLanguage(language);
}

void ItlClTlDocument::startField(char const* name, bool exclude) {
  static char const kFunction[] = "source/itl_tl/itl_tldocument:startField";
  CosClTrace trace(kTraceDetail, kTraceComponent, kFunction);
  traceText(kFunction, "field name", name);
  traceValue(kFunction, "exclude flag", exclude);
  bool named = name != nullptr && name[0] != '\0';
  unsigned short number = 0;
  if (named) {
    bool isNew = false;
    iv_rclPort.assignFieldNameToNumber(name, number, isNew);
  }
  iv_clTextAnalysis.get().getBuffer().flushBuffer();
  iv_clFieldStack.push(iv_rclPort.getBufferPosition(), number, exclude, named);
  iv_bExclusion = exclude;
}

void ItlClTlDocument::endField() {
  CosClTrace trace(kTraceDetail, kTraceComponent,
                   "source/itl_tl/itl_tldocument:endField");
  if (iv_clFieldStack.getDepth() != 0) {
    ItlClFieldStack::Entry entry = iv_clFieldStack.pop();
    if (!entry.noBoundary) {
      iv_clTextAnalysis.get().getBuffer().flushBuffer();
      uint32_t end = iv_rclPort.getBufferPosition();
      if (end != entry.start) iv_rclPort.addField(entry.field, entry.start, end);
    }
  }
  ItlClFieldStack::Entry const* top = iv_clFieldStack.top();
  iv_bExclusion = top != nullptr && top->exclude;
}

void ItlClTlDocument::startAttribute(char const* name, ItlEnAttributeType type,
                                     bool doNotTextIndex) {
  static char const kFunction[] = "source/itl_tl/itl_tldocument:startAttribute";
  CosClTrace trace(kTraceDetail, kTraceComponent, kFunction);
  traceText(kFunction, "attribute name", name);
  traceValue(kFunction, "attribute type", static_cast<uint32_t>(type));
  traceValue(kFunction, "do-not-text-index flag", doNotTextIndex);
  ItlClAttributeParserABase* parser = nullptr;
  if (type == ItlEnAttributeType_Date) parser = &iv_clDateParser;
  else if (type == ItlEnAttributeType_Number) parser = &iv_clNumberParser;
  else if (type == ItlEnAttributeType_String) parser = &iv_clStringParser;
  if (parser == nullptr) return;
  unsigned short number = 0;
  bool isNew = false;
  iv_rclPort.assignAttributeNameToNumber(name, type, number, isNew);
  iv_pclAttributeParser = parser;
  parser->startAttribute(name, number, iv_clLanguage, doNotTextIndex,
                         iv_ausAttributeText);
}

void ItlClTlDocument::endAttribute() {
  CosClTrace trace(kTraceDetail, kTraceComponent,
                   "source/itl_tl/itl_tldocument:endAttribute");
  if (iv_pclAttributeParser == nullptr) return;
  ItlClAttributeParserABase* parser = iv_pclAttributeParser;
  iv_pclAttributeParser = nullptr;
  parser->endAttribute();
}

void ItlClTlDocument::addText(unsigned short const* text,
                              unsigned int length) {
  if (iv_pclAttributeParser != nullptr) {
    iv_pclAttributeParser->addText(text, length);
    if (iv_pclAttributeParser->isDoNotTextIndex()) return;
  }
  if (iv_bExclusion) return;
  ItlClTextAnalysisUpdateABase& analysis = iv_clTextAnalysis.get();
  analysis.addAnalysedUnits(analysis.getBuffer().addText(text, length));
}

void ItlClTlDocument::addDelimiter() {
  CosClTrace trace(kTraceDetail, kTraceComponent,
                   "source/itl_tl/itl_tldocument:addDelimiter");
  ItlClTextAnalysisUpdateABase& analysis = iv_clTextAnalysis.get();
  analysis.addAnalysedUnits(analysis.getBuffer().addDelimiter());
}

void ItlClTlDocument::nextSegment(unsigned short indicator) {
  static char const kFunction[] = "source/itl_tl/itl_tldocument:nextSegment";
  CosClTrace trace(kTraceDetail, kTraceComponent, kFunction);
  traceValue(kFunction, "segment indicator", indicator);
  iv_clTextAnalysis.get().getBuffer().flushBuffer();
  iv_rclPort.addSegmentBoundary(indicator, iv_rclPort.getBufferPosition());
}

void ItlClTlDocument::endDocument() {
  static char const kFunction[] = "source/itl_tl/itl_tldocument:endDocument";
  CosClTrace trace(kTraceDetail, kTraceComponent, kFunction);
  traceValue(kFunction, "paragraph recognition flag", iv_bParagraphRecognition);
  if (iv_pclAttributeParser != nullptr) endAttribute();
  while (iv_clFieldStack.getDepth() != 0) endField();
  iv_pclDocumentId = nullptr;
  ItlClTextAnalysisUpdateABase& analysis = iv_clTextAnalysis.get();
  analysis.endDocument();
  ItlClErrorInfo& errorInfo = iv_rclPort.getContext().getErrorInfo();
  if (analysis.getAnalysedUnits() == 0 &&
      errorInfo.getReturnCode() < ItlEnReturnCode_Warning)
    errorInfo.setError(kOriginEmpty, ItlEnReasonCode_Empty_document,
                       ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
  iv_rclPort.endDocument(iv_bParagraphRecognition);
}

void ItlClTlDocument::reset() {
  CosClTrace trace(kTraceDetail, kTraceComponent,
                   "source/itl_tl/itl_tldocument:reset");
  iv_pclAttributeParser = nullptr;
  iv_clFieldStack.clear();
  iv_pclDocumentId = nullptr;
  iv_bExclusion = false;
}
