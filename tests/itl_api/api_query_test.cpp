// End-to-end tests of queries: the corpus of query_corpus.hpp searched
// through the exported functions and compared with the oracle, randomized
// boolean trees, warnings and the proximity rows checked by hand.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <random>

#include "query_env.hpp"
#include "ti_test_util.hpp"
#include "update_fixture.hpp"

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

// Stop words on an index made with DeleteStopwords ON: the engine keeps
// their keys without documents and reads a stop word as constraining
// nothing (every document), and a query that meets one succeeds with
// warning 381 and a list. The same words on an index without stop words
// are words like any other. A stop word in a search that also stops at
// its threshold gives 380: the list is cut short, which matters more.
TEST(ApiQuery, StopWordsGiveWarning381) {
  qc::Env& e = env();
  TempDir dir{"api_stop", fastTempParent()};
  std::string resources = dir / "res";
  ASSERT_EQ(mkdir(resources.c_str(), 0700), 0);
  // "the\nof" as UTF-16LE with a byte-order mark.
  ASSERT_TRUE(writeFile(resources + "/en_US.tsw",
                        std::string("\xff\xfe" "t\0h\0e\0\n\0o\0f\0", 14)));
  std::vector<upfix::Document> docs = {
      {"d1", ItlEnDocumentFormat_Text, "the apple of eden"},
      {"d2", ItlEnDocumentFormat_Text, "the pear"},
      {"d3", ItlEnDocumentFormat_Text, "apple pie"},
  };
  struct Index {
    qc::CorpusIndex c;
    ~Index() {
      itlHandleDeleteIndexSearch(&c.search);
      itlHandleDeleteIndex(&c.index);
    }
  } stops, plain;
  for (bool deleteStopwords : {true, false}) {
    Index& ix = deleteStopwords ? stops : plain;
    char const* name = deleteStopwords ? "stops" : "plain";
    std::string templ = dir / (std::string(name) + ".ini.t");
    ASSERT_TRUE(writeFile(
        templ, "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = OFF\n"
               "ResourceLocation = " + resources + "/\n[IndexV4]\n"
               "BlockMode = OFF\nDeleteStopwords = " +
               (deleteStopwords ? "ON" : "OFF") +
               "\nStopwordLanguage = en_US\n"));
    ASSERT_EQ(itlHandleNewIndex(e.ctx, name, dir.path().c_str(), &ix.c.index),
              0);
    ASSERT_EQ(itlIndexSetWorkingDirectory(ix.c.index, dir.path().c_str()), 0);
    ASSERT_EQ(itlIndexCreate(ix.c.index, templ.c_str()), 0) << e.reason();
    ASSERT_EQ(upfix::addDocuments(ix.c.index, docs), "");
    ASSERT_EQ(itlHandleNewIndexSearch(ix.c.index, &ix.c.search), 0)
        << e.reason();
  }
  struct Case {
    char const* what;
    std::vector<char const*> words;  // joined by `op`
    ItlEnOperator op;
    int32_t threshold;               // documents; 0 none
    int reason;                      // on the stop-word index
    Names stopped;                   // its documents
    Names whole;                     // on the other index
  } cases[] = {
      {"one stop word", {"the"}, ItlEnOperator_And, 0, 381,
       {"d1", "d2", "d3"}, {"d1", "d2"}},
      {"only stop words", {"the", "of"}, ItlEnOperator_Or, 0, 381,
       {"d1", "d2", "d3"}, {"d1", "d2"}},
      {"a stop word and a word", {"the", "apple"}, ItlEnOperator_And, 0, 381,
       {"d1", "d3"}, {"d1"}},
      {"no stop word", {"apple"}, ItlEnOperator_And, 0, 0, {"d1", "d3"},
       {"d1", "d3"}},
      {"stop word at the threshold", {"the"}, ItlEnOperator_And, 1, 380,
       {"d1"}, {"d1"}},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool onStops : {true, false}) {
      SCOPED_TRACE(onStops ? "DeleteStopwords ON" : "OFF");
      Builder b(e, onStops ? stops.c : plain.c);
      for (size_t i = 0; i < c.words.size(); ++i) {
        EXPECT_EQ(b.term(c.words[i]), 0);
        if (i > 0) {
          EXPECT_EQ(b.op(c.op), 0);
        }
      }
      if (c.threshold != 0) {
        EXPECT_EQ(itlQuerySetProcessingThreshold(
                      b.query, c.threshold, ItlEnThresholdUnit_Documents),
                  0);
      }
      int reason = onStops || c.threshold != 0 ? c.reason : 0;
      EXPECT_EQ(b.process(), reason != 0 ? 4 : 0);
      EXPECT_EQ(e.reason(), reason);
      ASSERT_NE(b.list, nullptr);
      std::vector<std::string> names = b.walk(b.list);
      Names found(names.begin(), names.end());
      if (c.threshold != 0) {
        EXPECT_EQ(found.size(), static_cast<size_t>(c.threshold));
      } else {
        EXPECT_EQ(found, onStops ? c.stopped : c.whole);
      }
    }
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
