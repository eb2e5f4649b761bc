// Fuzz target: the filter-library parser over our stand-in filter
// libraries (<build>/filter_standin). The first byte chooses whether an
// INSO model (a hyperlink field, a NUMBER attribute, an excluded title) is
// used; the rest is the stand-in's toy document, so that the fuzzer drives
// what the "filter" delivers: elements, subtypes, property ids, nesting,
// reported data sizes and injected statuses. After every document, failed
// or not, the filter must hold no open document or content, field
// boundaries must lie inside the text, and failures must be index-library
// or cos exceptions.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cos_exception.hpp"
#include "docmap_fuzz_util.hpp"
#include "fuzz_input.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_index_location.hpp"
#include "itl_insoparser.hpp"
#include "itl_tldocument.hpp"
#include "sc_standin.hpp"
#include "ti_tl_port.hpp"

namespace {

std::string const kModel =
    "<INSOModel>"
    "<INSOFieldDefinition name='link' tag='SCCCA_HYPERLINK'/>"
    "<INSOFieldDefinition name='gone' exclude='YES' tag='SCCCA_TITLE'/>"
    "<INSOAttributeDefinition name='pages' type='NUMBER' tag='SCCCA_COUNTPAGES'/>"
    "</INSOModel>";

struct Setup {
  ItlClErrorInfo storeInfo;
  ItlClIndexLocation location{"inso", docmapFuzzScratch("inso").c_str()};
  ItlClDocumentModels models{location, storeInfo};
  ItlClErrorInfo info;
  ItlClParserINSO* parser = nullptr;
  ScStStandinCounters* da = nullptr;
  ScStStandinCounters* ca = nullptr;

  Setup() {
    models.onIndexFileCreate();
    models.add("m", kModel.data(), static_cast<unsigned>(kModel.size()));
    parser = new ItlClParserINSO(info, TI_FILTER_STANDIN_DIR, models);
    parser->init();
    // The parser loaded both libraries: these handles are the same ones.
    std::string dir = TI_FILTER_STANDIN_DIR;
    void* daLib = dlopen((dir + "/libsc_da.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    void* caLib = dlopen((dir + "/libsc_ca.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (daLib == nullptr || caLib == nullptr) std::abort();
    using Counters = ScStStandinCounters* (*)();
    da = reinterpret_cast<Counters>(dlsym(daLib, "scStandinCounters"))();
    ca = reinterpret_cast<Counters>(dlsym(caLib, "scStandinCounters"))();
  }
};

Setup& setup() {
  static Setup* s = new Setup();
  return *s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  FuzzInput in(data, size);
  bool model = (in.byte() & 1) != 0;
  std::string document = in.rest();
  Setup& s = setup();
  RecordingPort port;
  CosClMemoryPool pool(65536, 65536, 256);
  ItlClTlDocument doc(port);
  doc.init(pool);
  TestDocumentId id("d", 0);
  s.info.reset();
  try {
    doc.startDocument(id, CosClCCSID(1208), CosClLanguage("en"));
    ItlClDocumentInputScanner scanner;
    scanner.setInputTextNoConv(document.data(),
                               static_cast<unsigned>(document.size()));
    s.parser->startDocument(ItlEnParserModus_Index, &doc, nullptr, nullptr,
                            model ? "m" : nullptr);
    s.parser->processDocument(scanner);
    s.parser->endDocument();
    doc.endDocument();
  } catch (ItlClException const& e) {
    (void)e.getContext();
    s.parser->endDocument();
    doc.reset();
  } catch (CosClException const&) {
    s.parser->endDocument();
    doc.reset();
  }
  FUZZ_CHECK(s.da->openDocuments == 0);
  FUZZ_CHECK(s.ca->openContents == 0);
  for (RecordedField const& f : port.fields) {
    FUZZ_CHECK(f.start <= f.end);
    FUZZ_CHECK(f.end <= port.text.size());
  }
  return 0;
}
