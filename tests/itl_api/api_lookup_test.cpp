// Tests of the name and document-map lookups: known and unknown field and
// attribute names, the argument checks, a 1,000-document round trip of
// names and numbers, removed names, and an update after lookups on the
// same index handle.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "api_index_env.hpp"
#include "itl_api.h"
#include "itl_name_maps.hpp"

namespace {

class Lookup : public ::testing::Test {
 protected:
  // The number of document `name`, checking the call succeeds.
  uint64_t numberOf(std::string const& name) {
    ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
    ItlTyDocumentNumber number = 99;
    EXPECT_EQ(itlDocMapIdToNumber(env.openSearch(), &id, &number), 0)
        << name << " " << env.reason();
    return number;
  }
  std::string nameOf(uint64_t number) {
    ItlStDocumentId id{nullptr, 0};
    EXPECT_EQ(itlDocMapNumberToId(env.openSearch(), number, &id), 0)
        << number << " " << env.reason();
    return std::string(id.pszDocId, id.usDocIdLength);
  }

  apifix::Env env{"api_lookup"};
};

TEST_F(Lookup, FieldAndAttributeNames) {
  ItlClIndex& index = env.object();
  unsigned short title = 0, price = 0, author = 0;
  apifix::update(index, {{"a", u"one"}}, {}, [&] {
    bool isNew = false;
    index.getFieldNameMap().assignFieldNameToNumber("title", title, isNew);
    index.getAttributeNameMap().assignAttributeNameToNumber(
        "price", ItlEnAttributeType_Number, price, isNew);
    index.getAttributeNameMap().assignAttributeNameToNumber(
        "author", ItlEnAttributeType_String, author, isNew);
  });
  ItlTyIndexSearchHandle s = env.openSearch();

  ItlTyFieldNumber field = 0;
  EXPECT_EQ(itlFieldMapNameToNumber(s, "title", &field), 0);
  EXPECT_EQ(field, title);
  EXPECT_EQ(itlFieldMapNameToNumber(s, "nothere", &field), 4);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Map_name_not_found);
  EXPECT_NE(env.context().find("nothere"), std::string::npos) << env.context();
  EXPECT_EQ(field, 1);

  struct Case {
    char const* name;
    ItlEnAttributeType type;
    int rc;
    unsigned short number;
  } const cases[] = {
      {"price", ItlEnAttributeType_Number, 0, price},
      {"price", ItlEnAttributeType_Date, 0, price},  // one map for both
      {"author", ItlEnAttributeType_String, 0, author},
      {"price", ItlEnAttributeType_String, 4, 1},
      {"author", ItlEnAttributeType_Number, 4, 1},
      {"nothere", ItlEnAttributeType_Date, 4, 1},
      {"price", static_cast<ItlEnAttributeType>(7), 8, 0},
  };
  for (Case const& c : cases) {
    ItlTyAttributeNumber number = 77;
    EXPECT_EQ(itlAttributeMapNameToNumber(s, c.name, c.type, &number), c.rc)
        << c.name << " " << c.type;
    EXPECT_EQ(number, c.number) << c.name << " " << c.type;
    int expected = c.rc == 8   ? ItlEnReasonCode_Invalid_argument
                   : c.rc == 4 ? ItlEnReasonCode_Map_name_not_found
                               : env.reason();
    EXPECT_EQ(env.reason(), expected);
  }

  ItlTyAttributeNumber number = 0;
  EXPECT_EQ(itlFieldMapNameToNumber(s, nullptr, &field), 8);
  EXPECT_EQ(itlFieldMapNameToNumber(s, "title", nullptr), 8);
  EXPECT_EQ(itlAttributeMapNameToNumber(s, nullptr, ItlEnAttributeType_String,
                                        &number), 8);
  EXPECT_EQ(itlAttributeMapNameToNumber(s, "a", ItlEnAttributeType_String,
                                        nullptr), 8);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Invalid_argument);
  EXPECT_EQ(itlFieldMapNameToNumber(nullptr, "title", &field), 16);
  EXPECT_EQ(itlAttributeMapNameToNumber(nullptr, "a", ItlEnAttributeType_String,
                                        &number), 16);
}

TEST_F(Lookup, DocumentArgumentChecks) {
  ItlTyIndexSearchHandle s = env.openSearch();
  ItlStDocumentId id{"x", 1};
  ItlTyDocumentNumber number = 0;
  // An index without documents: unknown names are number 0.
  EXPECT_EQ(itlDocMapIdToNumber(s, &id, &number), 0) << env.reason();
  EXPECT_EQ(number, 0u);
  EXPECT_EQ(itlDocMapNumberToId(s, 0, &id), 8);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Invalid_argument);
  EXPECT_EQ(itlDocMapNumberToId(s, 1, nullptr), 8);
  EXPECT_EQ(itlDocMapIdToNumber(s, nullptr, &number), 8);
  EXPECT_EQ(itlDocMapIdToNumber(s, &id, nullptr), 8);
  ItlStDocumentId broken{nullptr, 3};
  EXPECT_EQ(itlDocMapIdToNumber(s, &broken, &number), 8);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Invalid_argument);
  EXPECT_EQ(itlDocMapIdToNumber(nullptr, &id, &number), 16);
  EXPECT_EQ(itlDocMapNumberToId(nullptr, 1, &id), 16);
  // A number the index never gave: an error of the map, not a crash.
  EXPECT_EQ(itlDocMapNumberToId(s, 5, &id), 8);
}

TEST_F(Lookup, ThousandDocumentsRoundTripAndRemovedNames) {
  ItlClIndex& index = env.object();
  std::vector<apifix::Document> docs;
  for (int i = 0; i < 1000; ++i)
    docs.push_back({"doc/" + std::to_string(i * 7919 % 100003),
                    u"word" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26))});
  apifix::update(index, docs);
  std::vector<uint64_t> numbers;
  for (apifix::Document const& d : docs) {
    uint64_t number = numberOf(d.first);
    ASSERT_NE(number, 0u) << d.first;
    EXPECT_EQ(nameOf(number), d.first);
    numbers.push_back(number);
  }
  std::set<uint64_t> distinct(numbers.begin(), numbers.end());
  EXPECT_EQ(distinct.size(), docs.size());

  // Removed names are number 0; the others keep theirs.
  apifix::update(index, {}, {docs[3].first, docs[500].first});
  EXPECT_EQ(numberOf(docs[3].first), 0u);
  EXPECT_EQ(numberOf(docs[500].first), 0u);
  EXPECT_EQ(numberOf(docs[4].first), numbers[4]);
  EXPECT_EQ(numberOf("never there"), 0u);

  // After lookups on this index handle an update still commits its names.
  apifix::update(index, {{"late", u"late"}});
  uint64_t late = numberOf("late");
  EXPECT_GT(late, *distinct.rbegin());
  EXPECT_EQ(nameOf(late), "late");
  EXPECT_EQ(numberOf(docs[999].first), numbers[999]);
}

}  // namespace
