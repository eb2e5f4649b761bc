// Test support for the highlighter: an index made through the exported
// functions with a configuration of the test's choice, documents indexed
// as an update indexes them (each through its parser in index modus into
// the text document, all in one committed transaction, below the update
// functions), and the occurrences an engine search reports per document.
#ifndef TESTS_ITL_API_HIGHLIGHT_FIXTURE_HPP
#define TESTS_ITL_API_HIGHLIGHT_FIXTURE_HPP

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "calls/voz_gtrresult.hpp"
#include "calls/voz_gtrsearch.hpp"
#include "cos_ccsid.hpp"
#include "cos_language.hpp"
#include "cos_memmgr.hpp"
#include "files/voz_records_create.hpp"
#include "files/voz_records_search.hpp"
#include "files/voz_status.hpp"
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

namespace hfix {

// `index` and `indexV4` are added to the sections of those names.
inline std::string iniText(std::string const& index = "",
                           std::string const& indexV4 = "") {
  return "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n" + index +
         "[IndexV4]\nBlockMode = OFF\n" + indexV4;
}

// An error info, a context and a created index "hl" in a fresh directory.
struct ApiIndex {
  TempDir dir{"highlight", fastTempParent()};
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;

  explicit ApiIndex(std::string const& ini = iniText()) {
    EXPECT_EQ(itlHandleNewErrorInfo(&ei), 0);
    EXPECT_EQ(itlHandleNewContext(&ctx, ei), 0);
    EXPECT_TRUE(writeFile(dir / "t.ini", ini));
    EXPECT_EQ(itlHandleNewIndex(ctx, "hl", dir.path().c_str(), &index), 0);
    EXPECT_EQ(itlIndexCreate(index, (dir / "t.ini").c_str()), 0)
        << itlErrorInfoGetReasonCode(ei);
  }
  ~ApiIndex() {
    if (index != nullptr) itlHandleDeleteIndex(&index);
    itlHandleDeleteContext(&ctx);
    itlHandleDeleteErrorInfo(&ei);
  }
  ApiIndex(ApiIndex const&) = delete;
  ApiIndex& operator=(ApiIndex const&) = delete;
  ItlClIndex& object() const { return *itlApiIndex(index); }
  int reason() const { return itlErrorInfoGetReasonCode(ei); }
};

struct Doc {
  std::string name;
  std::string bytes;  // UTF-8
  ItlEnDocumentFormat format = ItlEnDocumentFormat_Text;
  char const* model = nullptr;
};

// An id mapped through the index's document-name map on first ask.
class DocumentId : public ItlClTlDocumentIdABase {
 public:
  DocumentId(ItlClIndex& index, std::string name)
      : iv_rclIndex(index), iv_name(std::move(name)) {}
  uint64_t getDocumentNumber() const override {
    if (iv_number == 0) {
      _ItlStDocumentId id{iv_name.data(),
                          static_cast<uint16_t>(iv_name.size())};
      iv_rclIndex.getDocumentNameMapping().assignDocumentNameToNumber(
          &id, &iv_number, iv_new);
    }
    return iv_number;
  }
  bool isNewDocument() const override { return iv_new; }
  char const* getDocumentName(uint16_t& length) const override {
    length = static_cast<uint16_t>(iv_name.size());
    return iv_name.data();
  }

 private:
  ItlClIndex& iv_rclIndex;
  std::string iv_name;
  mutable uint64_t iv_number = 0;
  mutable bool iv_new = false;
};

// Indexes `docs` in one committed update; returns their numbers.
inline std::vector<uint64_t> addDocuments(ItlClIndex& index,
                                          std::vector<Doc> const& docs) {
  index.load();
  CosClMemoryPool pool{65536, 65536, 256};
  ItlClKernelInterface& kernel = index.getKernelInterface();
  ItlClIndexFileMgr& files = index.getIndexFileMgr();
  files.notifyStartTransaction();
  kernel.openForUpdate(pool, index.getErrorInfo(), false, nullptr);
  ItlClTlDocument text(index.getTlPort());
  text.init(pool);
  ItlClParserFactory factory;
  ItlClDocumentInputScanner scanner;
  std::vector<uint64_t> numbers;
  for (Doc const& doc : docs) {
    ItlClParserABase* parser = nullptr;
    EXPECT_TRUE(factory.selectParser(index.getErrorInfo(), doc.format, nullptr,
                                     index.getDocumentModels(), parser));
    if (parser == nullptr) break;
    pool.deleteAll();
    DocumentId id(index, doc.name);
    text.startDocument(id, CosClCCSID(1208),
                       CosClLanguage(static_cast<char const*>(nullptr)));
    scanner.reset();
    scanner.setInputText(pool, doc.bytes.data(),
                         static_cast<unsigned>(doc.bytes.size()),
                         CosClCCSID(1208));
    parser->startDocument(ItlEnParserModus_Index, &text, nullptr, nullptr,
                          doc.model);
    parser->processDocument(scanner);
    parser->endDocument();
    text.endDocument();
    numbers.push_back(id.getDocumentNumber());
  }
  kernel.processUpdate();
  files.notifyEndTransaction();
  ItlClIndexCommit(index).commitUpdate();
  return numbers;
}

// The occurrences of `word` (any case) the engine reports, per document,
// turned into the caller's records with the index's word rule.
inline std::map<int32_t, std::vector<ItlStOccurrence>> occurrences(
    ItlClIndex& index, std::string w) {
  std::map<int32_t, std::vector<ItlStOccurrence>> out;
  GTRHCREATEPARM create;
  ItlClKernelInterface::fillVozCreateParm(create, index.getConfig());
  RTRVWORD word;
  std::memset(&word, 0, sizeof word);
  word.type = 'W';
  word.casesens = 'N';
  word.precision = 100;
  word.wordp = reinterpret_cast<uint8_t*>(&w[0]);
  word.wordlen = static_cast<int16_t>(w.size());
  std::string order = "1";
  GTRSEARCH_COND c;
  std::memset(&c, 0, sizeof c);
  c.codepage = create.codepage;
  c.cond_type = GTR_COND_STRUCT;
  c.struct_num = 1;
  c.struct_word = &word;
  c.struct_order = &order[0];
  GTRSEARCH_RES r;
  std::memset(&r, 0, sizeof r);
  r.res_type = GTR_RES_HANDLE;
  r.res_dataform = 1;
  GTRSTATUS st{};
  std::string directory = std::string(index.getDirectory()) + "/";
  GTRsearchIndex(nullptr, index.getName(), directory.c_str(), nullptr, c,
                 nullptr, nullptr, nullptr, &r, &st);
  EXPECT_EQ(st.retcode, 0) << w;
  if (st.retcode != 0 || r.res_handle == nullptr) return out;
  GTRsearchIndex_OpenResult(r.res_handle, nullptr, &st);
  for (int guard = 0; st.retcode == 0 && guard < 100000; ++guard) {
    OCC* entries = nullptr;
    int32_t count = 0;
    GTRsearchIndex_LookResult_Doc(r.res_handle, -1, &entries, &count, nullptr,
                                  nullptr, &st);
    if (st.retcode != 0) break;
    for (int32_t i = 0; i < count; ++i) {
      ItlStOccurrence o{entries[i].docno, entries[i].pos, entries[i].len, 0,
                        create.word_rule};
      out[entries[i].docno].push_back(o);
    }
  }
  GTRsearchIndex_CloseResult(r.res_handle, nullptr, &st);
  GTRsearchIndex_ReleaseResult(r.res_handle, &st);
  return out;
}

}  // namespace hfix

#endif  // TESTS_ITL_API_HIGHLIGHT_FIXTURE_HPP
