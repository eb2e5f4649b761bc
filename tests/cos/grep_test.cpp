// Tests of the regular-expression matcher.
#include <gtest/gtest.h>

#include <string>

#include "cos_grep.hpp"

namespace {

TEST(Grep, AgreesWithTable) {
    struct Case {
        char const* pattern;
        bool ignoreCase;
        char const* text;
        int offset;  // start of the whole match; -1: no match
    } const cases[] = {
        {"b+c", false, "aabbbcc", 2},
        {"^ab", false, "abab", 0},
        {"ab$", false, "abab", 2},
        {"x|yz", false, "aayzx", 2},  // leftmost match wins
        {"(ab){2}", false, "ababab", 0},
        {"[0-9]+", false, "id 4711", 3},
        {"ABC", true, "xxabc", 2},
        {"ABC", false, "xxabc", -1},
        {"a.c", false, "abc", 0},
        {"a.c", false, "ac", -1},
        {"", false, "text", 0},  // the empty expression matches at once
        {"q", false, "", -1},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " on " + c.text);
        CosClGrep grep(c.pattern, c.ignoreCase);
        ASSERT_EQ(grep.getCompileResult(), 0);
        char const* found = grep.getPattern(c.text);
        if (c.offset < 0) EXPECT_EQ(found, nullptr);
        else EXPECT_EQ(found, c.text + c.offset);
    }
}

TEST(Grep, CompileFlagsConstructorUsesTheGivenSyntax) {
    char const text[] = "say a+b now";
    CosClGrep basic(0, "a+b");  // basic syntax: "+" is a literal
    EXPECT_EQ(basic.getPattern(text), text + 4);
    CosClGrep extended(REG_EXTENDED, "a+b");
    char const aab[] = "xaaab";
    EXPECT_EQ(extended.getPattern(aab), aab + 1);
    CosClGrep folded(REG_EXTENDED | REG_ICASE, "NOW");
    EXPECT_EQ(folded.getPattern(text), text + 8);
}

TEST(Grep, ExecutionFlagsReachTheMatcher) {
    char const text[] = "abcabc";
    CosClGrep grep("^abc", false);
    EXPECT_EQ(grep.getPattern(text, 0), text);
    EXPECT_EQ(grep.getPattern(text, REG_NOTBOL), nullptr);
    CosClGrep atEnd("c$", false);
    EXPECT_EQ(atEnd.getPattern(text, REG_NOTEOL), nullptr);
}

TEST(Grep, NoMatchPositionReturnsTextItself) {
    char const text[] = "xxabc";
    CosClGrep grep("abc", false);
    EXPECT_EQ(grep.getPattern(text, CosClGrep::NO_MATCH_POSITION), text);
    EXPECT_EQ(grep.getPattern("xxab", CosClGrep::NO_MATCH_POSITION), nullptr);
    // Combined with a platform flag, which still applies.
    CosClGrep anchored("^x", false);
    EXPECT_EQ(anchored.getPattern(text, CosClGrep::NO_MATCH_POSITION | REG_NOTBOL), nullptr);
}

TEST(Grep, NoSubexpressionCompileNeverReadsAMatchPosition) {
    // REG_NOSUB leaves the match record unfilled: the text itself is returned.
    char const text[] = "xxabc";
    CosClGrep grep(REG_EXTENDED | REG_NOSUB, "abc");
    EXPECT_EQ(grep.getPattern(text), text);
    EXPECT_EQ(grep.getPattern("xyz"), nullptr);
}

TEST(Grep, FailedCompileNeverMatches) {
    // Before: getPattern ran regexec on an expression that never compiled,
    // and the destructor freed it.
    char const* const bad[] = {"(unclosed", "a{2,1}", "[z-a]", "*"};
    for (char const* pattern : bad) {
        SCOPED_TRACE(pattern);
        CosClGrep grep(pattern, false);
        EXPECT_NE(grep.getCompileResult(), 0);
        EXPECT_EQ(grep.getPattern("(unclosed a{2,1} [z-a] *"), nullptr);
        EXPECT_EQ(grep.getPattern("anything", CosClGrep::NO_MATCH_POSITION), nullptr);
    }
}

TEST(Grep, WorksThroughTheMatcherInterface) {
    CosClGrep grep("[0-9]{3}", false);
    CosClStringMatchABase& matcher = grep;
    char const text[] = "ab12345";
    EXPECT_EQ(matcher.getPattern(text), text + 2);
}

}  // namespace
