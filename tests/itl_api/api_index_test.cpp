// Tests of the exported index-handle, administration and configuration
// functions: argument checks and their codes, identity texts, the fill
// functions and the configuration setters.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "calls/voz_reserved.hpp"
#include "files/voz_records_create.hpp"
#include "files/voz_status.hpp"
#include "itl_api.h"
#include "ti_test_util.hpp"

namespace {

std::string const kTemplate =
    "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
    "[IndexV4]\nBlockMode = OFF\n";

class ApiIndex : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(itlHandleNewErrorInfo(&ei), 0);
    ASSERT_EQ(itlHandleNewContext(&ctx, ei), 0);
    ASSERT_TRUE(writeFile(dir / "template.ini", kTemplate));
  }
  void TearDown() override {
    if (index != nullptr) {
      EXPECT_EQ(itlHandleDeleteIndex(&index), 0);
    }
    itlHandleDeleteContext(&ctx);
    itlHandleDeleteErrorInfo(&ei);
  }
  int reason() const { return itlErrorInfoGetReasonCode(ei); }
  std::string context() const {
    char const* text = itlErrorInfoGetContext(ei);
    return text != nullptr ? text : "";
  }
  // An index "abc" created from `ini`.
  void create(std::string const& ini = kTemplate) {
    ASSERT_TRUE(writeFile(dir / "t2.ini", ini));
    ASSERT_EQ(itlHandleNewIndex(ctx, "abc", directory.c_str(), &index), 0);
    ASSERT_EQ(itlIndexCreate(index, (dir / "t2.ini").c_str()), 0) << reason();
  }

  TempDir dir{"api_index", fastTempParent()};
  std::string directory = dir.path();
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;
};

TEST_F(ApiIndex, HandleChecks) {
  struct Case {
    char const* name;
    char const* directory;
    int rc, reason;
  } const cases[] = {
      {"abc.x", "d", 8, 101}, {"", "d", 8, 101},   {"a/b", "d", 8, 101},
      {nullptr, "d", 8, 25},  {"abc", nullptr, 8, 25},
  };
  for (Case const& c : cases) {
    ItlTyIndexHandle h = reinterpret_cast<ItlTyIndexHandle>(&h);
    EXPECT_EQ(itlHandleNewIndex(ctx, c.name, c.directory, &h), c.rc);
    EXPECT_EQ(reason(), c.reason);
    EXPECT_EQ(h, nullptr);
  }
  std::string longName(5000, 'n');
  ItlTyIndexHandle h = nullptr;
  EXPECT_EQ(itlHandleNewIndex(ctx, longName.c_str(), "d", &h), 8);
  EXPECT_EQ(reason(), 101);
  EXPECT_EQ(itlHandleNewIndex(ctx, "abc", "d", nullptr), 8);
  EXPECT_EQ(reason(), 1);
  EXPECT_EQ(itlHandleNewIndex(nullptr, "abc", "d", &h), 16);
  EXPECT_EQ(itlHandleDeleteIndex(nullptr), 16);
  EXPECT_EQ(itlHandleDeleteIndex(&h), 16);

  // Null handles: neutral answers, nothing recorded.
  EXPECT_EQ(itlIndexGetName(nullptr), nullptr);
  EXPECT_EQ(itlIndexGetKey(nullptr), nullptr);
  EXPECT_EQ(itlIndexGetDirectory(nullptr), nullptr);
  EXPECT_EQ(itlIndexGetWorkingDirectory(nullptr), nullptr);
  EXPECT_FALSE(itlIndexIsExistent(nullptr));
  for (auto rc : {itlIndexCreate(nullptr, "x"), itlIndexDestroy(nullptr),
                  itlIndexClear(nullptr), itlIndexRename(nullptr, "x"),
                  itlIndexCopy(nullptr, "x"), itlIndexMove(nullptr, "x"),
                  itlIndexLoad(nullptr), itlConfigFileWriteAsR3File(nullptr),
                  itlConfigFileSetMaxDocIDLength(10, nullptr),
                  setDocNamesHaveFixSize(true, nullptr)})
    EXPECT_EQ(rc, 16);
}

TEST_F(ApiIndex, IdentityAndWorkingDirectory) {
  ASSERT_EQ(itlHandleNewIndex(ctx, "abc", directory.c_str(), &index), 0);
  EXPECT_STREQ(itlIndexGetName(index), "abc");
  EXPECT_EQ(std::string(itlIndexGetDirectory(index)), directory + "/");
  EXPECT_EQ(std::string(itlIndexGetKey(index)).substr(0, 8), "itl:abc:");
  EXPECT_FALSE(itlIndexIsExistent(index));
  uint64_t count = 0;
  EXPECT_EQ(itlIndexObtainNumberOfDocuments(index, &count), 8);
  EXPECT_EQ(reason(), 100);
  EXPECT_EQ(itlIndexObtainNumberOfDocuments(index, nullptr), 8);
  EXPECT_EQ(reason(), 25);

  std::string missing = dir / "missing";
  EXPECT_EQ(itlIndexSetWorkingDirectory(index, missing.c_str()), 8);
  EXPECT_EQ(reason(), 26);
  EXPECT_EQ(context(), "Directory: " + missing);
  EXPECT_EQ(itlIndexSetWorkingDirectory(index, directory.c_str()), 0);
  EXPECT_EQ(std::string(itlIndexGetWorkingDirectory(index)),
            directory + "/TMP_abc/");
}

TEST_F(ApiIndex, Administration) {
  create();
  EXPECT_TRUE(itlIndexIsExistent(index));
  EXPECT_EQ(itlIndexCreate(index, (dir / "template.ini").c_str()), 8);
  EXPECT_EQ(reason(), 104);
  EXPECT_EQ(context(), "Index name: abc");
  uint64_t count = 7;
  EXPECT_EQ(itlIndexObtainNumberOfDocuments(index, &count), 0);
  EXPECT_EQ(count, 0u);
  bool advised = true;
  EXPECT_EQ(itlIndexObtainMergeIsRecommended(index, &advised), 0);
  EXPECT_FALSE(advised);

  EXPECT_EQ(itlIndexRename(index, nullptr), 8);
  EXPECT_EQ(reason(), 25);
  EXPECT_EQ(context(), "");
  EXPECT_EQ(itlIndexRename(index, "x.y"), 8);
  EXPECT_EQ(reason(), 101);
  EXPECT_EQ(context(), "Index name: x.y");
  std::string missing = dir / "missing";
  EXPECT_EQ(itlIndexCopy(index, missing.c_str()), 8);
  EXPECT_EQ(reason(), 102);
  EXPECT_EQ(context(), "Directory: " + missing);
  EXPECT_EQ(itlIndexMove(index, missing.c_str()), 8);
  EXPECT_EQ(reason(), 102);

  EXPECT_EQ(itlIndexRename(index, "def"), 0);
  EXPECT_STREQ(itlIndexGetName(index), "def");
  EXPECT_EQ(std::string(itlIndexGetKey(index)).substr(0, 8), "itl:def:");
  EXPECT_EQ(itlIndexClear(index), 0);
  EXPECT_EQ(itlIndexDestroy(index), 0);
  EXPECT_FALSE(itlIndexIsExistent(index));
  EXPECT_EQ(itlIndexDestroy(index), 8);
  EXPECT_EQ(reason(), 100);
}

TEST_F(ApiIndex, DocumentModels) {
  ASSERT_EQ(itlHandleNewIndex(ctx, "abc", directory.c_str(), &index), 0);
  EXPECT_EQ(itlIndexSetDefaultDocumentModel(index, ItlEnDocumentFormat_Text,
                                            "m"),
            8);
  EXPECT_EQ(reason(), 25);
  EXPECT_EQ(itlIndexAddDocumentModel(index, "m", "<GPPModel/>", 11), 8);
  EXPECT_EQ(reason(), 100);
  EXPECT_EQ(itlIndexAddDocumentModel(index, nullptr, "x", 1), 8);
  EXPECT_EQ(reason(), 25);
  ASSERT_EQ(itlIndexCreate(index, (dir / "template.ini").c_str()), 0);
  EXPECT_EQ(itlIndexAddDocumentModel(index, "m", "<GPPModel/>", 11), 0);
  EXPECT_EQ(itlIndexSetDefaultDocumentModel(
                index, ItlEnDocumentFormat_Structured, "m"),
            0);
  EXPECT_EQ(itlIndexAddDocumentModel(index, "m", "<GPPModel/>", 11), 8);
  EXPECT_EQ(reason(), 203);
}

TEST_F(ApiIndex, FillFunctions) {
  GTRHCREATEPARM create;
  GTRSYSPARM sys;
  ASSERT_EQ(itlHandleNewIndex(ctx, "abc", directory.c_str(), &index), 0);
  EXPECT_EQ(itlFillVozCreateParm(index, nullptr), 16);
  EXPECT_EQ(itlFillVozSysParm(index, nullptr), 16);
  EXPECT_EQ(itlFillVozSysParm(nullptr, &sys), 16);
  EXPECT_EQ(itlFillVozCreateParm(index, &create), 8);
  EXPECT_EQ(reason(), 100);
  EXPECT_EQ(itlHandleDeleteIndex(&index), 0);

  struct Case {
    char const* extra;
    uint8_t codepage;
    int16_t threshold;
  } const cases[] = {
      {"BlockMode = OFF\n", 34, 0},
      {"BlockMode = OFF\nStopwordLanguage = TR_TR\n", 37, 0},
      {"BlockMode = ON\nBlockSize = SMALL\n", 34, 1},
      {"BlockMode = DYNAMIC\nBlockThreshold = 20\nBlockSize = SMALL\n", 34, 20},
  };
  int i = 0;
  for (Case const& c : cases) {
    std::string name = "i" + std::to_string(i++);
    std::string ini = std::string("[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
                                  "[IndexV4]\n") + c.extra;
    ASSERT_TRUE(writeFile(dir / (name + ".tpl"), ini));
    ItlTyIndexHandle h = nullptr;
    ASSERT_EQ(itlHandleNewIndex(ctx, name.c_str(), directory.c_str(), &h), 0);
    ASSERT_EQ(itlIndexCreate(h, (dir / (name + ".tpl")).c_str()), 0)
        << reason();
    ASSERT_EQ(itlFillVozCreateParm(h, &create), 0) << reason() << c.extra;
    EXPECT_EQ(create.index_type, 2);
    EXPECT_EQ(create.codepage, c.codepage) << c.extra;
    EXPECT_EQ(create.index_purpose, 3);
    EXPECT_EQ(create.disable, 2);
    EXPECT_EQ(create.word_rule, 1);
    EXPECT_EQ(create.block_threshold, c.threshold) << c.extra;
    GTRSTATUS status{};
    EXPECT_EQ(vozReservedCheck_GTRHCREATEPARM(&create, &status), 0);
    EXPECT_EQ(itlIndexSetDisplayLog(h, true), 0);
    ASSERT_EQ(itlFillVozSysParm(h, &sys), 0);
    EXPECT_EQ(sys.poolsize, 8290304);
    EXPECT_EQ(sys.poolsizedelta, 1048576);
    EXPECT_EQ(sys.filemax, 500);
    EXPECT_EQ(sys.displaylog, 'D');
    EXPECT_EQ(vozReservedCheck_GTRSYSPARM(&sys, &status), 0);
    EXPECT_EQ(itlHandleDeleteIndex(&h), 0);
  }
}

TEST_F(ApiIndex, ConfigurationSetters) {
  ASSERT_EQ(itlHandleNewIndex(ctx, "abc", directory.c_str(), &index), 0);
  EXPECT_EQ(itlConfigFileSetMaxDocIDLength(100, index), 8);
  EXPECT_EQ(reason(), 100);
  EXPECT_EQ(itlIndexLoad(index), 8);
  EXPECT_EQ(reason(), 100);
  EXPECT_EQ(itlHandleDeleteIndex(&index), 0);
  create(
      "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\nMaxDocumentIDLength = 77\n"
      "[IndexV4]\nBlockMode = OFF\n");
  EXPECT_EQ(itlHandleDeleteIndex(&index), 0);

  // A rewrite on a handle that read nothing keeps the file's settings.
  ASSERT_EQ(itlHandleNewIndex(ctx, "abc", directory.c_str(), &index), 0);
  chmod((dir / "abc.ini").c_str(), 0640);
  ASSERT_EQ(itlConfigFileWriteAsR3File(index), 0) << reason();
  EXPECT_NE(readFile(dir / "abc.ini").find("MaxDocumentIDLength\t= 77\n"),
            std::string::npos);

  EXPECT_EQ(itlConfigFileSetMaxDocIDLength(0, index), 8);
  EXPECT_EQ(reason(), 25);
  EXPECT_EQ(itlConfigFileSetMaxDocIDLength(4097, index), 8);
  EXPECT_EQ(reason(), 25);
  EXPECT_EQ(itlConfigFileSetMaxDocIDLength(100, index), 0);
  EXPECT_EQ(setDocNamesHaveFixSize(true, index), 0);
  ASSERT_EQ(itlConfigFileWriteAsR3File(index), 0) << reason();
  std::string ini = readFile(dir / "abc.ini");
  EXPECT_NE(ini.find("MaxDocumentIDLength\t= 100\n"), std::string::npos);
  EXPECT_NE(ini.find("DocumentIDSizeIsFix\t= 1\n"), std::string::npos);
  EXPECT_EQ(itlIndexLoad(index), 0);
}

}  // namespace
