// Fuzz target of the attribute-value mapping functions: UTF-16 text from
// the input through itlAttributeMapDate and itlAttributeMapNumber with the
// library's own recognisers and a language taken from the input. No call
// may crash; each returns 0 or 8, and every accepted date lies within year
// 1..16382, month 1..12 and day 1..31.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_input.hpp"
#include "itl_api.h"
#include "itl_api_search_handle.hpp"
#include "itl_context.hpp"
#include "itl_error.hpp"
#include "itl_index.hpp"

namespace {

// A search handle on an index object that is never opened: the mapping
// functions use only its context and error info.
struct Session {
  ItlClErrorInfo errorInfo;
  ItlClContext context{errorInfo};
  ItlClIndex index{"fuzz", "/nonexistent", context};
  ItlClIndexSearch search{index};
  ItlTyIndexSearchHandle handle() { return itlApiHandle(&search); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  static Session* session = new Session();
  FuzzInput in(data, size);
  static char const* const kLanguages[] = {"en_US", "de_CH", "th_TH", "zz",
                                           "x-all", "de", ""};
  std::string language;
  if (in.flag())
    language = kLanguages[in.below(sizeof kLanguages / sizeof *kLanguages)];
  else
    language = in.take(in.below(8));
  std::string rest = in.take(in.left());
  std::vector<ItlTyUTF16Unit> text(rest.size() / 2);
  if (!text.empty()) std::memcpy(text.data(), rest.data(), text.size() * 2);
  uint32_t length = static_cast<uint32_t>(text.size());
  static ItlTyUTF16Unit const kEmpty[1] = {0};
  ItlTyUTF16Unit const* units = text.empty() ? kEmpty : text.data();

  uint16_t day = 0, month = 0, year = 0;
  ItlEnReturnCode rc = itlAttributeMapDate(session->handle(), units, length,
                                           language.c_str(), &day, &month,
                                           &year);
  FUZZ_CHECK(rc == 0 || rc == 8);
  if (rc == 0) {
    FUZZ_CHECK(year >= 1 && year <= 16382);
    FUZZ_CHECK(month >= 1 && month <= 12);
    FUZZ_CHECK(day >= 1 && day <= 31);
  }
  double number = 0;
  rc = itlAttributeMapNumber(session->handle(), units, length,
                             language.c_str(), &number);
  FUZZ_CHECK(rc == 0 || rc == 8);
  return 0;
}
