// Tests of the constant tag tables of the HTML and filter-library parsers.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

#include "dl_test_util.hpp"
#include "itl_html_tag_table.hpp"
#include "itl_inso_tag_table.hpp"

namespace {

U16 rowName(ItlStHtmlTagMapEntry const& row) {
  U16 s;
  for (int i = 0; i < 10 && row.name[i] != 0; ++i) s += row.name[i];
  return s;
}

std::string ascii(U16 const& s) { return std::string(s.begin(), s.end()); }

TEST(HtmlTagTable, RowsActionsAndBoundaries) {
  ItlStHtmlTagMapEntry const* rows = ItlClHtmlTagTable::getRows();
  std::map<uint32_t, int> perAction;
  for (unsigned i = 0; i < ItlClHtmlTagTable::kRowCount; ++i) {
    if (i > 0) {
      EXPECT_LT(rowName(rows[i - 1]), rowName(rows[i])) << i;
    }
    ++perAction[rows[i].action];
    EXPECT_EQ(rows[i].boundary,
              rows[i].action == 1 || rows[i].action == 3 ? 1u : 0u)
        << ascii(rowName(rows[i]));
    // Every row is found by its own name.
    U16 name = rowName(rows[i]);
    EXPECT_EQ(ItlClHtmlTagTable::lookup(name.data(), name.size()), &rows[i]);
  }
  EXPECT_EQ(perAction, (std::map<uint32_t, int>{
                           {0, 78}, {1, 11}, {2, 1}, {3, 16}, {4, 1}}));
  EXPECT_EQ(sizeof(ItlStHtmlTagMapEntry), 28u);
  EXPECT_EQ(ascii(rowName(rows[0])), "!--");
}

TEST(HtmlTagTable, FieldTags) {
  std::set<std::string> const fields = {"a",  "address", "au", "author",
                                        "h1", "h2",      "h3", "h4",
                                        "h5", "h6",      "title"};
  ItlStHtmlTagMapEntry const* rows = ItlClHtmlTagTable::getRows();
  for (unsigned i = 0; i < ItlClHtmlTagTable::kRowCount; ++i) {
    U16 name = rowName(rows[i]);
    EXPECT_EQ(ItlClHtmlTagTable::isHTMLFieldTag(name.c_str()),
              fields.count(ascii(name)) == 1)
        << ascii(name);
  }
  for (char16_t const* s : {u"blockquote", u"TITLE", u"", u"h7", u"titles",
                            u"meta", u"span", u"h"})
    EXPECT_FALSE(ItlClHtmlTagTable::isHTMLFieldTag(u16(s).c_str()));
  EXPECT_FALSE(ItlClHtmlTagTable::isHTMLFieldTag(nullptr));
  // A key need not be terminated; "blockquote" fills its field.
  U16 bq = u16(u"blockquotex");
  EXPECT_NE(ItlClHtmlTagTable::lookup(bq.data(), 10), nullptr);
  EXPECT_EQ(ItlClHtmlTagTable::lookup(bq.data(), 11), nullptr);
  EXPECT_EQ(ItlClHtmlTagTable::lookup(bq.data(), 0), nullptr);
}

TEST(InsoTagTable, RowsNumbersAndLookups) {
  _ItlStINSOTagInfo const* rows = ItlClInsoTagTable::getRows();
  std::set<unsigned> numbers;
  for (unsigned i = 0; i < ItlClInsoTagTable::kRowCount; ++i) {
    if (i > 0) {
      EXPECT_LT(std::strcmp(rows[i - 1].name, rows[i].name), 0);
    }
    numbers.insert(rows[i].number);
    EXPECT_EQ(rows[i].defaultField, rows[i].number <= 62 ? 1 : 0);
    EXPECT_EQ(ItlClInsoTagTable::getINSOTagNumber(rows[i].name),
              rows[i].number);
    EXPECT_STREQ(ItlClInsoTagTable::getINSOTagForNumber(rows[i].number),
                 rows[i].name);
  }
  std::set<unsigned> expected;
  for (unsigned n = 1; n <= 99; ++n)
    if (n != 64 && n != 65 && n != 78 && n != 94) expected.insert(n);
  EXPECT_EQ(numbers, expected);
  EXPECT_EQ(ItlClInsoTagTable::getINSOTagNumber("SCCCA_TITLE"), 6u);
  EXPECT_EQ(ItlClInsoTagTable::getINSOTagNumber("sccca_title"), 0u);
  EXPECT_EQ(ItlClInsoTagTable::getINSOTagNumber(""), 0u);
  EXPECT_EQ(ItlClInsoTagTable::getINSOTagNumber(nullptr), 0u);
  for (unsigned n : {0u, 64u, 65u, 78u, 94u, 100u})
    EXPECT_EQ(ItlClInsoTagTable::getINSOTagForNumber(n), nullptr) << n;
}

}  // namespace
