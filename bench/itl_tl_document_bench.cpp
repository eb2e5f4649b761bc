// itl_tl_document_bench.cpp: speed of the text document.
//
// Workloads, each through ItlClTlDocument and a port that converts the
// partitions to UTF-8 (as the kernel interface does) and discards them:
//   BM_TextDocuments   every file of /usr/share/doc/python3.11/html/_sources
//                      (python3.11-doc) as one document, a delimiter at
//                      each line end; rate in bytes of UTF-8 input
//   BM_ThaiDocuments   the Thai message catalogues of dpkg and apt as one
//                      Thai document (word breaking); rate as above
//   BM_AttributeValues NUMBER and DATE values through the default
//                      recognisers; items per second
// A workload whose files are missing reports an error and is skipped.
#include <benchmark/benchmark.h>
#include <unicode/ustring.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cos_converter.hpp"
#include "cos_memmgr.hpp"
#include "files/voz_records_create.hpp"
#include "itl_context.hpp"
#include "itl_error.hpp"
#include "itl_tl_document_id.hpp"
#include "itl_tl_index_port.hpp"
#include "itl_tldocument.hpp"
#include "bench_tl_port.hpp"
#include "ti_thai_text.hpp"

namespace {

std::u16string toUtf16(std::string const& utf8) {
  std::u16string out(utf8.size() + 1, u'\0');
  int32_t n = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(&out[0]), static_cast<int32_t>(out.size()),
                       &n, utf8.data(), static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr,
                       &status);
  out.resize(U_SUCCESS(status) ? static_cast<size_t>(n) : 0);
  return out;
}

struct Corpus {
  std::vector<std::vector<std::u16string>> documents;  // lines per document
  size_t bytes = 0;
};

Corpus const& pythonDocs() {
  static Corpus corpus;
  static bool loaded = false;
  if (loaded) return corpus;
  loaded = true;
  std::error_code ec;
  std::filesystem::path root("/usr/share/doc/python3.11/html/_sources");
  if (!std::filesystem::is_directory(root, ec)) return corpus;
  for (auto const& entry : std::filesystem::recursive_directory_iterator(root, ec)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    corpus.bytes += text.size();
    std::vector<std::u16string> lines;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      lines.push_back(toUtf16(text.substr(start, end - start)));
      start = end + 1;
    }
    corpus.documents.push_back(std::move(lines));
  }
  return corpus;
}

void runDocuments(benchmark::State& state, Corpus const& corpus, char const* language) {
  if (corpus.documents.empty()) {
    state.SkipWithError("corpus not installed");
    return;
  }
  DiscardingPort port;
  CosClMemoryPool pool(1u << 20, 1u << 20, 256);
  ItlClTlDocument doc(port);
  doc.init(pool);
  NumberedId id;
  CosClLanguage lang(language);
  for (auto _ : state) {
    for (auto const& lines : corpus.documents) {
      pool.deleteAll();
      doc.startDocument(id, CosClCCSID(1208), lang);
      for (std::u16string const& line : lines) {
        doc.addText(reinterpret_cast<unsigned short const*>(line.data()),
                    static_cast<unsigned>(line.size()));
        doc.addDelimiter();
      }
      doc.endDocument();
      ++id.number;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.bytes));
}

void BM_TextDocuments(benchmark::State& state) { runDocuments(state, pythonDocs(), "en"); }
BENCHMARK(BM_TextDocuments)->Unit(benchmark::kMillisecond);

void BM_ThaiDocuments(benchmark::State& state) {
  static Corpus corpus;
  if (corpus.documents.empty()) {
    std::vector<std::u16string> texts = thaiCatalogueTexts();
    if (!texts.empty()) corpus.documents.push_back(texts);
    for (std::u16string const& t : texts) {
      // UTF-8 size of the Thai text: three bytes a unit at most.
      for (char16_t u : t) corpus.bytes += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
    }
  }
  runDocuments(state, corpus, "th");
}
BENCHMARK(BM_ThaiDocuments)->Unit(benchmark::kMillisecond);

void BM_AttributeValues(benchmark::State& state) {
  DiscardingPort port;
  CosClMemoryPool pool(1u << 16, 1u << 16, 256);
  ItlClTlDocument doc(port);
  doc.init(pool);
  NumberedId id;
  std::u16string const number = u"1 234.5";
  std::u16string const date = u"2010-05-04 04.05.2010";
  uint64_t values = 0;
  for (auto _ : state) {
    pool.deleteAll();
    doc.startDocument(id, CosClCCSID(1208), CosClLanguage("en"));
    for (int i = 0; i < 1000; ++i) {
      doc.startAttribute("n", ItlEnAttributeType_Number, true);
      doc.addText(reinterpret_cast<unsigned short const*>(number.data()),
                  static_cast<unsigned>(number.size()));
      doc.endAttribute();
      doc.startAttribute("d", ItlEnAttributeType_Date, true);
      doc.addText(reinterpret_cast<unsigned short const*>(date.data()),
                  static_cast<unsigned>(date.size()));
      doc.endAttribute();
      values += 3;
    }
    doc.addDelimiter();
    doc.endDocument();
  }
  state.SetItemsProcessed(static_cast<int64_t>(values));
  state.counters["items"] = static_cast<double>(port.items);
}
BENCHMARK(BM_AttributeValues);

}  // namespace

BENCHMARK_MAIN();
