// End-to-end tests of queries: the corpus of query_corpus.hpp searched
// through the exported functions and compared with the oracle, randomized
// boolean trees, warnings and the proximity rows checked by hand.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "query_env.hpp"

namespace {

using qc::Builder;
using qc::Names;

qc::Env& env() {
  static qc::Env* e = new qc::Env();  // shared by the tests of this binary
  return *e;
}

struct Row {
  char const* what;
  std::function<void(Builder&)> build;
  std::function<Names()> expected;
};

TEST(ApiQuery, EndToEndAgainstTheOracle) {
  qc::Env& e = env();
  using qc::withWord;
  // Words the fields hold: the first of an HTML title and an XML para.
  static std::string const inTitle =
      qc::split(qc::corpus()[4].pieces[0].text)[0];
  static std::string const inPara =
      qc::split(qc::corpus()[5].pieces[1].text)[0];
  std::vector<Row> rows = {
      {"one term", [](Builder& b) { b.term("kiwi"); },
       [] { return withWord("kiwi"); }},
      {"AND",
       [](Builder& b) {
         b.term("fig");
         b.term("grape");
         b.op(ItlEnOperator_And);
       },
       [] { return qc::both(withWord("fig"), withWord("grape")); }},
      {"OR",
       [](Builder& b) {
         b.term("fig");
         b.term("olive");
         b.op(ItlEnOperator_Or);
       },
       [] { return qc::either(withWord("fig"), withWord("olive")); }},
      {"AND-NOT",
       [](Builder& b) {
         b.term("fig");
         b.term("grape");
         b.op(ItlEnOperator_AndNot);
       },
       [] { return qc::without(withWord("fig"), withWord("grape")); }},
      {"NOT inside AND, mode 1",
       [](Builder& b) {
         b.term("fig");
         b.term("grape");
         b.op(ItlEnOperator_Not, 1);
         b.op(ItlEnOperator_And);
       },
       [] { return qc::without(withWord("fig"), withWord("grape")); }},
      {"HTML field", [](Builder& b) { b.term(inTitle, {"title"}); },
       [] { return withWord(inTitle, {"title"}); }},
      {"XML field", [](Builder& b) { b.term(inPara, {"para"}); },
       [] { return withWord(inPara, {"para"}); }},
      {"two fields", [](Builder& b) { b.term(inPara, {"title", "para"}); },
       [] { return withWord(inPara, {"title", "para"}); }},
      {"string attribute", [](Builder& b) { b.color("red"); },
       [] { return qc::where([](qc::Doc const& d) { return d.color == "red"; }); }},
      {"NUMBER [10, 20)",
       [](Builder& b) {
         b.range("price", ItlEnAttributeType_Number, "10", 1, "20", 2);
       },
       [] {
         return qc::where(
             [](qc::Doc const& d) { return d.price >= 10 && d.price < 20; });
       }},
      {"DATE 2010",
       [](Builder& b) {
         b.range("published", ItlEnAttributeType_Date, "2010-01-01", 1,
                 "31.12.2010", 3);
       },
       [] {
         return qc::where([](qc::Doc const& d) {
           return qc::codedDate(d) >= 20100101 && qc::codedDate(d) <= 20101231;
         });
       }},
      {"mask app*", [](Builder& b) { b.term("app*", {}, true); },
       [] { return withWord("app*"); }},
      {"mask ?", [](Builder& b) { b.term("ki?i", {}, true); },
       [] { return withWord("ki?i"); }},
      {"term AND number",
       [](Builder& b) {
         b.term("lemon");
         b.range("price", ItlEnAttributeType_Number, "0", 1, "15", 3);
         b.op(ItlEnOperator_And);
       },
       [] {
         return qc::both(withWord("lemon"), qc::where([](qc::Doc const& d) {
                           return d.price <= 15;
                         }));
       }},
  };
  for (Row const& row : rows) {
    SCOPED_TRACE(row.what);
    Builder b(e, e.plain);
    row.build(b);
    Names expected = row.expected();
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(b.run(), expected);
  }
}

}  // namespace
