// The text document: field rules, attributes, exclusion, the empty-document
// warning, reset, the stack limit, tracing, and Thai text.
#include <gtest/gtest.h>
#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cos_memmgr.hpp"
#include "cos_trace.hpp"
#include "itl_normalization.hpp"
#include "itl_tldocument.hpp"
#include "ti_test_util.hpp"
#include "ti_thai_text.hpp"
#include "ti_tl_port.hpp"

namespace {

std::u16string fromUtf8(std::string const& s) {
  std::u16string out(s.size() + 1, u'\0');
  int32_t n = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(reinterpret_cast<UChar*>(&out[0]), static_cast<int32_t>(out.size()), &n,
                s.data(), static_cast<int32_t>(s.size()), &status);
  out.resize(static_cast<size_t>(n));
  return out;
}

// A text document over a recording port and a pool of its own.
struct Doc {
  RecordingPort port;
  CosClMemoryPool pool{65536, 65536, 256};
  ItlClTlDocument doc{port};
  TestDocumentId id{"doc", 0};

  Doc() { doc.init(pool); }
  void start(char const* language = "en") {
    pool.deleteAll();
    doc.startDocument(id, CosClCCSID(1208), CosClLanguage(language));
  }
  void text(std::u16string const& t) {
    doc.addText(reinterpret_cast<unsigned short const*>(t.data()),
                static_cast<unsigned>(t.size()));
  }
  // Runs a script of blank-separated events:
  //   {A  field A     {!A  excluded field A    {  {!  nameless fields
  //   }   endField    'xy  text "xy"           |   delimiter
  //   @s:n @S:n @n:n @d:n  attribute n: string, string not text-indexed,
  //                        number, date;  @.  endAttribute
  //   #3  segment 3
  void run(std::string const& script) {
    std::istringstream in(script);
    std::string token;
    while (in >> token) {
      if (token[0] == '{') {
        bool exclude = token.size() > 1 && token[1] == '!';
        doc.startField(token.c_str() + (exclude ? 2 : 1), exclude);
      } else if (token == "}") {
        doc.endField();
      } else if (token[0] == '\'') {
        text(fromUtf8(token.substr(1)));
      } else if (token == "|") {
        doc.addDelimiter();
      } else if (token == "@.") {
        doc.endAttribute();
      } else if (token[0] == '@') {
        names.push_back(token.substr(3));
        char kind = token[1];
        ItlEnAttributeType type = kind == 'n'   ? ItlEnAttributeType_Number
                                  : kind == 'd' ? ItlEnAttributeType_Date
                                                : ItlEnAttributeType_String;
        doc.startAttribute(names.back().c_str(), type, kind == 'S');
      } else if (token[0] == '#') {
        doc.nextSegment(static_cast<unsigned short>(std::stoi(token.substr(1))));
      } else {
        FAIL() << "bad token " << token;
      }
    }
  }
  std::string fieldsText() const {
    std::string s;
    for (RecordedField const& f : port.fields)
      s += "(" + std::to_string(f.field) + " " + std::to_string(f.start) + " " +
           std::to_string(f.end) + ")";
    return s;
  }
  std::list<std::string> names;  // attribute names outlive their attribute
};

TEST(TlDocument, FieldRules) {
  struct Row {
    char const* script;
    char const* text;    // what reaches the port
    char const* fields;  // (number start end)...
    int fieldNames;      // entries of the field map
  };
  Row const rows[] = {
      {"{A 'ab {A 'cd } 'ef }", "abcdef", "(1 0 6)", 1},
      {"{!A 'ab {A 'cd } 'ef }", "cd", "(1 0 2)", 1},
      {"{ 'ab }", "ab", "", 0},
      {"{! 'ab } 'cd", "cd", "", 0},
      {"} 'ab", "ab", "", 0},
      {"{!A 'x } } 'ab", "ab", "", 1},
      {"{!A 'a {B 'b } 'c }", "b", "(2 0 1)", 2},
      {"{A }", "", "", 1},
      {"{A 'a {B } 'b }", "ab", "(1 0 2)", 2},
      {"'x {A 'a | 'b } #4 'c", "xa bc", "(1 1 4)", 1},
      {"{A 'é }", "é", "(1 0 2)", 1},
      {"{A 'a {B 'b {A 'c } } }", "abc", "(2 1 3)(1 0 3)", 2},
      {"{A 'a {B 'b", "ab", "(2 1 2)(1 0 2)", 2},  // closed by endDocument
  };
  for (Row const& r : rows) {
    SCOPED_TRACE(r.script);
    Doc d;
    d.start();
    d.run(r.script);
    d.doc.endDocument();
    EXPECT_EQ(d.port.text, r.text);
    EXPECT_EQ(d.fieldsText(), r.fields);
    EXPECT_EQ(static_cast<int>(d.port.fieldMap.size()), r.fieldNames);
    EXPECT_EQ(d.doc.getFieldStack().getDepth(), 0);
    EXPECT_FALSE(d.doc.isExcluding());
  }
}

TEST(TlDocument, AttributesAndSegments) {
  Doc d;
  d.start();
  d.run("'x @S:s 'hidden @. @s:t 'shown @. #2 @n:n '12 | 'y");
  d.doc.endDocument();  // closes the number attribute
  EXPECT_EQ(d.port.text, "xshown12 y");
  ASSERT_EQ(d.port.items.size(), 3u);
  EXPECT_EQ(d.port.items[0].type, 'N');
  EXPECT_EQ(d.port.items[0].value, 12);
  EXPECT_EQ(d.port.items[1].bytes, "shown");
  EXPECT_EQ(d.port.items[2].bytes, "hidden");
  EXPECT_EQ(d.port.stringMap.size(), 2u);
  EXPECT_EQ(d.port.numericMap.size(), 1u);
  // The order of the calls: segment at its byte position, the attribute
  // closed before the document is handed over.
  std::vector<std::string> const want = {
      "open 7 new", "text xshown", "segment 2 6", "item 1 N 12",
      "text 12 y", "end"};
  std::vector<std::string> got;
  for (std::string const& line : d.port.log)
    if (line.rfind("item 1 C", 0) != 0 && line.rfind("item 2 C", 0) != 0)
      got.push_back(line);
  EXPECT_EQ(got, want);
}

TEST(TlDocument, EndDocumentClosesAttributeThenFieldsInnermostFirst) {
  Doc d;
  d.start();
  d.run("{A 'a {B 'b @n:n '7");
  d.doc.endDocument();
  std::vector<std::string> const tail(d.port.log.end() - 5, d.port.log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"item 1 N 7", "text b7", "field 2 1 3",
                                            "field 1 0 3", "end"}));
}

TEST(TlDocument, EmptyDocumentWarning) {
  struct Row {
    char const* script;
    bool warned;
  };
  Row const rows[] = {
      {"", true},          {"{!A 'abc }", true}, {"@S:s 'abc @.", true},
      {"|", false},        {"'a", false},        {"{!A 'abc } |", false},
  };
  for (Row const& r : rows) {
    SCOPED_TRACE(r.script);
    Doc d;
    d.start();
    d.run(r.script);
    d.doc.endDocument();
    if (!r.warned) {
      EXPECT_EQ(d.port.errorInfo.getReturnCode(), ItlEnReturnCode_Success);
      continue;
    }
    EXPECT_EQ(d.port.errorInfo.getReasonCode(), ItlEnReasonCode_Empty_document);
    EXPECT_EQ(d.port.errorInfo.getReturnCode(), ItlEnReturnCode_Warning);
    EXPECT_EQ(d.port.errorInfo.getAction(), ItlEnErrorAction_Inform);
    EXPECT_STREQ(d.port.errorInfo.getOrigin(), "source/itl_tl/itl_tldocument:246");
    EXPECT_EQ(d.port.log.back(), "end");  // still handed over
  }
  // A warning already held: no second one.
  Doc d;
  d.start();
  d.run("@d:d 'nonsense @.");
  EXPECT_EQ(d.port.errorInfo.getReasonCode(), ItlEnReasonCode_Invalid_date_attribute);
  d.run("{!A 'x }");
  d.doc.endDocument();
  EXPECT_EQ(d.port.errorInfo.getWarningCount(), 1u);
  EXPECT_EQ(d.port.errorInfo.getReasonCode(), ItlEnReasonCode_Invalid_date_attribute);
}

TEST(TlDocument, ResetAfterFailureInExcludedFieldForgetsExclusion) {
  Doc d;
  d.start();
  d.run("{!A 'x {!B @s:a 'v");
  d.doc.reset();  // the update's reset after a failure
  EXPECT_EQ(d.doc.getFieldStack().getDepth(), 0);
  TestDocumentId next("next", 0, 8);
  d.pool.deleteAll();
  d.doc.startDocument(next, CosClCCSID(1208), CosClLanguage("en"));
  d.run("'plain");
  d.doc.endDocument();
  EXPECT_EQ(d.port.text, "plain");
  EXPECT_EQ(d.port.items.size(), 0u);
}

TEST(TlDocument, StackHolds512Fields) {
  Doc d;
  d.start();
  for (int i = 0; i < 512; ++i) d.doc.startField("F", i % 2 == 0);
  try {
    d.doc.startField("G", false);
    FAIL() << "513th field opened";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Stackoverflow);
    EXPECT_EQ(e.getReturnCode(), ItlEnReturnCode_Error);
    EXPECT_EQ(e.getAction(), ItlEnErrorAction_Inform);
    EXPECT_STREQ(e.getSourceFile(), "source/itl_tl/itl_tldocument:94");
  }
  EXPECT_EQ(d.doc.getFieldStack().getDepth(), 512);
  EXPECT_EQ(d.doc.getFieldStack().top()->field, 1);
}

TEST(TlDocument, IdWithoutNumberOrNameFails) {
  Doc d;
  TestDocumentId none("", 0);
  try {
    d.doc.startDocument(none, CosClCCSID(1208), CosClLanguage("en"));
    FAIL() << "document opened";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Docmap_invalid_docid);
  }
  EXPECT_TRUE(d.port.log.empty());
}

void collect(void* context, CosEnTraceDetail, uint16_t, CosEnTraceDataType,
             char const*, char const* message, void const*, uint32_t) {
  static_cast<std::vector<std::string>*>(context)->push_back(message ? message : "");
}

TEST(TlDocument, TracingChangesNothing) {
  auto run = [](bool traced, std::vector<std::string>* records) {
    Doc d;
    TestDocumentId byNumber("", 42);
    CosClTraceInstance* trace = nullptr;
    if (traced) {
      trace = cosTraceCreateInstance("itltltest", "tldocument");
      trace->registerUserCallback(collect, records);
      trace->activate();
      EXPECT_TRUE(trace->enable());
    }
    d.pool.deleteAll();
    d.doc.startDocument(byNumber, CosClCCSID(1208), CosClLanguage("th"));
    d.run("{A 'a | 'b } @n:n '1 @. #1");
    d.doc.endDocument();
    if (trace != nullptr) {
      trace->disable();
      cosTraceDeleteInstance();
    }
    EXPECT_EQ(byNumber.mappings, 0);
    return d.port.log;
  };
  std::vector<std::string> records;
  EXPECT_EQ(run(true, &records), run(false, nullptr));
  auto has = [&](char const* label) {
    return std::find(records.begin(), records.end(), label) != records.end();
  };
  EXPECT_TRUE(has("field name"));
  EXPECT_TRUE(has("Document ccsid"));
  EXPECT_TRUE(has("segment indicator"));
  EXPECT_FALSE(has("Document name"));  // the id holds only a number
}

// ICU's words of `text`, each followed by a blank.
std::u16string icuWords(std::u16string const& text) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> it(
      icu::BreakIterator::createWordInstance(icu::Locale("th", "TH"), status));
  // The iterator keeps a reference to the string: it must outlive the walk.
  icu::UnicodeString string(text.data(), static_cast<int32_t>(text.size()));
  it->setText(string);
  std::u16string out;
  int32_t start = it->first();
  for (int32_t end = it->next(); end != icu::BreakIterator::DONE; end = it->next()) {
    out += text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)) + u" ";
    start = end;
  }
  return out;
}

TEST(TlDocument, ThaiDocumentHasBlanksBetweenWords) {
  std::vector<std::u16string> texts = thaiCatalogueTexts();
  if (texts.empty())
    texts.push_back(u"\u0E20\u0E32\u0E29\u0E32\u0E44\u0E17\u0E22\u0E07\u0E48\u0E32\u0E22");
  Doc d;
  d.start("th");
  std::u16string want;
  for (size_t i = 0; i < texts.size() && i < 200; ++i) {
    if (texts[i].size() < 2) continue;
    d.text(texts[i]);
    want += icuWords(texts[i]);
  }
  d.doc.endDocument();
  std::u16string got;
  for (std::u16string const& p : d.port.partitions) got += p;
  EXPECT_EQ(got, want);
  EXPECT_EQ(d.doc.getTextAnalysis().getBuffer().getNormalizer()->getKindFlags(), 2u);
}

}  // namespace
