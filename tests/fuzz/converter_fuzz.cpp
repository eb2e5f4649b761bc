// Fuzz target: the code-page converters. Two bytes choose the source and
// two the target CCSID among the rows of the CCSID table (and a few
// numbers the table does not hold); one byte sizes a short target; the
// rest is the text. Each conversion (source -> UCS-2, the text taken as
// UCS-2 -> target, source -> target) runs into a target of exactly the
// size getMaximumSizeForSize promises, which must never be too small, and
// into the short target, past which nothing may be written. Converters are
// built once per CCSID and reused, as callers do.

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cos_converter.hpp"
#include "fuzz_input.hpp"

namespace {

uint32_t const kExtra[] = {65502, 954, 5488, 18030, 0, 1200, 65500, 65501, 61955};

uint32_t pickCCSID(FuzzInput& in) {
  unsigned rows = 0;
  _CosStCCSIDEntry const* table = CosClCCSID::getTable(&rows);
  uint32_t n = in.below(rows + sizeof kExtra / sizeof kExtra[0]);
  return n < rows ? table[n].ulCCSID : kExtra[n - rows];
}

template <class Converter>
Converter& cached(uint32_t ccsid) {
  static std::map<uint32_t, std::unique_ptr<Converter>> converters;
  auto& slot = converters[ccsid];
  if (!slot) slot.reset(new Converter(CosClCCSID(ccsid)));
  return *slot;
}

CosClCodePage2CodePageConverter& cachedPair(uint32_t from, uint32_t to) {
  static std::map<std::pair<uint32_t, uint32_t>,
                  std::unique_ptr<CosClCodePage2CodePageConverter>> converters;
  if (converters.size() > 256) converters.clear();  // bounded memory
  auto& slot = converters[{from, to}];
  if (!slot)
    slot.reset(new CosClCodePage2CodePageConverter(CosClCCSID(from), CosClCCSID(to)));
  return *slot;
}

// Converts `text` into a target of the promised size and into one of
// `shortSize` bytes; checks what each call reports.
void convert(CosClConverterABase const& conv, std::string const& text,
             unsigned shortSize) {
  if (!conv.isSupported()) return;
  unsigned size = (unsigned)text.size();
  try {
    unsigned room = conv.getMaximumSizeForSize(size);
    std::vector<char> target(room);
    char const* source = text.data();
    unsigned written = conv.convertBytes(target.data(), room, &source, size);
    FUZZ_CHECK(written <= room);
    FUZZ_CHECK(source >= text.data() && source <= text.data() + size);
    FUZZ_CHECK(conv.getError().id != CosEnErrorId::CPCONVERTER_TOO_BIG);

    std::vector<char> small(shortSize);
    source = text.data();
    written = conv.convertBytes(small.data(), shortSize, &source, size);
    FUZZ_CHECK(written <= shortSize);
    FUZZ_CHECK(source >= text.data() && source <= text.data() + size);
  } catch (CosClException const&) {
    // An ICU status the library does not know: reported by exception.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 8192) return 0;
  FuzzInput in(data, size);
  uint32_t from = pickCCSID(in);
  uint32_t to = pickCCSID(in);
  unsigned shortSize = in.byte() % 32;
  std::string text = in.rest();

  convert(cached<CosClCodePage2UnicodeConverter>(from), text, shortSize);
  convert(cached<CosClUnicode2CodePageConverter>(to), text, shortSize);
  convert(cachedPair(from, to), text, shortSize);
  return 0;
}
