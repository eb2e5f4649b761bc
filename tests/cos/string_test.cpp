// Tests of the byte-string routines: case-insensitive comparison and search,
// numbers as text, wildcards and the substring/wildcard matchers.
#include <gtest/gtest.h>

#include "ti_test_util.hpp"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cos_memmgr.hpp"
#include "cos_string.hpp"
#include "cos_stringmatch.hpp"

namespace {

int sign(int v) { return (v > 0) - (v < 0); }

// ---------------------------------------------------------------------------
// Comparison

struct CompareCase {
    char const* a;
    char const* b;
    unsigned n;  // for strncmpi / memicmp
    int strcmpiSign;
    int strncmpiSign;
};

TEST(CaseInsensitiveCompare, AgreesWithTable) {
    CompareCase const cases[] = {
        {"abc", "ABC", 3, 0, 0},
        {"abc", "ABD", 3, -1, -1},
        {"abcX", "ABCY", 3, -1, 0},    // strncmpi stops after 3
        {"ab", "abc", 3, -1, -1},      // shorter string compares lower
        {"abc", "ab", 3, 1, 1},
        {"", "", 5, 0, 0},
        {"a", "B", 0, -1, 0},          // n == 0 gives 0
        {"Hello", "hello", 10, 0, 0},  // n beyond both terminators
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(sign(strcmpi(c.a, c.b)), c.strcmpiSign);
        EXPECT_EQ(sign(strncmpi(c.a, c.b, c.n)), c.strncmpiSign);
    }
    // The folding direction shows with characters between the cases:
    // strcmpi upper-cases ('[' 0x5B > 'A' 0x41), strncmpi lower-cases
    // ('[' 0x5B < 'a' 0x61).
    EXPECT_GT(strcmpi("[", "a"), 0);
    EXPECT_LT(strncmpi("[", "a", 1), 0);
}

TEST(CaseInsensitiveCompare, ReturnsDifferenceOfFoldedBytes) {
    EXPECT_EQ(strcmpi("abc", "ABD"), 'C' - 'D');
    EXPECT_EQ(strcmpi("ab", "ABC"), 0 - 'C');
    EXPECT_EQ(strncmpi("abX", "ABy", 3), 'x' - 'y');
    // Bytes above 0x7F compare as unsigned values.
    EXPECT_GT(strcmpi("\xE9", "a"), 0);
    EXPECT_GT(strncmpi("\xE9", "a", 1), 0);
}

TEST(CaseInsensitiveCompare, MemicmpComparesExactlyNBytes) {
    EXPECT_EQ(memicmp("aB\0x", "Ab\0y", 3), 0);  // embedded zero is just a byte
    EXPECT_LT(memicmp("aB\0x", "Ab\0y", 4), 0);
    EXPECT_EQ(memicmp("abc", "xyz", 0), 0);
    EXPECT_EQ(memicmp("abc", "ABD", 3), 'c' - 'd');
    EXPECT_GT(memicmp("\x80", "\x7F", 1), 0);
}

TEST(CaseConversion, ConvertsInPlaceAndReturnsArgument) {
    char text[] = "Mixed Case 123 [x]";
    EXPECT_EQ(strupr(text), text);
    EXPECT_STREQ(text, "MIXED CASE 123 [X]");
    EXPECT_EQ(strlwr(text), text);
    EXPECT_STREQ(text, "mixed case 123 [x]");
}

// ---------------------------------------------------------------------------
// Search, count, copy

TEST(StrFind, AgreesWithTable) {
    struct Case {
        char const* text;
        char const* pattern;
        bool ignoreCase;
        int offset;  // -1: not found
    } const cases[] = {
        {"aAb", "ab", true, 1},  // a failing partial match hides nothing
        {"aAb", "ab", false, -1},
        {"xxABCxx", "abc", true, 2},
        {"xxABCxx", "abc", false, -1},
        {"abc", "", true, 0},
        {"", "", true, 0},
        {"", "a", true, -1},
        {"ab", "abc", true, -1},
        {"aaab", "AAB", true, 1},
        {"hello world", "WORLD", true, 6},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.pattern);
        char const* found = cosStrFind(c.text, c.pattern, c.ignoreCase);
        if (c.offset < 0) EXPECT_EQ(found, nullptr);
        else EXPECT_EQ(found, c.text + c.offset);
    }
}

TEST(StrCount, CountsOccurrences) {
    EXPECT_EQ(cosStrCount("", 'a'), 0u);
    EXPECT_EQ(cosStrCount("a/b/c/", '/'), 3u);
    EXPECT_EQ(cosStrCount("abc", 'x'), 0u);
    EXPECT_EQ(cosStrCount("abc", '\0'), 0u);
}

TEST(StrCopyUntil, CopiesUpToStopOrEnd) {
    char dst[16];
    std::memset(dst, '#', sizeof dst);
    EXPECT_EQ(cosStrCopyUntil(dst, "key=value", '='), 3u);
    EXPECT_STREQ(dst, "key");
    EXPECT_EQ(cosStrCopyUntil(dst, "novalue", '='), 7u);
    EXPECT_STREQ(dst, "novalue");
    EXPECT_EQ(cosStrCopyUntil(dst, "=x", '='), 0u);
    EXPECT_STREQ(dst, "");
}

// ---------------------------------------------------------------------------
// Numbers as text

TEST(NumberToText, WritesSignedValues) {
    struct Case {
        int64_t value;
        char const* text;
    } const cases[] = {
        {0, "0"},
        {-1, "-1"},
        {7, "7"},
        {-10, "-10"},
        {INT64_MAX, "9223372036854775807"},
        {INT64_MIN, "-9223372036854775808"},
    };
    char buffer[COS_NUMTEXT_MAX];
    for (auto const& c : cases) {
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(cosI64toa(c.value, buffer), std::strlen(c.text));
        EXPECT_STREQ(buffer, c.text);
    }
    EXPECT_EQ(cosItoa(INT_MIN, buffer), 11u);
    EXPECT_STREQ(buffer, "-2147483648");
    EXPECT_EQ(cosItoa(INT_MAX, buffer), 10u);
    EXPECT_STREQ(buffer, "2147483647");
    EXPECT_EQ(cosLtoa(INT32_MIN, buffer), 11u);
    EXPECT_STREQ(buffer, "-2147483648");
    EXPECT_EQ(cosLtoa(-305, buffer), 4u);
    EXPECT_STREQ(buffer, "-305");
}

TEST(NumberToText, WritesUnsignedValues) {
    char buffer[COS_NUMTEXT_MAX];
    EXPECT_EQ(cosW64toa(UINT64_MAX, buffer), 20u);
    EXPECT_STREQ(buffer, "18446744073709551615");
    EXPECT_EQ(cosW64toa(0, buffer), 1u);
    EXPECT_STREQ(buffer, "0");
    EXPECT_EQ(cosW64toa(1000000, buffer), 7u);
    EXPECT_STREQ(buffer, "1000000");
    EXPECT_EQ(cosULtoa(UINT32_MAX, buffer), 10u);
    EXPECT_STREQ(buffer, "4294967295");
    EXPECT_EQ(cosULtoa(0, buffer), 1u);
    EXPECT_STREQ(buffer, "0");
}

TEST(NumberToText, AgreesWithPrintfOnRandomValues) {
    std::mt19937_64 rng(testSeed());
    char buffer[COS_NUMTEXT_MAX], expected[32];
    for (int i = 0; i < 2000; ++i) {
        uint64_t raw = rng() >> (rng() % 64);  // all magnitudes
        std::snprintf(expected, sizeof expected, "%llu", static_cast<unsigned long long>(raw));
        ASSERT_EQ(cosW64toa(raw, buffer), std::strlen(expected));
        ASSERT_STREQ(buffer, expected);
        int64_t value = static_cast<int64_t>(raw) * ((i & 1) ? -1 : 1);
        std::snprintf(expected, sizeof expected, "%lld", static_cast<long long>(value));
        ASSERT_EQ(cosI64toa(value, buffer), std::strlen(expected));
        ASSERT_STREQ(buffer, expected);
    }
}

// ---------------------------------------------------------------------------
// Wildcards

TEST(Wildcards, AgreesWithTable) {
    struct Case {
        char const* pattern;
        char const* text;
        bool caseSensitive;
        bool matches;
    } const cases[] = {
        {"*.txt", "a.TXT", false, true},
        {"*.txt", "a.TXT", true, false},
        {"?", "", true, false},  // "?" needs a character
        {"a*", "a", true, true},
        {"", "", true, true},    // empty pattern matches only empty text
        {"", "a", true, false},
        {"*", "", true, true},
        {"**", "abc", true, true},
        {"a?c", "abc", true, true},
        {"a?c", "ac", true, false},
        {"*?", "", true, false},  // "?" met while skipping needs a character
        {"*?", "x", true, true},
        {"*a", "banana", true, true},
        {"*an*a", "banana", true, true},
        {"*n?n*", "banana", true, true},
        {"b*n", "banana", true, false},  // must match the whole text
        {"*.*", "README", true, false},
        {"*.*", "a.b.c", true, true},
        {"a*b*c", "aXbYc", true, true},
        {"a*b*c", "aXbYcZ", true, false},
        {"?*?", "ab", true, true},
        {"?*?", "a", true, false},
        {"ABC", "abc", false, true},
        {"ABC", "abc", true, false},
        {"*[ab]", "x[ab]", true, true},  // no character classes
        {"\\*", "*", true, false},  // no escape character: "\" is literal
        {"\\*", "\\x", true, true},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.text);
        EXPECT_EQ(cosMatchesWildcardPattern(c.pattern, c.text, c.caseSensitive), c.matches);
    }
}

// Reference matcher: dynamic programming over all prefixes.
bool wildcardModel(std::string const& p, std::string const& t) {
    std::vector<std::vector<bool>> m(p.size() + 1, std::vector<bool>(t.size() + 1));
    m[0][0] = true;
    for (size_t i = 1; i <= p.size(); ++i) {
        for (size_t j = 0; j <= t.size(); ++j) {
            if (p[i - 1] == '*') m[i][j] = m[i - 1][j] || (j > 0 && m[i][j - 1]);
            else if (j > 0) m[i][j] = m[i - 1][j - 1] && (p[i - 1] == '?' || p[i - 1] == t[j - 1]);
        }
    }
    return m[p.size()][t.size()];
}

TEST(Wildcards, AgreesWithModelOnRandomPatterns) {
    std::mt19937 rng(testSeed());
    auto randomText = [&](char const* alphabet, size_t maxLength) {
        std::string s(rng() % (maxLength + 1), ' ');
        for (char& c : s) c = alphabet[rng() % std::strlen(alphabet)];
        return s;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string pattern = randomText("ab*?", 7);
        std::string text = randomText("ab", 9);
        ASSERT_EQ(cosMatchesWildcardPattern(pattern.c_str(), text.c_str(), true),
                  wildcardModel(pattern, text))
            << "pattern " << pattern << " text " << text;
    }
}

TEST(Wildcards, ManyStarsStayFast) {
    // Backtracking over every split would take exponential time here.
    std::string text(2000, 'a');
    EXPECT_FALSE(cosMatchesWildcardPattern("*a*a*a*a*a*a*a*a*a*a*a*b", text.c_str(), true));
    EXPECT_TRUE(cosMatchesWildcardPattern("*a*a*a*a*a*a*a*a*a*a*a*", text.c_str(), true));
}

// ---------------------------------------------------------------------------
// Matchers

TEST(StringSearch, AgreesWithTable) {
    struct Case {
        char const* pattern;
        char const* text;
        bool ignoreCase;
        int offset;  // -1: not found
    } const cases[] = {
        {"bab", "aab", false, -1},
        {"bab", "xxbab", false, 2},
        {"bab", "xxBAB", false, -1},
        {"bab", "xxBAB", true, 2},
        {"ab", "xab", true, 1},  // shift is looked up with the upper-cased byte
        {"AB", "xaB", true, 1},
        {"", "abc", false, 0},
        {"", "", true, 0},
        {"abcd", "abc", false, -1},  // longer than the text
        {"abc", "abc", false, 0},
        {"needle", "haystack with a needle in it", false, 16},
        {"aaa", "aabaaab", false, 3},
        {"\xE9t\xE9", "caf\xE9t\xE9", false, 3},  // bytes above 0x7F index the table
        {"xyz", "xyxyxyz", false, 4},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " in " + c.text);
        CosClStringSearch search(c.pattern, c.ignoreCase);
        char const* found = search.getPattern(c.text);
        if (c.offset < 0) EXPECT_EQ(found, nullptr);
        else EXPECT_EQ(found, c.text + c.offset);
    }
}

TEST(StringSearch, LengthLimitsTheSearchedBytes) {
    char const text[] = "abcabc";
    CosClStringSearch search("cab", false);
    EXPECT_EQ(search.getPattern(text, 5), text + 2);
    EXPECT_EQ(search.getPattern(text, 4), nullptr);  // "cab" ends at byte 5
    EXPECT_EQ(search.getPattern(text, 0), nullptr);
    // Bytes beyond the length are not read even when they are not text.
    char const raw[] = {'x', 'c', 'a', 'b'};
    EXPECT_EQ(search.getPattern(raw, 4), raw + 1);
}

TEST(StringSearch, AgreesWithModelOnRandomTexts) {
    std::mt19937 rng(testSeed());
    auto randomText = [&](size_t maxLength) {
        std::string s(rng() % (maxLength + 1), ' ');
        for (char& c : s) c = "abcAB"[rng() % 5];
        return s;
    };
    for (int i = 0; i < 5000; ++i) {
        std::string pattern = randomText(5), text = randomText(30);
        bool ignoreCase = rng() % 2 == 0;
        std::string foldedText = text, foldedPattern = pattern;
        if (ignoreCase) {
            strupr(&foldedText[0]);
            strupr(&foldedPattern[0]);
        }
        size_t expected = foldedText.find(foldedPattern);
        CosClStringSearch search(pattern.c_str(), ignoreCase);
        char const* found = search.getPattern(text.c_str());
        ASSERT_EQ(found == nullptr ? std::string::npos : size_t(found - text.c_str()), expected)
            << "pattern " << pattern << " text " << text << " ignoreCase " << ignoreCase;
    }
}

// Counting callbacks that pass through to the C library.
int gs_allocations = 0;
int gs_frees = 0;
void* countingAllocator(unsigned size) { ++gs_allocations; return std::malloc(size ? size : 1); }
void* countingReallocator(void* block, unsigned size) { return std::realloc(block, size ? size : 1); }
void countingDeallocator(void* block) { ++gs_frees; std::free(block); }

TEST(StringSearch, CaseInsensitiveCopyGoesThroughMemoryManager) {
    char pattern[] = "MiXeD";
    CosClMemoryManager::setNewMemoryManager(countingAllocator, countingReallocator,
                                            countingDeallocator);
    gs_allocations = gs_frees = 0;
    {
        CosClStringSearch exact(pattern, false);
        EXPECT_EQ(gs_allocations, 0);
        CosClStringSearch folded(pattern, true);
        EXPECT_EQ(gs_allocations, 1);
        EXPECT_STREQ(folded.getPatternText(), "MIXED");
        EXPECT_STREQ(pattern, "MiXeD");  // the caller's pattern is untouched
    }
    EXPECT_EQ(gs_frees, 1);
    CosClMemoryManager::setNewMemoryManager(CosClMemoryManager::systemAllocator,
                                            CosClMemoryManager::systemReallocator,
                                            CosClMemoryManager::systemDeallocator);
}

TEST(StringMatchWildcards, ReturnsTextOnWholeMatch) {
    char const text[] = "report.TXT";
    CosClStringMatchWildcards insensitive("*.txt", false);
    CosClStringMatchWildcards sensitive("*.txt", true);
    CosClStringMatchABase& base = insensitive;
    EXPECT_EQ(base.getPattern(text), text);
    EXPECT_EQ(sensitive.getPattern(text), nullptr);
}

}  // namespace
