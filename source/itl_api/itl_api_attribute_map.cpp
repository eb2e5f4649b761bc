// itl_api_attribute_map.cpp: the exported date and number mapping
// functions. They read a value exactly as indexing and query compilation
// do: with the context's callback, else the library's own recogniser.
#include "cos_language.hpp"
#include "itl_api_attribute_map.h"
#include "itl_api_frame.hpp"
#include "itl_api_search_handle.hpp"
#include "itl_attribute_callbacks.h"

#define ITL_AM_POS ITL_API_POS("itl_api_attribute_map")

namespace {

// Message-table line of the language context.
constexpr int kDocumentLanguageLine = 8;

// The language and territory codes of `text`, or false after recording
// reason 8 with the context line "Document language: <text>".
bool languageCodes(ItlClErrorInfo& errorInfo, char const* text,
                   char const*& language, char const*& territory) {
  CosClLanguage parsed(text);
  if (parsed.getLanguage() == CosClLanguage::CosEnLanguageInvalid ||
      parsed.getTerritory() == CosClLanguage::CosEnTerritoryInvalid) {
    errorInfo.resetContext(nullptr);
    errorInfo.context(kDocumentLanguageLine) << ": " << text;
    errorInfo.setError(ITL_AM_POS, ItlEnReasonCode_Invalid_language,
                       ItlEnReturnCode_Error, ItlEnErrorAction_Inform);
    return false;
  }
  language = CosClLanguage::getLanguageCode(parsed.getLanguage());
  territory = CosClLanguage::getTerritoryCodeShort(parsed.getTerritory());
  return true;
}

void traceValue(ItlClApiTrace const& trace, ItlTyUTF16Unit const* value,
                uint32_t length) {
  if (gs_pclCosTraceInstance == nullptr || value == nullptr) return;
  uint32_t bytes = length <= UINT32_MAX / 2 ? length * 2 : UINT32_MAX - 1;
  trace.dump(CosEnTraceDataType::UNICODE, "value", value, bytes);
}

}  // namespace

ItlEnReturnCode itlAttributeMapDate(ItlTyIndexSearchHandle search,
                                    ItlTyUTF16Unit const* value,
                                    uint32_t length, char const* language,
                                    uint16_t* day, uint16_t* month,
                                    uint16_t* year) {
  ItlClApiTrace trace(ITL_AM_POS);
  traceValue(trace, value, length);
  trace.text("language", language);
  if (search == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexSearch& object = *itlApiIndexSearch(search);
  ItlClErrorInfo& errorInfo = object.getErrorInfo();
  itlApiReset(errorInfo);
  if (value == nullptr || language == nullptr || day == nullptr ||
      month == nullptr || year == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_AM_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_AM_POS, [&] {
    ItlClContext& context = object.getContext();
    ItlTyDateCallback callback = context.getDateCallback();
    void* user = context.getDateUserData();
    if (callback == nullptr) {
      callback = itlAttributeDateDefaultCallback;
      user = nullptr;
    }
    char const* languageCode = nullptr;
    char const* territoryCode = nullptr;
    if (!languageCodes(errorInfo, language, languageCode, territoryCode))
      return;
    bool valid = false;
    unsigned int position = 0;
    bool accepted = callback(value, length, languageCode, territoryCode,
                             user, day, month, year, &valid, &position);
    if (!accepted || !valid)
      errorInfo.setError(ITL_AM_POS, ItlEnReasonCode_Invalid_date_attribute,
                         ItlEnReturnCode_Error, ItlEnErrorAction_Inform);
  });
}

ItlEnReturnCode itlAttributeCodeDate(ItlTyIndexSearchHandle search,
                                     uint16_t day, uint16_t month,
                                     uint16_t year, double* codedDate) {
  ItlClApiTrace trace(ITL_AM_POS);
  trace.dump(CosEnTraceDataType::UINT16, "day", &day, 2);
  trace.dump(CosEnTraceDataType::UINT16, "month", &month, 2);
  trace.dump(CosEnTraceDataType::UINT16, "year", &year, 2);
  if (search == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = itlApiIndexSearch(search)->getErrorInfo();
  itlApiReset(errorInfo);
  if (codedDate == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_AM_POS,
                             ItlEnReasonCode_Invalid_argument);
  // Unsigned 32-bit arithmetic: 65535 * 10000 + 65535 * 101 still fits.
  uint32_t code = static_cast<uint32_t>(year) * 10000u +
                  static_cast<uint32_t>(month) * 100u + day;
  *codedDate = static_cast<double>(code);
  return errorInfo.getReturnCode();
}

ItlEnReturnCode itlAttributeMapNumber(ItlTyIndexSearchHandle search,
                                      ItlTyUTF16Unit const* value,
                                      uint32_t length, char const* language,
                                      double* number) {
  ItlClApiTrace trace(ITL_AM_POS);
  traceValue(trace, value, length);
  trace.text("language", language);
  if (search == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexSearch& object = *itlApiIndexSearch(search);
  ItlClErrorInfo& errorInfo = object.getErrorInfo();
  itlApiReset(errorInfo);
  if (value == nullptr || language == nullptr || number == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_AM_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_AM_POS, [&] {
    ItlClContext& context = object.getContext();
    ItlTyNumberCallback callback = context.getNumberCallback();
    void* user = context.getNumberUserData();
    if (callback == nullptr) {
      callback = itlAttributeNumberDefaultCallback;
      user = nullptr;
    }
    char const* languageCode = nullptr;
    char const* territoryCode = nullptr;
    if (!languageCodes(errorInfo, language, languageCode, territoryCode))
      return;
    bool valid = false;
    unsigned int position = 0;
    bool accepted = callback(value, length, languageCode, territoryCode,
                             user, number, &valid, &position);
    if (!accepted || !valid)
      errorInfo.setError(ITL_AM_POS,
                         ItlEnReasonCode_Invalid_number_attribute,
                         ItlEnReturnCode_Error, ItlEnErrorAction_Inform);
  });
}
