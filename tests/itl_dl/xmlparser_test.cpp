// Tests of the XML parser: events and delimiters without and with a model,
// the prolog, Expat's errors as warnings with Expat's own position,
// failures inside callbacks, the charset scan, the highlight and
// offset-mapping modes, and whole documents against tables that Python's
// xml.sax computed (tools/xml_field_oracle.py).
#include <expat.h>
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "itl_document_offset_mapper.hpp"
#include "itl_name_maps.hpp"
#include "itl_normalization.hpp"
#include "itl_text_collector.hpp"
#include "itl_xmlparser.hpp"
#include "itl_xmlp_interface.hpp"
#include "parser_fixture.hpp"

namespace {

std::string join(std::vector<std::string> const& v) {
  std::string out;
  for (auto const& s : v) out += s + "\n";
  return out;
}

// UTF-16 in host order (little-endian here) of ASCII or UTF-8 text.
std::string utf16(std::string const& utf8) {
  std::u16string u;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    uint32_t cp = c;
    size_t n = 1;
    if (c >= 0xF0) { cp = c & 7; n = 4; }
    else if (c >= 0xE0) { cp = c & 15; n = 3; }
    else if (c >= 0xC0) { cp = c & 31; n = 2; }
    for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      u += static_cast<char16_t>(0xD800 + (cp >> 10));
      u += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      u += static_cast<char16_t>(cp);
    }
    i += n;
  }
  return std::string(reinterpret_cast<char const*>(u.data()), u.size() * 2);
}

struct XmlFixture : ::testing::Test {
  ModelStore store;
  ItlClErrorInfo info;
  ItlClParserXML parser{info, store.models};

  IndexRun run(std::string const& doc, char const* model = nullptr,
               unsigned short ccsid = 1208) {
    return indexDocument(parser, info, doc, ccsid, model);
  }
};

TEST_F(XmlFixture, PathNamedFieldsWithDelimiters) {
  IndexRun r = run("<a x=\"1\"><b>t</b></a>");
  EXPECT_EQ(r.thrown.reason, -1);
  EXPECT_EQ(r.reason, 0);
  // Delimiters: after each field start, around the attribute text and
  // before each element end.
  EXPECT_EQ(r.text, "  1  t  ");
  EXPECT_EQ(join(r.fields), "/a/@x=1\n/a/b=t\n/a=1 t\n");
  std::string log = join(r.log);
  EXPECT_NE(log.find("field 2 1 4\n"), std::string::npos) << log;
  EXPECT_NE(log.find("field 3 4 7\n"), std::string::npos) << log;
  EXPECT_NE(log.find("field 1 0 8\n"), std::string::npos) << log;
}

TEST_F(XmlFixture, EmptyValuesCommentsAndInstructionsGiveNothing) {
  IndexRun r = run("<a x=\"\"><!----><?t?><?u \?></a>");
  EXPECT_EQ(r.reason, 0);
  EXPECT_EQ(r.text, "  ");
  EXPECT_EQ(join(r.fields), "/a=\n");
  // Character data has no delimiters; comments and instructions do.
  r = run("<a>x<!--c-->y<?p d?>z</a>");
  EXPECT_EQ(r.text, " x c y d z ");
  EXPECT_EQ(join(r.fields),
            "/a/comment()=c\n/a/processing-instruction(p)=d\n/a=x c y d z\n");
}

TEST_F(XmlFixture, OwnDeclarationGetsNoSecondProlog) {
  for (char const* doc :
       {"<a/>", "<?xml version='1.0'?><a/>", "\n<!-- c --><a/>"}) {
    IndexRun r = run(doc);
    EXPECT_EQ(r.reason, 0) << doc << " " << r.context;
    EXPECT_NE(std::find(r.fields.begin(), r.fields.end(), "/a="), r.fields.end())
        << doc;
  }
}

// Expat's verdict and position over what the parser feeds: the prolog when
// the document has no declaration, then the document, then a final chunk.
struct ExpatVerdict {
  XML_Error error;
  unsigned long line, column;
};

ExpatVerdict reference(std::string const& doc) {
  XML_Parser p = XML_ParserCreate("UTF-16");
  std::string units = utf16(doc);
  std::u16string u(reinterpret_cast<char16_t const*>(units.data()),
                   units.size() / 2);
  size_t i = u.find_first_not_of(u" \t\r\n");
  bool declared = i != std::u16string::npos && u.compare(i, 5, u"<?xml") == 0;
  bool ok = true;
  if (!declared) {
    std::string prolog = utf16("<?xml version=\"1.0\"?> ");
    ok = XML_Parse(p, prolog.data(), static_cast<int>(prolog.size()), 0) !=
         XML_STATUS_ERROR;
  }
  if (ok && !units.empty())
    ok = XML_Parse(p, units.data(), static_cast<int>(units.size()), 0) !=
         XML_STATUS_ERROR;
  if (ok) ok = XML_Parse(p, "", 0, 1) != XML_STATUS_ERROR;
  ExpatVerdict v{ok ? XML_ERROR_NONE : XML_GetErrorCode(p),
                 XML_GetCurrentLineNumber(p), XML_GetCurrentColumnNumber(p)};
  XML_ParserFree(p);
  return v;
}

TEST_F(XmlFixture, MalformedDocumentsAreWarningsAtExpatsPosition) {
  struct Case {
    std::string doc;
    int reason;
    std::string fieldsBefore;  // fields closed before the error
  } const cases[] = {
      {"", 611, ""},
      {"   ", 611, ""},
      {"<a>t", 611, "/a=t\n"},
      // Blanks before a declaration: fed as they are (no second prolog),
      // and Expat refuses the declaration where it stands.
      {" <?xml version='1.0'?><a/>", 610, ""},
      {" \t\r\n<?xml version='1.0'?><a/>", 610, ""},
      {"<a", 620, ""},
      // Fields open at the error are closed by the text document.
      {"<a><b>x</b>\n  </c>", 618, "/a/b=x\n/a=x\n"},
      {"<a x='1' x='2'/>", 605, ""},
      {"<a>&u;</a>", 621, "/a=\n"},
      {"<a/><b/>", 609, "/a=\n"},
      {"<a>\n<?xml version='1.0'?></a>", 610, "/a=\n"},
      {"<a><![CDATA[x</a>", 619, "/a=x</a>\n"},
  };
  for (Case const& c : cases) {
    IndexRun r = run(c.doc);
    ExpatVerdict v = reference(c.doc);
    ASSERT_NE(v.error, XML_ERROR_NONE) << c.doc;
    EXPECT_EQ(r.thrown.reason, -1) << c.doc;
    EXPECT_EQ(r.reason, static_cast<int>(
                            ItlClXmlPInterface::getItlReasonCodeForXmlPRc(v.error)))
        << c.doc;
    EXPECT_EQ(r.reason, c.reason) << c.doc;
    EXPECT_EQ(r.rc, 4) << c.doc;
    EXPECT_EQ(r.action, 100002) << c.doc;
    EXPECT_EQ(r.context, "Context: (" + std::to_string(v.line) + "," +
                             std::to_string(v.column) + ")")
        << c.doc;
    EXPECT_EQ(join(r.fields), c.fieldsBefore) << c.doc;
  }
}

TEST_F(XmlFixture, DeepNestingFailsTheDocumentAndTheNextOneParses) {
  std::string deep;
  for (int i = 0; i < 513; ++i) deep += "<e>";
  deep += "x";
  for (int i = 0; i < 513; ++i) deep += "</e>";
  IndexRun r = run(deep);
  EXPECT_EQ(r.thrown.reason, 39);
  r = run("<a>t</a>");
  EXPECT_EQ(r.thrown.reason, -1);
  EXPECT_EQ(join(r.fields), "/a=t\n");
  // 512 still fit.
  std::string fits;
  for (int i = 0; i < 512; ++i) fits += "<e>";
  for (int i = 0; i < 512; ++i) fits += "</e>";
  EXPECT_EQ(run(fits).thrown.reason, -1);
}

TEST_F(XmlFixture, ModelChoosesFieldsAndAttributes) {
  store.add("m",
            "<XMLModel>"
            "<XMLFieldDefinition name='t_$(LOCALNAME)' locator='ns:*'/>"
            "<XMLFieldDefinition name='$(NAME)' locator='comment()'/>"
            "<XMLFieldDefinition name='x' exclude='yes' locator='/doc/p'/>"
            "<XMLFieldDefinition name='pth$(PATH)' locator='b'/>"
            "<XMLAttributeDefinition name='n' type='NUMBER' locator='@n'/>"
            "<XMLAttributeDefinition name='a' type='STRING' locator='a'/>"
            "<XMLAttributeDefinition name='inner' type='STRING' locator='a/a'/>"
            "</XMLModel>");
  IndexRun r = run(
      "<doc><ns:t>T</ns:t><p>P<b>B</b><!--C--></p><i n='7'/>"
      "<a>A<a>B</a></a></doc>",
      "m");
  EXPECT_EQ(r.thrown.reason, -1) << r.thrown.context;
  // "$(NAME)" on a comment is empty: no field.
  // The excluded field keeps its own text out of the index.
  EXPECT_EQ(join(r.fields), "t_t=T\npth/doc/p/b=B\n");
  EXPECT_EQ(r.text.find('P'), std::string::npos) << r.text;
  // The nested attribute definition: warning 215, no second attribute.
  EXPECT_EQ(r.reason, 215);
  EXPECT_EQ(r.rc, 4);
  EXPECT_EQ(r.action, 100001);
  std::string log = join(r.log);
  EXPECT_NE(log.find("item 1 N 7"), std::string::npos) << log;
}

TEST_F(XmlFixture, CharsetScan) {
  struct Case {
    std::string bytes;
    unsigned short ccsid;
  } const cases[] = {
      {"<?xml version=\"1.0\" encoding=\"iso-8859-2\"?><a/>", 912},
      {"<?xml version=\"1.0\" encoding=\"ibm-1252\"?><a/>", 1252},
      {"<?xml version=\"1.0\" encoding=\"UTF8\"?><a/>", 1208},
      {"<?xml version=\"1.0\" encoding=\"Latin-1\"?>", 819},
      {"<?xml version=\"1.0\" encoding='iso-8859-2'?><a/>", 819},
      {"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>", 819},
      {"<?xml version=\"1.0\" encoding=\"latin-1\"?><a/>", 819},
      {"<a>x</a><?xml version=\"1.0\" encoding=\"iso-8859-2\"?>", 819},
      {"<?xml version=\"1.0\" encoding=\"iso-8859-2\"", 819},
      {std::string(500, ' ') + "<?xml version=\"1.0\" encoding=\"iso-8859-2\"?>",
       819},
      {std::string(480, ' ') + "<?xml encoding=\"iso-8859-2\"?>", 912},
      {std::string(20, '\xC1') + "\xC2\xC3", 500},
      {"\xEF\xBB\xBF<a/>", 1208},
      {"\xFF\xFE<\0a\0/\0>\0", 1200},
      {std::string("\xFE\xFF\0<\0a\0/\0>", 8), 1200},
      {"", 500},
  };
  for (Case const& c : cases) {
    ExactBytes bytes(c.bytes);
    unsigned short ccsid = 0;
    parser.scanHeaderInformationCCSID(bytes.data(), bytes.size(), ccsid);
    EXPECT_EQ(ccsid, c.ccsid) << c.bytes;
  }
  // Every name of the table gives its CCSID.
  ItlClParserXML::EncodingRow const* rows = ItlClParserXML::getEncodingMap();
  for (unsigned i = 0; i < ItlClParserXML::kEncodingCount; ++i) {
    std::string decl =
        std::string("<?xml version=\"1.0\" encoding=\"") + rows[i].name + "\"?>";
    ExactBytes bytes(decl);
    unsigned short ccsid = 0;
    parser.scanHeaderInformationCCSID(bytes.data(), bytes.size(), ccsid);
    EXPECT_EQ(ccsid, rows[i].ccsid) << rows[i].name;
  }
}

TEST(ParserXmlTable, VendorAliasesAreIcusSpelling) {
  ItlClParserXML::EncodingRow const* rows = ItlClParserXML::getEncodingMap();
  int vendor = 0;
  for (unsigned i = 0; i < ItlClParserXML::kEncodingCount; ++i) {
    std::string name = rows[i].name;
    if (name.compare(0, 4, "ibm-") != 0) continue;
    ++vendor;
    EXPECT_EQ(name, "ibm-" + std::to_string(rows[i].ccsid));
    UErrorCode status = U_ZERO_ERROR;
    uint16_t n = ucnv_countAliases(name.c_str(), &status);
    ASSERT_TRUE(U_SUCCESS(status)) << name;
    bool listed = false;
    for (uint16_t k = 0; k < n; ++k) {
      status = U_ZERO_ERROR;
      char const* alias = ucnv_getAlias(name.c_str(), k, &status);
      if (alias != nullptr && name == alias) listed = true;
    }
    EXPECT_TRUE(listed) << name << " is not spelled as ICU spells it";
  }
  EXPECT_EQ(vendor, 24);
}

TEST_F(XmlFixture, ByteOrderMarksWithoutCcsid) {
  IndexRun plain = run("<a>t\xC3\xA9</a>");
  IndexRun marked = run("\xEF\xBB\xBF<a>t\xC3\xA9</a>", nullptr, 0);
  EXPECT_EQ(marked.reason, 0) << marked.context;
  EXPECT_EQ(marked.fields, plain.fields);
  IndexRun wide = run("\xFF\xFE" + utf16("<a>t\xC3\xA9</a>"), nullptr, 0);
  EXPECT_EQ(wide.reason, 0) << wide.context;
  EXPECT_EQ(wide.fields, plain.fields);
  // A declaration behind the mark is still the document's own.
  IndexRun declared =
      run("\xEF\xBB\xBF<?xml version='1.0'?><a>t\xC3\xA9</a>", nullptr, 0);
  EXPECT_EQ(declared.reason, 0) << declared.context;
  EXPECT_EQ(declared.fields, plain.fields);
}

// A mapper that records every call.
ItlClHitlist const& noHits() {
  static ItlClHitlist const hits(0);
  return hits;
}

struct RecordingMapper : ItlClDocumentOffsetMapper {
  std::vector<std::string> calls;
  RecordingMapper() : ItlClDocumentOffsetMapper(noHits()) {}
  ItlEnDocumentFormat getDocumentFormat() const override {
    return ItlEnDocumentFormat_Xml;
  }
  void setSourceBuffer(char const*, unsigned int bytes) override {
    calls.push_back("source " + std::to_string(bytes));
  }
  void setPrologLength(unsigned int units) override {
    calls.push_back("prolog " + std::to_string(units));
  }
  void startElement(unsigned i, unsigned n, char const* name, char const**) override {
    calls.push_back("start " + pos(i, n) + name);
  }
  void endElement(unsigned i, unsigned n, char const* name) override {
    calls.push_back("end " + pos(i, n) + name);
  }
  void characterData(unsigned i, unsigned n, char const* t, int len) override {
    calls.push_back("chars " + pos(i, n) + std::string(t, len));
  }
  void processingInstruction(unsigned i, unsigned n, char const* t,
                             char const* d) override {
    calls.push_back("pi " + pos(i, n) + t + " " + d);
  }
  void comment(unsigned i, unsigned n, char const* t) override {
    calls.push_back("comment " + pos(i, n) + t);
  }
  void processText(unsigned i, unsigned n, unsigned short const*, unsigned b) override {
    calls.push_back("text " + pos(i, n) + std::to_string(b));
  }
  void processOther(unsigned i, unsigned n, unsigned short const*, unsigned b) override {
    calls.push_back("other " + pos(i, n) + std::to_string(b));
  }
  void startField(char const* name, bool) override { calls.push_back(std::string("field ") + name); }
  void endField() override { calls.push_back("endfield"); }
  void addDelimiter() override { calls.push_back("delim"); }
  static std::string pos(unsigned i, unsigned n) {
    return std::to_string(i) + "+" + std::to_string(n) + " ";
  }
};

TEST_F(XmlFixture, OffsetMappingReportsExpatsPositions) {
  CosClMemoryPool scanPool(4096, 4096, 16);
  auto map = [&](std::string const& doc) {
    RecordingMapper mapper;
    ItlClDocumentInputScanner scanner;
    scanner.setInputText(scanPool, doc.data(), static_cast<unsigned>(doc.size()),
                         CosClCCSID(1208));
    parser.startDocument(ItlEnParserModus_OffsetMapping, nullptr, nullptr, &mapper,
                         nullptr);
    parser.processDocument(scanner);
    parser.endDocument();
    return join(mapper.calls);
  };
  // Positions count the 44 prolog bytes fed first.
  EXPECT_EQ(map("<a x='1'>t<!--c--></a>"),
            "prolog 22\nsource 44\nstart 44+18 a\nfield /a\ndelim\n"
            // The attribute and the comment in fields of their own, as
            // when indexing.
            "field /a/@x\ndelim\nother 44+18 2\ndelim\nendfield\n"
            "chars 62+2 t\ntext 62+2 2\n"
            "comment 64+16 c\nfield /a/comment()\ndelim\nother 64+16 2\n"
            "delim\nendfield\n"
            "end 80+8 a\ndelim\nendfield\n");
  // Its own declaration: no prolog, positions from the document's start.
  EXPECT_EQ(map("<?xml version='1.0'?><a/>"),
            "source 50\nstart 42+8 a\nfield /a\ndelim\nend 50+0 a\ndelim\n"
            "endfield\n");
}

TEST_F(XmlFixture, HighlightGetsTextBetweenDelimiters) {
  ItlClIndexLocation location("idx", "/nonexistent");
  ItlClFieldNameMap names(location, info);
  ItlClNormalization* norm = ItlClNormalization::createDefaultNormalizer();
  std::string doc = "<a x='1'>t<!--c--><?p d?></a>";
  ItlClTextCollector collector(names, *norm);
  collector.init(static_cast<unsigned>(doc.size()));
  CosClMemoryPool scanPool(4096, 4096, 16);
  ItlClDocumentInputScanner scanner;
  scanner.setInputText(scanPool, doc.data(), static_cast<unsigned>(doc.size()),
                       CosClCCSID(1208));
  parser.startDocument(ItlEnParserModus_Highlight, nullptr, &collector, nullptr,
                       nullptr);
  parser.processDocument(scanner);
  parser.endDocument();
  EXPECT_EQ(std::string(collector.getOutputBuffer(), collector.getBytesUsed()),
            "  1 t c  d  ");
  // Only the element's field was opened, and it is closed again.
  EXPECT_EQ(collector.getFieldStack().getDepth(), 0);
  ItlClNormalization::destroyNormalizer(norm);
}

// The text collector gets the text the index gets, delimiters included:
// text of excluded fields (elements, attribute values, comments,
// instructions) is left out of both, so that positions agree.
TEST_F(XmlFixture, HighlightCollectsWhatTheIndexGets) {
  store.add("ex",
            "<XMLModel>"
            "<XMLFieldDefinition name='t' locator='t'/>"
            "<XMLFieldDefinition name='c' exclude='yes' locator='comment()'/>"
            "<XMLFieldDefinition name='k' exclude='yes' locator='@k'/>"
            "<XMLFieldDefinition name='p' exclude='yes' "
            "locator='processing-instruction()'/>"
            "<XMLFieldDefinition name='s' exclude='yes' locator='s'/>"
            "</XMLModel>");
  store.add("in",
            "<XMLModel>"
            "<XMLFieldDefinition name='s' exclude='yes' locator='s'/>"
            "<XMLFieldDefinition name='c' locator='s/comment()'/>"
            "<XMLFieldDefinition name='k' locator='s/@k'/>"
            "</XMLModel>");
  std::string const doc =
      "<a k='v w'><t k='x'>one<!--two-->three<?pi four?></t>"
      "<s k='y'>five<!--six--></s>seven</a>";
  ItlClIndexLocation location("idx", "/nonexistent");
  ItlClFieldNameMap names(location, info);
  ItlClNormalization* norm = ItlClNormalization::createDefaultNormalizer();
  CosClMemoryPool scanPool(4096, 4096, 16);
  for (char const* model : {static_cast<char const*>(nullptr), "ex", "in"}) {
    std::string const label = model != nullptr ? model : "(none)";
    IndexRun indexed = run(doc, model);
    ASSERT_EQ(indexed.thrown.reason, -1) << label;
    ItlClTextCollector collector(names, *norm);
    collector.init(static_cast<unsigned>(doc.size()));
    ItlClDocumentInputScanner scanner;
    scanner.setInputText(scanPool, doc.data(),
                         static_cast<unsigned>(doc.size()), CosClCCSID(1208));
    parser.startDocument(ItlEnParserModus_Highlight, nullptr, &collector,
                         nullptr, model);
    parser.processDocument(scanner);
    parser.endDocument();
    EXPECT_EQ(std::string(collector.getOutputBuffer(),
                          collector.getBytesUsed()),
              indexed.text)
        << label;
    EXPECT_EQ(collector.getFieldStack().getDepth(), 0) << label;
  }
  ItlClNormalization::destroyNormalizer(norm);
}

// ---------------------------------------------------------------------------
// Whole documents against the xml.sax tables.

uint64_t fnv64(std::string const& s) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (unsigned char c : s) {
    h ^= c;
    h *= 0x100000001B3ull;
  }
  return h;
}

struct OracleTable {
  size_t size = 0;
  uint64_t hash = 0;
  std::string lines;  // "name\tcount\tsum\n", sorted
};

std::map<std::string, OracleTable> readTables(std::string const& file) {
  std::map<std::string, OracleTable> out;
  std::ifstream in(std::string(TI_TEST_DATA) + "/xml/" + file);
  std::string line, current;
  while (std::getline(in, line)) {
    if (line.compare(0, 2, "# ") == 0) {
      std::istringstream h(line.substr(2));
      std::string hex;
      h >> current;
      h >> out[current].size >> hex;
      out[current].hash = std::stoull(hex, nullptr, 16);
    } else {
      out[current].lines += line + "\n";
    }
  }
  return out;
}

// The run's fields (and, with `items`, attribute items) as table lines.
std::string tableOf(IndexRun const& r, std::map<std::string, std::pair<int, uint64_t>> items) {
  std::map<std::string, std::pair<int, uint64_t>> fields;
  for (std::string const& f : r.fields) {
    size_t eq = f.find('=');
    auto& e = fields[f.substr(0, eq)];
    ++e.first;
    e.second += fnv64(f.substr(eq + 1));
  }
  std::string out;
  char sum[32];
  for (auto const& e : fields) {
    std::snprintf(sum, sizeof sum, "%016llx",
                  static_cast<unsigned long long>(e.second.second));
    out += e.first + "\t" + std::to_string(e.second.first) + "\t" + sum + "\n";
  }
  for (auto const& e : items) {
    std::snprintf(sum, sizeof sum, "%016llx",
                  static_cast<unsigned long long>(e.second.second));
    out += "item " + e.first + "\t" + std::to_string(e.second.first) + "\t" + sum + "\n";
  }
  return out;
}

// The document `name` at `path` (a system file or a fixture), or "" and a
// reason to skip when it is absent or not the one the table was made from.
std::string documentFor(std::string const& path, OracleTable const& t,
                        std::string& why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    why = path + " is absent";
    return "";
  }
  std::string bytes((std::istreambuf_iterator<char>(in)),
                    std::istreambuf_iterator<char>());
  if (bytes.size() != t.size || fnv64(bytes) != t.hash) {
    why = path + " differs from the one the table was made from";
    return "";
  }
  return bytes;
}

struct Document {
  char const* name;
  std::string path;
};

std::vector<Document> oracleDocuments() {
  return {{"mixed", std::string(TI_TEST_DATA) + "/xml/mixed.xml"},
          {"fonts.conf", "/etc/fonts/fonts.conf"},
          {"iso_3166-1.xml", "/usr/share/xml/iso-codes/iso_3166-1.xml"},
          {"freedesktop.org.xml", "/usr/share/mime/packages/freedesktop.org.xml"}};
}

TEST_F(XmlFixture, WholeDocumentsWithoutModelAgreeWithXmlSax) {
  auto tables = readTables("oracle_nomodel.txt");
  ASSERT_TRUE(tables.count("mixed"));
  for (Document const& d : oracleDocuments()) {
    SCOPED_TRACE(d.name);
    if (!tables.count(d.name)) continue;
    std::string why;
    std::string bytes = documentFor(d.path, tables[d.name], why);
    if (bytes.empty()) {
      std::cout << "skipped: " << why << "\n";
      continue;
    }
    IndexRun r = run(bytes);
    EXPECT_EQ(r.thrown.reason, -1) << r.thrown.context;
    EXPECT_EQ(r.reason, 0) << r.context;
    EXPECT_EQ(tableOf(r, {}), tables[d.name].lines);
    if (std::string(d.name) == "fonts.conf") {
      // With a UTF-8 mark and no CCSID: the same.
      IndexRun marked = run("\xEF\xBB\xBF" + bytes, nullptr, 0);
      EXPECT_EQ(marked.reason, 0) << marked.context;
      EXPECT_EQ(marked.fields, r.fields);
    }
  }
}

TEST_F(XmlFixture, WholeDocumentsUnderAModelAgreeWithXmlSax) {
  store.add("fd",
            "<XMLModel>"
            "<XMLFieldDefinition name='c_$(LOCALNAME)' locator='comment'/>"
            "<XMLAttributeDefinition name='lang' type='STRING' locator='@xml:lang'/>"
            "<XMLFieldDefinition name='mt_rel' locator='mime-type'/>"
            "<XMLFieldDefinition name='mt_abs' locator='//mime-type'/>"
            "</XMLModel>");
  auto tables = readTables("oracle_model.txt");
  ASSERT_TRUE(tables.count("mixed"));
  for (Document const& d : oracleDocuments()) {
    SCOPED_TRACE(d.name);
    if (!tables.count(d.name)) continue;
    std::string why;
    std::string bytes = documentFor(d.path, tables[d.name], why);
    if (bytes.empty()) {
      std::cout << "skipped: " << why << "\n";
      continue;
    }
    RecordingPort port;
    IndexRun r = run(bytes, "fd");
    EXPECT_EQ(r.thrown.reason, -1) << r.thrown.context;
    EXPECT_EQ(r.reason, 0) << r.context;
    std::map<std::string, std::pair<int, uint64_t>> items;
    for (std::string const& line : r.log) {
      // "item <number> C <value> <bytes>": the model's one attribute is 1.
      if (line.compare(0, 9, "item 1 C ") != 0) continue;
      auto& e = items["lang"];
      ++e.first;
      e.second += fnv64(collapse(line.substr(line.find(' ', 9) + 1)));
    }
    EXPECT_EQ(tableOf(r, items), tables[d.name].lines);
  }
}

}  // namespace
