// Tests of the stop-word files: the choice of the source .tsw, the bytes of
// the .stw (fixtures and a randomized comparison with a model built on
// ICU), and the stop-word file's hooks with their warnings.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include "itl_error.hpp"
#include "itl_index_config.hpp"
#include "itl_index_location.hpp"
#include "itl_index_stw.hpp"
#include "ti_test_util.hpp"

namespace {

// UTF-16 bytes of `text` (ASCII and \uXXXX-free input), little- or
// big-endian, with an optional byte-order mark.
std::string utf16(std::u16string const& text, bool bigEndian, bool bom) {
  std::string out;
  auto put = [&](char16_t u) {
    char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  };
  if (bom) put(0xFEFF);
  for (char16_t u : text) put(u);
  return out;
}

std::string convert(std::string const& bytes, uint32_t* words = nullptr) {
  std::string out;
  uint32_t n = ItlClIndexStwLoader::convertBytes(
      reinterpret_cast<uint8_t const*>(bytes.data()),
      static_cast<uint32_t>(bytes.size()), out);
  if (words != nullptr) *words = n;
  return out;
}

TEST(StopWordBytes, Fixtures) {
  struct Case {
    char const* what;
    std::string bytes;
    char const* stw;
    uint32_t words;
  };
  Case const cases[] = {
      {"LE with BOM", utf16(u"der\r\ndie\r\ndas", false, true), "der\ndie\ndas\n", 3},
      {"BE with BOM", utf16(u"der\r\ndie\r\ndas", true, true), "der\ndie\ndas\n", 3},
      {"no BOM is LE", utf16(u"der\r\ndie\r\ndas", false, false), "der\ndie\ndas\n", 3},
      {"one word without line end", utf16(u"der", false, true), "der\n", 1},
      {"tab separates", utf16(u"a\tb", false, false), "a\nb\n", 2},
      {"empty", "", "", 0},
      {"BOM alone", utf16(u"", false, true), "", 0},
      {"controls only", utf16(u"\r\n\t\x01\x1f\x7f\x85", false, true), "", 0},
      {"odd last byte", utf16(u"ab", false, false) + "x", "ab\n", 1},
      {"duplicates kept", utf16(u"die\ndie\n", false, false), "die\ndie\n", 2},
      {"umlaut and Thai", utf16(u"\u00e4\n\u0e01\u0e32", false, true),
       "\xc3\xa4\n\xe0\xb8\x81\xe0\xb8\xb2\n", 2},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.what);
    uint32_t words = 0;
    EXPECT_EQ(convert(c.bytes, &words), c.stw);
    EXPECT_EQ(words, c.words);
  }
  std::string longWord(300, 'w');
  EXPECT_EQ(convert(utf16(std::u16string(300, u'w'), false, false)),
            longWord + "\n");
}

// The model: split at units of class Cc, each word through ICU's UTF-8
// conversion with U+FFFD for lone surrogates.
std::string model(std::u16string const& text) {
  std::string out;
  std::u16string word;
  auto flush = [&] {
    if (word.empty()) return;
    char buffer[8192];
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(buffer, sizeof buffer, &length,
                       reinterpret_cast<UChar const*>(word.data()),
                       static_cast<int32_t>(word.size()), 0xFFFD, nullptr,
                       &status);
    out.append(buffer, static_cast<size_t>(length));
    out += '\n';
    word.clear();
  };
  for (char16_t u : text) {
    if (u_charType(u) == U_CONTROL_CHAR) flush();
    else word += u;
  }
  flush();
  return out;
}

TEST(StopWordBytes, RandomTextEqualsModel) {
  std::mt19937 rng(testSeed());
  char16_t const pool[] = {u'a', u'Z', u'9', u' ', u'\r', u'\n', u'\t', 0x01,
                           0x85, 0x00e4, 0x0e01, 0x0e32, 0xd83d, 0xde00,
                           0xdc00, 0xfffe, 0x200b, 0x3000};
  for (int round = 0; round < 300; ++round) {
    std::u16string text;
    for (int n = std::uniform_int_distribution<int>(0, 60)(rng); n > 0; --n)
      text += pool[std::uniform_int_distribution<size_t>(0, std::size(pool) - 1)(rng)];
    bool big = rng() & 1, bom = rng() & 1;
    if (!bom) big = false;  // without a mark the text is little-endian
    // Without a mark, a text opening with U+FFFE or U+FEFF reads as one.
    if (!bom && !text.empty() && (text[0] == 0xfffe || text[0] == 0xfeff))
      text.insert(text.begin(), u'a');
    ASSERT_EQ(convert(utf16(text, big, bom)), model(text)) << "round " << round;
  }
}

// ---------------------------------------------------------------------------
// Source choice.

class StopWordSource : public ::testing::Test {
 protected:
  TempDir resources{"tsw", fastTempParent()};
  CosClLocation location{resources.path().c_str()};
  ItlClIndexStwLoader loader{location};

  // The base name chosen for `language`, "" when none exists.
  std::string choose(char const* language, bool alternates) {
    CosClFilename name;
    bool found = loader.createFilenameForLanguage(CosClLanguage(language),
                                                  alternates, location, name);
    std::string full = name.getAsCString();
    return found ? full.substr(full.rfind('/') + 1) : "";
  }
  void put(char const* file) { ASSERT_TRUE(writeFile(resources / file, "")); }
};

TEST_F(StopWordSource, ChoosesInOrder) {
  put("de_CH.tsw");
  EXPECT_EQ(choose("de_CH", false), "de_CH.tsw");
  put("de-CH.tsw");
  EXPECT_EQ(choose("de_CH", false), "de-CH.tsw");
  std::remove((resources / "de_CH.tsw").c_str());
  std::remove((resources / "de-CH.tsw").c_str());
  put("de.tsw");
  EXPECT_EQ(choose("de_CH", false), "de.tsw");
  EXPECT_EQ(choose("de_CH", true), "de.tsw");
}

TEST_F(StopWordSource, AlternateTerritoryTakesFirstByName) {
  put("de-CH.tsw");
  put("de-AT.tsw");
  ASSERT_EQ(mkdir((resources / "de-AA.tsw").c_str(), 0755), 0);  // no file
  EXPECT_EQ(choose("de_DE", true), "de-AT.tsw");
  EXPECT_EQ(choose("de_DE", false), "");
  for (char const* bad : {"xx_XX", "de_XX", "x-all"}) {
    SCOPED_TRACE(bad);
    try {
      choose(bad, true);
      ADD_FAILURE() << "accepted";
    } catch (ItlClException const& e) {
      EXPECT_EQ(e.getReasonCode(), 8);
      EXPECT_STREQ(e.getContext(), "Invalid language specified for stopword file");
    }
  }
}

// ---------------------------------------------------------------------------
// The stop-word file of an index.

class StopWordFile : public ::testing::Test {
 protected:
  StopWordFile()
      : dir("stw", fastTempParent()),
        location("idx", dir.path().c_str()),
        config(location, errorInfo),
        file(location, errorInfo, config) {}
  // Writes the index's .ini with stop words of `language` from `resources`.
  void configure(char const* language, bool alternates) {
    ASSERT_TRUE(writeFile(
        dir / "idx.ini",
        "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\nResourceLocation = " +
            resources.path() + "/\n[IndexV4]\nBlockMode = OFF\n"
            "DeleteStopwords = ON\nStopwordLanguage = " + language +
            "\nUseAlternateTerritoriesForStopwordFiles = " +
            (alternates ? "ON" : "OFF") + "\n"));
  }
  std::string stw() const { return dir / "idx.stw"; }

  TempDir dir;
  TempDir resources{"tsw", fastTempParent()};
  ItlClIndexLocation location;
  ItlClErrorInfo errorInfo;
  ItlClIndexConfig config;
  ItlClStopWordFile file;
};

TEST_F(StopWordFile, CreateConvertsOrWarns) {
  ASSERT_TRUE(writeFile(resources / "de-AT.tsw", utf16(u"der\ndie", false, true)));
  ASSERT_TRUE(writeFile(resources / "de-CH.tsw", ""));
  configure("de_DE", true);
  errorInfo.reset();
  file.onIndexFileCreate();
  EXPECT_TRUE(file.hasStopWords());
  EXPECT_EQ(readFile(stw()), "der\ndie\n");
  EXPECT_EQ(errorInfo.getReturnCode(), 0);

  std::remove(stw().c_str());
  configure("de_DE", false);
  file.onIndexFileCreate();
  EXPECT_FALSE(file.hasStopWords());
  EXPECT_FALSE(exists(stw()));
  EXPECT_EQ(errorInfo.getReturnCode(), 4);
  EXPECT_EQ(errorInfo.getReasonCode(), 48);
  EXPECT_STREQ(errorInfo.getOrigin(), "source/itl_index/itl_index_stw:142");
  EXPECT_EQ(std::string(errorInfo.getContext()), resources.path() + "/de.tsw\n");

  errorInfo.reset();
  configure("de_CH", false);
  file.onIndexFileCreate();
  EXPECT_TRUE(file.hasStopWords());
  EXPECT_EQ(readFile(stw()), "");
  EXPECT_EQ(errorInfo.getReasonCode(), 49);
  EXPECT_STREQ(errorInfo.getOrigin(), "source/itl_index/itl_index_stw:150");
}

TEST_F(StopWordFile, HooksRepeatWithoutFailure) {
  ASSERT_TRUE(writeFile(resources / "en.tsw", utf16(u"the", false, false)));
  configure("en_US", false);
  file.onIndexFileCreate();
  ASSERT_EQ(readFile(stw()), "the\n");
  TempDir copy("stw_copy", fastTempParent());
  file.onIndexFileCopy(copy.path().c_str());
  file.onIndexFileCopy(copy.path().c_str());
  EXPECT_EQ(readFile(copy / "idx.stw"), "the\n");
  file.onIndexFileRename("idz");
  file.onIndexFileRename("idz");
  EXPECT_EQ(readFile(dir / "idz.stw"), "the\n");
  TempDir moved("stw_moved", fastTempParent());
  file.onIndexFileMove(moved.path().c_str());
  file.onIndexFileMove(moved.path().c_str());
  EXPECT_EQ(readFile(moved / "idz.stw"), "the\n");
  file.onIndexFileInit();
  EXPECT_TRUE(file.hasStopWords());
  file.onIndexFileDestroy();
  file.onIndexFileDestroy();
  EXPECT_FALSE(exists(moved / "idz.stw"));
  file.onIndexFileInit();
  EXPECT_FALSE(file.hasStopWords());
}

}  // namespace
