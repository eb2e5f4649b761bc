// Tests of the usage-text cursor: which entries a scan stops on, with their
// depths and tagged flags; value requirements of switches; matching of
// names against entries (terminators, including the newline and tab that
// once let "-v\n" fail to match "-v"); texts that must not stall a walk.
#include <gtest/gtest.h>

#include <string>

#include "cos_usage.hpp"

namespace {

// The entries of `usage` in one canonical line: each entry's text up to the
// next blank, newline or bracket, then "/a<arg depth>/o<optional depth>",
// "!" when tagged; entries separated by " ".
std::string entries(char const* usage) {
  std::string out;
  CosClUsageCursor cursor(usage);
  int guard = 0;
  for (bool ok = cursor.setToFirst(); ok && guard < 100; ok = cursor.setToNext(), ++guard) {
    if (!out.empty()) out += ' ';
    std::string entry = cursor.getCurrent();
    entry = entry.substr(0, entry.find_first_of(" \n\t[]()>{}|"));
    if (cursor.getCurrent()[0] == '<') entry += '>';
    out += entry + "/a" + std::to_string(cursor.getArgDepth()) + "/o" +
           std::to_string(cursor.getOptionalDepth());
    if (cursor.isTaggedLine()) out += '!';
  }
  return out;
}

// A cursor on the first switch entry named `name` ("-name" in the text).
CosClUsageCursor onSwitch(char const* usage, char const* name) {
  CosClUsageCursor cursor(usage);
  for (bool ok = cursor.setToFirst(); ok; ok = cursor.setToNext())
    if (cursor.isSwitch() && cursor.matchesSwitch(name)) break;
  return cursor;
}

TEST(UsageCursor, StopsOnSwitchesPlaceholdersWordsAndEllipses) {
  struct Case {
    char const* usage;
    char const* expected;
  } const cases[] = {
      {"(-i <index name>)\n(-p <index directory>)\n[-v] ",
       "-i/a1/o0 <index>/a1/o0 -p/a1/o0 <index>/a1/o0 -v/a0/o1"},
      // A word counts only after a blank of the same scan: not at the start
      // of the text or right after "\n".
      {"tool copy <from> <to>\nmove [-f]", "copy/a0/o0 <from>/a0/o0 <to>/a0/o0 -f/a0/o1"},
      {"[<file> ...] {-a | -b}", "<file>/a0/o1 ./a0/o1 -a/a0/o0 -b/a0/o0"},
      // The tagged flag holds to the end of its line.
      {"[-v] ! (-debug <level>)\n-x", "-v/a0/o1 -debug/a1/o0! <level>/a1/o0! -x/a0/o0"},
      // Quoted text is passed over; an unterminated quote ends the walk.
      {"-a \"-b <c>\" -d", "-a/a0/o0 -d/a0/o0"},
      {"-a \"-b -c", "-a/a0/o0"},
      // Tab separates like a blank.
      {"-a\tword", "-a/a0/o0 word/a0/o0"},
      {"", ""},
      {"just text", "text/a0/o0"},
  };
  for (auto const& c : cases) EXPECT_EQ(entries(c.usage), c.expected) << c.usage;
}

TEST(UsageCursor, SlashAndNegativeNumbersAreTextAndNeverStallTheWalk) {
  // "/" and "-" before a digit are ordinary text: the digits after a blank
  // form a word entry, and every step advances.
  EXPECT_EQ(entries("-a /x -5 b"), "-a/a0/o0 x/a0/o0 5/a0/o0 b/a0/o0");
  EXPECT_EQ(entries("/-1/-2"), "");
}

TEST(UsageCursor, SwitchesRequiringValues) {
  struct Case {
    char const* usage;
    char const* name;
    bool reqArg;
    bool reqArgEllipsis;
  } const cases[] = {
      {"(-i <index name>) [-all]", "i", true, false},
      {"(-i <index name>) [-all]", "all", false, false},
      {"(-a) -b", "a", false, false},  // alone in its parentheses
      {"(-a -b)", "a", false, false},  // followed by another switch
      {"(-f <file> ...)", "f", true, true},
      {"(-f <file>) ...", "f", true, false},  // the ellipsis is outside
      {"[(-n <count>)]", "n", true, false},
  };
  for (auto const& c : cases) {
    CosClUsageCursor cursor = onSwitch(c.usage, c.name);
    ASSERT_TRUE(cursor.isValid()) << c.usage << " " << c.name;
    EXPECT_EQ(cursor.reqArg(), c.reqArg) << c.usage << " " << c.name;
    EXPECT_EQ(cursor.reqArgEllipsis(), c.reqArgEllipsis) << c.usage << " " << c.name;
  }
}

TEST(UsageCursor, NameEndsAtTerminatorsIncludingNewlineAndTab) {
  struct Case {
    char const* usage;
    bool matchesV;
  } const cases[] = {
      {"-v", true},    {"-v ", true},   {"-v]", true},   {"-v)", true},
      {"-v|-w", true}, {"-v<", true},   {"-v\n", true},  {"-v\t", true},
      {"-vx", false},  {"-v.", false},  {"-v!", false},
  };
  for (auto const& c : cases) {
    CosClUsageCursor cursor(c.usage);
    ASSERT_TRUE(cursor.setToFirst()) << c.usage;
    EXPECT_EQ(cursor.matchesSwitch("-v"), c.matchesV) << '"' << c.usage << '"';
    EXPECT_EQ(cursor.matchesSwitch("v"), c.matchesV) << '"' << c.usage << '"';
    EXPECT_EQ(cursor.matches("-v"), c.matchesV) << '"' << c.usage << '"';
  }
  // The argument -x does not match the entry -xy, nor -xy the entry -x.
  CosClUsageCursor xy("-xy");
  ASSERT_TRUE(xy.setToFirst());
  EXPECT_FALSE(xy.matchesSwitch("-x"));
  CosClUsageCursor x("[-x]");
  ASSERT_TRUE(x.setToFirst());
  EXPECT_FALSE(x.matchesSwitch("-xy"));
  // Switch matching is for switch entries only.
  CosClUsageCursor word("a word");
  ASSERT_TRUE(word.setToFirst());
  EXPECT_FALSE(word.matchesSwitch("ord"));
  EXPECT_TRUE(word.matches("word"));
}

TEST(UsageCursor, SwitchIndicatorAndDisplayedCharacters) {
  EXPECT_TRUE(CosClUsageCursor::isSwitchIndicator("-x"));
  EXPECT_TRUE(CosClUsageCursor::isSwitchIndicator("-trace"));
  EXPECT_TRUE(CosClUsageCursor::isSwitchIndicator("-"));
  EXPECT_FALSE(CosClUsageCursor::isSwitchIndicator("-5"));
  EXPECT_FALSE(CosClUsageCursor::isSwitchIndicator("-12"));
  EXPECT_FALSE(CosClUsageCursor::isSwitchIndicator("x-"));
  EXPECT_FALSE(CosClUsageCursor::isSwitchIndicator(""));
  EXPECT_FALSE(CosClUsageCursor::isSwitchIndicator(nullptr));
  for (char c : std::string("\"()"))
    EXPECT_FALSE(CosClUsageCursor::isToBeDisplayed(c)) << c;
  for (char c : std::string("[]<>{}|-!. aZ\n"))
    EXPECT_TRUE(CosClUsageCursor::isToBeDisplayed(c)) << c;
}

TEST(UsageCursor, DepthsAccumulateFromConstruction) {
  // setToFirst() does not clear the depths: a second walk over the same
  // cursor sees them shifted, which is why each check builds a new cursor.
  CosClUsageCursor cursor("(-a <x>) (-b");
  ASSERT_TRUE(cursor.setToFirst());  // -a
  ASSERT_TRUE(cursor.setToNext());   // <x>
  ASSERT_TRUE(cursor.setToNext());   // -b
  EXPECT_TRUE(cursor.matchesSwitch("b"));
  EXPECT_EQ(cursor.getArgDepth(), 1);
  ASSERT_TRUE(cursor.setToFirst());
  EXPECT_EQ(cursor.getArgDepth(), 2);
}

}  // namespace
