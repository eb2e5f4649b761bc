// Tests of the search condition compiler: expressions of a table of
// additions, refusals, growth of the tables, a randomized comparison with a
// small printer written from the writing rules, and the engine's own check
// of every compiled condition (GTRconvertSearchCond_Mix translates a mixed
// condition and copies it unchanged when it is sound).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "calls/voz_convcond.hpp"
#include "cos_trace.hpp"
#include "files/voz_status.hpp"
#include "itl_context.hpp"
#include "itl_error.hpp"
#include "itl_search_condition.hpp"
#include "ti_test_util.hpp"

namespace {

// One addition: an operand (T), NOT (N), a boolean operator (B) or a
// proximity operator (P).
struct Step {
  char kind;
  int op = 0;        // B: operator value
  int mode = 0;
  int distance = 0;  // P
};

Step T() { return {'T'}; }
Step N(int mode) { return {'N', 3, mode}; }
Step B(int op, int mode) { return {'B', op, mode}; }
Step AND(int mode) { return B(0, mode); }
Step OR(int mode) { return B(1, mode); }
Step PROX(int distance, int mode) { return {'P', 0, mode, distance}; }

uint8_t kWord[] = {'w', 'o', 'r', 'd'};
uint8_t kValue[] = {'v', 'a', 'l'};

// Operand n (from 1) filled by hand: odd numbers a word, even numbers an
// item (character items and numeric ranges in turn).
void addOperand(ItlClSearchCondition& c, int n) {
  if (n % 2 == 1) {
    RTRVWORD w{};
    w.type = 'W';
    w.casesens = 'N';
    w.wordp = kWord;
    w.wordlen = sizeof kWord;
    w.precision = 100;
    c.addTermOperand(w);
    return;
  }
  SEARCHITEM s{};
  s.item_number = 1;
  if (n % 4 == 2) {
    s.item_type = 'C';
    s.char_ptr = kValue;
    s.char_len = sizeof kValue;
    s.char_precision = 100;
    s.char_casesens = 'N';
  } else {
    s.item_type = 'N';
    s.num_min_value = 1;
    s.num_max_value = 9;
    s.num_min_equal = 'I';
    s.num_max_equal = 'X';
  }
  c.addAttributeOperand(s);
}

// Applies the steps; returns the reason of the first refused addition (0
// when every addition was taken).
int applySteps(ItlClSearchCondition& c, std::vector<Step> const& steps) {
  int refused = 0;
  int operands = 0;
  for (Step const& s : steps) {
    try {
      switch (s.kind) {
        case 'T': addOperand(c, ++operands); break;
        case 'N':
        case 'B':
          c.addOperator(static_cast<ItlEnOperator>(s.op),
                        static_cast<ItlEnOperatorMode>(s.mode));
          break;
        default:
          c.addProximityOperator(static_cast<uint16_t>(s.distance),
                                 static_cast<ItlEnOperatorMode>(s.mode));
      }
    } catch (ItlClException const& e) {
      if (refused == 0) refused = e.getReasonCode();
    }
  }
  return refused;
}

// The expression of finalize, or "reason <n>".
std::string compile(ItlClSearchCondition& c, ItlClContext* context = nullptr) {
  try {
    c.finalize(context);
  } catch (ItlClException const& e) {
    return "reason " + std::to_string(e.getReasonCode());
  }
  return c.getExpression();
}

std::string compile(std::vector<Step> const& steps) {
  ItlClSearchCondition c(1000);
  applySteps(c, steps);
  return compile(c);
}

// The engine's check of a compiled condition: 0 and the condition copied
// unchanged, or the engine's return and error codes.
std::string engineCheck(ItlClSearchCondition const& c) {
  void* handle = nullptr;
  GTRSEARCH_COND out{};
  GTRSTATUS status{};
  GTRconvertSearchCond_Mix(&handle, c.getCondition(), &out, &status);
  std::string result = "0";
  if (status.retcode != 0)
    result = std::to_string(status.retcode) + "/" + std::to_string(status.errcode);
  else if (out.mix != c.getCondition().mix || out.mix_num != c.getOperandCount() ||
           std::strcmp(out.mix_order, c.getExpression()) != 0)
    result = "changed";
  GTRconvertSearchCond_Release(&handle);
  return result;
}

struct TableCase {
  char const* name;
  std::vector<Step> steps;
  char const* expression;
};

std::vector<TableCase> const& tableCases() {
  static std::vector<TableCase> const cases = {
      {"and", {T(), T(), AND(0)}, "( 1 *S 2 )"},
      {"negated right side becomes and-not", {T(), T(), N(1), AND(0)}, "( 1 -F 2 )"},
      {"negated first operand", {T(), N(0), T(), AND(0)}, "( !S 1 *S 2 )"},
      {"proximity under or", {T(), T(), PROX(5, 1), T(), OR(1)}, "( ( 1 *5F 2 ) +F 3 )"},
      {"negated bracket after and", {T(), T(), T(), AND(0), N(0), AND(0)},
       "( 1 -S ( 2 *S 3 ) )"},
      {"negated root", {T(), T(), AND(0), N(1)}, "!F ( 1 *S 2 )"},
      {"and in mode P", {T(), T(), AND(2)}, "( 1 *P 2 )"},
      {"single operand", {T()}, "( 1 )"},
      {"single negated operand", {T(), N(1)}, "( !F 1 )"},
      {"single negated mode 0", {T(), N(0)}, "( !S 1 )"},
      {"double negation cancels", {T(), N(1), N(1)}, "( 1 )"},
      {"proximity keeps its text after negation", {T(), T(), N(0), PROX(0, 0)},
       "( 1 *0S !S 2 )"},
      {"or and and-not", {T(), T(), OR(0), T(), B(2, 1)}, "( ( 1 +S 2 ) -F 3 )"},
  };
  return cases;
}

TEST(SearchCondition, TableOfExpressions) {
  for (TableCase const& c : tableCases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(compile(c.steps), c.expression);
  }
}

TEST(SearchCondition, EngineAcceptsEveryCompiledCondition) {
  for (TableCase const& c : tableCases()) {
    SCOPED_TRACE(c.name);
    ItlClSearchCondition condition(1000);
    ASSERT_EQ(applySteps(condition, c.steps), 0);
    ASSERT_EQ(compile(condition), c.expression);
    GTRSEARCH_COND const& r = condition.getCondition();
    EXPECT_EQ(r.codepage, 34);
    EXPECT_EQ(r.cond_type, GTR_COND_MIX);
    EXPECT_EQ(r.word_limit, 1000);
    EXPECT_EQ(r.pSkipFuncInfo, nullptr);
    EXPECT_EQ(engineCheck(condition), "0");
  }
}

TEST(SearchCondition, RefusalsAndErrors) {
  EXPECT_EQ(compile({}), "reason 371");
  EXPECT_EQ(compile({T(), T()}), "reason 371");
  EXPECT_EQ(compile({T(), T(), T(), AND(0)}), "reason 362");
  EXPECT_EQ(compile({T(), T(), B(7, 0)}), "reason 363");
  // Refused at addition, nothing changed.
  ItlClSearchCondition c;
  EXPECT_EQ(applySteps(c, {AND(0)}), 6);
  EXPECT_EQ(applySteps(c, {N(0)}), 6);
  EXPECT_EQ(applySteps(c, {T(), PROX(3, 0)}), 6);
  EXPECT_EQ(c.getOperatorCount(), 0u);
  EXPECT_EQ(c.getOperandCount(), 1);
  EXPECT_EQ(compile(c), "( 1 )");
  // finalize runs again after more additions.
  EXPECT_EQ(applySteps(c, {T(), OR(1)}), 0);
  EXPECT_EQ(compile(c), "( 1 +F 2 )");
  c.clear();
  EXPECT_EQ(c.getOperandCount(), 0);
  EXPECT_EQ(c.getExpression(), nullptr);
  EXPECT_EQ(compile(c), "reason 371");
}

TEST(SearchCondition, ManyOperandsGrowTheTables) {
  std::vector<Step> steps = {T()};
  std::string expected = "1";
  for (int n = 2; n <= 25; ++n) {
    steps.push_back(T());
    steps.push_back(OR(0));
    expected = "( " + expected + " +S " + std::to_string(n) + " )";
  }
  ItlClSearchCondition c;
  ASSERT_EQ(applySteps(c, steps), 0);
  EXPECT_EQ(compile(c), expected);
  EXPECT_EQ(c.getOperandCount(), 25);
  EXPECT_EQ(c.getOperatorCount(), 24u);
  for (int n = 1; n <= 25; ++n)
    EXPECT_EQ(c.getCondition().mix[n - 1].mix_type, n % 2 == 1 ? 1 : 2) << n;
  EXPECT_EQ(std::memcmp(c.getCondition().mix[24].word.wordp, kWord, 4), 0);
  EXPECT_EQ(engineCheck(c), "0");
}

// ---- the model printer ---------------------------------------------------------

// Builds the tree of the additions on a stack of its own and prints it by
// the writing rules: brackets, the negation prefixes and the AND-NOT
// rewrite of a text that ends in an AND.
struct Model {
  struct Node {
    bool operand;
    int number;         // operands
    char kind;          // operators: 'B' or 'P'
    int op, mode, distance;
    int left, right;    // node indexes
    bool negated = false;
    int negMode = 0;
  };
  std::vector<Node> nodes;
  std::vector<int> stack;
  int operands = 0;
  int operators = 0;
  int last = -1;  // node of the last addition

  int add(Step const& s) {
    if (s.kind == 'T') {
      nodes.push_back({true, ++operands, 0, 0, 0, 0, -1, -1});
      stack.push_back(last = static_cast<int>(nodes.size()) - 1);
      return 0;
    }
    if (s.kind == 'N') {
      if (last < 0) return 6;
      nodes[last].negated = !nodes[last].negated;
      nodes[last].negMode = s.mode;
      return 0;
    }
    if (stack.size() < 2) return 6;
    Node n{false, 0, s.kind, s.op, s.mode, s.distance, stack[stack.size() - 2],
           stack.back()};
    stack.resize(stack.size() - 2);
    nodes.push_back(n);
    stack.push_back(last = static_cast<int>(nodes.size()) - 1);
    ++operators;
    return 0;
  }

  static void negate(std::string& out, int mode) {
    if (out.size() > 4 && out[out.size() - 3] == '*') {
      out[out.size() - 3] = '-';
      if (mode == 1) out[out.size() - 2] = 'F';
      return;
    }
    out += mode == 1 ? "!F " : "!S ";
  }

  // False for an invalid operator value.
  bool print(int i, std::string& out) const {
    Node const& n = nodes[i];
    if (n.negated) negate(out, n.negMode);
    if (n.operand) {
      out += std::to_string(n.number);
      return true;
    }
    out += "( ";
    if (!print(n.left, out)) return false;
    if (n.kind == 'P') {
      out += " *" + std::to_string(n.distance) + (n.mode == 1 ? "F " : "S ");
    } else {
      if (n.op < 0 || n.op > 2) return false;
      out += std::string(" ") + "*+-"[n.op] + (n.mode == 1 ? 'F' : n.mode == 2 ? 'P' : 'S') + " ";
    }
    if (!print(n.right, out)) return false;
    out += " )";
    return true;
  }

  std::string result() const {
    if (operands == 0 || (operands > 1 && operators == 0)) return "reason 371";
    if (stack.size() > 1) return "reason 362";
    std::string out;
    if (operands == 1) {
      out = "( ";
      print(stack.back(), out);
      return out + " )";
    }
    if (!print(stack.back(), out)) return "reason 363";
    return out;
  }
};

TEST(SearchCondition, AgreesWithModelPrinter) {
  std::mt19937 rng(testSeed());
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  int const distances[] = {0, 1, 5, 9, 17, 32};
  for (int round = 0; round < 600; ++round) {
    int wanted = 1 + pick(60);
    std::vector<Step> steps;
    int operands = 0, depth = 0;
    // Mostly well-formed sequences, with now and then a stray operator,
    // a bad operator value or operands left over.
    while (operands < wanted || depth > 1) {
      int r = pick(100);
      if (operands < wanted && (depth < 2 || r < 40)) {
        steps.push_back(T());
        ++operands;
        ++depth;
      } else if (r < 55) {
        steps.push_back(N(pick(3)));
      } else if (r < 70) {
        steps.push_back(PROX(distances[pick(6)], pick(3)));
        --depth;
      } else {
        steps.push_back(B(pick(200) == 0 ? 7 : pick(3), pick(3)));
        --depth;
      }
      if (pick(40) == 0) steps.push_back(N(pick(2)));
      if (pick(300) == 0) break;
    }
    if (pick(50) == 0) steps.insert(steps.begin(), AND(0));
    Model model;
    int modelRefused = 0;
    for (Step const& s : steps) {
      int r = model.add(s);
      if (modelRefused == 0) modelRefused = r;
    }
    ItlClSearchCondition c(5);
    ASSERT_EQ(applySteps(c, steps), modelRefused) << "round " << round;
    std::string got = compile(c);
    ASSERT_EQ(got, model.result()) << "round " << round;
    if (got.compare(0, 6, "reason") == 0) continue;
    // Every operand number appears exactly once.
    std::vector<int> seen(model.operands + 1, 0);
    for (size_t i = 0; i < got.size();) {
      if (got[i] >= '0' && got[i] <= '9' && (i == 0 || got[i - 1] == ' ' || got[i - 1] == '(')) {
        size_t end = got.find(' ', i);
        bool distance = got[i - 1] == '*';
        if (!distance && i >= 1 && got[i - 1] == ' ') ++seen[std::stoi(got.substr(i, end - i))];
        i = end;
      } else {
        ++i;
      }
    }
    for (int n = 1; n <= model.operands; ++n) ASSERT_EQ(seen[n], 1) << got;
    // The engine takes it, except mode P after OR or AND-NOT, which it
    // refuses by name (102/1167).
    bool pAfterOther = got.find("+P") != std::string::npos ||
                       got.find("-P") != std::string::npos;
    ASSERT_EQ(engineCheck(c), pAfterOther ? "102/1167" : "0") << got;
  }
}

// ---- skip callback and trace ----------------------------------------------------

unsigned int skipCallback(ITLSKIPDATA*, void*) { return 0; }

struct TraceLog {
  std::vector<std::pair<std::string, std::string>> records;
};

void collect(void* context, CosEnTraceDetail, uint16_t, CosEnTraceDataType,
             char const*, char const* message, void const* data,
             uint32_t length) {
  static_cast<TraceLog*>(context)->records.emplace_back(
      message ? message : "",
      data ? std::string(static_cast<char const*>(data), length) : "");
}

TEST(SearchCondition, SkipCallbackAndTrace) {
  ItlClErrorInfo info;
  ItlClContext context(info);
  int user = 0;
  ItlClSearchCondition c;
  ASSERT_EQ(applySteps(c, {T(), T(), AND(0)}), 0);
  EXPECT_EQ(compile(c, &context), "( 1 *S 2 )");
  EXPECT_EQ(c.getCondition().pSkipFuncInfo, nullptr);
  context.registerSkipDocumentSetCallback(skipCallback, &user);

  TraceLog log;
  CosClTraceInstance* trace = cosTraceCreateInstance("itltest", "condition");
  trace->registerUserCallback(collect, &log);
  trace->activate();
  ASSERT_TRUE(trace->enable());
  EXPECT_EQ(compile(c, &context), "( 1 *S 2 )");
  trace->disable();
  cosTraceDeleteInstance();

  GTRSKIPFUNCINFO const* skip = c.getCondition().pSkipFuncInfo;
  ASSERT_NE(skip, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(skip->skip_function),
            reinterpret_cast<void*>(skipCallback));
  EXPECT_EQ(skip->flags, 1);
  EXPECT_EQ(skip->user_data, &user);
  EXPECT_EQ(engineCheck(c), "0");
  bool found = false;
  for (auto const& r : log.records)
    if (r.first == "Query operand string: " && r.second == "( 1 *S 2 )") found = true;
  EXPECT_TRUE(found);
}

}  // namespace
