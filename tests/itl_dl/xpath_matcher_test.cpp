// Tests of the XPath subset matcher: compile failures with their exact
// errors, compiled layouts, alternatives, default priorities, matching
// cases, a randomized comparison with a reference matcher written from the
// subset's rules, and the cost of matching deep paths.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <random>
#include <string>
#include <vector>

#include "cos_memmgr.hpp"
#include "itl_error.hpp"
#include "itl_xml_doc_path.hpp"
#include "xml_doc_path_fixture.hpp"
#include "itl_xpath_matcher.hpp"
#include "ti_test_util.hpp"

namespace {

// Compiles the first alternative of `locator`; returns the rest or
// "<null>".
std::string compile(ItlClXpathMatcher& m, char const* locator) {
  char const* rest = reinterpret_cast<char const*>(1);
  m.init(locator, rest);
  return rest != nullptr ? std::string(rest) : "<null>";
}

// "kind" or "kind:text" for each operation.
std::string layout(ItlClXpathMatcher const& m) {
  std::string out;
  for (uint32_t i = 0; i < m.getOperationCount(); ++i) {
    ItlStXpathOperation const& op = m.getOperations()[i];
    if (i != 0) out += ' ';
    out += std::to_string(op.iv_usKind);
    if (op.iv_pcText != nullptr)
      out += ":" + std::string(op.iv_pcText, op.iv_uiLength);
  }
  return out;
}

TEST(XpathMatcher, RefusesLocatorsOutsideTheSubset) {
  struct Case {
    char const* locator;
    ItlEnReasonCode reason;
    unsigned line;
    char const* token;  // null: no token line
  } const cases[] = {
      {"", ItlEnReasonCode_Docmodel_xpath_invalid, 157, ""},
      {"|a", ItlEnReasonCode_Docmodel_xpath_invalid, 157, "|a"},
      {"   ", ItlEnReasonCode_Docmodel_xpath_invalid, 157, ""},
      {"//", ItlEnReasonCode_Docmodel_xpath_invalid, 167, nullptr},
      {"//|a", ItlEnReasonCode_Docmodel_xpath_invalid, 167, nullptr},
      {"following::a", ItlEnReasonCode_Docmodel_xpath_invalid_axis, 248,
       "following::a"},
      {"a/parent::b", ItlEnReasonCode_Docmodel_xpath_invalid_axis, 248,
       "parent::b"},
      {"child ::a", ItlEnReasonCode_Docmodel_xpath_invalid_axis, 248,
       "child ::a"},
      {"x:(", ItlEnReasonCode_Docmodel_xpath_invalid, 283, ":("},
      {"a/x:", ItlEnReasonCode_Docmodel_xpath_invalid, 283, ":"},
      {"x:@a", ItlEnReasonCode_Docmodel_xpath_invalid, 283, ":@a"},
      {"text()", ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, 300,
       "text()"},
      {"a/node()", ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, 300,
       "node()"},
      {"processing-instruction(t)",
       ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, 312,
       "processing-instruction(t)"},
      {"comment( )", ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, 312,
       "comment( )"},
      {"comment(", ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, 312,
       "comment("},
      {"processing-instruction('t",
       ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, 312,
       "processing-instruction('t"},
      {"processing-instruction('t' )",
       ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, 312,
       "processing-instruction('t' )"},
      {"a/", ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, 338, ""},
      {"a//", ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, 338, ""},
      {"a/|b", ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, 338, "|b"},
      {"@", ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, 338, ""},
      {"child::", ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, 338, ""},
      {"a/(b)", ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, 338, "(b)"},
      {"'a'", ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, 338, "'a'"},
      {":a", ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, 338, ":a"},
      {"a)", ItlEnReasonCode_Docmodel_xpath_invalid, 375, ")"},
      {"a b)", ItlEnReasonCode_Docmodel_xpath_invalid, 375, ")"},
      {"comment()x", ItlEnReasonCode_Docmodel_xpath_invalid, 375, "x"},
      {"x:a:b", ItlEnReasonCode_Docmodel_xpath_invalid, 375, ":b"},
      {"a@b", ItlEnReasonCode_Docmodel_xpath_invalid, 375, "@b"},
      {"a'b", ItlEnReasonCode_Docmodel_xpath_invalid, 375, "'b"},
      {"@id/a", ItlEnReasonCode_Docmodel_xpath_invalid_axis, 380, "@id/a"},
      {"attribute::id//a", ItlEnReasonCode_Docmodel_xpath_invalid_axis, 380,
       "attribute::id//a"},
      {"a/@id/b|c", ItlEnReasonCode_Docmodel_xpath_invalid_axis, 380,
       "@id/b|c"},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.locator);
    ItlClXpathMatcher m;
    char const* rest = "unchanged";
    try {
      m.init(c.locator, rest);
      ADD_FAILURE() << "compiled";
    } catch (ItlClException const& e) {
      EXPECT_EQ(e.getReasonCode(), c.reason);
      EXPECT_EQ(e.getReturnCode(), ItlEnReturnCode_Error);
      EXPECT_EQ(e.getAction(), ItlEnErrorAction_Inform);
      EXPECT_EQ(e.getLine(), c.line);
      EXPECT_EQ(std::string(e.getSourceFile()),
                "source/itl_dl/itl_xpathmatcher:" + std::to_string(c.line));
      std::string locator = c.locator;
      locator.erase(0, locator.find_first_not_of(' ') == std::string::npos
                           ? locator.size()
                           : locator.find_first_not_of(' '));
      std::string expected = "Invalid XPath: " + locator;
      if (c.token != nullptr)
        expected += std::string("\nInvalid token in XPath: ") + c.token;
      EXPECT_EQ(std::string(e.getContext()), expected);
    }
    EXPECT_EQ(rest, nullptr);
    EXPECT_EQ(m.getOperations(), nullptr);
    EXPECT_EQ(m.getOperationCount(), 0u);
    TestPath t("a");
    EXPECT_FALSE(m.match(t.path));
  }
}

TEST(XpathMatcher, CompilesStepsFromTheLastBackToTheFirst) {
  struct Case {
    char const* locator;
    char const* layout;
  } const cases[] = {
      {"/", "1 0"},
      {"/a", "6 10:a 2 0"},
      {"//a", "6 10:a 3 0"},
      {"a", "6 10:a 3 0"},
      {"a//b/@c", "7 10:c 4 10:b 5 10:a 3 0"},
      {"/a/b//c", "6 10:c 5 10:b 4 10:a 2 0"},
      {"x:*", "6 8:x: 3 0"},
      {"@x:*", "7 8:x: 3 0"},
      {"x:a", "6 10:x:a 3 0"},
      {"processing-instruction('t')", "6 13:t 3 0"},
      {"processing-instruction(\"a|b\")", "6 13:a|b 3 0"},
      {"processing-instruction('')", "6 13: 3 0"},
      {"processing-instruction()", "6 12 3 0"},
      {"comment()", "6 11 3 0"},
      {"*", "6 9 3 0"},
      {"@*", "7 9 3 0"},
      {"attribute::id", "7 10:id 3 0"},
      {"child::a/child::b", "6 10:b 4 10:a 3 0"},
      // Blanks and brackets belong to names; only those next to "|" or
      // at either end are dropped.
      {"a b", "6 10:a b 3 0"},
      {"a[1]", "6 10:a[1] 3 0"},
      {"a / b", "6 10: b 4 10:a  3 0"},
      {"  a  ", "6 10:a 3 0"},
  };
  for (auto const& c : cases) {
    ItlClXpathMatcher m;
    compile(m, c.locator);
    EXPECT_EQ(layout(m), c.layout) << c.locator;
  }
}

TEST(XpathMatcher, HandsBackTheNextAlternative) {
  struct Case {
    char const* text;
    char const* firstLayout;
    char const* rest;
  } const cases[] = {
      {"a", "6 10:a 3 0", "<null>"},
      {"a|b", "6 10:a 3 0", "b"},
      {"a | b", "6 10:a 3 0", "b"},
      {"a b\t|\t c d ", "6 10:a b 3 0", "c d "},
      {"a|", "6 10:a 3 0", ""},
      {"/|a", "1 0", "a"},
      {"comment() |//b", "6 11 3 0", "//b"},
      {"processing-instruction('x|y')|b", "6 13:x|y 3 0", "b"},
  };
  for (auto const& c : cases) {
    ItlClXpathMatcher m;
    EXPECT_EQ(compile(m, c.text), c.rest) << c.text;
    EXPECT_EQ(layout(m), c.firstLayout) << c.text;
  }

  // The rest points into the matcher's own copy, which runs on to the end
  // of the whole text.
  std::string text = "a|b|c";
  ItlClXpathMatcher first, second, third;
  char const* rest = nullptr;
  first.init(text.c_str(), rest);
  text = "overwritten";
  EXPECT_STREQ(first.getLocatorText(), "a|b|c");
  EXPECT_EQ(rest, first.getLocatorText() + 2);
  second.init(rest, rest);
  EXPECT_STREQ(second.getLocatorText(), "b|c");
  third.init(rest, rest);
  EXPECT_EQ(rest, nullptr);
  EXPECT_EQ(layout(third), "6 10:c 3 0");

  // An empty last alternative fails when it is compiled.
  first.init("a|", rest);
  try {
    second.init(rest, rest);
    ADD_FAILURE() << "compiled";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getLine(), 157u);
  }

  // The error of a later alternative shows that alternative alone.
  first.init("a|b(", rest);
  try {
    second.init(rest, rest);
    ADD_FAILURE() << "compiled";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Docmodel_xpath_invalid_nodetest);
    EXPECT_EQ(e.getLine(), 312u);
    EXPECT_STREQ(e.getContext(),
                 "Invalid XPath: b(\nInvalid token in XPath: b(");
  }

  // A second init replaces the first; a failed one leaves nothing.
  first.init("a", rest);
  EXPECT_THROW(first.init("a/", rest), ItlClException);
  EXPECT_EQ(first.getOperations(), nullptr);
  first.init("b", rest);
  EXPECT_EQ(layout(first), "6 10:b 3 0");
}

TEST(XpathMatcher, DefaultPriorityByTheFormOfTheLocator) {
  struct Case {
    char const* locator;
    float priority;
  } const cases[] = {
      {"/", 0.5f},
      {"/a", 0.5f},
      {"//a", 0.5f},
      {"a/b", 0.5f},
      {"//*", 0.5f},
      {"a//@b", 0.5f},
      {"a", 0.0f},
      {"@a", 0.0f},
      {"child::a", 0.0f},
      {"x:a", 0.0f},
      {"processing-instruction('t')", 0.0f},
      {"  a | b", 0.0f},
      {"x:*", -0.25f},
      {"@x:*", -0.25f},
      {"*", -0.5f},
      {"@*", -0.5f},
      {"comment()", -0.5f},
      {"processing-instruction()", -0.5f},
  };
  for (auto const& c : cases) {
    ItlClXpathMatcher m;
    compile(m, c.locator);
    EXPECT_EQ(m.determineDefaultPriority(), c.priority) << c.locator;
  }
}

TEST(XpathMatcher, MatchesTheNodeAtTheTailOfThePath) {
  struct Case {
    char const* locator;
    char const* path;
    bool match;
  } const cases[] = {
      {"/", "", true},
      {"/", "a", false},
      {"a", "a", true},
      {"a", "b/c/a", true},
      {"a", "a/b", false},
      {"a", "a/@a", false},
      {"/a", "a", true},
      {"/a", "b/a", false},
      {"//a", "b/c/a", true},
      {"//a", "a/b", false},
      {"a//b", "a/b", true},
      {"a//b", "a/c/d/b", true},
      {"a//b", "b/a", false},
      {"a//b", "c/b", false},
      {"/a//b", "c/a/b", false},
      {"/a//b", "a/c/a/b", true},
      {"a/b", "a/c/b", false},
      {"a/@id", "a/@id", true},
      {"a/@id", "b/@id", false},
      {"a/@id", "a/id", false},
      {"a/id", "a/@id", false},
      {"@*", "a/@x", true},
      {"@*", "a/x", false},
      {"*", "a/@x", false},
      {"*", "a", true},
      {"*", "a/#", false},
      {"x:*", "x:a", true},
      {"x:*", "r/x:b", true},
      {"x:*", "y:a", false},
      {"x:*", "xa", false},
      {"x:a", "x:a", true},
      {"x:a", "a", false},
      {"a", "x:a", false},
      {"@x:*", "a/@x:id", true},
      {"@x:*", "a/@id", false},
      {"comment()", "a/#", true},
      {"comment()", "#", true},
      {"comment()", "a", false},
      {"a/comment()", "a/#", true},
      {"b/comment()", "a/#", false},
      {"processing-instruction()", "a/?t", true},
      {"processing-instruction()", "a/?", true},
      {"processing-instruction()", "a/#", false},
      {"processing-instruction('t')", "a/?t", true},
      {"processing-instruction('t')", "a/?tt", false},
      {"processing-instruction('t')", "a/?u", false},
      {"processing-instruction('')", "a/?", true},
      {"@comment()", "a/@comment", false},
      {"a b", "a b", true},
      {"a b", "a", false},
      {"a[1]", "a[1]", true},
      {"a[1]", "a", false},
      {"A", "a", false},
      {"child::a/attribute::b", "a/@b", true},
      {"//a//a//a", "a/a", false},
      {"//a//a//a", "a/b/a/c/a", true},
      {"a/b//c/d", "a/b/c/d", true},
      {"a/b//c/d", "a/b/x/c/d", true},
      {"a/b//c/d", "a/b/d", false},
      {"/a/b//c/d", "x/a/b/c/d", false},
  };
  for (auto const& c : cases) {
    ItlClXpathMatcher m;
    compile(m, c.locator);
    TestPath t(c.path);
    EXPECT_EQ(m.match(t.path), c.match)
        << "\"" << c.locator << "\" on \"" << c.path << "\"";
  }
  ItlClXpathMatcher m;
  compile(m, "a");
  ItlClXmlDocPath empty;
  EXPECT_FALSE(m.match(empty));
  ItlClXpathMatcher none;
  TestPath t("a");
  EXPECT_FALSE(none.match(t.path));
  EXPECT_EQ(none.determineDefaultPriority(), 0.5f);
}

// ---- Randomized comparison with a reference matcher ------------------------

// A locator as the generator makes it, and as the reference reads it.
struct RefStep {
  bool attributeAxis;
  int test;            // an ItlEnXpathOperation node-test kind
  std::string text;    // name, "prefix:" or target
};
struct RefLocator {
  int lead;                     // 0 none, 1 "/", 2 "//"
  std::vector<RefStep> steps;   // empty: "/" alone
  std::vector<bool> descendant; // separator after step k: "//" when true
};

std::string render(RefLocator const& l, std::mt19937& rng) {
  if (l.steps.empty()) return "/";
  std::string out = l.lead == 1 ? "/" : l.lead == 2 ? "//" : "";
  for (size_t k = 0; k < l.steps.size(); ++k) {
    RefStep const& s = l.steps[k];
    if (s.attributeAxis)
      out += rng() % 2 != 0 ? "@" : "attribute::";
    else if (rng() % 4 == 0)
      out += "child::";
    switch (s.test) {
      case ItlEnXpathOperation_Name:
        out += s.text;
        break;
      case ItlEnXpathOperation_PrefixStar:
        out += s.text + "*";
        break;
      case ItlEnXpathOperation_Star:
        out += "*";
        break;
      case ItlEnXpathOperation_Comment:
        out += "comment()";
        break;
      case ItlEnXpathOperation_ProcessingInstruction:
        out += "processing-instruction()";
        break;
      default:
        out += rng() % 2 != 0 ? "processing-instruction('" + s.text + "')"
                              : "processing-instruction(\"" + s.text + "\")";
        break;
    }
    if (k + 1 < l.steps.size()) out += l.descendant[k] ? "//" : "/";
  }
  return out;
}

char const* const kNames[] = {"a", "b", "x:a", "x:b", "y:a", "a b", "xa"};
char const* const kTargets[] = {"t", "u", "tt", ""};

RefLocator randomLocator(std::mt19937& rng) {
  RefLocator l;
  if (rng() % 20 == 0) return l;  // "/"
  l.lead = static_cast<int>(rng() % 3);
  size_t n = 1 + rng() % 4;
  for (size_t k = 0; k < n; ++k) {
    RefStep s;
    bool last = k + 1 == n;
    s.attributeAxis = last && rng() % 3 == 0;
    unsigned r = rng() % 10;
    if (r < 5) {
      s.test = ItlEnXpathOperation_Name;
      s.text = kNames[rng() % 7];
    } else if (r == 5) {
      s.test = ItlEnXpathOperation_PrefixStar;
      s.text = rng() % 2 != 0 ? "x:" : "y:";
    } else if (r == 6) {
      s.test = ItlEnXpathOperation_Star;
    } else if (r == 7) {
      s.test = ItlEnXpathOperation_Comment;
    } else if (r == 8) {
      s.test = ItlEnXpathOperation_ProcessingInstruction;
    } else {
      s.test = ItlEnXpathOperation_ProcessingInstructionTarget;
      s.text = kTargets[rng() % 4];
    }
    l.steps.push_back(s);
    if (!last) l.descendant.push_back(rng() % 2 != 0);
  }
  return l;
}

struct RefItem {
  ItlEnXmlDocPathItemKind kind;
  std::string label;
};

bool refTest(RefStep const& s, RefItem const& item, bool attributeAxis) {
  bool element = item.kind == ItlEnXmlDocPathItemKind_Element;
  bool attribute = item.kind == ItlEnXmlDocPathItemKind_Attribute;
  if (attributeAxis && !attribute) return false;
  bool principal = attributeAxis ? attribute : element;
  switch (s.test) {
    case ItlEnXpathOperation_Name:
      return principal && item.label == s.text;
    case ItlEnXpathOperation_PrefixStar:
      return principal && item.label.compare(0, s.text.size(), s.text) == 0;
    case ItlEnXpathOperation_Star:
      return principal;
    case ItlEnXpathOperation_Comment:
      return item.kind == ItlEnXmlDocPathItemKind_Comment;
    case ItlEnXpathOperation_ProcessingInstruction:
      return item.kind == ItlEnXmlDocPathItemKind_ProcessingInstruction;
    default:
      return item.kind == ItlEnXmlDocPathItemKind_ProcessingInstruction &&
             item.label == s.text;
  }
}

// Can step k stand on item i, with every earlier step placed above it?
bool refPlace(RefLocator const& l, std::vector<RefItem> const& p, size_t k,
              size_t i) {
  bool attributeAxis = k + 1 == l.steps.size() && l.steps[k].attributeAxis;
  if (!refTest(l.steps[k], p[i], attributeAxis)) return false;
  if (k == 0) {
    // Above the first step: the root for "/"; anything for the others.
    return l.lead == 1 ? i == 1 : i >= 1;
  }
  if (!l.descendant[k - 1]) return i >= 1 && refPlace(l, p, k - 1, i - 1);
  for (size_t j = i; j-- > 0;)
    if (refPlace(l, p, k - 1, j)) return true;
  return false;
}

bool refMatch(RefLocator const& l, std::vector<RefItem> const& p) {
  if (l.steps.empty()) return p.size() == 1;
  return refPlace(l, p, l.steps.size() - 1, p.size() - 1);
}

std::vector<RefItem> randomPath(std::mt19937& rng) {
  std::vector<RefItem> p{{ItlEnXmlDocPathItemKind_Root, ""}};
  size_t depth = rng() % 7;
  for (size_t i = 0; i < depth; ++i)
    p.push_back({ItlEnXmlDocPathItemKind_Element, kNames[rng() % 7]});
  if (depth > 0) {
    char const* const attributes[] = {"a", "id", "x:a", "x:id", "y:a"};
    switch (rng() % 5) {
      case 0:
        p.push_back({ItlEnXmlDocPathItemKind_Attribute, attributes[rng() % 5]});
        break;
      case 1:
        p.push_back({ItlEnXmlDocPathItemKind_Comment, ""});
        break;
      case 2:
        p.push_back({ItlEnXmlDocPathItemKind_ProcessingInstruction,
                     kTargets[rng() % 4]});
        break;
      default:
        break;
    }
  }
  return p;
}

std::string describe(std::vector<RefItem> const& p) {
  std::string out;
  for (size_t i = 1; i < p.size(); ++i) {
    out += "/";
    switch (p[i].kind) {
      case ItlEnXmlDocPathItemKind_Attribute: out += "@" + p[i].label; break;
      case ItlEnXmlDocPathItemKind_Comment: out += "#"; break;
      case ItlEnXmlDocPathItemKind_ProcessingInstruction:
        out += "?" + p[i].label;
        break;
      default: out += p[i].label; break;
    }
  }
  return out.empty() ? "(root)" : out;
}

TEST(XpathMatcher, AgreesWithReferenceMatcherOnRandomLocatorsAndPaths) {
  std::mt19937 rng(testSeed());
  std::vector<std::vector<RefItem>> paths;
  std::vector<std::unique_ptr<TestPath>> built;
  for (int i = 0; i < 300; ++i) {
    paths.push_back(randomPath(rng));
    built.push_back(std::make_unique<TestPath>());
    // TestPath starts with its root; the reference path's root is item 0.
    for (size_t j = 1; j < paths.back().size(); ++j) {
      RefItem const& item = paths.back()[j];
      bool unlabelled = item.kind == ItlEnXmlDocPathItemKind_Comment;
      built.back()->push(item.kind, unlabelled ? nullptr : item.label.c_str());
    }
  }
  int matches = 0;
  for (int round = 0; round < 400; ++round) {
    // Two or three alternatives in one text, joined by "|" with or
    // without blanks around it.
    size_t alternatives = 2 + rng() % 2;
    std::vector<RefLocator> locators;
    std::string text = rng() % 2 != 0 ? " " : "";
    for (size_t a = 0; a < alternatives; ++a) {
      locators.push_back(randomLocator(rng));
      if (a != 0) text += rng() % 2 != 0 ? " | " : "|";
      text += render(locators.back(), rng);
    }
    if (rng() % 2 != 0) text += "  ";
    char const* rest = text.c_str();
    std::vector<std::unique_ptr<ItlClXpathMatcher>> matchers;
    for (size_t a = 0; a < alternatives; ++a) {
      ASSERT_NE(rest, nullptr) << text;
      matchers.push_back(std::make_unique<ItlClXpathMatcher>());
      matchers.back()->init(rest, rest);
    }
    ASSERT_EQ(rest, nullptr) << text;
    for (size_t a = 0; a < alternatives; ++a) {
      for (size_t i = 0; i < paths.size(); ++i) {
        bool expected = refMatch(locators[a], paths[i]);
        matches += expected ? 1 : 0;
        ASSERT_EQ(matchers[a]->match(built[i]->path), expected)
            << "alternative " << a << " of \"" << text << "\" on "
            << describe(paths[i]);
      }
    }
  }
  // The generator must give both outcomes often.
  EXPECT_GT(matches, 1000);
}

// ---- Comparison with an XPath processor ------------------------------------

// tests/itl_dl/data/xpath_oracle.txt (tools/gen_xpath_oracle) lists the
// nodes of random documents as element paths and, for random locators, the
// nodes an XPath 1.0 processor selects with them. Every node of a document
// is matched by every locator; the matcher must select exactly those.
TEST(XpathMatcher, SelectsWhatAnXpathProcessorSelects) {
  std::ifstream in(TI_TEST_DATA "/xpath_oracle.txt");
  ASSERT_TRUE(in) << "missing " TI_TEST_DATA "/xpath_oracle.txt";
  std::vector<std::unique_ptr<TestPath>> nodes;
  std::vector<std::string> names;
  int documents = 0, locators = 0, selected = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, 4, "doc ") == 0) {
      nodes.clear();
      names.clear();
      ++documents;
    } else if (line.compare(0, 5, "node ") == 0) {
      std::string path = line.substr(line.find(' ', 5) + 1);
      names.push_back(path);
      nodes.push_back(std::make_unique<TestPath>(path));
    } else if (line.compare(0, 6, "match ") == 0) {
      size_t tab = line.find('\t');
      ASSERT_NE(tab, std::string::npos) << line;
      std::string locator = line.substr(6, tab - 6);
      std::set<size_t> expected;
      std::istringstream hits(line.substr(tab + 1));
      for (size_t i; hits >> i;) expected.insert(i);
      ItlClXpathMatcher m;
      EXPECT_EQ(compile(m, locator.c_str()), "<null>") << locator;
      for (size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(m.match(nodes[i]->path), expected.count(i) != 0)
            << "document " << documents - 1 << ": \"" << locator << "\" on "
            << names[i];
      }
      selected += static_cast<int>(expected.size());
      ++locators;
    }
  }
  EXPECT_EQ(documents, 32);
  EXPECT_EQ(locators, 32 * 80);
  EXPECT_GT(selected, 1000);
}

// ---- Cost and size limits ---------------------------------------------------

class NodeTestCount {
 public:
  NodeTestCount() : count(0) { ItlClXpathMatcher::setNodeTestCounter(&count); }
  ~NodeTestCount() { ItlClXpathMatcher::setNodeTestCounter(nullptr); }
  uint64_t count;
};

// Several "//" against a path 10,000 deep: no (item, operation) pair is
// tested twice, so the cost stays below depth times operations.
TEST(XpathMatcher, DeepPathsCostAtMostDepthTimesOperations) {
  constexpr size_t kDepth = 10000;
  TestPath t;
  for (size_t i = 0; i < kDepth; ++i) t.push(ItlEnXmlDocPathItemKind_Element, "a");
  TestPath bt;  // the same with b at the top and at the tail
  bt.push(ItlEnXmlDocPathItemKind_Element, "b");
  for (size_t i = 0; i < kDepth; ++i) bt.push(ItlEnXmlDocPathItemKind_Element, "a");
  bt.push(ItlEnXmlDocPathItemKind_Element, "b");
  struct Case {
    char const* locator;
    TestPath const* path;
    bool match;
  } const cases[] = {
      {"//a//a//a//a", &t, true},
      {"//b//a//a//a", &t, false},
      {"/b//a//a//a", &t, false},
      {"//a//a//a//b", &t, false},
      {"a//a//a/b//a//a", &t, false},
      {"/a//a//a//a//a//a//a//a", &t, true},
      {"/b//a//a//a//a//b", &bt, true},
      {"/b//a//b//a//a//b", &bt, false},
      {"b//a/a/a//a/a//b", &bt, true},
  };
  for (auto const& c : cases) {
    ItlClXpathMatcher m;
    compile(m, c.locator);
    NodeTestCount counter;
    EXPECT_EQ(m.match(c.path->path), c.match) << c.locator;
    size_t depth = c.path->items.size();
    EXPECT_LT(counter.count, depth * m.getOperationCount()) << c.locator;
  }
}

// Names longer than 16 bits can count and locators of very many steps
// compile and match without exhausting the stack.
TEST(XpathMatcher, LongNamesAndManyStepsKeepTheirMeaning) {
  std::string longName(70000, 'n');
  ItlClXpathMatcher m;
  compile(m, longName.c_str());
  EXPECT_EQ(m.getOperations()[1].iv_uiLength, 70000u);
  TestPath same;
  same.push(ItlEnXmlDocPathItemKind_Element, longName.c_str());
  EXPECT_TRUE(m.match(same.path));
  TestPath shorter;
  shorter.push(ItlEnXmlDocPathItemKind_Element,
               longName.substr(0, 70000 - 65536).c_str());
  EXPECT_FALSE(m.match(shorter.path));

  constexpr size_t kSteps = 200000;
  std::string locator = "/a";
  for (size_t i = 1; i < kSteps; ++i) locator += i % 2 != 0 ? "//a" : "/a";
  ItlClXpathMatcher deep;
  compile(deep, locator.c_str());
  EXPECT_EQ(deep.getOperationCount(), 2 * kSteps + 2);
  TestPath t;
  for (size_t i = 0; i < kSteps; ++i) t.push(ItlEnXmlDocPathItemKind_Element, "a");
  EXPECT_TRUE(deep.match(t.path));
  t.push(ItlEnXmlDocPathItemKind_Element, "b");
  EXPECT_FALSE(deep.match(t.path));
}


// Allocator callbacks that fail one chosen allocation and count the blocks
// alive.
struct FailingAllocator {
  static inline unsigned calls = 0;
  static inline unsigned failAt = 0;
  static inline long alive = 0;
  static void* allocate(unsigned size) {
    if (++calls == failAt) return nullptr;
    ++alive;
    return std::malloc(size != 0 ? size : 1);
  }
  static void* reallocate(void* block, unsigned size) {
    if (block == nullptr) ++alive;
    return std::realloc(block, size != 0 ? size : 1);
  }
  static void deallocate(void* block) {
    if (block != nullptr) --alive;
    std::free(block);
  }
  explicit FailingAllocator(unsigned n) {
    calls = 0;
    failAt = n;
    alive = 0;
    CosClMemoryManager::setNewMemoryManager(&allocate, &reallocate, &deallocate);
  }
  ~FailingAllocator() {
    CosClMemoryManager::setNewMemoryManager(
        &CosClMemoryManager::systemAllocator,
        &CosClMemoryManager::systemReallocator,
        &CosClMemoryManager::systemDeallocator);
  }
};

// Each allocation of init fails in turn: the out-of-memory exception
// passes with the matcher's position and nothing is left allocated.
TEST(XpathMatcher, AllocationFailuresThrowAndLeakNothing) {
  unsigned failures = 0;
  for (unsigned n = 1;; ++n) {
    FailingAllocator failing(n);
    bool done = false;
    {
      ItlClXpathMatcher m;
      char const* rest = nullptr;
      try {
        m.init("a//b/@c|d", rest);
        done = true;
        EXPECT_STREQ(rest, "d");
        EXPECT_EQ(m.getOperationCount(), 8u);
      } catch (CosClExceptionFatal const& e) {
        ++failures;
        EXPECT_STREQ(e.getLocation(), "../cos/headers/cos_memmgr:359");
        EXPECT_EQ(m.getOperations(), nullptr);
      }
    }
    EXPECT_EQ(FailingAllocator::alive, 0) << "allocation " << n;
    if (done) break;
    ASSERT_LT(n, 10u);
  }
  // The copy of the locator and the operation array.
  EXPECT_EQ(failures, 2u);
}

}  // namespace
