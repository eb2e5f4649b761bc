// itl_attribute_date.cpp: DATE attribute values, the date code and the
// default date recogniser.
//
// A date is coded as the double year * 10000 + month * 100 + day, the one
// form in which dates reach the engine and are compared by queries.
#include <cstdint>

#include "cos_trace.hpp"
#include "itl_attribute.hpp"
#include "itl_attribute_callbacks.h"
#include "itl_codes.hpp"
#include "itl_context.hpp"
#include "itl_tl_index_port.hpp"

namespace {

char const kOriginRefused[] = "source/itl_tl/itl_attribute_date:101";

bool isDigit(unsigned short c) { return c >= '0' && c <= '9'; }
bool isBlank(unsigned short c) { return c <= 0x20; }

// A digit group: its value and digit count.
struct Group {
  unsigned int value = 0;
  unsigned int digits = 0;
  // Adds digit `c`; false when the group would pass `most` digits.
  bool add(unsigned short c, unsigned int most) {
    if (++digits > most) return false;
    value = value * 10 + (c - '0');
    return true;
  }
};

// Calls the chosen recogniser and codes the date it found.
class DateRecogniser : public ItlClAttributeParserABase::Recogniser {
 public:
  DateRecogniser(ItlTyDateCallback callback, void* user, char const* language,
                 char const* territory)
      : iv_pfuCallback(callback), iv_pvUser(user), iv_pszLanguage(language),
        iv_pszTerritory(territory) {}
  bool recognise(unsigned short const* text, unsigned int length,
                 double& value, bool& valid,
                 unsigned int& consumed) const override {
    unsigned short day = 0, month = 0, year = 0;
    bool ok = iv_pfuCallback(text, length, iv_pszLanguage, iv_pszTerritory,
                             iv_pvUser, &day, &month, &year, &valid,
                             &consumed);
    if (ok && valid) value = ItlClAttributeParserDate::codeDate(day, month, year);
    return ok;
  }

 private:
  ItlTyDateCallback iv_pfuCallback;
  void* iv_pvUser;
  char const* iv_pszLanguage;
  char const* iv_pszTerritory;
};

}  // namespace

double ItlClAttributeParserDate::codeDate(unsigned short day,
                                          unsigned short month,
                                          unsigned short year) {
  return static_cast<double>(year) * 10000.0 + month * 100.0 + day;
}

void ItlClAttributeParserDate::decodeDate(double code, unsigned short& day,
                                          unsigned short& month,
                                          unsigned short& year) {
  // Codes of the valid range fit; anything else is cut, never undefined.
  uint64_t value = 0;
  if (code > 0) value = code < 1e18 ? static_cast<uint64_t>(code) : 0;
  year = static_cast<unsigned short>(value / 10000);
  month = static_cast<unsigned short>((value / 100) % 100);
  day = static_cast<unsigned short>(value % 100);
}

void ItlClAttributeParserDate::parseAttributeAndAdd() {
  ItlClContext& context = iv_rclPort.getContext();
  ItlTyDateCallback callback = context.getDateCallback();
  void* user = context.getDateUserData();
  if (callback == nullptr) {
    callback = itlAttributeDateDefaultCallback;
    user = nullptr;
  }
  if (gs_pclCosTraceInstance != nullptr) {
    void* pointer = reinterpret_cast<void*>(callback);
    cosTraceDump(CosEnTraceDetail::HIGH, 3, CosEnTraceDataType::POINTER,
                 kOriginRefused, "Callback function pointer", &pointer,
                 sizeof pointer);
  }
  DateRecogniser recogniser(callback, user, languageCode(), territoryCode());
  parseNumericValues(recogniser, kOriginRefused,
                     ItlEnReasonCode_Invalid_date_attribute);
}

extern "C" bool itlAttributeDateDefaultCallback(
    unsigned short const* text, unsigned int length, char const*,
    char const*, void*, unsigned short* day, unsigned short* month,
    unsigned short* year, bool* valid, unsigned int* consumed) {
  *valid = false;
  *consumed = 0;
  if (length == 0) return true;
  unsigned int i = 0;
  while (i < length && isBlank(text[i])) ++i;
  if (i == length) {  // blank text: nothing to read
    *consumed = length;
    return true;
  }
  // Group 1, then the separator.
  Group g1, g2, g3;
  while (i < length && isDigit(text[i]))
    if (!g1.add(text[i++], 4)) return false;
  if (g1.digits == 0) return false;
  while (i < length && isBlank(text[i])) ++i;
  if (i == length) return false;
  unsigned short separator = text[i++];
  if (separator != '.' && separator != '-' && separator != '/') return false;
  // Group 2, up to the same separator.
  for (;; ++i) {
    if (i == length) return false;
    unsigned short c = text[i];
    if (isDigit(c)) {
      if (!g2.add(c, 2)) return false;
    } else if (c == separator) {
      break;
    } else if (!isBlank(c)) {
      return false;
    }
  }
  ++i;
  if (g2.digits == 0) return false;
  // Group 3, ended by a blank (consumed) or the end of the text.
  while (i < length && isBlank(text[i])) ++i;
  while (i < length && isDigit(text[i]))
    if (!g3.add(text[i++], 4)) return false;
  if (g3.digits == 0) return false;
  if (i < length) {
    if (!isBlank(text[i])) return false;
    ++i;
  }
  *consumed = i;

  unsigned int d, m, y;
  bool shortFirst = g1.digits <= 2;
  bool shortLast = g3.digits <= 2;
  if (!shortFirst) {
    if (!shortLast) return false;
    y = g1.value, m = g2.value, d = g3.value;
  } else if (separator == '/') {
    m = g1.value, d = g2.value, y = g3.value;
  } else if (!shortLast || separator == '.') {
    d = g1.value, m = g2.value, y = g3.value;
  } else {  // '-' with two short outer groups
    y = g1.value, m = g2.value, d = g3.value;
  }
  *day = static_cast<unsigned short>(d);
  *month = static_cast<unsigned short>(m);
  *year = static_cast<unsigned short>(y);
  *valid = y != 0 && y < 0x3FFF && m != 0 && m <= 12 && d != 0 && d <= 31;
  return true;
}
