// Tests of the argument cursors: walking the vector, switch matching and
// the judgement of arguments against a usage text (legal, bound, free,
// tagged), and the free-argument walk in both directions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cos_argv.hpp"

namespace {

// An argument vector with the program name in front.
struct Argv {
  std::vector<char const*> v;
  explicit Argv(std::vector<char const*> args) : v{"/bin/tool"} {
    v.insert(v.end(), args.begin(), args.end());
  }
  int argc() const { return (int)v.size(); }
  char const* const* argv() const { return v.data(); }
};

// One letter per argument: S legal switch, s illegal switch, B bound,
// F free and legal, f free and illegal; "+" after a switch that requires a
// value.
std::string judge(char const* usage, Argv const& a) {
  std::string out;
  CosClArgvCheckCursor cursor(a.argc(), a.argv(), usage);
  for (bool ok = cursor.setToFirst(); ok; ok = cursor.setToNext()) {
    if (cursor.isSwitch())
      out += cursor.isLegal() ? 'S' : 's';
    else if (cursor.isBound())
      out += 'B';
    else
      out += cursor.isLegal() ? 'F' : 'f';
    if (cursor.reqArg()) out += '+';
  }
  return out;
}

std::string freeArgs(char const* usage, Argv const& a, bool backwards) {
  std::string out;
  CosClArgvFreeCursor cursor(a.argc(), a.argv(), usage);
  bool ok = backwards ? cursor.setToLast() : cursor.setToFirst();
  for (; ok; ok = backwards ? cursor.setToPrevious() : cursor.setToNext())
    out += std::string(cursor.getAsCString()) + ";";
  return out;
}

char const kIndexUsage[] = "(-i <index name>)\n(-p <index directory>)\n[-v] ";

TEST(ArgvCursor, WalksArgumentsButNeverTheProgramName) {
  Argv a({"one", "-two", "three"});
  CosClArgvCursor cursor(a.argc(), a.argv());
  EXPECT_TRUE(cursor.isValid());
  EXPECT_STREQ(cursor.getAsCString(), "one");
  EXPECT_STREQ(cursor.getArgv0(), "/bin/tool");
  EXPECT_FALSE(cursor.setToPrevious());  // index 0 is no position
  EXPECT_FALSE(cursor.isValid());
  EXPECT_TRUE(cursor.setToLast());
  EXPECT_STREQ(cursor.getAsCString(), "three");
  EXPECT_FALSE(cursor.setToNext());
  EXPECT_TRUE(cursor.setToFirst());
  EXPECT_TRUE(cursor.setToNext());
  EXPECT_TRUE(cursor.isSwitch());

  Argv none({});
  CosClArgvCursor empty(none.argc(), none.argv());
  EXPECT_FALSE(empty.isValid());
  EXPECT_FALSE(empty.setToFirst());
  EXPECT_FALSE(empty.setToLast());
  EXPECT_FALSE(empty.positionTo("v"));
  CosClArgvFreeCursor emptyFree(none.argc(), none.argv(), kIndexUsage);
  EXPECT_FALSE(emptyFree.setToFirst());
  EXPECT_FALSE(emptyFree.setToLast());
}

TEST(ArgvCursor, MatchesSwitchNamesExactly) {
  Argv a({"value", "-5", "-trace", "-T", "-xy"});
  CosClArgvCursor cursor(a.argc(), a.argv());
  EXPECT_TRUE(cursor.positionTo("trace"));
  EXPECT_EQ(cursor.getIndex(), 3);
  EXPECT_TRUE(cursor.positionTo("-trace"));  // the name's own "-" is ignored
  EXPECT_EQ(cursor.getIndex(), 3);
  EXPECT_TRUE(cursor.positionTo("T"));
  EXPECT_FALSE(cursor.positionTo("t"));      // case-sensitive
  EXPECT_FALSE(cursor.positionTo("x"));      // no prefix matches
  EXPECT_FALSE(cursor.positionTo("5"));      // -5 is a value
  EXPECT_FALSE(cursor.positionTo("value"));  // not a switch
  EXPECT_FALSE(cursor.isValid());
}

TEST(ArgvCheckCursor, JudgesArgumentsAgainstTheUsageText) {
  struct Case {
    char const* usage;
    std::vector<char const*> args;
    char const* expected;
  } const cases[] = {
      {kIndexUsage, {"-i", "books", "-p", "/data"}, "S+BS+B"},
      {kIndexUsage, {"-v", "extra"}, "Sf"},           // no free parameter foreseen
      {kIndexUsage, {"-i", "-5"}, "S+B"},             // -5 is the value
      {kIndexUsage, {"-i", "-v"}, "S+S"},             // a switch is never bound
      {kIndexUsage, {"-x", "-vv", "-"}, "sss"},
      {"[-xy]", {"-x", "-xy"}, "sS"},
      {"-v\n-w", {"-v", "-w"}, "SS"},                 // "-v\n" names -v
      {"-v\t-w", {"-v", "-w"}, "SS"},
      {"[-v] [<file> ...]", {"a", "-v", "b"}, "FSF"},
      {"(-n <count>) <file>", {"-n", "3", "f"}, "S+BF"},
      {"", {"a", "-v"}, "fs"},
  };
  for (auto const& c : cases) {
    EXPECT_EQ(judge(c.usage, Argv(c.args)), c.expected) << c.usage;
  }
}

TEST(ArgvCheckCursor, HasArgAndTaggedArguments) {
  char const usage[] = "(-i <name>) [-v]\n!(-debug <level>) [-trace]\n[<word>]";
  Argv a({"-i", "x", "-v", "-debug", "3", "-trace", "debug"});
  CosClArgvCheckCursor cursor(a.argc(), a.argv(), usage);
  std::string hasArg, tagged;
  for (bool ok = cursor.setToFirst(); ok; ok = cursor.setToNext()) {
    hasArg += cursor.hasArg() ? '1' : '0';
    tagged += cursor.isTagged() ? '1' : '0';
  }
  EXPECT_EQ(hasArg, "1001010");
  // -debug and -trace follow the "!"; the word "debug" is no entry text.
  EXPECT_EQ(tagged, "0001010");
}

TEST(ArgvFreeCursor, FindsFreeArgumentsInBothDirections) {
  EXPECT_EQ(freeArgs(kIndexUsage, Argv({"-i", "books", "-p", "/data"}), false), "");
  EXPECT_EQ(freeArgs(kIndexUsage, Argv({"-i", "books", "-p", "/data"}), true), "");
  char const usage[] = "(-i <name>) [-v] [<word> ...]";
  Argv a({"alpha", "-i", "x", "-v", "beta", "-12", "gamma"});
  EXPECT_EQ(freeArgs(usage, a, false), "alpha;beta;-12;gamma;");
  EXPECT_EQ(freeArgs(usage, a, true), "gamma;-12;beta;alpha;");
  Argv boundOnly({"-i", "x"});
  EXPECT_EQ(freeArgs(usage, boundOnly, false), "");
  EXPECT_EQ(freeArgs(usage, boundOnly, true), "");
}

}  // namespace
