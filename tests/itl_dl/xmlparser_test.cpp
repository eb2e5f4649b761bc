// Tests of the XML parser: events without and with a model, the prolog,
// Expat's errors as warnings, failures of the text document inside
// callbacks, the charset scan, and the highlight and offset-mapping modes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "itl_xmlparser.hpp"
#include "parser_fixture.hpp"

namespace {

std::string join(std::vector<std::string> const& v) {
  std::string out;
  for (auto const& s : v) out += s + "\n";
  return out;
}

TEST(ParserXml, Probe) {
  ModelStore store;
  ItlClErrorInfo info;
  ItlClParserXML parser(info, store.models);
  IndexRun r = indexDocument(parser, info, "<a x=\"1\"><b>t</b></a>", 1208);
  std::cout << join(r.log) << "\n" << join(r.fields) << r.reason << " " << r.thrown.reason << "\n[" << r.text << "]\n";
}

}  // namespace
