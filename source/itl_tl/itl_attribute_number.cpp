// itl_attribute_number.cpp: NUMBER attribute values and the default
// number recogniser.
#include "cos_trace.hpp"
#include "itl_attribute.hpp"
#include "itl_attribute_callbacks.h"
#include "itl_codes.hpp"
#include "itl_context.hpp"
#include "itl_tl_index_port.hpp"

namespace {

char const kOriginRefused[] = "source/itl_tl/itl_attribute_number:100";

class NumberRecogniser : public ItlClAttributeParserABase::Recogniser {
 public:
  NumberRecogniser(ItlTyNumberCallback callback, void* user,
                   char const* language, char const* territory)
      : iv_pfuCallback(callback), iv_pvUser(user), iv_pszLanguage(language),
        iv_pszTerritory(territory) {}
  bool recognise(unsigned short const* text, unsigned int length,
                 double& value, bool& valid,
                 unsigned int& consumed) const override {
    return iv_pfuCallback(text, length, iv_pszLanguage, iv_pszTerritory,
                          iv_pvUser, &value, &valid, &consumed);
  }

 private:
  ItlTyNumberCallback iv_pfuCallback;
  void* iv_pvUser;
  char const* iv_pszLanguage;
  char const* iv_pszTerritory;
};

}  // namespace

void ItlClAttributeParserNumber::parseAttributeAndAdd() {
  ItlClContext& context = iv_rclPort.getContext();
  ItlTyNumberCallback callback = context.getNumberCallback();
  void* user = context.getNumberUserData();
  if (callback == nullptr) {
    callback = itlAttributeNumberDefaultCallback;
    user = nullptr;
  }
  if (gs_pclCosTraceInstance != nullptr) {
    void* pointer = reinterpret_cast<void*>(callback);
    cosTraceDump(CosEnTraceDetail::HIGH, 3, CosEnTraceDataType::POINTER,
                 kOriginRefused, "Callback function pointer", &pointer,
                 sizeof pointer);
  }
  NumberRecogniser recogniser(callback, user, languageCode(), territoryCode());
  parseNumericValues(recogniser, kOriginRefused,
                     ItlEnReasonCode_Invalid_number_attribute);
}

// States of the number reader: before the number (skipping), in its
// integer part, in its fraction, in a blank gap of the integer part.
extern "C" bool itlAttributeNumberDefaultCallback(
    unsigned short const* text, unsigned int length, char const*,
    char const*, void*, double* value, bool* valid, unsigned int* consumed) {
  enum State { BEFORE, INTEGER, FRACTION, GAP };
  State state = BEFORE;
  double number = 0, divisor = 1;
  bool negative = false, allBlank = true, digits = false;
  unsigned int i = 0;
  *value = 0;
  *valid = false;
  *consumed = 0;
  for (; i < length; ++i) {
    unsigned short c = text[i];
    if (c >= '0' && c <= '9') {
      if (state == BEFORE || state == GAP) state = INTEGER;
      number = number * 10 + (c - '0');
      if (state == FRACTION) divisor *= 10;
      digits = true;
    } else if (c == '-' && state == BEFORE) {
      negative = true;
      state = INTEGER;
    } else if (c == '.' && (state == BEFORE || state == INTEGER)) {
      state = FRACTION;
    } else if (c == 0x20 && state == INTEGER) {
      state = GAP;
    } else if (state == BEFORE) {
      if (c > 0x20) allBlank = false;
    } else {
      break;  // ends the number; this unit is the next call's
    }
  }
  *consumed = i;
  if (!digits) return state == BEFORE && allBlank;
  if (negative) number = -number;
  if (state == FRACTION) number /= divisor;
  *value = number;
  *valid = true;
  return true;
}
