// Fuzz target: XML documents through the XML parser in index modus. The
// first byte picks the CCSID (0: the parser's guess from the bytes, 1208
// or 1200) and whether the corpus's test model is used; the rest is the
// document. The parser must end every document with a warning or an
// index-library or cos exception, leave no field open it opened, and parse
// a small well-formed document right after.
#include <cstring>
#include <string>

#include "cos_exception.hpp"
#include "cos_memmgr.hpp"
#include "fuzz_input.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_index_location.hpp"
#include "itl_tldocument.hpp"
#include "itl_xmlparser.hpp"
#include "ti_test_util.hpp"
#include "ti_tl_port.hpp"

namespace {

char const kModel[] =
    "<XMLModel>"
    "<XMLFieldDefinition name='f_$(LOCALNAME)' locator='//a/*|b'/>"
    "<XMLFieldDefinition name='p$(PATH)' locator='comment()|processing-instruction()' priority='-0.5'/>"
    "<XMLAttributeDefinition name='n' type='NUMBER' locator='@n'/>"
    "<XMLAttributeDefinition name='d' type='DATE' locator='d'/>"
    "<XMLAttributeDefinition name='s' type='STRING' locator='//s//*'/>"
    "</XMLModel>";

struct Store {
  TempDir dir{"xmlparse_fuzz", "/tmp"};
  ItlClIndexLocation location{"idx", dir.path().c_str()};
  ItlClErrorInfo info;
  ItlClDocumentModels models{location, info};
  Store() {
    models.onIndexFileCreate();
    models.add("m", kModel, sizeof kModel - 1);
  }
};

// Parses `bytes`; true when the parser threw nothing.
bool parse(ItlClParserXML& parser, ItlClErrorInfo& info, char const* bytes,
           unsigned size, unsigned short ccsid, char const* model) {
  RecordingPort port;
  CosClMemoryPool pool(65536, 65536, 256);
  ItlClTlDocument doc(port);
  doc.init(pool);
  TestDocumentId id("doc", 0);
  CosClMemoryPool scanPool(4096, 4096, 16);
  ItlClDocumentInputScanner scanner;
  info.reset();
  try {
    doc.startDocument(id, CosClCCSID(1208), CosClLanguage("en"));
    if (ccsid == 0) parser.scanHeaderInformationCCSID(bytes, size, ccsid);
    scanner.setInputText(scanPool, bytes, size, CosClCCSID(ccsid));
    parser.startDocument(ItlEnParserModus_Index, &doc, nullptr, nullptr, model);
    parser.processDocument(scanner);
    parser.endDocument();
    doc.endDocument();
    FUZZ_CHECK(info.getReturnCode() == 0 || info.getReturnCode() == 4);
    for (RecordedField const& f : port.fields)
      FUZZ_CHECK(f.start <= f.end && f.end <= port.text.size());
    return true;
  } catch (ItlClException const& e) {
    FUZZ_CHECK(e.getReturnCode() == 8);
  } catch (CosClException const&) {
  }
  parser.endDocument();
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  static Store* store = new Store();
  FuzzInput in(data, size);
  uint8_t mode = in.byte();
  static unsigned short const kCcsids[] = {0, 1208, 1200};
  unsigned short ccsid = kCcsids[mode % 3];
  char const* model = (mode & 4) ? "m" : nullptr;
  std::string doc = in.rest();
  // An exact copy, so that a read past the document shows.
  char* bytes = new char[doc.size() + 1];
  std::memcpy(bytes, doc.data(), doc.size());
  ItlClErrorInfo info;
  ItlClParserXML parser(info, store->models);
  parse(parser, info, bytes, static_cast<unsigned>(doc.size()), ccsid, model);
  delete[] bytes;
  char const ok[] = "<a n='1'><b>t</b></a>";
  FUZZ_CHECK(parse(parser, info, ok, sizeof ok - 1, 1208, model));
  FUZZ_CHECK(info.getReturnCode() == 0);
  return 0;
}
