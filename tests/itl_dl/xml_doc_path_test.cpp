// Tests of the XML element path: the stack operations and the printed path
// with its cut to the caller's buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "itl_xml_doc_path.hpp"
#include "xml_doc_path_fixture.hpp"
#include "ti_test_util.hpp"

namespace {

constexpr char kSentinel = '\x5A';

// Prints into a sentinel-filled buffer of `size` bytes (within a larger
// one) and checks that nothing at or past `size` changed.
std::string printCut(TestPath const& t, unsigned size, unsigned* length) {
  std::vector<char> buffer(size + 64, kSentinel);
  *length = t.path.printPathToBuffer(buffer.data(), size);
  for (size_t i = size; i < buffer.size(); ++i)
    EXPECT_EQ(buffer[i], kSentinel) << "byte " << i << " written, size " << size;
  if (size == 0) {
    EXPECT_EQ(*length, 0u);
    return "<nothing>";
  }
  EXPECT_LT(*length, size);
  EXPECT_EQ(buffer[*length], '\0');
  return std::string(buffer.data(), *length);
}

TEST(XmlDocPath, PrintsEachKindOfItem) {
  struct Case {
    std::vector<std::pair<ItlEnXmlDocPathItemKind, char const*>> items;
    char const* expected;
  } const cases[] = {
      {{}, ""},
      {{{ItlEnXmlDocPathItemKind_Element, "a"}}, "/a"},
      {{{ItlEnXmlDocPathItemKind_Element, "a"},
        {ItlEnXmlDocPathItemKind_Element, "b"}},
       "/a/b"},
      {{{ItlEnXmlDocPathItemKind_Element, "a"},
        {ItlEnXmlDocPathItemKind_Element, "b"},
        {ItlEnXmlDocPathItemKind_Attribute, "id"}},
       "/a/b/@id"},
      {{{ItlEnXmlDocPathItemKind_Element, "a"},
        {ItlEnXmlDocPathItemKind_Element, "b"},
        {ItlEnXmlDocPathItemKind_Comment, nullptr}},
       "/a/b/comment()"},
      {{{ItlEnXmlDocPathItemKind_Element, "a"},
        {ItlEnXmlDocPathItemKind_ProcessingInstruction, "t"}},
       "/a/processing-instruction(t)"},
      {{{ItlEnXmlDocPathItemKind_Element, "x:a"},
        {ItlEnXmlDocPathItemKind_Attribute, "xml:lang"}},
       "/x:a/@xml:lang"},
      // An element without a label prints as its "/" alone.
      {{{ItlEnXmlDocPathItemKind_Element, nullptr},
        {ItlEnXmlDocPathItemKind_Element, "b"}},
       "//b"},
  };
  for (auto const& c : cases) {
    TestPath t;
    for (auto const& item : c.items) t.push(item.first, item.second);
    char buffer[256];
    std::memset(buffer, kSentinel, sizeof buffer);
    unsigned length = t.path.printPathToBuffer(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), c.expected);
    EXPECT_EQ(length, std::strlen(c.expected)) << c.expected;
  }
}

// Every buffer size from 0 to past the full length: the text is cut after
// the last item that fits, keeping the "/" of the first that does not.
TEST(XmlDocPath, CutsToEveryBufferSize) {
  struct Range {
    unsigned from, to;
    char const* expected;
  };
  struct Case {
    std::vector<std::pair<ItlEnXmlDocPathItemKind, char const*>> items;
    std::vector<Range> ranges;
  } const cases[] = {
      {{},
       {{0, 0, "<nothing>"}, {1, 2, ""}}},
      // "/ab/@id", 7 characters: an element or attribute needs one byte
      // beyond its text and terminator.
      {{{ItlEnXmlDocPathItemKind_Element, "ab"},
        {ItlEnXmlDocPathItemKind_Attribute, "id"}},
       {{0, 0, "<nothing>"},
        {1, 1, ""},
        {2, 4, "/"},
        {5, 8, "/ab/"},
        {9, 10, "/ab/@id"}}},
      // "/a/processing-instruction(t)", 28 characters: the ")" takes that
      // byte, so the full text fits in length + 1.
      {{{ItlEnXmlDocPathItemKind_Element, "a"},
        {ItlEnXmlDocPathItemKind_ProcessingInstruction, "t"}},
       {{0, 0, "<nothing>"},
        {1, 1, ""},
        {2, 3, "/"},
        {4, 28, "/a/"},
        {29, 30, "/a/processing-instruction(t)"}}},
      // "/a/b", 4 characters.
      {{{ItlEnXmlDocPathItemKind_Element, "a"},
        {ItlEnXmlDocPathItemKind_Element, "b"}},
       {{0, 0, "<nothing>"},
        {1, 1, ""},
        {2, 3, "/"},
        {4, 5, "/a/"},
        {6, 7, "/a/b"}}},
      // "/a/comment()", 12 characters.
      {{{ItlEnXmlDocPathItemKind_Element, "a"},
        {ItlEnXmlDocPathItemKind_Comment, nullptr}},
       {{0, 0, "<nothing>"},
        {1, 1, ""},
        {2, 3, "/"},
        {4, 13, "/a/"},
        {14, 15, "/a/comment()"}}},
  };
  for (auto const& c : cases) {
    TestPath t;
    for (auto const& item : c.items) t.push(item.first, item.second);
    for (Range const& r : c.ranges) {
      for (unsigned size = r.from; size <= r.to; ++size) {
        unsigned length = 0;
        EXPECT_EQ(printCut(t, size, &length), r.expected) << "size " << size;
      }
    }
  }
}

// Random paths of long and empty labels: for every size the result is the
// full text or a prefix of it that ends in "/" at an item boundary, longer
// with a larger buffer, and nothing is written past the size.
TEST(XmlDocPath, CutIsAlwaysAnItemBoundaryWithinTheBuffer) {
  std::mt19937 rng(testSeed());
  ItlEnXmlDocPathItemKind const kinds[] = {
      ItlEnXmlDocPathItemKind_Attribute, ItlEnXmlDocPathItemKind_Comment,
      ItlEnXmlDocPathItemKind_ProcessingInstruction};
  for (int round = 0; round < 100; ++round) {
    TestPath t;
    std::vector<std::string> labels;
    int depth = static_cast<int>(rng() % 5);
    for (int i = 0; i <= depth; ++i) {
      ItlEnXmlDocPathItemKind kind = i == depth && rng() % 2 != 0
                                         ? kinds[rng() % 3]
                                         : ItlEnXmlDocPathItemKind_Element;
      labels.push_back(std::string(rng() % 40, static_cast<char>('a' + i)));
      t.push(kind, kind == ItlEnXmlDocPathItemKind_Comment
                       ? nullptr
                       : labels.back().c_str());
    }
    char full[512];
    unsigned fullLength = t.path.printPathToBuffer(full, sizeof full);
    // Item boundaries: where each item's "/" stands, and the end.
    std::vector<unsigned> slashes;
    for (unsigned i = 0; i < fullLength; ++i)
      if (full[i] == '/') slashes.push_back(i);
    unsigned previous = 0;
    for (unsigned size = 1; size <= fullLength + 3; ++size) {
      unsigned length = 0;
      std::string cut = printCut(t, size, &length);
      ASSERT_EQ(cut, std::string(full, length)) << "size " << size;
      bool boundary = length == fullLength || length == 0 ||
                      (full[length - 1] == '/' &&
                       std::find(slashes.begin(), slashes.end(), length - 1) !=
                           slashes.end());
      EXPECT_TRUE(boundary) << "size " << size << ": " << cut;
      EXPECT_GE(length, previous);
      previous = length;
    }
    EXPECT_EQ(previous, fullLength);
  }
}

TEST(XmlDocPath, DequeueUnlinksTheTail) {
  ItlClXmlDocPath path;
  EXPECT_EQ(path.dequeue(), nullptr);
  EXPECT_TRUE(path.isEmpty());
  EXPECT_EQ(path.getHead(), nullptr);

  ItlClXmlDocPathItem root, a, b;
  path.enqueue(root);
  EXPECT_EQ(path.getHead(), &root);
  EXPECT_EQ(path.getTail(), &root);
  EXPECT_EQ(path.dequeue(), &root);
  EXPECT_EQ(path.getHead(), nullptr);
  EXPECT_EQ(path.getTail(), nullptr);

  path.enqueue(root);
  path.enqueue(a);
  path.enqueue(b);
  EXPECT_EQ(root.getNext(), &a);
  EXPECT_EQ(b.getPrevious(), &a);
  EXPECT_EQ(path.dequeue(), &b);
  EXPECT_EQ(b.getPrevious(), nullptr);
  EXPECT_EQ(a.getNext(), nullptr);
  EXPECT_EQ(path.getTail(), &a);
  EXPECT_EQ(path.getHead(), &root);
  // An item taken off can go on again, as the parser's local items do.
  path.enqueue(b);
  EXPECT_EQ(path.getTail(), &b);
  EXPECT_EQ(path.dequeue(), &b);
  EXPECT_EQ(path.dequeue(), &a);
  EXPECT_EQ(path.dequeue(), &root);
  EXPECT_TRUE(path.isEmpty());
  EXPECT_EQ(path.dequeue(), nullptr);
}

TEST(XmlDocPath, ItemStartsEmptyAndOwnsItsLabel) {
  ItlClXmlDocPathItem item;
  EXPECT_EQ(item.getLabel(), nullptr);
  EXPECT_EQ(item.getKind(), ItlEnXmlDocPathItemKind_Root);
  EXPECT_EQ(item.getNext(), nullptr);
  EXPECT_EQ(item.getPrevious(), nullptr);
  EXPECT_FALSE(item.isFieldStarted());
  EXPECT_FALSE(item.isAttributeStarted());

  item.setLabel(nullptr);
  EXPECT_EQ(item.getLabel(), nullptr);

  char name[] = "title";
  item.setLabel(name);
  name[0] = 'T';
  EXPECT_STREQ(item.getLabel(), "title");
  // A label set from a part of itself.
  item.setLabel(item.getLabel() + 2);
  EXPECT_STREQ(item.getLabel(), "tle");
  item.setLabel("");
  EXPECT_STREQ(item.getLabel(), "");
  item.setLabel(nullptr);
  EXPECT_EQ(item.getLabel(), nullptr);

  item.setFieldStarted(true);
  item.setAttributeStarted(true);
  EXPECT_TRUE(item.isFieldStarted());
  EXPECT_TRUE(item.isAttributeStarted());
  item.setFieldStarted(false);
  EXPECT_FALSE(item.isFieldStarted());
  EXPECT_TRUE(item.isAttributeStarted());
}

}  // namespace
