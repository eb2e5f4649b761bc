// The parser framework: the factory's reuse and replacement of parsers, the
// CCSID guess, and the plain-text parser in its three modes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "dl_test_util.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_index_location.hpp"
#include "itl_name_maps.hpp"
#include "itl_normalization.hpp"
#include "itl_parser.hpp"
#include "itl_text_collector.hpp"
#include "itl_textparser.hpp"
#include "itl_tldocument.hpp"
#include "ti_test_util.hpp"
#include "ti_tl_port.hpp"

namespace {

std::string cwd() {
  char buf[PATH_MAX];
  return getcwd(buf, sizeof buf) ? buf : "";
}

struct Models {
  ItlClIndexLocation location{"idx", "/nonexistent"};
  ItlClErrorInfo info;
  ItlClDocumentModels models{location, info};
};

TEST(ParserFactory, ReusesAParserAndKeepsItForAnUnknownFormat) {
  Models m;
  std::string before = cwd();
  ItlClParserFactory factory;
  ItlClParserABase* first = nullptr;
  ASSERT_TRUE(factory.selectParser(m.info, ItlEnDocumentFormat_Text, "",
                                   m.models, first));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->getDocumentFormat(), ItlEnDocumentFormat_Text);
  ItlClParserABase* again = nullptr;
  ASSERT_TRUE(factory.selectParser(m.info, ItlEnDocumentFormat_Text, "/x",
                                   m.models, again));
  EXPECT_EQ(again, first);
  ItlClParserABase* none = first;
  EXPECT_FALSE(factory.selectParser(
      m.info, static_cast<ItlEnDocumentFormat>(99), "", m.models, none));
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(factory.getCurrentParser(), first);
  EXPECT_EQ(cwd(), before);
}

TEST(ParserBase, GuessesTheCcsidFromTheFirst128Bytes) {
  struct Case {
    std::string bytes;
    unsigned short ccsid;
  } const cases[] = {
      {"Hello world\n", 819},
      {std::string(20, '\xC1') + std::string(10, '\xE9'), 500},
      {std::string(64, 'a') + std::string(64, '\xC1'), 500},
      {std::string(65, 'a') + std::string(63, '\xC1'), 819},
      {"", 500},
      {std::string(128, '\xC8') + std::string(1000, 'a'), 500},
      {std::string("\x15\x15\x0A", 3), 500},
      {std::string("\x01\x02\xEA\xFF\xAA\xC0", 6), 500},
      {std::string("\x0A\x01\x02", 3), 819},
  };
  Models m;
  ItlClParserText parser(m.info, m.models);
  for (auto const& c : cases) {
    ExactBytes bytes(c.bytes);
    unsigned short ccsid = 0;
    parser.scanHeaderInformationCCSID(bytes.data(), bytes.size(), ccsid);
    EXPECT_EQ(ccsid, c.ccsid) << c.bytes;
  }
}

// A text document over the recording port.
struct Doc {
  RecordingPort port;
  CosClMemoryPool pool{65536, 65536, 256};
  ItlClTlDocument doc{port};
  TestDocumentId id{"doc", 0};
  Doc() { doc.init(pool); }
};

TEST(ParserText, EachModeGetsTheWholeDocument) {
  Models m;
  std::string text = "first line\r\nsecond\n\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80\n";
  CosClMemoryPool scanPool(4096, 4096, 16);
  ItlClParserText parser(m.info, m.models);

  // Index: one run, equal to the document.
  {
    Doc d;
    d.doc.startDocument(d.id, CosClCCSID(1208), CosClLanguage("en"));
    ItlClDocumentInputScanner scanner;
    scanner.setInputText(scanPool, text.data(), static_cast<unsigned>(text.size()),
                         CosClCCSID(1208));
    parser.startDocument(ItlEnParserModus_Index, &d.doc, nullptr, nullptr,
                         nullptr);
    EXPECT_EQ(parser.getModus(), ItlEnParserModus_Index);
    parser.processDocument(scanner);
    parser.endDocument();
    EXPECT_EQ(parser.getModus(), ItlEnParserModus_None);
    d.doc.endDocument();
    EXPECT_EQ(d.port.text, text);
    EXPECT_TRUE(d.port.fields.empty());
  }
  // Highlight: the collector holds it.
  {
    ItlClIndexLocation location("idx", "/nonexistent");
    ItlClFieldNameMap map(location, m.info);
    ItlClNormalization* copy = ItlClNormalization::createDefaultNormalizer();
    ItlClTextCollector collector(map, *copy);
    collector.init(static_cast<unsigned>(text.size()));
    ItlClDocumentInputScanner scanner;
    scanner.setInputText(scanPool, text.data(), static_cast<unsigned>(text.size()),
                         CosClCCSID(1208));
    parser.startDocument(ItlEnParserModus_Highlight, nullptr, &collector,
                         nullptr, nullptr);
    parser.processDocument(scanner);
    parser.endDocument();
    EXPECT_EQ(std::string(collector.getOutputBuffer(), collector.getBytesUsed()),
              text);
    ItlClNormalization::destroyNormalizer(copy);
  }
  // Offset mapping: nothing produced, the whole input read.
  {
    ItlClDocumentInputScanner scanner;
    scanner.setInputText(scanPool, text.data(), static_cast<unsigned>(text.size()),
                         CosClCCSID(1208));
    parser.startDocument(ItlEnParserModus_OffsetMapping, nullptr, nullptr,
                         nullptr, nullptr);
    parser.processDocument(scanner);
    parser.endDocument();
    unsigned int rest = 99;
    EXPECT_EQ(scanner.getNextBuffer(rest), nullptr);
    EXPECT_EQ(rest, 0u);
  }
}

// The collector over an index without field names: every name is unknown.
struct Collect {
  ItlClIndexLocation location{"idx", "/nonexistent"};
  ItlClErrorInfo info;
  ItlClFieldNameMap map{location, info};
  ItlClNormalization* norm;
  std::unique_ptr<ItlClTextCollector> collector;
  explicit Collect(ItlClNormalization* n) : norm(n) {
    collector = std::make_unique<ItlClTextCollector>(map, *norm);
  }
  ~Collect() {
    collector.reset();
    ItlClNormalization::destroyNormalizer(norm);
  }
  void text(std::u16string const& t) {
    collector->addText(reinterpret_cast<unsigned short const*>(t.data()),
                       static_cast<unsigned>(t.size()));
  }
  std::string out() const {
    return std::string(collector->getOutputBuffer(), collector->getBytesUsed());
  }
};

TEST(TextCollector, CollectsNormalisedUtf8WithBlanksForDelimiters) {
  Collect c(ItlClNormalization::createDefaultNormalizer());
  c.collector->init(5);
  c.text(u"ab");
  c.collector->addDelimiter();
  c.text(u"cd");
  EXPECT_EQ(c.out(), "ab cd");
  c.text(u"\u00E9");
  EXPECT_EQ(c.out(), "ab cd\xC3\xA9");  // grown past the document's size
}

TEST(TextCollector, AnExpandingNormaliserLosesNothing) {
  {
    Collect c(ItlClNormalization::createNormalizer(0, true, false,
                                                   CosClCCSID(1208),
                                                   CosClLanguage("de")));
    c.collector->init(20000);
    c.text(std::u16string(10000, u'\u00FC'));
    std::string want;
    for (int i = 0; i < 10000; ++i) want += "ue";
    EXPECT_EQ(c.out(), want);
  }
  {
    Collect c(ItlClNormalization::createNormalizer(2, false, false,
                                                   CosClCCSID(1208),
                                                   CosClLanguage("en")));
    c.collector->init(3);  // a document of U+FDFA is 3 bytes long
    c.text(u"\uFDFA");
    // NFKC gives 18 units ("صلى الله عليه وسلم"): 33 bytes.
    EXPECT_EQ(c.out().size(), 33u);
    EXPECT_GT(c.collector->getOutputSize(), 3u);
  }
}

TEST(TextCollector, FieldsNestAndUnknownNamesWarn) {
  Collect c(ItlClNormalization::createDefaultNormalizer());
  c.collector->init(10);
  c.collector->endField();  // nothing open
  EXPECT_EQ(c.collector->getFieldStack().getDepth(), 0);
  EXPECT_FALSE(c.collector->isExcluding());

  c.collector->startField("", true);  // no look-up, no warning
  EXPECT_EQ(c.info.getReasonCode(), 0);
  EXPECT_TRUE(c.collector->isExcluding());
  c.collector->startField("title", false);
  EXPECT_EQ(c.info.getReasonCode(), 403);
  EXPECT_EQ(c.info.getReturnCode(), 4);
  EXPECT_EQ(c.collector->getFieldStack().top()->field, 1);
  EXPECT_FALSE(c.collector->isExcluding());
  c.text(u"x");  // collected whatever the exclusion says
  c.collector->endField();
  EXPECT_TRUE(c.collector->isExcluding());
  c.collector->endField();
  EXPECT_FALSE(c.collector->isExcluding());
  EXPECT_EQ(c.out(), "x");
  for (unsigned i = 0; i < ItlClFieldStack::DEPTH; ++i)
    c.collector->startField("", false);
  EXPECT_EQ(catchItl([&] { c.collector->startField("", false); }).reason, 39);
}

}  // namespace
