// Fuzz target: the HTML parser. The first byte chooses the CCSID (0: the
// parser's charset scan decides, else one of five) and whether the default
// HTML model (fields, an attribute, a META field) is used; the rest is the
// document. It is parsed through the text document into the recording
// port; field boundaries must lie inside the text, and failures must be
// index-library or cos exceptions (a document the scanner cannot convert).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cos_exception.hpp"
#include "fuzz_input.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_htmlparser.hpp"
#include "itl_index_location.hpp"
#include "itl_tldocument.hpp"
#include "ti_tl_port.hpp"

namespace {

std::string const kModel =
    "<HTMLModel>"
    "<HTMLFieldDefinition name='head' tag='h1'/>"
    "<HTMLFieldDefinition name='gone' exclude='YES' tag='title'/>"
    "<HTMLAttributeDefinition name='anchor' type='STRING' tag='a'/>"
    "<HTMLAttributeDefinition name='n' type='NUMBER' tag='h2'/>"
    "<HTMLFieldDefinition name='desc' tag='meta' meta-qualifier='description'/>"
    "</HTMLModel>";

// Two stores over one folder: without models, and with the default model.
struct Stores {
  std::string dir;
  ItlClIndexLocation* none;
  ItlClIndexLocation* some;
  ItlClErrorInfo info;
  ItlClDocumentModels* empty;
  ItlClDocumentModels* withModel;
  Stores() {
    char tmpl[] = "/tmp/htmlparse_fuzz.XXXXXX";
    char const* made = mkdtemp(tmpl);
    if (made == nullptr) std::abort();
    dir = made;
    none = new ItlClIndexLocation("none", dir.c_str());
    some = new ItlClIndexLocation("some", dir.c_str());
    empty = new ItlClDocumentModels(*none, info);
    withModel = new ItlClDocumentModels(*some, info);
    withModel->onIndexFileCreate();
    withModel->add("m", kModel.data(), static_cast<unsigned>(kModel.size()));
    withModel->setDefaultModel("m", ItlEnDocumentFormat_Html);
    // The files are read no more: remove them at once.
    for (char const* f : {"/some.mox", "/some.mdx"}) std::remove((dir + f).c_str());
    rmdir(dir.c_str());
  }
};

Stores& stores() {
  static Stores* s = new Stores();
  return *s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  static unsigned short const kCcsids[] = {0, 1208, 819, 500, 912, 1200};
  FuzzInput in(data, size);
  unsigned char choice = in.byte();
  unsigned short ccsid = kCcsids[choice % 6];
  bool model = (choice & 0x80) != 0;
  std::string document = in.rest();
  Stores& s = stores();
  RecordingPort port;
  ItlClParserHTML parser(port.errorInfo, model ? *s.withModel : *s.empty);
  if (ccsid == 0)
    parser.scanHeaderInformationCCSID(document.data(),
                                      static_cast<unsigned>(document.size()),
                                      ccsid);
  CosClMemoryPool pool(65536, 65536, 256);
  ItlClTlDocument doc(port);
  doc.init(pool);
  TestDocumentId id("d", 0);
  try {
    doc.startDocument(id, CosClCCSID(ccsid), CosClLanguage("en"));
    ItlClDocumentInputScanner scanner;
    scanner.setInputText(pool, document.data(),
                         static_cast<unsigned>(document.size()),
                         CosClCCSID(ccsid));
    parser.startDocument(ItlEnParserModus_Index, &doc, nullptr, nullptr,
                         nullptr);
    parser.processDocument(scanner);
    parser.endDocument();
    doc.endDocument();
  } catch (ItlClException const& e) {
    (void)e.getContext();
    doc.reset();
    return 0;
  } catch (CosClException const&) {
    doc.reset();
    return 0;
  }
  for (RecordedField const& f : port.fields) {
    FUZZ_CHECK(f.start <= f.end);
    FUZZ_CHECK(f.end <= port.text.size());
  }
  return 0;
}
