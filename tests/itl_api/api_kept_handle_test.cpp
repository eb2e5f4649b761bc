// A kept index handle and its search handle see what later commits of
// another handle added: a field name and an attribute name first committed
// after the kept handle loaded resolve through it, and its searches in
// that field and on that attribute find the new documents (the name maps
// were read once and never again).
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>

#include "itl_api.h"
#include "itl_kept_directory.hpp"
#include "query_corpus.hpp"
#include "update_fixture.hpp"

namespace {

std::string const kModel =
    "<XMLModel>"
    "<XMLFieldDefinition name='title' locator='title'/>"
    "<XMLFieldDefinition name='subject' locator='subject'/>"
    "<XMLFieldDefinition name='later' locator='later'/>"
    "</XMLModel>";

using Names = std::set<std::string>;

// The names of the documents a processed query found.
Names found(ItlTyIndexHandle index, ItlTyQueryHandle query,
            ItlTyContextHandle ctx, int* rc) {
  ItlTyQueryResultHandle result = nullptr;
  EXPECT_EQ(itlHandleNewQueryResult(&result, ctx), 0);
  ItlTyListHandle list = nullptr;
  *rc = itlQueryProcess(query, result, &list);
  Names names;
  if (list != nullptr) {
    ItlTyIteratorHandle it = nullptr;
    EXPECT_EQ(itlHandleNewIterator(list, &it), 0);
    qc::DocumentId id(index);
    for (bool ok = itlListIteratorIsValid(it); ok;
         ok = itlListIteratorSetToNext(it, 1)) {
      EXPECT_EQ(itlQueryResultElementObtainData(it, id.handle(), nullptr,
                                                nullptr, nullptr),
                0);
      names.insert(id.name());
    }
    itlHandleDeleteIterator(&it);
    itlHandleDeleteList(&list);
  }
  itlHandleDeleteQueryResult(&result);
  return names;
}

// "topic" in field "subject".
Names inSubject(ItlTyIndexHandle index, ItlTyIndexSearchHandle search,
                ItlTyContextHandle ctx, int* rc) {
  ItlTyQueryHandle query = nullptr;
  EXPECT_EQ(itlHandleNewQuery(search, "en_US", 1208, &query), 0);
  ItlTySearchStringHandle string = nullptr;
  EXPECT_EQ(itlHandleNewSearchString("topic", 5, &string, ctx), 0);
  ItlTySearchTermHandle term = nullptr;
  EXPECT_EQ(itlHandleNewSearchTerm(string, &term, ctx), 0);
  int set = itlSearchTermSetField(term, "subject");
  EXPECT_LE(set, 4);
  Names names;
  *rc = itlQueryAddSearchTerm(query, term);
  if (*rc < 8) names = found(index, query, ctx, rc);
  itlHandleDeleteSearchTerm(&term);
  itlHandleDeleteSearchString(&string);
  itlHandleDeleteQuery(&query);
  return names;
}

// Attribute "size" in 0..15.
Names sized(ItlTyIndexHandle index, ItlTyIndexSearchHandle search,
            ItlTyContextHandle ctx, int* rc) {
  ItlTyQueryHandle query = nullptr;
  EXPECT_EQ(itlHandleNewQuery(search, "en_US", 1208, &query), 0);
  ItlTyNumericAttributeConditionHandle c = nullptr;
  EXPECT_EQ(itlHandleNewNumericAttributeCondition(
                "size", ItlEnAttributeType_Number, "0", 1,
                ItlEnAttributeComparison_GreaterOrEqual, "15", 2,
                ItlEnAttributeComparison_LessOrEqual, &c, ctx),
            0);
  Names names;
  *rc = itlQueryAddNumericAttributeCondition(query, c);
  if (*rc < 8) names = found(index, query, ctx, rc);
  itlHandleDeleteNumericAttributeCondition(&c);
  itlHandleDeleteQuery(&query);
  return names;
}

// An XML document of model "xm" with one NUMBER attribute.
upfix::Document xmlDoc(char const* name, char const* body,
                       char const* attribute, int value) {
  return upfix::Document(name, ItlEnDocumentFormat_Xml, body, 1208, "xm",
                         {upfix::Attribute::number(attribute, value)});
}

// A second index handle on the index of `ix`: another writer.
ItlTyIndexHandle openWriter(upfix::ApiIndex& ix) {
  ItlTyIndexHandle writer = nullptr;
  EXPECT_EQ(itlHandleNewIndex(ix.ctx, "ix", ix.dir.path().c_str(), &writer), 0);
  EXPECT_EQ(itlIndexSetWorkingDirectory(writer, ix.dir.path().c_str()), 0);
  return writer;
}

TEST(ApiKeptHandle, ResolvesFieldAndAttributeNamesOfLaterCommits) {
  upfix::ApiIndex ix;
  ASSERT_EQ(itlIndexAddDocumentModel(ix.index, "xm", kModel.data(),
                                     static_cast<uint32_t>(kModel.size())),
            0);
  ASSERT_EQ(upfix::addDocuments(
                ix.index, {xmlDoc("a", "<doc><title>alpha topic</title></doc>",
                                  "price", 1)}),
            "");
  // The kept handles: loaded, names looked up, one search run.
  ItlTyIndexSearchHandle search = nullptr;
  ASSERT_EQ(itlHandleNewIndexSearch(ix.index, &search), 0) << ix.reason();
  ItlTyFieldNumber field = 0;
  ItlTyAttributeNumber attribute = 0;
  EXPECT_EQ(itlFieldMapNameToNumber(search, "subject", &field), 4);
  EXPECT_EQ(itlAttributeMapNameToNumber(search, "size",
                                        ItlEnAttributeType_Number, &attribute),
            4);
  int rc = 0;
  EXPECT_EQ(inSubject(ix.index, search, ix.ctx, &rc), Names());

  // Another handle commits the field and the attribute.
  ItlTyIndexHandle writer = openWriter(ix);
  ASSERT_NE(writer, nullptr);
  ASSERT_EQ(
      upfix::addDocuments(
          writer, {xmlDoc("b",
                          "<doc><title>beta</title><subject>topic</subject>"
                          "</doc>",
                          "size", 5)}),
      "");
  itlHandleDeleteIndex(&writer);

  EXPECT_EQ(itlFieldMapNameToNumber(search, "subject", &field), 0)
      << ix.reason();
  EXPECT_GT(field, 1);
  EXPECT_EQ(itlAttributeMapNameToNumber(search, "size",
                                        ItlEnAttributeType_Number, &attribute),
            0);
  EXPECT_GT(attribute, 1);
  EXPECT_EQ(inSubject(ix.index, search, ix.ctx, &rc), Names({"b"}));
  EXPECT_LE(rc, 4) << ix.reason();
  EXPECT_EQ(sized(ix.index, search, ix.ctx, &rc), Names({"b"}));
  EXPECT_LE(rc, 4) << ix.reason();
  // The kept index handle's own update goes on from the names it learned.
  ASSERT_EQ(upfix::addDocuments(
                ix.index, {xmlDoc("c", "<doc><subject>topic</subject></doc>",
                                  "size", 7)}),
            "");
  EXPECT_EQ(inSubject(ix.index, search, ix.ctx, &rc), Names({"b", "c"}));
  EXPECT_EQ(sized(ix.index, search, ix.ctx, &rc), Names({"b", "c"}));
  itlHandleDeleteIndexSearch(&search);
}

// The kept index handle's own update after another handle's commit gives
// its new names numbers of their own: the names the other commit added
// stay, each with its number.
TEST(ApiKeptHandle, UpdateKeepsTheNamesOfLaterCommits) {
  upfix::ApiIndex ix;
  ASSERT_EQ(itlIndexAddDocumentModel(ix.index, "xm", kModel.data(),
                                     static_cast<uint32_t>(kModel.size())),
            0);
  ASSERT_EQ(upfix::addDocuments(
                ix.index,
                {xmlDoc("a", "<doc><title>alpha</title></doc>", "price", 1)}),
            "");
  ASSERT_EQ(itlIndexLoad(ix.index), 0);
  ItlTyIndexHandle writer = openWriter(ix);
  ASSERT_NE(writer, nullptr);
  ASSERT_EQ(upfix::addDocuments(
                writer, {xmlDoc("b", "<doc><subject>topic</subject></doc>",
                                "size", 5)}),
            "");
  itlHandleDeleteIndex(&writer);
  ASSERT_EQ(upfix::addDocuments(
                ix.index,
                {xmlDoc("c", "<doc><later>topic</later></doc>", "weight", 7)}),
            "");
  ix.reopen();
  ItlTyIndexSearchHandle search = nullptr;
  ASSERT_EQ(itlHandleNewIndexSearch(ix.index, &search), 0) << ix.reason();
  std::set<int> fields, attributes;
  for (char const* f : {"title", "subject", "later"}) {
    ItlTyFieldNumber number = 0;
    EXPECT_EQ(itlFieldMapNameToNumber(search, f, &number), 0) << f;
    fields.insert(number);
  }
  for (char const* a : {"price", "size", "weight"}) {
    ItlTyAttributeNumber number = 0;
    EXPECT_EQ(itlAttributeMapNameToNumber(search, a, ItlEnAttributeType_Number,
                                          &number),
              0)
        << a;
    attributes.insert(number);
  }
  EXPECT_EQ(fields.size(), 3u);
  EXPECT_EQ(attributes.size(), 3u);
  int rc = 0;
  EXPECT_EQ(inSubject(ix.index, search, ix.ctx, &rc), Names({"b"}));
  EXPECT_EQ(sized(ix.index, search, ix.ctx, &rc), Names({"b"}));
  itlHandleDeleteIndexSearch(&search);
}

// Commits of another handle that follow each other and the kept handle's
// lookups within a millisecond or so (inside one tick of the clock that
// stamps the index directory), then one long after the kept handle's last
// look: each time the kept handle resolves the new names and finds the new
// documents by name.
TEST(ApiKeptHandle, SeesNamesOfCommitsInQuickSuccessionAndLongAfter) {
  upfix::ApiIndex ix;
  ASSERT_EQ(itlIndexAddDocumentModel(ix.index, "xm", kModel.data(),
                                     static_cast<uint32_t>(kModel.size())),
            0);
  ASSERT_EQ(upfix::addDocuments(
                ix.index,
                {xmlDoc("a", "<doc><title>alpha</title></doc>", "price", 1)}),
            "");
  ItlTyIndexSearchHandle search = nullptr;
  ASSERT_EQ(itlHandleNewIndexSearch(ix.index, &search), 0) << ix.reason();
  ItlTyIndexHandle writer = openWriter(ix);
  ASSERT_NE(writer, nullptr);
  auto attributeKnown = [&](char const* name) {
    ItlTyAttributeNumber number = 0;
    return itlAttributeMapNameToNumber(search, name, ItlEnAttributeType_Number,
                                       &number) == 0 &&
           number > 1;
  };
  auto fieldKnown = [&](char const* name) {
    ItlTyFieldNumber number = 0;
    return itlFieldMapNameToNumber(search, name, &number) == 0 && number > 1;
  };
  int rc = 0;
  EXPECT_FALSE(fieldKnown("subject"));
  EXPECT_EQ(sized(ix.index, search, ix.ctx, &rc), Names());

  ASSERT_EQ(upfix::addDocuments(
                writer, {xmlDoc("b", "<doc><subject>topic</subject></doc>",
                                "size", 5)}),
            "");
  EXPECT_TRUE(fieldKnown("subject"));
  EXPECT_TRUE(attributeKnown("size"));
  EXPECT_EQ(sized(ix.index, search, ix.ctx, &rc), Names({"b"}));
  ASSERT_EQ(upfix::addDocuments(
                writer,
                {xmlDoc("c", "<doc><later>topic</later></doc>", "weight", 7)}),
            "");
  EXPECT_TRUE(fieldKnown("later"));
  EXPECT_TRUE(attributeKnown("weight"));
  EXPECT_EQ(inSubject(ix.index, search, ix.ctx, &rc), Names({"b"}));

  // Long after: the kept handle's looks now remember a settled directory.
  for (int i = 0;
       i < 500 && !ItlClKeptDirectory::isSettled(
                      ItlClKeptDirectory::stampOf(ix.dir.path().c_str()));
       ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(attributeKnown("depth"));
  EXPECT_EQ(sized(ix.index, search, ix.ctx, &rc), Names({"b"}));
  EXPECT_FALSE(attributeKnown("depth"));
  EXPECT_EQ(sized(ix.index, search, ix.ctx, &rc), Names({"b"}));
  ASSERT_EQ(upfix::addDocuments(
                writer,
                {xmlDoc("d", "<doc><subject>topic</subject></doc>", "depth", 9),
                 xmlDoc("e", "<doc><title>epsilon</title></doc>", "size", 3)}),
            "");
  EXPECT_TRUE(attributeKnown("depth"));
  EXPECT_EQ(sized(ix.index, search, ix.ctx, &rc), Names({"b", "e"}));
  EXPECT_EQ(inSubject(ix.index, search, ix.ctx, &rc), Names({"b", "d"}));
  itlHandleDeleteIndex(&writer);
  itlHandleDeleteIndexSearch(&search);
}

}  // namespace
