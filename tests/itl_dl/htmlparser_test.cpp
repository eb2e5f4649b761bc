// The HTML parser through the real text document into a recording port:
// one table of documents and what the index receives (text with one blank
// per delimiter, fields by name with their UTF-8 range, segments,
// warnings), the entity table against Python's html.entities, the charset
// scan, and the factory's handling of HTML.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "dl_test_util.hpp"
#include "cos_converter.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_html_entity_table.hpp"
#include "itl_htmlparser.hpp"
#include "itl_index_location.hpp"
#include "itl_parser.hpp"
#include "itl_tldocument.hpp"
#include "ti_test_util.hpp"
#include "ti_tl_port.hpp"


namespace {

// A store holding one HTML model, the default, or none.
struct Store {
  TempDir dir{"htmlp"};
  ItlClIndexLocation location{"idx", dir.path().c_str()};
  ItlClErrorInfo info;
  ItlClDocumentModels models{location, info};
  explicit Store(std::string const& model = "") {
    models.onIndexFileCreate();
    if (!model.empty()) {
      models.add("m", model.data(), static_cast<unsigned>(model.size()));
      models.setDefaultModel("m", ItlEnDocumentFormat_Html);
    }
  }
};

std::string const kModel =
    "<HTMLModel>"
    "<HTMLFieldDefinition name='head' tag='h1'/>"
    "<HTMLAttributeDefinition name='anchor' type='STRING' tag='a'/>"
    "<HTMLFieldDefinition name='desc' tag='meta' meta-qualifier='description'/>"
    "</HTMLModel>";

void collectWarning(void* errorInfo, void* userData) {
  auto* info = static_cast<ItlClErrorInfo*>(errorInfo);
  auto* out = static_cast<std::string*>(userData);
  if (!out->empty()) *out += "|";
  *out += std::to_string(info->getReasonCode());
  if (info->getContext()[0] != 0) *out += " " + std::string(info->getContext());
}

// What the index received for one document.
struct Parsed {
  std::string text;
  std::string fields;    // "name[start,end) " per boundary, port order
  std::string segments;  // "position " per segment change
  std::string warnings;  // "reason context|..."
};

Parsed parse(ItlClDocumentModels const& models, std::string const& html,
             unsigned short ccsid = 1208, char const* modelName = nullptr) {
  RecordingPort port;
  Parsed out;
  port.errorInfo.setCallback(collectWarning, &out.warnings);
  CosClMemoryPool pool(65536, 65536, 256);
  ItlClTlDocument doc(port);
  doc.init(pool);
  TestDocumentId id("d", 0);
  doc.startDocument(id, CosClCCSID(ccsid == 1208 ? 1208 : ccsid),
                    CosClLanguage("en"));
  ItlClDocumentInputScanner scanner;
  ExactBytes bytes(html);
  scanner.setInputText(pool, bytes.data(), bytes.size(), CosClCCSID(ccsid));
  ItlClParserHTML parser(port.errorInfo, models);
  parser.startDocument(ItlEnParserModus_Index, &doc, nullptr, nullptr,
                       modelName);
  parser.processDocument(scanner);
  parser.endDocument();
  doc.endDocument();
  out.text = port.text;
  std::map<unsigned short, std::string> names;
  for (auto const& [name, number] : port.fieldMap) names[number] = name;
  for (auto const& f : port.fields)
    out.fields += names[f.field] + "[" + std::to_string(f.start) + "," +
                  std::to_string(f.end) + ") ";
  for (auto const& line : port.log)
    if (line.rfind("segment ", 0) == 0)
      out.segments += line.substr(line.rfind(' ') + 1) + " ";
  return out;
}

struct Row {
  char const* what;
  std::string html;
  bool model;
  std::string text, fields, segments, warnings;
};

TEST(ParserHTML, WhatTheIndexReceives) {
  Store none;
  Store withModel(kModel);
  Row const rows[] = {
      {"empty tag is text", "<>", false, "<>", "", "", ""},
      {"title lowered", "< TITLE >Hello</title>", false, " Hello ",
       "title[1,7) ", "", ""},
      {"model without title", "<title>A</title>", true, " A ", "", "", ""},
      {"a ends h1", "<h1>X<a href=y>Z</a></h1>", false, " X Z  ",
       "h1[1,2) a[3,5) ", "", ""},
      {"model maps h1 and a", "<h1>X<a href=y>Z</a></h1>", true, " X Z  ",
       "head[1,2) ", "", ""},
      {"paragraph ends the field", "<h2>a<p>b", false, " ab", "h2[1,2) ",
       "2 ", ""},
      {"spacer, bold, style, script",
       "a<spacer>b<b>c</b><style>s</style><script>x</script>", false,
       "a bcsx", "", "", ""},
      {"del excludes", "<del>old</del>new", false, "  new", "", "", ""},
      {"comment ends at the first >", "<!-- a > b -->", false, " b -->", "",
       "", ""},
      {"bare ampersand", "Fish & Chips <b>x</b> and more", false,
       "Fish & Chips x and more", "", "", ""},
      {"entities", "&amp;&AMP;&#65;&#0;&#x41;", false, "&&AMP;A&#0;&#x41;",
       "", "", "632 Entity: &AMP;|632 Entity: x"},
      {"above 16 bits", "&#65601;&#1114112;&#55296;", false,
       "\xF0\x90\x81\x81\xEF\xBF\xBD\xEF\xBF\xBD", "", "", ""},
      {"18-unit reference", "&abcdefghijklmnop;", false,
       "&abcdefghijklmnop;", "", "", ""},
      {"meta without model", "<meta name=\"description\" content=\"caf&eacute;\">",
       false, "description caf&eacute; ", "", "", ""},
      {"meta with model", "<meta name=\"description\" content=\"caf&eacute;\">",
       true, "caf\xC3\xA9 ", "desc[0,6) ", "", ""},
      {"mixed-case meta is a tag", "<Meta name=x content=y>z", false, "z", "",
       "", ""},
      {"lone charset", "<meta charset=\"utf-8\">t", false, "t", "", "",
       "631"},
      {"quoted > in meta", "<meta name=\"a>b\" content=\"c\">", false,
       "b\" content=\"c\">", "", "", "631"},
      {"meta then tab", "<meta\tname=x content=y>z", false, "z", "", "", ""},
      {"ends inside a tag", "a<title", false, "a<title", "", "", ""},
      {"ends inside meta", "a<meta name=x", false, "a<meta name=x", "", "",
       ""},
      {"ends inside a reference", "a&amp", false, "a&amp", "", "", ""},
      {"tag name ends at LF", "<H1\nCLASS=x>T</H1>", false, " T ", "h1[1,3) ",
       "", ""},
      {"lone surrogates", std::string("x\xED\xA0\x80", 1), false, "x", "", "",
       ""},
  };
  for (Row const& r : rows) {
    Parsed p = parse(r.model ? withModel.models : none.models, r.html);
    EXPECT_EQ(p.text, r.text) << r.what;
    EXPECT_EQ(p.fields, r.fields) << r.what;
    EXPECT_EQ(p.segments, r.segments) << r.what;
    EXPECT_EQ(p.warnings, r.warnings) << r.what;
  }
}

// UTF-8 of one code point.
std::string utf8(unsigned cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | (cp >> 6));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | (cp >> 12));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

TEST(ParserHTML, EntityTableRisesStrictly) {
  ItlStHtmlEntityMapEntry const* rows = ItlClHtmlEntityTable::getRows();
  for (unsigned i = 1; i < ItlClHtmlEntityTable::kRowCount; ++i)
    EXPECT_LT(std::u16string(rows[i - 1].name), std::u16string(rows[i].name))
        << i;
}

TEST(ParserHTML, EveryEntityOfHtml401GivesItsCodePoint) {
  // name2codepoint of Python's html.entities, written by
  // tools/gen_html_entities.
  std::ifstream in(std::string(TI_TEST_DATA) + "/html_entities.txt");
  ASSERT_TRUE(in.good());
  std::string name, document, expected;
  unsigned cp = 0;
  unsigned count = 0;
  while (in >> name >> cp) {
    document += "&" + name + ";|";
    expected += utf8(cp) + "|";
    ++count;
  }
  EXPECT_EQ(count, 252u);
  Store none;
  Parsed p = parse(none.models, document);
  EXPECT_EQ(p.text, expected);
  EXPECT_EQ(p.warnings, "");
  // A near miss in case is no entity.
  EXPECT_EQ(parse(none.models, "&Amp;&NBSP;&thetaSym;").warnings,
            "632 Entity: &Amp;|632 Entity: &NBSP;|632 Entity: &thetaSym;");
}

TEST(ParserHTML, CharsetOfTheFirstMetaWithinTheFirst512Bytes) {
  Store none;
  ItlClParserHTML parser(none.info, none.models);
  auto scan = [&](std::string const& bytes) {
    ExactBytes b(bytes);
    unsigned short ccsid = 0;
    parser.scanHeaderInformationCCSID(b.data(), b.size(), ccsid);
    return ccsid;
  };
  std::string const meta =
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=";
  struct Case {
    std::string doc;
    unsigned short ccsid;
  } const cases[] = {
      {meta + "iso-8859-2\">", 912},
      {meta + "iso-8859-1\">", 819},
      {meta + "iso-8859-5\">", 915},
      {meta + "iso-8859-6\">", 1089},
      {meta + "iso-8859-7\">", 813},
      {meta + "iso-8859-2>", 912},
      {std::string(500, 'x') + meta + "iso-8859-2\">", 819},  // after 512
      {meta + "ISO-8859-2\">", 819},
      {meta + "utf-8\">", 819},
      {meta + "iso-8859-2\"/>", 819},
      {"<META content=\"charset=iso-8859-2\">", 819},
      // An ASCII "<meta" without charset: no EBCDIC search, the guess.
      {"<meta name=x>" + std::string(20, '\xC1'), 500},
  };
  for (auto const& c : cases) EXPECT_EQ(scan(c.doc), c.ccsid) << c.doc;

  // The same header in CCSID 500.
  std::string ascii = meta + "iso-8859-2\">";
  CosClCodePage2CodePageConverter toEbcdic(CosClCCSID(819), CosClCCSID(500));
  std::string ebcdic(ascii.size() * 2, '\0');
  unsigned n = toEbcdic.convertBytes(&ebcdic[0], static_cast<unsigned>(ebcdic.size()),
                                     ascii.data(), static_cast<unsigned>(ascii.size()));
  ebcdic.resize(n);
  EXPECT_EQ(scan(ebcdic), 912);
  EXPECT_EQ(scan(""), 500);
}

TEST(ParserHTML, TheFactoryHandsOutHtmlAndTextParsers) {
  Store none;
  ItlClParserFactory factory;
  ItlClParserABase* text = nullptr;
  ASSERT_TRUE(factory.selectParser(none.info, ItlEnDocumentFormat_Text, "",
                                   none.models, text));
  ItlClParserABase* html = nullptr;
  ASSERT_TRUE(factory.selectParser(none.info, ItlEnDocumentFormat_Html, "",
                                   none.models, html));
  ASSERT_NE(html, nullptr);
  EXPECT_EQ(html->getDocumentFormat(), ItlEnDocumentFormat_Html);
  EXPECT_EQ(factory.getCurrentParser(), html);
  // A value that is no format keeps the current parser.
  for (int f : {0, 99999, 100005}) {
    ItlClParserABase* p = html;
    EXPECT_FALSE(factory.selectParser(none.info, static_cast<ItlEnDocumentFormat>(f),
                                      "", none.models, p));
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(factory.getCurrentParser(), html);
  }
  // An unknown model name fails the document's start.
  EXPECT_EQ(catchItl([&] {
              html->startDocument(ItlEnParserModus_Index, nullptr, nullptr,
                                  nullptr, "nope");
            }).reason,
            202);
  // Other modes produce nothing and read the whole text.
  CosClMemoryPool pool(4096, 4096, 16);
  ItlClDocumentInputScanner scanner;
  std::string doc = "<title>x</title>&amp;";
  scanner.setInputText(pool, doc.data(), static_cast<unsigned>(doc.size()),
                       CosClCCSID(1208));
  html->startDocument(ItlEnParserModus_Highlight, nullptr, nullptr, nullptr,
                      nullptr);
  html->processDocument(scanner);
  html->endDocument();
  unsigned int rest = 1;
  EXPECT_EQ(scanner.getNextBuffer(rest), nullptr);
  unsigned short title[] = {'t', 'i', 't', 'l', 'e', 0};
  unsigned short b[] = {'b', 0};
  EXPECT_TRUE(ItlClParserHTML::isHTMLFieldTag(title));
  EXPECT_FALSE(ItlClParserHTML::isHTMLFieldTag(b));
}

uint64_t fnv(std::string const& bytes) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  return h;
}

std::string hex(uint64_t v) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
  return buf;
}

// base-passwd's users-and-groups.html and 40 python3.11-doc pages against
// an independent model of the parser and the text document
// (tools/gen_html_oracle), by digests of the indexed text, the field
// boundaries and the segment positions. Pages that are missing or differ
// from the ones the fixture was made from are skipped.
TEST(ParserHTML, RealPagesEqualTheOracle) {
  std::ifstream in(std::string(TI_TEST_DATA) + "/html_real.txt");
  ASSERT_TRUE(in.good());
  Store none;
  std::string line;
  unsigned compared = 0;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string path, inHash, textHash, fieldHash, segHash;
    size_t inBytes = 0, textBytes = 0, fieldCount = 0, segCount = 0;
    fields >> path >> inBytes >> inHash >> textBytes >> textHash >>
        fieldCount >> fieldHash >> segCount >> segHash;
    std::string data = readFile(path);
    if (data.size() != inBytes || hex(fnv(data)) != inHash) continue;
    RecordingPort port;
    CosClMemoryPool pool(65536, 65536, 256);
    ItlClTlDocument doc(port);
    doc.init(pool);
    TestDocumentId id("d", 0);
    doc.startDocument(id, CosClCCSID(1208), CosClLanguage("en"));
    ItlClDocumentInputScanner scanner;
    scanner.setInputText(pool, data.data(), static_cast<unsigned>(data.size()),
                         CosClCCSID(1208));
    ItlClParserHTML parser(port.errorInfo, none.models);
    parser.startDocument(ItlEnParserModus_Index, &doc, nullptr, nullptr,
                         nullptr);
    parser.processDocument(scanner);
    parser.endDocument();
    doc.endDocument();
    std::map<unsigned short, std::string> names;
    for (auto const& [name, number] : port.fieldMap) names[number] = name;
    std::string boundaries, segments;
    for (auto const& f : port.fields)
      boundaries += names[f.field] + " " + std::to_string(f.start) + " " +
                    std::to_string(f.end) + "\n";
    unsigned segs = 0;
    for (auto const& l : port.log)
      if (l.rfind("segment ", 0) == 0) {
        segments += l.substr(l.rfind(' ') + 1) + "\n";
        ++segs;
      }
    EXPECT_EQ(port.text.size(), textBytes) << path;
    EXPECT_EQ(hex(fnv(port.text)), textHash) << path;
    EXPECT_EQ(port.fields.size(), fieldCount) << path;
    EXPECT_EQ(hex(fnv(boundaries)), fieldHash) << path << "\n" << boundaries;
    EXPECT_EQ(segs, segCount) << path;
    EXPECT_EQ(hex(fnv(segments)), segHash) << path;
    if (path.find("users-and-groups") != std::string::npos) {
      // Upper-case tags open lower-case fields (h1 and h3 hold only an
      // anchor, whose start ends them before any text).
      for (char const* name : {"title", "h1", "h3", "a"})
        EXPECT_EQ(port.fieldMap.count(name), 1u) << name;
      EXPECT_EQ(port.fieldMap.size(), 4u);
      EXPECT_EQ(port.text.find("NAME="), std::string::npos);
    }
    ++compared;
  }
  if (compared == 0) GTEST_SKIP() << "base-passwd and python3.11-doc absent";
}

}  // namespace
