// Fuzz target: the default date and number recognisers of attribute
// values. The first byte chooses the recogniser; the rest is UTF-16 text
// (two bytes a unit, host order), read the way an attribute parser reads a
// value: one call after another on the rest until the text is used up, a
// call consumes nothing, or the text is refused. Every call must stay
// inside the text, and a valid date must lie in the ranges it promises.
#include <cstring>
#include <vector>

#include "fuzz_input.hpp"
#include "itl_attribute.hpp"
#include "itl_attribute_callbacks.h"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size == 0) return 0;
  bool date = (data[0] & 1) != 0;
  size_t units = (size - 1) / 2;
  // An exact-size copy, so that a read past the text is caught.
  std::vector<unsigned short> text(units);
  if (units != 0) std::memcpy(text.data(), data + 1, units * 2);
  unsigned int at = 0;
  while (at < units) {
    unsigned int rest = static_cast<unsigned int>(units) - at;
    bool valid = false;
    unsigned int consumed = 0;
    bool ok;
    if (date) {
      unsigned short d = 0, m = 0, y = 0;
      ok = itlAttributeDateDefaultCallback(text.data() + at, rest, "en", "us",
                                           nullptr, &d, &m, &y, &valid,
                                           &consumed);
      if (ok && valid) {
        FUZZ_CHECK(d >= 1 && d <= 31 && m >= 1 && m <= 12 && y >= 1 &&
                   y < 0x3FFF);
        unsigned short d2, m2, y2;
        ItlClAttributeParserDate::decodeDate(
            ItlClAttributeParserDate::codeDate(d, m, y), d2, m2, y2);
        FUZZ_CHECK(d2 == d && m2 == m && y2 == y);
      }
    } else {
      double value = 0;
      ok = itlAttributeNumberDefaultCallback(text.data() + at, rest, nullptr,
                                             nullptr, nullptr, &value, &valid,
                                             &consumed);
      if (ok && valid) FUZZ_CHECK(value == value);  // never NaN
    }
    if (!ok) break;
    FUZZ_CHECK(consumed <= rest);
    if (consumed == 0) break;
    at += consumed;
  }
  return 0;
}
