// Tests of the filter-library parser through our stand-in filter libraries
// (source/filter_standin): properties as fields and attributes, breaks,
// the options handed to the filter, every failure with the stand-ins'
// counters, the redirected-input callbacks, and robustness against
// unbalanced and oversized filter output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <string>

#include "filter_standin_fixture.hpp"
#include "itl_insoparser.hpp"
#include "parser_fixture.hpp"

namespace {

std::string join(std::vector<std::string> const& v) {
  std::string out;
  for (auto const& s : v) out += s + "\n";
  return out;
}

std::string cwd() {
  char buf[PATH_MAX];
  return getcwd(buf, sizeof buf) ? buf : "";
}

struct InsoFixture : ::testing::Test {
  StandinLibraries libs;  // loaded first: the counters are reset
  ModelStore store;
  ItlClErrorInfo info;

  IndexRun run(ItlClParserINSO& parser, std::string const& doc,
               char const* model = nullptr) {
    return indexDocument(parser, info, doc, 1208, model);
  }
};

TEST_F(InsoFixture, PropertiesBreaksAndOptions) {
  ItlClParserINSO parser(info, TI_FILTER_STANDIN_DIR, store.models);
  parser.init();
  IndexRun r = run(parser,
                   "@begin 6\nTitle\n@end\n"
                   "@begin 71\nstyled\n@end\n"
                   "@begin 80\nunknown\n@end\n"
                   "@begin 0 0x30000\nlink\n@end 0 0x30000\n"
                   "@break 0x2029\n@pad 3\nzz");
  EXPECT_EQ(r.thrown.reason, -1) << r.thrown.context;
  EXPECT_EQ(join(r.fields), "SCCCA_TITLE=Title\n");
  // A line feed starts a segment and is a delimiter; another break only a
  // delimiter; trailing zero units are dropped.
  EXPECT_EQ(r.text, "Title styled unknown link  zz");
  std::string log = join(r.log);
  size_t segments = 0;
  for (auto const& l : r.log) segments += l.compare(0, 8, "segment ") == 0;
  EXPECT_EQ(segments, 4u) << log;
  EXPECT_EQ(libs.daCounters().option1, 0x14B00000u);
  EXPECT_EQ(libs.daCounters().option2, 4004u);
  EXPECT_EQ(libs.daCounters().openDocuments, 0);
  EXPECT_EQ(libs.caCounters().openContents, 0);
}

TEST_F(InsoFixture, ModelMapsPropertiesToFieldsAndAttributes) {
  store.add("m",
            "<INSOModel>"
            "<INSOFieldDefinition name='link' tag='SCCCA_HYPERLINK'/>"
            "<INSOAttributeDefinition name='pages' type='NUMBER' "
            "tag='SCCCA_COUNTPAGES'/>"
            "</INSOModel>");
  ItlClParserINSO parser(info, TI_FILTER_STANDIN_DIR, store.models);
  parser.init();
  IndexRun r = run(parser,
                   "@begin 6\nTitle\n@end\n"
                   "@begin 0 0x30000\nhref\n@end\n"
                   "@begin 21\n12\n@end\n",
                   "m");
  EXPECT_EQ(r.thrown.reason, -1) << r.thrown.context;
  EXPECT_EQ(join(r.fields), "link=href\n");
  std::string log = join(r.log);
  EXPECT_NE(log.find("item 1 N 12"), std::string::npos) << log;
}

TEST_F(InsoFixture, FailuresCloseWhatWasOpenAndTheNextDocumentParses) {
  ItlClParserINSO parser(info, TI_FILTER_STANDIN_DIR, store.models);
  parser.init();
  struct Case {
    std::string doc;
    int reason;
    char const* context;
    int contentCloses, documentCloses;
  } const cases[] = {
      {"@status CAReadNext 9\n@begin 6\nx", 672, "DAERR_BADFILE", 1, 1},
      {"@status CAReadFirst 32\nx", 672, "DAERR_ABORT", 1, 1},
      {"@status DAOpenDocument 7\nx", 672, "DAERR_FILEOPENFAILED", 0, 0},
      {"@status DASetOption 15\nx", 672, "DAERR_BADPARAM", 0, 1},
      {"@status CAOpenContent 12\nx", 672, "DAERR_SUPFILEOPENFAILS", 0, 1},
      {"@status DACloseDocument 99\nx", 672, "unknown INSO error", 1, 1},
  };
  for (Case const& c : cases) {
    scStandinResetBoth(libs);
    IndexRun r = run(parser, c.doc);
    EXPECT_EQ(r.thrown.reason, c.reason) << c.doc;
    EXPECT_EQ(r.thrown.context, std::string(c.context) + "\n") << c.doc;
    EXPECT_EQ(libs.caCounters().contentCloses, c.contentCloses) << c.doc;
    EXPECT_EQ(libs.daCounters().closes, c.documentCloses) << c.doc;
    EXPECT_EQ(libs.daCounters().openDocuments, 0) << c.doc;
    EXPECT_EQ(libs.caCounters().openContents, 0) << c.doc;
    IndexRun next = run(parser, "@begin 6\nok\n@end\n");
    EXPECT_EQ(next.thrown.reason, -1) << c.doc;
    EXPECT_EQ(join(next.fields), "SCCCA_TITLE=ok\n") << c.doc;
  }
}

TEST_F(InsoFixture, LibraryAndInitialisationFailures) {
  TempDir empty("inso_empty");
  TempDir onlyCa("inso_ca");
  std::filesystem::copy_file(std::string(TI_FILTER_STANDIN_DIR) + "/libsc_ca.so",
                             onlyCa.path() + "/libsc_ca.so");
  std::string before = cwd();
  auto initFails = [&](std::string const& dir) {
    return catchItl([&] {
      ItlClParserINSO parser(info, dir.c_str(), store.models);
      parser.init();
    });
  };
  Caught c = initFails(empty.path());
  EXPECT_EQ(c.reason, 670);
  EXPECT_EQ(c.context, "libsc_ca\n");
  c = initFails(onlyCa.path());
  EXPECT_EQ(c.reason, 670);
  EXPECT_EQ(c.context, "libsc_da\n");
  std::string noOption = std::string(TI_FILTER_STANDIN_DIR) + "/nosetoption";
  c = initFails(noOption);
  EXPECT_EQ(c.reason, 671);
  EXPECT_EQ(c.context, "DASetOption\nFile name: " + noOption + "/libsc_da.so\n");
  libs.inject("DAInit", 30);
  c = initFails(TI_FILTER_STANDIN_DIR);
  EXPECT_EQ(c.reason, 2);
  scStandinResetBoth(libs);
  libs.inject("DAInit", 7);
  c = initFails(TI_FILTER_STANDIN_DIR);
  EXPECT_EQ(c.reason, 672);
  EXPECT_EQ(c.context, "DAERR_FILEOPENFAILED\n");
  scStandinResetBoth(libs);
  // DADeInit failing is a warning at destruction.
  libs.inject("DADeInit", 4);
  {
    ItlClParserINSO parser(info, TI_FILTER_STANDIN_DIR, store.models);
    parser.init();
    info.reset();
  }
  EXPECT_EQ(info.getReturnCode(), 4);
  EXPECT_EQ(info.getReasonCode(), 672);
  EXPECT_STREQ(info.getContext(), "DAERR_FILTERNOTAVAIL\n");
  EXPECT_EQ(libs.daCounters().deInit, 1);
  EXPECT_EQ(cwd(), before);
}

TEST_F(InsoFixture, FactoryWarnsOfAMissingDirectoryAndLoadsByName) {
  ItlClParserFactory factory;
  ItlClParserABase* parser = nullptr;
  std::string before = cwd();
  // By bare name the dynamic loader searches LD_LIBRARY_PATH.
  std::string saved = getenv("LD_LIBRARY_PATH") ? getenv("LD_LIBRARY_PATH") : "";
  setenv("LD_LIBRARY_PATH", TI_FILTER_STANDIN_DIR, 1);
  Caught c = catchItl([&] {
    factory.selectParser(info, ItlEnDocumentFormat_Inso, "/no/such/dir",
                         store.models, parser);
  });
  setenv("LD_LIBRARY_PATH", saved.c_str(), 1);
  EXPECT_EQ(info.getReasonCode(), 26);
  EXPECT_EQ(info.getReturnCode(), 4);
  EXPECT_STREQ(info.getContext(), "/no/such/dir\n");
  EXPECT_EQ(cwd(), before);
  if (c.reason == -1) {
    ASSERT_NE(parser, nullptr);
    IndexRun r = run(*static_cast<ItlClParserINSO*>(parser), "@begin 6\nt\n@end\n");
    EXPECT_EQ(join(r.fields), "SCCCA_TITLE=t\n");
  } else {
    // The loader read LD_LIBRARY_PATH at start-up only.
    EXPECT_EQ(c.reason, 670);
  }
}

TEST_F(InsoFixture, RobustAgainstTheFiltersOutput) {
  ItlClParserINSO parser(info, TI_FILTER_STANDIN_DIR, store.models);
  parser.init();
  // Two begins without an end; the next document's fields close right.
  IndexRun r = run(parser, "@begin 6\n@begin 5\nx\n");
  EXPECT_EQ(r.thrown.reason, -1);
  r = run(parser, "@begin 6\na\n@end\n@begin 5\nb\n@end\n");
  EXPECT_EQ(join(r.fields), "SCCCA_TITLE=a\nSCCCA_SUBJECT=b\n");
  // A reported size past the buffer reads nothing past it.
  r = run(parser, "@size 20000\nab");
  EXPECT_EQ(r.thrown.reason, -1);
  EXPECT_EQ(r.text.substr(0, 2), "ab");
  // 513 open properties: reason 39, content and document closed.
  std::string deep;
  for (int i = 0; i < 513; ++i) deep += "@begin 6\n";
  scStandinResetBoth(libs);
  r = run(parser, deep + "x");
  EXPECT_EQ(r.thrown.reason, 39);
  EXPECT_EQ(libs.caCounters().openContents, 0);
  EXPECT_EQ(libs.daCounters().openDocuments, 0);
  EXPECT_EQ(run(parser, "ok").thrown.reason, -1);
}

// A port whose configuration names another fallback format and whose
// field map is full.
class FullMapPort : public RecordingPort {
 public:
  int32_t getFormatConverterFallbackFormat() const override { return 1234; }
  void assignFieldNameToNumber(char const*, unsigned short&, bool&) override {
    ItlClException("source/itl_index/itl_namemap:1", 1,
                   ItlEnReasonCode_Map_out_of_range)
        .raise();
  }
};

TEST_F(InsoFixture, ConfiguredFallbackAndAThrowingTextDocument) {
  ItlClParserINSO parser(info, TI_FILTER_STANDIN_DIR, store.models);
  parser.init();
  FullMapPort port;
  CosClMemoryPool pool(65536, 65536, 256);
  ItlClTlDocument doc(port);
  doc.init(pool);
  TestDocumentId id("doc", 0);
  std::string text = "before\n@begin 6\nTitle\n@end\n";
  ItlClDocumentInputScanner scanner;
  scanner.setInputTextNoConv(text.data(), static_cast<unsigned>(text.size()));
  Caught c = catchItl([&] {
    doc.startDocument(id, CosClCCSID(1208), CosClLanguage("en"));
    parser.startDocument(ItlEnParserModus_Index, &doc, nullptr, nullptr, nullptr);
    parser.processDocument(scanner);
  });
  parser.endDocument();
  doc.reset();
  // The fallback reached the filter; the exception of the field map left
  // the loop after the content and the document were closed.
  EXPECT_EQ(libs.daCounters().option2, 1234u);
  EXPECT_EQ(c.reason, 404);
  EXPECT_EQ(libs.caCounters().contentCloses, 1);
  EXPECT_EQ(libs.daCounters().closes, 1);
  EXPECT_EQ(libs.caCounters().openContents, 0);
  EXPECT_EQ(libs.daCounters().openDocuments, 0);
  EXPECT_EQ(run(parser, "ok").thrown.reason, -1);
}

TEST(InsoParser, Callbacks) {
  ItlClParserINSO* none = nullptr;
  (void)none;
  ItlStINSORedirectedIO bare;
  std::memset(&bare, 0, sizeof bare);
  uint8_t buf[8];
  uint32_t n = 0;
  EXPECT_EQ(itlINSOIORead(nullptr, buf, 8, &n), -1);
  EXPECT_EQ(itlINSOIORead(&bare, buf, 8, &n), -1);  // no owner
  EXPECT_EQ(itlINSOIOSeek(&bare, 0, 0), -1);
  EXPECT_EQ(itlINSOIOTell(&bare, &n), -1);
  EXPECT_EQ(itlINSOIOGetInfo(&bare, 4, nullptr), -1);
  EXPECT_EQ(itlINSOIOClose(nullptr), -1);
  EXPECT_EQ(itlINSOIOClose(&bare), 0);
  EXPECT_EQ(itlINSOIOWrite(&bare, buf, 8, &n), 0);

  ModelStore store;
  ItlClErrorInfo info;
  ItlClParserINSO parser(info, "/nonexistent", store.models);
  ItlStINSORedirectedIO rec;
  std::memset(&rec, 0, sizeof rec);
  rec.pOwner = &parser;
  uint8_t doc[5] = {'a', 'b', 'c', 'd', 'e'};
  parser.iv_pucStart = parser.iv_pucReadPosition = doc;
  parser.iv_pucEnd = doc + 5;
  EXPECT_EQ(itlINSOIORead(&rec, nullptr, 8, &n), -1);
  EXPECT_EQ(itlINSOIORead(&rec, buf, 8, nullptr), -1);
  EXPECT_EQ(itlINSOIORead(&rec, buf, 3, &n), 0);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(itlINSOIOSeek(&rec, 1, 100), 0);  // past the end: the end
  EXPECT_EQ(itlINSOIOTell(&rec, &n), 0);
  EXPECT_EQ(n, 5u);
  EXPECT_EQ(itlINSOIORead(&rec, buf, 8, &n), -9);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(itlINSOIOSeek(&rec, 2, -100), 0);  // before the start
  EXPECT_EQ(itlINSOIOTell(&rec, &n), 0);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(itlINSOIOSeek(&rec, 2, -2), 0);
  EXPECT_EQ(itlINSOIORead(&rec, buf, 8, &n), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), n), "de");
  EXPECT_EQ(itlINSOIOSeek(&rec, 3, 0), -1);
  EXPECT_EQ(itlINSOIOTell(&rec, nullptr), -1);
  for (uint32_t id : {3u, 6u, 14u, 15u, 19u})
    EXPECT_EQ(itlINSOIOGetInfo(&rec, id, nullptr), -1) << id;
  EXPECT_EQ(itlINSOIOGetInfo(&rec, 4, nullptr), -10);
  EXPECT_EQ(itlINSOIOGetInfo(&rec, 5, nullptr), -7);
  EXPECT_EQ(itlINSOIOClose(&rec), 0);
  EXPECT_EQ(parser.iv_pucStart, nullptr);
  EXPECT_EQ(parser.iv_pucReadPosition, nullptr);
  EXPECT_EQ(parser.iv_pucEnd, nullptr);
}

TEST(InsoParser, MapInsoError) {
  int32_t const statuses[] = {0, 2, 4, 7, 9, 10, 11, 12, 15, 18, 30, 31, 32, 33, 34, 35};
  char const* const names[] = {
      "DAERR_OK", "DAERR_FILTERLOADFAILED", "DAERR_FILTERNOTAVAIL",
      "DAERR_FILEOPENFAILED", "DAERR_BADFILE", "DAERR_EMPTYFILE",
      "DAERR_PROTECTEDFILE", "DAERR_SUPFILEOPENFAILS", "DAERR_BADPARAM",
      "DAERR_UNKNOWN", "DAERR_MEMORY", "DAERR_EOF", "DAERR_ABORT",
      "DAERR_CHARMAPFAILED", "DAERR_FILECREATE", "DAERR_MORE"};
  for (unsigned i = 0; i < 16; ++i)
    EXPECT_STREQ(ItlClParserINSO::mapInsoError(statuses[i]), names[i]);
  EXPECT_STREQ(ItlClParserINSO::mapInsoError(99), "unknown INSO error");
}

}  // namespace
