// Tests of the index configuration (ItlClIndexConfig): reading the .ini
// file (errors, defaults, units, booleans), the first-release reader,
// writing (fixtures, a randomized round trip, lines the reader would
// refuse) and the index-file hooks.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "itl_error.hpp"
#include "itl_index_config.hpp"
#include "itl_index_location.hpp"
#include "ti_test_util.hpp"

namespace {

// A valid configuration; each case replaces or adds lines.
std::string const kValidIni =
    "[IndexId]\nVersion = 4.6\n"
    "[Index]\nRespectCase = ON\n"
    "[IndexV4]\nBlockMode = OFF\n";

class Config : public ::testing::Test {
 protected:
  Config()
      : dir("config", fastTempParent()),
        location("idx", dir.path().c_str()),
        config(location, errorInfo) {}

  std::string ini() const { return dir / "idx.ini"; }
  // Writes `text` as the .ini file and reads it; returns the reason of the
  // exception (0 for none) and its context in *context.
  int read(std::string const& text, std::string* context = nullptr) {
    EXPECT_TRUE(writeFile(ini(), text));
    try {
      config.onIndexFileInit();
    } catch (ItlClException const& e) {
      if (context != nullptr) *context = e.getContext();
      return e.getReasonCode();
    }
    return 0;
  }

  TempDir dir;
  ItlClIndexLocation location;
  ItlClErrorInfo errorInfo;
  ItlClIndexConfig config;
};

TEST_F(Config, ReadingErrorsCarryReasonAndContext) {
  struct Case {
    char const* what;
    std::string text;
    int reason;
    char const* context;
  };
  std::string const idV4 = "[IndexV4]\nBlockMode = OFF\n";
  std::string const head = "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n";
  std::vector<Case> cases = {
      {"version 4.60", "[IndexId]\nVersion = 4.60\n[Index]\n", 113,
       "Option: 4.60\nSection: IndexId"},
      {"version 4.5", "[IndexId]\nVersion = 4.5\n", 113,
       "Option: 4.5\nSection: IndexId"},
      {"no IndexId", "[Index]\nRespectCase = ON\n", 110, "Section: IndexId"},
      {"no Version", "[IndexId]\n[Index]\n", 111,
       "Option: Version\nSection: IndexId"},
      {"no Index", "[IndexId]\nVersion = 4.6\n" + idV4, 110,
       "Section: Index\nSection: IndexId"},
      {"no RespectCase", "[IndexId]\nVersion = 4.6\n[Index]\n" + idV4, 111,
       "Option: RespectCase\nSection: Index"},
      {"mask limit 1", head + "MaskResolutionLimit = 1\n" + idV4, 112,
       "Option: MaskResolutionLimit\nSection: Index"},
      {"mask limit 10001", head + "MaskResolutionLimit = 10001\n" + idV4, 112,
       "Option: MaskResolutionLimit\nSection: Index"},
      {"mask limit abc", head + "MaskResolutionLimit = abc\n" + idV4, 112,
       "Option: MaskResolutionLimit\nSection: Index"},
      {"pool 63 KB", head + "MemoryPoolUpdateInitialSize = 63\n" + idV4, 112,
       "Option: MemoryPoolUpdateInitialSize\nSection: Index"},
      {"PoolSize past 32 bits", head + "[IndexV4]\nBlockMode = OFF\nPoolSize = 4294967304\n",
       112, "Option: PoolSize\nSection: IndexV4"},
      {"boolean E", head + "SeparateParagraphs = E\n" + idV4, 112,
       "Option: SeparateParagraphs\nSection: Index"},
      {"no IndexV4", head, 110, "Section: IndexV4\nSection: Index"},
      {"no BlockMode", head + "[IndexV4]\n", 111,
       "Option: BlockMode\nSection: IndexV4"},
      {"dynamic without threshold", head + "[IndexV4]\nBlockMode = dynamic\nBlockSize = SMALL\n",
       111, "Option: BlockThreshold\nSection: IndexV4"},
      {"threshold 501", head + "[IndexV4]\nBlockMode = DYNAMIC\nBlockThreshold = 501\n",
       112, "Option: BlockThreshold\nSection: IndexV4"},
      {"block size HUGE", head + "[IndexV4]\nBlockMode = ON\nBlockSize = HUGE\n", 112,
       "Option: BlockSize\nSection: IndexV4"},
      {"ON without block size", head + "[IndexV4]\nBlockMode = ON\n", 111,
       "Option: BlockSize\nSection: IndexV4"},
      {"block mode SOMETIMES", head + "[IndexV4]\nBlockMode = SOMETIMES\n", 112,
       "Option: BlockMode\nSection: IndexV4"},
      {"stop words without language", head + "[IndexV4]\nDeleteStopwords = ON\nBlockMode = OFF\n",
       111, "Option: StopwordLanguage\nSection: IndexV4"},
      // An empty text is no language: the writer would leave it out.
      {"stop words with an empty language",
       head + "[IndexV4]\nDeleteStopwords = ON\nStopwordLanguage =\nBlockMode = OFF\n",
       111, "Option: StopwordLanguage\nSection: IndexV4"},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.what);
    std::string context;
    EXPECT_EQ(read(c.text, &context), c.reason);
    EXPECT_EQ(context, c.context);
  }
  std::remove(ini().c_str());
  std::string context;
  try {
    config.onIndexFileInit();
    ADD_FAILURE() << "a missing file was read";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), 16);
    EXPECT_EQ(std::string(e.getContext()), "File open failed: " + ini());
  }
}

TEST_F(Config, DefaultsUnitsAndTolerances) {
  ASSERT_EQ(read(kValidIni), 0);
  EXPECT_EQ(config.getPoolSize(), 8290304u);
  EXPECT_EQ(config.getPoolSizeDelta(), 1048576u);
  EXPECT_EQ(config.getMaxDocIDLength(), 256);
  EXPECT_EQ(config.getMaskResolutionLimit(), 1000);
  EXPECT_EQ(config.getFormatConverterFallbackFormat(), 4004);
  EXPECT_EQ(config.getMemoryPoolSearchGrowthSize(), 1048576u);
  EXPECT_FALSE(config.getSeparateParagraphs());
  EXPECT_TRUE(config.getUseAlternateTerritories());
  EXPECT_STREQ(config.getStopwordLanguageText(), "en_us");
  EXPECT_TRUE(config.isStopwordLanguageKnown());
  EXPECT_STREQ(config.getResourceLocation().getAsCString(),
               location.getIndexDirectory().getAsCString());
  EXPECT_EQ(config.getBlockThreshold(), 0);

  ASSERT_EQ(read("[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = off\n"
                 "MemoryPoolUpdateInitialSize = 64\n"
                 "UnicodeNormalization = nfkc\n"
                 "[IndexV4]\nBlockMode = dynamic\nBlockThreshold = 2\n"
                 "BlockSize = large\n"
                 "AdditionalAlphanumCharacters = abcdefghijklmnopqrst\n"),
            0);
  EXPECT_FALSE(config.getRespectCase());
  EXPECT_EQ(config.getMemoryPoolUpdateInitialSize(), 65536u);
  EXPECT_EQ(config.getUnicodeNormalization(), ItlEnUnicodeNormalization_NFKC);
  EXPECT_EQ(config.getBlockThreshold(), 2);
  EXPECT_EQ(config.getBlockSize(), 16);
  EXPECT_EQ(config.getAlphanumCount(), 16u);
  EXPECT_EQ(std::string(config.getAdditionalAlphanumCharacters(), 16),
            "abcdefghijklmnop");
}

TEST_F(Config, UnknownNormalizationAndLanguageAreWarnings) {
  errorInfo.reset();
  ASSERT_EQ(read("[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
                 "UnicodeNormalization = NFD\n[IndexV4]\nBlockMode = OFF\n"
                 "DeleteStopwords = ON\nStopwordLanguage = xx_XX\n"),
            0);
  EXPECT_EQ(config.getUnicodeNormalization(), ItlEnUnicodeNormalization_None);
  EXPECT_EQ(errorInfo.getReturnCode(), ItlEnReturnCode_Warning);
  EXPECT_EQ(errorInfo.getReasonCode(), 112);
  EXPECT_STREQ(errorInfo.getContext(), "Option: StopwordLanguage");
  EXPECT_EQ(errorInfo.getWarningCount(), 2u);
  EXPECT_FALSE(config.isStopwordLanguageKnown());
  // Two warnings under a threshold of 2: the second throws reason 38.
  errorInfo.reset();
  errorInfo.setWarningThreshold(2);
  std::string context;
  EXPECT_EQ(read("[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
                 "UnicodeNormalization = NFD\n[IndexV4]\nBlockMode = OFF\n"
                 "StopwordLanguage = xx_XX\n", &context),
            38);
}

TEST_F(Config, BooleansAreWholeWordsIgnoringCase) {
  struct Case {
    char const* text;
    int expected;  // 1 true, 0 false, 112 refused
  };
  Case const cases[] = {{"on", 1},   {"True", 1},  {"YES", 1}, {"1", 1},
                        {"Ok", 1},   {"OFF", 0},   {"false", 0}, {"No", 0},
                        {"0", 0},    {"E", 112},   {"S", 112}, {"|", 112},
                        {"\"\"", 112}, {"ONX", 112}, {"2", 112}};
  for (Case const& c : cases) {
    SCOPED_TRACE(c.text);
    int reason = read("[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = " +
                      std::string(c.text) + "\n[IndexV4]\nBlockMode = OFF\n");
    if (c.expected == 112) {
      EXPECT_EQ(reason, 112);
    } else {
      ASSERT_EQ(reason, 0);
      EXPECT_EQ(config.getRespectCase(), c.expected == 1);
    }
  }
}

// ---------------------------------------------------------------------------
// Writing.

TEST_F(Config, OffIndexFixtureAndWhatSurvivesARewrite) {
  ASSERT_EQ(read("[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
                 "UmlautNormalization = ON\n[IndexV4]\nBlockMode = OFF\n"
                 "StopwordLanguage = zz_ZZ\nDeleteStopwords = ON\n"),
            0);
  config.writeAsR3File();
  std::string text = readFile(ini());
  EXPECT_NE(text.find("BlockMode\t= OFF\nBlockThreshold\t= 0\t; special value: "
                      "never use block pos. index\nBlockSize\t= 0\t; ignored "
                      "since block mode is off\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("UmlautNormalization\t= ON\n"), std::string::npos);
  EXPECT_NE(text.find("StopwordLanguage\t= zz_ZZ\n"), std::string::npos);
  ItlClIndexConfig again(location, errorInfo);
  again.onIndexFileInit();
  EXPECT_TRUE(again.getUmlautNormalization());
  EXPECT_TRUE(again.getDeleteStopwords());
  EXPECT_EQ(again.getBlockThreshold(), 0);
  EXPECT_EQ(again.getBlockSize(), 0);
}

TEST_F(Config, LineTheReaderWouldRefuseKeepsTheOldFile) {
  ASSERT_EQ(read(kValidIni), 0);
  config.writeAsR3File();
  std::string before = readFile(ini());
  config.setResourceLocation(("/" + std::string(1100, 'd')).c_str());
  try {
    config.writeAsR3File();
    ADD_FAILURE() << "written";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), 112);
    EXPECT_STREQ(e.getContext(), "Option: ResourceLocation");
  }
  EXPECT_EQ(readFile(ini()), before);
}

// Random valid settings survive write and read.
TEST_F(Config, RandomSettingsRoundTrip) {
  std::mt19937 rng(testSeed());
  auto pick = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
  };
  std::string const alphabet = "ab;\"$(\\ -_#=[]\t";
  char const* languages[] = {"de_DE", "en_US", "fr_CH", "tr_TR"};
  for (int round = 0; round < 60; ++round) {
    ItlClIndexConfig a(location, errorInfo);
    a.setRespectCase(pick(0, 1));
    a.setDocumentIdMapping(pick(0, 1));
    a.setMaxDocIDLength(static_cast<unsigned short>(pick(1, 4096)));
    a.setDocNamesHaveFixSize(pick(0, 1));
    a.setMaskResolutionLimit(pick(2, 10000));
    a.setUmlautNormalization(pick(0, 1));
    a.setAccentRemoval(pick(0, 1));
    a.setUnicodeNormalization(static_cast<ItlEnUnicodeNormalization>(pick(0, 2)));
    a.setSeparateParagraphs(pick(0, 1));
    a.setResourceLocation(pick(0, 1) ? " /res;x/" : "/r$(HOME)\"q\"/");
    a.setFormatConverterLocation(pick(0, 1) ? "" : "  /fc;1 ");
    a.setFormatConverterFallbackFormat(pick(1000, 5015));
    for (unsigned i = 0; i < 4; ++i)
      a.setMemoryPool(i, static_cast<uint32_t>(pick(64, 262144)) * 1024u);
    a.setDeleteStopwords(pick(0, 1));
    a.setStopwordLanguage(languages[pick(0, 3)]);
    a.setUseAlternateTerritories(pick(0, 1));
    a.setSeparateSentences(pick(0, 1));
    a.setTreatNumbersAsWords(pick(0, 1));
    std::string alnum;
    for (int n = pick(0, 16); n > 0; --n)
      alnum += alphabet[static_cast<size_t>(pick(0, int(alphabet.size()) - 1))];
    a.setAdditionalAlphanumCharacters(alnum.data(), uint32_t(alnum.size()));
    int mode = pick(0, 2);
    int sizes[] = {4, 8, 16};
    if (mode == 0) a.setBlock(0, 0);
    else a.setBlock(mode == 1 ? 1 : pick(2, 500), sizes[pick(0, 2)]);
    a.setPoolSize(static_cast<uint32_t>(pick(8, 131072)) * 1024u);
    a.setPoolSizeDelta(static_cast<uint32_t>(pick(8, 131072)) * 1024u);
    a.writeAsR3File();

    std::ostringstream first;
    a.formatAsR3(first);
    ItlClIndexConfig b(location, errorInfo);
    b.onIndexFileInit();
    std::ostringstream second;
    b.formatAsR3(second);
    ASSERT_EQ(first.str(), second.str()) << "round " << round;
    ASSERT_EQ(std::string(b.getAdditionalAlphanumCharacters(), b.getAlphanumCount()),
              alnum);
    ASSERT_STREQ(b.getFormatConverterLocation(), a.getFormatConverterLocation());
    ASSERT_STREQ(b.getResourceLocation().getAsCString(),
                 a.getResourceLocation().getAsCString());
  }
}

// ---------------------------------------------------------------------------
// First-release configuration.

class ConfigR1 : public Config {
 protected:
  std::string ipa() const { return dir / "idx.ipa"; }
  static std::string ipaText(char const* version, char const* disable,
                             char const* threshold, char const* size,
                             char const* pool, char const* docIdSize) {
    std::string t = std::string("[IndexId]\nVersion = ") + version +
                    "\n[VozCreateParams]\nDisableMode = " + disable +
                    "\nWordRuleMode = 0\nBlockThreshold = " + threshold +
                    "\nBlockSize = " + size + "\n[VozSysParams]\nPoolSize = " +
                    pool + "\nPoolSizeDelta = 1048576\n";
    if (docIdSize != nullptr)
      t += std::string("[IndexParams]\nDocIdSize = ") + docIdSize + "\n";
    return t;
  }
  int load(std::string const& text, std::string* context = nullptr) {
    EXPECT_TRUE(writeFile(ipa(), text));
    try {
      config.loadR1();
    } catch (ItlClException const& e) {
      if (context != nullptr) *context = e.getContext();
      return e.getReasonCode();
    }
    return 0;
  }
};

TEST_F(ConfigR1, ReadsAndRefuses) {
  ASSERT_EQ(load(ipaText("1", "2", "-1", "-1", "8290304", nullptr)), 0);
  EXPECT_TRUE(config.getRespectCase());
  EXPECT_FALSE(config.getSeparateSentences());
  EXPECT_EQ(config.getBlockThreshold(), 8);
  EXPECT_EQ(config.getBlockSize(), 4);
  EXPECT_EQ(config.getMaxDocIDLength(), 256);
  EXPECT_EQ(config.getPoolSize(), 8290304u);
  ASSERT_EQ(load(ipaText("2", "1", "0", "5", "8192", "60")), 0);
  EXPECT_FALSE(config.getRespectCase());
  EXPECT_EQ(config.getMaxDocIDLength(), 60);
  EXPECT_EQ(config.getBlockThreshold(), 0);

  struct Case {
    char const* what;
    std::string text;
    int reason;
    std::string context;
  };
  std::vector<Case> cases = {
      {"version 3", ipaText("3", "0", "0", "4", "8192", nullptr), 113,
       "Configuration file name: " + ipa()},
      {"version 2 without IndexParams", ipaText("2", "0", "0", "4", "8192", nullptr),
       110, "Section: IndexParams"},
      {"DisableMode 3", ipaText("1", "3", "0", "4", "8192", nullptr), 112,
       "Option: DisableMode"},
      {"DocIdSize 128", ipaText("2", "0", "0", "4", "8192", "128"), 112,
       "Option: DocIdSize"},
      {"PoolSize 8191", ipaText("1", "0", "0", "4", "8191", nullptr), 112,
       "Option: PoolSize"},
      {"block size 5 with threshold 20", ipaText("1", "0", "20", "5", "8192", nullptr),
       112, "Option: BlockSize"},
      {"no VozSysParams", "[IndexId]\nVersion = 1\n[VozCreateParams]\nDisableMode = 0\n"
       "WordRuleMode = 0\nBlockThreshold = 0\nBlockSize = 4\n", 110,
       "Section: VozSysParams"},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.what);
    std::string context;
    EXPECT_EQ(load(c.text, &context), c.reason);
    EXPECT_EQ(context, c.context);
  }
  std::string context;
  EXPECT_EQ(load("", &context), 110);
  EXPECT_EQ(context, "Section: IndexId");
  std::remove(ipa().c_str());
  try {
    config.loadR1();
    ADD_FAILURE() << "read a missing file";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), 16);
    EXPECT_EQ(std::string(e.getContext()), "Configuration file name: " + ipa());
  }
}

// ---------------------------------------------------------------------------
// Index-file hooks.

TEST_F(Config, HooksCopyTemplateAndRepeatWithoutFailure) {
  std::string templ = dir / "template.ini";
  config.setTemplateName(templ.c_str());
  try {
    config.onIndexFileCreate();
    ADD_FAILURE() << "created from a missing template";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), 16);
    EXPECT_EQ(std::string(e.getContext()), "File open failed: " + templ);
  }
  ASSERT_TRUE(writeFile(templ, kValidIni));
  chmod(templ.c_str(), 0644);
  config.onIndexFileCreate();
  config.onIndexFileCreate();  // repeated over its own read-only copy
  struct stat st;
  ASSERT_EQ(stat(ini().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0440u);
  EXPECT_EQ(readFile(ini()), kValidIni);
  EXPECT_TRUE(config.isExistent());

  TempDir other("config_target", fastTempParent());
  config.onIndexFileCopy(other.path().c_str());
  config.onIndexFileCopy(other.path().c_str());
  EXPECT_EQ(readFile(other / "idx.ini"), kValidIni);

  config.onIndexFileRename("idy");
  config.onIndexFileRename("idy");
  EXPECT_EQ(readFile(dir / "idy.ini"), kValidIni);
  EXPECT_FALSE(exists(ini()));

  TempDir moved("config_moved", fastTempParent());
  config.onIndexFileMove(moved.path().c_str());
  config.onIndexFileMove(moved.path().c_str());
  EXPECT_EQ(readFile(moved / "idy.ini"), kValidIni);
  EXPECT_STREQ(config.getFileName().getAsCString(), (moved / "idy.ini").c_str());

  config.onIndexFileDestroy();
  config.onIndexFileDestroy();
  EXPECT_FALSE(exists(moved / "idy.ini"));
  EXPECT_FALSE(config.isExistent());
}

}  // namespace
