// itl_attribute.cpp: the value buffer of an open attribute, the loop of
// DATE and NUMBER values and the numeric items.
//
// The value lives in a buffer of VALUE_UNITS + 1 units lent by the text
// document; iv_uiLength never passes VALUE_UNITS, so the terminator always
// fits. Items are engine records (REGISTITEM) taken from the kernel
// interface's pool, whose chunks are aligned for doubles and pointers.
#include "itl_attribute.hpp"

#include <unicode/ustring.h>

#include <cstring>
#include <new>

#include "cos_language.hpp"
#include "cos_memmgr.hpp"
#include "cos_trace.hpp"
#include "files/voz_records_create.hpp"
#include "itl_context.hpp"
#include "itl_error.hpp"
#include "itl_tl_index_port.hpp"

namespace {

constexpr uint16_t kTraceComponent = 3;
constexpr CosEnTraceDetail kTraceDetail = CosEnTraceDetail::HIGH;

char const kOriginTruncated[] = "source/itl_tl/itl_attribute:137";
unsigned short const kEmpty[1] = {0};

}  // namespace

ItlClAttributeParserABase::ItlClAttributeParserABase(ItlClTlIndexPort& port,
                                                     CosClLanguage& language,
                                                     bool doNotTextIndex)
    : iv_rclPort(port),
      iv_bDoNotTextIndex(doNotTextIndex),
      iv_pszName(nullptr),
      iv_usNumber(0),
      iv_rclLanguage(language),
      iv_pusBuffer(nullptr),
      iv_uiLength(0),
      iv_bTruncated(false) {}

ItlClAttributeParserABase::~ItlClAttributeParserABase() = default;

void ItlClAttributeParserABase::startAttribute(char const* name,
                                               unsigned short number,
                                               CosClLanguage const& language,
                                               bool doNotTextIndex,
                                               unsigned short* buffer) {
  iv_bDoNotTextIndex = doNotTextIndex;
  iv_pszName = name;
  iv_usNumber = number;
  iv_pusBuffer = buffer;
  iv_uiLength = 0;
  iv_bTruncated = false;
  iv_rclLanguage = language;
}

void ItlClAttributeParserABase::addText(unsigned short const* text,
                                        unsigned int length) {
  if (iv_bTruncated || length == 0) return;
  unsigned int take = length;
  if (take > VALUE_UNITS - iv_uiLength) {
    take = VALUE_UNITS - iv_uiLength;
    iv_bTruncated = true;
  }
  std::memcpy(iv_pusBuffer + iv_uiLength, text, take * sizeof *text);
  iv_uiLength += take;
  if (!iv_bTruncated) return;
  // The warning shows the value that is kept, in UTF-8.
  char value[VALUE_UNITS * 3 + 1];
  int32_t bytes = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(value, static_cast<int32_t>(sizeof value) - 1, &bytes,
                     reinterpret_cast<UChar const*>(iv_pusBuffer),
                     static_cast<int32_t>(iv_uiLength), 0xFFFD, nullptr,
                     &status);
  if (U_FAILURE(status)) bytes = 0;
  value[bytes] = '\0';
  recordTruncated(kOriginTruncated, value);
}

void ItlClAttributeParserABase::recordTruncated(char const* origin,
                                                char const* kept) {
  ItlClErrorInfo& errorInfo = iv_rclPort.getContext().getErrorInfo();
  errorInfo.resetContext(nullptr);
  errorInfo.context(5) << ": " << (iv_pszName != nullptr ? iv_pszName : "");
  errorInfo.context(6) << ": " << kept;
  errorInfo.setError(origin, ItlEnReasonCode_Attribute_truncated,
                     ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
}

void ItlClAttributeParserABase::endAttribute() {
  if (iv_uiLength == 0) return;
  iv_pusBuffer[iv_uiLength] = 0;
  parseAttributeAndAdd();
}

unsigned short const* ItlClAttributeParserABase::getAttributeTextBuffer()
    const {
  if (iv_uiLength == 0) return kEmpty;
  return iv_pusBuffer;
}

char const* ItlClAttributeParserABase::languageCode() const {
  return CosClLanguage::getLanguageCode(iv_rclLanguage.getLanguage());
}

char const* ItlClAttributeParserABase::territoryCode() const {
  return CosClLanguage::getTerritoryCodeShort(iv_rclLanguage.getTerritory());
}

void ItlClAttributeParserABase::parseNumericValues(
    Recogniser const& recogniser, char const* origin, int reason) {
  CosClTrace trace(kTraceDetail, kTraceComponent, origin);
  trace.dump(CosEnTraceDataType::UNICODE, "Attribute text", iv_pusBuffer,
             iv_uiLength * 2);
  unsigned int at = 0;
  while (at < iv_uiLength) {
    unsigned int rest = iv_uiLength - at;
    double value = 0;
    bool valid = false;
    unsigned int consumed = 0;
    if (!recogniser.recognise(iv_pusBuffer + at, rest, value, valid,
                              consumed)) {
      ItlClErrorInfo& errorInfo = iv_rclPort.getContext().getErrorInfo();
      errorInfo.resetContext(nullptr);
      errorInfo.context(40);
      errorInfo.setError(origin, static_cast<ItlEnReasonCode>(reason),
                         ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
      return;
    }
    uint32_t traced = consumed;
    trace.dump(CosEnTraceDataType::UINT32, "Returned uParsedLength", &traced,
               sizeof traced);
    if (valid) addNumericItem(value);
    // A recogniser that used nothing, or claims more than was left, ends
    // the value: the next call would find the same text or read past it.
    if (consumed == 0 || consumed > rest) return;
    at += consumed;
  }
}

void ItlClAttributeParserABase::addNumericItem(double value) {
  unsigned int block = 0;
  void* memory = iv_rclPort.getMemoryPool().allocate(sizeof(REGISTITEM), block);
  if (memory == nullptr)
    CosClMemoryManager::outOfMemory(
        "source/itl_tl/itl_attribute", __LINE__,
        static_cast<unsigned int>(sizeof(REGISTITEM)));
  REGISTITEM* item = new (memory) REGISTITEM();
  item->item_number = static_cast<int16_t>(iv_usNumber);
  item->item_type = 'N';
  item->num_value = value;
  iv_rclPort.addItemAtFront(*item);
}
