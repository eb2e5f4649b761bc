// End-to-end tests of queries: the corpus of query_corpus.hpp searched
// through the exported functions and compared with the oracle, randomized
// boolean trees, warnings and the proximity rows checked by hand.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "query_env.hpp"
#include "ti_test_util.hpp"

namespace {

using qc::Builder;
using qc::Names;

qc::Env& env() { return qc::sharedEnv(); }

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


TEST(ApiQuery, ScopeAndAnotherIndex) {
  qc::Env& e = env();
  Builder first(e, e.plain);
  first.term("fig");
  first.run();
  Builder second(e, e.plain);
  second.term("grape");
  EXPECT_EQ(itlQuerySetScope(second.query, first.result), 0) << e.reason();
  EXPECT_EQ(second.run(),
            qc::both(qc::withWord("fig"), qc::withWord("grape")));

  // The same condition on the second index (RespectCase ON: lower-case
  // words as before).
  Builder b(e, e.plain);
  b.term("kiwi");
  b.range("price", ItlEnAttributeType_Number, "5", 1, "25", 3);
  b.op(ItlEnOperator_Or);
  Names before = b.run();
  EXPECT_EQ(before, qc::either(qc::withWord("kiwi"),
                               qc::where([](qc::Doc const& d) {
                                 return d.price >= 5 && d.price <= 25;
                               })));
  EXPECT_EQ(itlQuerySetNewIndex(b.query, e.cased.search), 0);
  EXPECT_EQ(b.run(), before);
}

// A random boolean tree over the corpus: its postfix form through the
// builder and its value by the oracle.
Names randomTree(std::mt19937& rng, Builder& b, int terms) {
  if (terms == 1) {
    auto const& words = qc::vocabulary();
    std::string word = words[rng() % (words.size() - 2)];  // no x, y
    switch (rng() % 5) {
      case 0: {
        std::string field = qc::fieldNames()[rng() % qc::fieldNames().size()];
        EXPECT_EQ(b.term(word, {field}), 0);
        return qc::withWord(word, {field});
      }
      case 1: {
        int low = static_cast<int>(rng() % 30), high = low + static_cast<int>(rng() % 15);
        EXPECT_EQ(b.range("price", ItlEnAttributeType_Number,
                          std::to_string(low), 1, std::to_string(high), 2),
                  0);
        return qc::where([&](qc::Doc const& d) {
          return d.price >= low && d.price < high;
        });
      }
      default:
        EXPECT_EQ(b.term(word), 0);
        return qc::withWord(word);
    }
  }
  int left = 1 + static_cast<int>(rng() % (terms - 1));
  Names a = randomTree(rng, b, left);
  Names c = randomTree(rng, b, terms - left);
  switch (rng() % 3) {
    case 0:
      EXPECT_EQ(b.op(ItlEnOperator_And), 0);
      return qc::both(a, c);
    case 1:
      EXPECT_EQ(b.op(ItlEnOperator_Or), 0);
      return qc::either(a, c);
    default:
      EXPECT_EQ(b.op(ItlEnOperator_AndNot), 0);
      return qc::without(a, c);
  }
}

TEST(ApiQuery, RandomTreesAgainstTheOracle) {
  qc::Env& e = env();
  uint32_t seed = testSeed();
  std::mt19937 rng(seed);
  for (int round = 0; round < 150; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Builder b(e, e.plain);
    Names expected = randomTree(rng, b, 1 + static_cast<int>(rng() % 8));
    ASSERT_EQ(b.run(), expected) << "seed " << seed;
  }
}

TEST(ApiQuery, Warnings) {
  qc::Env& e = env();
  {
    SCOPED_TRACE("case on a RespectCase OFF index");
    Builder b(e, e.plain);
    EXPECT_EQ(b.term("Apple", {}, false, 1), 4);
    EXPECT_EQ(e.reason(), 369);
    EXPECT_EQ(b.run(), qc::withWord("apple"));
  }
  {
    SCOPED_TRACE("RespectCase ON");
    Builder upper(e, e.cased);
    upper.term("Apple");
    Builder lowerCase(e, e.cased);
    lowerCase.term("apple");
    Names u = upper.run(), l = lowerCase.run();
    EXPECT_EQ(u, qc::withWord("Apple", {}, true));
    EXPECT_EQ(l, qc::withWord("apple", {}, true));
    EXPECT_NE(u, l);
  }
  {
    SCOPED_TRACE("threshold met");
    Builder b(e, e.plain);
    b.term("common");
    EXPECT_EQ(itlQuerySetProcessingThreshold(b.query, 5,
                                             ItlEnThresholdUnit_Documents),
              0);
    EXPECT_EQ(b.process(), 4);
    EXPECT_EQ(e.reason(), 380);
    ASSERT_NE(b.list, nullptr);
    std::vector<std::string> found = b.walk(b.list);
    EXPECT_FALSE(found.empty());
    EXPECT_LE(found.size(), 5u);
  }
  {
    SCOPED_TRACE("unknown field under OR: the other side's documents");
    Builder b(e, e.plain);
    EXPECT_EQ(b.term("fig"), 0);
    EXPECT_EQ(b.term("grape", {"nofield"}), 4);
    EXPECT_EQ(e.reason(), 403);
    b.op(ItlEnOperator_Or);
    EXPECT_EQ(b.run(), qc::withWord("fig"));
  }
  {
    SCOPED_TRACE("unknown field under AND: nothing");
    Builder b(e, e.plain);
    b.term("fig");
    b.term("fig", {"nofield"});
    b.op(ItlEnOperator_And);
    EXPECT_EQ(b.run(), Names());
  }
  {
    SCOPED_TRACE("unknown attributes match nothing");
    Builder b(e, e.plain);
    EXPECT_EQ(b.color("red", "nocolor"), 4);
    EXPECT_EQ(b.range("noprice", ItlEnAttributeType_Number, "0", 1, "99", 3),
              4);
    b.op(ItlEnOperator_Or);
    EXPECT_EQ(b.run(), Names());
  }
}

TEST(ApiQuery, ProximityByHand) {
  qc::Env& e = env();
  // doc0: "lemon kiwi fig grape honey iris juniper mango", one sentence.
  for (uint16_t distance : {1, 5}) {
    SCOPED_TRACE(distance);
    Builder b(e, e.plain);
    b.term("lemon");
    b.term("mango");
    EXPECT_EQ(b.near(distance), 0);
    Names found = b.run();
    EXPECT_EQ(found.count("doc0"), 1u);
    for (std::string const& name : found)
      EXPECT_EQ(qc::both(qc::withWord("lemon"), qc::withWord("mango")).count(name), 1u);
  }
}

}  // namespace
