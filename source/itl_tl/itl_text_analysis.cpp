// itl_text_analysis.cpp: the text analysis objects of an index update: the
// language, the document number and count, and the owner that makes the
// object through the memory manager.
#include <cstring>
#include <new>

#include "cos_memmgr.hpp"
#include "cos_trace.hpp"
#include "itl_text_analysis.hpp"
#include "itl_tl_document_id.hpp"
#include "itl_tl_index_port.hpp"

namespace {

constexpr uint16_t kTraceComponent = 3;
constexpr CosEnTraceDetail kTraceDetail = CosEnTraceDetail::HIGH;

void traceNumber(char const* function, char const* label, uint64_t value) {
  if (gs_pclCosTraceInstance != nullptr)
    cosTraceDump(kTraceDetail, kTraceComponent, CosEnTraceDataType::UINT64,
                 function, label, &value, sizeof value);
}

}  // namespace

ItlClTextAnalysisABase::ItlClTextAnalysisABase(CosClMemoryPool& pool,
                                               ItlClTlIndexPort& port)
    : iv_rclPool(pool),
      iv_rclPort(port),
      iv_clLanguage((CosClLanguage::getNumberOfLanguagesSupported() << 16) |
                    CosClLanguage::getNumberOfTerritoriesSupported()) {}

ItlClTextAnalysisABase::~ItlClTextAnalysisABase() = default;

void ItlClTextAnalysisABase::setLanguage(CosClLanguage const& language) {
  if (language.getLanguage() == iv_clLanguage.getLanguage() &&
      language.getTerritory() == iv_clLanguage.getTerritory())
    return;
  iv_clLanguage = language;
  if (gs_pclCosTraceInstance != nullptr) {
    char const* code = CosClLanguage::getLanguageCode(language.getLanguage());
    char const* territory =
        CosClLanguage::getTerritoryCodeShort(language.getTerritory());
    cosTraceDump(kTraceDetail, kTraceComponent, CosEnTraceDataType::CSTRING,
                 "source/itl_tl/itl_text_analysis", "new language", code,
                 static_cast<uint32_t>(std::strlen(code)));
    cosTraceDump(kTraceDetail, kTraceComponent, CosEnTraceDataType::CSTRING,
                 "source/itl_tl/itl_text_analysis", "new language territory",
                 territory,
                 static_cast<uint32_t>(std::strlen(territory)));
  }
}

void ItlClTextAnalysisABase::resetLanguage() { iv_clLanguage = CosClLanguage(0u); }

ItlClTextAnalysisUpdateABase::ItlClTextAnalysisUpdateABase(
    CosClMemoryPool& pool, ItlClTlIndexPort& port)
    : ItlClTextAnalysisABase(pool, port),
      iv_clBuffer(*this, port),
      iv_ulDocumentNumber(0),
      iv_ulAnalysedUnits(0),
      iv_uiState(0) {}

ItlClTextAnalysisUpdateABase::~ItlClTextAnalysisUpdateABase() = default;

void ItlClTextAnalysisUpdateABase::startDocument(
    ItlClTlDocumentIdABase const& id, CosClCCSID const& ccsid) {
  resetLanguage();
  startDocumentImp(id, ccsid);
}

void ItlClTextAnalysisUpdateABase::startDocumentImp(
    ItlClTlDocumentIdABase const& id, CosClCCSID const& ccsid) {
  CosClTrace trace(kTraceDetail, kTraceComponent,
                   "source/itl_tl/itl_text_analysis:startDocumentImp");
  iv_ulDocumentNumber = id.getDocumentNumber();
  traceNumber("source/itl_tl/itl_text_analysis", "doc number",
              iv_ulDocumentNumber);
  iv_ulAnalysedUnits = 0;
  iv_uiState = 0;
  iv_clBuffer.startDocument(iv_rclPool, ccsid, iv_clLanguage);
}

void ItlClTextAnalysisUpdateABase::endDocument() {
  CosClTrace trace(kTraceDetail, kTraceComponent,
                   "source/itl_tl/itl_text_analysis:endDocument");
  iv_clBuffer.endDocument();
  iv_ulDocumentNumber = 0;
  iv_uiState = 1;
  traceNumber("source/itl_tl/itl_text_analysis", "number of bytes processed",
              2 * iv_ulAnalysedUnits);
}

uint32_t ItlClTextAnalysisUpdateVoz::processDocument(
    unsigned short const* text, unsigned int length, uint32_t) {
  iv_rclPort.addDocumentText(text, length);
  return 0;
}

ItlClTextAnalysisUpdate::~ItlClTextAnalysisUpdate() {
  if (iv_pclAnalysis == nullptr) return;
  iv_pclAnalysis->~ItlClTextAnalysisUpdateABase();
  CosClMemoryManager::free(iv_pclAnalysis);
}

void ItlClTextAnalysisUpdate::init(CosClMemoryPool& pool,
                                   ItlClTlIndexPort& port) {
  if (iv_pclAnalysis != nullptr) return;
  void* memory = CosClMemoryManager::allocate(sizeof(ItlClTextAnalysisUpdateVoz));
  try {
    iv_pclAnalysis = new (memory) ItlClTextAnalysisUpdateVoz(pool, port);
  } catch (...) {
    CosClMemoryManager::free(memory);
    throw;
  }
  iv_pclAnalysis->init();
}
