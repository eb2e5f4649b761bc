// Helpers of the parsers' tests: a model store in a temporary index
// directory, a text document over the recording port, and the run of one
// document through a parser in index modus, summarised as the fields the
// port saw (name and text) and the port's log.
#ifndef TESTS_ITL_DL_PARSER_FIXTURE_HPP
#define TESTS_ITL_DL_PARSER_FIXTURE_HPP

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cos_memmgr.hpp"
#include "dl_test_util.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_index_location.hpp"
#include "itl_parser.hpp"
#include "itl_tldocument.hpp"
#include "ti_test_util.hpp"
#include "ti_tl_port.hpp"

// A model store of a fresh index in a temporary directory.
struct ModelStore {
  TempDir dir{"parsers"};
  ItlClIndexLocation location{"idx", dir.path().c_str()};
  ItlClErrorInfo info;
  ItlClDocumentModels models{location, info};
  ModelStore() { models.onIndexFileCreate(); }
  // Adds a model; a refusal fails the test.
  void add(char const* name, std::string const& text) {
    Caught c = catchItl(
        [&] { models.add(name, text.data(), static_cast<unsigned>(text.size())); });
    ASSERT_EQ(c.reason, -1) << name << ": " << c.context << " " << c.origin;
  }
};

// Collapses runs of blanks (space, tab, CR, LF) to one space and trims.
inline std::string collapse(std::string const& s) {
  std::string out;
  bool blank = false;
  for (char c : s) {
    bool b = c == ' ' || c == '\t' || c == '\n' || c == '\r';
    if (b) {
      blank = true;
      continue;
    }
    if (blank && !out.empty()) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

// What one document gave in index modus.
struct IndexRun {
  std::string text;                 // the document text (UTF-8)
  std::vector<std::string> fields;  // "name=text" in the order they closed
  std::vector<std::string> log;     // the port's log
  Caught thrown;                    // what the parser threw (reason -1: none)
  int reason = 0, rc = 0, action = 0;  // the error info afterwards
  std::string context;

  // "name=collapsed text" of every field, sorted (a multiset).
  std::vector<std::string> sortedFields() const {
    std::vector<std::string> v = fields;
    std::sort(v.begin(), v.end());
    return v;
  }
};

// Runs `bytes` (of `ccsid`; 0: the parser's guess) through `parser` in
// index modus with `info` as the parser's error info.
inline IndexRun indexDocument(ItlClParserABase& parser, ItlClErrorInfo& info,
                              std::string const& bytes, unsigned short ccsid,
                              char const* modelName = nullptr) {
  IndexRun run;
  RecordingPort port;
  CosClMemoryPool pool(65536, 65536, 256);
  ItlClTlDocument doc(port);
  doc.init(pool);
  TestDocumentId id("doc", 0);
  ExactBytes exact(bytes);
  if (ccsid == 0) parser.scanHeaderInformationCCSID(exact.data(), exact.size(), ccsid);
  info.reset();
  info.resetContext(nullptr);
  CosClMemoryPool scanPool(4096, 4096, 16);
  ItlClDocumentInputScanner scanner;
  run.thrown = catchItl([&] {
    doc.startDocument(id, CosClCCSID(1208), CosClLanguage("en"));
    if (parser.getDocumentFormat() == ItlEnDocumentFormat_Inso)
      scanner.setInputTextNoConv(exact.data(), exact.size());
    else
      scanner.setInputText(scanPool, exact.data(), exact.size(), CosClCCSID(ccsid));
    parser.startDocument(ItlEnParserModus_Index, &doc, nullptr, nullptr, modelName);
    parser.processDocument(scanner);
    parser.endDocument();
    doc.endDocument();
  });
  if (run.thrown.reason != -1) parser.endDocument();
  // Reason, action and context stay from earlier calls: they count only
  // with a return code.
  run.rc = info.getReturnCode();
  if (run.rc != 0) {
    run.reason = info.getReasonCode();
    run.action = info.getAction();
    run.context = info.getContext();
  }
  run.text = port.text;
  std::map<unsigned short, std::string> names;
  for (auto const& e : port.fieldMap) names[e.second] = e.first;
  for (RecordedField const& f : port.fields) {
    std::string t = f.end >= f.start && f.end <= port.text.size()
                        ? port.text.substr(f.start, f.end - f.start)
                        : "<bad range>";
    run.fields.push_back(names[f.field] + "=" + collapse(t));
  }
  run.log = port.log;
  return run;
}

#endif  // TESTS_ITL_DL_PARSER_FIXTURE_HPP
