// itl_common_normalization_bench.cpp: speed of the normalisers of the
// index library.
//
// Workloads (10 MB of UTF-16 text from a fixed multilingual sample with
// Latin diacritics, decomposed marks, Hangul, compatibility forms; fixed
// seed), normalised through a 64 KB buffer as the indexer loops:
//   BM_TableFolding     umlaut and accent folding only
//   BM_Nfc              Unicode NFC
//   BM_NfcWithTable     NFC, then folding
//   BM_IcuWholeNfc      ICU's NFC of the whole text in one call (reference)
// Rates are bytes of UTF-16 source per second; a hash of the output units
// is printed as a counter so that fast-but-wrong shows.
#include <benchmark/benchmark.h>
#include <unicode/unorm2.h>

#include <random>
#include <string>
#include <vector>

#include "cos_ccsid.hpp"
#include "cos_language.hpp"
#include "itl_normalization.hpp"

namespace {

std::u16string const& corpus() {
  static std::u16string text;
  if (text.empty()) {
    char16_t const* words[] = {
        u"Cr\u00E8me", u"bru\u0302le\u0301e", u"S\u00E3o", u"Z\u00FCrich",
        u"Stra\u00DFe", u"na\u00EFve", u"fa\u00E7ade", u"\uD55C\uAD6D\uC5B4",
        u"\u1100\u1161\u11A8", u"\uFB01nal", u"\u212Bngstr\u00F6m", u"index",
        u"engine", u"\u0391\u03B8\u03AE\u03BD\u03B1", u"\u0420\u0443\u0441",
        u"\u00C4rger", u"\u0152uvre", u"A\u030A"};
    std::mt19937 rng(20261210);
    size_t const count = sizeof words / sizeof *words;
    while (text.size() * 2 < (10u << 20)) {
      text += words[rng() % count];
      text += u' ';
    }
  }
  return text;
}

void run(benchmark::State& state, ItlClNormalization* n) {
  std::u16string const& text = corpus();
  std::vector<unsigned short> out(65536);
  uint64_t hash = 0;
  for (auto _ : state) {
    hash = 0;  // of one pass
    unsigned short const* src =
        reinterpret_cast<unsigned short const*>(text.data());
    unsigned int left = static_cast<unsigned int>(text.size());
    while (left > 0) {
      unsigned int before = left;
      unsigned int written = n->normalize(
          out.data(), static_cast<unsigned int>(out.size()), src, left);
      src += before - left;
      for (unsigned int i = 0; i < written; ++i) hash = hash * 31 + out[i];
    }
  }
  state.SetBytesProcessed(state.iterations() * text.size() * 2);
  state.counters["hash"] = static_cast<double>(hash % 1000000007u);
  ItlClNormalization::destroyNormalizer(n);
}

CosClLanguage const english("en");

void BM_TableFolding(benchmark::State& state) {
  run(state, ItlClNormalization::createNormalizer(0, true, true,
                                                  CosClCCSID(13488), english));
}
BENCHMARK(BM_TableFolding)->Unit(benchmark::kMillisecond);

void BM_Nfc(benchmark::State& state) {
  run(state, ItlClNormalization::createNormalizer(1, false, false,
                                                  CosClCCSID(13488), english));
}
BENCHMARK(BM_Nfc)->Unit(benchmark::kMillisecond);

void BM_NfcWithTable(benchmark::State& state) {
  run(state, ItlClNormalization::createNormalizer(1, true, true,
                                                  CosClCCSID(13488), english));
}
BENCHMARK(BM_NfcWithTable)->Unit(benchmark::kMillisecond);

void BM_IcuWholeNfc(benchmark::State& state) {
  std::u16string const& text = corpus();
  UErrorCode status = U_ZERO_ERROR;
  UNormalizer2 const* nfc = unorm2_getNFCInstance(&status);
  std::vector<UChar> out(text.size() * 3);
  uint64_t hash = 0;
  for (auto _ : state) {
    hash = 0;
    int32_t n = unorm2_normalize(nfc, reinterpret_cast<UChar const*>(text.data()),
                                 static_cast<int32_t>(text.size()), out.data(),
                                 static_cast<int32_t>(out.size()), &status);
    for (int32_t i = 0; i < n; ++i) hash = hash * 31 + out[i];
  }
  state.SetBytesProcessed(state.iterations() * text.size() * 2);
  state.counters["hash"] = static_cast<double>(hash % 1000000007u);
}
BENCHMARK(BM_IcuWholeNfc)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
