// Tests of the index search handles: the empty-index warning, a missing
// index, the argument checks and deletion.
#include <gtest/gtest.h>

#include <dirent.h>

#include <string>

#include "itl_api.h"
#include "itl_api_search_handle.hpp"
#include "ti_test_util.hpp"

namespace {

std::string const kTemplate =
    "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
    "[IndexV4]\nBlockMode = OFF\n";

class ApiSearchHandle : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(itlHandleNewErrorInfo(&ei), 0);
    ASSERT_EQ(itlHandleNewContext(&ctx, ei), 0);
    ASSERT_TRUE(writeFile(dir / "t.ini", kTemplate));
    ASSERT_EQ(itlHandleNewIndex(ctx, "abc", directory.c_str(), &index), 0);
  }
  void TearDown() override {
    if (index != nullptr) {
      EXPECT_EQ(itlHandleDeleteIndex(&index), 0);
    }
    itlHandleDeleteContext(&ctx);
    itlHandleDeleteErrorInfo(&ei);
  }
  int reason() const { return itlErrorInfoGetReasonCode(ei); }
  void create() {
    ASSERT_EQ(itlIndexCreate(index, (dir / "t.ini").c_str()), 0) << reason();
  }
  // Removes the document-name map's files of the index.
  void removeMapFiles() {
    DIR* d = opendir(directory.c_str());
    ASSERT_NE(d, nullptr);
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      for (char const* suffix : {".did", ".dii", ".ded", ".dei", ".del"})
        if (name == std::string("abc") + suffix)
          std::remove((directory + "/" + name).c_str());
    }
    closedir(d);
  }

  TempDir dir{"api_search_handle", fastTempParent()};
  std::string directory = dir.path();
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;
};

TEST_F(ApiSearchHandle, EmptyIndexWarnsAndHandsOutAUsableHandle) {
  create();
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "with map files" : "without map files");
    if (round == 1) removeMapFiles();
    ItlTyIndexSearchHandle search = nullptr;
    EXPECT_EQ(itlHandleNewIndexSearch(index, &search), 4);
    EXPECT_EQ(reason(), 374);
    EXPECT_EQ(itlErrorInfoGetAction(ei), ItlEnErrorAction_Inform);
    ASSERT_NE(search, nullptr);
    ItlClIndexSearch& object = *itlApiIndexSearch(search);
    EXPECT_STREQ(object.getIndex().getName(), "abc");
    EXPECT_EQ(&object.getErrorInfo(), reinterpret_cast<ItlClErrorInfo*>(ei));
    EXPECT_EQ(itlHandleDeleteIndexSearch(&search), 0);
    EXPECT_EQ(search, nullptr);
    EXPECT_EQ(itlHandleDeleteIndexSearch(&search), 16);
  }
}

TEST_F(ApiSearchHandle, MissingIndexAndArgumentChecks) {
  ItlTyIndexSearchHandle search =
      reinterpret_cast<ItlTyIndexSearchHandle>(&search);
  EXPECT_EQ(itlHandleNewIndexSearch(index, &search), 8);
  EXPECT_EQ(reason(), 100);
  EXPECT_EQ(search, nullptr);
  EXPECT_EQ(itlHandleNewIndexSearch(index, nullptr), 8);
  EXPECT_EQ(reason(), 25);
  EXPECT_EQ(itlHandleNewIndexSearch(nullptr, &search), 16);
  EXPECT_EQ(itlHandleDeleteIndexSearch(nullptr), 16);
}

}  // namespace
