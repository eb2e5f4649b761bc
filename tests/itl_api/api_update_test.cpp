// Tests of the update and document-id handles: documents of every format
// with attributes through the exported functions, found again by the
// engine and through the document-name map; the calling order, the
// argument checks, rollbacks and document numbers.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../itl_index/kernel_fixture.hpp"
#include "itl_api.h"
#include "itl_api_docid.hpp"
#include "itl_api_index.hpp"
#include "itl_index_update.hpp"
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


// An update and a document id on an index, with helpers that name a
// document and report rc/reason/action of each call.
struct Session {
  ApiIndex& ix;
  ItlTyIndexUpdateHandle update = nullptr;
  ItlTyDocumentIDHandle id = nullptr;

  explicit Session(ApiIndex& index) : ix(index) {
    EXPECT_EQ(itlHandleNewIndexUpdate(ix.index, &update), 0) << ix.reason();
    EXPECT_EQ(itlHandleNewDocumentID(ix.index, &id), 0);
  }
  ~Session() {
    if (id != nullptr) itlHandleDeleteDocumentID(&id);
    if (update != nullptr) itlHandleDeleteIndexUpdate(&update);
  }
  // "rc/reason/action" of the last call that returned `rc` (reason and
  // action only count with a return code).
  std::string code(int rc) const {
    if (rc == 0) return "0";
    return std::to_string(rc) + "/" + std::to_string(ix.reason()) + "/" +
           std::to_string(ix.action());
  }
  std::string name(std::string const& n) {
    return code(itlDocumentIDSetName(id, n.data(),
                                     static_cast<uint32_t>(n.size())));
  }
  std::string add(std::string const& n, std::string const& text,
                  ItlEnDocumentFormat format = ItlEnDocumentFormat_Text) {
    name(n);
    ItlTyCCSID ccsid = 1208;
    return code(itlIndexUpdateDocument(update, id, format, nullptr,
                                       text.data(),
                                       static_cast<uint32_t>(text.size()),
                                       &ccsid, "en_US"));
  }
  std::string attribute(std::string const& n) {
    name(n);
    return code(itlIndexUpdateSetNumberAttribute(update, id, "a", 1.0));
  }
  std::string remove(std::string const& n) {
    name(n);
    return code(itlIndexUpdateRemoveDocument(update, id));
  }
  std::string process() { return code(itlIndexUpdateProcess(update)); }
  std::string commit() { return code(itlIndexUpdateCommit(update)); }
  std::string rollback() { return code(itlIndexUpdateRollback(update)); }
};

TEST(ApiUpdate, CallingOrder) {
  ApiIndex ix;
  {
    Session s(ix);
    EXPECT_EQ(s.add("a", "one"), "0");
    EXPECT_EQ(s.commit(), "8/6/100003");
    // Once a rollback is due, every call but rollback gets 109.
    EXPECT_EQ(s.process(), "8/109/100003");
    EXPECT_EQ(s.rollback(), "0");
  }
  {
    Session s(ix);
    EXPECT_EQ(s.add("a", "one"), "0");
    EXPECT_EQ(s.process(), "0");
    EXPECT_EQ(s.add("b", "two"), "8/6/100003");
    EXPECT_EQ(s.rollback(), "0");
  }
  {
    // The attributes of "A" bind the next document to "A".
    Session s(ix);
    EXPECT_EQ(s.attribute("A"), "0");
    EXPECT_EQ(s.add("B", "two"), "8/6/100003");
    EXPECT_EQ(s.add("A", "one"), "8/109/100003");
    EXPECT_EQ(s.attribute("A"), "8/109/100003");
    EXPECT_EQ(s.remove("A"), "8/109/100003");
    EXPECT_EQ(s.process(), "8/109/100003");
    EXPECT_EQ(s.commit(), "8/109/100003");
    EXPECT_TRUE(itlIndexUpdateIsPending(s.update));
    EXPECT_EQ(s.rollback(), "0");
    EXPECT_FALSE(itlIndexUpdateIsPending(s.update));
    EXPECT_EQ(s.add("B", "two"), "0");
    // Attributes, then the same document: text and attributes together.
    EXPECT_EQ(s.attribute("C"), "0");
    EXPECT_EQ(s.process(), "8/6/100003");
    EXPECT_EQ(s.rollback(), "0");
  }
  {
    // A document call after process on an update that opened nothing.
    Session s(ix);
    EXPECT_EQ(s.process(), "0");
    EXPECT_EQ(s.add("a", "one"), "8/6/100003");
    EXPECT_EQ(s.rollback(), "0");
    EXPECT_EQ(s.process(), "0");
    EXPECT_EQ(s.commit(), "0");
    EXPECT_EQ(s.attribute("a"), "0");
    EXPECT_EQ(s.add("a", "alpha"), "0");
    EXPECT_EQ(s.process(), "0");
    EXPECT_EQ(s.commit(), "0");
  }
  EXPECT_EQ(ix.count(), 1u);
  {
    // An unknown name: 303 before any engine call; the update goes on.
    Session s(ix);
    EXPECT_EQ(s.remove("nobody"), "8/303/100001");
    EXPECT_EQ(s.add("b", "beta"), "0");
    // The working directory cannot change under an open transaction.
    EXPECT_EQ(itlIndexSetWorkingDirectory(ix.index, ix.dir.path().c_str()),
              8);
    EXPECT_EQ(ix.reason(), 4);
    EXPECT_EQ(s.process(), "0");
    EXPECT_EQ(s.commit(), "0");
    EXPECT_EQ(itlIndexSetWorkingDirectory(ix.index, ix.dir.path().c_str()),
              0);
  }
  EXPECT_EQ(ix.count(), 2u);
  EXPECT_EQ(kfix::word("ix", (ix.dir.path() + "/").c_str(), "alpha").size(),
            1u);
}

TEST(ApiUpdate, ArgumentChecks) {
  ApiIndex ix;
  ASSERT_EQ(itlIndexAddDocumentModel(ix.index, "xm", kXmlModel.data(),
                                     static_cast<uint32_t>(kXmlModel.size())),
            0);
  std::string const htmlModel =
      "<HTMLModel><HTMLFieldDefinition name='head' tag='h1'/></HTMLModel>";
  ASSERT_EQ(itlIndexAddDocumentModel(ix.index, "m", htmlModel.data(),
                                     static_cast<uint32_t>(htmlModel.size())),
            0);
  Session s(ix);
  s.name("d");
  auto doc = [&](ItlEnDocumentFormat format, char const* model,
                 void const* buffer, uint32_t length, ItlTyCCSID ccsid,
                 char const* language) {
    return s.code(itlIndexUpdateDocument(s.update, s.id, format, model,
                                         buffer, length, &ccsid, language));
  };
  EXPECT_EQ(doc(ItlEnDocumentFormat_Text, nullptr, nullptr, 5, 1208, "en"),
            "8/25/100001");
  EXPECT_EQ(doc(ItlEnDocumentFormat_Text, nullptr, "x", 1, 1208, nullptr),
            "8/25/100001");
  EXPECT_EQ(s.code(itlIndexUpdateDocument(s.update, nullptr,
                                          ItlEnDocumentFormat_Text, nullptr,
                                          "x", 1, nullptr, "en")),
            "8/25/100001");
  EXPECT_EQ(doc(ItlEnDocumentFormat_Text, nullptr, "x", 1, 65000, "en"),
            "8/10/100001");
  EXPECT_EQ(ix.context(), "Document CCSID: 65000");
  EXPECT_EQ(doc(ItlEnDocumentFormat_Text, nullptr, "x", 1, 1208, "xx_YY"),
            "8/8/100001");
  EXPECT_EQ(doc(ItlEnDocumentFormat_Text, "m", "x", 1, 1208, "en"),
            "8/25/100001");
  EXPECT_EQ(ix.context(), "Document model: m");
  EXPECT_FALSE(itlIndexUpdateIsPending(s.update));
  // Length 0: a warning, the document is still indexed, and the CCSID
  // the parser finds is written back.
  ItlTyCCSID ccsid = 0;
  EXPECT_EQ(itlIndexUpdateDocument(s.update, s.id, ItlEnDocumentFormat_Text,
                                   nullptr, "", 0, &ccsid, "en"),
            4);
  EXPECT_EQ(ix.reason(), 29);
  EXPECT_NE(ccsid, 0);
  EXPECT_TRUE(itlIndexUpdateIsPending(s.update));
  s.name("h");
  EXPECT_EQ(doc(ItlEnDocumentFormat_Html, "m", "<p>h</p>", 8, 1208, "en"),
            "0");
  EXPECT_EQ(s.code(itlIndexUpdateSetDateAttribute(s.update, nullptr, "d", 1,
                                                  1, 2000)),
            "8/25/100001");
  EXPECT_EQ(s.code(itlIndexUpdateSetDateAttribute(s.update, s.id, nullptr, 1,
                                                  1, 2000)),
            "8/25/100001");
  struct DateCase {
    uint16_t day, month;
    char const* context;
  } dates[] = {{0, 1, "Attribute number overflow: 0"},
               {32, 1, "Attribute number overflow: 32"},
               {1, 0, "Attribute number overflow: 0"},
               {1, 13, "Attribute number overflow: 13"}};
  for (DateCase const& c : dates) {
    EXPECT_EQ(s.code(itlIndexUpdateSetDateAttribute(s.update, s.id, "d", c.day,
                                                    c.month, 2000)),
              "8/25/100001");
    EXPECT_EQ(ix.context(), c.context);
  }
  EXPECT_EQ(s.code(itlIndexUpdateSetNumberAttribute(s.update, s.id, nullptr,
                                                    1)),
            "8/25/100001");
  EXPECT_EQ(s.code(itlIndexUpdateSetStringAttribute(s.update, s.id, "s",
                                                    nullptr, 1, 1208)),
            "8/25/100001");
  std::string big(65536, 'a');
  EXPECT_EQ(s.code(itlIndexUpdateSetStringAttribute(s.update, s.id, "s",
                                                    big.data(), 65536, 1208)),
            "8/25/100001");
  // Over 128 bytes of UTF-8: the whole characters within 128 are kept
  // (the engine takes no more), with warning 36.
  std::string ascii(200, 'q');
  std::string accented;
  for (int i = 0; i < 100; ++i) accented += "\xC3\xA9";
  accented = "x" + accented;  // the 65th character straddles byte 128
  struct StringCase {
    char const* name;
    std::string value;
    std::string kept;
  } strings[] = {{"ascii", ascii, ascii.substr(0, 128)},
                 {"accented", accented, accented.substr(0, 127)}};
  for (StringCase const& c : strings) {
    s.name(c.name);
    EXPECT_EQ(s.code(itlIndexUpdateSetStringAttribute(
                  s.update, s.id, "s", c.value.data(),
                  static_cast<uint32_t>(c.value.size()), 1208)),
              "4/36/100001");
    EXPECT_EQ(s.add(c.name, "text"), "0") << ix.context();
  }
  s.name("dated");
  EXPECT_EQ(s.code(itlIndexUpdateSetDateAttribute(s.update, s.id, "d", 31, 12,
                                                  0)),
            "0");
  EXPECT_EQ(s.add("dated", "text"), "0");
  EXPECT_EQ(s.process(), "0");
  EXPECT_EQ(s.commit(), "0");
  EXPECT_EQ(ix.count(), 5u);
  uint16_t item = attributeNumber(ix.index, "s", ItlEnAttributeType_String);
  for (StringCase const& c : strings)
    EXPECT_EQ(kfix::equal("ix", (ix.dir.path() + "/").c_str(), item, c.kept),
              docs({numberOf(ix.index, c.name)}))
        << c.name;
  // Null handles and out pointers.
  ItlTyIndexUpdateHandle none = nullptr;
  EXPECT_EQ(itlHandleNewIndexUpdate(ix.index, nullptr), 8);
  EXPECT_EQ(ix.reason(), 1);
  EXPECT_EQ(itlHandleNewIndexUpdate(nullptr, &none), 16);
  EXPECT_EQ(itlHandleDeleteIndexUpdate(&none), 16);
  EXPECT_EQ(itlHandleDeleteIndexUpdate(nullptr), 16);
  EXPECT_EQ(itlIndexUpdateProcess(nullptr), 16);
  EXPECT_FALSE(itlIndexUpdateIsPending(nullptr));
  for (int type : {0, 100002, 100025, 100026})
    EXPECT_EQ(itlIndexUpdateGetTimes(
                  nullptr, static_cast<ItlEnTimingUpdateType>(type)),
              0.0);
  EXPECT_EQ(itlIndexUpdateGetStatistics(
                s.update, static_cast<ItlEnStatisticsUpdateType>(100001)),
            0.0);
}

// Attribute values parsed from documents: the engine takes at most 128
// bytes of UTF-8 in a string item and cancels the whole update cycle on a
// longer one. A long non-ASCII value in an HTML meta statement or an XML
// element used to cancel the caller's update at commit; now it keeps its
// whole characters within 128 bytes, with warning 36, and commits.
TEST(ApiUpdate, ParsedStringAttributesKeepWholeCharactersWithin128Bytes) {
  ApiIndex ix;
  std::string const htmlModel =
      "<HTMLModel><HTMLAttributeDefinition name='who' type='STRING' "
      "tag='meta' meta-qualifier='author'/></HTMLModel>";
  std::string const xmlModel =
      "<XMLModel><XMLAttributeDefinition name='who' type='STRING' "
      "locator='who'/></XMLModel>";
  ASSERT_EQ(itlIndexAddDocumentModel(ix.index, "hm", htmlModel.data(),
                                     static_cast<uint32_t>(htmlModel.size())),
            0)
      << ix.reason() << " " << ix.context();
  ASSERT_EQ(itlIndexAddDocumentModel(ix.index, "xm", xmlModel.data(),
                                     static_cast<uint32_t>(xmlModel.size())),
            0)
      << ix.reason() << " " << ix.context();
  auto repeat = [](char const* character, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += character;
    return out;
  };
  std::string greek200 = repeat("\xCE\xB1", 200);  // 200 alphas, 2 bytes each
  std::string cjk200 = repeat("\xE4\xB8\xAD", 200);  // 3 bytes each
  std::string greek100 = repeat("\xCE\xB1", 100);  // 100 units, 200 bytes
  struct Row {
    char const* name;
    ItlEnDocumentFormat format;
    char const* model;
    std::string value;
    std::string kept;  // whole characters within 128 bytes
    char const* word;
  } rows[] = {
      {"html-greek", ItlEnDocumentFormat_Html, "hm", greek200,
       repeat("\xCE\xB1", 64), "hellas"},
      {"html-cjk", ItlEnDocumentFormat_Html, "hm", cjk200,
       repeat("\xE4\xB8\xAD", 42), "zhongwen"},
      {"xml-greek", ItlEnDocumentFormat_Xml, "xm", "x" + greek100,
       "x" + repeat("\xCE\xB1", 63), "ellinika"},
      {"xml-cjk", ItlEnDocumentFormat_Xml, "xm", repeat("\xE6\x96\x87", 200),
       repeat("\xE6\x96\x87", 42), "hanzi"},
  };
  {
    Session s(ix);
    for (Row const& r : rows) {
      SCOPED_TRACE(r.name);
      std::string text =
          r.format == ItlEnDocumentFormat_Html
              ? "<html><head><meta name='author' content='" + r.value +
                    "'></head><body><p>" + r.word + "</p></body></html>"
              : "<doc><who>" + r.value + "</who><p>" + r.word + "</p></doc>";
      s.name(r.name);
      ItlTyCCSID ccsid = 1208;
      EXPECT_EQ(s.code(itlIndexUpdateDocument(
                    s.update, s.id, r.format, r.model, text.data(),
                    static_cast<uint32_t>(text.size()), &ccsid, "en_US")),
                "4/36/100001")
          << ix.context();
    }
    EXPECT_EQ(s.process(), "0") << ix.context();
    EXPECT_EQ(s.commit(), "0") << ix.context();
  }
  ix.reopen();
  EXPECT_EQ(ix.count(), 4u);
  std::string dir = ix.dir.path() + "/";
  uint16_t who = attributeNumber(ix.index, "who", ItlEnAttributeType_String);
  ASSERT_NE(who, 0);
  for (Row const& r : rows) {
    SCOPED_TRACE(r.name);
    uint64_t n = numberOf(ix.index, r.name);
    ASSERT_NE(n, 0u);
    EXPECT_EQ(kfix::word("ix", dir.c_str(), r.word), docs({n}));
    EXPECT_EQ(kfix::equal("ix", dir.c_str(), who, r.kept), docs({n}));
  }
}

int gs_failDocument = 0;
int failEngineDocument(uint64_t) { return gs_failDocument; }

TEST(ApiUpdate, Rollbacks) {
  ApiIndex ix;
  EXPECT_EQ(upfix::addDocuments(ix.index, {{"a", ItlEnDocumentFormat_Text,
                                            "alpha"}}),
            "");
  std::string dir = ix.dir.path() + "/";
  {
    Session s(ix);
    EXPECT_EQ(s.add("b", "beta"), "0");
    EXPECT_EQ(s.remove("a"), "0");
    EXPECT_EQ(s.process(), "0");
    EXPECT_EQ(s.rollback(), "0");
    EXPECT_FALSE(itlIndexUpdateIsPending(s.update));
  }
  EXPECT_EQ(ix.count(), 1u);
  EXPECT_EQ(kfix::word("ix", dir.c_str(), "beta"), kfix::Docs());
  EXPECT_EQ(kfix::word("ix", dir.c_str(), "alpha").size(), 1u);
  {
    // Deleting the handle mid-transaction rolls back.
    Session s(ix);
    EXPECT_EQ(s.add("c", "gamma"), "0");
  }
  EXPECT_EQ(ix.count(), 1u);
  EXPECT_EQ(numberOf(ix.index, "c"), 0u);
  {
    // The engine fails a document: its cycle is gone, only a rollback is
    // left, and the next transaction commits.
    Session s(ix);
    EXPECT_EQ(s.add("d", "delta"), "0");
    gs_failDocument = 1;
    itlSetUpdateEngineTestHook(failEngineDocument);
    EXPECT_EQ(s.add("e", "epsilon"), "8/27/100003");
    EXPECT_EQ(itlErrorInfoGetVOZCode(ix.ei), 118);
    gs_failDocument = 0;
    itlSetUpdateEngineTestHook(nullptr);
    EXPECT_EQ(s.add("f", "phi"), "8/109/100003");
    EXPECT_EQ(s.remove("a"), "8/109/100003");
    // A removal refused with 109 leaves the caller's id alone.
    char const* name = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(itlDocumentIDObtainName(s.id, &name, &length), 0);
    EXPECT_EQ(std::string(name, length), "a");
    EXPECT_EQ(s.process(), "8/109/100003");
    EXPECT_EQ(s.rollback(), "0");
    EXPECT_EQ(s.add("g", "eta"), "0");
    EXPECT_EQ(s.process(), "0");
    EXPECT_EQ(s.commit(), "0");
  }
  ix.reopen();
  EXPECT_EQ(ix.count(), 2u);
  EXPECT_EQ(kfix::word("ix", dir.c_str(), "delta"), kfix::Docs());
  EXPECT_EQ(kfix::word("ix", dir.c_str(), "eta"),
            docs({numberOf(ix.index, "g")}));
  EXPECT_EQ(numberOf(ix.index, "d"), 0u);
}

TEST(ApiUpdate, NumbersAreNeverReused) {
  ApiIndex ix;
  uint64_t highest = 0;
  auto addNew = [&](std::vector<std::string> const& names) {
    std::vector<Document> d;
    for (auto const& n : names) d.push_back({n, ItlEnDocumentFormat_Text, n});
    EXPECT_EQ(upfix::addDocuments(ix.index, d), "");
    for (auto const& n : names) {
      uint64_t number = numberOf(ix.index, n);
      EXPECT_GT(number, highest) << n;
      highest = number;
    }
  };
  auto removeAll = [&](std::vector<std::string> const& names) {
    Session s(ix);
    for (auto const& n : names) EXPECT_EQ(s.remove(n), "0") << n;
    EXPECT_EQ(s.process(), "0");
    EXPECT_EQ(s.commit(), "0");
  };
  addNew({"a", "b", "c"});
  removeAll({"c"});  // the highest
  addNew({"d"});
  removeAll({"a", "b", "d"});
  ix.reopen();
  EXPECT_EQ(ix.count(), 0u);
  addNew({"e", "a"});
  EXPECT_EQ(ix.count(), 2u);
  // Replacing keeps the number.
  uint64_t before = numberOf(ix.index, "e");
  EXPECT_EQ(upfix::addDocuments(ix.index, {{"e", ItlEnDocumentFormat_Text,
                                            "replaced"}}),
            "");
  EXPECT_EQ(numberOf(ix.index, "e"), before);
  EXPECT_EQ(ix.count(), 2u);
  EXPECT_EQ(kfix::word("ix", (ix.dir.path() + "/").c_str(), "replaced"),
            docs({before}));
  EXPECT_EQ(kfix::word("ix", (ix.dir.path() + "/").c_str(), "e"),
            kfix::Docs());
}

TEST(ApiDocumentID, NamesAndNumbers) {
  ApiIndex ix("MaxDocumentIDLength = 4\n");
  ItlTyDocumentIDHandle id = nullptr;
  ASSERT_EQ(itlHandleNewDocumentID(ix.index, &id), 0);
  auto code = [&](int rc) {
    return rc == 0 ? std::string("0")
                   : std::to_string(rc) + "/" + std::to_string(ix.reason());
  };
  auto setName = [&](std::string const& n) {
    return code(itlDocumentIDSetName(id, n.data(),
                                     static_cast<uint32_t>(n.size())));
  };
  auto number = [&]() {
    uint64_t n = 99;
    int rc = itlDocumentIDObtainNumber(id, &n);
    return rc == 0 ? std::to_string(n) : code(rc);
  };
  auto name = [&]() {
    char const* p = nullptr;
    uint32_t length = 0;
    int rc = itlDocumentIDObtainName(id, &p, &length);
    return rc == 0 ? std::string(p, length) : code(rc);
  };
  // A fresh handle holds neither.
  EXPECT_EQ(number(), "8/302");
  EXPECT_EQ(name(), "8/302");
  EXPECT_EQ(itlDocumentIDSetNameMapping(id, false), 0);
  struct Row {
    char const* name;
    char const* result;  // the number, or rc/reason
  } rows[] = {{"123", "123"},   {"0", "0"},       {"12a", "8/302"},
              {"-1", "8/302"},  {"+5", "8/302"},  {" 7", "8/302"},
              {"2147", "2147"}, {"", "8/12"},     {"12345", "8/12"}};
  for (Row const& r : rows) {
    SCOPED_TRACE(r.name);
    std::string rc = setName(r.name);
    EXPECT_EQ(rc == "0" ? number() : rc, r.result);
  }
  // Longer than MaxDocumentIDLength, still refused as a name.
  EXPECT_EQ(setName("2147483647"), "8/12");
  EXPECT_EQ(code(itlDocumentIDSetNumber(id, 2147483647ull)), "8/12");
  EXPECT_EQ(code(itlDocumentIDSetNumber(id, 1ull << 32)), "8/12");
  EXPECT_EQ(code(itlDocumentIDSetNumber(id, 2147483646)), "0");
  EXPECT_EQ(name(), "2147483646");
  EXPECT_EQ(code(itlDocumentIDSetNumber(id, 77)), "0");
  EXPECT_EQ(name(), "77");
  EXPECT_EQ(code(itlDocumentIDSetName(id, nullptr, 1)), "8/25");
  EXPECT_EQ(code(itlDocumentIDObtainName(id, nullptr, nullptr)), "8/25");
  EXPECT_EQ(code(itlDocumentIDObtainNumber(id, nullptr)), "8/25");
  // Retrieval never assigns: unknown names give 303 and an empty id.
  for (bool map : {false, true}) {
    SCOPED_TRACE(map);
    EXPECT_EQ(itlDocumentIDSetNameMapping(id, map), 0);
    EXPECT_EQ(code(itlDocumentIDRetrieveByName(id, "abcd", 4)), "8/303");
    EXPECT_EQ(name(), "8/302");
    EXPECT_EQ(code(itlDocumentIDRetrieveByName(id, "abcde", 5)), "8/12");
  }
  // The setting of an earlier error stays across SetNameMapping.
  EXPECT_EQ(itlDocumentIDSetNameMapping(id, true), 0);
  EXPECT_EQ(itlErrorInfoGetReturnCode(ix.ei), 8);
  EXPECT_EQ(itlHandleDeleteDocumentID(&id), 0);
  EXPECT_EQ(id, nullptr);
  EXPECT_EQ(itlHandleDeleteDocumentID(&id), 16);
  EXPECT_EQ(itlHandleNewDocumentID(ix.index, nullptr), 8);
  EXPECT_EQ(ix.reason(), 1);
  // Mapped names: found after commit, by name and by number.
  EXPECT_EQ(upfix::addDocuments(ix.index, {{"abcd", ItlEnDocumentFormat_Text,
                                            "x"}}),
            "");
  uint64_t n = numberOf(ix.index, "abcd");
  EXPECT_NE(n, 0u);
  EXPECT_EQ(nameOf(ix.index, n), "abcd");
}

TEST(ApiDocumentID, NumbersWithoutMapping) {
  // DocumentIDMapping OFF: the caller's numbers are the engine's.
  ApiIndex ix("DocumentIDMapping = OFF\n");
  EXPECT_EQ(upfix::addDocuments(ix.index, {{"17", ItlEnDocumentFormat_Text,
                                            "seventeen"},
                                           {"4", ItlEnDocumentFormat_Text,
                                            "four"}}),
            "");
  std::string dir = ix.dir.path() + "/";
  EXPECT_EQ(kfix::word("ix", dir.c_str(), "seventeen"), docs({17}));
  Session s(ix);
  EXPECT_EQ(s.remove("17"), "0");
  EXPECT_EQ(s.add("4", "replaced"), "0");
  EXPECT_EQ(s.add("9", "nine"), "0");
  EXPECT_EQ(s.process(), "0");
  EXPECT_EQ(s.commit(), "0");
  EXPECT_EQ(kfix::word("ix", dir.c_str(), "replaced"), docs({4}));
  EXPECT_EQ(kfix::word("ix", dir.c_str(), "nine"), docs({9}));
  EXPECT_EQ(kfix::word("ix", dir.c_str(), "four"), kfix::Docs());
  EXPECT_EQ(kfix::word("ix", dir.c_str(), "seventeen"), kfix::Docs());
}

// DocumentIDMapping OFF keeps no names, so the count is the engine's live
// documents: removed and replaced ones left out before and after a merge,
// and a search handle on a filled index gives no empty-index warning.
TEST(ApiDocumentID, CountWithoutMapping) {
  ApiIndex ix("DocumentIDMapping = OFF\n");
  auto search = [&] {
    ItlTyIndexSearchHandle h = nullptr;
    int rc = itlHandleNewIndexSearch(ix.index, &h);
    std::string out = std::to_string(rc);
    if (rc != 0) out += "/" + std::to_string(ix.reason());
    itlHandleDeleteIndexSearch(&h);
    return out;
  };
  EXPECT_EQ(ix.count(), 0u);
  EXPECT_EQ(search(), "4/374");
  EXPECT_EQ(upfix::addDocuments(ix.index, {{"17", ItlEnDocumentFormat_Text,
                                            "seventeen"},
                                           {"4", ItlEnDocumentFormat_Text,
                                            "four"}}),
            "");
  EXPECT_EQ(ix.count(), 2u);
  EXPECT_EQ(search(), "0");
  EXPECT_EQ(upfix::addDocuments(ix.index, {{"5", ItlEnDocumentFormat_Text,
                                            "five"}}),
            "");
  EXPECT_EQ(ix.count(), 3u);
  {
    // A removal and a replacement in the first half, a replacement and a
    // new document in the second.
    Session s(ix);
    EXPECT_EQ(s.remove("17"), "0");
    EXPECT_EQ(s.add("4", "four again"), "0");
    EXPECT_EQ(s.add("5", "five again"), "0");
    EXPECT_EQ(s.add("9", "nine"), "0");
    EXPECT_EQ(s.process(), "0");
    // Before the commit the count is the committed one.
    EXPECT_EQ(ix.count(), 3u);
    EXPECT_EQ(s.commit(), "0");
  }
  EXPECT_EQ(ix.count(), 3u);
  ItlTyIndexMergeHandle m = nullptr;
  ASSERT_EQ(itlHandleNewIndexMerge(ix.index, &m), 0) << ix.reason();
  EXPECT_EQ(itlIndexMergeProcess(m), 0) << ix.reason();
  EXPECT_EQ(itlIndexMergeCommit(m), 0) << ix.reason();
  EXPECT_EQ(itlHandleDeleteIndexMerge(&m), 0);
  EXPECT_EQ(ix.count(), 3u);
  {
    Session s(ix);
    for (char const* n : {"4", "5", "9"}) EXPECT_EQ(s.remove(n), "0");
    EXPECT_EQ(s.process(), "0");
    EXPECT_EQ(s.commit(), "0");
  }
  ix.reopen();
  EXPECT_EQ(ix.count(), 0u);
  EXPECT_EQ(search(), "4/374");
  EXPECT_EQ(upfix::addDocuments(ix.index, {{"30", ItlEnDocumentFormat_Text,
                                            "thirty"}}),
            "");
  EXPECT_EQ(ix.count(), 1u);
}

// Two indexes of one name in different directories share the default
// working directory (the temporary directory). Neither may touch the
// other's working files (the name maps', the document maps' or the
// engine's), and neither may a handle that only opens the index and goes.
TEST(ApiUpdateWorkFiles, IndexesOfOneNameShareTheTemporaryDirectory) {
  TempDir tmp("api_update_tmp", fastTempParent());
  ScopedEnv env("TMP", tmp.path().c_str());
  ApiIndex a("", false), b("", false);
  {
    Session s(a);
    EXPECT_EQ(s.add("a1", "alpha words"), "0");
    EXPECT_EQ(s.add("a2", "more alpha"), "0");
    EXPECT_EQ(s.process(), "0");
    // Between a's process and its commit: a whole transaction on b and a
    // handle on a that opens and goes.
    EXPECT_EQ(upfix::addDocuments(b.index, {{"b1", ItlEnDocumentFormat_Text,
                                             "beta words"}}),
              "");
    ItlTyIndexHandle other = nullptr;
    ASSERT_EQ(itlHandleNewIndex(a.ctx, "ix", a.dir.path().c_str(), &other), 0);
    uint64_t n = 0;
    EXPECT_EQ(itlIndexObtainNumberOfDocuments(other, &n), 0);
    EXPECT_EQ(itlHandleDeleteIndex(&other), 0);
    EXPECT_EQ(s.commit(), "0");
  }
  EXPECT_EQ(upfix::addDocuments(b.index, {{"b2", ItlEnDocumentFormat_Text,
                                           "beta again"}}),
            "");
  EXPECT_EQ(a.count(), 2u);
  EXPECT_EQ(b.count(), 2u);
  EXPECT_EQ(numberOf(a.index, "a2"), 2u);
  EXPECT_EQ(numberOf(b.index, "b2"), 2u);
  std::string const aDir = a.dir.path() + "/", bDir = b.dir.path() + "/";
  EXPECT_EQ(kfix::word("ix", aDir.c_str(), "alpha"), docs({1, 2}));
  EXPECT_EQ(kfix::word("ix", bDir.c_str(), "beta"), docs({1, 2}));
  a.close();
  b.close();
  // Every cycle and handle cleaned up after itself.
  EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
}

}  // namespace
