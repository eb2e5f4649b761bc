// The HTML parser through the real text document into a recording port:
// one table of documents and what the index receives (text with one blank
// per delimiter, fields by name with their UTF-8 range, segments,
// warnings), the entity table against Python's html.entities, the charset
// scan, and the factory's handling of HTML.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dl_test_util.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_htmlparser.hpp"
#include "itl_index_location.hpp"
#include "itl_parser.hpp"
#include "itl_tldocument.hpp"
#include "ti_test_util.hpp"
#include "ti_tl_port.hpp"

#ifndef TI_SOURCE_DIR
#define TI_SOURCE_DIR "."
#endif

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

}  // namespace
