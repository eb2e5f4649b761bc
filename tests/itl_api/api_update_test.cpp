// Tests of the update and document-id handles: documents of every format
// with attributes through the exported functions, found again by the
// engine and through the document-name map; the calling order, the
// argument checks, rollbacks and document numbers.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "../itl_index/kernel_fixture.hpp"
#include "itl_api.h"
#include "itl_api_docid.hpp"
#include "itl_api_index.hpp"
#include "itl_name_maps.hpp"
#include "update_fixture.hpp"

namespace {

using upfix::ApiIndex;
using upfix::Attribute;
using upfix::Document;

std::string const kXmlModel =
    "<XMLModel>"
    "<XMLFieldDefinition name='title' locator='title'/>"
    "<XMLAttributeDefinition name='n' type='NUMBER' locator='n'/>"
    "</XMLModel>";

// The attribute number the index gave (name, type); 0 when unknown.
uint16_t attributeNumber(ItlTyIndexHandle index, char const* name,
                         ItlEnAttributeType type) {
  unsigned short number = 0;
  ItlClIndex& object = *itlApiIndex(index);
  object.load();
  if (object.getAttributeNameMap().mapAttributeNameToNumber(name, type,
                                                            number) != 0)
    return 0;
  return number;
}

// The number of a name through a fresh document id; 0 when not found.
uint64_t numberOf(ItlTyIndexHandle index, std::string const& name) {
  ItlTyDocumentIDHandle id = nullptr;
  EXPECT_EQ(itlHandleNewDocumentID(index, &id), 0);
  uint64_t number = 0;
  if (itlDocumentIDRetrieveByName(id, name.data(),
                                  static_cast<uint32_t>(name.size())) == 0) {
    EXPECT_EQ(itlDocumentIDObtainNumber(id, &number), 0);
  }
  itlHandleDeleteDocumentID(&id);
  return number;
}

std::string nameOf(ItlTyIndexHandle index, uint64_t number) {
  ItlTyDocumentIDHandle id = nullptr;
  EXPECT_EQ(itlHandleNewDocumentID(index, &id), 0);
  EXPECT_EQ(itlDocumentIDSetNumber(id, number), 0);
  char const* name = nullptr;
  uint32_t length = 0;
  std::string out = "<none>";
  if (itlDocumentIDObtainName(id, &name, &length) == 0)
    out.assign(name, length);
  itlHandleDeleteDocumentID(&id);
  return out;
}

kfix::Docs docs(std::initializer_list<uint64_t> numbers) {
  kfix::Docs d;
  for (uint64_t n : numbers) d.insert(static_cast<int32_t>(n));
  return d;
}

TEST(ApiUpdate, FiveDocumentsOfThreeFormatsWithAttributesEndToEnd) {
  ApiIndex ix;
  ASSERT_NE(ix.index, nullptr);
  ASSERT_EQ(itlIndexAddDocumentModel(ix.index, "xm", kXmlModel.data(),
                                     static_cast<uint32_t>(kXmlModel.size())),
            0)
      << ix.reason();
  struct Row {
    char const* name;
    ItlEnDocumentFormat format;
    char const* text;
    char const* model;
    char const* word;
  };
  std::vector<Row> rows = {
      {"t1", ItlEnDocumentFormat_Text,
       "alpha first paragraph\n\nsecond paragraph holds omega", "", "omega"},
      {"t2", ItlEnDocumentFormat_Text, "beta text", "", "beta"},
      {"t3", ItlEnDocumentFormat_Text, "gamma text", "", "gamma"},
      {"h1", ItlEnDocumentFormat_Html,
       "<html><head><title>x</title></head><body><p>delta</p></body></html>",
       "", "delta"},
      {"x1", ItlEnDocumentFormat_Xml,
       "<doc><title>epsilon</title><n>5</n></doc>", "xm", "epsilon"},
  };
  ItlTyIndexUpdateHandle update = nullptr;
  ASSERT_EQ(itlHandleNewIndexUpdate(ix.index, &update), 0) << ix.reason();
  ItlTyDocumentIDHandle id = nullptr;
  ASSERT_EQ(itlHandleNewDocumentID(ix.index, &id), 0);
  EXPECT_FALSE(itlIndexUpdateIsPending(update));
  for (size_t i = 0; i < rows.size(); ++i) {
    Row const& r = rows[i];
    SCOPED_TRACE(r.name);
    ASSERT_EQ(itlDocumentIDSetName(id, r.name, 2), 0);
    uint16_t day = static_cast<uint16_t>(i + 1);
    ASSERT_EQ(itlIndexUpdateSetDateAttribute(update, id, "day", day, 3, 2020),
              0)
        << ix.reason();
    EXPECT_TRUE(itlIndexUpdateIsPending(update));
    ASSERT_EQ(itlIndexUpdateSetNumberAttribute(update, id, "price",
                                               10.5 * (i + 1)),
              0);
    std::string author = std::string("author-") + r.name;
    ASSERT_EQ(itlIndexUpdateSetStringAttribute(
                  update, id, "author", author.data(),
                  static_cast<uint32_t>(author.size()), 1208),
              0);
    ItlTyCCSID ccsid = 1208;
    std::string text = r.text;
    ASSERT_EQ(itlIndexUpdateDocument(update, id, r.format,
                                     *r.model ? r.model : nullptr,
                                     text.data(),
                                     static_cast<uint32_t>(text.size()),
                                     &ccsid, "en_US"),
              0)
        << ix.reason() << " " << ix.context();
  }
  EXPECT_TRUE(itlIndexUpdateIsPending(update));
  EXPECT_EQ(itlIndexUpdateProcess(update), 0) << ix.reason();
  EXPECT_EQ(itlIndexUpdateCommit(update), 0) << ix.reason();
  EXPECT_FALSE(itlIndexUpdateIsPending(update));
  EXPECT_EQ(itlHandleDeleteDocumentID(&id), 0);
  EXPECT_EQ(itlHandleDeleteIndexUpdate(&update), 0);
  EXPECT_EQ(update, nullptr);

  ix.reopen();
  EXPECT_EQ(ix.count(), 5u);
  std::string dir = ix.dir.path();
  uint16_t day = attributeNumber(ix.index, "day", ItlEnAttributeType_Date);
  uint16_t price =
      attributeNumber(ix.index, "price", ItlEnAttributeType_Number);
  uint16_t author =
      attributeNumber(ix.index, "author", ItlEnAttributeType_String);
  ASSERT_NE(day, 0);
  ASSERT_NE(price, 0);
  ASSERT_NE(author, 0);
  std::set<uint64_t> numbers;
  for (size_t i = 0; i < rows.size(); ++i) {
    Row const& r = rows[i];
    SCOPED_TRACE(r.name);
    uint64_t n = numberOf(ix.index, r.name);
    ASSERT_NE(n, 0u);
    numbers.insert(n);
    EXPECT_EQ(nameOf(ix.index, n), r.name);
    EXPECT_EQ(kfix::word("ix", (dir + "/").c_str(), r.word), docs({n}));
    double date = 2020 * 10000 + 3 * 100 + (i + 1);
    EXPECT_EQ(kfix::range("ix", (dir + "/").c_str(), day, date, date),
              docs({n}));
    EXPECT_EQ(kfix::range("ix", (dir + "/").c_str(), price, 10.5 * (i + 1),
                          10.5 * (i + 1)),
              docs({n}));
    EXPECT_EQ(kfix::equal("ix", (dir + "/").c_str(), author,
                          std::string("author-") + r.name),
              docs({n}));
  }
  EXPECT_EQ(numbers.size(), 5u);
  // The XML model's own NUMBER attribute.
  uint16_t n = attributeNumber(ix.index, "n", ItlEnAttributeType_Number);
  ASSERT_NE(n, 0);
  EXPECT_EQ(kfix::range("ix", (dir + "/").c_str(), n, 5, 5),
            docs({numberOf(ix.index, "x1")}));
  // Both paragraphs of t1 are indexed.
  EXPECT_EQ(kfix::word("ix", (dir + "/").c_str(), "alpha"), docs({numberOf(ix.index, "t1")}));
}

}  // namespace
