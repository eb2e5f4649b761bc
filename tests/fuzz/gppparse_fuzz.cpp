// Fuzz target: the structured-document parser. The first byte chooses the
// CCSID of the document (UTF-8, UTF-16 with its lone surrogates, Latin-1)
// and whether the model is named or serves as the default; the next two
// give the length of a model definition that follows; the rest is the
// document. The definition is added to a fresh model store (a refused one
// leaves the document without a model), and the document is parsed twice
// through the text document into the recording port, the second time with
// the tag finder kept. Field boundaries must lie inside the text, both runs
// must give the same text, and failures must be index-library or cos
// exceptions.
#include <cstdio>
#include <string>

#include "cos_exception.hpp"
#include "docmap_fuzz_util.hpp"
#include "fuzz_input.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_gppparser.hpp"
#include "itl_index_location.hpp"
#include "itl_tldocument.hpp"
#include "ti_tl_port.hpp"

namespace {

struct Store {
  ItlClErrorInfo info;
  ItlClIndexLocation location{"gpp", docmapFuzzScratch("gppparse").c_str()};
  ItlClDocumentModels models{location, info};
};

Store& store() {
  static Store* s = new Store();
  return *s;
}

// One run; false when it threw. `text` gets the port's text.
bool parseOnce(ItlClParserGpp& parser, RecordingPort& port,
               std::string const& document, unsigned short ccsid,
               char const* model) {
  CosClMemoryPool pool(65536, 65536, 256);
  ItlClTlDocument doc(port);
  doc.init(pool);
  TestDocumentId id("d", 0);
  try {
    doc.startDocument(id, CosClCCSID(1208), CosClLanguage("en"));
    ItlClDocumentInputScanner scanner;
    scanner.setInputText(pool, document.data(),
                         static_cast<unsigned>(document.size()),
                         CosClCCSID(ccsid));
    parser.startDocument(ItlEnParserModus_Index, &doc, nullptr, nullptr,
                         model);
    parser.processDocument(scanner);
    FUZZ_CHECK(parser.getState() == ItlClParserGpp::IDLE);
    parser.endDocument();
    doc.endDocument();
  } catch (ItlClException const& e) {
    (void)e.getContext();
    parser.endDocument();
    doc.reset();
    return false;
  } catch (CosClException const&) {
    parser.endDocument();
    doc.reset();
    return false;
  }
  for (RecordedField const& f : port.fields) {
    FUZZ_CHECK(f.start <= f.end);
    FUZZ_CHECK(f.end <= port.text.size());
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  static unsigned short const kCcsids[] = {1208, 1200, 819};
  FuzzInput in(data, size);
  unsigned char choice = in.byte();
  unsigned short ccsid = kCcsids[(choice & 0x7F) % 3];
  bool byDefault = (choice & 0x80) != 0;
  std::string definition = in.take(in.below(4096));
  std::string document = in.rest();

  Store& s = store();
  s.models.onIndexFileCreate();
  bool haveModel = true;
  try {
    s.models.add("m", definition.data(),
                 static_cast<unsigned>(definition.size()));
    if (byDefault) s.models.setDefaultModel("m", ItlEnDocumentFormat_Structured);
  } catch (ItlClException const&) {
    haveModel = false;
  } catch (CosClException const&) {
    haveModel = false;
  }
  char const* model = haveModel && !byDefault ? "m" : nullptr;

  ItlClErrorInfo info;
  ItlClParserGpp parser(info, s.models);
  RecordingPort first;
  bool ok = parseOnce(parser, first, document, ccsid, model);
  RecordingPort second;
  bool again = parseOnce(parser, second, document, ccsid, model);
  FUZZ_CHECK(ok == again);
  if (ok) FUZZ_CHECK(first.text == second.text);
  return 0;
}
