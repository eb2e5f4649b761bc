// Tests of the exported document-map tools on handles and on the index
// object: null handles, the index loaded before the work (so the limits
// are those of the index's configuration), names through assignment and
// batch lookup, and the name-map displays through a search handle.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "cos_consoleui.hpp"
#include "itl_api.h"
#include "itl_api_index.hpp"
#include "itl_docmap_tools.hpp"
#include "ti_test_util.hpp"

namespace {

// Names of at most 8 bytes.
std::string const kTemplate =
    "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
    "MaxDocumentIDLength = 8\n[IndexV4]\nBlockMode = OFF\n";

class ApiDocMapHandles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(itlHandleNewErrorInfo(&ei), 0);
    ASSERT_EQ(itlHandleNewContext(&ctx, ei), 0);
    ASSERT_TRUE(writeFile(dir / "t.ini", kTemplate));
    ASSERT_EQ(itlHandleNewIndex(ctx, "ix", dir.path().c_str(), &index), 0);
  }
  void TearDown() override {
    if (search != nullptr) {
      EXPECT_EQ(itlHandleDeleteIndexSearch(&search), 0);
    }
    if (index != nullptr) {
      EXPECT_EQ(itlHandleDeleteIndex(&index), 0);
    }
    itlHandleDeleteContext(&ctx);
    itlHandleDeleteErrorInfo(&ei);
  }
  int reason() const { return itlErrorInfoGetReasonCode(ei); }
  std::string origin() const {
    char const* o = itlErrorInfoGetOrigin(ei);
    return o != nullptr ? o : "";
  }
  // A new index handle on the same index: nothing loaded yet.
  void reopen() {
    ASSERT_EQ(itlHandleDeleteIndex(&index), 0);
    ASSERT_EQ(itlHandleNewIndex(ctx, "ix", dir.path().c_str(), &index), 0);
  }

  TempDir dir{"api_docmap_handles", fastTempParent()};
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;
  ItlTyIndexSearchHandle search = nullptr;
};

TEST_F(ApiDocMapHandles, NullHandlesReturnTheirCodes) {
  std::vector<char const*> argv{"t"};
  CosClConsoleUI console(1, argv.data());
  console.init(nullptr);
  uint64_t n = 1;
  uint16_t s = 0;
  char names[16];
  struct Row {
    char const* what;
    int rc, expected;
  } rows[] = {
      {"ObtainDocumentIds", itlDocMapObtainDocumentIds(nullptr, 1, &n, &s, names, true), 16},
      {"GetMaxDocNameSize", itlGetMaxDocNameSize(nullptr, &s), 16},
      {"GetMaxDocNumber", itlGetMaxDocNumber(nullptr, &n), 16},
      {"NameMapProcess", itlNameMapProcess(nullptr, "a", 1, true), 8},
      {"NameMapFinalize", itlNameMapFinalize(nullptr), 8},
      {"NameMapMerge", itlNameMapMerge(nullptr), 8},
      {"DisplayFieldNameMap", itlDisplayFieldNameMap(nullptr, stdout), 8},
      {"DisplayAttributeNameMap", itlDisplayAttributeNameMap(nullptr, stdout), 8},
      {"32To64FieldNameMap", itl32To64FieldNameMap(nullptr), 8},
      {"32To64AttributeNameMap", itl32To64AttributeNameMap(nullptr), 8},
      {"DisplayDex", itlDisplayDex(nullptr, false, false, 0, console, false), 8},
      {"DisplayDix", itlDisplayDix(nullptr, false, false, 0, console, false), 8},
      {"DisplayDel", itlDisplayDel(nullptr, console), 8},
  };
  for (Row const& row : rows) EXPECT_EQ(row.rc, row.expected) << row.what;
  EXPECT_EQ(itlErrorInfoGetReturnCode(ei), 0);
}

TEST_F(ApiDocMapHandles, IndexHandleFormsLoadTheIndexFirst) {
  uint64_t highest = 7;
  // No index yet: the load fails with 100.
  EXPECT_EQ(itlGetMaxDocNumber(index, &highest), 8);
  EXPECT_EQ(reason(), ItlEnReasonCode_Index_not_found);
  EXPECT_EQ(itlNameMapProcess(index, "a", 1, true), 8);
  EXPECT_EQ(reason(), ItlEnReasonCode_Index_not_found);
  // The argument checks come first.
  EXPECT_EQ(itlGetMaxDocNumber(index, nullptr), 8);
  EXPECT_EQ(origin(), "source/itl_api/itl_int_api_docmap:201");

  ASSERT_EQ(itlIndexCreate(index, (dir / "t.ini").c_str()), 0) << reason();
  reopen();
  EXPECT_EQ(itlGetMaxDocNumber(index, &highest), 8);
  EXPECT_EQ(reason(), ItlEnReasonCode_Index_not_found);
  EXPECT_EQ(origin(), "source/itl_api/itl_int_api_docmap:217");

  // A fresh handle reads the longest name (8) from the configuration.
  reopen();
  EXPECT_EQ(itlNameMapProcess(index, "123456789", 9, true), 8);
  EXPECT_EQ(origin(), "source/itl_api/itl_int_api_docmap:882");
  for (char const* name : {"alpha", "beta", "12345678"})
    ASSERT_EQ(itlNameMapProcess(index, name, static_cast<uint16_t>(std::strlen(name)), true), 0)
        << name << " reason " << reason();
  ASSERT_EQ(itlNameMapFinalize(index), 0) << reason();
  reopen();
  EXPECT_EQ(itlGetMaxDocNumber(index, &highest), 0) << reason();
  EXPECT_EQ(highest, 3u);

  // Deleted and merged: the highest number stays.
  ASSERT_EQ(itlNameMapProcess(index, "beta", 4, false), 0) << reason();
  ASSERT_EQ(itlNameMapFinalize(index), 0) << reason();
  ASSERT_EQ(itlNameMapMerge(index), 0) << reason();
  EXPECT_EQ(itlGetMaxDocNumber(index, &highest), 0);
  EXPECT_EQ(highest, 3u);

  // Through a search handle: the names of numbers 1 and 3, 2 is gone.
  EXPECT_EQ(itlHandleNewIndexSearch(index, &search), 0) << reason();
  uint16_t size = 0;
  EXPECT_EQ(itlGetMaxDocNameSize(search, &size), 0);
  EXPECT_EQ(size, 8);
  uint64_t numbers[2] = {3, 1};
  uint16_t lengths[2] = {0, 0};
  char names[16];
  ASSERT_EQ(itlDocMapObtainDocumentIds(search, 2, numbers, lengths, names, false), 0)
      << reason();
  EXPECT_EQ(std::string(names, lengths[0]), "12345678");
  EXPECT_EQ(std::string(names + 8, lengths[1]), "alpha");
  uint64_t two = 2;
  EXPECT_EQ(itlDocMapObtainDocumentIds(search, 1, &two, lengths, names, true), 8);

  // The displays on the index object of the handle.
  std::vector<char const*> argv{"t"};
  CosClConsoleUI console(1, argv.data());
  console.init(nullptr);
  std::ostringstream out;
  console.setOutputStream(out);
  EXPECT_EQ(itlDisplayDix(itlApiIndex(index), false, false, 0, console, false), 0) << reason();
  EXPECT_NE(out.str().find("DocName =...........................: 12345678"), std::string::npos)
      << out.str();
  EXPECT_EQ(itlDisplayDex(itlApiIndex(index), false, true, 9, console, false), 8);
  EXPECT_EQ(reason(), ItlEnReasonCode_Invalid_argument);
}

TEST_F(ApiDocMapHandles, NameMapDisplaysThroughASearchHandle) {
  ASSERT_EQ(itlIndexCreate(index, (dir / "t.ini").c_str()), 0) << reason();
  ASSERT_EQ(itlNameMapProcess(index, "a", 1, true), 0) << reason();
  ASSERT_EQ(itlNameMapFinalize(index), 0) << reason();
  ASSERT_EQ(itlHandleNewIndexSearch(index, &search), 0) << reason();
  for (auto display : {itlDisplayFieldNameMap, itlDisplayAttributeNameMap}) {
    FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(display(search, stream), 0) << reason();
    std::rewind(stream);
    char text[64] = {};
    size_t n = std::fread(text, 1, sizeof text - 1, stream);
    std::fclose(stream);
    EXPECT_EQ(std::string(text, n), "elementNumber elementName\n\n");
    EXPECT_EQ(display(search, nullptr), 8);
    EXPECT_EQ(reason(), ItlEnReasonCode_Invalid_argument);
  }
}

}  // namespace
