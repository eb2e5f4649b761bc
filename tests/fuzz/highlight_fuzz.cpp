// Fuzz target: the highlighter through the exported functions on a small
// fixed index (umlaut folding on, an XML model, one indexed XML document
// so that its fields are known). The first bytes pick the format (TEXT or
// XML), whether the model is used, a field selection, the truncation and
// its maximum and up to 15 occurrences (position, length, word rule); the
// rest is the document. Every call must end in a return code, never an
// escaping exception; a list is handed out exactly when the call succeeds,
// and its elements are in order and within the document:
// 0 <= context start <= hit start <= hit end <= context end <= length.
#include <cstring>
#include <string>
#include <vector>

#include "cos_ccsid.hpp"
#include "cos_language.hpp"
#include "cos_memmgr.hpp"
#include "fuzz_input.hpp"
#include "itl_api.h"
#include "itl_api_index.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_documentmodels.hpp"
#include "itl_index.hpp"
#include "itl_index_commit.hpp"
#include "itl_index_file.hpp"
#include "itl_index_tl_port.hpp"
#include "itl_kernel_interface.hpp"
#include "itl_parser.hpp"
#include "itl_tl_document_id.hpp"
#include "itl_tldocument.hpp"
#include "ti_test_util.hpp"

namespace {

char const kModel[] =
    "<XMLModel>"
    "<XMLFieldDefinition name='t' locator='t'/>"
    "<XMLFieldDefinition name='b' locator='b'/>"
    "<XMLFieldDefinition name='x' exclude='yes' locator='x'/>"
    "<XMLFieldDefinition name='$(NAME)' locator='comment()'/>"
    "</XMLModel>";
char const kDocument[] = "<d><t>title</t><b>body<x>hidden</x></b></d>";

class NamedId : public ItlClTlDocumentIdABase {
 public:
  explicit NamedId(ItlClIndex& index) : iv_rclIndex(index) {}
  uint64_t getDocumentNumber() const override {
    if (iv_number == 0) {
      _ItlStDocumentId id{"d", 1};
      iv_rclIndex.getDocumentNameMapping().assignDocumentNameToNumber(
          &id, &iv_number, iv_new);
    }
    return iv_number;
  }
  bool isNewDocument() const override { return iv_new; }
  char const* getDocumentName(uint16_t& length) const override {
    length = 1;
    return "d";
  }

 private:
  ItlClIndex& iv_rclIndex;
  mutable uint64_t iv_number = 0;
  mutable bool iv_new = false;
};

struct Fixture {
  TempDir dir{"highlight_fuzz", "/tmp"};
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;

  Fixture() {
    FUZZ_CHECK(writeFile(dir / "t.ini",
                         "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
                         "UmlautNormalization = ON\n"
                         "[IndexV4]\nBlockMode = OFF\n"));
    FUZZ_CHECK(itlHandleNewErrorInfo(&ei) == 0);
    FUZZ_CHECK(itlHandleNewContext(&ctx, ei) == 0);
    FUZZ_CHECK(itlHandleNewIndex(ctx, "hf", dir.path().c_str(), &index) == 0);
    FUZZ_CHECK(itlIndexCreate(index, (dir / "t.ini").c_str()) == 0);
    ItlClIndex& object = *itlApiIndex(index);
    object.load();
    object.getDocumentModels().add("m", kModel, sizeof kModel - 1);
    addDocument(object);
  }
  ~Fixture() {
    itlHandleDeleteIndex(&index);
    itlHandleDeleteContext(&ctx);
    itlHandleDeleteErrorInfo(&ei);
  }

  // The document through the XML parser into the index, as an update.
  static void addDocument(ItlClIndex& object) {
    CosClMemoryPool pool{65536, 65536, 256};
    ItlClKernelInterface& kernel = object.getKernelInterface();
    object.getIndexFileMgr().notifyStartTransaction();
    kernel.openForUpdate(pool, object.getErrorInfo(), false, nullptr);
    ItlClTlDocument text(object.getTlPort());
    text.init(pool);
    ItlClParserFactory factory;
    ItlClParserABase* parser = nullptr;
    FUZZ_CHECK(factory.selectParser(object.getErrorInfo(),
                                    ItlEnDocumentFormat_Xml, nullptr,
                                    object.getDocumentModels(), parser));
    NamedId id(object);
    text.startDocument(id, CosClCCSID(1208),
                       CosClLanguage(static_cast<char const*>(nullptr)));
    ItlClDocumentInputScanner scanner;
    scanner.setInputText(pool, kDocument, sizeof kDocument - 1,
                         CosClCCSID(1208));
    parser->startDocument(ItlEnParserModus_Index, &text, nullptr, nullptr, "m");
    parser->processDocument(scanner);
    parser->endDocument();
    text.endDocument();
    kernel.processUpdate();
    object.getIndexFileMgr().notifyEndTransaction();
    ItlClIndexCommit(object).commitUpdate();
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  Fixture& f = fixture();
  FuzzInput in(data, size);
  uint8_t flags = in.byte();
  ItlEnDocumentFormat format =
      (flags & 1) ? ItlEnDocumentFormat_Xml : ItlEnDocumentFormat_Text;
  char const* model = (flags & 2) ? "m" : nullptr;
  uint32_t truncation = in.byte() % 40;
  uint32_t maximum = in.byte() % 60;
  uint32_t count = in.byte() % 16;
  std::vector<ItlStOccurrence> occs;
  for (uint32_t i = 0; i < count; ++i) {
    ItlStOccurrence o;
    o.iDocument = 0;
    o.iPosition = static_cast<int32_t>(in.below(400));
    o.usLength = static_cast<uint16_t>(in.byte() % 12);
    o.ucWeight = 0;
    o.ucWordRule = in.byte() & 1;
    occs.push_back(o);
  }
  std::string document = in.rest();

  ItlTyHighlighterHandle h = nullptr;
  FUZZ_CHECK(itlHandleNewHighlighter(f.index, truncation, maximum, &h) == 0);
  if (flags & 4) itlHighlighterAddField(h, "b");
  if (flags & 8) itlHighlighterAddField(h, "nosuchfield");
  ItlTyListHandle list = nullptr;
  int rc = itlHighlighterProcessDocument(
      h, document.data(), static_cast<uint32_t>(document.size()), format, 1208,
      model, occs.empty() ? nullptr : occs.data(),
      static_cast<uint32_t>(occs.size()), &list);
  FUZZ_CHECK(rc == 0 || rc == 4 || rc == 8);
  FUZZ_CHECK((rc <= 4) == (list != nullptr));
  if (list != nullptr) {
    uint32_t elements = 0;
    FUZZ_CHECK(itlListObtainNumberOfElements(list, &elements) == 0);
    FUZZ_CHECK(elements <= occs.size());
    ItlTyIteratorHandle it = nullptr;
    FUZZ_CHECK(itlHandleNewIterator(list, &it) == 0);
    uint32_t previous = 0;
    for (bool ok = itlListIteratorSetToFirst(it); ok;
         ok = itlListIteratorSetToNext(it, 1)) {
      uint32_t v[5];
      FUZZ_CHECK(itlHighlightElementObtainData(it, nullptr, v, v + 1, v + 2,
                                               v + 3, v + 4) == 0);
      FUZZ_CHECK(v[0] >= 100000 && v[0] <= 100003);
      FUZZ_CHECK(v[3] <= v[1] && v[1] <= v[2] && v[2] <= v[4] &&
                 v[4] <= document.size());
      FUZZ_CHECK(v[1] >= previous);
      previous = v[1];
    }
    FUZZ_CHECK(itlHandleDeleteIterator(&it) == 0);
    FUZZ_CHECK(itlHandleDeleteList(&list) == 0);
  }
  FUZZ_CHECK(itlHandleDeleteHighlighter(&h) == 0);
  return 0;
}
