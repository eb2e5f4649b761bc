// Tests of itlConfigFileMigrateR1R3: the exact .ini written for a
// first-release configuration, and failures that leave any .ini untouched.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "itl_api.h"
#include "ti_test_util.hpp"

namespace {

std::string ipaText(char const* version, char const* disable,
                    char const* threshold, char const* size, char const* pool,
                    char const* docIdSize) {
  std::string t = std::string("[IndexId]\nVersion = ") + version +
                  "\n[VozCreateParams]\nDisableMode = " + disable +
                  "\nWordRuleMode = 0\nBlockThreshold = " + threshold +
                  "\nBlockSize = " + size + "\n[VozSysParams]\nPoolSize = " +
                  pool + "\nPoolSizeDelta = 1048576\n";
  if (docIdSize != nullptr)
    t += std::string("[IndexParams]\nDocIdSize = ") + docIdSize + "\n";
  return t;
}

class Migrate : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(itlHandleNewErrorInfo(&ei), 0); }
  void TearDown() override { itlHandleDeleteErrorInfo(&ei); }
  TempDir dir{"migrate", fastTempParent()};
  std::string directory = dir.path() + "/";
  ItlTyErrorInfoHandle ei = nullptr;
};

TEST_F(Migrate, WritesTheCurrentLayoutExactly) {
  ASSERT_TRUE(writeFile(dir / "idx.ipa",
                        ipaText("1", "2", "-1", "-1", "8290304", nullptr)));
  ASSERT_EQ(itlConfigFileMigrateR1R3("idx", directory.c_str(), ei), 0);
  std::string const expected =
      "\n[IndexId]\nVersion\t= 4.6\n\n[Index]\nRespectCase\t= ON\n"
      "DocumentIDMapping\t= ON\n"
      "MaxDocumentIDLength\t= 256\nDocumentIDSizeIsFix\t= 0\n"
      "MaskResolutionLimit\t= 1000\n"
      "UmlautNormalization\t= OFF\nAccentRemoval\t= OFF\n"
      "UnicodeNormalization\t= NONE\n"
      "SeparateParagraphs\t= ON\nResourceLocation\t= " + directory +
      "\nMemoryPoolUpdateInitialSize\t= 1024\n"
      "MemoryPoolUpdateGrowthSize\t= 1024\nMemoryPoolSearchInitialSize\t= 1024\n"
      "MemoryPoolSearchGrowthSize\t= 1024\n\n[IndexV4]\nDeleteStopwords\t= OFF\n"
      "UseAlternateTerritoriesForStopwordFiles\t= OFF\nSeparateSentences\t= OFF\n"
      "TreatNumbersAsWords\t= ON\nBlockMode\t= DYNAMIC\nBlockThreshold\t= 8\n"
      "BlockSize\t= SMALL\n"
      "PoolSize\t= 8096\nPoolSizeDelta\t= 1024\n";
  EXPECT_EQ(readFile(dir / "idx.ini"), expected);
  EXPECT_EQ(readFile(dir / "idx.ipa"),
            ipaText("1", "2", "-1", "-1", "8290304", nullptr));
}

TEST_F(Migrate, FailuresLeaveTheIniUntouched) {
  struct Case {
    char const* what;
    std::string ipa;  // "" for no file
    int reason;
    std::string context;
  };
  std::string const ipa = dir / "idx.ipa";
  Case const cases[] = {
      {"no file", "", 16, "Configuration file name: " + ipa},
      {"version 3", ipaText("3", "0", "0", "4", "8192", nullptr), 113,
       "Configuration file name: " + ipa},
      {"version 2 without IndexParams", ipaText("2", "0", "0", "4", "8192", nullptr),
       110, "Section: IndexParams"},
      {"DisableMode 3", ipaText("1", "3", "0", "4", "8192", nullptr), 112,
       "Option: DisableMode"},
      {"DocIdSize 128", ipaText("2", "0", "0", "4", "8192", "128"), 112,
       "Option: DocIdSize"},
      {"PoolSize 8191", ipaText("1", "0", "0", "4", "8191", nullptr), 112,
       "Option: PoolSize"},
      {"threshold 20 with size 5", ipaText("1", "0", "20", "5", "8192", nullptr),
       112, "Option: BlockSize"},
  };
  std::string const old = "[IndexId]\nVersion = 4.6\n";
  for (Case const& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(ipa.c_str());
    if (!c.ipa.empty()) {
      ASSERT_TRUE(writeFile(ipa, c.ipa));
    }
    ASSERT_TRUE(writeFile(dir / "idx.ini", old));
    EXPECT_EQ(itlConfigFileMigrateR1R3("idx", directory.c_str(), ei), 8);
    EXPECT_EQ(itlErrorInfoGetReasonCode(ei), c.reason);
    EXPECT_EQ(itlErrorInfoGetContext(ei), c.context);
    EXPECT_EQ(readFile(dir / "idx.ini"), old);
  }
  // Threshold 0 ignores the block size.
  ASSERT_TRUE(writeFile(ipa, ipaText("1", "0", "0", "5", "8192", nullptr)));
  EXPECT_EQ(itlConfigFileMigrateR1R3("idx", directory.c_str(), ei), 0);
  EXPECT_NE(readFile(dir / "idx.ini").find("BlockMode\t= OFF\n"), std::string::npos);

  EXPECT_EQ(itlConfigFileMigrateR1R3("idx", directory.c_str(), nullptr), 16);
  EXPECT_EQ(itlConfigFileMigrateR1R3(nullptr, directory.c_str(), ei), 8);
  EXPECT_EQ(itlErrorInfoGetReasonCode(ei), 25);
  EXPECT_EQ(itlConfigFileMigrateR1R3("idx", nullptr, ei), 8);
  EXPECT_EQ(itlErrorInfoGetReasonCode(ei), 25);
}

}  // namespace
